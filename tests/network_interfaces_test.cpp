// Network interfaces and addressing: /7040 to /7044, the conflict tests
// /7070 and /7071 and the default route /7096 end to end against the fake
// daemon, and the interface utilities and network stand-ins in process.
// Nothing here sends a packet beyond 127.0.0.1 or changes the host's
// network configuration.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/records/network.h"
#include "common/settings.h"
#include "platform/net_if.h"
#include "platform/qx_net.h"
#include "platform/qx_p2p.h"
#include "tests/support/network_fixture.h"

namespace {
const char kDb[] = QXDB_PATH;

NetworkRecord seeded_network()
{
    NetworkRecord rec{};
    strcpy(rec.host_name, "nvr-lab");
    rec.primary_net = 1;
    rec.bond = NetPortV4{1, 0, "10.0.0.10", "255.0.0.0", "10.0.0.1", "10.0.0.2", "", 1500};
    rec.port[0] = NetPortV4{1, 0, "192.168.1.100", "255.255.255.0", "192.168.1.1", "8.8.4.4", "", 1500};
    rec.port[1] = NetPortV4{1, 1, "192.168.2.100", "255.255.255.0", "192.168.2.1", "", "", 1400};
    rec.port6[0] = NetPortV6{"2001:db8::10", "64", "2001:db8::1"};
    rec.port6[1] = NetPortV6{"2001:db8:2::10", "64", "2001:db8:2::1"};
    rec.bond6 = NetPortV6{"2001:db8:b::10", "48", "2001:db8:b::1"};
    rec.default_route = 1;
    return rec;
}

class InterfacesTest : public NetworkFixture {
protected:
    void store(const NetworkRecord &rec) { ASSERT_EQ(0, write_network(kDb, &rec)); }
    NetworkRecord stored()
    {
        NetworkRecord rec{};
        read_network(kDb, &rec);
        return rec;
    }
};

// ---- /7040 ------------------------------------------------------------------------------------

const std::vector<std::string> kBondReply = {
    "mode", "hostName", "primaryNet", "enableNetwork1", "networkType", "ipAddr", "netmask", "gateway", "macAddr",
    "DNS1", "DNS2", "mtu", "ip6networkType", "ip6Addr", "ip6netmask", "ip6gateway", "defaultRoute"};
const std::vector<std::string> kMutiReply = {
    "mode", "hostName", "enableNetwork1", "networkType", "ipAddr", "netmask", "gateway", "ip6networkType", "ip6Addr",
    "ip6netmask", "ip6gateway", "macAddr", "DNS1", "DNS2", "mtu", "enableNetwork2", "networkType2", "ipAddr2",
    "netmask2", "gateway2", "ip6networkType2", "ip6Addr2", "ip6netmask2", "ip6gateway2", "macAddr2", "DNS12",
    "DNS22", "mtu2", "defaultRoute"};

TEST_F(InterfacesTest, GetShowsTheRequestedModeElseTheStoredOne)
{
    struct Case {
        int stored_mode;
        const char *request;
        int mode;
        const char *ip; // "ipAddr" shown
    } cases[] = {
        {0, "1", 1, "10.0.0.10"},     {0, "2", 2, "10.0.0.10"},   {0, "7", 0, "192.168.1.100"},
        {2, "", 2, "10.0.0.10"},      {2, "0", 0, "192.168.1.100"}, {1, "-1", 1, "10.0.0.10"},
        {0, "1x", 0, "192.168.1.100"}, {9, "", 0, "192.168.1.100"},
    };
    for (const Case &c : cases) {
        NetworkRecord rec = seeded_network();
        rec.mode = c.stored_mode;
        store(rec);
        ProcResult r = get("/7040", c.request);
        json_object *o = reply_json(r);
        ASSERT_NE(nullptr, o) << r.out;
        EXPECT_EQ(c.mode == 0 ? kMutiReply : kBondReply, json_keys(o)) << c.request;
        EXPECT_EQ(std::to_string(c.mode), json_text_at(o, "mode")) << c.request;
        EXPECT_EQ(c.ip, json_text_at(o, "ipAddr")) << c.request;
        EXPECT_EQ("nvr-lab", json_text_at(o, "hostName"));
        EXPECT_EQ(17u, json_text_at(o, "macAddr").size());
        json_object_put(o);
    }
}

TEST_F(InterfacesTest, GetShowsStoredIpv6ForStaticKinds)
{
    NetworkRecord rec = seeded_network();
    rec.ip6_type[1] = IP6_STATIC_OR_LIVE; // address and prefix stored: shown as stored
    store(rec);
    json_object *o = reply_json(get("/7040", "0"));
    ASSERT_NE(nullptr, o);
    EXPECT_EQ("2001:db8::10", json_text_at(o, "ip6Addr"));
    EXPECT_EQ("64", json_text_at(o, "ip6netmask"));
    EXPECT_EQ("2001:db8:2::1", json_text_at(o, "ip6gateway2"));
    EXPECT_EQ("1400", json_text_at(o, "mtu2"));
    EXPECT_EQ("1", json_text_at(o, "defaultRoute"));
    json_object_put(o);
}

// ---- /7041 ------------------------------------------------------------------------------------

TEST_F(InterfacesTest, SetStoresTheHalfOfItsModeAndNotifies)
{
    const std::vector<int> kStored = {IPC_NETWORK_SLAVE_CLEAR, 1702, IPC_OPLOG};
    struct Case {
        const char *name;
        std::string body;
        const char *answer;
        std::vector<int> codes;
        std::function<void(const NetworkRecord &)> check;
    } cases[] = {
        {"mode 0 takes both ports", R"({"mode":0,"ipAddr2":"192.168.3.9","mtu2":1300,"DNS12":"1.1.1.1",
            "ip6gateway2":"fe80::2","defaultRoute":0,"ipAddr":"192.168.1.50","slaveClear":1})",
         "OK", kStored,
         [](const NetworkRecord &r) {
             EXPECT_EQ("192.168.3.9", FIELD(r.port[1].ip_addr));
             EXPECT_EQ(1300, r.port[1].mtu);
             EXPECT_EQ("1.1.1.1", FIELD(r.port[1].dns1));
             EXPECT_EQ("fe80::2", FIELD(r.port6[1].gateway));
             EXPECT_EQ("192.168.1.50", FIELD(r.port[0].ip_addr));
             EXPECT_EQ(0, r.default_route);
             EXPECT_EQ("10.0.0.10", FIELD(r.bond.ip_addr)); // the bond half stays
         }},
        {"IPv6 kind 2 keeps the stored gateway", R"({"mode":0,"ip6networkType":2,"ip6gateway":"2001:db8::99",
            "ip6Addr":"2001:db8::77"})",
         "OK", kStored,
         [](const NetworkRecord &r) {
             EXPECT_EQ(IP6_LIVE, r.ip6_type[0]);
             EXPECT_EQ("2001:db8::1", FIELD(r.port6[0].gateway));
             EXPECT_EQ("2001:db8::77", FIELD(r.port6[0].addr));
         }},
        {"mode 1 takes the bond, not primaryNet", R"({"mode":1,"ipAddr":"10.0.0.20","primaryNet":0,
            "ip6gateway":"2001:db8:b::2","defaultRoute":0})",
         "OK", kStored,
         [](const NetworkRecord &r) {
             EXPECT_EQ(1, r.mode);
             EXPECT_EQ("10.0.0.20", FIELD(r.bond.ip_addr));
             EXPECT_EQ(1, r.primary_net);
             EXPECT_EQ("2001:db8:b::2", FIELD(r.bond6.gateway));
             EXPECT_EQ("192.168.1.100", FIELD(r.port[0].ip_addr)); // the ports' half stays
             EXPECT_EQ(1, r.default_route);
         }},
        {"mode 2 takes primaryNet", R"({"mode":2,"primaryNet":0})", "OK", kStored,
         [](const NetworkRecord &r) {
             EXPECT_EQ(2, r.mode);
             EXPECT_EQ(0, r.primary_net);
         }},
        {"stored mode, mistyped and long values", R"({"ipAddr":5,"netmask":"255.255.0.0",
            "gateway":"192.168.100.100.100.100","mtu":"9000"})",
         "OK", kStored,
         [](const NetworkRecord &r) {
             EXPECT_EQ(0, r.mode);
             EXPECT_EQ("192.168.1.100", FIELD(r.port[0].ip_addr));
             EXPECT_EQ("255.255.0.0", FIELD(r.port[0].netmask));
             EXPECT_EQ("192.168.100.100", FIELD(r.port[0].gateway));
             EXPECT_EQ(1500, r.port[0].mtu);
         }},
        {"address conflict accepted", R"({"mode":0,"Conflict":1})", "OK",
         {IPC_NETWORK_SLAVE_CLEAR, 1702, IPC_OPLOG, IPC_OPLOG}, nullptr},
        {"mode 3 refused", R"({"mode":3,"ipAddr":"1.2.3.4"})", "", {}, nullptr},
        {"mode -1 refused", R"({"mode":-1})", "", {}, nullptr},
        {"not JSON", "{\"mode\":0", "", {}, nullptr},
        {"not an object", "[0]", "", {}, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        store(seeded_network());
        EXPECT_EQ(c.answer, said(post("/7041", c.body)));
        std::vector<FakeRequest> sent = traffic();
        std::vector<int> sent_codes;
        for (const FakeRequest &r : sent) sent_codes.push_back(r.code);
        EXPECT_EQ(c.codes, sent_codes);
        NetworkRecord rec = stored();
        if (c.check) c.check(rec);
        if (c.codes.empty()) {
            NetworkRecord seeded = seeded_network();
            EXPECT_EQ(0, memcmp(&seeded, &rec, sizeof rec));
        }
    }
}

