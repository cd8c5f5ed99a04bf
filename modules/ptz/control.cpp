// PTZ control: moves and lens commands, presets, tours run and stop,
// patterns, the channel state, channel-wide actions, zoom, the camera's PTZ
// speed, the camera's control command and light, and its basic options
// (/5000 to /5012).
#include <cstdio>
#include <cstring>

#include "common/ipc.h"
#include "common/records/camera_params.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/ptz/ptz.h"

namespace {
const char kDb[] = QXDB_PATH;
enum { PRESET_NUMBER_MAX = 300, PRESET_NAME_CHARS = 30, FISH_PRESET_NAME_CHARS = 31, FISHEYE = 1 };

// A channel 0 .. max_cameras - 1 (parameter, default 32), else -1.
int camera_channel(json_object *v)
{
    const int ch = jv_channel(v);
    return ch >= 0 && ch < get_param_int(kDb, "max_cameras", 32) ? ch : -1;
}

bool not_negative(json_object *v) { return v && jv_int(v) >= 0; }

// The camera's PTZ speed parameter: the speed minus 1, or 1 below 1.
void speed_value(int speed, char (&out)[128]) { snprintf(out, sizeof out, "%d", speed < 1 ? 1 : speed - 1); }

// Sets a free parameter of the camera on the "vsetting.html" page (3226)
// and waits: the reply answers "OK", a time-out the text error reply.
void set_camera_param(int channel, const char *key, const char *value)
{
    CamParamRequest r{};
    r.channel = channel;
    COPY_TEXT(r.httpname, "vsetting.html");
    COPY_TEXT(r.key, key);
    COPY_TEXT(r.value, value);
    ptz_request(IPC_CAM_PARAM_SET, r, REPLY_TEXT);
}

// A notice to the daemon that answers "OK" at once and logs the change.
template <class T> void notify_ok(int code, const T &rec, int param_type, int channel)
{
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    cgi_notify_ipc(code, rec);
    ptz_log(param_type, channel);
}

void invalid_json() { cgi_error_to_webserver(REPLY_JSON); }

// The four speeds, the fisheye type and the stream of a command record.
enum { K_PAN, K_TILT, K_ZOOM, K_FOCUS, K_FISHEYE, K_STREAM, K_COMMON };
#define PTZ_COMMON_KEYS                                                                          \
    {"panSpeed", JK_INT}, {"tiltSpeed", JK_INT}, {"zoomSpeed", JK_INT}, {"focusSpeed", JK_INT},  \
        {"fisheyeType", JK_INT}, {"streamId", JK_INT}
void fill_common(json_object *const *tb, PtzCommand *c)
{
    c->pan_speed = jv_int(tb[K_PAN]);
    c->tilt_speed = jv_int(tb[K_TILT]);
    c->zoom_speed = jv_int(tb[K_ZOOM]);
    c->focus_speed = jv_int(tb[K_FOCUS]);
    c->fisheye_type = jv_int(tb[K_FISHEYE]);
    c->stream = jv_int(tb[K_STREAM]);
}
} // namespace

// ---- /5000: move ------------------------------------------------------------------------------

