// Fixture of the network tests: a device root with its settings database
// reachable from this process, the fake daemon, and helpers that run a
// request and read its reply and daemon traffic.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <json-c/json.h>

#include "common/records/oplog.h"
#include "platform/qx_db.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

class NetworkFixture : public ::testing::Test {
protected:
    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    FakeDaemon daemon{root};
    // Waits of the daemon client at a hundredth: a 240 s wait is 2.4 s.
    std::map<std::string, std::string> env{{"NVRWEB_TIME_SCALE", "0.01"}, {"HTTP_COOKIE", "userName=admin"}};

    void TearDown() override { qxdb_close_all(); }

    ProcResult post(const std::string &route, const std::string &body) { return post_json(root, route, body, env); }
    ProcResult get(const std::string &route, const std::string &query = "")
    {
        CgiRequest req;
        req.route = route;
        req.query = query;
        req.env = env;
        return run_cgi(root, req);
    }

    // The daemon traffic of the requests run so far, once all of it is in:
    // a sentinel request (/7043, one notice 1712) runs last and is dropped
    // from the list.
    std::vector<FakeRequest> traffic()
    {
        EXPECT_EQ("OK", get("/7043").body());
        bool seen = false;
        for (size_t n = 1; !seen && daemon.wait_requests(n); n++)
            for (const FakeRequest &r : daemon.requests()) seen = seen || r.code == 1712;
        EXPECT_TRUE(seen) << "the sentinel's notice did not come";
        EXPECT_TRUE(daemon.wait_disconnected());
        // The connections are taken in the order they were made, so the
        // earlier requests' traffic is in once the sentinel's is and every
        // connection is closed; it may have been read after the sentinel's.
        std::vector<FakeRequest> all = daemon.requests();
        int sentinel = 0;
        for (const FakeRequest &r : all)
            if (r.connection > sentinel) sentinel = r.connection;
        std::vector<FakeRequest> out;
        for (const FakeRequest &r : all)
            if (r.connection != sentinel) out.push_back(r);
        daemon.clear();
        return out;
    }
    std::vector<int> codes()
    {
        std::vector<int> out;
        for (const FakeRequest &r : traffic()) out.push_back(r.code);
        return out;
    }

    // Writes a device file under the root (stand-in faults, tools).
    void write_file(const std::string &device_path, const std::string &text) { root.write(device_path, text); }
};

// What the handler answered (the body), "" when it wrote nothing.
inline std::string said(const ProcResult &r) { return r.answer().empty() ? "" : r.body(); }

// The reply's JSON object (nullptr when it is none); release with json_object_put.
inline json_object *reply_json(const ProcResult &r) { return json_tokener_parse(r.body().c_str()); }

// The keys of a JSON object in order.
inline std::vector<std::string> json_keys(json_object *o)
{
    std::vector<std::string> keys;
    if (!o || !json_object_is_type(o, json_type_object)) return keys;
    json_object_object_foreach(o, key, value)
    {
        (void)value;
        keys.push_back(key);
    }
    return keys;
}

inline std::string json_text_at(json_object *o, const char *key)
{
    json_object *v = nullptr;
    return json_object_object_get_ex(o, key, &v) ? json_object_get_string(v) : "<missing>";
}

inline OpLogRecord oplog_of(const FakeRequest &r)
{
    OpLogRecord log{};
    EXPECT_TRUE(r.as(&log)) << r.code;
    return log;
}

inline std::string field_text(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }
#define FIELD(f) field_text((f), sizeof(f))