TEST_F(InterfacesTest, SetSendsSlaveClearTheGroupAndBothLogEntries)
{
    store(seeded_network());
    EXPECT_EQ("OK", post("/7041", R"({"mode":0,"slaveClear":1,"Conflict":1})").body());
    std::vector<FakeRequest> sent = traffic();
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ(le32(1), sent[0].payload);
    EXPECT_EQ(std::string("network") + std::string(25, '\0'), sent[1].payload);
    OpLogRecord log = oplog_of(sent[2]);
    EXPECT_EQ(4, log.main_type);
    EXPECT_EQ(204, log.sub_type);
    EXPECT_EQ(914, log.param_type);
    EXPECT_EQ("admin", FIELD(log.user_name));
    log = oplog_of(sent[3]);
    EXPECT_EQ(32, log.main_type);
    EXPECT_EQ(406, log.sub_type);
    EXPECT_EQ(914, log.param_type);
}

// ---- /7042, /7043, /7044 -------------------------------------------------------------------------

TEST_F(InterfacesTest, ModeRestartAndFactoryMac)
{
    EXPECT_EQ("-1", get("/7042").body());
    NetworkRecord rec = seeded_network();
    rec.mode = 2;
    store(rec);
    EXPECT_EQ("2", get("/7042").body());

    EXPECT_EQ("OK", get("/7043").body());
    ASSERT_TRUE(daemon.wait_requests(1));
    EXPECT_EQ(IPC_NETWORK_RESTART, daemon.requests()[0].code);
    EXPECT_EQ(std::string(32, '\0'), daemon.requests()[0].payload);

    struct Case {
        const char *stored, *shown;
    } macs[] = {
        {"0A1B2C3D4E5F", "0A:1B:2C:3D:4E:5F"},
        {"0a1b2c", "0a:1b:2c"},
        {"0A1B-2C3D", "0A:1B-2:C3:D"}, // by position, whatever the characters
        {"0A1B2C3D4E5F6071", "0A:1B:2C:3D:4E:5F"}, // bounded by the answer's buffer
        {"", ""},
    };
    for (const Case &c : macs) {
        ASSERT_EQ(0, set_param_value(kDb, "factory_mac", c.stored));
        json_object *o = reply_json(get("/7044"));
        ASSERT_NE(nullptr, o);
        EXPECT_EQ(c.shown, json_text_at(o, "mac0")) << c.stored;
        json_object_put(o);
    }
    ASSERT_EQ(0, set_param_value(kDb, "factory_mac", std::string(300, 'F').c_str()));
    json_object *o = reply_json(get("/7044"));
    EXPECT_EQ("FF:FF:FF:FF:FF:FF", json_text_at(o, "mac0"));
    json_object_put(o);
}

