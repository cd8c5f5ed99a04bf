// Settings kept in cameras: what the relay routes send to the daemon for a
// request, and which requests they refuse (and how) without sending any.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/records/camera_features.h"
#include "common/records/camera_params.h"
#include "tests/support/route_fixture.h"

namespace {

class CameraRelayRequests : public RouteTest {
protected:
    CameraRelayRequests() { daemon.default_silent(true); }
};

template <class T> T record_of(const FakeRequest &r)
{
    T rec{};
    EXPECT_TRUE(r.as(&rec)) << "code " << r.code << ": " << r.payload.size() << " bytes, not " << sizeof(T);
    return rec;
}

std::string mask_text(std::initializer_list<int> channels)
{
    std::string m(64, '0');
    for (int ch : channels) m[ch] = '1';
    return m;
}

std::string many(const std::string &element, int n)
{
    std::string out;
    for (int i = 0; i < n; i++) out += (i ? "," : "") + element;
    return out;
}

const char kStream[] = R"("mainFramerate":20,"mainBitrate":3000,"mainResWidth":1280,"mainResHeight":720,)"
                       R"("subEnable":1,"audioEnable":0,"subFramerate":10,"SubSmartStreamLevel":2,)";

struct RequestCase {
    const char *route;
    std::string body;
    int code;
    std::function<void(const FakeRequest &)> check;
};

TEST_F(CameraRelayRequests, RequestsCarryTheirRecords)
{
    const RequestCase cases[] = {
        {"/2009", R"({"chnid":5})", IPC_CAM_STREAM_GET, [](const FakeRequest &r) { EXPECT_EQ(le32(5), r.payload); }},
        {"/2010", std::string("{") + kStream + R"("id":3,"bitrateControl":1,"etbitrate":9})", IPC_CAM_STREAM_SET,
         [](const FakeRequest &r) {
             auto s = record_of<CamStreamRequest>(r);
             EXPECT_EQ(mask_text({3}), std::string(s.channels));
             EXPECT_EQ(-1, s.transmit_protocol);
             EXPECT_EQ(-1, s.time_sync);
             EXPECT_EQ(-1, s.unused76);
             EXPECT_EQ(1280, s.main.width);
             EXPECT_EQ(1, s.main.bitrate_control);
             EXPECT_EQ(9, s.main.event_bitrate);
             EXPECT_EQ(10, s.sub.framerate);
             EXPECT_EQ(2, s.sub.smart_stream_level);
             for (int32_t w : s.unused) EXPECT_EQ(-1, w);
         }},
        // More "chans" than channels: the first 64 count.
        {"/2030", R"({"chans":[1,0,1],"transmitProtocol":2,"syncTime":1,"mainBitrateControl":1,"subBitrateControl":2})",
         IPC_CAM_STREAM_SET,
         [](const FakeRequest &r) {
             auto s = record_of<CamStreamRequest>(r);
             EXPECT_EQ(mask_text({0, 2}), std::string(s.channels));
             EXPECT_EQ(2, s.transmit_protocol);
             EXPECT_EQ(1, s.time_sync);
             EXPECT_EQ(1, s.video_type_enable);
             EXPECT_EQ(1, s.main.bitrate_control);
             EXPECT_EQ(2, s.sub.bitrate_control);
             EXPECT_EQ(-1, s.main.record_type);
             EXPECT_EQ(-1, s.main.event_framerate);
         }},
        {"/2030", "{\"chans\":[" + many("1", 70) + "]}", IPC_CAM_STREAM_SET,
         [](const FakeRequest &r) { EXPECT_EQ(std::string(64, '1'), record_of<CamStreamRequest>(r).channels); }},
        {"/2019", R"({"id":7})", IPC_CAM_ENHANCE_GET, [](const FakeRequest &r) { EXPECT_EQ(le32(7), r.payload); }},
        // The channel list takes channels only, at most 64; "aflevel" is the AF level.
        {"/2020", R"({"channel":[2,70,-1,"3",5],"type":0,"aflevel":4,"wdraflevel":9,"exposeregion":"1,2","modelType":3})",
         IPC_CAM_ENHANCE_SET,
         [](const FakeRequest &r) {
             auto e = record_of<CamEnhanceRequest>(r);
             EXPECT_EQ(2, e.channels[0]);
             EXPECT_EQ(5, e.channels[1]);
             EXPECT_EQ(-1, e.channels[2]);
             EXPECT_EQ(-1, e.channels[63]);
             EXPECT_EQ(4, e.block.af_level);
             EXPECT_EQ(3, e.block.model_type);
             EXPECT_STREQ("1,2", e.block.exposeregion);
         }},
        {"/2020", "{\"channel\":[" + many("9", 100) + R"(],"type":1,"scenes":[{"irBalanceMode":3,"blcRegionArea":"x","hlcLevel":6}]})",
         IPC_CAM_ENHANCE_SET,
         [](const FakeRequest &r) {
             auto e = record_of<CamEnhanceRequest>(r);
             EXPECT_EQ(9, e.channels[63]);
             EXPECT_EQ(1, e.type);
             EXPECT_EQ(3, e.scene.ir_balance_mode);
             EXPECT_STREQ("x", e.scene.blc_region_area);
             EXPECT_EQ(6, e.scene.hlc_level);
         }},
        {"/2022", R"({"id":4,"type":0,"colorkiller":2,"whiteLedLevel":70,"smartwhitestrength":5,"whiteledBrightness":8})",
         IPC_CAM_DISPLAY_SET,
         [](const FakeRequest &r) {
             auto d = record_of<CamDisplayRecord>(r);
             EXPECT_EQ(4, d.channel);
             EXPECT_EQ(0, d.type);
             EXPECT_EQ(2, d.colorkiller);
             EXPECT_EQ(70, d.white_led_level);
             EXPECT_EQ(8, d.whiteled_brightness);
         }},
        {"/2022", R"({"id":4,"type":1,"dnMode":2,"imageRotation":3})", IPC_CAM_DISPLAY_SET,
         [](const FakeRequest &r) {
             auto d = record_of<CamDisplayScene>(r);
             EXPECT_EQ(4, d.channel);
             EXPECT_EQ(1, d.type);
             EXPECT_EQ(2, d.dn_mode);
             EXPECT_EQ(3, d.image_rotation);
         }},
        // An absent text is empty (never "(null)"); an empty page name is flagged.
        {"/2023", R"({"id":1,"httpname":"h","key":"k"})", IPC_CAM_PARAM_GET,
         [](const FakeRequest &r) {
             auto p = record_of<CamParamRequest>(r);
             EXPECT_EQ(1, p.channel);
             EXPECT_STREQ("", p.pagename);
             EXPECT_STREQ("h", p.httpname);
             EXPECT_EQ(1, p.no_page);
         }},
        {"/2024", R"({"id":63,"pagename":"p","key":"ratecontrol2","value":"cbr"})", IPC_CAM_PARAM_SET,
         [](const FakeRequest &r) {
             auto p = record_of<CamParamRequest>(r);
             EXPECT_EQ(63, p.channel);
             EXPECT_STREQ("ratecontrol2", p.key);
             EXPECT_STREQ("cbr", p.value);
             EXPECT_EQ(0, p.no_page);
         }},
        {"/2038", R"({"channel":4,"id":2,"enable":1,"startHour":7,"minShutter":3})", IPC_CAM_DAY_NIGHT_SET,
         [](const FakeRequest &r) {
             auto d = record_of<CamDayNightRecord>(r);
             EXPECT_EQ(4, d.channel);
             for (int i = 0; i < CAM_DN_ENTRIES; i++) EXPECT_EQ(i == 2 ? 1 : 0, d.image.entries[i].set);
             EXPECT_EQ(7, d.image.entries[2].start_hour);
             EXPECT_EQ(3, d.image.entries[2].min_shutter);
         }},
        // The first "cnt" ids that are channels; 16 areas at most.
        {"/2040", R"({"cnt":3,"chnid":[1,99,2,3],"enable":1,"area":[)" + many(R"({"enable":1,"right":9})", 20) + "]}",
         IPC_CAM_AREAS_SET,
         [](const FakeRequest &r) {
             auto a = record_of<CamAreasRequest>(r);
             EXPECT_EQ(2, a.count);
             EXPECT_EQ(1, a.channels[0]);
             EXPECT_EQ(2, a.channels[1]);
             EXPECT_EQ(-1, a.channels[2]);
             EXPECT_EQ(9, a.areas[15].right);
         }},
        {"/2050", R"({"chan_id":3,"area_id":16})", IPC_CAM_AREA_DELETE,
         [](const FakeRequest &r) { EXPECT_EQ(le32(3) + le32(16), r.payload); }},
        // 7 days of 10 entries at most, whatever the request holds.
        {"/2042", "{\"channel\":[1],\"schedule\":[" + many("[" + many(R"(["08:00","18:00",2])", 12) + "]", 9) + "]}",
         IPC_CAM_SCHEDULE_A_SET,
         [](const FakeRequest &r) {
             ASSERT_EQ(27716u, r.payload.size());
             std::unique_ptr<CamScheduleRequest> s(new CamScheduleRequest);
             memcpy(s.get(), r.payload.data(), sizeof *s);
             EXPECT_EQ(1, s->channels[0]);
             EXPECT_STREQ("08:00", s->days[6].segments[9].start_time);
             EXPECT_EQ(2, s->days[6].segments[9].action_type);
             EXPECT_STREQ("", s->days[6].segments[10].start_time);
             for (uint8_t b : s->rest) ASSERT_EQ(0, b);
         }},
        {"/2044", R"({"channel":[2],"schedule":[[["01:00","02:00",1,30,40]]]})", IPC_CAM_EXPOSURE_SCHED_SET,
         [](const FakeRequest &r) {
             ASSERT_EQ(29188u, r.payload.size());
             std::unique_ptr<CamExposureScheduleRequest> s(new CamExposureScheduleRequest);
             memcpy(s.get(), r.payload.data(), sizeof *s);
             EXPECT_STREQ("02:00", s->days[0].segments[0].end_time);
             EXPECT_EQ(30, s->days[0].segments[0].exposure_time);
             EXPECT_EQ(40, s->days[0].segments[0].gain_level);
         }},
        {"/2052", R"({"chnid":2,"copyChn":[0,5],"copyCnt":2,"enable":1,"map_mask":"ff","sensitivity":3})",
         IPC_CAM_REGION_SET,
         [](const FakeRequest &r) {
             ASSERT_EQ(sizeof(CamRegionRequest), r.payload.size());
             EXPECT_EQ((1 << 0) | (1 << 2) | (1 << 5), r.int_at(0));
             EXPECT_EQ(0, r.int_at(4));
             EXPECT_EQ(2, r.int_at(8));
             EXPECT_EQ(3, r.int_at(16));
             EXPECT_EQ("ff", r.payload.substr(32, 2));
         }},
        {"/2053", R"({"chnid":1,"mainType":2,"subType":3,"time":"2024-01-01"})", IPC_CAM_QUERY,
         [](const FakeRequest &r) {
             auto q = record_of<CamQueryRequest>(r);
             EXPECT_EQ(1, q.channel);
             EXPECT_EQ(3, q.sub_type);
             EXPECT_STREQ("2024-01-01", q.time);
         }},
        // Feature setters: masks always carry the own channel.
        {"/2055", R"({"chnid":4,"channels":"0000","enable":1,"area":"a","zoom_number":3,"reportMotion":1})",
         IPC_CAM_TRACKING_SET,
         [](const FakeRequest &r) {
             ASSERT_EQ(sizeof(CamTrackingRequest), r.payload.size());
             EXPECT_EQ(1 << 4, r.int_at(0));
             EXPECT_EQ(4, r.int_at(8));
             EXPECT_EQ(3, r.int_at(36));
             EXPECT_EQ('a', r.payload[27752]);
             EXPECT_EQ(1, r.int_at(28060));
         }},
        {"/2059", R"({"chnid":2,"enable":1,"watermark":"wm","copy":"1"})", IPC_CAM_WATERMARK_SET,
         [](const FakeRequest &r) {
             auto w = record_of<CamWatermarkRequest>(r);
             EXPECT_EQ(mask_text({0, 2}), std::string(w.copy));
             EXPECT_STREQ("wm", w.text);
             EXPECT_EQ(1, w.enable);
         }},
        {"/2059", R"({"chnid":63})", IPC_CAM_WATERMARK_SET,
         [](const FakeRequest &r) { EXPECT_EQ(mask_text({63}), std::string(record_of<CamWatermarkRequest>(r).copy)); }},
        {"/2060", R"({"chnid":1,"fisheyeType":2})", IPC_CAM_EVENT_STREAM_GET,
         [](const FakeRequest &r) { EXPECT_EQ(le32(1) + le32(2), r.payload); }},
        {"/2061", R"({"chnid":1,"enable":1,"framerate":10,"bitrate":512,"iframeinterval":20})", IPC_CAM_EVENT_STREAM_SET,
         [](const FakeRequest &r) {
             auto e = record_of<CamEventStream>(r);
             EXPECT_EQ(1, e.channel);
             EXPECT_EQ(10, e.framerate);
             EXPECT_EQ(20, e.iframe_interval);
         }},
        {"/2064", R"({"chnid":35,"channels":"11","audioEnable":1,"speakerVol":7,"twoWayOutVol":8})", IPC_CAM_AUDIO_SET,
         [](const FakeRequest &r) {
             auto a = record_of<CamAudioRequest>(r);
             EXPECT_EQ(3u, a.mask_lo);
             EXPECT_EQ(1u << 3, a.mask_hi);
             EXPECT_EQ(35, a.config.channel);
             EXPECT_EQ(1, a.config.audio_enable);
             EXPECT_EQ(7, a.speaker_vol);
             EXPECT_EQ(8, a.two_way_out_vol);
         }},
        {"/2068", R"({"chnid":1,"url":"/cgi/x"})", IPC_CAM_CUSTOM_PARAM,
         [](const FakeRequest &r) {
             auto c = record_of<CamCustomRequest>(r);
             EXPECT_EQ(1, c.channel);
             EXPECT_STREQ("/cgi/x", c.url);
         }},
    };
    for (const RequestCase &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body.substr(0, 120));
        post_fast(c.route, c.body);
        std::vector<FakeRequest> sent = traffic();
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(c.code, sent[0].code);
        c.check(sent[0]);
    }
}

