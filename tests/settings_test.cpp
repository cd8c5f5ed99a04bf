// Settings database interface: record families, column copies, parameters,
// channel masks, stored-record bounds, accounts and the device record.
#include <gtest/gtest.h>


#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/device_path.h"
#include "common/records/device.h"
#include "common/records/user.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "tests/support/settings_root.h"

namespace {

// Key field deliberately not first, to catch code that assumes offset 0.
struct TestChan {
    int32_t level;
    int32_t chn;
    char label[24];
    int32_t mode;
};
struct TestSlot {
    int32_t id;
    int32_t value;
};
struct TestSingle {
    int32_t a;
    char b[16];
};

} // namespace

NVR_DB_RECORD(test_chan, TestChan, "test_chan", chn, 64, NVR_COLUMN(mode), NVR_COLUMN_AS("lvl", level))
NVR_DB_RECORD(test_slot, TestSlot, "test_slot", id, 16, NVR_COLUMN(value))
NVR_DB_SCHEDULE(test_event, "test_event_schedule", 64)
NVR_DB_SINGLE(test_single, TestSingle, "test_single")

class SettingsDb : public SettingsRootTest {
protected:
    // Plants a raw row, as another program or a damaged file might leave it.
    // Stores bytes of any length under a record table's key, as a damaged or
    // foreign file could hold them.
    void store_raw(const char *table, int64_t key, const std::string &bytes)
    {
        ASSERT_EQ(0, qxdb_transact(QXDB_PATH, QXDB_WRITE, [&](QxDbTxn &txn) {
                      return txn.put(table, key, bytes.data(), bytes.size());
                  }));
    }

    int stored(const NvrDbTable &t) { return nvr_db_stored(db, t); }
};

using SettingsRecords = SettingsDb;
using SettingsParams = SettingsDb;
using SettingsUsers = SettingsDb;

TEST_F(SettingsRecords, FreshDatabaseGivesOneKeyedRecordPerChannel)
{
    TestChan all[80];
    memset(all, 0xab, sizeof all);
    int count = -1;
    ASSERT_EQ(0, read_test_chans(db, all, &count));
    ASSERT_EQ(64, count);
    for (int i = 0; i < 64; i++) {
        EXPECT_EQ(i, all[i].chn);
        EXPECT_EQ(0, all[i].level);
        EXPECT_EQ(0, all[i].mode);
        EXPECT_EQ('\0', all[i].label[0]);
    }
    // Beyond the table's capacity the caller's array stays as it was.
    EXPECT_EQ(static_cast<int32_t>(0xabababab), all[64].chn);

    // The caller's capacity bounds the read.
    TestChan few[5];
    ASSERT_EQ(0, read_test_chans(db, few, &count));
    EXPECT_EQ(5, count);
    EXPECT_EQ(4, few[4].chn);
    TestChan *heap = new TestChan[3];
    EXPECT_EQ(0, read_test_chans(db, heap, 3, &count));
    EXPECT_EQ(3, count);
    delete[] heap;

    TestChan one;
    memset(&one, 0x55, sizeof one);
    ASSERT_EQ(0, read_test_chan(db, &one, 63));
    EXPECT_EQ(63, one.chn);
    EXPECT_EQ(0, one.mode);

    // Keys outside the table fail and leave the record alone.
    memset(&one, 0x55, sizeof one);
    EXPECT_EQ(-1, read_test_chan(db, &one, 64));
    EXPECT_EQ(-1, read_test_chan(db, &one, -1));
    EXPECT_EQ(0x55555555, one.chn);
    EXPECT_EQ(0, stored(nvr_db_test_chan::desc));
}

