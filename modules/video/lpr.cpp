// Licence plate recognition handlers of the video module: the actions of the
// three plate-list events per channel (settings database), the camera's
// recognition settings and plate wildcards (through the daemon), and the
// plate lists in their own database file.
//
// Channels outside 0..63 and modes outside -1..2 never reach the database or
// the daemon. Plates arrive URL-encoded and are decoded before they are cut
// to their field.
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/record_fields.h"
#include "common/records/event_action.h"
#include "common/records/event_schedule.h"
#include "common/records/lpr.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/lpr_osd.h"
#include "modules/video/video_ipc.h"
#include "modules/video/video_utils.h"
#include "platform/qx_std.h"

namespace {
const char kDb[] = QXDB_PATH;
const char kAnprDb[] = QXDB_ANPR_PATH;

#define EV_INT(key, member) RECORD_INT(key, AnprEventRecord, member)
#define EV_TEXT(key, member) RECORD_TEXT(key, AnprEventRecord, member)
// Fields of the event record a dialog sets, in the order of the reply.
const RecordField kEventFields[] = {
    EV_INT("triAlarms", tri_alarms),
    EV_INT("interval", interval),
    EV_INT("email_interval", email_interval),
    EV_INT("email_pic_enable", email_pic_enable),
    EV_TEXT("tri_channels_pic", tri_channels_pic),
    EV_INT("ptz_interval", ptz_interval),
    EV_INT("alarmout_interval", alarmout_interval),
    EV_INT("white_interval", white_interval),
    EV_INT("warning_light_interval", warning_light_interval),
    EV_INT("http_notification_interval", http_notification_interval),
    EV_TEXT("triChannels", tri_channels),
};
const RecordField kAudioField[] = {EV_INT("audioId", audio_id)};

typedef int (*ReadAnprSchedule)(const char *, WeekSchedule *, int, int);
typedef int (*WriteAnprSchedule)(const char *, const WeekSchedule *, int, int);
struct AnprSchedule {
    const char *key;
    ReadAnprSchedule read;
    WriteAnprSchedule write;
};
const AnprSchedule kSchedules[] = {
    {"effective", read_anpr_effective_schedule, write_anpr_effective_schedule},
    {"audible", read_anpr_audible_schedule, write_anpr_audible_schedule},
    {"email", read_anpr_mail_schedule, write_anpr_mail_schedule},
    {"ptz", read_anpr_ptz_schedule, write_anpr_ptz_schedule},
};

// The named schedules of a mode's actions (white LED, warning light, HTTP).
typedef int (*ReadNamed)(const char *, const char *, WeekSchedule *, int);
typedef int (*WriteNamed)(const char *, const char *, const WeekSchedule *, int);
struct NamedSchedule {
    const char *key;
    const char *AnprActionTables::*table;
    ReadNamed read;
    WriteNamed write;
};
const NamedSchedule kNamedSchedules[] = {
    {"white", &AnprActionTables::white_sche, read_whiteled_effective_schedule, write_whiteled_effective_schedule},
    {"warningLight", &AnprActionTables::warning_sche, read_warning_light_effective_schedule,
     write_warning_light_effective_schedule},
    {"httpSche", &AnprActionTables::http_sche, read_http_notification_schedule, write_http_notification_schedule},
};

std::unique_ptr<WeekSchedule> new_schedule() { return std::unique_ptr<WeekSchedule>(new WeekSchedule()); }

json_object *schedule_json(const AnprSchedule &s, int channel, int mode)
{
    return stored_schedule_json([&](WeekSchedule *sche) { return s.read(kDb, sche, channel, mode); });
}

json_object *named_schedule_json(const NamedSchedule &s, const AnprActionTables &t, int channel)
{
    return stored_schedule_json([&](WeekSchedule *sche) { return s.read(kDb, t.*s.table, sche, channel); });
}

// Stores each schedule the dialog carries: -1 when a write failed.
int store_schedules(json_object *dialog, int channel, int mode, const AnprActionTables &t)
{
    auto sche = new_schedule();
    for (const AnprSchedule &s : kSchedules)
        if (get_schedule_by_json(dialog, s.key, sche.get()) == 0 && s.write(kDb, sche.get(), channel, mode) != 0)
            return -1;
    for (const NamedSchedule &s : kNamedSchedules)
        if (get_schedule_by_json(dialog, s.key, sche.get()) == 0 && s.write(kDb, t.*s.table, sche.get(), channel) != 0)
            return -1;
    return 0;
}

// Saves an ANPR dialog for a channel and mode into rec and the action
// tables; the caller writes rec when the result is > 0 (the number of
// changes). -1: a write failed. Runs inside the caller's transaction.
int save_anpr_dialog(json_object *dialog, int channel, int mode, AnprEventRecord *rec)
{
    if (!jv_is(dialog, JK_OBJECT)) return 0;
    const AnprActionTables &t = *anpr_action_tables(mode);
    if (store_schedules(dialog, channel, mode, t) < 0) return -1;
    if (set_white_params_by_json(channel, t.white_params, dialog, "whiteInfo") < 0 ||
        set_warning_light_params_by_json(channel, t.warning_params, dialog, "warningLightInfo") < 0 ||
        set_http_params_by_json(channel, t.http_params, dialog, "httpParams") < 0)
        return -1;

    int changes = 0;
    AlarmOutPair pair[2] = {};
    for (int i = 0; i < 2; i++)
        copy_field(pair[i].alarm_out, sizeof pair[i].alarm_out, rec->tri_chn_alarms[i], sizeof rec->tri_chn_alarms[i]);
    if (get_event_chn_alarmout_by_object(channel, dialog, "triChnAlarms", pair) == 0) {
        for (int i = 0; i < 2; i++) COPY_TEXT(rec->tri_chn_alarms[i], pair[i].alarm_out);
        changes = 1;
    }
    if (record_fields_take(dialog, rec, kEventFields) + record_fields_take(dialog, rec, kAudioField) > 0) changes = 1;
    rec->channel_bits = get_channel_mask(rec->tri_channels);

    const JsonPolicy policy[] = {{"ptzChnId", JK_INT}, {"ptzType", JK_INT}, {"ptzParams", JK_ARRAY}};
    json_object *tb[3];
    JSON_PARSE(dialog, policy, tb);
    if (tb[2]) {
        int stored = set_ptz_params_by_json(jv_int(tb[0]), jv_int(tb[1]), tb[2]);
        if (stored < 0) return -1;
        if (stored > 0) changes++;
    }
    return changes;
}

// "chnid" and "mode" of a list-event request (mode 0 when absent); false
// when either is out of range or the request is not an object.
bool channel_and_mode(json_object *const tb[2], int *channel, int *mode)
{
    *channel = jv_channel(tb[0]);
    *mode = jv_int(tb[1]);
    return valid_channel(*channel) && anpr_valid_mode(*mode);
}

// The waiting request of this process and the reply code that may answer it.
std::atomic<int> g_expected_reply{0};

void on_lpr_osd_callback(int unused, const void *header, const void *payload)
{
    if (ipc_reply_code(header) != g_expected_reply.load()) return;
    on_video_ipc_callback(unused, header, payload);
}
} // namespace

