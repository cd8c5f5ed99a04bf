// The recorder's alarm inputs and outputs end to end: nvrweb.cgi against
// the fake daemon, the settings database seeded and checked from here.
#include "tests/support/alarm_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;

class AlarmNvrTest : public AlarmFixture {};

std::string alarm_in(int id, const std::string &extra = "")
{
    return "{\"alarm\":{\"id\":" + std::to_string(id) +
           ",\"enable\":2,\"name\":\"Back door\",\"type\":1,\"triChannels\":\"1010\",\"triAlarms\":5,"
           "\"interval\":12" + extra + "}";
}

TEST_F(AlarmNvrTest, InputSettersStoreNotifyAndLog)
{
    store(named_input(3, "Gate"));
    ASSERT_EQ(0, write_alarm_in_schedule(kDb, week_with("01:00", "02:00", 6).get(), 3));
    walk({
        {"with schedule: every entry action type 6", "/6062",
         alarm_in(2) + ",\"schedule\":" + one_segment("08:00", "18:00", 1) + "}", "OK",
         {IPC_ALARM_IN_CHANGED, IPC_OPLOG},
         [&](const std::vector<FakeRequest> &req) {
             AlarmInRecord in = input(2);
             EXPECT_EQ(2, in.enable);
             EXPECT_EQ("Back door", FIELD(in.name));
             EXPECT_EQ("1010", FIELD(in.actions.tri_channels));
             EXPECT_EQ(0x5u, in.actions.channel_bits);
             EXPECT_EQ(5, in.actions.tri_alarms);
             auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
             ASSERT_EQ(0, read_alarm_in_schedule(kDb, s.get(), 2));
             EXPECT_STREQ("18:00", s->days[0].segments[0].end_time);
             for (const ScheduleDay &day : s->days)
                 for (int i = 0; i < 12; i++) EXPECT_EQ(6, day.segments[i].action_type);
             EXPECT_EQ(le32(2), req[0].payload);
             expect_oplog(req[1], 910, 3);
         }},
        {"no name, no schedule: both stay", "/6062",
         "{\"alarm\":{\"id\":3,\"enable\":1,\"type\":0,\"triChannels\":\"1\",\"triAlarms\":0,\"interval\":1}}", "OK",
         {IPC_ALARM_IN_CHANGED, IPC_OPLOG},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ("Gate", FIELD(input(3).name));
             EXPECT_EQ(0, input(3).type);
             EXPECT_EQ("01:00", first_start(read_alarm_in_schedule, 3));
         }},
        {"without schedule: enable not taken", "/6064", alarm_in(3) + "}", "OK", {IPC_ALARM_IN_CHANGED, IPC_OPLOG},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ(1, input(3).enable);
             EXPECT_EQ(12, input(3).actions.interval);
         }},
        {"basic", "/6063", "{\"alarm\":{\"camId\":4,\"name\":\"Shed\",\"type\":1,\"enable\":1}}", "OK",
         {IPC_ALARM_IN_CHANGED, IPC_OPLOG},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(4, input(4).id);
             EXPECT_EQ("Shed", FIELD(input(4).name));
             EXPECT_EQ(le32(4), req[0].payload);
             expect_oplog(req[1], 910, 5);
         }},
        // Refused: no reply, nothing stored or sent.
        {"enable 3", "/6062", "{\"alarm\":{\"id\":5,\"enable\":3,\"type\":0,\"triChannels\":\"1\",\"triAlarms\":0,\"interval\":0}}", "", {}},
        {"type 2", "/6064", "{\"alarm\":{\"id\":5,\"enable\":1,\"type\":2,\"triChannels\":\"1\",\"triAlarms\":0,\"interval\":0}}", "", {}},
        {"id 16", "/6062", "{\"alarm\":{\"id\":16,\"enable\":1,\"type\":0,\"triChannels\":\"1\",\"triAlarms\":0,\"interval\":0}}", "", {}},
        {"no triChannels", "/6064", "{\"alarm\":{\"id\":5,\"enable\":1,\"type\":0,\"triAlarms\":0,\"interval\":0}}", "", {}},
        {"basic without camId", "/6063", "{\"alarm\":{\"name\":\"Zero\",\"type\":1,\"enable\":1}}", "", {}},
        {"basic camId 16", "/6063", "{\"alarm\":{\"camId\":16,\"name\":\"X\"}}", "", {}},
        {"not JSON", "/6062", "alarm", "", {}},
    });
    EXPECT_EQ("", FIELD(input(0).name));
    EXPECT_EQ(0, input(5).enable);
}

