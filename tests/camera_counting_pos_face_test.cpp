// People counting groups, POS terminals and face detection: refusals, the
// partial updates of groups and report slots, actions stored and read back,
// and the face record sent to the daemon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/records/people_counting.h"
#include "tests/support/route_fixture.h"

namespace {

const char kErr[] = "{status:\"CGI ERROR\"}";

class CountingTest : public RouteTest {};

TEST_F(CountingTest, RefusalsAnswerTheJsonErrorAndSendNothing)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"/2066", "nope"},          {"/2067", "nope"},           {"/2069", R"({"groupid":9})"},
        {"/2070", R"({"groupid":-1})"}, {"/2071", R"({"groupid":9})"}, {"/2072", "{}"},
        {"/2073", R"({"id":16})"},   {"/2074", R"({"id":"3"})"},  {"/2076", "[1]"},
        {"/2077", R"({"chnId":64})"}, {"/2077", R"({"enable":1})"},
    };
    for (const auto &row : rows) EXPECT_EQ(kErr, reply_of(post(row.first, row.second))) << row.first << row.second;
    EXPECT_TRUE(traffic().empty());
}

TEST_F(CountingTest, GroupsTakeOnlyTheElementsAndKeysPresent)
{
    PeopleCountGroup g{};
    g.groupid = 0;
    g.enable = 1;
    g.stays = 7;
    strcpy(g.name, "Entrance");
    ASSERT_EQ(0, write_peoplecnt_setting(QXDB_PATH, &g));
    daemon.on(IPC_PCNT_SETTINGS_CHANGED).reply_int(3);

    // 12 elements: a number and null among them; only the first 9 count.
    std::string groups = R"([{"name":"Door","groupid":5},7,null,{"enable":1,"tri_channels":"1100"})";
    for (int i = 4; i < 12; i++) groups += R"(,{"liveview_font_size":)" + std::to_string(i) + "}";
    EXPECT_EQ(R"({"res":3})", reply_of(post("/2067", R"({"groups":)" + groups + "]}")));
    auto sent = traffic();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(le32(0), sent[0].payload);

    PeopleCountGroup all[PCNT_GROUPS];
    int count = 0;
    ASSERT_EQ(0, read_peoplecnt_settings(QXDB_PATH, all, &count));
    EXPECT_EQ("Door", field_text(all[0].name));
    EXPECT_EQ(0, all[0].groupid);
    EXPECT_EQ(1, all[0].enable);
    EXPECT_EQ(7, all[0].stays);
    EXPECT_EQ(0, all[1].enable);
    EXPECT_EQ("1100", field_text(all[3].tri_channels));
    EXPECT_EQ(8, all[8].liveview_font_size);
    EXPECT_EQ(4, all[4].liveview_font_size);

    std::string plain = reply_of(post("/2066", "{}"));
    EXPECT_EQ(std::string::npos, plain.find("dialog"));
    EXPECT_NE(std::string::npos, plain.find(R"({"groupid":0,"enable":1,"stays":7,)"));
    std::string with = reply_of(post("/2066", R"({"action":1})"));
    EXPECT_NE(std::string::npos, with.find(R"("dialog":{"chnid":8,"triAlarms":0)"));
}

const char kWeek[] = R"([[["08:00","18:00",1]],[],[],[],[],[],[],[]])";

TEST_F(CountingTest, GroupActionsAreStoredAndReadBack)
{
    daemon.on(IPC_PCNT_ACTION_CHANGED).reply_int(0);
    std::string body = std::string(R"({"groupid":2,"audible":)") + kWeek +
                       R"(,"interval":30,"tri_channels_pic":"101","triChnAlarms":["a","b"],)"
                       R"("ptzParams":[{"acto_ptz_channel":3,"acto_ptz_type":1,"acto_ptz_preset":4}]})";
    EXPECT_EQ(R"({"res":0})", reply_of(post("/2070", body)));
    auto sent = traffic();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(le32(2) + le32(-1), sent[0].payload);

    std::string got = reply_of(post("/2069", R"({"groupid":2})"));
    const std::string seg = R"([[{"startTime":"08:00","endTime":"18:00","actionType":1})";
    EXPECT_NE(std::string::npos, got.find(R"({"chnid":2,"triAlarms":0,"interval":30,)"));
    EXPECT_NE(std::string::npos, got.find(R"("effective":)" + seg)) << got;
    EXPECT_NE(std::string::npos, got.find(R"("audible":)" + seg));
    EXPECT_NE(std::string::npos, got.find(R"("triChnAlarms":["a","b"])"));
    EXPECT_NE(std::string::npos, got.find(R"("acto_ptz_channel":3,"acto_ptz_type":1,"acto_ptz_preset":4)"));
    EXPECT_EQ(std::string::npos, post("/2069", R"({"groupid":1})").body().find("08:00"));

    // The resets send the group and pass the daemon's status on.
    daemon.on(IPC_PCNT_DB_RESET).reply_int(-2);
    EXPECT_EQ(R"({"res":-2})", reply_of(post("/2071", R"({"groupid":8})")));
    EXPECT_EQ(le32(8), traffic()[0].payload);
    daemon.on(IPC_PCNT_LIVEVIEW_RESET).silent();
    EXPECT_EQ(kErr, reply_of(post_fast("/2072", R"({"groupid":0})")));
}

