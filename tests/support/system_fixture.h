// Fixture of the device information, maintenance and upgrade tests: a
// device root with a settings database, a fake daemon, stand-in programs on
// PATH (each records "name args" in <root>/calls.log), and helpers to send
// requests and read back the daemon traffic of one request.
#pragma once
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <string>
#include <vector>

#include "common/records/oplog.h"
#include "common/settings.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

class SystemFixture : public ::testing::Test {
protected:
    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    FakeDaemon daemon{root};
    std::string bin = root.path() + "/stub-bin";

    SystemFixture()
    {
        qxdb_close_all();
        mkdir(bin.c_str(), 0755);
        for (const char *dir : {"/tmp", "/dev/shm", "/mnt/nand/app"}) make_dirs(dir);
    }
    ~SystemFixture() override { qxdb_close_all(); }

    void make_dirs(const std::string &device_dir) const
    {
        for (size_t i = 1; i <= device_dir.size(); i++)
            if (i == device_dir.size() || device_dir[i] == '/') mkdir(root.host(device_dir.substr(0, i)).c_str(), 0755);
    }
    // A stand-in program on PATH: logs "<name> <args>" and runs `body`.
    void stub(const std::string &name, const std::string &body) const
    {
        root.write("/stub-bin/" + name, "#!/bin/sh\necho \"" + name + " $*\" >> '" + root.path() +
                                            "/calls.log'\n" + body + "\n");
        chmod((bin + "/" + name).c_str(), 0755);
    }
    // The handler's answer without its header, "" when it wrote none.
    static std::string text(const ProcResult &r) { return r.answer().empty() ? "" : r.body(); }
    std::string calls() const { return root.exists("/calls.log") ? root.read("/calls.log") : ""; }

    std::map<std::string, std::string> env(std::map<std::string, std::string> extra = {}) const
    {
        extra["PATH"] = bin + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
        if (!extra.count("NVRWEB_TIME_SCALE")) extra["NVRWEB_TIME_SCALE"] = "0.01";
        return extra;
    }
    ProcResult post(const std::string &route, const std::string &body, std::map<std::string, std::string> extra = {})
    {
        return post_json(root, route, body, env(extra));
    }
    ProcResult get(const std::string &route, const std::string &query = "")
    {
        CgiRequest req;
        req.route = route;
        req.query = query;
        req.env = env();
        return run_cgi(root, req);
    }
    // A multipart upload of one file field "file".
    ProcResult upload(const std::string &route, const std::string &file_name, const std::string &content,
                      const std::string &query = "")
    {
        CgiRequest req;
        req.method = "POST";
        req.route = route;
        req.query = query;
        req.content_type = "multipart/form-data; boundary=XyZ";
        req.body = "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + file_name +
                   "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n--XyZ--\r\n";
        req.env = env();
        return run_cgi(root, req);
    }

    // The daemon requests of everything sent so far. A sentinel request (the
    // language option, 4000) connects after every connection before it was
    // accepted; once it has arrived and all connections are closed, all they
    // carried has been seen. The sentinel itself is left out.
    std::vector<FakeRequest> traffic()
    {
        auto sentinels = [&] {
            size_t n = 0;
            for (const FakeRequest &r : daemon.requests()) n += r.code == 4000;
            return n;
        };
        const size_t before = sentinels();
        get("/vb.htm", "setlang=1");
        auto sentinel = [&] { return sentinels() > before; };
        for (int i = 0; i < 10000 && !sentinel(); i++) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(sentinel());
        EXPECT_TRUE(daemon.wait_disconnected());
        std::vector<FakeRequest> out;
        for (const FakeRequest &r : daemon.requests())
            if (r.code != 4000) out.push_back(r);
        return out;
    }
    std::vector<int> codes()
    {
        std::vector<int> out;
        for (const FakeRequest &r : traffic()) out.push_back(r.code);
        return out;
    }
    // Sub types of the operation-log records among the requests.
    static std::vector<int> oplog_subtypes(const std::vector<FakeRequest> &reqs)
    {
        std::vector<int> out;
        for (const FakeRequest &r : reqs) {
            OpLogRecord rec;
            if (r.code == IPC_OPLOG && r.as(&rec)) out.push_back(static_cast<int>(rec.sub_type));
        }
        return out;
    }
};
