// Addressing of the two Ethernet ports (/7040 to /7044), the address
// conflict tests (/7070, /7071) and the port of the default route (/7096).
//
// The network record keeps two sets of addressing: the independent ports of
// mode 0 and the bond of modes 1 and 2. The same JSON keys name the fields of
// either set, so each set is one table of keys, in the order of its reply.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/ipc.h"
#include "common/records/network.h"
#include "common/records/oplog.h"
#include "common/web_utils.h"
#include "modules/network/network.h"
#include "platform/qx_net.h"

namespace {
const char kDb[] = QXDB_PATH;

enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_NETWORK = 914, OPLOG_SUB_CONFLICT = 406 };

// What a key shows or takes.
enum NetSrc { NS_INT, NS_TEXT, NS_MODE, NS_MAC0, NS_MAC1 };
enum {
    F_SET = 1,   // the setter takes it
    F_MODE2 = 2, // only in mode 2
    F_GW6 = 4,   // an IPv6 gateway: not taken while its kind is IP6_LIVE
};
struct NetKey {
    const char *key;
    NetSrc src;
    size_t offset, size;
    int flags;
    size_t kind_offset; // F_GW6: the IPv6 kind it depends on
};

#define NR_SIZE(member) sizeof(static_cast<NetworkRecord *>(nullptr)->member)
#define NK_INT(key, member, flags) {key, NS_INT, offsetof(NetworkRecord, member), 4, flags, 0}
#define NK_TEXT(key, member, flags) {key, NS_TEXT, offsetof(NetworkRecord, member), NR_SIZE(member), flags, 0}
#define NK_GW6(key, member, kind) \
    {key, NS_TEXT, offsetof(NetworkRecord, member), NR_SIZE(member), F_SET | F_GW6, offsetof(NetworkRecord, kind)}
#define NK_MODE {"mode", NS_MODE, 0, 0, 0, 0}
#define NK_HOST NK_TEXT("hostName", host_name, 0)
#define NK_MAC(key, src) {key, src, 0, 0, 0, 0}

// Modes 1 and 2: the bond, in the order of its reply.
const NetKey kBondKeys[] = {
    NK_MODE,
    NK_HOST,
    NK_INT("primaryNet", primary_net, F_SET | F_MODE2),
    NK_INT("enableNetwork1", bond.enable, F_SET),
    NK_INT("networkType", bond.network_type, F_SET),
    NK_TEXT("ipAddr", bond.ip_addr, F_SET),
    NK_TEXT("netmask", bond.netmask, F_SET),
    NK_TEXT("gateway", bond.gateway, F_SET),
    NK_MAC("macAddr", NS_MAC0),
    NK_TEXT("DNS1", bond.dns1, F_SET),
    NK_TEXT("DNS2", bond.dns2, F_SET),
    NK_INT("mtu", bond.mtu, F_SET),
    NK_INT("ip6networkType", bond_ip6_type, F_SET),
    NK_TEXT("ip6Addr", bond6.addr, F_SET),
    NK_TEXT("ip6netmask", bond6.prefix, F_SET),
    NK_GW6("ip6gateway", bond6.gateway, bond_ip6_type),
    NK_INT("defaultRoute", default_route, 0),
};

// Mode 0: the two ports, in the order of its reply.
const NetKey kMutiKeys[] = {
    NK_MODE,
    NK_HOST,
    NK_INT("enableNetwork1", port[0].enable, F_SET),
    NK_INT("networkType", port[0].network_type, F_SET),
    NK_TEXT("ipAddr", port[0].ip_addr, F_SET),
    NK_TEXT("netmask", port[0].netmask, F_SET),
    NK_TEXT("gateway", port[0].gateway, F_SET),
    NK_INT("ip6networkType", ip6_type[0], F_SET),
    NK_TEXT("ip6Addr", port6[0].addr, F_SET),
    NK_TEXT("ip6netmask", port6[0].prefix, F_SET),
    NK_GW6("ip6gateway", port6[0].gateway, ip6_type[0]),
    NK_MAC("macAddr", NS_MAC0),
    NK_TEXT("DNS1", port[0].dns1, F_SET),
    NK_TEXT("DNS2", port[0].dns2, F_SET),
    NK_INT("mtu", port[0].mtu, F_SET),
    NK_INT("enableNetwork2", port[1].enable, F_SET),
    NK_INT("networkType2", port[1].network_type, F_SET),
    NK_TEXT("ipAddr2", port[1].ip_addr, F_SET),
    NK_TEXT("netmask2", port[1].netmask, F_SET),
    NK_TEXT("gateway2", port[1].gateway, F_SET),
    NK_INT("ip6networkType2", ip6_type[1], F_SET),
    NK_TEXT("ip6Addr2", port6[1].addr, F_SET),
    NK_TEXT("ip6netmask2", port6[1].prefix, F_SET),
    NK_GW6("ip6gateway2", port6[1].gateway, ip6_type[1]),
    NK_MAC("macAddr2", NS_MAC1),
    NK_TEXT("DNS12", port[1].dns1, F_SET),
    NK_TEXT("DNS22", port[1].dns2, F_SET),
    NK_INT("mtu2", port[1].mtu, F_SET),
    NK_INT("defaultRoute", default_route, F_SET),
};

