// SNMP settings (/7090, /7091), the address filter (/6300, /6301),
// multicast (/7033, /7034) and the channel access switch (/7092) against
// the fake daemon.
#include <gtest/gtest.h>

#include <functional>

#include "common/records/net_access.h"
#include "common/records/net_services.h"
#include "common/settings.h"
#include "common/web_utils.h"
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

class SnmpTest : public NetworkFixture {
protected:
    SnmpRecord stored_snmp()
    {
        SnmpRecord rec{};
        EXPECT_EQ(0, read_snmp(kDb, &rec));
        return rec;
    }
};

// ---- SNMP ----------------------------------------------------------------------------------------

TEST_F(SnmpTest, SetterStoresEveryKeyOrRefusesAPort)
{
    const std::string kGroup = std::string("snmp") + std::string(28, '\0');
    const std::string kFull = R"({"v1_enable":1,"v2c_enable":1,"write_community":"private","read_community":")" +
                              std::string(100, 'r') +
                              R"(","v3_enable":1,"read_security_name":"reader","read_level_security":2,)"
                              R"("read_auth_algorithm":1,"read_auth_password":"ra","read_pri_algorithm":1,)"
                              R"("read_pri_password":"rp","write_security_name":"writer","write_level_security":3,)"
                              R"("write_auth_algorithm":2,"write_auth_password":"wa","write_pri_algorithm":2,)"
                              R"("write_pri_password":"wp")";
    struct Case {
        const char *name;
        std::string body;
        const char *answer;
        std::function<void(const SnmpRecord &)> check; // of the stored record
        bool port_busy = false;                         // the port-in-use test says so
    } cases[] = {
        {"every key", kFull + R"(,"port":1161})", "OK",
         [](const SnmpRecord &r) {
             EXPECT_EQ(1, r.v1_enable);
             EXPECT_EQ("private", FIELD(r.write_community));
             EXPECT_EQ(std::string(63, 'r'), FIELD(r.read_community));
             EXPECT_EQ("reader", FIELD(r.read_security_name));
             EXPECT_EQ(2, r.read_level_security);
             EXPECT_EQ("rp", FIELD(r.read_pri_password));
             EXPECT_EQ("writer", FIELD(r.write_security_name));
             EXPECT_EQ(2, r.write_pri_algorithm);
             EXPECT_EQ("wp", FIELD(r.write_pri_password));
             EXPECT_EQ(1161, r.port);
         }},
        {"absent keys store empty values", R"({"v2c_enable":1,"port":161})", "OK",
         [](const SnmpRecord &r) {
             EXPECT_EQ(0, r.v1_enable);
             EXPECT_EQ(1, r.v2c_enable);
             EXPECT_EQ("", FIELD(r.write_community));
             EXPECT_EQ("", FIELD(r.read_security_name));
             EXPECT_EQ(161, r.port);
         }},
        {"unchanged port in the PoE range", kFull + R"(,"port":23002})", "OK",
         [](const SnmpRecord &r) { EXPECT_EQ(23002, r.port); }},
        {"changed port in the PoE range", kFull + R"(,"port":23003})", "POE_Port_Error", nullptr},
        {"port in use", kFull + R"(,"port":1161})", "POE_Port_Error", nullptr, true},
        {"unchanged port is not tested", kFull + R"(,"port":23002})", "OK", [](const SnmpRecord &) {}, true},
        {"port over 65535", kFull + R"(,"port":70000})", "", nullptr},
        {"negative port", kFull + R"(,"port":-1})", "", nullptr},
        {"not JSON", "v1_enable=1", "", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, set_param_int(kDb, "max_poe_num", 4));
        SnmpRecord before{};
        before.v1_enable = 7;
        COPY_TEXT(before.write_community, "old");
        before.port = 23002;
        ASSERT_EQ(0, write_snmp(kDb, &before));
        write_file("/var/run/standin_faults", c.port_busy ? "is_port_use\n" : "");

        EXPECT_EQ(c.answer, said(post("/7091", c.body)));
        std::vector<FakeRequest> sent = traffic();
        if (c.check) {
            ASSERT_EQ(std::vector<int>{1702}, codes_of(sent));
            EXPECT_EQ(kGroup, sent[0].payload);
            c.check(stored_snmp());
        } else {
            EXPECT_TRUE(sent.empty());
            EXPECT_EQ(bytes_of(before), bytes_of(stored_snmp()));
        }
    }
}

