// Device information, general settings and maintenance routes end to end
// through nvrweb.cgi: replies, stored settings and the daemon traffic, as
// tables of requests.
#include <gtest/gtest.h>

#include <cstring>

#include "common/records/camera.h"
#include "common/records/motion.h"
#include "common/records/system_info.h"
#include "tests/support/system_fixture.h"

namespace {

const char kJsonError[] = "{status:\"CGI ERROR\"}";

class SystemInfoTest : public SystemFixture {
protected:
    DisplayRecord display()
    {
        DisplayRecord d;
        EXPECT_EQ(0, read_display(QXDB_PATH, &d));
        return d;
    }
    std::string param(const char *key)
    {
        char buf[64];
        get_param_value(QXDB_PATH, key, buf, sizeof buf, "<missing>");
        return buf;
    }
    std::string camera_ip(int slot)
    {
        CameraRecord c;
        EXPECT_EQ(0, read_camera(QXDB_PATH, &c, slot));
        return c.ip_addr;
    }
};

DeviceFactsRecord sample_facts()
{
    DeviceFactsRecord f{};
    f.device_id = 7;
    f.max_cameras = 16;
    f.max_sensor = 8;
    f.max_alarm = 2;
    f.max_audio_out = 1;
    f.display_num = 2;
    f.max_rs485 = 1;
    f.max_network_lan = 2;
    f.oem_version = 3;
    f.qxddns = 1;
    memset(f.sn, 'S', sizeof f.sn); // no terminating zero: read within the field
    strcpy(f.prefix, "NV");
    strcpy(f.device_name, "NVR-1608");
    strcpy(f.software, "7x.7.0.9");
    strcpy(f.hwver, "V2.0");
    strcpy(f.mac_address, "00:1A:2B:3C:4D:5E");
    f.support_talk = 1;
    return f;
}

TEST_F(SystemInfoTest, DeviceFactsAnswerInTheirKeyOrder)
{
    const std::string sn(65, 'S');
    const std::string expected_head = "{\"hostName\":\"\",\"deviceName\":\"NVR-1608\",\"deviceId\":7,\"product\":\"NVR-1608\","
                                      "\"hwver\":\"V2.0\",\"software\":\"7x.7.0.9\",\"oemversion\":3,\"sn\":\"" + sn +
                                      "\",\"prefix\":\"NV\",\"pluginVersion\":\"1.0\",\"mpluginVersion\":\"1.0\","
                                      "\"macAddress\":\"00:1A:2B:3C:4D:5E\",\"qxddns\":1,\"uptime\":\"";
    const std::string expected_tail = "\",\"sncode\":\"" + sn + "\",\"resource\":{\"displayNum\":2,\"maxAudioOut\":1,"
                                      "\"maxNetworkLan\":2,\"maxSensor\":8,\"maxAlarm\":2,\"maxCameras\":16,"
                                      "\"masRs485\":1},\"qxfsDbup\":1,\"transProtocol\":0,\"streamInfo\":0,"
                                      "\"oemonlineupdate\":0,\"company\":\"Tarnvelle\",\"isSupportTalk\":1}";
    ASSERT_EQ(0, set_param_int(QXDB_PATH, "qxfs_dbup", 1));
    daemon.on(IPC_DEVICE_FACTS).reply_record(sample_facts());
    // The uptime text is cut before the user count or the load average,
    // never before its start.
    const struct {
        const char *uptime, *shown;
    } cases[] = {
        {" 10:01:02 up 3 days,  2:03,  2 users,  load average: 0.00, 0.01, 0.05", " 10:01:02 up 3 days,  2:03"},
        {" 10:01:02 up 5 min,  1 user,  load average: 0.10", " 10:01:02 up 5 min,  1 user,"},
        {"users", ""},
        {"load", ""},
        {"no markers here", "no markers here"},
    };
    for (const auto &c : cases) {
        stub("uptime", std::string("printf '%s\\n' '") + c.uptime + "'");
        for (const char *route : {"/1009", "/1020"}) {
            ProcResult r = get(route);
            EXPECT_NE(std::string::npos, r.headers().find("application/json")) << route;
            EXPECT_EQ(expected_head + c.shown + expected_tail, r.body()) << c.uptime;
        }
    }
}

TEST_F(SystemInfoTest, DeviceFactsMissingAnswerTheJsonError)
{
    stub("uptime", "echo up");
    const char *const cases[] = {"empty", "short", "silent"};
    for (const char *c : cases) {
        FakeScript &s = daemon.on(IPC_DEVICE_FACTS);
        if (!strcmp(c, "empty")) s.empty();
        else if (!strcmp(c, "short")) s.reply(std::string(591, 'x'));
        else s.silent();
        EXPECT_EQ(kJsonError, get("/1009").body()) << c;
    }
}

TEST_F(SystemInfoTest, HostNameAndDeviceId)
{
    const struct {
        const char *body;
        bool taken;
    } cases[] = {
        {"{\"hostName\":\"nvr-lobby\",\"deviceId\":12}", true},
        {"{\"hostName\":\"nvr-lobby\",\"deviceId\":255}", true},
        {"{\"hostName\":\"\",\"deviceId\":12}", false},
        {"{\"hostName\":\"x\",\"deviceId\":0}", false},
        {"{\"hostName\":\"x\",\"deviceId\":256}", false},
        {"{\"hostName\":\"x\"}", false},
        {"{\"hostName\":5,\"deviceId\":3}", false},
        {"not json", false},
    };
    for (const auto &c : cases) {
        daemon.clear();
        ASSERT_EQ(0, set_param_int(QXDB_PATH, "deviceid", 99));
        ProcResult r = post("/1012", c.body);
        std::vector<FakeRequest> sent = traffic();
        if (!c.taken) {
            EXPECT_EQ("", r.answer()) << c.body;
            EXPECT_TRUE(sent.empty()) << c.body;
            EXPECT_EQ("99", param("deviceid")) << c.body;
            continue;
        }
        EXPECT_EQ("OK", r.body()) << c.body;
        ASSERT_EQ(2u, sent.size()) << c.body;
        EXPECT_EQ(IPC_DEVICE_ID_CHANGED, sent[0].code);
        EXPECT_EQ(param("deviceid"), std::to_string(sent[0].int_at(0)));
        EXPECT_EQ(IPC_SETTINGS_CHANGED, sent[1].code);
        EXPECT_EQ(std::string("hostname") + std::string(24, '\0'), sent[1].payload);
    }
    // The host name lands in the general settings, cut to 127 characters.
    post("/1012", "{\"hostName\":\"" + std::string(200, 'h') + "\",\"deviceId\":3}");
    EXPECT_NE(std::string::npos, get("/6080").body().find("\"hostname\":\"" + std::string(127, 'h') + "\""));
}

std::string general(const std::string &changes)
{
    return "{\"mainResolution\":1,\"audioOutputOn\":1,\"audioVolume\":50,\"audioStereo\":1,\"hdmiAudioOn\":0,"
           "\"subResolution\":2,\"subEnable\":0,\"homologous\":1,\"isHomologousChanged\":0,\"hostname\":\"nvr\","
           "\"deviceId\":5,\"wizardEnable\":0,\"displayMode\":1,\"hdmihotplug\":1,\"streamInfo\":1" + changes + "}";
}

TEST_F(SystemInfoTest, GeneralSettingsValidation)
{
    const struct {
        const char *change;
        bool taken;
    } cases[] = {
        {"", true},
        {",\"audioVolume\":100", true},
        {",\"audioVolume\":0", true},
        {",\"audioVolume\":55", false},
        {",\"audioVolume\":110", false},
        {",\"audioVolume\":-10", false},
        {",\"deviceId\":0", true},
        {",\"deviceId\":256", true},
        {",\"deviceId\":257", false},
        {",\"audioOutputOn\":2", false},
        {",\"subEnable\":-1", false},
        {",\"hostname\":7", false},
        {",\"mainResolution\":\"1\"", false},
        {",\"isHomologousChanged\":1,\"homologous\":null", false},
    };
    for (const auto &c : cases) {
        ProcResult r = post("/6081", general(c.change));
        if (c.taken) EXPECT_EQ("OK", r.body()) << c.change;
        else EXPECT_EQ("", r.answer()) << c.change;
    }
    EXPECT_EQ("", post("/6081", "{\"mainResolution\":1}").answer());
}

TEST_F(SystemInfoTest, GeneralSettingsStoreAndNotifyInOrder)
{
    enum { R = IPC_DEVICE_RESTART, LOG = IPC_OPLOG };
    const struct {
        const char *what;
        int cur_control;
        std::string body;
        const char *answer;
        std::vector<int> codes;
        int sub_enable; // stored afterwards
    } cases[] = {
        {"same outputs", 0, general(""), "OK", {1705, 1702, 1002, LOG}, 0},
        {"new resolutions, second output asked on", 0, general(",\"mainResolution\":3,\"subEnable\":1"), "OK",
         {1023, 1705, 1702, 1001, 1001, 1015, 1002, LOG}, 0},
        {"second output in control", 1, general(",\"subEnable\":1"), "SUB", {1705, 1702, 1002, LOG}, 0},
        {"output mode changed", 0, general(",\"isHomologousChanged\":1,\"homologous\":0,\"subEnable\":0"), "OK",
         {1705, 1702, 1002, LOG, R}, 1},
    };
    for (const auto &c : cases) {
        DisplayRecord d{};
        d.main_resolution = 1;
        d.sub_resolution = 2;
        d.cur_control = c.cur_control;
        ASSERT_EQ(0, write_display(QXDB_PATH, &d));
        daemon.clear();
        EXPECT_EQ(c.answer, post("/6081", c.body).body()) << c.what;
        std::vector<FakeRequest> sent = traffic();
        std::vector<int> got;
        for (const FakeRequest &r : sent) got.push_back(r.code);
        EXPECT_EQ(c.codes, got) << c.what;
        EXPECT_EQ(c.sub_enable, display().sub_enable) << c.what;
        EXPECT_EQ(c.cur_control, display().cur_control) << c.what;
        for (const FakeRequest &r : sent) {
            if (r.code == 1002) {
                EXPECT_EQ(le32(0) + le32(1) + le32(50), r.payload) << c.what;
            } else if (r.code == 1023) {
                EXPECT_EQ(le32(1), r.payload) << c.what;
            }
        }
        EXPECT_EQ(std::vector<int>{204}, oplog_subtypes(sent)) << c.what;
    }
    // The last request's values, as the page reads them back.
    EXPECT_EQ("{\"displayMode\":1,\"hdmihotplug\":1,\"mainResolution\":1,\"hdmiAudioOn\":0,\"homologous\":0,"
              "\"curControl\":0,\"subEnable\":1,\"subResolution\":2,\"audioOutputOn\":1,\"audioVolume\":50,"
              "\"deviceId\":5,\"hostname\":\"nvr\",\"wizardEnable\":0,\"hideTaskBar\":0,\"hideToolBar\":0}",
              get("/6080").body());
    EXPECT_EQ("1", param("quick_screen"));
    EXPECT_EQ("1", param("stream_information"));
}

TEST_F(SystemInfoTest, CameraAddressesInBulk)
{
    const struct {
        const char *body;
        int max_cameras;
        std::vector<std::string> slots; // slots 0.. afterwards ("" = untouched)
        bool answered;
    } cases[] = {
        {"{\"startip\":\"10.0.0.10\",\"chnNum\":3,\"chnFre\":2}", 32,
         {"10.0.0.10", "10.0.0.10", "10.0.0.11", "10.0.0.11", "10.0.0.12", "10.0.0.12", ""}, true},
        {"{\"startip\":\"10.0.1.254\",\"chnNum\":3,\"chnFre\":1}", 32, {"10.0.1.254", "10.0.1.255", "10.0.1.0", ""}, true},
        {"{\"startip\":\"10.0.0.1\",\"chnNum\":100,\"chnFre\":3}", 4, {"10.0.0.1", "10.0.0.1", "10.0.0.1", "10.0.0.2", ""}, true},
        // No repetitions (or a negative count) fill nothing, however many addresses.
        {"{\"startip\":\"10.0.0.1\",\"chnNum\":2147483647,\"chnFre\":0}", 32, {""}, true},
        {"{\"startip\":\"10.0.0.1\",\"chnNum\":2147483647,\"chnFre\":-1}", 32, {""}, true},
        {"{\"startip\":\"10.0.0.300\",\"chnNum\":1,\"chnFre\":1}", 32, {""}, false},
        {"{\"startip\":\"10.0.0\",\"chnNum\":1,\"chnFre\":1}", 32, {""}, false},
        {"not json", 32, {""}, false},
    };
    for (const auto &c : cases) {
        for (int s = 0; s < 8; s++) ASSERT_EQ(0, delete_camera(QXDB_PATH, s));
        ASSERT_EQ(0, set_param_int(QXDB_PATH, "max_cameras", c.max_cameras));
        ProcResult r = post("/ipc", c.body);
        EXPECT_EQ(c.answered ? "OK" : "", text(r)) << c.body;
        for (size_t s = 0; s < c.slots.size(); s++) EXPECT_EQ(c.slots[s], camera_ip(static_cast<int>(s))) << c.body;
    }
}

TEST_F(SystemInfoTest, RetentionAndWeeklyRestart)
{
    const struct {
        const char *route, *body, *answer, *read_route, *read_back;
    } cases[] = {
        {"/1017", "{\"logRetention\":1,\"photoRetention\":4}", "OK", "/1016", "{\"logRetention\":1,\"photoRetention\":4}"},
        {"/1017", "{\"logRetention\":-1,\"photoRetention\":12}", "OK", "/1016", "{\"logRetention\":-1,\"photoRetention\":12}"},
        {"/1017", "{\"logRetention\":3,\"photoRetention\":4}", "", "/1016", "{\"logRetention\":-1,\"photoRetention\":12}"},
        {"/1017", "{\"logRetention\":14,\"photoRetention\":4}", "", "/1016", "{\"logRetention\":-1,\"photoRetention\":12}"},
        {"/1017", "{\"logRetention\":2}", "", "/1016", "{\"logRetention\":-1,\"photoRetention\":12}"},
        {"/1033", "{\"enable\":1,\"wday\":3,\"hour\":4,\"minutes\":5,\"seconds\":6}", "OK", "/1032",
         "{\"enable\":1,\"wday\":3,\"hour\":4,\"minutes\":5,\"seconds\":6}"},
        // Keys left out keep their stored values.
        {"/1033", "{\"enable\":0}", "OK", "/1032", "{\"enable\":0,\"wday\":3,\"hour\":4,\"minutes\":5,\"seconds\":6}"},
        {"/1033", "[1]", "", "/1032", "{\"enable\":0,\"wday\":3,\"hour\":4,\"minutes\":5,\"seconds\":6}"},
    };
    for (const auto &c : cases) {
        daemon.clear();
        EXPECT_EQ(c.answer, text(post(c.route, c.body))) << c.route << c.body;
        std::vector<int> want;
        if (*c.answer) want.push_back(!strcmp(c.route, "/1017") ? IPC_RETENTION_CHANGED : IPC_AUTO_REBOOT_CHANGED);
        EXPECT_EQ(want, codes()) << c.body;
        EXPECT_EQ(c.read_back, get(c.read_route).body()) << c.body;
    }
    ASSERT_EQ(0, set_param_int(QXDB_PATH, "qxfs_dbup", 1));
    EXPECT_EQ("OK", get("/1023").body());
    EXPECT_EQ("0", param("qxfs_dbup"));
}

TEST_F(SystemInfoTest, RestartStateRestartAndFactoryReset)
{
    // Restart state: the daemon's marker file; the motion intervals of
    // channel 0 are repaired on the way.
    MotionRecord m{};
    m.channel = 0;
    m.sensitivity = 40;
    m.email_interval = 60;
    ASSERT_EQ(0, write_motion(QXDB_PATH, &m));
    EXPECT_EQ("NO OK", get("/1005").body());
    root.write("/tmp/qxcore", "");
    EXPECT_EQ("OK", get("/1005").body());
    ASSERT_EQ(0, read_motion(QXDB_PATH, &m, 0));
    EXPECT_EQ(20, m.interval);
    EXPECT_EQ(60, m.email_interval);
    EXPECT_EQ(40, m.sensitivity);

    const struct {
        const char *route, *body, *answer;
        std::vector<int> codes;
        std::vector<int> subtypes;
    } cases[] = {
        {"/1004", "", "OK", {IPC_OPLOG, IPC_DEVICE_RESTART}, {200}},
        {"/1006", "{\"keepIp\":1,\"keepUser\":0}", "OK", {IPC_RESTORE_KEEP, IPC_RESTORE, IPC_OPLOG, IPC_DEVICE_RESTART}, {215}},
        {"/1006", "{\"keepIp\":1}", "", {}, {}},
        {"/1006", "{\"keepIp\":2,\"keepUser\":0}", "", {}, {}},
        {"/1006", "", "", {}, {}},
    };
    for (const auto &c : cases) {
        daemon.clear();
        EXPECT_EQ(c.answer, text(post(c.route, c.body))) << c.route << c.body;
        std::vector<FakeRequest> sent = traffic();
        std::vector<int> got;
        for (const FakeRequest &r : sent) got.push_back(r.code);
        EXPECT_EQ(c.codes, got) << c.route << c.body;
        EXPECT_EQ(c.subtypes, oplog_subtypes(sent)) << c.route << c.body;
        if (!sent.empty() && sent[0].code == IPC_RESTORE_KEEP) {
            EXPECT_EQ(le32(1) + le32(0), sent[0].payload);
        }
    }
}

} // namespace
