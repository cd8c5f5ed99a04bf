// JSON codecs of schedules and event actions: conversions between request
// or reply JSON and the records of common/records/, and the forms that read
// or write those records in the settings database.
#include "common/codecs.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <json-c/printbuf.h>

#include "common/json_text.h"
#include "common/settings.h"
#include "common/web_utils.h"

namespace {

// Value of obj[key] when it has the given kind, else nullptr.
json_object *member(json_object *obj, const char *key, JsonKind kind)
{
    if (!obj || !key) return nullptr;
    const JsonPolicy policy[] = {{key, kind}};
    json_object *tb[1];
    JSON_PARSE(obj, policy, tb);
    return tb[0];
}

// Integer value of an element, 0 when it is missing or not a number.
int32_t int_or_zero(json_object *v) { return jv_is(v, JK_INT) ? json_object_get_int(v) : 0; }

// JSON text of a record field that may lack its zero: at most size-1
// characters, as the field would hold with its zero.
json_object *field_string(const char *field, size_t size)
{
    if (!field) return json_object_new_string("");
    return json_object_new_string_len(field, static_cast<int>(strnlen(field, size - 1)));
}

// Number of elements of an array value that fit `capacity`.
size_t bounded_len(json_object *array, size_t capacity) { return std::min(jv_len(array), capacity); }

// Parameter entries are rows of int32 fields; a field list names the JSON
// key of each field (and, in array form, its position).
struct IntField {
    const char *key;
    size_t offset;
};
enum { MAX_ENTRY_FIELDS = 5 };

// Fills the fields of one entry from an element: from an object by key, or
// from an array by position. Missing values and values of another type
// read as 0.
template <size_t N>
void entry_from_json(json_object *element, bool as_object, const IntField (&fields)[N], void *entry)
{
    static_assert(N <= MAX_ENTRY_FIELDS, "entry field list");
    JsonPolicy policy[N];
    json_object *tb[N] = {};
    for (size_t k = 0; k < N; k++) policy[k] = JsonPolicy{fields[k].key, JK_INT};
    if (as_object) json_parse_policy(element, policy, static_cast<int>(N), tb);
    else
        for (size_t k = 0; k < N; k++) tb[k] = jv_at(element, k);
    for (size_t k = 0; k < N; k++) {
        const int32_t value = int_or_zero(tb[k]);
        memcpy(static_cast<char *>(entry) + fields[k].offset, &value, sizeof value);
    }
}

// JSON array of the entries (at most `capacity`) that `keep` accepts, each
// an object of the listed fields.
template <class Entry, size_t N>
json_object *entries_to_json(const Entry *entries, int count, int capacity, const IntField (&fields)[N],
                             bool (*keep)(const Entry &) = nullptr)
{
    json_object *array = json_object_new_array();
    const int n = entries ? std::min(count, capacity) : 0;
    for (int i = 0; i < n; i++) {
        if (keep && !keep(entries[i])) continue;
        json_object *o = json_object_new_object();
        for (const IntField &f : fields) {
            int32_t value;
            memcpy(&value, reinterpret_cast<const char *>(&entries[i]) + f.offset, sizeof value);
            json_object_object_add(o, f.key, json_object_new_int(value));
        }
        json_object_array_add(array, o);
    }
    return array;
}

// The light parameter arrays come in two forms; the page sends objects
// whenever its serialised array mentions "chnid" anywhere.
bool sent_as_objects(json_object *array)
{
    const char *text = json_object_to_json_string_ext(array, JSON_C_TO_STRING_PLAIN);
    return text && strstr(text, "chnid");
}

bool valid_channel(int channel) { return channel >= 0 && channel < EVENT_CHANNELS; }

// ---- Week schedules -----------------------------------------------------------------

// Shape of a schedule in JSON: the general codec carries 8 days of 12
// segments with an action type; the camera-side one carries times only,
// honours the day-valid flag in replies and reads 7 days of 10 segments.
struct ScheduleShape {
    bool camera;
    int request_days;
    int request_segments;
};
const ScheduleShape kGeneralSchedule = {false, SCHEDULE_DAYS, SCHEDULE_JSON_SEGMENTS};
const ScheduleShape kCameraSchedule = {true, 7, 10};

char *put_text(char *p, const char *text, size_t len)
{
    memcpy(p, text, len);
    return p + len;
}
#define PUT_LITERAL(p, text) put_text((p), (text), sizeof(text) - 1)

int rendered_serializer(json_object *obj, printbuf *pb, int, int)
{
    const std::string *text = static_cast<const std::string *>(json_object_get_userdata(obj));
    return printbuf_memappend(pb, text->data(), static_cast<int>(text->size())) < 0 ? -1 : 0;
}

void rendered_free(json_object *, void *userdata) { delete static_cast<std::string *>(userdata); }

// Replies carry week schedules by the handful (8 days of 12 segments each):
// built as json-c trees they cost most of a request. They are rendered to text
// once and handed out as an array object that serialises as that text; its
// elements are not reachable through the array calls.
json_object *rendered_array(std::string text)
{
    json_object *obj = json_object_new_array();
    if (obj) json_object_set_serializer(obj, rendered_serializer, new std::string(std::move(text)), rendered_free);
    return obj;
}

// Writes the schedule's reply text through t.append() (the caller has
// written the member's key).
void put_schedule(JsonText &t, const WeekSchedule *schedule, const ScheduleShape &shape)
{
    if (!schedule) return t.append("[]", 2);
    // A day at a time through a local buffer: each segment's worst case
    // (every character of both texts escaped as \u00XX) plus the keys and an
    // int, for 12 segments and the brackets.
    enum { kSegmentMax = 2 * (2 + 6 * 31) + 64 };
    char day_text[SCHEDULE_JSON_SEGMENTS * kSegmentMax + 4];
    static_assert(sizeof(ScheduleSegment::start_time) == 32 && sizeof(ScheduleSegment::end_time) == 32,
                  "segment texts of 32 bytes");
    for (int d = 0; d < SCHEDULE_DAYS; d++) {
        const ScheduleDay &day = schedule->days[d];
        const bool valid = !shape.camera || day.whole_day != 0;
        char *p = day_text;
        *p++ = d ? ',' : '[';
        *p++ = '[';
        for (int i = 0; i < SCHEDULE_JSON_SEGMENTS; i++) {
            const ScheduleSegment &seg = day.segments[i];
            if (i) *p++ = ',';
            p = PUT_LITERAL(p, "{\"startTime\":");
            p = json_put_text(p, valid ? seg.start_time : "", sizeof seg.start_time);
            p = PUT_LITERAL(p, ",\"endTime\":");
            p = json_put_text(p, valid ? seg.end_time : "", sizeof seg.end_time);
            if (!shape.camera) {
                p = PUT_LITERAL(p, ",\"actionType\":");
                p = json_put_int(p, seg.action_type);
            }
            *p++ = '}';
        }
        *p++ = ']';
        if (d == SCHEDULE_DAYS - 1) *p++ = ']';
        t.append(day_text, static_cast<size_t>(p - day_text));
    }
}

json_object *schedule_to_json(const WeekSchedule *schedule, const ScheduleShape &shape)
{
    if (!schedule) return json_object_new_array();
    JsonText t(shape.camera ? 3200 : 4800);
    put_schedule(t, schedule, shape);
    return rendered_array(t.take());
}

int schedule_from_json(json_object *obj, const char *key, WeekSchedule *schedule, const ScheduleShape &shape)
{
    if (!schedule) return -1;
    json_object *week = member(obj, key, JK_ARRAY);
    if (!week) return -1;
    memset(schedule, 0, sizeof *schedule);
    for (int d = 0; d < shape.request_days; d++) {
        ScheduleDay &day = schedule->days[d];
        json_object *segments = jv_at(week, static_cast<size_t>(d));
        if (shape.camera) day.whole_day = 1;
        size_t n = bounded_len(segments, static_cast<size_t>(shape.request_segments));
        for (size_t i = 0; i < n; i++) {
            ScheduleSegment &seg = day.segments[i];
            json_object *values = jv_at(segments, i);
            jv_copy(jv_at(values, 0), seg.start_time, sizeof seg.start_time);
            jv_copy(jv_at(values, 1), seg.end_time, sizeof seg.end_time);
            if (!shape.camera) seg.action_type = int_or_zero(jv_at(values, 2));
        }
    }
    return 0;
}

} // namespace

