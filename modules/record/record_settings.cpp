// Record settings of the channels: the week schedule and record mode
// (/6040 to /6043), the pre- and post-alarm recording parameters with the
// camera's record stream and ANR flag (/6044, /6045), and the daemon's
// answers about ANR support and record streams (/6046, /6047).
//
// Setters store first, in one write transaction with the reads they depend
// on, and tell the daemon after.
#include <cstring>
#include <memory>
#include <vector>

#include "common/ipc.h"
#include "common/records/camera.h"
#include "common/records/recording.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/record/record.h"

namespace {
const char kDb[] = QXDB_PATH;
enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_MODE = 905, OPLOG_PARAM_PARAMS = 906, OPLOG_PARAM_SCHEDULE = 907 };
enum { TIME_TEXT_MAX = 31 };

uint64_t channel_bit(int channel) { return 1ULL << channel; }

// Mask of channels 0..n-1 (n up to 64).
uint64_t first_channels(size_t n) { return n >= 64 ? ~0ULL : (1ULL << n) - 1; }

// Answers a JSON object and releases it.
int reply_json(json_object *o)
{
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

// ---- Week schedule JSON ------------------------------------------------------------------

json_object *schedule_day_json(const ScheduleDay &day)
{
    json_object *plans = json_object_new_array();
    for (const ScheduleSegment &seg : day.segments) {
        json_object *p = json_object_new_object();
        json_add_field(p, "startTime", seg.start_time);
        json_add_field(p, "endTime", seg.end_time);
        json_add_int(p, "actionType", seg.action_type);
        json_object_array_add(plans, p);
    }
    json_object *o = json_object_new_object();
    json_add_int(o, "wholedayEnable", day.whole_day);
    json_add_int(o, "wholedayActionType", day.whole_day_action_type);
    json_object_object_add(o, "plans", plans);
    return o;
}

// One day object of a request: "wholedayEnable" (kept with its action type
// when non-zero) and up to 48 "plans" arrays [start, end, actionType]. What
// the day lacks or holds in another shape stays empty.
void decode_schedule_day(json_object *obj, ScheduleDay *day)
{
    const JsonPolicy policy[] = {{"wholedayEnable", JK_INT}, {"wholedayActionType", JK_INT}, {"plans", JK_ARRAY}};
    json_object *tb[3];
    if (JSON_PARSE(obj, policy, tb) < 0) return;
    if (jv_int(tb[0]) != 0) {
        day->whole_day = jv_int(tb[0]);
        day->whole_day_action_type = jv_int(tb[1]);
    }
    size_t n = jv_len(tb[2]);
    for (size_t i = 0; i < n && i < SCHEDULE_SEGMENTS; i++) {
        json_object *plan = jv_at(tb[2], i);
        if (!jv_is(plan, JK_ARRAY)) continue;
        ScheduleSegment &seg = day->segments[i];
        json_object *start = jv_at(plan, 0), *end = jv_at(plan, 1), *type = jv_at(plan, 2);
        if (jv_is(start, JK_STRING)) copy_text(seg.start_time, TIME_TEXT_MAX + 1, jv_str(start));
        if (jv_is(end, JK_STRING)) copy_text(seg.end_time, TIME_TEXT_MAX + 1, jv_str(end));
        if (jv_is(type, JK_INT)) seg.action_type = jv_int(type);
    }
}

// The 8 day objects of "schedule" into a zeroed record.
void decode_schedule(json_object *days, WeekSchedule *s)
{
    memset(s, 0, sizeof *s);
    size_t n = jv_len(days);
    for (size_t d = 0; d < n && d < SCHEDULE_DAYS; d++) decode_schedule_day(jv_at(days, d), &s->days[d]);
}

// ---- Requests ------------------------------------------------------------------------------

// The channels of a "chnid" array: the first `count` elements (at most
// `cap`) that are channels 0..63, each once, in request order.
std::vector<int> request_channels(json_object *array, int count, size_t cap)
{
    std::vector<int> out;
    uint64_t seen = 0;
    size_t n = jv_len(array);
    for (size_t i = 0; count > 0 && i < static_cast<size_t>(count) && i < n && i < cap; i++) {
        int ch = jv_channel(jv_at(array, i));
        if (ch < 0 || (seen & channel_bit(ch))) continue;
        seen |= channel_bit(ch);
        out.push_back(ch);
    }
    return out;
}

void send_channel_bits(int code, uint64_t bits)
{
    cgi_notify_ipc(code, bits);
}
} // namespace