int lpr_osd_request(int code, int length, const void *payload, int error_kind)
{
    g_expected_reply = code + 5000;
    return cgi_request_ipc(on_lpr_osd_callback, code, length, payload, error_kind);
}

// ---- /6179, /6180: list event actions ---------------------------------------------------

int on_get_anpr_mode_params(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}, {"mode", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_anpr_mode_params, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    int channel = -1, mode = 0;
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !channel_and_mode(tb, &channel, &mode))
        return cgi_error_to_webserver(REPLY_JSON);

    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", channel);
    json_add_int(o, "mode", mode);
    if (mode == ANPR_MODE_GENERAL) {
        json_object_object_add(o, "effective", schedule_json(kSchedules[0], channel, mode));
    } else {
        const AnprActionTables &t = *anpr_action_tables(mode);
        AnprEventRecord rec{};
        read_anpr_event(kDb, &rec, channel, mode);
        json_add_int(o, "enable", rec.enable);
        record_fields_to_json(o, &rec, kEventFields);
        for (const AnprSchedule &s : kSchedules) json_object_object_add(o, s.key, schedule_json(s, channel, mode));
        json_object_object_add(o, "triChnAlarms",
                               get_event_chn_alarmout_object(rec.tri_chn_alarms[0], rec.tri_chn_alarms[1]));
        json_object_object_add(o, "white", named_schedule_json(kNamedSchedules[0], t, channel));
        json_object_object_add(o, "whiteInfo", get_white_params_json_object(channel, t.white_params));
        json_object_object_add(o, "warningLight", named_schedule_json(kNamedSchedules[1], t, channel));
        json_object_object_add(o, "warningLightInfo", get_warning_light_params_json_object(channel, t.warning_params));
        json_object_object_add(o, "httpSche", named_schedule_json(kNamedSchedules[2], t, channel));
        json_object_object_add(o, "httpParams", get_http_params_json_object(channel, t.http_params));
        record_fields_to_json(o, &rec, kAudioField);
        json_object_object_add(o, "audioIdMask", json_object_new_int64(get_audio_file_id_mask()));
        json_object_object_add(o, "ptzParams", get_ptz_params_json_object(anpr_ptz_event(mode), channel));
    }
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