TEST_F(CountingTest, ReportBackupAnswersZeroAndCapsSlots)
{
    PcntReportBackup rec{};
    rec.slots[0].backup_day = 3;
    strcpy(rec.slots[1].tri_groups, "111111111");
    ASSERT_EQ(0, write_peoplecnt_auto_backup(QXDB_PATH, &rec));
    daemon.on(IPC_PCNT_BACKUP_CHANGED).reply_int(9); // a failure still answers 0
    std::string slots = R"([{"enable":1,"backupTime":"23:30"},"x",{"reportType":2},{},{"enable":1},{"enable":1}])";
    EXPECT_EQ(R"({"res":0})", reply_of(post("/2076", R"({"report":)" + slots + "}")));
    auto sent = traffic();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ("", sent[0].payload);

    ASSERT_EQ(0, read_peoplecnt_auto_backup(QXDB_PATH, &rec));
    EXPECT_EQ(1, rec.slots[0].enable);
    EXPECT_EQ(3, rec.slots[0].backup_day);
    EXPECT_EQ("23:30", field_text(rec.slots[0].backup_time));
    EXPECT_EQ("111111111", field_text(rec.slots[1].tri_groups));
    EXPECT_EQ(2, rec.slots[2].report_type);
    std::string got = reply_of(post("/2075", ""));
    EXPECT_NE(std::string::npos, got.find(R"("backupTime":"23:30")"));
    EXPECT_NE(std::string::npos, got.find(R"(],"email":1})"));
}

TEST_F(CountingTest, PosDeviceAndActions)
{
    daemon.on(IPC_POS_CHANGED).reply_int(1);
    std::string body = std::string(R"({"id":5,"name":"Till 5","ip":"10.0.0.9","port":9000,"enable":"1",)") +
                       R"("action":{"effective":)" + kWeek + R"(,"triChannels":"0010","audioId":2}})";
    EXPECT_EQ(R"({"res":1})", reply_of(post("/2074", body)));
    EXPECT_EQ(le32(5), traffic()[0].payload);
    PosDevice d{};
    ASSERT_EQ(0, read_pos_setting(QXDB_PATH, &d, 5));
    EXPECT_EQ("Till 5", field_text(d.name));
    EXPECT_EQ(9000, d.port);
    EXPECT_EQ(0, d.enable); // a text where an integer belongs is ignored

    std::string got = reply_of(post("/2073", R"({"id":5})"));
    EXPECT_NE(std::string::npos, got.find(R"({"id":5,"enable":0,"name":"Till 5","protocol":0,)"));
    EXPECT_NE(std::string::npos, got.find(R"("action":{"effective":[[{"startTime":"08:00")"));
    EXPECT_NE(std::string::npos, got.find(R"("audioId":2,)"));
    EXPECT_NE(std::string::npos, got.find(R"("triChannels":"0010")"));
}

TEST_F(CountingTest, FaceRecordCarriesTheKeysWithinItsCapacity)
{
    daemon.on(IPC_FACE_CONFIG).reply_int(4);
    std::string shields = R"([{"enable":1,"polygonX":"1,2"},{},{},{"polygonY":"9"},{"enable":1},{"enable":1}])";
    std::string body = R"({"chnId":7,"enable":1,"httpUrl":"http://x/","captureModeArray":[{"captureQuality":3,)"
                       R"("snapshot":1},5,{"snapshot":2},{"captureQuality":9}],"shield":)" + shields +
                       R"(,"mutuallyExclusive":1,"action":{"audible":)" + std::string(kWeek) + "}}";
    EXPECT_EQ(R"({"status":4})", reply_of(post("/2077", body)));
    auto sent = traffic();
    ASSERT_EQ((std::vector<int>{IPC_FACE_CHANNEL, IPC_FACE_CONFIG}), codes_of(sent));
    EXPECT_EQ(le32(7), sent[0].payload);
    FaceConfig f{};
    ASSERT_TRUE(sent[1].as(&f));
    EXPECT_EQ(7, f.channel);
    EXPECT_EQ(1, f.enable);
    EXPECT_EQ("http://x/", field_text(f.http_url));
    EXPECT_EQ(3, f.capture_quality[0]);
    EXPECT_EQ(1, f.snapshot[0]);
    EXPECT_EQ(2, f.snapshot[2]);
    EXPECT_EQ(1, f.shields[0].enable);
    EXPECT_EQ("1,2", field_text(f.shields[0].polygon_x));
    EXPECT_EQ("9", field_text(f.shields[3].polygon_y));
    EXPECT_EQ(1, f.mutually_exclusive);
    WeekSchedule s{};
    ASSERT_EQ(0, read_alarm_action_schedule(QXDB_PATH, "face_audible_sche", &s, 7));
    EXPECT_EQ("08:00", field_text(s.days[0].segments[0].start_time));
}

} // namespace
