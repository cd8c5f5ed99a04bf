// Video content analysis routes end to end: nvrweb.cgi against the fake
// daemon, the settings database of the device root seeded and checked here.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <json-c/json.h>

#include "common/codecs.h"
#include "common/records/vca.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "tests/support/route_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;
const char kJsonErr[] = "{status:\"CGI ERROR\"}";

// A request schedule: day 0 holds one segment [start, end, type].
std::string schedule_json(const char *start, const char *end, int type)
{
    std::string s = "[";
    for (int d = 0; d < 8; d++) {
        s += d ? ",[" : "[";
        if (d == 0) s += std::string("[\"") + start + "\",\"" + end + "\"," + std::to_string(type) + "]";
        s += "]";
    }
    return s + "]";
}

std::string str_at(const std::string &payload, size_t offset)
{
    if (offset >= payload.size()) return std::string();
    return std::string(payload.c_str() + offset, strnlen(payload.c_str() + offset, payload.size() - offset));
}

struct Json {
    json_object *o;
    explicit Json(const std::string &text) : o(json_tokener_parse(text.c_str())) {}
    ~Json() { if (o) json_object_put(o); }
    json_object *at(const char *path) const
    {
        // "a.b.2.c": object keys and array indexes.
        json_object *cur = o;
        std::string p = path;
        size_t start = 0;
        while (cur && start <= p.size()) {
            size_t dot = p.find('.', start);
            std::string part = p.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
            if (json_object_is_type(cur, json_type_array)) cur = json_object_array_get_idx(cur, atoi(part.c_str()));
            else if (!json_object_object_get_ex(cur, part.c_str(), &cur)) cur = nullptr;
            if (dot == std::string::npos) break;
            start = dot + 1;
        }
        return cur;
    }
    int i(const char *path) const { return json_object_get_int(at(path)); }
    std::string s(const char *path) const
    {
        const char *t = json_object_get_string(at(path));
        return t ? t : "";
    }
};

class VcaTest : public RouteTest {
protected:
    // The payload of the one request of `code` the finished request sent.
    std::string sent(int code)
    {
        std::string out;
        int n = 0;
        for (const FakeRequest &r : traffic())
            if (r.code == code) out = r.payload, n++;
        EXPECT_EQ(1, n) << "requests of code " << code;
        return out;
    }
    SmartEventRecord smart_event(int channel, int kind)
    {
        SmartEventRecord rec{};
        EXPECT_EQ(0, read_smart_event(kDb, &rec, channel, kind));
        return rec;
    }
};

// ---- Setters: the record sent to the camera ------------------------------------------------------

