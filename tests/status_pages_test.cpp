// Status pages end to end against the fake daemon: how the reply records
// become the pages' JSON (with names and addresses from the settings),
// replies short of a record, and the disk-group page read from the settings
// alone.
#include <gtest/gtest.h>

#include <json-c/json.h>

#include <memory>
#include <string>

#include "common/records/alarm.h"
#include "common/records/camera.h"
#include "common/records/osd.h"
#include "common/records/status.h"
#include "common/records/storage.h"
#include "common/settings.h"
#include "tests/support/route_fixture.h"

namespace {

const char kJsonError[] = "{status:\"CGI ERROR\"}";
const char kDb[] = QXDB_PATH;

class StatusPages : public RouteTest {
protected:
    // The element of a parsed answer at a dotted path ("IPC.5.main.res").
    static std::string at(const std::string &text, const std::string &path)
    {
        json_object *root = json_tokener_parse(text.c_str());
        json_object *v = root;
        size_t start = 0;
        while (v && start <= path.size() && !path.empty()) {
            size_t dot = path.find('.', start);
            if (dot == std::string::npos) dot = path.size();
            const std::string part = path.substr(start, dot - start);
            if (json_object_is_type(v, json_type_array)) v = json_object_array_get_idx(v, std::stoul(part));
            else if (!json_object_object_get_ex(v, part.c_str(), &v)) v = nullptr;
            start = dot + 1;
        }
        std::string out = v ? json_object_to_json_string_ext(v, JSON_C_TO_STRING_PLAIN) : "(missing)";
        json_object_put(root);
        return out;
    }
};

struct PageCase {
    const char *route;
    int code;
    std::string reply;
    const char *path; // "" = the whole answer
    std::string expected;
};

TEST_F(StatusPages, RepliesBecomePages)
{
    NetPortStatus port{};
    memset(port.ifname, 'e', sizeof port.ifname); // no zero
    port.id = 1;
    port.mtu = 1500;
    port.ip6_mode = 2;
    strcpy(port.ip_addr, "10.1.2.3");
    strcpy(port.ip6_gateway, "fe80::1");
    NetPortTraffic t1{"eth0", 100, 200, 0}, t2{"eth1", 300, 400, 1};
    StorageSummary storage{1000, 600, 400};
    PoeSupport poe[3] = {};
    poe[0].support = 1;
    poe[0].type = 2;
    poe[2].support = 1;
    poe[2].type = 7; // not a PoE type
    OnlineUser user{};
    strcpy(user.user_name, "admin");
    user.user_level = 1;
    strcpy(user.ip_addr, "192.168.1.9");
    strcpy(user.login_time, "2026-12-07 10:00:00");
    std::string poe_bytes;
    for (const PoeSupport &p : poe) poe_bytes += bytes_of(p);

    const PageCase cases[] = {
        {"/8000", IPC_STATUS_NETWORK, bytes_of(port), "netif.0",
         R"({"ifname":"eeeeeeeeeeee","id":1,"state":0,"speedMode":0,"duplex":0,"enable":0,"dhcpEnable":0,"ipAddr":"10.1.2.3",)"
         R"("MAC":"","primaryDNS":"","secondDNS":"","gateway":"","netmask":"","mtu":1500,"ip6mode":2,"ip6address":"",)"
         R"("ip6prefix":0,"ip6gateway":"fe80::1"})"},
        {"/8001", IPC_STATUS_TRAFFIC, bytes_of(t1) + bytes_of(t2) + "xx", "",
         R"({"netif":[{"id":0,"ifname":"eth0","RxSpeed":100,"TxSpeed":200},{"id":1,"ifname":"eth1","RxSpeed":300,"TxSpeed":400}]})"},
        {"/8008", IPC_STATUS_STORAGE, bytes_of(storage), "", R"({"total":1000,"free":600,"used":400})"},
        {"/8009", IPC_STATUS_POE, poe_bytes, "",
         R"({"support":")" + std::string("101") + std::string(61, '0') + R"(","type":")" + std::string("200") +
             std::string(61, '0') + "\"}"},
        {"/8011", IPC_STATUS_USERS, bytes_of(user), "",
         R"([{"userName":"admin","userLevel":1,"ipaddr":"192.168.1.9","loginTime":"2026-12-07 10:00:00"}])"},
        // Short of one record: the wait ends in the time-out reply.
        {"/8008", IPC_STATUS_STORAGE, le32(1), "", kJsonError},
        {"/8000", IPC_STATUS_NETWORK, "", "", kJsonError},
        // The alarm page reads nothing of a reply short of the whole state.
        {"/8003", IPC_STATUS_ALARMS, std::string(68295, '\xff'), "", kJsonError},
    };
    for (const PageCase &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " reply of " + std::to_string(c.reply.size()) + " bytes");
        daemon.on(c.code).reply(c.reply);
        const std::string answer = reply_of(post_fast(c.route, ""));
        EXPECT_EQ(c.expected, *c.path ? at(answer, c.path) : answer);
    }
    EXPECT_EQ("", post("/8004", "").answer());
}

