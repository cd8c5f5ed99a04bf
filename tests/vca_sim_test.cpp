// The simulator's cameras keep their analysis settings: what a page sets
// reads back the same.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include <json-c/json.h>

#include "tests/support/harness.h"
#include "tests/support/sim_process.h"

namespace {

std::string field(const std::string &json, const char *key)
{
    json_object *o = json_tokener_parse(json.c_str());
    json_object *v = nullptr;
    std::string out = o && json_object_object_get_ex(o, key, &v) ? json_object_to_json_string_ext(v, JSON_C_TO_STRING_PLAIN) : "";
    if (o) json_object_put(o);
    return out;
}

TEST(VcaSim, SettingsSetReadBack)
{
    struct Row {
        const char *set_route;
        std::string set_body;
        const char *set_answer;
        const char *get_route;
        std::string get_body;
        const char *key;
        std::string want; // the key's JSON value in the get answer
    };
    const Row rows[] = {
        {"/6139", R"({"chnid":3,"enable":1,"width":1920,"height":1080,"line":[{"position":"100;50;300;200","direction":2}]})",
         "OK", "/6138", R"({"channel":3})", "line",
         R"([{"direction":2,"position":"100;50;300;200"},{"direction":0,"position":"0;0;0;0"},)"
         R"({"direction":0,"position":"0;0;0;0"},{"direction":0,"position":"0;0;0;0"}])"},
        {"/6135", R"({"chnid":3,"type":2,"enable":1,"ignore_time":9,"region":"abc"})", "OK", "/6134",
         R"({"channel":3})", "ignore_time", "9"},
        {"/6171", R"({"chnid":4,"left_enable":1,"min_time":6})", "OK", "/6172", R"({"channel":4})", "min_time", "6"},
        {"/6147", R"({"chnid":5,"width":1920,"height":1080,"position":[{"minStartX":100}]})", "OK", "/6146",
         R"({"channel":5})", "position",
         R"([{"minStartX":100,"minStartY":1,"minWidth":1,"minHeight":1,"maxStartX":1,"maxStartY":1,"maxWidth":1,"maxHeight":1}])"},
        {"/6097", R"({"chnid":6,"sensitivity":8,"regional":[{"enable":1,"polygonX":"1,2"}]})", R"({"res":0})", "/6096",
         R"({"chnid":6})", "sensitivity", "8"},
        {"/6091", R"({"camId":7,"enable":1,"type":3,"triActions":1,"triChannels":"1"})", "OK", "/6090", "7", "type", "3"},
        {"/6093",
         R"({"camId":7,"enable":1,"type":1,"volume":40,"duration":2,"onEvent":0,"offEvent":0,"ongoingEvent":0,"triActions":1,"triChannels":"1"})",
         "OK", "/6092", "7", "volume", "40"},
        {"/6131", R"({"chnid":8,"fishmount":2,"fishdisplay":3,"fishcorrect":1})", "OK", "/6130", R"({"id":8})",
         "fishdisplay", "3"},
    };
    DeviceRoot root;
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());
    for (const Row &row : rows) {
        SCOPED_TRACE(row.set_route);
        EXPECT_EQ(row.set_answer, post_json(root, row.set_route, row.set_body).body());
        // The detectors' sets are notices the simulator takes in its own time.
        std::string got;
        for (int i = 0; i < 50 && got != row.want; i++) {
            if (i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            got = field(post_json(root, row.get_route, row.get_body).body(), row.key);
        }
        EXPECT_EQ(row.want, got);
    }
}

} // namespace
