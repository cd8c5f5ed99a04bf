// The event pages' actions of the recorder's alarm inputs (several inputs at
// once) and the PTZ action targets, end to end.
#include "common/codecs.h"
#include "common/web_utils.h"
#include "tests/support/alarm_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;

class AlarmActionsTest : public AlarmFixture {
protected:
    // The recorder inputs' record count stays 16 whatever a request lists.
    void expect_no_record_past_the_inputs()
    {
        EXPECT_LE(nvr_db_stored(kDb, nvr_db_alarm_in::desc), ALARM_IN_COUNT);
    }
};

TEST_F(AlarmActionsTest, BatchSettersTouchOnlyListedInputs)
{
    AlarmInRecord zero = named_input(0, "Zero");
    zero.audible_enable = 1;
    zero.audible_interval = 10;
    store(zero);
    store(named_input(5, "Five"));
    store(named_input(7, "Seven"));
    ASSERT_EQ(0, write_alarmin_audible_schedule(kDb, week_with("02:00", "03:00", 0).get(), 7));
    const std::string audible = one_segment("08:00", "09:00", 1);

    walk({
        {"audible: 64 skipped, unchanged input 0 not rewritten", "/6125",
         "{\"cnt\":3,\"chnid\":[0,5,64],\"enable\":1,\"interval\":10,\"schedule\":" + audible + "}", "OK",
         {IPC_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ((1ULL << 0) | (1ULL << 5), mask_of(req[0]));
             EXPECT_EQ(1, input(5).audible_enable);
             EXPECT_EQ(10, input(5).audible_interval);
             EXPECT_EQ("Five", FIELD(input(5).name));
             for (int id : {0, 5}) EXPECT_EQ("08:00", first_start(read_alarmin_audible_schedule, id)) << id;
         }},
        {"audible: cnt past the array lists no input 0", "/6125",
         "{\"cnt\":3,\"chnid\":[7],\"enable\":0,\"interval\":4}", "OK", {IPC_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(1ULL << 7, mask_of(req[0]));
             EXPECT_EQ(4, input(7).audible_interval);
             EXPECT_EQ(1, input(0).audible_enable);
             EXPECT_EQ("02:00", first_start(read_alarmin_audible_schedule, 7)); // no schedule sent
         }},
        {"audible: inputs past 15 are not the recorder's", "/6125",
         "{\"cnt\":3,\"chnid\":[16,40,63],\"enable\":1,\"interval\":1,\"schedule\":" + audible + "}", "OK",
         {IPC_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(0u, mask_of(req[0]));
             expect_no_record_past_the_inputs();
         }},
        {"e-mail: every listed input", "/6126",
         "{\"cnt\":2,\"chnid\":[5,7],\"enable\":1,\"interval\":60,\"triSnapshot\":\"" + std::string(70, '1') +
             "\",\"schedule\":" + one_segment("20:00", "21:00", 0) + "}",
         "OK", {IPC_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ((1ULL << 5) | (1ULL << 7), mask_of(req[0]));
             for (int id : {5, 7}) {
                 EXPECT_EQ(1, input(id).email_enable);
                 EXPECT_EQ(60, input(id).actions.email_interval);
                 EXPECT_EQ(std::string(64, '1'), FIELD(input(id).tri_snapshot));
                 EXPECT_EQ("20:00", first_start(read_alarmin_email_schedule, id));
             }
             EXPECT_EQ(0, input(0).email_enable);
         }},
        {"not JSON", "/6126", "[", "", {}},
    });

    // The getters read back what the setters stored.
    CgiRequest get;
    get.route = "/6129";
    get.query = "5";
    EXPECT_NE(std::string::npos, run_cgi(root, get).body().find("\"08:00\""));
    get.route = "/6128";
    get.query = "7";
    EXPECT_NE(std::string::npos, run_cgi(root, get).body().find("\"20:00\""));
    get.query = "16";
    EXPECT_EQ("{status:\"CGI ERROR\"}", run_cgi(root, get).body());
}

