// Playback, live-view and image routes end to end: nvrweb.cgi against the
// fake daemon, one table row per request with the daemon's answers, the
// expected reply and the daemon traffic it causes.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/ipc.h"
#include "common/log_detail.h"
#include "common/records/playback.h"
#include "common/settings.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

namespace {

const char kJsonError[] = "{status:\"CGI ERROR\"}";
enum { OPLOG = IPC_OPLOG };

struct Answer {
    int code;          // request code
    std::string bytes; // payload of its one reply
    int reply_code = 0; // 0: code + 5000
};

using Traffic = std::vector<FakeRequest>;
struct Row {
    const char *name;
    const char *route;
    std::string request;
    std::vector<Answer> answers;
    std::string reply;         // expected body; "" = no reply at all
    std::vector<int> codes;    // daemon traffic, in order
    std::function<void(const Traffic &)> check = nullptr;
    std::map<std::string, std::string> env = {};
};

template <class T> T record_of(const FakeRequest &r)
{
    T rec{};
    EXPECT_TRUE(r.as(&rec)) << "request " << r.code << ": " << r.payload.size() << " bytes";
    return rec;
}

void expect_oplog(const FakeRequest &r, int sub_type, int object_no)
{
    OpLogRecord log = record_of<OpLogRecord>(r);
    EXPECT_EQ(sub_type, log.sub_type);
    EXPECT_EQ(900, log.param_type);
    EXPECT_EQ(object_no, log.object_no);
}

PbSearchResult section(int cam, int sid, const char *start, const char *end, int type, int lock)
{
    PbSearchResult r{};
    r.cam_id = cam;
    r.sid = sid;
    r.record_type = type;
    r.lock = lock;
    strcpy(r.start_time, start);
    memset(r.end_time, 'x', sizeof r.end_time); // a text without its zero
    memcpy(r.end_time, end, strlen(end));
    return r;
}

PbStreamInfo stream_info(int sid)
{
    PbStreamInfo s{};
    s.session_id = sid;
    s.port = 554;
    s.external_port = 1;
    s.external_http_port = 2;
    s.ddns_port = 3;
    s.ddns_http_port = 4;
    strcpy(s.source_path, "/pb/x");
    return s;
}

std::string stream_info_reply(int sid, const char *play_time)
{
    return "{\"sessionId\":" + std::to_string(sid) +
           ",\"sourcePath\":\"\\/pb\\/x\",\"port\":554,\"status\":\"OK\",\"realPlayTime\":\"" + play_time +
           "\",\"external_port\":1,\"external_http_port\":2,\"ddns_port\":3,\"ddns_http_port\":4}";
}

PbSyncStarted sync_started(int sid, const char *play_time, int error)
{
    PbSyncStarted r{};
    r.sid = sid;
    strcpy(r.play_time, play_time);
    r.error = error;
    return r;
}

int32_t local_seconds(int y, int mo, int d, int h, int mi, int s)
{
    struct tm tm = {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return static_cast<int32_t>(mktime(&tm));
}

LiveReply live_reply(int status)
{
    LiveReply r{};
    r.port = 554;
    r.direct = 1;
    r.status = status;
    strcpy(r.rtsp_addr, "rtsp://a");
    strcpy(r.res_path, "/ch1");
    return r;
}

std::vector<Row> rows()
{
    const std::string two_sections = bytes_of(section(2, 11, "2024-03-01 00:00:00", "2024-03-01 06:00:00", 1, 0)) +
                                     bytes_of(section(3, 12, "2024-03-01 08:00:00", "2024-03-01 08:05:00", 2, 1)) +
                                     std::string(20, 'z'); // a partial record is no record
    const std::string start_ok =
        R"({"channelId":2,"sid":7,"startTime":"2024-03-01 00:00:00","endTime":"2024-03-01 06:00:00","playTime":"2024-03-01 01:00:00"})";
    const std::string sync_ok =
        R"({"mask0":1,"mask1":2,"mask2":3,"mask3":4,"mask4":5,"mask5":6,"mask6":7,"mask7":8,"playTime":"2024-03-01 01:02:03"})";
    const std::string image_set = R"({"id":4,"brightness":255,"contrast":128,"saturation":0,"Sharpness":64,"NoiseReduction":300,"i2ddnr":1})";
    return {
        // ---- search
        {"search closes the page's session first", "/4000",
         R"({"channelId":2,"sid":5,"streamType":1,"time":"2024-03-01 00:00:00","endTime":"2024-03-01 23:59:59"})",
         {{IPC_PB_SEARCH, two_sections}},
         R"({"status":"OK","camId":3,"sectionNum":2,"sid":11,"section":[)"
         R"({"startTime":"2024-03-01 00:00:00","endTime":"2024-03-01 06:00:00x","recordType":1,"lock":0},)"
         R"({"startTime":"2024-03-01 08:00:00","endTime":"2024-03-01 08:05:00x","recordType":2,"lock":1}]})",
         {IPC_PB_CLOSE, IPC_PB_RELEASE, IPC_PB_SEARCH},
         [](const Traffic &t) {
             PbSessionList close = record_of<PbSessionList>(t[0]);
             EXPECT_EQ(1, close.count);
             EXPECT_EQ(5, close.ids[0]);
             EXPECT_EQ(le32(5), t[1].payload);
             PbSearchRecord s = record_of<PbSearchRecord>(t[2]);
             EXPECT_EQ(std::string("0010") + std::string(60, '\0'), std::string(s.channels, 64)) << "4 channels";
             EXPECT_EQ(1, s.one);
             EXPECT_EQ(1, s.sub_stream);
             EXPECT_EQ(-1, s.minus_one[0]);
             EXPECT_EQ(-1, s.minus_one[1]);
             EXPECT_STREQ("2024-03-01 00:00:00", s.start_time);
             EXPECT_STREQ("2024-03-01 23:59:59", s.end_time);
         }},
        {"search without a session to close finds nothing", "/4000", R"({"channelId":0,"sid":-1,"time":"a","endTime":"b"})",
         {{IPC_PB_SEARCH, le32(0)}}, R"({"status":"NO MATCHES"})", {IPC_PB_SEARCH}},
        {"search of channel 64", "/4000", R"({"channelId":64,"sid":5})", {}, "", {}},
        {"next page", "/4023", R"({"sid":11,"page":2})", {{IPC_PB_SEARCH_PAGE, le32(0)}},
         R"({"status":"NO MATCHES"})", {IPC_PB_SEARCH_PAGE},
         [](const Traffic &t) { EXPECT_EQ(le32(11) + le32(2) + std::string(12, '\0'), t[0].payload); }},
        // ---- start
        {"start refused by the daemon", "/4001", start_ok, {{IPC_PB_START, le32(-3)}}, kJsonError, {IPC_PB_START}},
        {"start, then the stream information", "/4001", start_ok,
         {{IPC_PB_START, le32(0)}, {IPC_PB_STREAM_INFO, bytes_of(stream_info(7))}},
         stream_info_reply(7, "2024-03-01 01:00:00"), {IPC_PB_START, IPC_PB_STREAM_INFO, OPLOG},
         [](const Traffic &t) {
             PbStartRecord s = record_of<PbStartRecord>(t[0]);
             EXPECT_EQ(2, s.channel);
             EXPECT_EQ(7, s.sid);
             EXPECT_STREQ("2024-03-01 01:00:00", s.play_time);
             EXPECT_EQ(le32(7), t[1].payload);
             expect_oplog(t[2], 209, 3);
         }},
        {"start without its play time", "/4001", R"({"channelId":2,"sid":7,"startTime":"a","endTime":"b"})", {}, "", {}},
        {"synchronous start", "/4020", sync_ok,
         {{IPC_PB_SYNC_START, bytes_of(sync_started(9, "2024-03-01 01:02:04", 0))}, {IPC_PB_STREAM_INFO, bytes_of(stream_info(9))}},
         stream_info_reply(9, "2024-03-01 01:02:04"), {IPC_PB_SYNC_START, IPC_PB_STREAM_INFO, OPLOG},
         [](const Traffic &t) {
             PbSyncStart s = record_of<PbSyncStart>(t[0]);
             EXPECT_EQ(local_seconds(2024, 3, 1, 1, 2, 3), s.play_time);
             for (int i = 0; i < 8; i++) EXPECT_EQ(i + 1, s.masks[i]);
             EXPECT_EQ(le32(9), t[1].payload);
             expect_oplog(t[2], 209, 0);
         }},
        {"synchronous start answered with the older reply code", "/4020", sync_ok,
         {{IPC_PB_SYNC_START, bytes_of(sync_started(4, "t", 0)), IPC_REPLY_PB_SYNC_LEGACY},
          {IPC_PB_STREAM_INFO, bytes_of(stream_info(4))}},
         stream_info_reply(4, "t"), {IPC_PB_SYNC_START, IPC_PB_STREAM_INFO, OPLOG}},
        {"synchronous start that failed", "/4020", sync_ok, {{IPC_PB_SYNC_START, bytes_of(sync_started(9, "t", 1))}},
         kJsonError, {IPC_PB_SYNC_START}},
        {"synchronous start on 31 February", "/4020",
         R"({"mask0":1,"mask1":0,"mask2":0,"mask3":0,"mask4":0,"mask5":0,"mask6":0,"mask7":0,"playTime":"2024-02-31 10:00:00"})",
         {}, "", {}},
        {"synchronous start on no time at all", "/4020",
         R"({"mask0":1,"mask1":0,"mask2":0,"mask3":0,"mask4":0,"mask5":0,"mask6":0,"mask7":0,"playTime":"soon"})", {}, "", {}},
        // ---- play time, steering, jump
        {"play time", "/4002", "7", {{IPC_PB_PLAY_TIME, le32(local_seconds(2024, 3, 1, 12, 30, 0))}},
         R"({"status":"OK","curPlayTime":"2024-03-01 12:30:00"})", {IPC_PB_PLAY_TIME},
         [](const Traffic &t) { EXPECT_EQ(le32(7), t[0].payload); }},
        {"play time not known", "/4002", "7", {{IPC_PB_PLAY_TIME, le32(0)}}, kJsonError, {IPC_PB_PLAY_TIME}},
        {"play time of no session", "/4002", "seven", {}, "", {}},
        {"stop with a count larger than the list", "/4003", R"({"close":1,"num":9,"sid":[4,-1,6]})", {}, "OK",
         {IPC_PB_RELEASE, IPC_PB_RELEASE, IPC_PB_STOP, IPC_PB_CLOSE},
         [](const Traffic &t) {
             EXPECT_EQ(le32(4), t[0].payload);
             EXPECT_EQ(le32(6), t[1].payload);
             PbSessionList l = record_of<PbSessionList>(t[2]);
             EXPECT_EQ(3, l.count);
             EXPECT_EQ(-1, l.ids[1]);
             EXPECT_EQ(t[2].payload, t[3].payload);
         }},
        {"pause", "/4004", R"({"num":1,"sid":[3]})", {}, "OK", {IPC_PB_PAUSE}},
        {"resume", "/4005", R"({"sid":3,"direction":1})", {}, "OK", {IPC_PB_RESUME},
         [](const Traffic &t) { EXPECT_EQ(le32(3) + le32(1), t[0].payload); }},
        {"step batch leaves the count at 0", "/3003", R"({"sessionId":[3,4]})", {}, "OK", {IPC_PB_STEP_BATCH},
         [](const Traffic &t) {
             PbSessionList l = record_of<PbSessionList>(t[0]);
             EXPECT_EQ(0, l.count);
             EXPECT_EQ(4, l.ids[1]);
         }},
        {"fast play", "/4007", R"({"chind":0,"num":2,"sessionId":[3,4],"speed":[2,4]})", {}, "OK", {IPC_PB_FAST_PLAY},
         [](const Traffic &t) {
             PbSessionList l = record_of<PbSessionList>(t[0]);
             EXPECT_EQ(2, l.count);
             EXPECT_EQ(4, l.ids[1]);
             EXPECT_EQ(4, l.speeds[1]);
         }},
        {"fast play of a negative channel", "/4007", R"({"chind":-1,"num":1,"sessionId":[3],"speed":[2]})", {}, "", {}},
        {"slow play", "/4008", R"({"chind":[5],"num":1,"speed":3})", {}, "OK", {IPC_PB_SLOW_PLAY},
         [](const Traffic &t) {
             PbSpeedRecord s = record_of<PbSpeedRecord>(t[0]);
             EXPECT_EQ(3, s.speed);
             EXPECT_EQ(5, s.ids[0]);
             EXPECT_EQ(1, s.count);
         }},
        {"speed 2 for one session", "/4022", R"({"num":1,"sid":[3],"speed":2})", {}, "OK", {IPC_PB_SPEED},
         [](const Traffic &t) { EXPECT_EQ(1, record_of<PbSpeedRecord>(t[0]).flag); }},
        {"speed 2 for two sessions", "/4022", R"({"num":5,"sid":[3,4],"speed":2})", {}, "OK", {IPC_PB_SPEED},
         [](const Traffic &t) {
             PbSpeedRecord s = record_of<PbSpeedRecord>(t[0]);
             EXPECT_EQ(0, s.flag);
             EXPECT_EQ(2, s.count);
         }},
        {"jump of no session", "/4009", R"({"num":0,"sid":[],"chnid":[],"jumpTime":"t"})", {}, kJsonError, {}},
        {"jump the daemon refused", "/4009", R"({"num":2,"sid":[3,4],"chnid":[0,1],"jumpTime":"2024-03-01 02:00:00"})",
         {{IPC_PB_JUMP, le32(5)}}, R"({"status":"ERROR"})", {IPC_PB_JUMP},
         [](const Traffic &t) {
             PbJumpRecord j = record_of<PbJumpRecord>(t[0]);
             EXPECT_EQ(2, j.count);
             EXPECT_EQ(1, j.channels[1]);
             EXPECT_EQ(4, j.ids[1]);
             EXPECT_STREQ("2024-03-01 02:00:00", j.jump_time);
         }},
        {"transcoding of channel 64", "/4025",
         R"({"ch":64,"sid":1,"trancodingmode":1,"framesize":1,"bitrate":1,"framerate":1})", {}, kJsonError, {}},
        {"transcoding state", "/4026", R"({"ch":1,"sid":7})", {{IPC_PB_TRANSCODE_GET, bytes_of(PbTranscodeState{1, 7, 2})}},
         R"({"ch":1,"sid":7,"state":2})", {IPC_PB_TRANSCODE_GET}},
        // ---- live view
        {"live stream refused", "/4010", R"({"id":1,"streamType":0,"streamFrom":1})",
         {{IPC_LIVE_START, bytes_of(live_reply(-1))}}, R"({"status":"ERROR"})", {IPC_LIVE_START}},
        {"live stream, logged after the answer", "/4010", R"({"id":1,"streamType":1,"streamFrom":0})",
         {{IPC_LIVE_START, bytes_of(live_reply(0))}},
         R"({"status":"OK","port":554,"direct":1,"rtspAddr":"rtsp:\/\/a","resPath":"\/ch1"})", {IPC_LIVE_START, OPLOG},
         [](const Traffic &t) {
             LiveRecord l = record_of<LiveRecord>(t[0]);
             EXPECT_EQ(1, l.channel);
             EXPECT_EQ(1, l.stream_type);
             expect_oplog(t[1], 208, 2);
         }},
        {"live stream of another source", "/4010", R"({"id":1,"streamType":0,"streamFrom":2})", {}, "", {}},
        {"live stop", "/4011", R"({"id":3,"streamType":1,"streamFrom":1})", {}, "OK", {IPC_LIVE_STOP},
         [](const Traffic &t) { EXPECT_EQ(le32(3) + le32(1) + le32(0), t[0].payload); }},
        // ---- image parameters
        {"image parameters set", "/3001", image_set, {}, "OK", {IPC_IMAGE_SET, OPLOG},
         [](const Traffic &t) {
             ImageRecord i = record_of<ImageRecord>(t[0]);
             EXPECT_EQ(4, i.channel);
             EXPECT_EQ(300, i.noise_reduction);
             OpLogRecord log = record_of<OpLogRecord>(t[1]);
             EXPECT_EQ(217, log.sub_type);
             EXPECT_EQ(5, log.object_no);
             int type = 0, length = 0;
             const unsigned char *detail = nullptr;
             ASSERT_EQ(0, qxfs_log_unpack_detail(&log, &type, &detail, &length));
             EXPECT_EQ(107, type);
             ASSERT_EQ(20, length);
             int32_t pct[5];
             memcpy(pct, detail, sizeof pct);
             const int32_t expected[5] = {100, 50, 0, 25, 118};
             for (int k = 0; k < 5; k++) EXPECT_EQ(expected[k], pct[k]) << k;
         }},
        {"image brightness over 255", "/3001", R"({"id":4,"brightness":256,"contrast":1,"saturation":1})", {}, "", {}},
        {"image defaults", "/3002", "5", {}, R"({"ChannelId":5,"Brightness":128,"Contrast":128,"Saturation":128,"Sharpness":128,"NoiseReduction":128})",
         {IPC_IMAGE_SET},
         [](const Traffic &t) { EXPECT_EQ(128, record_of<ImageRecord>(t[0]).sharpness); }},
        {"camera's image parameters", "/3000", R"({"chnid":2})",
         {{IPC_IMAGE_GET, bytes_of(ImageReply{{2, 1, 2, 3, 4, 5, 6}, 0, 1, 0, 1})}},
         R"({"status":"OK","brightness":1,"contrast":2,"saturation":3,"Sharpness":4,"NoiseReduction":5,"i2ddnr":6,"supportLpr":1,"isNtPlatform":0,"isPanoramaStitch":1})",
         {IPC_IMAGE_GET}},
        // ---- queries
        {"busy", "/3004", "", {{IPC_PB_BUSY, le32(1)}}, R"({"status":"BUSY"})", {IPC_PB_BUSY}},
        {"stream addresses, short reply", "/4018", "", {{IPC_RTSP_ADDR, std::string(100, 'a')}}, R"({"rtspaddr":[]})", {IPC_RTSP_ADDR}},
        {"port mappings", "/4021", "", {{IPC_EXTERN_PORT, le32(80) + le32(81)}},
         R"({"upnp_extern_port":80,"ddns_extern_port":81})", {IPC_EXTERN_PORT}},
        // ---- logging only and channel checks
        {"playback logged", "/4014", "3", {}, "OK", {OPLOG}, [](const Traffic &t) { expect_oplog(t[0], 205, 4); }},
        {"playback logged for the web server's user", "/4017", "0", {}, "OK", {OPLOG},
         [](const Traffic &t) {
             expect_oplog(t[0], 227, 1);
             EXPECT_STREQ("viewer", record_of<OpLogRecord>(t[0]).user_name);
         },
         {{"REMOTE_USER", "viewer"}}},
        {"playback end logged", "/4024", "63", {}, "OK", {OPLOG}, [](const Traffic &t) { expect_oplog(t[0], 208, 64); }},
        {"log of channel 64", "/4024", "64", {}, "", {}},
        {"channel check", "/4016", "63", {}, "OK", {}},
        {"channel check of no channel", "/4015", "3x", {}, "", {}},
    };
}

TEST(PlaybackRoutes, RequestsRepliesAndDaemonTraffic)
{
    DeviceRoot root;
    ScopedDeviceRoot scoped(root);
    ASSERT_EQ(0, set_param_int(QXDB_PATH, "max_cameras", 4));
    qxdb_close_all();
    for (const Row &row : rows()) {
        SCOPED_TRACE(std::string(row.route) + " " + row.name);
        FakeDaemon daemon(root);
        for (const Answer &a : row.answers) {
            if (a.reply_code) daemon.on(a.code).reply_as(a.reply_code, 0, a.bytes);
            else daemon.on(a.code).reply(a.bytes);
        }
        ProcResult r = post_json(root, row.route, row.request, row.env);
        EXPECT_EQ(row.reply, r.answer().empty() ? "" : r.body());
        EXPECT_TRUE(daemon.wait_disconnected());
        daemon.wait_requests(row.codes.size(), 2000);
        EXPECT_EQ(row.codes, daemon.codes());
        if (row.check && daemon.codes() == row.codes) row.check(daemon.requests());
    }
}

} // namespace
