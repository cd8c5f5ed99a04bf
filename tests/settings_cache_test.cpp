// Read cache of the settings database: reads served from it stay exactly what
// the file holds, whoever writes the file and however the cache file looks.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qx_db.h"
#include "tests/support/settings_root.h"

namespace {

const char kCache[] = "/var/run/qxdb.db.cache";

class SettingsCache : public SettingsRootTest {
protected:
    void put(const char *table, int64_t key, const std::string &value)
    {
        ASSERT_EQ(0, qxdb_transact(db, QXDB_WRITE, [&](QxDbTxn &t) {
                      return t.put(table, key, value.data(), value.size()) < 0 || t.param_put("p", value.c_str()) < 0
                                 ? -1
                                 : t.text_put("plates", "AB 12", value.data(), value.size());
                  }));
    }
    // What a whole read transaction sees: a record, a scan, a count, the
    // parameters and the text records, in one text.
    std::string view()
    {
        std::string out;
        int rc = qxdb_transact(db, QXDB_READ, [&](QxDbTxn &t) {
            out.clear();
            char rec[8] = {};
            int found = t.get("rec", 1, rec, sizeof rec - 1);
            out += "get " + std::to_string(found) + ":" + rec;
            t.scan("rec", 0, 10, [&](int64_t k, const void *d, size_t n) {
                out += " scan " + std::to_string(k) + ":" + std::string(static_cast<const char *>(d), n);
            });
            out += " count " + std::to_string(t.count("rec"));
            std::string p;
            out += " param " + std::to_string(t.param_get("p", &p)) + ":" + p;
            t.param_scan([&](const char *k, const char *v) { out += std::string(" ") + k + "=" + v; });
            char plate[8] = {};
            out += " text " + std::to_string(t.text_get("plates", "AB 12", plate, sizeof plate - 1)) + ":" + plate;
            t.text_scan("plates", [&](const char *k, const void *d, size_t n) {
                out += std::string(" ") + k + "=" + std::string(static_cast<const char *>(d), n);
            });
            out += " tcount " + std::to_string(t.text_count("plates"));
            return 0;
        });
        return rc < 0 ? "failed" : out;
    }
    // A write by another program, straight through the library.
    void foreign_write(const char *sql)
    {
        sqlite3 *h = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(root.host("/mnt/nand/app/qxdb.db").c_str(), &h));
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(h, sql, nullptr, nullptr, nullptr)) << sqlite3_errmsg(h);
        sqlite3_close(h);
    }
    static std::string expected(const std::string &v)
    {
        return "get 1:" + v + " scan 1:" + v + " count 1 param 1:" + v + " p=" + v + " text 1:" + v + " AB 12=" + v +
               " tcount 1";
    }
};

// The second read comes from the cache and equals the first; every kind of
// change of the file is seen by the next read.
TEST_F(SettingsCache, ReadsFollowEveryChangeOfTheFile)
{
    put("rec", 1, "one");
    EXPECT_EQ(expected("one"), view());
    const int hits = qxdb_cache_hits();
    EXPECT_EQ(expected("one"), view());
    EXPECT_GT(qxdb_cache_hits(), hits) << "second read not served from the cache";
    EXPECT_TRUE(root.exists(kCache));

    put("rec", 1, "two"); // through this layer
    EXPECT_EQ(expected("two"), view());
    foreign_write("UPDATE records SET data=CAST('six' AS BLOB); UPDATE params SET value='six'; "
                  "UPDATE text_records SET data=CAST('six' AS BLOB)");
    EXPECT_EQ(expected("six"), view());

    // The file replaced by an older copy of itself (a restored backup).
    const std::string saved = root.read("/mnt/nand/app/qxdb.db");
    put("rec", 1, "ten");
    EXPECT_EQ(expected("ten"), view());
    EXPECT_EQ(expected("ten"), view());
    qxdb_close_all();
    root.write("/mnt/nand/app/qxdb.tmp", saved);
    ASSERT_EQ(0, rename(root.host("/mnt/nand/app/qxdb.tmp").c_str(), root.host("/mnt/nand/app/qxdb.db").c_str()));
    EXPECT_EQ(expected("six"), view());
}

// Results of one transaction belong to one state of the file: when the file
// changes between a result from the cache and one from the file, the body
// runs again on the file alone.
TEST_F(SettingsCache, OneTransactionSeesOneState)
{
    put("rec", 1, "old");
    ASSERT_EQ(0, qxdb_transact(db, QXDB_WRITE, [&](QxDbTxn &t) { return t.put("rec", 2, "old", 3); }));
    for (int i = 0; i < 2; i++) // the second read fills nothing new: rec 1 is cached
        ASSERT_EQ(1, qxdb_transact(db, QXDB_READ, [&](QxDbTxn &t) { return t.get("rec", 1, nullptr, 0); }));
    int runs = 0;
    std::string a, b;
    int rc = qxdb_transact(db, QXDB_READ, [&](QxDbTxn &t) {
        char ra[4] = {}, rb[4] = {};
        t.get("rec", 1, ra, 3); // from the cache
        if (runs++ == 0) foreign_write("UPDATE records SET data=CAST('new' AS BLOB)");
        t.get("rec", 2, rb, 3); // not cached yet: from the file
        a = ra;
        b = rb;
        return 0;
    });
    EXPECT_EQ(0, rc);
    EXPECT_EQ(2, runs);
    EXPECT_EQ("new", a);
    EXPECT_EQ("new", b);
}

// A damaged or hostile cache file never changes what a read returns.
TEST_F(SettingsCache, DamagedCacheFileIsNeverBelieved)
{
    put("rec", 1, "abc");
    EXPECT_EQ(expected("abc"), view());
    EXPECT_EQ(expected("abc"), view());
    const std::string good = root.read(kCache);
    ASSERT_GT(good.size(), 16456u);
    struct Damage {
        const char *name;
        std::string content;
    };
    std::string values = good, lengths = good, slots = good, used = good;
    // Entry values and key lengths overwritten, slots pointing anywhere, the
    // used size beyond the file.
    for (size_t i = 16456; i < values.size(); i++) values[i] = static_cast<char>(i * 7);
    for (size_t i = 16456; i + 8 <= lengths.size(); i += 8) memset(&lengths[i], 0xff, 8);
    for (size_t i = 72; i < 16456; i += 16) memset(&slots[i + 4], static_cast<int>(i), 8);
    memset(&used[12], 0x7f, 4);
    const Damage rows[] = {
        {"empty", ""},           {"short header", good.substr(0, 40)}, {"header only", good.substr(0, 72)},
        {"cut entries", good.substr(0, good.size() - 5)}, {"garbled values", values},
        {"huge lengths", lengths}, {"wild slots", slots},  {"used past the end", used},
        {"noise", std::string(good.size(), '\xa5')},
    };
    for (const Damage &d : rows) {
        qxdb_close_all();
        root.write(kCache, d.content);
        EXPECT_EQ(expected("abc"), view()) << d.name;
        EXPECT_EQ(expected("abc"), view()) << d.name;
    }
}

} // namespace
