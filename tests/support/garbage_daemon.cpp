#include "tests/support/garbage_daemon.h"

#include <memory>
#include <random>

GarbageDaemon::GarbageDaemon(const std::string &socket_path, DaemonResponder responder)
    : responder_(std::move(responder))
{
    listening_ = server_.start(socket_path, [this](QxServerConn &conn, const QxMsgHeader &h,
                                                   const std::string &payload) {
        requests_++;
        for (const DaemonReply &r : responder_(h.code, payload)) {
            bool ok = r.raw ? conn.send_raw(r.payload) : conn.reply(h.seq, h.code + 5000, r.payload);
            if (!ok) break;
        }
    });
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
        const std::string minus_one = qx_le32_bytes(-1);
        switch (n % 11) {
        case 0: return {};                                     // silence: a time-out
        case 1: return {{""}};                                 // empty payload
        case 2: return {{qx_le32_bytes(0)}};                   // status 0
        case 3: return {{minus_one}};                          // status -1
        case 4: return {{bytes(3, 0x41)}};                     // shorter than any record
        case 5: return {{bytes(997, -1)}};                     // odd size, random bytes
        case 6: return {{bytes(64 * 1024 + 3, 0xff)}};         // large, all ones (counts -1)
        case 7: return {{request}, {minus_one}};               // echo, then a second reply
        case 10: return {{qx_le32_bytes(0)}, {minus_one}};     // two well-formed replies
        case 8: return {{bytes(1024, 0x7f)}};                  // large counts and texts without zero
        default: return {{bytes(16, 0x33), true}};             // a broken frame
        }
    };
}
