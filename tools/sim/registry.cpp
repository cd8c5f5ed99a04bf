// Registry of reply generators, filled by the replies_<module>.cpp files
// before main() runs.
#include "sim.h"

#include <cstdio>

#include "platform/qx_server.h"

namespace {
// Built on first use: registrations run from static initialisers of other
// files, in no fixed order.
std::map<int, std::function<SimReplyList(const SimRequest &)>> &registry()
{
    static std::map<int, std::function<SimReplyList(const SimRequest &)>> r;
    return r;
}

bool add(int code, std::function<SimReplyList(const SimRequest &)> fn)
{
    auto &r = registry();
    if (r.count(code)) fprintf(stderr, "nvrweb-sim: second generator for code %d replaces the first\n", code);
    r[code] = std::move(fn);
    return true;
}
} // namespace

bool sim_register(int code, SimPayloadFn fn)
{
    return add(code, [fn](const SimRequest &req) { return SimReplyList{{fn(req), 0, 0}}; });
}

bool sim_register(int code, SimRepliesFn fn) { return add(code, fn); }

SimReplyList sim_generate(const SimRequest &req)
{
    auto &r = registry();
    auto it = r.find(req.code);
    if (it == r.end()) return SimReplyList{{qx_le32_bytes(0), 0, 0}};
    return it->second(req);
}

std::vector<int> sim_registered_codes()
{
    std::vector<int> out;
    for (const auto &kv : registry()) out.push_back(kv.first);
    return out;
}
