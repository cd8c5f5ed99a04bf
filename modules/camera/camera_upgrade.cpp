// Camera firmware upgrade of several channels from one staged file, and the
// device queries of the camera pages: record days, GUI commands, chip code,
// motion state, IPv6, camera type, smart-event schedules.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/camera_upgrade.h"
#include "common/records/motion.h"
#include "common/records/smart_schedule.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"
#include "platform/qx_net.h"

namespace {
const char kDb[] = QXDB_PATH;

// 64 characters '0'/'1', character n for bit n.
struct MaskText {
    char text[UPGRADE_CHANNELS + 1];
    explicit MaskText(uint64_t mask)
    {
        for (int n = 0; n < UPGRADE_CHANNELS; n++) text[n] = (mask >> n) & 1 ? '1' : '0';
        text[UPGRADE_CHANNELS] = '\0';
    }
};

// The effective schedules of the camera pages in list order; position 0 is
// the motion schedule, the others smart-event kinds 0..7.
const char *const kScheduleKeys[] = {
    "schedule_motion",          "schedule_region_entrance", "schedule_region_exit",
    "schedule_advanced_motion", "schedule_tamper_detection", "schedule_line_crossing",
    "schedule_loitering",       "schedule_human_detection", "schedule_people_counting",
};
enum { SCHEDULE_KEYS = sizeof kScheduleKeys / sizeof kScheduleKeys[0] };

int read_effective(int pos, WeekSchedule *s, int channel)
{
    return pos == 0 ? read_motion_effective_schedule(kDb, s, channel)
                    : read_smart_event_effective_schedule(kDb, s, channel, pos - 1);
}
int write_effective(int pos, const WeekSchedule *s, int channel)
{
    return pos == 0 ? write_motion_effective_schedule(kDb, s, channel)
                    : write_smart_event_effective_schedule(kDb, s, channel, pos - 1);
}

void reply_text(const char *text)
{
    cgi_writeback_webserver(REPLY_TEXT, text);
    g_callback_done = 1;
}

void reply_json(json_object *o)
{
    camera_reply_json(o);
    g_callback_done = 1;
}

// The text of a reply from `offset` to its end (its length is `count`
// bytes), cut to the buffer.
void reply_text_at(const unsigned char *payload, size_t count, size_t offset, char *out, size_t size)
{
    if (count <= offset) {
        out[0] = '\0';
        return;
    }
    copy_field(out, size, reinterpret_cast<const char *>(payload + offset), count - offset);
}
} // namespace

// ---- Record days (/2013) ------------------------------------------------------------------------

int on_get_record_days(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"time", JK_STRING}, {"chnid", JK_INT}, {"streamType", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_record_days, policy);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 3) return 0;
    int channel = jv_channel(tb[1]);
    if (channel < 0) return 0;
    struct tm tm{};
    const char *end = strptime(jv_str(tb[0]), "%Y-%m-%d %H:%M:%S", &tm);
    if (!end) return cgi_error_to_webserver(REPLY_JSON);
    RecordDaysQuery q{};
    q.stream = jv_int(tb[2]) == 1 ? 1 : 0;
    q.year = tm.tm_year + 1900;
    q.month = tm.tm_mon + 1;
    memset(q.channels, '0', UPGRADE_CHANNELS);
    q.channels[channel] = '1';
    cgi_request_ipc(on_camera_ipc_callback, IPC_RECORD_DAYS, q, REPLY_JSON);
    return 0;
}

void on_record_days_cb(const IpcReply &reply)
{
    RecordDaysReply r = camera_reply_record<RecordDaysReply>(reply.payload, 0);
    json_object *days = json_object_new_array();
    for (int32_t d : r.days) json_object_array_add(days, json_object_new_int(d != 0 ? 1 : 0));
    reply_json(days);
}

// ---- GUI command, chip code, motion state, IPv6 (/2026, /2027, /2028, /2034) ---------------------------

int on_web_sendto_qt_cmd(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"cmd", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_web_sendto_qt_cmd, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 1) return 0;
    GuiCommand cmd{};
    COPY_TEXT(cmd.text, jv_str(tb[0]));
    cgi_request_ipc(on_camera_ipc_callback, IPC_GUI_COMMAND, cmd, REPLY_TEXT);
    return 0;
}

