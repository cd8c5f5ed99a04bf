// Video content analysis settings kept in the cameras: the getters ask the
// camera through the daemon and answer its record as JSON; the setters
// build the camera's record from the page, save the page's action dialog in
// the settings database and send the record, answering "OK" or "FAILED"
// from the camera's status.
//
// The web client draws on a canvas of 460 x 260 points; line and object
// box coordinates are converted between it and the camera's frame, in 64
// bits and clamped to the frame, so no request can overflow them.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/record_fields.h"
#include "common/records/vca.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/vca.h"
#include "modules/video/video_ipc.h"
#include "modules/video/video_utils.h"

// ---- Coordinates ---------------------------------------------------------------------------

namespace {
int64_t clamp64(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; }
// Values and frames are bounded to the int range: every product stays far
// inside 64 bits and every result fits the record's int.
const int64_t kCoordLimit = INT32_MAX;
} // namespace

int32_t vca_to_camera(int64_t v, int64_t frame, int64_t canvas)
{
    if (frame <= 0 || canvas <= 0) return 0;
    v = clamp64(v, -kCoordLimit, kCoordLimit);
    frame = clamp64(frame, 0, kCoordLimit);
    return static_cast<int32_t>(clamp64((v * frame + canvas / 2) / canvas, 0, frame));
}

int32_t vca_to_canvas(int64_t v, int64_t frame, int64_t canvas)
{
    if (frame <= 0 || canvas <= 0) return 0;
    v = clamp64(v, -kCoordLimit, kCoordLimit);
    frame = clamp64(frame, 1, kCoordLimit);
    return static_cast<int32_t>(clamp64((v * canvas + frame / 2) / frame, 0, canvas));
}

void vca_split_position(const char *text, int32_t out[4])
{
    for (int i = 0; i < 4; i++) out[i] = 0;
    if (!text) return;
    const char *p = text;
    for (int i = 0; i < 4; i++) {
        const char *end = strchr(p, ';');
        long long v = strtoll(p, nullptr, 10); // stops at ';' or the end
        out[i] = static_cast<int32_t>(clamp64(v, INT32_MIN, INT32_MAX));
        if (!end) break;
        p = end + 1;
    }
}

