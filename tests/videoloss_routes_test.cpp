// Video loss routes and the exception settings end to end: nvrweb.cgi
// against the fake daemon, the settings database seeded and checked here.
#include "common/codecs.h"
#include "common/records/event_schedule.h"
#include "common/records/exceptions.h"
#include "common/records/videoloss.h"
#include "common/web_utils.h"
#include "tests/support/alarm_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;

class VideoLossTest : public AlarmFixture {
protected:
    VideoLossRecord rec(int channel)
    {
        VideoLossRecord r{};
        EXPECT_EQ(0, read_video_lost(kDb, &r, channel));
        return r;
    }
    void store(const VideoLossRecord &r) { ASSERT_EQ(0, write_video_lost(kDb, &r)); }
    // A stored record with fields no batch setter touches.
    VideoLossRecord seeded(int channel, int audio_id)
    {
        VideoLossRecord r{};
        r.channel = channel;
        r.enable = 1;
        r.tri_alarms = 3;
        r.interval = 10;
        r.email_interval = 20;
        r.audio_id = audio_id;
        strcpy(r.tri_chn_alarms[0], "cam-out-a");
        return r;
    }
    PtzActionEntry ptz_of(int channel)
    {
        PtzActionTable t{};
        int n = 0;
        EXPECT_EQ(0, read_ptz_params(kDb, &t, PTZ_EVENT_VIDEO_LOSS, channel, &n));
        return t.entries[0];
    }
    // A getter's reply by GET, "" when it answers nothing.
    std::string get(const char *route, const char *query)
    {
        CgiRequest req;
        req.route = route;
        req.query = query;
        return reply_text(run_cgi(root, req));
    }
    static std::string reply_text(const ProcResult &r) { return r.answer().empty() ? std::string() : r.body(); }
};

TEST_F(VideoLossTest, OldDialogStoresEnableAndKeepsWhatItLacks)
{
    store(seeded(3, 7));
    walk({
        {"set basics: enable stored too", "/6016", "{\"camId\":3,\"enable\":2,\"triAlarms\":5,\"interval\":30}", "OK",
         {IPC_VIDEO_LOSS_CHANGED, IPC_OPLOG},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(le32(3), req[0].payload);
             expect_oplog(req[1], 908, 4);
             EXPECT_EQ(2, rec(3).enable);
             EXPECT_EQ(5, rec(3).tri_alarms);
             EXPECT_EQ(30, rec(3).interval);
             EXPECT_EQ(7, rec(3).audio_id);
             EXPECT_EQ("cam-out-a", FIELD(rec(3).tri_chn_alarms[0]));
         }},
        {"enable 3", "/6016", "{\"camId\":3,\"enable\":3,\"triAlarms\":1,\"interval\":1}", "", {}},
        {"interval missing", "/6016", "{\"camId\":3,\"enable\":1,\"triAlarms\":1}", "", {}},
        {"channel 64", "/6016", "{\"camId\":64,\"enable\":1,\"triAlarms\":1,\"interval\":1}", "", {}},
        {"schedule and enable", "/6017", "{\"camId\":3,\"enable\":1,\"schedule\":" + one_segment("08:00", "09:00", 1) + "}",
         "OK", {IPC_VIDEO_LOSS_CHANGED},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ(1, rec(3).enable);
             EXPECT_EQ("08:00", first_start(read_videoloss_audible_schedule, 3));
         }},
        {"neither: both kept", "/6017", "{\"camId\":3}", "OK", {IPC_VIDEO_LOSS_CHANGED},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ(1, rec(3).enable);
             EXPECT_EQ("08:00", first_start(read_videoloss_audible_schedule, 3));
             EXPECT_EQ(30, rec(3).interval);
         }},
        {"no channel", "/6017", "{\"enable\":1}", "", {}},
    });
    EXPECT_EQ(0, rec(0).enable); // never written for a missing or bad channel

    EXPECT_EQ("{\"camId\":3,\"enable\":1,\"triAlarms\":5,\"interval\":30}", get("/6014", "3"));
    EXPECT_EQ("", get("/6014", "64"));
    EXPECT_NE(std::string::npos, get("/6015", "3").find("\"startTime\":\"08:00\""));
    EXPECT_EQ("", get("/6015", "-1"));
}

