// SNMP agent settings (/7090, /7091), the client address filter (/6300,
// /6301), live-stream multicast (/7033, /7034) and the channel access switch
// (/7092).
#include <cstdint>

#include "common/ipc.h"
#include "common/records/net_access.h"
#include "common/records/net_services.h"
#include "common/web_utils.h"
#include "modules/network/network.h"
#include "platform/qx_net.h"

namespace {
const char kDb[] = QXDB_PATH;
const char kFilterEnable[] = "access_filter_enable";
const char kFilterType[] = "access_filter_type";
enum { FILTER_ENABLE_DEFAULT = 0, FILTER_TYPE_DEFAULT = 1, PORT_MAX = 65535 };

const RecField kSnmpFields[] = {
    RF_INT("v1_enable", SnmpRecord, v1_enable),
    RF_INT("v2c_enable", SnmpRecord, v2c_enable),
    RF_TEXT("write_community", SnmpRecord, write_community),
    RF_TEXT("read_community", SnmpRecord, read_community),
    RF_INT("v3_enable", SnmpRecord, v3_enable),
    RF_TEXT("read_security_name", SnmpRecord, read_security_name),
    RF_INT("read_level_security", SnmpRecord, read_level_security),
    RF_INT("read_auth_algorithm", SnmpRecord, read_auth_algorithm),
    RF_TEXT("read_auth_password", SnmpRecord, read_auth_password),
    RF_INT("read_pri_algorithm", SnmpRecord, read_pri_algorithm),
    RF_TEXT("read_pri_password", SnmpRecord, read_pri_password),
    RF_TEXT("write_security_name", SnmpRecord, write_security_name),
    RF_INT("write_level_security", SnmpRecord, write_level_security),
    RF_INT("write_auth_algorithm", SnmpRecord, write_auth_algorithm),
    RF_TEXT("write_auth_password", SnmpRecord, write_auth_password),
    RF_INT("write_pri_algorithm", SnmpRecord, write_pri_algorithm),
    RF_TEXT("write_pri_password", SnmpRecord, write_pri_password),
    RF_INT("port", SnmpRecord, port),
};
// The service ports shown with the SNMP settings.
const RecField kSnmpPortFields[] = {
    RF_INT("sshPort", PortRecord, ssh_port),
    RF_INT("httpPort", PortRecord, http_port),
    RF_INT("rtspPort", PortRecord, rtsp_port),
    RF_INT("httpsPort", PortRecord, https_port),
};

const RecField kFilterEntryFields[] = {
    RF_INT("address_type", AccessFilterEntry, address_type),
    RF_TEXT("address", AccessFilterEntry, address),
};

const RecField kMulticastFields[] = {
    RF_INT("enable", MulticastRecord, enable),
    RF_TEXT("ip", MulticastRecord, ip),
};

// One entry of "filterList": an object whose keys, where present, have
// their types (a missing one reads as 0 or "").
bool filter_entry(json_object *item, AccessFilterEntry *entry)
{
    if (!jv_is(item, JK_OBJECT)) return false;
    for (const RecField &f : kFilterEntryFields) {
        json_object *v = nullptr;
        if (json_object_object_get_ex(item, f.key, &v) && !jv_is(v, f.kind)) return false;
    }
    fields_from_json(item, entry, kFilterEntryFields);
    return true;
}
} // namespace

// ---- /7090, /7091 --------------------------------------------------------------------------------

int on_get_snmp_info(char *)
{
    SnmpRecord snmp{};
    read_snmp(kDb, &snmp);
    PortRecord port{};
    read_port(kDb, &port);
    json_object *o = json_object_new_object();
    fields_to_json(o, &snmp, kSnmpFields);
    fields_to_json(o, &port, kSnmpPortFields);
    network_reply_json(o);
    return 0;
}

int on_set_snmp_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"port", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_snmp_info, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    if (tb[0] && !net_int_in(tb[0], 0, PORT_MAX)) return 0;

    // Every key is taken; one that is absent stores 0 or "". A changed port
    // must be neither a PoE camera's nor in use on the device.
    enum { SNMP_STORED = 0, SNMP_PORT_REFUSED = 1 };
    int stored = settings_atomic(kDb, [&]() -> int {
        SnmpRecord snmp{};
        if (read_snmp(kDb, &snmp) != 0) return -1;
        const int32_t old_port = snmp.port;
        fields_from_json(doc.get(), &snmp, kSnmpFields);
        if (snmp.port != old_port &&
            (poe_reserved_port(snmp.port, get_param_int(kDb, "max_poe_num", 0)) || is_port_use(snmp.port) != 0))
            return SNMP_PORT_REFUSED;
        return write_snmp(kDb, &snmp) == 0 ? SNMP_STORED : -1;
    });
    if (stored < 0) return network_write_failed("snmp");
    if (stored == SNMP_PORT_REFUSED) return cgi_writeback_webserver(REPLY_TEXT, "POE_Port_Error");
    network_notify_group("snmp");
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6300, /6301 --------------------------------------------------------------------------------

