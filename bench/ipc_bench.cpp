// Daemon round trip of the request client: a waiting request against an
// in-process daemon that answers at once. The time counted is from the call
// to its return, less the daemon's own time between reading the request and
// having written the reply.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/device_path.h"
#include "common/ipc.h"
#include "platform/qx_server.h"

namespace {
using Clock = std::chrono::steady_clock;

std::atomic<int64_t> g_daemon_ns{0};

// A device root with a daemon in this process, for the whole run.
class BenchDaemon {
public:
    BenchDaemon()
    {
        char tmpl[] = "/tmp/nvrweb-bench-XXXXXX";
        root_ = mkdtemp(tmpl);
        mkdir((root_ + "/var").c_str(), 0755);
        mkdir((root_ + "/var/run").c_str(), 0755);
        setenv("NVRWEB_ROOT", root_.c_str(), 1);
        nvr_root_reset_for_tests();
        server_.start(root_ + "/var/run/qxsocket",
                      [](QxServerConn &conn, const QxMsgHeader &h, const std::string &) {
                          auto t0 = Clock::now();
                          conn.reply(h.seq, h.code + 5000, qx_le32_bytes(0));
                          g_daemon_ns += std::chrono::duration_cast<std::chrono::nanoseconds>(
                                             Clock::now() - t0).count();
                      });
    }
    ~BenchDaemon()
    {
        server_.stop();
        rmdir((root_ + "/var/run").c_str());
        rmdir((root_ + "/var").c_str());
        rmdir(root_.c_str());
    }

private:
    std::string root_;
    QxServer server_;
};

BenchDaemon &daemon_once()
{
    static BenchDaemon d;
    return d;
}

void done_callback(int, const void *, const void *) { g_callback_done = 1; }

void BM_WaitingRoundTrip(benchmark::State &state)
{
    daemon_once();
    const std::string payload(static_cast<size_t>(state.range(0)), 'p');
    for (auto _ : state) {
        g_daemon_ns = 0;
        auto t0 = Clock::now();
        cgi_stop_ipc(cgi_start_ipc(done_callback, 3201, static_cast<int>(payload.size()),
                                   payload.data(), 0));
        auto total = std::chrono::duration<double>(Clock::now() - t0).count();
        if (g_callback_done != 1) state.SkipWithError("no reply");
        state.SetIterationTime(total - static_cast<double>(g_daemon_ns.load()) * 1e-9);
    }
}
BENCHMARK(BM_WaitingRoundTrip)->Arg(4)->Arg(672)->Arg(64 * 1024)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_FireAndForget(benchmark::State &state)
{
    daemon_once();
    OpLogRecord rec{};
    for (auto _ : state) cgi_notify_ipc(IPC_OPLOG, rec);
}
BENCHMARK(BM_FireAndForget)->Unit(benchmark::kMicrosecond);
} // namespace