namespace {
// Reads the event record of a channel and mode, saves the dialog into it
// and writes it when anything changed, in one transaction. `enable`: the
// request's "enable" slot (may be null). -1 when a write failed.
int save_list_event(json_object *dialog, json_object *enable, int channel, int mode)
{
    return settings_atomic(kDb, [&]() -> int {
        AnprEventRecord rec{};
        if (read_anpr_event(kDb, &rec, channel, mode) != 0) return -1;
        int changes = save_anpr_dialog(dialog, channel, mode, &rec);
        if (changes < 0) return -1;
        if (enable) {
            rec.enable = jv_int(enable);
            changes++;
        }
        return changes > 0 ? write_anpr_event(kDb, &rec, mode) : 0;
    });
}
} // namespace

int on_set_anpr_mode_params(char *request)
{
    static constexpr JsonPolicy policy[] = {
        {"chnid", JK_INT}, {"mode", JK_INT}, {"enable", JK_INT}, {"dialog", JK_OBJECT},
    };
    NVRWEB_HANDLER_KEYS(on_set_anpr_mode_params, policy);
    JsonDoc doc(request);
    json_object *tb[4];
    int channel = -1, mode = 0;
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !channel_and_mode(tb, &channel, &mode))
        return cgi_error_to_webserver(REPLY_JSON);
    if (save_list_event(tb[3], tb[2], channel, mode) < 0) {
        cgi_log("OnVideo", __LINE__, "", "ANPR actions: settings write failed for channel %d", channel);
        return cgi_error_to_webserver(REPLY_JSON);
    }
    cgi_notify_ipc(IPC_ANPR_CHANGED, AnprChanged{channel, mode});
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- Camera reads: /6181, /6186, /6189, /6190 ------------------------------------------------

namespace {
// Shared shape: {"chnid"} 0..63, else the JSON error reply; the request
// carries the channel and waits; a time-out answers the JSON error reply.
int camera_read(const char *request, int code)
{
    const JsonPolicy policy[] = {{"chnid", JK_INT}};
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !valid_channel(jv_channel(tb[0])))
        return cgi_error_to_webserver(REPLY_JSON);
    int32_t channel = jv_channel(tb[0]);
    lpr_osd_request(code, channel, REPLY_JSON);
    return 0;
}

