// Device log end to end: the log types (/1015), the search (/1002) with the
// request it sends and the page it shows, the details (/1021), the CSV export
// (/1003) read back with a strict CSV parser, and the export mark (/1022);
// against the fake daemon and, for a whole day of entries, the simulator.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <thread>

#include "common/records/log.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "tests/support/network_fixture.h"
#include "tests/support/sim_process.h"

namespace {

// RFC 4180 records: fields separated by ',', records ended by CR LF, quoted
// fields with doubled quotes. False for anything else (a bare quote, text
// behind a closing quote, a record without its CR LF).
bool parse_csv(const std::string &text, std::vector<std::vector<std::string>> *rows)
{
    rows->clear();
    std::vector<std::string> row;
    std::string field;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (i++;; i++) {
                if (i >= text.size()) return false;
                if (text[i] != '"') field += text[i];
                else if (i + 1 < text.size() && text[i + 1] == '"') field += text[i++];
                else break;
            }
            i++;
            if (i < text.size() && text[i] != ',' && text[i] != '\r') return false;
            continue;
        }
        if (text[i] == ',') {
            row.push_back(field);
            field.clear();
            i++;
        } else if (text[i] == '\r') {
            if (i + 1 >= text.size() || text[i + 1] != '\n') return false;
            row.push_back(field);
            field.clear();
            rows->push_back(row);
            row.clear();
            i += 2;
        } else if (text[i] == '"' || text[i] == '\n') {
            return false;
        } else {
            field += text[i++];
        }
    }
    return row.empty() && field.empty();
}

std::string today(const char *format)
{
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    char out[32];
    strftime(out, sizeof out, format, &tmv);
    return out;
}

int32_t local_seconds(int y, int mo, int d, int h, int mi, int s)
{
    struct tm tmv{};
    tmv.tm_year = y - 1900;
    tmv.tm_mon = mo - 1;
    tmv.tm_mday = d;
    tmv.tm_hour = h;
    tmv.tm_min = mi;
    tmv.tm_sec = s;
    tmv.tm_isdst = -1;
    return static_cast<int32_t>(mktime(&tmv));
}

LogEntry entry(int main_type, int64_t sub_type, int param, int channel, const char *ip, const char *user,
               const std::string &detail)
{
    LogEntry e{};
    e.main_type = main_type;
    e.sub_type = sub_type;
    e.time = local_seconds(2024, 3, 9, 14, 5, 6);
    e.param_type = param;
    e.remote = 1;
    e.channel = channel;
    COPY_TEXT(e.client_addr, ip);
    COPY_TEXT(e.user_name, user);
    e.size = static_cast<int32_t>(detail.size());
    memcpy(e.detail, detail.data(), std::min(detail.size(), sizeof e.detail));
    return e;
}

json_object *member(json_object *o, const char *key)
{
    json_object *v = nullptr;
    json_object_object_get_ex(o, key, &v);
    return v;
}

std::string search_body(const std::string &extra)
{
    return R"({"language":"en","startTime":"2024-03-09 00:00:00","endTime":"2024-03-09 23:59:59",)"
           R"("mainType":4,"subTypeArr":[10],"curPageNum":3,"chnMask":"0101","searchNoChn":1)" +
           extra + "}";
}

std::string export_body(int main_type, const std::string &subs, const std::string &extra = "")
{
    return R"({"language":"en","startTime":"2024-03-09T00:00:00","endTime":"2024-03-09T23:59:59","mainType":)" +
           std::to_string(main_type) + R"(,"subTypeArr":)" + subs + R"(,"curPageNum":1,"ch":"10","na":1)" + extra +
           "}";
}

class LogTest : public NetworkFixture {
protected:
    // The one search or export request the daemon received.
    LogSearchRequest sent(int code)
    {
        LogSearchRequest req{};
        std::vector<FakeRequest> all = traffic();
        EXPECT_EQ(1u, all.size());
        if (!all.empty()) {
            EXPECT_EQ(code, all[0].code);
            EXPECT_TRUE(all[0].as(&req));
        }
        return req;
    }
};