TEST_F(VideoLossTest, PageSavesTheDialogAndCopiesEverySetting)
{
    store(seeded(5, 9));
    const std::string dialog =
        "{\"enable\":1,\"interval\":45,\"audioId\":6,\"ptz_interval\":6,\"http_notification_interval\":8,"
        "\"triChnAlarms\":[\"out-1\",\"out-2\"],\"audible\":" + one_segment("01:00", "02:00", 1) +
        ",\"white\":" + one_segment("03:00", "04:00", 1) + ",\"httpSche\":" + one_segment("05:00", "06:00", 1) +
        ",\"whiteInfo\":[{\"chnid\":2,\"mode\":1,\"time\":30}],"
        "\"httpParams\":{\"url\":\"http://h/%20\",\"username\":\"u\",\"password\":\"p\"},"
        "\"ptzParams\":[{\"acto_ptz_channel\":4,\"acto_ptz_type\":1,\"acto_ptz_preset\":3}]}";

    walk({
        {"dialog and copy: source and 70 skipped", "/6095",
         "{\"chnid\":2,\"dialog\":" + dialog + ",\"copyCnt\":3,\"copyChn\":[2,5,70]}", "OK",
         {IPC_VIDEO_LOSSES_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ((1ULL << 2) | (1ULL << 5), mask_of(req[0]));
             for (int ch : {2, 5}) {
                 SCOPED_TRACE(ch);
                 const VideoLossRecord r = rec(ch);
                 EXPECT_EQ(ch, r.channel);
                 EXPECT_EQ(2, r.enable); // enable and e-mail enable stored as 2
                 EXPECT_EQ(2, r.email_enable);
                 EXPECT_EQ(45, r.interval);
                 EXPECT_EQ(8, r.http_notification_interval);
                 EXPECT_EQ("out-2", FIELD(r.tri_chn_alarms[1]));
                 EXPECT_EQ("01:00", first_start(read_videoloss_audible_schedule, ch));
                 EXPECT_EQ(4, ptz_of(ch).acto_ptz_channel);
                 EXPECT_EQ(ch, ptz_of(ch).channel);
                 HttpNotificationParams http{};
                 ASSERT_EQ(0, read_http_notification_params(kDb, VIDEOLOSS_HTTP_PARAMS_TABLE, &http, ch));
                 EXPECT_EQ("http://h/%20", FIELD(http.url));
                 EXPECT_EQ(ch, http.channel);
             }
             auto white = std::unique_ptr<WeekSchedule>(new WeekSchedule());
             ASSERT_EQ(0, read_whiteled_effective_schedule(kDb, VIDEOLOSS_WHITE_SCHEDULE_TABLE, white.get(), 5));
             EXPECT_STREQ("03:00", white->days[0].segments[0].start_time);
             WhiteLedParams lights{};
             ASSERT_EQ(0, read_whiteled_params(kDb, VIDEOLOSS_WHITE_PARAMS_TABLE, &lights, 5));
             EXPECT_EQ(1, lights.count);
             EXPECT_EQ(30, lights.entries[0].time);
             EXPECT_EQ(0, rec(6).enable);
         }},
        {"a dialog of only enable", "/6095", "{\"chnid\":7,\"dialog\":{\"enable\":0}}", "OK", {IPC_VIDEO_LOSSES_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(1ULL << 7, mask_of(req[0]));
             EXPECT_EQ(2, rec(7).enable);
             EXPECT_EQ(2, rec(7).email_enable);
         }},
        {"copy only onto itself", "/6095", "{\"chnid\":4,\"copyCnt\":2,\"copyChn\":[4,4]}", "OK",
         {IPC_VIDEO_LOSSES_CHANGED},
         [&](const std::vector<FakeRequest> &req) { EXPECT_EQ(1ULL << 4, mask_of(req[0])); }},
        {"channel 64", "/6095", "{\"chnid\":64,\"dialog\":{\"enable\":1}}", "{status:\"CGI ERROR\"}", {}},
        {"not JSON", "/6095", "{", "{status:\"CGI ERROR\"}", {}},
    });

    JsonDoc page(post("/6094", "{\"chnid\":5}").body().c_str());
    EXPECT_EQ(std::vector<std::string>({"chnid", "enable", "triAlarms", "interval", "email_interval", "ptz_interval",
                                        "alarmout_interval", "white_interval", "http_notification_interval", "audible",
                                        "email", "ptz", "triChnAlarms", "white", "whiteInfo", "warningLight",
                                        "warningLightInfo", "warning_light_interval", "httpSche", "httpParams",
                                        "audioId", "audioIdMask", "ptzParams"}),
              keys_of(page.get()));
    EXPECT_EQ(45, json_object_get_int(json_object_object_get(page.get(), "interval")));
    EXPECT_EQ(6, json_object_get_int(json_object_object_get(page.get(), "audioId"))); // the copy's
    EXPECT_EQ(1u, json_object_array_length(json_object_object_get(page.get(), "ptzParams")));
    EXPECT_EQ("{status:\"CGI ERROR\"}", reply_text(post("/6094", "{}")));
}

