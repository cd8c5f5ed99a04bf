// Motion detection routes end to end: nvrweb.cgi against the fake daemon,
// with the settings database of the device root seeded and checked from
// this process.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <json-c/json.h>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/event_schedule.h"
#include "common/records/motion.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/video_ipc.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"
#include "tests/support/sim_process.h"

namespace {

const char kDb[] = QXDB_PATH;

std::string text_of(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }
#define TEXT(field) text_of((field), sizeof(field))

// A request schedule: day 0 holds one segment [start, end, type].
std::string schedule_json(const char *start, const char *end, int type)
{
    std::string s = "[";
    for (int d = 0; d < 8; d++) {
        s += d ? ",[" : "[";
        if (d == 0) s += std::string("[\"") + start + "\",\"" + end + "\"," + std::to_string(type) + "]";
        s += "]";
    }
    return s + "]";
}

std::unique_ptr<WeekSchedule> stored_schedule(int (*read)(const char *, WeekSchedule *, int), int channel)
{
    auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    read(kDb, s.get(), channel);
    return s;
}

void expect_segment(const WeekSchedule &s, const char *start, const char *end, int type)
{
    EXPECT_STREQ(start, s.days[0].segments[0].start_time);
    EXPECT_STREQ(end, s.days[0].segments[0].end_time);
    EXPECT_EQ(type, s.days[0].segments[0].action_type);
}

void expect_full_week(const CamMotionSchedule &s)
{
    for (int d = 0; d < 7; d++) {
        EXPECT_EQ(d, s.days[d].weekday);
        EXPECT_EQ(1, s.days[d].enable);
        for (const CamTimeSegment &seg : s.days[d].segments) {
            EXPECT_EQ(0, seg.start_hour);
            EXPECT_EQ(0, seg.start_minute);
            EXPECT_EQ(24, seg.end_hour);
            EXPECT_EQ(0, seg.end_minute);
        }
    }
}

void expect_oplog(const FakeRequest &r, int object_no)
{
    ASSERT_EQ(IPC_OPLOG, r.code);
    OpLogRecord log{};
    ASSERT_TRUE(r.as(&log));
    EXPECT_EQ(4, log.main_type);
    EXPECT_EQ(204, log.sub_type);
    EXPECT_EQ(909, log.param_type);
    EXPECT_EQ(object_no, log.object_no);
}

class MotionTest : public ::testing::Test {
protected:
    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    FakeDaemon daemon{root};

    void TearDown() override { qxdb_close_all(); }

    ProcResult post(const std::string &route, const std::string &json) { return post_json(root, route, json); }

    MotionRecord stored(int channel)
    {
        MotionRecord rec{};
        read_motion(kDb, &rec, channel);
        return rec;
    }

    void store(const MotionRecord &rec) { ASSERT_EQ(0, write_motion(kDb, &rec)); }

    // The daemon traffic of a finished request: exactly `codes`, in order
    // (once the request's connection is gone, all it sent has been seen).
    std::vector<FakeRequest> traffic(const std::vector<int> &codes)
    {
        EXPECT_TRUE(daemon.wait_requests(codes.size()));
        EXPECT_TRUE(daemon.wait_disconnected());
        EXPECT_EQ(codes, daemon.codes());
        return daemon.requests();
    }

