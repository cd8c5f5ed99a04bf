// Network services end to end: time, PPPoE, DDNS and mail (/7000 to /7032,
// /7094), service ports and push options (/7050, /7051, /7093), UPnP
// (/1030, /1031) and the cloud service (/7060 to /7062, /7095), against the
// fake daemon, a P2P server on 127.0.0.1 and the simulator.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "common/records/net_services.h"
#include "common/settings.h"
#include "platform/qx_net.h"
#include "platform/qx_p2p.h"
#include "tests/support/network_fixture.h"
#include "tests/support/sim_process.h"

namespace {
const char kDb[] = QXDB_PATH;

std::vector<int> codes_of(const std::vector<FakeRequest> &sent)
{
    std::vector<int> out;
    for (const FakeRequest &r : sent) out.push_back(r.code);
    return out;
}

std::string group_payload(const char *group)
{
    std::string g(group);
    return g + std::string(32 - g.size(), '\0');
}

// A TCP listener on 127.0.0.1 and an ephemeral port.
struct Listener {
    int fd = -1;
    int port = 0;
    Listener()
    {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        struct sockaddr_in sin{};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fd, reinterpret_cast<struct sockaddr *>(&sin), sizeof sin) != 0 || listen(fd, 4) != 0) return;
        socklen_t len = sizeof sin;
        getsockname(fd, reinterpret_cast<struct sockaddr *>(&sin), &len);
        port = ntohs(sin.sin_port);
    }
    ~Listener() { close(fd); }
};

// ---- Time ------------------------------------------------------------------------------------

class ServicesTest : public NetworkFixture {};

TEST_F(ServicesTest, SetTimeStoresAnswersFirstAndSetsTheClock)
{
    const std::string kBase = R"("dstEnable":1,"timeZone":"GMT+08:00","timeZoneName":"Asia/Taipei","ntpServer":"pool",
        "syncEnable":1,"syncInterval":60,"syncPc":0)";
    const std::string kZeros(32, '\0');
    struct Case {
        const char *name;
        std::string body;
        bool daemon_answers;
        const char *answer;
        std::vector<int> codes;
        std::string clock; // 1701 payload
    } cases[] = {
        {"manual time", "{\"ntpEnable\":0,\"manualTime\":\"2024-05-06 07:08:09\"," + kBase + "}", true, "OK",
         {1701, 1711, IPC_OPLOG}, "\"2024-05-06 07:08:09\"" + std::string(11, '\0')},
        {"NTP", "{\"ntpEnable\":1,\"manualTime\":\"2024-05-06 07:08:09\"," + kBase + "}", true, "OK",
         {1701, 1711, IPC_OPLOG}, kZeros},
        {"failover spare", "{\"ntpEnable\":0,\"failoverMode\":2,\"manualTime\":\"x\"," + kBase + "}", true, "OK",
         {1701, 1711, IPC_OPLOG}, kZeros},
        {"long manual time", "{\"ntpEnable\":0,\"manualTime\":\"" + std::string(200, '7') + "\"," + kBase + "}", true,
         "OK", {1701, 1711, IPC_OPLOG}, "\"" + std::string(29, '7') + "\"" + std::string(1, '\0')},
        {"daemon silent: no applied notice", "{\"ntpEnable\":1," + kBase + "}", false, "OK", {1701, IPC_OPLOG}, kZeros},
        {"ntpEnable 2", "{\"ntpEnable\":2," + kBase + "}", true, "", {}, ""},
        {"no time zone", R"({"ntpEnable":1,"dstEnable":0,"timeZoneName":"a","syncEnable":1,"syncInterval":1,"syncPc":0})",
         true, "", {}, ""},
        {"dstEnable as text", R"({"ntpEnable":1,"dstEnable":"1","timeZone":"a","timeZoneName":"a","syncEnable":1,
            "syncInterval":1,"syncPc":0})", true, "", {}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TimeRecord zero{};
        ASSERT_EQ(0, write_time(kDb, &zero));
        if (c.daemon_answers) daemon.on(1701).reply_int(0);
        else daemon.on(1701).silent();
        env["NVRWEB_TIME_SCALE"] = "0.001";
        ProcResult r = post("/7001", c.body);
        EXPECT_EQ(c.answer, said(r));
        EXPECT_EQ(std::string::npos, r.body().find("CGI ERROR"));
        std::vector<FakeRequest> sent = traffic();
        EXPECT_EQ(c.codes, codes_of(sent));
        TimeRecord rec{};
        read_time(kDb, &rec);
        if (c.codes.empty()) {
            EXPECT_EQ("", FIELD(rec.time_zone));
            continue;
        }
        EXPECT_EQ(c.clock, sent[0].payload);
        EXPECT_EQ("GMT+08:00", FIELD(rec.time_zone));
        EXPECT_EQ("Asia/Taipei", FIELD(rec.time_zone_name));
        EXPECT_EQ("pool", FIELD(rec.ntp_server));
        EXPECT_EQ(60, rec.sync_interval);
        OpLogRecord log = oplog_of(sent.back());
        EXPECT_EQ(225, log.sub_type);
        EXPECT_EQ(900, log.param_type);
    }
}

