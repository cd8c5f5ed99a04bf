// Camera channel management end to end: nvrweb.cgi against the fake daemon
// and a settings database in the device root.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/log_detail.h"
#include "common/records/camera.h"
#include "common/records/osd.h"
#include "common/settings.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

namespace {

class CameraTest : public ::testing::Test {
protected:
    ~CameraTest() override { qxdb_close_all(); }

    ProcResult post(const std::string &route, const std::string &json)
    {
        return post_json(root, route, json, {{"HTTP_COOKIE", "userName=admin"}, {"REMOTE_ADDR", "10.0.0.7"}});
    }
    CameraRecord camera(int ch)
    {
        CameraRecord c{};
        EXPECT_EQ(0, read_camera(QXDB_PATH, &c, ch));
        return c;
    }
    std::string osd_name(int ch)
    {
        OsdRecord o{};
        read_osd(QXDB_PATH, &o, ch);
        return std::string(o.name, strnlen(o.name, sizeof o.name));
    }
    int stored_cameras() { return nvr_db_stored(QXDB_PATH, nvr_db_camera::desc); }
    // Waits for n messages and returns their codes.
    std::vector<int> traffic(size_t n)
    {
        EXPECT_TRUE(daemon.wait_requests(n));
        return daemon.codes();
    }
    // After a refused request: a waited sentinel request whose connection is
    // accepted after any the refused process would have opened.
    void expect_no_daemon_traffic()
    {
        daemon.on(IPC_CAMERA_LIST).reply_int(0);
        EXPECT_EQ("{\"IPC\":[],\"maxIPCNums\":32}", post("/2001", "{}").body());
        EXPECT_EQ(1, daemon.connections());
        EXPECT_EQ(std::vector<int>{IPC_CAMERA_LIST}, daemon.codes());
    }

    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    FakeDaemon daemon{root};
};

const char kAddRequest[] =
    R"({"id":3,"name":"Front door","enable":1,"camProtocol":0,"ipAddr":"192.168.1.20",)"
    R"("managePort":8080,"transmitProtocol":3,"userName":"admin","password":"secret","syncTime":1,)"
    R"("enableSubStream":1,"minorid":2,"mainRtspPort":554,"mainSourcePath":"/ignored","poechannel":4,)"
    R"("physicalport":5,"ddns":"cam.example","httpsPort":443,"otherPoe":1})";

// The operation-log record of a camera change and its detail block.
struct CameraLog {
    OpLogRecord log;
    CameraLogDetail detail;
    int detail_type;
};
CameraLog camera_log(const FakeRequest &r)
{
    CameraLog out{};
    EXPECT_EQ(IPC_OPLOG, r.code);
    EXPECT_TRUE(r.as(&out.log));
    const unsigned char *d = nullptr;
    int len = 0;
    EXPECT_EQ(0, qxfs_log_unpack_detail(&out.log, &out.detail_type, &d, &len));
    EXPECT_EQ(static_cast<int>(sizeof(CameraLogDetail)), len);
    if (d && len == sizeof(CameraLogDetail)) memcpy(&out.detail, d, sizeof out.detail);
    return out;
}

TEST(CameraLogDetail, PacksWithinTheRecordOnly)
{
    OpLogRecord log{};
    unsigned char block[OPLOG_DETAIL_MAX + 1];
    memset(block, 0xab, sizeof block);
    EXPECT_EQ(-1, qxfs_log_pack_detail(&log, 111, block, OPLOG_DETAIL_MAX + 1));
    EXPECT_EQ(-1, qxfs_log_pack_detail(&log, 111, block, -1));
    EXPECT_EQ(-1, qxfs_log_pack_detail(&log, 111, nullptr, 4));
    EXPECT_EQ(-1, qxfs_log_unpack_detail(&log, nullptr, nullptr, nullptr));
    strcpy(log.user_name, "admin");
    ASSERT_EQ(0, qxfs_log_pack_detail(&log, 111, block, OPLOG_DETAIL_MAX));
    EXPECT_STREQ("admin", log.user_name);
    int type = 0, len = 0;
    const unsigned char *d = nullptr;
    ASSERT_EQ(0, qxfs_log_unpack_detail(&log, &type, &d, &len));
    EXPECT_EQ(111, type);
    EXPECT_EQ(OPLOG_DETAIL_MAX, len);
    EXPECT_EQ(0xab, d[len - 1]);
    EXPECT_EQ(reinterpret_cast<const unsigned char *>(&log) + sizeof log, d + len);
}

// ---- Add, edit, delete ------------------------------------------------------------------

TEST_F(CameraTest, AddStoresTheCameraThenNotifiesAndLogs)
{
    ProcResult r = post("/2004", kAddRequest);
    EXPECT_EQ("OK", r.body());

    CameraRecord c = camera(3);
    EXPECT_EQ(3, c.id);
    EXPECT_EQ(1, c.enable);
    EXPECT_STREQ("192.168.1.20", c.ip_addr);
    EXPECT_EQ(8080, c.manage_port);
    EXPECT_EQ(3, c.transmit_protocol);
    EXPECT_STREQ("admin", c.user_name);
    EXPECT_STREQ("secret", c.password);
    EXPECT_EQ(1, c.time_sync);
    EXPECT_EQ(1, c.sub_stream_enable);
    EXPECT_EQ(2, c.minor_id);
    EXPECT_EQ(4, c.poe_channel);
    EXPECT_EQ(5, c.physical_port);
    EXPECT_STREQ("cam.example", c.ddns);
    EXPECT_EQ(443, c.https_port);
    // Stream ports and paths are taken for RTSP cameras only.
    EXPECT_EQ(0, c.main_rtsp_port);
    EXPECT_STREQ("", c.main_source_path);
    // No "mac_addr": an empty text.
    EXPECT_STREQ("", c.mac_addr);
    EXPECT_EQ("Front door", osd_name(3));

    ASSERT_EQ((std::vector<int>{IPC_CAMERA_ADDED, IPC_CAMERA_POE, IPC_OPLOG}), traffic(3));
    auto req = daemon.requests();
    EXPECT_EQ(le32(3), req[0].payload);
    EXPECT_EQ(le32(3) + le32(1), req[1].payload);
    CameraLog log = camera_log(req[2]);
    EXPECT_EQ(4, log.log.main_type);
    EXPECT_EQ(210, log.log.sub_type);
    EXPECT_EQ(901, log.log.param_type);
    EXPECT_STREQ("admin", log.log.user_name);
    EXPECT_STREQ("10.0.0.7", log.log.client_addr);
    EXPECT_EQ(CAMLOG_DETAIL_TYPE, log.detail_type);
    EXPECT_EQ(901, log.detail.code);
    EXPECT_STREQ("192.168.1.20", log.detail.ip_addr);
    EXPECT_EQ(8080, log.detail.manage_port);
    EXPECT_EQ(4, log.detail.channel);
    EXPECT_STREQ("ONVIF", log.detail.protocol);
    EXPECT_STREQ("RTSP Over HTTPS", log.detail.transmit);
    EXPECT_EQ(1, log.detail.time_sync);
}

TEST_F(CameraTest, AddOfAnRtspCameraTakesItsStreams)
{
    EXPECT_EQ("OK", post("/2004", R"({"id":0,"name":"R","enable":1,"camProtocol":1,"ipAddr":"10.1.1.1",)"
                                  R"("managePort":554,"transmitProtocol":1,"mainRtspPort":554,)"
                                  R"("mainSourcePath":"/main","subRtspPort":555,"subSourcePath":"/sub",)"
                                  R"("mainrtspurl":"rtsp://a/main","subrtspurl":"rtsp://a/sub","mac_addr":"AA:BB"})")
                        .body());
    CameraRecord c = camera(0);
    EXPECT_EQ(554, c.main_rtsp_port);
    EXPECT_STREQ("/main", c.main_source_path);
    EXPECT_EQ(555, c.sub_rtsp_port);
    EXPECT_STREQ("/sub", c.sub_source_path);
    EXPECT_STREQ("rtsp://a/main", c.main_rtsp_url);
    EXPECT_STREQ("rtsp://a/sub", c.sub_rtsp_url);
    EXPECT_STREQ("AA:BB", c.mac_addr);
    ASSERT_TRUE(daemon.wait_requests(3));
    EXPECT_EQ(le32(0) + le32(0), daemon.requests()[1].payload); // no "otherPoe"
    EXPECT_STREQ("TCP", camera_log(daemon.requests()[2]).detail.transmit);
    EXPECT_STREQ("RTSP", camera_log(daemon.requests()[2]).detail.protocol);
}

TEST_F(CameraTest, AddAndEditRefuseInvalidRequestsSilently)
{
    const char *bad[] = {
        R"({"id":64,"name":"x","enable":1,"camProtocol":0,"ipAddr":"1.2.3.4","managePort":80,"transmitProtocol":0})",
        R"({"id":-1,"name":"x","enable":1,"camProtocol":0,"ipAddr":"1.2.3.4","managePort":80,"transmitProtocol":0})",
        R"({"name":"x","enable":1,"camProtocol":0,"ipAddr":"1.2.3.4","managePort":80,"transmitProtocol":0})",
        R"({"id":1,"enable":1,"camProtocol":0,"ipAddr":"1.2.3.4","managePort":80,"transmitProtocol":0})",
        R"({"id":1,"name":"x","enable":2,"camProtocol":0,"ipAddr":"1.2.3.4","managePort":80,"transmitProtocol":0})",
        R"({"id":1,"name":"x","enable":1,"camProtocol":8,"ipAddr":"1.2.3.4","managePort":80,"transmitProtocol":0})",
        R"({"id":1,"name":"x","enable":1,"camProtocol":0,"ipAddr":"","managePort":80,"transmitProtocol":0})",
        R"({"id":1,"name":"x","enable":1,"camProtocol":0,"ipAddr":"1.2.3.4","managePort":-1,"transmitProtocol":0})",
        R"({"id":1,"name":"x","enable":1,"camProtocol":0,"ipAddr":"1.2.3.4","managePort":80,"transmitProtocol":4})",
        R"({"id":"1","name":"x","enable":1,"camProtocol":0,"ipAddr":"1.2.3.4","managePort":80,"transmitProtocol":0})",
        R"([1,2])",
        "not json",
    };
    for (const char *body : bad) {
        EXPECT_EQ("", post("/2004", body).answer()) << body;
        EXPECT_EQ("", post("/2003", body).answer()) << body;
    }
    EXPECT_LE(stored_cameras(), 0);
    expect_no_daemon_traffic();
}

TEST_F(CameraTest, ProtocolSevenNeedsNoAddress)
{
    EXPECT_EQ("OK", post("/2004", R"({"id":63,"name":"x","enable":0,"camProtocol":7,"transmitProtocol":0})").body());
    EXPECT_EQ(7, camera(63).protocol);
    EXPECT_STREQ("", camera(63).ip_addr);
}

TEST_F(CameraTest, EditKeepsLoginUnlessTypeIsZeroAndLeavesPoeAlone)
{
    ASSERT_EQ("OK", post("/2004", kAddRequest).body());
    ASSERT_TRUE(daemon.wait_requests(3));
    daemon.clear();

    std::string edit = R"({"id":3,"name":"Back door","enable":0,"camProtocol":2,"ipAddr":"192.168.1.21",)"
                       R"("managePort":80,"transmitProtocol":1,"userName":"other","password":"changed",)"
                       R"("poechannel":9,"physicalport":9,"mac_addr":"11:22","type":1})";
    EXPECT_EQ("OK", post("/2003", edit).body());
    CameraRecord c = camera(3);
    EXPECT_STREQ("admin", c.user_name);
    EXPECT_STREQ("secret", c.password);
    EXPECT_STREQ("192.168.1.21", c.ip_addr);
    EXPECT_EQ(0, c.enable);
    EXPECT_EQ(4, c.poe_channel);
    EXPECT_EQ(5, c.physical_port);
    EXPECT_EQ("Back door", osd_name(3));
    ASSERT_EQ((std::vector<int>{IPC_CAMERA_CHANGED, IPC_OPLOG}), traffic(2));
    CameraLog log = camera_log(daemon.requests()[1]);
    EXPECT_EQ(204, log.log.sub_type);
    EXPECT_EQ(903, log.log.param_type);
    EXPECT_EQ(903, log.detail.code);
    EXPECT_STREQ("QXSF", log.detail.protocol);

    edit.replace(edit.find("\"type\":1"), 8, "\"type\":0");
    EXPECT_EQ("OK", post("/2003", edit).body());
    EXPECT_STREQ("other", camera(3).user_name);
    EXPECT_STREQ("changed", camera(3).password);
}

TEST_F(CameraTest, DeleteClearsTheChannelAndKeepsThePreservedWord)
{
    CameraRecord c{};
    c.id = 5;
    c.enable = 1;
    c.preserved = 77;
    c.anr = 1;
    strcpy(c.ip_addr, "192.168.1.5");
    strcpy(c.user_name, "admin");
    ASSERT_EQ(0, write_camera(QXDB_PATH, &c));
    PrivacyMaskRecord mask{};
    mask.id = 5;
    mask.area[0] = {1, 1, 10, 10, 100, 50, 460, 260, 3};
    mask.area[23] = {24, 1, 1, 1, 1, 1, 1, 1, 1};
    ASSERT_EQ(0, write_privacy_mask(QXDB_PATH, &mask));

    EXPECT_EQ("OK", post("/2005", R"({"chnid":5})").body());
    CameraRecord d = camera(5);
    EXPECT_EQ(5, d.id);
    EXPECT_EQ(1, d.deleted);
    EXPECT_EQ(0, d.enable);
    EXPECT_EQ(77, d.preserved);
    EXPECT_STREQ("", d.ip_addr);
    EXPECT_STREQ("", d.user_name);
    EXPECT_EQ("CAM6", osd_name(5));
    PrivacyMaskRecord m{};
    ASSERT_EQ(0, read_privacy_mask(QXDB_PATH, &m, 5));
    EXPECT_EQ(5, m.id);
    for (const PrivacyMaskArea &a : m.area) EXPECT_EQ(0, a.enable + a.width + a.area_id + a.fill_color);

    ASSERT_EQ((std::vector<int>{IPC_CAMERA_DELETED, IPC_CAMERA_POE, IPC_OPLOG}), traffic(3));
    EXPECT_EQ(le32(5), daemon.requests()[0].payload);
    EXPECT_EQ(le32(5) + le32(0), daemon.requests()[1].payload);
    CameraLog log = camera_log(daemon.requests()[2]);
    EXPECT_EQ(211, log.log.sub_type);
    EXPECT_EQ(902, log.log.param_type);
    EXPECT_EQ(902, log.detail.code);
    EXPECT_EQ(6, log.detail.channel);
}

TEST_F(CameraTest, DeleteAndReadRefuseChannelsOutOfRange)
{
    for (const char *body : {R"({"chnid":64})", R"({"chnid":-1})", "not json", "{}", R"({"chnid":"3"})",
                             R"({"chnid":null})", R"({"chnid":[1]})"}) {
        EXPECT_EQ("{status:\"CGI ERROR\"}", post("/2005", body).body()) << body;
        EXPECT_EQ("{status:\"CGI ERROR\"}", post("/2000", body).body()) << body;
    }
    EXPECT_LE(stored_cameras(), 0);
    expect_no_daemon_traffic();
}

TEST_F(CameraTest, ReadOneChannel)
{
    ASSERT_EQ("OK", post("/2004", kAddRequest).body());
    IpcModelRecord model{};
    model.id = 0; // the camera's protocol field names the model record
    model.protocol = 2;
    strcpy(model.name, "M");
    ASSERT_EQ(0, write_ipc_model(QXDB_PATH, &model));
    ProcResult r = post("/2000", R"({"chnid":3})");
    EXPECT_NE(std::string::npos, r.headers().find("application/json"));
    EXPECT_EQ(R"({"id":3,"name":"Front door","ipAddr":"192.168.1.20","managePort":8080,"protocol":2,)"
              R"("model":0,"userName":"admin","password":"secret","transmitProtocol":3,"mainRtspPort":0,)"
              R"("mainSourcePath":"","subRtspEnable":1,"subRtspPort":0,"subSourcePath":"","syncTime":1,)"
              R"("mainRtspUrl":"","subRtspUrl":"","physicalport":5,"poechannel":4,"mac_addr":"",)"
              R"("minorid":2,"ddns":"cam.example","httpsPort":443})",
              r.body());
}

TEST_F(CameraTest, CredentialsAndTransport)
{
    ASSERT_EQ("OK", post("/2004", kAddRequest).body());
    ASSERT_TRUE(daemon.wait_requests(3));
    daemon.clear();

    for (const char *body : {R"({"id":64,"userName":"u","password":"p"})", R"({"id":3,"userName":"u","password":""})",
                             R"({"id":3,"password":"p"})"})
        EXPECT_EQ("", post("/2017", body).answer()) << body;
    for (const char *body : {"not json", R"({"transmitProtocol":1})", R"({"id":64,"transmitProtocol":1})"})
        EXPECT_EQ("", post("/2031", body).answer()) << body;
    EXPECT_EQ(1, stored_cameras()); // nothing written to channel 0

    EXPECT_EQ("OK", post("/2017", R"({"id":3,"userName":"root","password":"pw2"})").body());
    EXPECT_STREQ("root", camera(3).user_name);
    EXPECT_STREQ("pw2", camera(3).password);
    EXPECT_EQ("OK", post("/2031", R"({"id":3,"transmitProtocol":1,"syncTime":0,"httpsPort":8443})").body());
    CameraRecord c = camera(3);
    EXPECT_EQ(1, c.transmit_protocol);
    EXPECT_EQ(0, c.time_sync);
    EXPECT_EQ(8443, c.https_port);
    EXPECT_STREQ("192.168.1.20", c.ip_addr);

    ASSERT_EQ((std::vector<int>{IPC_CAMERA_CHANGED, IPC_OPLOG, IPC_CAMERA_CHANGED, IPC_OPLOG}), traffic(4));
    CameraLog log = camera_log(daemon.requests()[3]);
    EXPECT_EQ(204, log.log.sub_type);
    EXPECT_EQ(903, log.detail.code);
    EXPECT_STREQ("TCP", log.detail.transmit);
}

// ---- Settings reads ----------------------------------------------------------------------

TEST_F(CameraTest, ChannelNamesFollowMaxCameras)
{
    auto count = [&] {
        std::string b = post("/2012", "{}").body();
        size_t n = 0;
        for (size_t p = 0; (p = b.find("\"id\":", p)) != std::string::npos; p++) n++;
        return n;
    };
    EXPECT_EQ(32u, count());
    set_param_int(QXDB_PATH, "max_cameras", 200);
    EXPECT_EQ(64u, count());
    set_param_int(QXDB_PATH, "max_cameras", 2);
    EXPECT_EQ(R"({"IPC":[{"id":0,"name":"CAM1"},{"id":1,"name":"CAM2"}]})", post("/2012", "{}").body());
    EXPECT_EQ("kp4821", post("/2016", "").body());
    EXPECT_EQ("0", post("/2018", "").body());
}

TEST_F(CameraTest, ProtocolTwoLosesItsDisplayModelFlag)
{
    IpcProtocolRecord p{2, "QXSF", 1, 1, 1};
    ASSERT_EQ(0, write_ipc_protocol(QXDB_PATH, &p));
    IpcModelRecord m{7, 2, "TV-PTZ", 1, 1};
    ASSERT_EQ(0, write_ipc_model(QXDB_PATH, &m));
    EXPECT_EQ(R"({"protocols":[{"id":2,"name":"QXSF","protocolFunction":1,"enable":1,"display_model":0,)"
              R"("models":[{"id":7,"name":"TV-PTZ","alarm_type":1,"default_model":1}]}]})",
              post("/2008", "").body());
    IpcProtocolRecord stored{};
    read_ipc_protocol(QXDB_PATH, &stored, 2);
    EXPECT_EQ(0, stored.display_model);
}

} // namespace