TEST_F(VcaTest, SettersSendTheCameraRecord)
{
    struct Row {
        const char *route;
        std::string body;
        int code;
        std::function<void(const std::string &)> check;
    };
    const Row rows[] = {
        // Canvas to camera on a 1920 x 1080 frame; empty position fields keep their place.
        {"/6139",
         R"({"chnid":3,"enable":1,"objtype":2,"width":1920,"height":1080,"copyChn":"0101",
             "line":[{"position":"100;50;300;200","direction":2},{"position":"0;0;0;0"},
                     {"position":"10;20"},{"position":"460;;260;"}]})",
         IPC_VCA_LINE_SET,
         [](const std::string &p) {
             VcaLineRecord r{};
             ASSERT_EQ(sizeof r, p.size());
             memcpy(&r, p.data(), sizeof r);
             EXPECT_EQ(3, r.channel);
             EXPECT_EQ(2, r.objtype);
             EXPECT_STREQ("0101", r.copy_chn);
             const int want[3][4] = {{417, 208, 1252, 831}, {1, 1, 1, 1}, {42, 83, 1, 1}};
             for (int i = 0; i < 3; i++) {
                 const VcaLine &l = r.lines[i];
                 EXPECT_EQ((std::vector<int>{want[i][0], want[i][1], want[i][2], want[i][3]}),
                           (std::vector<int>{l.x1, l.y1, l.x2, l.y2})) << "line " << i;
             }
             EXPECT_EQ(1920, r.lines[3].x1);
             EXPECT_EQ(1, r.lines[3].y1); // the empty field is y1, not shifted
             EXPECT_EQ(1085, r.lines[3].x2);
             EXPECT_EQ(1, r.lines[3].y2);
             EXPECT_EQ(2, r.lines[0].direction);
         }},
        // Coordinates far beyond the canvas are clamped to the frame.
        {"/6139",
         R"({"chnid":1,"width":2147483647,"height":2147483647,
             "line":[{"position":"2147483647;2147483647;-2147483648;5"}]})",
         IPC_VCA_LINE_SET,
         [](const std::string &p) {
             VcaLineRecord r{};
             ASSERT_EQ(sizeof r, p.size());
             memcpy(&r, p.data(), sizeof r);
             EXPECT_EQ(2147483647, r.lines[0].x1);
             EXPECT_EQ(2147483647, r.lines[0].y1);
             EXPECT_EQ(1, r.lines[0].x2);
         }},
        // Region type 1: only polygon 0 of each area, at area + 76 + 4 / + 68.
        {"/6133",
         R"({"chnid":2,"type":1,"enable":1,"sensitivity":7,"region":"ff00","regionType":1,"regionScene":3,
             "regionInfo":[{"enable":1,"objType":2,"time":9,"region":[{"polygonX":"1,2","polygonY":"3,4"},
                            {"polygonX":"5","polygonY":"6"},{"polygonX":"7","polygonY":"8"}]},
                           5,
                           {"enable":1,"region":[{"polygonX":"9","polygonY":"10"}]}]})",
         IPC_VCA_REGION1_SET,
         [](const std::string &p) {
             ASSERT_EQ(sizeof(VcaAnalysisRecord), p.size());
             const size_t area0 = 572, area2 = 572 + 2 * 976;
             EXPECT_EQ(7, *reinterpret_cast<const int32_t *>(p.data() + 24));
             EXPECT_EQ("ff00", str_at(p, 40));
             EXPECT_EQ(1, *reinterpret_cast<const int32_t *>(p.data() + 564));
             EXPECT_EQ(3, *reinterpret_cast<const int32_t *>(p.data() + 568));
             EXPECT_EQ(9, *reinterpret_cast<const int32_t *>(p.data() + area0 + 8));
             EXPECT_EQ(2, *reinterpret_cast<const int32_t *>(p.data() + area0 + 12));
             EXPECT_EQ("1,2", str_at(p, area0 + 76 + 4));
             EXPECT_EQ("3,4", str_at(p, area0 + 76 + 68));
             EXPECT_EQ("", str_at(p, area0 + 76 + 192 + 4));
             EXPECT_EQ("", str_at(p, area0 + 76 + 384 + 4));
             EXPECT_EQ("9", str_at(p, area2 + 76 + 4));
             EXPECT_EQ(0, *reinterpret_cast<const int32_t *>(p.data() + 572 + 976)); // the 5 is skipped
         }},
        // Region type 2: up to five polygons, the last one ending the area.
        {"/6135",
         R"({"chnid":2,"type":2,"ignore_time":11,"time":99,"regionType":2,"regionInfo":[{"region":[
             {"polygonX":"a"},{"polygonX":"b"},{"polygonX":"c"},{"polygonX":"d"},
             {"polygonX":"e","polygonY":")" + std::string(80, 'y') + R"("},{"polygonX":"f"}]}]})",
         IPC_VCA_MOTION_SET,
         [](const std::string &p) {
             ASSERT_EQ(sizeof(VcaAnalysisRecord), p.size());
             EXPECT_EQ(11, *reinterpret_cast<const int32_t *>(p.data() + 340));
             EXPECT_EQ(0, *reinterpret_cast<const int32_t *>(p.data() + 28)); // "time" is loitering's
             for (int j = 0; j < 5; j++) EXPECT_EQ(std::string(1, char('a' + j)), str_at(p, 572 + 76 + 192 * j + 4));
             EXPECT_EQ(std::string(63, 'y'), str_at(p, 572 + 76 + 192 * 4 + 68));
             EXPECT_EQ(0, p[572 + 975]);
             EXPECT_EQ(0, p[572 + 976]); // area 1 untouched
         }},
        {"/6141", R"({"chnid":4,"type":5,"time":30,"size":2,"ignore_time":8})", IPC_VCA_LOITER_SET,
         [](const std::string &p) {
             EXPECT_EQ(30, *reinterpret_cast<const int32_t *>(p.data() + 28));
             EXPECT_EQ(2, *reinterpret_cast<const int32_t *>(p.data() + 32));
             EXPECT_EQ(0, *reinterpret_cast<const int32_t *>(p.data() + 340));
         }},
        {"/6143", R"({"chnid":4,"type":6,"enable":1,"tracks":3,"region":"x"})", IPC_VCA_HUMAN_SET,
         [](const std::string &p) {
             EXPECT_EQ(3, *reinterpret_cast<const int32_t *>(p.data() + 36));
             EXPECT_EQ("", str_at(p, 40));
         }},
        {"/6171",
         R"({"chnid":5,"left_enable":1,"remove_enable":1,"min_time":12,"regionType":1,
             "regionInfo":[{"leftEnable":1,"removeEnable":1,"region":[{"polygonX":"p","polygonY":"q"}]}]})",
         IPC_VCA_LEFT_REMOVED_SET,
         [](const std::string &p) {
             ASSERT_EQ(sizeof(VcaLeftRemovedRecord), p.size());
             EXPECT_EQ(12, *reinterpret_cast<const int32_t *>(p.data() + 16));
             EXPECT_EQ(1, *reinterpret_cast<const int32_t *>(p.data() + 560));
             EXPECT_EQ(1, *reinterpret_cast<const int32_t *>(p.data() + 564));
             EXPECT_EQ("p", str_at(p, 560 + 80));
             EXPECT_EQ("q", str_at(p, 560 + 144));
         }},
        // Object box converted with "width" and "height"; a missing frame makes every value 1.
        {"/6147",
         R"({"chnid":1,"fps":25,"width":1920,"height":1080,"position":[{"minStartX":100,"minStartY":50,
             "minWidth":300,"minHeight":200,"maxStartX":460,"maxStartY":260,"maxWidth":0,"maxHeight":9999999999}]})", // huge: clamped
         IPC_VCA_SETTINGS_SET,
         [](const std::string &p) {
             VcaSettingsRecord r{};
             ASSERT_EQ(sizeof r, p.size());
             memcpy(&r, p.data(), sizeof r);
             EXPECT_EQ(25, r.fps);
             EXPECT_EQ((std::vector<int>{417, 208, 1252, 831, 1920, 1080, 1, 1080}),
                       (std::vector<int>{r.box.min_x, r.box.min_y, r.box.min_width, r.box.min_height, r.box.max_x,
                                         r.box.max_y, r.box.max_width, r.box.max_height}));
         }},
        // The direct variant's positions pass unconverted.
        {"/6195",
         R"({"chnid":1,"width":1920,"height":1080,"copyChn":"1",
             "position":[{"minStartX":100},{"maxHeight":7},{},{},{},{},{},{},{"minStartX":5}]})",
         IPC_VCA_SETTINGS2_SET,
         [](const std::string &p) {
             VcaSettings2Record r{};
             ASSERT_EQ(sizeof r, p.size());
             memcpy(&r, p.data(), sizeof r);
             EXPECT_EQ(100, r.min_x[0]);
             EXPECT_EQ(7, r.max_height[1]);
             EXPECT_EQ(1920, r.width);
             EXPECT_STREQ("1", r.copy_chn);
         }},
        // Line type 2 carries the segments of each line.
        {"/6193",
         R"({"chnid":1,"sensitivity":4,"width":1920,"height":1080,"lineType":2,"lineScene":1,
             "line":[{"enable":1,"objtype":3,"direction":1,"position":"100;50;300;200",
                      "line":[{"position":"0;0;460;260","direction":2}]}]})",
         IPC_VCA_LINE2_SET,
         [](const std::string &p) {
             VcaLine2Record r{};
             ASSERT_EQ(sizeof r, p.size());
             memcpy(&r, p.data(), sizeof r);
             EXPECT_EQ(2, r.line_type);
             EXPECT_EQ(417, r.lines[0].x1);
             EXPECT_EQ(831, r.lines[0].y2);
             EXPECT_EQ(3, r.lines[0].objtype);
             EXPECT_EQ(1, r.lines[0].segments[0].x1);
             EXPECT_EQ(1920, r.lines[0].segments[0].x2);
             EXPECT_EQ(1080, r.lines[0].segments[0].y2);
             EXPECT_EQ(2, r.lines[0].segments[0].direction);
         }},
        // People counting positions are stored as the page sends them.
        {"/6145",
         R"({"chnid":2,"width":1920,"lineEnable":[1,0,0,0],"direction":[2,"x"],"position":["100;50;300;200"],
             "alarmThreshold":[[1,2,3,4,5]],"totalAlarmThreshold":[9],"osdType":3})",
         IPC_VCA_PEOPLE_SET,
         [](const std::string &p) {
             std::unique_ptr<VcaPeopleRecord> r(new VcaPeopleRecord());
             ASSERT_EQ(sizeof *r, p.size());
             memcpy(r.get(), p.data(), sizeof *r);
             EXPECT_EQ(1, r->lines[0].line_enable);
             EXPECT_EQ(2, r->lines[0].direction);
             EXPECT_EQ(0, r->lines[1].direction);
             EXPECT_EQ((std::vector<int>{100, 50, 300, 200}),
                       (std::vector<int>{r->lines[0].start_x, r->lines[0].start_y, r->lines[0].stop_x, r->lines[0].stop_y}));
             EXPECT_EQ(4, r->lines[0].alarm_threshold[3]);
             EXPECT_EQ(9, r->total_alarm_threshold[0]);
             EXPECT_EQ(3, r->osd_type);
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.route);
        daemon.on(row.code).reply_int(0);
        EXPECT_EQ("OK", post(row.route, row.body).body());
        row.check(sent(row.code));
    }
}