TEST_F(AlarmNvrTest, InputGettersAnswerStoredSettings)
{
    AlarmInRecord in = named_input(7, "Hall");
    strcpy(in.actions.tri_channels, "01");
    strcpy(in.tri_snapshot, "001");
    store(in);
    ASSERT_EQ(0, write_alarm_in_schedule(kDb, week_with("06:00", "07:00", 6).get(), 7));

    CgiRequest get;
    get.route = "/6061";
    get.query = "7";
    json_object *o = json_tokener_parse(run_cgi(root, get).body().c_str());
    ASSERT_NE(nullptr, o);
    json_object *alarm = json_object_object_get(o, "alarm");
    EXPECT_EQ((std::vector<std::string>{"id", "enable", "name", "type", "triChannels", "triAlarms", "interval",
                                        "triSnapshot"}),
              keys_of(alarm));
    EXPECT_STREQ("Hall", json_object_get_string(json_object_object_get(alarm, "name")));
    EXPECT_STREQ("001", json_object_get_string(json_object_object_get(alarm, "triSnapshot")));
    json_object *seg = json_object_array_get_idx(json_object_array_get_idx(json_object_object_get(o, "schedule"), 0), 0);
    EXPECT_STREQ("06:00", json_object_get_string(json_object_object_get(seg, "startTime")));
    json_object_put(o);

    o = json_tokener_parse(post("/6026", "{\"alarmId\":7}").body().c_str());
    EXPECT_EQ((std::vector<std::string>{"alarmId", "name", "alarmType", "enable", "triAlarms", "interval",
                                        "email_interval", "email_pic_enable", "tri_channels_pic", "ptz_interval",
                                        "alarmout_interval", "triChannels", "triSnapshot", "effective", "audible",
                                        "email", "ptz", "triChnAlarms", "white", "whiteInfo", "white_interval",
                                        "warningLight", "warningLightInfo", "warning_light_interval", "audioId",
                                        "audioIdMask", "ptzParams"}),
              keys_of(o));
    EXPECT_EQ(9, json_object_get_int(json_object_object_get(o, "interval")));
    json_object_put(o);

    o = json_tokener_parse(post("/6060", "").body().c_str());
    ASSERT_EQ(16u, json_object_array_length(o));
    EXPECT_STREQ("Hall", json_object_get_string(json_object_object_get(json_object_array_get_idx(o, 7), "name")));
    json_object_put(o);

    for (const char *bad : {"{\"alarmId\":16}", "{\"alarmId\":-1}", "{}", "[]"})
        EXPECT_EQ("{status:\"CGI ERROR\"}", post("/6026", bad).body()) << bad;
    get.query = "16";
    EXPECT_EQ("{status:\"CGI ERROR\"}", run_cgi(root, get).body());
}