// ---- /7070, /7071, /7096 -----------------------------------------------------------------------

TEST_F(InterfacesTest, ConflictTestsAndDefaultRouteAnswerTheDaemon)
{
    enum Script { INT, SHORT, SILENT };
    struct Case {
        const char *route;
        std::string body;
        int code;      // request sent, 0 = none
        Script script;
        int value;
        const char *answer;
    } cases[] = {
        {"/7070", R"({"ip":"192.168.1.9"})", 3005, INT, 0, "0"},
        {"/7070", R"({"ip":"192.168.1.9"})", 3005, INT, 1, "-1"},
        {"/7070", R"({"ip":"192.168.1.9"})", 3005, INT, -5, "-1"},
        {"/7070", R"({"ip":"192.168.1.9"})", 3005, SHORT, 0, "CGI ERROR"},
        {"/7070", R"({"ip":"192.168.1.9"})", 3005, SILENT, 0, "CGI ERROR"},
        {"/7070", R"({"ip":9})", 0, INT, 0, ""},
        {"/7070", "ip=1", 0, INT, 0, ""},
        {"/7071", R"({"dev":"eth1","ip":"192.168.2.7"})", 3006, INT, 1, "-1"},
        {"/7071", R"({"dev":"eth1","ip":"192.168.2.7"})", 3006, INT, 0, "0"},
        {"/7071", R"({"ip":"192.168.2.7"})", 0, INT, 0, ""},
        {"/7096", R"({"defaultRoute":1})", 1724, INT, 5, "{\"res\":5}"},
        {"/7096", R"({"defaultRoute":1})", 1724, SHORT, 0, "{status:\"CGI ERROR\"}"},
        {"/7096", R"({"defaultRoute":1})", 1724, SILENT, 0, "{status:\"CGI ERROR\"}"},
        {"/7096", R"({"defaultRoute":"1"})", 0, INT, 0, "{status:\"CGI ERROR\"}"},
        {"/7096", "{", 0, INT, 0, "{status:\"CGI ERROR\"}"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body);
        for (int code : {3005, 3006, 1724}) {
            if (c.script == INT) daemon.on(code).reply_int(c.value);
            else if (c.script == SHORT) daemon.on(code).reply(std::string("\x01\x00", 2));
            else daemon.on(code).silent();
        }
        EXPECT_EQ(c.answer, said(post(c.route, c.body)));
        std::vector<FakeRequest> sent = traffic();
        ASSERT_EQ(c.code ? 1u : 0u, sent.size());
        if (!c.code) continue;
        EXPECT_EQ(c.code, sent[0].code);
        if (c.code == 3006) {
            ASSERT_EQ(32u, sent[0].payload.size());
            EXPECT_STREQ("eth1", sent[0].payload.c_str());
            EXPECT_STREQ("192.168.2.7", sent[0].payload.c_str() + 16);
        } else if (c.code == 3005) {
            ASSERT_EQ(20u, sent[0].payload.size());
            EXPECT_STREQ("192.168.1.9", sent[0].payload.c_str());
        } else {
            EXPECT_EQ(le32(1), sent[0].payload);
        }
    }
}

