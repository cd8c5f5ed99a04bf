// JSON codecs of schedules and event actions (pure conversions, in process).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/codecs.h"
#include "common/web_utils.h"

namespace {

// Parses a JSON text the test wrote; fails the test when it is not JSON.
struct Json {
    json_object *obj;
    explicit Json(const std::string &text) : obj(json_tokener_parse(text.c_str())) { EXPECT_TRUE(obj) << text; }
    // Replies are checked as the page sees them: serialised and read back.
    explicit Json(json_object *o) : obj(json_tokener_parse(json_object_to_json_string_ext(o, JSON_C_TO_STRING_PLAIN)))
    {
        json_object_put(o);
    }
    ~Json() { json_object_put(obj); }
    Json(const Json &) = delete;
    Json &operator=(const Json &) = delete;
    json_object *get() const { return obj; }
    std::string text() const { return json_object_to_json_string_ext(obj, JSON_C_TO_STRING_PLAIN); }
};

// A record filled with a pattern, to see what a decoder touched.
template <class T> std::unique_ptr<T> filled(unsigned char byte)
{
    std::unique_ptr<T> rec(new T);
    memset(rec.get(), byte, sizeof(T));
    return rec;
}

template <class T> bool all_bytes(const T &rec, unsigned char byte)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(&rec);
    for (size_t i = 0; i < sizeof(T); i++)
        if (p[i] != byte) return false;
    return true;
}

// The JSON text of a request day list: `days` arrays, day d holding the
// segments produced by seg(d, i) for i < count(d).
template <class Seg, class Count> std::string schedule_request(int days, Seg seg, Count count)
{
    std::string s = "[";
    for (int d = 0; d < days; d++) {
        s += d ? ",[" : "[";
        for (int i = 0; i < count(d); i++) s += (i ? "," : "") + seg(d, i);
        s += "]";
    }
    return s + "]";
}

std::string time_text(int d, int i, int minute)
{
    char buf[16];
    snprintf(buf, sizeof buf, "%02d:%02d", (d * 3 + i) % 24, minute);
    return buf;
}

// ---- Week schedules ----------------------------------------------------------------

TEST(CodecSchedule, RequestSegmentsAreStoredAndComeBackAsObjects)
{
    // Full week of 12 segments per day, except day 3 with only 5.
    std::string week = schedule_request(
        8,
        [](int d, int i) {
            return "[\"" + time_text(d, i, 0) + "\",\"" + time_text(d, i, 30) + "\"," + std::to_string(d * 100 + i) +
                   "]";
        },
        [](int d) { return d == 3 ? 5 : 12; });
    Json req("{\"effective\":" + week + "}");
    auto s = filled<WeekSchedule>(0x5a);
    ASSERT_EQ(0, get_schedule_by_json(req.get(), "effective", s.get()));

    for (int d = 0; d < SCHEDULE_DAYS; d++) {
        const ScheduleDay &day = s->days[d];
        for (int i = 0; i < SCHEDULE_SEGMENTS; i++) {
            const ScheduleSegment &seg = day.segments[i];
            const bool sent = i < (d == 3 ? 5 : 12);
            EXPECT_STREQ(sent ? time_text(d, i, 0).c_str() : "", seg.start_time) << d << "/" << i;
            EXPECT_STREQ(sent ? time_text(d, i, 30).c_str() : "", seg.end_time) << d << "/" << i;
            EXPECT_EQ(sent ? d * 100 + i : 0, seg.action_type) << d << "/" << i;
            EXPECT_EQ(0, seg.reserved);
        }
        // The general codec owns no day-trailing value: zeroed with the record.
        EXPECT_EQ(0, day.whole_day);
        EXPECT_EQ(0, day.whole_day_action_type);
    }

    Json reply(get_schedule_json_object(s.get()));
    ASSERT_EQ(8u, jv_len(reply.get()));
    for (size_t d = 0; d < 8; d++) ASSERT_EQ(12u, jv_len(jv_at(reply.get(), d)));
    json_object *seg = jv_at(jv_at(reply.get(), 2), 4);
    EXPECT_EQ("{\"startTime\":\"" + time_text(2, 4, 0) + "\",\"endTime\":\"" + time_text(2, 4, 30) +
                  "\",\"actionType\":204}",
              std::string(json_object_to_json_string_ext(seg, JSON_C_TO_STRING_PLAIN)));
    EXPECT_EQ("{\"startTime\":\"\",\"endTime\":\"\",\"actionType\":0}",
              std::string(json_object_to_json_string_ext(jv_at(jv_at(reply.get(), 3), 5), JSON_C_TO_STRING_PLAIN)));
}

