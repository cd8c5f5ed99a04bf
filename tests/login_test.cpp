// Log-in, mailed-link log-in, log-out and the language files, end to end
// through nvrweb.cgi with a fake daemon and a settings database.
#include <gtest/gtest.h>

#include <algorithm>

#include <json-c/json.h>
#include <sys/stat.h>

#include "common/records/login.h"
#include "tests/support/accounts_fixture.h"

namespace {

// Keys of a JSON object body in their order; empty when it is not one.
std::vector<std::string> keys_of(const std::string &body)
{
    std::vector<std::string> keys;
    json_object *obj = json_tokener_parse(body.c_str());
    if (!obj) return keys;
    if (json_object_is_type(obj, json_type_object)) {
        json_object_object_foreach(obj, key, value) {
            (void)value;
            keys.push_back(key);
        }
    }
    json_object_put(obj);
    return keys;
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

std::string login_body(const std::string &name, const std::string &md5)
{
    return "{\"userName\":\"" + name + "\",\"md5\":\"" + md5 + "\"}";
}

class LoginTest : public AccountsFixture {
protected:
    // A request that sends one operation-log record (the log-out) after a
    // request under test: once it has arrived, everything the earlier
    // process sent has arrived too.
    std::vector<OpLogRecord> oplogs_after_sentinel()
    {
        size_t before = daemon.count();
        EXPECT_EQ("OK", post("/1014", "").body());
        EXPECT_TRUE(daemon.wait_requests(before + 1));
        return oplogs();
    }
};

TEST_F(LoginTest, AnswersAccountAndRecordsLogIn)
{
    UserRecord u = store_user(4, "alice", MD5_SECRET, 1);
    u.permission = 5;
    u.remotePermission = 6;
    u.localCamera = 1;
    u.remoteShutdown = 1;
    snprintf(u.localliveview, sizeof u.localliveview, "1010");
    snprintf(u.remoteplayback, sizeof u.remoteplayback, "0001");
    ASSERT_EQ(0, write_user(QXDB_PATH, &u));
    ASSERT_EQ(0, set_param_value(QXDB_PATH, "model", "NVR-16"));
    ASSERT_EQ(0, set_param_int(QXDB_PATH, "failover_mode", 3));

    // The digest compares without regard to case.
    std::string upper = MD5_SECRET;
    for (char &c : upper) c = static_cast<char>(toupper(c));
    ProcResult r = post("/1000", login_body("alice", upper), {{"REMOTE_ADDR", "10.1.2.3"}});
    EXPECT_NE(std::string::npos, r.headers().find("Content-type: text/plain"));
    const std::vector<std::string> expected = {
        "type", "userName", "permission", "localLiveView", "localPlayback", "localRetrieve",
        "localSmartAnalysis", "localEvent", "localCamera", "localStorage", "localSettings",
        "localStatus", "localShutdown", "localliveview", "localplayback", "remotePermisson",
        "remoteLiveView", "remotePlayback", "remoteRetrieve", "remoteSmartAnalysis", "remoteEvent",
        "remoteCamera", "remoteStorage", "remoteSettings", "remoteStatus", "remoteShutdown",
        "remoteliveview", "remoteplayback", "sessionId", "failoverMode", "sameChannel",
        "hardwareVersion", "softwareVersion", "model"};
    EXPECT_EQ(expected, keys_of(r.body())) << r.body();
    std::string b = r.body();
    EXPECT_NE(std::string::npos, b.find("\"type\":1,\"userName\":\"alice\",\"permission\":5,"));
    EXPECT_NE(std::string::npos, b.find("\"localCamera\":1,"));
    EXPECT_NE(std::string::npos, b.find("\"localliveview\":\"1010\",\"localplayback\":\"\","
                                        "\"remotePermisson\":6,"));
    EXPECT_NE(std::string::npos, b.find("\"remoteShutdown\":1,\"remoteliveview\":\"\","
                                        "\"remoteplayback\":\"0001\","));
    EXPECT_NE(std::string::npos, b.find("\"failoverMode\":3,\"sameChannel\":0,"
                                        "\"hardwareVersion\":\"V1.1\",\"softwareVersion\":"
                                        "\"7x.7.0.9\",\"model\":\"NVR-16\"}"));
    std::string sid = json_text(b, "sessionId");
    EXPECT_EQ(32u, sid.size());
    EXPECT_EQ(std::string::npos, sid.find_first_not_of("0123456789"));

    // The log-in is recorded under the name the request gave.
    ASSERT_TRUE(daemon.wait_requests(1));
    std::vector<OpLogRecord> logs = oplogs();
    ASSERT_EQ(1u, logs.size());
    EXPECT_EQ(4, logs[0].main_type);
    EXPECT_EQ(201, logs[0].sub_type);
    EXPECT_EQ(900, logs[0].param_type);
    EXPECT_STREQ("alice", logs[0].user_name);
    EXPECT_STREQ("10.1.2.3", logs[0].client_addr);

    // The certificate directories exist after a log-in.
    struct stat st;
    EXPECT_EQ(0, stat(root.host("/mnt/nand/ssl/tmp").c_str(), &st));
}

TEST_F(LoginTest, SessionIdsDifferWithinOneSecond)
{
    store_user(0, "admin", MD5_ADMIN, 0);
    std::string a = json_text(post("/1000", login_body("admin", MD5_ADMIN)).body(), "sessionId");
    std::string b = json_text(post("/1000", login_body("admin", MD5_ADMIN)).body(), "sessionId");
    EXPECT_EQ(32u, a.size());
    EXPECT_NE(a, b);
}

TEST_F(LoginTest, RefusedAccountsAndDigests)
{
    store_user(0, "admin", MD5_ADMIN, 0);
    store_user(1, "guard", MD5_SECRET, 3);                // level 3: no web log-in
    store_user(2, "gone", MD5_SECRET, 1, /*enable=*/0);   // deleted slot
    store_user(3, "", "", 1);                             // nameless slot without digest
    store_user(4, "nodigest", "", 1);                     // empty stored digest

    struct Case {
        const char *body;
        const char *answer;
    } cases[] = {
        {"{\"userName\":\"admin\",\"md5\":\"00000000000000000000000000000000\"}", "{\"type\":-1}"},
        {"{\"userName\":\"nobody\",\"md5\":\"\"}", "{\"type\":-1}"},
        {"{\"userName\":\"nobody\",\"md5\":\"" MD5_ADMIN "\"}", "{\"type\":-1}"},
        {"{\"userName\":\"guard\",\"md5\":\"" MD5_SECRET "\"}", "{\"type\":-2}"},
        {"{\"userName\":\"guard\",\"md5\":\"bad\"}", "{\"type\":-2}"},
        {"{\"userName\":\"gone\",\"md5\":\"" MD5_SECRET "\"}", "{\"type\":-1}"},
        {"{\"userName\":\"\",\"md5\":\"\"}", "{\"type\":-1}"},
        {"{\"md5\":\"\"}", "{\"type\":-1}"},
        {"{\"userName\":\"nodigest\",\"md5\":\"\"}", "{\"type\":-1}"},
        {"{\"userName\":[1],\"md5\":{}}", "{\"type\":-1}"},
    };
    for (const Case &c : cases) {
        ProcResult r = post("/1000", c.body);
        EXPECT_EQ(c.answer, r.body()) << c.body;
        EXPECT_NE(std::string::npos, r.headers().find("text/plain")) << c.body;
    }
    // Not JSON, or not an object: no answer at all.
    for (const char *body : {"", "{\"userName\":", "[1,2]", "\"admin\""})
        EXPECT_EQ("", post("/1000", body).answer()) << body;

    // Refused log-ins are not recorded: only the sentinel's record arrives.
    std::vector<OpLogRecord> logs = oplogs_after_sentinel();
    ASSERT_EQ(1u, logs.size());
    EXPECT_EQ(202, logs[0].sub_type);
}

TEST_F(LoginTest, NamesCountToThirtyOneCharacters)
{
    const std::string name31(31, 'n');
    store_user(0, (name31 + "-first").c_str(), MD5_ADMIN, 2);
    ProcResult r = post("/1000", login_body(name31 + "-other", MD5_ADMIN));
    EXPECT_EQ("2", json_text(r.body(), "type"));
    EXPECT_EQ("{\"type\":-1}", post("/1000", login_body(name31.substr(1), MD5_ADMIN)).body());
}

TEST_F(LoginTest, SameChannelFlag)
{
    store_user(0, "admin", MD5_ADMIN, 0);
    for (auto c : {std::make_pair(1, "0"), std::make_pair(2, "1"), std::make_pair(0, "0")}) {
        ASSERT_EQ(0, set_param_int(QXDB_PATH, "same_channel_exist", c.first));
        EXPECT_EQ(c.second, json_text(post("/1000", login_body("admin", MD5_ADMIN)).body(),
                                      "sameChannel"))
            << c.first;
    }
}

TEST_F(LoginTest, LogoutRecordsCookieUser)
{
    ProcResult r = post("/1014", "", {{"HTTP_COOKIE", "lang=en; userName=alice; sid=42"}});
    EXPECT_EQ("OK", r.body());
    ASSERT_TRUE(daemon.wait_requests(1));
    std::vector<OpLogRecord> logs = oplogs();
    ASSERT_EQ(1u, logs.size());
    EXPECT_EQ(202, logs[0].sub_type);
    EXPECT_EQ(900, logs[0].param_type);
    EXPECT_STREQ("alice", logs[0].user_name);
}

TEST_F(LoginTest, RecordNameFieldHoldsOnlyTheLoggedInName)
{
    store_user(0, "acc_rec", MD5_ADMIN, 0);
    store_user(1, std::string(40, 'L').c_str(), MD5_SECRET, 1);
    // The cookie's name is copied into the record first and the log-in's name
    // over it: nothing of the first may stay behind the second.
    struct Case {
        const char *cookie;
        std::string login, digest, recorded;
    } cases[] = {
        {"userName=someone_else", "acc_rec", MD5_ADMIN, "acc_rec"},
        {"lang=en; userName=x", "acc_rec", MD5_ADMIN, "acc_rec"},
        {"", "acc_rec", MD5_ADMIN, "acc_rec"},
        {"userName=someone_else", std::string(70, 'L'), MD5_SECRET, std::string(63, 'L')},
    };
    for (const Case &c : cases) {
        daemon.clear();
        post("/1000", login_body(c.login, c.digest), {{"HTTP_COOKIE", c.cookie}});
        ASSERT_TRUE(daemon.wait_requests(1)) << c.cookie;
        std::vector<OpLogRecord> logs = oplogs();
        ASSERT_EQ(1u, logs.size()) << c.cookie;
        std::string want = c.recorded;
        want.resize(sizeof logs[0].user_name, '\0');
        EXPECT_EQ(want, std::string(logs[0].user_name, sizeof logs[0].user_name)) << c.cookie;
        for (unsigned char b : logs[0].reserved2) ASSERT_EQ(0, b) << c.cookie;
    }
}

// ---- Mailed-link log-in ---------------------------------------------------------------------

class LoginMailTest : public AccountsFixture {
protected:
    ProcResult mail_login(const std::string &query, const char *host = "192.168.1.9:8080")
    {
        CgiRequest req;
        req.route = "/1018";
        req.query = query;
        req.env["HTTP_HOST"] = host;
        req.env["NVRWEB_TIME_SCALE"] = "0.01";
        return run_cgi(root, req);
    }
};

TEST_F(LoginMailTest, AcceptedLinkSetsCookiesAndRedirects)
{
    daemon.on(IPC_MAIL_LOGIN).reply_int(0);
    ProcResult r = mail_login("token=abc&x=1");
    std::string h = r.out;
    for (const char *cookie : {"userName=temp;", "userType=2;", "permission=0;", "sessionId=0;",
                               "language=en-US;"}) {
        size_t p = h.find(std::string("Set-Cookie: ") + cookie);
        ASSERT_NE(std::string::npos, p) << cookie << "\n" << h;
        std::string line = h.substr(p, h.find("\r\n", p) - p);
        EXPECT_NE(std::string::npos, line.find("domain=192.168.1.9;")) << line;
        EXPECT_NE(std::string::npos, line.find("path=/")) << line;
    }
    EXPECT_NE(std::string::npos, h.find("Location: ../../html/index.html\r\n\r\n"));
    EXPECT_LT(h.rfind("Set-Cookie"), h.find("Location"));
    EXPECT_EQ(0u, h.find("Status: 302 Found\r\nSet-Cookie: ")) << h;

    ASSERT_EQ(1u, daemon.count());
    FakeRequest req = daemon.requests()[0];
    MailLoginRequest payload;
    ASSERT_TRUE(req.as(&payload));
    EXPECT_STREQ("token=abc&x=1", payload.query);
}

TEST_F(LoginMailTest, CookieDomainOnlyForHostNamesAndIpv4)
{
    daemon.on(IPC_MAIL_LOGIN).reply_int(0);
    struct Row {
        const char *host, *attr; // attr "" : no domain attribute at all
    };
    const Row rows[] = {
        {"nvr.example-site.lan:443", "; domain=nvr.example-site.lan;"},
        {"10.0.0.1", "; domain=10.0.0.1;"},
        {"[fe80::1]:8080", ""},
        {"[::1]", ""},
        {"evil.lan;secure;domain=x", ""},
        {"a b", ""},
        {"", ""},
    };
    for (const Row &row : rows) {
        std::string h = mail_login("token=a", row.host).out;
        size_t p = h.find("Set-Cookie: userName=temp");
        ASSERT_NE(std::string::npos, p) << row.host;
        std::string line = h.substr(p, h.find("\r\n", p) - p);
        if (*row.attr) EXPECT_NE(std::string::npos, line.find(row.attr)) << line;
        else EXPECT_EQ(std::string::npos, line.find("domain")) << line;
        // name=value; [domain=...;] expires=...; path=/ : no attribute smuggled in
        EXPECT_EQ(*row.attr ? 3 : 2, std::count(line.begin(), line.end(), ';')) << line;
    }
}

TEST_F(LoginMailTest, RefusedShortAndMissingReplies)
{
    daemon.on(IPC_MAIL_LOGIN).reply_int(3);
    ProcResult r = mail_login("token=");
    EXPECT_EQ(std::string::npos, r.out.find("Set-Cookie"));
    EXPECT_NE(std::string::npos, r.out.find("Location: ../../html/home.html"));
    EXPECT_EQ(0u, r.out.find("Status: 302 Found\r\nLocation: ")) << r.out;

    // A query longer than the payload is cut to 255 characters.
    mail_login(std::string(400, 'q'));
    MailLoginRequest payload;
    ASSERT_TRUE(daemon.requests().back().as(&payload));
    EXPECT_EQ(std::string(255, 'q'), std::string(payload.query));

    daemon.on(IPC_MAIL_LOGIN).reply(std::string("\0\0", 2));
    EXPECT_EQ("CGI ERROR", mail_login("token=a").body());

    daemon.on(IPC_MAIL_LOGIN).silent();
    EXPECT_EQ("CGI ERROR", mail_login("token=a").body());
}

// ---- Language files ---------------------------------------------------------------------------

const char kLangDir[] = "/opt/app/www/webfile/json/";

std::string language_list(int entries, const std::string &extra = "")
{
    std::string s = "{\"defaultLan\":\"en-US\"," + extra + "\"list\":[";
    for (int i = 0; i < entries; i++) {
        if (i) s += ",";
        s += "{\"value\":\"l" + std::to_string(i) + "\",\"name\":\"L" + std::to_string(i) +
             "\",\"isDefault\":" + (i == 0 ? "true" : "false") + "}";
    }
    return s + "]}";
}

class LoginLanguageTest : public AccountsFixture {
protected:
    std::string list_path = std::string(kLangDir) + "languages.json";

    LoginLanguageTest() { root.write(list_path, "old list\n"); }

    ProcResult lang_json(const std::string &query)
    {
        CgiRequest req;
        req.route = "/json";
        req.query = query;
        return run_cgi(root, req);
    }
};

TEST_F(LoginLanguageTest, ListReplacedOnlyWhenValid)
{
    const std::string refused[] = {
        language_list(18),
        language_list(19, "\"extra\":1,"),
        "{\"defaultLan\":\"\",\"list\":" + language_list(19).substr(language_list(19).find('[')),
        "{\"defaultLan\":5,\"list\":[]}",
        "{\"defaultLan\":\"en\",\"list\":{}}",
        "[1]",
        "{\"defaultLan\":\"en\",\"list\":[",
    };
    for (const std::string &body : refused) {
        EXPECT_EQ("", post("/1001", body).answer()) << body;
        EXPECT_EQ("old list\n", root.read(list_path));
    }
    // One bad entry among 19 refuses the whole list.
    const std::pair<const char *, const char *> bad_entries[] = {
        {"\"isDefault\":false", "\"isDefault\":0"},
        {"\"name\":\"L3\"", "\"name\":\"\""},
        {"\"value\":\"l4\"", "\"value\":4"},
    };
    for (const auto &e : bad_entries) {
        std::string body = language_list(19);
        body.replace(body.find(e.first), strlen(e.first), e.second);
        EXPECT_EQ("", post("/1001", body).answer()) << body;
    }
    EXPECT_EQ("old list\n", root.read(list_path));

    std::string good = language_list(19);
    EXPECT_EQ("OK", post("/1001", good).body());
    EXPECT_EQ(good + "\n", root.read(list_path));
    EXPECT_FALSE(root.exists(std::string(kLangDir) + "languages_bak.json"));
}

TEST_F(LoginLanguageTest, FailedWriteKeepsOldList)
{
    // The backup file cannot be created: nothing answered, list untouched.
    ASSERT_EQ(0, mkdir(root.host(std::string(kLangDir) + "languages_bak.json").c_str(), 0755));
    EXPECT_EQ("", post("/1001", language_list(19)).answer());
    EXPECT_EQ("old list\n", root.read(list_path));
    rmdir(root.host(std::string(kLangDir) + "languages_bak.json").c_str());

    // The list cannot be replaced (a non-empty directory is in its place):
    // nothing answered and no backup left behind.
    std::string dir_list = "/opt/app/www/webfile/json/languages.json";
    unlink(root.host(dir_list).c_str());
    ASSERT_EQ(0, mkdir(root.host(dir_list).c_str(), 0755));
    root.write(dir_list + "/keep", "x");
    EXPECT_EQ("", post("/1001", language_list(19)).answer());
    EXPECT_EQ("x", root.read(dir_list + "/keep"));
    EXPECT_FALSE(root.exists(std::string(kLangDir) + "languages_bak.json"));
}

TEST_F(LoginLanguageTest, SectionOfPage)
{
    root.write(std::string(kLangDir) + "en-US.json",
               "// sample\n"
               "{//login.json\n"
               "\"a\": \"A\",\n"
               "\"b\": \"B\"\n"
               "}//login.json\n"
               "{//config=user.json\n"
               "\"c\": \"C\"\n"
               "}//config=user.json\n"
               "{//config.json\n"
               "\"d\": \"D\"\n"
               "}//config.json\n");
    ProcResult r = lang_json("lang=en-US&page=login");
    EXPECT_NE(std::string::npos, r.headers().find("application/json"));
    EXPECT_EQ("{\n\"a\": \"A\",\n\"b\": \"B\"\n\n}", r.body());
    // Any order; "page" last without a trailing '&'; a sub-page.
    EXPECT_EQ("{\n\"c\": \"C\"\n\n}", lang_json("sub=user&lang=en-US&page=config").body());
    EXPECT_EQ("{\n\"d\": \"D\"\n\n}", lang_json("lang=en-US&sub=&page=config").body());
    // No such section: an empty JSON body.
    r = lang_json("lang=en-US&page=nothing");
    EXPECT_EQ("", r.body());
    EXPECT_NE(std::string::npos, r.headers().find("application/json"));
}

TEST_F(LoginLanguageTest, RefusedPagesAndLanguages)
{
    root.write(std::string(kLangDir) + "en-US.json", "{//login.json\n\"a\": 1\n}//login.json\n");
    root.write("/opt/app/www/webfile/secret.json", "{//login.json\n\"s\": 1\n}//login.json\n");
    EXPECT_EQ("ERROR PAGE.", lang_json("lang=en-US").body());
    EXPECT_EQ("ERROR PAGE.", lang_json("lang=en-US&page=").body());
    EXPECT_EQ("ERROR PAGE.", lang_json("lang=en-US&page=" + std::string(128, 'p')).body());
    for (const std::string &lang :
         {std::string("../secret"), std::string("..%2Fsecret"), std::string("en-US/../en-US"),
          std::string("de-DE"), std::string(""), std::string(64, 'e'), std::string("en US")}) {
        ProcResult r = lang_json("lang=" + lang + "&page=login");
        EXPECT_EQ("ERROR LANG.", r.body()) << lang;
        EXPECT_NE(std::string::npos, r.headers().find("text/plain")) << lang;
    }
}

} // namespace