template <class T> void answer_record_fields(const void *header, const void *payload, const RecordField *fields, size_t n)
{
    T rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    record_fields_to_json(o, &rec, fields, n);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

const RecordField kSupportFields[] = {
    RECORD_INT("chnid", AnprSupport, chnid),
    RECORD_INT("vca_support", AnprSupport, vca_support),
    RECORD_INT("vca_version", AnprSupport, vca_version),
};
const RecordField kZoomFields[] = {
    RECORD_INT("chnid", CamZoomState, chnid),
    RECORD_INT("state", CamZoomState, state),
    RECORD_INT("zoomNumber", CamZoomState, zoom_number),
};
} // namespace

int on_get_anpr_settings(char *request) { return camera_read(request, IPC_ANPR_SETTINGS_GET); }
int on_get_anpr_support_anpr(char *request) { return camera_read(request, IPC_ANPR_SUPPORT); }
int on_get_ipc_zoom_state(char *request) { return camera_read(request, IPC_CAM_ZOOM_STATE); }
int on_get_ipc_anpr_wildcards(char *request) { return camera_read(request, IPC_ANPR_WILDCARDS_GET); }

void on_anpr_support_cb(const void *header, const void *payload, size_t)
{
    answer_record_fields<AnprSupport>(header, payload, kSupportFields, sizeof kSupportFields / sizeof kSupportFields[0]);
}

void on_cam_zoom_state_cb(const void *header, const void *payload, size_t)
{
    answer_record_fields<CamZoomState>(header, payload, kZoomFields, sizeof kZoomFields / sizeof kZoomFields[0]);
}

// "OK" when the camera took the settings (first int 0), else "FAILED".
void on_anpr_result_cb(const void *header, const void *payload, size_t)
{
    int32_t status = -1;
    ipc_reply_record(header, payload, 0, &status);
    cgi_writeback_webserver(REPLY_TEXT, status == 0 ? "OK" : "FAILED");
    g_callback_done = 1;
}

// ---- Recognition settings record -------------------------------------------------------------

