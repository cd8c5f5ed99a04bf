// Quick settings end to end (/3300 to /3304): what each request stores, the
// notices it sends after its answer, and the requests it refuses silently.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "common/records/camera.h"
#include "common/records/net_services.h"
#include "common/records/recording.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "tests/support/network_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;

class QuickTest : public NetworkFixture {
protected:
    std::vector<int> codes_of(const std::vector<FakeRequest> &sent)
    {
        std::vector<int> out;
        for (const FakeRequest &r : sent) out.push_back(r.code);
        return out;
    }
};

int stored_ssh()
{
    PortRecord p{};
    read_port(kDb, &p);
    return p.enable_ssh;
}

TEST_F(QuickTest, SwitchesStoreTheirValueAndNotify)
{
    PortRecord port{};
    port.enable_ssh = 1;
    port.http_port = 8080;
    ASSERT_EQ(0, write_port(kDb, &port));
    RecordEntry kept{};
    kept.id = 5;
    kept.mode = 1;
    kept.audio_enable = 1;
    kept.post_record_duration = 30;
    ASSERT_EQ(0, write_record(kDb, &kept));

    std::vector<int> all_channels_1407(RECORD_MAX_CHANNELS, IPC_RECORD_MODE_CHANGED);
    struct Case {
        const char *route;
        std::string body;
        const char *answer;
        std::vector<int> codes;
        std::function<void()> check;
    } cases[] = {
        {"/3300", R"({"sshEnable":0})", "OK", {1702}, [] { EXPECT_EQ(0, stored_ssh()); }},
        {"/3300", R"({"sshEnable":1})", "OK", {1702}, [] { EXPECT_EQ(1, stored_ssh()); }},
        {"/3300", R"({})", "", {}, [] { EXPECT_EQ(1, stored_ssh()); }},
        {"/3300", R"({"sshEnable":"0"})", "", {}, [] { EXPECT_EQ(1, stored_ssh()); }},
        {"/3300", "sshEnable=0", "", {}, [] { EXPECT_EQ(1, stored_ssh()); }},
        {"/3301", R"({"autoLoginEnable":7})", "OK", {},
         [] { EXPECT_EQ(7, get_param_int(kDb, "local_auth_enable", -1)); }},
        {"/3301", R"({"autoLogin":0})", "", {}, [] { EXPECT_EQ(7, get_param_int(kDb, "local_auth_enable", -1)); }},
        {"/3303", R"({"wizardEnable":-3})", "OK", {}, [] { EXPECT_EQ(-3, get_param_int(kDb, "wizard_enable", 0)); }},
        {"/3302", R"({"recordMode":2})", "OK", all_channels_1407,
         [] {
             RecordEntry r[RECORD_MAX_CHANNELS];
             int count = 0;
             read_records(kDb, r, &count);
             ASSERT_EQ(RECORD_MAX_CHANNELS, count);
             for (int ch = 0; ch < RECORD_MAX_CHANNELS; ch++) {
                 EXPECT_EQ(ch, r[ch].id);
                 EXPECT_EQ(2, r[ch].mode);
             }
             EXPECT_EQ(1, r[5].audio_enable); // the rest of each entry stays
             EXPECT_EQ(30, r[5].post_record_duration);
         }},
        {"/3302", R"({"recordMode":3})", "", {}, [] {
             RecordEntry r{};
             read_record(kDb, &r, 63);
             EXPECT_EQ(2, r.mode);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body);
        EXPECT_EQ(c.answer, said(post(c.route, c.body)));
        std::vector<FakeRequest> sent = traffic();
        EXPECT_EQ(c.codes, codes_of(sent));
        c.check();
        if (c.codes.size() == RECORD_MAX_CHANNELS) {
            for (int ch = 0; ch < RECORD_MAX_CHANNELS; ch++) EXPECT_EQ(le32(ch), sent[ch].payload);
        }
        if (c.codes == std::vector<int>{1702}) {
            EXPECT_EQ(std::string("more") + std::string(28, '\0'), sent[0].payload);
        }
    }
    PortRecord after{};
    read_port(kDb, &after);
    EXPECT_EQ(8080, after.http_port);
}

TEST_F(QuickTest, CameraEntryStoresOneChannelByItsOwnId)
{
    struct Case {
        const char *name;
        std::string body;
        int id;   // -1: refused
        int code; // notice sent
        const char *user;
    } cases[] = {
        {"enable", R"({"id":63,"enable":1,"ipAddr":"192.168.1.50","managePort":8000,"userName":"admin","password":"pw"})",
         63, 1201, "admin"},
        {"disable, no credentials", R"({"id":7,"enable":0,"ipAddr":"10.0.0.7","managePort":0})", 7, 1202, ""},
        {"long user name", R"({"id":8,"enable":1,"ipAddr":"10.0.0.8","managePort":80,"userName":")" +
                               std::string(100, 'u') + R"("})",
         8, 1201, "uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu"},
        {"id 64", R"({"id":64,"enable":1,"ipAddr":"10.0.0.1","managePort":80})", -1, 0, ""},
        {"id -1", R"({"id":-1,"enable":1,"ipAddr":"10.0.0.1","managePort":80})", -1, 0, ""},
        {"no id", R"({"enable":1,"ipAddr":"10.0.0.1","managePort":80})", -1, 0, ""},
        {"enable 2", R"({"id":1,"enable":2,"ipAddr":"10.0.0.1","managePort":80})", -1, 0, ""},
        {"no enable", R"({"id":1,"ipAddr":"10.0.0.1","managePort":80})", -1, 0, ""},
        {"empty address", R"({"id":1,"enable":1,"ipAddr":"","managePort":80})", -1, 0, ""},
        {"negative port", R"({"id":1,"enable":1,"ipAddr":"10.0.0.1","managePort":-1})", -1, 0, ""},
        {"no port", R"({"id":1,"enable":1,"ipAddr":"10.0.0.1"})", -1, 0, ""},
        {"not JSON", "id=1", -1, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // stored records with fields the entry does not touch
        CameraRecord old{};
        old.main_rtsp_port = 554;
        old.protocol = 1;
        COPY_TEXT(old.user_name, "old");
        for (int ch : {1, 7, 8, 63}) {
            old.id = ch;
            ASSERT_EQ(0, write_camera(kDb, &old));
        }
        EXPECT_EQ(c.id < 0 ? "" : "OK", said(post("/3304", c.body)));
        std::vector<FakeRequest> sent = traffic();
        if (c.id < 0) {
            EXPECT_TRUE(sent.empty());
            CameraRecord one{};
            read_camera(kDb, &one, 1);
            EXPECT_EQ("old", FIELD(one.user_name));
            continue;
        }
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(c.code, sent[0].code);
        EXPECT_EQ(le32(c.id), sent[0].payload);
        CameraRecord cam{};
        ASSERT_EQ(0, read_camera(kDb, &cam, c.id));
        EXPECT_EQ(c.id, cam.id);
        EXPECT_EQ(c.code == 1201 ? 1 : 0, cam.enable);
        EXPECT_EQ(c.user, FIELD(cam.user_name));
        EXPECT_EQ(0, cam.protocol);
        EXPECT_EQ(554, cam.main_rtsp_port);
        if (c.id == 63) {
            EXPECT_EQ("192.168.1.50", FIELD(cam.ip_addr));
            EXPECT_EQ("pw", FIELD(cam.password));
            EXPECT_EQ(8000, cam.manage_port);
        }
    }
}

} // namespace