TEST_F(VcaTest, SettersAnswerTheCameraStatusAndTheirErrorReplies)
{
    struct Row {
        const char *route;
        const char *body;
        int code;
        const char *timeout; // the answer when the camera stays silent
        const char *garbage; // the answer to unparsable text ("" none)
    };
    const Row rows[] = {
        {"/6133", R"({"chnid":1,"type":0})", IPC_VCA_REGION0_SET, "CGI ERROR", "CGI ERROR"},
        {"/6135", R"({"chnid":1,"type":2})", IPC_VCA_MOTION_SET, "CGI ERROR", "CGI ERROR"},
        {"/6137", R"({"chnid":1,"type":3})", IPC_VCA_TAMPER_SET, "CGI ERROR", "CGI ERROR"},
        {"/6139", R"({"chnid":1})", IPC_VCA_LINE_SET, "CGI ERROR", "CGI ERROR"},
        {"/6141", R"({"chnid":1,"type":5})", IPC_VCA_LOITER_SET, "CGI ERROR", "CGI ERROR"},
        {"/6143", R"({"chnid":1,"type":6})", IPC_VCA_HUMAN_SET, "CGI ERROR", "CGI ERROR"},
        {"/6193", R"({"chnid":1})", IPC_VCA_LINE2_SET, "CGI ERROR", "CGI ERROR"},
        {"/6147", R"({"chnid":1})", IPC_VCA_SETTINGS_SET, kJsonErr, ""},
        {"/6171", R"({"chnid":1})", IPC_VCA_LEFT_REMOVED_SET, kJsonErr, ""},
        {"/6195", R"({"chnid":1})", IPC_VCA_SETTINGS2_SET, kJsonErr, ""},
        {"/6154", R"({"channel":1,"line":2,"resetdb":1})", IPC_VCA_PEOPLE_CLEAR, kJsonErr, ""},
        {"/6131", R"({"chnid":1,"fishmount":2})", IPC_FISHEYE_MODE_SET, kJsonErr, kJsonErr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.route);
        daemon.on(row.code).reply_int(0);
        EXPECT_EQ("OK", post(row.route, row.body).body());
        daemon.on(row.code).reply_int(3);
        EXPECT_EQ("FAILED", post(row.route, row.body).body());
        daemon.on(row.code).silent();
        EXPECT_EQ(row.timeout, reply_of(post_fast(row.route, row.body)));
        EXPECT_EQ(row.garbage, reply_of(post(row.route, "{nope")));
        traffic();
    }
    // The setters leave the channel to the camera.
    daemon.on(IPC_VCA_TAMPER_SET).reply_int(1);
    EXPECT_EQ("FAILED", post("/6137", R"({"chnid":99,"type":3})").body());
}

