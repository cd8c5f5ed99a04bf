// PTZ routes end to end against the fake daemon: what each request sends
// (codes and payloads, the operation log), the answers made of the daemon's
// replies, and the stored serial settings, speeds and tours, including the
// requests that must store and send nothing.
#include <gtest/gtest.h>

#include <json-c/json.h>

#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/records/camera_params.h"
#include "common/records/ptz.h"
#include "common/settings.h"
#include "tests/support/route_fixture.h"

namespace {

const char kJsonError[] = "{status:\"CGI ERROR\"}";
const char kDb[] = QXDB_PATH;

class PtzRoutes : public RouteTest {};

template <class T> T payload_as(const FakeRequest &r)
{
    T rec{};
    EXPECT_TRUE(r.as(&rec)) << "payload of " << r.code << " is " << r.payload.size() << " bytes";
    return rec;
}

CamParamRequest param_of(const FakeRequest &r) { return payload_as<CamParamRequest>(r); }

struct SendCase {
    const char *route;
    std::string body;
    std::string answer;      // "" = no answer
    std::vector<int> codes;  // daemon requests in order
    std::function<void(const std::vector<FakeRequest> &)> check;
};

TEST_F(PtzRoutes, RequestsSendTheirRecords)
{
    const std::string long_name(40, 'n');
    const SendCase cases[] = {
        {"/5000", R"({"channelId":1,"action":3,"panSpeed":1,"tiltSpeed":2,"zoomSpeed":3,"focusSpeed":4})", "OK",
         {IPC_PTZ_MOVE, IPC_CAM_PARAM_SET, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) {
             PtzCommand c = payload_as<PtzCommand>(r[0]);
             EXPECT_EQ(1, c.channel);
             EXPECT_EQ(3, c.action);
             EXPECT_EQ(4, c.focus_speed);
             CamParamRequest p = param_of(r[1]);
             EXPECT_EQ("vsetting.html", field_text(p.httpname));
             EXPECT_EQ("ptzspeed", field_text(p.key));
             EXPECT_EQ("0", field_text(p.value)); // pan speed 1 -> "0"
             OpLogRecord log = oplog_of(r[2]);
             EXPECT_EQ(206, log.sub_type);
             EXPECT_EQ(900, log.param_type);
             EXPECT_EQ(2, log.object_no);
         }},
        // Focus near with auto focus: the move again as action 12; speed 0 -> "1".
        {"/5000", R"({"channelId":0,"action":21,"isAutoFocus":1,"panSpeed":0})", "OK",
         {IPC_PTZ_MOVE, IPC_PTZ_MOVE, IPC_CAM_PARAM_SET, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) {
             EXPECT_EQ(12, payload_as<PtzCommand>(r[1]).action);
             EXPECT_EQ("1", field_text(param_of(r[2]).value));
         }},
        {"/5000", R"({"channelId":32,"action":3})", "", {}, nullptr}, // max_cameras is 32
        {"/5000", R"({"action":3})", "", {}, nullptr},
        {"/5000", R"({"channelId":1,"action":-1})", "", {}, nullptr},
        {"/5001", R"({"channelId":2,"presetId":300,"action":22,"panSpeed":1,"tiltSpeed":1,"zoomSpeed":1,"focusSpeed":1,"name":")" +
                      long_name + "\"}",
         "OK", {IPC_PTZ_PRESET, IPC_OPLOG},
         [&](const std::vector<FakeRequest> &r) {
             PtzCommand c = payload_as<PtzCommand>(r[0]);
             EXPECT_EQ(300, c.number);
             EXPECT_EQ(std::string(30, 'n'), field_text(c.name));
             EXPECT_EQ(904, oplog_of(r[1]).param_type);
         }},
        {"/5001", R"({"channelId":2,"presetId":7,"action":23,"panSpeed":1,"tiltSpeed":1,"zoomSpeed":1,"focusSpeed":1,"name":"x"})",
         "OK", {IPC_PTZ_PRESET, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) { EXPECT_EQ("", field_text(payload_as<PtzCommand>(r[0]).name)); }},
        {"/5001", R"({"channelId":2,"presetId":301,"action":22,"panSpeed":1,"tiltSpeed":1,"zoomSpeed":1,"focusSpeed":1})", "",
         {}, nullptr},
        {"/5001", R"({"channelId":2,"presetId":3,"action":22,"panSpeed":1,"tiltSpeed":1,"zoomSpeed":1})", "", {}, nullptr},
        // A fisheye preset is also set in the camera.
        {"/5001", R"({"channelId":2,"presetId":5,"action":22,"panSpeed":1,"tiltSpeed":1,"zoomSpeed":1,"focusSpeed":1,"name":"door","fisheyeType":1,"streamId":2})",
         "OK", {IPC_PTZ_PRESET, IPC_CAM_PARAM_SET, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) {
             EXPECT_EQ("ipncptz=setfishpreset", field_text(param_of(r[1]).key));
             EXPECT_EQ("2:5:door", field_text(param_of(r[1]).value));
         }},
        {"/5002", R"({"chn":4,"tourid":3,"fisheyeType":1,"streamId":1})", "OK", {IPC_PTZ_TOUR_RUN, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) {
             PtzTourCommand t = payload_as<PtzTourCommand>(r[0]);
             EXPECT_EQ(4, t.channel);
             EXPECT_EQ(3, t.tour);
             EXPECT_EQ(1, t.fisheye_type);
             EXPECT_EQ(1, t.stream);
             EXPECT_EQ(900, oplog_of(r[1]).param_type);
             EXPECT_EQ(5, oplog_of(r[1]).object_no);
         }},
        {"/5003", R"({"chn":4,"tourid":3})", "OK", {IPC_PTZ_TOUR_STOP, IPC_OPLOG}, nullptr},
        {"/5003", R"({"tourid":3})", "", {}, nullptr},
        {"/5004", R"({"chn":1,"tourid":2,"action":2})", "OK", {IPC_PTZ_PATTERN, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) {
             PtzCommand c = payload_as<PtzCommand>(r[0]);
             EXPECT_EQ(25, c.action);
             EXPECT_EQ(2, c.number);
         }},
        {"/5004", R"({"chn":1,"tourid":2,"action":5})", "OK", {IPC_PTZ_PATTERN, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) { EXPECT_EQ(0, payload_as<PtzCommand>(r[0]).action); }},
        {"/5006", R"({"chn":6,"action":9})", "OK", {IPC_PTZ_CHANNEL_ACTION, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) { EXPECT_EQ(9, payload_as<PtzChannelAction>(r[0]).action); }},
        {"/5007", R"({"chn":6,"zoom":4,"zoomSpeed":2})", "OK", {IPC_PTZ_ZOOM, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) {
             PtzZoom z = payload_as<PtzZoom>(r[0]);
             EXPECT_EQ(4, z.zoom);
             EXPECT_EQ(2, z.zoom_speed);
         }},
        {"/5008", R"({"chn":3,"Speed":7})", "OK", {IPC_CAM_PARAM_SET, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) { EXPECT_EQ("6", field_text(param_of(r[0]).value)); }},
        {"/5009", R"({"chnid":3,"ptzCmd":11})", "{\"res\":0}", {IPC_PTZ_CONTROL, IPC_OPLOG},
         [](const std::vector<FakeRequest> &r) { EXPECT_EQ(11, payload_as<PtzControl>(r[0]).command); }},
        {"/5009", R"({"chnid":64,"ptzCmd":11})", kJsonError, {}, nullptr},
        {"/5005", R"({"chn":1})", R"({"status":"Error"})", {IPC_PTZ_STATE}, nullptr}, // 4-byte status: no state
        {"/5005", R"({"chn":1,"streamId":2})", R"({"status":"Error"})", {IPC_PTZ_STREAM_STATE},
         [](const std::vector<FakeRequest> &r) { EXPECT_EQ(2, payload_as<PtzStreamQuery>(r[0]).stream); }},
        {"/5005", R"({"chn":"1"})", kJsonError, {}, nullptr},
        {"/5011", R"({"chnid":-1})", kJsonError, {}, nullptr},
        {"/5012", R"({"chnId":5,"zoomStatus":1,"fanWorkingMode":3,"channelMask":")" + std::string(80, '1') + "\"}",
         "{\"status\":0}", {IPC_PTZ_BASIC_SET},
         [](const std::vector<FakeRequest> &r) {
             PtzBasicRecord b = payload_as<PtzBasicRecord>(r[0]);
             EXPECT_EQ(5, b.chn_id);
             EXPECT_EQ(1, b.options[0]);
             EXPECT_EQ(3, b.options[14]);
             EXPECT_EQ(std::string(64, '1'), field_text(b.channel_mask));
         }},
        {"/5012", R"({"zoomStatus":1})", kJsonError, {}, nullptr},
        {"/6052", R"({"chn":99})", "", {}, nullptr},
    };
    for (const SendCase &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body);
        EXPECT_EQ(c.answer, reply_of(post(c.route, c.body)));
        const std::vector<FakeRequest> reqs = traffic();
        EXPECT_EQ(c.codes, codes_of(reqs));
        if (c.check && codes_of(reqs) == c.codes) c.check(reqs);
    }
}

