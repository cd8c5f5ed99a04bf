// Motion detection handlers of the video module: the motion settings record
// of each channel, its action schedules and parameters, the camera-side
// detection settings sent through the daemon, and the camera's motion map.
//
// Setters write the settings database first and notify the daemon after.
// Channels outside 0..63 never reach the database or the daemon.
#include "modules/video/motion.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/json_text.h"
#include "common/records/event_schedule.h"
#include "common/records/motion.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/video_ipc.h"
#include "modules/video/video_utils.h"

namespace {
const char kDb[] = QXDB_PATH;

enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_MOTION = 909 };

// Named tables of the motion event's action parameters.
const char kWhiteParams[] = "motion_white_led_params";
const char kWarningParams[] = "motion_warning_light_params";
const char kHttpParams[] = "motion_http_notification_params";

// ---- Week schedules of the motion event -----------------------------------------------

// MS_MOTION is the schedule of the motion schedule dialog (/6013, /6113);
// the others are the action schedules that a copy carries over.
enum MotionScheduleKind { MS_EFFECTIVE, MS_AUDIBLE, MS_EMAIL, MS_PTZ, MS_WHITE, MS_WARNING, MS_HTTP, MS_MOTION };
enum { MS_COPIED = MS_MOTION };

// The motion event's own families, or the families of a named table
// (common/records/event_schedule.h).
struct MotionScheduleOps {
    const char *key;   // key in the settings reply and in dialogs
    const char *table; // named table, or nullptr for the motion's own
    int (*read)(const char *path, WeekSchedule *s, int channel);
    int (*write)(const char *path, const WeekSchedule *s, int channel);
    int (*copy)(const char *path, const WeekSchedule *s, uint64_t mask);
    int (*read_named)(const char *path, const char *table, WeekSchedule *s, int channel);
    int (*write_named)(const char *path, const char *table, const WeekSchedule *s, int channel);
    int (*copy_named)(const char *path, const char *table, const WeekSchedule *s, uint64_t mask);
};