bool is_bond(int mode) { return mode == NET_MODE_BOND_BALANCE || mode == NET_MODE_BOND_FAILOVER; }

char *field(NetworkRecord *rec, size_t offset) { return reinterpret_cast<char *>(rec) + offset; }
const char *field(const NetworkRecord &rec, size_t offset) { return reinterpret_cast<const char *>(&rec) + offset; }
int32_t int_field(const NetworkRecord &rec, size_t offset)
{
    int32_t v;
    memcpy(&v, field(rec, offset), sizeof v);
    return v;
}

// ---- Reply ---------------------------------------------------------------------------------

// The interface's live IPv6 address (global, else link-local), prefix and
// gateway, where the kind asks for them.
void show_live_ipv6(NetPortV6 *v6, int32_t kind, const char *ifname)
{
    if (kind == IP6_STATIC) return;
    if (kind == IP6_STATIC_OR_LIVE && v6->addr[0] && v6->prefix[0]) return;
    *v6 = NetPortV6{};
    int prefix = 0;
    if (net_get_ipv6_ifaddr(ifname, NET_IP6_GLOBAL, v6->addr, sizeof v6->addr, &prefix) == 0 ||
        net_get_ipv6_ifaddr(ifname, NET_IP6_LINK, v6->addr, sizeof v6->addr, &prefix) == 0)
        snprintf(v6->prefix, sizeof v6->prefix, "%d", prefix);
    net_get_ipv6_gateway2(ifname, v6->gateway, sizeof v6->gateway);
}

template <size_t N> json_object *network_json(const NetKey (&keys)[N], int mode, const NetworkRecord &rec)
{
    char mac[2][18] = {};
    get_mac_addr(mac[0], mac[1]);
    json_object *o = json_object_new_object();
    for (const NetKey &k : keys) {
        switch (k.src) {
        case NS_MODE: json_add_int(o, k.key, mode); break;
        case NS_INT: json_add_int(o, k.key, int_field(rec, k.offset)); break;
        case NS_TEXT: json_add_field(o, k.key, field(rec, k.offset), k.size); break;
        case NS_MAC0: json_add_text(o, k.key, mac[0]); break;
        case NS_MAC1: json_add_text(o, k.key, mac[1]); break;
        }
    }
    return o;
}

// The request text of /7040 as a mode 0..2 (a plain decimal, blanks around
// it allowed), else -1.
int requested_mode(const char *text)
{
    if (!text) return -1;
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || errno) return -1;
    while (isspace(static_cast<unsigned char>(*end))) end++;
    return *end || v < 0 || v > NET_MODE_MAX ? -1 : static_cast<int>(v);
}

// ---- Setter ------------------------------------------------------------------------------

// Copies every settable key of the set that the request holds with its type.
template <size_t N> void take_keys(json_object *obj, const NetKey (&keys)[N], int mode, NetworkRecord *rec)
{
    // IPv6 gateways last: they depend on the kinds taken before.
    for (int pass = 0; pass < 2; pass++) {
        for (const NetKey &k : keys) {
            if (!(k.flags & F_SET) || bool(k.flags & F_GW6) != (pass == 1)) continue;
            if ((k.flags & F_MODE2) && mode != NET_MODE_BOND_FAILOVER) continue;
            if ((k.flags & F_GW6) && int_field(*rec, k.kind_offset) == IP6_LIVE) continue;
            json_object *v = nullptr;
            if (!json_object_object_get_ex(obj, k.key, &v)) continue;
            if (k.src == NS_INT && jv_is(v, JK_INT)) {
                int32_t n = jv_int(v);
                memcpy(field(rec, k.offset), &n, sizeof n);
            } else if (k.src == NS_TEXT && jv_is(v, JK_STRING)) {
                copy_text(field(rec, k.offset), k.size, json_object_get_string(v));
            }
        }
    }
}

void send_conflict_oplog()
{
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.main_type = OPLOG_MAIN_CONFLICT;
    log.sub_type = OPLOG_SUB_CONFLICT;
    log.param_type = OPLOG_PARAM_NETWORK;
    cgi_send_oplog_record(log);
}
} // namespace

// ---- /7040 ------------------------------------------------------------------------------------

int on_get_network_info(char *request)
{
    NetworkRecord rec{};
    read_network(kDb, &rec);
    int mode = requested_mode(request);
    if (mode < 0) mode = rec.mode >= 0 && rec.mode <= NET_MODE_MAX ? rec.mode : NET_MODE_MUTI;
    json_object *o;
    if (is_bond(mode)) {
        show_live_ipv6(&rec.bond6, rec.bond_ip6_type, "bond0");
        o = network_json(kBondKeys, mode, rec);
    } else {
        show_live_ipv6(&rec.port6[0], rec.ip6_type[0], "eth0");
        show_live_ipv6(&rec.port6[1], rec.ip6_type[1], "eth1");
        o = network_json(kMutiKeys, mode, rec);
    }
    network_reply_json(o);
    return 0;
}

