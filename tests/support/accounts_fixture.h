// Fixture of the log-in and account tests: a device root with a settings
// database, a fake daemon on its socket, and helpers to store accounts and
// to read back what the CGI stored and sent.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/records/oplog.h"
#include "common/records/oem_user.h"
#include "common/records/user.h"
#include "common/settings.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

// MD5 digests of "admin" and "secret".
#define MD5_ADMIN "21232f297a57a5a743894a0e4a801fc3"
#define MD5_SECRET "5ebe2294ecd0e0f08eab7690d2a6ee69"

class AccountsFixture : public ::testing::Test {
protected:
    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    FakeDaemon daemon{root};

    AccountsFixture() { qxdb_close_all(); }
    ~AccountsFixture() override { qxdb_close_all(); }

    // Stores an account in `slot` directly (enable 1 unless told otherwise).
    UserRecord store_user(int slot, const char *name, const char *digest, int level, int enable = 1)
    {
        UserRecord u;
        memset(&u, 0, sizeof u);
        u.id = slot;
        u.enable = enable;
        snprintf(u.name, sizeof u.name, "%s", name);
        snprintf(u.password, sizeof u.password, "%s", digest);
        u.type = level;
        EXPECT_EQ(0, write_user(QXDB_PATH, &u));
        return u;
    }

    UserRecord stored(int slot)
    {
        UserRecord u;
        memset(&u, 0, sizeof u);
        EXPECT_EQ(0, read_user(QXDB_PATH, &u, slot));
        return u;
    }

    ProcResult post(const std::string &route, const std::string &body,
                    const std::map<std::string, std::string> &env = {})
    {
        return post_json(root, route, body, env);
    }

    // The operation-log records the daemon received, in order.
    std::vector<OpLogRecord> oplogs() const
    {
        std::vector<OpLogRecord> out;
        for (const FakeRequest &r : daemon.requests()) {
            OpLogRecord rec;
            if (r.code == IPC_OPLOG && r.as(&rec)) out.push_back(rec);
        }
        return out;
    }
};