// ---- Getters ------------------------------------------------------------------------------------

TEST_F(VcaTest, GettersAnswerTheCameraRecord)
{
    VcaLineRecord line{};
    line.channel = 3;
    line.enable = 1;
    line.width = 1920;
    line.height = 1080;
    line.lines[0] = VcaLine{417, 208, 1252, 831, 2, {}};
    line.lines[1] = VcaLine{0, 0, 2147483647, -5, 0, {}};
    line.objtype = 4;
    daemon.on(IPC_VCA_LINE_GET).reply_record(line);
    Json l(post("/6138", R"({"channel":3})").body());
    EXPECT_EQ("100;50;300;200", l.s("line.0.position"));
    EXPECT_EQ("0;0;460;0", l.s("line.1.position")); // not raised to 1, clamped to the canvas
    EXPECT_EQ(2, l.i("line.0.direction"));
    EXPECT_EQ(4, l.i("objtype"));
    EXPECT_EQ(1920, l.i("width"));
    EXPECT_EQ(le32(3), sent(IPC_VCA_LINE_GET));

    VcaLine2Record line2{};
    line2.channel = 7;
    line2.width = 1920;
    line2.height = 1080;
    line2.lines[2].enable = 1;
    line2.lines[2].x1 = 417, line2.lines[2].y1 = 208, line2.lines[2].x2 = 1252, line2.lines[2].y2 = 831;
    daemon.on(IPC_VCA_LINE2_GET).reply_record(line2);
    Json l2(post("/6192", R"({"chnid":7})").body());
    EXPECT_EQ(7, l2.i("chnid"));
    EXPECT_EQ("100;50;300;200", l2.s("line.2.position"));
    EXPECT_EQ("0;0;0;0", l2.s("line.0.position"));

    VcaSettingsRecord set{};
    set.width = 1920, set.height = 1080, set.vca_type = 2;
    set.box = VcaBox{417, 208, 1252, 831, 0, 0, 1920, 1080};
    daemon.on(IPC_VCA_SETTINGS_GET).reply_record(set);
    Json s(post("/6146", R"({"channel":1})").body());
    EXPECT_EQ(100, s.i("position.0.minStartX"));
    EXPECT_EQ(200, s.i("position.0.minHeight"));
    EXPECT_EQ(1, s.i("position.0.maxStartX")); // raised to 1
    EXPECT_EQ(260, s.i("position.0.maxHeight"));
    EXPECT_EQ(2, s.i("vcaType"));

    std::unique_ptr<VcaPeopleRecord> people(new VcaPeopleRecord());
    people->width = 1920, people->height = 1080;
    people->osd_type = 0x1203;
    people->lines[0].line_enable = 1;
    people->lines[0].start_x = 417, people->lines[0].start_y = 208, people->lines[0].stop_x = 1252,
    people->lines[0].stop_y = 831;
    daemon.on(IPC_VCA_PEOPLE_GET).reply_record(*people);
    Json p(post("/6144", R"({"channel":1})").body());
    EXPECT_EQ(3, p.i("osdType"));
    EXPECT_EQ("100;50;300;200", p.s("position.0"));
    EXPECT_EQ("1;1;1;1", p.s("position.1"));
    EXPECT_EQ(1252, p.i("stopX.0"));
    EXPECT_EQ(1, p.i("lineEnable.0"));

    std::unique_ptr<VcaAnalysisRecord> a(new VcaAnalysisRecord());
    a->enable = 1, a->sensitivity = 5, a->ignore_time = 6, a->tracks = 2;
    memset(a->region, 'r', sizeof a->region); // no zero: read within the field
    COPY_TEXT(a->polygon_x, "1,2");
    daemon.on(IPC_VCA_MOTION_GET).reply_record(*a);
    Json m(post("/6134", R"({"channel":1})").body());
    EXPECT_EQ(std::string(300, 'r'), m.s("region"));
    EXPECT_EQ(6, m.i("ignore_time"));
    EXPECT_EQ("1,2", m.s("polygonX"));
    daemon.on(IPC_VCA_HUMAN_GET).reply_record(*a);
    EXPECT_EQ(R"({"enable":1,"tracks":2})", post("/6142", R"({"channel":1})").body());
    daemon.on(IPC_VCA_TAMPER_GET).reply_record(*a);
    EXPECT_EQ(R"({"enable":1,"sensitivity":5})", post("/6136", R"({"channel":1})").body());
}

