// Network disks, disk removal, health, quotas, groups and the external
// backup end to end, each group a table of requests and what they leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/records/storage.h"
#include "common/settings.h"
#include "tests/support/route_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;

class NetworkDiskTest : public RouteTest {
protected:
    DiskRecord disk(int port)
    {
        DiskRecord d{};
        read_disk(kDb, &d, port);
        return d;
    }
    void store_disk(int port, int type, int group, const char *address)
    {
        DiskRecord d{};
        d.port = port;
        d.configured = 1;
        d.hdd_type = type;
        d.group = group;
        d.property = 1;
        strcpy(d.address, address);
        strcpy(d.directory, "/share");
        ASSERT_EQ(0, write_disk(kDb, &d));
    }
    std::vector<int> listed(const FakeRequest &r)
    {
        NasList list{};
        EXPECT_TRUE(r.as(&list));
        return std::vector<int>(list.ports, list.ports + std::max(0, std::min(list.count, 33)));
    }
    void expect_nas_log(const FakeRequest &r, int sub_type, int port, int detail_type, const char *protocol,
                        const char *address)
    {
        OpLogRecord log = oplog_of(r);
        EXPECT_EQ(sub_type, log.sub_type);
        EXPECT_EQ(port, log.object_no);
        int type = 0;
        NasLogDetail detail{};
        ASSERT_TRUE(oplog_detail(r, &type, &detail));
        EXPECT_EQ(detail_type, type);
        EXPECT_EQ(protocol, field_text(detail.protocol)) << port;
        EXPECT_EQ(address, field_text(detail.address));
    }
};

std::string json_array(const std::vector<std::string> &items)
{
    std::string s = "[";
    for (size_t i = 0; i < items.size(); i++) s += (i ? "," : "") + items[i];
    return s + "]";
}

// ---- /6201, /6200, /6203 ---------------------------------------------------------------------

TEST_F(NetworkDiskTest, AddTakesAtMost33AndFillsMissingTextsEmpty)
{
    std::vector<std::string> ports;
    for (int p = 1; p <= 36; p++) ports.push_back(std::to_string(p));
    ports.push_back("1");
    ports.push_back("40");
    ports.push_back("\"7\"");
    ports.push_back("0");
    const std::string long_user = "%41" + std::string(40, 'b'); // "A" and 40 b's: cut after decoding
    daemon.on(IPC_NAS_ADD).reply_int(5);
    ProcResult r = post("/6201", R"({"num":40,"port":)" + json_array(ports) +
                                     R"(,"vendor":["v1","v2"],"address":["10.0.0.1"],"directory":["/d"],"userName":[")" +
                                     long_user + R"(","us%20er"],"password":["p%40ss",5]})");
    EXPECT_EQ(R"({"status":0,"res":5})", r.body());
    std::vector<FakeRequest> sent = traffic();
    ASSERT_EQ(34u, sent.size());
    ASSERT_EQ(IPC_NAS_ADD, sent[0].code);
    std::vector<int> expected;
    for (int p = 1; p <= 33; p++) expected.push_back(p);
    EXPECT_EQ(expected, listed(sent[0]));
    expect_nas_log(sent[1], 219, 1, NAS_LOG_DETAIL_TYPE, "NFS", "10.0.0.1");
    expect_nas_log(sent[33], 219, 33, NAS_LOG_DETAIL_TYPE, "NFS", "");

    const DiskRecord first = disk(1), second = disk(2), last = disk(33);
    EXPECT_EQ(1, first.configured);
    EXPECT_EQ(HDD_TYPE_NFS, first.hdd_type);
    EXPECT_EQ(1, first.property);
    EXPECT_EQ("A" + std::string(31, 'b'), field_text(first.user_name));
    EXPECT_EQ("p@ss", field_text(first.password));
    EXPECT_EQ("us er", field_text(second.user_name));
    EXPECT_EQ("", field_text(second.password)); // a number is no text
    EXPECT_EQ("v2", field_text(second.vendor));
    EXPECT_EQ("", field_text(second.address));
    EXPECT_EQ(33, last.port);
    EXPECT_EQ(0, disk(34).configured);

    // SMB shares; a time-out stores the disks but logs nothing.
    daemon.on(IPC_NAS_ADD).reply_int(0);
    EXPECT_EQ(R"({"status":0,"res":0})", post("/6201", R"({"num":2,"type":10,"port":["x",35],"address":["a","b"]})").body());
    sent = traffic();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(std::vector<int>{35}, listed(sent[0]));
    expect_nas_log(sent[1], 219, 35, NAS_LOG_DETAIL_TYPE, "SMB/CIFS", "b");
    daemon.on(IPC_NAS_ADD).silent();
    EXPECT_EQ("CGI ERROR", post_fast("/6201", R"({"num":1,"port":[36]})").body());
    EXPECT_EQ((std::vector<int>{IPC_NAS_ADD}), codes_of(traffic()));
    EXPECT_EQ(1, disk(36).configured);
}

