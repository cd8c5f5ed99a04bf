// OSD and privacy mask routes end to end: the recorder's OSD in the settings
// database, the camera's OSD and masks through the fake daemon, and the
// simulator's per-camera store.
#include <cstring>
#include <memory>
#include <string>

#include "common/records/osd.h"
#include "common/records/osd_camera.h"
#include "common/settings.h"
#include "tests/support/lpr_osd_fixture.h"
#include "tests/support/sim_process.h"

namespace {

const char kDb[] = QXDB_PATH;
const std::string kJsonError = "{status:\"CGI ERROR\"}";

class OsdTest : public LprOsdTest {
protected:
    OsdRecord osd(int channel)
    {
        OsdRecord rec{};
        EXPECT_EQ(0, read_osd(kDb, &rec, channel));
        return rec;
    }
    static std::string osd_body(int channel, const std::string &over)
    {
        return "{\"camId\":" + std::to_string(channel) +
               ",\"camName\":\"Gate\",\"showName\":1,\"showDate\":1,\"showWeek\":0,\"dateFormat\":2,"
               "\"timeFormat\":1,\"datePosX\":0.25,\"datePosY\":0.5,\"namePosX\":0,\"namePosY\":0.75,\"alpha\":3" +
               over + "}";
    }
    // A mask request over channels [1, 3] with n areas numbered from 100.
    static std::string mask_body(const std::string &counts, int areas)
    {
        std::string list = "[";
        for (int i = 0; i < areas; i++)
            list += std::string(i ? "," : "") + "{\"area_id\":" + std::to_string(100 + i) + ",\"enable\":1,\"name\":\"m\"}";
        return "{\"cnt\":2,\"chnid\":[1,3,5],\"enable\":1," + counts + ",\"area\":" + list + "]}";
    }
    static std::unique_ptr<CamMaskRequest> mask_of(const FakeRequest &r)
    {
        auto rec = std::unique_ptr<CamMaskRequest>(new CamMaskRequest());
        EXPECT_TRUE(r.as(rec.get()));
        return rec;
    }
    static int areas_filled(const CamMaskRequest &m)
    {
        int n = 0;
        for (const CamMaskArea &a : m.area) n += a.area_id != 0;
        return n;
    }
};

TEST_F(OsdTest, RecorderOsd)
{
    walk({
        {"dateFormat 4", "/6001", osd_body(2, ",\"dateFormat\":4"), "", {}},
        {"showWeek 2", "/6001", osd_body(2, ",\"showWeek\":2"), "", {}},
        {"datePosX -0.5", "/6001", osd_body(2, ",\"datePosX\":-0.5"), "", {}},
        {"camId 64", "/6001", osd_body(64, ""), "", {}},
        {"no alpha", "/6001", "{\"camId\":2,\"camName\":\"x\",\"datePosX\":0,\"datePosY\":0,\"namePosX\":0,\"namePosY\":0}",
         "", {}},
        {"stored", "/6001", osd_body(2, ",\"datePosX\":0.0,\"camName\":\"" + std::string(70, 'n') + "\""), "OK",
         {IPC_OSD_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(2, req[0].int_at(0));
             EXPECT_EQ(1, req[0].int_at(4));
             EXPECT_EQ(0, req[0].int_at(8));
             OsdRecord r = osd(2);
             EXPECT_EQ(std::string(63, 'n'), field_text(r.name));
             EXPECT_EQ(2, r.date_format);
             EXPECT_EQ(0.0, r.date_pos_x);
             EXPECT_EQ(0.75, r.name_pos_y);
             EXPECT_EQ(3, r.alpha);
         }},
        {"name: camId 64 writes nothing", "/6002", "{\"camId\":64,\"camName\":\"X\"}", "", {}},
        {"name: camId -1", "/6002", "{\"camId\":-1,\"camName\":\"X\"}", "", {}},
        {"name: cut to 31", "/6002", "{\"camId\":2,\"camName\":\"" + std::string(40, 'k') + "\"}", "OK", {},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ(std::string(31, 'k'), field_text(osd(2).name));
             EXPECT_EQ(3, osd(2).alpha);
         }},
    });
    EXPECT_LE(nvr_db_stored(kDb, nvr_db_osd::desc), 1);
    json_object *o = json(reply_of(post("/6000", "2")));
    EXPECT_EQ(std::string(31, 'k'), str_at(o, "camName"));
    EXPECT_EQ(0.5, json_object_get_double(at(o, "datePosY")));
    EXPECT_EQ("CAM4", str_at(json(reply_of(post("/6000", "3"))), "camName"));
    EXPECT_EQ("", reply_of(post("/6000", "64")));
    EXPECT_EQ("", reply_of(post("/6000", "two")));
}

