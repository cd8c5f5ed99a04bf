// Fixture of the end-to-end route tests: a fresh device root whose settings
// database this process seeds and checks, a fake daemon on its socket, and
// the daemon traffic of finished requests.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/log_detail.h"
#include "common/records/oplog.h"
#include "platform/qx_db.h"
#include "platform/qx_sock.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

class RouteTest : public ::testing::Test {
protected:
    ~RouteTest() override { qxdb_close_all(); }

    // POSTs the text as it stands (JSON or a bare number) to the route.
    ProcResult post(const std::string &route, const std::string &body,
                    const std::map<std::string, std::string> &env = {})
    {
        return post_json(root, route, body, env);
    }
    // The same with the daemon client's waits shortened (time-out cases).
    ProcResult post_fast(const std::string &route, const std::string &body)
    {
        return post(route, body, {{"NVRWEB_TIME_SCALE", "0.001"}});
    }

    // The body the handler wrote, "" when it wrote none.
    static std::string reply_of(const ProcResult &r) { return r.answer().empty() ? std::string() : r.body(); }

    // Everything the finished request sent, in order; clears the record for
    // the next. A sentinel connection, accepted after every connection the
    // request made, shows when all of them were taken; once they are closed,
    // all they carried has been seen.
    std::vector<FakeRequest> traffic()
    {
        enum { SENTINEL = 999999 };
        int fd = qx_unix_connect(daemon.socket_path().c_str());
        QxMsgHeader h;
        h.kind = QX_MSG_REQUEST;
        h.seq = 1;
        h.code = SENTINEL;
        EXPECT_TRUE(fd >= 0 && qx_write_msg(fd, h, nullptr));
        auto seen = [&] {
            for (const FakeRequest &r : daemon.requests())
                if (r.code == SENTINEL) return true;
            return false;
        };
        for (int i = 0; i < 10000 && !seen(); i++) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (fd >= 0) close(fd);
        EXPECT_TRUE(daemon.wait_disconnected());
        std::vector<FakeRequest> out;
        for (const FakeRequest &r : daemon.requests())
            if (r.code != SENTINEL) out.push_back(r);
        daemon.clear();
        return out;
    }
    std::vector<int> codes_of(const std::vector<FakeRequest> &reqs)
    {
        std::vector<int> out;
        for (const FakeRequest &r : reqs) out.push_back(r.code);
        return out;
    }
    static OpLogRecord oplog_of(const FakeRequest &r)
    {
        OpLogRecord log{};
        EXPECT_EQ(IPC_OPLOG, r.code);
        EXPECT_TRUE(r.as(&log));
        return log;
    }
    // The detail block packed into an operation-log record: its type, and
    // the block when it has T's size (else false).
    template <class T> static bool oplog_detail(const FakeRequest &r, int *type, T *out)
    {
        OpLogRecord log = oplog_of(r);
        const unsigned char *d = nullptr;
        int len = 0;
        if (qxfs_log_unpack_detail(&log, type, &d, &len) != 0 || len != static_cast<int>(sizeof(T))) return false;
        memcpy(out, d, sizeof(T));
        return true;
    }

    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    FakeDaemon daemon{root};
};

// A text field as a string (at most its size, a missing zero tolerated).
template <size_t N> std::string field_text(const char (&field)[N]) { return std::string(field, strnlen(field, N)); }