int on_send_ptz_cmd(char *request)
{
    static constexpr JsonPolicy policy[] = {
        PTZ_COMMON_KEYS, {"channelId", JK_INT}, {"action", JK_INT}, {"isAutoFocus", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_send_ptz_cmd, policy);
    enum { K_CHANNEL = K_COMMON, K_ACTION, K_AUTO_FOCUS };
    JsonDoc doc(request);
    json_object *tb[sizeof policy / sizeof policy[0]] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = camera_channel(tb[K_CHANNEL]);
    if (channel < 0 || !not_negative(tb[K_ACTION])) return 0;

    PtzCommand c{};
    c.channel = channel;
    c.action = jv_int(tb[K_ACTION]);
    fill_common(tb, &c);
    cgi_notify_ipc(IPC_PTZ_MOVE, c);
    if (c.action == PTZ_ACTION_FOCUS_NEAR && jv_int(tb[K_AUTO_FOCUS]) == 1) {
        c.action = PTZ_ACTION_FOCUS_AUTO;
        cgi_notify_ipc(IPC_PTZ_MOVE, c);
    }
    char value[128];
    speed_value(c.pan_speed, value);
    set_camera_param(channel, "ptzspeed", value);
    ptz_log(PTZ_OPLOG_MOVE, channel);
    return 0;
}

// ---- /5001: preset set, call or delete --------------------------------------------------------

int on_preset_op(char *request)
{
    static constexpr JsonPolicy policy[] = {
        PTZ_COMMON_KEYS, {"channelId", JK_INT}, {"presetId", JK_INT}, {"action", JK_INT},
        {"name", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_preset_op, policy);
    enum { K_CHANNEL = K_COMMON, K_PRESET, K_ACTION, K_NAME };
    JsonDoc doc(request);
    json_object *tb[sizeof policy / sizeof policy[0]] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = camera_channel(tb[K_CHANNEL]);
    const int preset = jv_int(tb[K_PRESET], -1);
    if (channel < 0 || preset < 0 || preset > PRESET_NUMBER_MAX) return 0;
    for (int k : {static_cast<int>(K_ACTION), +K_PAN, +K_TILT, +K_ZOOM, +K_FOCUS})
        if (!not_negative(tb[k])) return 0;

    PtzCommand c{};
    c.channel = channel;
    c.action = jv_int(tb[K_ACTION]);
    c.number = preset;
    fill_common(tb, &c);
    if (c.action == PTZ_ACTION_PRESET_SET) copy_text(c.name, PRESET_NAME_CHARS + 1, jv_str(tb[K_NAME]));
    cgi_notify_ipc(IPC_PTZ_PRESET, c);
    if (c.fisheye_type == FISHEYE && c.action == PTZ_ACTION_PRESET_SET) {
        char name[FISH_PRESET_NAME_CHARS + 1];
        COPY_TEXT(name, jv_str(tb[K_NAME]));
        char value[128];
        snprintf(value, sizeof value, "%d:%d:%s", c.stream, preset, name);
        set_camera_param(channel, "ipncptz=setfishpreset", value);
    } else {
        cgi_writeback_webserver(REPLY_TEXT, "OK");
    }
    ptz_log(PTZ_OPLOG_SETTING, channel);
    return 0;
}

// ---- /5002, /5003: tour run and stop ----------------------------------------------------------

namespace {
int tour_command(const char *request, int code)
{
    const JsonPolicy policy[] = {{"chn", JK_INT}, {"tourid", JK_INT}, {"fisheyeType", JK_INT}, {"streamId", JK_INT}};
    JsonDoc doc(request);
    json_object *tb[4] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[0]);
    if (channel < 0 || !tb[1]) return 0;
    PtzTourCommand t{};
    t.channel = channel;
    t.tour = jv_int(tb[1]);
    t.fisheye_type = jv_int(tb[2]);
    t.stream = jv_int(tb[3]);
    notify_ok(code, t, PTZ_OPLOG_MOVE, channel);
    return 0;
}
} // namespace

int on_set_ptz_tour_run(char *request) { return tour_command(request, IPC_PTZ_TOUR_RUN); }
int on_set_ptz_tour_stop(char *request) { return tour_command(request, IPC_PTZ_TOUR_STOP); }

// ---- /5004: pattern ---------------------------------------------------------------------------

int on_set_ptz_pattern(char *request)
{
    // "action" 0..4: record, stop recording, run, stop running, delete.
    static const int kPatternCodes[] = {26, 21, 25, 27, 40};
    static constexpr JsonPolicy policy[] = {{"chn", JK_INT}, {"tourid", JK_INT}, {"action", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ptz_pattern, policy);
    JsonDoc doc(request);
    json_object *tb[3] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[0]);
    if (channel < 0) return 0;
    const int action = jv_int(tb[2], -1);
    PtzCommand c{};
    c.channel = channel;
    c.number = jv_int(tb[1]);
    c.action = action >= 0 && action < 5 ? kPatternCodes[action] : 0;
    notify_ok(IPC_PTZ_PATTERN, c, PTZ_OPLOG_SETTING, channel);
    return 0;
}

// ---- /5005: state of a channel --------------------------------------------------------------

int on_get_ptz_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chn", JK_INT}, {"streamId", JK_INT}, {"fisheyeType", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_ptz_info, policy);
    JsonDoc doc(request);
    json_object *tb[3] = {};
    const int channel = JSON_PARSE(doc.get(), policy, tb) < 0 ? -1 : jv_channel(tb[0]);
    if (channel < 0) return invalid_json(), 0;
    if (tb[1]) {
        const PtzStreamQuery q{channel, jv_int(tb[1])};
        ptz_request(IPC_PTZ_STREAM_STATE, q, REPLY_JSON);
    } else {
        const int32_t ch = channel;
        ptz_request(IPC_PTZ_STATE, ch, REPLY_JSON);
    }
    return 0;
}