TEST(CodecSchedule, OneSegmentRoundTrip)
{
    Json req(R"({"schedule":[[],[],[],[["08:00","18:00",1]]]})");
    WeekSchedule s;
    ASSERT_EQ(0, get_schedule_by_json_ex(req.get(), "schedule", &s));
    EXPECT_STREQ("08:00", s.days[3].segments[0].start_time);
    EXPECT_STREQ("18:00", s.days[3].segments[0].end_time);
    EXPECT_EQ(1, s.days[3].segments[0].action_type);
    Json reply(get_schedule_json_object_ex(&s));
    EXPECT_EQ(R"({"startTime":"08:00","endTime":"18:00","actionType":1})",
              std::string(json_object_to_json_string_ext(jv_at(jv_at(reply.get(), 3), 0), JSON_C_TO_STRING_PLAIN)));
}

TEST(CodecSchedule, MissingOrMistypedKeyLeavesTheRecordAlone)
{
    for (const char *text : {R"({"other":[]})", R"({"effective":{"0":[]}})", R"({"effective":"[[]]"})",
                             R"({"effective":null})", R"([[["08:00","09:00",1]]])"}) {
        Json req(text);
        auto s = filled<WeekSchedule>(0x77);
        EXPECT_EQ(-1, get_schedule_by_json(req.get(), "effective", s.get())) << text;
        EXPECT_EQ(-1, get_schedule_by_json_ipc(req.get(), "effective", s.get())) << text;
        EXPECT_TRUE(all_bytes(*s, 0x77)) << text;
    }
    WeekSchedule s;
    Json req(R"({"effective":[]})");
    EXPECT_EQ(-1, get_schedule_by_json(nullptr, "effective", &s));
    EXPECT_EQ(-1, get_schedule_by_json(req.get(), nullptr, &s));
    EXPECT_EQ(-1, get_schedule_by_json(req.get(), "effective", nullptr));
}

TEST(CodecSchedule, HostileShapesReadAsEmptyAndStayInBounds)
{
    const std::string long_time(100, '9');
    // Day 0: an object instead of an array; day 1: segments of wrong types;
    // day 2: 20 segments; 9 days in all.
    std::string day2 = "[";
    for (int i = 0; i < 20; i++) day2 += (i ? "," : "") + std::string("[\"01:00\",\"02:00\",7]");
    day2 += "]";
    Json req(R"({"k":[{"a":1},[1,"x",null,[12,13,"14"],["a"],[")" + long_time + R"(","b",2.9,"extra"]],)" + day2 +
             R"(,[],[],[],[],[["x","y",1]],[["z","y",1]]]})");
    auto s = filled<WeekSchedule>(0x33);
    ASSERT_EQ(0, get_schedule_by_json(req.get(), "k", s.get()));
    EXPECT_TRUE(all_bytes(s->days[0], 0));
    const ScheduleDay &d1 = s->days[1];
    for (int i = 0; i < 3; i++) EXPECT_EQ(0, d1.segments[i].start_time[0]);
    EXPECT_STREQ("", d1.segments[3].start_time); // number where a text belongs
    EXPECT_EQ(0, d1.segments[3].action_type);    // "14" is not a number
    EXPECT_STREQ("a", d1.segments[4].start_time);
    EXPECT_STREQ("", d1.segments[4].end_time);
    EXPECT_EQ(std::string(31, '9'), d1.segments[5].start_time);
    EXPECT_EQ(2, d1.segments[5].action_type);
    for (int i = 0; i < 12; i++) EXPECT_STREQ("01:00", s->days[2].segments[i].start_time);
    for (int i = 12; i < SCHEDULE_SEGMENTS; i++) EXPECT_STREQ("", s->days[2].segments[i].start_time);
    EXPECT_STREQ("x", s->days[7].segments[0].start_time);
}