TEST_F(VcaTest, GettersCheckTheChannel)
{
    struct Row {
        const char *route;
        const char *body;
        const char *answer;
    };
    const Row rows[] = {
        {"/6132", R"({"channel":64,"type":0})", kJsonErr},
        {"/6134", R"({"channel":-1})", kJsonErr},
        {"/6138", R"({})", kJsonErr},
        {"/6146", R"({"channel":"1"})", kJsonErr},
        {"/6172", R"({"channel":70})", kJsonErr},
        {"/6192", R"({"chnid":64})", kJsonErr},
        {"/6192", "{nope", kJsonErr},
        {"/6194", R"({"chnid":1})", kJsonErr}, // it reads "channel"
        {"/6154", R"({"channel":64})", kJsonErr},
        {"/6134", "{nope", ""},
        {"/6130", R"({"id":64})", ""},
        {"/6090", "64", ""},
        {"/6090", "abc", ""},
        {"/6092", "-1", ""},
        {"/6096", R"({"chnid":64})", kJsonErr},
    };
    for (const Row &row : rows) EXPECT_EQ(row.answer, reply_of(post(row.route, row.body))) << row.route << row.body;
    EXPECT_EQ(0u, daemon.count());
    // The support query leaves the channel to the daemon.
    VcaSupportReply sup{};
    sup.support = 1, sup.type = 2;
    daemon.on(IPC_VCA_SUPPORT).reply_record(sup);
    EXPECT_EQ(R"({"support":1,"type":2})", post("/6157", R"({"channel":99})").body());
    EXPECT_EQ(99, FakeRequest(traffic().at(0)).int_at(0));
}

// ---- Smart event actions -----------------------------------------------------------------------

