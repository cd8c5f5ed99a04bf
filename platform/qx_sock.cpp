#include "platform/qx_sock.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/device_path.h"

// ---- Wire format -------------------------------------------------------------------

namespace {
const uint8_t kMagic[4] = {'N', 'V', 'R', 'M'};
}

int32_t qx_get_le32(const void *bytes, size_t offset)
{
    const uint8_t *p = static_cast<const uint8_t *>(bytes) + offset;
    uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                 static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(v);
}

void qx_put_le32(void *bytes, size_t offset, uint32_t value)
{
    uint8_t *p = static_cast<uint8_t *>(bytes) + offset;
    for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void qx_msg_pack(uint8_t out[QX_MSG_HEADER_SIZE], const QxMsgHeader &h)
{
    memcpy(out, kMagic, sizeof kMagic);
    qx_put_le32(out, 4, static_cast<uint32_t>(h.kind));
    qx_put_le32(out, 8, h.seq);
    qx_put_le32(out, QX_MSG_CODE_OFFSET, static_cast<uint32_t>(h.code));
    qx_put_le32(out, 16, static_cast<uint32_t>(h.reserved));
    qx_put_le32(out, QX_MSG_LENGTH_OFFSET, static_cast<uint32_t>(h.length));
}

bool qx_msg_unpack(const uint8_t in[QX_MSG_HEADER_SIZE], QxMsgHeader *h)
{
    if (memcmp(in, kMagic, sizeof kMagic) != 0) return false;
    QxMsgHeader v;
    v.kind = qx_get_le32(in, 4);
    v.seq = static_cast<uint32_t>(qx_get_le32(in, 8));
    v.code = qx_get_le32(in, QX_MSG_CODE_OFFSET);
    v.reserved = qx_get_le32(in, 16);
    v.length = qx_get_le32(in, QX_MSG_LENGTH_OFFSET);
    if (v.length < 0 || static_cast<uint32_t>(v.length) > QX_MSG_MAX_PAYLOAD) return false;
    *h = v;
    return true;
}

bool qx_read_full(int fd, void *buf, size_t n)
{
    uint8_t *p = static_cast<uint8_t *>(buf);
    while (n > 0) {
        ssize_t k = recv(fd, p, n, 0);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

namespace {
// Writes the iovecs completely, advancing them past partial writes.
bool write_iov(int fd, struct iovec *iov, int count)
{
    while (count > 0) {
        struct msghdr msg;
        memset(&msg, 0, sizeof msg);
        msg.msg_iov = iov;
        msg.msg_iovlen = static_cast<size_t>(count);
        ssize_t k = sendmsg(fd, &msg, MSG_NOSIGNAL);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        size_t done = static_cast<size_t>(k);
        while (count > 0 && done >= iov->iov_len) {
            done -= iov->iov_len;
            iov++;
            count--;
        }
        if (count > 0) {
            iov->iov_base = static_cast<uint8_t *>(iov->iov_base) + done;
            iov->iov_len -= done;
        }
    }
    return true;
}
} // namespace

bool qx_write_full(int fd, const void *buf, size_t n)
{
    struct iovec iov = {const_cast<void *>(buf), n};
    return n == 0 || write_iov(fd, &iov, 1);
}

bool qx_write_msg(int fd, const QxMsgHeader &h, const void *payload)
{
    if (h.length < 0 || static_cast<uint32_t>(h.length) > QX_MSG_MAX_PAYLOAD) return false;
    if (h.length > 0 && !payload) return false;
    uint8_t head[QX_MSG_HEADER_SIZE];
    qx_msg_pack(head, h);
    struct iovec iov[2] = {{head, sizeof head},
                           {const_cast<void *>(payload), static_cast<size_t>(h.length)}};
    return write_iov(fd, iov, h.length > 0 ? 2 : 1);
}

int qx_unix_connect(const char *host_path)
{
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (!host_path || strlen(host_path) >= sizeof addr.sun_path) return -1;
    strcpy(addr.sun_path, host_path);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int r;
    do {
        r = connect(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof addr);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// ---- Client ------------------------------------------------------------------------

namespace {

// The message being read from a connection: filled by whoever reads (a
// thread waiting for its reply, or the receiving thread), and handed on
// between them with what has arrived of it so far.
struct Incoming {
    uint8_t head[QX_MSG_HEADER_SIZE];
    size_t got = 0; // bytes of header, then of payload
    bool have_header = false;
    QxMsgHeader h;
    std::vector<uint8_t> payload;

    enum Step { MESSAGE, AGAIN, CLOSED };
    // Reads towards one whole message: MESSAGE when it is complete (take it
    // before the next call), AGAIN when a non-blocking read found no more
    // data yet, CLOSED at the end of the stream, an error or a bad header.
    Step pump(int fd, bool block)
    {
        for (;;) {
            uint8_t *dst;
            size_t want;
            if (!have_header) {
                dst = head + got;
                want = sizeof head - got;
            } else {
                dst = payload.data() + got;
                want = payload.size() - got;
            }
            if (want == 0) {
                if (have_header) {
                    got = 0;
                    have_header = false;
                    return MESSAGE;
                }
                if (!qx_msg_unpack(head, &h)) return CLOSED;
                have_header = true;
                got = 0;
                // A fresh block per message: aligned by the allocator, and
                // the callback may keep nothing beyond its call anyway.
                payload.assign(static_cast<size_t>(h.length), 0);
                continue;
            }
            ssize_t k = recv(fd, dst, want, block ? 0 : MSG_DONTWAIT);
            if (k < 0 && errno == EINTR) continue;
            if (k < 0 && !block && (errno == EAGAIN || errno == EWOULDBLOCK)) return AGAIN;
            if (k <= 0) return CLOSED;
            got += static_cast<size_t>(k);
        }
    }
};

// One connection to the daemon. Its reader (the receiving thread, or a
// waiting thread) owns a reference, so the descriptor stays valid until both
// the client and the reader let go.
struct Connection {
    int fd = -1;
    std::string path;
    uint32_t next_seq = 1;
    bool receiving = false; // its receiving thread runs
    bool reading = false;   // a waiting thread reads its replies itself now
    bool thread_wanted = false; // start the receiving thread once that reader is done
    int unread_notices = 0; // notices sent before that thread runs
    Incoming in;
    ~Connection()
    {
        if (fd >= 0) close(fd);
    }
};

struct Session {
    uint64_t id;
    qx_sock_callback callback;
    std::thread::id owner;
};

class Client {
public:
    enum { kNoticesUnread = 8 };

    int open_session(qx_sock_callback cb, const char *device_path)
    {
        std::string path = nvr_path(device_path);
        std::lock_guard<std::mutex> lock(mu_);
        if (conn_ && conn_->path != path) retire_locked();
        path_ = path;
        sessions_.push_back({next_session_++, cb, std::this_thread::get_id()});
        return 0;
    }

    int close_session()
    {
        std::unique_lock<std::mutex> lock(mu_);
        const auto self = std::this_thread::get_id();
        for (size_t i = sessions_.size(); i-- > 0;) {
            if (sessions_[i].owner != self) continue;
            const uint64_t id = sessions_[i].id;
            sessions_.erase(sessions_.begin() + static_cast<long>(i));
            for (auto it = owners_.begin(); it != owners_.end();)
                it = it->second == id ? owners_.erase(it) : std::next(it);
            // A callback of this session running on another thread finishes
            // before we return; one running on this thread is our caller.
            cv_.wait(lock, [&] { return running_ != id || running_thread_ == self; });
            return 0;
        }
        return 0;
    }

    // A notice awaits no reply: no session owns it, and the first few start
    // no receiving thread (a request that only sends notices has none).
    int send(int code, const void *payload, int length, bool notice = false)
    {
        if (length < 0 || static_cast<uint32_t>(length) > QX_MSG_MAX_PAYLOAD) return QX_SOCK_BAD_ARGS;
        if (length > 0 && !payload) return QX_SOCK_BAD_ARGS;
        // One writer at a time keeps messages whole and in sequence order.
        std::lock_guard<std::mutex> send_lock(send_mu_);
        std::shared_ptr<Connection> conn;
        QxMsgHeader h;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (path_.empty()) return QX_SOCK_BAD_ARGS;
            if (!conn_ && !connect_locked()) return QX_SOCK_NOT_SENT;
            conn = conn_;
            h.kind = QX_MSG_REQUEST;
            h.seq = conn->next_seq++;
            h.code = code;
            h.length = length;
            // Register the owner before writing: the reply may be quick.
            const Session *s = notice ? nullptr : newest_session_locked();
            if (s) owners_[h.seq] = s->id;
            // The reply to a request is read by the thread that waits for
            // it (qx_sock_wait_delivered), or by the receiving thread once
            // one is asked for (qx_sock_receive_async). The daemon may
            // answer notices too: a process that goes on sending them must
            // also read, or the answers fill the socket until the daemon
            // stops reading and our sends block. A request sends one or two;
            // from the kNoticesUnread-th on, the receiving thread runs and
            // drops those answers.
            if (notice && ++conn->unread_notices >= kNoticesUnread) start_receiving_locked(conn);
        }
        if (qx_write_msg(conn->fd, h, payload)) return 0;
        std::lock_guard<std::mutex> lock(mu_);
        owners_.erase(h.seq);
        if (conn_ == conn) retire_locked();
        return QX_SOCK_NOT_SENT;
    }

    uint64_t delivered()
    {
        std::lock_guard<std::mutex> lock(mu_);
        return delivered_;
    }

    // With no receiving thread, the waiting thread reads the connection
    // itself and runs the callbacks (no thread to start and to hand the
    // reply over from: most requests wait for one reply and end).
    uint64_t wait_delivered(uint64_t seen, int64_t timeout_us)
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::microseconds(timeout_us > 0 ? timeout_us : 0);
        std::unique_lock<std::mutex> lock(mu_);
        if (timeout_us <= 0 || delivered_ != seen) return delivered_;
        std::shared_ptr<Connection> conn = conn_;
        if (!conn || conn->receiving || conn->reading) {
            cv_.wait_until(lock, deadline, [&] { return delivered_ != seen; });
            return delivered_;
        }
        conn->reading = true;
        lock.unlock();
        read_until(conn, seen, deadline);
        lock.lock();
        conn->reading = false;
        if (conn->thread_wanted) start_receiving_locked(conn);
        cv_.notify_all(); // another waiter may take over the reading
        return delivered_;
    }

    // Starts the receiving thread: replies reach their callbacks without a
    // thread waiting for them (a request that goes on after its wait, or
    // does not wait at all).
    void receive_async()
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (conn_) start_receiving_locked(conn_);
    }

private:
    const Session *newest_session_locked() const
    {
        const auto self = std::this_thread::get_id();
        for (size_t i = sessions_.size(); i-- > 0;)
            if (sessions_[i].owner == self) return &sessions_[i];
        return nullptr;
    }

    bool connect_locked()
    {
        int fd = qx_unix_connect(path_.c_str());
        if (fd < 0) return false;
        auto conn = std::make_shared<Connection>();
        conn->fd = fd;
        conn->path = path_;
        conn_ = conn;
        owners_.clear(); // sequence numbers start again on a new connection
        return true;
    }

    // Forgets the current connection; its receiving thread sees the end of
    // the stream and leaves. Replies still owed on it are lost.
    void retire_locked()
    {
        if (!conn_) return;
        shutdown(conn_->fd, SHUT_RDWR);
        conn_.reset();
        owners_.clear();
    }

    void start_receiving_locked(const std::shared_ptr<Connection> &conn)
    {
        if (conn->receiving) return;
        if (conn->reading) { // the reader hands over when its wait ends
            conn->thread_wanted = true;
            return;
        }
        conn->thread_wanted = false;
        conn->receiving = true;
        std::thread([this, conn] { receive(conn); }).detach();
    }

    // Runs the callback of a reply; false when the connection is no longer
    // the current one (reading stops).
    bool deliver(const std::shared_ptr<Connection> &conn)
    {
        const Incoming &m = conn->in;
        if (m.h.kind != QX_MSG_REPLY) return true;
        qx_sock_callback cb = nullptr;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (conn_ != conn) return false;
            auto it = owners_.find(m.h.seq);
            if (it == owners_.end()) return true; // stale or unknown: dropped
            for (const Session &s : sessions_)
                if (s.id == it->second) cb = s.callback;
            if (!cb) return true;
            running_ = it->second;
            running_thread_ = std::this_thread::get_id();
        }
        cb(0, m.head, m.h.length > 0 ? m.payload.data() : nullptr);
        std::lock_guard<std::mutex> lock(mu_);
        running_ = 0;
        running_thread_ = std::thread::id();
        delivered_++;
        cv_.notify_all();
        return true;
    }

    // The end of a connection's stream as its reader sees it.
    void reader_done(const std::shared_ptr<Connection> &conn)
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (conn_ == conn) retire_locked();
        else shutdown(conn->fd, SHUT_RDWR);
    }

    // A waiting thread's reading: until a callback has returned since
    // `seen`, the deadline, or the end of the connection. A message cut off
    // by the deadline stays in conn->in for the next reader.
    template <class Deadline> void read_until(const std::shared_ptr<Connection> &conn, uint64_t seen, Deadline deadline)
    {
        using Clock = std::chrono::steady_clock;
        for (;;) {
            Incoming::Step step = conn->in.pump(conn->fd, false);
            if (step == Incoming::CLOSED) return reader_done(conn);
            if (step == Incoming::MESSAGE) {
                if (!deliver(conn) || delivered() != seen) return;
                continue;
            }
            const auto now = Clock::now();
            if (now >= deadline) return;
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
            struct pollfd p = {conn->fd, POLLIN, 0};
            struct timespec ts = {static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
            if (ppoll(&p, 1, &ts, nullptr) < 0 && errno != EINTR) return;
        }
    }

    void receive(std::shared_ptr<Connection> conn)
    {
        while (conn->in.pump(conn->fd, true) == Incoming::MESSAGE)
            if (!deliver(conn)) break;
        reader_done(conn);
    }

    std::mutex mu_;          // everything below
    std::mutex send_mu_;     // held while a message is written
    std::condition_variable cv_;
    std::string path_;       // host path of the daemon socket
    std::shared_ptr<Connection> conn_;
    std::vector<Session> sessions_;
    std::map<uint32_t, uint64_t> owners_; // sequence number -> session
    uint64_t next_session_ = 1;
    uint64_t running_ = 0;   // session whose callback runs now
    std::thread::id running_thread_;
    uint64_t delivered_ = 0;
};

// Never destroyed: detached receiving threads may still read while the
// process ends.
Client &client()
{
    static Client *c = new Client;
    return *c;
}

} // namespace

int qx_sock_init(qx_sock_callback callback, int, int, const char *device_path)
{
    if (!callback || !device_path || !*device_path) return -1;
    return client().open_session(callback, device_path);
}

int qx_sock_send_msg(int, int code, const void *payload, int length, int, int)
{
    return client().send(code, payload, length);
}

int qx_sock_send_notice(int code, const void *payload, int length)
{
    return client().send(code, payload, length, true);
}

int qx_sock_uninit() { return client().close_session(); }

uint64_t qx_sock_delivered() { return client().delivered(); }

uint64_t qx_sock_wait_delivered(uint64_t seen, int64_t timeout_us)
{
    return client().wait_delivered(seen, timeout_us);
}

void qx_sock_receive_async() { client().receive_async(); }