TEST_F(AlarmActionsTest, TriggerTargetsByTypeWithTheSourcesSchedule)
{
    store(named_input(1, "One"));
    ASSERT_EQ(0, write_alarmin_effective_schedule(kDb, week_with("04:00", "05:00", 1).get(), 2));
    ASSERT_EQ(0, write_alarmin_effective_schedule(kDb, week_with("06:00", "07:00", 1).get(), 3));
    const std::string all_ones(64, '1');

    walk({
        {"type 0: 64 trigger channels", "/6127",
         "{\"camId\":2,\"type\":0,\"cnt\":2,\"chnid\":[1,3],\"triChannels\":\"" + all_ones + "\",\"triAlarms\":7}",
         "OK", {IPC_ALARM_INS_CHANGED, IPC_OPLOG_MASK},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(0xAu, mask_of(req[0]));
             expect_oplog(req[1], 909, 0);
             EXPECT_EQ(0xA, req[1].int_at(672));
             EXPECT_EQ(~0ULL, input(1).actions.channel_bits);
             EXPECT_EQ(all_ones, FIELD(input(3).actions.tri_channels));
             EXPECT_EQ(0, input(1).actions.tri_alarms);
             EXPECT_EQ("One", FIELD(input(1).name));
             EXPECT_EQ("04:00", first_start(read_alarmin_effective_schedule, 3));
         }},
        {"type 1: alarm outputs", "/6127", "{\"camId\":2,\"type\":1,\"cnt\":1,\"chnid\":[1],\"triAlarms\":7}", "OK",
         {IPC_ALARM_INS_CHANGED, IPC_OPLOG_MASK},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ(7, input(1).actions.tri_alarms);
             EXPECT_EQ(all_ones, FIELD(input(1).actions.tri_channels));
         }},
        {"invalid source copies no schedule", "/6127",
         "{\"camId\":40,\"type\":1,\"cnt\":1,\"chnid\":[3],\"triAlarms\":2}", "OK",
         {IPC_ALARM_INS_CHANGED, IPC_OPLOG_MASK},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ(2, input(3).actions.tri_alarms);
             EXPECT_EQ("04:00", first_start(read_alarmin_effective_schedule, 3));
         }},
    });
}

TEST_F(AlarmActionsTest, PtzScheduleAndEffectiveScheduleOfInputs)
{
    JsonDoc ptz("[{\"acto_ptz_channel\":2,\"acto_ptz_type\":1,\"acto_ptz_preset\":4}]");
    ASSERT_EQ(1, set_ptz_params_by_json(1, PTZ_EVENT_ALARM_IN, ptz.get()));
    JsonDoc other("[{\"acto_ptz_channel\":9,\"acto_ptz_type\":2,\"acto_ptz_patrol\":1}]");
    ASSERT_EQ(1, set_ptz_params_by_json(4, PTZ_EVENT_ALARM_IN, other.get()));
    auto ptz_of = [&](int id) {
        PtzActionTable t{};
        int n = 0;
        EXPECT_EQ(0, read_ptz_params(kDb, &t, PTZ_EVENT_ALARM_IN, id, &n));
        return t.entries[0];
    };

    walk({
        {"PTZ: source kept, 70 skipped, schedule to all listed", "/6167",
         "{\"camId\":1,\"cnt\":4,\"chnid\":[1,4,70,6],\"schedule\":" + one_segment("11:00", "12:00", 1) + "}", "OK",
         {IPC_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ((1ULL << 1) | (1ULL << 4) | (1ULL << 6), mask_of(req[0]));
             for (int id : {4, 6}) {
                 EXPECT_EQ(2, ptz_of(id).acto_ptz_channel) << id;
                 EXPECT_EQ(id, ptz_of(id).channel) << id;
                 EXPECT_EQ(4, ptz_of(id).acto_ptz_preset) << id;
             }
             EXPECT_EQ(1, ptz_of(1).channel);
             for (int id : {1, 4, 6}) EXPECT_EQ("11:00", first_start(read_alarmin_ptz_schedule, id)) << id;
         }},
        {"PTZ: negative source", "/6167", "{\"camId\":-1,\"cnt\":1,\"chnid\":[2]}", "CGI ERROR", {}},
        {"effective", "/6170", "{\"camId\":3,\"schedule\":" + one_segment("13:00", "14:00", 1) + "}", "OK",
         {IPC_ALARM_IN_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(le32(3), req[0].payload);
             EXPECT_EQ("13:00", first_start(read_alarmin_effective_schedule, 3));
         }},
        {"effective without schedule keeps it", "/6170", "{\"camId\":3}", "OK", {IPC_ALARM_IN_CHANGED},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ("13:00", first_start(read_alarmin_effective_schedule, 3));
         }},
        {"effective of no input", "/6170", "{\"schedule\":[]}", "CGI ERROR", {}},
    });
    CgiRequest get;
    get.route = "/6169";
    get.query = "3";
    EXPECT_NE(std::string::npos, run_cgi(root, get).body().find("\"13:00\""));
    get.route = "/6168";
    get.query = "6";
    EXPECT_NE(std::string::npos, run_cgi(root, get).body().find("\"11:00\""));
}