struct AnswerCase {
    const char *route;
    const char *body;
    int code;
    std::string reply;
    std::string answer;
};

TEST_F(PtzRoutes, RepliesBecomeAnswers)
{
    std::unique_ptr<PtzStateReply> st(new PtzStateReply{});
    st->presets[0] = PtzPresetState{1, {}};
    memset(st->presets[0].name, 'g', sizeof st->presets[0].name); // no zero
    st->tours[1].presets[0] = 3;
    st->tours[1].times[0] = 10;
    st->tours[1].speeds[0] = 4;
    st->tours[1].presets[1] = 0; // ends the tour
    st->tours[1].presets[2] = 9;
    st->patterns[3] = 1;
    st->autoscan_states[4] = 2;
    st->tour_states[1][7] = 5;
    const std::string state = bytes_of(*st);
    PtzBasicRecord basic{};
    basic.status = 0;
    basic.chn_id = 2;
    basic.options[14] = 7;

    const AnswerCase cases[] = {
        {"/6052", R"({"chn":2})", IPC_PTZ_SUPPORT, le32(-1), "-1"},
        {"/6052", R"({"chn":2})", IPC_PTZ_SUPPORT, le32(3), "0"},
        {"/5010", R"({"chnid":3})", IPC_PTZ_LED_STATUS, bytes_of(PtzLedStatus{3, 1}), R"({"chnid":3,"status":1})"},
        {"/5009", R"({"chnid":3,"ptzCmd":1})", IPC_PTZ_CONTROL, le32(7), R"({"res":7})"},
        {"/5012", R"({"chnId":3})", IPC_PTZ_BASIC_SET, le32(-2), R"({"status":-2})"},
        {"/5011", R"({"chnid":2})", IPC_PTZ_BASIC_GET, bytes_of(basic).substr(0, PTZ_BASIC_REPLY_SIZE),
         R"({"status":0,"chnId":2,"zoomStatus":0,"panTiltStatus":0,"presetStatus":0,"patrolStatus":0,"patternStatus":0,)"
         R"("autoScanStatus":0,"presetFreezing":0,"presetSpeed":0,"manualSpeed":0,"patrolRecovering":0,)"
         R"("patrolRecoveryTime":0,"focusMode":0,"minFocusDistance":0,"resumeTime":0,"fanWorkingMode":7})"},
        // A state reply short of the whole state, or empty, is not read.
        {"/5005", R"({"chn":1})", IPC_PTZ_STATE, state.substr(0, state.size() - 1), R"({"status":"Error"})"},
        {"/5005", R"({"chn":1})", IPC_PTZ_STATE, "", R"({"status":"Error"})"},
        {"/5000", R"({"channelId":1,"action":3})", IPC_CAM_PARAM_SET, "", "OK"},
    };
    for (const AnswerCase &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " reply of " + std::to_string(c.reply.size()) + " bytes");
        daemon.on(c.code).reply(c.reply);
        EXPECT_EQ(c.answer, reply_of(post(c.route, c.body)));
    }

    daemon.on(IPC_PTZ_STATE).reply(state);
    json_object *o = json_tokener_parse(reply_of(post("/5005", R"({"chn":1})")).c_str());
    ASSERT_NE(nullptr, o);
    auto at = [&](const char *path) {
        json_object *v = o;
        for (const char *p = path; *p;) {
            const char *dot = strchr(p, '.');
            std::string part(p, dot ? dot - p : strlen(p));
            if (isdigit(static_cast<unsigned char>(part[0]))) v = json_object_array_get_idx(v, std::stoi(part));
            else json_object_object_get_ex(v, part.c_str(), &v);
            if (!v) return std::string("(missing)");
            p = dot ? dot + 1 : p + part.size();
        }
        return std::string(json_object_to_json_string_ext(v, JSON_C_TO_STRING_PLAIN));
    };
    EXPECT_EQ("\"OK\"", at("status"));
    EXPECT_EQ("300", std::to_string(json_object_array_length(json_object_object_get(o, "PRESET"))));
    EXPECT_EQ("{\"enable\":1,\"name\":\"" + std::string(32, 'g') + "\"}", at("PRESET.0"));
    EXPECT_EQ("[[],[{\"preset_id\":3,\"speed\":4,\"timeout\":10}],[],[],[],[],[],[]]", at("TOUR"));
    EXPECT_EQ("{\"enable\":1}", at("PATTERN.3"));
    EXPECT_EQ("[0,0,0,0,2]", at("autoscan_status"));
    EXPECT_EQ("[0,0,0,0,0,0,0,5]", at("tour_status.1"));
    json_object_put(o);
}

