// Time (/7000, /7001), PPPoE (/7010, /7011), DDNS (/7020, /7021, /7094) and
// mail (/7030 to /7032) settings. Each setter validates, stores its record,
// tells the daemon which settings group changed, logs and answers "OK";
// a request that fails validation gets no answer.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/ipc.h"
#include "common/records/net_services.h"
#include "common/records/settings_notice.h"
#include "common/web_utils.h"
#include "modules/network/network.h"
#include "platform/qx_net.h"

namespace {
const char kDb[] = QXDB_PATH;

enum {
    OPLOG_SUB_SETTING = 204,
    OPLOG_SUB_TIME = 225,
    OPLOG_PARAM_SYSTEM = 900,
    OPLOG_PARAM_PPPOE = 915,
    OPLOG_PARAM_DDNS = 916,
    OPLOG_PARAM_MAIL = 917,
};
enum { FAILOVER_MODE_SPARE = 2, MANUAL_TIME_MAX = 127 };

// The end of a setter whose settings are stored: the group's notice, the
// operation log and "OK".
int announce_change(const char *group, int param_type)
{
    network_notify_group(group);
    cgi_send_oplog(OPLOG_SUB_SETTING, param_type);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// Stores a setter's record and announces it; a failed write answers the
// error reply instead.
template <class Rec>
int finish_setter(int (*write)(const char *, const Rec *), const Rec &rec, const char *group, int param_type)
{
    if (write(kDb, &rec) != 0) return network_write_failed(group);
    return announce_change(group, param_type);
}

// ---- Time --------------------------------------------------------------------------------------
const RecField kTimeFields[] = {
    RF_INT("ntpEnable", TimeRecord, ntp_enable),
    RF_INT("dstEnable", TimeRecord, dst_enable),
    RF_TEXT("timeZone", TimeRecord, time_zone),
    RF_TEXT("timeZoneName", TimeRecord, time_zone_name),
    RF_TEXT("ntpServer", TimeRecord, ntp_server),
    RF_INT("syncEnable", TimeRecord, sync_enable),
    RF_INT("syncInterval", TimeRecord, sync_interval),
    RF_INT("syncPc", TimeRecord, sync_pc),
};

// ---- PPPoE -------------------------------------------------------------------------------------
const RecField kPppoeFields[] = {
    RF_INT("enable", PppoeRecord, enable),
    RF_INT("autoConnect", PppoeRecord, auto_connect),
    RF_TEXT("userName", PppoeRecord, user_name),
    RF_TEXT("password", PppoeRecord, password),
};

// ---- DDNS: the ports are "http" and "rtsp" in a request, "http_port" and
// "rtsp_port" in the reply. ------------------------------------------------------------------------
#define DDNS_TEXTS                                                                                   \
    RF_INT("enable", DdnsRecord, enable), RF_TEXT("domain", DdnsRecord, domain),                     \
        RF_TEXT("userName", DdnsRecord, user_name), RF_TEXT("password", DdnsRecord, password),       \
        RF_TEXT("hostName", DdnsRecord, host_name), RF_TEXT("ddnsurl", DdnsRecord, ddns_url),        \
        RF_TEXT("freeDNSHash", DdnsRecord, free_dns_hash), RF_INT("updateFreq", DdnsRecord, update_freq)
const RecField kDdnsReply[] = {
    DDNS_TEXTS,
    RF_INT("http_port", DdnsRecord, http_port),
    RF_INT("rtsp_port", DdnsRecord, rtsp_port),
};
const RecField kDdnsRequest[] = {
    DDNS_TEXTS,
    RF_INT("http", DdnsRecord, http_port),
    RF_INT("rtsp", DdnsRecord, rtsp_port),
};

// ---- Mail --------------------------------------------------------------------------------------
const RecField kMailFields[] = {
    RF_INT("enable", MailRecord, enable),
    RF_TEXT("userName", MailRecord, user_name),
    RF_TEXT("password", MailRecord, password),
    RF_TEXT("smtpServer", MailRecord, smtp_server),
    RF_INT("smtpPort", MailRecord, smtp_port),
    RF_TEXT("senderAddr", MailRecord, sender_addr),
    RF_TEXT("senderName", MailRecord, sender_name),
    RF_INT("enableTls", MailRecord, enable_tls),
    RF_INT("enableAttach", MailRecord, enable_attach),
    RF_INT("captureInterval", MailRecord, capture_interval),
};
const RecField kMailHostFields[] = {
    RF_INT("enableHostName", PortRecord, enable_host_name),
    RF_TEXT("hostName", PortRecord, host_name),
};
const RecField kReceiverFields[] = {
    RF_TEXT("receiverAddr", MailReceiver, addr),
    RF_TEXT("receiverName", MailReceiver, name),
};

void add_text_number(json_object *o, const char *key, const char *format, int value)
{
    char text[16];
    snprintf(text, sizeof text, format, value);
    json_add_text(o, key, text);
}
} // namespace

// ---- /7000 ------------------------------------------------------------------------------------

int on_get_time_info(char *)
{
    TimeRecord rec{};
    read_time(kDb, &rec);
    time_t now = time(nullptr);
    struct tm tm;
    localtime_r(&now, &tm);
    char server_time[32];
    strftime(server_time, sizeof server_time, "%Y-%m-%d %H:%M:%S", &tm);
    json_object *o = json_object_new_object();
    add_text_number(o, "dateYear", "%04d", tm.tm_year + 1900);
    add_text_number(o, "dateMon", "%02d", tm.tm_mon + 1);
    add_text_number(o, "dateDay", "%02d", tm.tm_mday);
    add_text_number(o, "dateHour", "%02d", tm.tm_hour);
    add_text_number(o, "dateMin", "%02d", tm.tm_min);
    add_text_number(o, "dateSec", "%02d", tm.tm_sec);
    json_add_text(o, "serverTime", server_time);
    fields_to_json(o, &rec, kTimeFields);
    network_reply_json(o);
    return 0;
}

// ---- /7001 ------------------------------------------------------------------------------------

int on_set_time_info(char *request)
{
    enum { T_NTP, T_DST, T_ZONE, T_ZONE_NAME, T_SYNC, T_SYNC_INTERVAL, T_SYNC_PC, T_FAILOVER, T_MANUAL, T_COUNT };
    static constexpr JsonPolicy policy[T_COUNT] = {
        {"ntpEnable", JK_INT},    {"dstEnable", JK_INT},    {"timeZone", JK_STRING},
        {"timeZoneName", JK_STRING}, {"syncEnable", JK_INT}, {"syncInterval", JK_INT},
        {"syncPc", JK_INT},       {"failoverMode", JK_INT}, {"manualTime", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_set_time_info, policy);
    JsonDoc doc(request);
    json_object *tb[T_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    if (!net_int_in(tb[T_NTP], 0, 1) || !net_int_in(tb[T_DST], 0, 1)) return 0;
    for (int k : {T_ZONE, T_ZONE_NAME, T_SYNC, T_SYNC_INTERVAL, T_SYNC_PC})
        if (!tb[k]) return 0;

    TimeRecord rec{};
    fields_from_json(doc.get(), &rec, kTimeFields);
    if (write_time(kDb, &rec) != 0) return network_write_failed("time");

    // The clock: the manual time in double quotes, unless NTP sets it or
    // the device is a failover spare.
    TimeSetRequest clock{};
    if (rec.ntp_enable == 0 && jv_int(tb[T_FAILOVER]) != FAILOVER_MODE_SPARE) {
        // Quotes kept, the time cut to what fits between them.
        size_t n = strnlen(jv_str(tb[T_MANUAL]), MANUAL_TIME_MAX);
        if (n > sizeof clock.time - 3) n = sizeof clock.time - 3;
        clock.time[0] = '"';
        memcpy(clock.time + 1, jv_str(tb[T_MANUAL]), n);
        clock.time[n + 1] = '"';
    }
    // The page has its answer before the daemon sets the clock, which may
    // take long; the applied notice goes from this thread once it has.
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    if (network_request_ipc(IPC_TIME_SET, clock, -1) != 0) network_notify_ipc(IPC_TIME_APPLIED, 0, nullptr);
    cgi_send_oplog(OPLOG_SUB_TIME, OPLOG_PARAM_SYSTEM);
    return 0;
}

void on_set_systime_cb(size_t, const void *)
{
    // Already answered: the reply only ends the wait.
    g_callback_done = 1;
}

// ---- /7010, /7011 -----------------------------------------------------------------------------

int on_get_pppoe_info(char *)
{
    PppoeRecord rec{};
    read_pppoe(kDb, &rec);
    char addr[32];
    if (net_get_ifaddr("ppp0", addr, sizeof addr) != 0) COPY_TEXT(addr, "0.0.0.0");
    json_object *o = json_object_new_object();
    fields_to_json(o, &rec, kPppoeFields);
    json_add_text(o, "ipAddr", addr);
    network_reply_json(o);
    return 0;
}

int on_set_pppoe_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"enable", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_pppoe_info, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !net_int_in(tb[0], 0, 1)) return 0;
    PppoeRecord rec{};
    fields_from_json(doc.get(), &rec, kPppoeFields);
    return finish_setter(write_pppoe, rec, "pppoe", OPLOG_PARAM_PPPOE);
}

// ---- /7020, /7021, /7094 -------------------------------------------------------------------------

int on_get_ddns_info(char *)
{
    DdnsRecord rec{};
    read_ddns(kDb, &rec);
    char mac[18];
    get_mac_addr(mac, nullptr);
    json_object *o = json_object_new_object();
    fields_to_json(o, &rec, kDdnsReply);
    json_add_text(o, "mac", mac);
    network_reply_json(o);
    return 0;
}

int on_set_ddns_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"enable", JK_INT}, {"updateFreq", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ddns_info, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !net_int_in(tb[0], 0, 1) || !net_int_in(tb[1], 0, INT32_MAX))
        return 0;
    DdnsRecord rec{};
    fields_from_json(doc.get(), &rec, kDdnsRequest);
    return finish_setter(write_ddns, rec, "ddns", OPLOG_PARAM_DDNS);
}

