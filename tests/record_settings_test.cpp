// Record module end to end: holidays, record schedules and modes, recording
// parameters with the camera's stream type and ANR flag, and the daemon's
// answers, each group as a table of requests and what they must leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/records/camera.h"
#include "common/records/recording.h"
#include "common/settings.h"
#include "tests/support/route_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;

class RecordTest : public RouteTest {
protected:
    RecordEntry entry(int ch)
    {
        RecordEntry e{};
        read_record(kDb, &e, ch);
        return e;
    }
    void set_mode(int ch, int mode)
    {
        RecordEntry e = entry(ch);
        e.mode = mode;
        ASSERT_EQ(0, write_record(kDb, &e));
    }
    CameraRecord camera(int ch)
    {
        CameraRecord c{};
        read_camera(kDb, &c, ch);
        return c;
    }
    void store_camera(int ch, int enable, int poe, int protocol, int anr)
    {
        CameraRecord c = camera(ch);
        c.enable = enable;
        c.poe_channel = poe;
        c.protocol = protocol;
        c.anr = anr;
        ASSERT_EQ(0, write_camera(kDb, &c));
    }
};

uint64_t bits_of(const FakeRequest &r)
{
    uint64_t v = 0;
    EXPECT_TRUE(r.as(&v));
    return v;
}

// ---- Holidays -----------------------------------------------------------------------------

TEST_F(RecordTest, HolidaySetChecksStoresAndLists)
{
    struct Row {
        const char *body;
        bool stored;
    } rows[] = {
        {R"({"id":3,"name":"Harvest","enable":1,"type":0,"startMon":9,"endMDay":30})", true},
        {R"({"id":32,"enable":1,"type":0})", false},
        {R"({"id":-1,"enable":1,"type":0})", false},
        {R"({"id":4,"enable":2,"type":0})", false},
        {R"({"id":4,"enable":1,"type":-1})", false},
        {R"({"id":4,"enable":1})", false},
        {R"({"id":"4","enable":1,"type":0})", false},
        {"holiday", false},
    };
    for (const Row &row : rows) {
        ProcResult r = post("/6031", row.body);
        std::vector<FakeRequest> sent = traffic();
        if (!row.stored) {
            EXPECT_EQ("", r.answer()) << row.body;
            EXPECT_TRUE(sent.empty()) << row.body;
            continue;
        }
        EXPECT_EQ("OK", r.body());
        ASSERT_EQ((std::vector<int>{IPC_HOLIDAY_CHANGED, IPC_OPLOG}), codes_of(sent));
        EXPECT_EQ("", sent[0].payload);
        OpLogRecord log = oplog_of(sent[1]);
        EXPECT_EQ(204, log.sub_type);
        EXPECT_EQ(920, log.param_type);
        EXPECT_EQ(4, log.object_no);
    }
    HolidayRecord h{};
    ASSERT_EQ(0, read_holiday(kDb, &h, 3));
    EXPECT_EQ("Harvest", field_text(h.name));
    EXPECT_EQ(9, h.start[1]);
    EXPECT_EQ(30, h.end[2]);
    HolidayRecord untouched{};
    read_holiday(kDb, &untouched, 4);
    EXPECT_EQ(0, untouched.enable);

    std::string list = post("/6030", "").body();
    EXPECT_EQ(0u, list.find(R"({"holidays":[{"id":0,"name":"","enable":0,)")) << list;
    EXPECT_NE(std::string::npos,
              list.find(R"({"id":3,"name":"Harvest","enable":1,"type":0,"startYear":0,"startMon":9,)"));
    EXPECT_NE(std::string::npos, list.find(R"({"id":31,)"));
}

// ---- Schedules and modes (/6040, /6041) --------------------------------------------------------

std::string day0_schedule(const std::string &plans, int whole_day = 0)
{
    std::string s = "[{\"wholedayEnable\":" + std::to_string(whole_day) + ",\"wholedayActionType\":2,\"plans\":" + plans + "}";
    for (int d = 1; d < 8; d++) s += ",{}";
    return s + "]";
}

