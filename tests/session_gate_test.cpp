// The session check before dispatch, end to end through nvrweb.cgi: who is
// refused where with "session_check" 2, what modes 0 and 1 leave alone, and
// the route table walked against the public and admin-only routes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <set>

#include <json-c/json.h>

#include "common/records/login.h"
#include "common/sessions.h"
#include "common/web_utils.h"
#include "frontend/route_access.h"
#include "frontend/route_table.h"
#include "frontend/session_gate.h"
#include "tests/support/abuse.h"
#include "tests/support/accounts_fixture.h"

namespace {

const char kNoSession[] = "{\"status\":\"NO SESSION\"}\n";
const char kNoPermission[] = "{\"status\":\"NO PERMISSION\"}\n";

// Route codes as the modules register them: "/" and four digits, or a named path.
bool module_route(const std::string &r)
{
    static const std::set<std::string> kNamed = {"/json", "/vb.htm", "/oem", "/dw.cgi", "/ipc"};
    if (kNamed.count(r)) return true;
    if (r.size() != 5 || r[0] != '/') return false;
    for (size_t i = 1; i < r.size(); i++)
        if (r[i] < '0' || r[i] > '9') return false;
    return true;
}

std::vector<std::string> registered_routes()
{
    std::vector<std::string> out;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        const WebRes *r = WebResSlot(slot);
        if (r && module_route(r->path)) out.push_back(r->path);
    }
    return out;
}

std::string json_text(const std::string &body, const char *key)
{
    std::string out;
    json_object *obj = json_tokener_parse(body.c_str());
    json_object *v = nullptr;
    if (obj && json_object_object_get_ex(obj, key, &v)) out = json_object_get_string(v);
    if (obj) json_object_put(obj);
    return out;
}

bool refused(const ProcResult &r, const char *body)
{
    return r.headers().find("Status: 403 Forbidden\r\n") == 0 &&
           r.headers().find("Content-type: application/json\r\n") != std::string::npos && r.body() == body;
}

class SessionGateTest : public AccountsFixture {
protected:
    void SetUp() override
    {
        store_user(0, "admin", MD5_ADMIN, 0);
        store_user(1, "oper", MD5_SECRET, 1);
        ASSERT_EQ(0, set_param_int(QXDB_PATH, SESSION_CHECK_KEY, SESSION_CHECK_ENFORCE));
    }
    // A session started `ago` seconds back.
    std::string start(int slot, const char *user, int level, int64_t ago = 0)
    {
        char id[SESSION_ID_DIGITS + 1] = "";
        EXPECT_EQ(0, session_start(QXDB_PATH, slot, user, level, time(nullptr) - ago, id));
        return id;
    }
    ProcResult get(const std::string &route, const std::string &cookie, const std::string &query = "")
    {
        CgiRequest req;
        req.route = route;
        req.query = query;
        if (!cookie.empty()) req.env["HTTP_COOKIE"] = cookie;
        req.env["NVRWEB_TIME_SCALE"] = "0.001";
        return run_cgi(root, req);
    }
    ProcResult post_as(const std::string &route, const std::string &body, const std::string &cookie)
    {
        return post(route, body, {{"HTTP_COOKIE", cookie}, {"NVRWEB_TIME_SCALE", "0.001"}});
    }
};