json_object *get_schedule_json_object(const WeekSchedule *schedule)
{
    return schedule_to_json(schedule, kGeneralSchedule);
}

int get_schedule_by_json(json_object *obj, const char *key, WeekSchedule *schedule)
{
    return schedule_from_json(obj, key, schedule, kGeneralSchedule);
}

json_object *get_schedule_json_object_ex(const WeekSchedule *schedule) { return get_schedule_json_object(schedule); }

void add_schedule_json(JsonText &t, const char *key, const WeekSchedule *schedule)
{
    t.value(key);
    put_schedule(t, schedule, kGeneralSchedule);
}

WeekSchedule *schedule_scratch()
{
    static WeekSchedule scratch;
    return &scratch;
}

int get_schedule_by_json_ex(json_object *obj, const char *key, WeekSchedule *schedule)
{
    return get_schedule_by_json(obj, key, schedule);
}

json_object *get_schedule_json_object_ipc(const WeekSchedule *schedule)
{
    return schedule_to_json(schedule, kCameraSchedule);
}

int get_schedule_by_json_ipc(json_object *obj, const char *key, WeekSchedule *schedule)
{
    return schedule_from_json(obj, key, schedule, kCameraSchedule);
}

// ---- Copy channels ------------------------------------------------------------------------

uint64_t get_copy_flag_by_json(json_object *obj, const char *array_key, const char *count_key)
{
    if (!obj || !array_key || !count_key) return 0;
    const JsonPolicy policy[] = {{count_key, JK_INT}, {array_key, JK_ARRAY}};
    json_object *tb[2];
    JSON_PARSE(obj, policy, tb);
    const int count = jv_int(tb[0]);
    if (count <= 0) return 0;
    uint64_t mask = 0;
    const size_t n = bounded_len(tb[1], static_cast<size_t>(count));
    for (size_t i = 0; i < n; i++) {
        json_object *e = jv_at(tb[1], i);
        if (!jv_is(e, JK_INT)) continue;
        const int64_t channel = json_object_get_int64(e);
        if (channel >= 0 && channel < EVENT_CHANNELS) mask |= 1ULL << channel;
    }
    return mask;
}