TEST(CodecSchedule, StoredTextsWithoutZeroAreCutToTheirField)
{
    auto s = filled<WeekSchedule>('A');
    Json reply(get_schedule_json_object(s.get()));
    json_object *seg = jv_at(jv_at(reply.get(), 7), 11);
    json_object *start = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(seg, "startTime", &start));
    EXPECT_EQ(std::string(31, 'A'), json_object_get_string(start));
    Json empty(get_schedule_json_object(nullptr));
    EXPECT_EQ("[]", empty.text());
}

TEST(CodecSchedule, CameraVariantReadsSevenDaysOfTenAndMarksThemValid)
{
    std::string week = schedule_request(
        8, [](int d, int i) { return "[\"" + time_text(d, i, 0) + "\",\"" + time_text(d, i, 15) + "\",9]"; },
        [](int) { return 12; });
    Json req("{\"sche\":" + week + "}");
    auto s = filled<WeekSchedule>(0x11);
    ASSERT_EQ(0, get_schedule_by_json_ipc(req.get(), "sche", s.get()));
    for (int d = 0; d < 8; d++) {
        EXPECT_EQ(d < 7 ? 1 : 0, s->days[d].whole_day) << d;
        EXPECT_EQ(0, s->days[d].whole_day_action_type);
        for (int i = 0; i < 12; i++) {
            const bool sent = d < 7 && i < 10;
            EXPECT_STREQ(sent ? time_text(d, i, 0).c_str() : "", s->days[d].segments[i].start_time);
            EXPECT_STREQ(sent ? time_text(d, i, 15).c_str() : "", s->days[d].segments[i].end_time);
            EXPECT_EQ(0, s->days[d].segments[i].action_type); // camera schedules carry no action
        }
    }

    // Reply: times only; an invalid day shows empty times.
    s->days[2].whole_day = 0;
    COPY_TEXT(s->days[7].segments[0].start_time, "07:00");
    Json reply(get_schedule_json_object_ipc(s.get()));
    ASSERT_EQ(8u, jv_len(reply.get()));
    EXPECT_EQ("{\"startTime\":\"" + time_text(1, 0, 0) + "\",\"endTime\":\"" + time_text(1, 0, 15) + "\"}",
              std::string(json_object_to_json_string_ext(jv_at(jv_at(reply.get(), 1), 0), JSON_C_TO_STRING_PLAIN)));
    EXPECT_EQ(R"({"startTime":"","endTime":""})",
              std::string(json_object_to_json_string_ext(jv_at(jv_at(reply.get(), 2), 0), JSON_C_TO_STRING_PLAIN)));
    EXPECT_EQ(R"({"startTime":"","endTime":""})",
              std::string(json_object_to_json_string_ext(jv_at(jv_at(reply.get(), 7), 0), JSON_C_TO_STRING_PLAIN)));
}

// ---- Copy channels ---------------------------------------------------------------------

