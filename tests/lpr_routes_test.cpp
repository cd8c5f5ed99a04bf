// Licence plate recognition routes end to end: the list events' actions in
// the settings database, the plate lists in their own file, and the
// camera's settings and wildcards through the fake daemon.
#include <cstring>
#include <memory>
#include <string>

#include "common/records/event_schedule.h"
#include "common/records/lpr.h"
#include "common/settings.h"
#include "tests/support/lpr_osd_fixture.h"

namespace {

const char kDb[] = QXDB_PATH;
const char kAnprDb[] = QXDB_ANPR_PATH;
const std::string kJsonError = "{status:\"CGI ERROR\"}";

// A request schedule: day 0 holds one segment.
std::string one_segment(const char *start, const char *end)
{
    std::string s = "[";
    for (int d = 0; d < 8; d++) {
        s += d ? ",[" : "[";
        if (d == 0) s += std::string("[\"") + start + "\",\"" + end + "\",1]";
        s += "]";
    }
    return s + "]";
}

class LprTest : public LprOsdTest {
protected:
    AnprEventRecord event(int channel, int mode)
    {
        AnprEventRecord rec{};
        EXPECT_EQ(0, read_anpr_event(kDb, &rec, channel, mode));
        return rec;
    }
    std::string first_start(int (*read)(const char *, WeekSchedule *, int, int), int channel, int mode)
    {
        auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
        read(kDb, s.get(), channel, mode);
        return s->days[0].segments[0].start_time;
    }
    std::string named_start(int (*read)(const char *, const char *, WeekSchedule *, int), const char *table,
                            int channel)
    {
        auto s = std::unique_ptr<WeekSchedule>(new WeekSchedule());
        read(kDb, table, s.get(), channel);
        return s->days[0].segments[0].start_time;
    }
    // The stored list type of a plate, "-" when none is stored.
    std::string stored(const std::string &plate)
    {
        AnprListEntry e{};
        int rc = read_anpr_list_plate(kAnprDb, plate.c_str(), &e);
        EXPECT_GE(rc, 0);
        return rc == 0 ? field_text(e.type) : "-";
    }
    void add(const char *type, const char *plate)
    {
        AnprListEntry e{};
        snprintf(e.type, sizeof e.type, "%s", type);
        snprintf(e.plate, sizeof e.plate, "%s", plate);
        ASSERT_EQ(0, write_anpr_list(kAnprDb, &e));
    }
};

TEST_F(LprTest, ListEventActionsByMode)
{
    const std::string all(64, '1');
    const std::string dialog = "{\"triChannels\":\"" + all + "\",\"triAlarms\":3,\"audioId\":2,\"effective\":" +
                               one_segment("01:00", "02:00") + ",\"white\":" + one_segment("03:00", "04:00") +
                               ",\"httpSche\":" + one_segment("05:00", "06:00") + "}";
    walk({
        {"mode 3", "/6180", "{\"chnid\":1,\"mode\":3,\"enable\":1}", kJsonError, {}},
        {"channel 64", "/6180", "{\"chnid\":64,\"mode\":0,\"enable\":1}", kJsonError, {}},
        {"no channel", "/6180", "{\"mode\":0,\"enable\":1}", kJsonError, {}},
        {"visitor: dialog and enable", "/6180", "{\"chnid\":5,\"mode\":2,\"enable\":1,\"dialog\":" + dialog + "}",
         "OK", {IPC_ANPR_CHANGED},
         [&](const std::vector<FakeRequest> &req) {
             EXPECT_EQ(5, req[0].int_at(0));
             EXPECT_EQ(2, req[0].int_at(4));
             AnprEventRecord rec = event(5, 2);
             EXPECT_EQ(1, rec.enable);
             EXPECT_EQ(~0ULL, rec.channel_bits); // channels 32..63 too
             EXPECT_EQ(3, rec.tri_alarms);
             EXPECT_EQ(2, rec.audio_id);
             EXPECT_EQ("01:00", first_start(read_anpr_effective_schedule, 5, 2));
             EXPECT_EQ("", first_start(read_anpr_effective_schedule, 5, 0)); // each mode its own
             // Each spelling where it stands.
             EXPECT_EQ("03:00", named_start(read_whiteled_effective_schedule, "lpr_vistor_whiteled_esche", 5));
             EXPECT_EQ("05:00", named_start(read_http_notification_schedule,
                                            "lpr_visitor_mode_http_notification_sche", 5));
         }},
        {"black: enable only keeps the rest", "/6180", "{\"chnid\":5,\"mode\":0,\"enable\":1}", "OK",
         {IPC_ANPR_CHANGED},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ(1, event(5, 0).enable);
             EXPECT_EQ(0, event(5, 0).tri_alarms);
             EXPECT_EQ(3, event(5, 2).tri_alarms);
         }},
        {"general event through the settings dialog", "/6182",
         "{\"chnid\":5,\"dialog\":{\"effective\":" + one_segment("07:00", "08:00") + "}}", "OK",
         {IPC_ANPR_SETTINGS_SET},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ("07:00", first_start(read_anpr_effective_schedule, 5, -1));
             EXPECT_EQ("01:00", first_start(read_anpr_effective_schedule, 5, 2));
         }},
    });

    // Mode -1 answers its channel, mode and effective schedule only.
    json_object *general = json(reply_of(post("/6179", "{\"chnid\":5,\"mode\":-1}")));
    EXPECT_EQ((std::vector<std::string>{"chnid", "mode", "effective"}), keys_of(general));
    json_object *visitor = json(reply_of(post("/6179", "{\"chnid\":5,\"mode\":2}")));
    EXPECT_EQ(1, int_at(visitor, "enable"));
    EXPECT_EQ(all, str_at(visitor, "triChannels"));
    EXPECT_EQ(2, int_at(visitor, "audioId"));
    EXPECT_NE(std::string::npos, str_at(visitor, "white").find("03:00"));
    EXPECT_TRUE(at(visitor, "ptzParams"));
    EXPECT_EQ(0, int_at(json(reply_of(post("/6179", "{\"chnid\":5}"))), "mode")); // mode 0 when absent
    EXPECT_EQ(kJsonError, reply_of(post("/6179", "{\"chnid\":5,\"mode\":3}")));
}