// ---- Camera alarm-output pair -----------------------------------------------------------------

json_object *get_event_chn_alarmout_object(const char *text1, const char *text2)
{
    json_object *array = json_object_new_array();
    json_object_array_add(array, field_string(text1, ALARM_OUT_ID_SIZE));
    json_object_array_add(array, field_string(text2, ALARM_OUT_ID_SIZE));
    return array;
}

int get_event_chn_alarmout_by_object(int channel, json_object *obj, const char *key, AlarmOutPair pair[2])
{
    if (!pair) return -1;
    json_object *array = member(obj, key, JK_ARRAY);
    if (!array) return -1;
    const size_t n = bounded_len(array, 2);
    for (size_t i = 0; i < n; i++) {
        json_object *e = jv_at(array, i);
        if (!jv_is(e, JK_STRING)) continue;
        pair[i].channel = channel;
        pair[i].position = static_cast<int32_t>(i);
        jv_copy(e, pair[i].alarm_out, sizeof pair[i].alarm_out);
    }
    return 0;
}

// ---- White light and warning light ------------------------------------------------------

namespace {
const IntField kWhiteLedFields[] = {{"chnid", offsetof(WhiteLedEntry, chnid)},
                                    {"mode", offsetof(WhiteLedEntry, mode)},
                                    {"time", offsetof(WhiteLedEntry, time)}};
const IntField kWarningLightFields[] = {{"chnid", offsetof(WarningLightEntry, chnid)},
                                        {"time", offsetof(WarningLightEntry, time)}};

// Fills a zeroed light group from the array at `key` with each entry's
// group index set to `channel`. The number of entries filled, or -1.
template <class Entry, size_t N>
int light_group_from_json(int channel, Entry (&entries)[LIGHT_GROUP_ENTRIES], json_object *obj, const char *key,
                          const IntField (&fields)[N])
{
    json_object *array = member(obj, key, JK_ARRAY);
    if (!array) return -1;
    memset(entries, 0, sizeof entries);
    const bool objects = sent_as_objects(array);
    const size_t n = bounded_len(array, LIGHT_GROUP_ENTRIES);
    for (size_t i = 0; i < n; i++) {
        entries[i].group = channel;
        entry_from_json(jv_at(array, i), objects, fields, &entries[i]);
    }
    return static_cast<int>(n);
}

enum LightTableZeroing { ZERO_WHOLE_TABLE, ZERO_CHANNEL_GROUP };

template <class Table, size_t N>
int light_table_from_json(int channel, Table *table, json_object *obj, const char *key, const IntField (&fields)[N],
                          LightTableZeroing zeroing)
{
    if (!table || !valid_channel(channel) || !member(obj, key, JK_ARRAY)) return -1;
    if (zeroing == ZERO_WHOLE_TABLE) memset(table, 0, sizeof *table);
    return light_group_from_json(channel, table->groups[channel].entries, obj, key, fields);
}

// Decodes one channel's light parameters and stores them under `table`.
template <class Params, size_t N>
int store_light_params(int channel, const char *table, json_object *obj, const char *key, const IntField (&fields)[N],
                       int (*write)(const char *, const char *, const Params *, int))
{
    if (!valid_channel(channel)) return 0;
    Params params = {};
    const int n = light_group_from_json(channel, params.entries, obj, key, fields);
    if (n < 0) return 0;
    params.count = n;
    return write(QXDB_PATH, table, &params, channel) == 0 ? 1 : -1;
}
} // namespace

