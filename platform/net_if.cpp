#include "platform/net_if.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <mutex>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/if_ether.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

const char kProcNetDev[] = "/proc/net/dev";

// A plain interface name: 1..15 characters of letters, digits, '.', '_',
// ':' and '-', not starting with '-'.
bool valid_ifname(const char *name)
{
    if (!name || !*name || *name == '-') return false;
    size_t n = 0;
    for (const char *p = name; *p; p++, n++) {
        char c = *p;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                  c == '_' || c == ':' || c == '-';
        if (!ok || n + 1 >= IFNAMSIZ) return false;
    }
    return true;
}

void set_name(struct ifreq *ifr, const char *name)
{
    memset(ifr, 0, sizeof *ifr);
    memcpy(ifr->ifr_name, name, strlen(name)); // valid_ifname() bounds it
}

// Runs one interface query on the named interface; prints `what` when it
// fails.
bool query(int sock, const char *name, unsigned long request, struct ifreq *ifr, const char *what)
{
    set_name(ifr, name);
    if (ioctl(sock, request, ifr) == 0) return true;
    perror(what);
    return false;
}

// An IPv4 socket for interface queries, or -1 (printed).
int query_socket(int type)
{
    int sock = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (sock < 0) perror("socket");
    return sock;
}

void addr_text(const struct sockaddr *sa, char *out, size_t size)
{
    const struct sockaddr_in *sin = reinterpret_cast<const struct sockaddr_in *>(sa);
    if (!inet_ntop(AF_INET, &sin->sin_addr, out, static_cast<socklen_t>(size))) out[0] = '\0';
}

// Gateway of the interface's default route in /proc/net/route.
bool route_gateway(const char *name, char *out, size_t size)
{
    FILE *f = fopen("/proc/net/route", "re");
    if (!f) {
        perror("fopen");
        return false;
    }
    char line[256], iface[64];
    unsigned long dest = 0, gw = 0;
    bool found = false;
    if (!fgets(line, sizeof line, f)) line[0] = '\0';
    while (!found && fgets(line, sizeof line, f)) {
        if (sscanf(line, "%63s %lX %lX", iface, &dest, &gw) != 3) continue;
        if (dest != 0 || strcmp(iface, name) != 0) continue;
        struct in_addr a;
        a.s_addr = static_cast<in_addr_t>(gw);
        found = inet_ntop(AF_INET, &a, out, static_cast<socklen_t>(size)) != nullptr;
    }
    fclose(f);
    return found;
}

uint64_t monotonic_us()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

// ---- Rates ------------------------------------------------------------------------------------
enum { kSpeedEntries = 5, kSpeedNameMax = 10 };
const uint64_t kSpeedGapUs = 10u * 1000000u;

struct SpeedEntry {
    bool used;
    char name[kSpeedNameMax + 1];
    uint64_t rx, tx, stamp_us;
};
std::mutex g_speed_mu;
SpeedEntry g_speed[kSpeedEntries];

// Byte counters of a port: words 1 and 9 behind "<name>:".
bool read_counters(const char *dev_file, const char *name, uint64_t *rx, uint64_t *tx)
{
    FILE *f = fopen(dev_file, "re");
    if (!f) {
        perror("fopen");
        return false;
    }
    char line[512];
    bool found = false;
    while (!found && fgets(line, sizeof line, f)) {
        char *colon = strchr(line, ':');
        if (!colon) continue;
        char *start = line;
        while (*start == ' ') start++;
        if (static_cast<size_t>(colon - start) != strlen(name) || strncmp(start, name, strlen(name)) != 0) continue;
        unsigned long long w[9];
        found = sscanf(colon + 1, "%llu %llu %llu %llu %llu %llu %llu %llu %llu", &w[0], &w[1], &w[2], &w[3], &w[4],
                       &w[5], &w[6], &w[7], &w[8]) == 9;
        if (found) {
            *rx = w[0];
            *tx = w[8];
        }
    }
    fclose(f);
    if (!found) fputs("read error\n", stderr);
    return found;
}