// A curl session without a cookie is refused on every route but the public
// ones, an operator's on every admin route; nothing of either reaches a
// handler, the daemon or a file.
TEST_F(SessionGateTest, RouteTableWalkRefusesWithoutSessionAndPermission)
{
    const std::string oper = "sessionId=" + start(1, "oper", 1);
    daemon.clear();
    // The settings database is compared by its contents; readers fill the
    // read caches and the session database in /var/run.
    auto quiet = [](const TreeSnapshot &snap) {
        TreeSnapshot out;
        for (const auto &kv : snap) {
            const std::string &p = kv.first;
            const bool cache = p.size() > 6 && p.compare(p.size() - 6, 6, ".cache") == 0;
            if (p.compare(0, 21, "/mnt/nand/app/qxdb.db") != 0 && p != "/var/run/sessions" && !cache)
                out.insert(kv);
        }
        return out;
    };
    auto contents = [] {
        std::string all;
        qxdb_transact(QXDB_PATH, QXDB_READ, [&](QxDbTxn &txn) {
            txn.param_scan([&](const char *k, const char *v) { all += std::string(k) + "=" + v + "\n"; });
            std::vector<std::string> tables;
            txn.tables(&tables);
            for (const std::string &t : tables)
                txn.scan(t.c_str(), 0, INT64_MAX, [&](int64_t key, const void *data, size_t len) {
                    all += t + "/" + std::to_string(key) + ":" + (data ? std::string(static_cast<const char *>(data), len) : std::string());
                });
            return 0;
        });
        return all;
    };
    const std::string stored = contents();
    TreeSnapshot before = quiet(snapshot_tree(root.path()));
    int publics = 0, admins = 0;
    for (const std::string &route : registered_routes()) {
        const RouteAccess access = route_access(route.c_str());
        if (access == ROUTE_PUBLIC) {
            publics++;
            continue;
        }
        EXPECT_TRUE(refused(get(route, ""), kNoSession)) << route;
        if (access == ROUTE_ADMIN) {
            admins++;
            EXPECT_TRUE(refused(get(route, oper), kNoPermission)) << route;
        }
    }
    EXPECT_EQ(4, publics);
    EXPECT_GT(admins, 30);
    EXPECT_EQ(0u, daemon.count());
    EXPECT_EQ(stored, contents());
    TreeSnapshot after = quiet(snapshot_tree(root.path()));
    EXPECT_EQ(before.size(), after.size());
    for (const auto &kv : after) {
        auto it = before.find(kv.first);
        ASSERT_NE(before.end(), it) << "created " << kv.first;
        EXPECT_TRUE(it->second.size == kv.second.size && it->second.mtime_ns == kv.second.mtime_ns)
            << "changed " << kv.first;
    }
}

// The same walk in process for every identity: whom the gate lets through.
TEST_F(SessionGateTest, RouteTableWalkServesByLevel)
{
    const std::string ids[] = {"", start(1, "oper", 1), start(0, "admin", 0),
                               start(SESSION_NO_ACCOUNT, "temp", 2)};
    for (const std::string &route : registered_routes()) {
        const RouteAccess access = route_access(route.c_str());
        for (const std::string &id : ids) {
            const std::string cookie = id.empty() ? "" : "sessionId=" + id;
            web_set_request(cookie.c_str(), "10.0.0.9");
            CgiOutcome want = CGI_ANSWERED;
            if (access != ROUTE_PUBLIC && id.empty()) want = CGI_NO_SESSION;
            else if (access == ROUTE_ADMIN && id != ids[2]) want = CGI_NO_PERMISSION;
            EXPECT_EQ(want, session_gate(route.c_str(), "")) << route << " " << cookie;
        }
    }
    web_set_request(nullptr, nullptr);
}

// Every route of the admin groups that a module registers is in the admin
// table, whichever module registers it; the public routes are exactly the
// log-in's.
TEST(RouteAccessTable, AdminGroupsAndPublicRoutes)
{
    const std::set<std::string> admin_groups = {
        // accounts
        "/6070", "/6071", "/6072", "/6073", "/6074", "/6075", "/6076", "/6077",
        // firmware of the recorder and the cameras
        "/1010", "/1011", "/1019", "/1034", "/6082", "/6083", "/6084", "/6085", "/6086", "/6087", "/6088",
        "/6089", "/2078", "/2079", "/2080", "/2081", "/oem",
        // maintenance and factory settings
        "/1004", "/1006", "/1007", "/1008", "/1013", "/1017", "/1033", "/vb.htm", "/ipc"};
    const std::set<std::string> publics = {"/1000", "/1014", "/1018", "/json"};
    std::set<std::string> seen;
    for (const std::string &route : registered_routes()) {
        const RouteAccess access = route_access(route.c_str());
        if (admin_groups.count(route)) {
            EXPECT_EQ(ROUTE_ADMIN, access) << route;
        }
        EXPECT_EQ(publics.count(route) != 0, access == ROUTE_PUBLIC) << route;
        seen.insert(route);
    }
    // The table: each route once, each a route code.
    int count = 0;
    const RouteAccessEntry *table = route_access_table(&count);
    std::set<std::string> listed;
    for (int i = 0; i < count; i++) {
        EXPECT_TRUE(module_route(table[i].route)) << table[i].route;
        EXPECT_TRUE(listed.insert(table[i].route).second) << "twice: " << table[i].route;
    }
    for (const std::string &r : publics) EXPECT_TRUE(seen.count(r)) << r << " is not registered";
    EXPECT_EQ(ROUTE_SESSION, route_access("/9999"));
    EXPECT_EQ(ROUTE_SESSION, route_access(nullptr));
}