int record_text_channel(const char *request)
{
    int ch = -1;
    if (!parse_decimal(request, &ch) || !valid_channel(ch)) return -1;
    return ch;
}

// ---- /6040 ------------------------------------------------------------------------------------

int on_get_record_info(char *request)
{
    int ch = record_text_channel(request);
    if (ch < 0) return 0;
    std::unique_ptr<WeekSchedule> s(new WeekSchedule());
    if (read_record_schedule(kDb, s.get(), ch) != 0) memset(s.get(), 0, sizeof *s);

    json_object *days = json_object_new_array();
    for (const ScheduleDay &day : s->days) json_object_array_add(days, schedule_day_json(day));
    json_object *o = json_object_new_object();
    json_add_int(o, "id", ch);
    json_object_object_add(o, "schedule", days);
    return reply_json(o);
}

// ---- /6041 ------------------------------------------------------------------------------------

int on_set_record_info(char *request)
{
    enum { S_CNT, S_CHNID, S_MODE, S_SCHEDULE, S_COUNT };
    static constexpr JsonPolicy policy[S_COUNT] = {
        {"cnt", JK_INT}, {"chnid", JK_ARRAY}, {"recordplanmode", JK_INT}, {"schedule", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_set_record_info, policy);
    JsonDoc doc(request);
    json_object *tb[S_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[S_CNT] || !tb[S_MODE]) return 0;
    const int mode = jv_int(tb[S_MODE]);
    if (mode < 0 || mode > RECORD_MODE_MAX) return 0;

    // Without "schedule" the stored schedules stay as they are.
    const bool with_schedule = tb[S_SCHEDULE] != nullptr;
    std::unique_ptr<WeekSchedule> sche(new WeekSchedule());
    decode_schedule(tb[S_SCHEDULE], sche.get());
    const std::vector<int> channels = request_channels(tb[S_CHNID], jv_int(tb[S_CNT]), SIZE_MAX);
    uint64_t sche_mask = 0;
    for (int ch : channels) sche_mask |= channel_bit(ch);
    if (!with_schedule) sche_mask = 0;

    uint64_t mode_mask = 0;
    int stored = settings_atomic(kDb, [&]() -> int {
        mode_mask = 0;
        RecordEntry entries[RECORD_MAX_CHANNELS];
        int count = 0;
        if (read_records(kDb, entries, &count) != 0) return -1;
        for (int ch : channels)
            if (ch < count && entries[ch].mode != mode) mode_mask |= channel_bit(ch);
        if (copy_record_schedules(kDb, sche.get(), sche_mask) != 0) return -1;
        return copy_table_column_int(kDb, "record", "mode", mode, mode_mask, "id");
    });
    if (stored < 0) return cgi_error_to_webserver(REPLY_TEXT);

    send_channel_bits(IPC_RECORD_MODES_CHANGED, mode_mask);
    send_channel_bits(IPC_RECORD_SCHEDULE_COPIED, sche_mask);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_SCHEDULE, channels.empty() ? 0 : channels.back() + 1);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6042, /6043 ------------------------------------------------------------------------------

int on_get_record_mode_info(char *)
{
    int max = get_param_int(kDb, "max_cameras", 32);
    if (max < 0) max = 0;
    RecordEntry entries[RECORD_MAX_CHANNELS] = {};
    int count = 0;
    read_records(kDb, entries, &count);
    json_object *list = json_object_new_array();
    for (int i = 0; i < count && i < max && i < RECORD_MAX_CHANNELS; i++) {
        json_object *e = json_object_new_object();
        json_add_int(e, "id", entries[i].id);
        json_add_int(e, "mode", entries[i].mode);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "records", list);
    return reply_json(o);
}

int on_set_record_mode_info(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"records", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_set_record_mode_info, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;

    // Every element must be {"id": 0..63, "mode": 0..2}, and there are at
    // most 64 of them; element i sets the mode of channel i.
    const size_t n = jv_len(tb[0]);
    bool valid = tb[0] && n <= RECORD_MAX_CHANNELS;
    int modes[RECORD_MAX_CHANNELS] = {};
    for (size_t i = 0; valid && i < n; i++) {
        const JsonPolicy item[] = {{"id", JK_INT}, {"mode", JK_INT}};
        json_object *e[2];
        valid = JSON_PARSE(jv_at(tb[0], i), item, e) == 2 && jv_channel(e[0]) >= 0 && jv_int(e[1]) >= 0 &&
                jv_int(e[1]) <= RECORD_MODE_MAX;
        if (valid) modes[i] = jv_int(e[1]);
    }
    if (!valid) return cgi_writeback_webserver(REPLY_TEXT, "ERROR");

    int stored = settings_atomic(kDb, [&]() -> int {
        RecordEntry entries[RECORD_MAX_CHANNELS];
        int count = 0;
        if (read_records(kDb, entries, &count) != 0) return -1;
        for (size_t i = 0; i < n; i++) entries[i].mode = modes[i];
        return write_records(kDb, entries, RECORD_MAX_CHANNELS, first_channels(n));
    });
    if (stored < 0) return cgi_error_to_webserver(REPLY_TEXT);

    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_MODE);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    for (size_t i = 0; i < n; i++) {
        int32_t ch = static_cast<int32_t>(i);
        cgi_notify_ipc(IPC_RECORD_MODE_CHANGED, ch);
    }
    return 0;
}

