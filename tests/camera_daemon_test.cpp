// Camera routes answered by the daemon: list, search, connection tests,
// network changes, model queries, and the module's reply dispatcher.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/records/camera.h"
#include "common/records/osd.h"
#include "common/settings.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

namespace {

class CameraDaemonTest : public ::testing::Test {
protected:
    ~CameraDaemonTest() override { qxdb_close_all(); }
    ProcResult post(const std::string &route, const std::string &json,
                    std::map<std::string, std::string> env = {})
    {
        return post_json(root, route, json, env);
    }
    // A refused request opened no connection: the sentinel's is the first.
    void expect_no_daemon_traffic()
    {
        daemon.on(IPC_CAMERA_LIST).reply_int(0);
        post("/2001", "{}");
        EXPECT_EQ(1, daemon.connections());
        EXPECT_EQ(std::vector<int>{IPC_CAMERA_LIST}, daemon.codes());
    }

    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    FakeDaemon daemon{root};
};

// A text field filled to its last byte, without a zero.
template <size_t N> void fill(char (&field)[N], char c) { memset(field, c, N); }

TEST_F(CameraDaemonTest, ListReportsWholeRecordsWithBoundedTexts)
{
    OsdRecord osd{};
    osd.channel = 2;
    strcpy(osd.name, "Garage");
    ASSERT_EQ(0, write_osd(QXDB_PATH, &osd));
    set_param_int(QXDB_PATH, "max_cameras", 16);

    CameraListRecord a{}, b{};
    a.id = 2;
    strcpy(a.ip_addr, "192.168.1.2");
    a.state = 1;
    a.alarm_out = 3;
    a.connect_state = 1;
    b.id = 99; // not a channel: no name
    fill(b.ip_addr, 'x');
    fill(b.chip_info, 'c');
    std::string payload = bytes_of(a) + bytes_of(b) + std::string(100, 'z'); // trailing partial record
    daemon.on(IPC_CAMERA_LIST).reply(payload);

    ProcResult r = post("/2007", "{}");
    std::string body = r.body();
    EXPECT_NE(std::string::npos, body.find(R"({"id":2,"enable":1,"name":"Garage","ipAddr":"192.168.1.2",)"));
    EXPECT_NE(std::string::npos, body.find(R"("alarmout":3,)"));
    EXPECT_NE(std::string::npos, body.find(R"({"id":99,"enable":1,"name":"","ipAddr":")" + std::string(32, 'x') + "\""));
    EXPECT_NE(std::string::npos, body.find(R"("chipinfo":")" + std::string(64, 'c') + "\"}]"));
    EXPECT_NE(std::string::npos, body.find(R"("maxIPCNums":16})"));
    EXPECT_EQ(std::vector<int>{IPC_CAMERA_LIST}, daemon.codes());
    EXPECT_EQ("", daemon.requests()[0].payload);
}

TEST_F(CameraDaemonTest, DispatcherAnswersOnceAndIgnoresOtherCodes)
{
    CameraListRecord a{};
    a.id = 0;
    // Reply codes the module does not answer first (the statuses of a
    // notice and of an operation-log record), then two answers to the list: one body only.
    daemon.on(IPC_CAMERA_LIST)
        .reply_as(6201, 0, le32(0))
        .reply_as(8485, 0, le32(0))
        .reply(bytes_of(a))
        .reply(bytes_of(a));
    std::string out = post("/2001", "{}").out;
    EXPECT_EQ(1u, [&] {
        size_t n = 0;
        for (size_t p = 0; (p = out.find("Content-type", p)) != std::string::npos; p++) n++;
        return n;
    }());
    EXPECT_NE(std::string::npos, out.find(R"({"IPC":[{"id":0,)"));

    // An empty payload is no answer: the wait runs out into the error reply.
    daemon.on(IPC_CAMERA_LIST).empty();
    EXPECT_EQ("{status:\"CGI ERROR\"}", post("/2001", "{}", {{"NVRWEB_TIME_SCALE", "0.001"}}).body());
}

TEST_F(CameraDaemonTest, SearchSendsTheProtocolAndFiltersNames)
{
    for (const char *body : {R"({"protocol":8})", R"({"protocol":-1})", "{}", "nope"})
        EXPECT_EQ("", post("/2006", body).answer()) << body;
    expect_no_daemon_traffic();
    daemon.clear();

    CameraSearchRecord s{};
    strcpy(s.ip_addr, "192.168.1.50");
    strcpy(s.mac, "00:11:22:33:44:55");
    s.manage_port = 80;
    s.protocol = 2;
    strcpy(s.name, "Caf\xc3\xa9");
    strcpy(s.netif, "eth0");
    CameraSearchRecord t = s;
    strcpy(t.name, "Plain");
    daemon.on(IPC_CAMERA_SEARCH).reply(bytes_of(s) + bytes_of(t));
    std::string body = post("/2006", R"({"protocol":2})").body();
    EXPECT_EQ(le32(2), daemon.requests().back().payload);
    EXPECT_EQ(0u, body.find(R"({"resultString":"OK","IPC":[{"ipAddr":"192.168.1.50","managePort":80,"protocol":2,)"));
    EXPECT_NE(std::string::npos, body.find(R"("netif":"eth0","active_status":0,"name":"","snReal":"")"));
    EXPECT_NE(std::string::npos, body.find(R"("name":"Plain")"));

    daemon.on(IPC_CAMERA_SEARCH).reply_int(0);
    EXPECT_EQ(R"({"resultString":"NO","IPC":[]})", post("/2006", R"({"protocol":0})").body());
}