TEST_F(StatusPages, CamerasAndAlarmsCarryTheirNames)
{
    CameraRecord cam{};
    cam.id = 5;
    cam.enable = 1;
    strcpy(cam.ip_addr, "192.168.1.50");
    ASSERT_EQ(0, write_camera(kDb, &cam));
    OsdRecord osd{};
    osd.channel = 5;
    strcpy(osd.name, "Door");
    ASSERT_EQ(0, write_osd(kDb, &osd));
    CamAlarmInName in{5, 2, "Contact"};
    ASSERT_EQ(0, write_alarm_chnIn_event_name(kDb, &in));
    CamAlarmOutName out{5, 1, 30, "Siren"};
    ASSERT_EQ(0, write_alarm_chnOut_event_name(kDb, &out));
    AlarmOutRecord nvr_out{};
    nvr_out.id = 3;
    strcpy(nvr_out.name, "Bell");
    nvr_out.duration_time = 10;
    ASSERT_EQ(0, write_alarm_out(kDb, &nvr_out));
    ASSERT_EQ(0, set_param_int(kDb, "alarm_in", 40)); // at most 16

    // Records for channels 0 and 5 only (and one out of order).
    CamStreamState s0{}, s5{}, late{};
    s0.main = CamStreamInfo{1920, 1080, 25, 4096, 1, 0, 2};
    s0.record_on = 1;
    s5.channel = 5;
    s5.sub.width = 640;
    s5.alarm_on = 1;
    late.channel = 3;
    daemon.on(IPC_STATUS_CAMERAS).reply(bytes_of(s0) + bytes_of(s5) + bytes_of(late));
    const std::string cams = reply_of(post("/8002", ""));
    EXPECT_EQ("31", at(cams, "IPC.31.id"));
    EXPECT_EQ("(missing)", at(cams, "IPC.32"));
    EXPECT_EQ(R"({"id":0,"name":"CAM1","enable":0,"ipAddr":"--","recordOn":1,"alarmOn":0,)"
              R"("main":{"res":{"width":1920,"height":1080},"framerate":25,"bitrate":4096,"connection":1,"connectStatus":2},)"
              R"("sub":{"res":{"width":0,"height":0},"framerate":0,"bitrate":0,"connection":0,"connectStatus":0}})",
              at(cams, "IPC.0"));
    EXPECT_EQ(R"({"id":1,"name":"CAM2","enable":0,"ipAddr":"--","recordOn":"--","alarmOn":"--",)"
              R"("main":{"res":{"width":"--","height":"--"},"framerate":"--","bitrate":"--","connection":"--","connectStatus":"--"},)"
              R"("sub":{"res":{"width":"--","height":"--"},"framerate":"--","bitrate":"--","connection":"--","connectStatus":"--"}})",
              at(cams, "IPC.1"));
    EXPECT_EQ("\"--\"", at(cams, "IPC.3.recordOn"));
    EXPECT_EQ("\"Door\"", at(cams, "IPC.5.name"));
    EXPECT_EQ("\"192.168.1.50\"", at(cams, "IPC.5.ipAddr"));
    EXPECT_EQ("1", at(cams, "IPC.5.alarmOn"));
    EXPECT_EQ("640", at(cams, "IPC.5.sub.res.width"));

    std::unique_ptr<AlarmStateReply> st(new AlarmStateReply{});
    st->words[ASW_MOTION + 1] = 1 << (37 - 32);      // motion on channel 37
    st->words[ASW_VIDEO_LOSS] = 1 << 5;
    st->words[ASW_CHANNEL_IN + 2 * 5] = 3;
    st->words[ASW_CHANNEL_IN + 2 * 5 + 1] = 4;
    st->words[ASW_CAM_IN_STATE + 2 * 2] = 1 << 5;      // camera input 2 of channel 5
    st->words[ASW_CAM_OUT_TYPE + 2 * 1] = 1 << 5;
    st->words[ASW_NVR_INPUTS] = 1 << 15;
    st->words[ASW_NVR_OUTPUTS] = 1 << 3;
    daemon.on(IPC_STATUS_ALARMS).reply(bytes_of(*st));
    ASSERT_EQ(0, set_param_int(kDb, "max_cameras", 64));
    const std::string alarms = reply_of(post("/8003", ""));
    EXPECT_EQ("1", at(alarms, "cameras.37.motionOn"));
    EXPECT_EQ("0", at(alarms, "cameras.5.motionOn"));
    EXPECT_EQ("1", at(alarms, "cameras.5.videolossOn"));
    EXPECT_EQ("1", at(alarms, "cameras.5.ioOn"));
    EXPECT_EQ("3", at(alarms, "cameras.5.in"));
    EXPECT_EQ("4", at(alarms, "cameras.5.out"));
    EXPECT_EQ("\"Contact\"", at(alarms, "cameras.5.AlarmInName2"));
    EXPECT_EQ("1", at(alarms, "cameras.5.AlarmInState2"));
    EXPECT_EQ("0", at(alarms, "cameras.4.AlarmInState2"));
    EXPECT_EQ("\"Siren\"", at(alarms, "cameras.5.AlarmOutName1"));
    EXPECT_EQ("30", at(alarms, "cameras.5.AlarmOutDelay1"));
    EXPECT_EQ("1", at(alarms, "cameras.5.AlarmOutType1"));
    EXPECT_EQ("(missing)", at(alarms, "cameras.64"));
    EXPECT_EQ("1", at(alarms, "alarmIn.15.state"));
    EXPECT_EQ("(missing)", at(alarms, "alarmIn.16"));
    EXPECT_EQ(R"({"id":3,"name":"Bell","type":0,"duration":10,"state":1})", at(alarms, "alarmOut.3"));
}