TEST_F(NetworkDiskTest, DeleteAndEditLogWhatTheyTouched)
{
    store_disk(17, HDD_TYPE_NFS, 0, "192.168.1.60");
    store_disk(19, HDD_TYPE_SMB, 0, "fileserver");
    struct Row {
        const char *route, *body;
        int code;
        std::string reply, answer;
        std::vector<int> list;              // /6200: the ports sent
        std::vector<const char *> protocols; // the log entries, in order
    } rows[] = {
        {"/6200", R"({"num":6,"port":[17,17,40,"a",18,19]})", IPC_NAS_DELETE, le32(0), "OK", {17, 18, 19}, {"NFS", "SMB/CIFS"}},
        {"/6200", R"({"num":1,"port":[17,19]})", IPC_NAS_DELETE, le32(3), "Error", {17}, {"NFS"}},
        {"/6200", R"({"num":3,"port":[17]})", IPC_NAS_DELETE, "", "CGI ERROR", {17}, {}},
        {"/6203", R"({"port":18,"type":10,"address":"nas2","directory":"/x","userName":"a%2Fb","password":"pw"})",
         IPC_NAS_EDIT, le32(0), R"({"status":0,"res":0})", {}, {"SMB/CIFS"}},
        {"/6203", R"({"port":18,"type":3,"address":"nas2"})", IPC_NAS_EDIT, le32(4), R"({"status":0,"res":4})", {}, {"NFS"}},
        {"/6203", R"({"port":18,"type":7,"address":"nas2"})", IPC_NAS_EDIT, le32(0), R"({"status":0,"res":0})", {}, {""}},
        {"/6203", R"({"port":0,"type":3})", 0, "", "", {}, {}},
        {"/6203", R"({"type":3})", 0, "", "", {}, {}},
    };
    for (const Row &row : rows) {
        if (row.code) daemon.on(row.code).reply(row.reply);
        EXPECT_EQ(row.answer, reply_of(post_fast(row.route, row.body))) << row.body;
        std::vector<FakeRequest> sent = traffic();
        if (!row.code) {
            EXPECT_TRUE(sent.empty()) << row.body;
            continue;
        }
        ASSERT_EQ(1 + row.protocols.size(), sent.size()) << row.body;
        EXPECT_EQ(row.code, sent[0].code);
        if (row.code == IPC_NAS_DELETE) {
            EXPECT_EQ(row.list, listed(sent[0])) << row.body;
        } else {
            EXPECT_EQ(le32(18), sent[0].payload);
        }
        for (size_t i = 0; i < row.protocols.size(); i++) {
            const bool edit = row.code == IPC_NAS_EDIT;
            const int port = edit ? 18 : i == 0 ? 17 : 19;
            const char *address = edit ? "nas2" : port == 17 ? "192.168.1.60" : "fileserver";
            expect_nas_log(sent[1 + i], edit ? 221 : 220, port, edit ? NAS_EDIT_LOG_DETAIL_TYPE : NAS_LOG_DETAIL_TYPE,
                           row.protocols[i], address);
        }
    }
    EXPECT_EQ(7, disk(18).hdd_type);
    EXPECT_EQ("", field_text(disk(18).user_name)); // the last edit carried none
}

// ---- /6207 -----------------------------------------------------------------------------------

