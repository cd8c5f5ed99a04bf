// Hostile requests against every registered route. The routes come from the
// route table of this binary (which links every module), so a route added
// later is covered without touching this file. Each route gets a fixed set
// of hostile requests by POST, GET and multipart upload, with a daemon
// stand-in answering silence, empty and garbage payloads; afterwards:
// no crash or sanitizer report, at most one reply per request, no injected
// command ran, no file changed outside the writable directories or escaped
// the device root, and the settings database still passes its check.
#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "frontend/route_table.h"
#include "tests/support/abuse.h"
#include "tests/support/garbage_daemon.h"
#include "tests/support/harness.h"

namespace {

constexpr int kShards = 12;
constexpr int kWorkers = 3; // requests of one route run side by side

std::vector<std::string> registered_routes()
{
    std::vector<std::string> out;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++)
        if (const WebRes *r = WebResSlot(slot)) out.push_back(r->path);
    return out;
}

std::string json_text(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// {"k1": v(0), "k2": v(1), ...}
template <typename F> std::string object_of(const std::vector<std::string> &keys, F value)
{
    std::string out = "{";
    for (size_t i = 0; i < keys.size(); i++) {
        if (i) out += ",";
        out += json_text(keys[i]) + ":" + value(i);
    }
    return out + "}";
}

std::string get_quoted(const std::string &json)
{
    std::string out;
    for (char c : json) {
        if (c == '"') out += "%22";
        else out += c;
    }
    return out;
}

const std::vector<std::string> &route_keys()
{
    static const std::vector<std::string> keys = [] {
        std::set<std::string> all;
        for (const std::string &k : scan_route_keys(NVRWEB_SOURCE_DIR)) all.insert(k);
        for (const std::string &k : common_route_keys()) all.insert(k);
        return std::vector<std::string>(all.begin(), all.end());
    }();
    return keys;
}

struct Hostile {
    std::string name;
    CgiRequest req;
};

// The fixed set of hostile requests for one route.
std::vector<Hostile> hostile_requests(const std::string &route, const std::string &touch_marker)
{
    const std::vector<std::string> &keys = route_keys();
    const std::vector<std::string> &common = common_route_keys();
    const std::vector<std::string> inject = injection_texts(touch_marker);
    const std::vector<std::string> escape = traversal_texts();
    // Texts long enough to overflow any fixed field; bodies over many keys
    // are split so that each stays under the POST intake's 30719 characters.
    const size_t long_len = 1024;

    std::vector<std::pair<std::string, std::string>> bodies = {
        {"empty", ""},
        {"not JSON", "not json {\"chn\":"},
        {"array at top", "[1,\"a\",{},null,[-1]]"},
        {"number at top", "123"},
        {"100 KB text", "{" + json_text(keys.empty() ? "name" : keys[0]) + ":" +
                            json_text(std::string(100 * 1024, 'A')) + "}"},
        {"form text", [&] {
             std::string s;
             for (size_t i = 0; i < keys.size() && s.size() < 20000; i++)
                 s += (i ? "&" : "") + keys[i] + "=" + inject[i % inject.size()];
             return s;
         }()},
        // Option commands ("/vb.htm"): several answers, hostile values.
        {"option commands", "setlang=1&decode=2&hotplug=x&softversion=1"},
        {"option injection", "decode=$(" + std::string(kInjectedCommand) + ")&hotplug=;" + kInjectedCommand},
        {"path & param text", "/tmp/../../" + std::string(kEscapeName) + " & " + inject[0]},
    };
    const std::pair<const char *, std::string> scalars[] = {
        {"strings", "\"text\""},
        {"arrays", "[1,\"a\",{},null]"},
        {"objects", "{\"a\":1,\"b\":[]}"},
        {"nulls", "null"},
        {"booleans", "true"},
        {"-1", "-1"},
        {"64", "64"},
        {"2^31", "2147483648"},
        {"2^63-1", "9223372036854775807"},
        {"-2^31-1", "-2147483649"},
        {"1e308", "1e308"},
    };
    auto add_objects = [&](const std::string &name, const std::function<std::string(size_t)> &value) {
        size_t first = 0;
        for (int chunk = 0; first < keys.size() || chunk == 0; chunk++) {
            std::vector<std::string> part;
            size_t size = 2;
            for (; first < keys.size(); first++) {
                size_t add = keys[first].size() + value(first).size() + 4;
                if (!part.empty() && size + add > 28000) break;
                part.push_back(keys[first]);
                size += add;
            }
            const size_t base = first - part.size();
            bodies.push_back({name + (chunk ? " #" + std::to_string(chunk + 1) : ""),
                              object_of(part, [&](size_t i) { return value(base + i); })});
        }
    };
    for (const auto &s : scalars)
        add_objects(std::string("every key ") + s.first, [&](size_t) { return s.second; });
    add_objects("every key long text", [&](size_t i) {
        return json_text(std::string(long_len, static_cast<char>('a' + i % 26)));
    });
    add_objects("every key injection", [&](size_t i) { return json_text(inject[i % inject.size()]); });
    add_objects("every key path escape", [&](size_t i) { return json_text(escape[i % escape.size()]); });

    std::vector<Hostile> out;
    for (const auto &b : bodies) {
        Hostile h{"POST " + b.first, {}};
        h.req.method = "POST";
        h.req.route = route;
        h.req.content_type = "application/json";
        h.req.body = b.second;
        out.push_back(h);
    }

    // GET: the query copy holds 1023 characters, so as many of the common
    // keys as fit.
    auto query_of = [&](const std::function<std::string(size_t)> &value) {
        std::string q;
        for (size_t n = 1; n <= common.size(); n++) {
            std::vector<std::string> some(common.begin(), common.begin() + static_cast<long>(n));
            std::string next = get_quoted(object_of(some, value));
            if (next.size() > 1000) break;
            q = next;
        }
        return q;
    };
    const std::pair<const char *, std::string> queries[] = {
        {"empty", ""},
        {"channel 64", query_of([](size_t) { return std::string("64"); })},
        {"2^31", query_of([](size_t) { return std::string("2147483648"); })},
        {"injection", query_of([&](size_t i) { return json_text(inject[i % inject.size()]); })},
        {"path escape", query_of([&](size_t i) { return json_text(escape[i % escape.size()]); })},
    };
    for (const auto &q : queries) {
        Hostile h{std::string("GET ") + q.first, {}};
        h.req.method = "GET";
        h.req.route = route;
        h.req.query = q.second;
        out.push_back(h);
    }

    // Multipart uploads: hostile file names, parameters and fields.
    auto part = [](const std::string &name, const std::string *filename, const std::string &content) {
        std::string p = "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"";
        if (filename) p += "; filename=\"" + *filename + "\"";
        return p + "\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n";
    };
    const std::string names[] = {"$(" + std::string(kInjectedCommand) + ").bin",
                                 "../../" + std::string(kEscapeName), std::string(200, 'n') + ".bin"};
    const std::string params[] = {"param:" + inject[0], "param:" + escape[0] + "&x=1",
                                  "param:" + std::string(300, 'p')};
    for (int i = 0; i < 3; i++) {
        std::string body;
        for (size_t k = 0; k < common.size(); k += 5) body += part(common[k], nullptr, inject[k % inject.size()]);
        body += part("file", &names[i], std::string("\x00\xff\r\n-- garbage", 14));
        body += "--XyZ--\r\n";
        Hostile h{"upload " + std::to_string(i), {}};
        h.req.method = "POST";
        h.req.route = route;
        h.req.query = params[i];
        h.req.content_type = "multipart/form-data; boundary=XyZ";
        h.req.body = body;
        out.push_back(h);
    }
    return out;
}

bool sanitizer_report(const std::string &err)
{
    return err.find("AddressSanitizer") != std::string::npos ||
           err.find("runtime error:") != std::string::npos ||
           err.find("LeakSanitizer") != std::string::npos;
}

bool have_program(const std::string &name) { return access(program_path(name).c_str(), X_OK) == 0; }

// One shard: its own device root, stand-in commands and daemon.
class AbuseRoutes : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/nvrweb-abuse-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        aux_ = tmpl;
        marker_ = aux_ + "/injected";
        touch_marker_ = aux_ + "/injected-touch";
        make_standins(aux_ + "/bin", aux_ + "/commands.log", marker_);
        const char *path = getenv("PATH");
        env_["PATH"] = aux_ + "/bin:" + (path ? path : "/usr/bin:/bin");
        env_["NVRWEB_TIME_SCALE"] = "0.0002";
        env_["HTTP_COOKIE"] = "lang=en; userName=admin; sid=42";
        if (have_program("nvrweb-settings")) {
            ProcResult r = settings({"init"});
            ASSERT_EQ(0, r.status) << r.err;
        }
        daemon_.reset(new GarbageDaemon(root_.host("/var/run/qxsocket"), hostile_responder(GetParam() + 1)));
        ASSERT_TRUE(daemon_->listening());
    }
    void TearDown() override
    {
        daemon_.reset();
        std::string cmd = "rm -rf '" + aux_ + "'";
        if (system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << aux_;
    }

    ProcResult settings(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = program_wrapper();
        argv.push_back(program_path("nvrweb-settings"));
        argv.insert(argv.end(), args.begin(), args.end());
        return run_program(argv, {{"NVRWEB_ROOT", root_.path()}}, "");
    }

    // Runs the hostile requests of one route; returns the failures.
    std::vector<std::string> abuse_route(const std::string &route)
    {
        std::vector<Hostile> reqs = hostile_requests(route, touch_marker_);
        for (Hostile &h : reqs)
            for (const auto &kv : env_) h.req.env.insert(kv);
        TreeSnapshot before = snapshot_tree(root_.path());
        std::vector<std::string> failures;
        std::mutex mu;
        std::atomic<size_t> next{0};
        auto worker = [&] {
            for (size_t i; (i = next++) < reqs.size();) {
                const Hostile &h = reqs[i];
                ProcResult r = run_cgi(root_, h.req);
                std::string why;
                const bool parse_failed = h.req.content_type.compare(0, 9, "multipart") == 0 && r.status == 255;
                if (r.status != 0 && !parse_failed) why = "exit status " + std::to_string(r.status);
                else if (sanitizer_report(r.err)) why = "sanitizer report";
                else if (count_reply_headers(r.out) > 1)
                    why = std::to_string(count_reply_headers(r.out)) + " replies";
                if (!why.empty()) {
                    std::lock_guard<std::mutex> lock(mu);
                    failures.push_back(route + " " + h.name + ": " + why + "\n" + r.out.substr(0, 400) +
                                       "\n" + r.err.substr(0, 2000));
                }
            }
        };
        std::vector<std::thread> pool;
        for (int i = 0; i < kWorkers; i++) pool.emplace_back(worker);
        for (std::thread &t : pool) t.join();

        struct stat st;
        if (stat(marker_.c_str(), &st) == 0 || stat(touch_marker_.c_str(), &st) == 0)
            failures.push_back(route + ": an injected command ran");
        unlink(marker_.c_str());
        unlink(touch_marker_.c_str());
        for (const std::string &p : escape_probe_paths(aux_, root_.path()))
            if (lstat(p.c_str(), &st) == 0) {
                failures.push_back(route + ": a path left its directory: " + p);
                unlink(p.c_str());
            }
        for (const std::string &c : unexpected_changes(before, snapshot_tree(root_.path())))
            failures.push_back(route + ": " + c);
        if (have_program("nvrweb-settings")) {
            ProcResult r = settings({"check"});
            if (r.status != 0) failures.push_back(route + ": settings check failed: " + r.err);
        }
        return failures;
    }

    DeviceRoot root_;
    std::string aux_, marker_, touch_marker_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<GarbageDaemon> daemon_;
};

