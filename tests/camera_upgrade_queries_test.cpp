// Camera upgrade of several channels and the device queries of the camera
// pages: what each route sends, how replies (short ones included) become
// answers, and the simulator's upgrade run.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/records/camera_upgrade.h"
#include "common/records/motion.h"
#include "common/records/smart_schedule.h"
#include "tests/support/route_fixture.h"
#include "tests/support/sim_process.h"

namespace {

const char kJsonErr[] = "{status:\"CGI ERROR\"}";
const char kTextErr[] = "CGI ERROR";

class UpgradeTest : public RouteTest {};

std::string mask_text(std::initializer_list<int> bits)
{
    std::string s(64, '0');
    for (int b : bits) s[b] = '1';
    return s;
}

TEST_F(UpgradeTest, RequestsThatSendNothing)
{
    struct Row {
        const char *route, *body, *answer;
    };
    const Row rows[] = {
        {"/2013", R"({"time":"2024-02-10 08:00:00","chnid":1})", ""}, // a key missing
        {"/2013", R"({"time":"2024-02-10 08:00:00","chnid":64,"streamType":0})", ""},
        {"/2013", R"({"time":"tenth of May","chnid":1,"streamType":0})", kJsonErr},
        {"/2026", "{}", ""},
        {"/2035", R"({"channel":64})", ""},
        {"/2036", R"({"channel":-1,"start":0,"end":8})", ""},
        {"/2057", R"({"chnid":64})", kJsonErr},
        {"/2078", "nope", kJsonErr},
        {"/2080", R"({"chnAry":[1,64],"reset":0,"url":""})", kJsonErr},
        {"/2080", R"({"chnAry":[1,"2"]})", kJsonErr},
        {"/2080", R"({"chnAry":[-1]})", kJsonErr},
        {"/2081", "nope", ""},
        {"/2082", "", kTextErr},
        {"/2082", "anything", "CGI SUCCESS"},
    };
    for (const Row &r : rows) EXPECT_EQ(r.answer, reply_of(post(r.route, r.body))) << r.route << " " << r.body;
    EXPECT_TRUE(traffic().empty());
}

TEST_F(UpgradeTest, PayloadsAndAnswers)
{
    RecordDaysReply days{};
    days.days[0] = 1;
    days.days[30] = 7;
    daemon.on(IPC_RECORD_DAYS).reply_record(days);
    daemon.on(IPC_GUI_COMMAND).reply_as(9003, 0, std::string(16, 'x') + "done");
    daemon.on(IPC_CHIP_CODE).reply("C0DE");
    daemon.on(IPC_MOTION_STATE).reply(bytes_of(uint64_t((1ULL << 63) | 2)));
    CameraTypeReply type{};
    type.channel = 4;
    memset(type.model, 'm', sizeof type.model); // no zero
    daemon.on(IPC_CAMERA_TYPE).reply_record(type);
    daemon.on(IPC_UPGRADE_CHECK).reply_int(-3);

    struct Row {
        const char *route, *body, *answer;
        int code;
    };
    std::string days_answer = "[1" + [] {
        std::string s;
        for (int i = 1; i < 30; i++) s += ",0";
        return s;
    }() + ",1]";
    std::string type_answer = R"({"chnid":4,"ipaddr":"","model":")" + std::string(64, 'm') + R"(","fwversion":""})";
    std::string motion = R"({"Motion":")" + mask_text({1, 63}) + "\"}";
    const Row rows[] = {
        {"/2013", R"({"time":"2024-02-10 23:59:59","chnid":5,"streamType":1})", days_answer.c_str(), IPC_RECORD_DAYS},
        {"/2026", R"({"cmd":"reboot gui"})", R"({"result":"done"})", IPC_GUI_COMMAND},
        {"/2027", "", R"({"chip_code":"C0DE"})", IPC_CHIP_CODE},
        {"/2028", "", motion.c_str(), IPC_MOTION_STATE},
        {"/2057", R"({"chnid":4})", type_answer.c_str(), IPC_CAMERA_TYPE},
        {"/2078", R"({"chnMask":"1010","resetMask":"0010","fileSize":4096})", R"({"res":-3})", IPC_UPGRADE_CHECK},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(r.answer, reply_of(post(r.route, r.body))) << r.route;
        auto sent = traffic();
        ASSERT_EQ(std::vector<int>{r.code}, codes_of(sent)) << r.route;
        const std::string &p = sent[0].payload;
        switch (r.code) {
        case IPC_RECORD_DAYS: {
            RecordDaysQuery q{};
            ASSERT_TRUE(sent[0].as(&q));
            EXPECT_EQ(1, q.stream);
            EXPECT_EQ(2024, q.year);
            EXPECT_EQ(2, q.month);
            EXPECT_EQ(mask_text({5}), std::string(q.channels, 64));
            break;
        }
        case IPC_GUI_COMMAND: EXPECT_EQ(100u, p.size()); EXPECT_STREQ("reboot gui", p.c_str()); break;
        case IPC_UPGRADE_CHECK: {
            UpgradeCheck c{};
            ASSERT_TRUE(sent[0].as(&c));
            EXPECT_EQ(0x5ULL, c.channels);
            EXPECT_EQ(~0x4ULL, c.keep_mask);
            EXPECT_EQ(4096, c.file_size);
            break;
        }
        case IPC_CAMERA_TYPE: EXPECT_EQ(le32(4), p); break;
        default: EXPECT_EQ("", p);
        }
    }
}