namespace {
const char *kPositionFormat = "%d;%d;%d;%d";

std::string position_text(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    char buf[64];
    snprintf(buf, sizeof buf, kPositionFormat, x1, y1, x2, y2);
    return buf;
}

// A canvas position text to camera points (each at least 1).
void position_to_camera(const char *text, int32_t w, int32_t h, int32_t *x1, int32_t *y1, int32_t *x2, int32_t *y2)
{
    int32_t p[4];
    vca_split_position(text, p);
    *x1 = at_least_1(vca_to_camera(p[0], w, VCA_CANVAS_W));
    *y1 = at_least_1(vca_to_camera(p[1], h, VCA_CANVAS_H));
    *x2 = at_least_1(vca_to_camera(p[2], w, VCA_CANVAS_W));
    *y2 = at_least_1(vca_to_camera(p[3], h, VCA_CANVAS_H));
}

// Camera points to a canvas position text; `raise`: each at least 1.
std::string position_to_canvas(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t w, int32_t h, bool raise)
{
    int32_t v[4] = {vca_to_canvas(x1, w, VCA_CANVAS_W), vca_to_canvas(y1, h, VCA_CANVAS_H),
                    vca_to_canvas(x2, w, VCA_CANVAS_W), vca_to_canvas(y2, h, VCA_CANVAS_H)};
    if (raise)
        for (int32_t &x : v) x = at_least_1(x);
    return position_text(v[0], v[1], v[2], v[3]);
}

// ---- Requests ------------------------------------------------------------------------------

int reply_code(int request_code) { return request_code + IPC_REPLY_OFFSET; }

// Shared shape of the getters: the channel of `key` must be 0..63 (the JSON
// error reply else; `any_channel` sends whatever number is there); sends
// `code` with it and waits. An unparsable request gets no reply, or the
// JSON error reply when `parse_error` says so.
int request_camera(const char *request, const char *key, int code, bool any_channel = false, bool parse_error = false)
{
    JsonDoc doc(request);
    const JsonPolicy policy[] = {{key, JK_INT}};
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return parse_error ? cgi_error_to_webserver(REPLY_JSON) : 0;
    int32_t channel = any_channel ? jv_int(tb[0], -1) : jv_channel(tb[0]);
    if (!any_channel && channel < 0) return cgi_error_to_webserver(REPLY_JSON);
    cgi_request_ipc(on_video_ipc_callback, code, channel, REPLY_JSON);
    return 0;
}

// Saves the page's dialog, then sends the record and waits for the camera's
// status. A failed settings write answers the route's error reply and sends
// nothing.
template <class Rec>
int send_settings(int code, const Rec &rec, json_object *dialog, int kind, const char *copy_chn, int error_kind)
{
    if (vca_save_dialog(dialog, kind, get_channel_mask(copy_chn)) < 0) return cgi_error_to_webserver(error_kind);
    cgi_request_ipc(on_video_ipc_callback, code, rec, error_kind);
    return 0;
}

json_object *member(json_object *obj, const char *key)
{
    json_object *v = nullptr;
    return json_object_object_get_ex(obj, key, &v) ? v : nullptr;
}
json_object *member_of(json_object *obj, const char *key, JsonKind kind)
{
    json_object *v = member(obj, key);
    return jv_is(v, kind) ? v : nullptr;
}
int int_of(json_object *obj, const char *key, int dflt = 0) { return jv_int(member_of(obj, key, JK_INT), dflt); }
const char *text_of(json_object *obj, const char *key) { return jv_str(member_of(obj, key, JK_STRING)); }

// ---- Areas --------------------------------------------------------------------------------

// Fills the areas of a region record from "regionInfo": up to 4 objects,
// each with up to 5 polygons in "region" (only polygon 0 unless the region
// type is 2 or more). Elements that are not objects are skipped in place.
void fill_areas(json_object *info, int region_type, VcaArea (&areas)[VCA_AREAS], bool left_removed)
{
    if (region_type == 0) return;
    const int polygons = region_type >= 2 ? VCA_AREA_POLYGONS : 1;
    for (size_t i = 0; i < jv_len(info) && i < VCA_AREAS; i++) {
        json_object *e = jv_at(info, i);
        if (!jv_is(e, JK_OBJECT)) continue;
        VcaArea &a = areas[i];
        if (left_removed) {
            a.enable = int_of(e, "leftEnable");
            a.remove_enable = int_of(e, "removeEnable");
        } else {
            a.enable = int_of(e, "enable");
            a.obj_type = int_of(e, "objType");
            if (json_object *t = member_of(e, "time", JK_INT)) a.time = jv_int(t);
        }
        json_object *region = member_of(e, "region", JK_ARRAY);
        for (size_t j = 0; j < jv_len(region) && j < static_cast<size_t>(polygons); j++) {
            json_object *p = jv_at(region, j);
            if (!jv_is(p, JK_OBJECT)) continue;
            copy_text(vca_polygon_x(a, static_cast<int>(j)), VCA_POLYGON_SIZE, text_of(p, "polygonX"));
            copy_text(vca_polygon_y(a, static_cast<int>(j)), VCA_POLYGON_SIZE, text_of(p, "polygonY"));
        }
    }
}

// ---- Analysis record kinds ------------------------------------------------------------------

#define AF_INT(key, member) RECORD_INT(key, VcaAnalysisRecord, member)
#define AF_TEXT(key, member) RECORD_TEXT(key, VcaAnalysisRecord, member)

// Reply keys per reply code, in reply order.
const RecordField kRegionReply[] = {AF_TEXT("region", region), AF_INT("enable", enable),
                                    AF_INT("sensitivity", sensitivity), AF_INT("objtype", objtype),
                                    AF_TEXT("polygonX", polygon_x), AF_TEXT("polygonY", polygon_y)};
const RecordField kMotionReply[] = {AF_TEXT("region", region), AF_INT("enable", enable),
                                    AF_INT("sensitivity", sensitivity), AF_INT("ignore_time", ignore_time),
                                    AF_INT("objtype", objtype), AF_TEXT("polygonX", polygon_x),
                                    AF_TEXT("polygonY", polygon_y)};
const RecordField kTamperReply[] = {AF_INT("enable", enable), AF_INT("sensitivity", sensitivity)};
const RecordField kLoiterReply[] = {AF_TEXT("region", region), AF_INT("enable", enable), AF_INT("time", time),
                                    AF_INT("size", size), AF_INT("objtype", objtype),
                                    AF_TEXT("polygonX", polygon_x), AF_TEXT("polygonY", polygon_y)};
const RecordField kHumanReply[] = {AF_INT("enable", enable), AF_INT("tracks", tracks)};

// Request keys per setter: the keys of the region pages, and the keys of
// one kind only.
const RecordField kRegionSet[] = {AF_INT("chnid", channel), AF_INT("enable", enable),
                                  AF_INT("sensitivity", sensitivity), AF_INT("objtype", objtype),
                                  AF_TEXT("region", region), AF_TEXT("polygonX", polygon_x),
                                  AF_TEXT("polygonY", polygon_y), AF_INT("regionType", region_type),
                                  AF_INT("regionScene", region_scene), AF_TEXT("copyChn", copy_chn)};
const RecordField kMotionSet[] = {AF_INT("ignore_time", ignore_time)};
const RecordField kLoiterSet[] = {AF_INT("time", time), AF_INT("size", size)};
const RecordField kTamperSet[] = {AF_INT("chnid", channel), AF_INT("enable", enable),
                                  AF_INT("sensitivity", sensitivity), AF_TEXT("copyChn", copy_chn)};
const RecordField kHumanSet[] = {AF_INT("chnid", channel), AF_INT("enable", enable), AF_INT("tracks", tracks),
                                 AF_TEXT("copyChn", copy_chn)};

struct AnalysisKind {
    int get_code;
    const RecordField *reply;
    size_t reply_count;
    int set_code;
    const RecordField *set;
    size_t set_count;
    const RecordField *extra; // nullptr: none
    size_t extra_count;
    bool areas;
};
#define FIELDS(t) t, sizeof(t) / sizeof((t)[0])
const AnalysisKind kRegion0 = {IPC_VCA_REGION0_GET, FIELDS(kRegionReply), IPC_VCA_REGION0_SET, FIELDS(kRegionSet),
                               nullptr, 0, true};
const AnalysisKind kRegion1 = {IPC_VCA_REGION1_GET, FIELDS(kRegionReply), IPC_VCA_REGION1_SET, FIELDS(kRegionSet),
                               nullptr, 0, true};
const AnalysisKind kMotion = {IPC_VCA_MOTION_GET, FIELDS(kMotionReply), IPC_VCA_MOTION_SET, FIELDS(kRegionSet),
                              FIELDS(kMotionSet), true};
const AnalysisKind kTamper = {IPC_VCA_TAMPER_GET, FIELDS(kTamperReply), IPC_VCA_TAMPER_SET, FIELDS(kTamperSet),
                              nullptr, 0, false};
const AnalysisKind kLoiter = {IPC_VCA_LOITER_GET, FIELDS(kLoiterReply), IPC_VCA_LOITER_SET, FIELDS(kRegionSet),
                              FIELDS(kLoiterSet), true};
const AnalysisKind kHuman = {IPC_VCA_HUMAN_GET, FIELDS(kHumanReply), IPC_VCA_HUMAN_SET, FIELDS(kHumanSet),
                             nullptr, 0, false};
const AnalysisKind *const kAnalysisKinds[] = {&kRegion0, &kRegion1, &kMotion, &kTamper, &kLoiter, &kHuman};

// Shared shape of the analysis setters. An unparsable request answers the
// text error reply.
int set_analysis(const char *request, const AnalysisKind &k)
{
    JsonDoc doc(request);
    if (!jv_is(doc.get(), JK_OBJECT)) return cgi_error_to_webserver(REPLY_TEXT);
    std::unique_ptr<VcaAnalysisRecord> rec(new VcaAnalysisRecord());
    record_fields_take(doc.get(), rec.get(), k.set, k.set_count);
    if (k.extra) record_fields_take(doc.get(), rec.get(), k.extra, k.extra_count);
    if (k.areas) fill_areas(member_of(doc.get(), "regionInfo", JK_ARRAY), rec->region_type, rec->areas, false);
    return send_settings(k.set_code, *rec, member(doc.get(), "dialog"), int_of(doc.get(), "type", -1),
                         rec->copy_chn, REPLY_TEXT);
}

int get_analysis(const char *request, const AnalysisKind &k) { return request_camera(request, "channel", k.get_code); }
} // namespace