TEST(CodecCopyFlag, ChannelsWithinCountAndRange)
{
    struct Case {
        const char *json;
        uint64_t mask;
    } cases[] = {
        {R"({"copyCnt":3,"copyChn":[0,70,5]})", (1ULL << 0) | (1ULL << 5)},
        {R"({"copyCnt":2,"copyChn":[1,2,3]})", (1ULL << 1) | (1ULL << 2)},
        {R"({"copyCnt":9,"copyChn":[63,32]})", (1ULL << 63) | (1ULL << 32)},
        {R"({"copyCnt":4,"copyChn":[-1,64,"7",{"a":1}]})", 0},
        {R"({"copyCnt":0,"copyChn":[1]})", 0},
        {R"({"copyCnt":-2,"copyChn":[1]})", 0},
        {R"({"copyChn":[1]})", 0},
        {R"({"copyCnt":"1","copyChn":[1]})", 0},
        {R"({"copyCnt":1,"copyChn":{"0":1}})", 0},
        {R"({"copyCnt":1,"copyChn":"1"})", 0},
        {R"({"copyCnt":2147483647,"copyChn":[4]})", 1ULL << 4},
    };
    for (const Case &c : cases) {
        Json req(c.json);
        EXPECT_EQ(c.mask, get_copy_flag_by_json(req.get(), "copyChn", "copyCnt")) << c.json;
    }
    EXPECT_EQ(0u, get_copy_flag_by_json(nullptr, "copyChn", "copyCnt"));
    Json arr("[1,2]");
    EXPECT_EQ(0u, get_copy_flag_by_json(arr.get(), "copyChn", "copyCnt"));
}

// ---- Camera alarm-output pair ---------------------------------------------------------------

TEST(CodecAlarmOut, PairsTakeTextsCutToTheirField)
{
    char unterminated[65];
    memset(unterminated, 'z', sizeof unterminated);
    Json out(get_event_chn_alarmout_object("cam1-out0", unterminated));
    EXPECT_EQ("[\"cam1-out0\",\"" + std::string(64, 'z') + "\"]", out.text());
    Json nulls(get_event_chn_alarmout_object(nullptr, nullptr));
    EXPECT_EQ(R"(["",""])", nulls.text());

    Json req("{\"triChnAlarms\":[\"" + std::string(100, 'q') + "\",\"b\",\"c\"]}");
    AlarmOutPair pair[2];
    memset(pair, 0x44, sizeof pair);
    ASSERT_EQ(0, get_event_chn_alarmout_by_object(12, req.get(), "triChnAlarms", pair));
    EXPECT_EQ(12, pair[0].channel);
    EXPECT_EQ(0, pair[0].position);
    EXPECT_EQ(std::string(64, 'q'), pair[0].alarm_out);
    EXPECT_EQ(12, pair[1].channel);
    EXPECT_EQ(1, pair[1].position);
    EXPECT_STREQ("b", pair[1].alarm_out);
}

TEST(CodecAlarmOut, MissingElementsLeaveTheirEntry)
{
    AlarmOutPair pair[2];
    memset(pair, 0x44, sizeof pair);
    Json one(R"({"triChnAlarms":["only"]})");
    ASSERT_EQ(0, get_event_chn_alarmout_by_object(3, one.get(), "triChnAlarms", pair));
    EXPECT_STREQ("only", pair[0].alarm_out);
    EXPECT_TRUE(all_bytes(pair[1], 0x44));

    memset(pair, 0x44, sizeof pair);
    Json mistyped(R"({"triChnAlarms":[5,"two"]})");
    ASSERT_EQ(0, get_event_chn_alarmout_by_object(3, mistyped.get(), "triChnAlarms", pair));
    EXPECT_TRUE(all_bytes(pair[0], 0x44));
    EXPECT_STREQ("two", pair[1].alarm_out);

    memset(pair, 0x44, sizeof pair);
    for (const char *text : {R"({"x":[]})", R"({"triChnAlarms":"a"})"}) {
        Json req(text);
        EXPECT_EQ(-1, get_event_chn_alarmout_by_object(3, req.get(), "triChnAlarms", pair));
    }
    EXPECT_EQ(-1, get_event_chn_alarmout_by_object(3, one.get(), "triChnAlarms", nullptr));
    EXPECT_TRUE(all_bytes(pair, 0x44));
}