TEST_F(SnmpTest, GetterShowsTheRecordAndTheServicePorts)
{
    SnmpRecord rec{};
    rec.v3_enable = 1;
    memset(rec.read_auth_password, 'p', sizeof rec.read_auth_password); // no zero in the field
    rec.port = 161;
    ASSERT_EQ(0, write_snmp(kDb, &rec));
    PortRecord port{};
    port.ssh_port = 22;
    port.http_port = 80;
    port.rtsp_port = 554;
    port.https_port = 443;
    ASSERT_EQ(0, write_port(kDb, &port));

    json_object *o = reply_json(get("/7090"));
    ASSERT_NE(nullptr, o);
    const std::vector<std::string> kKeys = {
        "v1_enable", "v2c_enable", "write_community", "read_community", "v3_enable", "read_security_name",
        "read_level_security", "read_auth_algorithm", "read_auth_password", "read_pri_algorithm",
        "read_pri_password", "write_security_name", "write_level_security", "write_auth_algorithm",
        "write_auth_password", "write_pri_algorithm", "write_pri_password", "port", "sshPort", "httpPort",
        "rtspPort", "httpsPort"};
    EXPECT_EQ(kKeys, json_keys(o));
    EXPECT_EQ(std::string(64, 'p'), json_text_at(o, "read_auth_password"));
    EXPECT_EQ("161", json_text_at(o, "port"));
    EXPECT_EQ("443", json_text_at(o, "httpsPort"));
    EXPECT_EQ("554", json_text_at(o, "rtspPort"));
    json_object_put(o);
}

// ---- Address filter ---------------------------------------------------------------------------------

TEST_F(SnmpTest, AddressFilterStoresAtMostAHundredTypedEntries)
{
    auto list_of = [](int n, const std::string &address) {
        std::string s = "[";
        for (int i = 0; i < n; i++)
            s += std::string(i ? "," : "") + "{\"address_type\":" + std::to_string(i % 3) + ",\"address\":\"" + address +
                 std::to_string(i) + "\"}";
        return s + "]";
    };
    const std::string kOld = R"({"filterEnable":1,"filterType":0,"filterList":[{"address_type":0,"address":"10.0.0.1"}]})";
    struct Case {
        const char *name;
        std::string body;
        const char *answer;
        std::string reply; // /6300 afterwards
    } cases[] = {
        {"two entries", R"({"filterEnable":1,"filterType":2,"filterList":[{"address_type":1,"address":"192.168.1.0/24"},)"
                        R"({"address":"10.1.1.1"}]})",
         "OK",
         R"({"filterEnable":1,"filterType":2,"filterList":[{"address_type":1,"address":"192.168.1.0\/24"},)"
         R"({"address_type":0,"address":"10.1.1.1"}]})"},
        {"empty list", R"({"filterEnable":0,"filterType":1,"filterList":[]})", "OK",
         R"({"filterEnable":0,"filterType":1,"filterList":[]})"},
        {"long address cut", R"({"filterEnable":1,"filterType":1,"filterList":[{"address_type":0,"address":")" +
                                 std::string(40, 'a') + "\"}]}",
         "OK", R"({"filterEnable":1,"filterType":1,"filterList":[{"address_type":0,"address":")" + std::string(31, 'a') +
                   "\"}]}"},
        {"mistyped entry", R"({"filterEnable":1,"filterType":1,"filterList":[{"address_type":0,"address":"a"},7]})", "",
         kOld},
        {"mistyped address", R"({"filterEnable":1,"filterType":1,"filterList":[{"address_type":0,"address":5}]})", "",
         kOld},
        {"mistyped type", R"({"filterEnable":1,"filterType":1,"filterList":[{"address_type":"1","address":"a"}]})", "",
         kOld},
        {"list missing", R"({"filterEnable":0,"filterType":1})", "", kOld},
        {"list not an array", R"({"filterEnable":0,"filterType":1,"filterList":{"address":"a"}})", "", kOld},
        {"switch missing", R"({"filterType":1,"filterList":[]})", "", kOld},
        {"not JSON", "filterEnable=0", "", kOld},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ("OK", said(post("/6301", kOld)));
        traffic();
        EXPECT_EQ(c.answer, said(post("/6301", c.body)));
        EXPECT_EQ(*c.answer ? std::vector<int>{1722} : std::vector<int>{}, codes_of(traffic()));
        EXPECT_EQ(c.reply, get("/6300").body());
    }

    // 150 entries: the first 100; a bad entry beyond them is never read.
    ASSERT_EQ("OK", said(post("/6301", R"({"filterEnable":1,"filterType":1,"filterList":)" +
                                          list_of(150, "10.0.") + "}")));
    json_object *o = reply_json(get("/6300"));
    json_object *list = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(o, "filterList", &list));
    ASSERT_EQ(100u, json_object_array_length(list));
    EXPECT_EQ("10.0.99", json_text_at(json_object_array_get_idx(list, 99), "address"));
    json_object_put(o);
    std::string beyond = list_of(100, "b");
    beyond.insert(beyond.size() - 1, ",7");
    EXPECT_EQ("OK", said(post("/6301", R"({"filterEnable":1,"filterType":1,"filterList":)" + beyond + "}")));
}

