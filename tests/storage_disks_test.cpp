// Disks end to end: the disk list merged from the daemon and the settings
// database, disk properties, formatting with its log entry, RAID requests,
// the RAID mode, and a session against the simulator.
#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "common/records/storage.h"
#include "common/settings.h"
#include "tests/support/route_fixture.h"
#include "tests/support/sim_process.h"

namespace {

const char kDb[] = QXDB_PATH;

class DiskTest : public RouteTest {
protected:
    void store_disk(int port, int configured, int type, int group, const char *vendor = "", const char *address = "")
    {
        DiskRecord d{};
        d.port = port;
        d.configured = configured;
        d.hdd_type = type;
        d.group = group;
        d.property = 1;
        strcpy(d.vendor, vendor);
        strcpy(d.address, address);
        strcpy(d.directory, "/db/dir");
        strcpy(d.user_name, "us er");
        strcpy(d.password, "p@ss");
        ASSERT_EQ(0, write_disk(kDb, &d));
    }
    DiskRecord disk(int port)
    {
        DiskRecord d{};
        read_disk(kDb, &d, port);
        return d;
    }
};

DiskInfoRecord info(int port, int type, const char *vendor)
{
    DiskInfoRecord d{};
    d.port = port;
    d.hdd_type = type;
    strcpy(d.vendor, vendor);
    d.group = 2;
    d.total_size = 3ULL << 30;
    return d;
}

TEST_F(DiskTest, ListMergesDaemonAndDatabaseInPortOrder)
{
    store_disk(1, 1, 0, 5, "db vendor");        // reported local disk: the daemon's as it stands
    store_disk(5, 1, 0, 7, "offline", "x");     // configured, not reported
    store_disk(6, 0, 0, 8, "unused");           // not configured: not listed
    store_disk(17, 1, HDD_TYPE_NFS, 1, "nas", "192.168.1.60");
    DiskInfoRecord raid = info(10, HDD_TYPE_RAID, "array");
    raid.raid_sata_cnt = 99;
    raid.raid_members[0] = 3;
    raid.raid_members[1] = 4;
    raid.raid_members[2] = 40;
    DiskInfoRecord far = info(40, 0, "ignored");
    daemon.on(IPC_DISK_LIST)
        .reply(bytes_of(info(17, HDD_TYPE_NFS, "daemon")) + bytes_of(info(1, 0, "daemon disk")) + bytes_of(raid) +
               bytes_of(far) + std::string(100, 'z'));
    ASSERT_EQ(0, set_param_int(kDb, "esata_type", 2));

    const std::string body = post("/6100", "").body();
    EXPECT_EQ(0u, body.find(R"({"resultString":"OK","esataType":2,"HDD":[{"portId":1,"raid_id":1,"vendorName":"daemon disk",)"))
        << body;
    const struct {
        const char *what, *text;
    } expected[] = {
        {"the daemon's own disk", R"("vendorName":"daemon disk","address":"","directory":"","state":0,"bUsable":0,"totalSize":3072,)"},
        {"no credentials from the database", R"("userName":"","password":""},{"portId":5,)"},
        {"a local disk keeps the daemon's group", R"("hddType":0,"group":2,"property":0,)"},
        {"configured, unreported", R"({"portId":5,"raid_id":5,"vendorName":"offline","address":"x","directory":"\/db\/dir","state":2,)"},
        {"its type, group and property from the database", R"("hddType":0,"group":7,"property":1,)"},
        {"members clamped, high ports left out of the mask", R"("raid_sata_cnt":16,"raid_sata_port":24,)"},
        {"network disk: texts and credentials from the database",
         R"({"portId":17,"raid_id":17,"vendorName":"nas","address":"192.168.1.60","directory":"\/db\/dir",)"},
        {"credentials URL-encoded", R"("userName":"us%20er","password":"p%40ss"}],"maxDiskNum":36})"},
    };
    for (const auto &e : expected) EXPECT_NE(std::string::npos, body.find(e.text)) << e.what << "\n" << body;
    EXPECT_EQ(std::string::npos, body.find("\"portId\":40"));
    EXPECT_EQ(std::string::npos, body.find("\"portId\":6,"));
    EXPECT_LT(body.find("\"portId\":5,"), body.find("\"portId\":10,"));
    EXPECT_LT(body.find("\"portId\":10,"), body.find("\"portId\":17,"));
    EXPECT_EQ("", traffic()[0].payload);

    // Nothing anywhere: "NO". A record of a port out of range still counts as sent.
    for (int port : {1, 5, 17}) store_disk(port, 0, 0, 0);
    daemon.on(IPC_DISK_LIST).empty();
    EXPECT_EQ(R"({"resultString":"NO","esataType":2,"HDD":[],"maxDiskNum":36})", post("/6100", "").body());
    daemon.on(IPC_DISK_LIST).reply_record(far);
    EXPECT_EQ(R"({"resultString":"OK","esataType":2,"HDD":[],"maxDiskNum":36})", post("/6100", "").body());
}

TEST_F(DiskTest, SetPropertiesStoresUnderThePortAndKeepsTheRest)
{
    store_disk(7, 1, 0, 2, "keep");
    struct Row {
        const char *body;
        int port; // -1: refused
    } rows[] = {
        {R"({"portId":7,"property":0,"group":3,"private":1})", 7},
        {R"({"portId":36,"property":1,"group":4,"private":0})", 36},
        {R"({"portId":37,"property":1,"group":4})", -1},
        {R"({"portId":-1,"property":1})", -1},
        {R"({"portId":7,"property":2,"group":9})", -1},
        {R"({"portId":7,"group":9})", -1},
    };
    for (const Row &row : rows) {
        ProcResult r = post("/6101", row.body);
        std::vector<FakeRequest> sent = traffic();
        if (row.port < 0) {
            EXPECT_EQ("", r.answer()) << row.body;
            EXPECT_TRUE(sent.empty()) << row.body;
            continue;
        }
        EXPECT_EQ("OK", r.body());
        ASSERT_EQ((std::vector<int>{IPC_DISK_SET, IPC_OPLOG}), codes_of(sent));
        DiskSetNotice n{};
        ASSERT_TRUE(sent[0].as(&n));
        EXPECT_EQ(row.port, n.port);
        EXPECT_EQ(919, oplog_of(sent[1]).param_type);
        EXPECT_EQ(row.port, oplog_of(sent[1]).object_no);
    }
    EXPECT_EQ(0, disk(7).property);
    EXPECT_EQ(3, disk(7).group);
    EXPECT_EQ("keep", field_text(disk(7).vendor));
    EXPECT_EQ(1, disk(7).configured);
    EXPECT_EQ(36, disk(36).port);
    EXPECT_EQ(4, disk(36).group);
}

TEST_F(DiskTest, FormatAnswersTheResultAndAlwaysLogsIt)
{
    struct Row {
        const char *what;
        std::string reply; // "-": silent
        const char *out;   // whole output
        int logged;
    } rows[] = {
        {"done", le32(0), "Content-type: text/plain\r\n\r\nOK", 1},
        {"in use", le32(1), "Content-type: text/plain\r\n\r\nUSING", -1},
        {"failed", le32(-1), "Content-type: text/plain\r\n\r\nERROR FORMAT", -1},
        {"too small", le32(-3), "Content-type: text/plain\r\n\r\nNAS LOW CAP", -1},
        {"another status: no text", le32(7), "", -1},
        {"an empty reply: no text", "", "", -1},
        {"no reply", "-", "Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}", -1},
    };
    for (const Row &row : rows) {
        if (row.reply == "-") daemon.on(IPC_DISK_FORMAT).silent();
        else daemon.on(IPC_DISK_FORMAT).reply(row.reply);
        EXPECT_EQ(row.out, post_fast("/6102", " 3\n").answer()) << row.what;
        std::vector<FakeRequest> sent = traffic();
        ASSERT_EQ((std::vector<int>{IPC_DISK_FORMAT, IPC_OPLOG}), codes_of(sent)) << row.what;
        EXPECT_EQ(le32(3), sent[0].payload);
        EXPECT_EQ(207, oplog_of(sent[1]).sub_type);
        EXPECT_EQ(900, oplog_of(sent[1]).param_type);
        int type = 0;
        FormatLogDetail detail{};
        ASSERT_TRUE(oplog_detail(sent[1], &type, &detail));
        EXPECT_EQ(FORMAT_LOG_DETAIL_TYPE, type);
        EXPECT_EQ(3, detail.port);
        EXPECT_EQ(row.logged, detail.result) << row.what;
    }
    // The result under the older reply code.
    daemon.on(IPC_DISK_FORMAT).reply_as(REPLY_DISK_FORMAT_OLD, 0, le32(0));
    EXPECT_EQ("OK", post("/6102", "36").body());
    traffic();

    for (const char *bad : {"37", "-1", "3x", "0x3", "", R"({"port":3})"}) {
        EXPECT_EQ("", post("/6102", bad).answer()) << bad;
        EXPECT_TRUE(traffic().empty()) << bad;
    }
    const struct {
        const char *text, *answer;
    } progress[] = {{"0", "OK"}, {"16", "OK"}, {"17", ""}, {"x", ""}};
    for (const auto &p : progress) EXPECT_EQ(p.answer, reply_of(post("/6103", p.text))) << p.text;
}

RaidRequest raid(int id, int enable, int level, int count, std::vector<int> members)
{
    RaidRequest r{};
    r.id = id;
    r.enable = enable;
    r.level = level;
    r.member_count = count;
    for (size_t i = 0; i < members.size(); i++) r.members[i] = members[i];
    return r;
}

TEST_F(DiskTest, RaidRequestsCarryTheirRecordsAndAnswerOkOrError)
{
    struct Row {
        const char *route, *body;
        int code;            // 0: refused, nothing sent
        std::string payload; // expected request payload
        std::string reply;   // "-": silent
        const char *answer;
    } rows[] = {
        {"/6104", R"({"id":10,"enable":1,"level":1,"sata_cnt":2,"sata_port":5})", IPC_RAID_CREATE,
         bytes_of(raid(10, 1, 1, 2, {0, 2})), le32(0), "OK"},
        {"/6104", R"({"id":15,"enable":0,"level":5,"sata_cnt":16,"sata_port":196607})", IPC_RAID_CREATE,
         bytes_of(raid(15, 0, 5, 16, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})), le32(2), "Error"},
        {"/6104", R"({"id":10,"enable":1,"level":1,"sata_cnt":2,"sata_port":3})", IPC_RAID_CREATE,
         bytes_of(raid(10, 1, 1, 2, {0, 1})), "-", "CGI ERROR"},
        {"/6104", R"({"id":16,"enable":1,"level":1,"sata_cnt":2,"sata_port":5})", 0, "", "", ""},
        {"/6104", R"({"id":10,"enable":1,"level":1,"sata_cnt":17,"sata_port":5})", 0, "", "", ""},
        {"/6104", R"({"id":10,"enable":1,"level":-1,"sata_cnt":2,"sata_port":5})", 0, "", "", ""},
        {"/6104", R"({"id":10,"level":1,"sata_cnt":2,"sata_port":5})", 0, "", "", ""},
        {"/6105", "16", IPC_RAID_REMOVE, bytes_of(raid(16, 0, 0, 0, {})), le32(0), "OK"},
        {"/6105", "12", IPC_RAID_REMOVE, bytes_of(raid(12, 0, 0, 0, {})), le32(-1), "Error"},
        {"/6105", "9", 0, "", "", ""},
        {"/6105", "x16", 0, "", "", ""},
        {"/6105", "[16]", 0, "", "", ""},
        {"/6106", R"({"port":3,"hotflag":1})", IPC_HOT_SPARE_ADD, le32(3), le32(0), "OK"},
        {"/6106", R"({"port":3,"hotflag":0})", IPC_HOT_SPARE_REMOVE, le32(3), le32(4), "Error"},
        {"/6106", R"({"hotflag":0})", 0, "", "", ""},
        {"/6107", R"({"diskport":3,"raidport":10})", IPC_RAID_REBUILD, bytes_of(RaidRebuildRequest{3, 10}), le32(0), "OK"},
        {"/6107", R"({"diskport":3,"raidport":10})", IPC_RAID_REBUILD, bytes_of(RaidRebuildRequest{3, 10}), "", "Error"},
    };
    for (const Row &row : rows) {
        if (row.code) {
            if (row.reply == "-") daemon.on(row.code).silent();
            else daemon.on(row.code).reply(row.reply);
        }
        ProcResult r = post_fast(row.route, row.body);
        std::vector<FakeRequest> sent = traffic();
        EXPECT_EQ(row.answer, reply_of(r)) << row.route << " " << row.body;
        if (!row.code) {
            EXPECT_EQ("", r.answer()) << row.route << " " << row.body;
            EXPECT_TRUE(sent.empty()) << row.route << " " << row.body;
            continue;
        }
        ASSERT_EQ(1u, sent.size()) << row.route << " " << row.body;
        EXPECT_EQ(row.code, sent[0].code);
        EXPECT_EQ(row.payload, sent[0].payload) << row.route << " " << row.body;
    }
}