// ---- White light ------------------------------------------------------------------------------

// Fields of a light entry in record order, for comparisons.
std::vector<int> fields(const WhiteLedEntry &e) { return {e.group, e.chnid, e.mode, e.time}; }
std::vector<int> fields(const WarningLightEntry &e) { return {e.group, e.chnid, e.time}; }

TEST(CodecWhiteLight, ObjectAndArrayFormsFillTheChannelGroup)
{
    auto t = filled<WhiteLedTable>(0x66);
    Json objects(R"({"whiteInfo":[{"chnid":3,"mode":1,"time":30},{"time":5,"chnid":4}]})");
    ASSERT_EQ(2, get_white_params_by_json(9, t.get(), objects.get(), "whiteInfo"));
    const WhiteLedEntry *g = t->groups[9].entries;
    EXPECT_EQ(std::vector<int>({9, 3, 1, 30}), fields(g[0]));
    EXPECT_EQ(std::vector<int>({9, 4, 0, 5}), fields(g[1]));
    EXPECT_TRUE(all_bytes(g[2], 0));
    EXPECT_TRUE(all_bytes(t->groups[8], 0)); // the whole table was zeroed

    Json arrays(R"({"whiteInfo":[[7,2,60],[8],"x"]})");
    ASSERT_EQ(3, get_white_params_by_json(0, t.get(), arrays.get(), "whiteInfo"));
    g = t->groups[0].entries;
    EXPECT_EQ(std::vector<int>({0, 7, 2, 60}), fields(g[0]));
    EXPECT_EQ(std::vector<int>({0, 8, 0, 0}), fields(g[1]));
    EXPECT_EQ(std::vector<int>({0, 0, 0, 0}), fields(g[2]));
    EXPECT_TRUE(all_bytes(t->groups[9], 0));

    Json reply(white_params_to_json(t->groups[0].entries, 2));
    EXPECT_EQ(R"([{"chnid":7,"mode":2,"time":60},{"chnid":8,"mode":0,"time":0}])", reply.text());
}

TEST(CodecWhiteLight, ObjectsWithoutChnidAreReadAsArraysAndGiveZeros)
{
    auto t = filled<WhiteLedTable>(0x66);
    Json req(R"({"whiteInfo":[{"channel":3,"mode":1,"time":30},{"channel":4}]})");
    ASSERT_EQ(2, get_white_params_by_json(5, t.get(), req.get(), "whiteInfo"));
    for (int i = 0; i < 2; i++) EXPECT_EQ(std::vector<int>({5, 0, 0, 0}), fields(t->groups[5].entries[i]));
}

TEST(CodecWhiteLight, BoundsAndRefusals)
{
    std::string many = "{\"w\":[";
    for (int i = 0; i < 80; i++) many += (i ? "," : "") + std::string("[") + std::to_string(i) + ",1,2]";
    many += "]}";
    Json req(many);
    auto t = filled<WhiteLedTable>(0x66);
    ASSERT_EQ(64, get_white_params_by_json(63, t.get(), req.get(), "w"));
    EXPECT_EQ(63, t->groups[63].entries[63].chnid);
    Json reply(white_params_to_json(t->groups[63].entries, 1000));
    EXPECT_EQ(64u, jv_len(reply.get()));

    for (int channel : {-1, 64}) {
        auto u = filled<WhiteLedTable>(0x66);
        EXPECT_EQ(-1, get_white_params_by_json(channel, u.get(), req.get(), "w"));
        EXPECT_EQ(-1, get_pcnt_white_params_by_json(channel, u.get(), req.get(), "w"));
        EXPECT_TRUE(all_bytes(*u, 0x66));
    }
    Json not_array(R"({"w":{"chnid":1}})");
    EXPECT_EQ(-1, get_white_params_by_json(1, t.get(), not_array.get(), "w"));
    EXPECT_EQ(-1, get_white_params_by_json(1, t.get(), req.get(), "missing"));
    EXPECT_EQ(-1, get_white_params_by_json(1, nullptr, req.get(), "w"));
}

