// Requests per second through a web server: several client threads, each
// sending HTTP/1.0 requests (a new connection each, as the pages' requests
// to a CGI mostly are) for a fixed time.
//
// Usage: nvrweb-http-bench PORT SECONDS CLIENTS PATH [JSON_BODY]
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {
std::atomic<long> g_ok{0}, g_fail{0};
std::atomic<bool> g_stop{false};

bool one_request(int port, const std::string &req)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
              send(fd, req.data(), req.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(req.size());
    std::string resp;
    char buf[16384];
    ssize_t n;
    while (ok && (n = recv(fd, buf, sizeof buf, 0)) > 0) resp.append(buf, static_cast<size_t>(n));
    close(fd);
    return ok && resp.compare(0, 12, "HTTP/1.0 200") == 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: %s PORT SECONDS CLIENTS PATH [JSON_BODY]\n", argv[0]);
        return 2;
    }
    int port = atoi(argv[1]);
    double seconds = atof(argv[2]);
    int clients = atoi(argv[3]);
    std::string path = argv[4];
    std::string req;
    if (argc > 5) {
        std::string body = argv[5];
        req = "POST " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
              "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    } else {
        req = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    }
    std::vector<std::thread> threads;
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    for (int i = 0; i < clients; i++)
        threads.emplace_back([&] {
            while (!g_stop) (one_request(port, req) ? g_ok : g_fail)++;
        });
    usleep(static_cast<useconds_t>(seconds * 1e6));
    g_stop = true;
    for (auto &t : threads) t.join();
    clock_gettime(CLOCK_MONOTONIC, &t1);
    double el = (t1.tv_sec - t0.tv_sec) + (t1.tv_nsec - t0.tv_nsec) / 1e9;
    printf("%.1f %ld %ld\n", g_ok / el, g_ok.load(), g_fail.load());
    return g_fail > g_ok / 100 ? 1 : 0;
}
