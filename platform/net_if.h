// Utilities over the Linux network interfaces: configuration and link state
// of a port, the number of ports, a port switched up or down, the ports'
// MAC addresses, an ARP probe for an address, receive and send rates, and
// the same-network test of two addresses. Results: 0 on success, -1 on
// failure, unless said otherwise; failing system calls are printed with
// perror.
#pragma once
#include <cstddef>
#include <cstdint>

// Configuration of one interface (if_get_netconf).
struct IfNetConf {
    char ip[16];         // dotted quad
    uint8_t reserved[8];
    char mac[24];        // "%2.2x:%2.2x:..." (lower case)
    char gateway[24];    // of the interface's default route
    char netmask[24];
    char broadcast[24];
    int32_t up;          // bit 0 of the interface flags
    int32_t mtu;
};
static_assert(sizeof(IfNetConf) == 128, "");
static_assert(offsetof(IfNetConf, mac) == 24, "");
static_assert(offsetof(IfNetConf, gateway) == 48, "");
static_assert(offsetof(IfNetConf, netmask) == 72, "");
static_assert(offsetof(IfNetConf, broadcast) == 96, "");
static_assert(offsetof(IfNetConf, up) == 120, "");
static_assert(offsetof(IfNetConf, mtu) == 124, "");

// Link state of one interface (if_get_netinfo).
struct IfNetInfo {
    int32_t running; // bit 6 of the interface flags
    int32_t speed;   // Mbit/s
    int32_t duplex;  // as the driver reports it (0 half, 1 full)
};

// Fills what the kernel reports of the interface; a query that fails is
// printed and leaves its field as it was. -1 when the interface is unknown.
int if_get_netconf(const char *name, IfNetConf *conf);
int if_get_netinfo(const char *name, IfNetInfo *info);
// Interfaces of /proc/net/dev other than "lo"; 0 when it cannot be read.
int if_get_netcount(void);
int if_get_netcount_in(const char *dev_file);
// Runs "ifconfig <name> up|down" (up: its low byte not 0) from an argument
// vector; 0 when ifconfig exited 0. A name that is not a plain interface
// name is refused.
int if_set_network(const char *name, int up);
// MACs of "eth0" and "eth1" as "%02X:%02X:..." into 18-byte buffers (either
// may be null); a port whose address cannot be read gets a fixed fallback.
int if_get_mac_addr(char *mac0, char *mac1);
// ARP probe for `ip` through the port: 1 when the address answers within 2
// seconds (or is the port's own), 0 when not, -1 on error.
int if_ip_check(const char *name, const char *ip);
// Receive and send rates of a port in bytes per second since the previous
// call for the same port (5 ports are followed). The first call for a port
// yields 0 and 0; a gap of 10 seconds or more, a clock that did not move or
// counters that went down yield 0. -1 when the port is not listed or no
// entry is free.
int if_get_speed(const char *name, uint64_t *rx, uint64_t *tx);
// The same over a given counters file and monotonic time (tests).
int if_get_speed_at(const char *dev_file, const char *name, uint64_t now_us, uint64_t *rx, uint64_t *tx);
// Forgets every followed port (tests).
void if_speed_reset(void);
// 0 when ip1 AND mask1 equals ip2 AND mask2 (dotted quads), else -1.
int qx_strcmp_two_ip_same_net(const char *ip1, const char *mask1, const char *ip2, const char *mask2);
