// Settings kept in cameras: how the daemon's replies become the answers of
// the relay routes, including replies that are short, empty or carry texts
// and counts the records cannot hold.
#include <gtest/gtest.h>

#include <json-c/json.h>

#include <string>

#include "common/records/camera_features.h"
#include "common/records/camera_params.h"
#include "common/records/osd.h"
#include "tests/support/route_fixture.h"

namespace {

class CameraRelayAnswers : public RouteTest {};

template <size_t N> void fill(char (&field)[N], char c) { memset(field, c, N); }
template <class T> std::string big_bytes(void (*make)(T &))
{
    std::unique_ptr<T> rec(new T());
    make(*rec);
    return bytes_of(*rec);
}

const char kJsonError[] = "{status:\"CGI ERROR\"}";

struct AnswerCase {
    const char *route;
    const char *body;
    int code;          // request code the reply answers
    std::string reply; // reply payload
    std::string answer;
};

TEST_F(CameraRelayAnswers, RepliesBecomeAnswers)
{
    CamWatermarkReply wm{1, 1, 0, "wm"};
    CamWatermarkReply wm_full = wm;
    fill(wm_full.text, 'x');
    CamEventStream ev{1, 0, 1, 25, 2048, 50};
    CamNightMode night{3, 2};
    CamCapabilities caps{};
    caps.audio_support = 1;
    caps.audio_support_mode = 2;
    caps.line_input_support = 3;
    caps.speaker_support = 4;
    caps.manual_speed_support = 5;
    caps.auto_tracking_support = 6;
    CamCustomReply custom{0, 1, "data"};
    CamCustomReply custom_full = custom;
    fill(custom_full.data, 'd');
    CamParamReply param{2, 0, "p", "h", "k", "v"};
    CamStreamResult result{1u << 3, 1u << 31};

    const AnswerCase cases[] = {
        {"/2058", R"({"chnid":1})", IPC_CAM_WATERMARK_GET, bytes_of(wm), R"({"chnid":1,"enable":1,"watermark":"wm"})"},
        {"/2058", R"({"chnid":1})", IPC_CAM_WATERMARK_GET, bytes_of(wm_full),
         R"({"chnid":1,"enable":1,"watermark":")" + std::string(32, 'x') + "\"}"},
        {"/2058", R"({"chnid":1})", IPC_CAM_WATERMARK_GET, std::string(43, 'x'), kJsonError},
        {"/2060", R"({"chnid":1})", IPC_CAM_EVENT_STREAM_GET, bytes_of(ev),
         R"({"chnid":1,"enable":1,"framerate":25,"bitrate":2048,"iframeinterval":50})"},
        {"/2062", R"({"chnid":3})", IPC_CAM_NIGHT_MODE_GET, bytes_of(night), R"({"chnid":3,"nightMode":2})"},
        {"/2065", R"({"chnid":0})", IPC_CAM_CAPABILITIES, bytes_of(caps),
         R"({"res":0,"audioSupport":1,"audioSupportMode":2,"audioLineInputSupport":3,"systemSpeakerSupport":4,)"
         R"("systemManualSpeedSupport":5,"systemAutoTrackingSupport":6})"},
        {"/2068", R"({"chnid":1,"url":"u"})", IPC_CAM_CUSTOM_PARAM, bytes_of(custom), R"({"res":0,"chnid":1,"data":"data"})"},
        {"/2068", R"({"chnid":1,"url":"u"})", IPC_CAM_CUSTOM_PARAM, bytes_of(custom_full),
         R"({"res":0,"chnid":1,"data":")" + std::string(512, 'd') + "\"}"},
        {"/2056", R"({"chnid":1})", IPC_CAM_PTZ_SUPPORT, le32(1), R"({"res":1})"},
        {"/2059", R"({"chnid":1})", IPC_CAM_WATERMARK_SET, le32(-3), R"({"res":-3})"},
        {"/2061", R"({"chnid":1})", IPC_CAM_EVENT_STREAM_SET, le32(0), R"({"res":0})"},
        {"/2055", R"({"chnid":1})", IPC_CAM_TRACKING_SET, le32(2), R"({"res":2})"},
        {"/2052", R"({"chnid":1})", IPC_CAM_REGION_SET, le32(0), R"({"res":0})"},
        {"/2052", R"({"chnid":1})", IPC_CAM_REGION_SET, "\x01", kJsonError},
        {"/2064", R"({"chnid":1})", IPC_CAM_AUDIO_SET, le32(0), "OK"},
        {"/2064", R"({"chnid":1})", IPC_CAM_AUDIO_SET, le32(5), "ERROR"},
        {"/2022", R"({"id":1})", IPC_CAM_DISPLAY_SET, le32(0), "OK"},
        {"/2022", R"({"id":1})", IPC_CAM_DISPLAY_SET, le32(-1), "ERROR"},
        {"/2024", R"({"id":1,"key":"k"})", IPC_CAM_PARAM_SET, le32(1), "ERROR"},
        {"/2023", R"({"id":2,"key":"k"})", IPC_CAM_PARAM_GET, bytes_of(param),
         R"({"id":2,"pagename":"p","httpname":"h","key":"k","value":"v"})"},
        {"/2030", R"({"chans":[1]})", IPC_CAM_STREAM_SET, bytes_of(result),
         R"({"res":")" + std::string(3, '0') + "1" + std::string(59, '0') + "1\"}"},
        // The query's text is the payload up to its length (or a zero).
        {"/2053", R"({"chnid":1})", IPC_CAM_QUERY, "abc", "abc"},
        {"/2053", R"({"chnid":1})", IPC_CAM_QUERY, std::string("ab\0cd", 5), "ab"},
        {"/2053", R"({"chnid":1})", IPC_CAM_QUERY, "", "CGI ERROR"},
    };
    for (const AnswerCase &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " reply of " + std::to_string(c.reply.size()) + " bytes");
        daemon.on(c.code).reply(c.reply);
        EXPECT_EQ(c.answer, reply_of(post(c.route, c.body)));
    }
}