TEST_F(SettingsRecords, WriteReadRoundTripsAndPluralWrites)
{
    TestChan r{};
    r.chn = 7;
    r.level = 3;
    r.mode = -2;
    COPY_TEXT(r.label, "gate");
    ASSERT_EQ(0, write_test_chan(db, &r));

    TestChan back{};
    ASSERT_EQ(0, read_test_chan(db, &back, 7));
    EXPECT_EQ(0, memcmp(&r, &back, sizeof r));

    TestChan all[64];
    int count = 0;
    ASSERT_EQ(0, read_test_chans(db, all, &count));
    EXPECT_STREQ("gate", all[7].label);
    EXPECT_EQ('\0', all[6].label[0]);
    EXPECT_EQ(1, stored(nvr_db_test_chan::desc));

    // Plural write keyed by the records' own keys; one key out of range
    // stores nothing at all.
    TestChan two[2] = {};
    two[0].chn = 10;
    two[0].mode = 1;
    two[1].chn = 64;
    EXPECT_EQ(-1, write_test_chans(db, two, 2));
    EXPECT_EQ(1, stored(nvr_db_test_chan::desc));
    two[1].chn = 11;
    two[1].mode = 2;
    ASSERT_EQ(0, write_test_chans(db, two, 2));
    ASSERT_EQ(0, read_test_chans(db, all, &count));
    EXPECT_EQ(1, all[10].mode);
    EXPECT_EQ(2, all[11].mode);

    // Masked form: array indexed by channel, only the set bits below the
    // array's count are stored, each under its own channel.
    for (int i = 0; i < 64; i++) {
        all[i].chn = 0; // wrong keys are corrected from the position
        all[i].mode = 100 + i;
    }
    ASSERT_EQ(0, write_test_chans(db, all, 64, (1ULL << 20) | (1ULL << 63)));
    ASSERT_EQ(0, write_test_chans(db, all, 30, 1ULL << 40)); // 40 is beyond the count
    TestChan got{};
    read_test_chan(db, &got, 63);
    EXPECT_EQ(163, got.mode);
    EXPECT_EQ(63, got.chn);
    read_test_chan(db, &got, 20);
    EXPECT_EQ(120, got.mode);
    read_test_chan(db, &got, 40);
    EXPECT_EQ(0, got.mode);
    EXPECT_EQ(5, stored(nvr_db_test_chan::desc));

    EXPECT_EQ(0, delete_test_chan(db, 63));
    read_test_chan(db, &got, 63);
    EXPECT_EQ(0, got.mode);
}

TEST_F(SettingsRecords, CopyByMaskWritesExactlyTheSetChannels)
{
    TestChan src{};
    src.chn = 3;
    src.mode = 9;
    COPY_TEXT(src.label, "copied");

    EXPECT_EQ(0, copy_test_chans(db, &src, 0));
    EXPECT_EQ(0, stored(nvr_db_test_chan::desc));

    ASSERT_EQ(0, copy_test_chans(db, &src, (1ULL << 0) | (1ULL << 5) | (1ULL << 63)));
    TestChan all[64];
    int count = 0;
    ASSERT_EQ(0, read_test_chans(db, all, &count));
    for (int i = 0; i < 64; i++) {
        bool set = i == 0 || i == 5 || i == 63;
        EXPECT_EQ(i, all[i].chn);
        EXPECT_EQ(set ? 9 : 0, all[i].mode) << "channel " << i;
        EXPECT_STREQ(set ? "copied" : "", all[i].label);
    }
    EXPECT_EQ(3, stored(nvr_db_test_chan::desc));

    // A table of 16 slots ignores the bits above its capacity.
    TestSlot slot{};
    slot.value = 4;
    ASSERT_EQ(0, copy_test_slots(db, &slot, (1ULL << 3) | (1ULL << 20) | (1ULL << 63)));
    EXPECT_EQ(1, stored(nvr_db_test_slot::desc));
    TestSlot slots[16];
    ASSERT_EQ(0, read_test_slots(db, slots, &count));
    EXPECT_EQ(16, count);
    EXPECT_EQ(4, slots[3].value);
}