struct RefusalCase {
    const char *route;
    const char *body;
    const char *answer; // "" for none
};

// Unparsable texts, bad channels and requests the route refuses: the
// route's answer, and nothing reaches the daemon.
TEST_F(CameraRelayRequests, RefusedRequestsSendNothing)
{
    const char *kJsonError = "{status:\"CGI ERROR\"}";
    const RefusalCase cases[] = {
        {"/2009", "nope", ""},
        {"/2009", R"({"chnid":64})", kJsonError},
        {"/2009", R"({"chnid":"3"})", kJsonError},
        {"/2010", R"({"id":64,"mainFramerate":1,"mainBitrate":1,"mainResWidth":1,"mainResHeight":1,"subEnable":1,"audioEnable":0})", ""},
        {"/2010", R"({"id":1,"mainFramerate":1,"mainBitrate":-1,"mainResWidth":1,"mainResHeight":1,"subEnable":1,"audioEnable":0})", ""},
        {"/2010", R"({"id":1,"mainFramerate":1,"mainBitrate":1,"mainResWidth":1,"mainResHeight":1,"subEnable":1,"audioEnable":2})", ""},
        {"/2019", R"({"id":-1})", "CGI ERROR"},
        {"/2020", R"({"channel":[1],"type":1,"scenes":[]})", ""},
        {"/2021", R"({"id":64})", "CGI ERROR"},
        {"/2022", R"({})", "CGI ERROR"},
        {"/2023", R"({"id":100,"key":"k"})", "CGI ERROR"},
        {"/2024", "[1]", ""},
        {"/2037", R"({"id":64})", kJsonError},
        {"/2038", R"({"channel":1,"id":7})", kJsonError},
        {"/2038", R"({"channel":64,"id":1})", kJsonError},
        {"/2039", R"({})", kJsonError},
        {"/2041", R"({"id":-5})", kJsonError},
        {"/2043", R"({"id":64})", kJsonError},
        {"/2045", R"({"id":64})", kJsonError},
        {"/2048", R"({"channel":64,"exposure":[]})", kJsonError},
        {"/2049", R"({"channel":64})", kJsonError},
        {"/2050", R"({"chan_id":1,"area_id":17})", kJsonError},
        {"/2050", R"({"chan_id":64,"area_id":1})", kJsonError},
        {"/2051", R"({"chnid":64})", kJsonError},
        {"/2052", R"({"chnid":-1})", kJsonError},
        {"/2053", R"({"chnid":64})", "CGI ERROR"},
        {"/2054", "nope", kJsonError},
        {"/2055", R"({"chnid":64})", kJsonError},
        {"/2058", R"({})", kJsonError},
        {"/2059", R"({"chnid":64,"copy":"1"})", kJsonError},
        {"/2061", "nope", kJsonError},
        {"/2063", R"({"chnid":64})", kJsonError},
        {"/2064", "nope", ""},
        {"/2064", R"({"chnid":64})", "CGI ERROR"},
        {"/2065", R"({"chnid":64})", kJsonError},
        {"/2068", R"({"chnid":64})", "CGI ERROR"},
        {"/2068", "nope", kJsonError},
    };
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body);
        ProcResult r = post(c.route, c.body);
        EXPECT_EQ(c.answer, reply_of(r));
        EXPECT_TRUE(traffic().empty());
    }
}

