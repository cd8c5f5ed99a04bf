#include "tests/support/garbage_daemon.h"

#include <map>
#include <memory>
#include <mutex>
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
    // One counter per request code: the requests of one route walk through
    // the answers in order, whatever other routes do meanwhile.
    struct State {
        std::mutex mu;
        std::map<int, unsigned> next;
    };
    auto state = std::make_shared<State>();
    return [state, seed](int code, const std::string &request) -> std::vector<DaemonReply> {
        unsigned n;
        {
            std::lock_guard<std::mutex> lock(state->mu);
            n = state->next[code]++;
        }
        std::mt19937 rng(n * 2654435761u + static_cast<unsigned>(code) + seed);
        auto bytes = [&](size_t len, int fill) {
            std::string s(len, static_cast<char>(fill));
            if (fill < 0)
                for (char &c : s) c = static_cast<char>(rng());
            return s;
        };
        const std::string minus_one = qx_le32_bytes(-1);
        std::vector<DaemonReply> replies;
        switch (n % 11) {
        case 0: replies = {{bytes(3, 0x41)}}; break;               // shorter than any record
        case 1: replies = {{qx_le32_bytes(0)}, {minus_one}}; break; // two well-formed replies
        case 2: replies = {{qx_le32_bytes(0)}}; break;             // status 0
        case 3: replies = {{minus_one}}; break;                    // status -1
        case 4: replies = {{""}}; break;                           // empty payload
        case 5: replies = {{request}, {minus_one}}; break;         // echo, then a second reply
        case 6: replies = {{bytes(997, -1)}}; break;               // odd size, random bytes
        case 7: replies = {{bytes(64 * 1024 + 3, 0xff)}}; break;   // large, all ones (counts -1)
        case 8: replies = {{bytes(1024, 0x7f)}}; break;            // large counts, texts without zero
        case 9: return {{bytes(16, 0x33), true}};                  // a broken frame
        default: return {};                                        // silence: a time-out
        }
        // Every answer comes twice: whatever a callback accepts, it meets a
        // second copy of it.
        replies.push_back(replies.back());
        return replies;
    };
}
