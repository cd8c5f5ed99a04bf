// The session store: ids, idle time, capacity, a damaged session file,
// "last used", the end of a session, and the ids a request carries.
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <set>

#include "common/records/user.h"
#include "common/sessions.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "tests/support/settings_root.h"

namespace {

class SessionStoreTest : public SettingsRootTest {
protected:
    void SetUp() override
    {
        SettingsRootTest::SetUp();
        ASSERT_EQ(0, set_param_int(db, SESSION_CHECK_KEY, SESSION_CHECK_ENFORCE));
    }
    std::string start(int64_t at, int level = 2)
    {
        char id[SESSION_ID_DIGITS + 1] = "";
        EXPECT_EQ(0, session_start(db, SESSION_NO_ACCOUNT, "temp", level, at, id));
        return id;
    }
    SessionLookup lookup(const std::string &id, int64_t now)
    {
        const char *ids[] = {id.c_str()};
        SessionLookup s;
        EXPECT_EQ(0, session_lookup(db, ids, 1, now, &s));
        return s;
    }
    const int64_t t0 = 1700000000;
};

TEST_F(SessionStoreTest, IdsAreRandomDigits)
{
    std::set<std::string> seen;
    for (int i = 0; i < 50; i++) {
        char id[SESSION_ID_DIGITS + 1];
        ASSERT_EQ(0, get_session_id(id, sizeof id));
        EXPECT_TRUE(session_id_valid(id)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(50u, seen.size());
    char small[SESSION_ID_DIGITS];
    EXPECT_EQ(-1, get_session_id(small, sizeof small));
    for (const char *bad : {"", "0", "1234567890123456789012345678901", "123456789012345678901234567890123",
                            "12345678901234567890123456789o12", " 2345678901234567890123456789012"})
        EXPECT_FALSE(session_id_valid(bad)) << bad;
    EXPECT_FALSE(session_id_valid(nullptr));
}

// Rows: idle setting, age of the session at the lookup -> live, touch due.
TEST_F(SessionStoreTest, IdleTimeAndLastUse)
{
    struct Row {
        const char *idle; // nullptr: default 30 minutes
        int64_t age;
        bool live, stale;
    } rows[] = {
        {nullptr, 0, true, false},       {nullptr, 59, true, false},     {nullptr, 60, true, true},
        {nullptr, 30 * 60, true, true},  {nullptr, 30 * 60 + 1, false, false},
        {"5", 5 * 60 + 1, false, false}, {"5", 4 * 60, true, true},      {"0", 29 * 60, true, true},
        {"x", 31 * 60, false, false},    {nullptr, -31 * 60, false, false}, // clock set back
    };
    for (const Row &row : rows) {
        ASSERT_EQ(0, set_param_value(db, SESSION_IDLE_KEY, row.idle ? row.idle : "30"));
        const std::string id = start(t0);
        SessionLookup s = lookup(id, t0 + row.age);
        EXPECT_EQ(SESSION_CHECK_ENFORCE, s.mode);
        EXPECT_EQ(row.live, s.found) << row.age;
        EXPECT_EQ(row.stale, s.stale) << row.age;
        EXPECT_EQ(row.live ? 2 : -1, s.level) << row.age;
    }
    // A stored use moves the idle time on.
    ASSERT_EQ(0, set_param_int(db, SESSION_IDLE_KEY, 30));
    const std::string id = start(t0);
    ASSERT_EQ(0, session_touch(db, id.c_str(), t0 + 20 * 60));
    EXPECT_TRUE(lookup(id, t0 + 45 * 60).found);
    EXPECT_EQ(t0 + 20 * 60, lookup(id, t0 + 45 * 60).session.last_used);
    // Ended is ended; an unknown id ends nothing.
    const std::string other = start(t0);
    EXPECT_EQ(0, session_end(db, id.c_str()));
    EXPECT_EQ(0, session_end(db, std::string(32, '7').c_str()));
    EXPECT_FALSE(lookup(id, t0).found);
    EXPECT_TRUE(lookup(other, t0).found);
}

// Expired sessions go when a new one starts; of the rest at most SESSION_MAX
// stay, the least recently used leaving first.
TEST_F(SessionStoreTest, StartDropsExpiredAndLeastRecentlyUsed)
{
    std::vector<std::string> ids;
    const std::string old = start(t0 - 3600);
    for (int i = 0; i < SESSION_MAX; i++) ids.push_back(start(t0 + i));
    EXPECT_EQ(SESSION_MAX, session_stored_count());
    EXPECT_FALSE(lookup(old, t0 + SESSION_MAX).found);
    EXPECT_TRUE(lookup(ids[0], t0 + SESSION_MAX).found);
    const std::string next = start(t0 + SESSION_MAX);
    EXPECT_EQ(SESSION_MAX, session_stored_count());
    EXPECT_FALSE(lookup(ids[0], t0 + SESSION_MAX).found);
    EXPECT_TRUE(lookup(ids[1], t0 + SESSION_MAX).found);
    EXPECT_TRUE(lookup(next, t0 + SESSION_MAX).found);
}

// The session file is read like any input: damaged or foreign content names
// no session, and the next log-in stores its own over it.
TEST_F(SessionStoreTest, DamagedSessionFileNamesNoSession)
{
    const std::string live = start(t0);
    const std::string good = root.read("/var/run/sessions");
    ASSERT_EQ(static_cast<size_t>(SESSION_MAX) * sizeof(SessionRecord), good.size());
    std::string unterminated = good, letters = good;
    for (size_t i = 0; i < good.size(); i += sizeof(SessionRecord)) {
        unterminated[i + SESSION_ID_DIGITS] = '7'; // id without its zero
        memset(&unterminated[i + 33], 'u', 64);    // user without its zero
        letters[i + 3] = 'x';
    }
    const struct {
        const char *name;
        std::string content;
        bool found;
    } rows[] = {
        {"empty", "", false},
        {"cut in a record", good.substr(0, 60), false},
        {"noise", std::string(good.size() * 2, '\x5a'), false},
        {"id without zero", unterminated, true},
        {"letters in the id", letters, false},
    };
    for (const auto &row : rows) {
        root.write("/var/run/sessions", row.content);
        SessionLookup s = lookup(live, t0 + 60);
        EXPECT_EQ(row.found, s.found) << row.name;
        if (s.found) {
            EXPECT_EQ(live, s.session.id) << row.name;
            EXPECT_EQ(63u, strlen(s.session.user)) << row.name;
        }
        const std::string next = start(t0 + 60);
        EXPECT_TRUE(lookup(next, t0 + 60).found) << row.name;
        EXPECT_LE(session_stored_count(), 2) << row.name;
    }
}

// An unreadable session file refuses where sessions are checked and changes
// nothing where they are off.
TEST_F(SessionStoreTest, UnreadableSessionFile)
{
    const std::string id = start(t0);
    ASSERT_EQ(0, unlink(root.host("/var/run/sessions").c_str()));
    ASSERT_EQ(0, mkdir(root.host("/var/run/sessions").c_str(), 0700));
    const char *ids[] = {id.c_str()};
    for (int mode : {SESSION_CHECK_OFF, SESSION_CHECK_LOG, SESSION_CHECK_ENFORCE}) {
        ASSERT_EQ(0, set_param_int(db, SESSION_CHECK_KEY, mode));
        SessionLookup s;
        EXPECT_EQ(mode == SESSION_CHECK_OFF ? 0 : -1, session_lookup(db, ids, 1, t0, &s)) << mode;
        EXPECT_EQ(mode == SESSION_CHECK_OFF ? SESSION_CHECK_OFF : SESSION_CHECK_ENFORCE, s.mode) << mode;
        EXPECT_FALSE(s.found) << mode;
    }
    rmdir(root.host("/var/run/sessions").c_str());
}

// The level is the account's current one; a session of an account that is
// gone, renamed or no longer allowed on the web is over.
TEST_F(SessionStoreTest, LevelFollowsTheAccount)
{
    UserRecord u{};
    u.id = 5;
    u.enable = 1;
    snprintf(u.name, sizeof u.name, "%s", "olga");
    u.type = 0;
    ASSERT_EQ(0, write_user(db, &u));
    char id[SESSION_ID_DIGITS + 1];
    ASSERT_EQ(0, session_start(db, 5, "olga", 0, t0, id));
    struct Row {
        int type, enable;
        const char *name;
        int level; // -1: not live
    } rows[] = {{0, 1, "olga", 0}, {1, 1, "olga", 1}, {3, 1, "olga", -1}, {0, 0, "olga", -1}, {0, 1, "olgb", -1}};
    for (const Row &row : rows) {
        u.type = row.type;
        u.enable = row.enable;
        snprintf(u.name, sizeof u.name, "%s", row.name);
        ASSERT_EQ(0, write_user(db, &u));
        SessionLookup s = lookup(id, t0);
        EXPECT_EQ(row.level >= 0, s.found) << row.type << row.enable << row.name;
        EXPECT_EQ(row.level, s.found ? s.level : -1);
    }
}

// Rows: cookie and request text -> the ids taken, in order.
TEST_F(SessionStoreTest, IdsOfARequest)
{
    const std::string a(32, '1'), b(32, '2');
    struct Row {
        std::string cookie, request;
        std::vector<std::string> ids;
    } rows[] = {
        {"sessionId=" + a, "", {a}},
        {"lang=en; sessionId=" + a + "; userName=x", "", {a}},
        {"sessionId=" + a, "{\"sessionId\":\"" + b + "\"}", {a, b}},
        {"sessionId=0", "{\"chnid\":1,\"sessionId\":\"" + b + "\"}", {b}},
        {"", "sessionId=" + b + "&x=1", {b}},
        {"", "x=1&sessionId=" + b, {b}},
        {"", "xsessionId=" + b, {}},
        {"", "{\"sessionId\":" + b + "}", {}},
        {"", "[\"sessionId\",\"" + b + "\"]", {}},
        {"sessionIdx=" + a, "{\"sessionId\":\"" + b + "1\"}", {}},
        {"sessionId=" + a + "9", "", {}},
    };
    for (const Row &row : rows) {
        web_set_request(row.cookie.c_str(), "");
        char ids[2][SESSION_ID_DIGITS + 1];
        int n = session_request_ids(row.request.c_str(), ids);
        std::vector<std::string> got(ids, ids + n);
        EXPECT_EQ(row.ids, got) << row.cookie << " | " << row.request;
    }
    web_set_request(nullptr, nullptr);
}

// Without a database file there are no sessions and nothing is checked (and
// no file is made); an unreadable one refuses.
TEST(SessionStoreFiles, MissingAndBrokenDatabase)
{
    DeviceRoot root;
    setenv("NVRWEB_ROOT", root.path().c_str(), 1);
    nvr_root_reset_for_tests();
    const char *ids[] = {"12345678901234567890123456789012"};
    SessionLookup s;
    EXPECT_EQ(0, session_lookup(QXDB_PATH, ids, 1, 0, &s));
    EXPECT_EQ(SESSION_CHECK_OFF, s.mode);
    EXPECT_EQ(SESSION_CHECK_OFF, session_check_mode(QXDB_PATH));
    EXPECT_FALSE(root.exists("/mnt/nand/app/qxdb.db"));
    root.write("/mnt/nand/app/qxdb.db", std::string(8192, 'x'));
    EXPECT_EQ(-1, session_lookup(QXDB_PATH, ids, 1, 0, &s));
    EXPECT_EQ(SESSION_CHECK_ENFORCE, s.mode);
    EXPECT_FALSE(s.found);
    qxdb_close_all();
    unsetenv("NVRWEB_ROOT");
    nvr_root_reset_for_tests();
}

} // namespace

namespace {

// A fresh database logs requests without a session and keeps sessions 30
// idle minutes; an existing choice survives another init.
TEST(SessionSettingsInit, FactoryValues)
{
    DeviceRoot root;
    auto tool = [&](const std::vector<std::string> &args) {
        std::vector<std::string> argv = program_wrapper();
        argv.push_back(program_path("nvrweb-settings"));
        argv.insert(argv.end(), args.begin(), args.end());
        return run_program(argv, {{"NVRWEB_ROOT", root.path()}}, "");
    };
    ASSERT_EQ(0, tool({"init"}).status);
    EXPECT_EQ("1\n", tool({"param", "get", SESSION_CHECK_KEY}).out);
    EXPECT_EQ("30\n", tool({"param", "get", SESSION_IDLE_KEY}).out);
    ASSERT_EQ(0, tool({"param", "set", SESSION_CHECK_KEY, "2"}).status);
    ASSERT_EQ(0, tool({"init"}).status);
    EXPECT_EQ("2\n", tool({"param", "get", SESSION_CHECK_KEY}).out);
}

} // namespace