// Without an answer from the daemon: the route's error reply of its kind.
TEST_F(CameraRelayRequests, TimeOutsAnswerTheRoutesErrorReply)
{
    const RefusalCase cases[] = {
        {"/2009", R"({"chnid":1})", "{status:\"CGI ERROR\"}"},
        {"/2010", R"({"id":1,"mainFramerate":1,"mainBitrate":1,"mainResWidth":1,"mainResHeight":1,"subEnable":1,"audioEnable":1})", "CGI ERROR"},
        {"/2019", R"({"id":1})", "CGI ERROR"},
        {"/2024", R"({"id":1,"key":"k"})", "CGI ERROR"},
        {"/2030", R"({"chans":[1]})", "{status:\"CGI ERROR\"}"},
        {"/2053", R"({"chnid":1})", "CGI ERROR"},
        {"/2063", R"({"chnid":1})", "{status:\"CGI ERROR\"}"},
        {"/2064", R"({"chnid":1})", "{status:\"CGI ERROR\"}"},
    };
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(c.route);
        EXPECT_EQ(c.answer, reply_of(post_fast(c.route, c.body)));
    }
}

TEST_F(CameraRelayRequests, NoticesAnswerOkAtOnce)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/2020", R"({"channel":[1],"type":0})"}, {"/2038", R"({"channel":1,"id":6})"},
        {"/2040", R"({"cnt":1,"chnid":[1]})"},    {"/2042", R"({"channel":[1]})"},
        {"/2044", R"({"channel":[1]})"},          {"/2046", R"({"channel":[1]})"},
        {"/2047", R"({"cnt":1,"chnid":[1]})"},    {"/2050", R"({"chan_id":1,"area_id":0})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ("OK", reply_of(post(c.first, c.second)));
        EXPECT_EQ(1u, traffic().size());
    }
}

