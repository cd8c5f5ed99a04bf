// nvrweb-settings end to end, and many processes writing one database at once.
#include <gtest/gtest.h>

#include <json-c/json.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/device_path.h"
#include "common/records/user.h"
#include "common/settings.h"
#include "tests/support/settings_root.h"

namespace {

struct ConcSlot {
    int32_t id;
    int32_t writer;
    char text[40];
};

} // namespace

NVR_DB_RECORD(conc_slot, ConcSlot, "conc_slot", id, 64, NVR_COLUMN(writer))

class SettingsTool : public SettingsRootTest {
protected:
    ProcResult tool(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = program_wrapper();
        argv.push_back(program_path("nvrweb-settings"));
        argv.insert(argv.end(), args.begin(), args.end());
        return run_program(argv, {{"NVRWEB_ROOT", root.path()}}, "");
    }

    // A failure says why in exactly one line on the error stream.
    static void expect_one_line_error(const ProcResult &r)
    {
        EXPECT_NE(0, r.status);
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << r.err;
    }
};

using SettingsConcurrency = SettingsTool;

TEST_F(SettingsTool, InitCreatesBothDatabasesAndKeepsAnExistingOne)
{
    ProcResult r = tool({"init"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(root.exists("/mnt/nand/app/qxdb.db"));
    EXPECT_TRUE(root.exists("/mnt/nand/app/anpr.db"));

    r = tool({"param", "get", "max_cameras"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("32\n", r.out);
    EXPECT_EQ(0, tool({"param", "set", "max_cameras", "16"}).status);
    EXPECT_EQ(0, tool({"param", "set", "new_key", "two words"}).status);
    ASSERT_EQ(0, tool({"init"}).status);
    EXPECT_EQ("16\n", tool({"param", "get", "max_cameras"}).out);
    EXPECT_EQ("two words\n", tool({"param", "get", "new_key"}).out);
    // The request side sees what the tool stored.
    EXPECT_EQ(16, get_param_int(db, "max_cameras", 32));

    r = tool({"param", "get", "missing_key"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    expect_one_line_error(r);
}

TEST_F(SettingsTool, UserAddStoresTheMd5DigestAndListsAccounts)
{
    ASSERT_EQ(0, tool({"init"}).status);
    ProcResult r = tool({"user", "add", "admin", "admin", "0"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("0\n", r.out);
    r = tool({"user", "add", "guest \"q\"", "", "3"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("1\n", r.out);

    UserRecord u{};
    u.id = -1;
    ASSERT_EQ(0, read_user_by_name(db, &u, "admin"));
    EXPECT_STREQ("21232f297a57a5a743894a0e4a801fc3", u.password);
    EXPECT_EQ(1, u.enable);
    ASSERT_EQ(0, read_user(db, &u, 1));
    EXPECT_STREQ("d41d8cd98f00b204e9800998ecf8427e", u.password);
    EXPECT_EQ(3, u.type);

    r = tool({"user", "list"});
    ASSERT_EQ(0, r.status);
    json_object *list = json_tokener_parse(r.out.c_str());
    ASSERT_NE(nullptr, list);
    ASSERT_TRUE(json_object_is_type(list, json_type_array));
    ASSERT_EQ(2u, json_object_array_length(list));
    json_object *second = json_object_array_get_idx(list, 1);
    json_object *v = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(second, "name", &v));
    EXPECT_STREQ("guest \"q\"", json_object_get_string(v));
    ASSERT_TRUE(json_object_object_get_ex(second, "level", &v));
    EXPECT_EQ(3, json_object_get_int(v));
    ASSERT_TRUE(json_object_object_get_ex(second, "id", &v));
    EXPECT_EQ(1, json_object_get_int(v));
    json_object_put(list);

    expect_one_line_error(tool({"user", "add", "admin", "other", "1"}));
    expect_one_line_error(tool({"user", "add", "x", "pw", "4"}));
    expect_one_line_error(tool({"user", "add", "x", "pw", "1a"}));
    expect_one_line_error(tool({"user", "add", std::string(64, 'n'), "pw", "1"}));
    EXPECT_EQ(2, read_user_count(db));
}

TEST_F(SettingsTool, DumpShowsParametersAndRecordCounts)
{
    ASSERT_EQ(0, tool({"init"}).status);
    ASSERT_EQ(0, tool({"user", "add", "a", "p", "1"}).status);
    ConcSlot s{};
    ASSERT_EQ(0, copy_conc_slots(db, &s, 0x7));
    qxdb_close_all();

    ProcResult r = tool({"dump"});
    ASSERT_EQ(0, r.status) << r.err;
    json_object *doc = json_tokener_parse(r.out.c_str());
    ASSERT_NE(nullptr, doc);
    json_object *params = nullptr, *tables = nullptr, *v = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(doc, "params", &params));
    ASSERT_TRUE(json_object_object_get_ex(doc, "tables", &tables));
    ASSERT_TRUE(json_object_object_get_ex(params, "software_version", &v));
    EXPECT_STREQ("7x.7.0.9", json_object_get_string(v));
    ASSERT_TRUE(json_object_object_get_ex(tables, "user", &v));
    EXPECT_EQ(1, json_object_get_int(v));
    ASSERT_TRUE(json_object_object_get_ex(tables, "conc_slot", &v));
    EXPECT_EQ(3, json_object_get_int(v));
    json_object_put(doc);
}

TEST_F(SettingsTool, CheckAndCommandErrors)
{
    // Reading commands never create a database.
    expect_one_line_error(tool({"check"}));
    expect_one_line_error(tool({"dump"}));
    EXPECT_FALSE(root.exists("/mnt/nand/app/qxdb.db"));

    ASSERT_EQ(0, tool({"init"}).status);
    EXPECT_EQ(0, tool({"check"}).status);

    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"param"}, {"param", "get"}, {"user", "add", "x"}, {"--db"}})
        expect_one_line_error(tool(bad));

    root.write("/mnt/nand/app/qxdb.db", std::string(8192, 'x'));
    ProcResult r = tool({"check"});
    EXPECT_EQ(1, r.status);
    expect_one_line_error(r);
}

TEST_F(SettingsTool, DbOptionNamesAFileOfThisMachine)
{
    std::string file = root.path() + "/elsewhere/settings.db";
    ProcResult r = tool({"--db", file, "init"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(root.exists("/elsewhere/settings.db"));
    EXPECT_TRUE(root.exists("/elsewhere/anpr.db"));
    EXPECT_FALSE(root.exists("/mnt/nand/app/qxdb.db"));
    ASSERT_EQ(0, tool({"--db", file, "param", "set", "k", "v"}).status);
    EXPECT_EQ("v\n", tool({"--db", file, "param", "get", "k"}).out);
    EXPECT_EQ(0, tool({"--db", file, "check"}).status);
}

// 32 processes write distinct parameters, records and accounts at the same
// time, one of them copying over a mask: nothing is lost and the file stays
// sound. The parent's open connection is inherited by every child.
TEST_F(SettingsConcurrency, ThirtyTwoWritersLoseNothing)
{
    const int kWriters = 32;
    ASSERT_EQ(0, tool({"init"}).status);
    ASSERT_EQ(0, set_param_int(db, "before_fork", 1));

    int go[2];
    ASSERT_EQ(0, pipe(go));
    std::vector<pid_t> kids;
    for (int i = 0; i < kWriters; i++) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(go[1]);
            char c;
            if (read(go[0], &c, 1) < 0) _exit(3); // released together
            int bad = 0;
            std::string key = "writer_" + std::to_string(i);
            bad |= set_param_int(db, key.c_str(), i * 7) != 0;
            ConcSlot s{};
            s.id = i;
            s.writer = i;
            snprintf(s.text, sizeof s.text, "from %d", i);
            bad |= write_conc_slot(db, &s) != 0;
            UserRecord u{};
            snprintf(u.name, sizeof u.name, "user%d", i);
            bad |= add_user(db, &u) != 0;
            if (i == 0) {
                ConcSlot c2{};
                c2.writer = 1000;
                bad |= copy_conc_slots(db, &c2, 0xffffffffULL << 32) != 0;
            }
            bad |= get_param_int(db, key.c_str(), -1) != i * 7;
            _exit(bad ? 1 : 0);
        }
        kids.push_back(pid);
    }
    close(go[0]);
    close(go[1]); // end of file releases every child at once

    for (pid_t pid : kids) {
        int st = 0;
        ASSERT_EQ(pid, waitpid(pid, &st, 0));
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "writer exit " << st;
    }

    for (int i = 0; i < kWriters; i++) {
        std::string key = "writer_" + std::to_string(i);
        EXPECT_EQ(i * 7, get_param_int(db, key.c_str(), -1)) << key;
    }
    static ConcSlot slots[64];
    int count = 0;
    ASSERT_EQ(0, read_conc_slots(db, slots, &count));
    ASSERT_EQ(64, count);
    for (int i = 0; i < 64; i++) {
        EXPECT_EQ(i < kWriters ? i : 1000, slots[i].writer) << "slot " << i;
    }
    EXPECT_EQ(kWriters, read_user_count(db));
    static UserRecord users[USER_SLOTS];
    ASSERT_EQ(0, read_users(db, users, &count));
    std::vector<bool> seen(kWriters, false);
    for (int i = 0; i < count; i++) {
        if (!users[i].enable) continue;
        int n = atoi(users[i].name + 4);
        ASSERT_TRUE(n >= 0 && n < kWriters);
        EXPECT_FALSE(seen[n]) << users[i].name;
        seen[n] = true;
    }
    qxdb_close_all();
    ProcResult r = tool({"check"});
    EXPECT_EQ(0, r.status) << r.err;
}