// Rows: a session's state and how it is presented -> the answer.
TEST_F(SessionGateTest, SessionsByStateAndCarrier)
{
    // (A session started "earlier" ends those used "later" by over the idle
    // time, as after the clock was set back: the old ones come first.)
    const std::string idle = start(0, "admin", 0, 31 * 60);
    const std::string near = start(1, "oper", 1, 29 * 60);
    const std::string admin = start(0, "admin", 0);
    const std::string oper = start(1, "oper", 1);
    const std::string mail = start(SESSION_NO_ACCOUNT, "temp", 2);
    const std::string gone = start(2, "carl", 1);           // account deleted below
    const std::string renamed = start(3, "dora", 0);        // slot now holds another name
    store_user(2, "carl", MD5_SECRET, 1, 0);
    store_user(3, "eve", MD5_SECRET, 0);
    std::string forged = admin; // right selector, wrong rest
    forged[SESSION_ID_DIGITS - 1] = forged[SESSION_ID_DIGITS - 1] == '9' ? '0' : '9';

    struct Row {
        const char *name;
        std::string route, cookie, body; // body "" : GET with `query`
        std::string query;
        const char *refusal; // nullptr: served
    } rows[] = {
        {"admin lists accounts", "/6070", "sessionId=" + admin, "", "", nullptr},
        {"operator lists accounts", "/6070", "sessionId=" + oper, "", "", kNoPermission},
        {"operator reads motion", "/6010", "sessionId=" + oper, "{\"chnid\":0}", "", nullptr},
        {"mailed link reads motion", "/6010", "sessionId=" + mail, "{\"chnid\":0}", "", nullptr},
        {"mailed link adds a user", "/6071", "sessionId=" + mail, "{}", "", kNoPermission},
        {"idle 31 minutes", "/6010", "sessionId=" + idle, "{\"chnid\":0}", "", kNoSession},
        {"idle 29 minutes", "/6010", "sessionId=" + near, "{\"chnid\":0}", "", nullptr},
        {"account deleted", "/6010", "sessionId=" + gone, "{\"chnid\":0}", "", kNoSession},
        {"slot renamed", "/6070", "sessionId=" + renamed, "", "", kNoSession},
        {"forged id", "/6070", "sessionId=" + forged, "", "", kNoSession},
        {"the old mailed-link id", "/6010", "sessionId=0", "{\"chnid\":0}", "", kNoSession},
        {"id too long", "/6070", "sessionId=" + admin + "1", "", "", kNoSession},
        {"id of letters", "/6070", "sessionId=" + std::string(32, 'a'), "", "", kNoSession},
        {"other cookie name", "/6070", "xsessionId=" + admin, "", "", kNoSession},
        {"among other cookies", "/6070", "lang=en; userName=admin; sessionId=" + admin, "", "", nullptr},
        {"stale cookie, key in body", "/6010", "sessionId=0", "{\"chnid\":0,\"sessionId\":\"" + oper + "\"}", "",
         nullptr},
        {"key in query", "/6070", "", "", "x=1&sessionId=" + admin, nullptr},
        {"key as a number", "/6010", "", "{\"chnid\":0,\"sessionId\":" + oper + "}", "", kNoSession},
    };
    for (const Row &row : rows) {
        ProcResult r = row.body.empty() ? get(row.route, row.cookie, row.query) : post_as(row.route, row.body, row.cookie);
        if (row.refusal) {
            EXPECT_TRUE(refused(r, row.refusal)) << row.name << "\n" << r.out;
        } else {
            EXPECT_EQ(std::string::npos, r.out.find("403 Forbidden")) << row.name << "\n" << r.out;
            EXPECT_NE("", r.answer()) << row.name;
        }
    }
}