TEST_F(CameraDaemonTest, ConnectionTests)
{
    for (const char *body : {R"({"ipAddr":"","managePort":80,"camProtocol":0})",
                             R"({"ipAddr":"1.2.3.4","managePort":-1,"camProtocol":0})",
                             R"({"ipAddr":"1.2.3.4","managePort":80,"camProtocol":8})", R"({"ipAddr":"1.2.3.4"})"}) {
        EXPECT_EQ("", post("/2014", body).answer()) << body;
        EXPECT_EQ("", post("/2015", body).answer()) << body;
    }
    expect_no_daemon_traffic();
    daemon.clear();

    daemon.on(IPC_CAMERA_TEST2).reply_int(4);
    EXPECT_EQ("OK", post("/2015", R"({"ipAddr":"1.2.3.4","managePort":0,"camProtocol":2,"userName":"u","password":"p"})").body());
    CameraTestRequest2 t2{};
    ASSERT_TRUE(daemon.requests().back().as(&t2));
    EXPECT_EQ(80, t2.manage_port);
    EXPECT_STREQ("1.2.3.4", t2.ip_addr);
    EXPECT_STREQ("u", t2.user_name);
    EXPECT_STREQ("p", t2.password);
    EXPECT_EQ(2, t2.protocol);
    EXPECT_EQ(0, t2.zero);
    daemon.on(IPC_CAMERA_TEST2).reply_int(1);
    EXPECT_EQ("NETWORKERROR", post("/2015", R"({"ipAddr":"1.2.3.4","managePort":8080,"camProtocol":0})").body());
    ASSERT_TRUE(daemon.requests().back().as(&t2));
    EXPECT_EQ(8080, t2.manage_port);

    const std::pair<int, const char *> statuses[] = {
        {0, "OK"}, {2, "USERERROR"}, {3, "UNKOWNERROR"}, {5, "BANDWIDTHERROR"}, {-1, "UNKOWNERROR"}};
    for (const auto &s : statuses) {
        daemon.on(IPC_CAMERA_TEST).reply_int(s.first);
        EXPECT_EQ(s.second, post("/2014", R"({"ipAddr":"1.2.3.4","managePort":0,"camProtocol":0})").body());
    }
    CameraTestRequest t{};
    ASSERT_TRUE(daemon.requests().back().as(&t));
    EXPECT_EQ(0, t.manage_port);

    // A reply too short for its status: the error reply, not an over-read.
    daemon.on(IPC_CAMERA_TEST).reply(std::string(2, '\0'));
    EXPECT_EQ("CGI ERROR", post("/2014", R"({"ipAddr":"1.2.3.4","managePort":0,"camProtocol":0})").body());
}

const char kNetworkChange[] =
    R"({"macAddr":"00:11:22:33:44:55","oldIpcAddr":"192.168.1.9","newIpcAddr":"192.168.1.10",)"
    R"("netmask":"255.255.255.0","gateway":"192.168.1.1","primaryDNS":"8.8.8.8","port":65535,)"
    R"("username":"admin","password":"p","protocol":0,"netif":"eth1"})";

TEST_F(CameraDaemonTest, NetworkChange)
{
    std::string over = kNetworkChange;
    over.replace(over.find("65535"), 5, "65536");
    EXPECT_EQ("", post("/2011", over).answer());
    EXPECT_EQ("", post("/2011", R"({"macAddr":"00:11"})").answer());
    expect_no_daemon_traffic();
    daemon.clear();

    daemon.on(IPC_CAMERA_NETWORK).reply_int(0);
    EXPECT_EQ(R"({"resultString":"OK"})", post("/2011", kNetworkChange).body());
    CameraNetworkRequest n{};
    ASSERT_TRUE(daemon.requests().back().as(&n));
    EXPECT_STREQ("00:11:22:33:44:55", n.mac);
    EXPECT_STREQ("192.168.1.9", n.old_ip);
    EXPECT_STREQ("192.168.1.10", n.new_ip);
    EXPECT_STREQ("8.8.8.8", n.dns);
    EXPECT_EQ(65535, n.port);
    EXPECT_STREQ("eth1", n.netif);

    const std::pair<int, const char *> statuses[] = {{1, "NETWORK_ERR"}, {2, "INVALID_USER"}, {3, "UNKNOWN_ERR"},
                                                     {4, "PROTO_NOT_SUPPORT"}, {9, "ERROR"}, {-3, "ERROR"}};
    for (const auto &s : statuses) {
        daemon.on(IPC_CAMERA_NETWORK).reply_int(s.first);
        EXPECT_EQ(std::string(R"({"resultString":")") + s.second + "\"}", post("/2011", kNetworkChange).body());
    }
    daemon.on(IPC_CAMERA_NETWORK).reply("\x01");
    EXPECT_EQ("{status:\"CGI ERROR\"}", post("/2011", kNetworkChange).body());
}

