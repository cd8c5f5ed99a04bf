#include "tests/support/fake_daemon.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "platform/device_path.h"

std::string le32(int32_t value) { return qx_le32_bytes(value); }

int32_t FakeRequest::int_at(size_t offset) const
{
    if (offset > payload.size() || payload.size() - offset < 4) return -1;
    return qx_get_le32(payload.data(), offset);
}

// ---- Script ------------------------------------------------------------------------

FakeScript &FakeScript::add(Step s)
{
    std::lock_guard<std::mutex> lock(*mu_);
    steps_.push_back(std::move(s));
    return *this;
}

FakeScript &FakeScript::reply(const std::string &payload, int delay_ms)
{
    return add({REPLY, delay_ms, 0, 0, payload});
}

FakeScript &FakeScript::reply_int(int32_t status, int delay_ms) { return reply(le32(status), delay_ms); }

FakeScript &FakeScript::reply_as(int reply_code, uint32_t seq, const std::string &payload, int delay_ms)
{
    return add({REPLY, delay_ms, reply_code, seq, payload});
}

FakeScript &FakeScript::garbage(const std::string &bytes, int delay_ms)
{
    return add({RAW, delay_ms, 0, 0, bytes});
}

namespace {
std::string frame(const QxMsgHeader &h, const char *magic)
{
    uint8_t head[QX_MSG_HEADER_SIZE];
    qx_msg_pack(head, h);
    memcpy(head, magic, 4);
    return std::string(reinterpret_cast<char *>(head), sizeof head);
}
} // namespace

FakeScript &FakeScript::bad_magic(int delay_ms)
{
    QxMsgHeader h;
    h.kind = QX_MSG_REPLY;
    h.seq = 1;
    h.length = 4;
    return garbage(frame(h, "NVRX") + le32(0), delay_ms);
}

FakeScript &FakeScript::oversize(int delay_ms)
{
    QxMsgHeader h;
    h.kind = QX_MSG_REPLY;
    h.seq = 1;
    h.length = static_cast<int32_t>(QX_MSG_MAX_PAYLOAD + 1);
    return garbage(frame(h, "NVRM") + std::string(64, 'x'), delay_ms);
}

FakeScript &FakeScript::hang_up(int delay_ms) { return add({HANG_UP, delay_ms, 0, 0, {}}); }

FakeScript &FakeScript::silent()
{
    std::lock_guard<std::mutex> lock(*mu_);
    steps_.clear();
    return *this;
}

// ---- Daemon ------------------------------------------------------------------------

FakeDaemon::FakeDaemon(const DeviceRoot &root) : FakeDaemon(root.host("/var/run/qxsocket")) {}

FakeDaemon::FakeDaemon(const std::string &host_socket_path)
{
    if (!server_.start(host_socket_path, [this](QxServerConn &c, const QxMsgHeader &h,
                                                const std::string &p) { handle(c, h, p); }))
        throw std::runtime_error("fake daemon cannot listen on " + host_socket_path);
}

FakeDaemon::~FakeDaemon() { server_.stop(); }

FakeScript &FakeDaemon::on(int code)
{
    std::lock_guard<std::mutex> lock(mu_);
    FakeScript &s = scripts_[code];
    s.mu_ = &mu_;
    s.steps_.clear();
    return s;
}

void FakeDaemon::default_silent(bool silent)
{
    std::lock_guard<std::mutex> lock(mu_);
    default_silent_ = silent;
}

std::vector<FakeRequest> FakeDaemon::requests() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return requests_;
}

std::vector<int> FakeDaemon::codes() const
{
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<int> out;
    for (const auto &r : requests_) out.push_back(r.code);
    return out;
}

size_t FakeDaemon::count() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return requests_.size();
}

bool FakeDaemon::wait_requests(size_t n, int timeout_ms) const
{
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                        [&] { return requests_.size() >= n; });
}

size_t FakeDaemon::replies_sent() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return replies_;
}

bool FakeDaemon::wait_replies(size_t n, int timeout_ms) const
{
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return replies_ >= n; });
}

bool FakeDaemon::wait_disconnected(int timeout_ms) const
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!server_.connections().empty()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void FakeDaemon::clear()
{
    std::lock_guard<std::mutex> lock(mu_);
    requests_.clear();
    replies_ = 0;
}

bool FakeDaemon::push(int reply_code, uint32_t seq, const std::string &payload)
{
    auto conns = server_.connections();
    if (conns.empty() || !conns.back()->reply(seq, reply_code, payload)) return false;
    std::lock_guard<std::mutex> lock(mu_);
    replies_++;
    cv_.notify_all();
    return true;
}

void FakeDaemon::handle(QxServerConn &conn, const QxMsgHeader &h, const std::string &payload)
{
    std::vector<FakeScript::Step> steps;
    {
        std::lock_guard<std::mutex> lock(mu_);
        FakeRequest r;
        r.kind = h.kind;
        r.code = h.code;
        r.seq = h.seq;
        r.payload = payload;
        r.connection = conn.id();
        requests_.push_back(std::move(r));
        auto it = scripts_.find(h.code);
        if (it != scripts_.end()) steps = it->second.steps_;
        else if (!default_silent_) steps.push_back({FakeScript::REPLY, 0, 0, 0, le32(0)});
        cv_.notify_all();
    }
    for (const auto &s : steps) run_step(conn, h, s);
}

void FakeDaemon::run_step(QxServerConn &conn, const QxMsgHeader &h, const FakeScript::Step &s)
{
    if (s.delay_ms > 0 && !conn.sleep_ms(s.delay_ms)) return;
    bool ok = false;
    switch (s.kind) {
    case FakeScript::REPLY:
        ok = conn.reply(s.seq ? s.seq : h.seq, s.code ? s.code : h.code + 5000, s.bytes);
        break;
    case FakeScript::RAW:
        ok = conn.send_raw(s.bytes);
        break;
    case FakeScript::HANG_UP:
        conn.close();
        return;
    }
    if (!ok) return;
    std::lock_guard<std::mutex> lock(mu_);
    replies_++;
    cv_.notify_all();
}

// ---- Environment -------------------------------------------------------------------

ScopedEnv::ScopedEnv(const std::string &name, const std::string &value) : name_(name)
{
    const char *old = getenv(name.c_str());
    had_ = old != nullptr;
    if (old) old_ = old;
    setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (had_) setenv(name_.c_str(), old_.c_str(), 1);
    else unsetenv(name_.c_str());
}

ScopedDeviceRoot::ScopedDeviceRoot(const DeviceRoot &root) : env_("NVRWEB_ROOT", root.path())
{
    nvr_root_reset_for_tests();
}

ScopedDeviceRoot::~ScopedDeviceRoot() { nvr_root_reset_for_tests(); }