TEST_F(RecordTest, ScheduleSetStoresChannelsAndChangedModes)
{
    struct Row {
        const char *what;
        std::string body;
        bool answered;
        uint64_t schedule_bits; // 1411
        uint64_t mode_bits;     // 1413
        int object_no;
    };
    const std::string plan = day0_schedule(R"([["08:00","18:00",1],"junk",["19:00","2000000000000000000000000000000000000",2]])");
    set_mode(3, 1);
    const Row rows[] = {
        {"channel 70 is no channel; 3 already has mode 1", R"({"cnt":2,"chnid":[3,70],"recordplanmode":1,"schedule":)" + plan + "}",
         true, 1ULL << 3, 0, 4},
        {"mode changes on 5 only", R"({"cnt":2,"chnid":[3,5],"recordplanmode":1,"schedule":)" + plan + "}", true,
         (1ULL << 3) | (1ULL << 5), 1ULL << 5, 6},
        {"cnt bounds the walk", R"({"cnt":1,"chnid":[63,7],"recordplanmode":2,"schedule":)" + plan + "}",
         true, 1ULL << 63, 1ULL << 63, 64},
        {"without a schedule the schedules stay", R"({"cnt":1,"chnid":[9],"recordplanmode":2})", true, 0, 1ULL << 9, 10},
        {"mode 3", R"({"cnt":1,"chnid":[9],"recordplanmode":3})", false, 0, 0, 0},
        {"mode missing", R"({"cnt":1,"chnid":[9]})", false, 0, 0, 0},
        {"cnt missing", R"({"chnid":[9],"recordplanmode":0})", false, 0, 0, 0},
    };
    for (const Row &row : rows) {
        ProcResult r = post("/6041", row.body);
        std::vector<FakeRequest> sent = traffic();
        if (!row.answered) {
            EXPECT_EQ("", r.answer()) << row.what;
            EXPECT_TRUE(sent.empty()) << row.what;
            continue;
        }
        EXPECT_EQ("OK", r.body()) << row.what;
        ASSERT_EQ((std::vector<int>{IPC_RECORD_MODES_CHANGED, IPC_RECORD_SCHEDULE_COPIED, IPC_OPLOG}), codes_of(sent))
            << row.what;
        EXPECT_EQ(row.mode_bits, bits_of(sent[0])) << row.what;
        EXPECT_EQ(row.schedule_bits, bits_of(sent[1])) << row.what;
        EXPECT_EQ(907, oplog_of(sent[2]).param_type);
        EXPECT_EQ(row.object_no, oplog_of(sent[2]).object_no) << row.what;
    }
    EXPECT_EQ(1, entry(3).mode);
    EXPECT_EQ(1, entry(5).mode);
    EXPECT_EQ(2, entry(9).mode);
    EXPECT_EQ(2, entry(63).mode);
    EXPECT_EQ(0, entry(7).mode);

    auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    ASSERT_EQ(0, read_record_schedule(kDb, s.get(), 5));
    EXPECT_EQ("08:00", field_text(s->days[0].segments[0].start_time));
    EXPECT_EQ(1, s->days[0].segments[0].action_type);
    EXPECT_EQ("", field_text(s->days[0].segments[1].start_time)); // "junk" leaves it empty
    EXPECT_EQ(std::string(31, '0').replace(0, 1, "2"), field_text(s->days[0].segments[2].end_time));
    EXPECT_EQ(0, s->days[0].whole_day); // "wholedayEnable" 0: the pair is not kept
    ASSERT_EQ(0, read_record_schedule(kDb, s.get(), 9));
    EXPECT_EQ("", field_text(s->days[0].segments[0].start_time));

    // Read back: 8 days of 48 plans, the whole-day pair with them.
    post("/6041", R"({"cnt":1,"chnid":[12],"recordplanmode":0,"schedule":)" + day0_schedule("[]", 1) + "}");
    std::string body = post("/6040", "12").body();
    EXPECT_EQ(0u, body.find(R"({"id":12,"schedule":[{"wholedayEnable":1,"wholedayActionType":2,"plans":[{"startTime":"","endTime":"","actionType":0},)"));
    size_t plans = 0;
    for (size_t p = 0; (p = body.find("startTime", p)) != std::string::npos; p++) plans++;
    EXPECT_EQ(8u * 48u, plans);
    for (const char *bad : {"64", "-1", "3x", "", "{\"chn\":1}"}) EXPECT_EQ("", post("/6040", bad).answer()) << bad;
}

// ---- Modes (/6042, /6043) ------------------------------------------------------------------------

std::string mode_records(int n, int bad_at = -1)
{
    std::string s = R"({"records":[)";
    for (int i = 0; i < n; i++)
        s += std::string(i ? "," : "") + "{\"id\":" + std::to_string((i * 7 + 5) % 64) + ",\"mode\":" +
             std::to_string(i == bad_at ? 3 : 2) + "}";
    return s + "]}";
}