TEST_F(OsdTest, CameraMaskRequests)
{
    walk({
        {"20 + 12 areas fill 28", "/6019", mask_body("\"num\":20,\"mosaicNum\":12", 32), "OK", {IPC_CAM_MASK_SET},
         [&](const std::vector<FakeRequest> &req) {
             auto m = mask_of(req[0]);
             EXPECT_EQ(28, areas_filled(*m));
             EXPECT_EQ(127, m->area[27].area_id);
             EXPECT_EQ(std::string("0101") + std::string(60, '0'), std::string(m->channels, 64)); // cnt 2: not 5
             EXPECT_EQ(0, m->del_mask);
         }},
        {"sum past the int range", "/6019", mask_body("\"num\":2147483647,\"mosaicNum\":2147483647", 30), "OK",
         {IPC_CAM_MASK_SET}, [&](const std::vector<FakeRequest> &req) { EXPECT_EQ(28, areas_filled(*mask_of(req[0]))); }},
        {"negative sum", "/6019", mask_body("\"num\":-5,\"mosaicNum\":1,\"delMask\":-2", 3), "OK", {IPC_CAM_MASK_SET},
         [&](const std::vector<FakeRequest> &req) {
             auto m = mask_of(req[0]);
             EXPECT_EQ(0, areas_filled(*m));
             EXPECT_EQ(-2, m->del_mask);
         }},
        {"no area key", "/6019", "{\"cnt\":1,\"chnid\":[1]}", "", {}},
        {"delete: area 25", "/6173", "{\"chan_id\":1,\"area_id\":25}", kJsonError, {}},
        {"delete: channel 64", "/6173", "{\"chan_id\":64,\"area_id\":2}", kJsonError, {}},
        {"delete", "/6173", "{\"chan_id\":1,\"area_id\":24}", "OK", {IPC_CAM_MASK_DELETE},
         [&](const std::vector<FakeRequest> &req) { EXPECT_EQ(24, req[0].int_at(4)); }},
    });
}

TEST_F(OsdTest, CameraAnswers)
{
    auto m = std::unique_ptr<CamMaskReply>(new CamMaskReply());
    m->id = 1;
    m->max_mask_sum = 1000; // never past the record's 28 areas
    m->area[27].ratio = 9;
    daemon.on(IPC_CAM_MASK_GET).reply_record(*m);
    json_object *list = json(reply_of(post("/6115", "{\"id\":1}")));
    ASSERT_EQ(1u, json_object_array_length(list));
    json_object *areas = at(json_object_array_get_idx(list, 0), "area");
    ASSERT_EQ(28u, json_object_array_length(areas));
    EXPECT_EQ(9, int_at(json_object_array_get_idx(areas, 27), "ratio"));
    EXPECT_EQ(460, int_at(json_object_array_get_idx(areas, 0), "width"));
    m->max_mask_sum = -3;
    daemon.on(IPC_CAM_MASK_GET).reply_record(*m);
    list = json(reply_of(post("/6115", "{\"id\":1}")));
    EXPECT_EQ(0u, json_object_array_length(at(json_object_array_get_idx(list, 0), "area")));

    CamOsdRecord none{};
    none.ch = -1;
    daemon.on(IPC_CAM_OSD_GET).reply_record(none);
    daemon.on(REPLY_CAM_MODEL_TYPE - 5000).reply_int(7);
    daemon.on(IPC_CAM_MASK_EDIT).reply_int(-4);
    daemon.on(IPC_CAM_OSD_SET).reply_int(-1);
    const std::string osd_keys = "\"enable_text\":1,\"text_name\":\"a\",\"textpos\":0,\"enable_date\":1,"
                                 "\"datepos\":1,\"dateformat\":0,\"fontSize\":2";
    walk({
        {"camera without OSD", "/6997", "{\"id\":3}", "{\"disconnect\":0}", {IPC_CAM_OSD_GET}},
        {"model type", "/6116", "{\"id\":3}", "{\"result\":7}", {REPLY_CAM_MODEL_TYPE - 5000}},
        {"edit", "/6198", "{\"chnid\":3,\"maskid\":2}", "{\"res\":-4}", {IPC_CAM_MASK_EDIT},
         [&](const std::vector<FakeRequest> &req) { EXPECT_EQ(2, req[0].int_at(4)); }},
        {"edit, channel 64", "/6198", "{\"chnid\":64,\"maskid\":2}", kJsonError, {}},
        {"camera OSD not supported", "/6996", "{\"ch\":3," + osd_keys + "}", "NO_SUPPORT", {IPC_CAM_OSD_SET}},
        {"camera OSD without fontSize", "/6996",
         "{\"ch\":3,\"enable_text\":1,\"text_name\":\"a\",\"textpos\":0,\"enable_date\":1,\"datepos\":1,\"dateformat\":0}",
         "", {}},
        {"camera OSD, channel 64", "/6996", "{\"ch\":64," + osd_keys + "}", "", {}},
    });
    daemon.on(IPC_CAM_OSD_SET).reply_int(3);
    EXPECT_EQ("ERROR", reply_of(post("/6996", "{\"ch\":3," + osd_keys + "}")));
    daemon.on(IPC_CAM_OSD_GET).empty();
    EXPECT_EQ("CGI ERROR", reply_of(post("/6997", "{\"id\":3}")));
}