TEST_P(AbuseRoutes, HostileRequestsToEveryRoute)
{
    const std::vector<std::string> routes = registered_routes();
    int covered = 0;
    for (size_t i = static_cast<size_t>(GetParam()); i < routes.size(); i += kShards) {
        for (const std::string &f : abuse_route(routes[i])) ADD_FAILURE() << f;
        covered++;
    }
    RecordProperty("routes", covered);
}

INSTANTIATE_TEST_SUITE_P(AbuseShards, AbuseRoutes, ::testing::Range(0, kShards));

// The front end itself: hostile methods, content types, lengths and routes
// produce no output and touch nothing.
TEST(AbuseFrontEnd, HostileEnvelopesProduceNothing)
{
    DeviceRoot root;
    TreeSnapshot before = snapshot_tree(root.path());
    struct Case {
        const char *method, *route, *type, *length, *body;
    } cases[] = {
        {"PUT", "/1000", "application/json", "2", "{}"},
        {"DELETE", "/1000", "", nullptr, ""},
        {"POST", "/9999", "application/json", "2", "{}"},
        {"POST", "/1000", "text/xml", "2", "<a/>"},
        {"POST", "/1000x", "application/json", "-5", "{}"},
        {"POST", "/../../bin/sh", "application/json", "99999999", "{}"},
        {"POST", "/9999", "multipart/form-data; boundary=", "30", "--\r\n\r\n--\r\n"},
        {"POST", "/9999", "multipart/form-data", "2147483648", "x"},
        {"GET", "", "", nullptr, ""},
        {"GET", "/100000000", "", nullptr, ""},
    };
    for (const Case &c : cases) {
        CgiRequest req;
        req.method = c.method;
        req.route = c.route;
        req.content_type = c.type;
        req.body = c.body;
        req.set_content_length = false;
        if (c.length) req.env["CONTENT_LENGTH"] = c.length;
        ProcResult r = run_cgi(root, req);
        EXPECT_TRUE(r.status == 0 || r.status == 255) << c.method << " " << c.route << ": " << r.status;
        // No handler answers: the front end's status with a one-line body.
        EXPECT_EQ(0u, r.out.find("Status: 4")) << c.method << " " << c.route << ": " << r.out;
        const std::string body = r.body();
        EXPECT_EQ(1, std::count(body.begin(), body.end(), '\n')) << r.out;
        EXPECT_FALSE(sanitizer_report(r.err)) << r.err;
    }
    EXPECT_TRUE(unexpected_changes(before, snapshot_tree(root.path())).empty());
    EXPECT_TRUE(root.list("/tmp").empty());
}

// The hostile set itself: every scanned key meets every hostile kind in some
// body, and no body is cut by the intake (which would turn it into non-JSON).
TEST(AbuseSuite, HostileSetCoversTheScannedKeysWithinIntakeLimits)
{
    const std::vector<std::string> &keys = route_keys();
    ASSERT_FALSE(keys.empty());
    std::vector<Hostile> reqs = hostile_requests("/0000", "/nonexistent/marker");
    std::map<std::string, std::string> kinds; // kind -> all its bodies
    for (const Hostile &h : reqs) {
        if (h.name.compare(0, 15, "POST every key ") != 0) continue;
        kinds[h.name.substr(15, h.name.find(" #") - 15)] += h.req.body;
    }
    EXPECT_EQ(14u, kinds.size());
    for (const auto &k : kinds)
        for (const std::string &key : keys)
            EXPECT_NE(std::string::npos, k.second.find(json_text(key) + ":")) << k.first << " " << key;
    for (const Hostile &h : reqs) {
        EXPECT_LT(h.req.query.size(), 1024u) << h.name;
        if (h.req.method == "POST" && h.name.find("100 KB") == std::string::npos) {
            EXPECT_LT(h.req.body.size(), 30719u) << h.name;
        }
    }
}

} // namespace