    // A record with every field the page's setters do not carry filled in.
    MotionRecord seeded(int channel)
    {
        MotionRecord rec{};
        rec.channel = channel;
        rec.enable = 1;
        rec.sensitivity = 10;
        rec.interval = 9;
        rec.email_enable = 1;
        rec.email_interval = 30;
        strcpy(rec.tri_chn_alarms[0], "0011");
        strcpy(rec.tri_chn_alarms[1], "1100");
        rec.ptz_interval = 5;
        rec.alarmout_interval = 6;
        rec.white_interval = 7;
        rec.warning_light_interval = 8;
        rec.email_pic_enable = 1;
        strcpy(rec.tri_channels_pic, "101");
        rec.audio_id = 4;
        rec.http_notification_interval = 11;
        strcpy(rec.tri_channels, "1");
        rec.channel_bits = 1;
        return rec;
    }
};

std::string settings_request(int channel, int enable_qx, const std::string &extra = "")
{
    return "{\"camId\":" + std::to_string(channel) +
           ",\"enable\":1,\"sensitivity\":40,\"triChannels\":\"0101\",\"triAlarms\":3,\"interval\":10,"
           "\"motionTable\":\"" + std::string(400, 'g') + "\",\"enableQX\":" + std::to_string(enable_qx) +
           extra + "}";
}

// ---- /6012 --------------------------------------------------------------------------------

TEST_F(MotionTest, SetSettingsUpdatesStoredRecordAndNotifiesInOrder)
{
    store(seeded(2));
    ProcResult r = post("/6012", settings_request(2, 1));
    EXPECT_EQ("OK", r.body());

    MotionRecord rec = stored(2);
    EXPECT_EQ(2, rec.channel);
    EXPECT_EQ(40, rec.sensitivity);
    EXPECT_EQ(3, rec.tri_alarms);
    EXPECT_EQ(10, rec.interval);
    EXPECT_EQ(1, rec.enable_qx);
    EXPECT_EQ("0101", TEXT(rec.tri_channels));
    EXPECT_EQ((1ULL << 1) | (1ULL << 3), rec.channel_bits);
    EXPECT_EQ(std::string(367, 'g'), TEXT(rec.motion_table));
    // What the page does not carry stays.
    EXPECT_EQ(30, rec.email_interval);
    EXPECT_EQ(1, rec.email_enable);
    EXPECT_EQ("0011", TEXT(rec.tri_chn_alarms[0]));
    EXPECT_EQ(7, rec.white_interval);
    EXPECT_EQ("101", TEXT(rec.tri_channels_pic));
    EXPECT_EQ(4, rec.audio_id);
    EXPECT_EQ(11, rec.http_notification_interval);

    auto req = traffic({IPC_MOTION_CHANGED, IPC_CAM_MOTION_SET, IPC_CAM_MOTION_MODE, IPC_CAM_MOTION_SCHEDULE, IPC_OPLOG});
    ASSERT_EQ(5u, req.size());
    EXPECT_EQ(le32(2), req[0].payload);
    MotionMapRecord cam{};
    ASSERT_TRUE(req[1].as(&cam));
    EXPECT_EQ(std::string(299, 'g'), TEXT(cam.map));
    EXPECT_EQ(40, cam.sensitivity);
    EXPECT_EQ(2, cam.channel);
    EXPECT_EQ(0, cam.enable);
    CamMotionMode mode{};
    ASSERT_TRUE(req[2].as(&mode));
    EXPECT_EQ(2, mode.channel);
    EXPECT_EQ(1, mode.on);
    EXPECT_EQ(0, mode.targets.count);
    CamMotionSchedule sche{};
    ASSERT_TRUE(req[3].as(&sche));
    EXPECT_EQ(2, sche.channel);
    expect_full_week(sche);
    EXPECT_EQ(0, sche.targets.count);
    expect_oplog(req[4], 3);
}

TEST_F(MotionTest, SetSettingsWithoutCameraSideModeSwitchesItOff)
{
    EXPECT_EQ("OK", post("/6012", settings_request(0, 0)).body());
    auto req = traffic({IPC_MOTION_CHANGED, IPC_CAM_MOTION_SET, IPC_CAM_MOTION_MODE, IPC_OPLOG});
    CamMotionMode mode{};
    ASSERT_TRUE(req[2].as(&mode));
    EXPECT_EQ(0, mode.on);
    expect_oplog(req[3], 1);
}

TEST_F(MotionTest, SetSettingsRefusesBadRequestsSilently)
{
    const std::string bad[] = {
        "{\"camId\":1,\"enable\":3,\"sensitivity\":40,\"triChannels\":\"1\",\"triAlarms\":0,\"interval\":0,\"motionTable\":\"x\",\"enableQX\":0}",
        "{\"camId\":1,\"enable\":1,\"sensitivity\":-1,\"triChannels\":\"1\",\"triAlarms\":0,\"interval\":0,\"motionTable\":\"x\",\"enableQX\":0}",
        "{\"camId\":64,\"enable\":1,\"sensitivity\":1,\"triChannels\":\"1\",\"triAlarms\":0,\"interval\":0,\"motionTable\":\"x\",\"enableQX\":0}",
        "{\"camId\":1,\"enable\":1,\"sensitivity\":1,\"triChannels\":\"1\",\"triAlarms\":-2,\"interval\":0,\"motionTable\":\"x\",\"enableQX\":0}",
        // "motionTable" missing, "triChannels" of the wrong type.
        "{\"camId\":1,\"enable\":1,\"sensitivity\":1,\"triChannels\":\"1\",\"triAlarms\":0,\"interval\":0,\"enableQX\":0}",
        "{\"camId\":1,\"enable\":1,\"sensitivity\":1,\"triChannels\":5,\"triAlarms\":0,\"interval\":0,\"motionTable\":\"x\",\"enableQX\":0}",
        "not json",
    };
    for (const std::string &body : bad) {
        ProcResult r = post("/6012", body);
        EXPECT_EQ("", r.answer()) << body;
    }
    EXPECT_EQ(0u, daemon.count());
    EXPECT_EQ(0, stored(1).sensitivity);
    EXPECT_EQ(0, stored(1).enable);
}

TEST_F(MotionTest, FailedSettingsWriteAnswersErrorAndTellsNobody)
{
    // A directory where the database file belongs: every write fails.
    ASSERT_EQ(0, system(("mkdir -p " + root.host(kDb)).c_str()));
    qxdb_close_all();
    EXPECT_EQ("CGI ERROR", post("/6012", settings_request(1, 1)).body());
    EXPECT_EQ("CGI ERROR", post("/6119", "{\"camId\":1,\"type\":2,\"triAlarms\":1}").body());
    EXPECT_EQ(0u, daemon.count());
}

// ---- /6010 --------------------------------------------------------------------------------

TEST_F(MotionTest, GetSettingsAnswersRecordAndActionsInOrder)
{
    MotionRecord rec = seeded(5);
    strcpy(rec.motion_table, "grid");
    store(rec);
    auto effective = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    strcpy(effective->days[0].segments[0].start_time, "08:00");
    strcpy(effective->days[0].segments[0].end_time, "18:00");
    effective->days[0].segments[0].action_type = 1;
    ASSERT_EQ(0, write_motion_effective_schedule(kDb, effective.get(), 5));

    ProcResult r = post("/6010", "{\"chnid\":5}");
    EXPECT_NE(std::string::npos, r.headers().find("application/json"));
    json_object *o = json_tokener_parse(r.body().c_str());
    ASSERT_NE(nullptr, o);
    std::vector<std::string> keys;
    json_object_object_foreach(o, key, val)
    {
        (void)val;
        keys.push_back(key);
    }
    const std::vector<std::string> expected = {
        "chnid", "enable", "sensitivity", "triChannels", "triAlarms", "interval", "enableQX", "motionTable",
        "email_enable", "email_interval", "email_pic_enable", "tri_channels_pic", "ptz_interval",
        "alarmout_interval", "http_notification_interval", "effective", "audible", "email", "ptz",
        "triChnAlarms", "white", "whiteInfo", "white_interval", "warningLight", "warningLightInfo",
        "warning_light_interval", "httpSche", "httpParams", "audioId", "audioIdMask", "ptzParams"};
    EXPECT_EQ(expected, keys);
    auto field = [&](const char *k) { return json_object_object_get(o, k); };
    EXPECT_EQ(5, json_object_get_int(field("chnid")));
    EXPECT_EQ(30, json_object_get_int(field("email_interval")));
    EXPECT_STREQ("grid", json_object_get_string(field("motionTable")));
    EXPECT_STREQ("1100", json_object_get_string(json_object_array_get_idx(field("triChnAlarms"), 1)));
    json_object *seg = json_object_array_get_idx(json_object_array_get_idx(field("effective"), 0), 0);
    EXPECT_STREQ("08:00", json_object_get_string(json_object_object_get(seg, "startTime")));
    EXPECT_EQ(1, json_object_get_int(json_object_object_get(seg, "actionType")));
    EXPECT_EQ(8u, json_object_array_length(field("httpSche")));
    json_object_put(o);
}

TEST_F(MotionTest, GetSettingsRefusesBadChannelWithJsonError)
{
    for (const char *body : {"{\"chnid\":64}", "{\"chnid\":-1}", "[1]", "nonsense"})
        EXPECT_EQ("{status:\"CGI ERROR\"}", post("/6010", body).body()) << body;
}

// ---- /6112 --------------------------------------------------------------------------------

std::string batch_request(int enable_qx, const std::string &dialog)
{
    return "{\"chnid\":1,\"dialog\":" + dialog + ",\"enableQX\":" + std::to_string(enable_qx) +
           ",\"sensitivity\":60,\"enableAI\":1,\"detection\":2,\"motionTable\":\"" + std::string(310, 'm') +
           "\",\"copyChn\":[3,70],\"copyCnt\":2}";
}

TEST_F(MotionTest, BatchSavesDialogCopiesToTargetsAndNotifiesInOrder)
{
    store(seeded(1));
    auto old = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    strcpy(old->days[0].segments[0].start_time, "01:00");
    ASSERT_EQ(0, write_motion_email_schedule(kDb, old.get(), 3));
    ProcResult r = post("/6112", batch_request(1, "{\"chnid\":1,\"interval\":15,\"email\":" +
                                                      schedule_json("07:00", "09:30", 2) + ",\"white\":" +
                                                      schedule_json("20:00", "23:00", 0) + "}"));
    EXPECT_EQ("OK", r.body());

    // The dialog went into channel 1, then everything of channel 1 to channel 3.
    EXPECT_EQ(15, stored(1).interval);
    EXPECT_EQ(10, stored(1).sensitivity); // not among the targets
    MotionRecord copy = stored(3);
    EXPECT_EQ(3, copy.channel);
    EXPECT_EQ(60, copy.sensitivity);
    EXPECT_EQ(1, copy.enable_qx);
    EXPECT_EQ(15, copy.interval);
    EXPECT_EQ(30, copy.email_interval);
    expect_segment(*stored_schedule(read_motion_email_schedule, 3), "07:00", "09:30", 2);
    auto white = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    ASSERT_EQ(0, read_whiteled_effective_schedule(kDb, "motion_whiteled_esche", white.get(), 3));
    expect_segment(*white, "20:00", "23:00", 0);
    EXPECT_EQ(0, stored(2).sensitivity);

    auto req = traffic({IPC_MOTION_CHANGED, IPC_OPLOG_MASK, IPC_CAM_MOTION_BATCH, IPC_MOTION_COPIED,
                        IPC_CAM_MOTION_MODE, IPC_CAM_MOTION_SCHEDULE_BATCH});
    EXPECT_EQ(le32(1), req[0].payload);
    OpLogMaskRecord log{};
    ASSERT_TRUE(req[1].as(&log));
    EXPECT_EQ(204, log.log.sub_type);
    EXPECT_EQ(909, log.log.param_type);
    EXPECT_EQ(1u << 3, log.mask_lo);
    EXPECT_EQ(0u, log.mask_hi);
    CamMotionBatch cams{};
    ASSERT_TRUE(req[2].as(&cams));
    EXPECT_EQ(std::string(299, 'm'), TEXT(cams.grid));
    EXPECT_EQ(60, cams.sensitivity);
    EXPECT_EQ(1, cams.channel);
    EXPECT_EQ(1, cams.enable_qx);
    EXPECT_EQ(1, cams.targets.count);
    EXPECT_EQ(3, cams.targets.channels[0]);
    EXPECT_EQ(0, cams.targets.channels[1]);
    EXPECT_EQ(1, cams.enable_ai);
    EXPECT_EQ(2, cams.detection);
    EXPECT_EQ(std::string("\x08\0\0\0\0\0\0\0", 8), req[3].payload);
    CamMotionMode mode{};
    ASSERT_TRUE(req[4].as(&mode));
    EXPECT_EQ(1, mode.channel);
    EXPECT_EQ(1, mode.on);
    EXPECT_EQ(1, mode.targets.count);
    EXPECT_EQ(3, mode.targets.channels[0]);
    CamMotionSchedule sche{};
    ASSERT_TRUE(req[5].as(&sche));
    EXPECT_EQ(0, sche.channel);
    expect_full_week(sche);
    EXPECT_EQ(1, sche.targets.count);
    EXPECT_EQ(3, sche.targets.channels[0]);
}

TEST_F(MotionTest, BatchWithoutCameraSideModeSendsNoCameraSchedule)
{
    EXPECT_EQ("OK", post("/6112", batch_request(0, "{\"chnid\":1}")).body());
    auto req = traffic({IPC_MOTION_CHANGED, IPC_OPLOG_MASK, IPC_CAM_MOTION_BATCH, IPC_MOTION_COPIED,
                        IPC_CAM_MOTION_MODE});
    CamMotionMode mode{};
    ASSERT_TRUE(req[4].as(&mode));
    EXPECT_EQ(0, mode.on);
}

TEST_F(MotionTest, BatchWithChannelOutOfRangeTouchesNothing)
{
    for (const char *chn : {"64", "-1", "1000"}) {
        std::string body = std::string("{\"chnid\":") + chn +
                           ",\"dialog\":{\"chnid\":1,\"interval\":15},\"copyChn\":[3],\"copyCnt\":1}";
        EXPECT_EQ("CGI ERROR", post("/6112", body).body()) << chn;
    }
    EXPECT_EQ(0u, daemon.count());
    EXPECT_EQ(0, stored(1).interval);
    EXPECT_EQ(0, stored(3).channel_bits);
}

TEST_F(MotionTest, BatchDialogStoresOnlyItsOwnWhiteLightGroup)
{
    JsonDoc five_params("{\"w\":[{\"chnid\":5,\"mode\":1,\"time\":30}]}");
    ASSERT_EQ(1, set_white_params_by_json(5, "motion_white_led_params", five_params.get(), "w"));
    std::string dialog = "{\"chnid\":1,\"whiteInfo\":[{\"chnid\":2,\"mode\":2,\"time\":10}]}";
    EXPECT_EQ("OK", post("/6112", "{\"chnid\":1,\"dialog\":" + dialog + "}").body());

    json_object *five = get_white_params_json_object(5, "motion_white_led_params");
    EXPECT_NE(std::string::npos, std::string(json_object_to_json_string(five)).find("\"time\": 30"))
        << json_object_to_json_string(five);
    json_object_put(five);
    json_object *one = get_white_params_json_object(1, "motion_white_led_params");
    EXPECT_NE(std::string::npos, std::string(json_object_to_json_string(one)).find("\"time\": 10"))
        << json_object_to_json_string(one);
    json_object_put(one);
}

// ---- Dialog keys (/6117) ------------------------------------------------------------------

TEST_F(MotionTest, ActionChangesOnlyTheKeysPresent)
{
    MotionRecord before = seeded(4);
    store(before);
    auto audible = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    strcpy(audible->days[0].segments[0].start_time, "01:00");
    ASSERT_EQ(0, write_motion_audible_schedule(kDb, audible.get(), 4));

    // Wrong types count as missing.
    EXPECT_EQ("OK", post("/6117", "{\"chnid\":4,\"interval\":21,\"tri_channels_pic\":5,\"triChannels\":null,"
                                  "\"audible\":\"none\",\"triChnAlarms\":\"x\"}").body());
    MotionRecord after = stored(4);
    before.interval = 21;
    EXPECT_EQ(0, memcmp(&before, &after, sizeof before));
    EXPECT_STREQ("01:00", stored_schedule(read_motion_audible_schedule, 4)->days[0].segments[0].start_time);
    auto req = traffic({IPC_MOTION_CHANGED});
    EXPECT_EQ(le32(4), req[0].payload);
}

TEST_F(MotionTest, ActionTakesTextsSchedulesAndChannelBits)
{
    store(seeded(6));
    EXPECT_EQ("OK", post("/6117", "{\"chnid\":6,\"triChannels\":\"" + std::string(70, '1') +
                                      "\",\"tri_channels_pic\":\"011\",\"triChnAlarms\":[\"1\"],"
                                      "\"audioId\":2,\"http_notification_interval\":99,\"ptz\":" +
                                      schedule_json("10:00", "11:00", 3) + "}").body());
    MotionRecord rec = stored(6);
    EXPECT_EQ(std::string(64, '1'), TEXT(rec.tri_channels));
    EXPECT_EQ(~0ULL, rec.channel_bits);
    EXPECT_EQ("011", TEXT(rec.tri_channels_pic));
    EXPECT_EQ("1", TEXT(rec.tri_chn_alarms[0]));
    EXPECT_EQ("1100", TEXT(rec.tri_chn_alarms[1])); // second element missing
    EXPECT_EQ(2, rec.audio_id);
    EXPECT_EQ(11, rec.http_notification_interval); // not a key of this route
    expect_segment(*stored_schedule(read_motion_ptz_schedule, 6), "10:00", "11:00", 3);
}

TEST_F(MotionTest, ActionRefusesBadChannelWithJsonError)
{
    for (const char *body : {"{\"chnid\":64,\"interval\":1}", "{\"chnid\":-3}", "oops"})
        EXPECT_EQ("{status:\"CGI ERROR\"}", post("/6117", body).body()) << body;
    EXPECT_EQ(0u, daemon.count());
}

// A channel key that is missing or not an integer is no channel: it never
// falls back to channel 0.
TEST_F(MotionTest, MissingOrMistypedChannelStoresNothing)
{
    struct Row {
        const char *route, *body, *reply;
    };
    const char *json_error = "{status:\"CGI ERROR\"}";
    const Row rows[] = {
        {"/6117", R"({"interval":7,"enable":1})", json_error},
        {"/6117", R"({"chnid":"3","interval":7})", json_error},
        {"/6117", R"({"chnid":null,"interval":7})", json_error},
        {"/6010", R"({})", json_error},
        {"/6010", R"({"chnid":"0"})", json_error},
        {"/6118", R"({"enable":1,"interval":30})", "CGI ERROR"},
        {"/6118", R"({"camId":"0","enable":1,"interval":30})", "CGI ERROR"},
        {"/6119", R"({"type":2,"triAlarms":9})", "CGI ERROR"},
        {"/6112", R"({"enableQX":1,"sensitivity":3})", "CGI ERROR"},
        {"/6013", R"({"schedule":[]})", "CGI ERROR"},
        {"/6152", R"({"camId":[0],"schedule":[]})", "CGI ERROR"},
        {"/6113", R"({"sensitivity":1,"enable":1})", ""},
        {"/6114", R"({"camId":"1","sensitivity":1})", ""},
    };
    for (const Row &row : rows) {
        ProcResult r = post(row.route, row.body);
        EXPECT_EQ(row.reply, r.answer().empty() ? "" : r.body()) << row.route << " " << row.body;
    }
    EXPECT_EQ(0, nvr_db_stored(kDb, nvr_db_motion::desc));
    EXPECT_EQ(0u, daemon.count());
}

// ---- Week schedule routes ------------------------------------------------------------------

TEST_F(MotionTest, ScheduleSettersStoreAndGettersReadBack)
{
    struct Pair {
        const char *set, *get;
    };
    int channel = 7;
    for (Pair p : {Pair{"/6013", "/6011"}, Pair{"/6152", "/6153"}, Pair{"/6159", "/6158"}}) {
        daemon.clear();
        std::string body = "{\"camId\":" + std::to_string(channel) + ",\"schedule\":" + schedule_json("08:00", "18:00", 1) + "}";
        EXPECT_EQ("OK", post(p.set, body).body()) << p.set;
        auto req = traffic({IPC_MOTION_CHANGED});
        EXPECT_EQ(le32(channel), req[0].payload);

        CgiRequest get;
        get.method = "POST";
        get.route = p.get;
        get.content_type = "application/json";
        get.body = std::to_string(channel);
        json_object *o = json_tokener_parse(run_cgi(root, get).body().c_str());
        ASSERT_NE(nullptr, o) << p.get;
        ASSERT_EQ(8u, json_object_array_length(o));
        json_object *seg = json_object_array_get_idx(json_object_array_get_idx(o, 0), 0);
        EXPECT_STREQ("08:00", json_object_get_string(json_object_object_get(seg, "startTime"))) << p.get;
        EXPECT_STREQ("18:00", json_object_get_string(json_object_object_get(seg, "endTime")));
        EXPECT_EQ(1, json_object_get_int(json_object_object_get(seg, "actionType")));
        json_object_put(o);
        channel++;
    }
}

TEST_F(MotionTest, ScheduleSetterWithoutScheduleKeepsStoredOne)
{
    auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    strcpy(s->days[0].segments[0].start_time, "05:00");
    ASSERT_EQ(0, write_motion_effective_schedule(kDb, s.get(), 2));
    ASSERT_EQ(0, write_motion_ptz_schedule(kDb, s.get(), 2));
    EXPECT_EQ("OK", post("/6152", "{\"camId\":2}").body());
    EXPECT_EQ("OK", post("/6159", "{\"camId\":2,\"schedule\":{\"a\":1}}").body());
    EXPECT_STREQ("05:00", stored_schedule(read_motion_effective_schedule, 2)->days[0].segments[0].start_time);
    EXPECT_STREQ("05:00", stored_schedule(read_motion_ptz_schedule, 2)->days[0].segments[0].start_time);
}

TEST_F(MotionTest, ScheduleRoutesRefuseChannelsOutOfRange)
{
    for (const char *route : {"/6013", "/6152", "/6159", "/6118", "/6119"}) {
        EXPECT_EQ("CGI ERROR", post(route, "{\"camId\":-1,\"schedule\":[]}").body()) << route;
        EXPECT_EQ("CGI ERROR", post(route, "{\"camId\":64,\"schedule\":[]}").body()) << route;
    }
    for (const char *route : {"/6011", "/6120", "/6153", "/6158"}) {
        CgiRequest get;
        get.route = route;
        get.query = "64";
        EXPECT_EQ("{status:\"CGI ERROR\"}", run_cgi(root, get).body()) << route;
    }
    EXPECT_EQ(0u, daemon.count());
}

TEST_F(MotionTest, ScheduleGetterReadsChannelZeroForText)
{
    auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    strcpy(s->days[0].segments[0].start_time, "06:30");
    ASSERT_EQ(0, write_motion_email_schedule(kDb, s.get(), 0));
    CgiRequest get;
    get.route = "/6120";
    get.query = "abc";
    std::string body = run_cgi(root, get).body();
    EXPECT_NE(std::string::npos, body.find("06:30")) << body;
}

// ---- /6113, /6114, /6118, /6119 ------------------------------------------------------------

TEST_F(MotionTest, SetWithScheduleStoresAndSwitchesCameraSideMode)
{
    store(seeded(3));
    std::string body = "{\"camId\":3,\"sensitivity\":70,\"enableQX\":1,\"enable\":2,\"triAlarms\":1,\"interval\":4,"
                       "\"schedule\":" + schedule_json("00:00", "23:59", 1) + "}";
    EXPECT_EQ("OK", post("/6113", body).body());
    MotionRecord rec = stored(3);
    EXPECT_EQ(70, rec.sensitivity);
    EXPECT_EQ(2, rec.enable);
    EXPECT_EQ(1, rec.enable_qx);
    EXPECT_EQ(30, rec.email_interval);
    expect_segment(*stored_schedule(read_motion_audible_schedule, 3), "00:00", "23:59", 1);
    auto req = traffic({IPC_MOTION_CHANGED, IPC_MOTION_CHANGED, IPC_CAM_MOTION_MODE, IPC_CAM_MOTION_SCHEDULE});
    CamMotionSchedule sche{};
    ASSERT_TRUE(req[3].as(&sche));
    EXPECT_EQ(3, sche.channel);

    daemon.clear();
    EXPECT_EQ("", post("/6113", "{\"camId\":64,\"sensitivity\":1}").answer());
    EXPECT_EQ("", post("/6114", "{\"camId\":-1,\"sensitivity\":1}").answer());
    EXPECT_EQ(0u, daemon.count());
}

TEST_F(MotionTest, SimpleSetTakesTriggerChannelsAndLogs)
{
    store(seeded(8));
    EXPECT_EQ("OK", post("/6114", "{\"camId\":8,\"sensitivity\":5,\"triChannels\":\"0001\",\"triAlarms\":2,"
                                  "\"interval\":3,\"enableQX\":0,\"enable\":0}").body());
    MotionRecord rec = stored(8);
    EXPECT_EQ("0001", TEXT(rec.tri_channels));
    EXPECT_EQ(1ULL << 3, rec.channel_bits);
    EXPECT_EQ(1, rec.enable); // not a key of this route
    EXPECT_EQ(5, rec.sensitivity);
    auto req = traffic({IPC_MOTION_CHANGED, IPC_OPLOG});
    expect_oplog(req[1], 9);
}

TEST_F(MotionTest, EmailActionStoresEnableIntervalAndSchedule)
{
    store(seeded(9));
    EXPECT_EQ("OK", post("/6118", "{\"camId\":9,\"enable\":0,\"interval\":45,\"schedule\":" +
                                      schedule_json("12:00", "13:00", 0) + "}").body());
    MotionRecord rec = stored(9);
    EXPECT_EQ(0, rec.email_enable);
    EXPECT_EQ(45, rec.email_interval);
    EXPECT_EQ(9, rec.interval);
    expect_segment(*stored_schedule(read_motion_email_schedule, 9), "12:00", "13:00", 0);
    traffic({IPC_MOTION_CHANGED});
}

TEST_F(MotionTest, OthersTakesTargetsByType)
{
    MotionRecord before = seeded(10);
    store(before);
    EXPECT_EQ("OK", post("/6119", "{\"camId\":10,\"type\":3,\"triChannels\":\"11\",\"triAlarms\":9}").body());
    MotionRecord after = stored(10);
    EXPECT_EQ(0, memcmp(&before, &after, sizeof before));
    auto req = traffic({IPC_MOTION_CHANGED, IPC_OPLOG});
    expect_oplog(req[1], 11);

    EXPECT_EQ("OK", post("/6119", "{\"camId\":10,\"type\":1,\"triChannels\":\"011\",\"triAlarms\":9}").body());
    EXPECT_EQ((1ULL << 1) | (1ULL << 2), stored(10).channel_bits);
    EXPECT_EQ(0, stored(10).tri_alarms);
    EXPECT_EQ("OK", post("/6119", "{\"camId\":10,\"type\":2,\"triChannels\":\"1\",\"triAlarms\":9}").body());
    EXPECT_EQ(9, stored(10).tri_alarms);
    EXPECT_EQ("011", TEXT(stored(10).tri_channels));
}

// ---- /6098 --------------------------------------------------------------------------------

TEST_F(MotionTest, MotionMapAnswersFirstRecordWithBoundedMap)
{
    MotionMapRecord maps[2] = {};
    maps[0].enable = 1;
    memset(maps[0].map, 'z', sizeof maps[0].map); // no terminating zero
    maps[0].sensitivity = 33;
    maps[0].result = 0;
    maps[0].model_type = 12;
    maps[0].fish_display = 1;
    maps[0].fish_transfer = 2;
    maps[0].fish_install = 3;
    maps[0].enable_ai = 1;
    maps[1].sensitivity = 99;
    daemon.on(IPC_MOTION_MAP).reply(bytes_of(maps));

    ProcResult r = post("/6098", "{\"id\":12}");
    std::string expected = "{\"map\":\"" + std::string(300, 'z') +
                           "\",\"sensitivity\":33,\"result\":0,\"enable\":1,\"modelType\":12,"
                           "\"fishdisplay\":1,\"fishtransfer\":2,\"fishinstall\":3,\"enableAI\":1}";
    EXPECT_EQ(expected, r.body());
    auto req = traffic({IPC_MOTION_MAP});
    EXPECT_EQ(le32(12), req[0].payload);
}

TEST_F(MotionTest, MotionMapShortReplyOrNoReplyAnswersError)
{
    daemon.on(IPC_MOTION_MAP).reply(std::string(339, 'a'));
    EXPECT_EQ("CGI ERROR", post("/6098", "{\"id\":0}").body());
    daemon.on(IPC_MOTION_MAP).empty();
    EXPECT_EQ("CGI ERROR", post("/6098", "{\"id\":0}").body());
    daemon.on(IPC_MOTION_MAP).silent();
    EXPECT_EQ("CGI ERROR", post_json(root, "/6098", "{\"id\":0}", {{"NVRWEB_TIME_SCALE", "0.001"}}).body());
}

TEST_F(MotionTest, MotionMapRefusesBadIdSilently)
{
    for (const char *body : {"{\"id\":-1}", "{\"id\":64}", "{}", "{\"id\":\"3\"}", "x"})
        EXPECT_EQ("", post("/6098", body).answer()) << body;
    EXPECT_EQ(0u, daemon.count());
}

TEST(MotionSim, SimulatorAnswersMotionMap)
{
    DeviceRoot root;
    ProcResult r;
    {
        SimProcess sim(root);
        ASSERT_TRUE(sim.running());
        r = post_json(root, "/6098", "{\"id\":3}");
    }

    json_object *o = json_tokener_parse(r.body().c_str());
    ASSERT_NE(nullptr, o) << r.out;
    const char *map = json_object_get_string(json_object_object_get(o, "map"));
    ASSERT_NE(nullptr, map);
    EXPECT_GT(strlen(map), 0u);
    EXPECT_LT(strlen(map), 300u);
    EXPECT_EQ(strlen(map), strspn(map, "01"));
    EXPECT_EQ(1, json_object_get_int(json_object_object_get(o, "enable")));
    EXPECT_EQ(0, json_object_get_int(json_object_object_get(o, "result")));
    json_object_put(o);
}

// ---- Reply dispatcher ----------------------------------------------------------------------

TEST(MotionDispatcher, IgnoresRepliesItDoesNotHandle)
{
    uint8_t header[24] = {'N', 'V', 'R', 'M'};
    int32_t code = 6403, length = 4, status = 0;
    memcpy(header + 12, &code, 4);
    memcpy(header + 20, &length, 4);
    g_callback_done = 0;
    testing::internal::CaptureStdout();
    on_video_ipc_callback(0, header, &status);
    on_video_ipc_callback(0, header, nullptr);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0, g_callback_done.load());
    EXPECT_EQ(nullptr, video_reply_entry(6403));
    ASSERT_NE(nullptr, video_reply_entry(REPLY_MOTION_MAP));
    EXPECT_EQ(sizeof(MotionMapRecord), video_reply_entry(REPLY_MOTION_MAP)->record_size);
}

TEST(MotionDispatcher, ASecondReplyWritesNoSecondBody)
{
    // A short motion-map reply answers the error at once; the daemon's next
    // reply to the same request must not add a body.
    uint8_t header[24] = {'N', 'V', 'R', 'M'};
    int32_t code = REPLY_MOTION_MAP, length = 4, status = 0;
    memcpy(header + 12, &code, 4);
    memcpy(header + 20, &length, 4);
    g_callback_done = 0;
    testing::internal::CaptureStdout();
    on_video_ipc_callback(0, header, &status);
    on_video_ipc_callback(0, header, &status);
    EXPECT_EQ("Content-type: text/plain\r\n\r\nCGI ERROR", testing::internal::GetCapturedStdout());
    EXPECT_EQ(2, g_callback_done.load());
    g_callback_done = 0;
}

} // namespace