TEST_F(NetworkDiskTest, RemoveByTypeAndForgetOnlyWhatTheDaemonLetGo)
{
    for (int port : {5, 6, 7}) store_disk(port, 0, 4, "");
    NasList one{};
    one.count = 1;
    one.ports[0] = 17;
    RaidRequest raid{};
    raid.id = 10;
    struct Row {
        const char *body;
        int code;
        std::string payload, reply;
        const char *answer;
        int logged;    // object number of the 224 entry, -1 none
        int port;      // the disk whose record is checked, 0 none
        int group;     // its group afterwards (0: started afresh)
    } rows[] = {
        {R"({"port":10,"hddType":4})", IPC_RAID_REMOVE, bytes_of(raid), le32(0), "OK", 0, 0, 0},
        {R"({"port":17,"hddType":10})", IPC_NAS_DELETE, bytes_of(one), le32(0), "OK", -1, 0, 0},
        {R"({"port":17,"hddType":3})", IPC_NAS_DELETE, bytes_of(one), le32(1), "Error", -1, 0, 0},
        {R"({"port":5,"hddType":0})", IPC_DISK_REMOVE, le32(5), le32(0), "OK", 5, 5, 0},
        {R"({"port":6,"hddType":1})", IPC_DISK_REMOVE, le32(6), le32(2), "Error", 6, 6, 4},
        {R"({"port":7,"hddType":0})", IPC_DISK_REMOVE, le32(7), "", "CGI ERROR", -1, 7, 4},
        {R"({"port":37,"hddType":0})", 0, "", "", "", -1, 0, 0},
        {R"({"port":7})", 0, "", "", "", -1, 7, 4},
    };
    for (const Row &row : rows) {
        if (row.code) daemon.on(row.code).reply(row.reply);
        EXPECT_EQ(row.answer, reply_of(post_fast("/6207", row.body))) << row.body;
        std::vector<FakeRequest> sent = traffic();
        if (!row.code) {
            EXPECT_TRUE(sent.empty()) << row.body;
        } else {
            ASSERT_EQ(row.logged >= 0 ? 2u : 1u, sent.size()) << row.body;
            EXPECT_EQ(row.code, sent[0].code);
            EXPECT_EQ(row.payload, sent[0].payload) << row.body;
            if (row.logged >= 0) {
                EXPECT_EQ(224, oplog_of(sent[1]).sub_type);
                EXPECT_EQ(row.logged, oplog_of(sent[1]).object_no);
            }
        }
        if (row.port) {
            EXPECT_EQ(row.group, disk(row.port).group) << row.body;
            EXPECT_EQ(row.group ? 1 : 0, disk(row.port).configured) << row.body;
            EXPECT_EQ(1, disk(row.port).property);
        }
    }
}

// ---- Daemon answers ---------------------------------------------------------------------------

std::string text40(const std::string &text)
{
    std::string s = text;
    s.resize(40, '\0');
    return s;
}