void on_gui_command_cb(const IpcReply &reply)
{
    char text[1024];
    reply_text_at(reply.payload, reply.count, GUI_RESULT_OFFSET, text, sizeof text);
    json_object *o = json_object_new_object();
    json_add_text(o, "result", text);
    reply_json(o);
}

int on_web_get_chip_code(char *)
{
    cgi_request_ipc(on_camera_ipc_callback, IPC_CHIP_CODE, 0, nullptr, REPLY_TEXT);
    return 0;
}

void on_chip_code_cb(const IpcReply &reply)
{
    char text[256];
    reply_text_at(reply.payload, reply.count, 0, text, sizeof text);
    json_object *o = json_object_new_object();
    json_add_text(o, "chip_code", text);
    reply_json(o);
}

int on_web_get_motion_status(char *)
{
    cgi_request_ipc(on_camera_ipc_callback, IPC_MOTION_STATE, 0, nullptr, REPLY_TEXT);
    return 0;
}

void on_motion_state_cb(const IpcReply &reply)
{
    json_object *o = json_object_new_object();
    json_add_text(o, "Motion", MaskText(camera_reply_record<uint64_t>(reply.payload, 0)).text);
    reply_json(o);
}

int on_get_have_ipv6(char *)
{
    char text[16];
    snprintf(text, sizeof text, "%d", net_is_haveipv6());
    return cgi_writeback_webserver(REPLY_TEXT, text);
}

// ---- Effective schedules (/2035, /2036) ---------------------------------------------------------------

int on_get_smart_event_schedules(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"channel", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_smart_event_schedules, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    int channel = jv_channel(tb[0]);
    if (channel < 0) return 0;
    std::unique_ptr<WeekSchedule> s(new WeekSchedule());
    json_object *o = json_object_new_object();
    for (int pos = 0; pos < SCHEDULE_KEYS; pos++) {
        if (read_effective(pos, s.get(), channel) != 0) *s = WeekSchedule();
        for (ScheduleDay &day : s->days)
            for (ScheduleSegment &seg : day.segments)
                if (seg.start_time[0] == '\0') {
                    COPY_TEXT(seg.start_time, "00:00");
                    COPY_TEXT(seg.end_time, "00:00");
                    seg.action_type = 0;
                }
        json_object_object_add(o, kScheduleKeys[pos], get_schedule_json_object(s.get()));
    }
    camera_reply_json(o);
    return 0;
}

int on_set_smart_event_schedules(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"channel", JK_INT}, {"start", JK_INT}, {"end", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_smart_event_schedules, policy);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    int channel = jv_channel(tb[0]);
    if (channel < 0) return 0;
    // Positions outside the list are skipped: the range is clamped to it.
    int start = jv_int(tb[1]), end = jv_int(tb[2]);
    if (start < 0) start = 0;
    if (end > SCHEDULE_KEYS - 1) end = SCHEDULE_KEYS - 1;
    int rc = settings_atomic(kDb, [&]() -> int {
        std::unique_ptr<WeekSchedule> s(new WeekSchedule());
        for (int pos = start; pos <= end; pos++) {
            if (get_schedule_by_json(doc.get(), kScheduleKeys[pos], s.get()) != 0) continue;
            if (write_effective(pos, s.get(), channel) != 0) return -1;
        }
        return 0;
    });
    if (rc < 0) return cgi_error_to_webserver(REPLY_TEXT);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- Camera type (/2057) ------------------------------------------------------------------------------

int on_cgi_get_ipc_type(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_cgi_get_ipc_type, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || jv_channel(tb[0]) < 0) return cgi_error_to_webserver(REPLY_JSON);
    int32_t channel = jv_channel(tb[0]);
    cgi_request_ipc(on_camera_ipc_callback, IPC_CAMERA_TYPE, channel, REPLY_JSON);
    return 0;
}

