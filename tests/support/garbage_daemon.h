// A daemon stand-in for hostile tests: listens on the daemon socket of a
// device root and answers every request with whatever its responder returns
// (nothing, empty or garbage payloads, several replies, broken frames).
// Serves any number of clients at once, each on its own thread.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct DaemonReply {
    std::string payload;
    bool raw = false; // send `payload` as it stands, without a frame header
};
// Called for every well-formed request; its replies are sent in order.
using DaemonResponder = std::function<std::vector<DaemonReply>(int code, const std::string &payload)>;

class GarbageDaemon {
public:
    // `socket_path`: host path of the socket (e.g. root + "/var/run/qxsocket").
    GarbageDaemon(const std::string &socket_path, DaemonResponder responder);
    ~GarbageDaemon();
    GarbageDaemon(const GarbageDaemon &) = delete;
    GarbageDaemon &operator=(const GarbageDaemon &) = delete;

    bool listening() const { return listen_fd_ >= 0; }
    // Number of requests received so far.
    long requests() const { return requests_.load(); }
    // Replaces the responder (takes effect for the next request).
    void set_responder(DaemonResponder responder);

    // The 24-byte frame header of the wire format.
    static std::string frame(int kind, unsigned seq, int code, const std::string &payload);

private:
    void accept_loop();
    void serve(int fd);

    std::string path_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<long> requests_{0};
    std::mutex mu_;
    DaemonResponder responder_;
    std::condition_variable idle_;
    std::thread acceptor_;
    std::set<int> client_fds_; // open connections; each has a detached thread
};

// A responder that cycles through hostile answers: no reply, empty payload,
// short status, negative status, odd-sized and oversized record blocks,
// random bytes, two replies, a broken frame.
DaemonResponder hostile_responder(unsigned seed = 1);