// Replies too short for their record, where the route states no answer to
// that, are no answer: the wait runs into the time-out reply.
TEST_F(CameraRelayAnswers, ShortRepliesRunIntoTheTimeOut)
{
    const AnswerCase cases[] = {
        {"/2019", R"({"id":1})", IPC_CAM_ENHANCE_GET, le32(0), "CGI ERROR"},
        {"/2021", R"({"id":1})", IPC_CAM_DISPLAY_GET, std::string(363, '\0'), "CGI ERROR"},
        {"/2009", R"({"chnid":1})", IPC_CAM_STREAM_GET, le32(0), kJsonError},
        {"/2010", R"({"id":1,"mainFramerate":1,"mainBitrate":1,"mainResWidth":1,"mainResHeight":1,"subEnable":1,"audioEnable":1})",
         IPC_CAM_STREAM_SET, le32(0), "CGI ERROR"},
        {"/2041", R"({"id":1})", IPC_CAM_SCHEDULE_A_GET, le32(0), kJsonError},
        {"/2058", R"({"chnid":1})", IPC_CAM_WATERMARK_GET, "", kJsonError},
    };
    for (const AnswerCase &c : cases) {
        SCOPED_TRACE(c.route);
        daemon.on(c.code).reply(c.reply);
        EXPECT_EQ(c.answer, reply_of(post_fast(c.route, c.body)));
    }
}

json_object *parsed(const std::string &text)
{
    json_object *o = json_tokener_parse(text.c_str());
    EXPECT_NE(nullptr, o) << text;
    return o;
}
json_object *at(json_object *o, const char *key) { return json_object_object_get(o, key); }
int int_at(json_object *o, const char *key) { return json_object_get_int(at(o, key)); }
size_t len_at(json_object *o, const char *key) { return json_object_array_length(at(o, key)); }

TEST_F(CameraRelayAnswers, StreamSettingsJoinTheChannelRecord)
{
    CameraRecord cam{};
    cam.id = 2;
    cam.manage_port = 8000;
    strcpy(cam.mac_addr, "00:11");
    ASSERT_EQ(0, write_camera(QXDB_PATH, &cam));
    OsdRecord osd{};
    osd.channel = 2;
    strcpy(osd.name, "Gate");
    ASSERT_EQ(0, write_osd(QXDB_PATH, &osd));

    CamStreamReply r{};
    r.channel = 2;
    r.main.res[0][0] = 1920;
    r.main.res[0][1] = 1080;
    r.main.res[1][0] = 1280;
    r.main.res[1][1] = 720;
    r.main.cur_width = 1280;
    r.main.cur_height = 720;
    r.sub.res[0][0] = 704;
    r.sub.res[0][1] = 576;
    r.sub.cur_width = 640; // listed nowhere
    r.sub.framerate_max = 30;
    r.third_gop = 9;
    daemon.on(IPC_CAM_STREAM_GET).reply_record(r);
    json_object *o = parsed(reply_of(post("/2009", R"({"chnid":2})")));
    EXPECT_EQ(0, int_at(o, "stateCode"));
    EXPECT_EQ(2, int_at(o, "id"));
    EXPECT_STREQ("Gate", json_object_get_string(at(o, "name")));
    EXPECT_EQ(8000, int_at(o, "managePort"));
    EXPECT_STREQ("00:11", json_object_get_string(at(o, "mac_addr")));
    EXPECT_EQ(9, int_at(o, "thirdGop"));
    json_object *main = at(o, "main");
    EXPECT_EQ(2u, len_at(main, "res"));
    EXPECT_STREQ("1280*720", json_object_get_string(at(json_object_array_get_idx(at(main, "res"), 1), "name")));
    EXPECT_EQ(1, int_at(main, "curRes"));
    EXPECT_EQ(0, int_at(at(o, "sub"), "curRes"));
    EXPECT_EQ(30, int_at(at(o, "sub"), "framerateMax"));
    json_object_put(o);

    r.state = 3;
    daemon.on(IPC_CAM_STREAM_GET).reply_record(r);
    EXPECT_EQ(R"({"stateCode":3})", reply_of(post("/2009", R"({"chnid":2})")));
}

