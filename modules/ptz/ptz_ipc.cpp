// Reply dispatcher of the PTZ module: one table of reply code -> record size
// -> answer for every waiting request of the module, and the module's
// request and log helpers.
#include <cstdio>
#include <cstring>

#include "common/ipc.h"
#include "common/records/camera_params.h"
#include "common/web_utils.h"
#include "modules/ptz/ptz.h"

namespace {
int answer_json(json_object *o)
{
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
    return 0;
}

// 6262: "-1" when the camera has no PTZ, else "0".
void on_ip_ptzsupport_cb(const IpcReply &reply)
{
    cgi_writeback_webserver(REPLY_TEXT, ipc_reply_int(reply) == -1 ? "-1" : "0");
    g_callback_done = 1;
}

json_object *int_array(const int32_t *values, int n)
{
    json_object *a = json_object_new_array();
    for (int i = 0; i < n; i++) json_object_array_add(a, json_object_new_int(values[i]));
    return a;
}

// 6265, 6268: presets, tours, patterns and states of the channel. A reply
// shorter than the whole state is not read.
void on_ptz_reply_info(const IpcReply &reply)
{
    if (reply.count < 1) {
        cgi_writeback_webserver(REPLY_JSON, "{\"status\":\"Error\"}");
        g_callback_done = 2;
        return;
    }
    static PtzStateReply st; // 15 KB: kept off the receiving thread's stack
    memcpy(&st, reply.payload, sizeof st);
    json_object *o = json_object_new_object();
    json_add_text(o, "status", "OK");
    json_object *presets = json_object_new_array();
    for (const PtzPresetState &p : st.presets) {
        json_object *e = json_object_new_object();
        json_add_int(e, "enable", p.enable);
        json_add_field(e, "name", p.name);
        json_object_array_add(presets, e);
    }
    json_object_object_add(o, "PRESET", presets);
    json_object *tours = json_object_new_array();
    for (const PtzTourWords &t : st.tours) {
        json_object *points = json_object_new_array();
        for (int i = 0; i < PTZ_TOUR_POINTS && t.presets[i] >= 1; i++) {
            json_object *e = json_object_new_object();
            json_add_int(e, "preset_id", t.presets[i]);
            json_add_int(e, "speed", t.speeds[i]);
            json_add_int(e, "timeout", t.times[i]);
            json_object_array_add(points, e);
        }
        json_object_array_add(tours, points);
    }
    json_object_object_add(o, "TOUR", tours);
    json_object *patterns = json_object_new_array();
    for (int32_t enable : st.patterns) {
        json_object *e = json_object_new_object();
        json_add_int(e, "enable", enable);
        json_object_array_add(patterns, e);
    }
    json_object_object_add(o, "PATTERN", patterns);
    json_object_object_add(o, "autoscan_status", int_array(st.autoscan_states, PTZ_AUTOSCANS));
    json_object *states = json_object_new_array();
    for (const auto &row : st.tour_states) json_object_array_add(states, int_array(row, PTZ_TOURS));
    json_object_object_add(o, "tour_status", states);
    answer_json(o);
}

// 6270: the camera's basic PTZ options.
void on_cgi_get_ptz_basic_cb(const IpcReply &reply)
{
    PtzBasicRecord r{};
    memcpy(&r, reply.payload, PTZ_BASIC_REPLY_SIZE);
    json_object *o = json_object_new_object();
    json_add_int(o, "status", r.status);
    json_add_int(o, "chnId", r.chn_id);
    for (size_t i = 0; i < sizeof r.options / sizeof r.options[0]; i++) json_add_int(o, kPtzBasicKeys[i], r.options[i]);
    answer_json(o);
}

// 6271: {"status": n}.
void on_cgi_set_ptz_basic_cb(const IpcReply &reply)
{
    on_cgi_common_json_cb(static_cast<int>(reply.count), reply.payload);
}

// 8226: the camera took the parameter.
void on_set_ipc_common_cb(const IpcReply &)
{
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    g_callback_done = 1;
}

// 8361: {"res": n}.
void on_cgi_set_ptz_control_cb(const IpcReply &reply)
{
    char text[48];
    snprintf(text, sizeof text, "{\"res\":%d}", ipc_reply_int(reply));
    cgi_writeback_webserver(REPLY_JSON, text);
    g_callback_done = 1;
}

// 8363: {"chnid": n, "status": n}.
void on_cgi_get_led_status_cb(const IpcReply &reply)
{
    PtzLedStatus s;
    memcpy(&s, reply.payload, sizeof s);
    char text[64];
    snprintf(text, sizeof text, "{\"chnid\":%d,\"status\":%d}", s.channel, s.status);
    cgi_writeback_webserver(REPLY_JSON, text);
    g_callback_done = 1;
}

#define R(request) PTZ_REPLY(request)
const IpcReplyRoute kPtzReplies[] = {
    {R(IPC_PTZ_SUPPORT), sizeof(int32_t), on_ip_ptzsupport_cb, SHORT_WAIT, nullptr},
    {R(IPC_PTZ_STATE), sizeof(PtzStateReply), on_ptz_reply_info, SHORT_PASS, nullptr},
    {R(IPC_PTZ_STREAM_STATE), sizeof(PtzStateReply), on_ptz_reply_info, SHORT_PASS, nullptr},
    {R(IPC_PTZ_BASIC_GET), PTZ_BASIC_REPLY_SIZE, on_cgi_get_ptz_basic_cb, SHORT_WAIT, nullptr},
    {R(IPC_PTZ_BASIC_SET), sizeof(int32_t), on_cgi_set_ptz_basic_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_PARAM_SET), sizeof(int32_t), on_set_ipc_common_cb, SHORT_PASS, nullptr},
    {R(IPC_PTZ_CONTROL), sizeof(int32_t), on_cgi_set_ptz_control_cb, SHORT_WAIT, nullptr},
    {R(IPC_PTZ_LED_STATUS), sizeof(PtzLedStatus), on_cgi_get_led_status_cb, SHORT_WAIT, nullptr},
};
#undef R
} // namespace

void on_ptz_ipc_callback(int, const void *header, const void *payload)
{
    IPC_DISPATCH(kPtzReplies, "dispatchreq", header, payload);
}

int ptz_request(int code, int length, const void *payload, int error_kind)
{
    return cgi_request_ipc(on_ptz_ipc_callback, code, length, payload, error_kind);
}

void ptz_log(int param_type, int channel) { cgi_send_oplog(PTZ_OPLOG_SUB, param_type, channel + 1); }