TEST_F(RecordTest, ModeSetStoresByPositionOrNothing)
{
    struct Row {
        const char *what;
        std::string body;
        const char *answer;
        size_t stored; // channels 0..stored-1 get mode 2
    } rows[] = {
        {"a mode of 3 in the second element", mode_records(3, 1), "ERROR", 0},
        {"65 records", mode_records(65), "ERROR", 0},
        {"an element that is no object", R"({"records":[{"id":1,"mode":1},7]})", "ERROR", 0},
        {"an id of 64", R"({"records":[{"id":64,"mode":1}]})", "ERROR", 0},
        {"no records", R"({"mode":1})", "ERROR", 0},
        {"ids 5 and 12 set channels 0 and 1", mode_records(2), "OK", 2},
        {"all 64", mode_records(64), "OK", 64},
    };
    for (const Row &row : rows) {
        ProcResult r = post("/6043", row.body);
        std::vector<FakeRequest> sent = traffic();
        EXPECT_EQ(row.answer, r.body()) << row.what;
        for (int ch = 0; ch < RECORD_MAX_CHANNELS; ch++)
            EXPECT_EQ(static_cast<size_t>(ch) < row.stored ? 2 : 0, entry(ch).mode) << row.what << " channel " << ch;
        if (!row.stored) {
            EXPECT_TRUE(sent.empty()) << row.what;
            continue;
        }
        ASSERT_EQ(row.stored + 1, sent.size());
        EXPECT_EQ(905, oplog_of(sent[0]).param_type);
        for (size_t i = 0; i < row.stored; i++) {
            EXPECT_EQ(IPC_RECORD_MODE_CHANGED, sent[i + 1].code);
            EXPECT_EQ(le32(static_cast<int32_t>(i)), sent[i + 1].payload);
        }
    }
    ASSERT_EQ(0, set_param_int(kDb, "max_cameras", 4));
    EXPECT_EQ(R"({"records":[{"id":0,"mode":2},{"id":1,"mode":2},{"id":2,"mode":2},{"id":3,"mode":2}]})",
              post("/6042", "").body());
}

// ---- Recording parameters and ANR (/6044, /6045) ---------------------------------------------------

std::string params_request(const std::string &channels, int cnt, int anr, int stream = 1)
{
    return R"({"cnt":)" + std::to_string(cnt) + R"(,"chnid":)" + channels + R"(,"camAnr":)" + std::to_string(anr) +
           R"(,"prevRecordOn":1,"prevRecordDuration":5,"postRecordOn":1,"postRecordDuration":30,"audioEnable":1,)"
           R"("recordExpDate":7,"recordStreamType":)" + std::to_string(stream) + "}";
}

TEST_F(RecordTest, ParamSetListsChannelsAndChangesAnrWhereItApplies)
{
    store_camera(0, 1, 0, CAM_PROTO_ONVIF, 0); // takes ANR
    store_camera(1, 1, 3, CAM_PROTO_ONVIF, 0); // on a PoE port: keeps its flag
    store_camera(2, 1, 0, CAM_PROTO_RTSP, 0);  // RTSP: keeps its flag
    store_camera(3, 0, 0, CAM_PROTO_ONVIF, 0); // disabled: keeps its flag
    store_camera(4, 1, 5, CAM_PROTO_ONVIF, 1); // set: cleared by camAnr 0
    std::string many = "[";
    for (int i = 0; i < 100; i++) many += std::string(i ? "," : "") + std::to_string(i % 3 == 0 ? 4 : i % 70);
    many += "]";
    struct Row {
        const char *what;
        std::string body;
        std::vector<int> params; // 1310
        std::vector<int> anr;    // 2285
    } rows[] = {
        {"set ANR", params_request("[0,1,2,3,99]", 5, 1), {0, 1, 2, 3}, {0}},
        {"clear ANR", params_request("[0,1,4]", 3, 0), {0, 1, 4}, {0, 4}},
        {"cnt 100 with repeats: at most 64, each once", params_request(many, 100, 0), {}, {}},
    };
    // Expected list of the third row: of the first 64 elements, each channel once.
    for (int i = 0; i < 64; i++) {
        int ch = i % 3 == 0 ? 4 : i % 70;
        if (std::find(rows[2].params.begin(), rows[2].params.end(), ch) == rows[2].params.end())
            rows[2].params.push_back(ch);
    }
    for (Row &row : rows) {
        daemon.on(IPC_RECORD_ANR).reply_record(RecordAnrReply{});
        EXPECT_EQ(R"({"resp":0})", post("/6045", row.body).body()) << row.what;
        std::vector<FakeRequest> sent = traffic();
        ASSERT_EQ((std::vector<int>{IPC_RECORD_PARAMS_CHANGED, IPC_OPLOG, IPC_RECORD_ANR}), codes_of(sent)) << row.what;
        RecordChannelList params{};
        ASSERT_TRUE(sent[0].as(&params));
        EXPECT_EQ(row.params, std::vector<int>(params.channels, params.channels + params.count)) << row.what;
        EXPECT_EQ(906, oplog_of(sent[1]).param_type);
        RecordAnrRequest anr{};
        ASSERT_TRUE(sent[2].as(&anr));
        EXPECT_EQ(row.anr, std::vector<int>(anr.list.channels, anr.list.channels + anr.list.count)) << row.what;
    }
    EXPECT_EQ(0, camera(0).anr); // set by the first row, cleared by the second
    EXPECT_EQ(0, camera(1).anr);
    EXPECT_EQ(0, camera(4).anr);
    EXPECT_EQ(1, camera(0).record_stream);
    EXPECT_EQ(7, entry(62).record_exp_date);
    EXPECT_EQ(30, entry(2).post_record_duration);
    EXPECT_EQ(0, entry(6).prev_record_on) << "never listed";

    std::string body = post("/6044", "4").body();
    EXPECT_EQ(R"({"id":4,"prevRecordOn":1,"prevRecordDuration":5,"postRecordOn":1,"postRecordDuration":30,)"
              R"("audioEnable":1,"recordStreamType":1,"recordExpDate":7,"cameraAnr":0,"camEnable":1,"camProtocol":0,"poeChannel":5})",
              body);

    // Refused requests change nothing and reach nobody.
    for (const std::string &bad : {params_request("[1]", 1, 1, 3), std::string(R"({"cnt":1,"chnid":[1],"camAnr":1})"),
                                   params_request("7", 1, 1)}) {
        EXPECT_EQ("", post("/6045", bad).answer()) << bad;
        EXPECT_TRUE(traffic().empty()) << bad;
    }
}

