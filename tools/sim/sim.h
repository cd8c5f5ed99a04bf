// nvrweb-sim internals: the registry of reply generators and the script.
//
// A module teaches the simulator its replies in its own file
// tools/sim/replies_<module>.cpp, registering one generator per request code:
//
//   #include "sim.h"
//   namespace {
//   std::string camera_list(const SimRequest &req) { ... return bytes; }
//   }
//   SIM_REPLY(3201, camera_list);
//
// A generator returns the payload of the one reply (reply code = request
// code + 5000). One that needs several replies, another reply code, delays or
// silence registers the list form (SimReplyList) with SIM_REPLIES instead.
#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/qx_server.h" // qx_le32_bytes, qx_hex_*

struct SimRequest {
    int code = 0;
    uint32_t seq = 0;
    std::string payload;
};

struct SimReply {
    std::string payload;
    int delay_ms = 0; // waited before this reply
    int code = 0;     // 0: request code + 5000
};
typedef std::vector<SimReply> SimReplyList;

typedef std::string (*SimPayloadFn)(const SimRequest &req);
typedef SimReplyList (*SimRepliesFn)(const SimRequest &req);

// Registers a generator; a second one for the same code replaces the first
// (and is reported on the standard error stream). Returns true.
bool sim_register(int code, SimPayloadFn fn);
bool sim_register(int code, SimRepliesFn fn);
// The replies the registry makes for a request: the generator's, or a 4-byte
// status 0 for codes nobody registered.
SimReplyList sim_generate(const SimRequest &req);
// Codes with a generator, ascending.
std::vector<int> sim_registered_codes();

// Payload helpers of the generators: a record's bytes, and a request's
// payload as a record (zero-filled where the payload is shorter).
template <class T> std::string sim_bytes_of(const T &rec)
{
    return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}
template <class T> T sim_request_as(const SimRequest &req)
{
    T rec{};
    memcpy(&rec, req.payload.data(), req.payload.size() < sizeof rec ? req.payload.size() : sizeof rec);
    return rec;
}

#define SIM_CONCAT2(a, b) a##b
#define SIM_CONCAT(a, b) SIM_CONCAT2(a, b)
#define SIM_REPLY(code, fn)                                                                       \
    static const bool SIM_CONCAT(sim_reply_registered_, __LINE__) = sim_register((code), static_cast<SimPayloadFn>(fn))
#define SIM_REPLIES(code, fn)                                                                     \
    static const bool SIM_CONCAT(sim_reply_registered_, __LINE__) = sim_register((code), static_cast<SimRepliesFn>(fn))


// ---- Script (--script FILE) ----------------------------------------------------------
struct SimScriptEntry {
    bool silent = false;
    int delay_ms = 0;               // waited before answering
    bool has_payload = false;       // "payload_hex" given
    std::string payload;
    bool has_replies = false;       // "replies" given
    SimReplyList replies;
};
typedef std::map<int, SimScriptEntry> SimScript;

// Parses the script text; false with a one-line reason in *error.
bool sim_parse_script(const std::string &text, SimScript *script, std::string *error);
// The replies for a request: the script's entry when there is one (its
// delay added to the first reply), else the registry's.
SimReplyList sim_answer(const SimScript &script, const SimRequest &req);
