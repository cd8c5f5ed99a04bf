// The cameras' alarm inputs and outputs end to end: states fetched through
// the fake daemon, settings relayed to the cameras, names, actions and
// copies in the settings database; the module's reply dispatcher; the
// simulator's answers.
#include "common/ipc.h"
#include "modules/alarm/alarm.h"
#include "tests/support/alarm_fixture.h"
#include "tests/support/sim_process.h"

namespace {

const char kDb[] = QXDB_PATH;

class AlarmCameraTest : public AlarmFixture {
protected:
    CamAlarmInEvent event(int channel, int index)
    {
        CamAlarmInEvent ev{};
        EXPECT_EQ(0, read_alarm_chnIn_event(kDb, &ev, channel, index));
        return ev;
    }
    CamAlarmOutName out_name(int channel, int index)
    {
        CamAlarmOutName n{};
        EXPECT_EQ(0, read_alarm_chnOut_event_name(kDb, &n, channel, index));
        return n;
    }
};

TEST_F(AlarmCameraTest, InputStatesComeFromTheCameraAndActionsFromTheDatabase)
{
    CamAlarmInEvent ev{};
    ev.channel = 5;
    ev.alarm_index = 1;
    ev.actions.interval = 25;
    strcpy(ev.actions.tri_channels, "11");
    ASSERT_EQ(0, write_alarm_chnIn_event(kDb, &ev));
    CamAlarmInName name{5, 1, "Window"};
    ASSERT_EQ(0, write_alarm_chnIn_event_name(kDb, &name));

    CamAlarmInState st{};
    st.channel = 5;
    for (int i = 0; i < 4; i++) {
        st.enable[i] = 1;
        st.type[i] = i % 2;
        st.status[i] = i == 1;
    }
    st.count = 6; // more than a camera has
    daemon.on(IPC_CAM_ALARM_IN_STATE).reply_record(st);
    json_object *o = json_tokener_parse(post("/6024", "{\"chnid\":5}").body().c_str());
    ASSERT_NE(nullptr, o);
    EXPECT_EQ(4, json_object_get_int(json_object_object_get(o, "alarmCnt")));
    json_object *list = json_object_object_get(o, "alarm");
    ASSERT_EQ(4u, json_object_array_length(list));
    json_object *in = json_object_array_get_idx(list, 1);
    EXPECT_EQ((std::vector<std::string>{"alarmEnable", "alarmType", "alarmStatus", "alarmName", "effective", "audible",
                                        "interval", "audioId", "audioIdMask", "email", "email_interval",
                                        "email_pic_enable", "tri_channels_pic", "ptz", "ptz_interval", "ptzParams",
                                        "alarmout_interval", "triAlarms", "triChannels", "triChnAlarms", "white",
                                        "whiteInfo", "white_interval", "warningLight", "warningLightInfo",
                                        "warning_light_interval", "httpSche", "httpParams",
                                        "http_notification_interval"}),
              keys_of(in));
    EXPECT_STREQ("Window", json_object_get_string(json_object_object_get(in, "alarmName")));
    EXPECT_EQ(25, json_object_get_int(json_object_object_get(in, "interval")));
    EXPECT_EQ(1, json_object_get_int(json_object_object_get(in, "alarmStatus")));
    json_object_put(o);
    auto req = traffic({IPC_CAM_ALARM_IN_STATE});
    CamAlarmInState ask{};
    ASSERT_TRUE(req[0].as(&ask));
    EXPECT_EQ(5, ask.channel);
    EXPECT_EQ(4, ask.count);
}

TEST_F(AlarmCameraTest, ShortOrMissingRepliesEndInTheTimeoutReply)
{
    const std::map<std::string, std::string> fast = {{"NVRWEB_TIME_SCALE", "0.0005"}};
    struct Case {
        const char *route;
        int code;
        std::string payload; // "-" for no reply
    };
    for (const Case &c : {Case{"/6024", IPC_CAM_ALARM_IN_STATE, std::string(55, '\1')},
                          Case{"/6024", IPC_CAM_ALARM_IN_STATE, ""}, Case{"/6024", IPC_CAM_ALARM_IN_STATE, "-"},
                          Case{"/6028", IPC_CAM_ALARM_OUT_STATE, std::string(23, '\1')},
                          Case{"/6028", IPC_CAM_ALARM_OUT_STATE, "-"}}) {
        if (c.payload == "-") daemon.on(c.code).silent();
        else daemon.on(c.code).reply(c.payload);
        EXPECT_EQ("{status:\"CGI ERROR\"}", post(c.route, "{\"chnid\":0}", fast).body()) << c.route;
    }
    daemon.clear();
    for (const char *route : {"/6024", "/6025", "/6028", "/6029"})
        for (const char *body : {"{\"chnid\":64}", "{\"chnid\":-1}", "{}", "no"})
            EXPECT_EQ("{status:\"CGI ERROR\"}", post(route, body).body()) << route << body;
    EXPECT_EQ(0u, daemon.count());
}

TEST_F(AlarmCameraTest, OutputStatesListBothOutputs)
{
    CamAlarmOutName n{};
    n.channel = 9;
    n.alarm_index = 1;
    n.delay_time = 15;
    strcpy(n.name, "Horn");
    ASSERT_EQ(0, write_alarm_chnOut_event_name(kDb, &n));
    CamAlarmOutState st{9, {0, 1}, {0, 1}, 1};
    daemon.on(IPC_CAM_ALARM_OUT_STATE).reply_record(st);
    json_object *o = json_tokener_parse(post("/6028", "{\"chnid\":9}").body().c_str());
    ASSERT_NE(nullptr, o);
    EXPECT_EQ((std::vector<std::string>{"chnid", "alarmCnt", "alarm"}), keys_of(o));
    json_object *list = json_object_object_get(o, "alarm");
    ASSERT_EQ(2u, json_object_array_length(list));
    json_object *second = json_object_array_get_idx(list, 1);
    EXPECT_EQ((std::vector<std::string>{"alarmType", "alarmStatus", "alarmName", "delayTime", "effective"}),
              keys_of(second));
    EXPECT_STREQ("Horn", json_object_get_string(json_object_object_get(second, "alarmName")));
    EXPECT_EQ(15, json_object_get_int(json_object_object_get(second, "delayTime")));
    EXPECT_EQ(1, json_object_get_int(json_object_object_get(second, "alarmStatus")));
    json_object_put(o);
    auto req = traffic({IPC_CAM_ALARM_OUT_STATE});
    EXPECT_EQ(9, req[0].int_at(0));
}

TEST_F(AlarmCameraTest, SettersStoreRelayAndCopy)
{
    CamAlarmInName kept{2, 1, "Kept"};
    ASSERT_EQ(0, write_alarm_chnIn_event_name(kDb, &kept));
    ASSERT_EQ(0, write_alarm_chnOut_effective_schedule(kDb, week_with("07:00", "08:00", 0).get(), 2, 0));
    CamAlarmOutName delay{};
    delay.channel = 2;
    delay.alarm_index = 1;
    strcpy(delay.name, "Old");
    ASSERT_EQ(0, write_alarm_chnOut_event_name(kDb, &delay));

    walk({
        {"inputs: dialog, names, relay and copy", "/6025",
         "{\"chnid\":2,\"copyChn\":[4,2,70],\"copyCnt\":3,"
         "\"dialog\":[{\"alarmId\":3,\"interval\":33,\"audible\":" + one_segment("12:00", "13:00", 1) + "},"
         "{\"alarmId\":9,\"interval\":1}],"
         "\"alarmCnt\":2,\"alarm\":[{\"alarmEnable\":1,\"alarmType\":1,\"alarmName\":\"Door\"},"
         "{\"alarmEnable\":1,\"alarmType\":0}]}",
         "OK", {IPC_CAM_ALARM_IN_SET, IPC_CAM_ALARM_INS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             CamAlarmInSettings cam{};
             ASSERT_TRUE(req[0].as(&cam));
             EXPECT_EQ(2, cam.count);
             EXPECT_EQ(1, cam.slots[0].enable);
             EXPECT_EQ(0, cam.slots[0].index);
             EXPECT_EQ(1, cam.slots[0].type);
             EXPECT_EQ(1, cam.slots[1].index);
             EXPECT_EQ(0, cam.slots[2].enable);
             EXPECT_EQ(req[0].int_at(72), 0x14); // channels 2 and 4
             EXPECT_EQ((1ULL << 2) | (1ULL << 4), mask_of(req[1]));
             for (int ch : {2, 4}) {
                 EXPECT_EQ(33, event(ch, 3).actions.interval) << ch;
                 EXPECT_EQ(ch, event(ch, 3).channel);
                 auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
                 ASSERT_EQ(0, read_alarm_action_schedule(kDb, "alarm_chnIn3_audible_sche", s.get(), ch));
                 EXPECT_STREQ("12:00", s->days[0].segments[0].start_time);
             }
             CamAlarmInName n{};
             ASSERT_EQ(0, read_alarm_chnIn_event_name(kDb, &n, 2, 0));
             EXPECT_EQ("Door", FIELD(n.name));
             ASSERT_EQ(0, read_alarm_chnIn_event_name(kDb, &n, 2, 1));
             EXPECT_EQ("Kept", FIELD(n.name)); // no "alarmName"
         }},
        {"outputs: at most alarmCnt and the array's length", "/6029",
         "{\"chnid\":2,\"copyChn\":[6],\"copyCnt\":1,\"alarmCnt\":5,"
         "\"dialog\":[{\"alarmId\":0}],"
         "\"alarm\":[{\"alarmType\":1,\"delayTime\":20},{\"alarmType\":1,\"alarmName\":\"New\"},{\"alarmType\":7}]}",
         "OK", {IPC_CAM_ALARM_OUT_SET, IPC_CAM_ALARM_OUTS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             ASSERT_EQ(40u, req[0].payload.size());
             const int words[] = {0, 0, 1, 0, 1, 1, 2, 0};
             for (int w = 0; w < 8; w++) EXPECT_EQ(words[w], req[0].int_at(4 * w)) << "word " << w;
             EXPECT_EQ(0x44, req[0].int_at(32));
             EXPECT_EQ(0, req[0].int_at(36));
             EXPECT_EQ((1ULL << 2) | (1ULL << 6), mask_of(req[1]));
             EXPECT_EQ(20, out_name(2, 0).delay_time);
             EXPECT_EQ(20, out_name(6, 0).delay_time);
             EXPECT_EQ("New", FIELD(out_name(2, 1).name));
             EXPECT_EQ("", FIELD(out_name(6, 1).name));
             // The stored schedule of output 0 went to channel 6.
             auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
             ASSERT_EQ(0, read_alarm_chnOut_effective_schedule(kDb, s.get(), 6, 0));
             EXPECT_STREQ("07:00", s->days[0].segments[0].start_time);
         }},
        {"outputs: alarmCnt 1 takes one", "/6029",
         "{\"chnid\":3,\"alarmCnt\":1,\"alarm\":[{\"alarmType\":1},{\"alarmType\":1}]}", "OK",
         {IPC_CAM_ALARM_OUT_SET, IPC_CAM_ALARM_OUTS_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(1, req[0].int_at(24));
             EXPECT_EQ(0, req[0].int_at(16));
         }},
        {"manual output switch", "/6033", "{\"chnid\":7,\"alarmId\":1,\"state\":1}", "OK",
         {IPC_CAM_ALARM_OUT_MANUAL},
         [&](const std::vector<FakeRequest> &req) { EXPECT_EQ(le32(7) + le32(1) + le32(1), req[0].payload); }},
        {"manual switch, not JSON", "/6033", "{", "CGI ERROR", {}},
    });
}

// ---- Reply dispatcher -----------------------------------------------------------------

struct Reply {
    uint8_t header[24] = {'N', 'V', 'R', 'M'};
    Reply(int code, int length)
    {
        memcpy(header + 12, &code, 4);
        memcpy(header + 20, &length, 4);
    }
};

TEST(AlarmDispatcher, TakesWholeRecordsOnceAndIgnoresTheRest)
{
    CamAlarmInState st{};
    st.channel = 12;
    st.count = 3;
    g_callback_done = 0;
    on_alarm_ipc_callback(0, Reply(6403, 4).header, &st);
    on_alarm_ipc_callback(0, Reply(REPLY_CAM_ALARM_IN_STATE, 55).header, &st);
    on_alarm_ipc_callback(0, Reply(REPLY_CAM_ALARM_IN_STATE, 56).header, nullptr);
    EXPECT_EQ(0, g_callback_done.load());
    on_alarm_ipc_callback(0, Reply(REPLY_CAM_ALARM_IN_STATE, 56).header, &st);
    EXPECT_EQ(1, g_callback_done.load());
    EXPECT_EQ(12, alarm_reply_in_state().channel);
    st.channel = 13; // a second reply to the answered request
    on_alarm_ipc_callback(0, Reply(REPLY_CAM_ALARM_IN_STATE, 56).header, &st);
    EXPECT_EQ(12, alarm_reply_in_state().channel);
    g_callback_done = 0;
}

TEST(AlarmSim, SimulatorAnswersCameraAlarmStates)
{
    DeviceRoot root;
    std::string inputs, outputs;
    {
        SimProcess sim(root);
        ASSERT_TRUE(sim.running());
        inputs = post_json(root, "/6024", "{\"chnid\":3}").body();
        outputs = post_json(root, "/6028", "{\"chnid\":3}").body();
    }
    json_object *o = json_tokener_parse(inputs.c_str());
    ASSERT_NE(nullptr, o) << inputs;
    EXPECT_EQ(2, json_object_get_int(json_object_object_get(o, "alarmCnt")));
    EXPECT_EQ(2u, json_object_array_length(json_object_object_get(o, "alarm")));
    json_object_put(o);
    o = json_tokener_parse(outputs.c_str());
    ASSERT_NE(nullptr, o) << outputs;
    EXPECT_EQ(1, json_object_get_int(json_object_object_get(o, "alarmCnt")));
    json_object_put(o);
}

} // namespace