TEST_F(SnmpTest, FilterDefaultsAndAStoredLengthBeyondTheList)
{
    EXPECT_EQ(R"({"filterEnable":0,"filterType":1,"filterList":[]})", get("/6300").body());
    AccessFilterList broken{};
    broken.count = 5000;
    ASSERT_EQ(0, write_access_filter_list(kDb, &broken));
    json_object *o = reply_json(get("/6300"));
    json_object *list = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(o, "filterList", &list));
    EXPECT_EQ(100u, json_object_array_length(list));
    json_object_put(o);
}

// ---- Multicast and channel access ---------------------------------------------------------------------

TEST_F(SnmpTest, MulticastReplacesWhatTheRequestCarries)
{
    const char *kError = "{status:\"CGI ERROR\"}";
    struct Case {
        const char *name;
        std::string body;
        int daemon; // reply to 1729: result, or 99 for none
        std::string answer;
        int enable;
        std::string ip; // stored and sent afterwards ("" = nothing sent)
    } cases[] = {
        {"both", R"({"enable":1,"ip":"239.1.2.3"})", 0, R"({"res":0})", 1, "239.1.2.3"},
        {"only enable keeps the address", R"({"enable":0})", 0, R"({"res":0})", 0, "239.0.0.9"},
        {"only the address", R"({"ip":"224.0.0.7"})", -1, R"({"res":-1})", 1, "224.0.0.7"},
        {"long address cut", "{\"ip\":\"" + std::string(80, '9') + "\"}", 0, R"({"res":0})", 1, std::string(63, '9')},
        {"mistyped values keep the record", R"({"enable":"0","ip":5})", 0, R"({"res":0})", 1, "239.0.0.9"},
        {"daemon silent", R"({"enable":0})", 99, kError, 0, "239.0.0.9"},
        {"not JSON", "enable=1", 0, kError, 1, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MulticastRecord before{};
        before.enable = 1;
        COPY_TEXT(before.ip, "239.0.0.9");
        ASSERT_EQ(0, write_multicast(kDb, &before));
        if (c.daemon == 99) daemon.on(IPC_MULTICAST_SET).silent();
        else daemon.on(IPC_MULTICAST_SET).reply_int(c.daemon);

        EXPECT_EQ(c.answer, said(post("/7034", c.body)));
        std::vector<FakeRequest> sent = traffic();
        MulticastRecord stored{};
        ASSERT_EQ(0, read_multicast(kDb, &stored));
        if (c.ip.empty()) {
            EXPECT_TRUE(sent.empty());
            EXPECT_EQ(bytes_of(before), bytes_of(stored));
            continue;
        }
        ASSERT_EQ(std::vector<int>{IPC_MULTICAST_SET}, codes_of(sent));
        EXPECT_EQ(bytes_of(stored), sent[0].payload);
        EXPECT_EQ(c.enable, stored.enable);
        EXPECT_EQ(c.ip, FIELD(stored.ip));
        EXPECT_EQ("{\"enable\":" + std::to_string(c.enable) + ",\"ip\":\"" + c.ip + "\"}", get("/7033").body());
    }
}

TEST_F(SnmpTest, ChannelAccessSwitch)
{
    EXPECT_EQ(R"({"access":0})", get("/7092").body());
    ASSERT_EQ(0, set_param_int(kDb, "ch_access", 1));
    EXPECT_EQ(R"({"access":1})", get("/7092").body());
}

TEST(NetworkSimMulticast, SimulatorTakesOnlyMulticastAddresses)
{
    DeviceRoot root;
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());
    const std::pair<const char *, const char *> cases[] = {
        {R"({"enable":1,"ip":"239.255.0.1"})", R"({"res":0})"},
        {R"({"enable":1,"ip":"192.168.1.20"})", R"({"res":-1})"},
        {R"({"enable":1,"ip":"239.1.1"})", R"({"res":-1})"},
        {R"({"enable":0,"ip":"x"})", R"({"res":0})"},
    };
    for (const auto &c : cases) EXPECT_EQ(c.second, post_json(root, "/7034", c.first).body()) << c.first;
}

} // namespace