TEST_F(CameraRelayAnswers, LargeRecordsAnswerWithinTheirCounts)
{
    // Audio: option, sample-rate and bitrate counts beyond the record's.
    daemon.on(IPC_CAM_AUDIO_GET).reply(big_bytes<CamAudioReply>([](CamAudioReply &a) {
        a.support = 1;
        a.encoding_count = 20;
        for (CamAudioEncoding &e : a.encodings) {
            e.rate_count = 30;
            for (CamAudioRate &r : e.rates) r.bitrate_count = 99;
        }
        a.encodings[8].rates[8].bitrates[15] = 77;
        a.config.channel = 5;
        a.config.audio_bitrate = 64;
    }));
    json_object *o = parsed(reply_of(post("/2063", R"({"chnid":5})")));
    EXPECT_EQ(9u, len_at(o, "options"));
    json_object *last = json_object_array_get_idx(at(o, "options"), 8);
    EXPECT_EQ(9u, len_at(last, "sampleRateInfo"));
    json_object *rate = json_object_array_get_idx(at(last, "sampleRateInfo"), 8);
    EXPECT_EQ(16u, len_at(rate, "bitrateInfo"));
    EXPECT_EQ(77, json_object_get_int(json_object_array_get_idx(at(rate, "bitrateInfo"), 15)));
    EXPECT_EQ(5, int_at(at(o, "config"), "chnid"));
    EXPECT_EQ(64, int_at(at(o, "config"), "audioBitrate"));
    json_object_put(o);
    daemon.on(IPC_CAM_AUDIO_GET).reply(big_bytes<CamAudioReply>([](CamAudioReply &a) { a.encoding_count = -4; }));
    o = parsed(reply_of(post("/2063", R"({"chnid":5})")));
    EXPECT_EQ(0u, len_at(o, "options"));
    json_object_put(o);

    // Auto tracking: the area text lacks its zero; the schedule's JSON follows.
    daemon.on(IPC_CAM_TRACKING_GET).reply(big_bytes<CamTrackingReply>([](CamTrackingReply &t) {
        t.channel = 4;
        t.zoom_number = 3;
        memset(t.area, 'a', sizeof t.area);
        strcpy(t.schedule.days[0].segments[0].start_time, "08:00");
        t.report_motion = 1;
    }));
    o = parsed(reply_of(post("/2054", R"({"chnid":4})")));
    EXPECT_EQ(4, int_at(o, "chnid"));
    EXPECT_EQ(3, int_at(o, "zoom_number"));
    EXPECT_EQ(std::string(300, 'a'), json_object_get_string(at(o, "area")));
    EXPECT_EQ(1, int_at(o, "reportMotion"));
    EXPECT_EQ(8u, len_at(o, "schedule"));
    json_object_put(o);

    // Grid detection with its camera-side schedule.
    daemon.on(IPC_CAM_REGION_GET).reply(big_bytes<CamRegionReply>([](CamRegionReply &g) {
        g.channel = 1;
        g.sensitivity = 7;
        strcpy(g.map_mask, "ff00");
        g.is_nt_platform = 1;
    }));
    o = parsed(reply_of(post("/2051", R"({"chnid":1})")));
    EXPECT_EQ(7, int_at(o, "sensitivity"));
    EXPECT_STREQ("ff00", json_object_get_string(at(o, "map_mask")));
    EXPECT_EQ(1, int_at(o, "isNtPlatform"));
    EXPECT_TRUE(json_object_is_type(at(o, "effective"), json_type_array));
    json_object_put(o);
    daemon.on(IPC_CAM_REGION_GET).reply(std::string(100, '\0'));
    EXPECT_EQ(kJsonError, reply_of(post("/2051", R"({"chnid":1})")));
}