TEST_F(VcaTest, DialogStoresActionsCopiesAndNotifies)
{
    // Channel 1's stored audible schedule stays when the dialog has none.
    std::unique_ptr<WeekSchedule> kept(new WeekSchedule());
    get_schedule_by_json(Json(R"({"s":)" + schedule_json("01:00", "02:00", 1) + "}").o, "s", kept.get());
    char table[64];
    vca_table_name(2, "audible_sche", table, sizeof table);
    ASSERT_EQ(0, write_alarm_action_schedule(kDb, table, kept.get(), 1));

    daemon.on(IPC_VCA_MOTION_SET).reply_int(0);
    const std::string mask = std::string(63, '0') + "1";
    const std::string body = R"({"chnid":1,"type":2,"copyChn":"0001","dialog":{"chnid":1,"interval":15,"triChannels":")" +
                             mask + R"(","email":)" + schedule_json("08:00", "18:00", 2) +
                             R"(,"whiteInfo":[{"chnid":1,"mode":2,"time":30}]}})";
    EXPECT_EQ("OK", post("/6135", body).body());

    const SmartEventRecord rec = smart_event(1, 2);
    EXPECT_EQ(15, rec.actions.interval);
    EXPECT_EQ(1ULL << 63, rec.actions.channel_bits);
    // Copied to channel 3 with the schedules.
    EXPECT_EQ(15, smart_event(3, 2).actions.interval);
    std::unique_ptr<WeekSchedule> s(new WeekSchedule());
    vca_table_name(2, "mail_sche", table, sizeof table);
    ASSERT_EQ(0, read_alarm_action_schedule(kDb, table, s.get(), 3));
    EXPECT_STREQ("08:00", s->days[0].segments[0].start_time);
    vca_table_name(2, "audible_sche", table, sizeof table);
    ASSERT_EQ(0, read_alarm_action_schedule(kDb, table, s.get(), 1));
    EXPECT_STREQ("01:00", s->days[0].segments[0].start_time);

    // 1412 with the copy targets and the channel itself, before the camera request.
    std::vector<FakeRequest> t = traffic();
    ASSERT_EQ(2u, t.size());
    EXPECT_EQ(IPC_SMART_EVENTS_CHANGED, t[0].code);
    uint64_t bits = 0;
    ASSERT_TRUE(t[0].as(&bits));
    EXPECT_EQ((1ULL << 1) | (1ULL << 3), bits);
    EXPECT_EQ(IPC_VCA_MOTION_SET, t[1].code);

    // A dialog whose channel is out of range saves nothing and tells nobody.
    EXPECT_EQ("OK", post("/6135", R"({"chnid":1,"type":2,"dialog":{"chnid":64,"interval":99}})").body());
    EXPECT_EQ(std::vector<int>{IPC_VCA_MOTION_SET}, codes_of(traffic()));
    // The line setters save their dialog with kind 4 whatever "type" says.
    daemon.on(IPC_VCA_LINE_SET).reply_int(0);
    EXPECT_EQ("OK", post("/6139", R"({"chnid":5,"type":0,"dialog":{"chnid":5,"interval":44}})").body());
    EXPECT_EQ(44, smart_event(5, VCA_KIND_LINE).actions.interval);
    EXPECT_EQ(0, smart_event(5, 0).actions.interval);
}

TEST_F(VcaTest, ActionRoutesTable)
{
    struct Row {
        const char *route;
        std::string body;
        std::string answer;
        std::vector<int> codes;
    };
    const std::string bit63 = std::string(63, '0') + "1";
    const Row rows[] = {
        {"/6148", R"({"chnid":1,"event":9})", kJsonErr, {}},
        {"/6148", R"({"chnid":64,"event":1})", kJsonErr, {}},
        {"/6148", R"({"event":1})", kJsonErr, {}},
        {"/6149", R"({"chnid":1,"event":-1})", "CGI ERROR", {}},
        {"/6149", R"({"chnid":2,"event":8,"interval":5,"triChannels":")" + bit63 + "\"}", "OK", {IPC_SMART_EVENTS_CHANGED}},
        {"/6150", R"({"channel":64,"event":1,"type":0,"triAlarms":3})", "ERROT", {}},
        {"/6150", R"({"channel":1,"event":9,"type":0,"triAlarms":3})", "ERROT", {}},
        {"/6150", R"({"channel":1,"event":3,"type":0,"triAlarms":3})", "OK", {IPC_SMART_EVENTS_CHANGED}},
        {"/6150", R"({"channel":1,"event":3,"type":1,"triChannels":")" + bit63 + "\"}", "OK", {IPC_SMART_EVENTS_CHANGED}},
        {"/6151", R"({"channel":64,"type":1})", "CGI ERROR", {}},
        {"/6151", R"({"channel":1,"type":3})",
         R"({"chnid":1,"enable":0,"triAlarms":3,"interval":0,"email_interval":0,"email_pic_enable":0,"tri_channels_pic":"","triChannels":")" +
             bit63 + "\"}",
         {}},
        {"/6148", "{nope", kJsonErr, {}},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(row.answer, reply_of(post(row.route, row.body))) << row.route << row.body;
        EXPECT_EQ(row.codes, codes_of(traffic())) << row.route << row.body;
    }
    EXPECT_EQ(1ULL << 63, smart_event(2, 8).actions.channel_bits);
    EXPECT_EQ(5, smart_event(2, 8).actions.interval);

    Json a(post("/6148", R"({"chnid":2,"event":8})").body());
    EXPECT_EQ(8, a.i("action.0.event"));
    EXPECT_EQ(5, a.i("action.0.interval"));
    EXPECT_EQ(8, (int)json_object_array_length(a.at("action.0.effective")));
    EXPECT_NE(nullptr, a.at("action.0.ptzParams"));
    EXPECT_EQ(nullptr, a.at("action.0.httpSche"));
}

TEST_F(VcaTest, PeopleCountingEnablesItsEventFromTheLines)
{
    daemon.on(IPC_VCA_PEOPLE_SET).reply_int(0);
    EXPECT_EQ("OK", post("/6145", R"({"chnid":3,"lineEnable":[0,0,1,0]})").body());
    EXPECT_EQ(1, smart_event(3, VCA_KIND_PEOPLE).enable);
    EXPECT_EQ("OK", post("/6145", R"({"chnid":3,"lineEnable":[0,0,0,0]})").body());
    EXPECT_EQ(0, smart_event(3, VCA_KIND_PEOPLE).enable);
    traffic();
    // Without a channel the event record cannot be read: nothing is sent.
    EXPECT_EQ("CGI ERROR", post("/6145", R"({"lineEnable":[1]})").body());
    EXPECT_EQ("CGI ERROR", post("/6145", "{nope").body());
    EXPECT_TRUE(traffic().empty());
}