int on_get_ddns_status(char *)
{
    network_request_ipc(IPC_DDNS_STATUS, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_get_ddns_status_cb(size_t count, const void *payload) { on_cgi_common_json_cb(static_cast<int>(count), payload); }

// ---- /7030, /7031, /7032 -------------------------------------------------------------------------

int on_get_email_info(char *)
{
    MailRecord mail{};
    read_email(kDb, &mail);
    PortRecord port{};
    read_port(kDb, &port);
    json_object *o = json_object_new_object();
    fields_to_json(o, &mail, kMailFields);
    fields_to_json(o, &port, kMailHostFields);
    json_object *receivers = json_object_new_array();
    for (const MailReceiver &r : mail.receivers) {
        json_object *item = json_object_new_object();
        fields_to_json(item, &r, kReceiverFields);
        json_object_array_add(receivers, item);
    }
    json_object_object_add(o, "receivers", receivers);
    network_reply_json(o);
    return 0;
}

int on_set_email_info(char *request)
{
    enum { M_PORT, M_TLS, M_ATTACH, M_INTERVAL, M_RECEIVERS, M_COUNT };
    static constexpr JsonPolicy policy[M_COUNT] = {
        {"smtpPort", JK_INT}, {"enableTls", JK_INT}, {"enableAttach", JK_INT}, {"captureInterval", JK_INT},
        {"receivers", JK_ARRAY},
    };
    NVRWEB_HANDLER_KEYS(on_set_email_info, policy);
    JsonDoc doc(request);
    json_object *tb[M_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    if (!net_int_in(tb[M_PORT], 0, INT32_MAX) || !net_int_in(tb[M_TLS], 0, 2) || !net_int_in(tb[M_ATTACH], 0, 1) ||
        !net_int_in(tb[M_INTERVAL], 0, INT32_MAX))
        return 0;

    int stored = settings_atomic(kDb, [&]() -> int {
        MailRecord mail{};
        if (read_email(kDb, &mail) != 0) return -1;
        fields_from_json(doc.get(), &mail, kMailFields);
        // Receivers the request carries as objects; the others stay.
        for (size_t i = 0; i < MAIL_RECEIVERS && i < jv_len(tb[M_RECEIVERS]); i++) {
            json_object *item = jv_at(tb[M_RECEIVERS], i);
            if (jv_is(item, JK_OBJECT)) fields_from_json(item, &mail.receivers[i], kReceiverFields);
        }
        PortRecord port{};
        if (write_email(kDb, &mail) != 0 || read_port(kDb, &port) != 0) return -1;
        fields_from_json(doc.get(), &port, kMailHostFields);
        return write_port(kDb, &port) == 0 ? 0 : -1;
    });
    if (stored < 0) return network_write_failed("mail");
    return announce_change("mail", OPLOG_PARAM_MAIL);
}

int on_test_email(char *)
{
    SettingsGroupNotice test = settings_group_notice("testmail"); // the same 32-byte text
    network_request_ipc(IPC_TEST_MAIL, test, REPLY_TEXT);
    return 0;
}

void on_test_email_cb(size_t, const void *payload)
{
    int32_t status;
    memcpy(&status, payload, sizeof status);
    cgi_writeback_webserver(REPLY_TEXT, status == 0 ? "OK" : "ERROR");
    g_callback_done = 1;
}
