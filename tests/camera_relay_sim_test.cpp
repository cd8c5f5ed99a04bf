// Settings kept in cameras, end to end: through the simulator a value set
// reads back the same; and the exposure table kept in the settings database.
#include <gtest/gtest.h>

#include <string>

#include "common/records/camera_params.h"
#include "tests/support/harness.h"
#include "tests/support/route_fixture.h"
#include "tests/support/sim_process.h"

namespace {

struct RoundTrip {
    const char *set_route;
    const char *set_body;
    const char *set_answer;
    const char *get_route;
    const char *get_body;
    const char *get_answer; // a part of the answer
};

TEST(CameraRelaySim, SetThenGetReturnsTheValueSet)
{
    const RoundTrip cases[] = {
        {"/2024", R"({"id":3,"pagename":"image","httpname":"isp","key":"brightness","value":"77"})", "OK",
         "/2023", R"({"id":3,"pagename":"image","httpname":"isp","key":"brightness"})",
         R"({"id":3,"pagename":"image","httpname":"isp","key":"brightness","value":"77"})"},
        // Another camera, and another page, keep their own values.
        {"/2024", R"({"id":4,"pagename":"image","httpname":"isp","key":"brightness","value":"12"})", "OK",
         "/2023", R"({"id":3,"pagename":"other","httpname":"isp","key":"brightness"})", R"("value":"50"})"},
        {"/2024", R"({"id":9,"key":"osd","value":"a b\"c"})", "OK", "/2023", R"({"id":9,"key":"osd"})",
         R"("value":"a b\"c"})"},
        {"/2059", R"({"chnid":2,"enable":1,"watermark":"site 7","copy":"1"})", R"({"res":0})", "/2058",
         R"({"chnid":0})", R"({"chnid":0,"enable":1,"watermark":"site 7"})"},
        {"/2061", R"({"chnid":5,"enable":1,"framerate":12,"bitrate":900,"iframeinterval":24})", R"({"res":0})",
         "/2060", R"({"chnid":5})", R"({"chnid":5,"enable":1,"framerate":12,"bitrate":900,"iframeinterval":24})"},
        {"/2010",
         R"({"id":6,"mainFramerate":20,"mainBitrate":3000,"mainResWidth":1280,"mainResHeight":720,"subEnable":1,"audioEnable":0})",
         R"({"res":"0000001000000000000000000000000000000000000000000000000000000000"})", "/2009", R"({"chnid":6})",
         R"("curRes":3,"framerateMax":30,"framerateMin":1,"bitrateMax":16384,"bitrateMin":64,"framerate":20,"bitrate":3000,)"},
    };
    DeviceRoot root;
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());
    for (const RoundTrip &c : cases) {
        SCOPED_TRACE(c.set_body);
        EXPECT_EQ(c.set_answer, post_json(root, c.set_route, c.set_body).body());
        std::string got = post_json(root, c.get_route, c.get_body).body();
        EXPECT_NE(std::string::npos, got.find(c.get_answer)) << got;
    }
}

class CameraExposureTable : public RouteTest {};

std::string pairs(int n)
{
    std::string out = "[";
    for (int i = 0; i < n; i++)
        out += (i ? "," : "") + std::string(R"({"exposureTime":)") + std::to_string(i) + R"(,"gainLevel":)" +
               std::to_string(2 * i) + "}";
    return out + "]";
}

TEST_F(CameraExposureTable, KeepsAtMost140Pairs)
{
    EXPECT_EQ("{status:\"CGI ERROR\"}", post("/2049", R"({"channel":7})").body());
    EXPECT_EQ("OK", post("/2048", R"({"channel":7,"exposure":)" + pairs(200) + "}").body());
    ExposureTable table{};
    ASSERT_EQ(0, read_exposure_table(QXDB_PATH, &table, 7));
    EXPECT_EQ(140, table.count);
    EXPECT_EQ(139, table.pairs[139].exposure_time);

    std::string got = post("/2049", R"({"channel":7})").body();
    EXPECT_EQ(0u, got.find(R"({"exposure":[{"exposureTime":0,"gainLevel":0},{"exposureTime":1,"gainLevel":2},)"));
    EXPECT_NE(std::string::npos, got.find(R"({"exposureTime":139,"gainLevel":278}]})"));

    // A shorter table replaces the longer one whole.
    EXPECT_EQ("OK", post("/2048", R"({"channel":7,"exposure":)" + pairs(2) + "}").body());
    EXPECT_EQ(R"({"exposure":[{"exposureTime":0,"gainLevel":0},{"exposureTime":1,"gainLevel":2}]})",
              post("/2049", R"({"channel":7})").body());
    // A stored count beyond the table is read within it.
    table.count = 1000;
    ASSERT_EQ(0, write_exposure_table(QXDB_PATH, &table));
    EXPECT_NE(std::string::npos, post("/2049", R"({"channel":7})").body().find(R"("exposureTime":139,"gainLevel":278}]})"));
}

} // namespace