// The log-in's id opens the routes, the log-out closes them; a refused
// account change stores nothing.
TEST_F(SessionGateTest, LogInLogOutAndRefusalsChangeNothing)
{
    ProcResult login = post("/1000", "{\"userName\":\"oper\",\"md5\":\"" MD5_SECRET "\"}");
    const std::string id = json_text(login.body(), "sessionId");
    ASSERT_TRUE(session_id_valid(id.c_str())) << login.out;
    const std::string cookie = "sessionId=" + id;
    EXPECT_FALSE(refused(get("/6042", cookie), kNoSession));

    const std::string add = "{\"name\":\"mallory\",\"password\":\"" MD5_SECRET
                            "\",\"type\":0,\"permission\":0,\"remotePermission\":0}";
    ASSERT_TRUE(daemon.wait_requests(1)); // the log-in's operation log, read by the daemon in its own time
    daemon.clear();
    EXPECT_TRUE(refused(post_as("/6071", add, cookie), kNoPermission));
    EXPECT_TRUE(refused(post("/6071", add), kNoSession));
    UserRecord u;
    EXPECT_EQ(1, read_user_by_name(QXDB_PATH, &u, "mallory"));
    EXPECT_EQ(0u, daemon.count());

    // An upload is refused before its body is stored anywhere.
    CgiRequest up;
    up.method = "POST";
    up.route = "/6321";
    up.content_type = "multipart/form-data; boundary=XyZ";
    up.body = "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"bell.wav\"\r\n\r\n"
              "RIFF\r\n--XyZ--\r\n";
    const std::vector<std::string> tmp_before = root.list("/tmp");
    EXPECT_TRUE(refused(run_cgi(root, up), kNoSession));
    up.env["HTTP_COOKIE"] = "sessionId=" + id;
    up.route = "/1008";
    EXPECT_TRUE(refused(run_cgi(root, up), kNoPermission));
    EXPECT_EQ(tmp_before, root.list("/tmp"));
    up.route = "/6321";
    EXPECT_FALSE(refused(run_cgi(root, up), kNoSession));
    EXPECT_NE(tmp_before, root.list("/tmp"));

    EXPECT_EQ("OK", post_as("/1014", "", cookie).body());
    EXPECT_TRUE(refused(get("/6042", cookie), kNoSession));

    // A mailed link's session arrives as its cookie.
    daemon.on(IPC_MAIL_LOGIN).reply_int(0);
    CgiRequest req;
    req.route = "/1018";
    req.query = "token=abc";
    req.env["HTTP_HOST"] = "10.0.0.2";
    req.env["NVRWEB_TIME_SCALE"] = "0.01";
    std::string h = run_cgi(root, req).out;
    size_t p = h.find("Set-Cookie: sessionId=");
    ASSERT_NE(std::string::npos, p) << h;
    const std::string mail = h.substr(p + 22, SESSION_ID_DIGITS);
    ASSERT_TRUE(session_id_valid(mail.c_str())) << h;
    EXPECT_FALSE(refused(get("/6042", "sessionId=" + mail), kNoSession));
    EXPECT_TRUE(refused(get("/6070", "sessionId=" + mail), kNoPermission));
}

// Mode 0 is the back end without sessions; mode 1 answers the same and
// only logs. A value that is no number counts as 0, as a missing key does.
TEST_F(SessionGateTest, OffAndLogOnlyAnswerAsBefore)
{
    struct Row {
        const char *mode;
        bool kept; // sessions kept and requests without one logged
    } rows[] = {{"", false}, {"0", false}, {"1", true}};
    std::string first;
    for (const Row &row : rows) {
        ASSERT_EQ(0, set_param_value(QXDB_PATH, SESSION_CHECK_KEY, row.mode));
        root.write("/mnt/nand/cgi_log.txt", "");
        ProcResult r = get("/6070", "userName=admin");
        if (first.empty()) first = r.out;
        EXPECT_EQ(first, r.out) << row.mode;
        EXPECT_NE(std::string::npos, r.out.find("\"name\":\"oper\"")) << r.out;
        const std::string log = root.read("/mnt/nand/cgi_log.txt");
        EXPECT_EQ(row.kept, log.find("session check (log only): /6070 from") != std::string::npos) << log;
        // The log-in keeps a session only where sessions are checked.
        ProcResult login = post("/1000", "{\"userName\":\"admin\",\"md5\":\"" MD5_ADMIN "\"}");
        const std::string id = json_text(login.body(), "sessionId");
        ASSERT_TRUE(session_id_valid(id.c_str())) << login.out;
        const char *ids[] = {id.c_str()};
        ASSERT_EQ(0, set_param_int(QXDB_PATH, SESSION_CHECK_KEY, 2));
        SessionLookup s;
        ASSERT_EQ(0, session_lookup(QXDB_PATH, ids, 1, time(nullptr), &s));
        EXPECT_EQ(row.kept, s.found) << row.mode;
    }
}

} // namespace