TEST_F(CameraRelayAnswers, ImageSettingsAnswers)
{
    CamEnhanceReply enh{};
    enh.channel = 6;
    enh.block.af_level = 4;
    enh.block.model_type = 9; // not reported
    fill(enh.block.sdkversion, 's');
    daemon.on(IPC_CAM_ENHANCE_GET).reply_record(enh);
    std::string body = reply_of(post("/2019", R"({"id":6})"));
    EXPECT_EQ(0u, body.find(R"({"id":6,"smartir":0,"whiteblance":0,)")) << body;
    EXPECT_NE(std::string::npos, body.find(R"("exposegain":0,"wdraflevel":4,"exposurectrl":0,"hlclevel":0,)"));
    EXPECT_NE(std::string::npos, body.find(R"("sdkversion":")" + std::string(32, 's') + "\""));
    EXPECT_EQ(std::string::npos, body.find("modelType"));

    CamDisplayRecord disp{};
    disp.channel = 6;
    disp.white_led_level = 70;
    disp.structuretype = 2;
    daemon.on(IPC_CAM_DISPLAY_GET).reply_record(disp);
    body = reply_of(post("/2021", R"({"id":6})"));
    EXPECT_EQ(0u, body.find(R"({"id":6,"colorkiller":0,)")) << body;
    EXPECT_NE(std::string::npos, body.find(R"("smokeddomecover":0,"smartwhitestrength":70,"dnRefocus":0,)"));
    EXPECT_NE(std::string::npos, body.find(R"("structuretype":2,)"));
    EXPECT_NE(std::string::npos, body.find(R"("zoomLimit":0})"));
    EXPECT_EQ(std::string::npos, body.find("whiteled"));

    CamDayNightRecord dn{};
    dn.image.entries[6].max_shutter = 33;
    daemon.on(IPC_CAM_DAY_NIGHT_GET).reply_record(dn);
    json_object *o = parsed(reply_of(post("/2037", R"({"id":1})")));
    ASSERT_EQ(7u, len_at(o, "image"));
    json_object *e6 = json_object_array_get_idx(at(o, "image"), 6);
    EXPECT_EQ(6, int_at(e6, "id"));
    EXPECT_EQ(33, int_at(e6, "maxShutter"));
    json_object_put(o);

    CamAreasReply areas{};
    areas.enable = 1;
    areas.areas[15].bottom = 99;
    daemon.on(IPC_CAM_AREAS_GET).reply_record(areas);
    o = parsed(reply_of(post("/2039", R"({"id":1})")));
    EXPECT_EQ(1, int_at(o, "enable"));
    ASSERT_EQ(16u, len_at(o, "area"));
    EXPECT_EQ(99, int_at(json_object_array_get_idx(at(o, "area"), 15), "bottom"));
    json_object_put(o);

    // Camera schedules: 7 days of 10 (schedule A) or 12 entries.
    const std::pair<const char *, size_t> schedules[] = {{"/2041", 10}, {"/2045", 12}, {"/2043", 12}};
    daemon.on(IPC_CAM_SCHEDULE_A_GET).reply(std::string(sizeof(CamScheduleReply), '\0'));
    daemon.on(IPC_CAM_SCHEDULE_C_GET).reply(std::string(sizeof(CamScheduleReply), '\0'));
    daemon.on(IPC_CAM_EXPOSURE_SCHED_GET).reply(big_bytes<CamExposureScheduleReply>([](CamExposureScheduleReply &x) {
        x.days[6].segments[11].gain_level = 5;
        memset(x.days[0].segments[0].start_time, '1', 32);
    }));
    for (const auto &s : schedules) {
        SCOPED_TRACE(s.first);
        o = parsed(reply_of(post(s.first, R"({"id":1})")));
        ASSERT_EQ(7u, len_at(o, "schedule"));
        json_object *day6 = json_object_array_get_idx(at(o, "schedule"), 6);
        EXPECT_EQ(s.second, json_object_array_length(day6));
        json_object_put(o);
    }
    body = reply_of(post("/2043", R"({"id":1})"));
    EXPECT_NE(std::string::npos, body.find(R"("exposureTime":0,"gainLevel":5}]])"));
    EXPECT_NE(std::string::npos, body.find(R"({"startTime":")" + std::string(32, '1') + "\""));
}

} // namespace
