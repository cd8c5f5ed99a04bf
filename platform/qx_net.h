// The maker's network library, as a stand-in for the development machine:
// interface addresses read from the kernel, the port-in-use test and plain
// TCP client sockets. It only reads the host's configuration, never changes
// it, and its client sockets reach loopback addresses only, so nothing here
// sends traffic off the machine. Each call can be switched to failure for
// tests (platform/standin_faults.h) under its own name.
#pragma once
#include <cstddef>

// IPv4 address of an interface as a dotted quad: 0, or -1 (addr empty) when
// it has none.
int net_get_ifaddr(const char *ifname, char *addr, size_t size);
// 1 when an interface other than the loopback carries an IPv6 address, else 0.
int net_is_haveipv6(void);
// IPv6 address of an interface of one kind (global or link-local) and its
// prefix length: 0, or -1 (addr empty) when it has none.
enum { NET_IP6_GLOBAL = 0, NET_IP6_LINK = 1 };
int net_get_ipv6_ifaddr(const char *ifname, int kind, char *addr, size_t size, int *prefix);
// Next hop of the interface's IPv6 default route: 0, or -1 (empty) when none.
int net_get_ipv6_gateway2(const char *ifname, char *gateway, size_t size);

// 1 when a TCP port is in use on the device (a listener on any address, or
// a bind on 127.0.0.1 refused as in use), 0 when free, -1 for a port outside
// 1..65535 or a failure.
int is_port_use(int port);

// A TCP client socket, or -1.
int socket_create(void);
// Connects to host:port within 5 seconds; sends and receives then time out
// after 5 seconds. host: a numeric IPv4 address or "localhost"; the
// stand-in refuses every address outside 127.0.0.0/8. 0, or -1.
int socket_connect(int sock, const char *host, int port);
// Closes the socket (a negative one is ignored).
void socket_destroy(int sock);