// Bytes per second over elapsed_us (> 0) microseconds, held at the maximum
// instead of wrapping; 64-bit arithmetic only (the device has no 128-bit type).
uint64_t rate(uint64_t now, uint64_t before, uint64_t elapsed_us)
{
    const uint64_t kUs = 1000000u;
    uint64_t delta = now - before;
    uint64_t whole = delta / elapsed_us, rem = delta % elapsed_us;
    if (whole > UINT64_MAX / kUs) return UINT64_MAX;
    whole *= kUs;
    uint64_t frac = rem <= UINT64_MAX / kUs
                        ? rem * kUs / elapsed_us
                        : static_cast<uint64_t>(static_cast<long double>(rem) * kUs / elapsed_us);
    return whole > UINT64_MAX - frac ? UINT64_MAX : whole + frac;
}

// ---- ARP probe --------------------------------------------------------------------------------
struct ArpPacket {
    uint16_t hrd, pro;
    uint8_t hln, pln;
    uint16_t op;
    uint8_t sha[6], spa[4], tha[6], tpa[4];
} __attribute__((packed));
static_assert(sizeof(ArpPacket) == 28, "");

} // namespace

int if_get_netconf(const char *name, IfNetConf *conf)
{
    if (!valid_ifname(name) || !conf) return -1;
    int sock = query_socket(SOCK_STREAM);
    if (sock < 0) return -1;
    struct ifreq ifr;
    if (query(sock, name, SIOCGIFMTU, &ifr, "[SIOCGIFMTU] ioctl")) conf->mtu = ifr.ifr_mtu;
    bool known = query(sock, name, SIOCGIFFLAGS, &ifr, "[SIOCGIFFLAGS] ioctl");
    if (known) conf->up = ifr.ifr_flags & IFF_UP;
    if (query(sock, name, SIOCGIFADDR, &ifr, "[SIOCGIFADDR] ioctl")) addr_text(&ifr.ifr_addr, conf->ip, sizeof conf->ip);
    if (query(sock, name, SIOCGIFHWADDR, &ifr, "[SIOCGIFHWADDR] ioctl")) {
        const unsigned char *m = reinterpret_cast<unsigned char *>(ifr.ifr_hwaddr.sa_data);
        snprintf(conf->mac, sizeof conf->mac, "%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x", m[0], m[1], m[2], m[3], m[4],
                 m[5]);
    }
    if (query(sock, name, SIOCGIFNETMASK, &ifr, "[SIOCGIFNETMASK] ioctl"))
        addr_text(&ifr.ifr_netmask, conf->netmask, sizeof conf->netmask);
    if (query(sock, name, SIOCGIFBRDADDR, &ifr, "[SIOCGIFBRDADDR] ioctl"))
        addr_text(&ifr.ifr_broadaddr, conf->broadcast, sizeof conf->broadcast);
    close(sock);
    char gw[INET_ADDRSTRLEN];
    if (route_gateway(name, gw, sizeof gw)) snprintf(conf->gateway, sizeof conf->gateway, "%s", gw);
    return known ? 0 : -1;
}

int if_get_netinfo(const char *name, IfNetInfo *info)
{
    if (!valid_ifname(name) || !info) return -1;
    int sock = query_socket(SOCK_DGRAM);
    if (sock < 0) return -1;
    struct ifreq ifr;
    if (!query(sock, name, SIOCGIFFLAGS, &ifr, "[SIOCGIFFLAGS] ioctl")) {
        close(sock);
        return -1;
    }
    info->running = (ifr.ifr_flags & IFF_RUNNING) ? 1 : 0;
    struct ethtool_cmd cmd;
    memset(&cmd, 0, sizeof cmd);
    cmd.cmd = ETHTOOL_GSET;
    set_name(&ifr, name);
    ifr.ifr_data = reinterpret_cast<char *>(&cmd);
    bool ok = ioctl(sock, SIOCETHTOOL, &ifr) == 0;
    if (!ok) perror("[SIOCETHTOOL] ioctl");
    close(sock);
    if (!ok) return -1;
    info->speed = static_cast<int32_t>(cmd.speed | (static_cast<uint32_t>(cmd.speed_hi) << 16));
    info->duplex = cmd.duplex;
    return 0;
}

