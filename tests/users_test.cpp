// User accounts (/6070 to /6077, /1024), end to end through nvrweb.cgi with a
// fake daemon and a settings database.
#include <gtest/gtest.h>

#include <json-c/json.h>
#include <sys/stat.h>

#include "tests/support/accounts_fixture.h"

namespace {

enum { kUsersChanged = 3505 };

std::string new_user(const std::string &name, const std::string &extra = "")
{
    return "{\"name\":\"" + name + "\",\"password\":\"" MD5_SECRET
           "\",\"type\":1,\"permission\":0,\"remotePermission\":0" + extra + "}";
}

class UsersTest : public AccountsFixture {
protected:
    UsersTest() { store_user(0, "admin", MD5_ADMIN, 0); }

    // Codes and payload sizes the daemon received, as "code/size" texts.
    std::vector<std::string> traffic() const
    {
        std::vector<std::string> out;
        for (const FakeRequest &r : daemon.requests())
            out.push_back(std::to_string(r.code) + "/" + std::to_string(r.payload.size()));
        return out;
    }

    // Runs a request that writes nothing to the daemon as a sentinel after
    // refused requests: /6077 sends one notice. Returns all traffic then.
    std::vector<std::string> traffic_after_sentinel()
    {
        size_t before = daemon.count();
        EXPECT_EQ("OK", post("/6077", "").body());
        EXPECT_TRUE(daemon.wait_requests(before + 1));
        return traffic();
    }

    ProcResult get(const std::string &route)
    {
        CgiRequest req;
        req.route = route;
        return run_cgi(root, req);
    }

    json_object *user_list()
    {
        ProcResult r = get("/6070");
        EXPECT_NE(std::string::npos, r.headers().find("application/json"));
        return json_tokener_parse(r.body().c_str());
    }

