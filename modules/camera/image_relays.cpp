// Camera image settings relayed through the daemon: day/night settings,
// image areas and the camera's own week schedules (rows of the camera relay
// at the end of the file); and the exposure table that the recorder keeps in
// its settings database.
#include <cstring>
#include <memory>

#include "common/ipc.h"
#include "common/records/camera.h"
#include "common/records/camera_params.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"
#include "modules/camera/relay.h"

namespace {

// The integer of an array element, 0 when it is not one.
int32_t element_int(json_object *array, size_t i)
{
    json_object *v = jv_at(array, i);
    return jv_is(v, JK_INT) ? jv_int(v) : 0;
}

// ---- Day/night settings (/2037, /2038, /2047) ---------------------------------------------------

#define DN(key, member) RECORD_INT(key, CamDayNightEntry, member)
// In the order of the getter's answer (after its "id").
const RecordField kDayNightEntry[] = {
    DN("enable", enable),           DN("startHour", start_hour),
    DN("startMinute", start_minute), DN("endHour", end_hour),
    DN("endMinute", end_minute),     DN("exposureLevel", exposure_level),
    DN("maxShutter", max_shutter),   DN("minShutter", min_shutter),
    DN("gainLevel", gain_level),     DN("irCutLatency", ir_cut_latency),
    DN("irCutState", ir_cut_state),  DN("irLedState", ir_led_state),
    DN("colorMode", color_mode),
};
#undef DN
const RecordField kDayNightPeriod[] = {
    RECORD_TEXT("startTime", CamDayNightPeriod, start_time),
    RECORD_TEXT("endTime", CamDayNightPeriod, end_time),
    RECORD_INT("templateId", CamDayNightPeriod, template_id),
};

// The scene values are pairs (one int per scene): the fields name the first
// of each pair; scene 1 is read at the same table 4 bytes further on.
#define SC(key, member) RECORD_INT(key, CamDayNightScenes, member)
const RecordField kDayNightScene[] = {
    SC("minShutter", min_shutter[0]),        SC("maxShutter", max_shutter[0]),
    SC("limitGain", limit_gain[0]),          SC("irCutInterval", ir_cut_interval[0]),
    SC("irCutStatus", ir_cut_status[0]),     SC("irLedStatus", ir_led_status[0]),
    SC("colorMode", color_mode[0]),
};
// The supplement light, taken when "isSupportSupplement" is 1.
const RecordField kSupplement[] = {
    SC("isSupportSupplementIrNearAndFar", ir_near_far),
    SC("isSupportSupplementWhiteNearAndFar", white_near_far),
    SC("supplementLightType", light_type),
    SC("whiteLatency", white_latency),
    SC("whiteMode", white_mode),
    SC("irMode", ir_mode),
};
const RecordField kWhiteNearFar[] = {
    SC("whiteFarMaxBrightness", white_far_max),        SC("whiteNearMaxBrightness", white_near_max),
    SC("smartWhiteFarMaxBrightness", smart_white_far_max),
    SC("smartWhiteNearMaxBrightness", smart_white_near_max),
    SC("whiteFarCustomBrightness", white_far_custom),  SC("whiteNearCustomBrightness", white_near_custom),
};
const RecordField kWhiteSingle[] = {
    SC("whiteMaxBrightness", white_far_max),
    SC("smartWhiteMaxBrightness", smart_white_far_max),
    SC("whiteCustomBrightness", white_far_custom),
};
const RecordField kIrNearFar[] = {
    SC("irFarMaxBrightness", ir_far_max),       SC("irNearMaxBrightness", ir_near_max),
    SC("irFarCustomBrightness", ir_far_custom), SC("irNearCustomBrightness", ir_near_custom),
};
const RecordField kIrSingle[] = {SC("irCustomBrightness", ir_far_custom)};
#undef SC
static_assert(sizeof(CamDayNightScenes::min_shutter) == CAM_DN_SCENES * sizeof(int32_t), "pairs");

void fill_day_night_image(json_object *obj, CamDayNightImage &img)
{
    json_object *entries = relay_member(obj, "image", JK_ARRAY);
    for (size_t i = 0; i < CAM_DN_ENTRIES && i < jv_len(entries); i++) {
        json_object *e = jv_at(entries, i);
        if (!jv_is(e, JK_OBJECT)) continue;
        record_fields_take(e, &img.entries[i], kDayNightEntry);
        img.entries[i].set = 1;
    }
    img.has_schedule = jv_int(relay_member(obj, "hasSche", JK_INT));
    json_object *periods = relay_member(obj, "effective", JK_ARRAY);
    for (size_t i = 0; i < CAM_DN_PERIODS && i < jv_len(periods); i++) {
        json_object *p = jv_at(periods, i);
        if (jv_is(p, JK_OBJECT)) record_fields_take(p, &img.effective[i], kDayNightPeriod);
    }
}

void fill_day_night_scenes(json_object *obj, CamDayNightScenes &sc)
{
    json_object *scenes = jv_at(relay_member(obj, "scenes", JK_ARRAY), 0);
    for (size_t s = 0; s < CAM_DN_SCENES && s < jv_len(scenes); s++) {
        json_object *e = jv_at(scenes, s);
        if (!jv_is(e, JK_OBJECT)) continue;
        record_fields_take(e, reinterpret_cast<char *>(&sc) + s * sizeof(int32_t), kDayNightScene);
        sc.set[s] = 1;
    }
    sc.supplement = jv_int(relay_member(obj, "isSupportSupplement", JK_INT));
    if (sc.supplement != 1) return;
    record_fields_take(obj, &sc, kSupplement);
    if (sc.white_near_far == 1)
        record_fields_take(obj, &sc, kWhiteNearFar);
    else
        record_fields_take(obj, &sc, kWhiteSingle);
    if (sc.ir_near_far == 1)
        record_fields_take(obj, &sc, kIrNearFar);
    else
        record_fields_take(obj, &sc, kIrSingle);
}

// One entry of one channel (/2038): "id" names the entry (0..6).
bool fill_day_night_entry(RelayInput &in, CamDayNightRecord &r)
{
    json_object *id = relay_member(in.obj, "id", JK_INT);
    if (!id || jv_int(id) < 0 || jv_int(id) >= CAM_DN_ENTRIES) return false;
    CamDayNightEntry &e = r.image.entries[jv_int(id)];
    record_fields_take(in.obj, &e, kDayNightEntry);
    e.set = 1;
    return true;
}

// The same settings for the channels of "chnid" (/2047).
bool fill_day_night_batch(RelayInput &in, CamDayNightRecord &r)
{
    int32_t list[MAX_CAMERAS];
    int cnt = jv_int(relay_member(in.obj, "cnt", JK_INT));
    int n = relay_channel_list(relay_member(in.obj, "chnid", JK_ARRAY), cnt < 0 ? 0 : cnt, list);
    for (int i = 0; i < n; i++) in.each |= 1ULL << list[i];
    r.type = jv_int(relay_member(in.obj, "type", JK_INT));
    if (r.type == 0)
        fill_day_night_image(in.obj, r.image);
    else
        fill_day_night_scenes(in.obj, r.scenes);
    return true;
}

// ---- Image areas (/2039, /2040, /2050) -------------------------------------------------------------

const RecordField kAreaFields[] = {
    RECORD_INT("enable", CamArea, enable), RECORD_INT("left", CamArea, left),     RECORD_INT("top", CamArea, top),
    RECORD_INT("right", CamArea, right),   RECORD_INT("bottom", CamArea, bottom),
};

bool fill_areas(RelayInput &in, CamAreasRequest &r)
{
    int cnt = jv_int(relay_member(in.obj, "cnt", JK_INT));
    r.count = relay_channel_list(relay_member(in.obj, "chnid", JK_ARRAY), cnt < 0 ? 0 : cnt, r.channels);
    r.enable = jv_int(relay_member(in.obj, "enable", JK_INT));
    json_object *areas = relay_member(in.obj, "area", JK_ARRAY);
    for (size_t i = 0; i < CAM_AREAS && i < jv_len(areas); i++) {
        json_object *a = jv_at(areas, i);
        if (jv_is(a, JK_OBJECT)) record_fields_take(a, &r.areas[i], kAreaFields);
    }
    return true;
}

bool fill_area_delete(RelayInput &in, CamAreaDelete &r)
{
    json_object *area = relay_member(in.obj, "area_id", JK_INT);
    if (!area || jv_int(area) < 0 || jv_int(area) > CAM_AREAS) return false;
    r.area = jv_int(area);
    return true;
}

// ---- Week schedules kept in the camera (/2041 to /2046) ----------------------------------------

// Calls fn(day, entry, array) for each entry [start, end, action, ...] of
// the request's "schedule": 7 days of at most 10 entries.
template <class Fn> void each_schedule_entry(json_object *obj, Fn fn)
{
    json_object *days = relay_member(obj, "schedule", JK_ARRAY);
    for (size_t d = 0; d < CAM_SCHEDULE_DAYS && d < jv_len(days); d++) {
        json_object *day = jv_at(days, d);
        if (!jv_is(day, JK_ARRAY)) continue;
        for (size_t e = 0; e < CAM_SCHEDULE_ENTRIES && e < jv_len(day); e++) {
            json_object *entry = jv_at(day, e);
            if (jv_is(entry, JK_ARRAY)) fn(d, e, entry);
        }
    }
}

template <class Segment> void fill_segment(Segment &s, json_object *entry)
{
    copy_text(s.start_time, sizeof s.start_time, jv_str(jv_at(entry, 0)));
    copy_text(s.end_time, sizeof s.end_time, jv_str(jv_at(entry, 1)));
    s.action_type = element_int(entry, 2);
}

bool fill_schedule(RelayInput &in, CamScheduleRequest &r)
{
    relay_channel_list(relay_member(in.obj, "channel", JK_ARRAY), MAX_CAMERAS, r.channels);
    each_schedule_entry(in.obj, [&](size_t d, size_t e, json_object *entry) {
        fill_segment(r.days[d].segments[e], entry);
    });
    return true;
}

bool fill_exposure_schedule(RelayInput &in, CamExposureScheduleRequest &r)
{
    relay_channel_list(relay_member(in.obj, "channel", JK_ARRAY), MAX_CAMERAS, r.channels);
    each_schedule_entry(in.obj, [&](size_t d, size_t e, json_object *entry) {
        CamExposureSegment &s = r.days[d].segments[e];
        fill_segment(s, entry);
        s.exposure_time = element_int(entry, 3);
        s.gain_level = element_int(entry, 4);
    });
    return true;
}

template <class Segment> json_object *segment_json(const Segment &s)
{
    json_object *o = json_object_new_object();
    json_add_field(o, "startTime", s.start_time);
    json_add_field(o, "endTime", s.end_time);
    json_add_int(o, "actionType", s.action_type);
    return o;
}

// {"schedule": days 0..6, `entries` entries each}, of ScheduleDay or
// CamExposureDay.
template <class Day> void answer_schedule(const Day *days, size_t entries)
{
    json_object *week = json_object_new_array();
    for (size_t d = 0; d < CAM_SCHEDULE_DAYS; d++) {
        json_object *day = json_object_new_array();
        for (size_t e = 0; e < entries; e++) {
            const auto &s = days[d].segments[e];
            json_object *o = segment_json(s);
            if constexpr (sizeof(s) == sizeof(CamExposureSegment)) {
                json_add_int(o, "exposureTime", s.exposure_time);
                json_add_int(o, "gainLevel", s.gain_level);
            }
            json_object_array_add(day, o);
        }
        json_object_array_add(week, day);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "schedule", week);
    relay_answer_json(o);
}

void answer_camera_schedule(const IpcReply &reply, size_t entries)
{
    std::unique_ptr<CamScheduleReply> r(new CamScheduleReply);
    memcpy(r.get(), reply.payload, sizeof *r);
    answer_schedule(r->schedule.days, entries);
}

// ---- Exposure table (/2048, /2049) -----------------------------------------------------------------

int request_channel(JsonDoc &doc, const char *key)
{
    return jv_channel(relay_member(doc.get(), key, JK_INT));
}

} // namespace