TEST_F(VideoLossTest, BatchSettersKeepEachChannelsOwnRecord)
{
    // Only channels 5 and 9 have records: the 64 records stay on their
    // channels however many are stored.
    store(seeded(5, 9));
    store(seeded(9, 4));
    JsonDoc ptz("[{\"acto_ptz_channel\":3,\"acto_ptz_type\":2,\"acto_ptz_patrol\":1}]");
    ASSERT_EQ(1, set_ptz_params_by_json(2, PTZ_EVENT_VIDEO_LOSS, ptz.get()));

    walk({
        {"audible: 64 skipped", "/6121",
         "{\"cnt\":3,\"chnid\":[3,5,64],\"enable\":1,\"interval\":10,\"schedule\":" + one_segment("07:00", "08:00", 1) + "}",
         "OK", {IPC_VIDEO_LOSSES_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ((1ULL << 3) | (1ULL << 5), mask_of(req[0]));
             EXPECT_EQ(1, rec(3).enable);
             EXPECT_EQ(10, rec(3).interval);
             EXPECT_EQ(0, rec(3).audio_id);
             EXPECT_EQ(9, rec(5).audio_id);
             EXPECT_EQ(4, rec(9).audio_id);
             for (int ch : {3, 5}) EXPECT_EQ("07:00", first_start(read_videoloss_audible_schedule, ch)) << ch;
         }},
        {"audible: cnt past the array lists no channel 0", "/6121", "{\"cnt\":4,\"chnid\":[9],\"enable\":0}", "OK",
         {IPC_VIDEO_LOSSES_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(1ULL << 9, mask_of(req[0]));
             EXPECT_EQ(0, rec(9).enable);
             EXPECT_EQ(10, rec(9).interval);
             EXPECT_EQ("", first_start(read_videoloss_audible_schedule, 9)); // no schedule sent
         }},
        {"e-mail", "/6122", "{\"cnt\":1,\"chnid\":[5],\"enable\":1,\"interval\":60,\"schedule\":" +
                               one_segment("09:00", "10:00", 0) + "}",
         "OK", {IPC_VIDEO_LOSSES_CHANGED},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ(1, rec(5).email_enable);
             EXPECT_EQ(60, rec(5).email_interval);
             EXPECT_EQ(1, rec(5).enable);
             EXPECT_EQ(9, rec(5).audio_id);
         }},
        {"alarm outputs: only changed channels", "/6123", "{\"cnt\":2,\"chnid\":[3,5],\"triAlarms\":3}", "OK",
         {IPC_VIDEO_LOSSES_CHANGED, IPC_OPLOG_MASK},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(1ULL << 3, mask_of(req[0]));
             expect_oplog(req[1], 909, 0);
             EXPECT_EQ(0x28, req[1].int_at(672));
             EXPECT_EQ(3, rec(3).tri_alarms);
             EXPECT_EQ(10, rec(3).interval);
         }},
        {"alarm outputs: nothing changes, still logged", "/6123", "{\"cnt\":1,\"chnid\":[5],\"triAlarms\":3}", "OK",
         {IPC_VIDEO_LOSSES_CHANGED, IPC_OPLOG_MASK},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(0u, mask_of(req[0]));
             EXPECT_EQ(0x20, req[1].int_at(672));
         }},
        {"alarm outputs missing", "/6123", "{\"cnt\":1,\"chnid\":[5]}", "", {}},
        {"PTZ: 64 skipped, source kept", "/6165",
         "{\"camId\":2,\"cnt\":3,\"chnid\":[1,2,64],\"schedule\":" + one_segment("11:00", "12:00", 1) + "}", "OK",
         {IPC_VIDEO_LOSSES_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ((1ULL << 1) | (1ULL << 2), mask_of(req[0]));
             EXPECT_EQ(3, ptz_of(1).acto_ptz_channel);
             EXPECT_EQ(1, ptz_of(1).channel);
             EXPECT_EQ(2, ptz_of(2).channel);
             for (int ch : {1, 2}) EXPECT_EQ("11:00", first_start(read_videoloss_ptz_schedule, ch)) << ch;
         }},
        {"PTZ: negative source", "/6165", "{\"camId\":-1,\"cnt\":1,\"chnid\":[1]}", "CGI ERROR", {}},
    });
    EXPECT_EQ(0, rec(0).enable);
    EXPECT_NE(std::string::npos, get("/6124", "5").find("\"09:00\""));
    EXPECT_NE(std::string::npos, get("/6166", "1").find("\"11:00\""));
    EXPECT_EQ("", get("/6166", "64"));
}