    std::vector<std::string> listed_names()
    {
        std::vector<std::string> names;
        json_object *list = user_list();
        for (size_t i = 0; list && i < json_object_array_length(list); i++) {
            json_object *v = nullptr;
            json_object_object_get_ex(json_object_array_get_idx(list, i), "name", &v);
            names.push_back(v ? json_object_get_string(v) : "?");
        }
        if (list) json_object_put(list);
        return names;
    }
};

TEST_F(UsersTest, AddStoresAccountAndNotifies)
{
    std::string flags = ",\"localCamera\":1,\"remoteEvent\":1,\"remoteShutdown\":0,"
                        "\"localliveview\":\"101\",\"localplayback\":\"" +
                        std::string(40, '1') + "\",\"remoteliveview\":\"0x1\","
                        "\"permission\":-1";
    std::string body = new_user("bob", flags);
    body.replace(body.find("\"permission\":0,"), 15, "");
    ProcResult r = post("/6071", body, {{"HTTP_COOKIE", "userName=admin"}});
    EXPECT_EQ("id=1", r.body());
    EXPECT_NE(std::string::npos, r.headers().find("text/plain"));

    UserRecord u = stored(1);
    EXPECT_EQ(1, u.enable);
    EXPECT_STREQ("bob", u.name);
    EXPECT_STREQ(MD5_SECRET, u.password);
    EXPECT_EQ(1, u.type);
    EXPECT_EQ(-1, u.permission);
    EXPECT_EQ(1, u.localCamera);
    EXPECT_EQ(1, u.remoteEvent);
    EXPECT_EQ(0, u.localLiveView);
    EXPECT_STREQ("0", u.init_text);
    EXPECT_EQ(0x5u, u.chn_mask[0]);          // "101": channels 0 and 2
    EXPECT_EQ(0xFFFFFFFFu, u.chn_mask[1]);   // 40 characters: bits 0..31 only
    EXPECT_EQ(0x4u, u.chn_mask[2]);          // only '1' counts
    EXPECT_EQ(0u, u.chn_mask[3]);

    ASSERT_TRUE(daemon.wait_requests(2));
    EXPECT_EQ((std::vector<std::string>{"3505/0", "3485/672"}), traffic());
    std::vector<OpLogRecord> logs = oplogs();
    EXPECT_EQ(204, logs[0].sub_type);
    EXPECT_EQ(921, logs[0].param_type);
    EXPECT_STREQ("admin", logs[0].user_name);

    // The new account logs in.
    r = post("/1000", "{\"userName\":\"bob\",\"md5\":\"" MD5_SECRET "\"}");
    EXPECT_EQ(0u, r.body().find("{\"type\":1,\"userName\":\"bob\""));
}

TEST_F(UsersTest, AddRefusals)
{
    // Refused without an answer, nothing stored.
    const std::string refused[] = {
        "not json",
        "[1]",
        new_user(""),
        "{\"password\":\"x\",\"type\":1,\"permission\":0,\"remotePermission\":0}",
        "{\"name\":5,\"type\":1,\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"x\",\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"x\",\"type\":4,\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"x\",\"type\":-1,\"permission\":0,\"remotePermission\":0}",
        "{\"name\":\"x\",\"type\":1,\"permission\":-2,\"remotePermission\":0}",
        "{\"name\":\"x\",\"type\":1,\"remotePermission\":0}",
        "{\"name\":\"x\",\"type\":1,\"permission\":0,\"remotePermission\":-2}",
        "{\"name\":\"x\",\"type\":\"1\",\"permission\":0,\"remotePermission\":0}",
    };
    for (const std::string &body : refused) EXPECT_EQ("", post("/6071", body).answer()) << body;
    EXPECT_EQ((std::vector<std::string>{"admin"}), listed_names());
    EXPECT_EQ((std::vector<std::string>{"3505/0"}), traffic_after_sentinel());

    // Names that share their first 31 characters are the same name.
    const std::string name31(31, 'k');
    EXPECT_EQ("id=1", post("/6071", new_user(name31 + "-one")).body());
    EXPECT_EQ("SAMEUSER", post("/6071", new_user(name31 + "-two")).body());
    EXPECT_EQ("SAMEUSER", post("/6071", new_user("admin")).body());
    EXPECT_EQ("id=2", post("/6071", new_user(name31.substr(1))).body());
    // The whole name (up to 63 characters) is stored.
    EXPECT_STREQ((name31 + "-one").c_str(), stored(1).name);
}

TEST_F(UsersTest, FullTableRefusedBeforeParsing)
{
    for (int i = 1; i < 100; i++) store_user(i, ("u" + std::to_string(i)).c_str(), MD5_SECRET, 2);
    EXPECT_EQ("FAILED_FULL", post("/6071", new_user("late")).body());
    EXPECT_EQ("FAILED_FULL", post("/6071", "not json").body());

    // A freed slot is used again.
    EXPECT_EQ("OK", post("/6073", "{\"id\":57,\"type\":2}").body());
    EXPECT_EQ("id=57", post("/6071", new_user("late")).body());
}

TEST_F(UsersTest, EditChangesOnlyTheNamedSlot)
{
    UserRecord before = store_user(3, "carol", MD5_SECRET, 2);
    before.permission = 9;
    before.remotePermission = 8;
    snprintf(before.localliveview, sizeof before.localliveview, "11");
    before.chn_mask[0] = 3;
    before.chn_mask[3] = 0x10;
    ASSERT_EQ(0, write_user(QXDB_PATH, &before));

    ProcResult r = post("/6072", "{\"id\":3,\"type\":1,\"name\":\"carol\",\"password\":\"" MD5_ADMIN
                                 "\",\"remoteStatus\":1,\"localliveview\":\"0001\","
                                 "\"permission\":1,\"remotePermission\":1}");
    EXPECT_EQ("OK", r.body());
    UserRecord u = stored(3);
    EXPECT_STREQ("carol", u.name);
    EXPECT_STREQ(MD5_ADMIN, u.password);
    EXPECT_EQ(1, u.type);
    EXPECT_EQ(1, u.remoteStatus);
    EXPECT_STREQ("0001", u.localliveview);
    EXPECT_EQ(0x8u, u.chn_mask[0]);   // derived anew from the changed string
    EXPECT_EQ(0x10u, u.chn_mask[3]);  // untouched string, untouched mask
    EXPECT_EQ(9, u.permission);       // permissions are not edited here
    EXPECT_EQ(8, u.remotePermission);

    // A rename is cut to 31 characters; slot 0 stays as it was.
    EXPECT_EQ("OK", post("/6072", "{\"id\":3,\"type\":1,\"name\":\"" + std::string(40, 'c') + "\"}").body());
    EXPECT_EQ(std::string(31, 'c'), stored(3).name);
    EXPECT_STREQ("admin", stored(0).name);
    EXPECT_STREQ(MD5_ADMIN, stored(0).password);

    ASSERT_TRUE(daemon.wait_requests(2));
    std::vector<FakeRequest> reqs = daemon.requests();
    EXPECT_EQ(kUsersChanged, reqs[0].code);
    EXPECT_EQ(4u, reqs[0].payload.size());
    EXPECT_EQ(3, reqs[0].int_at(0));
    EXPECT_TRUE(oplogs().empty());
}

TEST_F(UsersTest, EditedTextsLeaveNothingOfTheOldOnes)
{
    UserRecord before = store_user(3, std::string(31, 'c').c_str(), "", 2);
    memset(before.password, 'p', sizeof before.password - 1);
    memset(before.localliveview, '1', sizeof before.localliveview - 1);
    ASSERT_EQ(0, write_user(QXDB_PATH, &before));

    ASSERT_EQ("OK", post("/6072", "{\"id\":3,\"type\":2,\"name\":\"d\",\"password\":\"" MD5_ADMIN
                                  "\",\"localliveview\":\"01\"}").body());
    UserRecord u = stored(3);
    struct Field {
        const char *what;
        const char *data;
        size_t size;
        std::string text;
    } fields[] = {
        {"name", u.name, sizeof u.name, "d"},
        {"password", u.password, sizeof u.password, MD5_ADMIN},
        {"localliveview", u.localliveview, sizeof u.localliveview, "01"},
    };
    for (const Field &f : fields) {
        std::string want = f.text;
        want.resize(f.size, '\0');
        EXPECT_EQ(want, std::string(f.data, f.size)) << f.what;
    }
}

TEST_F(UsersTest, EditRefusals)
{
    store_user(1, "dave", MD5_SECRET, 2);
    EXPECT_EQ("SAMEUSER", post("/6072", "{\"id\":1,\"type\":2,\"name\":\"admin\"}").body());
    EXPECT_STREQ("dave", stored(1).name);

    const std::string refused[] = {
        "{\"type\":2,\"name\":\"eve\"}",              // no id: never slot 0
        "{\"id\":\"1\",\"type\":2}",
        "{\"id\":100,\"type\":2}",
        "{\"id\":-1,\"type\":2}",
        "{\"id\":5,\"type\":2,\"name\":\"ghost\"}",   // empty slot
        "{\"id\":1,\"name\":\"eve\"}",                // no type
        "{\"id\":1,\"type\":4}",
        "{\"id\":1,\"type\":2,\"name\":\"\"}",
        "{\"id\":1,",
    };
    for (const std::string &body : refused) EXPECT_EQ("", post("/6072", body).answer()) << body;
    EXPECT_STREQ("admin", stored(0).name);
    EXPECT_EQ(0, stored(0).type);
    EXPECT_STREQ("dave", stored(1).name);
    EXPECT_EQ(0, stored(5).enable);
    EXPECT_EQ((std::vector<std::string>{"3505/0"}), traffic_after_sentinel());
}

TEST_F(UsersTest, DeleteEmptiesSlotAndFreesName)
{
    store_user(2, "frank", MD5_SECRET, 1);
    EXPECT_EQ((std::vector<std::string>{"admin", "frank"}), listed_names());

    EXPECT_EQ("OK", post("/6073", "{\"id\":2,\"type\":1}").body());
    UserRecord u = stored(2);
    EXPECT_EQ(0, u.enable);
    EXPECT_STREQ("", u.name);
    EXPECT_STREQ("", u.password);
    EXPECT_EQ((std::vector<std::string>{"admin"}), listed_names());
    EXPECT_EQ("{\"type\":-1}",
              post("/1000", "{\"userName\":\"frank\",\"md5\":\"" MD5_SECRET "\"}").body());

    ASSERT_TRUE(daemon.wait_requests(2));
    EXPECT_EQ((std::vector<std::string>{"3505/4", "3485/672"}), traffic());
    EXPECT_EQ(2, daemon.requests()[0].int_at(0));
    EXPECT_EQ(922, oplogs()[0].param_type);

    // An empty slot deletes fine; the name is free again.
    EXPECT_EQ("OK", post("/6073", "{\"id\":2,\"type\":0}").body());
    EXPECT_EQ("id=1", post("/6071", new_user("frank")).body());

    ASSERT_TRUE(daemon.wait_requests(6)); // both deletes and the add, two each
    daemon.clear();
    for (const char *body : {"{\"id\":100,\"type\":1}", "{\"id\":-1,\"type\":1}",
                             "{\"id\":1,\"type\":4}", "{\"id\":1}", "{\"type\":1}", "nope"})
        EXPECT_EQ("", post("/6073", body).answer()) << body;
    EXPECT_EQ(1, stored(1).enable);
    EXPECT_EQ((std::vector<std::string>{"3505/0"}), traffic_after_sentinel());
}

TEST_F(UsersTest, ListShowsSlotsInUseWithAllKeys)
{
    UserRecord u = store_user(7, "grace", MD5_SECRET, 2);
    u.remotePermission = 4;
    u.localStatus = 1;
    snprintf(u.remoteliveview, sizeof u.remoteliveview, "01");
    ASSERT_EQ(0, write_user(QXDB_PATH, &u));
    store_user(8, "hidden", MD5_SECRET, 2, /*enable=*/0);

    ProcResult r = get("/6070");
    std::string b = r.body();
    EXPECT_EQ(0u, b.find("[{\"id\":0,\"enable\":1,\"name\":\"admin\",\"password\":\"" MD5_ADMIN
                         "\",\"type\":0,\"permission\":0,\"localLiveView\":0,"));
    EXPECT_NE(std::string::npos,
              b.find("{\"id\":7,\"enable\":1,\"name\":\"grace\",\"password\":\"" MD5_SECRET
                     "\",\"type\":2,\"permission\":0,\"localLiveView\":0,\"localPlayback\":0,"
                     "\"localRetrieve\":0,\"localSmartAnalysis\":0,\"localEvent\":0,"
                     "\"localCamera\":0,\"localStorage\":0,\"localSettings\":0,\"localStatus\":1,"
                     "\"localShutdown\":0,\"localliveview\":\"\",\"localplayback\":\"\","
                     "\"remotePermission\":4,\"remoteLiveView\":0,\"remotePlayback\":0,"
                     "\"remoteRetrieve\":0,\"remoteSmartAnalysis\":0,\"remoteEvent\":0,"
                     "\"remoteCamera\":0,\"remoteStorage\":0,\"remoteSettings\":0,"
                     "\"remoteStatus\":0,\"remoteShutdown\":0,\"remoteliveview\":\"01\","
                     "\"remoteplayback\":\"\"}]"))
        << b;
    EXPECT_EQ(std::string::npos, b.find("hidden"));
}

TEST_F(UsersTest, OemListOnlyWithItsDatabase)
{
    EXPECT_EQ("", get("/6074").answer());

    OemUserRecord oem[2];
    memset(oem, 0, sizeof oem);
    oem[0].id = 0;
    oem[0].enable = 1;
    snprintf(oem[0].name, sizeof oem[0].name, "oem");
    snprintf(oem[0].password, sizeof oem[0].password, "%s", MD5_ADMIN);
    oem[0].remotePermission = 3;
    oem[1].id = 1; // empty slot
    snprintf(oem[1].name, sizeof oem[1].name, "unused");
    ASSERT_EQ(0, mkdir(root.host("/mnt/nand2").c_str(), 0755));
    ASSERT_EQ(0, write_oem_users(QXDB_OEM_PATH, oem, 2));

    ProcResult r = get("/6074");
    EXPECT_EQ("[{\"id\":0,\"enable\":1,\"name\":\"oem\",\"password\":\"" MD5_ADMIN
              "\",\"type\":0,\"permission\":0,\"remotePermission\":3}]",
              r.body());
}

TEST_F(UsersTest, PoeCameraPasswordStatus)
{
    std::map<std::string, std::string> fast = {{"NVRWEB_TIME_SCALE", "0.01"}};
    daemon.on(3265).reply_int(-7);
    ProcResult r = post("/6075", "", fast);
    EXPECT_EQ("-7", r.body());
    EXPECT_NE(std::string::npos, r.headers().find("text/plain"));
    EXPECT_EQ("3265/0", traffic().back());

    daemon.on(3265).reply("\1");
    EXPECT_EQ("{status:\"CGI ERROR\"}", post("/6075", "", fast).body());
    daemon.on(3265).silent();
    EXPECT_EQ("{status:\"CGI ERROR\"}", post("/6075", "", fast).body());

    daemon.clear();
    EXPECT_EQ("OK", post("/6076", "").body());
    ASSERT_TRUE(daemon.wait_requests(1));
    EXPECT_EQ("3267/0", traffic().back());
}

TEST_F(UsersTest, DispatcherAnswersOnlyTheAwaitedReply)
{
    // Notices answered with payloads and with reply codes the module knows:
    // one body only.
    daemon.on(kUsersChanged).reply_int(0).reply_as(8265, 0, le32(0));
    daemon.on(3267).reply_int(1).reply_as(8504, 0, le32(0));
    EXPECT_EQ("Content-type: text/plain\r\n\r\nOK", post("/6077", "").out);
    EXPECT_EQ("Content-type: text/plain\r\n\r\nOK", post("/6076", "").out);
    EXPECT_EQ("Content-type: text/plain\r\n\r\nOK", post("/6073", "{\"id\":9,\"type\":0}").out);

    // While /6075 waits, a stray reply of the mailed-link log-in must not
    // answer for it.
    daemon.on(3265).reply_as(8504, 0, le32(0)).reply_int(5, 20);
    ProcResult r = post("/6075", "", {{"NVRWEB_TIME_SCALE", "0.01"}});
    EXPECT_EQ("Content-type: text/plain\r\n\r\n5", r.out);
}

TEST_F(UsersTest, ClearPermissionUpdate)
{
    ASSERT_EQ(0, set_param_int(QXDB_PATH, "permission_update", 1));
    EXPECT_EQ("OK", post("/1024", "").body());
    EXPECT_EQ(0, get_param_int(QXDB_PATH, "permission_update", 5));
}

} // namespace
