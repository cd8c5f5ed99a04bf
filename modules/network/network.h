// Network module: handlers of the network interface and network service
// routes, the module's reply dispatcher and the helpers its files share.
#pragma once
#include <cstddef>
#include <cstdint>

#include <json-c/json.h>

#include "common/web_utils.h"

// ---- Reply dispatcher (network_ipc.cpp) ----------------------------------------------------
// Every daemon request of the module goes through on_network_ipc_callback.
// It answers only the reply code of the waiting request in flight
// (network_request_ipc), once; replies to fire-and-forget requests and any
// other code are ignored, so they never write a second reply body.
void on_network_ipc_callback(int unused, const void *header, const void *payload);

// Sends `code`, waits for its reply (code + 5000) and hands it to the row of
// that reply. No reply in time: the error reply of `error_kind` (-1: none).
// Returns g_callback_done after the request (0: no reply came).
int network_request_ipc(int code, int length, const void *payload, int error_kind);
template <class T> int network_request_ipc(int code, const T &record, int error_kind)
{
    return network_request_ipc(code, static_cast<int>(sizeof(T)), &record, error_kind);
}
// Fire-and-forget: the daemon's reply is ignored.
void network_notify_ipc(int code, int length, const void *payload);
template <class T> void network_notify_ipc(int code, const T &record)
{
    network_notify_ipc(code, static_cast<int>(sizeof(T)), &record);
}
// 1702 with the name of the settings group that changed.
void network_notify_group(const char *group);

// Reply callbacks: `count` (>= 1) whole records of the row's size at payload.
void on_ip_conflict_cb(size_t count, const void *payload);             // 8005, 8006
void on_cgi_set_default_route_cb(size_t count, const void *payload);   // 6724, 6729: {"res": n}
void on_set_systime_cb(size_t count, const void *payload);             // 6701
void on_get_ddns_status_cb(size_t count, const void *payload);         // 8309
void on_test_email_cb(size_t count, const void *payload);              // 8409
void on_enable_p2p_cb(size_t count, const void *payload);              // 8700
void on_disable_p2p_cb(size_t count, const void *payload);             // 8701
void on_p2p_status_info_cb(size_t count, const void *payload);         // 8702
void on_cgi_p2p_unbind_device_cb(size_t count, const void *payload);   // 7302
void on_resp_create_cert(size_t count, const void *payload);           // 8316
void on_resp_install_cert(size_t count, const void *payload);          // 8318

// ---- Shared helpers ----------------------------------------------------------------------
// One integer or text field of a record and its JSON key: the getters and
// setters of a record are a table of these.
struct RecField {
    const char *key;
    JsonKind kind; // JK_INT (int32) or JK_STRING (zero-ended text field)
    size_t offset, size;
};
#define RF_INT(key, Type, member) RecField{key, JK_INT, offsetof(Type, member), sizeof(int32_t)}
#define RF_TEXT(key, Type, member) \
    RecField{key, JK_STRING, offsetof(Type, member), sizeof(static_cast<Type *>(nullptr)->member)}
// Adds each field to obj under its key, in table order (texts read within
// their field).
void fields_to_json(json_object *obj, const void *rec, const RecField *fields, size_t n);
// Sets each field from its key: the value when present with its type (a
// text cut to the field), else 0 or the empty text.
void fields_from_json(json_object *obj, void *rec, const RecField *fields, size_t n);
template <size_t N> void fields_to_json(json_object *obj, const void *rec, const RecField (&f)[N])
{
    fields_to_json(obj, rec, f, N);
}
template <size_t N> void fields_from_json(json_object *obj, void *rec, const RecField (&f)[N])
{
    fields_from_json(obj, rec, f, N);
}

// Writes obj as the reply (kind 1) and releases it.
void network_reply_json(json_object *obj);
// A present integer within lo..hi.
bool net_int_in(json_object *v, int lo, int hi);
// Logs a failed settings write and answers the text error reply.
int network_write_failed(const char *what);

// ---- Interfaces (interfaces.cpp) ----------------------------------------------------------
int on_get_network_info(char *request);      // /7040
int on_set_network_info(char *request);      // /7041
int on_get_network_mode(char *request);      // /7042
int on_restart_network(char *request);       // /7043
int on_get_mac0(char *request);              // /7044
int on_ip_conflict(char *request);           // /7070
int on_ip_conflict_by_dev(char *request);    // /7071
int on_cgi_set_default_route(char *request); // /7096

// ---- Time, PPPoE, DDNS, mail (services.cpp) ---------------------------------------------------
int on_get_time_info(char *request);   // /7000
int on_set_time_info(char *request);   // /7001
int on_get_pppoe_info(char *request);  // /7010
int on_set_pppoe_info(char *request);  // /7011
int on_get_ddns_info(char *request);   // /7020
int on_set_ddns_info(char *request);   // /7021
int on_get_ddns_status(char *request); // /7094
int on_get_email_info(char *request);  // /7030
int on_set_email_info(char *request);  // /7031
int on_test_email(char *request);      // /7032

// ---- Ports and UPnP (ports.cpp) ----------------------------------------------------------------
int on_get_port_info(char *request); // /7050
int on_set_port_info(char *request); // /7051
int on_get_poe_max(char *request);   // /7093
int on_get_upnp_info(char *request); // /1030
int on_set_upnp_info(char *request); // /1031

// ---- Cloud service (p2p.cpp) ------------------------------------------------------------------
int on_get_p2p_info(char *request);          // /7060
int on_set_p2p_info(char *request);          // /7061
int on_test_p2p(char *request);              // /7062
int on_cgi_p2p_unbind_device(char *request); // /7095

// ---- HTTPS certificates (certs.cpp) -------------------------------------------------------------
int on_create_https_cert(char *request);  // /7080
int on_get_cert_info(char *request);      // /7081
int on_download_cert_req(char *request);  // /7082
int on_delete_cert_req(char *request);    // /7083
int on_install_cert(char *request);       // /7084 (stored upload)
int on_delete_cert(char *request);        // /7085
int on_set_https_enable(char *request);   // /7086
int on_get_https_enable(char *request);   // /7087
int on_get_cert_req_info(char *request);  // /7089

// ---- SNMP, address filter, multicast (snmp_filter.cpp) --------------------------------------------
int on_get_snmp_info(char *request);      // /7090
int on_set_snmp_info(char *request);      // /7091
int on_get_access_info(char *request);    // /7092
int on_get_access_filter(char *request);  // /6300
int on_set_access_filter(char *request);  // /6301
int on_cgi_get_multicast(char *request);  // /7033
int on_cgi_set_multicast(char *request);  // /7034