// ---- Interface utilities --------------------------------------------------------------------------

class InterfaceUtilities : public ::testing::Test {
protected:
    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    std::string dev_file = root.host("/proc_net_dev");

    void write_counters(const char *port, uint64_t rx, uint64_t tx)
    {
        std::ofstream f(dev_file, std::ios::trunc);
        f << "Inter-|   Receive                            |  Transmit\n"
             " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets\n"
             "    lo: 99 1 0 0 0 0 0 0 99 1 0 0 0 0 0 0\n";
        f << "  " << port << ": " << rx << " 10 0 0 0 0 0 0 " << tx << " 20 0 0 0 0 0 0\n";
    }
    void TearDown() override { if_speed_reset(); }
};

TEST_F(InterfaceUtilities, SpeedIsMeasuredAgainstThePreviousCall)
{
    const uint64_t kBig = 1ULL << 40;
    struct Step {
        const char *what;
        uint64_t now_us, rx, tx;
        uint64_t want_rx, want_tx;
    } steps[] = {
        {"first call", 1000000, 1000, 500, 0, 0},
        {"half a second later", 1500000, 2000, 1500, 2000, 2000},
        {"clock did not move", 1500000, 3000, 2500, 0, 0},
        {"counter went down", 2500000, 100, 2500, 0, 0},
        {"ten seconds later", 12500000, 200, 2600, 0, 0},
        {"64-bit counters", 13500000, 200 + kBig, 2600 + 3 * kBig, kBig, 3 * kBig},
        {"huge jump in a microsecond", 13500001, 200 + kBig + (1ULL << 62), 2600 + 3 * kBig, UINT64_MAX, 0},
    };
    for (const Step &s : steps) {
        write_counters("eth0", s.rx, s.tx);
        uint64_t rx = 7, tx = 7;
        ASSERT_EQ(0, if_get_speed_at(dev_file.c_str(), "eth0", s.now_us, &rx, &tx)) << s.what;
        EXPECT_EQ(s.want_rx, rx) << s.what;
        EXPECT_EQ(s.want_tx, tx) << s.what;
    }
    uint64_t rx, tx;
    EXPECT_EQ(-1, if_get_speed_at(dev_file.c_str(), "eth9", 1, &rx, &tx)); // not listed
    for (const char *port : {"p1", "p2", "p3", "p4"}) {
        write_counters(port, 1, 1);
        EXPECT_EQ(0, if_get_speed_at(dev_file.c_str(), port, 1, &rx, &tx));
    }
    write_counters("p5", 1, 1);
    EXPECT_EQ(-1, if_get_speed_at(dev_file.c_str(), "p5", 1, &rx, &tx)) << "five ports are followed";
    EXPECT_EQ(-1, if_get_speed_at(dev_file.c_str(), "averylongname0", 1, &rx, &tx));
}