// Serial settings, speeds and tours in the settings database.
TEST_F(PtzRoutes, StoredSettings)
{
    const char *port = R"({"cnt":3,"chnid":[3,70,"5",6],"connectType":1,"baudRate":9600,"dataBits":8,"stopBits":1,"parityType":2,"protocol":13,"address":4})";
    EXPECT_EQ("OK", reply_of(post("/6051", port)));
    EXPECT_EQ((std::vector<int>{IPC_PTZ_PORT_CHANGED, IPC_OPLOG}), codes_of(traffic())); // cnt 3: 3, 70, "5"
    PtzPortRecord rec{};
    ASSERT_EQ(0, read_ptz_port(kDb, &rec, 3));
    EXPECT_EQ(9600, rec.baud_rate);
    EXPECT_EQ(13, rec.protocol);
    ASSERT_EQ(0, read_ptz_port(kDb, &rec, 6));
    EXPECT_EQ(0, rec.baud_rate);
    EXPECT_EQ(R"({"camId":3,"connectType":1,"baudRate":9600,"dataBits":8,"stopBits":1,"parityType":2,"protocol":13,"address":4})",
              reply_of(post("/6050", R"({"chnid":3})")));
    EXPECT_EQ(kJsonError, reply_of(post("/6050", R"({"chnid":64})")));

    EXPECT_EQ("OK", reply_of(post("/6054", R"({"camId":2,"panSpeed":4,"tiltSpeed":5,"zoomSpeed":6,"focusSpeed":7})")));
    EXPECT_EQ("OK", reply_of(post("/6054", R"({"camId":2,"panSpeed":1})")));
    EXPECT_EQ(R"({"camId":2,"panSpeed":1,"tiltSpeed":5,"zoomSpeed":6,"focusSpeed":7})",
              reply_of(post("/6053", R"({"camId":2})")));
    traffic();

    // Tours: a shorter tour leaves no stale points behind.
    const char *tour = R"({"chn":2,"tourid":8,"rowsize":3,"path":[{"preset":1,"speed":2,"time":3},{"preset":4,"speed":5,"time":6},{"preset":7,"speed":8,"time":9}]})";
    EXPECT_EQ("OK", reply_of(post("/6055", tour)));
    std::vector<FakeRequest> reqs = traffic();
    ASSERT_EQ((std::vector<int>{IPC_PTZ_TOUR_SET, IPC_OPLOG}), codes_of(reqs));
    PtzTourSet set = payload_as<PtzTourSet>(reqs[0]);
    EXPECT_EQ(8, set.tour);
    EXPECT_EQ(3, set.count);
    EXPECT_EQ(7, set.points[2].preset);
    EXPECT_EQ(9, set.points[2].time);
    EXPECT_EQ(8, set.points[2].speed);
    std::unique_ptr<PtzTourTable> table(new PtzTourTable{});
    ASSERT_EQ(0, read_ptz_tour(kDb, table.get(), 2));
    EXPECT_EQ(4, table->tours[7][1].preset);
    EXPECT_EQ("OK", reply_of(post("/6055", R"({"chn":2,"tourid":8,"rowsize":5,"path":[{"preset":11,"speed":1,"time":1}]})")));
    ASSERT_EQ(0, read_ptz_tour(kDb, table.get(), 2));
    EXPECT_EQ(11, table->tours[7][0].preset);
    EXPECT_EQ(0, table->tours[7][1].preset);
    EXPECT_EQ(0, table->tours[7][2].time);
    EXPECT_EQ(1, payload_as<PtzTourSet>(traffic()[0]).count);

    // Out of range: no answer, nothing stored, nothing sent.
    const struct {
        const char *body;
        bool clear_too; // the clear reads no rows
    } bad_tours[] = {{R"({"chn":2,"tourid":0,"rowsize":1,"path":[{"preset":5}]})", true},
                     {R"({"chn":2,"tourid":9,"rowsize":1,"path":[{"preset":5}]})", true},
                     {R"({"chn":2,"tourid":1,"rowsize":49,"path":[{"preset":5}]})", false},
                     {R"({"chn":2,"tourid":1,"rowsize":-1,"path":[{"preset":5}]})", false},
                     {R"({"chn":64,"tourid":1,"rowsize":1,"path":[{"preset":5}]})", true},
                     {R"({"tourid":1,"rowsize":1,"path":[{"preset":5}]})", true}};
    for (const auto &bad : bad_tours) {
        SCOPED_TRACE(bad.body);
        for (const char *route : {"/6055", "/6056", "/6057"}) {
            if (bad.clear_too || route != std::string("/6057")) {
                EXPECT_EQ("", reply_of(post(route, bad.body)));
            }
        }
        EXPECT_TRUE(traffic().empty());
    }
    EXPECT_EQ("", reply_of(post("/6054", R"({"camId":64,"panSpeed":1})")));
    EXPECT_EQ("", reply_of(post("/6051", R"({"cnt":1,"chnid":[1],"connectType":1,"baudRate":1,"dataBits":9,"stopBits":1,"parityType":0,"protocol":0,"address":0})")));
    ASSERT_EQ(0, read_ptz_tour(kDb, table.get(), 2));
    EXPECT_EQ(11, table->tours[7][0].preset);
    ASSERT_EQ(0, read_ptz_port(kDb, &rec, 1));
    EXPECT_EQ(0, rec.data_bits);
    EXPECT_TRUE(traffic().empty());

    // Clearing a tour; the fisheye tour is sent, not stored.
    EXPECT_EQ("OK", reply_of(post("/6057", R"({"chn":2,"tourid":8})")));
    ASSERT_EQ(0, read_ptz_tour(kDb, table.get(), 2));
    EXPECT_EQ(0, table->tours[7][0].preset);
    reqs = traffic();
    ASSERT_EQ((std::vector<int>{IPC_PTZ_TOUR_CLEAR, IPC_OPLOG}), codes_of(reqs));
    EXPECT_EQ(8, payload_as<PtzTourCommand>(reqs[0]).tour);

    EXPECT_EQ("OK", reply_of(post("/6056", R"({"chn":1,"streamId":3,"tourid":2,"rowsize":2,"path":[{"preset":5,"speed":6,"time":7},{"preset":8,"speed":9,"time":10}]})")));
    reqs = traffic();
    ASSERT_EQ((std::vector<int>{IPC_PTZ_FISH_TOUR_SET, IPC_OPLOG}), codes_of(reqs));
    std::unique_ptr<PtzFishTourSet> fish(new PtzFishTourSet{});
    ASSERT_TRUE(reqs[0].as(fish.get()));
    EXPECT_EQ(1, fish->channel);
    EXPECT_EQ(3, fish->stream);
    EXPECT_EQ(1, fish->tour); // counted from 0
    EXPECT_EQ(8, fish->tours[1].presets[1]);
    EXPECT_EQ(10, fish->tours[1].times[1]);
    EXPECT_EQ(9, fish->tours[1].speeds[1]);
    EXPECT_EQ(0, fish->tours[0].presets[0]);
    ASSERT_EQ(0, read_ptz_tour(kDb, table.get(), 1));
    EXPECT_EQ(0, table->tours[1][0].preset);
}

} // namespace
