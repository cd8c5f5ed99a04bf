// Stored forms of the event-action codecs: named tables of the settings
// database, read back through the JSON encoders.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "common/codecs.h"
#include "common/records/event_action.h"
#include "common/settings_named.h"
#include "common/web_utils.h"
#include "platform/qx_db.h"
#include "tests/support/settings_root.h"

namespace {

class CodecStore : public SettingsRootTest {
protected:
    // Parses a JSON text the test wrote.
    json_object *parse(const std::string &text)
    {
        json_object *o = json_tokener_parse(text.c_str());
        EXPECT_TRUE(o) << text;
        owned_.push_back(o);
        return o;
    }
    // Takes an encoder's result and gives its text.
    std::string text(json_object *o)
    {
        std::string s = o ? json_object_to_json_string_ext(o, JSON_C_TO_STRING_PLAIN) : "(null)";
        json_object_put(o);
        return s;
    }
    // Plants a raw record, as a damaged file or another program might.
    template <class T> void store_raw(const char *table, int key, const T &rec)
    {
        ASSERT_EQ(0, qxdb_transact(db, QXDB_WRITE, [&](QxDbTxn &txn) { return txn.put(table, key, &rec, sizeof rec); }));
    }
    void TearDown() override
    {
        for (json_object *o : owned_) json_object_put(o);
        SettingsRootTest::TearDown();
    }

private:
    std::vector<json_object *> owned_;
};

const char kWhiteTable[] = "alarm_chnIn3_white_led_params";

TEST_F(CodecStore, WhiteLightParamsRoundTripPerChannelAndTable)
{
    json_object *req = parse(R"({"whiteInfo":[{"chnid":2,"mode":1,"time":10},{"chnid":3,"mode":0,"time":20}]})");
    ASSERT_EQ(1, set_white_params_by_json(5, kWhiteTable, req, "whiteInfo"));
    const std::string stored = R"([{"chnid":2,"mode":1,"time":10},{"chnid":3,"mode":0,"time":20}])";
    EXPECT_EQ(stored, text(get_white_params_json_object(5, kWhiteTable)));
    EXPECT_EQ(stored, text(get_white_params_json_object(5, "alarm_chnin3_white_led_params"))); // one table
    EXPECT_EQ("[]", text(get_white_params_json_object(4, kWhiteTable)));
    EXPECT_EQ("[]", text(get_white_params_json_object(5, "motion_white_led_params")));
    EXPECT_EQ("[]", text(get_pcnt_white_params_json_object(5)));

    WhiteLedParams p;
    ASSERT_EQ(0, read_whiteled_params(db, kWhiteTable, &p, 5));
    EXPECT_EQ(2, p.count);
    EXPECT_EQ(5, p.entries[1].group);

    // A missing key stores nothing; an empty array stores an empty list.
    EXPECT_EQ(0, set_white_params_by_json(5, kWhiteTable, parse(R"({"other":[]})"), "whiteInfo"));
    EXPECT_EQ(stored, text(get_white_params_json_object(5, kWhiteTable)));
    EXPECT_EQ(1, set_white_params_by_json(5, kWhiteTable, parse(R"({"whiteInfo":[]})"), "whiteInfo"));
    EXPECT_EQ("[]", text(get_white_params_json_object(5, kWhiteTable)));
    EXPECT_EQ(0, set_white_params_by_json(64, kWhiteTable, req, "whiteInfo"));

    // The people-counting table and the decoder-then-store path.
    WhiteLedTable table;
    ASSERT_EQ(2, get_pcnt_white_params_by_json(9, &table, req, "whiteInfo"));
    ASSERT_EQ(0, write_whiteled_params_all(db, &table.groups[9], 2, PEOPLECNT_WLED_PARAMS_TABLE, 9));
    EXPECT_EQ(stored, text(get_pcnt_white_params_json_object(9)));
}

TEST_F(CodecStore, CopiesCarryTheTargetChannel)
{
    ASSERT_EQ(1, set_white_params_by_json(1, kWhiteTable, parse(R"({"w":[[7,1,5]]})"), "w"));
    WhiteLedParams p;
    ASSERT_EQ(0, read_whiteled_params(db, kWhiteTable, &p, 1));
    ASSERT_EQ(0, copy_whiteled_params(db, kWhiteTable, &p, (1ULL << 2) | (1ULL << 63)));
    for (int channel : {2, 63}) {
        WhiteLedParams c;
        ASSERT_EQ(0, read_whiteled_params(db, kWhiteTable, &c, channel));
        EXPECT_EQ(1, c.count);
        EXPECT_EQ(channel, c.entries[0].group);
        EXPECT_EQ(7, c.entries[0].chnid);
    }

    HttpNotificationParams h = {};
    h.channel = 0;
    COPY_TEXT(h.url, "http://x");
    ASSERT_EQ(0, copy_http_notification_params(db, "motion_http_notification_params", &h, 1ULL << 40));
    EXPECT_EQ(R"({"chnId":40,"url":"http:\/\/x","username":"","password":""})",
              text(get_http_params_json_object(40, "motion_http_notification_params")));
    HttpNotificationParams back;
    ASSERT_EQ(0, read_http_notification_params(db, "motion_http_notification_params", &back, 40));
    EXPECT_EQ(40, back.channel);
}

TEST_F(CodecStore, StoredCountsAreBounded)
{
    WhiteLedParams big;
    memset(&big, 0, sizeof big);
    big.count = 100000;
    store_raw("motion_white_led_params", 3, big);
    json_object *o = get_white_params_json_object(3, "motion_white_led_params");
    EXPECT_EQ(64u, json_object_array_length(o));
    json_object_put(o);
    big.count = -5;
    store_raw("motion_white_led_params", 3, big);
    EXPECT_EQ("[]", text(get_white_params_json_object(3, "motion_white_led_params")));
    // A short row (another program's older layout) reads zero-padded.
    int32_t short_row[2] = {1, 0};
    store_raw("motion_warning_light_params", 3, short_row);
    EXPECT_EQ(R"([{"chnid":0,"time":0}])", text(get_warning_light_params_json_object(3, "motion_warning_light_params")));
}

TEST_F(CodecStore, InvalidTableNamesAreRefused)
{
    json_object *req = parse(R"({"w":[[1,2,3]]})");
    for (const char *name : {"bad-name", "1abc", "_x", "", "params", "user", "sqlite_master",
                             "a_name_that_is_far_too_long_for_the_settings_library_to_accept_it"}) {
        EXPECT_EQ(-1, set_white_params_by_json(0, name, req, "w")) << name;
        EXPECT_EQ("[]", text(get_white_params_json_object(0, name))) << name;
    }
    EXPECT_EQ(-1, set_white_params_by_json(0, nullptr, req, "w"));
    char out[NVR_DB_TABLE_NAME_SIZE];
    EXPECT_TRUE(nvr_db_named_table("Motion_HTTP_params2", out));
    EXPECT_STREQ("motion_http_params2", out);
}

TEST_F(CodecStore, WarningLightAndHttpRoundTrip)
{
    ASSERT_EQ(1, set_warning_light_params_by_json(
                     0, "lpr_black_warning_light_params",
                     parse(R"({"warnLightInfo":[{"chnid":1,"time":3},{"chnid":2,"time":4}]})"), "warnLightInfo"));
    EXPECT_EQ(R"([{"chnid":1,"time":3},{"chnid":2,"time":4}])",
              text(get_warning_light_params_json_object(0, "lpr_black_warning_light_params")));

    ASSERT_EQ(1, set_http_params_by_json(7, "motion_http_notification_params",
                                         parse(R"({"httpParams":{"url":"http://a/b%20c","username":"u","password":"p"}})"),
                                         "httpParams"));
    EXPECT_EQ(R"({"chnId":7,"url":"http:\/\/a\/b%20c","username":"u","password":"p"})",
              text(get_http_params_json_object(7, "motion_http_notification_params")));
    EXPECT_EQ(0, set_http_params_by_json(7, "motion_http_notification_params", parse(R"({"httpParams":[]})"),
                                         "httpParams"));
    EXPECT_EQ(R"({"chnId":6,"url":"","username":"","password":""})",
              text(get_http_params_json_object(6, "motion_http_notification_params")));
}

TEST_F(CodecStore, PtzActionsPerEventTypeAndChannel)
{
    json_object *arr = parse(R"([{"acto_ptz_channel":4,"acto_ptz_type":1,"acto_ptz_preset":2},
                                 {"acto_ptz_channel":0,"acto_ptz_type":1},
                                 {"acto_ptz_channel":6,"acto_ptz_type":3,"acto_ptz_pattern":1}])");
    ASSERT_EQ(1, set_ptz_params_by_json(3, PTZ_EVENT_MOTION, arr));
    const std::string motion = R"([{"acto_ptz_channel":4,"acto_ptz_type":1,"acto_ptz_preset":2,"acto_ptz_patrol":0},)"
                               R"({"acto_ptz_channel":6,"acto_ptz_type":3,"acto_ptz_preset":0,"acto_ptz_patrol":0}])";
    EXPECT_EQ(motion, text(get_ptz_params_json_object(PTZ_EVENT_MOTION, 3)));
    EXPECT_EQ("[]", text(get_ptz_params_json_object(PTZ_EVENT_VIDEO_LOSS, 3)));
    EXPECT_EQ("[]", text(get_ptz_params_json_object(PTZ_EVENT_PEOPLE_COUNT, 3)));
    EXPECT_EQ("[]", text(get_ptz_params_json_object(PTZ_EVENT_MOTION, 4)));

    ASSERT_EQ(1, set_ptz_params_by_json(3, PTZ_EVENT_PEOPLE_COUNT, arr));
    PtzActionTable t;
    int count = -1;
    ASSERT_EQ(0, read_peoplecnt_ptz_params(db, &t, 3, &count));
    EXPECT_EQ(PTZ_ACTION_ENTRIES, count);
    EXPECT_EQ(3, t.entries[2].channel);
    EXPECT_EQ(1, t.entries[2].acto_ptz_pattern);

    // Copies move the used entries to their new owner.
    ASSERT_EQ(0, copy_ptz_params_all(db, &t, PTZ_EVENT_ALARM_IN, 1ULL << 9));
    ASSERT_EQ(0, read_ptz_params(db, &t, PTZ_EVENT_ALARM_IN, 9, &count));
    EXPECT_EQ(9, t.entries[0].channel);
    EXPECT_EQ(9, t.entries[2].channel);

    EXPECT_EQ(0, set_ptz_params_by_json(3, PTZ_EVENT_MOTION, nullptr));
    EXPECT_EQ(0, set_ptz_params_by_json(3, PTZ_EVENT_MOTION, parse(R"({"acto_ptz_channel":1})")));
    EXPECT_EQ(0, set_ptz_params_by_json(64, PTZ_EVENT_MOTION, arr));
    EXPECT_EQ(0, set_ptz_params_by_json(3, 40, arr));
    EXPECT_EQ("[]", text(get_ptz_params_json_object(-1, 3)));
    EXPECT_EQ(motion, text(get_ptz_params_json_object(PTZ_EVENT_MOTION, 3)));
}

TEST_F(CodecStore, AudioFileMask)
{
    EXPECT_EQ(0u, get_audio_file_id_mask());
    for (int id : {0, 3, 9, 4}) {
        AlarmAudioFileEntry f = {};
        f.id = id;
        f.enable = id == 4 ? 2 : 1;
        ASSERT_EQ(0, write_alarm_audio_file(db, &f));
    }
    EXPECT_EQ((1u << 0) | (1u << 3) | (1u << 9), get_audio_file_id_mask());
}

TEST_F(CodecStore, FailedWritesAreReportedAsFailures)
{
    // A directory where the database file belongs: every write fails.
    mkdir(root.host("/mnt").c_str(), 0755);
    mkdir(root.host("/mnt/nand").c_str(), 0755);
    mkdir(root.host("/mnt/nand/app").c_str(), 0755);
    ASSERT_EQ(0, mkdir(root.host(QXDB_PATH).c_str(), 0755));
    EXPECT_EQ(-1, set_white_params_by_json(0, kWhiteTable, parse(R"({"w":[]})"), "w"));
    EXPECT_EQ(-1, set_warning_light_params_by_json(0, kWhiteTable, parse(R"({"w":[]})"), "w"));
    EXPECT_EQ(-1, set_http_params_by_json(0, "t_http", parse(R"({"h":{}})"), "h"));
    EXPECT_EQ(-1, set_ptz_params_by_json(0, 1, parse("[]")));
    EXPECT_EQ("[]", text(get_white_params_json_object(0, kWhiteTable)));
    EXPECT_EQ(0u, get_audio_file_id_mask());
}

} // namespace