TEST_F(NetworkDiskTest, DaemonAnswersStayWithinTheirReplies)
{
    NasSearchReply search{};
    search.count = 100;
    strcpy(search.paths[0], "/export/nvr");
    memset(search.paths[1], 'p', 256);
    const std::string two_paths = bytes_of(search).substr(0, 4 + 2 * 256 + 100);
    QuotaRecord quota{};
    quota.enable = 1;
    quota.count = 1000;
    quota.entries[0] = QuotaEntry{3, {}, 500, 20, 120, 7};
    quota.entries[2].channel = 9;
    BackupStatusRecord backup{};
    backup.status = 1;
    strcpy(backup.last_time, "2026-12-06 02:00");
    backup.percent = 42.5f;
    backup.capacity = 0x100000005ULL;
    BackupStatusRecord nan_backup = backup;
    nan_backup.percent = NAN;
    ExportDiskRecord other{}, esata{};
    other.kind = 3;
    other.port = 9;
    esata.kind = EXPORT_DISK_KIND;
    esata.port = 25;
    const FormatInfoRecord fmt{1, 60, 2, {}, 0};

    struct Row {
        const char *route, *body;
        int code;
        std::string sent; // expected payload; "*": not checked
        std::string reply, answer;
    } rows[] = {
        {"/6206", R"({"num":2,"port":[4,9]})", IPC_DISK_HEALTH, le32(9), text40("SMART overall-health: PASSED"), R"({"selfEvaluation":1})"},
        {"/6206", R"({"num":5,"port":[4]})", IPC_DISK_HEALTH, le32(4), std::string(37, 'x') + "PASSED" + "xxx", R"({"selfEvaluation":0})"},
        {"/6206", R"({"num":1,"port":[4]})", IPC_DISK_HEALTH, le32(4), std::string(30, 'x'), "{status:\"CGI ERROR\"}"},
        {"/6202", R"({"port":17,"serverAddr":"192.168.1.60"})", IPC_NAS_SEARCH, "*", two_paths,
         R"({"resultString":"OK","NAS":[{"filePath":"\/export\/nvr"},{"filePath":")" + std::string(256, 'p') + "\"}]}"},
        {"/6202", R"({"port":17})", IPC_NAS_SEARCH, "*", le32(0), R"({"resultString":"NO","NAS":[]})"},
        {"/6202", R"({"port":17})", IPC_NAS_SEARCH, "*", le32(-5), R"({"resultString":"NO","NAS":[]})"},
        {"/6208", "", IPC_QUOTA_GET, "", bytes_of(quota).substr(0, 8 + 3 * 20 + 5),
         R"({"enable":1,"quota_array":[{"channel":3,"video_used":120,"video_quota":500,"picture_used":7,"picture_quota":20},)"
         R"({"channel":0,"video_used":0,"video_quota":0,"picture_used":0,"picture_quota":0},)"
         R"({"channel":9,"video_used":0,"video_quota":0,"picture_used":0,"picture_quota":0}],"channel":["0011","","","","","","","","","","","","","","",""],)"
         R"("disk":[0,0,3,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],"max_chan":16,"group_enable":1})"},
        {"/6205", "", IPC_RECYCLE_GET, le32(0), bytes_of(RecycleMode{2, 1}), R"({"mode":2,"esata":1})"},
        {"/6204", R"({"mode":1,"esata":0})", IPC_RECYCLE_SET, bytes_of(RecycleMode{1, 0}), le32(0), R"({"status":"OK"})"},
        {"/6222", "", IPC_BACKUP_STATUS, "", bytes_of(backup), R"({"status":1,"percent":"42.5","last_time":"2026-12-06 02:00","capacity":5})"},
        {"/6222", "", IPC_BACKUP_STATUS, "", bytes_of(nan_backup), R"({"status":1,"percent":"0.0","last_time":"2026-12-06 02:00","capacity":5})"},
        {"/6223", "", IPC_EXPORT_DISK, "", bytes_of(other) + bytes_of(esata), R"({"port":25,"result":0})"},
        {"/6223", "", IPC_EXPORT_DISK, "", bytes_of(other), R"({"result":-1})"},
        {"/6223", "", IPC_EXPORT_DISK, "", "", R"({"result":-1})"},
        {"/6224", R"({"port":3})", IPC_ESATA_FORMAT, le32(3), le32(-2), R"({"result":-2})"},
        {"/6225", "", IPC_BACKUP_TASK, "", le32(4), R"({"status":4})"},
        {"/6226", "", IPC_BACKUP_STOP, "", le32(0), R"({"result":0})"},
        {"/6227", "", IPC_FORMAT_INFO, "", bytes_of(fmt), R"({"status":1,"port":2,"type":0,"percent":60})"},
    };
    GroupRecord g{};
    g.id = 0;
    strcpy(g.channels, "0011");
    ASSERT_EQ(0, write_disk_group(kDb, &g));
    store_disk(3, 0, 2, "");
    ASSERT_EQ(0, set_param_int(kDb, "max_cameras", 16));
    ASSERT_EQ(0, set_param_int(kDb, "group_mode", 1));
    for (const Row &row : rows) {
        daemon.on(row.code).reply(row.reply);
        EXPECT_EQ(row.answer, post_fast(row.route, row.body).body()) << row.route << " " << row.body;
        std::vector<FakeRequest> sent = traffic();
        ASSERT_EQ(1u, sent.size()) << row.route;
        EXPECT_EQ(row.code, sent[0].code);
        if (row.sent != "*") {
            EXPECT_EQ(row.sent, sent[0].payload) << row.route << " " << row.body;
        }
    }
    // Refused: no port to ask about; a port out of range answers the error at once.
    for (const char *body : {R"({"num":0,"port":[4]})", R"({"num":2,"port":["4","9"]})", "x"})
        EXPECT_EQ("", post("/6206", body).answer()) << body;
    for (const char *body : {R"({"port":37})", R"({"port":"3"})", "x"})
        EXPECT_EQ("{status:\"CGI ERROR\"}", post("/6224", body).body()) << body;
    EXPECT_TRUE(traffic().empty());
}

// ---- Quota, groups and backup settings ------------------------------------------------------------