TEST_F(OsdTest, StoredMasks)
{
    PrivacyMaskRecord rec{};
    rec.id = 1;
    rec.area[23].frame_width = 704;
    ASSERT_EQ(0, write_privacy_mask(kDb, &rec));
    ASSERT_EQ(0, set_param_int(kDb, "max_cameras", 4));
    json_object *list = json(reply_of(post("/6018", "")));
    ASSERT_EQ(4u, json_object_array_length(list));
    json_object *one = json_object_array_get_idx(list, 1);
    EXPECT_EQ(1, int_at(one, "id"));
    EXPECT_EQ(704, int_at(json_object_array_get_idx(at(one, "area"), 23), "width"));
}

// The simulator answers from each camera's own store.
TEST(OsdSimTest, PerCameraStore)
{
    DeviceRoot root;
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());
    auto answer = [&](const char *route, const std::string &body) {
        ProcResult r = post_json(root, route, body);
        return r.answer().empty() ? std::string() : r.body();
    };
    const std::string keys = "\"enable_text\":1,\"textpos\":2,\"enable_date\":0,\"datepos\":1,\"dateformat\":3,\"fontSize\":2";
    EXPECT_EQ("OK", answer("/6996", "{\"ch\":5,\"text_name\":\"Five\"," + keys + "}"));
    EXPECT_EQ("OK", answer("/6996", "{\"ch\":6,\"text_name\":\"Six\"," + keys + "}"));
    EXPECT_NE(std::string::npos, answer("/6997", "{\"id\":5}").find("\"text_name\":\"Five\""));
    EXPECT_NE(std::string::npos, answer("/6997", "{\"id\":6}").find("\"text_name\":\"Six\""));
    EXPECT_NE(std::string::npos, answer("/6997", "{\"id\":7}").find("\"text_name\":\"CAM8\""));

    EXPECT_EQ("OK", answer("/6019", "{\"cnt\":1,\"chnid\":[5],\"enable\":1,\"num\":2,"
                                    "\"area\":[{\"area_id\":0,\"enable\":1,\"start_x\":10},"
                                    "{\"area_id\":1,\"enable\":1,\"start_x\":20}]}"));
    std::string masks;
    // The mask request is not waited for: the camera may take a moment.
    for (int i = 0; i < 100 && masks.find("\"start_x\":20") == std::string::npos; i++) masks = answer("/6115", "{\"id\":5}");
    EXPECT_NE(std::string::npos, masks.find("\"start_x\":20"));
    EXPECT_EQ(std::string::npos, answer("/6115", "{\"id\":6}").find("\"start_x\":20"));
    EXPECT_EQ("OK", answer("/6173", "{\"chan_id\":5,\"area_id\":1}"));
    for (int i = 0; i < 100 && masks.find("\"start_x\":20") != std::string::npos; i++) masks = answer("/6115", "{\"id\":5}");
    EXPECT_EQ(std::string::npos, masks.find("\"start_x\":20"));
    EXPECT_NE(std::string::npos, masks.find("\"start_x\":10"));
}

} // namespace