// ---- /6044 ------------------------------------------------------------------------------------

int on_get_record_param_info(char *request)
{
    int ch = record_text_channel(request);
    if (ch < 0) return 0;
    RecordEntry e{};
    CameraRecord cam{};
    read_record(kDb, &e, ch);
    read_camera(kDb, &cam, ch);
    json_object *o = json_object_new_object();
    json_add_int(o, "id", ch);
    json_add_int(o, "prevRecordOn", e.prev_record_on);
    json_add_int(o, "prevRecordDuration", e.prev_record_duration);
    json_add_int(o, "postRecordOn", e.post_record_on);
    json_add_int(o, "postRecordDuration", e.post_record_duration);
    json_add_int(o, "audioEnable", e.audio_enable);
    json_add_int(o, "recordStreamType", cam.record_stream);
    json_add_int(o, "recordExpDate", e.record_exp_date);
    json_add_int(o, "cameraAnr", cam.anr);
    json_add_int(o, "camEnable", cam.enable);
    json_add_int(o, "camProtocol", cam.protocol);
    json_add_int(o, "poeChannel", cam.poe_channel);
    return reply_json(o);
}

// ---- /6045 ------------------------------------------------------------------------------------

namespace {
enum {
    P_CNT, P_CHNID, P_CAM_ANR, P_PREV_ON, P_PREV_DURATION, P_POST_ON, P_POST_DURATION, P_AUDIO,
    P_EXP_DATE, P_STREAM, P_COUNT
};
const JsonPolicy kRecordParamPolicy[P_COUNT] = {
    {"cnt", JK_INT},          {"chnid", JK_ARRAY},        {"camAnr", JK_INT},
    {"prevRecordOn", JK_INT}, {"prevRecordDuration", JK_INT}, {"postRecordOn", JK_INT},
    {"postRecordDuration", JK_INT}, {"audioEnable", JK_INT}, {"recordExpDate", JK_INT},
    {"recordStreamType", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_record_param_info, kRecordParamPolicy);

bool int_in(json_object *v, int lo, int hi) { return v && jv_int(v) >= lo && jv_int(v) <= hi; }

bool check_record_param_info(json_object *const tb[P_COUNT])
{
    return tb[P_CNT] && tb[P_CHNID] && tb[P_CAM_ANR] && int_in(tb[P_PREV_ON], 0, 1) &&
           int_in(tb[P_PREV_DURATION], 0, INT32_MAX) && int_in(tb[P_POST_ON], 0, 1) && tb[P_POST_DURATION] &&
           int_in(tb[P_AUDIO], 0, 1) && int_in(tb[P_STREAM], 0, RECORD_STREAM_MAX);
}

// Whether a camera takes a new ANR flag: clearing always; setting only on an
// enabled camera outside the PoE ports that is not an RTSP camera.
bool anr_applies(const CameraRecord &cam, int anr)
{
    return anr == 0 || (cam.enable && cam.poe_channel == 0 && cam.protocol != CAM_PROTO_RTSP);
}
} // namespace

int on_set_record_param_info(char *request)
{
    JsonDoc doc(request);
    json_object *tb[P_COUNT];
    if (JSON_PARSE(doc.get(), kRecordParamPolicy, tb) < 0 || !check_record_param_info(tb)) return 0;
    const int anr = jv_int(tb[P_CAM_ANR]);
    const int stream = jv_int(tb[P_STREAM]);
    // At most 64 channels, each once: the lists below hold 64.
    const std::vector<int> channels = request_channels(tb[P_CHNID], jv_int(tb[P_CNT]), RECORD_MAX_CHANNELS);

    RecordChannelList params{};
    RecordAnrRequest anr_req{};
    anr_req.anr = anr;
    int stored = settings_atomic(kDb, [&]() -> int {
        params = RecordChannelList{};
        anr_req.list = RecordChannelList{};
        uint64_t record_mask = 0, stream_mask = 0, anr_mask = 0;
        RecordEntry entries[RECORD_MAX_CHANNELS];
        std::vector<CameraRecord> cams(MAX_CAMERAS);
        int n_entries = 0, n_cams = 0;
        if (read_records(kDb, entries, &n_entries) != 0 ||
            read_cameras(kDb, cams.data(), MAX_CAMERAS, &n_cams) != 0)
            return -1;
        for (int ch : channels) {
            if (ch >= n_entries || ch >= n_cams) continue;
            RecordEntry &e = entries[ch];
            e.prev_record_on = jv_int(tb[P_PREV_ON]);
            e.prev_record_duration = jv_int(tb[P_PREV_DURATION]);
            e.post_record_on = jv_int(tb[P_POST_ON]);
            e.post_record_duration = jv_int(tb[P_POST_DURATION]);
            e.audio_enable = jv_int(tb[P_AUDIO]);
            e.record_exp_date = jv_int(tb[P_EXP_DATE]);
            record_mask |= channel_bit(ch);
            params.channels[params.count++] = ch;
            const CameraRecord &cam = cams[ch];
            if (cam.record_stream != stream) stream_mask |= channel_bit(ch);
            if (cam.anr != anr && anr_applies(cam, anr)) {
                anr_req.list.channels[anr_req.list.count++] = ch;
                anr_mask |= channel_bit(ch);
            }
        }
        if (write_records(kDb, entries, RECORD_MAX_CHANNELS, record_mask) != 0) return -1;
        if (copy_table_column_int(kDb, "camera", "anr", anr, anr_mask, "id") != 0) return -1;
        return copy_table_column_int(kDb, "camera", "record_stream", stream, stream_mask, "id");
    });
    if (stored < 0) return cgi_error_to_webserver(REPLY_JSON);

    cgi_notify_ipc(IPC_RECORD_PARAMS_CHANGED, params);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_PARAMS);
    cgi_request_ipc(on_record_ipc_callback, IPC_RECORD_ANR, anr_req, REPLY_JSON);
    return 0;
}

