// Packet capture, its download and the diagnosis export end to end, with
// stand-in programs on PATH (killall, tcpdump, timeout, the watchdog): the
// programs run with the expected arguments, and hostile directories, names,
// hosts, ports and paths run nothing, touch nothing and serve nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <json-c/json.h>
#include <regex>
#include <algorithm>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "common/records/status.h"
#include "tests/support/abuse.h"
#include "tests/support/system_fixture.h"

namespace {

const char kStamp[] = "rvpcap-20261207101500";

class StatusCapture : public SystemFixture {
protected:
    std::string marker = root.path() + "/injected";

    StatusCapture()
    {
        stub(kInjectedCommand, "touch '" + marker + "'");
        for (const char *p : {"killall", "tcpdump"}) stub(p, "exit 0");
        stub("timeout", "exit 0");
        make_dirs("/mnt/sda1");
        make_dirs("/mnt/nand/app");
        make_dirs("/etc");
        root.write("/etc/victim", "keep me");
    }
    bool injected() const { return access(marker.c_str(), F_OK) == 0; }
    // The stand-ins' log once `n` lines are there (the capture runs detached).
    std::string calls_after(size_t n)
    {
        for (int i = 0; i < 300; i++) {
            const std::string c = calls();
            if (static_cast<size_t>(std::count(c.begin(), c.end(), '\n')) >= n) return c;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return calls();
    }
    void clear_calls() { unlink((root.path() + "/calls.log").c_str()); }
};

TEST_F(StatusCapture, StartRunsABoundedCaptureOnLoopback)
{
    root.write("/mnt/sda1/rvpcap-20260101000000.pcap", "old");
    root.write("/mnt/sda1/keep.txt", "keep");
    ProcResult r = post("/8005", R"({"nic":"eth0","mntPath":"/mnt/sda1","ip":"10.0.0.5","port":"554"})");
    std::smatch m;
    const std::string body = r.body();
    ASSERT_TRUE(std::regex_match(body, m, std::regex(R"re(\{"dirPath":"\\/mnt\\/sda1","fileName":"(rvpcap-\d{14})"\})re"))) << body;
    const std::string c = calls_after(4);
    EXPECT_NE(std::string::npos, c.find("killall tcpdump\n"));
    EXPECT_NE(std::string::npos, c.find("killall webmonitor\n"));
    // The development machine: loopback, ended by timeout(1) after 300 s.
    EXPECT_NE(std::string::npos, c.find("timeout 300 tcpdump -i lo -s0 host 127.0.0.1"));
    EXPECT_NE(std::string::npos, c.find(" && host 10.0.0.5 && port 554 -W 2 -C 25 -w " + root.host("/mnt/sda1/") + m[1].str()));
    EXPECT_FALSE(root.exists("/mnt/sda1/rvpcap-20260101000000.pcap"));
    EXPECT_TRUE(root.exists("/mnt/sda1/keep.txt"));

    // With the device's watchdog: tcpdump alone, the watchdog ends it.
    clear_calls();
    stub("webmonitor-standin", "exit 0");
    make_dirs("/www");
    root.write("/www/webmonitor", "#!/bin/sh\necho \"webmonitor $*\" >> '" + root.path() + "/calls.log'\n");
    chmod(root.host("/www/webmonitor").c_str(), 0755);
    r = post("/8005", R"({"nic":"eth0","mntPath":"/mnt/sda1"})");
    const std::string c2 = calls_after(4);
    EXPECT_NE(std::string::npos, c2.find("\ntcpdump -i lo -s0 host 127.0.0.1")) << c2;
    EXPECT_EQ(std::string::npos, c2.find("&& host")) << c2;
    EXPECT_NE(std::string::npos, c2.find("webmonitor tcpdump 300\n")) << c2;
    EXPECT_EQ(std::string::npos, c2.find("timeout"));

    clear_calls();
    EXPECT_EQ("OK", text(post("/8006", "")));
    EXPECT_EQ("killall tcpdump\n", calls());
}

TEST_F(StatusCapture, HostileCaptureRequestsRunNothing)
{
    symlink(root.host("/etc").c_str(), root.host("/mnt/link").c_str());
    std::vector<std::string> bodies;
    auto body = [](const std::string &nic, const std::string &dir, const std::string &ip, const std::string &port) {
        json_object *o = json_object_new_object();
        json_object_object_add(o, "nic", json_object_new_string(nic.c_str()));
        json_object_object_add(o, "mntPath", json_object_new_string(dir.c_str()));
        if (!ip.empty()) json_object_object_add(o, "ip", json_object_new_string(ip.c_str()));
        if (!port.empty()) json_object_object_add(o, "port", json_object_new_string(port.c_str()));
        std::string s = json_object_to_json_string_ext(o, JSON_C_TO_STRING_PLAIN);
        json_object_put(o);
        return s;
    };
    for (const std::string &t : injection_texts(marker)) {
        bodies.push_back(body("eth0" + t, "/mnt/sda1", "", ""));
        bodies.push_back(body("eth0", "/mnt/sda1" + t, "", ""));
        bodies.push_back(body("eth0", "/mnt/sda1", "10.0.0.1" + t, ""));
        bodies.push_back(body("eth0", "/mnt/sda1", "", "80" + t));
    }
    for (const char *dir : {"/mnt/../etc", "/mnt/sda1/../../etc", "/etc", "/tmp", "/mnt", "/mnt/", "/mnt/link",
                                    "/mnt/nand/app", "/mnt/missing", "mnt/sda1", "/mnt//sda1", "/mnt/sda1/."})
        bodies.push_back(body("eth0", dir, "", ""));
    for (const char *port : {"0", "65536", "-1", "80 443", "0x50"}) bodies.push_back(body("eth0", "/mnt/sda1", "", port));
    for (const char *ip : {"10.0.0.256", "host", "::g", "10.0.0.1 or 1"}) bodies.push_back(body("eth0", "/mnt/sda1", ip, ""));
    bodies.push_back(body("-i", "/mnt/sda1", "", ""));
    bodies.push_back(body("", "/mnt/sda1", "", ""));
    bodies.push_back(body("verylongname0123", "/mnt/sda1", "", ""));
    bodies.push_back(R"({"mntPath":"/mnt/sda1"})");
    bodies.push_back("not json");
    for (const std::string &b : bodies) {
        SCOPED_TRACE(b);
        EXPECT_EQ("{status:\"CGI ERROR\"}", text(post("/8005", b)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ("", calls());
    EXPECT_FALSE(injected());
    EXPECT_EQ("keep me", root.read("/etc/victim"));
}

TEST_F(StatusCapture, DownloadPacksOnlyTheCapture)
{
    const std::string dir = "/mnt/sda1/";
    root.write(dir + kStamp + "0", "first");
    root.write(dir + kStamp + "1", "second");
    root.write(dir + "other.pcap", "other");
    root.write(dir + kStamp + "x", "near miss");
    ProcResult r = post("/8007", dir + kStamp);
    const std::string head = "Content-Type:application/octet-stream\r\nContent-Disposition: attachment; filename= packet.tar\r\n\r\n";
    ASSERT_EQ(0u, r.out.find(head)) << r.out.substr(0, 200);
    root.write("/got.tar", r.out.substr(head.size()));
    char listing[512] = "";
    FILE *p = popen(("tar -tf '" + root.host("/got.tar") + "' | sort").c_str(), "r");
    ASSERT_NE(nullptr, p);
    listing[fread(listing, 1, sizeof listing - 1, p)] = '\0';
    pclose(p);
    EXPECT_EQ(std::string(kStamp) + "0.pcap\n" + kStamp + "1.pcap\n", listing);
    EXPECT_FALSE(root.exists(dir + kStamp + "0.pcap"));
    EXPECT_FALSE(root.exists(dir + kStamp + "1.pcap"));
    EXPECT_FALSE(root.exists(dir + "packet.tar"));
    EXPECT_TRUE(root.exists(dir + "other.pcap"));
    EXPECT_TRUE(root.exists(dir + kStamp + "x"));

    // A capture that did not roll over; nothing left: no answer.
    root.write(dir + kStamp, "single");
    r = post("/8007", dir + kStamp);
    EXPECT_NE(std::string::npos, r.out.find(std::string(kStamp) + ".pcap"));
    EXPECT_FALSE(root.exists(dir + kStamp + ".pcap"));
    EXPECT_EQ("", post("/8007", dir + kStamp).answer());

    // Hostile and malformed texts: the text error reply, nothing moved.
    root.write("/etc/" + std::string(kStamp), "victim capture");
    symlink(root.host("/etc").c_str(), root.host("/mnt/link").c_str());
    std::vector<std::string> texts = {"", "/mnt/sda1/other", "/mnt/sda1/rvpcap-123", "/mnt/sda1/" + std::string(kStamp) + "0",
                                      "/etc/" + std::string(kStamp), "/mnt/sda1/../../etc/" + std::string(kStamp),
                                      "/mnt/link/" + std::string(kStamp), std::string(kStamp)};
    for (const std::string &t : injection_texts(marker)) texts.push_back("/mnt/sda1" + t + "/" + kStamp);
    for (const std::string &t : texts) {
        SCOPED_TRACE(t);
        EXPECT_EQ("CGI ERROR", text(post("/8007", t)));
    }
    EXPECT_TRUE(root.exists("/etc/" + std::string(kStamp)));
    EXPECT_TRUE(root.exists(dir + "other.pcap"));
    EXPECT_FALSE(injected());
}

TEST_F(StatusCapture, DiagnosisExportAndDownload)
{
    // Export: the daemon's answer, its failure, its silence, a running export.
    std::string reply = le32(0) + le32(0) + "/tmp/diag a.tgz" + std::string(1, '\0');
    daemon.on(IPC_DIAGNOSIS_EXPORT).reply(reply);
    EXPECT_EQ("OK/%2Ftmp%2Fdiag%20a.tgz\r\n", text(post("/6310", "")));
    std::vector<FakeRequest> reqs = traffic();
    ASSERT_FALSE(reqs.empty());
    EXPECT_EQ(IPC_DIAGNOSIS_EXPORT, reqs[0].code);
    EXPECT_EQ("/tmp", std::string(reqs[0].payload.c_str()));
    EXPECT_EQ(64u, reqs[0].payload.size());
    daemon.on(IPC_DIAGNOSIS_EXPORT).reply(le32(0) + le32(-1));
    EXPECT_EQ("Failed", text(post("/6310", "")));
    daemon.on(IPC_DIAGNOSIS_EXPORT).reply("");
    EXPECT_EQ("Failed", text(post("/6310", "")));
    daemon.on(IPC_DIAGNOSIS_EXPORT).silent();
    EXPECT_EQ("Failed", text(post("/6310", "", {{"NVRWEB_TIME_SCALE", "0.0001"}})));
    daemon.clear();
    root.write("/tmp/tmp_diagnostic", "");
    EXPECT_EQ("Failed", text(post("/6310", "")));
    EXPECT_TRUE(traffic().empty());

    // Download: served once and removed.
    make_dirs("/tmp/sub");
    root.write("/tmp/sub/diag a.tgz", "DIAG");
    ProcResult r = post("/6311", "%2Ftmp%2Fsub%2Fdiag%20a.tgz");
    EXPECT_EQ("Content-Type:application/octet-stream\r\nContent-Disposition: attachment; filename= diag a.tgz\r\n\r\nDIAG", r.out);
    EXPECT_FALSE(root.exists("/tmp/sub/diag a.tgz"));
    EXPECT_EQ("", post("/6311", "/tmp/sub/diag a.tgz").answer());

    // Only below /tmp: no answer and nothing removed.
    symlink(root.host("/etc/victim").c_str(), root.host("/tmp/link").c_str());
    symlink(root.host("/etc").c_str(), root.host("/tmp/dirlink").c_str());
    for (const char *t : {"/etc/victim", "/tmp/../etc/victim", "%2Ftmp%2F..%2Fetc%2Fvictim", "/tmp/link",
                                 "/tmp/dirlink/victim", "tmp/x", "/tmp", "/tmp/", "/tmpx/victim", ""}) {
        SCOPED_TRACE(t);
        EXPECT_EQ("", post("/6311", t).answer());
    }
    EXPECT_EQ("keep me", root.read("/etc/victim"));
    EXPECT_TRUE(root.exists("/tmp/link") || access(root.host("/tmp/link").c_str(), F_OK) != 0);
}

} // namespace