namespace {
#define ST_INT(key, member) RECORD_INT(key, AnprSettingsRecord, member)
#define ST_TEXT(key, member) RECORD_TEXT(key, AnprSettingsRecord, member)
const RecordField kSettingsHead[] = {
    ST_INT("chnid", chnid),
    ST_INT("enable", enable),
    ST_INT("resolution_width", resolution_width),
    ST_INT("resolution_height", resolution_height),
    ST_INT("area_x", area_x),
    ST_INT("area_y", area_y),
    ST_INT("area_width", area_width),
    ST_INT("area_height", area_height),
    ST_INT("day_night_mode_enable", day_night_mode_enable),
    ST_INT("scene", scene),
    ST_INT("direction_enable", direction_enable),
    ST_INT("region_enable", region_enable),
    ST_INT("roiid_enable", roiid_enable),
    ST_INT("process_mode", process_mode),
    ST_INT("repeat_check_time_value", repeat_check_time_value),
    ST_INT("repeat_check_time_unit", repeat_check_time_unit),
    ST_INT("post_enable", post_enable),
    ST_INT("post_type", post_type),
    ST_INT("post_tcp_port", post_tcp_port),
    ST_TEXT("post_http_user", post_http_user),
    ST_TEXT("post_http_password", post_http_password),
    ST_TEXT("post_http_url", post_http_url),
    ST_INT("confidence", confidence),
    ST_INT("night_mode_enable", night_mode_enable),
    ST_INT("night_mode_level", night_mode_level),
    ST_INT("night_mode_starthour", night_mode_starthour),
    ST_INT("night_mode_startminute", night_mode_startminute),
    ST_INT("night_mode_stophour", night_mode_stophour),
    ST_INT("night_mode_stopminute", night_mode_stopminute),
    ST_INT("night_mode_effective_mode", night_mode_effective_mode),
};
const RecordField kNightModeField[] = {ST_INT("in_night_mode", in_night_mode)};
const RecordField kSettingsTail[] = {
    ST_INT("platecolorEnable", platecolor_enable),
    ST_INT("vehicletypeEnable", vehicletype_enable),
    ST_INT("vehiclecolorEnable", vehiclecolor_enable),
    ST_INT("jsonSupport", json_support),
    ST_INT("irLedExternalSupport", ir_led_external_support),
    ST_INT("vehicleEnhancement", vehicle_enhancement),
    ST_INT("vehicleBrandEnable", vehicle_brand_enable),
    ST_INT("aitype", aitype),
};
// A region of interest; the preset entries of a reply spell "endy".
const RecordField kRectFields[] = {
    RECORD_TEXT("name", AnprRect, name),   RECORD_INT("startX", AnprRect, start_x),
    RECORD_INT("startY", AnprRect, start_y), RECORD_INT("endX", AnprRect, end_x),
    RECORD_INT("endY", AnprRect, end_y),
};
const RecordField kPresetReplyFields[] = {
    RECORD_TEXT("name", AnprRect, name),   RECORD_INT("startX", AnprRect, start_x),
    RECORD_INT("startY", AnprRect, start_y), RECORD_INT("endX", AnprRect, end_x),
    RECORD_INT("endy", AnprRect, end_y),
};
const RecordField kPolygonFields[] = {
    RECORD_TEXT("name", AnprPolygon, name),
    RECORD_TEXT("polygonX", AnprPolygon, polygon_x),
    RECORD_TEXT("polygonY", AnprPolygon, polygon_y),
};

template <size_t N> json_object *fields_object(const void *rec, const RecordField (&fields)[N])
{
    json_object *o = json_object_new_object();
    record_fields_to_json(o, rec, fields);
    return o;
}

bool polygons_used(const AnprSettingsRecord &rec)
{
    return rec.json_support != 0 && on_cgi_is_qx_lpr(rec.aitype);
}

// Takes the settings keys of a request into a zeroed record (missing keys
// stay 0 or empty); the reply-only fields stay 0.
void take_settings(json_object *req, int channel, AnprSettingsRecord *rec)
{
    record_fields_take(req, rec, kSettingsHead);
    record_fields_take(req, rec, kSettingsTail);
    rec->chnid = channel;
    rec->ir_led_external_support = 0;
    const JsonPolicy policy[] = {{"region", JK_ARRAY}, {"cur_area", JK_STRING}, {"roi", JK_ARRAY},
                                 {"preset", JK_ARRAY}, {"normalPolygons", JK_ARRAY}};
    json_object *tb[5];
    JSON_PARSE(req, policy, tb);
    for (size_t i = 0; i < ANPR_REGIONS && i < jv_len(tb[0]); i++)
        if (jv_is(jv_at(tb[0], i), JK_STRING)) COPY_TEXT(rec->region[i], jv_str(jv_at(tb[0], i)));
    jv_copy(tb[1], rec->cur_area, sizeof rec->cur_area);
    for (size_t i = 0; i < ANPR_ROIS && i < jv_len(tb[2]); i++)
        record_fields_take(jv_at(tb[2], i), &rec->roi[i], kRectFields);
    for (size_t g = 0; g < ANPR_PRESETS && g < jv_len(tb[3]); g++) {
        json_object *group = jv_at(tb[3], g);
        for (size_t j = 0; j < ANPR_PRESET_ENTRIES && j < jv_len(group); j++)
            record_fields_take(jv_at(group, j), &rec->preset[g][j], kRectFields);
    }
    if (polygons_used(*rec))
        for (size_t i = 0; i < ANPR_POLYGONS && i < jv_len(tb[4]); i++)
            record_fields_take(jv_at(tb[4], i), &rec->normal_polygons[i], kPolygonFields);
}
} // namespace

