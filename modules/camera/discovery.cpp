// Camera requests answered by the daemon: the list of connected cameras,
// the network search, connection tests, a camera's own network settings
// (single and batch), model types; and the protocol list of the database.
#include "common/ipc.h"
#include "common/json_text.h"
#include "common/records/camera.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"

namespace {

// Marks the waited request handled, once its reply is written.
void finish(int flag = 1) { g_callback_done = flag; }

// ---- Network change (single and batch items) ---------------------------------------
enum NetKey {
    N_MAC, N_OLD_IP, N_NEW_IP, N_NETMASK, N_GATEWAY, N_DNS, N_PORT, N_USER, N_PASSWORD, N_PROTOCOL,
    N_NETIF, N_MODIFY, N_CHANNEL, N_COUNT
};
const JsonPolicy kNetworkPolicy[] = {
    {"macAddr", JK_STRING},  {"oldIpcAddr", JK_STRING}, {"newIpcAddr", JK_STRING},
    {"netmask", JK_STRING},  {"gateway", JK_STRING},    {"primaryDNS", JK_STRING},
    {"port", JK_INT},        {"username", JK_STRING},   {"password", JK_STRING},
    {"protocol", JK_INT},    {"netif", JK_STRING},      {"modifynum", JK_INT},
    {"channelId", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_ipc_network, kNetworkPolicy);
static_assert(sizeof(kNetworkPolicy) / sizeof(kNetworkPolicy[0]) == N_COUNT, "one policy entry per key");

// Parses one network change (/2011, and each item of /2032); false when a
// required key is missing or out of range.
bool parse_network_change(json_object *obj, json_object **tb, CameraNetworkRequest *req)
{
    if (JSON_PARSE(obj, kNetworkPolicy, tb) < 0) return false;
    for (int k = N_MAC; k <= N_PROTOCOL; k++)
        if (!tb[k]) return false;
    if (!camera_int_in_range(tb[N_PORT], 0, 65535) || !camera_int_in_range(tb[N_PROTOCOL], 0, CAM_PROTO_MAX)) return false;
    *req = CameraNetworkRequest{};
    jv_copy(tb[N_MAC], req->mac, sizeof req->mac);
    jv_copy(tb[N_OLD_IP], req->old_ip, sizeof req->old_ip);
    jv_copy(tb[N_NEW_IP], req->new_ip, sizeof req->new_ip);
    jv_copy(tb[N_NETMASK], req->netmask, sizeof req->netmask);
    jv_copy(tb[N_GATEWAY], req->gateway, sizeof req->gateway);
    jv_copy(tb[N_DNS], req->dns, sizeof req->dns);
    req->port = jv_int(tb[N_PORT]);
    jv_copy(tb[N_USER], req->user_name, sizeof req->user_name);
    jv_copy(tb[N_PASSWORD], req->password, sizeof req->password);
    req->protocol = jv_int(tb[N_PROTOCOL]);
    jv_copy(tb[N_NETIF], req->netif, sizeof req->netif);
    return true;
}

// ---- Connection tests ------------------------------------------------------------------
struct TestRequestInfo {
    const char *ip;
    int port;
    const char *user;
    const char *password;
    int protocol;
};

// Validates a connection test; the texts point into doc.
bool parse_test_request(const JsonDoc &doc, TestRequestInfo *info)
{
    static constexpr JsonPolicy policy[] = {{"ipAddr", JK_STRING}, {"managePort", JK_INT},
                                        {"camProtocol", JK_INT}, {"userName", JK_STRING},
                                        {"password", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_test_ipc_connection, policy);
    NVRWEB_HANDLER_KEYS(on_test_ipc_connection2, policy);
    json_object *tb[5];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return false;
    if (!jv_str(tb[0])[0] || !tb[1] || jv_int(tb[1]) < 0 || !camera_int_in_range(tb[2], 0, CAM_PROTO_MAX))
        return false;
    info->ip = jv_str(tb[0]);
    info->port = jv_int(tb[1]);
    info->protocol = jv_int(tb[2]);
    info->user = jv_str(tb[3]);
    info->password = jv_str(tb[4]);
    return true;
}

} // namespace

// ---- Camera list (/2001, /2007) ---------------------------------------------------------

int on_get_ipc_list(char *)
{
    cgi_request_ipc(on_camera_ipc_callback, IPC_CAMERA_LIST, 0, nullptr, REPLY_JSON);
    return 0;
}

// The list is written as text: a full list is 64 cameras of 26 members.
void on_ipc_list_cb(const IpcReply &reply)
{
    JsonText t(4096);
    t.begin_object();
    t.begin_array("IPC");
    for (size_t i = 0; i < reply.count; i++) {
        CameraListRecord r = camera_reply_record<CameraListRecord>(reply.payload, i);
        char name[128] = "";
        if (valid_channel(r.id)) camera_osd_name(r.id, name, sizeof name);
        t.begin_object();
        t.add_int("id", r.id);
        t.add_int("enable", 1);
        t.add_text("name", name);
        t.add_field("ipAddr", r.ip_addr);
        t.add_int("managePort", r.manage_port);
        t.add_int("camProtocol", r.protocol);
        t.add_field("vendor", r.vendor);
        t.add_field("sn", r.sn);
        t.add_field("snReal", r.sn_real);
        t.add_field("mac", r.mac);
        t.add_field("model", r.model);
        t.add_field("fwVersion", r.fw_version);
        t.add_int("state", r.state);
        t.add_int("mainRtspPort", r.main_rtsp_port);
        t.add_int("physicalport", r.physical_port);
        t.add_int("poechannel", r.poe_channel);
        t.add_int("alarmin", r.alarm_in);
        t.add_int("alarmout", r.alarm_out);
        t.add_int("whiteLed", r.white_led);
        t.add_int("ledAlarm", r.led_alarm);
        t.add_int("ledManual", r.led_manual);
        t.add_int("minorid", r.minor_id);
        t.add_int("subState", r.sub_state);
        t.add_int("connectState", r.connect_state);
        t.add_field("ddns", r.ddns);
        t.add_field("chipinfo", r.chip_info);
        t.end_object();
    }
    t.end_array();
    t.add_int("maxIPCNums", camera_max_channels());
    t.end_object();
    cgi_writeback_webserver(REPLY_JSON, t.text().c_str());
    finish();
}

// ---- Network search (/2006) ----------------------------------------------------------------

int on_search_ipc(char *request)
{
    static constexpr JsonPolicy policy[] = {{"protocol", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_search_ipc, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !camera_int_in_range(tb[0], 0, CAM_PROTO_MAX)) return 0;
    int32_t protocol = jv_int(tb[0]);
    cgi_request_ipc(on_camera_ipc_callback, IPC_CAMERA_SEARCH, protocol, REPLY_JSON);
    return 0;
}

void on_ipc_search_cb(const IpcReply &reply)
{
    json_object *list = json_object_new_array();
    for (size_t i = 0; i < reply.count; i++) {
        CameraSearchRecord r = camera_reply_record<CameraSearchRecord>(reply.payload, i);
        // Names that are not plain ASCII are not passed on.
        bool ascii = true;
        for (size_t k = 0; k < sizeof r.name && r.name[k]; k++)
            if (static_cast<unsigned char>(r.name[k]) >= 0x80) ascii = false;
        json_object *e = json_object_new_object();
        json_add_field(e, "ipAddr", r.ip_addr);
        json_add_int(e, "managePort", r.manage_port);
        json_add_int(e, "protocol", r.protocol);
        json_add_field(e, "macAddr", r.mac);
        json_add_field(e, "vendor", r.vendor);
        json_add_field(e, "sn", r.sn);
        json_add_field(e, "fwVersion", r.fw_version);
        json_add_field(e, "model", r.model);
        json_add_int(e, "modelId", r.model_id);
        json_add_field(e, "netmask", r.netmask);
        json_add_field(e, "dns", r.dns);
        json_add_field(e, "gateway", r.gateway);
        json_add_field(e, "netif", r.netif);
        json_add_int(e, "active_status", r.active_status);
        if (ascii)
            json_add_field(e, "name", r.name);
        else
            json_add_text(e, "name", "");
        json_add_field(e, "snReal", r.sn_real);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_add_text(o, "resultString", reply.count > 0 ? "OK" : "NO");
    json_object_object_add(o, "IPC", list);
    camera_reply_json(o);
    finish();
}

// ---- Protocols and models (/2008) ----------------------------------------------------------

int on_get_ipc_protocols(char *)
{
    std::vector<IpcProtocolRecord> protocols;
    read_ipc_protocols(QXDB_PATH, &protocols);
    json_object *list = json_object_new_array();
    for (IpcProtocolRecord &p : protocols) {
        if (p.id == 2 && p.display_model == 1) {
            p.display_model = 0;
            write_ipc_protocol(QXDB_PATH, &p);
        }
        json_object *e = json_object_new_object();
        json_add_int(e, "id", p.id);
        json_add_field(e, "name", p.name);
        json_add_int(e, "protocolFunction", p.protocol_function);
        json_add_int(e, "enable", p.enable);
        json_add_int(e, "display_model", p.display_model);
        std::vector<IpcModelRecord> models;
        read_ipc_models_by_protocol(QXDB_PATH, p.id, &models);
        json_object *mlist = json_object_new_array();
        for (const IpcModelRecord &m : models) {
            json_object *me = json_object_new_object();
            json_add_int(me, "id", m.id);
            json_add_field(me, "name", m.name);
            json_add_int(me, "alarm_type", m.alarm_type);
            json_add_int(me, "default_model", m.default_model);
            json_object_array_add(mlist, me);
        }
        json_object_object_add(e, "models", mlist);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "protocols", list);
    camera_reply_json(o);
    return 0;
}

// ---- A camera's own network settings (/2011, /2032, /2033) --------------------------------

int on_set_ipc_network(char *request)
{
    JsonDoc doc(request);
    json_object *tb[N_COUNT];
    CameraNetworkRequest req;
    if (!parse_network_change(doc.get(), tb, &req)) return 0;
    cgi_request_ipc(on_camera_ipc_callback, IPC_CAMERA_NETWORK, req, REPLY_JSON);
    return 0;
}

void on_ipc_network_cb(const IpcReply &reply)
{
    static const char *const kResults[] = {"OK", "NETWORK_ERR", "INVALID_USER", "UNKNOWN_ERR",
                                           "PROTO_NOT_SUPPORT"};
    int status = ipc_reply_int(reply);
    json_object *o = json_object_new_object();
    json_add_text(o, "resultString", status >= 0 && status <= 4 ? kResults[status] : "ERROR");
    camera_reply_json(o);
    finish();
}

int on_set_ipc_network_batch(char *request)
{
    static constexpr JsonPolicy policy[] = {{"cnt", JK_INT}, {"oIPCAddr", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_set_ipc_network_batch, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0] || !tb[1]) return 0;
    size_t n = jv_len(tb[1]);
    int cnt = jv_int(tb[0]);
    if (cnt < 0) cnt = 0;
    if (static_cast<size_t>(cnt) < n) n = static_cast<size_t>(cnt);
    if (n > MAX_CAMERAS) n = MAX_CAMERAS;

    cgi_writeback_webserver(REPLY_TEXT, "OK");
    for (size_t i = 0; i < n; i++) {
        json_object *item_tb[N_COUNT];
        CameraNetworkItem item{};
        if (!parse_network_change(jv_at(tb[1], i), item_tb, &item.req)) continue;
        if (!valid_channel(jv_int(item_tb[N_CHANNEL]))) continue;
        item.channel_id = jv_int(item_tb[N_CHANNEL]);
        item.modify_count = jv_int(item_tb[N_MODIFY]);
        cgi_notify_ipc(IPC_CAMERA_NETWORK_ITEM, item);
    }
    return 0;
}

int on_get_ipc_network_batch_result(char *)
{
    cgi_request_ipc(on_camera_ipc_callback, IPC_CAMERA_NETWORK_RESULT, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_ipc_batch_result_cb(const IpcReply &reply)
{
    CameraBatchResult r = camera_reply_record<CameraBatchResult>(reply.payload, 0);
    int n = r.count < 0 ? 0 : (r.count > MAX_CAMERAS ? MAX_CAMERAS : r.count);
    json_object *list = json_object_new_array();
    for (int i = 0; i < n; i++) {
        json_object *e = json_object_new_object();
        json_add_field(e, "mac", r.entries[i].mac);
        json_add_int(e, "result", r.entries[i].result);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "IPC", list);
    camera_reply_json(o);
    finish();
}

// ---- Connection tests (/2014, /2015) ----------------------------------------------------------

int on_test_ipc_connection(char *request)
{
    JsonDoc doc(request);
    TestRequestInfo info;
    if (!parse_test_request(doc, &info)) return 0;
    CameraTestRequest req{};
    COPY_TEXT(req.ip_addr, info.ip);
    req.manage_port = info.port;
    COPY_TEXT(req.user_name, info.user);
    COPY_TEXT(req.password, info.password);
    req.protocol = info.protocol;
    cgi_request_ipc(on_camera_ipc_callback, IPC_CAMERA_TEST, req, REPLY_TEXT);
    return 0;
}

int on_test_ipc_connection2(char *request)
{
    JsonDoc doc(request);
    TestRequestInfo info;
    if (!parse_test_request(doc, &info)) return 0;
    CameraTestRequest2 req{};
    COPY_TEXT(req.ip_addr, info.ip);
    req.manage_port = info.port < 80 ? 80 : info.port;
    COPY_TEXT(req.user_name, info.user);
    COPY_TEXT(req.password, info.password);
    req.protocol = info.protocol;
    cgi_request_ipc(on_camera_ipc_callback, IPC_CAMERA_TEST2, req, REPLY_TEXT);
    return 0;
}

void on_ipc_test_cb(const IpcReply &reply)
{
    int status = ipc_reply_int(reply);
    const char *text = "UNKOWNERROR";
    if (status == 0 || status == 4) text = "OK";
    else if (status == 1) text = "NETWORKERROR";
    else if (status == 2) text = "USERERROR";
    else if (status == 5) text = "BANDWIDTHERROR";
    cgi_writeback_webserver(REPLY_TEXT, text);
    finish(status == 0 || status == 4 ? 2 : 1);
}

// ---- Model types (/2025, /2029) ----------------------------------------------------------------

int on_web_get_ipc_model_type(char *request)
{
    static constexpr JsonPolicy policy[] = {{"id", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_web_get_ipc_model_type, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !camera_int_in_range(tb[0], 0, MAX_CAMERAS - 1))
        return cgi_error_to_webserver(REPLY_TEXT);
    int32_t id = jv_int(tb[0]);
    cgi_request_ipc(on_camera_ipc_callback, IPC_CAMERA_MODEL_TYPE, id, REPLY_TEXT);
    return 0;
}

void on_ipc_model_type_cb(const IpcReply &reply)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "type", ipc_reply_int(reply));
    camera_reply_json(o);
    finish();
}

int on_web_get_channels_model(char *)
{
    cgi_request_ipc(on_camera_ipc_callback, IPC_CHANNEL_MODELS, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_channels_model_cb(const IpcReply &reply)
{
    json_object *list = json_object_new_array();
    for (size_t i = 0; i < MAX_CAMERAS; i++) {
        ChannelModelEntry r = camera_reply_record<ChannelModelEntry>(reply.payload, i);
        json_object *e = json_object_new_object();
        json_add_int(e, "chnid", r.id);
        json_add_field(e, "ipaddr", r.ip_addr);
        json_add_field(e, "model", r.model);
        json_add_field(e, "fwversion", r.fw_version);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "IPC", list);
    camera_reply_json(o);
    finish();
}

// ---- Day flags (8100) ----------------------------------------------------------------------------

void on_day_flags_cb(const IpcReply &reply)
{
    json_object *days = json_object_new_array();
    for (size_t d = 0; d < 31; d++) json_object_array_add(days, json_object_new_int(reply.payload[4 + d] != '0' ? 1 : 0));
    camera_reply_json(days);
    finish();
}