void on_record_anr_cb(const IpcReply &reply)
{
    RecordAnrReply r{};
    memcpy(&r, reply.payload, sizeof r);
    // A failure counts only when more than one channel was changed.
    int resp = 0;
    if (r.anr != 0 && r.count > 1) {
        for (int i = 0; i < r.count && i < RECORD_MAX_CHANNELS; i++)
            if (r.result[i] != 0) resp = -1;
    }
    json_object *o = json_object_new_object();
    json_add_int(o, "resp", resp);
    reply_json(o);
    g_callback_done = 1;
}

// ---- /6046, /6047 -------------------------------------------------------------------------------

int on_get_anr_support_info(char *request)
{
    int ch = record_text_channel(request);
    if (ch < 0) return 0;
    int32_t channel = ch;
    cgi_request_ipc(on_record_ipc_callback, IPC_RECORD_ANR_SUPPORT, channel, REPLY_JSON);
    return 0;
}

void on_record_anr_support_cb(const IpcReply &reply)
{
    RecordAnrSupport r{};
    memcpy(&r, reply.payload, sizeof r);
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", r.channel);
    json_add_int(o, "support", r.support);
    reply_json(o);
    g_callback_done = 1;
}

int on_get_record_stream_info(char *)
{
    cgi_request_ipc(on_record_ipc_callback, IPC_RECORD_STREAMS, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_record_streams_cb(const IpcReply &reply)
{
    RecordStreamReply r{};
    memcpy(&r, reply.payload, sizeof r);
    const int size = r.size < 0 ? 0 : r.size > RECORD_MAX_CHANNELS ? RECORD_MAX_CHANNELS : r.size;
    json_object *primary = json_object_new_array(), *secondary = json_object_new_array();
    for (int i = 0; i < size; i++) {
        json_object_array_add(primary, json_object_new_int(r.primary[i]));
        json_object_array_add(secondary, json_object_new_int(r.secondary[i]));
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "primary", primary);
    json_object_object_add(o, "secondary", secondary);
    json_add_int(o, "size", size);
    reply_json(o);
    g_callback_done = 1;
}