int if_get_netcount_in(const char *dev_file)
{
    FILE *f = dev_file ? fopen(dev_file, "re") : nullptr;
    if (!f) return 0;
    char line[512];
    int n = 0;
    for (int row = 0; fgets(line, sizeof line, f); row++) {
        if (row < 2) continue;
        char word[64];
        if (sscanf(line, " %63[^: \t\n]", word) != 1) continue;
        if (strcmp(word, "lo") != 0) n++;
    }
    fclose(f);
    return n;
}

int if_get_netcount(void) { return if_get_netcount_in(kProcNetDev); }

int if_set_network(const char *name, int up)
{
    if (!valid_ifname(name)) return -1;
    char prog[] = "ifconfig", dev[IFNAMSIZ], state_up[] = "up", state_down[] = "down";
    snprintf(dev, sizeof dev, "%s", name);
    char *argv[] = {prog, dev, (up & 0xff) ? state_up : state_down, nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, prog, nullptr, nullptr, argv, environ) != 0) {
        perror("ifconfig");
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
}

int if_get_mac_addr(char *mac0, char *mac1)
{
    static const char *const kFallback[2] = {"00:1A:2B:3C:4D:5E", "00:1A:2B:3C:4D:5F"};
    char *out[2] = {mac0, mac1};
    const char *names[2] = {"eth0", "eth1"};
    int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) perror("create socket error");
    for (int i = 0; i < 2; i++) {
        if (!out[i]) continue;
        struct ifreq ifr;
        set_name(&ifr, names[i]);
        if (sock >= 0 && ioctl(sock, SIOCGIFHWADDR, &ifr) == 0) {
            const unsigned char *m = reinterpret_cast<unsigned char *>(ifr.ifr_hwaddr.sa_data);
            snprintf(out[i], 18, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
        } else {
            snprintf(out[i], 18, "%s", kFallback[i]);
        }
    }
    if (sock >= 0) close(sock);
    return 0;
}