TEST(CodecWhiteLight, PeopleCountingFormKeepsOtherGroups)
{
    auto t = filled<WhiteLedTable>(0x66);
    Json req(R"({"whiteInfo":[[1,2,3]]})");
    ASSERT_EQ(1, get_pcnt_white_params_by_json(4, t.get(), req.get(), "whiteInfo"));
    EXPECT_TRUE(all_bytes(t->groups[3], 0x66));
    EXPECT_TRUE(all_bytes(t->groups[5], 0x66));
    EXPECT_EQ(std::vector<int>({4, 1, 2, 3}), fields(t->groups[4].entries[0]));
    EXPECT_TRUE(all_bytes(t->groups[4].entries[1], 0)); // nothing stale inside the group
}

// ---- Warning light ---------------------------------------------------------------------------------

TEST(CodecWarningLight, BothFormsAndTheRecordLayout)
{
    auto t = filled<WarningLightTable>(0x66);
    Json objects(R"({"warningLightInfo":[{"chnid":2,"time":15},{"time":"9"}]})");
    ASSERT_EQ(2, get_warning_light_params_by_json(6, t.get(), objects.get(), "warningLightInfo"));
    const WarningLightEntry *g = t->groups[6].entries;
    EXPECT_EQ(std::vector<int>({6, 2, 15}), fields(g[0]));
    EXPECT_EQ(0, g[0].reserved0[0]);
    EXPECT_EQ(std::vector<int>({6, 0, 0}), fields(g[1])); // a text where a number belongs
    EXPECT_TRUE(all_bytes(t->groups[5], 0));

    Json arrays(R"({"warnLightInfo":[[11,20]]})");
    ASSERT_EQ(1, get_warning_light_params_by_json(6, t.get(), arrays.get(), "warnLightInfo"));
    EXPECT_EQ(std::vector<int>({6, 11, 20}), fields(t->groups[6].entries[0]));
    Json reply(warning_light_params_to_json(t->groups[6].entries, 1));
    EXPECT_EQ(R"([{"chnid":11,"time":20}])", reply.text());

    EXPECT_EQ(-1, get_warning_light_params_by_json(64, t.get(), arrays.get(), "warnLightInfo"));
    EXPECT_EQ(-1, get_warning_light_params_by_json(6, t.get(), arrays.get(), "warningLightInfo"));
}

// ---- HTTP notification ------------------------------------------------------------------------------

TEST(CodecHttp, TextsAreCopiedAsSentAndCutToTheirFields)
{
    Json req("{\"httpParams\":{\"url\":\"http://h/a%20b?x=1\",\"username\":\"" + std::string(200, 'u') +
             "\",\"password\":\"" + std::string(70, 'p') + "\"}}");
    auto p = filled<HttpNotificationParams>(0x66);
    ASSERT_EQ(0, get_http_params_by_json(17, p.get(), req.get(), "httpParams"));
    EXPECT_EQ(17, p->channel);
    EXPECT_STREQ("http://h/a%20b?x=1", p->url);
    EXPECT_EQ(std::string(96, 'u'), p->username);
    EXPECT_EQ(std::string(64, 'p'), p->password);
    EXPECT_EQ(0, p->reserved[0]);

    Json long_url("{\"httpParams\":{\"url\":\"" + std::string(600, 'x') + "\",\"username\":5}}");
    ASSERT_EQ(0, get_http_params_by_json(1, p.get(), long_url.get(), "httpParams"));
    EXPECT_EQ(512u, strlen(p->url));
    EXPECT_STREQ("", p->username);
    EXPECT_STREQ("", p->password);

    Json reply(http_params_to_json(1, p.get()));
    json_object *url = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(reply.get(), "url", &url));
    EXPECT_EQ(512u, strlen(json_object_get_string(url)));
}