// ---- Analysis record routes ----------------------------------------------------------------

int on_get_vca_region(char *request)
{
    // "type" 0 is region variant 0, any other variant 1.
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"type", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_vca_region, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    return get_analysis(request, jv_int(tb[0]) == 0 ? kRegion0 : kRegion1);
}
int on_set_vca_region(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"type", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_vca_region, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_TEXT);
    return set_analysis(request, jv_int(tb[0]) == 0 ? kRegion0 : kRegion1);
}
int on_get_vca_motion(char *request) { return get_analysis(request, kMotion); }
int on_set_vca_motion(char *request) { return set_analysis(request, kMotion); }
int on_get_vca_tamper(char *request) { return get_analysis(request, kTamper); }
int on_set_vca_tamper(char *request) { return set_analysis(request, kTamper); }
int on_get_vca_loitering(char *request) { return get_analysis(request, kLoiter); }
int on_set_vca_loitering(char *request) { return set_analysis(request, kLoiter); }
int on_get_vca_human(char *request) { return get_analysis(request, kHuman); }
int on_set_vca_human(char *request) { return set_analysis(request, kHuman); }

void on_vca_analysis_cb(const void *header, const void *payload, size_t)
{
    const int code = ipc_reply_code(header);
    std::unique_ptr<VcaAnalysisRecord> rec(new VcaAnalysisRecord());
    ipc_reply_record(header, payload, 0, rec.get());
    json_object *o = json_object_new_object();
    for (const AnalysisKind *k : kAnalysisKinds)
        if (reply_code(k->get_code) == code) {
            record_fields_to_json(o, rec.get(), k->reply, k->reply_count);
            break;
        }
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- Left / removed (/6171, /6172) -----------------------------------------------------------

namespace {
#define LR_INT(key, member) RECORD_INT(key, VcaLeftRemovedRecord, member)
#define LR_TEXT(key, member) RECORD_TEXT(key, VcaLeftRemovedRecord, member)
const RecordField kLeftRemovedReply[] = {LR_TEXT("region", region),      LR_INT("left_enable", left_enable),
                                         LR_INT("remove_enable", remove_enable), LR_INT("min_time", min_time),
                                         LR_INT("sensitivity", sensitivity), LR_TEXT("polygonX", polygon_x),
                                         LR_TEXT("polygonY", polygon_y)};
const RecordField kLeftRemovedSet[] = {LR_INT("chnid", channel),       LR_INT("left_enable", left_enable),
                                       LR_INT("remove_enable", remove_enable), LR_INT("min_time", min_time),
                                       LR_INT("sensitivity", sensitivity), LR_TEXT("region", region),
                                       LR_TEXT("polygonX", polygon_x), LR_TEXT("polygonY", polygon_y),
                                       LR_INT("regionType", region_type), LR_INT("regionScene", region_scene),
                                       LR_TEXT("copyChn", copy_chn)};
} // namespace

int on_get_vca_leftremove(char *request) { return request_camera(request, "channel", IPC_VCA_LEFT_REMOVED_GET); }

int on_set_vca_leftremove(char *request)
{
    JsonDoc doc(request);
    if (!jv_is(doc.get(), JK_OBJECT)) return 0;
    std::unique_ptr<VcaLeftRemovedRecord> rec(new VcaLeftRemovedRecord());
    record_fields_take(doc.get(), rec.get(), kLeftRemovedSet);
    fill_areas(member_of(doc.get(), "regionInfo", JK_ARRAY), rec->region_type, rec->areas, true);
    return send_settings(IPC_VCA_LEFT_REMOVED_SET, *rec, member(doc.get(), "dialog"), VCA_KIND_LEFT_REMOVED,
                         rec->copy_chn, REPLY_JSON);
}

void on_vca_leftremove_cb(const void *header, const void *payload, size_t)
{
    std::unique_ptr<VcaLeftRemovedRecord> rec(new VcaLeftRemovedRecord());
    ipc_reply_record(header, payload, 0, rec.get());
    json_object *o = json_object_new_object();
    record_fields_to_json(o, rec.get(), kLeftRemovedReply);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- Line crossing (/6138, /6139) ------------------------------------------------------------

int on_get_vca_line(char *request) { return request_camera(request, "channel", IPC_VCA_LINE_GET); }

int on_set_vca_line(char *request)
{
    JsonDoc doc(request);
    json_object *obj = doc.get();
    if (!jv_is(obj, JK_OBJECT)) return cgi_error_to_webserver(REPLY_TEXT);
    VcaLineRecord rec{};
    rec.channel = int_of(obj, "chnid");
    rec.enable = int_of(obj, "enable");
    rec.objtype = int_of(obj, "objtype");
    COPY_TEXT(rec.copy_chn, text_of(obj, "copyChn"));
    const int32_t w = int_of(obj, "width"), h = int_of(obj, "height");
    json_object *lines = member_of(obj, "line", JK_ARRAY);
    for (size_t i = 0; i < jv_len(lines) && i < VCA_LINES; i++) {
        json_object *e = jv_at(lines, i);
        if (!jv_is(e, JK_OBJECT)) continue;
        VcaLine &l = rec.lines[i];
        position_to_camera(text_of(e, "position"), w, h, &l.x1, &l.y1, &l.x2, &l.y2);
        l.direction = int_of(e, "direction");
    }
    return send_settings(IPC_VCA_LINE_SET, rec, member(obj, "dialog"), VCA_KIND_LINE, rec.copy_chn, REPLY_TEXT);
}

void on_vca_line_cb(const void *header, const void *payload, size_t)
{
    VcaLineRecord rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_object *lines = json_object_new_array();
    for (const VcaLine &l : rec.lines) {
        json_object *e = json_object_new_object();
        json_add_int(e, "direction", l.direction);
        json_add_text(e, "position", position_to_canvas(l.x1, l.y1, l.x2, l.y2, rec.width, rec.height, false).c_str());
        json_object_array_add(lines, e);
    }
    json_object_object_add(o, "line", lines);
    json_add_int(o, "enable", rec.enable);
    json_add_int(o, "width", rec.width);
    json_add_int(o, "height", rec.height);
    json_add_int(o, "objtype", rec.objtype);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- Line crossing, direct camera variant (/6192, /6193) ---------------------------------------

int on_get_ipc_vca_line2(char *request) { return request_camera(request, "chnid", IPC_VCA_LINE2_GET, false, true); }

int on_set_ipc_vca_line2(char *request)
{
    JsonDoc doc(request);
    json_object *obj = doc.get();
    if (!jv_is(obj, JK_OBJECT)) return cgi_error_to_webserver(REPLY_TEXT);
    VcaLine2Record rec{};
    rec.channel = int_of(obj, "chnid");
    rec.sensitivity = int_of(obj, "sensitivity");
    rec.line_type = int_of(obj, "lineType");
    rec.line_scene = int_of(obj, "lineScene");
    COPY_TEXT(rec.copy_chn, text_of(obj, "copyChn"));
    const int32_t w = int_of(obj, "width"), h = int_of(obj, "height");
    json_object *lines = member_of(obj, "line", JK_ARRAY);
    for (size_t i = 0; i < jv_len(lines) && i < VCA_LINES; i++) {
        json_object *e = jv_at(lines, i);
        if (!jv_is(e, JK_OBJECT)) continue;
        VcaLine2 &l = rec.lines[i];
        l.enable = int_of(e, "enable");
        l.objtype = int_of(e, "objtype");
        l.direction = int_of(e, "direction");
        position_to_camera(text_of(e, "position"), w, h, &l.x1, &l.y1, &l.x2, &l.y2);
        if (rec.line_type != 2) continue;
        json_object *segments = member_of(e, "line", JK_ARRAY);
        for (size_t j = 0; j < jv_len(segments) && j < VCA_LINE_SEGMENTS; j++) {
            json_object *s = jv_at(segments, j);
            if (!jv_is(s, JK_OBJECT)) continue;
            VcaSegment &g = l.segments[j];
            position_to_camera(text_of(s, "position"), w, h, &g.x1, &g.y1, &g.x2, &g.y2);
            g.direction = int_of(s, "direction");
        }
    }
    return send_settings(IPC_VCA_LINE2_SET, rec, member(obj, "dialog"), VCA_KIND_LINE, rec.copy_chn, REPLY_TEXT);
}

void on_vca_line2_cb(const void *header, const void *payload, size_t)
{
    VcaLine2Record rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", rec.channel);
    json_add_int(o, "width", rec.width);
    json_add_int(o, "height", rec.height);
    json_object *lines = json_object_new_array();
    for (const VcaLine2 &l : rec.lines) {
        json_object *e = json_object_new_object();
        json_add_int(e, "enable", l.enable);
        json_add_int(e, "objtype", l.objtype);
        json_add_int(e, "direction", l.direction);
        json_add_text(e, "position", position_to_canvas(l.x1, l.y1, l.x2, l.y2, rec.width, rec.height, false).c_str());
        json_object_array_add(lines, e);
    }
    json_object_object_add(o, "line", lines);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- Analysis settings (/6146, /6147) and the direct variant (/6194, /6195) ----------------------

namespace {
const char *const kBoxKeys[8] = {"minStartX", "minStartY", "minWidth", "minHeight",
                                 "maxStartX", "maxStartY", "maxWidth", "maxHeight"};
// Box values in key order, and whether each is a horizontal measure.
int32_t *box_value(VcaBox &b, int i)
{
    int32_t *v[8] = {&b.min_x, &b.min_y, &b.min_width, &b.min_height, &b.max_x, &b.max_y, &b.max_width, &b.max_height};
    return v[i];
}
bool horizontal(int i) { return i % 2 == 0; }

#define SET_INT(key, member) RECORD_INT(key, VcaSettingsRecord, member)
const RecordField kSettingsFields[] = {SET_INT("fps", fps), SET_INT("mode", mode),
                                       SET_INT("installation", installation), SET_INT("analysis", analysis),
                                       SET_INT("width", width), SET_INT("height", height)};
#define SET2_INT(key, member) RECORD_INT(key, VcaSettings2Record, member)
const RecordField kSettings2Fields[] = {SET2_INT("fps", fps), SET2_INT("mode", mode),
                                        SET2_INT("installation", installation), SET2_INT("analysis", analysis),
                                        SET2_INT("width", width), SET2_INT("height", height)};

int32_t *settings2_value(VcaSettings2Record &r, int key, int pos)
{
    int32_t *v[8] = {r.min_x, r.min_y, r.min_width, r.min_height, r.max_x, r.max_y, r.max_width, r.max_height};
    return &v[key][pos];
}
} // namespace

int on_get_vca_settings(char *request) { return request_camera(request, "channel", IPC_VCA_SETTINGS_GET); }

int on_set_vca_settings(char *request)
{
    JsonDoc doc(request);
    json_object *obj = doc.get();
    if (!jv_is(obj, JK_OBJECT)) return 0;
    VcaSettingsRecord rec{};
    rec.channel = int_of(obj, "chnid");
    record_fields_take(obj, &rec, kSettingsFields);
    json_object *pos = jv_at(member_of(obj, "position", JK_ARRAY), 0);
    for (int i = 0; i < 8; i++) {
        const int64_t frame = horizontal(i) ? rec.width : rec.height;
        const int canvas = horizontal(i) ? VCA_CANVAS_W : VCA_CANVAS_H;
        *box_value(rec.box, i) = at_least_1(vca_to_camera(int_of(pos, kBoxKeys[i]), frame, canvas));
    }
    cgi_request_ipc(on_video_ipc_callback, IPC_VCA_SETTINGS_SET, rec, REPLY_JSON);
    return 0;
}

void on_vca_settings_cb(const void *header, const void *payload, size_t)
{
    VcaSettingsRecord rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    record_fields_to_json(o, &rec, kSettingsFields);
    json_add_int(o, "vcaType", rec.vca_type);
    json_object *box = json_object_new_object();
    for (int i = 0; i < 8; i++) {
        const int64_t frame = horizontal(i) ? rec.width : rec.height;
        const int canvas = horizontal(i) ? VCA_CANVAS_W : VCA_CANVAS_H;
        json_add_int(box, kBoxKeys[i], at_least_1(vca_to_canvas(*box_value(rec.box, i), frame, canvas)));
    }
    json_object *list = json_object_new_array();
    json_object_array_add(list, box);
    json_object_object_add(o, "position", list);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

int on_get_ipc_vca_settings2(char *request) { return request_camera(request, "channel", IPC_VCA_SETTINGS2_GET); }

int on_set_ipc_vca_settings2(char *request)
{
    JsonDoc doc(request);
    json_object *obj = doc.get();
    if (!jv_is(obj, JK_OBJECT)) return 0;
    VcaSettings2Record rec{};
    rec.channel = int_of(obj, "chnid");
    record_fields_take(obj, &rec, kSettings2Fields);
    COPY_TEXT(rec.copy_chn, text_of(obj, "copyChn"));
    json_object *list = member_of(obj, "position", JK_ARRAY);
    for (size_t p = 0; p < jv_len(list) && p < VCA_POSITIONS; p++) {
        json_object *e = jv_at(list, p);
        if (!jv_is(e, JK_OBJECT)) continue;
        for (int k = 0; k < 8; k++) *settings2_value(rec, k, static_cast<int>(p)) = int_of(e, kBoxKeys[k]);
    }
    cgi_request_ipc(on_video_ipc_callback, IPC_VCA_SETTINGS2_SET, rec, REPLY_JSON);
    return 0;
}

void on_vca_settings2_cb(const void *header, const void *payload, size_t)
{
    VcaSettings2Record rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    record_fields_to_json(o, &rec, kSettings2Fields);
    json_object *list = json_object_new_array();
    for (int p = 0; p < VCA_POSITIONS; p++) {
        json_object *e = json_object_new_object();
        for (int k = 0; k < 8; k++) json_add_int(e, kBoxKeys[k], *settings2_value(rec, k, p));
        json_add_int(e, "width", rec.width);
        json_add_int(e, "height", rec.height);
        json_object_array_add(list, e);
    }
    json_object_object_add(o, "position", list);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- People counting (/6144, /6145, /6154) --------------------------------------------------------

namespace {
#define PC_INT(key, member) RECORD_INT(key, VcaPeopleRecord, member)
const RecordField kPeopleSet[] = {PC_INT("width", width), PC_INT("height", height),
                                  PC_INT("osdEnable", osd_enable), PC_INT("osdFontSize", osd_font_size),
                                  PC_INT("osdTextPos", osd_text_pos), PC_INT("osdType", osd_type),
                                  PC_INT("sensitivity", sensitivity), PC_INT("lineNum", line_num),
                                  PC_INT("triggerType", trigger_type), PC_INT("triggerEnable", trigger_enable),
                                  PC_INT("totalAlarmEnable", total_alarm_enable)};

// The per-line arrays of four: key and the line's value.
struct LineKey {
    const char *key;
    bool byte; // one byte of the line record, else an int
    size_t offset;
};
#define LINE_BYTE(key, member) LineKey{key, true, offsetof(VcaPeopleLine, member)}
#define LINE_INT(key, member) LineKey{key, false, offsetof(VcaPeopleLine, member)}
const LineKey kLineKeys[] = {
    LINE_BYTE("lineEnable", line_enable),       LINE_BYTE("autoResetEnable", auto_reset_enable),
    LINE_BYTE("direction", direction),          LINE_BYTE("showCntEnable", show_cnt_enable),
    LINE_INT("startX", start_x),                LINE_INT("startY", start_y),
    LINE_INT("stopX", stop_x),                  LINE_INT("stopY", stop_y),
    LINE_INT("autoResetWeekday", auto_reset_weekday), LINE_INT("autoResetHour", auto_reset_hour),
    LINE_INT("autoResetMin", auto_reset_min),   LINE_INT("autoResetSec", auto_reset_sec),
    LINE_INT("alarmEnable", alarm_enable),
};
enum { LINE_KEYS_IN_REPLY = 12, LINE_POINTS_FIRST = 4 }; // the reply stops before "alarmEnable"

int32_t line_value(const VcaPeopleLine &l, const LineKey &k)
{
    const unsigned char *base = reinterpret_cast<const unsigned char *>(&l) + k.offset;
    if (k.byte) return *base;
    int32_t v;
    memcpy(&v, base, sizeof v);
    return v;
}
void set_line_value(VcaPeopleLine &l, const LineKey &k, int32_t v)
{
    unsigned char *base = reinterpret_cast<unsigned char *>(&l) + k.offset;
    if (k.byte) *base = static_cast<unsigned char>(v);
    else memcpy(base, &v, sizeof v);
}

// The ints of an int array, at most n; elements of other types are skipped.
void take_ints(json_object *list, int32_t *out, size_t n)
{
    for (size_t i = 0; i < jv_len(list) && i < n; i++) {
        json_object *e = jv_at(list, i);
        if (jv_is(e, JK_INT)) out[i] = jv_int(e);
    }
}

void take_people(json_object *obj, VcaPeopleRecord *rec)
{
    rec->channel = int_of(obj, "chnid");
    record_fields_take(obj, rec, kPeopleSet);
    take_ints(member_of(obj, "totalAlarmThreshold", JK_ARRAY), rec->total_alarm_threshold, 4);
    for (const LineKey &k : kLineKeys) {
        if (k.offset >= offsetof(VcaPeopleLine, start_x) && k.offset <= offsetof(VcaPeopleLine, stop_y)) continue;
        json_object *list = member_of(obj, k.key, JK_ARRAY);
        for (size_t i = 0; i < jv_len(list) && i < VCA_LINES; i++) {
            json_object *e = jv_at(list, i);
            if (jv_is(e, JK_INT)) set_line_value(rec->lines[i], k, jv_int(e));
        }
    }
    // The line positions are stored as the page sends them.
    json_object *positions = member_of(obj, "position", JK_ARRAY);
    for (size_t i = 0; i < jv_len(positions) && i < VCA_LINES; i++) {
        json_object *e = jv_at(positions, i);
        if (!jv_is(e, JK_STRING)) continue;
        int32_t p[4];
        vca_split_position(jv_str(e), p);
        VcaPeopleLine &l = rec->lines[i];
        l.start_x = p[0], l.start_y = p[1], l.stop_x = p[2], l.stop_y = p[3];
    }
    json_object *thresholds = member_of(obj, "alarmThreshold", JK_ARRAY);
    for (size_t i = 0; i < jv_len(thresholds) && i < VCA_LINES; i++)
        take_ints(jv_at(thresholds, i), rec->lines[i].alarm_threshold, 4);
    get_schedule_by_json_ipc(obj, "effective", &rec->effective);
}
} // namespace

int on_get_vca_people(char *request) { return request_camera(request, "channel", IPC_VCA_PEOPLE_GET); }

int on_set_vca_people(char *request)
{
    JsonDoc doc(request);
    json_object *obj = doc.get();
    if (!jv_is(obj, JK_OBJECT)) return cgi_error_to_webserver(REPLY_TEXT);
    std::unique_ptr<VcaPeopleRecord> rec(new VcaPeopleRecord());
    take_people(obj, rec.get());
    COPY_TEXT(rec->copy_chn, text_of(obj, "copyChn"));
    bool any_line = false;
    for (const VcaPeopleLine &l : rec->lines) any_line |= l.line_enable != 0;

    // The event is on while any line counts.
    const int channel = jv_channel(member_of(obj, "chnid", JK_INT));
    bool unreadable = false;
    int rc = settings_atomic(QXDB_PATH, [&]() -> int {
        SmartEventRecord ev{};
        unreadable = channel < 0 || read_smart_event(QXDB_PATH, &ev, channel, VCA_KIND_PEOPLE) != 0;
        if (unreadable) return -1;
        ev.enable = any_line ? 1 : 0;
        return write_smart_event(QXDB_PATH, &ev, VCA_KIND_PEOPLE);
    });
    if (rc < 0) {
        cgi_log("OnVideo", __LINE__, "people counting", "channel %d: event record %s", channel,
                unreadable ? "unreadable" : "not stored");
        return cgi_error_to_webserver(REPLY_TEXT);
    }
    return send_settings(IPC_VCA_PEOPLE_SET, *rec, member(obj, "dialog"), VCA_KIND_PEOPLE, rec->copy_chn, REPLY_TEXT);
}

void on_vca_people_cb(const void *header, const void *payload, size_t)
{
    std::unique_ptr<VcaPeopleRecord> rec(new VcaPeopleRecord());
    ipc_reply_record(header, payload, 0, rec.get());
    json_object *o = json_object_new_object();
    json_add_int(o, "width", rec->width);
    json_add_int(o, "height", rec->height);
    json_add_int(o, "osdEnable", rec->osd_enable);
    json_add_int(o, "osdFontSize", rec->osd_font_size);
    json_add_int(o, "osdTextPos", rec->osd_text_pos);
    json_add_int(o, "osdType", static_cast<uint8_t>(rec->osd_type & 0xff));
    json_add_int(o, "sensitivity", rec->sensitivity);
    json_add_int(o, "lineNum", rec->line_num);
    for (int k = 0; k < LINE_KEYS_IN_REPLY; k++) {
        json_object *list = json_object_new_array();
        for (const VcaPeopleLine &l : rec->lines) json_object_array_add(list, json_object_new_int(line_value(l, kLineKeys[k])));
        json_object_object_add(o, kLineKeys[k].key, list);
    }
    json_object *positions = json_object_new_array();
    for (const VcaPeopleLine &l : rec->lines) {
        std::string p = position_to_canvas(l.start_x, l.start_y, l.stop_x, l.stop_y, rec->width, rec->height, true);
        json_object_array_add(positions, json_object_new_string(p.c_str()));
    }
    json_object_object_add(o, "position", positions);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

int on_vca_clear_people_count(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"channel", JK_INT}, {"line", JK_INT}, {"resetdb", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_vca_clear_people_count, policy);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    VcaPeopleClear clear{};
    clear.channel = jv_channel(tb[0]);
    if (clear.channel < 0) return cgi_error_to_webserver(REPLY_JSON);
    clear.line = jv_int(tb[1]);
    clear.resetdb = jv_int(tb[2]);
    cgi_request_ipc(on_video_ipc_callback, IPC_VCA_PEOPLE_CLEAR, clear, REPLY_JSON);
    return 0;
}

// ---- Support (/6157) ----------------------------------------------------------------------------

int on_get_vca_support(char *request) { return request_camera(request, "channel", IPC_VCA_SUPPORT, true); }

void on_vca_support_cb(const void *header, const void *payload, size_t)
{
    VcaSupportReply rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_add_int(o, "support", rec.support);
    json_add_int(o, "type", rec.type);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- Status answers of the setters ----------------------------------------------------------------

void on_vca_status_cb(const void *header, const void *payload, size_t)
{
    int32_t status = -1;
    ipc_reply_record(header, payload, 0, &status);
    cgi_writeback_webserver(REPLY_TEXT, status == 0 ? "OK" : "FAILED");
    g_callback_done = 1;
}

void on_vca_res_cb(const void *header, const void *payload, size_t)
{
    int32_t status = -1;
    ipc_reply_record(header, payload, 0, &status);
    json_object *o = json_object_new_object();
    json_add_int(o, "res", status);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}