TEST_F(LprTest, PlateLists)
{
    add("black", "KEEP1");
    add("white", "OLD1");
    // 63 bytes once decoded (189 encoded): decoded first, then cut.
    std::string encoded;
    for (int i = 0; i < 70; i++) encoded += "%41";
    walk({
        {"add: count past the elements", "/6184", "{\"cnt\":3,\"plate\":[[\"black\",\"AB%20123\"],[\"white\",\"X9\"]]}",
         "{\"count\":2}", {},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ("black", stored("AB 123"));
             EXPECT_EQ("white", stored("X9"));
         }},
        {"add: decoded before cut", "/6184", "{\"cnt\":1,\"plate\":[[\"black-list-type-too-long\",\"" + encoded + "\"]]}",
         "{\"count\":1}", {},
         [&](const std::vector<FakeRequest> &) { EXPECT_EQ("black-list-type", stored(std::string(63, 'A'))); }},
        {"add: 10001", "/6184", "{\"cnt\":10001,\"plate\":[[\"black\",\"Z\"]]}", kJsonError, {}},
        {"add: no element", "/6184", "{\"cnt\":1,\"plate\":[[\"black\"]]}", kJsonError, {}},
        {"add: not JSON", "/6184", "{", kJsonError, {}},
        {"update: element without a new plate stops before any delete", "/6185",
         "{\"cnt\":2,\"plate\":[[\"X9\",\"black\",\"X10\"],[\"OLD1\",\"white\"]]}", "OK", {},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ("-", stored("X9"));
             EXPECT_EQ("black", stored("X10"));
             EXPECT_EQ("white", stored("OLD1")); // not deleted
         }},
        {"update: element without a type stops", "/6185", "{\"cnt\":1,\"plate\":[[\"OLD1\",1,\"NEW1\"]]}", "OK", {},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ("white", stored("OLD1"));
             EXPECT_EQ("-", stored("NEW1"));
         }},
        {"update: onto an existing plate", "/6185", "{\"cnt\":1,\"plate\":[[\"OLD1\",\"black\",\"KEEP1\"]]}", "OK", {},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ("-", stored("OLD1"));
             EXPECT_EQ("black", stored("KEEP1"));
         }},
        {"update: 0", "/6185", "{\"cnt\":0,\"plate\":[]}", "CGI ERROR", {}},
        {"update: not JSON", "/6185", "[", "CGI ERROR", {}},
        {"delete: 10001", "/6183", "{\"cnt\":10001,\"plate\":[\"KEEP1\"]}", "CGI ERROR", {}},
        {"delete: no plate", "/6183", "{\"cnt\":1,\"plate\":[7]}", "CGI ERROR", {}},
        {"delete: not JSON", "/6183", "x", kJsonError, {}},
        {"delete: stops at the first missing element", "/6183", "{\"cnt\":3,\"plate\":[\"AB%20123\",null,\"KEEP1\"]}",
         "OK", {},
         [&](const std::vector<FakeRequest> &) {
             EXPECT_EQ("-", stored("AB 123"));
             EXPECT_EQ("black", stored("KEEP1"));
         }},
    });
}