TEST_F(NetworkDiskTest, QuotaAndGroupSettersBoundWhatTheySend)
{
    std::vector<std::string> entries;
    for (int i = 0; i < 70; i++)
        entries.push_back(R"({"channel":)" + std::to_string(i == 1 ? 256 : i % 64) + R"(,"video_quota":)" +
                          std::to_string(i) + R"(,"picture_quota":1})");
    daemon.on(IPC_QUOTA_SET).reply_int(0);
    EXPECT_EQ("OK", post("/6209", R"({"enable":1,"quota_array":)" + json_array(entries) + "}").body());
    std::vector<FakeRequest> sent = traffic();
    QuotaRecord q{};
    ASSERT_TRUE(sent[0].as(&q));
    EXPECT_EQ(64, q.count);
    EXPECT_EQ(0, q.entries[0].channel);
    EXPECT_EQ(2, q.entries[1].channel) << "the entry of channel 256 is left out";
    EXPECT_EQ(64, q.entries[63].video_quota);
    daemon.on(IPC_QUOTA_SET).reply_int(1);
    EXPECT_EQ("Error", post("/6209", R"({"enable":0})").body());
    traffic();
    EXPECT_EQ("", post("/6209", R"({"quota_array":[]})").answer());

    for (int i = 0; i < DISK_GROUPS; i++) {
        GroupRecord g{};
        g.id = i;
        snprintf(g.second, sizeof g.second, "second%d", i);
        ASSERT_EQ(0, write_disk_group(kDb, &g));
    }
    std::vector<std::string> texts;
    for (int i = 0; i < 20; i++) texts.push_back(i == 2 ? "5" : "\"" + std::string(70, 'a' + i % 26) + "\"");
    const std::string on = R"({"group_enable":1,"channel":)" + json_array(texts) + "}";
    struct Row {
        std::string body;
        std::vector<int> codes;
        int group_mode;
    } rows[] = {
        {on, {IPC_GROUP_MODE}, 1},
        {on, {}, 1},
        {R"({"group_enable":0,"channel":["1"]})", {IPC_GROUP_MODE}, 0},
    };
    for (Row &row : rows) {
        if (row.group_mode) {
            for (int i = 0; i < 15; i++) row.codes.push_back(IPC_GROUP_SET); // 16 groups, one element no text
            row.codes.push_back(IPC_GROUPS_CHANGED);
        }
        EXPECT_EQ("OK", post("/6210", row.body).body());
        sent = traffic();
        EXPECT_EQ(row.codes, codes_of(sent)) << row.body;
        EXPECT_EQ(row.group_mode, get_param_int(kDb, "group_mode", -1));
        if (!row.group_mode || sent.size() < 2) continue;
        GroupMessage m{};
        ASSERT_TRUE(sent[sent.size() - 2].as(&m));
        EXPECT_EQ(15, m.id);
        EXPECT_EQ(std::string(64, 'p'), field_text(m.channels));
        EXPECT_EQ("second15", field_text(m.second));
    }
    EXPECT_EQ("", post("/6210", R"({"channel":[]})").answer());
}

TEST_F(NetworkDiskTest, BackupSettingsStoreOnlyWhenNotStopping)
{
    const std::string settings = R"("enable":1,"streamType":1,"fileType":2,"recycle":1,"backupTime":"02:00","channel":")" +
                                 std::string(70, '1') + R"(","device":3,"port":25})";
    daemon.on(IPC_BACKUP_SETTINGS).reply_int(0);
    EXPECT_EQ(R"({"result":0})", post("/6221", R"({"stopBackup":0,)" + settings).body());
    std::vector<FakeRequest> sent = traffic();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(le32(0), sent[0].payload);
    const std::string stored = R"({"enable":1,"streamType":1,"fileType":2,"recycle":1,"backupTime":"02:00","channel":")" +
                               std::string(64, '1') + R"(","device":3,"port":25})";
    EXPECT_EQ(stored, post("/6220", "").body());

    daemon.on(IPC_BACKUP_SETTINGS).reply_int(7);
    EXPECT_EQ(R"({"result":7})", post("/6221", R"({"stopBackup":1,"enable":0,"backupTime":"09:00"})").body());
    EXPECT_EQ(le32(1), traffic()[0].payload);
    EXPECT_EQ(stored, post("/6220", "").body());
}

} // namespace