TEST_F(AlarmNvrTest, InputDialogCopiesStoredActionsToOtherInputs)
{
    store(named_input(0, "Front"));
    store(named_input(2, "Side"));
    ASSERT_EQ(0, write_alarmin_audible_schedule(kDb, week_with("03:00", "04:00", 2).get(), 0));
    ASSERT_EQ(0, write_alarmin_email_schedule(kDb, week_with("09:00", "09:30", 0).get(), 2));
    walk({
        {"dialog and copy to 2 and 5 (0 itself and 16 skipped)", "/6027",
         "{\"alarmId\":0,\"name\":\"Front gate\",\"alarmType\":0,\"dialog\":{\"interval\":40,\"triSnapshot\":\"11\","
         "\"effective\":" + one_segment("10:00", "11:00", 1) + ",\"whiteInfo\":[{\"chnid\":1,\"mode\":2,\"time\":5}],"
         "\"ptzParams\":[{\"acto_ptz_channel\":3,\"acto_ptz_type\":1,\"acto_ptz_preset\":7}]},"
         "\"copyChn\":[2,5,0,16],\"copyCnt\":4}",
         "OK", {IPC_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ((1ULL << 0) | (1ULL << 2) | (1ULL << 5), mask_of(req[0]));
             EXPECT_EQ("Front gate", FIELD(input(0).name));
             for (int id : {2, 5}) {
                 AlarmInRecord t = input(id);
                 EXPECT_EQ(40, t.actions.interval) << id;
                 EXPECT_EQ(3, t.actions.audio_id) << id;
                 EXPECT_EQ("11", FIELD(t.tri_snapshot)) << id;
                 EXPECT_EQ("10:00", first_start(read_alarmin_effective_schedule, id)) << id;
                 // The source's stored audible and e-mail schedules, not empty ones.
                 EXPECT_EQ("03:00", first_start(read_alarmin_audible_schedule, id)) << id;
                 EXPECT_EQ("", first_start(read_alarmin_email_schedule, id)) << id;
                 PtzActionTable ptz{};
                 int n = 0;
                 ASSERT_EQ(0, read_ptz_params(kDb, &ptz, PTZ_EVENT_ALARM_IN, id, &n));
                 EXPECT_EQ(3, ptz.entries[0].acto_ptz_channel);
                 EXPECT_EQ(id, ptz.entries[0].channel);
             }
             EXPECT_EQ("Side", FIELD(input(2).name)); // identity stays
             EXPECT_EQ(1, input(2).type);
             EXPECT_EQ(0, input(15).actions.interval);
         }},
        {"linkage on input 0", "/6027", "{\"alarmId\":0,\"linkageAction\":3}", "OK", {IPC_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &) {
             DisarmingRecord d{};
             ASSERT_EQ(0, read_disarming(kDb, &d));
             EXPECT_EQ(3, d.linkage_action);
         }},
        {"linkage on input 1 ignored", "/6027", "{\"alarmId\":1,\"linkageAction\":9,\"disarmActionMask\":9}", "OK",
         {IPC_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             DisarmingRecord d{};
             ASSERT_EQ(0, read_disarming(kDb, &d));
             EXPECT_EQ(3, d.linkage_action);
             EXPECT_EQ(0, d.disarm_action_mask);
             EXPECT_EQ(1ULL << 1, mask_of(req[0]));
         }},
        {"alarmId 16", "/6027", "{\"alarmId\":16,\"name\":\"x\"}", "{status:\"CGI ERROR\"}", {}},
    });
}

TEST_F(AlarmNvrTest, OutputsStoreCopyAndSwitch)
{
    AlarmOutRecord out{};
    out.id = 1;
    strcpy(out.name, "Siren");
    out.type = 1;
    out.enable = 1;
    out.duration_time = 30;
    ASSERT_EQ(0, write_alarm_out(kDb, &out));
    AlarmOutRecord other{};
    other.id = 3;
    strcpy(other.name, "Light");
    ASSERT_EQ(0, write_alarm_out(kDb, &other));
    ASSERT_EQ(0, write_alarm_out_schedule(kDb, week_with("05:00", "06:00", 0).get(), 1));
    auto stored_out = [&](int id) {
        AlarmOutRecord r{};
        EXPECT_EQ(0, read_alarm_out(kDb, &r, id));
        return r;
    };
    walk({
        {"nothing to set: record stays, still told and logged", "/6022", "{\"alarmId\":1}", "OK",
         {IPC_ALARM_OUT_CHANGED, IPC_OPLOG_MASK},
         [&](const std::vector<FakeRequest> &req) {
             AlarmOutRecord r = stored_out(1);
             EXPECT_EQ(0, memcmp(&out, &r, sizeof r));
             EXPECT_EQ(le32(1), req[0].payload);
             expect_oplog(req[1], 911, 2);
             EXPECT_EQ(0x2, req[1].int_at(672));
         }},
        {"copy type, enable, duration and the stored schedule to 3", "/6022",
         "{\"alarmId\":1,\"durationTime\":45,\"copyChn\":[3,1,9],\"copyCnt\":3}", "OK",
         {IPC_ALARM_OUT_CHANGED, IPC_ALARM_OUT_CHANGED, IPC_OPLOG_MASK},
         [&](const std::vector<FakeRequest> &req) {
             AlarmOutRecord r = stored_out(3);
             EXPECT_EQ("Light", FIELD(r.name));
             EXPECT_EQ(45, r.duration_time);
             EXPECT_EQ(1, r.type);
             EXPECT_EQ("05:00", first_start(read_alarm_out_schedule, 3));
             EXPECT_EQ(le32(3), req[1].payload);
             EXPECT_EQ(0xA, req[2].int_at(672));
         }},
        {"manual switch", "/6023", "{\"id\":2,\"enable\":1}", "OK", {IPC_ALARM_OUT_SWITCH, IPC_OPLOG},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(le32(2) + le32(1), req[0].payload);
             expect_oplog(req[1], 911, 3);
         }},
        {"switch of no recorder output: passed on, logged without a number", "/6023",
         "{\"id\":2147483647,\"enable\":1}", "OK", {IPC_ALARM_OUT_SWITCH, IPC_OPLOG},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(2147483647, req[0].int_at(0));
             expect_oplog(req[1], 911, 0);
         }},
        {"id 4", "/6022", "{\"alarmId\":4,\"name\":\"x\"}", "CGI ERROR", {}},
        {"not JSON", "/6022", "x", "CGI ERROR", {}},
        {"get id 4", "/6021", "{\"alarmId\":4}", "{status:\"CGI ERROR\"}", {}},
    });

    ProcResult list = post("/6020", "");
    EXPECT_EQ(0u, list.out.find("Content-type: application/json\r\n\r\n[{\"id\":0,"));
    json_object *o = json_tokener_parse(list.body().c_str());
    ASSERT_EQ(4u, json_object_array_length(o));
    EXPECT_EQ((std::vector<std::string>{"id", "name", "type", "enable", "durationTime"}),
              keys_of(json_object_array_get_idx(o, 1)));
    json_object_put(o);
    o = json_tokener_parse(post("/6021", "{\"alarmId\":1}").body().c_str());
    EXPECT_EQ((std::vector<std::string>{"id", "name", "type", "enable", "durationTime", "effective"}), keys_of(o));
    EXPECT_EQ(45, json_object_get_int(json_object_object_get(o, "durationTime")));
    json_object_put(o);
}