TEST(CodecHttp, RefusalsAndUnterminatedStoredTexts)
{
    auto p = filled<HttpNotificationParams>(0x66);
    for (const char *text : {R"({"httpParams":"x"})", R"({"httpParams":[]})", R"({"other":{}})"}) {
        Json req(text);
        EXPECT_EQ(-1, get_http_params_by_json(1, p.get(), req.get(), "httpParams")) << text;
    }
    EXPECT_TRUE(all_bytes(*p, 0x66));
    memset(p.get(), 'A', sizeof *p);
    p->channel = 2;
    Json reply(http_params_to_json(2, p.get()));
    EXPECT_EQ("{\"chnId\":2,\"url\":\"" + std::string(512, 'A') + "\",\"username\":\"" + std::string(96, 'A') +
                  "\",\"password\":\"" + std::string(64, 'A') + "\"}",
              reply.text());
}

// ---- PTZ actions -------------------------------------------------------------------------------------------

TEST(CodecPtz, EntriesAreOwnedByTheChannelAndUnusedOnesAreNotSent)
{
    Json req(R"([{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":5,"acto_ptz_patrol":0,"acto_ptz_pattern":3},
                 {"acto_ptz_channel":0,"acto_ptz_type":2},
                 "junk",
                 {"acto_ptz_channel":7,"acto_ptz_type":2,"acto_ptz_patrol":4}])");
    auto t = filled<PtzActionTable>(0x66);
    ASSERT_EQ(0, get_ptz_params_by_json(11, PTZ_EVENT_MOTION, req.get(), t.get()));
    const PtzActionEntry &e = t->entries[0];
    EXPECT_EQ(11, e.channel);
    EXPECT_EQ(2, e.acto_ptz_channel);
    EXPECT_EQ(0, e.reserved);
    EXPECT_EQ(1, e.acto_ptz_type);
    EXPECT_EQ(5, e.acto_ptz_preset);
    EXPECT_EQ(3, e.acto_ptz_pattern);
    EXPECT_EQ(11, t->entries[2].channel);
    EXPECT_EQ(0, t->entries[2].acto_ptz_channel);
    EXPECT_TRUE(all_bytes(t->entries[4], 0));

    Json reply(ptz_params_to_json(t->entries, PTZ_ACTION_ENTRIES));
    EXPECT_EQ(R"([{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":5,"acto_ptz_patrol":0},)"
              R"({"acto_ptz_channel":7,"acto_ptz_type":2,"acto_ptz_preset":0,"acto_ptz_patrol":4}])",
              reply.text());
}

TEST(CodecPtz, BoundsAndRefusals)
{
    std::string many = "[";
    for (int i = 0; i < 70; i++) many += (i ? "," : "") + std::string("{\"acto_ptz_channel\":") + std::to_string(i + 1) + "}";
    many += "]";
    Json req(many);
    auto t = filled<PtzActionTable>(0x66);
    ASSERT_EQ(0, get_ptz_params_by_json(0, PTZ_EVENT_ALARM_IN, req.get(), t.get()));
    EXPECT_EQ(64, t->entries[63].acto_ptz_channel);

    for (int channel : {-1, 64}) {
        auto u = filled<PtzActionTable>(0x66);
        EXPECT_EQ(-1, get_ptz_params_by_json(channel, 1, req.get(), u.get()));
        EXPECT_TRUE(all_bytes(*u, 0x66));
    }
    Json obj(R"({"acto_ptz_channel":1})");
    EXPECT_EQ(-1, get_ptz_params_by_json(1, 1, obj.get(), t.get()));
    EXPECT_EQ(-1, get_ptz_params_by_json(1, 1, nullptr, t.get()));
    EXPECT_EQ(-1, get_ptz_params_by_json(1, 1, req.get(), nullptr));
}