void on_camera_type_cb(const IpcReply &reply)
{
    CameraTypeReply r = camera_reply_record<CameraTypeReply>(reply.payload, 0);
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", r.channel);
    json_add_field(o, "ipaddr", r.ip);
    json_add_field(o, "model", r.model);
    json_add_field(o, "fwversion", r.fw_version);
    reply_json(o);
}

// ---- Firmware upgrade (/2078 to /2081) -------------------------------------------------------------------

int on_set_ipc_upgrade_prepare(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"chnMask", JK_STRING}, {"resetMask", JK_STRING}, {"fileSize", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ipc_upgrade_prepare, policy);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0]) return cgi_error_to_webserver(REPLY_JSON);
    UpgradeCheck check{};
    check.channels = get_channel_mask(jv_str(tb[0]));
    check.keep_mask = ~get_channel_mask(jv_str(tb[1]));
    check.file_size = jv_int(tb[2]);
    cgi_request_ipc(on_camera_ipc_callback, IPC_UPGRADE_CHECK, check, REPLY_JSON);
    return 0;
}

void on_upgrade_check_cb(const IpcReply &reply)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "res", camera_reply_record<int32_t>(reply.payload, 0));
    reply_json(o);
}

int on_get_ipc_upgrade_status(char *)
{
    cgi_request_ipc(on_camera_ipc_callback, IPC_UPGRADE_STATUS, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_upgrade_status_cb(const IpcReply &reply)
{
    UpgradeStatus st = camera_reply_record<UpgradeStatus>(reply.payload, 0);
    char text[2048];
    size_t len = 0;
    // Each line is appended only while it fits whole.
    auto append = [&](const char *fmt, auto... args) {
        char line[128];
        int n = snprintf(line, sizeof line, fmt, args...);
        if (n < 0 || static_cast<size_t>(n) >= sizeof line || len + n >= sizeof text) return;
        memcpy(text + len, line, n);
        len += n;
    };
    append("chnid=%lld\r\n", static_cast<long long>(st.channels));
    for (int i = 0; i < UPGRADE_CHANNELS; i++)
        if ((st.channels >> i) & 1) append("status%d=%d\r\n", i, st.status[i]);
    append("chnMask=%s\r\n", MaskText(st.channels).text);
    text[len] = '\0';
    reply_text(text);
}

int on_set_ipc_upgrade(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"chnAry", JK_ARRAY}, {"reset", JK_INT}, {"url", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_set_ipc_upgrade, policy);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    UpgradeRequest req{};
    for (size_t i = 0; i < jv_len(tb[0]); i++) {
        int channel = jv_channel(jv_at(tb[0], i));
        if (channel < 0) return cgi_error_to_webserver(REPLY_JSON);
        req.channels |= 1ULL << channel;
    }
    req.reset = jv_int(tb[1]);
    COPY_TEXT(req.url, jv_str(tb[2]));
    COPY_TEXT(req.file, UPGRADE_FILE_PATH);
    cgi_request_ipc(on_camera_ipc_callback, IPC_UPGRADE_START, req, REPLY_JSON);
    return 0;
}

void on_upgrade_start_cb(const IpcReply &reply)
{
    UpgradeStatus st = camera_reply_record<UpgradeStatus>(reply.payload, 0);
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", camera_reply_record<int32_t>(reply.payload, 0));
    json_object *list = json_object_new_array();
    for (int i = 0; i < UPGRADE_CHANNELS; i++)
        if ((st.channels >> i) & 1) json_object_array_add(list, json_object_new_int(st.status[i]));
    json_object_object_add(o, "status", list);
    json_add_text(o, "chnMask", MaskText(st.channels).text);
    reply_json(o);
}

int on_set_ipc_upgrade_stop(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"stop", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ipc_upgrade_stop, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 1) return 0;
    int32_t stop = jv_int(tb[0]);
    cgi_notify_ipc(IPC_UPGRADE_STOP, stop);
    return 0;
}

int on_get_cgi_ready(char *request)
{
    if (!request || !request[0]) return cgi_error_to_webserver(REPLY_TEXT);
    return cgi_writeback_webserver(REPLY_TEXT, "CGI SUCCESS");
}
