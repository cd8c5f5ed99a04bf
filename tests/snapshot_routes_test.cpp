// Snapshot schedule and parameter routes end to end: nvrweb.cgi against the
// fake daemon, the settings database checked here.
#include "common/records/snapshot.h"
#include "common/web_utils.h"
#include "tests/support/alarm_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;

std::string stored_start(int channel)
{
    auto s = std::unique_ptr<SnapshotSchedule>(new SnapshotSchedule());
    EXPECT_EQ(0, read_snapshot_schedule(kDb, s.get(), channel));
    return field_text(s->schedule.days[0].segments[0].start_time, 32);
}

SnapshotChannelList list_of(const FakeRequest &r)
{
    SnapshotChannelList l{};
    EXPECT_TRUE(r.as(&l));
    return l;
}

std::vector<int> channels_of(const FakeRequest &r)
{
    const SnapshotChannelList l = list_of(r);
    std::vector<int> out;
    for (int i = 0; i < l.count && i < SNAPSHOT_CHANNELS; i++) out.push_back(l.channels[i]);
    return out;
}

// The channels a 1313 payload selects, and whether it starts them.
std::vector<int> selected_of(const FakeRequest &r, int *on)
{
    SnapshotSwitch s{};
    EXPECT_TRUE(r.as(&s));
    *on = s.on;
    std::vector<int> out;
    for (int c = 0; c < SNAPSHOT_CHANNELS; c++)
        if (s.selected[c]) out.push_back(c);
    return out;
}

class SnapshotTest : public AlarmFixture {
protected:
    SnapshotParams params(int channel)
    {
        SnapshotParams p{};
        EXPECT_EQ(0, read_snapshot(kDb, &p, channel));
        return p;
    }
    std::string get(const char *route, const char *query)
    {
        CgiRequest req;
        req.route = route;
        req.query = query;
        ProcResult r = run_cgi(root, req);
        return r.answer().empty() ? std::string() : r.body();
    }
};

TEST_F(SnapshotTest, SchedulesGoToTheListedChannels)
{
    std::string many = "[";
    for (int i = 0; i < 70; i++) many += (i ? "," : "") + std::to_string(i % 2 ? 63 : 1);
    many += "]";

    walk({
        {"listed twice, 70 skipped, neighbours untouched", "/6175",
         "{\"cnt\":4,\"chnid\":[2,2,70,3],\"schedule\":" + one_segment("06:30", "07:00", 1) + "}", "OK",
         {IPC_SNAPSHOT_SCHEDULE_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(std::vector<int>({2, 2, 3}), channels_of(req[0]));
             for (int ch : {2, 3}) EXPECT_EQ("06:30", stored_start(ch)) << ch;
             EXPECT_EQ("", stored_start(1));
             EXPECT_EQ("", stored_start(4));
         }},
        {"cnt 0", "/6175", "{\"cnt\":0,\"chnid\":[4],\"schedule\":" + one_segment("01:00", "02:00", 1) + "}", "OK",
         {IPC_SNAPSHOT_SCHEDULE_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(0, list_of(req[0]).count);
             EXPECT_EQ("", stored_start(4));
         }},
        {"70 duplicates stop at 64", "/6175", "{\"cnt\":90,\"chnid\":" + many + ",\"schedule\":" +
                                                 one_segment("10:00", "11:00", 1) + "}",
         "OK", {IPC_SNAPSHOT_SCHEDULE_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(64, list_of(req[0]).count);
             EXPECT_EQ(63, list_of(req[0]).channels[63]);
             EXPECT_EQ("10:00", stored_start(63));
             EXPECT_EQ("", stored_start(0)); // missing elements are no channel 0
         }},
        {"no schedule keeps the stored one", "/6175", "{\"cnt\":1,\"chnid\":[2]}", "OK",
         {IPC_SNAPSHOT_SCHEDULE_CHANGED},
         [&](const std::vector<FakeRequest> &) { EXPECT_EQ("06:30", stored_start(2)); }},
        {"not JSON", "/6175", "{\"cnt\":", "CGI ERROR", {}},
    });
    EXPECT_NE(std::string::npos, get("/6174", "3").find("{\"startTime\":\"06:30\",\"endTime\":\"07:00\",\"actionType\":1}"));
    EXPECT_EQ("CGI ERROR", get("/6174", ""));
    EXPECT_EQ("CGI ERROR", get("/6174", "64"));
}

TEST_F(SnapshotTest, ParametersAndStartStop)
{
    walk({
        {"same parameters, absent ones 0", "/6177",
         "{\"resolution\":3,\"quality\":2,\"interval\":5,\"interval_unit\":1,\"cnt\":3,\"chnid\":[1,63,-1]}", "OK",
         {IPC_SNAPSHOT_PARAMS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(std::vector<int>({1, 63}), channels_of(req[0]));
             for (int ch : {1, 63}) {
                 EXPECT_EQ(3, params(ch).resolution) << ch;
                 EXPECT_EQ(2, params(ch).quality) << ch;
                 EXPECT_EQ(5, params(ch).interval) << ch;
                 EXPECT_EQ(1, params(ch).interval_unit) << ch;
                 EXPECT_EQ(0, params(ch).expiration_date) << ch;
             }
             EXPECT_EQ(0, params(0).resolution);
         }},
        {"not JSON", "/6177", "]", "CGI ERROR", {}},
        {"start only", "/6178", "{\"snapshotCnt\":1,\"snapshotChnId\":[5,6],\"stopCnt\":0,\"stopChnId\":[7]}", "OK",
         {IPC_SNAPSHOT_SWITCH},
         [&](const std::vector<FakeRequest> &req) {
             int on = -1;
             EXPECT_EQ(std::vector<int>({5}), selected_of(req[0], &on));
             EXPECT_EQ(1, on);
         }},
        {"start then stop, 64 skipped", "/6178",
         "{\"snapshotCnt\":2,\"snapshotChnId\":[0,64],\"stopCnt\":3,\"stopChnId\":[7,8]}", "OK",
         {IPC_SNAPSHOT_SWITCH, IPC_SNAPSHOT_SWITCH},
         [&](const std::vector<FakeRequest> &req) {
             int on = -1;
             EXPECT_EQ(std::vector<int>({0}), selected_of(req[0], &on));
             EXPECT_EQ(1, on);
             EXPECT_EQ(std::vector<int>({7, 8}), selected_of(req[1], &on));
             EXPECT_EQ(0, on);
         }},
        {"neither", "/6178", "{\"snapshotCnt\":0,\"stopCnt\":0}", "OK", {}},
        {"not JSON", "/6178", "", "CGI ERROR", {}},
    });
    EXPECT_EQ("{\"resolution\":3,\"quality\":2,\"interval\":5,\"interval_unit\":1,\"expiration_date\":0}",
              get("/6176", "63"));
    EXPECT_EQ("CGI ERROR", get("/6176", ""));
}

} // namespace