TEST_F(VideoLossTest, ExceptionSettingsAndHttpTargets)
{
    // Nothing stored yet: every named kind with empty texts.
    JsonDoc fresh(get("/6999", "").c_str());
    json_object *http = json_object_object_get(fresh.get(), "httpParams");
    EXPECT_EQ(13u, keys_of(http).size());
    EXPECT_EQ("{\"url\":\"\",\"username\":\"\",\"password\":\"\"}",
              std::string(json_object_to_json_string_ext(json_object_object_get(http, "diskFull"), JSON_C_TO_STRING_PLAIN)));

    const std::string success = "{\"status\":\"CGI SUCCESS\"}";
    walk({
        {"seven values", "/6998", "{\"exception\":[1,1,1,1,1,1,1],\"recordFailedMailInterval\":5}", "", {}},
        {"not JSON", "/6998", "x", "", {}},
        {"twelve values and targets", "/6998",
         "{\"exception\":[1,2,3,4,5,6,7,8,9,10,11,12,13],\"recordFailedMailInterval\":30,"
         "\"httpParams\":{\"noDisk\":{\"url\":\"http://a\",\"username\":\"n\",\"password\":\"s\"},\"diskFull\":7}}",
         success, {IPC_EXCEPTION_CHANGED, IPC_EXCEPTION_HTTP_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_TRUE(req[0].payload.empty());
             TriggerAlarmsRecord t{};
             ASSERT_EQ(0, read_trigger_alarms(kDb, &t));
             EXPECT_EQ(12, t.exception[11]);
             EXPECT_EQ(30, t.record_failed_mail_interval);
             HttpNotificationParams p{};
             ASSERT_EQ(0, read_exception_http_target(kDb, &p, 2));
             EXPECT_EQ(2, p.channel);
             EXPECT_EQ("http://a", FIELD(p.url));
             ASSERT_EQ(0, read_exception_http_target(kDb, &p, 0));
             EXPECT_EQ(-1, p.channel);
         }},
        {"nine values: the rest 0, the interval kept", "/6998", "{\"exception\":[0,0,0,0,0,0,0,0,9]}", success,
         {IPC_EXCEPTION_CHANGED},
         [&](const std::vector<FakeRequest> &) {
             TriggerAlarmsRecord t{};
             ASSERT_EQ(0, read_trigger_alarms(kDb, &t));
             EXPECT_EQ(9, t.exception[8]);
             EXPECT_EQ(0, t.exception[11]);
             EXPECT_EQ(30, t.record_failed_mail_interval);
         }},
    });

    JsonDoc page(get("/6999", "").c_str());
    EXPECT_EQ(std::vector<std::string>({"httpParams", "exception", "recordFailedMailInterval"}), keys_of(page.get()));
    EXPECT_STREQ("http://a", json_object_get_string(json_object_object_get(
                                 json_object_object_get(json_object_object_get(page.get(), "httpParams"), "noDisk"), "url")));
    EXPECT_EQ(12u, json_object_array_length(json_object_object_get(page.get(), "exception")));
    EXPECT_EQ(30, json_object_get_int(json_object_object_get(page.get(), "recordFailedMailInterval")));
}

} // namespace