void on_anpr_settings_cb(const void *header, const void *payload, size_t)
{
    std::unique_ptr<AnprSettingsRecord> rec(new AnprSettingsRecord());
    ipc_reply_record(header, payload, 0, rec.get());
    json_object *o = json_object_new_object();
    record_fields_to_json(o, rec.get(), kSettingsHead);
    json_object *regions = json_object_new_array();
    for (const auto &r : rec->region) json_object_array_add(regions, json_object_new_string_len(r, strnlen(r, sizeof r)));
    json_object_object_add(o, "region", regions);
    json_add_field(o, "cur_area", rec->cur_area);
    record_fields_to_json(o, rec.get(), kNightModeField);
    json_object *roi = json_object_new_array();
    for (const AnprRect &r : rec->roi) json_object_array_add(roi, fields_object(&r, kRectFields));
    json_object_object_add(o, "roi", roi);
    json_object *presets = json_object_new_array();
    for (const auto &group : rec->preset) {
        json_object *g = json_object_new_array();
        for (const AnprRect &r : group) json_object_array_add(g, fields_object(&r, kPresetReplyFields));
        json_object_array_add(presets, g);
    }
    json_object_object_add(o, "preset", presets);
    record_fields_to_json(o, rec.get(), kSettingsTail);
    if (polygons_used(*rec)) {
        json_object *polygons = json_object_new_array();
        for (const AnprPolygon &p : rec->normal_polygons) json_object_array_add(polygons, fields_object(&p, kPolygonFields));
        json_object_object_add(o, "normalPolygons", polygons);
    }
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- Wildcards: /6190 reply, /6191 ---------------------------------------------------------------

namespace {
// The wildcard record of a request object (its own "chnid" given as channel).
AnprWildcardRecord wildcards_of(json_object *req, int channel)
{
    AnprWildcardRecord rec{};
    rec.channel = channel;
    const JsonPolicy policy[] = {{"filter", JK_INT}, {"maxPlateCharNum", JK_INT}, {"wildcards", JK_ARRAY}};
    json_object *tb[3];
    JSON_PARSE(req, policy, tb);
    rec.filter = jv_int(tb[0]);
    rec.max_plate_char_num = jv_int(tb[1]);
    for (size_t i = 0; i < ANPR_WILDCARDS && i < jv_len(tb[2]); i++) {
        const JsonPolicy wp[] = {{"enable", JK_INT}, {"cr_count", JK_INT}, {"format", JK_STRING}};
        json_object *w[3];
        if (JSON_PARSE(jv_at(tb[2], i), wp, w) < 0) continue;
        rec.enable[i] = jv_int(w[0]);
        rec.cr_count[i] = jv_int(w[1]);
        jv_copy(w[2], rec.format[i], sizeof rec.format[i]);
    }
    return rec;
}
} // namespace

void on_anpr_wildcards_cb(const void *header, const void *payload, size_t)
{
    AnprWildcardRecord rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", rec.channel);
    json_add_int(o, "filter", rec.filter);
    json_add_int(o, "maxPlateCharNum", rec.max_plate_char_num);
    json_object *list = json_object_new_array();
    for (int i = 0; i < ANPR_WILDCARDS; i++) {
        json_object *w = json_object_new_object();
        json_add_int(w, "enable", rec.enable[i]);
        json_add_int(w, "cr_count", rec.cr_count[i]);
        json_add_field(w, "format", rec.format[i]);
        json_object_array_add(list, w);
    }
    json_object_object_add(o, "wildcards", list);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

int on_set_ipc_anpr_wildcards(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ipc_anpr_wildcards, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !valid_channel(jv_channel(tb[0])))
        return cgi_error_to_webserver(REPLY_JSON);
    lpr_osd_request(IPC_ANPR_WILDCARDS_SET, wildcards_of(doc.get(), jv_channel(tb[0])), REPLY_JSON);
    return 0;
}

// ---- /6182 ---------------------------------------------------------------------------------------

int on_set_anpr_settings(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}, {"dialog", JK_OBJECT}, {"formatData", JK_OBJECT}};
    NVRWEB_HANDLER_KEYS(on_set_anpr_settings, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    const int channel = jv_channel(tb[0]);
    if (!valid_channel(channel)) return cgi_error_to_webserver(REPLY_JSON);

    if (save_list_event(tb[1], nullptr, channel, ANPR_MODE_GENERAL) < 0) {
        cgi_log("OnVideo", __LINE__, "", "ANPR settings: settings write failed for channel %d", channel);
        return cgi_error_to_webserver(REPLY_JSON);
    }
    if (tb[2]) {
        const JsonPolicy fp[] = {{"chnid", JK_INT}};
        json_object *f[1];
        JSON_PARSE(tb[2], fp, f);
        const int wildcard_channel = jv_channel(f[0]);
        // Sent without waiting; its reply never answers this request.
        if (valid_channel(wildcard_channel))
            cgi_notify_ipc(IPC_ANPR_WILDCARDS_SET, wildcards_of(tb[2], wildcard_channel));
    }
    std::unique_ptr<AnprSettingsRecord> rec(new AnprSettingsRecord());
    take_settings(doc.get(), channel, rec.get());
    lpr_osd_request(IPC_ANPR_SETTINGS_SET, *rec, REPLY_JSON);
    return 0;
}

