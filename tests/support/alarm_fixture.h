// Fixture of the alarm and event-action tests: a device root with its
// settings database, a fake daemon, and table-walking helpers that run one
// request per row and check its reply and daemon traffic.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <json-c/json.h>

#include "common/records/alarm.h"
#include "common/records/oplog.h"
#include "common/settings.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

inline std::string field_text(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }
#define FIELD(f) field_text((f), sizeof(f))

// A request schedule whose day 0 holds one segment [start, end, type].
inline std::string one_segment(const char *start, const char *end, int type)
{
    std::string s = "[[[\"" + std::string(start) + "\",\"" + end + "\"," + std::to_string(type) + "]]";
    for (int d = 1; d < 8; d++) s += ",[]";
    return s + "]";
}

inline std::unique_ptr<WeekSchedule> week_with(const char *start, const char *end, int type)
{
    auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    snprintf(s->days[0].segments[0].start_time, 32, "%s", start);
    snprintf(s->days[0].segments[0].end_time, 32, "%s", end);
    s->days[0].segments[0].action_type = type;
    return s;
}

// The first segment's start time of a stored schedule ("" when none).
inline std::string first_start(int (*read)(const char *, WeekSchedule *, int), int key)
{
    auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    EXPECT_EQ(0, read(QXDB_PATH, s.get(), key));
    return s->days[0].segments[0].start_time;
}

inline uint64_t mask_of(const FakeRequest &r)
{
    uint64_t m = 0;
    if (r.payload.size() == 8) memcpy(&m, r.payload.data(), 8);
    return m;
}

// Keys of a JSON object in their order.
inline std::vector<std::string> keys_of(json_object *o)
{
    std::vector<std::string> keys;
    if (!json_object_is_type(o, json_type_object)) return keys;
    json_object_object_foreach(o, key, val)
    {
        (void)val;
        keys.push_back(key);
    }
    return keys;
}

class AlarmFixture : public ::testing::Test {
protected:
    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    FakeDaemon daemon{root};

    AlarmFixture() { qxdb_close_all(); }
    ~AlarmFixture() override { qxdb_close_all(); }

    ProcResult post(const std::string &route, const std::string &body,
                    const std::map<std::string, std::string> &env = {})
    {
        return post_json(root, route, body, env);
    }

    // The daemon traffic of a finished request: exactly `codes`, in order.
    std::vector<FakeRequest> traffic(const std::vector<int> &codes)
    {
        EXPECT_TRUE(daemon.wait_requests(codes.size()));
        if (!codes.empty()) {
            EXPECT_TRUE(daemon.wait_disconnected());
        }
        EXPECT_EQ(codes, daemon.codes());
        return daemon.requests();
    }

    AlarmInRecord input(int id)
    {
        AlarmInRecord in{};
        EXPECT_EQ(0, read_alarm_in(QXDB_PATH, &in, id));
        return in;
    }
    void store(const AlarmInRecord &in) { ASSERT_EQ(0, write_alarm_in(QXDB_PATH, &in)); }
    AlarmInRecord named_input(int id, const char *name)
    {
        AlarmInRecord in{};
        in.id = id;
        in.enable = 1;
        in.type = 1;
        snprintf(in.name, sizeof in.name, "%s", name);
        in.actions.interval = 9;
        in.actions.audio_id = 3;
        return in;
    }

    // One request of a table and what must come of it.
    struct Row {
        const char *what;
        const char *route;
        std::string body;
        std::string reply;      // the reply body, "" for none
        std::vector<int> codes; // the daemon traffic, in order
        std::function<void(const std::vector<FakeRequest> &)> check = nullptr;
    };

    void walk(const std::vector<Row> &rows)
    {
        for (const Row &row : rows) {
            SCOPED_TRACE(row.what);
            daemon.clear();
            ProcResult r = post(row.route, row.body);
            // "" stands for no answer of the handler (the front end's status).
            EXPECT_EQ(row.reply, r.answer().empty() ? std::string() : r.body()) << row.route << " " << row.body;
            auto req = traffic(row.codes);
            if (row.check && req.size() == row.codes.size()) row.check(req);
        }
    }

    static void expect_oplog(const FakeRequest &r, int param, int object_no)
    {
        OpLogRecord log{};
        ASSERT_TRUE(r.payload.size() >= sizeof log);
        memcpy(&log, r.payload.data(), sizeof log);
        EXPECT_EQ(4, log.main_type);
        EXPECT_EQ(204, log.sub_type);
        EXPECT_EQ(param, log.param_type);
        EXPECT_EQ(object_no, log.object_no);
    }
};