TEST_F(DiskTest, RaidModeIsZeroOrOne)
{
    const struct {
        const char *set, *stored;
    } rows[] = {{"1", "1"}, {"7", "0"}, {"1", "1"}, {"x", "0"}, {"-1", "0"}};
    EXPECT_EQ("0", post("/6108", "").body());
    for (const auto &row : rows) {
        EXPECT_EQ("OK", post("/6109", row.set).body()) << row.set;
        EXPECT_EQ(row.stored, post("/6108", "").body()) << row.set;
    }
}

// ---- The simulator ------------------------------------------------------------------------------

TEST(StorageSim, DisksFormatWithProgressAndRecordSchedule)
{
    DeviceRoot root;
    ScopedDeviceRoot scoped(root);
    SimProcess sim(root);
    std::string disks = post_json(root, "/6100", "").body();
    for (const char *port : {"\"portId\":1,", "\"portId\":2,", "\"portId\":10,", "\"portId\":17,"})
        EXPECT_NE(std::string::npos, disks.find(port)) << disks;
    EXPECT_NE(std::string::npos, disks.find(R"("hddType":4,"group":0,"property":0,"raid_level":1)")) << disks;

    EXPECT_EQ("OK", post_json(root, "/6102", "2").body());
    EXPECT_EQ("ERROR FORMAT", post_json(root, "/6102", "9").body());
    std::vector<std::string> progress;
    for (int i = 0; i < 5; i++) progress.push_back(post_json(root, "/6227", "").body());
    EXPECT_EQ(R"({"status":1,"port":2,"type":0,"percent":20})", progress[0]);
    EXPECT_EQ(R"({"status":0,"port":2,"type":0,"percent":100})", progress[4]);
    disks = post_json(root, "/6100", "").body();
    EXPECT_NE(std::string::npos, disks.find(R"("portId":2,"raid_id":2,"vendorName":"Halvard HX2000 2TB","address":"","directory":"","state":0,"bUsable":1)"))
        << disks;

    EXPECT_EQ("OK", post_json(root, "/6041", R"({"cnt":1,"chnid":[4],"recordplanmode":1,"schedule":[{"plans":[["00:00","24:00",1]]}]})").body());
    EXPECT_EQ(0u, post_json(root, "/6040", "4").body().find(R"({"id":4,"schedule":[{"wholedayEnable":0,"wholedayActionType":0,"plans":[{"startTime":"00:00","endTime":"24:00","actionType":1},)"));
    EXPECT_EQ(R"({"resp":0})",
              post_json(root, "/6045", R"({"cnt":1,"chnid":[4],"camAnr":0,"prevRecordOn":0,"prevRecordDuration":0,"postRecordOn":0,"postRecordDuration":0,"audioEnable":0,"recordStreamType":0})")
                  .body());
    EXPECT_EQ(R"({"chnid":4,"support":1})", post_json(root, "/6046", "4").body());
    qxdb_close_all();
}

} // namespace