TEST_F(ServicesTest, GettersShowTheStoredRecords)
{
    TimeRecord t{1, 0, "GMT-05:00", "America/New_York", "ntp.lan", 1, 30, 1};
    write_time(kDb, &t);
    PppoeRecord p{1, 1, "dsl-user", "secret"};
    write_pppoe(kDb, &p);
    DdnsRecord d{};
    d.enable = 1;
    memset(d.host_name, 'h', sizeof d.host_name); // no zero: shown within its field
    d.http_port = 8080;
    write_ddns(kDb, &d);
    MailRecord m{};
    strcpy(m.smtp_server, "smtp.lan");
    strcpy(m.receivers[2].addr, "ops@lan");
    write_email(kDb, &m);
    PortRecord port{};
    port.enable_host_name = 1;
    strcpy(port.host_name, "nvr.lan");
    write_port(kDb, &port);

    struct Case {
        const char *route;
        std::vector<std::string> keys;
        std::vector<std::pair<const char *, std::string>> values;
    } cases[] = {
        {"/7000",
         {"dateYear", "dateMon", "dateDay", "dateHour", "dateMin", "dateSec", "serverTime", "ntpEnable", "dstEnable",
          "timeZone", "timeZoneName", "ntpServer", "syncEnable", "syncInterval", "syncPc"},
         {{"timeZoneName", "America/New_York"}, {"syncInterval", "30"}}},
        {"/7010",
         {"enable", "autoConnect", "userName", "password", "ipAddr"},
         {{"userName", "dsl-user"}, {"ipAddr", "0.0.0.0"}}},
        {"/7020",
         {"enable", "domain", "userName", "password", "hostName", "ddnsurl", "freeDNSHash", "updateFreq", "http_port",
          "rtsp_port", "mac"},
         {{"hostName", std::string(128, 'h')}, {"http_port", "8080"}}},
        {"/7030",
         {"enable", "userName", "password", "smtpServer", "smtpPort", "senderAddr", "senderName", "enableTls",
          "enableAttach", "captureInterval", "enableHostName", "hostName", "receivers"},
         {{"smtpServer", "smtp.lan"}, {"hostName", "nvr.lan"}, {"enableHostName", "1"}}},
    };
    for (const Case &c : cases) {
        json_object *o = reply_json(get(c.route));
        ASSERT_NE(nullptr, o) << c.route;
        EXPECT_EQ(c.keys, json_keys(o)) << c.route;
        for (const auto &kv : c.values) EXPECT_EQ(kv.second, json_text_at(o, kv.first)) << c.route;
        json_object_put(o);
    }
    json_object *o = reply_json(get("/7030"));
    json_object *receivers = json_object_object_get(o, "receivers");
    ASSERT_EQ(3u, json_object_array_length(receivers));
    EXPECT_EQ("ops@lan", json_text_at(json_object_array_get_idx(receivers, 2), "receiverAddr"));
    json_object_put(o);
    o = reply_json(get("/7000"));
    EXPECT_EQ(4u, json_text_at(o, "dateYear").size());
    EXPECT_EQ(2u, json_text_at(o, "dateMon").size());
    EXPECT_EQ(19u, json_text_at(o, "serverTime").size());
    json_object_put(o);
}

// ---- PPPoE, DDNS, mail -------------------------------------------------------------------------