// The stream setter logs its change once the daemon has answered.
TEST_F(CameraRelayRequests, StreamSetterLogsAfterTheAnswer)
{
    const std::string body = std::string("{") + kStream + R"("id":3})";
    post_fast("/2010", body);
    EXPECT_EQ(std::vector<int>{IPC_CAM_STREAM_SET}, codes_of(traffic()));

    daemon.on(IPC_CAM_STREAM_SET).reply(le32(8) + le32(0));
    post("/2010", body);
    std::vector<FakeRequest> sent = traffic();
    ASSERT_EQ((std::vector<int>{IPC_CAM_STREAM_SET, IPC_OPLOG}), codes_of(sent));
    OpLogRecord log = oplog_of(sent[1]);
    EXPECT_EQ(212, log.sub_type);
    EXPECT_EQ(903, log.param_type);
}

// The batch day/night setter sends its record once per listed channel, with
// its entries and periods bounded by the record.
TEST_F(CameraRelayRequests, DayNightBatchGoesToEachChannel)
{
    std::string body = R"({"cnt":4,"chnid":[5,-1,70,6,7],"type":0,"hasSche":1,"image":[)" +
                       many(R"({"enable":1,"startHour":6})", 9) + R"(],"effective":[)" +
                       many(R"({"startTime":"01:00","endTime":"02:00","templateId":4})", 12) + "]}";
    EXPECT_EQ("OK", reply_of(post("/2047", body)));
    std::vector<FakeRequest> sent = traffic();
    ASSERT_EQ((std::vector<int>{IPC_CAM_DAY_NIGHT_SET, IPC_CAM_DAY_NIGHT_SET}), codes_of(sent));
    auto first = record_of<CamDayNightRecord>(sent[0]);
    auto second = record_of<CamDayNightRecord>(sent[1]);
    EXPECT_EQ(5, first.channel);
    EXPECT_EQ(6, second.channel);
    EXPECT_EQ(1, first.image.has_schedule);
    EXPECT_EQ(1, first.image.entries[6].set);
    EXPECT_EQ(6, first.image.entries[6].start_hour);
    EXPECT_EQ(4, first.image.effective[9].template_id);
    EXPECT_EQ(0, first.image.reserved1124);

    // Scene form: up to two scenes, the supplement light by its support flags.
    body = R"({"cnt":1,"chnid":[2],"type":1,"scenes":[[{"minShutter":3},{"colorMode":2},{"minShutter":9}]],)"
           R"("isSupportSupplement":1,"isSupportSupplementWhiteNearAndFar":1,"whiteNearMaxBrightness":80,)"
           R"("whiteMaxBrightness":5,"irCustomBrightness":60,"irMode":2})";
    EXPECT_EQ("OK", reply_of(post("/2047", body)));
    sent = traffic();
    ASSERT_EQ(1u, sent.size());
    auto s = record_of<CamDayNightRecord>(sent[0]).scenes;
    EXPECT_EQ(1, s.set[0]);
    EXPECT_EQ(1, s.set[1]);
    EXPECT_EQ(3, s.min_shutter[0]);
    EXPECT_EQ(0, s.min_shutter[1]);
    EXPECT_EQ(2, s.color_mode[1]);
    EXPECT_EQ(80, s.white_near_max);
    EXPECT_EQ(0, s.white_far_max); // the single-light key does not apply
    EXPECT_EQ(60, s.ir_far_custom);
    EXPECT_EQ(2, s.ir_mode);
}

} // namespace