TEST_F(InterfaceUtilities, CountsSameNetAndLoopbackConfiguration)
{
    write_counters("eth0", 1, 1);
    std::ofstream(dev_file, std::ios::app) << "  eth1: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n";
    EXPECT_EQ(2, if_get_netcount_in(dev_file.c_str()));
    EXPECT_EQ(0, if_get_netcount_in(root.host("/missing").c_str()));

    struct Case {
        const char *ip1, *mask1, *ip2, *mask2;
        int same;
    } nets[] = {
        {"192.168.1.10", "255.255.255.0", "192.168.1.200", "255.255.255.0", 0},
        {"192.168.1.10", "255.255.255.0", "192.168.2.10", "255.255.255.0", -1},
        {"10.1.2.3", "255.0.0.0", "10.200.0.1", "255.0.0.0", 0},
        {"10.1.2.3", "255.0.0.0", "10.1.2.3", "255.255.0.0", -1},
        {"10.1.2.3", "255.0.0.0", "bogus", "255.0.0.0", -1},
    };
    for (const Case &c : nets)
        EXPECT_EQ(c.same, qx_strcmp_two_ip_same_net(c.ip1, c.mask1, c.ip2, c.mask2)) << c.ip1 << " " << c.ip2;

    IfNetConf conf{};
    ASSERT_EQ(0, if_get_netconf("lo", &conf));
    EXPECT_STREQ("127.0.0.1", conf.ip);
    EXPECT_STREQ("255.0.0.0", conf.netmask);
    EXPECT_EQ(1, conf.up);
    EXPECT_GT(conf.mtu, 0);
    EXPECT_EQ(-1, if_get_netconf("nosuch0", &conf));
    EXPECT_EQ(-1, if_get_netconf("../lo", &conf));
    char addr[32];
    EXPECT_EQ(0, net_get_ifaddr("lo", addr, sizeof addr));
    EXPECT_STREQ("127.0.0.1", addr);
    // An ARP probe is never sent for input it cannot use.
    EXPECT_EQ(-1, if_ip_check("lo", "not-an-ip"));
    EXPECT_EQ(-1, if_ip_check("nosuch0", "192.0.2.1"));
    EXPECT_EQ(1, if_ip_check("lo", "127.0.0.1")); // its own address
}