// ---- Camera-side detectors and fisheye -------------------------------------------------------------

TEST_F(VcaTest, DetectorSettersValidateStoreAndNotify)
{
    struct Row {
        const char *route;
        std::string body;
        bool accepted;
    };
    const std::string io = R"("camId":4,"enable":1,"type":2,"triActions":5,"triChannels":")" + std::string(64, '1') + "\"";
    const std::string vol = R"("camId":4,"enable":0,"type":1,"duration":2,"onEvent":3,"offEvent":4,"ongoingEvent":5,"triActions":6,"triChannels":"1")";
    const Row rows[] = {
        {"/6091", "{" + io + "}", true},
        {"/6091", R"({"camId":4,"enable":2,"type":2,"triActions":5,"triChannels":"1"})", false},
        {"/6091", R"({"camId":64,"enable":1,"type":2,"triActions":5,"triChannels":"1"})", false},
        {"/6091", R"({"camId":4,"enable":1,"type":-1,"triActions":5,"triChannels":"1"})", false},
        {"/6091", R"({"camId":4,"enable":1,"type":1,"triChannels":"1"})", false},
        {"/6091", R"({"camId":4,"enable":1,"type":1,"triActions":5,"triChannels":1})", false},
        {"/6093", "{" + vol + R"(,"volume":7})", true},
        {"/6093", "{" + vol + R"(,"volume":-1})", false},
        {"/6093", "{" + vol + "}", false},
        {"/6093", "nope", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.route + row.body);
        ProcResult r = post(row.route, row.body);
        std::vector<FakeRequest> t = traffic();
        if (!row.accepted) {
            EXPECT_EQ("", r.answer());
            EXPECT_TRUE(t.empty());
            continue;
        }
        EXPECT_EQ("OK", r.body());
        ASSERT_EQ(2u, t.size());
        EXPECT_EQ(IPC_OPLOG, t[1].code);
        if (std::string(row.route) == "/6091") {
            CameraIoSet s{};
            ASSERT_TRUE(t[0].as(&s));
            EXPECT_EQ(4, s.channel);
            EXPECT_EQ(2, s.type);
            DetectorRecord d{};
            ASSERT_EQ(0, read_cameraio(kDb, &d, 4));
            EXPECT_EQ(~0ULL, d.channel_bits);
            EXPECT_EQ(5, d.tri_actions);
        } else {
            VolumeDetectSet s{};
            ASSERT_TRUE(t[0].as(&s));
            EXPECT_EQ(7, s.v.volume);
            EXPECT_EQ(5, s.v.ongoing_event);
            DetectorRecord d{};
            ASSERT_EQ(0, read_volumedetect(kDb, &d, 4));
            EXPECT_EQ(1ULL, d.channel_bits);
        }
    }
}

TEST_F(VcaTest, DetectorAndFisheyeAnswers)
{
    CameraIoReply io{};
    io.channel = 2, io.enable = 1, io.type = 3, io.tri_actions = 4;
    memset(io.tri_channels, '1', sizeof io.tri_channels); // no zero
    daemon.on(IPC_CAMERAIO_GET).reply_record(io);
    EXPECT_EQ(R"({"camId":2,"enable":1,"type":3,"triActions":4,"triChannels":")" + std::string(65, '1') + "\"}",
              post("/6090", "2").body());
    EXPECT_EQ(le32(2), traffic().at(0).payload);

    FisheyeSupport sup{2, 1, 2, 3, 4};
    daemon.on(IPC_FISHEYE_CHECK).reply_record(sup);
    EXPECT_EQ(R"({"support":0,"transfer":1,"install":2,"display":3,"streamCnt":4})",
              post("/6196", R"({"ddns":")" + std::string(100, 'd') + R"(","port":80})").body());
    FisheyeCamera cam{};
    ASSERT_TRUE(FakeRequest(traffic().at(0)).as(&cam));
    EXPECT_EQ(std::string(63, 'd'), std::string(cam.ddns));
    EXPECT_EQ(80, cam.port);
    sup.support = 1;
    daemon.on(IPC_FISHEYE_CHECK).reply_record(sup);
    EXPECT_EQ(1, Json(post("/6196", "{}").body()).i("support"));
    traffic();

    daemon.on(IPC_FISHEYE_SET).reply_int(-3);
    EXPECT_EQ(R"({"res":-3})", post("/6197", R"({"install":2})").body());
    FisheyeCameraSet set{};
    ASSERT_TRUE(FakeRequest(traffic().at(0)).as(&set));
    EXPECT_EQ(2, set.install);

    FisheyeMode mode{5, 1, 2, 3, 0};
    daemon.on(IPC_FISHEYE_MODE_GET).reply_record(mode);
    EXPECT_EQ(R"({"chnid":5,"result":0,"fishmount":1,"fishdisplay":2,"fishcorrect":3})",
              post("/6130", R"({"id":5})").body());
    daemon.on(IPC_FISHEYE_MODE_GET).empty();
    EXPECT_EQ("CGI ERROR", post_fast("/6130", R"({"id":5})").body());
}