#define MOTION_SCHEDULE(key, family) \
    {key, nullptr, read_##family, write_##family, copy_##family##s, nullptr, nullptr, nullptr}
#define NAMED_SCHEDULE(key, table, family) \
    {key, table, nullptr, nullptr, nullptr, read_##family, write_##family, copy_##family}

// Indexed by MotionScheduleKind.
const MotionScheduleOps kSchedules[] = {
    MOTION_SCHEDULE("effective", motion_effective_schedule),
    MOTION_SCHEDULE("audible", motion_audible_schedule),
    MOTION_SCHEDULE("email", motion_email_schedule),
    MOTION_SCHEDULE("ptz", motion_ptz_schedule),
    NAMED_SCHEDULE("white", "motion_whiteled_esche", whiteled_effective_schedule),
    NAMED_SCHEDULE("warningLight", "motion_warning_light_esche", warning_light_effective_schedule),
    NAMED_SCHEDULE("httpSche", "motion_http_notification_sche", http_notification_schedule),
    {"schedule", nullptr, read_motion_audible_schedule, write_motion_schedule, nullptr, nullptr, nullptr, nullptr},
};

int schedule_read(MotionScheduleKind kind, WeekSchedule *s, int channel)
{
    const MotionScheduleOps &ops = kSchedules[kind];
    return ops.table ? ops.read_named(kDb, ops.table, s, channel) : ops.read(kDb, s, channel);
}

int schedule_write(MotionScheduleKind kind, const WeekSchedule *s, int channel)
{
    const MotionScheduleOps &ops = kSchedules[kind];
    return ops.table ? ops.write_named(kDb, ops.table, s, channel) : ops.write(kDb, s, channel);
}

int schedule_copy(MotionScheduleKind kind, const WeekSchedule *s, uint64_t mask)
{
    const MotionScheduleOps &ops = kSchedules[kind];
    return ops.table ? ops.copy_named(kDb, ops.table, s, mask) : ops.copy(kDb, s, mask);
}

std::unique_ptr<WeekSchedule> new_schedule() { return std::unique_ptr<WeekSchedule>(new WeekSchedule()); }

json_object *schedule_json(MotionScheduleKind kind, int channel)
{
    return stored_schedule_json([&](WeekSchedule *s) { return schedule_read(kind, s, channel); });
}

// Decodes the week schedule at `key` (the kind's own key when null) and
// writes it: 1 stored, 0 when the key is missing or not an array (the stored
// schedule stays as it is), -1 when the write failed.
int store_schedule(json_object *obj, MotionScheduleKind kind, int channel, const char *key = nullptr)
{
    auto s = new_schedule();
    if (get_schedule_by_json(obj, key ? key : kSchedules[kind].key, s.get()) != 0) return 0;
    return schedule_write(kind, s.get(), channel) == 0 ? 1 : -1;
}

// ---- Daemon notices ----------------------------------------------------------------------

void notify_motion_changed(int channel)
{
    int32_t payload = channel;
    cgi_notify_ipc(IPC_MOTION_CHANGED, payload);
}

void fill_full_week(CamMotionSchedule *s)
{
    for (int d = 0; d < 7; d++) {
        CamScheduleDay &day = s->days[d];
        day.weekday = d;
        day.enable = 1;
        for (CamTimeSegment &seg : day.segments) seg = CamTimeSegment{0, 0, 24, 0};
    }
}

// Camera-side mode of one channel: on with a whole-week camera schedule when
// "enableQX" is 1, else off.
void send_camera_mode(int channel, int enable_qx)
{
    CamMotionMode mode{};
    mode.channel = channel;
    mode.on = enable_qx == 1 ? 1 : 0;
    cgi_notify_ipc(IPC_CAM_MOTION_MODE, mode);
    if (enable_qx != 1) return;
    CamMotionSchedule sche{};
    sche.channel = channel;
    fill_full_week(&sche);
    cgi_notify_ipc(IPC_CAM_MOTION_SCHEDULE, sche);
}

void send_motion_oplog(int channel)
{
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_MOTION, channel + 1);
}

// ---- Requests ----------------------------------------------------------------------------

// Reads the channel of a request from an integer key: -1 when the key is
// missing, not an integer or out of range; false when the request is not a
// JSON object. The caller rejects -1 with its error reply.
bool request_channel(json_object *obj, const char *key, int *channel)
{
    const JsonPolicy policy[] = {{key, JK_INT}};
    json_object *tb[1];
    if (JSON_PARSE(obj, policy, tb) < 0) return false;
    *channel = jv_channel(tb[0]);
    return true;
}

// Logs a failed settings write and answers the route's error reply.
int write_failed(const char *what, int channel, int error_kind)
{
    cgi_log("OnVideo", __LINE__, "", "%s: settings write failed for channel %d", what, channel);
    return cgi_error_to_webserver(error_kind);
}

// ---- Motion record updates -----------------------------------------------------------------

// The stored motion record of a channel (0..63), zeroed when none is stored,
// carrying its channel.
MotionRecord stored_motion(int channel)
{
    MotionRecord rec{};
    read_motion(kDb, &rec, channel);
    rec.channel = channel;
    return rec;
}

// Keys a dialog may change in the motion record.
enum {
    DK_TRI_CHN_ALARMS, DK_ENABLE, DK_TRI_ALARMS, DK_INTERVAL, DK_AUDIO_ID, DK_EMAIL_INTERVAL,
    DK_EMAIL_PIC_ENABLE, DK_TRI_CHANNELS_PIC, DK_PTZ_INTERVAL, DK_ALARMOUT_INTERVAL,
    DK_WHITE_INTERVAL, DK_WARNING_LIGHT_INTERVAL, DK_HTTP_INTERVAL, DK_TRI_CHANNELS, DK_COUNT
};
const JsonPolicy kDialogRecordPolicy[DK_COUNT] = {
    {"triChnAlarms", JK_ARRAY},
    {"enable", JK_INT},
    {"triAlarms", JK_INT},
    {"interval", JK_INT},
    {"audioId", JK_INT},
    {"email_interval", JK_INT},
    {"email_pic_enable", JK_INT},
    {"tri_channels_pic", JK_STRING},
    {"ptz_interval", JK_INT},
    {"alarmout_interval", JK_INT},
    {"white_interval", JK_INT},
    {"warning_light_interval", JK_INT},
    {"http_notification_interval", JK_INT},
    {"triChannels", JK_STRING},
};

// Takes the channel mask text and its channel bits from a text value; a
// missing value leaves both as they are.
bool take_tri_channels(json_object *v, MotionRecord *rec)
{
    if (!jv_copy(v, rec->tri_channels, sizeof rec->tri_channels)) return false;
    rec->channel_bits = get_channel_mask(rec->tri_channels);
    return true;
}

bool take_int(json_object *v, int32_t *field)
{
    if (!v) return false;
    *field = jv_int(v);
    return true;
}

// Updates the record from each dialog key present with its type; true when
// any was. `with_http`: the HTTP notification interval is part of the dialog.
bool update_motion_record(json_object *dialog, MotionRecord *rec, bool with_http)
{
    json_object *tb[DK_COUNT];
    if (JSON_PARSE(dialog, kDialogRecordPolicy, tb) <= 0) return false;
    bool changed = false;
    if (tb[DK_TRI_CHN_ALARMS]) {
        AlarmOutPair pair[2] = {};
        for (int i = 0; i < 2; i++) copy_field(pair[i].alarm_out, sizeof pair[i].alarm_out,
                                               rec->tri_chn_alarms[i], sizeof rec->tri_chn_alarms[i]);
        if (get_event_chn_alarmout_by_object(rec->channel, dialog, "triChnAlarms", pair) == 0) {
            for (int i = 0; i < 2; i++) COPY_TEXT(rec->tri_chn_alarms[i], pair[i].alarm_out);
            changed = true;
        }
    }
    changed |= take_int(tb[DK_ENABLE], &rec->enable);
    changed |= take_int(tb[DK_TRI_ALARMS], &rec->tri_alarms);
    changed |= take_int(tb[DK_INTERVAL], &rec->interval);
    changed |= take_int(tb[DK_AUDIO_ID], &rec->audio_id);
    changed |= take_int(tb[DK_EMAIL_INTERVAL], &rec->email_interval);
    changed |= take_int(tb[DK_EMAIL_PIC_ENABLE], &rec->email_pic_enable);
    changed |= jv_copy(tb[DK_TRI_CHANNELS_PIC], rec->tri_channels_pic, sizeof rec->tri_channels_pic);
    changed |= take_int(tb[DK_PTZ_INTERVAL], &rec->ptz_interval);
    changed |= take_int(tb[DK_ALARMOUT_INTERVAL], &rec->alarmout_interval);
    changed |= take_int(tb[DK_WHITE_INTERVAL], &rec->white_interval);
    changed |= take_int(tb[DK_WARNING_LIGHT_INTERVAL], &rec->warning_light_interval);
    if (with_http) changed |= take_int(tb[DK_HTTP_INTERVAL], &rec->http_notification_interval);
    changed |= take_tri_channels(tb[DK_TRI_CHANNELS], rec);
    return changed;
}

// Outcome of saving a dialog.
enum DialogResult { DIALOG_SAVED = 0, DIALOG_BAD_CHANNEL = -1, DIALOG_WRITE_FAILED = -2 };

// Saves a motion dialog: the schedules, light and HTTP parameters and record
// fields it carries, for the channel of its own "chnid", then tells the
// daemon. The batch dialog of the motion page (/6112) also carries the HTTP
// notification and the PTZ action targets. Nothing is saved when the dialog
// is not an object or its channel is outside 0..63; a failed write stops
// the save before the daemon is told.
DialogResult save_motion_dialog(json_object *dialog, bool batch, int *channel_out)
{
    int channel = -1;
    if (!request_channel(dialog, "chnid", &channel) || !valid_channel(channel)) return DIALOG_BAD_CHANNEL;
    *channel_out = channel;

    // Every table the dialog touches changes in one transaction.
    int saved = settings_atomic(kDb, [&]() -> int {
        bool ok = true;
        for (MotionScheduleKind kind : {MS_EFFECTIVE, MS_AUDIBLE, MS_EMAIL, MS_PTZ, MS_WHITE, MS_HTTP, MS_WARNING}) {
            if (kind == MS_HTTP && !batch) continue;
            ok &= store_schedule(dialog, kind, channel) >= 0;
        }
        // Each stores only this channel's group of its table.
        ok &= set_white_params_by_json(channel, kWhiteParams, dialog, "whiteInfo") >= 0;
        ok &= set_warning_light_params_by_json(channel, kWarningParams, dialog, "warningLightInfo") >= 0;
        if (batch) ok &= set_http_params_by_json(channel, kHttpParams, dialog, "httpParams") >= 0;

        MotionRecord rec = stored_motion(channel);
        bool changed = update_motion_record(dialog, &rec, batch);
        if (batch) {
            const JsonPolicy policy[] = {{"ptzChnId", JK_INT}, {"ptzType", JK_INT}, {"ptzParams", JK_ARRAY}};
            json_object *tb[3];
            JSON_PARSE(dialog, policy, tb);
            int stored = tb[2] ? set_ptz_params_by_json(jv_int(tb[0]), jv_int(tb[1]), tb[2]) : 0;
            ok &= stored >= 0;
            changed |= stored > 0;
        }
        if (changed) ok &= write_motion(kDb, &rec) == 0;
        return ok ? 0 : -1;
    });
    if (saved < 0) return DIALOG_WRITE_FAILED;
    notify_motion_changed(channel);
    return DIALOG_SAVED;
}

// Copies every motion setting of `channel` to the channels of `mask`, the
// motion record with the page's sensitivity and camera-side mode. False when
// a write failed.
bool copy_motion_settings(int channel, uint64_t mask, int sensitivity, int enable_qx)
{
    return settings_atomic(kDb, [&]() -> int {
    bool ok = true;
    MotionRecord rec = stored_motion(channel);
    rec.sensitivity = sensitivity;
    rec.enable_qx = enable_qx;
    ok &= copy_motions(kDb, &rec, mask) == 0;

    auto sche = new_schedule();
    for (int kind = 0; kind < MS_COPIED; kind++) {
        *sche = WeekSchedule();
        schedule_read(MotionScheduleKind(kind), sche.get(), channel);
        ok &= schedule_copy(MotionScheduleKind(kind), sche.get(), mask) == 0;
    }
    auto white = std::unique_ptr<WhiteLedParams>(new WhiteLedParams());
    read_whiteled_params(kDb, kWhiteParams, white.get(), channel);
    ok &= copy_whiteled_params(kDb, kWhiteParams, white.get(), mask) == 0;
    auto warning = std::unique_ptr<WarningLightParams>(new WarningLightParams());
    read_warning_light_params(kDb, kWarningParams, warning.get(), channel);
    ok &= copy_warning_light_params(kDb, kWarningParams, warning.get(), mask) == 0;
    HttpNotificationParams http{};
    read_http_notification_params(kDb, kHttpParams, &http, channel);
    ok &= copy_http_notification_params(kDb, kHttpParams, &http, mask) == 0;
    PtzActionTable ptz{};
    int ptz_count = 0;
    read_ptz_params(kDb, &ptz, PTZ_EVENT_MOTION, channel, &ptz_count);
    ok &= copy_ptz_params_all(kDb, &ptz, PTZ_EVENT_MOTION, mask) == 0;
    return ok ? 0 : -1;
    }) >= 0;
}

// Shared shape of the week-schedule getters: the request text is the channel.
int answer_schedule(const char *request, MotionScheduleKind kind)
{
    int channel = atoi(request ? request : "");
    if (!valid_channel(channel)) return cgi_error_to_webserver(REPLY_JSON);
    json_object *reply = schedule_json(kind, channel);
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
    return 0;
}

// Shared shape of the single-schedule setters: {"camId", "schedule"}.
int set_one_schedule(const char *request, MotionScheduleKind kind)
{
    JsonDoc doc(request);
    int channel = 0;
    if (!request_channel(doc.get(), "camId", &channel)) return 0;
    if (!valid_channel(channel)) return cgi_error_to_webserver(REPLY_TEXT);
    if (store_schedule(doc.get(), kind, channel, "schedule") < 0)
        return write_failed("schedule", channel, REPLY_TEXT);
    notify_motion_changed(channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
} // namespace

// ---- /6010 -------------------------------------------------------------------------------

int on_get_movedetect_info(char *request)
{
    JsonDoc doc(request);
    int channel = -1;
    if (!request_channel(doc.get(), "chnid", &channel) || !valid_channel(channel))
        return cgi_error_to_webserver(REPLY_JSON);

    // A reply of seven week schedules (31 KB): written as it is rendered.
    MotionRecord rec = stored_motion(channel);
    cgi_reply_header(REPLY_JSON);
    JsonText o(stdout);
    auto add_schedule = [&](MotionScheduleKind kind) {
        add_stored_schedule(o, kSchedules[kind].key, [&](WeekSchedule *s) { return schedule_read(kind, s, channel); });
    };
    auto add_json = [&](const char *key, json_object *value) {
        o.add_json(key, value);
        json_object_put(value);
    };
    o.begin_object();
    o.add_int("chnid", channel);
    o.add_int("enable", rec.enable);
    o.add_int("sensitivity", rec.sensitivity);
    o.add_field("triChannels", rec.tri_channels);
    o.add_int("triAlarms", rec.tri_alarms);
    o.add_int("interval", rec.interval);
    o.add_int("enableQX", rec.enable_qx);
    o.add_field("motionTable", rec.motion_table);
    o.add_int("email_enable", rec.email_enable);
    o.add_int("email_interval", rec.email_interval);
    o.add_int("email_pic_enable", rec.email_pic_enable);
    o.add_field("tri_channels_pic", rec.tri_channels_pic);
    o.add_int("ptz_interval", rec.ptz_interval);
    o.add_int("alarmout_interval", rec.alarmout_interval);
    o.add_int("http_notification_interval", rec.http_notification_interval);
    for (MotionScheduleKind kind : {MS_EFFECTIVE, MS_AUDIBLE, MS_EMAIL, MS_PTZ}) add_schedule(kind);
    add_json("triChnAlarms", get_event_chn_alarmout_object(rec.tri_chn_alarms[0], rec.tri_chn_alarms[1]));
    add_schedule(MS_WHITE);
    add_json("whiteInfo", get_white_params_json_object(channel, kWhiteParams));
    o.add_int("white_interval", rec.white_interval);
    add_schedule(MS_WARNING);
    add_json("warningLightInfo", get_warning_light_params_json_object(channel, kWarningParams));
    o.add_int("warning_light_interval", rec.warning_light_interval);
    add_schedule(MS_HTTP);
    add_json("httpParams", get_http_params_json_object(channel, kHttpParams));
    o.add_int("audioId", rec.audio_id);
    o.add_int("audioIdMask", get_audio_file_id_mask());
    add_json("ptzParams", get_ptz_params_json_object(PTZ_EVENT_MOTION, channel));
    o.end_object();
    o.finish();
    return 0;
}

// ---- /6012 -------------------------------------------------------------------------------

namespace {
enum { MV_CAM_ID, MV_ENABLE, MV_SENSITIVITY, MV_TRI_CHANNELS, MV_TRI_ALARMS, MV_INTERVAL,
       MV_MOTION_TABLE, MV_ENABLE_QX, MV_COUNT };
const JsonPolicy kMoveDetectPolicy[MV_COUNT] = {
    {"camId", JK_INT},       {"enable", JK_INT},   {"sensitivity", JK_INT}, {"triChannels", JK_STRING},
    {"triAlarms", JK_INT},   {"interval", JK_INT}, {"motionTable", JK_STRING}, {"enableQX", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_movedetect_info, kMoveDetectPolicy);

// Every key present with its type; channel 0..63, enable 0..2, the others >= 0.
bool check_movedetect_info(json_object *const tb[MV_COUNT])
{
    for (int i = 0; i < MV_COUNT; i++)
        if (!tb[i]) return false;
    return valid_channel(jv_int(tb[MV_CAM_ID])) && jv_int(tb[MV_ENABLE]) >= 0 &&
           jv_int(tb[MV_ENABLE]) <= 2 && jv_int(tb[MV_SENSITIVITY]) >= 0 &&
           jv_int(tb[MV_TRI_ALARMS]) >= 0 && jv_int(tb[MV_INTERVAL]) >= 0;
}
} // namespace

int on_set_movedetect_info(char *request)
{
    JsonDoc doc(request);
    json_object *tb[MV_COUNT];
    if (JSON_PARSE(doc.get(), kMoveDetectPolicy, tb) < 0 || !check_movedetect_info(tb)) return 0;
    int channel = jv_int(tb[MV_CAM_ID]);

    // The page's fields over the stored record: the e-mail, action and
    // picture settings it does not carry stay as they are.
    MotionRecord rec{};
    int stored = update_motion(kDb, channel, [&](MotionRecord &r) {
        r.enable = jv_int(tb[MV_ENABLE]);
        r.sensitivity = jv_int(tb[MV_SENSITIVITY]);
        r.tri_alarms = jv_int(tb[MV_TRI_ALARMS]);
        r.interval = jv_int(tb[MV_INTERVAL]);
        r.enable_qx = jv_int(tb[MV_ENABLE_QX]);
        jv_copy(tb[MV_MOTION_TABLE], r.motion_table, sizeof r.motion_table);
        take_tri_channels(tb[MV_TRI_CHANNELS], &r);
        rec = r;
        return 0;
    });
    if (stored < 0) return write_failed("motion", channel, REPLY_TEXT);

    notify_motion_changed(channel);
    MotionMapRecord cam{};
    jv_copy(tb[MV_MOTION_TABLE], cam.map, sizeof cam.map);
    cam.sensitivity = rec.sensitivity;
    cam.channel = channel;
    cgi_notify_ipc(IPC_CAM_MOTION_SET, cam);
    send_camera_mode(channel, rec.enable_qx);
    send_motion_oplog(channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6013, /6152, /6159: one week schedule --------------------------------------------------

int OnSetMotionSchedule(char *request) { return set_one_schedule(request, MS_MOTION); }
int on_set_move_effective_sche(char *request) { return set_one_schedule(request, MS_EFFECTIVE); }
int on_set_move_ptz_sche(char *request) { return set_one_schedule(request, MS_PTZ); }

// ---- /6011, /6120, /6153, /6158 -----------------------------------------------------------------

int OnGetMotionSchedule(char *request) { return answer_schedule(request, MS_AUDIBLE); }
int on_get_move_email_sche(char *request) { return answer_schedule(request, MS_EMAIL); }
int on_get_move_effective_sche(char *request) { return answer_schedule(request, MS_EFFECTIVE); }
int on_get_move_ptz_sche(char *request) { return answer_schedule(request, MS_PTZ); }

// ---- /6098 ---------------------------------------------------------------------------------------

int on_get_motion_map(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"id", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_motion_map, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0] || !valid_channel(jv_int(tb[0]))) return 0;
    int32_t channel = jv_int(tb[0]);
    cgi_request_ipc(on_video_ipc_callback, IPC_MOTION_MAP, channel, REPLY_TEXT);
    return 0;
}

void on_get_motion_map_cb(const void *header, const void *payload, size_t)
{
    MotionMapRecord rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_add_field(o, "map", rec.map);
    json_add_int(o, "sensitivity", rec.sensitivity);
    json_add_int(o, "result", rec.result);
    json_add_int(o, "enable", rec.enable);
    json_add_int(o, "modelType", rec.model_type);
    json_add_int(o, "fishdisplay", rec.fish_display);
    json_add_int(o, "fishtransfer", rec.fish_transfer);
    json_add_int(o, "fishinstall", rec.fish_install);
    json_add_int(o, "enableAI", rec.enable_ai);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- /6112 ---------------------------------------------------------------------------------------

int on_set_movedetect_batch(char *request)
{
    enum { B_CHNID, B_DIALOG, B_ENABLE_QX, B_SENSITIVITY, B_ENABLE_AI, B_DETECTION, B_MOTION_TABLE, B_COUNT };
    static constexpr JsonPolicy policy[B_COUNT] = {
        {"chnid", JK_INT},     {"dialog", JK_OBJECT},    {"enableQX", JK_INT},        {"sensitivity", JK_INT},
        {"enableAI", JK_INT},  {"detection", JK_INT},    {"motionTable", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_set_movedetect_batch, policy);
    JsonDoc doc(request);
    json_object *tb[B_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    int channel = jv_channel(tb[B_CHNID]);
    if (!valid_channel(channel)) return cgi_error_to_webserver(REPLY_TEXT);
    int enable_qx = jv_int(tb[B_ENABLE_QX]);
    int sensitivity = jv_int(tb[B_SENSITIVITY]);

    int dialog_channel = -1;
    if (tb[B_DIALOG] && save_motion_dialog(tb[B_DIALOG], true, &dialog_channel) == DIALOG_WRITE_FAILED)
        return write_failed("motion dialog", dialog_channel, REPLY_TEXT);

    uint64_t mask = get_copy_flag_by_json(doc.get(), "copyChn", "copyCnt");
    CamMotionBatch cams{};
    jv_copy(tb[B_MOTION_TABLE], cams.grid, sizeof cams.grid);
    cams.sensitivity = sensitivity;
    cams.channel = channel;
    cams.enable_qx = enable_qx;
    cams.enable_ai = jv_int(tb[B_ENABLE_AI]);
    cams.detection = jv_int(tb[B_DETECTION]);
    cams.targets.count = channel_bits_list(mask, cams.targets.channels);
    CamMotionMode mode{};
    mode.channel = channel;
    mode.on = enable_qx == 1 ? 1 : 0;
    mode.targets = cams.targets;
    CamMotionSchedule sche{};
    fill_full_week(&sche);
    sche.targets = cams.targets;

    if (!copy_motion_settings(channel, mask, sensitivity, enable_qx))
        return write_failed("motion copy", channel, REPLY_TEXT);
    cgi_send_oplog_mask(OPLOG_SUB_SETTING, OPLOG_PARAM_MOTION, 0, mask);

    cgi_notify_ipc(IPC_CAM_MOTION_BATCH, cams);
    cgi_notify_ipc(IPC_MOTION_COPIED, mask);
    cgi_notify_ipc(IPC_CAM_MOTION_MODE, mode);
    if (enable_qx == 1) cgi_notify_ipc(IPC_CAM_MOTION_SCHEDULE_BATCH, sche);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6113, /6114: motion basics ------------------------------------------------------------------

namespace {
enum { SB_CAM_ID, SB_SENSITIVITY, SB_ENABLE_QX, SB_ENABLE, SB_TRI_ALARMS, SB_INTERVAL, SB_TRI_CHANNELS, SB_COUNT };
const JsonPolicy kMotionBasicsPolicy[SB_COUNT] = {
    {"camId", JK_INT},     {"sensitivity", JK_INT}, {"enableQX", JK_INT},      {"enable", JK_INT},
    {"triAlarms", JK_INT}, {"interval", JK_INT},    {"triChannels", JK_STRING},
};
NVRWEB_HANDLER_KEYS(on_set_movedetect_sche, kMotionBasicsPolicy);
NVRWEB_HANDLER_KEYS(on_set_movedetect_simple, kMotionBasicsPolicy);

// Parses a motion-basics request; its "camId" must be a channel 0..63.
// -1: no reply.
int motion_basics_channel(json_object *obj, json_object *tb[SB_COUNT])
{
    if (JSON_PARSE(obj, kMotionBasicsPolicy, tb) < 0) return -1;
    return jv_channel(tb[SB_CAM_ID]);
}

// The fields every motion-basics request sets.
void apply_motion_basics(json_object *const tb[SB_COUNT], MotionRecord &r)
{
    r.sensitivity = jv_int(tb[SB_SENSITIVITY]);
    r.enable_qx = jv_int(tb[SB_ENABLE_QX]);
    r.tri_alarms = jv_int(tb[SB_TRI_ALARMS]);
    r.interval = jv_int(tb[SB_INTERVAL]);
}
} // namespace

int on_set_movedetect_sche(char *request)
{
    JsonDoc doc(request);
    json_object *tb[SB_COUNT];
    int channel = motion_basics_channel(doc.get(), tb);
    if (channel < 0) return 0;
    int enable_qx = 0;
    int stored = update_motion(kDb, channel, [&](MotionRecord &r) {
        apply_motion_basics(tb, r);
        r.enable = jv_int(tb[SB_ENABLE]);
        enable_qx = r.enable_qx;
        return 0;
    });
    if (stored < 0) return write_failed("motion", channel, REPLY_TEXT);
    notify_motion_changed(channel);
    if (store_schedule(doc.get(), MS_MOTION, channel) < 0)
        return write_failed("motion schedule", channel, REPLY_TEXT);
    notify_motion_changed(channel);
    send_camera_mode(channel, enable_qx);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int on_set_movedetect_simple(char *request)
{
    JsonDoc doc(request);
    json_object *tb[SB_COUNT];
    int channel = motion_basics_channel(doc.get(), tb);
    if (channel < 0) return 0;
    int stored = update_motion(kDb, channel, [&](MotionRecord &r) {
        apply_motion_basics(tb, r);
        take_tri_channels(tb[SB_TRI_CHANNELS], &r);
        return 0;
    });
    if (stored < 0) return write_failed("motion", channel, REPLY_TEXT);
    notify_motion_changed(channel);
    send_motion_oplog(channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6117 ---------------------------------------------------------------------------------------

int on_set_move_action(char *request)
{
    JsonDoc doc(request);
    int channel = -1;
    if (save_motion_dialog(doc.get(), false, &channel) != DIALOG_SAVED) return cgi_error_to_webserver(REPLY_JSON);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6118 ---------------------------------------------------------------------------------------

int on_set_move_email_sche(char *request)
{
    static constexpr JsonPolicy policy[] = {{"camId", JK_INT}, {"enable", JK_INT}, {"interval", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_move_email_sche, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    int channel = jv_channel(tb[0]);
    if (!valid_channel(channel)) return cgi_error_to_webserver(REPLY_TEXT);
    int stored = settings_atomic(kDb, [&]() -> int {
        int rc = update_motion(kDb, channel, [&](MotionRecord &r) {
            r.email_enable = jv_int(tb[1]);
            r.email_interval = jv_int(tb[2]);
            return 0;
        });
        return rc < 0 || store_schedule(doc.get(), MS_EMAIL, channel, "schedule") < 0 ? -1 : 0;
    });
    if (stored < 0) return write_failed("motion e-mail", channel, REPLY_TEXT);
    notify_motion_changed(channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6119 ---------------------------------------------------------------------------------------

int on_set_move_others(char *request)
{
    static constexpr JsonPolicy policy[] = {
        {"camId", JK_INT}, {"type", JK_INT}, {"triChannels", JK_STRING}, {"triAlarms", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_set_move_others, policy);
    JsonDoc doc(request);
    json_object *tb[4];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    int channel = jv_channel(tb[0]);
    if (!valid_channel(channel)) return cgi_error_to_webserver(REPLY_TEXT);
    int type = jv_int(tb[1]);
    int stored = update_motion(kDb, channel, [&](MotionRecord &r) {
        if (type == 1) take_tri_channels(tb[2], &r);
        else if (type == 2) r.tri_alarms = jv_int(tb[3]);
        return 0;
    });
    if (stored < 0) return write_failed("motion", channel, REPLY_TEXT);
    notify_motion_changed(channel);
    send_motion_oplog(channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