TEST_F(InterfaceUtilities, SetNetworkRunsIfconfigFromAnArgumentVector)
{
    std::string bin = root.host("/bin");
    std::string log = root.host("/ifconfig.log");
    root.write("/bin/ifconfig", "#!/bin/sh\necho \"$@\" >> '" + log + "'\n");
    chmod(root.host("/bin/ifconfig").c_str(), 0755);
    ScopedEnv path("PATH", bin + ":/usr/bin:/bin");
    EXPECT_EQ(0, if_set_network("eth7", 1));
    EXPECT_EQ(0, if_set_network("eth7", 0x100)); // only the low byte counts
    EXPECT_EQ(-1, if_set_network("-a", 1));
    EXPECT_EQ(-1, if_set_network("eth0;reboot", 1));
    EXPECT_EQ(-1, if_set_network("", 1));
    EXPECT_EQ("eth7 up\neth7 down\n", root.read("/ifconfig.log"));
}

TEST_F(InterfaceUtilities, PortInUseAndLoopbackOnlySockets)
{
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(listener, reinterpret_cast<struct sockaddr *>(&sin), sizeof sin));
    ASSERT_EQ(0, listen(listener, 1));
    socklen_t len = sizeof sin;
    getsockname(listener, reinterpret_cast<struct sockaddr *>(&sin), &len);
    const int port = ntohs(sin.sin_port);
    EXPECT_EQ(1, is_port_use(port));
    EXPECT_EQ(-1, is_port_use(0));
    EXPECT_EQ(-1, is_port_use(65536));

    // A client connects on the loopback only.
    int sock = socket_create();
    ASSERT_GE(sock, 0);
    EXPECT_EQ(0, socket_connect(sock, "localhost", port));
    socket_destroy(sock);
    for (const char *host : {"192.0.2.1", "10.0.0.1", "example.com", ""}) {
        sock = socket_create();
        EXPECT_EQ(-1, socket_connect(sock, host, port)) << host;
        socket_destroy(sock);
    }
    close(listener);

    root.write("/var/run/standin_faults", "socket_create\nis_port_use\n");
    EXPECT_EQ(-1, is_port_use(port));
    EXPECT_EQ(-1, socket_create());
}

TEST_F(InterfaceUtilities, P2pMessagesRoundTripThroughTheKeyFile)
{
    EXPECT_EQ(0, rsa_cal_ensize(0));
    EXPECT_EQ(128, rsa_cal_ensize(1));
    EXPECT_EQ(128, rsa_cal_ensize(117));
    EXPECT_EQ(256, rsa_cal_ensize(118));

    root.write("/tmp/.keep", "");
    int sv[2];
    ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, sv));
    ASSERT_EQ(0, p2p_create_keyfile("/tmp/k"));
    std::string key = root.read("/tmp/k");
    ASSERT_EQ(0, p2p_create_keyfile("/tmp/k")); // kept
    EXPECT_EQ(key, root.read("/tmp/k"));
    ASSERT_EQ(0, p2p_cli_switch_keyfile(sv[0], "/tmp/k"));
    ASSERT_EQ(0, p2p_cli_switch_keyfile(sv[1], "/tmp/k"));
    const std::string msg = "a message of the P2P test";
    ASSERT_EQ(static_cast<int>(msg.size()), p2p_send(sv[0], msg.data(), static_cast<int>(msg.size())));
    char buf[8];
    EXPECT_EQ(8, p2p_recv(sv[1], buf, sizeof buf)); // cut to the buffer
    EXPECT_EQ(msg.substr(0, 8), std::string(buf, 8));
    EXPECT_EQ(-1, p2p_cli_switch_keyfile(sv[0], "/tmp/missing"));
    socket_destroy(sv[0]);
    socket_destroy(sv[1]);

    root.write("/var/run/standin_faults", "p2p_create_keyfile\n");
    EXPECT_EQ(-1, p2p_create_keyfile("/tmp/k2"));
}

} // namespace