// ---- Plate lists: /6183, /6184, /6185 --------------------------------------------------------------

namespace {
// Cuts a text back to whole UTF-8 characters when the copy into a field
// of `size` bytes split one.
void cut_whole_characters(char *field, size_t size, size_t full_length)
{
    const size_t n = strnlen(field, size);
    if (n >= full_length) return;
    // The lead byte of the last character copied, and the length it announces.
    size_t lead = n;
    while (lead > 0 && (static_cast<unsigned char>(field[lead - 1]) & 0xC0) == 0x80) lead--;
    if (lead == 0) return;
    lead--;
    const unsigned char b = static_cast<unsigned char>(field[lead]);
    const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (lead + length > n) memset(field + lead, 0, size - lead);
}

// A text element URL-decoded, then cut into the field; false (field left
// empty) when the element is not a text or decodes to nothing.
bool take_decoded(json_object *v, char *field, size_t size)
{
    memset(field, 0, size);
    if (!jv_is(v, JK_STRING)) return false;
    std::string text(jv_str(v));
    if (text.empty()) return false;
    get_url_decode(&text[0]);
    const size_t length = strlen(text.c_str());
    copy_text(field, size, text.c_str());
    cut_whole_characters(field, size, length);
    return field[0] != '\0';
}

// A list type: a text element cut to its field (at least present).
bool take_type(json_object *v, char *field, size_t size)
{
    memset(field, 0, size);
    if (!jv_is(v, JK_STRING)) return false;
    copy_text(field, size, jv_str(v));
    cut_whole_characters(field, size, strlen(jv_str(v)));
    return true;
}

// "cnt" and "plate" of a plate-list request; the count when it is 1..10000,
// else 0.
size_t plate_count(json_object *const tb[2])
{
    const int64_t cnt = jv_int64(tb[0]);
    return cnt >= 1 && cnt <= ANPR_LIST_MAX ? static_cast<size_t>(cnt) : 0;
}
const JsonPolicy kPlatePolicy[] = {{"cnt", JK_INT}, {"plate", JK_ARRAY}};
NVRWEB_HANDLER_KEYS(on_set_anpr_del_lpr_plate, kPlatePolicy);
NVRWEB_HANDLER_KEYS(on_set_anpr_add_lpr_plate, kPlatePolicy);
NVRWEB_HANDLER_KEYS(on_set_anpr_update_lpr_plate, kPlatePolicy);

// Elements of the "plate" array up to the count, each taken by take();
// stops at the first element take() refuses.
template <class Take> std::vector<AnprListEntry> take_entries(json_object *list, size_t count, Take take)
{
    std::vector<AnprListEntry> out;
    for (size_t i = 0; i < count && i < jv_len(list); i++) {
        AnprListEntry e{};
        if (!take(jv_at(list, i), &e)) break;
        out.push_back(e);
    }
    return out;
}
} // namespace