int if_ip_check(const char *name, const char *ip)
{
    struct in_addr target;
    if (!valid_ifname(name) || !ip || inet_pton(AF_INET, ip, &target) != 1) return -1;
    int sock = query_socket(SOCK_DGRAM);
    if (sock < 0) return -1;
    struct ifreq ifr;
    bool ok = query(sock, name, SIOCGIFINDEX, &ifr, "[SIOCGIFINDEX] ioctl");
    int ifindex = ifr.ifr_ifindex;
    ok = ok && query(sock, name, SIOCGIFHWADDR, &ifr, "[SIOCGIFHWADDR] ioctl");
    unsigned char own_mac[6];
    memcpy(own_mac, ifr.ifr_hwaddr.sa_data, sizeof own_mac);
    bool ether = ifr.ifr_hwaddr.sa_family == ARPHRD_ETHER;
    set_name(&ifr, name);
    bool own = ioctl(sock, SIOCGIFADDR, &ifr) == 0 &&
               reinterpret_cast<struct sockaddr_in *>(&ifr.ifr_addr)->sin_addr.s_addr == target.s_addr;
    close(sock);
    if (!ok) return -1;
    if (own) return 1;
    if (!ether) return -1;

    int ps = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (ps < 0) {
        perror("socket");
        return -1;
    }
    struct sockaddr_ll ll;
    memset(&ll, 0, sizeof ll);
    ll.sll_family = AF_PACKET;
    ll.sll_protocol = htons(ETH_P_ARP);
    ll.sll_ifindex = ifindex;
    ll.sll_halen = 6;
    memset(ll.sll_addr, 0xff, 6);
    ArpPacket req;
    memset(&req, 0, sizeof req);
    req.hrd = htons(ARPHRD_ETHER);
    req.pro = htons(ETH_P_IP);
    req.hln = 6;
    req.pln = 4;
    req.op = htons(ARPOP_REQUEST);
    memcpy(req.sha, own_mac, 6);
    memcpy(req.tpa, &target, 4); // a probe: the sender address stays 0.0.0.0
    if (bind(ps, reinterpret_cast<struct sockaddr *>(&ll), sizeof ll) != 0 ||
        sendto(ps, &req, sizeof req, 0, reinterpret_cast<struct sockaddr *>(&ll), sizeof ll) < 0) {
        perror("arp");
        close(ps);
        return -1;
    }
    const uint64_t deadline = monotonic_us() + 2000000u;
    int answer = 0;
    for (uint64_t now; answer == 0 && (now = monotonic_us()) < deadline;) {
        struct pollfd p = {ps, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>((deadline - now) / 1000u) + 1) <= 0) continue;
        ArpPacket reply;
        ssize_t n = recv(ps, &reply, sizeof reply, 0);
        if (n >= static_cast<ssize_t>(sizeof reply) && reply.op == htons(ARPOP_REPLY) &&
            memcmp(reply.spa, &target, 4) == 0)
            answer = 1;
    }
    close(ps);
    return answer;
}

int if_get_speed_at(const char *dev_file, const char *name, uint64_t now_us, uint64_t *rx, uint64_t *tx)
{
    if (!dev_file || !name || !*name || strlen(name) > kSpeedNameMax || !rx || !tx) return -1;
    uint64_t rx_now = 0, tx_now = 0;
    if (!read_counters(dev_file, name, &rx_now, &tx_now)) return -1;
    std::lock_guard<std::mutex> lock(g_speed_mu);
    SpeedEntry *e = nullptr;
    for (SpeedEntry &s : g_speed)
        if (s.used && strcmp(s.name, name) == 0) e = &s;
    *rx = *tx = 0;
    if (!e) {
        for (SpeedEntry &s : g_speed)
            if (!e && !s.used) e = &s;
        if (!e) return -1;
        e->used = true;
        snprintf(e->name, sizeof e->name, "%s", name);
    } else {
        uint64_t elapsed = now_us - e->stamp_us;
        bool usable = now_us > e->stamp_us && elapsed < kSpeedGapUs && rx_now >= e->rx && tx_now >= e->tx;
        if (usable) {
            *rx = rate(rx_now, e->rx, elapsed);
            *tx = rate(tx_now, e->tx, elapsed);
        }
    }
    e->rx = rx_now;
    e->tx = tx_now;
    e->stamp_us = now_us;
    return 0;
}

int if_get_speed(const char *name, uint64_t *rx, uint64_t *tx)
{
    return if_get_speed_at(kProcNetDev, name, monotonic_us(), rx, tx);
}

void if_speed_reset(void)
{
    std::lock_guard<std::mutex> lock(g_speed_mu);
    for (SpeedEntry &s : g_speed) s = SpeedEntry{};
}

int qx_strcmp_two_ip_same_net(const char *ip1, const char *mask1, const char *ip2, const char *mask2)
{
    struct in_addr a, m, b, n;
    if (!ip1 || !mask1 || !ip2 || !mask2 || inet_pton(AF_INET, ip1, &a) != 1 || inet_pton(AF_INET, mask1, &m) != 1 ||
        inet_pton(AF_INET, ip2, &b) != 1 || inet_pton(AF_INET, mask2, &n) != 1)
        return -1;
    return (a.s_addr & m.s_addr) == (b.s_addr & n.s_addr) ? 0 : -1;
}
