#include "platform/qx_net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/qx_p2p.h"
#include "platform/standin_faults.h"

namespace {

enum { kTimeoutMs = 5000 };

void clear(char *text, size_t size)
{
    if (text && size) text[0] = '\0';
}

bool valid_ifname(const char *name) { return name && *name && strlen(name) < IFNAMSIZ; }

// Formats 32 hexadecimal digits of /proc as an IPv6 address.
bool hex_to_ipv6(const char *hex, char *out, size_t size)
{
    struct in6_addr a;
    for (int i = 0; i < 16; i++) {
        unsigned v;
        if (sscanf(hex + 2 * i, "%2x", &v) != 1) return false;
        a.s6_addr[i] = static_cast<unsigned char>(v);
    }
    char text[INET6_ADDRSTRLEN];
    if (!inet_ntop(AF_INET6, &a, text, sizeof text) || strlen(text) >= size) return false;
    memcpy(out, text, strlen(text) + 1);
    return true;
}

// True when /proc/net/<file> lists a TCP listener on `port`.
bool listening_in(const char *file, int port)
{
    FILE *f = fopen(file, "re");
    if (!f) return false;
    char line[512];
    bool found = false;
    if (!fgets(line, sizeof line, f)) line[0] = '\0'; // header
    while (!found && fgets(line, sizeof line, f)) {
        char local[64];
        unsigned lport = 0, state = 0;
        if (sscanf(line, "%*d: %63[0-9A-Fa-f]:%x %*[0-9A-Fa-f]:%*x %x", local, &lport, &state) == 3)
            found = state == 0x0A && static_cast<int>(lport) == port;
    }
    fclose(f);
    return found;
}

void set_timeouts(int sock)
{
    struct timeval tv = {kTimeoutMs / 1000, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

} // namespace

int net_get_ifaddr(const char *ifname, char *addr, size_t size)
{
    clear(addr, size);
    if (!addr || size < INET_ADDRSTRLEN || !valid_ifname(ifname) || standin_fails("net_get_ifaddr")) return -1;
    int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return -1;
    struct ifreq ifr;
    memset(&ifr, 0, sizeof ifr);
    memcpy(ifr.ifr_name, ifname, strlen(ifname));
    int rc = ioctl(sock, SIOCGIFADDR, &ifr);
    close(sock);
    if (rc != 0) return -1;
    const struct sockaddr_in *sin = reinterpret_cast<const struct sockaddr_in *>(&ifr.ifr_addr);
    return inet_ntop(AF_INET, &sin->sin_addr, addr, static_cast<socklen_t>(size)) ? 0 : -1;
}

int net_is_haveipv6(void)
{
    if (standin_fails("net_is_haveipv6")) return 0;
    FILE *f = fopen("/proc/net/if_inet6", "re");
    if (!f) return 0;
    char line[256], name[IFNAMSIZ + 1];
    int have = 0;
    while (!have && fgets(line, sizeof line, f))
        if (sscanf(line, "%*32s %*x %*x %*x %*x %16s", name) == 1) have = strcmp(name, "lo") != 0;
    fclose(f);
    return have;
}

int net_get_ipv6_ifaddr(const char *ifname, int kind, char *addr, size_t size, int *prefix)
{
    clear(addr, size);
    if (!addr || !valid_ifname(ifname) || (kind != NET_IP6_GLOBAL && kind != NET_IP6_LINK) ||
        standin_fails("net_get_ipv6_ifaddr"))
        return -1;
    const unsigned want_scope = kind == NET_IP6_GLOBAL ? 0x00 : 0x20;
    FILE *f = fopen("/proc/net/if_inet6", "re");
    if (!f) return -1;
    char line[256], hex[33], name[IFNAMSIZ + 1];
    unsigned plen = 0, scope = 0;
    int rc = -1;
    while (rc != 0 && fgets(line, sizeof line, f)) {
        if (sscanf(line, "%32s %*x %x %x %*x %16s", hex, &plen, &scope, name) != 4) continue;
        if (strcmp(name, ifname) != 0 || scope != want_scope || !hex_to_ipv6(hex, addr, size)) continue;
        if (prefix) *prefix = static_cast<int>(plen);
        rc = 0;
    }
    fclose(f);
    return rc;
}

int net_get_ipv6_gateway2(const char *ifname, char *gateway, size_t size)
{
    clear(gateway, size);
    if (!gateway || !valid_ifname(ifname) || standin_fails("net_get_ipv6_gateway2")) return -1;
    FILE *f = fopen("/proc/net/ipv6_route", "re");
    if (!f) return -1;
    static const char kZero[] = "00000000000000000000000000000000";
    char line[512], dest[33], hop[33], name[IFNAMSIZ + 1];
    unsigned plen = 0;
    int rc = -1;
    while (rc != 0 && fgets(line, sizeof line, f)) {
        if (sscanf(line, "%32s %x %*32s %*x %32s %*x %*x %*x %*x %16s", dest, &plen, hop, name) != 4) continue;
        if (strcmp(name, ifname) != 0 || plen != 0 || strcmp(dest, kZero) != 0 || strcmp(hop, kZero) == 0) continue;
        if (hex_to_ipv6(hop, gateway, size)) rc = 0;
    }
    fclose(f);
    return rc;
}

int is_port_use(int port)
{
    if (port < 1 || port > 65535 || standin_fails("is_port_use")) return -1;
    if (listening_in("/proc/net/tcp", port) || listening_in("/proc/net/tcp6", port)) return 1;
    int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return -1;
    struct sockaddr_in sin;
    memset(&sin, 0, sizeof sin);
    sin.sin_family = AF_INET;
    sin.sin_port = htons(static_cast<uint16_t>(port));
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int rc = bind(sock, reinterpret_cast<struct sockaddr *>(&sin), sizeof sin);
    int err = errno;
    close(sock);
    return rc != 0 && err == EADDRINUSE ? 1 : 0;
}

int socket_create(void)
{
    if (standin_fails("socket_create")) return -1;
    return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

int socket_connect(int sock, const char *host, int port)
{
    if (sock < 0 || !host || port < 1 || port > 65535 || standin_fails("socket_connect")) return -1;
    struct sockaddr_in sin;
    memset(&sin, 0, sizeof sin);
    sin.sin_family = AF_INET;
    sin.sin_port = htons(static_cast<uint16_t>(port));
    if (strcmp(host, "localhost") == 0) sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    else if (inet_pton(AF_INET, host, &sin.sin_addr) != 1) return -1;
    // The stand-in stays on the machine.
    if ((ntohl(sin.sin_addr.s_addr) >> 24) != 127) return -1;

    int flags = fcntl(sock, F_GETFL);
    if (flags < 0 || fcntl(sock, F_SETFL, flags | O_NONBLOCK) < 0) return -1;
    int rc = connect(sock, reinterpret_cast<struct sockaddr *>(&sin), sizeof sin);
    if (rc != 0 && errno == EINPROGRESS) {
        struct pollfd p = {sock, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        rc = poll(&p, 1, kTimeoutMs) == 1 && getsockopt(sock, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0 ? 0 : -1;
    }
    if (fcntl(sock, F_SETFL, flags) < 0) return -1;
    if (rc != 0) return -1;
    set_timeouts(sock);
    return 0;
}

void socket_destroy(int sock)
{
    if (sock < 0) return;
    p2p_socket_closed(sock);
    close(sock);
}
