// Recording search and playback sessions: search, start (one channel or
// several in step), play time, the steering requests (stop, pause, resume,
// step, fast and slow play, speed, jump) and transcoding.
//
// Steering requests are fire-and-forget and answered "OK" here; searches,
// starts and queries wait for the daemon, whose replies reach
// on_stream_callback (playback_ipc.cpp).
#include <algorithm>
#include <cstring>

#include "common/ipc.h"
#include "common/records/device.h"
#include "common/records/playback.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/playback/playback.h"

namespace {
enum { OPLOG_SUB_PLAYBACK = 209, OPLOG_PARAM_PLAYBACK = 900 };

// The playback started last in this process: its session feeds the stream
// information request and its play time the "realPlayTime" of the answer.
struct LastPlayback {
    int32_t sid = 0;
    char play_time[PB_TIME_TEXT] = "";
};
LastPlayback g_last;

int answer_ok() { return cgi_writeback_webserver(REPLY_TEXT, "OK"); }

// Asks for the stream information of the session started last, then logs
// the start (object number: the channel + 1, or 0 for several).
void answer_stream_info(int object_no)
{
    int32_t sid = g_last.sid;
    cgi_request_ipc(on_stream_callback, IPC_PB_STREAM_INFO, sid, REPLY_JSON);
    cgi_send_oplog(OPLOG_SUB_PLAYBACK, OPLOG_PARAM_PLAYBACK, object_no);
}

// Session list of "num" entries of a session array.
PbSessionList session_list(json_object *num, json_object *ids)
{
    PbSessionList list{};
    list.count = playback_list_count(num, {ids}, PB_MAX_SESSIONS);
    playback_int_list(ids, list.count, list.ids);
    return list;
}

// The steering requests over a session list {"num", "sid": [...]}: the list
// goes to the daemon as `code`.
int steer_sessions(const char *request, int code)
{
    const JsonPolicy policy[] = {{"num", JK_INT}, {"sid", JK_ARRAY}};
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    cgi_notify_ipc(code, session_list(tb[0], tb[1]));
    return answer_ok();
}

// Speed record of "num" entries of an id array.
PbSpeedRecord speed_record(json_object *num, json_object *ids, int speed)
{
    PbSpeedRecord rec{};
    rec.speed = speed;
    rec.count = playback_list_count(num, {ids}, PB_MAX_SESSIONS);
    playback_int_list(ids, rec.count, rec.ids);
    return rec;
}
} // namespace

// ---- /4000, /4023: search ------------------------------------------------------------