// ---- Daemon answers (/6045, /6046, /6047) -------------------------------------------------------------

RecordAnrReply anr_reply(int count, int anr, std::vector<int> failed)
{
    RecordAnrReply r{};
    r.count = count;
    r.anr = anr;
    for (int ch : failed) r.result[ch] = 1;
    return r;
}

TEST_F(RecordTest, DaemonAnswersAreBoundedByTheirRecords)
{
    RecordStreamReply streams{};
    streams.size = 1000;
    streams.primary[63] = 9;
    RecordStreamReply two{};
    two.size = 2;
    two.primary[0] = 4;
    two.secondary[1] = 6;
    struct Row {
        const char *route, *body;
        int code;
        std::string reply;
        const char *answer;
    } rows[] = {
        {"/6045", nullptr, IPC_RECORD_ANR, bytes_of(anr_reply(1, 1, {0})), R"({"resp":0})"},
        {"/6045", nullptr, IPC_RECORD_ANR, bytes_of(anr_reply(2, 1, {1})), R"({"resp":-1})"},
        {"/6045", nullptr, IPC_RECORD_ANR, bytes_of(anr_reply(2, 0, {1})), R"({"resp":0})"},
        {"/6045", nullptr, IPC_RECORD_ANR, bytes_of(anr_reply(1000000, 1, {63})), R"({"resp":-1})"},
        {"/6045", nullptr, IPC_RECORD_ANR, bytes_of(anr_reply(2, 1, {})).substr(0, 516), "{status:\"CGI ERROR\"}"},
        {"/6046", "17", IPC_RECORD_ANR_SUPPORT, bytes_of(RecordAnrSupport{17, 1}), R"({"chnid":17,"support":1})"},
        {"/6046", "17", IPC_RECORD_ANR_SUPPORT, le32(17), "{status:\"CGI ERROR\"}"},
        {"/6047", "", IPC_RECORD_STREAMS, bytes_of(two), R"({"primary":[4,0],"secondary":[0,6],"size":2})"},
        {"/6047", "", IPC_RECORD_STREAMS, "", "{status:\"CGI ERROR\"}"},
    };
    for (const Row &row : rows) {
        daemon.on(row.code).reply(row.reply);
        ProcResult r = post_fast(row.route, row.body ? row.body : params_request("[0,1]", 2, 1));
        EXPECT_EQ(row.answer, r.body()) << row.route << " " << row.reply.size();
        traffic();
    }
    daemon.on(IPC_RECORD_STREAMS).reply_record(streams);
    std::string body = post("/6047", "").body();
    EXPECT_NE(std::string::npos, body.find(",9],\"secondary\"")) << body;
    EXPECT_NE(std::string::npos, body.find("\"size\":64}")) << body;
    traffic();

    for (const char *bad : {"64", "x", "-3"}) EXPECT_EQ("", post("/6046", bad).answer()) << bad;
    EXPECT_TRUE(traffic().empty());
}

} // namespace