TEST_F(SettingsRecords, SchedulesAndSingleRecords)
{
    WeekSchedule *s = new WeekSchedule();
    COPY_TEXT(s->days[0].segments[0].start_time, "08:00");
    COPY_TEXT(s->days[7].segments[47].end_time, "23:59");
    s->days[7].whole_day = 1;
    ASSERT_EQ(0, write_test_event_schedule(db, s, 2));
    ASSERT_EQ(0, copy_test_event_schedules(db, s, (1ULL << 4) | (1ULL << 63)));

    WeekSchedule *got = new WeekSchedule();
    for (int ch : {2, 4, 63}) {
        memset(got, 0x7f, sizeof *got);
        ASSERT_EQ(0, read_test_event_schedule(db, got, ch));
        EXPECT_EQ(0, memcmp(s, got, sizeof *s)) << "channel " << ch;
    }
    ASSERT_EQ(0, read_test_event_schedule(db, got, 5));
    EXPECT_EQ('\0', got->days[0].segments[0].start_time[0]);
    EXPECT_EQ(-1, write_test_event_schedule(db, s, 64));
    delete s;
    delete got;

    TestSingle one{};
    one.a = 5;
    ASSERT_EQ(0, read_test_single(db, &one));
    EXPECT_EQ(0, one.a);
    one.a = 77;
    COPY_TEXT(one.b, "x");
    ASSERT_EQ(0, write_test_single(db, &one));
    TestSingle back{};
    ASSERT_EQ(0, read_test_single(db, &back));
    EXPECT_EQ(77, back.a);
    EXPECT_STREQ("x", back.b);
}

TEST_F(SettingsRecords, CopyTableColumnIntSetsOneColumnOnTheMaskedRows)
{
    TestChan keep{};
    keep.chn = 2;
    keep.mode = 1;
    keep.level = 6;
    COPY_TEXT(keep.label, "keep");
    ASSERT_EQ(0, write_test_chan(db, &keep));

    ASSERT_EQ(0, copy_table_column_int(db, "test_chan", "mode", 9, (1ULL << 2) | (1ULL << 63), "id"));
    TestChan got{};
    read_test_chan(db, &got, 2);
    EXPECT_EQ(9, got.mode);
    EXPECT_EQ(6, got.level);
    EXPECT_STREQ("keep", got.label);
    read_test_chan(db, &got, 63); // created from a zeroed record
    EXPECT_EQ(9, got.mode);
    EXPECT_EQ(63, got.chn);
    EXPECT_EQ(2, stored(nvr_db_test_chan::desc));

    // The key may also be named by the key field; columns by their declared name.
    ASSERT_EQ(0, copy_table_column_int(db, "test_chan", "lvl", -4, 1ULL << 2, "chn"));
    read_test_chan(db, &got, 2);
    EXPECT_EQ(-4, got.level);
    EXPECT_EQ(9, got.mode);

    EXPECT_EQ(0, copy_table_column_int(db, "test_chan", "mode", 5, 0, "id"));
    EXPECT_EQ(2, stored(nvr_db_test_chan::desc));
    EXPECT_EQ(-1, copy_table_column_int(db, "test_chan", "label", 5, 1, "id"));
    EXPECT_EQ(-1, copy_table_column_int(db, "test_chan", "mode", 5, 1, "level"));
    EXPECT_EQ(-1, copy_table_column_int(db, "no_table", "mode", 5, 1, "id"));
    EXPECT_EQ(-1, copy_table_column_int(db, "test_chan\"; DROP TABLE user; --", "mode", 5, 1, "id"));
    read_test_chan(db, &got, 0);
    EXPECT_EQ(0, got.mode);
}