// ---- Answers -----------------------------------------------------------------------------------------

void on_day_night_cb(const IpcReply &reply)
{
    CamDayNightRecord r = camera_reply_record<CamDayNightRecord>(reply.payload, 0);
    json_object *list = json_object_new_array();
    for (int i = 0; i < CAM_DN_ENTRIES; i++) {
        json_object *e = json_object_new_object();
        json_add_int(e, "id", i);
        record_fields_to_json(e, &r.image.entries[i], kDayNightEntry);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "image", list);
    relay_answer_json(o);
}

void on_areas_cb(const IpcReply &reply)
{
    CamAreasReply r = camera_reply_record<CamAreasReply>(reply.payload, 0);
    json_object *list = json_object_new_array();
    for (int i = 0; i < CAM_AREAS; i++) {
        json_object *e = json_object_new_object();
        json_add_int(e, "id", i);
        record_fields_to_json(e, &r.areas[i], kAreaFields);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_add_int(o, "enable", r.enable);
    json_add_field(o, "sdkversion", r.sdkversion);
    json_object_object_add(o, "area", list);
    relay_answer_json(o);
}

void on_schedule_a_cb(const IpcReply &reply) { answer_camera_schedule(reply, CAM_SCHEDULE_ENTRIES); }
void on_schedule_c_cb(const IpcReply &reply) { answer_camera_schedule(reply, CAM_SCHEDULE_REPLY_ENTRIES); }

void on_exposure_schedule_cb(const IpcReply &reply)
{
    std::unique_ptr<CamExposureScheduleReply> r(new CamExposureScheduleReply);
    memcpy(r.get(), reply.payload, sizeof *r);
    answer_schedule(r->days, CAM_SCHEDULE_REPLY_ENTRIES);
}

// ---- Exposure table handlers ----------------------------------------------------------------------------

int on_set_exposure_table(char *request)
{
    JsonDoc doc(request);
    if (!doc) return 0;
    const int ch = request_channel(doc, "channel");
    if (ch < 0) return cgi_error_to_webserver(REPLY_JSON);
    ExposureTable table{};
    table.channel = ch;
    json_object *pairs = relay_member(doc.get(), "exposure", JK_ARRAY);
    for (size_t i = 0; i < EXPOSURE_PAIRS && i < jv_len(pairs); i++) {
        json_object *p = jv_at(pairs, i);
        table.pairs[i].exposure_time = jv_int(relay_member(p, "exposureTime", JK_INT));
        table.pairs[i].gain_level = jv_int(relay_member(p, "gainLevel", JK_INT));
        table.count = static_cast<int32_t>(i + 1);
    }
    if (write_exposure_table(QXDB_PATH, &table) != 0) return cgi_error_to_webserver(REPLY_TEXT);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int on_get_exposure_table(char *request)
{
    JsonDoc doc(request);
    if (!doc) return 0;
    const int ch = request_channel(doc, "channel");
    ExposureTable table{};
    if (ch < 0 || read_exposure_table(QXDB_PATH, &table, ch) != 0 || table.count <= 0)
        return cgi_error_to_webserver(REPLY_JSON);
    const int n = table.count > EXPOSURE_PAIRS ? EXPOSURE_PAIRS : table.count;
    json_object *list = json_object_new_array();
    for (int i = 0; i < n; i++) {
        json_object *e = json_object_new_object();
        json_add_int(e, "exposureTime", table.pairs[i].exposure_time);
        json_add_int(e, "gainLevel", table.pairs[i].gain_level);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "exposure", list);
    camera_reply_json(o);
    return 0;
}

// ---- Routes -------------------------------------------------------------------------------------------------

CAMERA_RELAY(on_get_ipc_day_night, camera_relay(IPC_CAM_DAY_NIGHT_GET).channel("id", REPLY_JSON))
CAMERA_RELAY(on_set_ipc_day_night,
             camera_relay(IPC_CAM_DAY_NIGHT_SET)
                 .channel("channel", REPLY_JSON)
                 .with<CamDayNightRecord, fill_day_night_entry>()
                 .notice())
CAMERA_RELAY(on_set_ipc_day_night_batch,
             camera_relay(IPC_CAM_DAY_NIGHT_SET).with<CamDayNightRecord, fill_day_night_batch>().notice(RELAY_EACH))
CAMERA_RELAY(on_get_ipc_image_areas, camera_relay(IPC_CAM_AREAS_GET).channel("id", REPLY_JSON))
CAMERA_RELAY(on_set_ipc_image_areas, camera_relay(IPC_CAM_AREAS_SET).with<CamAreasRequest, fill_areas>().notice())
CAMERA_RELAY(on_delete_ipc_image_area,
             camera_relay(IPC_CAM_AREA_DELETE)
                 .channel("chan_id", REPLY_JSON)
                 .with<CamAreaDelete, fill_area_delete>()
                 .notice())
CAMERA_RELAY(on_get_ipc_schedule_a, camera_relay(IPC_CAM_SCHEDULE_A_GET).channel("id", REPLY_JSON))
CAMERA_RELAY(on_set_ipc_schedule_a,
             camera_relay(IPC_CAM_SCHEDULE_A_SET).with<CamScheduleRequest, fill_schedule>().notice())
CAMERA_RELAY(on_get_ipc_exposure_schedule, camera_relay(IPC_CAM_EXPOSURE_SCHED_GET).channel("id", REPLY_JSON))
CAMERA_RELAY(on_set_ipc_exposure_schedule,
             camera_relay(IPC_CAM_EXPOSURE_SCHED_SET)
                 .with<CamExposureScheduleRequest, fill_exposure_schedule>()
                 .notice())
CAMERA_RELAY(on_get_ipc_schedule_c, camera_relay(IPC_CAM_SCHEDULE_C_GET).channel("id", REPLY_JSON))
CAMERA_RELAY(on_set_ipc_schedule_c,
             camera_relay(IPC_CAM_SCHEDULE_C_SET).with<CamScheduleRequest, fill_schedule>().notice())