TEST(CodecPtz, SmartEventTypes)
{
    EXPECT_EQ(5, get_smart_event_ptz_type(0));
    EXPECT_EQ(13, get_smart_event_ptz_type(8));
    EXPECT_EQ(-1, get_smart_event_ptz_type(9));
    EXPECT_EQ(-1, get_smart_event_ptz_type(-1));
}

// ---- Section of a text ---------------------------------------------------------------------------------------

TEST(CodecSection, TextAfterPatternUpToQuestionMark)
{
    char out[8];
    EXPECT_EQ(0, get_section_info("a?name=cam?x", "name=", out, sizeof out));
    EXPECT_STREQ("cam", out);
    EXPECT_EQ(0, get_section_info("name=abcdefghij", "name=", out, sizeof out));
    EXPECT_STREQ("abcdefg", out);
    EXPECT_EQ(0, get_section_info("name=", "name=", out, sizeof out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, get_section_info("x=1?x=2", "x=", out, sizeof out));
    EXPECT_STREQ("1", out);
    EXPECT_EQ(-1, get_section_info("abc", "name=", out, sizeof out));
    EXPECT_EQ(-1, get_section_info("", "a", out, sizeof out));
    EXPECT_EQ(-1, get_section_info("abc", "", out, sizeof out));
    EXPECT_EQ(-1, get_section_info("abc", "a", out, 0));
    EXPECT_EQ(-1, get_section_info(nullptr, "a", out, sizeof out));
}

} // namespace

namespace {
TEST(CodecSchedule, RenderedTextsAreEscapedLikeJsonC)
{
    auto s = filled<WeekSchedule>(0);
    const char *nasty = "a\"b\\c/\x01\n\xc3\xa9";
    COPY_TEXT(s->days[0].segments[0].start_time, nasty);
    json_object *raw = get_schedule_json_object(s.get());
    json_object *plain = json_object_new_string(nasty);
    std::string text = json_object_to_json_string_ext(raw, JSON_C_TO_STRING_PLAIN);
    EXPECT_NE(std::string::npos, text.find(json_object_to_json_string_ext(plain, JSON_C_TO_STRING_PLAIN)));
    json_object_put(plain);
    Json reply(raw);
    json_object *start = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(jv_at(jv_at(reply.get(), 0), 0), "startTime", &start));
    EXPECT_STREQ(nasty, json_object_get_string(start));
}

// Worst cases of one segment: both texts of 31 escaped characters without
// their zero, the extreme action types; json-c's own rendering of the same
// values is the reference.
TEST(CodecSchedule, RenderedSegmentsAtTheirLimitsMatchJsonC)
{
    auto s = filled<WeekSchedule>(0);
    for (int32_t action : {INT32_MIN, -1, 0, 7, 4711, INT32_MAX}) {
        ScheduleSegment &seg = s->days[7].segments[11];
        memset(seg.start_time, '\x01', sizeof seg.start_time);
        memset(seg.end_time, '"', sizeof seg.end_time);
        seg.action_type = action;
        json_object *expect = json_object_new_object();
        json_object_object_add(expect, "startTime", json_object_new_string(std::string(31, '\x01').c_str()));
        json_object_object_add(expect, "endTime", json_object_new_string(std::string(31, '"').c_str()));
        json_object_object_add(expect, "actionType", json_object_new_int(action));
        json_object *raw = get_schedule_json_object(s.get());
        std::string text = json_object_to_json_string_ext(raw, JSON_C_TO_STRING_PLAIN);
        std::string want = std::string(",") + json_object_to_json_string_ext(expect, JSON_C_TO_STRING_PLAIN) + "]]";
        EXPECT_EQ(want, text.substr(text.size() - want.size())) << action;
        json_object_put(raw);
        json_object_put(expect);
    }
}
} // namespace