int on_set_anpr_del_lpr_plate(char *request)
{
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), kPlatePolicy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    const size_t count = plate_count(tb);
    if (count == 0) return cgi_error_to_webserver(REPLY_TEXT);
    auto entries = take_entries(tb[1], count, [](json_object *v, AnprListEntry *e) {
        return take_decoded(v, e->plate, sizeof e->plate);
    });
    if (entries.empty()) return cgi_error_to_webserver(REPLY_TEXT);
    if (delete_anpr_lists(kAnprDb, entries.data(), static_cast<int>(entries.size())) != 0)
        return cgi_error_to_webserver(REPLY_TEXT);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int on_set_anpr_add_lpr_plate(char *request)
{
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), kPlatePolicy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    const size_t count = plate_count(tb);
    if (count == 0) return cgi_error_to_webserver(REPLY_JSON);
    // Elements [type, plate].
    auto entries = take_entries(tb[1], count, [](json_object *v, AnprListEntry *e) {
        return jv_is(v, JK_ARRAY) && take_type(jv_at(v, 0), e->type, sizeof e->type) &&
               take_decoded(jv_at(v, 1), e->plate, sizeof e->plate);
    });
    if (entries.empty()) return cgi_error_to_webserver(REPLY_JSON);
    if (write_anpr_list_replace_batch(kAnprDb, entries.data(), static_cast<int>(entries.size())) != 0)
        return cgi_error_to_webserver(REPLY_JSON);
    json_object *o = json_object_new_object();
    json_add_int(o, "count", static_cast<int>(entries.size()));
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

int on_set_anpr_update_lpr_plate(char *request)
{
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), kPlatePolicy, tb) < 0) return cgi_error_to_webserver(REPLY_TEXT);
    const size_t count = plate_count(tb);
    if (count == 0) return cgi_error_to_webserver(REPLY_TEXT);
    // Elements [old plate, type, new plate]: each one whole, or the update
    // stops there (before its old plate is deleted).
    struct Change {
        char old_plate[ANPR_PLATE_SIZE];
        AnprListEntry entry;
    };
    std::vector<Change> changes;
    json_object *list = tb[1];
    for (size_t i = 0; i < count && i < jv_len(list); i++) {
        json_object *v = jv_at(list, i);
        Change c{};
        if (!jv_is(v, JK_ARRAY) || !take_decoded(jv_at(v, 0), c.old_plate, sizeof c.old_plate) ||
            !take_type(jv_at(v, 1), c.entry.type, sizeof c.entry.type) ||
            !take_decoded(jv_at(v, 2), c.entry.plate, sizeof c.entry.plate))
            break;
        changes.push_back(c);
    }
    int rc = settings_atomic(kAnprDb, [&]() -> int {
        for (const Change &c : changes) {
            if (delete_anpr_list(kAnprDb, c.old_plate) != 0) return -1;
            AnprListEntry stored{};
            int found = read_anpr_list_plate(kAnprDb, c.entry.plate, &stored);
            if (found < 0) return -1;
            if ((found == 0 ? update_anpr_list(kAnprDb, &c.entry) : write_anpr_list(kAnprDb, &c.entry)) != 0) return -1;
        }
        return 0;
    });
    if (rc < 0) return cgi_error_to_webserver(REPLY_TEXT);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