TEST_F(LprTest, PlateCutKeepsWholeCharacters)
{
    // 62 ASCII bytes and a three-byte character: the character does not fit.
    std::string plate = std::string(62, 'B') + "\xe4\xba\xac";
    ASSERT_EQ("{\"count\":1}", reply_of(post("/6184", "{\"cnt\":1,\"plate\":[[\"white\",\"" + plate + "\"]]}")));
    EXPECT_EQ("white", stored(std::string(62, 'B')));
}

TEST_F(LprTest, RecognitionSettingsToTheCamera)
{
    std::string presets = "[";
    for (int g = 0; g < 4; g++) {
        presets += g ? ",[" : "[";
        for (int j = 0; j < 4; j++)
            presets += std::string(j ? "," : "") + "{\"name\":\"p" + std::to_string(g * 4 + j) +
                       "\",\"startX\":" + std::to_string(g * 4 + j) + ",\"endY\":" + std::to_string(100 + g * 4 + j) + "}";
        presets += "]";
    }
    presets += "]";
    const std::string polygons = "[{\"name\":\"n\",\"polygonX\":\"1,2\",\"polygonY\":\"3,4\"}]";
    daemon.on(IPC_ANPR_WILDCARDS_SET).reply_int(-1);
    // A stray answer to the wildcards arrives first on the settings request.
    daemon.on(IPC_ANPR_SETTINGS_SET).reply_as(REPLY_ANPR_WILDCARDS_SET, 0, le32(-1)).reply_int(0, 30);
    walk({
        {"channel 64", "/6182", "{\"chnid\":64}", kJsonError, {}},
        {"presets, polygons and wildcards", "/6182",
         "{\"chnid\":2,\"enable\":1,\"post_http_url\":\"http://h/x\",\"region\":[\"r0\",7,\"r2\"],\"preset\":" +
             presets + ",\"jsonSupport\":1,\"aitype\":12,\"in_night_mode\":1,\"normalPolygons\":" + polygons +
             ",\"formatData\":{\"chnid\":2,\"filter\":1,\"wildcards\":[{\"enable\":1,\"cr_count\":3,"
             "\"format\":\"ABCDEFGHIJKLMNOPQRS\"}]}}",
         "OK", {IPC_ANPR_WILDCARDS_SET, IPC_ANPR_SETTINGS_SET},
         [&](const std::vector<FakeRequest> &req) {
             AnprWildcardRecord w{};
             ASSERT_TRUE(req[0].as(&w));
             EXPECT_EQ(2, w.channel);
             EXPECT_EQ("ABCDEFGHIJKLMNO", field_text(w.format[0]));
             auto s = std::unique_ptr<AnprSettingsRecord>(new AnprSettingsRecord());
             ASSERT_TRUE(req[1].as(s.get()));
             EXPECT_EQ(2, s->chnid);
             EXPECT_EQ("http://h/x", field_text(s->post_http_url));
             EXPECT_EQ("r0", field_text(s->region[0]));
             EXPECT_EQ("", field_text(s->region[1]));
             EXPECT_EQ("r2", field_text(s->region[2]));
             for (int g = 0; g < 4; g++)
                 for (int j = 0; j < 4; j++) {
                     EXPECT_EQ("p" + std::to_string(g * 4 + j), field_text(s->preset[g][j].name));
                     EXPECT_EQ(100 + g * 4 + j, s->preset[g][j].end_y);
                 }
             EXPECT_EQ(0, s->in_night_mode); // reply only
             EXPECT_EQ("1,2", field_text(s->normal_polygons[0].polygon_x));
         }},
        {"polygons only with an analysis type that has them", "/6182",
         "{\"chnid\":2,\"jsonSupport\":1,\"aitype\":3,\"normalPolygons\":" + polygons + "}", "OK",
         {IPC_ANPR_SETTINGS_SET},
         [&](const std::vector<FakeRequest> &req) {
             auto s = std::unique_ptr<AnprSettingsRecord>(new AnprSettingsRecord());
             ASSERT_TRUE(req[0].as(s.get()));
             EXPECT_EQ("", field_text(s->normal_polygons[0].polygon_x));
         }},
    });
    daemon.on(IPC_ANPR_SETTINGS_SET).reply_int(5);
    EXPECT_EQ("FAILED", reply_of(post("/6182", "{\"chnid\":2}")));
    daemon.on(IPC_ANPR_SETTINGS_SET).silent();
    EXPECT_EQ(kJsonError, reply_of(post_fast("/6182", "{\"chnid\":2}")));
}