TEST_F(SettingsRecords, StoredBlobsOfTheWrongSizeAreCutOrPadded)
{
    // A short blob: its bytes, then zeros; the key comes from the row.
    TestChan first{};
    first.level = 0x11223344;
    store_raw("test_chan", 1, std::string(reinterpret_cast<const char *>(&first), 6));
    // An oversized blob and one whose key field disagrees with its row.
    store_raw("test_chan", 2, std::string(4096, 'A'));
    // Rows outside the table's key range are ignored.
    store_raw("test_chan", 64, std::string(sizeof(TestChan), 'B'));
    store_raw("test_chan", -5, std::string(sizeof(TestChan), 'B'));

    struct Guarded {
        char before[32];
        TestChan rec;
        char after[32];
    } g;
    memset(&g, 0x5a, sizeof g);
    ASSERT_EQ(0, read_test_chan(db, &g.rec, 1));
    EXPECT_EQ(0x11223344, g.rec.level);
    EXPECT_EQ(1, g.rec.chn);
    EXPECT_EQ(0, g.rec.mode);

    memset(&g, 0x5a, sizeof g);
    ASSERT_EQ(0, read_test_chan(db, &g.rec, 2));
    EXPECT_EQ(2, g.rec.chn);
    EXPECT_EQ(0x41414141, g.rec.mode);
    for (char c : g.after) ASSERT_EQ(0x5a, c);
    for (char c : g.before) ASSERT_EQ(0x5a, c);

    struct GuardedAll {
        TestChan recs[64];
        char after[64];
    } *ga = new GuardedAll;
    memset(ga, 0x5a, sizeof *ga);
    int count = 0;
    ASSERT_EQ(0, read_test_chans(db, ga->recs, &count));
    EXPECT_EQ(64, count);
    EXPECT_EQ(0x11223344, ga->recs[1].level);
    EXPECT_EQ(0, ga->recs[1].mode);
    EXPECT_EQ(2, ga->recs[2].chn);
    EXPECT_EQ(0x41414141, ga->recs[2].level);
    EXPECT_EQ(63, ga->recs[63].chn);
    EXPECT_EQ(0, ga->recs[63].level);
    for (char c : ga->after) ASSERT_EQ(0x5a, c);
    delete ga;

    // An empty blob reads as a zeroed record.
    store_raw("test_chan", 3, std::string());
    TestChan z;
    memset(&z, 0x33, sizeof z);
    ASSERT_EQ(0, read_test_chan(db, &z, 3));
    EXPECT_EQ(3, z.chn);
    EXPECT_EQ(0, z.level);
}

