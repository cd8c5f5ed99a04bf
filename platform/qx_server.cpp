#include "platform/qx_server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// ---- Connection --------------------------------------------------------------------

bool QxServerConn::send(const QxMsgHeader &h, const std::string &payload)
{
    QxMsgHeader out = h;
    out.length = static_cast<int32_t>(payload.size());
    std::lock_guard<std::mutex> lock(write_mu_);
    return qx_write_msg(fd_, out, payload.data());
}

bool QxServerConn::reply(uint32_t seq, int code, const std::string &payload)
{
    QxMsgHeader h;
    h.kind = QX_MSG_REPLY;
    h.seq = seq;
    h.code = code;
    return send(h, payload);
}

bool QxServerConn::send_raw(const std::string &bytes)
{
    std::lock_guard<std::mutex> lock(write_mu_);
    return qx_write_full(fd_, bytes.data(), bytes.size());
}

bool QxServerConn::sleep_ms(int ms)
{
    std::unique_lock<std::mutex> lock(server_->mu_);
    return !server_->cv_.wait_for(lock, std::chrono::milliseconds(ms > 0 ? ms : 0),
                                  [this] { return server_->stopping_; });
}

void QxServerConn::close() { shutdown(fd_, SHUT_RDWR); }

QxServerConn::~QxServerConn() { ::close(fd_); }

// ---- Server ------------------------------------------------------------------------

bool QxServer::start(const std::string &host_path, QxMessageHandler handler)
{
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (host_path.size() >= sizeof addr.sun_path || listen_fd_ >= 0) {
        errno = EINVAL;
        return false;
    }
    strcpy(addr.sun_path, host_path.c_str());
    struct stat st;
    if (lstat(host_path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) unlink(host_path.c_str());

    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (bind(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof addr) < 0 || listen(fd, 64) < 0 ||
        pipe2(wake_, O_CLOEXEC) < 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        return false;
    }
    path_ = host_path;
    handler_ = std::move(handler);
    listen_fd_ = fd;
    stopping_ = false;
    acceptor_ = std::thread([this] { accept_loop(); });
    return true;
}

bool QxServer::stopping() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return stopping_;
}

int QxServer::accepted() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return accepted_;
}

std::vector<std::shared_ptr<QxServerConn>> QxServer::connections() const
{
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::shared_ptr<QxServerConn>> out;
    for (const auto &w : workers_)
        if (w->conn) out.push_back(w->conn);
    std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a->id() < b->id(); });
    return out;
}

void QxServer::stop()
{
    if (listen_fd_ < 0) return;
    {
        std::lock_guard<std::mutex> lock(mu_);
        stopping_ = true;
        for (const auto &w : workers_) {
            if (w->conn) w->conn->close();
            w->wake.notify_all();
        }
    }
    cv_.notify_all();
    char c = 1;
    ssize_t k = write(wake_[1], &c, 1);
    (void)k;
    acceptor_.join();
    // The acceptor has ended: no worker is added any more.
    for (const auto &w : workers_) w->thread.join();
    workers_.clear();
    ::close(listen_fd_);
    ::close(wake_[0]);
    ::close(wake_[1]);
    listen_fd_ = wake_[0] = wake_[1] = -1;
    unlink(path_.c_str());
}

void QxServer::accept_loop()
{
    for (;;) {
        struct pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        int r = poll(fds, 2, 1000);
        if (r < 0 && errno != EINTR) break;
        if (stopping()) break;
        if (r <= 0 || !(fds[0].revents & POLLIN)) continue;
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(mu_);
        if (stopping_) {
            ::close(fd);
            break;
        }
        std::shared_ptr<QxServerConn> conn(new QxServerConn(this, fd, ++accepted_));
        // An idle thread takes it; only when all are busy is one started.
        Worker *idle = nullptr;
        for (const auto &w : workers_)
            if (!w->conn) idle = w.get();
        if (idle) {
            idle->conn = std::move(conn);
            idle->wake.notify_one();
            continue;
        }
        auto w = std::make_unique<Worker>();
        w->conn = std::move(conn);
        Worker *raw = w.get();
        w->thread = std::thread([this, raw] { work(raw); });
        workers_.push_back(std::move(w));
    }
}

// A worker's life: serves the connection it was started or woken for, then
// waits for the next one until the server stops.
void QxServer::work(Worker *w)
{
    std::unique_lock<std::mutex> lock(mu_);
    for (;;) {
        w->wake.wait(lock, [&] { return w->conn || stopping_; });
        if (!w->conn) return; // stopping, nothing handed over
        std::shared_ptr<QxServerConn> conn = w->conn;
        lock.unlock();
        serve(*conn);
        lock.lock();
        w->conn.reset();
        if (stopping_) return;
    }
}

void QxServer::serve(QxServerConn &conn)
{
    std::string payload;
    for (;;) {
        uint8_t head[QX_MSG_HEADER_SIZE];
        QxMsgHeader h;
        // A broken header ends the connection: nothing of it is handled.
        if (!qx_read_full(conn.fd_, head, sizeof head) || !qx_msg_unpack(head, &h)) break;
        payload.assign(static_cast<size_t>(h.length), '\0');
        if (h.length > 0 && !qx_read_full(conn.fd_, &payload[0], payload.size())) break;
        if (stopping()) break;
        handler_(conn, h, payload);
    }
    conn.close();
}

std::string qx_le32_bytes(int32_t value)
{
    std::string out(4, '\0');
    qx_put_le32(&out[0], 0, static_cast<uint32_t>(value));
    return out;
}

// ---- Hex ---------------------------------------------------------------------------

std::string qx_hex_encode(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool qx_hex_decode(const std::string &text, std::string *bytes)
{
    if (text.size() % 2) return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi << 4 | lo);
    }
    *bytes = std::move(out);
    return true;
}