TEST_F(AlarmActionsTest, PtzTargetsAddUpdateListAndDelete)
{
    auto list = [&](int type, int source) {
        return post("/6161", "{\"type\":" + std::to_string(type) + ",\"chn_id\":" + std::to_string(source) + "}").body();
    };
    walk({
        {"add preset", "/6160", "{\"type\":1,\"chn_id\":3,\"acto_ptz_channel\":2,\"acto_ptz_type\":1,\"acto_ptz_preset\":5,\"acto_ptz_patrol\":8}", "OK", {}},
        {"add other movement: no number", "/6160", "{\"type\":1,\"chn_id\":3,\"acto_ptz_channel\":6,\"acto_ptz_type\":4,\"acto_ptz_preset\":5}", "OK", {}},
        {"add pattern", "/6160", "{\"type\":1,\"chn_id\":3,\"acto_ptz_channel\":7,\"acto_ptz_type\":3,\"acto_ptz_pattern\":2}", "OK", {}},
        {"people counting has its own table", "/6160", "{\"type\":20,\"chn_id\":3,\"acto_ptz_channel\":9,\"acto_ptz_type\":2,\"acto_ptz_patrol\":1}", "OK", {}},
        {"update 2 to patrol on 4", "/6163", "{\"type\":1,\"chn_id\":3,\"old_chn_id\":2,\"acto_ptz_channel\":4,\"acto_ptz_type\":2,\"acto_ptz_patrol\":3}", "OK", {}},
        {"negative source", "/6160", "{\"type\":1,\"chn_id\":-1,\"acto_ptz_channel\":2,\"acto_ptz_type\":1}", "CGI ERROR", {}},
        {"no PTZ camera", "/6160", "{\"type\":1,\"chn_id\":3,\"acto_ptz_channel\":0,\"acto_ptz_type\":1}", "CGI ERROR", {}},
        {"event type without table", "/6161", "{\"type\":40,\"chn_id\":3}", "CGI ERROR", {}},
        {"not JSON", "/6162", "x", "", {}},
    });
    EXPECT_EQ("{\"ptzInfo\":[{\"acto_ptz_channel\":4,\"acto_ptz_type\":2,\"acto_ptz_preset\":0,\"acto_ptz_patrol\":3},"
              "{\"acto_ptz_channel\":6,\"acto_ptz_type\":4,\"acto_ptz_preset\":0,\"acto_ptz_patrol\":0},"
              "{\"acto_ptz_channel\":7,\"acto_ptz_type\":3,\"acto_ptz_preset\":0,\"acto_ptz_patrol\":0}]}",
              list(1, 3));
    PtzActionTable t{};
    int n = 0;
    ASSERT_EQ(0, read_ptz_params(kDb, &t, 1, 3, &n));
    EXPECT_EQ(2, t.entries[2].acto_ptz_pattern);
    EXPECT_EQ("{\"ptzInfo\":[{\"acto_ptz_channel\":9,\"acto_ptz_type\":2,\"acto_ptz_preset\":0,\"acto_ptz_patrol\":1}]}",
              list(20, 3));

    walk({
        {"delete 6", "/6162", "{\"type\":1,\"chn_id\":3,\"acto_ptz_channel\":6}", "OK", {}},
        {"delete, negative PTZ camera", "/6162", "{\"type\":1,\"chn_id\":3,\"acto_ptz_channel\":-1}", "CGI ERROR", {}},
    });
    EXPECT_NE(std::string::npos, list(1, 3).find("[{\"acto_ptz_channel\":4,"));
    EXPECT_EQ(std::string::npos, list(1, 3).find("\"acto_ptz_channel\":6"));
    walk({{"batch delete", "/6164", "{\"type\":1,\"chn_id\":3,\"ptzChannel\":[4,7,\"x\",99]}", "OK", {}}});
    EXPECT_EQ("{\"ptzInfo\":[]}", list(1, 3));
    EXPECT_EQ("{\"ptzInfo\":[]}", list(2, 8));
}

} // namespace