// ---- Log types ----------------------------------------------------------------------------

TEST_F(LogTest, LogTypesListEveryMainTypeWithItsSubTypes)
{
    root.write("/opt/app/trans/de.txt", "3=Bedienung\n10=Alle\n");
    struct Case {
        const char *name;
        std::string body;
        int oem_type;
        const char *operation_name; // "" = refused
        std::vector<int> events;
    } cases[] = {
        {"English", R"({"lan":"en"})", 0, "Operation",
         {10, 11, 12, 13, 14, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 33, 34, 35, 36, 38, 39, 40, 41,
          37, 42, 43, 44}},
        {"OEM 90 events", R"({"lan":"en-US"})", 90, "Operation",
         {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 33, 34, 35, 36, 38, 39,
          40, 41, 37, 42, 43, 44}},
        {"language file", R"({"lan":"de"})", 0, "Bedienung", {}},
        {"language leaving the directory", R"({"lan":"../de"})", 0, "", {}},
        {"no language", R"({})", 0, "", {}},
        {"not JSON", "lan=en", 0, "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        set_param_int(QXDB_PATH, "oem_type", c.oem_type);
        ProcResult r = post("/1015", c.body);
        if (!*c.operation_name) {
            EXPECT_EQ("{status:\"CGI ERROR\"}", said(r));
            continue;
        }
        json_object *o = reply_json(r);
        ASSERT_TRUE(o) << r.out;
        json_object *mains = member(o, "mainType"), *subs = member(o, "subType");
        ASSERT_EQ(6u, jv_len(mains));
        ASSERT_EQ(6u, jv_len(subs));
        std::vector<int> keys;
        for (size_t i = 0; i < 6; i++) keys.push_back(json_object_get_int(member(jv_at(mains, i), "key")));
        EXPECT_EQ((std::vector<int>{1, 2, 4, 8, 32, 64}), keys);
        EXPECT_STREQ(c.operation_name, json_object_get_string(member(jv_at(mains, 2), "name")));
        EXPECT_STREQ("Event", json_object_get_string(member(jv_at(mains, 1), "name")));
        EXPECT_EQ(1u, jv_len(jv_at(subs, 0)));
        EXPECT_EQ(74u, jv_len(jv_at(subs, 2)));            // all, 101..144, 200..228
        EXPECT_EQ(1u + 22 - 4, jv_len(jv_at(subs, 3)));    // all, 500..521 without 507..510
        EXPECT_EQ(1u + 13, jv_len(jv_at(subs, 4)));        // all, 400..413 without 408
        EXPECT_EQ(5u, jv_len(jv_at(subs, 5)));
        if (!c.events.empty()) {
            std::vector<int> events;
            for (size_t i = 0; i < jv_len(jv_at(subs, 1)); i++)
                events.push_back(json_object_get_int(member(jv_at(jv_at(subs, 1), i), "key")));
            EXPECT_EQ(c.events, events);
        }
        json_object_put(o);
    }
}

// ---- Search -----------------------------------------------------------------------------

TEST_F(LogTest, SearchChecksTheRequestAndSendsIt)
{
    daemon.on(IPC_LOG_SEARCH).reply(le32(0) + le32(0));
    struct Case {
        const char *name;
        std::string body;
        bool sent;
        int sub_count;
    } cases[] = {
        {"all operations", search_body(""), true, 1},
        {"sub type 5", search_body(R"(,"subTypeArr":[5])"), false, 0},
        {"sub type as text", search_body(R"(,"subTypeArr":["10"])"), false, 0},
        {"no sub types", search_body(R"(,"subTypeArr":[])"), false, 0},
        {"main type 0", search_body(R"(,"mainType":0)"), false, 0},
        {"main type 65", search_body(R"(,"mainType":65)"), false, 0},
        {"bad time", search_body(R"(,"startTime":"yesterday")"), false, 0},
        {"time with trailing text", search_body(R"(,"endTime":"2024-03-09 23:59:59x")"), false, 0},
        {"no page", R"({"language":"en","startTime":"2024-03-09 00:00:00","endTime":"2024-03-09 23:59:59",)"
                    R"("mainType":4,"subTypeArr":[10]})", false, 0},
        {"language with a slash", search_body(R"(,"language":"en/x")"), false, 0},
        {"150 sub types", search_body(R"(,"subTypeArr":[)" + [] {
             std::string s = "11";
             for (int i = 1; i < 150; i++) s += "," + std::to_string(11 + i);
             return s + "]";
         }()), true, 100},
        {"not JSON", "language=en", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ProcResult r = post("/1002", c.body);
        if (!c.sent) {
            EXPECT_EQ("{status:\"CGI ERROR\"}", said(r));
            EXPECT_EQ(std::vector<int>{}, codes());
            continue;
        }
        EXPECT_EQ("ERROR", said(r)); // an empty page
        EXPECT_NE(std::string::npos, r.headers().find("application/json"));
        LogSearchRequest req = sent(IPC_LOG_SEARCH);
        EXPECT_EQ(local_seconds(2024, 3, 9, 0, 0, 0), req.start_time);
        EXPECT_EQ(local_seconds(2024, 3, 9, 23, 59, 59), req.end_time);
        EXPECT_EQ(4, req.main_type);
        EXPECT_EQ(c.sub_count, req.sub_type_count);
        EXPECT_EQ(c.sub_count == 1 ? 10 : 11, req.sub_types[0]);
        EXPECT_EQ(c.sub_count == 1 ? 10 : 110, req.sub_types[c.sub_count - 1]);
        EXPECT_EQ(3, req.page);
        EXPECT_EQ((1ULL << 1) | (1ULL << 3), req.channel_mask);
        EXPECT_EQ(1, req.no_channel);
    }
}

TEST_F(LogTest, SearchPageShowsTheEntriesTheReplyHolds)
{
    std::string detail("Disk 2 \"A\"\x01\x02\x03\x04", 14);
    LogEntry a = entry(4, 207, 900, 2, "::ffff:192.168.1.5", "admin", detail);
    LogEntry b = entry(2, 11, 0, 3, "fe80::1%eth0", "", "");
    memset(b.user_name, 'u', sizeof b.user_name); // no zero within the field
    b.sub_type = 0x100000000LL + 11;               // beyond int: shown, not named
    // The header claims a full page; the payload holds two entries.
    std::string two = le32(57) + le32(100) + bytes_of(a) + bytes_of(b) + std::string(100, '\0');
    struct Case {
        const char *name;
        std::string payload;
        size_t shown; // 0: "ERROR"
    } cases[] = {
        {"two of a claimed hundred", two, 2},
        {"header only", le32(5) + le32(3), 0},
        {"count 0", le32(0) + le32(0) + bytes_of(a), 0},
        {"negative count", le32(1) + le32(-1) + bytes_of(a), 0},
        {"short of one entry", le32(1) + le32(1) + bytes_of(a).substr(0, 671), 0},
        {"empty reply", "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        daemon.on(IPC_LOG_SEARCH).reply(c.payload);
        ProcResult r = post("/1002", search_body(""));
        EXPECT_NE(std::string::npos, r.headers().find("application/json"));
        if (c.shown == 0) {
            EXPECT_EQ("ERROR", said(r));
            continue;
        }
        json_object *o = reply_json(r);
        ASSERT_TRUE(o) << r.out;
        EXPECT_EQ(57, json_object_get_int(member(o, "count")));
        EXPECT_EQ(2, json_object_get_int(member(o, "num")));
        EXPECT_EQ(3, json_object_get_int(member(o, "curPageNum")));
        json_object *log = member(o, "log");
        ASSERT_EQ(2u, jv_len(log));
        json_object *e = jv_at(log, 0);
        EXPECT_EQ(std::vector<std::string>({"no", "mainTypeValue", "mainType", "subTypeValue", "subType", "pts", "ptc",
                                            "parameterValue", "parameter", "remote", "chanNo", "disk", "size", "detail",
                                            "detail2", "ip", "user"}),
                  json_keys(e));
        EXPECT_EQ("Operation", json_text_at(e, "mainType"));
        EXPECT_EQ("Remote disk format", json_text_at(e, "subType"));
        EXPECT_EQ("2024-03-09 14:05:06", json_text_at(e, "ptc"));
        EXPECT_EQ("System", json_text_at(e, "parameter"));
        EXPECT_EQ("1", json_text_at(e, "disk"));
        EXPECT_EQ("192.168.1.5", json_text_at(e, "ip"));
        EXPECT_EQ(detail, json_text_at(e, "detail"));
        json_object *words = member(e, "detail2");
        ASSERT_EQ(128u, jv_len(words));
        EXPECT_EQ(0x4469736b, json_object_get_int(jv_at(words, 0))); // "Disk"
        EXPECT_EQ(0x41220102, json_object_get_int(jv_at(words, 2))); // 'A' '"' 1 2
        e = jv_at(log, 1);
        EXPECT_EQ("1", json_text_at(e, "no"));
        EXPECT_EQ("4294967307", json_text_at(e, "subTypeValue"));
        EXPECT_EQ("", json_text_at(e, "subType"));
        EXPECT_EQ("0", json_text_at(e, "disk"));
        EXPECT_EQ("fe80::1", json_text_at(e, "ip"));
        EXPECT_EQ(std::string(66, 'u'), json_text_at(e, "user"));
        json_object_put(o);
    }
}

// ---- Details --------------------------------------------------------------------------------

TEST_F(LogTest, DetailsRebuildTheEntryAndShowTheDaemonsText)
{
    const std::string body = R"({"mainTypeValue":4,"subTypeValue":4294967307,"pts":1700000000,"parameterValue":909,)"
                             R"("remote":1,"chanNo":2,"size":8,"detail2":[1147761515,-1,"x"],)"
                             R"("ip":")" + std::string(60, '1') + R"(","user":"admin"})";
    struct Case {
        const char *name;
        std::string body;
        bool answers;
        std::string payload;
        std::string answer;
    } cases[] = {
        {"text", body, true, std::string("Disk 2 formatted\0junk", 21), "Disk 2 formatted"},
        {"empty reply", body, true, "", "N/A"},
        {"only a zero", body, true, std::string(1, '\0'), "N/A"},
        {"daemon silent", body, false, "", "CGI ERROR"},
        {"not JSON", "detail", true, "x", "CGI ERROR"},
    };
    env["NVRWEB_TIME_SCALE"] = "0.001";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.answers) daemon.on(IPC_LOG_DETAIL).reply(c.payload);
        else daemon.on(IPC_LOG_DETAIL).silent();
        EXPECT_EQ(c.answer, said(post("/1021", c.body)));
        std::vector<FakeRequest> all = traffic();
        if (c.body == "detail") {
            EXPECT_TRUE(all.empty());
            continue;
        }
        ASSERT_EQ(1u, all.size());
        LogEntry e{};
        ASSERT_TRUE(all[0].as(&e));
        EXPECT_EQ(4, e.main_type);
        EXPECT_EQ(4294967307LL, e.sub_type);
        EXPECT_EQ(1700000000, e.time);
        EXPECT_EQ(909, e.param_type);
        EXPECT_EQ(2, e.channel);
        EXPECT_EQ(8, e.size);
        EXPECT_EQ(std::string("Disk\xff\xff\xff\xff\0\0\0\0", 12), std::string(reinterpret_cast<char *>(e.detail), 12));
        EXPECT_EQ(std::string(45, '1'), FIELD(e.client_addr));
        EXPECT_EQ("admin", FIELD(e.user_name));
    }
}

// ---- Export --------------------------------------------------------------------------------

TEST_F(LogTest, ExportOfOperationsExpandsOnlyTheGivenWords)
{
    daemon.on(IPC_LOG_EXPORT).silent();
    env["NVRWEB_TIME_SCALE"] = "0.0001";
    struct Case {
        int main_type;
        std::string subs;
        std::vector<int64_t> asked;
    } cases[] = {
        {4, "[10]", {10}},
        {4, "[11,10,10]", {101}},
        {4, "[536870922,10,10]", {130}},
        {4, "[11]", {101}},
        {4, "[10,12,15]", {132, 200, 202}},
        {4, "[10,10,10]", {}},
        {4, "[13,4]", {101, 102}},
        {2, "[11,12]", {11, 12}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.subs);
        EXPECT_EQ("{status:\"CGI ERROR\"}", said(post("/1003", export_body(c.main_type, c.subs))));
        LogSearchRequest req = sent(IPC_LOG_EXPORT);
        std::vector<int64_t> asked(req.sub_types, req.sub_types + std::min(req.sub_type_count, 100));
        EXPECT_EQ(c.asked, asked);
        EXPECT_EQ(1, req.page);
        EXPECT_EQ(10u, req.channel_mask);
        EXPECT_EQ(1, req.no_channel);
        EXPECT_EQ(local_seconds(2024, 3, 9, 23, 59, 59), req.end_time);
    }
    // the search's time form is not the export's
    EXPECT_EQ("{status:\"CGI ERROR\"}",
              said(post("/1003", export_body(4, "[10]", R"(,"startTime":"2024-03-09 00:00:00")"))));
    EXPECT_EQ(std::vector<int>{}, codes());
}

TEST_F(LogTest, ExportWritesACsvOfTheDaemonsFileAndRemovesIt)
{
    set_param_value(QXDB_PATH, "factory_mac", "00:1a\r\nX-Bad: 1");
    LogExportItem items[3] = {};
    items[0].entry = entry(4, 201, 900, 0, "::ffff:10.0.0.9", "ad,min", "");
    strcpy(items[0].detail, "Login, from \"web\"\r\nsecond line");
    items[1].entry = entry(32, 400, 0, 2, "fe80::2%eth1", "", "");
    items[2].entry = entry(8, 777, 12345, 1, "", "", "");
    std::string file = le32(3);
    for (const LogExportItem &i : items) file += bytes_of(i);
    file += std::string(100, 'x'); // a broken fourth entry is not read

    struct Case {
        const char *name;
        std::string path;
        size_t rows;
        bool kept; // the file named is left alone
    } cases[] = {
        {"file of the daemon", "/tmp/log/export_1.dat", 4, false},
        {"file elsewhere", "/mnt/nand/export.dat", 1, true},
        {"file climbing out", "/tmp/../mnt/nand/export.dat", 1, true},
        {"file missing", "/tmp/log/none.dat", 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        root.write("/tmp/log/export_1.dat", file);
        root.write("/mnt/nand/export.dat", file);
        LogExportReply reply{};
        strcpy(reply.path, c.path.c_str());
        daemon.on(IPC_LOG_EXPORT).reply_record(reply);
        ProcResult r = post("/1003", export_body(4, "[10]"));
        std::string headers = r.out.substr(0, r.out.find("\r\n\r\n") + 4);
        EXPECT_EQ(0u, headers.find("Content-Type:application/octet-stream\r\n"
                                   "Content-Disposition: attachment; filename= Operation_log_001aXBad1_"))
            << headers;
        EXPECT_EQ(".csv\r\n\r\n", headers.substr(headers.size() - 8));
        std::vector<std::vector<std::string>> rows;
        ASSERT_TRUE(parse_csv(r.body(), &rows)) << r.body();
        ASSERT_EQ(c.rows, rows.size());
        EXPECT_EQ(std::vector<std::string>({"Number", "Time", "Main", "Sub", "Parameter", "User", "Ip", "Channel",
                                            "Log information", ""}),
                  rows[0]);
        EXPECT_EQ(c.kept, root.exists(c.path));
        EXPECT_FALSE(root.exists(LOG_EXPORT_MARK));
        if (c.rows == 1) continue;
        EXPECT_EQ(std::vector<std::string>({"1", "2024-03-09 14:05:06", "Operation", "Remote login", "System",
                                            "ad,min", "10.0.0.9", "0", "Login, from \"web\"\r\nsecond line", ""}),
                  rows[1]);
        EXPECT_EQ(std::vector<std::string>({"2", "2024-03-09 14:05:06", "Exception", "Disk full", "N/A", "", "fe80::2",
                                            "2", "N/A", ""}),
                  rows[2]);
        EXPECT_EQ(std::vector<std::string>({"3", "2024-03-09 14:05:06", "Information", "", "N/A", "", "", "1", "N/A",
                                            ""}),
                  rows[3]);
    }
}

TEST_F(LogTest, ExportMarkExistsWhileTheExportRuns)
{
    EXPECT_EQ("NO", said(get("/1022")));
    LogExportReply reply{};
    strcpy(reply.path, "/tmp/log/none.dat");
    daemon.on(IPC_LOG_EXPORT).reply_record(reply, 1500);
    // /tmp/log is made when missing
    ASSERT_FALSE(root.exists(LOG_EXPORT_DIR));
    ProcResult exported;
    std::thread t([&] { exported = post("/1003", export_body(1, "[10]")); });
    bool seen = false;
    for (int i = 0; i < 100 && !seen; i++) {
        seen = root.exists(LOG_EXPORT_MARK);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ("OK", said(get("/1022")));
    t.join();
    EXPECT_NE(std::string::npos, exported.out.find("filename= All_log_"));
    EXPECT_EQ("NO", said(get("/1022")));
}

TEST(LogSimulator, TodaysLogSearchedAndExported)
{
    DeviceRoot root;
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());
    const std::string day = today("%Y-%m-%d");
    std::string search = R"({"language":"en","startTime":")" + day + R"( 00:00:00","endTime":")" + day +
                         R"( 23:59:59","mainType":4,"subTypeArr":[10],"curPageNum":1,"chnMask":"","searchNoChn":1})";
    json_object *page = json_tokener_parse(post_json(root, "/1002", search).body().c_str());
    ASSERT_TRUE(page);
    int operations = json_object_get_int(member(page, "num"));
    EXPECT_GT(operations, 5);
    EXPECT_EQ(operations, json_object_get_int(member(page, "count")));
    json_object_put(page);

    std::string all = R"({"language":"en","startTime":")" + day + R"(T00:00:00","endTime":")" + day +
                      R"(T23:59:59","mainType":1,"subTypeArr":[10],"curPageNum":1,"ch":"0","na":1})";
    ProcResult r = post_json(root, "/1003", all);
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE(parse_csv(r.body(), &rows)) << r.body();
    ASSERT_GT(rows.size(), static_cast<size_t>(operations) + 1);
    for (size_t i = 1; i < rows.size(); i++) {
        SCOPED_TRACE(i);
        ASSERT_EQ(10u, rows[i].size());
        EXPECT_EQ(std::to_string(i), rows[i][0]);
        EXPECT_EQ(day, rows[i][1].substr(0, 10));
        EXPECT_FALSE(rows[i][3].empty());
    }
    EXPECT_EQ(std::vector<std::string>{}, root.list("/tmp/log"));
}

} // namespace