json_object *white_params_to_json(const WhiteLedEntry *entries, int count)
{
    return entries_to_json(entries, count, LIGHT_GROUP_ENTRIES, kWhiteLedFields);
}

int get_white_params_by_json(int channel, WhiteLedTable *table, json_object *obj, const char *key)
{
    return light_table_from_json(channel, table, obj, key, kWhiteLedFields, ZERO_WHOLE_TABLE);
}

int get_pcnt_white_params_by_json(int channel, WhiteLedTable *table, json_object *obj, const char *key)
{
    return light_table_from_json(channel, table, obj, key, kWhiteLedFields, ZERO_CHANNEL_GROUP);
}

json_object *warning_light_params_to_json(const WarningLightEntry *entries, int count)
{
    return entries_to_json(entries, count, LIGHT_GROUP_ENTRIES, kWarningLightFields);
}

int get_warning_light_params_by_json(int channel, WarningLightTable *table, json_object *obj, const char *key)
{
    return light_table_from_json(channel, table, obj, key, kWarningLightFields, ZERO_WHOLE_TABLE);
}

// ---- HTTP notification --------------------------------------------------------------------------------

json_object *http_params_to_json(int channel, const HttpNotificationParams *params)
{
    static const HttpNotificationParams kEmpty = {};
    const HttpNotificationParams &p = params ? *params : kEmpty;
    json_object *o = json_object_new_object();
    json_object_object_add(o, "chnId", json_object_new_int(channel));
    json_object_object_add(o, "url", field_string(p.url, sizeof p.url));
    json_object_object_add(o, "username", field_string(p.username, sizeof p.username));
    json_object_object_add(o, "password", field_string(p.password, sizeof p.password));
    return o;
}

int get_http_params_by_json(int channel, HttpNotificationParams *params, json_object *obj, const char *key)
{
    if (!params) return -1;
    json_object *http = member(obj, key, JK_OBJECT);
    if (!http) return -1;
    static const JsonPolicy kKeys[] = {{"url", JK_STRING}, {"username", JK_STRING}, {"password", JK_STRING}};
    json_object *tb[3];
    JSON_PARSE(http, kKeys, tb);
    memset(params, 0, sizeof *params);
    params->channel = channel;
    jv_copy(tb[0], params->url, sizeof params->url);
    jv_copy(tb[1], params->username, sizeof params->username);
    jv_copy(tb[2], params->password, sizeof params->password);
    return 0;
}

// ---- PTZ actions --------------------------------------------------------------------------------------------

namespace {
// The reply does not carry the pattern.
const IntField kPtzReplyFields[] = {{"acto_ptz_channel", offsetof(PtzActionEntry, acto_ptz_channel)},
                                    {"acto_ptz_type", offsetof(PtzActionEntry, acto_ptz_type)},
                                    {"acto_ptz_preset", offsetof(PtzActionEntry, acto_ptz_preset)},
                                    {"acto_ptz_patrol", offsetof(PtzActionEntry, acto_ptz_patrol)}};
const IntField kPtzRequestFields[] = {{"acto_ptz_channel", offsetof(PtzActionEntry, acto_ptz_channel)},
                                      {"acto_ptz_type", offsetof(PtzActionEntry, acto_ptz_type)},
                                      {"acto_ptz_preset", offsetof(PtzActionEntry, acto_ptz_preset)},
                                      {"acto_ptz_patrol", offsetof(PtzActionEntry, acto_ptz_patrol)},
                                      {"acto_ptz_pattern", offsetof(PtzActionEntry, acto_ptz_pattern)}};

bool ptz_entry_used(const PtzActionEntry &e) { return e.acto_ptz_channel > 0; }
} // namespace

