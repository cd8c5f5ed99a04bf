// Reply dispatcher of the network module and the helpers its handlers share.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "common/ipc.h"
#include "common/records/https_cert.h"
#include "common/records/net_access.h"
#include "common/records/net_services.h"
#include "common/records/network.h"
#include "common/records/settings_notice.h"
#include "common/web_utils.h"
#include "modules/network/network.h"

namespace {

enum { WAIT_ON = -1 };

// One reply the module waits for: the size of its records (0: any payload),
// what a reply too short for one record gets (the error reply of that kind
// at once, or WAIT_ON: ignored, so the wait runs into its time-out), and the
// callback that answers it.
struct NetworkReply {
    int code;
    size_t record_size;
    int short_reply;
    void (*handle)(size_t count, const void *payload);
};

#define REPLY_OF(request) ((request) + 5000)

const NetworkReply kNetworkReplies[] = {
    {REPLY_OF(IPC_IP_CONFLICT), sizeof(int32_t), WAIT_ON, on_ip_conflict_cb},
    {REPLY_OF(IPC_IP_CONFLICT_BY_DEV), sizeof(int32_t), WAIT_ON, on_ip_conflict_cb},
    {REPLY_OF(IPC_DEFAULT_ROUTE), sizeof(int32_t), REPLY_JSON, on_cgi_set_default_route_cb},
    {REPLY_OF(IPC_TIME_SET), 0, WAIT_ON, on_set_systime_cb},
    {REPLY_OF(IPC_DDNS_STATUS), sizeof(int32_t), WAIT_ON, on_get_ddns_status_cb},
    {REPLY_OF(IPC_TEST_MAIL), sizeof(int32_t), WAIT_ON, on_test_email_cb},
    {REPLY_OF(IPC_P2P_ENABLE), sizeof(int32_t), WAIT_ON, on_enable_p2p_cb},
    {REPLY_OF(IPC_P2P_DISABLE), sizeof(int32_t), WAIT_ON, on_disable_p2p_cb},
    {REPLY_OF(IPC_P2P_STATUS), sizeof(P2pStateRecord), WAIT_ON, on_p2p_status_info_cb},
    {REPLY_OF(IPC_P2P_UNBIND), 0, WAIT_ON, on_cgi_p2p_unbind_device_cb},
    {REPLY_OF(IPC_CERT_CREATE), 0, WAIT_ON, on_resp_create_cert},
    {REPLY_OF(IPC_CERT_INSTALL), sizeof(int32_t), WAIT_ON, on_resp_install_cert},
    {REPLY_OF(IPC_MULTICAST_SET), sizeof(int32_t), WAIT_ON, on_cgi_set_default_route_cb}, // the same {"res": n}
};

const NetworkReply *find_reply(int code)
{
    for (const NetworkReply &r : kNetworkReplies)
        if (r.code == code) return &r;
    return nullptr;
}

// Reply code of the waiting request in flight, 0 when none. Written by the
// request thread around the wait, taken by the receiving thread.
std::atomic<int> g_waited_reply{0};

} // namespace

void on_network_ipc_callback(int, const void *header, const void *payload)
{
    int code = ipc_reply_code(header);
    const NetworkReply *reply = find_reply(code);
    if (!reply || code != g_waited_reply.load() || !payload) return;
    size_t count = reply->record_size ? ipc_reply_count(header, payload, reply->record_size) : 1;
    if (count == 0 && reply->short_reply == WAIT_ON) {
        cgi_log("OnSystem", __LINE__, "", "reply %d too short: %d bytes", code, ipc_reply_length(header));
        return;
    }
    // The first usable reply takes the wait: one reply body per request.
    int waited = code;
    if (!g_waited_reply.compare_exchange_strong(waited, 0)) return;
    if (count == 0) {
        cgi_error_to_webserver(reply->short_reply);
        g_callback_done = 2;
        return;
    }
    reply->handle(count, payload);
}

int network_request_ipc(int code, int length, const void *payload, int error_kind)
{
    g_waited_reply = code + 5000;
    int done = cgi_request_ipc(on_network_ipc_callback, code, length, payload, error_kind);
    g_waited_reply = 0;
    return done;
}

void network_notify_ipc(int code, int length, const void *payload)
{
    cgi_notify_ipc(code, length, payload);
}

void network_notify_group(const char *group) { network_notify_ipc(IPC_SETTINGS_CHANGED, settings_group_notice(group)); }

void network_reply_json(json_object *obj)
{
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
}

bool net_int_in(json_object *v, int lo, int hi) { return v && jv_int(v) >= lo && jv_int(v) <= hi; }

int network_write_failed(const char *what)
{
    cgi_log("OnSystem", __LINE__, "", "%s: settings write failed", what);
    return cgi_error_to_webserver(REPLY_TEXT);
}

void fields_to_json(json_object *obj, const void *rec, const RecField *fields, size_t n)
{
    const char *base = static_cast<const char *>(rec);
    for (size_t i = 0; i < n; i++) {
        const RecField &f = fields[i];
        if (f.kind == JK_STRING) {
            json_add_field(obj, f.key, base + f.offset, f.size);
        } else {
            int32_t v;
            memcpy(&v, base + f.offset, sizeof v);
            json_add_int(obj, f.key, v);
        }
    }
}

void fields_from_json(json_object *obj, void *rec, const RecField *fields, size_t n)
{
    char *base = static_cast<char *>(rec);
    for (size_t i = 0; i < n; i++) {
        const RecField &f = fields[i];
        json_object *v = nullptr;
        if (!json_object_object_get_ex(obj, f.key, &v) || !jv_is(v, f.kind)) v = nullptr;
        if (f.kind == JK_STRING) {
            copy_text(base + f.offset, f.size, v ? json_object_get_string(v) : "");
        } else {
            int32_t value = v ? jv_int(v) : 0;
            memcpy(base + f.offset, &value, sizeof value);
        }
    }
}