TEST_F(CameraDaemonTest, BatchNetworkChangeAndItsResult)
{
    std::string item = kNetworkChange;
    item.insert(1, R"("channelId":7,"modifynum":2,)");
    // "cnt" bounds the items, and so does the array's real length; items that
    // are not valid changes (or name channel 64) are skipped.
    std::string other_channel = item;
    other_channel.replace(other_channel.find("\"channelId\":7"), 13, "\"channelId\":64");
    std::string body = R"({"cnt":9,"oIPCAddr":[)" + item + R"(,5,{"macAddr":"x"},)" + other_channel + "," + item + "]}";
    EXPECT_EQ("OK", post("/2032", body).body());
    ASSERT_TRUE(daemon.wait_requests(2));
    EXPECT_EQ((std::vector<int>{IPC_CAMERA_NETWORK_ITEM, IPC_CAMERA_NETWORK_ITEM}), daemon.codes());
    CameraNetworkItem it{};
    ASSERT_TRUE(daemon.requests()[0].as(&it));
    EXPECT_EQ(7, it.channel_id);
    EXPECT_EQ(2, it.modify_count);
    EXPECT_STREQ("192.168.1.10", it.req.new_ip);
    daemon.clear();

    EXPECT_EQ("OK", post("/2032", R"({"cnt":1,"oIPCAddr":[)" + item + "," + item + "]}").body());
    ASSERT_TRUE(daemon.wait_requests(1));
    EXPECT_EQ("", post("/2032", R"({"cnt":1,"oIPCAddr":{}})").answer());
    daemon.clear();

    CameraBatchResult r{};
    r.count = 1000; // more than the record holds
    strcpy(r.entries[0].mac, "AA");
    r.entries[0].result = -2;
    fill(r.entries[63].mac, 'm');
    daemon.on(IPC_CAMERA_NETWORK_RESULT).reply_record(r);
    std::string res = post("/2033", "{}").body();
    EXPECT_EQ(0u, res.find(R"({"IPC":[{"mac":"AA","result":-2},)"));
    EXPECT_NE(std::string::npos, res.find(R"({"mac":")" + std::string(48, 'm') + R"(","result":0}]})"));
    r.count = -5;
    daemon.on(IPC_CAMERA_NETWORK_RESULT).reply_record(r);
    EXPECT_EQ(R"({"IPC":[]})", post("/2033", "{}").body());
    daemon.on(IPC_CAMERA_NETWORK_RESULT).reply(std::string(3343, '\0'));
    EXPECT_EQ("{status:\"CGI ERROR\"}", post("/2033", "{}").body());
}

TEST_F(CameraDaemonTest, ModelQueries)
{
    EXPECT_EQ("CGI ERROR", post("/2025", R"({"id":64})").body());
    expect_no_daemon_traffic();
    daemon.on(IPC_CAMERA_MODEL_TYPE).reply_int(12);
    EXPECT_EQ(R"({"type":12})", post("/2025", R"({"id":63})").body());
    EXPECT_EQ(le32(63), daemon.requests().back().payload);

    ChannelModelEntry e[MAX_CAMERAS] = {};
    for (int i = 0; i < MAX_CAMERAS; i++) e[i].id = i;
    strcpy(e[1].model, "TV-IPC2140");
    fill(e[63].fw_version, 'f');
    daemon.on(IPC_CHANNEL_MODELS).reply_record(e);
    std::string body = post("/2029", "").body();
    EXPECT_EQ(0u, body.find(R"({"IPC":[{"chnid":0,"ipaddr":"","model":"","fwversion":""},{"chnid":1,"ipaddr":"","model":"TV-IPC2140",)"));
    EXPECT_NE(std::string::npos, body.find(R"({"chnid":63,"ipaddr":"","model":"","fwversion":")" + std::string(64, 'f') + "\"}]}"));
    daemon.on(IPC_CHANNEL_MODELS).reply(std::string(164 * 10, '\0'));
    EXPECT_EQ("{status:\"CGI ERROR\"}", post("/2029", "").body());
}

} // namespace
