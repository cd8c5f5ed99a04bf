// Daemon side of the message socket: a listener that serves any number of
// client connections at once, one thread per connection at a time, handing
// every received message to a handler. Threads are kept for the next
// connection when theirs ends: a client that connects for one request (every
// CGI process does) is served without a thread being started for it. Used by the daemon simulator, the tests'
// fake daemon and the benchmarks; the request process never links it.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/qx_sock.h"

class QxServer;

// One client connection as the daemon sees it. Writes are serialised, so a
// handler and another thread may both send on it. Use it while its server
// runs; after stop() every send fails.
class QxServerConn {
public:
    ~QxServerConn();
    QxServerConn(const QxServerConn &) = delete;
    QxServerConn &operator=(const QxServerConn &) = delete;
    // Sends a reply (kind 2) with the given sequence number and code.
    bool reply(uint32_t seq, int code, const std::string &payload);
    // Sends any message; false when the connection is gone.
    bool send(const QxMsgHeader &h, const std::string &payload);
    // Sends bytes as they are (broken frames for tests).
    bool send_raw(const std::string &bytes);
    // Sleeps, waking early when the server stops; false then.
    bool sleep_ms(int ms);
    // Ends the connection (the client sees the end of the stream).
    void close();
    // Number of this connection, counted from 1 in accept order.
    int id() const { return id_; }

private:
    friend class QxServer;
    QxServerConn(QxServer *server, int fd, int id) : server_(server), fd_(fd), id_(id) {}
    QxServer *server_;
    int fd_;
    int id_;
    std::mutex write_mu_;
};

// Called on the connection's thread for every well-formed message received.
using QxMessageHandler =
    std::function<void(QxServerConn &conn, const QxMsgHeader &h, const std::string &payload)>;

class QxServer {
public:
    QxServer() = default;
    ~QxServer() { stop(); }
    QxServer(const QxServer &) = delete;
    QxServer &operator=(const QxServer &) = delete;

    // Binds `host_path` (replacing a stale socket file there), listens and
    // starts accepting. False with errno set when it cannot listen.
    bool start(const std::string &host_path, QxMessageHandler handler);
    // Stops accepting, ends every connection, waits for all threads and
    // removes the socket file. Safe to call twice.
    void stop();
    bool stopping() const;
    const std::string &path() const { return path_; }
    // Connections accepted so far.
    int accepted() const;
    // The live connections, newest last.
    std::vector<std::shared_ptr<QxServerConn>> connections() const;

private:
    friend class QxServerConn;
    struct Worker {
        std::shared_ptr<QxServerConn> conn; // the connection it serves; null while idle
        std::condition_variable wake;       // a connection was handed over, or stop
        std::thread thread;
    };
    void accept_loop();
    void work(Worker *w);
    void serve(QxServerConn &conn);

    std::string path_;
    QxMessageHandler handler_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    std::thread acceptor_;
    mutable std::mutex mu_;
    std::condition_variable cv_;
    bool stopping_ = false;
    int accepted_ = 0;
    std::vector<std::unique_ptr<Worker>> workers_;
};

// A little-endian int32 as 4 bytes (status payloads).
std::string qx_le32_bytes(int32_t value);

// Hexadecimal texts of byte blocks (scripts and logs of the simulator).
std::string qx_hex_encode(const std::string &bytes);
// Accepts upper and lower case; false for an odd length or a non-hex digit.
bool qx_hex_decode(const std::string &text, std::string *bytes);