TEST_F(ServicesTest, SettersValidateStoreAnnounceAndLog)
{
    struct Case {
        const char *route;
        std::string body;
        const char *group; // nullptr: refused without an answer
        int param_type;
        std::function<void()> check;
    } cases[] = {
        {"/7011", R"({"enable":1,"autoConnect":1,"userName":"dsl","password":"pw"})", "pppoe", 915,
         [] {
             PppoeRecord r{};
             read_pppoe(kDb, &r);
             EXPECT_EQ(1, r.auto_connect);
             EXPECT_EQ("pw", FIELD(r.password));
         }},
        {"/7011", R"({"enable":1,"userName":")" + std::string(90, 'u') + "\"}", "pppoe", 915,
         [] {
             PppoeRecord r{};
             read_pppoe(kDb, &r);
             EXPECT_EQ(std::string(63, 'u'), FIELD(r.user_name));
             EXPECT_EQ(0, r.auto_connect);
         }},
        {"/7011", R"({"enable":2})", nullptr, 0, nullptr},
        {"/7011", R"({"autoConnect":1})", nullptr, 0, nullptr},
        {"/7021", R"({"enable":1,"updateFreq":10,"domain":"dyn","http":8080,"rtsp":554,"hostName":")" +
                      std::string(200, 'h') + "\"}",
         "ddns", 916,
         [] {
             DdnsRecord r{};
             read_ddns(kDb, &r);
             EXPECT_EQ(8080, r.http_port);
             EXPECT_EQ(554, r.rtsp_port);
             EXPECT_EQ(10, r.update_freq);
             EXPECT_EQ(std::string(127, 'h'), FIELD(r.host_name));
         }},
        {"/7021", R"({"enable":1,"updateFreq":-1})", nullptr, 0, nullptr},
        {"/7021", R"({"enable":0})", nullptr, 0, nullptr},
        {"/7031", R"({"enable":1,"smtpServer":"smtp.lan","smtpPort":25,"enableTls":2,"enableAttach":1,
            "captureInterval":5,"senderAddr":"nvr@lan","enableHostName":1,"hostName":"cam.lan",
            "receivers":[{"receiverAddr":"a@lan","receiverName":"A"},{"receiverAddr":"b@lan"}]})",
         "mail", 917,
         [] {
             MailRecord r{};
             read_email(kDb, &r);
             EXPECT_EQ("smtp.lan", FIELD(r.smtp_server));
             EXPECT_EQ(2, r.enable_tls);
             EXPECT_EQ("a@lan", FIELD(r.receivers[0].addr));
             EXPECT_EQ("A", FIELD(r.receivers[0].name));
             EXPECT_EQ("b@lan", FIELD(r.receivers[1].addr));
             EXPECT_EQ("", FIELD(r.receivers[1].name));
             EXPECT_EQ("old3@lan", FIELD(r.receivers[2].addr)); // not in the request: kept
             PortRecord p{};
             read_port(kDb, &p);
             EXPECT_EQ("cam.lan", FIELD(p.host_name));
             EXPECT_EQ(1, p.enable_host_name);
             EXPECT_EQ(8080, p.http_port); // the ports stay
         }},
        {"/7031", R"({"smtpPort":25,"enableTls":0,"enableAttach":0,"captureInterval":0,"receivers":"x"})", "mail",
         917,
         [] {
             MailRecord r{};
             read_email(kDb, &r);
             EXPECT_EQ("old1@lan", FIELD(r.receivers[0].addr));
         }},
        {"/7031", R"({"smtpPort":25,"enableTls":0,"enableAttach":0,"captureInterval":0,
            "receivers":[{"receiverAddr":"n1"},7,{"receiverAddr":"n3"},{"receiverAddr":"n4"},{"receiverAddr":"n5"}]})",
         "mail", 917,
         [] {
             MailRecord r{};
             read_email(kDb, &r);
             EXPECT_EQ("n1", FIELD(r.receivers[0].addr));
             EXPECT_EQ("old2@lan", FIELD(r.receivers[1].addr));
             EXPECT_EQ("n3", FIELD(r.receivers[2].addr));
         }},
        {"/7031", R"({"smtpPort":25,"enableTls":3,"enableAttach":0,"captureInterval":0})", nullptr, 0, nullptr},
        {"/7031", R"({"smtpPort":25,"enableTls":0,"enableAttach":0})", nullptr, 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body);
        MailRecord mail{};
        for (int i = 0; i < 3; i++) snprintf(mail.receivers[i].addr, sizeof mail.receivers[i].addr, "old%d@lan", i + 1);
        write_email(kDb, &mail);
        PortRecord port{};
        port.http_port = 8080;
        write_port(kDb, &port);

        EXPECT_EQ(c.group ? "OK" : "", said(post(c.route, c.body)));
        std::vector<FakeRequest> sent = traffic();
        if (!c.group) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_EQ(2u, sent.size());
        EXPECT_EQ(1702, sent[0].code);
        EXPECT_EQ(group_payload(c.group), sent[0].payload);
        OpLogRecord log = oplog_of(sent[1]);
        EXPECT_EQ(204, log.sub_type);
        EXPECT_EQ(c.param_type, log.param_type);
        if (c.check) c.check();
    }
}