TEST_F(UpgradeTest, UpgradeStartAndStatus)
{
    UpgradeStatus st{};
    st.channels = 0x5;
    st.status[0] = 5;
    st.status[1] = 99; // not in the mask: not reported
    st.status[2] = 7;
    daemon.on(IPC_UPGRADE_STATUS).reply_record(st);
    EXPECT_EQ("chnid=5\r\nstatus0=5\r\nstatus2=7\r\nchnMask=" + mask_text({0, 2}) + "\r\n",
              reply_of(post("/2079", "")));

    // Every channel upgrading with the longest statuses still fits.
    st.channels = ~0ULL;
    for (int32_t &s : st.status) s = INT32_MIN;
    daemon.on(IPC_UPGRADE_STATUS).reply_record(st);
    std::string all = reply_of(post("/2079", ""));
    EXPECT_EQ(0u, all.find("chnid=-1\r\nstatus0=-2147483648\r\n"));
    EXPECT_NE(std::string::npos, all.find("status63=-2147483648\r\nchnMask=" + std::string(64, '1') + "\r\n"));

    st = UpgradeStatus{};
    st.channels = 0xA;
    st.status[1] = 10;
    st.status[3] = 30;
    daemon.on(IPC_UPGRADE_START).reply_record(st);
    EXPECT_EQ(R"({"chnid":10,"status":[10,30],"chnMask":")" + mask_text({1, 3}) + "\"}",
              reply_of(post("/2080", R"({"chnAry":[3,1],"reset":-1,"url":"http://h/fw.bin"})")));
    traffic(); // the status queries and this start
    UpgradeRequest req{};
    daemon.on(IPC_UPGRADE_START).reply_record(st);
    post("/2080", R"({"chnAry":[63],"reset":1})");
    auto sent = traffic();
    ASSERT_TRUE(sent.at(0).as(&req));
    EXPECT_EQ(1ULL << 63, req.channels);
    EXPECT_EQ(1, req.reset);
    EXPECT_STREQ(UPGRADE_FILE_PATH, req.file);

    // Short replies: the error of each route's kind.
    daemon.on(IPC_UPGRADE_STATUS).reply(std::string(263, '\1'));
    EXPECT_EQ(kTextErr, reply_of(post("/2079", "")));
    daemon.on(IPC_UPGRADE_START).reply(std::string(100, '\1'));
    EXPECT_EQ(kJsonErr, reply_of(post("/2080", R"({"chnAry":[1]})")));
    daemon.on(IPC_RECORD_DAYS).reply(std::string(64, '\1'));
    EXPECT_EQ(kJsonErr, reply_of(post("/2013", R"({"time":"2024-02-10 08:00:00","chnid":1,"streamType":0})")));

    traffic();
    EXPECT_EQ("", reply_of(post("/2081", R"({"stop":1})")));
    sent = traffic();
    ASSERT_EQ(std::vector<int>{IPC_UPGRADE_STOP}, codes_of(sent));
    EXPECT_EQ(le32(1), sent.back().payload);
}

TEST_F(UpgradeTest, EffectiveSchedules)
{
    std::string empty = reply_of(post("/2035", R"({"channel":3})"));
    EXPECT_EQ(std::string::npos, empty.find(R"("startTime":"")"));
    EXPECT_NE(std::string::npos, empty.find(R"("schedule_people_counting":[[{"startTime":"00:00","endTime":"00:00","actionType":0})"));

    const char week[] = R"([[["01:00","02:00",1]],[],[],[],[],[],[],[]])";
    std::string body = R"({"channel":3,"start":3,"end":1)";
    for (const char *k : {"schedule_motion", "schedule_region_exit", "schedule_advanced_motion", "schedule_people_counting"})
        body += std::string(",\"") + k + "\":" + week;
    EXPECT_EQ("OK", reply_of(post("/2036", body + "}")));
    WeekSchedule s{};
    ASSERT_EQ(0, read_smart_event_effective_schedule(QXDB_PATH, &s, 3, 1));
    EXPECT_EQ("", field_text(s.days[0].segments[0].start_time));

    // Bounds outside the list are clamped to it.
    body.replace(body.find(R"("start":3,"end":1)"), 17, R"("start":-9,"end":99)");
    EXPECT_EQ("OK", reply_of(post("/2036", body + "}")));
    ASSERT_EQ(0, read_motion_effective_schedule(QXDB_PATH, &s, 3));
    EXPECT_EQ("01:00", field_text(s.days[0].segments[0].start_time));
    ASSERT_EQ(0, read_smart_event_effective_schedule(QXDB_PATH, &s, 3, 7));
    EXPECT_EQ("01:00", field_text(s.days[0].segments[0].start_time));
    std::string got = reply_of(post("/2035", R"({"channel":3})"));
    EXPECT_NE(std::string::npos, got.find(R"("schedule_region_exit":[[{"startTime":"01:00")"));
    EXPECT_NE(std::string::npos, got.find(R"("schedule_region_entrance":[[{"startTime":"00:00")"));
    EXPECT_TRUE(traffic().empty());
}

TEST(UpgradeSim, ProgressAdvancesToCompletion)
{
    DeviceRoot root;
    SimProcess sim(root);
    CgiRequest start;
    start.method = "POST";
    start.route = "/2080";
    start.content_type = "application/json";
    start.body = R"({"chnAry":[0,2],"reset":0,"url":""})";
    EXPECT_EQ(0u, run_cgi(root, start).body().find(R"({"chnid":5,"status":[0,0],)"));
    CgiRequest status = start;
    status.route = "/2079";
    status.body = "{}";
    std::string text;
    for (int i = 0; i < 100 && text.find("status2=100") == std::string::npos; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        text = run_cgi(root, status).body();
    }
    EXPECT_EQ("chnid=5\r\nstatus0=100\r\nstatus2=100\r\nchnMask=" + mask_text({0, 2}) + "\r\n", text);
}

} // namespace
