// Service ports and push-message options (/7050, /7051), the number of PoE
// ports (/7093) and UPnP port mapping (/1030, /1031).
#include <cstdio>
#include <cstring>

#include "common/ipc.h"
#include "common/records/device.h"
#include "common/records/net_services.h"
#include "common/records/settings_notice.h"
#include "common/web_utils.h"
#include "modules/network/network.h"
#include "platform/qx_net.h"

namespace {
const char kDb[] = QXDB_PATH;

enum {
    OPLOG_SUB_SETTING = 204,
    OPLOG_SUB_RESTART = 200,
    OPLOG_PARAM_PORTS = 918,
    OPLOG_PARAM_SYSTEM = 900,
};
enum { PORT_MAX = 65535, ALARM_IN_TYPE_DEFAULT = 65535 };

// Settings parameters of the page.
const char kChannelAccess[] = "ch_access";
const char kPushType[] = "push_type";
const char kPushAlarmInType[] = "pushmsg_alarmin_type";
const char kPushEnable[] = "enable_push_msg";
const char kPushStream[] = "video_push_stream";

const RecField kPortFields[] = {
    RF_INT("enableSsh", PortRecord, enable_ssh), RF_INT("sshPort", PortRecord, ssh_port),
    RF_INT("httpPort", PortRecord, http_port),   RF_INT("httpsPort", PortRecord, https_port),
    RF_INT("rtspPort", PortRecord, rtsp_port),   RF_INT("servicePort", PortRecord, service_port),
};

const RecField kUpnpReply[] = {
    RF_INT("enable", UpnpRecord, enable),
    RF_INT("type", UpnpRecord, type),
    RF_INT("external_http_port", UpnpRecord, external_http_port),
    RF_INT("http_status", UpnpRecord, http_status),
    RF_INT("external_rtsp_port", UpnpRecord, external_rtsp_port),
    RF_INT("rtsp_status", UpnpRecord, rtsp_status),
};
const RecField kUpnpRequest[] = {
    RF_INT("enable", UpnpRecord, enable),
    RF_INT("type", UpnpRecord, type),
    RF_INT("external_http_port", UpnpRecord, external_http_port),
    RF_INT("external_rtsp_port", UpnpRecord, external_rtsp_port),
};

// The push-message switch as stored: 0 unless 0 or 1.
int push_enable(int value) { return value == 1 ? 1 : 0; }

// ---- /7051 request -----------------------------------------------------------------------------
enum {
    P_ENABLE_SSH, P_SSH, P_HTTP, P_RTSP, P_HTTPS, P_SERVICE, P_ENABLE_MSG, P_ENABLE_ACCESS, P_NEED_REBOOT,
    P_CHANNEL_NUM, P_PUSH_TYPE, P_PUSH_ALARM_IN, P_PUSH_TYPE_ARR, P_PUSH_NVR_POS, P_PUSH_STREAM, P_COUNT
};
const JsonPolicy kPortPolicy[P_COUNT] = {
    {"enableSsh", JK_INT},    {"sshPort", JK_INT},     {"httpPort", JK_INT},          {"rtspPort", JK_INT},
    {"httpsPort", JK_INT},    {"servicePort", JK_INT}, {"enableMsg", JK_INT},         {"enableAccess", JK_INT},
    {"needReboot", JK_INT},   {"channel_num", JK_INT}, {"pushType", JK_INT},          {"PushTypeNvrAlarmIn", JK_INT},
    {"pushTypeArr", JK_ARRAY}, {"pushNvrPos", JK_STRING}, {"pushVideoStream", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_port_info, kPortPolicy);

bool check_port_info(json_object *const tb[P_COUNT])
{
    if (!net_int_in(tb[P_ENABLE_SSH], 0, 1) || !net_int_in(tb[P_ENABLE_MSG], 0, INT32_MAX)) return false;
    for (int k : {P_SSH, P_HTTP, P_RTSP, P_SERVICE})
        if (!net_int_in(tb[k], 0, PORT_MAX)) return false;
    return !tb[P_HTTPS] || net_int_in(tb[P_HTTPS], 0, PORT_MAX);
}

// Push types of the channels below "channel_num": as many as the array
// holds and the table has room for; an element that is not an integer
// leaves its channel alone.
int store_push_types(json_object *const tb[P_COUNT])
{
    int wanted = jv_int(tb[P_CHANNEL_NUM]);
    json_object *types = tb[P_PUSH_TYPE_ARR];
    for (size_t i = 0; static_cast<int>(i) < wanted && i < jv_len(types) && i < 64; i++) {
        json_object *v = jv_at(types, i);
        if (!jv_is(v, JK_INT)) continue;
        PushMsgEvent ev{static_cast<int32_t>(i), jv_int(v)};
        if (write_push_msg_event(kDb, &ev) != 0) return -1;
    }
    return 0;
}

// A changed SSH, HTTP or HTTPS port must be neither a PoE camera's nor in
// use on the device.
bool ports_allowed(const PortRecord &stored, const PortRecord &rec)
{
    int max_poe = get_param_int(kDb, "max_poe_num", 0);
    const int32_t PortRecord::*checked[] = {&PortRecord::ssh_port, &PortRecord::http_port, &PortRecord::https_port};
    for (auto member : checked) {
        int port = rec.*member;
        if (port == stored.*member) continue;
        if (poe_reserved_port(port, max_poe) || is_port_use(port) != 0) return false;
    }
    return true;
}
} // namespace

// ---- /7050 ------------------------------------------------------------------------------------

int on_get_port_info(char *)
{
    PortRecord port{};
    read_port(kDb, &port);
    DeviceRecord dev{};
    db_get_device(kDb, &dev);
    PushMsgEvent events[64];
    int count = 0;
    read_push_msg_events(kDb, events, &count);
    PushMsgNvrEvent nvr{};
    read_push_msg_nvr_event(kDb, &nvr);

    json_object *o = json_object_new_object();
    fields_to_json(o, &port, kPortFields);
    json_add_int(o, "enable_access", get_param_int(kDb, kChannelAccess, 0));
    json_object *types = json_object_new_array();
    for (int ch = 0; ch < dev.max_cameras && ch < 64; ch++)
        json_object_array_add(types, json_object_new_int(ch < count ? events[ch].type : 0));
    json_object_object_add(o, "PushTypeArr", types);
    json_add_int(o, "PushNvrAlarmInType", get_param_int(kDb, kPushAlarmInType, ALARM_IN_TYPE_DEFAULT));
    json_add_int(o, "enableMsg", push_enable(get_param_int(kDb, kPushEnable, 0)));
    json_add_int(o, "push_stream", get_param_int(kDb, kPushStream, 0));
    json_add_field(o, "pushNvrPos", nvr.events);
    network_reply_json(o);
    return 0;
}

// ---- /7051 ------------------------------------------------------------------------------------

int on_set_port_info(char *request)
{
    JsonDoc doc(request);
    json_object *tb[P_COUNT];
    if (JSON_PARSE(doc.get(), kPortPolicy, tb) < 0 || !check_port_info(tb)) return 0;
    const int enable_msg = push_enable(jv_int(tb[P_ENABLE_MSG]));
    char enable_text[10] = {};
    snprintf(enable_text, sizeof enable_text, "%d", enable_msg);

    // The push options are stored whatever the ports; the ports and what
    // follows them only when every changed port is free.
    enum { PORTS_STORED = 0, PORTS_REFUSED = 1 };
    int access = 0;
    int stored = settings_atomic(kDb, [&]() -> int {
        access = get_param_int(kDb, kChannelAccess, 0);
        if (set_param_int(kDb, kPushType, jv_int(tb[P_PUSH_TYPE])) != 0 ||
            set_param_int(kDb, kPushAlarmInType, jv_int(tb[P_PUSH_ALARM_IN])) != 0 || store_push_types(tb) != 0)
            return -1;
        PortRecord stored_port{};
        if (read_port(kDb, &stored_port) != 0) return -1;
        PortRecord rec = stored_port;
        rec.enable_ssh = jv_int(tb[P_ENABLE_SSH]);
        rec.ssh_port = jv_int(tb[P_SSH]);
        rec.http_port = jv_int(tb[P_HTTP]);
        rec.rtsp_port = jv_int(tb[P_RTSP]);
        if (tb[P_HTTPS]) rec.https_port = jv_int(tb[P_HTTPS]);
        if (!ports_allowed(stored_port, rec)) return PORTS_REFUSED;
        PushMsgNvrEvent nvr{};
        jv_copy(tb[P_PUSH_NVR_POS], nvr.events, sizeof nvr.events);
        bool ok = write_port(kDb, &rec) == 0 && set_param_value(kDb, kPushEnable, enable_text) == 0 &&
                  write_push_msg_nvr_event(kDb, &nvr) == 0 &&
                  set_param_int(kDb, kPushStream, jv_int(tb[P_PUSH_STREAM])) == 0;
        return ok ? PORTS_STORED : -1;
    });
    if (stored < 0) return network_write_failed("ports");

    int32_t enable_access = jv_int(tb[P_ENABLE_ACCESS]);
    if (enable_access != access) network_notify_ipc(IPC_CHANNEL_ACCESS, enable_access);
    if (stored == PORTS_REFUSED) return cgi_writeback_webserver(REPLY_TEXT, "POE_Port_Error");

    network_notify_ipc(IPC_PUSH_MSG_ENABLE, enable_text);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_PORTS);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    network_notify_group("more");
    if (jv_int(tb[P_NEED_REBOOT]) != 0) {
        cgi_send_oplog(OPLOG_SUB_RESTART, OPLOG_PARAM_SYSTEM);
        network_notify_ipc(IPC_DEVICE_RESTART, 0, nullptr);
    }
    return 0;
}

// ---- /7093 ------------------------------------------------------------------------------------

int on_get_poe_max(char *)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "max_poe_num", get_param_int(kDb, "max_poe_num", 0));
    network_reply_json(o);
    return 0;
}

// ---- /1030, /1031 -----------------------------------------------------------------------------

int on_get_upnp_info(char *)
{
    UpnpRecord upnp{};
    read_upnp(kDb, &upnp);
    PortRecord port{};
    read_port(kDb, &port);
    json_object *o = json_object_new_object();
    fields_to_json(o, &upnp, kUpnpReply);
    json_add_int(o, "http_port", port.http_port);
    json_add_int(o, "rtsp_port", port.rtsp_port);
    network_reply_json(o);
    return 0;
}

int on_set_upnp_info(char *request)
{
    JsonDoc doc(request);
    if (!doc || !json_object_is_type(doc.get(), json_type_object)) return 0;
    // The daemon stores the mapping it makes; the request only goes to it.
    UpnpRecord upnp{};
    read_upnp(kDb, &upnp);
    fields_from_json(doc.get(), &upnp, kUpnpRequest);
    network_notify_ipc(IPC_UPNP_SET, upnp);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