// ---- Regional people counting ------------------------------------------------------------------------

TEST_F(VcaTest, RegionalCountingStoresActionsPerRegion)
{
    daemon.on(IPC_REGIONAL_PCNT_SET).reply_int(0);
    const std::string all = std::string(64, '1');
    const std::string body =
        R"({"chnid":2,"sensitivity":3,"minObjX":4,"maxObjHeight":9,"copyChn":"00001",
            "regional":[{"enable":1,"polygonX":")" + std::string(80, 'x') + R"(","maxStayValue":7}],
            "effective":[[["00:00","23:59"]]],
            "action":[{"interval":11,"triChannels":")" + all + R"(","audible":)" + schedule_json("01:00", "02:00", 1) +
        R"(,"whiteInfo":[{"chnid":2,"mode":1,"time":5}]},{"interval":12},"stop",{"interval":14}]})";
    EXPECT_EQ(R"({"res":0})", post("/6097", body).body());

    RegionalPcntRecord *sent_rec = nullptr;
    std::string payload = sent(IPC_REGIONAL_PCNT_SET);
    ASSERT_EQ(sizeof(RegionalPcntRecord), payload.size());
    sent_rec = reinterpret_cast<RegionalPcntRecord *>(&payload[0]);
    EXPECT_EQ(2, sent_rec->channel);
    EXPECT_EQ(4, sent_rec->box.min_x);
    EXPECT_EQ(9, sent_rec->box.max_height);
    EXPECT_EQ(std::string(63, 'x'), std::string(sent_rec->regions[0].polygon_x));
    EXPECT_EQ(7, sent_rec->regions[0].max_stay_value);
    EXPECT_STREQ("00:00", sent_rec->effective.days[0].segments[0].start_time);

    SmartEventRecord ev{};
    for (int r = 0; r < 4; r++) {
        ASSERT_EQ(0, read_regional_pcnt_event(kDb, &ev, 2, r));
        EXPECT_EQ(r == 0 ? 11 : r == 1 ? 12 : 0, ev.actions.interval) << "region " << r;
    }
    ASSERT_EQ(0, read_regional_pcnt_event(kDb, &ev, 2, 0));
    EXPECT_EQ(~0ULL, ev.actions.channel_bits);
    // Copied to channel 4 with the schedule and the white light.
    ASSERT_EQ(0, read_regional_pcnt_event(kDb, &ev, 4, 0));
    EXPECT_EQ(11, ev.actions.interval);
    std::unique_ptr<WeekSchedule> s(new WeekSchedule());
    ASSERT_EQ(0, read_regional_pcnt_schedule(kDb, RPCNT_AUDIBLE, s.get(), 4, 0));
    EXPECT_STREQ("01:00", s->days[0].segments[0].start_time);
    std::unique_ptr<WhiteLedParams> w(new WhiteLedParams());
    ASSERT_EQ(0, read_whiteled_params(kDb, "regional_pcnt_whiteled_params", w.get(), 4));
    EXPECT_EQ(1, w->count);

    // A channel outside 0..63 stores nothing but still asks the camera.
    EXPECT_EQ(R"({"res":0})", post("/6097", R"({"chnid":64,"action":[{"interval":99}]})").body());
    EXPECT_EQ(std::vector<int>{IPC_REGIONAL_PCNT_SET}, codes_of(traffic()));
    EXPECT_EQ(kJsonErr, post("/6097", "{nope").body());

    // The reply lists the stored actions of the camera's channel.
    std::unique_ptr<RegionalPcntRecord> reply(new RegionalPcntRecord());
    reply->channel = 2;
    reply->regions[1].enable = 1;
    daemon.on(IPC_REGIONAL_PCNT_GET).reply_record(*reply);
    Json g(post("/6096", R"({"chnid":2})").body());
    EXPECT_EQ(2, g.i("chnid"));
    EXPECT_EQ(1, g.i("regional.1.enable"));
    EXPECT_EQ(11, g.i("action.0.interval"));
    EXPECT_EQ(12, g.i("action.1.interval"));
    EXPECT_EQ(all, g.s("action.0.triChannels"));
    EXPECT_EQ("01:00", g.s("action.0.audible.0.0.startTime"));
    // A reply naming a channel outside 0..63 reads nothing.
    reply->channel = 99;
    daemon.on(IPC_REGIONAL_PCNT_GET).reply_record(*reply);
    EXPECT_EQ(kJsonErr, post("/6096", R"({"chnid":2})").body());
}

} // namespace