// ---- Daemon answers --------------------------------------------------------------------------------

TEST_F(ServicesTest, DaemonAnswersOfStatusMailAndCloudRoutes)
{
    P2pStateRecord state{};
    state.enable = 1;
    state.p2p_status = 1;
    state.region = 3;
    memset(state.register_code, 'R', sizeof state.register_code); // no zero
    strcpy(state.cloud_server, "127.0.0.1");
    const std::string state_bytes = bytes_of(state);
    enum Script { INT, RAW, SILENT };
    struct Case {
        const char *route;
        std::string body;
        int code;
        Script script;
        int value;
        std::string raw;
        std::string answer;
    } cases[] = {
        {"/7094", "", 3309, INT, 3, "", "{\"status\":3}"},
        {"/7094", "", 3309, SILENT, 0, "", "{status:\"CGI ERROR\"}"},
        {"/7032", "", 3409, INT, 0, "", "OK"},
        {"/7032", "", 3409, INT, 1, "", "ERROR"},
        {"/7032", "", 3409, SILENT, 0, "", "CGI ERROR"},
        {"/7060", "", 3702, RAW, 0, state_bytes,
         "{\"enable\":1,\"company\":\"\",\"email\":\"\",\"p2pstatus\":1,\"cloudAccount\":\"\",\"registerCode\":\"" +
             std::string(128, 'R') + "\",\"dealer\":\"\",\"model\":\"\",\"ipc\":\"\",\"cloudServer\":\"127.0.0.1\","
                                     "\"region\":3}"},
        {"/7060", "", 3702, RAW, 0, state_bytes.substr(0, 100), "{status:\"CGI ERROR\"}"},
        {"/7061", R"({"enableP2P":1,"region":2})", 3700, INT, 0, "", "ERR_OK"},
        {"/7061", R"({"enableP2P":1,"region":2})", 3700, INT, 2, "", "ERR_NOTFOUND"},
        {"/7061", R"({"enableP2P":1,"region":2})", 3700, INT, 3, "", "ERR_NETWORK"},
        {"/7061", R"({"enableP2P":1,"region":2})", 3700, INT, 4, "", "ERR_UNKNOWN"},
        {"/7061", R"({"enableP2P":1,"region":2})", 3700, INT, 6, "", "ERR_AUTH_FAILED"},
        {"/7061", R"({"enableP2P":1,"region":2})", 3700, INT, 7, "", "ERR_NO_UUID"},
        {"/7061", R"({"enableP2P":1,"region":2})", 3700, SILENT, 0, "", "CGI ERROR"},
        {"/7061", R"({"enableP2P":0,"region":4})", 3701, INT, 0, "", "OK"},
        {"/7061", R"({"enableP2P":0,"region":4})", 3701, INT, 9, "", "ERR"},
        {"/7061", "{", 0, INT, 0, "", ""},
        {"/7095", "", 2302, INT, 0, "", "{\"res\":0}"},
        {"/7095", "", 2302, SILENT, 0, "", "{status:\"CGI ERROR\"}"},
    };
    env["NVRWEB_TIME_SCALE"] = "0.002";
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body + " " + std::to_string(c.value));
        P2pRecord p2p{};
        p2p.enable = 1;
        strcpy(p2p.text[0], "kept");
        write_p2p_info(kDb, &p2p);
        FakeScript &s = daemon.on(c.code);
        if (c.script == INT) s.reply_int(c.value);
        else if (c.script == RAW) s.reply(c.raw);
        else s.silent();
        EXPECT_EQ(c.answer, said(post(c.route, c.body)));
        std::vector<FakeRequest> sent = traffic();
        ASSERT_EQ(c.code ? 1u : 0u, sent.size());
        if (!c.code) continue;
        EXPECT_EQ(c.code, sent[0].code);
        if (c.code == 3409) {
            EXPECT_EQ(group_payload("testmail"), sent[0].payload);
        }
        if (c.code == 3700 || c.code == 3701) {
            P2pRecord rec{};
            ASSERT_TRUE(sent[0].as(&rec));
            EXPECT_EQ(c.code == 3700 ? 1 : 0, rec.enable);
            EXPECT_EQ(c.code == 3700 ? 2 : 4, rec.region);
            EXPECT_EQ(c.code == 3700 ? "" : "kept", FIELD(rec.text[0]));
            P2pRecord stored{};
            read_p2p_info(kDb, &stored);
            EXPECT_EQ(c.code == 3700 ? 1 : 0, stored.enable);
        }
    }
}

