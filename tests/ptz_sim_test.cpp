// PTZ and status pages against the simulator: presets, tours and basic
// options set through the routes read back per camera; the status pages
// show the simulator's cameras and alarms; a diagnosis export downloads.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/support/harness.h"
#include "tests/support/sim_process.h"

namespace {

struct Step {
    const char *route;
    const char *body;
    const char *answer; // a part of the answer, or "!" + a text it must not hold
};

TEST(PtzSim, SettingsReadBackPerCamera)
{
    const Step steps[] = {
        {"/5001", R"({"channelId":2,"presetId":4,"action":22,"panSpeed":1,"tiltSpeed":1,"zoomSpeed":1,"focusSpeed":1,"name":"Gate"})", "OK"},
        {"/5005", R"({"chn":2})", R"({"enable":0,"name":""},{"enable":1,"name":"Gate"})"},
        {"/5005", R"({"chn":1})", "!Gate"},
        {"/6055", R"({"chn":2,"tourid":2,"rowsize":2,"path":[{"preset":4,"speed":3,"time":9},{"preset":1,"speed":2,"time":5}]})", "OK"},
        {"/5005", R"({"chn":2,"streamId":0})", R"("TOUR":[[],[{"preset_id":4,"speed":3,"timeout":9},{"preset_id":1,"speed":2,"timeout":5}],[])"},
        {"/5002", R"({"chn":2,"tourid":2})", "OK"},
        {"/5005", R"({"chn":2})", R"("tour_status":[[0,1,0)"},
        {"/6057", R"({"chn":2,"tourid":2})", "OK"},
        {"/5005", R"({"chn":2})", R"("TOUR":[[],[],[])"},
        {"/5012", R"({"chnId":2,"fanWorkingMode":2})", R"({"status":0})"},
        {"/5011", R"({"chnid":2})", R"("chnId":2,)"},
        {"/5011", R"({"chnid":2})", R"("fanWorkingMode":2})"},
        {"/6052", R"({"chn":2})", "0"},
        {"/6052", R"({"chn":0})", "-1"},
        {"/5000", R"({"channelId":2,"action":1,"panSpeed":4})", "OK"},
    };
    DeviceRoot root;
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());
    for (const Step &s : steps) {
        SCOPED_TRACE(std::string(s.route) + " " + s.body);
        // Notices travel on connections of their own: a read may come
        // before the simulator has taken the change, so reads are repeated.
        const bool read = s.route == std::string("/5005") || s.route == std::string("/5011");
        std::string got;
        for (int i = 0; i < (read ? 50 : 1); i++) {
            got = post_json(root, s.route, s.body).body();
            if ((got.find(s.answer[0] == '!' ? s.answer + 1 : s.answer) == std::string::npos) == (s.answer[0] == '!')) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (s.answer[0] == '!') EXPECT_EQ(std::string::npos, got.find(s.answer + 1)) << got;
        else EXPECT_NE(std::string::npos, got.find(s.answer)) << got;
    }
}

TEST(StatusSim, PagesShowTheSimulatorsCamerasAndAlarms)
{
    const Step steps[] = {
        {"/8000", "", R"("ifname":"eth0","id":0,"state":1)"},
        {"/8001", "", R"("ifname":"eth0","RxSpeed":)"},
        {"/8002", "", R"({"id":2,"name":"CAM3","enable":0,"ipAddr":"--","recordOn":1,"alarmOn":0,"main":{"res":{"width":1920,"height":1080})"},
        {"/8002", "", R"({"id":3,"name":"CAM4","enable":0,"ipAddr":"--","recordOn":"--")"},
        {"/8003", "", R"("id":1,"name":"CAM2","ipAddr":"--","videolossOn":0,"motionOn":1,)"},
        {"/8003", "", R"("AlarmInType1":1,"AlarmInState1":1,)"},
        {"/8008", "", R"({"total":1907729,)"},
        {"/8009", "", R"({"support":"1111111100000000)"},
        {"/8011", "", R"([{"userName":"admin","userLevel":0,"ipaddr":"127.0.0.1",)"},
        {"/6310", "", "OK/%2Ftmp%2Fdiagnosis_"},
    };
    DeviceRoot root;
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());
    std::string exported;
    for (const Step &s : steps) {
        SCOPED_TRACE(s.route);
        const std::string got = post_json(root, s.route, s.body).body();
        EXPECT_NE(std::string::npos, got.find(s.answer)) << got.substr(0, 400);
        if (std::string(s.route) == "/6310") exported = got.substr(3, got.size() - 5);
    }
    ProcResult r = post_json(root, "/6311", exported);
    EXPECT_NE(std::string::npos, r.out.find("\r\n\r\nnvrweb-sim diagnosis\n")) << r.out;
}

} // namespace