TEST_F(SettingsParams, IntegerAndTextViewsAgree)
{
    EXPECT_EQ(32, get_param_int(db, "max_cameras", 32));
    char buf[16];
    EXPECT_EQ(1, get_param_value(db, "max_cameras", buf, sizeof buf, "dflt"));
    EXPECT_STREQ("dflt", buf);

    ASSERT_EQ(0, set_param_int(db, "max_cameras", 16));
    EXPECT_EQ(16, get_param_int(db, "max_cameras", 32));
    EXPECT_EQ(0, get_param_value(db, "max_cameras", buf, sizeof buf, "dflt"));
    EXPECT_STREQ("16", buf);

    ASSERT_EQ(0, set_param_value(db, "deviceid", "-17"));
    EXPECT_EQ(-17, get_param_int(db, "deviceid", 255));
    ASSERT_EQ(0, set_param_value(db, "deviceid", " 42\n"));
    EXPECT_EQ(42, get_param_int(db, "deviceid", 255));
    for (const char *bad : {"", "abc", "12abc", "99999999999", "0x10"}) {
        ASSERT_EQ(0, set_param_value(db, "deviceid", bad));
        EXPECT_EQ(255, get_param_int(db, "deviceid", 255)) << bad;
    }

    // Texts are cut to the buffer and always end in a zero.
    ASSERT_EQ(0, set_param_value(db, "model", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    char small[8];
    EXPECT_EQ(0, get_param_value(db, "model", small, sizeof small, ""));
    EXPECT_STREQ("ABCDEFG", small);
    EXPECT_EQ(1, get_param_value(db, "absent", small, sizeof small, nullptr));
    EXPECT_STREQ("", small);
    EXPECT_EQ(-1, get_param_value(db, "model", small, 0, ""));

    // Values are bound, not formatted into statements.
    const char *odd = "it's \"quoted\"; DROP TABLE params; --";
    ASSERT_EQ(0, set_param_value(db, "o'key", odd));
    char big[128];
    get_param_value(db, "o'key", big, sizeof big, "");
    EXPECT_STREQ(odd, big);
    EXPECT_EQ(16, get_param_int(db, "max_cameras", 32));
}

TEST_F(SettingsParams, CheckParamKeyThenCreateOrUpdate)
{
    EXPECT_NE(0, check_param_key(db, "ddns_host"));
    ASSERT_EQ(0, add_param_value(db, "ddns_host", "a.example"));
    EXPECT_EQ(0, check_param_key(db, "ddns_host"));
    ASSERT_EQ(0, set_param_value(db, "ddns_host", "b.example"));
    // A second create of an existing key updates it instead of failing.
    ASSERT_EQ(0, add_param_value(db, "ddns_host", "c.example"));
    char buf[32];
    get_param_value(db, "ddns_host", buf, sizeof buf, "");
    EXPECT_STREQ("c.example", buf);
    EXPECT_EQ(-1, set_param_value(db, "", "x"));
    EXPECT_EQ(-1, set_param_value(db, "k", nullptr));
}

TEST(SettingsChannelMask, ParsesZeroOneTexts)
{
    EXPECT_EQ(0u, get_channel_mask(nullptr));
    EXPECT_EQ(0u, get_channel_mask(""));
    EXPECT_EQ(0x5u, get_channel_mask("101"));
    EXPECT_EQ(0x5u, get_channel_mask("1x1"));
    std::string all(64, '1');
    EXPECT_EQ(~0ULL, get_channel_mask(all.c_str()));
    std::string last(64, '0');
    last[63] = '1';
    EXPECT_EQ(1ULL << 63, get_channel_mask(last.c_str()));
    std::string longer = std::string(64, '0') + "111111";
    EXPECT_EQ(0u, get_channel_mask(longer.c_str()));
    // A 65-byte record field filled without its zero is read to 64 characters.
    char field[65];
    memset(field, '1', sizeof field);
    EXPECT_EQ(~0ULL, get_channel_mask(field));
}

TEST_F(SettingsUsers, SlotsLookupAddAndDelete)
{
    static UserRecord all[USER_SLOTS + 5];
    int count = 0;
    ASSERT_EQ(0, read_users(db, all, &count));
    ASSERT_EQ(USER_SLOTS, count);
    EXPECT_EQ(99, all[99].id);
    EXPECT_EQ(0, all[99].enable);
    EXPECT_EQ(0, read_user_count(db));

    UserRecord u{};
    COPY_TEXT(u.name, "admin");
    COPY_TEXT(u.password, "21232f297a57a5a743894a0e4a801fc3");
    u.id = 57; // ignored: add chooses the slot
    ASSERT_EQ(0, add_user(db, &u));
    EXPECT_EQ(0, u.id);
    EXPECT_EQ(1, u.enable);
    UserRecord v{};
    COPY_TEXT(v.name, "viewer");
    v.type = 2;
    ASSERT_EQ(0, add_user(db, &v));
    EXPECT_EQ(1, v.id);

    UserRecord dup{};
    COPY_TEXT(dup.name, "admin");
    EXPECT_EQ(-1, add_user(db, &dup));

    UserRecord found{};
    found.id = -1;
    ASSERT_EQ(0, read_user_by_name(db, &found, "viewer"));
    EXPECT_EQ(1, found.id);
    EXPECT_EQ(2, found.type);
    found.id = -1;
    EXPECT_EQ(1, read_user_by_name(db, &found, "nobody"));
    EXPECT_EQ(-1, found.id);
    EXPECT_EQ(1, read_user_by_name(db, &found, "Admin"));

    // Names are told apart by their first 31 characters only.
    UserRecord longname{};
    std::string n31(31, 'x');
    COPY_TEXT(longname.name, (n31 + "first").c_str());
    ASSERT_EQ(0, add_user(db, &longname));
    found.id = -1;
    EXPECT_EQ(0, read_user_by_name(db, &found, (n31 + "second").c_str()));
    EXPECT_EQ(longname.id, found.id);
    UserRecord clash{};
    COPY_TEXT(clash.name, (n31 + "other").c_str());
    EXPECT_EQ(-1, add_user(db, &clash));
    found.id = -1;
    EXPECT_EQ(1, read_user_by_name(db, &found, n31.substr(0, 30).c_str()));
    EXPECT_EQ(3, read_user_count(db));

    // Delete = a zeroed record with the id: the slot is reused and the
    // name is free again.
    UserRecord gone{};
    gone.id = 0;
    ASSERT_EQ(0, write_user(db, &gone));
    EXPECT_EQ(2, read_user_count(db));
    found.id = -1;
    EXPECT_EQ(1, read_user_by_name(db, &found, "admin"));
    UserRecord again{};
    COPY_TEXT(again.name, "admin");
    ASSERT_EQ(0, add_user(db, &again));
    EXPECT_EQ(0, again.id);
}

TEST_F(SettingsUsers, TableOfOneHundredRefusesTheNext)
{
    UserRecord u{};
    for (int i = 0; i < USER_SLOTS; i++) {
        u = UserRecord{};
        snprintf(u.name, sizeof u.name, "user%d", i);
        ASSERT_EQ(0, add_user(db, &u));
        ASSERT_EQ(i, u.id);
    }
    EXPECT_EQ(USER_SLOTS, read_user_count(db));
    u = UserRecord{};
    COPY_TEXT(u.name, "one-too-many");
    u.id = -1;
    EXPECT_EQ(-1, add_user(db, &u));
    EXPECT_EQ(-1, u.id);
}

TEST_F(SettingsRecords, DeviceRecordFollowsTheParameters)
{
    DeviceRecord d;
    memset(&d, 0x5a, sizeof d);
    ASSERT_EQ(0, db_get_device(db, &d));
    EXPECT_EQ(32, d.max_cameras);
    EXPECT_EQ(16, d.alarm_in);
    EXPECT_EQ(4, d.alarm_out);
    EXPECT_STREQ("7x.7.0.9", d.software_version);
    EXPECT_STREQ("V1.1", d.hardware_version);
    EXPECT_STREQ("", d.model);

    set_param_int(db, "max_cameras", 16);
    set_param_value(db, "model", std::string(200, 'M').c_str());
    ASSERT_EQ(0, db_get_device(db, &d));
    EXPECT_EQ(16, d.max_cameras);
    EXPECT_EQ(std::string(63, 'M'), d.model);

    // Channel counts stay within what a 64-channel mask can hold.
    set_param_int(db, "max_cameras", 1000);
    set_param_int(db, "alarm_in", -3);
    ASSERT_EQ(0, db_get_device(db, &d));
    EXPECT_EQ(64, d.max_cameras);
    EXPECT_EQ(0, d.alarm_in);
}

TEST(SettingsRegistry, DeclaredTablesHaveValidDistinctNames)
{
    // The tables are listed at link time; their names are checked here, over
    // every table the modules declare, and a declared table is found by name.
    const char *problem = nvr_db_registry_problem();
    EXPECT_EQ(nullptr, problem) << problem;
    ASSERT_NE(nullptr, nvr_db_find_table("user"));
    EXPECT_EQ(sizeof(UserRecord), nvr_db_find_table("user")->size);
    EXPECT_EQ(nullptr, nvr_db_find_table("no_such_table"));
}

TEST_F(SettingsRecords, FileStaysInRollbackJournalMode)
{
    // Every request opens the file afresh: a write-ahead log would have its
    // index rebuilt from the whole log on each first open. A file found in
    // log mode is switched back by the next open.
    const std::string host = qxdb_host_path(db);
    auto header_modes = [&]() {
        FILE *f = fopen(host.c_str(), "rb");
        unsigned char h[20] = {};
        if (f) {
            EXPECT_EQ(sizeof h, fread(h, 1, sizeof h, f));
            fclose(f);
        }
        return std::make_pair(h[18], h[19]);
    };
    const std::pair<unsigned char, unsigned char> kRollback(1, 1), kLog(2, 2);
    auto log_exists = [&]() {
        struct stat st;
        return stat((host + "-wal").c_str(), &st) == 0;
    };
    TestChan rec{};
    rec.chn = 3;
    rec.mode = 7;
    ASSERT_EQ(0, write_test_chan(db, &rec));
    qxdb_close_all();
    EXPECT_EQ(kRollback, header_modes());
    EXPECT_FALSE(log_exists());

    sqlite3 *raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(host.c_str(), &raw));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(raw, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr));
    sqlite3_close(raw);
    EXPECT_EQ(kLog, header_modes());

    TestChan back{};
    ASSERT_EQ(0, read_test_chan(db, &back, 3));
    EXPECT_EQ(7, back.mode);
    qxdb_close_all();
    EXPECT_EQ(kRollback, header_modes());
    EXPECT_FALSE(log_exists());
}