TEST_F(AlarmNvrTest, NameListsCoverRecorderAndEveryCamera)
{
    store(named_input(15, "Last"));
    CamAlarmInName in{63, 3, "Cam input"};
    ASSERT_EQ(0, write_alarm_chnIn_event_name(kDb, &in));
    CamAlarmOutName out{};
    out.channel = 10;
    out.alarm_index = 1;
    memset(out.name, 'n', sizeof out.name); // no terminating zero
    ASSERT_EQ(0, write_alarm_chnOut_event_name(kDb, &out));

    struct Shape {
        const char *route;
        size_t nvr, per_camera;
        int channel, index;
        std::string name;
    };
    for (const Shape &s : {Shape{"/6034", 16, 4, 63, 3, "Cam input"}, Shape{"/6032", 4, 2, 10, 1, std::string(64, 'n')}}) {
        json_object *o = json_tokener_parse(post(s.route, "").body().c_str());
        ASSERT_NE(nullptr, o) << s.route;
        EXPECT_EQ(s.nvr, json_object_array_length(json_object_object_get(o, "nvr")));
        json_object *cams = json_object_object_get(o, "camera");
        ASSERT_EQ(64u, json_object_array_length(cams));
        json_object *names = json_object_array_get_idx(cams, s.channel);
        ASSERT_EQ(s.per_camera, json_object_array_length(names));
        EXPECT_EQ(s.name, json_object_get_string(json_object_array_get_idx(names, s.index)));
        json_object_put(o);
    }
    json_object *o = json_tokener_parse(post("/6034", "").body().c_str());
    EXPECT_STREQ("Last", json_object_get_string(json_object_array_get_idx(json_object_object_get(o, "nvr"), 15)));
    json_object_put(o);
}

TEST_F(AlarmNvrTest, FailedSettingsWriteAnswersErrorAndTellsNobody)
{
    ASSERT_EQ(0, system(("mkdir -p " + root.host(kDb)).c_str()));
    qxdb_close_all();
    walk({
        {"6062", "/6062", alarm_in(1) + "}", "CGI ERROR", {}},
        {"6063", "/6063", "{\"alarm\":{\"camId\":1,\"name\":\"x\"}}", "CGI ERROR", {}},
        {"6027", "/6027", "{\"alarmId\":1,\"name\":\"x\"}", "{status:\"CGI ERROR\"}", {}},
        {"6022", "/6022", "{\"alarmId\":1,\"name\":\"x\"}", "CGI ERROR", {}},
        {"6025", "/6025", "{\"chnid\":1,\"alarmCnt\":1,\"alarm\":[{\"alarmName\":\"x\"}]}", "{status:\"CGI ERROR\"}", {}},
        {"6125", "/6125", "{\"cnt\":1,\"chnid\":[1],\"enable\":1}", "CGI ERROR", {}},
        {"6160", "/6160", "{\"type\":1,\"chn_id\":1,\"acto_ptz_channel\":2,\"acto_ptz_type\":1}", "CGI ERROR", {}},
    });
}

} // namespace