int on_get_access_filter(char *)
{
    AccessFilterEntry entries[ACCESS_FILTER_MAX];
    int count = 0;
    read_access_filter(kDb, entries, ACCESS_FILTER_MAX, &count);
    json_object *o = json_object_new_object();
    json_add_int(o, "filterEnable", get_param_int(kDb, kFilterEnable, FILTER_ENABLE_DEFAULT));
    json_add_int(o, "filterType", get_param_int(kDb, kFilterType, FILTER_TYPE_DEFAULT));
    json_object *list = json_object_new_array();
    for (int i = 0; i < count; i++) {
        json_object *item = json_object_new_object();
        fields_to_json(item, &entries[i], kFilterEntryFields);
        json_object_array_add(list, item);
    }
    json_object_object_add(o, "filterList", list);
    network_reply_json(o);
    return 0;
}

int on_set_access_filter(char *request)
{
    enum { F_ENABLE, F_TYPE, F_LIST, F_COUNT };
    static constexpr JsonPolicy policy[F_COUNT] = {
        {"filterEnable", JK_INT}, {"filterType", JK_INT}, {"filterList", JK_ARRAY},
    };
    NVRWEB_HANDLER_KEYS(on_set_access_filter, policy);
    JsonDoc doc(request);
    json_object *tb[F_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < F_COUNT) return 0;

    // The first ACCESS_FILTER_MAX entries; a mistyped one refuses the request.
    AccessFilterEntry entries[ACCESS_FILTER_MAX] = {};
    int count = 0;
    for (size_t i = 0; i < jv_len(tb[F_LIST]) && count < ACCESS_FILTER_MAX; i++, count++)
        if (!filter_entry(jv_at(tb[F_LIST], i), &entries[count])) return 0;

    int stored = settings_atomic(kDb, [&]() -> int {
        bool ok = set_param_int(kDb, kFilterEnable, jv_int(tb[F_ENABLE])) == 0 &&
                  set_param_int(kDb, kFilterType, jv_int(tb[F_TYPE])) == 0 &&
                  write_access_filter(kDb, entries, count) == 0;
        return ok ? 0 : -1;
    });
    if (stored < 0) return network_write_failed("access filter");
    cgi_notify_ipc(IPC_ACCESS_FILTER_SET, 0, nullptr);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /7033, /7034 --------------------------------------------------------------------------------

int on_cgi_get_multicast(char *)
{
    MulticastRecord rec{};
    read_multicast(kDb, &rec);
    json_object *o = json_object_new_object();
    fields_to_json(o, &rec, kMulticastFields);
    network_reply_json(o);
    return 0;
}

int on_cgi_set_multicast(char *request)
{
    enum { M_ENABLE, M_IP, M_COUNT };
    static constexpr JsonPolicy policy[M_COUNT] = {{"enable", JK_INT}, {"ip", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_cgi_set_multicast, policy);
    JsonDoc doc(request);
    json_object *tb[M_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);

    // What the request leaves out stays as stored.
    MulticastRecord rec{};
    int stored = settings_atomic(kDb, [&]() -> int {
        rec = MulticastRecord{};
        if (read_multicast(kDb, &rec) != 0) return -1;
        if (tb[M_ENABLE]) rec.enable = jv_int(tb[M_ENABLE]);
        jv_copy(tb[M_IP], rec.ip, sizeof rec.ip);
        return write_multicast(kDb, &rec);
    });
    if (stored < 0) {
        cgi_log("OnSystem", __LINE__, "", "multicast: settings write failed");
        return cgi_error_to_webserver(REPLY_JSON);
    }
    network_request_ipc(IPC_MULTICAST_SET, rec, REPLY_JSON);
    return 0;
}

// ---- /7092 ---------------------------------------------------------------------------------------

int on_get_access_info(char *)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "access", get_param_int(kDb, "ch_access", 0));
    network_reply_json(o);
    return 0;
}