// ---- /7041 ------------------------------------------------------------------------------------

int on_set_network_info(char *request)
{
    enum { K_MODE, K_CONFLICT, K_SLAVE_CLEAR, K_COUNT };
    static constexpr JsonPolicy policy[K_COUNT] = {{"mode", JK_INT}, {"Conflict", JK_INT}, {"slaveClear", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_network_info, policy);
    JsonDoc doc(request);
    json_object *tb[K_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;

    enum { STORED = 0, BAD_MODE = 1 };
    int stored = settings_atomic(kDb, [&]() -> int {
        NetworkRecord rec{};
        if (read_network(kDb, &rec) != 0) return -1;
        int mode = tb[K_MODE] ? jv_int(tb[K_MODE]) : rec.mode;
        if (mode < 0 || mode > NET_MODE_MAX) return BAD_MODE;
        rec.mode = mode;
        if (is_bond(mode)) {
            take_keys(doc.get(), kBondKeys, mode, &rec);
            return write_network_bond(kDb, &rec) == 0 ? STORED : -1;
        }
        take_keys(doc.get(), kMutiKeys, mode, &rec);
        return write_network_muti(kDb, &rec) == 0 ? STORED : -1;
    });
    if (stored < 0) return network_write_failed("network");
    if (stored == BAD_MODE) return 0; // refused: no notice, no answer

    int32_t slave_clear = jv_int(tb[K_SLAVE_CLEAR]);
    network_notify_ipc(IPC_NETWORK_SLAVE_CLEAR, slave_clear);
    network_notify_group("network");
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_NETWORK);
    if (jv_int(tb[K_CONFLICT]) == 1) send_conflict_oplog();
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /7042, /7043 -----------------------------------------------------------------------------

int on_get_network_mode(char *)
{
    char text[16];
    snprintf(text, sizeof text, "%d", read_network_mode(kDb));
    return cgi_writeback_webserver(REPLY_TEXT, text);
}

int on_restart_network(char *)
{
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    network_notify_ipc(IPC_NETWORK_RESTART, NetworkRestart{});
    return 0;
}

// ---- /7044 ------------------------------------------------------------------------------------

namespace {
// Copies the MAC digits into out (size bytes, always ended), with a ':'
// behind every second character that a further letter or digit follows.
void format_mac(const char *digits, char *out, size_t size)
{
    size_t n = 0;
    for (size_t i = 0; digits[i] && n + 1 < size; i++) {
        out[n++] = digits[i];
        if (i % 2 == 1 && isalnum(static_cast<unsigned char>(digits[i + 1])) && n + 1 < size) out[n++] = ':';
    }
    out[n] = '\0';
}
} // namespace

int on_get_mac0(char *)
{
    char digits[64];
    read_mac_conf(kDb, digits, sizeof digits);
    char mac[18]; // "0A:1B:2C:3D:4E:5F"
    format_mac(digits, mac, sizeof mac);
    json_object *o = json_object_new_object();
    json_add_text(o, "mac0", mac);
    network_reply_json(o);
    return 0;
}

// ---- /7070, /7071 -----------------------------------------------------------------------------

int on_ip_conflict(char *request)
{
    static constexpr JsonPolicy policy[] = {{"ip", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_ip_conflict, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0]) return 0;
    IpConflictRequest req{};
    jv_copy(tb[0], req.ip, sizeof req.ip);
    network_request_ipc(IPC_IP_CONFLICT, req, REPLY_TEXT);
    return 0;
}

int on_ip_conflict_by_dev(char *request)
{
    static constexpr JsonPolicy policy[] = {{"dev", JK_STRING}, {"ip", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_ip_conflict_by_dev, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0] || !tb[1]) return 0;
    IpConflictDevRequest req{};
    jv_copy(tb[0], req.dev, sizeof req.dev);
    jv_copy(tb[1], req.ip, sizeof req.ip);
    network_request_ipc(IPC_IP_CONFLICT_BY_DEV, req, REPLY_TEXT);
    return 0;
}

void on_ip_conflict_cb(size_t, const void *payload)
{
    int32_t status;
    memcpy(&status, payload, sizeof status);
    cgi_writeback_webserver(REPLY_TEXT, status != 0 ? "-1" : "0");
    g_callback_done = 1;
}

// ---- /7096 ------------------------------------------------------------------------------------

int on_cgi_set_default_route(char *request)
{
    static constexpr JsonPolicy policy[] = {{"defaultRoute", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_cgi_set_default_route, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0]) return cgi_error_to_webserver(REPLY_JSON);
    int32_t route = jv_int(tb[0]);
    network_request_ipc(IPC_DEFAULT_ROUTE, route, REPLY_JSON);
    return 0;
}

void on_cgi_set_default_route_cb(size_t, const void *payload)
{
    int32_t res;
    memcpy(&res, payload, sizeof res);
    json_object *o = json_object_new_object();
    json_add_int(o, "res", res);
    network_reply_json(o);
    g_callback_done = 1;
}
