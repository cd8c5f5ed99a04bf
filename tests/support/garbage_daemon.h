// A daemon stand-in for hostile tests: listens on the daemon socket of a
// device root and answers every request with whatever its responder returns
// (nothing, empty or garbage payloads, several replies, broken frames).
// Serves any number of clients at once (QxServer, one thread per client).
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/qx_server.h"

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
    ~GarbageDaemon() { server_.stop(); }
    GarbageDaemon(const GarbageDaemon &) = delete;
    GarbageDaemon &operator=(const GarbageDaemon &) = delete;

    bool listening() const { return listening_; }
    // Number of requests received so far.
    long requests() const { return requests_.load(); }

private:
    DaemonResponder responder_;
    std::atomic<long> requests_{0};
    bool listening_ = false;
    QxServer server_; // last: stopped before the members above go
};

// A responder that walks, per request code, through hostile answers: a
// payload shorter than any record, two well-formed replies, status 0 and -1,
// an empty payload, the request echoed, random, oversized and unterminated
// blocks, a broken frame, silence. Every answer but the last two is sent
// twice.
DaemonResponder hostile_responder(unsigned seed = 1);