// ---- Ports ---------------------------------------------------------------------------------------

class PortsTest : public NetworkFixture {
protected:
    void SetUp() override
    {
        PortRecord port{1, 22, 80, 554, 443, 6036, 1, "nvr.lan", {}};
        ASSERT_EQ(0, write_port(kDb, &port));
    }

public:
    PortRecord stored_port()
    {
        PortRecord p{};
        read_port(kDb, &p);
        return p;
    }
    int push_type_of(int channel)
    {
        PushMsgEvent ev{};
        read_push_msg_event(kDb, &ev, channel);
        return ev.type;
    }
    std::string param(const char *key)
    {
        char v[64];
        return get_param_value(kDb, key, v, sizeof v, "<none>") >= 0 ? v : "?";
    }
};

std::string port_request(const std::string &changes)
{
    std::string base = R"({"enableSsh":1,"sshPort":22,"httpPort":80,"rtspPort":554,"servicePort":6036,"enableMsg":1,
        "enableAccess":0,"channel_num":2,"pushType":3,"PushTypeNvrAlarmIn":7,"pushTypeArr":[5,6],
        "pushNvrPos":"1010","pushVideoStream":1)";
    return base + changes + "}";
}

TEST_F(PortsTest, SetChecksChangedPortsAndStoresPushOptions)
{
    Listener busy;
    ASSERT_GT(busy.port, 0);
    const std::string in_use = std::to_string(busy.port);
    const std::vector<int> kStored = {3617, IPC_OPLOG, 1702};
    struct Case {
        const char *name;
        std::string body;
        int max_poe;
        const char *answer;
        std::vector<int> codes;
        std::function<void(PortsTest &)> check;
    } cases[] = {
        {"plain", port_request(""), 0, "OK", kStored,
         [](PortsTest &t) {
             EXPECT_EQ(443, t.stored_port().https_port);
             EXPECT_EQ(5, t.push_type_of(0));
             EXPECT_EQ(6, t.push_type_of(1));
             EXPECT_EQ("3", t.param("push_type"));
             EXPECT_EQ("7", t.param("pushmsg_alarmin_type"));
             EXPECT_EQ("1", t.param("enable_push_msg"));
             EXPECT_EQ("1", t.param("video_push_stream"));
         }},
        {"PoE camera port", port_request(",\"httpPort\":23003"), 4, "POE_Port_Error", {},
         [](PortsTest &t) {
             EXPECT_EQ(80, t.stored_port().http_port);
             EXPECT_EQ("3", t.param("push_type")); // stored before the ports
             EXPECT_EQ("<none>", t.param("enable_push_msg"));
         }},
        {"port above the PoE ports", port_request(",\"httpPort\":23005"), 4, "OK", kStored,
         [](PortsTest &t) { EXPECT_EQ(23005, t.stored_port().http_port); }},
        {"PoE ports reserved only for 4, 8, 16", port_request(",\"httpsPort\":23003"), 5, "OK", kStored, nullptr},
        {"SSH port in use", port_request(",\"sshPort\":" + in_use), 0, "POE_Port_Error", {}, nullptr},
        {"RTSP port is not checked", port_request(",\"rtspPort\":" + in_use), 0, "OK", kStored, nullptr},
        {"HTTPS port changed", port_request(",\"httpsPort\":8443"), 0, "OK", kStored,
         [](PortsTest &t) { EXPECT_EQ(8443, t.stored_port().https_port); }},
        {"push switch 5 stores 0", port_request(",\"enableMsg\":5"), 0, "OK", kStored,
         [](PortsTest &t) { EXPECT_EQ("0", t.param("enable_push_msg")); }},
        {"channel_num beyond the array",
         port_request(",\"channel_num\":1000,\"pushTypeArr\":[1,\"x\",3]"), 0, "OK", kStored,
         [](PortsTest &t) {
             EXPECT_EQ(1, t.push_type_of(0));
             EXPECT_EQ(0, t.push_type_of(1));
             EXPECT_EQ(3, t.push_type_of(2));
             EXPECT_EQ(0, t.push_type_of(3));
         }},
        {"push types not an array", port_request(",\"pushTypeArr\":{\"0\":9}"), 0, "OK", kStored,
         [](PortsTest &t) { EXPECT_EQ(0, t.push_type_of(0)); }},
        {"channel access changed", port_request(",\"enableAccess\":1"), 0, "OK", {3618, 3617, IPC_OPLOG, 1702},
         nullptr},
        {"restart asked", port_request(",\"needReboot\":1"), 0, "OK", {3617, IPC_OPLOG, 1702, IPC_OPLOG, 1703},
         nullptr},
        {"SSH switch 2", port_request(",\"enableSsh\":2"), 0, "", {}, nullptr},
        {"HTTP port over 65535", port_request(",\"httpPort\":70000"), 0, "", {}, nullptr},
        {"negative push switch", port_request(",\"enableMsg\":-1"), 0, "", {}, nullptr},
        {"RTSP port as text", port_request(",\"rtspPort\":\"554\""), 0, "", {}, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_EQ(0, set_param_int(kDb, "max_poe_num", c.max_poe));
        for (const char *key : {"push_type", "pushmsg_alarmin_type", "enable_push_msg", "video_push_stream"})
            set_param_value(kDb, key, "<none>");
        for (int ch = 0; ch < 4; ch++) delete_push_msg_event(kDb, ch);
        set_param_value(kDb, "enable_push_msg", "<none>");
        set_param_value(kDb, "push_type", "<none>");

        EXPECT_EQ(c.answer, said(post("/7051", c.body)));
        std::vector<FakeRequest> sent = traffic();
        EXPECT_EQ(c.codes, codes_of(sent));
        if (c.check) c.check(*this);
        for (const FakeRequest &r : sent) {
            if (r.code == 3617) {
                std::string want = c.body.find("\"enableMsg\":5") != std::string::npos ? "0" : "1";
                EXPECT_EQ(want + std::string(9, '\0'), r.payload);
            } else if (r.code == 3618) {
                EXPECT_EQ(le32(1), r.payload);
            }
        }
        if (!c.codes.empty() && c.codes.back() == 1703) {
            OpLogRecord log = oplog_of(sent[3]);
            EXPECT_EQ(200, log.sub_type);
            EXPECT_EQ(900, log.param_type);
        }
    }
}

TEST_F(PortsTest, PortInUseTestThatFailsRefusesTheChange)
{
    write_file("/var/run/standin_faults", "is_port_use\n");
    EXPECT_EQ("POE_Port_Error", said(post("/7051", port_request(",\"httpPort\":8081"))));
    EXPECT_EQ("OK", said(post("/7051", port_request("")))) << "unchanged ports are not tested";
}

TEST_F(PortsTest, GettersOfPortsPoeAndUpnp)
{
    ASSERT_EQ(0, set_param_int(kDb, "max_cameras", 4));
    ASSERT_EQ(0, set_param_int(kDb, "max_poe_num", 8));
    ASSERT_EQ(0, set_param_int(kDb, "enable_push_msg", 7));
    PushMsgEvent ev{2, 9};
    write_push_msg_event(kDb, &ev);
    UpnpRecord upnp{};
    upnp.enable = 1;
    upnp.http_status = 2;
    upnp.external_http_port = 8000;
    write_upnp(kDb, &upnp);

    json_object *o = reply_json(get("/7050"));
    ASSERT_NE(nullptr, o);
    EXPECT_EQ((std::vector<std::string>{"enableSsh", "sshPort", "httpPort", "httpsPort", "rtspPort", "servicePort",
                                        "enable_access", "PushTypeArr", "PushNvrAlarmInType", "enableMsg",
                                        "push_stream", "pushNvrPos"}),
              json_keys(o));
    EXPECT_EQ("[ 0, 0, 9, 0 ]", json_text_at(o, "PushTypeArr"));
    EXPECT_EQ("65535", json_text_at(o, "PushNvrAlarmInType"));
    EXPECT_EQ("0", json_text_at(o, "enableMsg"));
    EXPECT_EQ("443", json_text_at(o, "httpsPort"));
    json_object_put(o);

    EXPECT_EQ("{\"max_poe_num\":8}", get("/7093").body());

    o = reply_json(get("/1030"));
    EXPECT_EQ((std::vector<std::string>{"enable", "type", "external_http_port", "http_status", "external_rtsp_port",
                                        "rtsp_status", "http_port", "rtsp_port"}),
              json_keys(o));
    EXPECT_EQ("8000", json_text_at(o, "external_http_port"));
    EXPECT_EQ("554", json_text_at(o, "rtsp_port"));
    json_object_put(o);

    EXPECT_EQ("OK", said(post("/1031", R"({"enable":0,"type":1,"external_http_port":9000})")));
    std::vector<FakeRequest> sent = traffic();
    ASSERT_EQ(1u, sent.size());
    UpnpRecord sent_upnp{};
    ASSERT_TRUE(sent[0].as(&sent_upnp));
    EXPECT_EQ(0, sent_upnp.enable);
    EXPECT_EQ(1, sent_upnp.type);
    EXPECT_EQ(9000, sent_upnp.external_http_port);
    EXPECT_EQ(0, sent_upnp.external_rtsp_port);
    EXPECT_EQ(2, sent_upnp.http_status); // the daemon's own fields go back as stored
    UpnpRecord stored{};
    read_upnp(kDb, &stored);
    EXPECT_EQ(8000, stored.external_http_port) << "the handler stores nothing";
    EXPECT_EQ("", said(post("/1031", "[1]")));
}

// ---- P2P server test (/7062) ----------------------------------------------------------------------

// A P2P server on 127.0.0.1 that reads one test and answers with `status`
// (and `text` when the status is 0).
class FakeP2pServer {
public:
    FakeP2pServer(int status, std::string text) : status_(status), text_(std::move(text))
    {
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeP2pServer()
    {
        shutdown(listener_.fd, SHUT_RDWR);
        thread_.join();
    }
    int port() const { return listener_.port; }
    P2pHeader header{};
    P2pTestBody body{};
    std::atomic<bool> served{false};

private:
    void serve()
    {
        int conn = accept(listener_.fd, nullptr, nullptr);
        if (conn < 0) return;
        if (p2p_cli_switch_keyfile(conn, "/mnt/nand/app/p2p.key") == 0 &&
            p2p_recv(conn, &header, sizeof header) == static_cast<int>(sizeof header) &&
            p2p_recv(conn, &body, sizeof body) == static_cast<int>(sizeof body)) {
            P2pHeader answer{};
            answer.word0 = status_;
            p2p_send(conn, &answer, sizeof answer);
            if (status_ == 0) p2p_send(conn, text_.data(), static_cast<int>(text_.size()));
            served = true;
        }
        socket_destroy(conn);
    }
    Listener listener_;
    int status_;
    std::string text_;
    std::thread thread_;
};

TEST_F(ServicesTest, P2pTestTalksToTheServerOnTheLoopback)
{
    ASSERT_EQ(0, p2p_create_keyfile("/mnt/nand/app/p2p.key"));
    P2pRecord rec{};
    strcpy(rec.text[0], "uuid-1");
    memset(rec.text4, 'z', sizeof rec.text4); // no zero
    ASSERT_EQ(0, write_p2p_info(kDb, &rec));
    daemon.on(3700).reply_int(0).reply_int(0, 20); // replies nobody waits for
    struct Case {
        const char *name;
        int status;
        std::string text;
        const char *fault;
        const char *answer;
        bool to_daemon;
    } cases[] = {
        {"accepted", 0, "TOKEN-123", nullptr, "0", true},
        {"accepted, long text", 0, std::string(300, 't'), nullptr, "0", true},
        {"refused", 2, "", nullptr, "2", false},
        {"unknown status", 5, "", nullptr, "3", false},
        {"key file fails", 0, "x", "p2p_create_keyfile", "4", false},
        {"send fails", 0, "x", "p2p_send", "3", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write_file("/var/run/standin_faults", c.fault ? c.fault : "");
        FakeP2pServer server(c.status, c.text);
        ASSERT_EQ(0, set_param_value(kDb, "p2p_server", ("127.0.0.1:" + std::to_string(server.port())).c_str()));
        ProcResult r = post("/7062", R"({"sn":"SN0001","deviceName":"lab"})");
        EXPECT_EQ(c.answer, said(r));
        EXPECT_EQ(std::string::npos, r.out.find("Content-type", r.out.find("Content-type") + 1)) << r.out;
        std::vector<FakeRequest> sent = traffic();
        ASSERT_EQ(c.to_daemon ? 1u : 0u, sent.size());
        if (c.to_daemon) {
            EXPECT_EQ(3700, sent[0].code);
            EXPECT_EQ(c.text.substr(0, 128), sent[0].payload);
        }
        if (server.served) {
            EXPECT_EQ(2, server.header.word0);
            EXPECT_EQ("lab", FIELD(server.body.device_name));
            EXPECT_EQ("SN0001", FIELD(server.body.serial));
            EXPECT_EQ("uuid-1", FIELD(server.body.text[0]));
            EXPECT_EQ(std::string(63, 'z'), FIELD(server.body.text4));
            EXPECT_EQ(17u, FIELD(server.body.mac).size());
        }
    }
    // Nobody listening.
    write_file("/var/run/standin_faults", "");
    int free_port;
    {
        Listener l;
        free_port = l.port;
    }
    ASSERT_EQ(0, set_param_value(kDb, "p2p_server", ("127.0.0.1:" + std::to_string(free_port)).c_str()));
    EXPECT_EQ("3", said(post("/7062", "{}")));
    // A server off the machine is never tried.
    ASSERT_EQ(0, set_param_value(kDb, "p2p_server", "192.0.2.10"));
    EXPECT_EQ("3", said(post("/7062", "{}")));
    EXPECT_EQ("", said(post("/7062", "sn=1")));
}

// ---- Simulator --------------------------------------------------------------------------------------

TEST(NetworkSim, SimulatorAnswersAsATwoPortDevice)
{
    DeviceRoot root;
    std::vector<std::string> answers;
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());

    struct Case {
        const char *route;
        const char *body;
        std::string answer; // "" = only checked below
    } cases[] = {
        {"/7070", R"({"ip":"192.168.1.101"})", "-1"},
        {"/7070", R"({"ip":"192.168.1.77"})", "0"},
        {"/7071", R"({"dev":"eth1","ip":"192.168.1.101"})", "0"},
        {"/7071", R"({"dev":"eth1","ip":"192.168.2.50"})", "-1"},
        {"/7096", R"({"defaultRoute":1})", "{\"res\":0}"},
        {"/7096", R"({"defaultRoute":5})", "{\"res\":-1}"},
        {"/7032", "", "ERROR"},
        {"/7094", "", "{\"status\":0}"},
        {"/7061", R"({"enableP2P":1,"region":2})", "ERR_OK"},
        {"/7060", "", ""},
    };
    for (const Case &c : cases) answers.push_back(post_json(root, c.route, c.body).body());

    for (size_t i = 0; i < answers.size(); i++) {
        if (cases[i].answer.empty()) continue;
        EXPECT_EQ(cases[i].answer, answers[i]) << cases[i].route << " " << cases[i].body;
    }
    json_object *o = json_tokener_parse(answers.back().c_str());
    ASSERT_NE(nullptr, o) << answers.back();
    EXPECT_EQ("1", json_text_at(o, "enable"));
    EXPECT_EQ("2", json_text_at(o, "region"));
    EXPECT_EQ("127.0.0.1", json_text_at(o, "cloudServer"));
    EXPECT_EQ(15u, json_text_at(o, "registerCode").size()); // "NVR" and the MAC's 12 digits
    json_object_put(o);
}

} // namespace