json_object *ptz_params_to_json(const PtzActionEntry *entries, int count)
{
    return entries_to_json(entries, count, PTZ_ACTION_ENTRIES, kPtzReplyFields, ptz_entry_used);
}

int get_ptz_params_by_json(int channel, int /*event_type*/, json_object *array, PtzActionTable *table)
{
    if (!valid_channel(channel) || !table || !jv_is(array, JK_ARRAY)) return -1;
    PtzActionTable decoded = {};
    const size_t n = bounded_len(array, PTZ_ACTION_ENTRIES);
    for (size_t i = 0; i < n; i++) {
        decoded.entries[i].channel = channel;
        entry_from_json(jv_at(array, i), true, kPtzRequestFields, &decoded.entries[i]);
    }
    *table = decoded;
    return 0;
}

int get_smart_event_ptz_type(int smart_event)
{
    if (smart_event < 0 || smart_event > PTZ_EVENT_SMART_LAST - PTZ_EVENT_SMART_FIRST) return -1;
    return smart_event + PTZ_EVENT_SMART_FIRST;
}

// ---- Stored forms -------------------------------------------------------------------------------------------

json_object *get_white_params_json_object(int channel, const char *table_name)
{
    WhiteLedParams params = {};
    if (read_whiteled_params(QXDB_PATH, table_name, &params, channel) != 0) params.count = 0;
    return white_params_to_json(params.entries, params.count);
}

json_object *get_pcnt_white_params_json_object(int channel)
{
    return get_white_params_json_object(channel, PEOPLECNT_WLED_PARAMS_TABLE);
}

int set_white_params_by_json(int channel, const char *table_name, json_object *obj, const char *key)
{
    return store_light_params<WhiteLedParams>(channel, table_name, obj, key, kWhiteLedFields, write_whiteled_params);
}

json_object *get_warning_light_params_json_object(int channel, const char *table_name)
{
    WarningLightParams params = {};
    if (read_warning_light_params(QXDB_PATH, table_name, &params, channel) != 0) params.count = 0;
    return warning_light_params_to_json(params.entries, params.count);
}

int set_warning_light_params_by_json(int channel, const char *table_name, json_object *obj, const char *key)
{
    return store_light_params<WarningLightParams>(channel, table_name, obj, key, kWarningLightFields,
                                                  write_warning_light_params);
}

json_object *get_http_params_json_object(int channel, const char *table_name)
{
    HttpNotificationParams params = {};
    if (read_http_notification_params(QXDB_PATH, table_name, &params, channel) != 0) memset(&params, 0, sizeof params);
    return http_params_to_json(channel, &params);
}

int set_http_params_by_json(int channel, const char *table_name, json_object *obj, const char *key)
{
    HttpNotificationParams params;
    if (!valid_channel(channel) || get_http_params_by_json(channel, &params, obj, key) != 0) return 0;
    return write_http_notification_params(QXDB_PATH, table_name, &params) == 0 ? 1 : -1;
}

json_object *get_ptz_params_json_object(int event_type, int channel)
{
    PtzActionTable table = {};
    int count = 0;
    if (read_ptz_params(QXDB_PATH, &table, event_type, channel, &count) != 0) count = 0;
    return ptz_params_to_json(table.entries, count);
}

int set_ptz_params_by_json(int channel, int event_type, json_object *array)
{
    PtzActionTable table;
    if (get_ptz_params_by_json(channel, event_type, array, &table) != 0) return 0;
    char name[32];
    if (!ptz_action_table_name(event_type, name)) return 0; // no table for that event type: nothing to store
    return write_ptz_params_all(QXDB_PATH, &table, event_type, channel) == 0 ? 1 : -1;
}

uint32_t get_audio_file_id_mask()
{
    AlarmAudioFileEntry files[ALARM_AUDIO_FILES];
    int count = 0;
    if (read_alarm_audio_files(QXDB_PATH, files, &count) != 0) return 0;
    uint32_t mask = 0;
    for (int i = 0; i < count && i < ALARM_AUDIO_FILES; i++)
        if (files[i].enable == 1) mask |= 1u << i;
    return mask;
}

// ---- Other -------------------------------------------------------------------------------------------------------

int get_section_info(const char *text, const char *pattern, char *out, size_t size)
{
    if (!text || !*text || !pattern || !*pattern || !out || size == 0) return -1;
    const char *found = strstr(text, pattern);
    if (!found) return -1;
    const char *value = found + strlen(pattern);
    copy_field(out, size, value, strcspn(value, "?"));
    return 0;
}