// ---- /5006, /5007: channel-wide action, zoom ------------------------------------------------

int on_set_ptz_preset_call(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chn", JK_INT}, {"action", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ptz_preset_call, policy);
    JsonDoc doc(request);
    json_object *tb[2] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[0]);
    if (channel < 0 || !tb[1]) return 0;
    const PtzChannelAction a{channel, jv_int(tb[1])};
    notify_ok(IPC_PTZ_CHANNEL_ACTION, a, PTZ_OPLOG_MOVE, channel);
    return 0;
}

int on_set_ptz_zomm(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chn", JK_INT}, {"zoom", JK_INT}, {"zoomSpeed", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ptz_zomm, policy);
    JsonDoc doc(request);
    json_object *tb[3] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[0]);
    if (channel < 0 || !tb[1]) return 0;
    const PtzZoom z{channel, jv_int(tb[1]), jv_int(tb[2])};
    notify_ok(IPC_PTZ_ZOOM, z, PTZ_OPLOG_MOVE, channel);
    return 0;
}

// ---- /5008: the camera's PTZ speed ------------------------------------------------------------

int on_set_ipc_speed(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chn", JK_INT}, {"Speed", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ipc_speed, policy);
    JsonDoc doc(request);
    json_object *tb[2] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = camera_channel(tb[0]);
    if (channel < 0 || !tb[1]) return 0;
    char value[128];
    speed_value(jv_int(tb[1]), value);
    set_camera_param(channel, "ptzspeed", value);
    ptz_log(PTZ_OPLOG_SETTING, channel);
    return 0;
}

// ---- /5009, /5010, /5011: control command, light, basic options ------------------------------

namespace {
// The channel "chnid" of a camera query and the integer of `extra_key`
// (0 when missing); -1 after the JSON error reply.
int query_channel(const char *request, const char *extra_key = "chnid", int *extra = nullptr)
{
    const JsonPolicy policy[] = {{"chnid", JK_INT}, {extra_key, JK_INT}};
    JsonDoc doc(request);
    json_object *tb[2] = {};
    const int channel = JSON_PARSE(doc.get(), policy, tb) < 0 ? -1 : jv_channel(tb[0]);
    if (channel < 0) invalid_json();
    if (extra) *extra = jv_int(tb[1]);
    return channel;
}
} // namespace

int on_cgi_set_ptz_control(char *request)
{
    int command = 0;
    const int channel = query_channel(request, "ptzCmd", &command);
    if (channel < 0) return 0;
    const PtzControl c{channel, command};
    ptz_request(IPC_PTZ_CONTROL, c, REPLY_JSON);
    ptz_log(PTZ_OPLOG_SETTING, channel);
    return 0;
}

int on_cgi_get_led_status(char *request)
{
    const int32_t channel = query_channel(request);
    if (channel >= 0) ptz_request(IPC_PTZ_LED_STATUS, channel, REPLY_JSON);
    return 0;
}

int on_cgi_get_ptz_basic(char *request)
{
    const int32_t channel = query_channel(request);
    if (channel >= 0) ptz_request(IPC_PTZ_BASIC_GET, channel, REPLY_JSON);
    return 0;
}

// ---- /5012: set the basic options -------------------------------------------------------------

int on_cgi_set_ptz_basic(char *request)
{
    enum { OPTIONS = 15 };
    JsonPolicy policy[2 + OPTIONS] = {{"chnId", JK_INT}, {"channelMask", JK_STRING}};
    for (int i = 0; i < OPTIONS; i++) policy[2 + i] = {kPtzBasicKeys[i], JK_INT};
    JsonDoc doc(request);
    json_object *tb[2 + OPTIONS] = {};
    const int channel = JSON_PARSE(doc.get(), policy, tb) < 0 ? -1 : jv_channel(tb[0]);
    if (channel < 0) return invalid_json(), 0;
    PtzBasicRecord r{};
    r.chn_id = channel;
    for (int i = 0; i < OPTIONS; i++) r.options[i] = jv_int(tb[2 + i]);
    jv_copy(tb[1], r.channel_mask, sizeof r.channel_mask);
    ptz_request(IPC_PTZ_BASIC_SET, r, REPLY_JSON);
    return 0;
}