// Channels of each disk group and the group of each disk in use, as the
// quota page reads them.
TEST_F(StatusPages, DiskGroupsFromTheSettings)
{
    GroupRecord g{};
    g.id = 1;
    memset(g.channels, '1', sizeof g.channels); // no zero
    ASSERT_EQ(0, write_disk_group(kDb, &g));
    DiskRecord d{};
    d.port = 2;
    d.configured = 1;
    d.group = 4;
    d.hdd_type = 9;
    ASSERT_EQ(0, write_disk(kDb, &d));
    d.port = 3;
    d.configured = 0;
    ASSERT_EQ(0, write_disk(kDb, &d));
    ASSERT_EQ(0, set_param_int(kDb, "group_mode", 1));
    const std::string page = reply_of(post("/8010", ""));
    EXPECT_EQ("\"\"", at(page, "channel.0"));
    EXPECT_EQ("\"" + std::string(65, '1') + "\"", at(page, "channel.1"));
    EXPECT_EQ("(missing)", at(page, "channel.16"));
    EXPECT_EQ("0", at(page, "disk.0"));
    EXPECT_EQ("5", at(page, "disk.1"));
    EXPECT_EQ("0", at(page, "disk.2"));
    EXPECT_EQ("(missing)", at(page, "disk.36"));
    EXPECT_EQ("32", at(page, "max_chan"));
    EXPECT_EQ("1", at(page, "group_enable"));
}

} // namespace
