// Replies of the network requests: a device with two independent ports on
// two small simulated networks (eth0 on 192.168.1.0/24 with its router and
// the demonstration cameras, eth1 on 192.168.2.0/24 with a router and a
// file server), the time, DDNS and mail services, and the cloud service,
// whose on/off state the simulator keeps while it runs. Nothing is applied
// to the host: its interfaces, routes and clock stay as they are.
#include <atomic>
#include <cstring>
#include <string>
#include <unistd.h>

#include "common/records/net_services.h"
#include "common/records/network.h"
#include "common/web_utils.h"
#include "platform/device_path.h"
#include "sim.h"

namespace {

struct SimHost {
    const char *port; // the port whose network it is on
    const char *ip;
};
const SimHost kHosts[] = {
    {"eth0", "192.168.1.1"},   {"eth0", "192.168.1.101"}, {"eth0", "192.168.1.102"}, {"eth0", "192.168.1.103"},
    {"eth0", "192.168.1.120"}, {"eth0", "192.168.1.121"}, {"eth1", "192.168.2.1"},   {"eth1", "192.168.2.50"},
};

template <class T> std::string bytes_of(const T &rec) { return std::string(reinterpret_cast<const char *>(&rec), sizeof rec); }

// The request's payload as a record (zero-padded or cut).
template <class T> T payload_as(const SimRequest &req)
{
    T rec{};
    memcpy(&rec, req.payload.data(), req.payload.size() < sizeof rec ? req.payload.size() : sizeof rec);
    return rec;
}

// The device's settings database, when it exists (never created here).
bool have_db()
{
    std::string db = nvr_path(QXDB_PATH);
    return !db.empty() && access(db.c_str(), F_OK) == 0;
}

std::string text_of(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

// Whether an address is taken on the network of `port` ("" = any port):
// a host of that network, or the address the device's other port has.
bool address_taken(const std::string &port, const std::string &ip)
{
    const std::string net = port == "bond0" ? "eth0" : port;
    for (const SimHost &h : kHosts)
        if ((net.empty() || net == h.port) && ip == h.ip) return true;
    NetworkRecord rec{};
    if (net.empty() || !have_db() || read_network(QXDB_PATH, &rec) != 0 || rec.mode != NET_MODE_MUTI) return false;
    int other = net == "eth0" ? 1 : 0;
    return ip == text_of(rec.port[other].ip_addr, sizeof rec.port[other].ip_addr);
}

// 3005: {ip}; 8005: 1 when the address answers, else 0.
std::string ip_conflict(const SimRequest &req)
{
    IpConflictRequest r = payload_as<IpConflictRequest>(req);
    return qx_le32_bytes(address_taken("", text_of(r.ip, sizeof r.ip)) ? 1 : 0);
}

// 3006: {dev, ip}: the same on the network of one port.
std::string ip_conflict_by_dev(const SimRequest &req)
{
    IpConflictDevRequest r = payload_as<IpConflictDevRequest>(req);
    return qx_le32_bytes(address_taken(text_of(r.dev, sizeof r.dev), text_of(r.ip, sizeof r.ip)) ? 1 : 0);
}

// 1724: the default route goes over port 0 or 1 (status 0); others -1.
std::string default_route(const SimRequest &req)
{
    int32_t port = payload_as<int32_t>(req);
    return qx_le32_bytes(port == 0 || port == 1 ? 0 : -1);
}

// 1701: the clock is "set" (the host's clock is left alone).
std::string time_set(const SimRequest &) { return qx_le32_bytes(0); }

// 3309: DDNS updated (1) while it is switched on, else idle (0).
std::string ddns_status(const SimRequest &)
{
    DdnsRecord rec{};
    bool on = have_db() && read_ddns(QXDB_PATH, &rec) == 0 && rec.enable == 1;
    return qx_le32_bytes(on ? 1 : 0);
}

// 3409: the test mail goes out (0) when a server and a first receiver are
// set, else it fails (1).
std::string test_mail(const SimRequest &)
{
    MailRecord rec{};
    bool ready = have_db() && read_email(QXDB_PATH, &rec) == 0 && rec.smtp_server[0] && rec.receivers[0].addr[0];
    return qx_le32_bytes(ready ? 0 : 1);
}

// The cloud service's state while the simulator runs: -1 until switched.
std::atomic<int> g_p2p_enable{-1};
std::atomic<int> g_p2p_region{0};

// 3700: switched on (a P2P record) or a P2P server's text after a test: ERR_OK.
std::string p2p_enable(const SimRequest &req)
{
    if (req.payload.size() == sizeof(P2pRecord)) {
        P2pRecord rec = payload_as<P2pRecord>(req);
        g_p2p_enable = 1;
        g_p2p_region = rec.region;
    }
    return qx_le32_bytes(0);
}

// 3701: switched off.
std::string p2p_disable(const SimRequest &req)
{
    g_p2p_enable = 0;
    g_p2p_region = payload_as<P2pRecord>(req).region;
    return qx_le32_bytes(0);
}

// 3702: the state record.
std::string p2p_status(const SimRequest &)
{
    P2pStateRecord st{};
    int enable = g_p2p_enable;
    if (enable < 0) {
        P2pRecord stored{};
        enable = have_db() && read_p2p_info(QXDB_PATH, &stored) == 0 && stored.enable ? 1 : 0;
    }
    st.enable = enable;
    st.p2p_status = enable; // 1: online
    st.region = g_p2p_region;
    char mac[18];
    get_mac_addr(mac, nullptr);
    std::string code = "NVR";
    for (const char *p = mac; *p; p++)
        if (*p != ':') code += *p;
    COPY_TEXT(st.register_code, code.c_str());
    COPY_TEXT(st.cloud_server, "127.0.0.1");
    if (have_db()) {
        get_param_value(QXDB_PATH, "company", st.company, sizeof st.company, "");
        get_param_value(QXDB_PATH, "model", st.model, sizeof st.model, "");
    }
    return bytes_of(st);
}

} // namespace

SIM_REPLY(IPC_IP_CONFLICT, ip_conflict);
SIM_REPLY(IPC_IP_CONFLICT_BY_DEV, ip_conflict_by_dev);
SIM_REPLY(IPC_DEFAULT_ROUTE, default_route);
SIM_REPLY(IPC_TIME_SET, time_set);
SIM_REPLY(IPC_DDNS_STATUS, ddns_status);
SIM_REPLY(IPC_TEST_MAIL, test_mail);
SIM_REPLY(IPC_P2P_ENABLE, p2p_enable);
SIM_REPLY(IPC_P2P_DISABLE, p2p_disable);
SIM_REPLY(IPC_P2P_STATUS, p2p_status);
