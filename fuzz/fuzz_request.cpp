// Intake and dispatch of every registered route with arbitrary request
// texts, while an in-process daemon stand-in answers the handler's daemon
// requests with payloads taken from the input, so that reply parsing is
// fuzzed too.
//
// Input: the route, then one flags byte, the daemon payload (two bytes of
// length, little-endian, then the bytes), and the request text (the rest).
// The route is either a text up to the first newline, when the input starts
// with '/', or two bytes indexing the registered routes.
// Flags: bits 0-1 the intake (POST JSON, GET, multipart upload, POST form);
// bits 2-4 how the daemon answers (one reply, silence, empty payload, two
// replies, a broken frame, the payload cut to 4 bytes, the request echoed).
#include <cstdint>
#include <cstring>
#include <mutex>
#include <strings.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "frontend/cgi.h"
#include "frontend/route_table.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/garbage_daemon.h"

namespace {

std::vector<std::string> g_routes;
GarbageDaemon *g_daemon = nullptr;

struct Answer {
    int mode = 0;
    std::string payload;
} g_answer;
std::mutex g_answer_mu;

std::vector<DaemonReply> respond(int, const std::string &request)
{
    std::lock_guard<std::mutex> lock(g_answer_mu);
    const std::string &p = g_answer.payload;
    switch (g_answer.mode) {
    case 0: return {{p}};
    case 1: return {};
    case 2: return {{""}};
    case 3: return {{p}, {p}};
    case 4: return {{p, true}};
    case 5: return {{p.substr(0, 4)}};
    case 6: return {{request}};
    default: return {{p}, {""}};
    }
}

std::string multipart_body(const std::string &text)
{
    return "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"f.bin\"\r\n\r\n" + text +
           "\r\n--XyZ--\r\n";
}

bool mentions_header(const std::string &s)
{
    for (size_t i = 0; i + 13 <= s.size(); i++)
        if (strncasecmp(s.c_str() + i, "content-type:", 13) == 0) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_init();
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++)
        if (const WebRes *r = WebResSlot(slot)) g_routes.push_back(r->path);
    fuzz_init_settings();
    g_daemon = new GarbageDaemon(fuzz_host("/var/run/qxsocket"), respond);
    if (!g_daemon->listening()) fuzz_fail("daemon stand-in cannot listen");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string in(reinterpret_cast<const char *>(data), size);
    size_t pos = 0;
    FuzzRequest req;
    if (!in.empty() && in[0] == '/') {
        size_t nl = in.find('\n');
        if (nl == std::string::npos) return 0;
        req.route = in.substr(0, nl);
        pos = nl + 1;
    } else {
        if (in.size() < 2 || g_routes.empty()) return 0;
        unsigned idx = static_cast<unsigned char>(in[0]) | static_cast<unsigned char>(in[1]) << 8;
        req.route = g_routes[idx % g_routes.size()];
        pos = 2;
    }
    if (pos + 3 > in.size()) return 0;
    const unsigned flags = static_cast<unsigned char>(in[pos]);
    size_t plen = static_cast<unsigned char>(in[pos + 1]) | static_cast<unsigned char>(in[pos + 2]) << 8;
    pos += 3;
    if (plen > in.size() - pos) plen = in.size() - pos;
    {
        std::lock_guard<std::mutex> lock(g_answer_mu);
        g_answer.mode = static_cast<int>((flags >> 2) & 7);
        g_answer.payload = in.substr(pos, plen);
    }
    pos += plen;
    const std::string text = in.substr(pos);

    switch (flags & 3) {
    case 0:
        req.content_type = "application/json";
        req.body = text;
        break;
    case 1:
        req.method = "GET";
        req.query = text;
        break;
    case 2:
        req.content_type = "multipart/form-data; boundary=XyZ";
        req.query = "param:" + text.substr(0, 300);
        req.body = multipart_body(text);
        break;
    default:
        req.content_type = "application/x-www-form-urlencoded";
        req.body = text;
        break;
    }
    req.cookie = "userName=admin";

    FILE *stream = fuzz_begin_request(req);
    cgi_handle_request();
    fuzz_end_request(stream);
    const std::string reply = fuzz_take_output();
    // A reply may carry a header-like text that the request or the daemon's
    // payload put in one of its values.
    std::string payload;
    {
        std::lock_guard<std::mutex> lock(g_answer_mu);
        payload = g_answer.payload;
    }
    fuzz_check_after_run(reply, mentions_header(text) || mentions_header(payload));
    fuzz_clear_dir("/tmp");
    fuzz_check_settings_now_and_then();
    return 0;
}
