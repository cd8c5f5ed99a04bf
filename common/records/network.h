// Addressing of the recorder's two Ethernet ports: the network record of the
// settings database (900 bytes, shared with the daemon), the requests that
// apply it and test addresses, and the settings operations beyond the
// generic family.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_NETWORK_SLAVE_CLEAR = 3023, // int32 slaveClear
    IPC_NETWORK_RESTART = 1712,     // NetworkRestart
    IPC_IP_CONFLICT = 3005,         // IpConflictRequest; reply 8005: int32, 0 = free
    IPC_IP_CONFLICT_BY_DEV = 3006,  // IpConflictDevRequest; reply 8006: int32, 0 = free
    IPC_DEFAULT_ROUTE = 1724,       // int32 port; reply 6724: int32
};

// Network modes.
enum { NET_MODE_MUTI = 0, NET_MODE_BOND_BALANCE = 1, NET_MODE_BOND_FAILOVER = 2, NET_MODE_MAX = 2 };
// IPv6 address kinds: from the settings, from the settings when stored (else
// the live address), always the live address.
enum { IP6_STATIC = 0, IP6_STATIC_OR_LIVE = 1, IP6_LIVE = 2 };

// IPv4 addressing of one port (or of the bond).
struct NetPortV4 {
    int32_t enable;       // "enableNetwork1" / "enableNetwork2"
    int32_t network_type; // "networkType": 0 or 1
    char ip_addr[16];
    char netmask[16];
    char gateway[16];
    char dns1[16];
    char dns2[16];
    int32_t mtu;
};
static_assert(sizeof(NetPortV4) == 92, "");

// IPv6 addressing of one port (or of the bond).
struct NetPortV6 {
    char addr[64];
    char prefix[16]; // "ip6netmask": the prefix length as text
    char gateway[64];
};
static_assert(sizeof(NetPortV6) == 144, "");

struct NetworkRecord {
    int32_t mode;            // NET_MODE_*
    char host_name[128];     // "hostName" (written by the system settings)
    uint8_t reserved0[4];
    int32_t primary_net;     // "primaryNet" (mode 2)
    NetPortV4 bond;          // modes 1 and 2: "bond0"
    NetPortV4 port[2];       // mode 0: "eth0", "eth1"
    uint8_t reserved1[36];
    NetPortV6 port6[2];
    int32_t ip6_type[2];     // "ip6networkType", "ip6networkType2"
    NetPortV6 bond6;
    int32_t bond_ip6_type;   // "ip6networkType" of the bond
    int32_t default_route;   // "defaultRoute": the port of the default route
};
static_assert(sizeof(NetworkRecord) == 900, "network record is 900 bytes");
static_assert(offsetof(NetworkRecord, host_name) == 4, "");
static_assert(offsetof(NetworkRecord, primary_net) == 136, "");
static_assert(offsetof(NetworkRecord, bond) == 140, "");
static_assert(offsetof(NetworkRecord, bond.mtu) == 228, "");
static_assert(offsetof(NetworkRecord, port) == 232, "");
static_assert(offsetof(NetworkRecord, port[1]) == 324, "");
static_assert(offsetof(NetworkRecord, port[1].mtu) == 412, "");
static_assert(offsetof(NetworkRecord, port6) == 452, "");
static_assert(offsetof(NetworkRecord, port6[0].prefix) == 516, "");
static_assert(offsetof(NetworkRecord, port6[0].gateway) == 532, "");
static_assert(offsetof(NetworkRecord, port6[1]) == 596, "");
static_assert(offsetof(NetworkRecord, ip6_type) == 740, "");
static_assert(offsetof(NetworkRecord, bond6) == 748, "");
static_assert(offsetof(NetworkRecord, bond_ip6_type) == 892, "");
static_assert(offsetof(NetworkRecord, default_route) == 896, "");

NVR_DB_SINGLE(network, NetworkRecord, "network")

// The two halves of the record, each stored with the mode in one
// transaction, the other half left as stored:
//   write_network_muti: the independent ports, their IPv6 settings and the
//     default route (bytes 232..747 and 896..899);
//   write_network_bond: the bond settings (bytes 136..231 and 748..895).
int write_network_muti(const char *path, const NetworkRecord *rec);
int write_network_bond(const char *path, const NetworkRecord *rec);
// The stored mode, or -1 when no network record is stored (or on failure).
int read_network_mode(const char *path);
// The factory MAC address (12 hexadecimal digits, parameter "factory_mac")
// into mac, cut to size-1 characters: 0, or -1 with an empty text when none
// is stored.
int read_mac_conf(const char *path, char *mac, size_t size);

// ---- Payloads ----------------------------------------------------------------------------
struct NetworkRestart {
    uint8_t zero[32];
};
static_assert(sizeof(NetworkRestart) == 32, "");

struct IpConflictRequest {
    char ip[20];
};
static_assert(sizeof(IpConflictRequest) == 20, "");

struct IpConflictDevRequest {
    char dev[16]; // port name: "eth0", "eth1", "bond0"
    char ip[16];
};
static_assert(sizeof(IpConflictDevRequest) == 32, "");