int on_search_playback(char *request)
{
    enum { S_CHANNEL, S_SID, S_STREAM, S_TIME, S_END, S_COUNT };
    static constexpr JsonPolicy policy[S_COUNT] = {
        {"channelId", JK_INT}, {"sid", JK_INT}, {"streamType", JK_INT}, {"time", JK_STRING}, {"endTime", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_search_playback, policy);
    JsonDoc doc(request);
    json_object *tb[S_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[S_CHANNEL]);
    if (channel < 0) return 0;

    // The page's previous search session is closed first.
    const int32_t sid = jv_int(tb[S_SID], -1);
    if (sid >= 0) {
        PbSessionList list{};
        list.ids[0] = sid;
        list.count = 1;
        cgi_notify_ipc(IPC_PB_CLOSE, list);
        cgi_notify_ipc(IPC_PB_RELEASE, sid);
    }

    DeviceRecord dev{};
    db_get_device(QXDB_PATH, &dev);
    const int channels = dev.max_cameras < PB_MAX_CHANNELS ? dev.max_cameras : PB_MAX_CHANNELS;
    PbSearchRecord rec{};
    for (int n = 0; n < channels; n++) rec.channels[n] = '0';
    rec.channels[channel] = '1';
    rec.one = 1;
    rec.sub_stream = jv_int(tb[S_STREAM]) == 1 ? 1 : 0;
    rec.minus_one[0] = rec.minus_one[1] = -1;
    jv_copy(tb[S_TIME], rec.start_time, sizeof rec.start_time);
    jv_copy(tb[S_END], rec.end_time, sizeof rec.end_time);
    cgi_request_ipc(on_stream_callback, IPC_PB_SEARCH, rec, REPLY_JSON);
    return 0;
}

int on_get_search_page(char *request)
{
    static constexpr JsonPolicy policy[] = {{"sid", JK_INT}, {"page", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_search_page, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    PbSearchPage rec{};
    rec.sid = jv_int(tb[0]);
    rec.page = jv_int(tb[1]);
    cgi_request_ipc(on_stream_callback, IPC_PB_SEARCH_PAGE, rec, REPLY_JSON);
    return 0;
}

void on_search_result_cb(const void *header, const void *payload, size_t count)
{
    json_object *o = json_object_new_object();
    if (count == 0) {
        json_add_text(o, "status", "NO MATCHES");
    } else {
        PbSearchResult first{}, r{};
        ipc_reply_record(header, payload, 0, &first);
        ipc_reply_record(header, payload, count - 1, &r);
        json_add_text(o, "status", "OK");
        json_add_int(o, "camId", r.cam_id);
        json_add_int(o, "sectionNum", static_cast<int>(count));
        json_add_int(o, "sid", first.sid);
        json_object *sections = json_object_new_array();
        for (size_t i = 0; i < count; i++) {
            ipc_reply_record(header, payload, i, &r);
            json_object *s = json_object_new_object();
            json_add_field(s, "startTime", r.start_time);
            json_add_field(s, "endTime", r.end_time);
            json_add_int(s, "recordType", r.record_type);
            json_add_int(s, "lock", r.lock);
            json_object_array_add(sections, s);
        }
        json_object_object_add(o, "section", sections);
    }
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- /4001, /4020: start ----------------------------------------------------------------

int on_start_playback(char *request)
{
    enum { P_CHANNEL, P_SID, P_START, P_END, P_PLAY, P_COUNT };
    static constexpr JsonPolicy policy[P_COUNT] = {
        {"channelId", JK_INT}, {"sid", JK_INT}, {"startTime", JK_STRING}, {"endTime", JK_STRING}, {"playTime", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_start_playback, policy);
    JsonDoc doc(request);
    json_object *tb[P_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) != P_COUNT) return 0;
    const int channel = jv_channel(tb[P_CHANNEL]);
    if (channel < 0) return 0;

    PbStartRecord rec{};
    rec.channel = channel;
    rec.sid = jv_int(tb[P_SID]);
    jv_copy(tb[P_START], rec.start_time, sizeof rec.start_time);
    jv_copy(tb[P_END], rec.end_time, sizeof rec.end_time);
    jv_copy(tb[P_PLAY], rec.play_time, sizeof rec.play_time);
    if (cgi_request_ipc(on_stream_callback, IPC_PB_START, rec, -1) != 1) return cgi_error_to_webserver(REPLY_JSON);

    g_last.sid = rec.sid;
    COPY_TEXT(g_last.play_time, rec.play_time);
    answer_stream_info(channel + 1);
    return 0;
}

void on_start_playback_cb(const void *, const void *payload, size_t)
{
    int32_t status;
    memcpy(&status, payload, sizeof status);
    g_callback_done = status < 0 ? 2 : 1;
}

int on_start_sync_playback(char *request)
{
    enum { S_MASKS = 8, S_PLAY = 8, S_COUNT };
    static constexpr JsonPolicy policy[S_COUNT] = {
        {"mask0", JK_INT}, {"mask1", JK_INT}, {"mask2", JK_INT}, {"mask3", JK_INT}, {"mask4", JK_INT},
        {"mask5", JK_INT}, {"mask6", JK_INT}, {"mask7", JK_INT}, {"playTime", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_start_sync_playback, policy);
    JsonDoc doc(request);
    json_object *tb[S_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) != S_COUNT) return 0;
    struct tm tm;
    time_t play = 0;
    if (!playback_parse_time(jv_str(tb[S_PLAY]), "%Y-%m-%d %H:%M:%S", &tm, &play) || play < 0 || play > INT32_MAX)
        return 0;

    PbSyncStart rec{};
    rec.play_time = static_cast<int32_t>(play);
    for (int i = 0; i < S_MASKS; i++) rec.masks[i] = jv_int(tb[i]);
    if (cgi_request_ipc(on_stream_callback, IPC_PB_SYNC_START, rec, -1) != 1)
        return cgi_error_to_webserver(REPLY_JSON);
    answer_stream_info(0);
    return 0;
}

void on_sync_started_cb(const void *header, const void *payload, size_t)
{
    PbSyncStarted rec{};
    ipc_reply_record(header, payload, 0, &rec);
    if (rec.error != 0) {
        g_callback_done = 2;
        return;
    }
    g_last.sid = rec.sid;
    copy_field(g_last.play_time, sizeof g_last.play_time, rec.play_time, sizeof rec.play_time);
    g_callback_done = 1;
}

void on_stream_info_cb(const void *header, const void *payload, size_t)
{
    PbStreamInfo info{};
    ipc_reply_record(header, payload, 0, &info);
    json_object *o = json_object_new_object();
    json_add_int(o, "sessionId", info.session_id);
    json_add_field(o, "sourcePath", info.source_path);
    json_add_int(o, "port", info.port);
    json_add_text(o, "status", "OK");
    json_add_field(o, "realPlayTime", g_last.play_time);
    json_add_int(o, "external_port", info.external_port);
    json_add_int(o, "external_http_port", info.external_http_port);
    json_add_int(o, "ddns_port", info.ddns_port);
    json_add_int(o, "ddns_http_port", info.ddns_http_port);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- /4002: play time ------------------------------------------------------------------

int on_get_play_time(char *request)
{
    int sid = 0;
    if (!playback_text_int(request, &sid)) return 0;
    int32_t payload = sid;
    cgi_request_ipc(on_stream_callback, IPC_PB_PLAY_TIME, payload, REPLY_JSON);
    return 0;
}

void on_play_time_cb(const void *, const void *payload, size_t)
{
    int32_t seconds;
    memcpy(&seconds, payload, sizeof seconds);
    time_t t = seconds;
    struct tm tm;
    char text[32];
    if (seconds <= 0 || !localtime_r(&t, &tm) || !strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm)) {
        cgi_error_to_webserver(REPLY_JSON);
        g_callback_done = 2;
        return;
    }
    json_object *o = json_object_new_object();
    json_add_text(o, "status", "OK");
    json_add_text(o, "curPlayTime", text);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- Steering --------------------------------------------------------------------------

int on_stop_playback(char *request)
{
    static constexpr JsonPolicy policy[] = {{"close", JK_INT}, {"num", JK_INT}, {"sid", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_stop_playback, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    PbSessionList list = session_list(tb[1], tb[2]);
    for (int i = 0; i < list.count; i++)
        if (list.ids[i] >= 0) cgi_notify_ipc(IPC_PB_RELEASE, list.ids[i]);
    cgi_notify_ipc(IPC_PB_STOP, list);
    if (jv_int(tb[0]) == 1) cgi_notify_ipc(IPC_PB_CLOSE, list);
    return answer_ok();
}

int on_pause_playback(char *request) { return steer_sessions(request, IPC_PB_PAUSE); }
int on_step_foward_playback(char *request) { return steer_sessions(request, IPC_PB_STEP); }

int on_resume_playback(char *request)
{
    static constexpr JsonPolicy policy[] = {{"sid", JK_INT}, {"direction", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_resume_playback, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    PbResumeRecord rec{jv_int(tb[0]), jv_int(tb[1])};
    cgi_notify_ipc(IPC_PB_RESUME, rec);
    return answer_ok();
}

int on_step_playback_batch(char *request)
{
    static constexpr JsonPolicy policy[] = {{"sessionId", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_step_playback_batch, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    PbSessionList list{};
    const size_t n = std::min(jv_len(tb[0]), size_t{PB_MAX_SESSIONS});
    playback_int_list(tb[0], static_cast<int>(n), list.ids); // the count stays 0
    cgi_notify_ipc(IPC_PB_STEP_BATCH, list);
    return answer_ok();
}

int on_fastforward_playback(char *request)
{
    static constexpr JsonPolicy policy[] = {
        {"chind", JK_INT}, {"num", JK_INT}, {"sessionId", JK_ARRAY}, {"speed", JK_ARRAY},
    };
    NVRWEB_HANDLER_KEYS(on_fastforward_playback, policy);
    JsonDoc doc(request);
    json_object *tb[4];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0] || jv_int(tb[0]) < 0) return 0;
    PbSessionList list{};
    list.count = playback_list_count(tb[1], {tb[2], tb[3]}, PB_MAX_SESSIONS);
    playback_int_list(tb[2], list.count, list.ids);
    playback_int_list(tb[3], list.count, list.speeds);
    cgi_notify_ipc(IPC_PB_FAST_PLAY, list);
    return answer_ok();
}

int on_slowforward_playback(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chind", JK_ARRAY}, {"num", JK_INT}, {"speed", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_slowforward_playback, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0]) return 0;
    cgi_notify_ipc(IPC_PB_SLOW_PLAY, speed_record(tb[1], tb[0], jv_int(tb[2])));
    return answer_ok();
}

int on_set_speed_playback(char *request)
{
    static constexpr JsonPolicy policy[] = {{"num", JK_INT}, {"sid", JK_ARRAY}, {"speed", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_speed_playback, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    PbSpeedRecord rec = speed_record(tb[0], tb[1], jv_int(tb[2]));
    rec.flag = rec.speed == 2 && rec.count == 1 ? 1 : 0;
    cgi_notify_ipc(IPC_PB_SPEED, rec);
    return answer_ok();
}

// ---- /4009: jump -------------------------------------------------------------------------

int on_jump_playback(char *request)
{
    enum { J_TIME, J_SID, J_CHANNELS, J_NUM, J_COUNT };
    static constexpr JsonPolicy policy[J_COUNT] = {
        {"jumpTime", JK_STRING}, {"sid", JK_ARRAY}, {"chnid", JK_ARRAY}, {"num", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_jump_playback, policy);
    JsonDoc doc(request);
    json_object *tb[J_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) != J_COUNT) return 0;
    PbJumpRecord rec{};
    rec.count = playback_list_count(tb[J_NUM], {tb[J_SID], tb[J_CHANNELS]}, PB_MAX_SESSIONS);
    if (rec.count < 1) return cgi_error_to_webserver(REPLY_JSON);
    playback_int_list(tb[J_CHANNELS], rec.count, rec.channels);
    playback_int_list(tb[J_SID], rec.count, rec.ids);
    jv_copy(tb[J_TIME], rec.jump_time, sizeof rec.jump_time);
    if (cgi_request_ipc(on_stream_callback, IPC_PB_JUMP, rec, -1) != 1) return cgi_error_to_webserver(REPLY_JSON);
    return 0;
}

void on_jump_cb(const void *, const void *payload, size_t)
{
    int32_t status;
    memcpy(&status, payload, sizeof status);
    cgi_writeback_webserver(REPLY_JSON, status == 0 ? "{\"status\":\"OK\"}" : "{\"status\":\"ERROR\"}");
    g_callback_done = 1; // answered either way
}

// ---- /4025, /4026: transcoding --------------------------------------------------------------

int on_set_transcoding(char *request)
{
    enum { T_CH, T_SID, T_MODE, T_SIZE, T_RATE, T_FPS, T_COUNT };
    static constexpr JsonPolicy policy[T_COUNT] = {
        {"ch", JK_INT},       {"sid", JK_INT},     {"trancodingmode", JK_INT},
        {"framesize", JK_INT}, {"bitrate", JK_INT}, {"framerate", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_set_transcoding, policy);
    JsonDoc doc(request);
    json_object *tb[T_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) != T_COUNT || jv_channel(tb[T_CH]) < 0)
        return cgi_error_to_webserver(REPLY_JSON);
    PbTranscodeSet rec{jv_int(tb[T_CH]),   jv_int(tb[T_SID]),  jv_int(tb[T_MODE]),
                       jv_int(tb[T_SIZE]), jv_int(tb[T_RATE]), jv_int(tb[T_FPS])};
    cgi_request_ipc(on_stream_callback, IPC_PB_TRANSCODE_SET, rec, REPLY_JSON);
    return 0;
}

int on_get_transcoding(char *request)
{
    static constexpr JsonPolicy policy[] = {{"ch", JK_INT}, {"sid", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_transcoding, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) != 2 || jv_channel(tb[0]) < 0) return cgi_error_to_webserver(REPLY_JSON);
    PbTranscodeGet rec{jv_int(tb[0]), jv_int(tb[1])};
    cgi_request_ipc(on_stream_callback, IPC_PB_TRANSCODE_GET, rec, REPLY_JSON);
    return 0;
}

void on_transcode_cb(const void *header, const void *payload, size_t)
{
    PbTranscodeState st{};
    ipc_reply_record(header, payload, 0, &st);
    json_object *o = json_object_new_object();
    json_add_int(o, "ch", st.ch);
    json_add_int(o, "sid", st.sid);
    json_add_int(o, "state", st.state);
    if (ipc_reply_code(header) == IPC_PB_TRANSCODE_SET + 5000) json_add_text(o, "status", "OK");
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}
