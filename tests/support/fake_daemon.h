// In-process fake recorder daemon for tests: listens on the daemon socket of
// a DeviceRoot (<root>/var/run/qxsocket), answers every request as scripted
// per request code and records every message it receives, in order.
//
//   DeviceRoot root;
//   FakeDaemon daemon(root);
//   daemon.on(3201).reply_record(list);              // one reply, code 8201
//   daemon.on(3434).silent();                        // never answers
//   daemon.on(1162).reply(a).reply(b, 50);           // two replies, b 50 ms later
//   ProcResult r = post_json(root, "/2001", "{}");   // the CGI talks to it
//   ASSERT_TRUE(daemon.wait_requests(2));            // fire-and-forget ones too
//   EXPECT_EQ(3201, daemon.requests()[0].code);
//
// Codes without a script are answered with a 4-byte status 0 (as the
// simulator does), unless default_silent(true).
//
// In-process client tests set the environment with ScopedDeviceRoot (and
// ScopedEnv("NVRWEB_TIME_SCALE", "0.01") for short time-outs).
#pragma once
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/qx_server.h"
#include "tests/support/harness.h"

// ---- Byte helpers -------------------------------------------------------------------
std::string le32(int32_t value);
template <class T> std::string bytes_of(const T &record)
{
    static_assert(std::is_trivially_copyable<T>::value, "records are plain bytes");
    return std::string(reinterpret_cast<const char *>(&record), sizeof record);
}

// One message the fake daemon received.
struct FakeRequest {
    int kind = 0;
    int code = 0;
    uint32_t seq = 0;
    std::string payload;
    int connection = 0; // 1 for the first connection accepted, ...

    int32_t int_at(size_t offset) const; // -1 when out of range
    // Copies the payload into a record; false when the sizes differ.
    template <class T> bool as(T *out) const
    {
        static_assert(std::is_trivially_copyable<T>::value, "records are plain bytes");
        if (payload.size() != sizeof(T)) return false;
        memcpy(out, payload.data(), sizeof(T));
        return true;
    }
};

// The answer to one request code: steps run in order for every request.
class FakeScript {
public:
    // A reply with reply code = request code + 5000 and the request's seq.
    FakeScript &reply(const std::string &payload, int delay_ms = 0);
    FakeScript &reply_int(int32_t status, int delay_ms = 0);
    template <class T> FakeScript &reply_record(const T &record, int delay_ms = 0)
    {
        return reply(bytes_of(record), delay_ms);
    }
    // A reply without payload.
    FakeScript &empty(int delay_ms = 0) { return reply(std::string(), delay_ms); }
    // A reply with any code and sequence number (0: the request's own),
    // e.g. a late answer to an earlier request.
    FakeScript &reply_as(int reply_code, uint32_t seq, const std::string &payload, int delay_ms = 0);
    // Raw bytes on the stream instead of a message.
    FakeScript &garbage(const std::string &bytes, int delay_ms = 0);
    // A reply header with a wrong magic / a length over 16 MiB.
    FakeScript &bad_magic(int delay_ms = 0);
    FakeScript &oversize(int delay_ms = 0);
    // Closes the connection.
    FakeScript &hang_up(int delay_ms = 0);
    // No reply at all (drops the steps added so far).
    FakeScript &silent();

private:
    friend class FakeDaemon;
    enum Kind { REPLY, RAW, HANG_UP };
    struct Step {
        Kind kind;
        int delay_ms;
        int code;      // 0: request code + 5000
        uint32_t seq;  // 0: the request's seq
        std::string bytes;
    };
    FakeScript &add(Step s);
    std::mutex *mu_ = nullptr; // the daemon's: scripts may change while it serves
    std::vector<Step> steps_;
};

class FakeDaemon {
public:
    explicit FakeDaemon(const DeviceRoot &root);
    explicit FakeDaemon(const std::string &host_socket_path);
    ~FakeDaemon();
    FakeDaemon(const FakeDaemon &) = delete;
    FakeDaemon &operator=(const FakeDaemon &) = delete;

    // Replaces the script of `code` with an empty one and returns it for
    // filling; an empty script is silent.
    FakeScript &on(int code);
    // Codes without a script: silent (true) or status 0 (false, default).
    void default_silent(bool silent);

    // Everything received so far, in order of arrival.
    std::vector<FakeRequest> requests() const;
    std::vector<int> codes() const;
    size_t count() const;
    // Waits until at least n messages were received; false on time-out.
    bool wait_requests(size_t n, int timeout_ms = 10000) const;
    // Replies (and raw steps) written so far, and a wait for n of them.
    size_t replies_sent() const;
    bool wait_replies(size_t n, int timeout_ms = 10000) const;
    void clear();

    // Sends a reply now on the newest connection; false when there is none.
    bool push(int reply_code, uint32_t seq, const std::string &payload);
    // Connections accepted so far, and a wait until none is open any more
    // (the client dropped or closed its connection).
    int connections() const { return server_.accepted(); }
    bool wait_disconnected(int timeout_ms = 10000) const;
    const std::string &socket_path() const { return server_.path(); }
    void stop() { server_.stop(); }

private:
    void handle(QxServerConn &conn, const QxMsgHeader &h, const std::string &payload);
    void run_step(QxServerConn &conn, const QxMsgHeader &h, const FakeScript::Step &s);

    mutable std::mutex mu_;
    mutable std::condition_variable cv_;
    std::map<int, FakeScript> scripts_;
    bool default_silent_ = false;
    std::vector<FakeRequest> requests_;
    size_t replies_ = 0;
    QxServer server_; // last: stopped before the state above goes
};

// Sets an environment variable for a scope (restoring the old value).
class ScopedEnv {
public:
    ScopedEnv(const std::string &name, const std::string &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// Points this process's device paths at a DeviceRoot for a scope.
class ScopedDeviceRoot {
public:
    explicit ScopedDeviceRoot(const DeviceRoot &root);
    ~ScopedDeviceRoot();

private:
    ScopedEnv env_;
};
