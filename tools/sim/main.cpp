// nvrweb-sim [--socket PATH] [--script FILE] [--log FILE]
//
// Recorder daemon simulator: listens on the daemon socket (default: the
// device path /var/run/qxsocket under NVRWEB_ROOT), serves any number of
// clients at once and answers every request with reply code = code + 5000:
// as the script says, else with the payload a registered generator makes,
// else with a 4-byte status 0. Ends cleanly on SIGTERM or SIGINT.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "platform/device_path.h"
#include "platform/qx_server.h"
#include "sim.h"

namespace {
const char kUsage[] = "usage: nvrweb-sim [--socket PATH] [--script FILE] [--log FILE]\n";

struct Options {
    std::string socket;
    std::string script;
    std::string log;
};

bool parse_args(int argc, char **argv, Options *o)
{
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        std::string *slot = a == "--socket" ? &o->socket
                            : a == "--script" ? &o->script
                            : a == "--log"    ? &o->log
                                              : nullptr;
        if (!slot || i + 1 >= argc || !*argv[i + 1]) return false;
        *slot = argv[++i];
    }
    return true;
}

// One JSON line per received message, written whole and flushed.
class MessageLog {
public:
    bool open(const std::string &path)
    {
        file_ = fopen(path.c_str(), "we"); // a fresh log per run
        return file_ != nullptr;
    }
    ~MessageLog()
    {
        if (file_) fclose(file_);
    }
    void write(const QxMsgHeader &h, const std::string &payload)
    {
        if (!file_) return;
        std::string line = "{\"code\": " + std::to_string(h.code) + ", \"seq\": " + std::to_string(h.seq) +
                           ", \"length\": " + std::to_string(h.length) + ", \"payload_hex\": \"" +
                           qx_hex_encode(payload) + "\"}\n";
        std::lock_guard<std::mutex> lock(mu_);
        fwrite(line.data(), 1, line.size(), file_);
        fflush(file_);
    }

private:
    FILE *file_ = nullptr;
    std::mutex mu_;
};

bool read_file(const std::string &path, std::string *text)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::stringstream ss;
    ss << f.rdbuf();
    *text = ss.str();
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    Options opt;
    if (!parse_args(argc, argv, &opt)) {
        fputs(kUsage, stderr);
        return 2;
    }
    if (opt.socket.empty()) opt.socket = nvr_path("/var/run/qxsocket");

    SimScript script;
    if (!opt.script.empty()) {
        std::string text, error;
        if (!read_file(opt.script, &text)) {
            fprintf(stderr, "nvrweb-sim: cannot read %s\n", opt.script.c_str());
            return 2;
        }
        if (!sim_parse_script(text, &script, &error)) {
            fprintf(stderr, "nvrweb-sim: %s: %s\n", opt.script.c_str(), error.c_str());
            return 2;
        }
    }
    MessageLog log;
    if (!opt.log.empty() && !log.open(opt.log)) {
        fprintf(stderr, "nvrweb-sim: cannot open %s: %s\n", opt.log.c_str(), strerror(errno));
        return 1;
    }

    // The signals are taken by sigwait below; every thread inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    QxServer server;
    auto handler = [&](QxServerConn &conn, const QxMsgHeader &h, const std::string &payload) {
        log.write(h, payload);
        if (h.kind != QX_MSG_REQUEST) return;
        SimRequest req{h.code, h.seq, payload};
        for (const SimReply &r : sim_answer(script, req)) {
            if (r.delay_ms > 0 && !conn.sleep_ms(r.delay_ms)) return;
            if (!conn.reply(h.seq, r.code ? r.code : h.code + 5000, r.payload)) return;
        }
    };
    if (!server.start(opt.socket, handler)) {
        fprintf(stderr, "nvrweb-sim: cannot listen on %s: %s\n", opt.socket.c_str(), strerror(errno));
        return 1;
    }
    fprintf(stderr, "nvrweb-sim: listening on %s\n", opt.socket.c_str());

    int sig = 0;
    while (sigwait(&stop_signals, &sig) != 0) {}
    server.stop();
    fprintf(stderr, "nvrweb-sim: stopped by signal %d\n", sig);
    return 0;
}
