#include "tests/support/garbage_daemon.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <cstring>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr size_t kHeader = 24;
constexpr unsigned kMaxPayload = 16u * 1024 * 1024;

void put32(std::string *s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++) (*s)[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
uint32_t get32(const char *p)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) v |= static_cast<uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

bool read_all(int fd, char *buf, size_t n)
{
    while (n) {
        ssize_t r = read(fd, buf, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        buf += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool write_all(int fd, const char *buf, size_t n)
{
    while (n) {
        ssize_t w = send(fd, buf, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        buf += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

} // namespace

std::string GarbageDaemon::frame(int kind, unsigned seq, int code, const std::string &payload)
{
    std::string f(kHeader, '\0');
    memcpy(&f[0], "NVRM", 4);
    put32(&f, 4, static_cast<uint32_t>(kind));
    put32(&f, 8, seq);
    put32(&f, 12, static_cast<uint32_t>(code));
    put32(&f, 20, static_cast<uint32_t>(payload.size()));
    return f + payload;
}

GarbageDaemon::GarbageDaemon(const std::string &socket_path, DaemonResponder responder)
    : path_(socket_path), responder_(std::move(responder))
{
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path_.size() >= sizeof addr.sun_path) return;
    memcpy(addr.sun_path, path_.c_str(), path_.size());
    unlink(path_.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, 64) != 0 ||
        pipe2(wake_, O_CLOEXEC) != 0) {
        close(fd);
        return;
    }
    listen_fd_ = fd;
    acceptor_ = std::thread([this] { accept_loop(); });
}

GarbageDaemon::~GarbageDaemon()
{
    stop_ = true;
    if (wake_[1] >= 0) {
        char c = 0;
        ssize_t w = write(wake_[1], &c, 1);
        (void)w;
    }
    if (acceptor_.joinable()) acceptor_.join();
    {
        std::unique_lock<std::mutex> lock(mu_);
        for (int fd : client_fds_) shutdown(fd, SHUT_RDWR);
        idle_.wait(lock, [this] { return client_fds_.empty(); });
    }
    if (listen_fd_ >= 0) {
        close(listen_fd_);
        unlink(path_.c_str());
    }
    for (int fd : wake_)
        if (fd >= 0) close(fd);
}

void GarbageDaemon::set_responder(DaemonResponder responder)
{
    std::lock_guard<std::mutex> lock(mu_);
    responder_ = std::move(responder);
}

void GarbageDaemon::accept_loop()
{
    while (!stop_) {
        struct pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (stop_ || fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(mu_);
        client_fds_.insert(fd);
        std::thread([this, fd] { serve(fd); }).detach();
    }
}

void GarbageDaemon::serve(int fd)
{
    for (;;) {
        char h[kHeader];
        if (!read_all(fd, h, sizeof h)) break;
        if (memcmp(h, "NVRM", 4) != 0) break;
        const unsigned seq = get32(h + 8);
        const int code = static_cast<int>(get32(h + 12));
        const uint32_t len = get32(h + 20);
        if (len > kMaxPayload) break;
        std::string payload(len, '\0');
        if (len && !read_all(fd, &payload[0], len)) break;
        requests_++;
        DaemonResponder responder;
        {
            std::lock_guard<std::mutex> lock(mu_);
            responder = responder_;
        }
        if (!responder) continue;
        for (const DaemonReply &r : responder(code, payload)) {
            std::string bytes = r.raw ? r.payload : frame(2, seq, code + 5000, r.payload);
            if (!write_all(fd, bytes.data(), bytes.size())) break;
        }
    }
    std::lock_guard<std::mutex> lock(mu_);
    close(fd);
    client_fds_.erase(fd);
    if (client_fds_.empty()) idle_.notify_all();
}

DaemonResponder hostile_responder(unsigned seed)
{
    auto counter = std::make_shared<std::atomic<unsigned>>(seed);
    return [counter](int code, const std::string &request) -> std::vector<DaemonReply> {
        unsigned n = (*counter)++;
        std::mt19937 rng(n * 2654435761u + static_cast<unsigned>(code));
        auto bytes = [&](size_t len, int fill) {
            std::string s(len, static_cast<char>(fill));
            if (fill < 0)
                for (char &c : s) c = static_cast<char>(rng());
            return s;
        };
        std::string minus_one("\xff\xff\xff\xff", 4);
        switch (n % 10) {
        case 0: return {};                                     // silence: a time-out
        case 1: return {{""}};                                 // empty payload
        case 2: return {{std::string(4, '\0')}};               // status 0
        case 3: return {{minus_one}};                          // status -1
        case 4: return {{bytes(3, 0x41)}};                     // shorter than any record
        case 5: return {{bytes(997, -1)}};                     // odd size, random bytes
        case 6: return {{bytes(64 * 1024 + 3, 0xff)}};         // large, all ones (counts -1)
        case 7: return {{request}, {minus_one}};               // echo, then a second reply
        case 8: return {{bytes(1024, 0x7f)}};                  // large counts and texts without zero
        default: return {{bytes(16, 0x33), true}};             // a broken frame
        }
    };
}