TEST_F(LprTest, CameraReads)
{
    auto s = std::unique_ptr<AnprSettingsRecord>(new AnprSettingsRecord());
    s->chnid = 4;
    s->preset[3][3].end_y = 77;
    snprintf(s->region[63], sizeof s->region[63], "last");
    memset(s->cur_area, 'c', sizeof s->cur_area); // no zero
    s->json_support = 1;
    s->aitype = 11;
    daemon.on(IPC_ANPR_SETTINGS_GET).reply_record(*s);
    json_object *o = json(reply_of(post("/6181", "{\"chnid\":4}")));
    ASSERT_TRUE(o);
    json_object *last = json_object_array_get_idx(json_object_array_get_idx(at(o, "preset"), 3), 3);
    EXPECT_EQ(77, int_at(last, "endy"));
    EXPECT_FALSE(at(last, "endY"));
    EXPECT_EQ("last", std::string(json_object_get_string(json_object_array_get_idx(at(o, "region"), 63))));
    EXPECT_EQ(std::string(32, 'c'), str_at(o, "cur_area"));
    EXPECT_TRUE(at(o, "normalPolygons"));
    EXPECT_EQ("normalPolygons", keys_of(o).back());

    AnprWildcardRecord w{};
    w.channel = 4;
    w.max_plate_char_num = 8;
    memset(w.format[8], 'f', sizeof w.format[8]);
    daemon.on(IPC_ANPR_WILDCARDS_GET).reply_record(w);
    o = json(reply_of(post("/6190", "{\"chnid\":4}")));
    EXPECT_EQ(8, int_at(o, "maxPlateCharNum"));
    EXPECT_EQ(9u, json_object_array_length(at(o, "wildcards")));
    EXPECT_EQ(std::string(16, 'f'), str_at(json_object_array_get_idx(at(o, "wildcards"), 8), "format"));

    daemon.on(IPC_ANPR_SUPPORT).reply_record(AnprSupport{4, 1, 3});
    daemon.on(IPC_CAM_ZOOM_STATE).reply_record(CamZoomState{4, 1, 9});
    daemon.on(IPC_ANPR_WILDCARDS_SET).reply_int(0);
    walk({
        {"support", "/6186", "{\"chnid\":4}", "{\"chnid\":4,\"vca_support\":1,\"vca_version\":3}", {IPC_ANPR_SUPPORT}},
        {"zoom", "/6189", "{\"chnid\":4}", "{\"chnid\":4,\"state\":1,\"zoomNumber\":9}", {IPC_CAM_ZOOM_STATE}},
        {"read, channel 64", "/6181", "{\"chnid\":64}", kJsonError, {}},
        {"read, no channel", "/6186", "{}", kJsonError, {}},
        {"wildcards set", "/6191", "{\"chnid\":4,\"wildcards\":[1,{\"enable\":1}]}", "OK", {IPC_ANPR_WILDCARDS_SET},
         [&](const std::vector<FakeRequest> &req) {
             AnprWildcardRecord rec{};
             ASSERT_TRUE(req[0].as(&rec));
             EXPECT_EQ(0, rec.enable[0]);
             EXPECT_EQ(1, rec.enable[1]);
         }},
        {"wildcards set, channel -1", "/6191", "{\"chnid\":-1}", kJsonError, {}},
    });
    daemon.on(IPC_ANPR_SUPPORT).empty();
    EXPECT_EQ(kJsonError, reply_of(post("/6186", "{\"chnid\":4}")));
}

} // namespace
