// Video loss handlers of the video module: the video loss record of each
// channel, the week schedules and parameters of its actions (audible alarm,
// e-mail, PTZ, white LED, warning light, HTTP notification), the old video
// loss dialog, the save-and-copy of the video loss page and the setters that
// change several channels at once.
//
// Setters change the settings database in one transaction first and tell
// the daemon after. Channels outside 0..63 never reach the database or the
// daemon; a list entry outside them is skipped.
#include "modules/video/videoloss.h"

#include <cstdlib>
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/event_schedule.h"
#include "common/records/videoloss.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/video_utils.h"

namespace {
const char kDb[] = QXDB_PATH;

enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_VIDEO_LOSS = 908, OPLOG_PARAM_EVENTS = 909 };

// ---- Week schedules of the video loss actions ------------------------------------------

enum VlSchedule { VS_AUDIBLE, VS_EMAIL, VS_PTZ, VS_WHITE, VS_WARNING, VS_HTTP, VS_COUNT };

// The named tables' families in the shape of the video loss's own.
#define VL_NAMED_SCHEDULE(name, family, table)                                                   \
    int read_##name(const char *p, WeekSchedule *s, int c) { return read_##family(p, table, s, c); } \
    int write_##name(const char *p, const WeekSchedule *s, int c) { return write_##family(p, table, s, c); } \
    int copy_##name(const char *p, const WeekSchedule *s, uint64_t m) { return copy_##family(p, table, s, m); }

VL_NAMED_SCHEDULE(vl_white, whiteled_effective_schedule, VIDEOLOSS_WHITE_SCHEDULE_TABLE)
VL_NAMED_SCHEDULE(vl_warning, warning_light_effective_schedule, VIDEOLOSS_WARNING_SCHEDULE_TABLE)
VL_NAMED_SCHEDULE(vl_http, http_notification_schedule, VIDEOLOSS_HTTP_SCHEDULE_TABLE)

struct VlScheduleOps {
    const char *key; // key in the settings reply and in the page's dialog
    json_object *(*encode)(const WeekSchedule *s);
    int (*decode)(json_object *obj, const char *key, WeekSchedule *s);
    int (*read)(const char *path, WeekSchedule *s, int channel);
    int (*write)(const char *path, const WeekSchedule *s, int channel);
    int (*copy)(const char *path, const WeekSchedule *s, uint64_t mask);
};

// Indexed by VlSchedule.
const VlScheduleOps kSchedules[VS_COUNT] = {
    {"audible", get_schedule_json_object_ex, get_schedule_by_json_ex, read_videoloss_audible_schedule,
     write_videoloss_audible_schedule, copy_videoloss_audible_schedules},
    {"email", get_schedule_json_object_ex, get_schedule_by_json_ex, read_videoloss_email_schedule,
     write_videoloss_email_schedule, copy_videoloss_email_schedules},
    {"ptz", get_schedule_json_object_ex, get_schedule_by_json_ex, read_videoloss_ptz_schedule,
     write_videoloss_ptz_schedule, copy_videoloss_ptz_schedules},
    {"white", get_schedule_json_object, get_schedule_by_json, read_vl_white, write_vl_white, copy_vl_white},
    {"warningLight", get_schedule_json_object, get_schedule_by_json, read_vl_warning, write_vl_warning,
     copy_vl_warning},
    {"httpSche", get_schedule_json_object, get_schedule_by_json, read_vl_http, write_vl_http, copy_vl_http},
};

std::unique_ptr<WeekSchedule> new_schedule() { return std::unique_ptr<WeekSchedule>(new WeekSchedule()); }

json_object *schedule_json(VlSchedule kind, int channel)
{
    auto s = new_schedule();
    if (kSchedules[kind].read(kDb, s.get(), channel) != 0) *s = WeekSchedule();
    return kSchedules[kind].encode(s.get());
}

// Decodes the schedule at `key` (the kind's own key when null) and stores
// it: 1 stored, 0 when the key is missing or not an array (the stored
// schedule stays), -1 when the write failed.
int store_schedule(json_object *obj, VlSchedule kind, int channel, const char *key = nullptr)
{
    auto s = new_schedule();
    if (kSchedules[kind].decode(obj, key ? key : kSchedules[kind].key, s.get()) != 0) return 0;
    return kSchedules[kind].write(kDb, s.get(), channel) == 0 ? 1 : -1;
}

// The getters' channel: the request text as a number; -1 outside 0..63.
int text_channel(const char *request)
{
    const int channel = atoi(request ? request : "");
    return valid_channel(channel) ? channel : -1;
}

// Shared shape of the schedule getters. A channel outside 0..63 gets no reply.
int answer_schedule(const char *request, VlSchedule kind)
{
    const int channel = text_channel(request);
    if (channel < 0) return 0;
    json_object *reply = schedule_json(kind, channel);
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
    return 0;
}

// ---- Records and notices ------------------------------------------------------------------

// The stored record of a channel (0..63), zeroed when none is stored.
VideoLossRecord stored_record(int channel)
{
    VideoLossRecord rec{};
    read_video_lost(kDb, &rec, channel);
    rec.channel = channel;
    return rec;
}

void notify_channel(int channel)
{
    int32_t payload = channel;
    cgi_notify_ipc(IPC_VIDEO_LOSS_CHANGED, payload);
}

void notify_channels(uint64_t bits) { cgi_notify_ipc(IPC_VIDEO_LOSSES_CHANGED, bits); }

int write_failed(const char *what, int channel, int error_kind)
{
    cgi_log("OnVideo", __LINE__, what, "settings write failed for channel %d", channel);
    return cgi_error_to_webserver(error_kind);
}

// The channels a batch request lists: the first "cnt" elements of "chnid"
// (never more than the array holds), each a channel 0..63; other entries
// are skipped.
uint64_t listed_channels(json_object *request) { return get_copy_flag_by_json(request, "chnid", "cnt"); }

// ---- The page's dialog ------------------------------------------------------------------

// Integer fields of the record that the dialog sets when it carries them.
struct DialogInt {
    const char *key;
    int32_t VideoLossRecord::*field;
};
const DialogInt kDialogInts[] = {
    {"triAlarms", &VideoLossRecord::tri_alarms},
    {"interval", &VideoLossRecord::interval},
    {"audioId", &VideoLossRecord::audio_id},
    {"email_interval", &VideoLossRecord::email_interval},
    {"ptz_interval", &VideoLossRecord::ptz_interval},
    {"alarmout_interval", &VideoLossRecord::alarmout_interval},
    {"white_interval", &VideoLossRecord::white_interval},
    {"warning_light_interval", &VideoLossRecord::warning_light_interval},
    {"http_notification_interval", &VideoLossRecord::http_notification_interval},
};

json_object *member(json_object *obj, const char *key, JsonKind kind)
{
    json_object *v = nullptr;
    return json_object_object_get_ex(obj, key, &v) && jv_is(v, kind) ? v : nullptr;
}

// Updates the record from the dialog's keys; true when any was present
// ("enable" counts as a change without being stored itself).
bool update_record(json_object *dialog, VideoLossRecord *rec)
{
    bool changed = member(dialog, "enable", JK_INT) != nullptr;
    for (const DialogInt &k : kDialogInts) {
        json_object *v = member(dialog, k.key, JK_INT);
        if (!v) continue;
        rec->*k.field = json_object_get_int(v);
        changed = true;
    }
    if (member(dialog, "triChnAlarms", JK_ARRAY)) {
        AlarmOutPair pair[2] = {};
        for (int i = 0; i < 2; i++)
            COPY_TEXT(pair[i].alarm_out, rec->tri_chn_alarms[i]);
        if (get_event_chn_alarmout_by_object(rec->channel, dialog, "triChnAlarms", pair) == 0) {
            for (int i = 0; i < 2; i++) COPY_TEXT(rec->tri_chn_alarms[i], pair[i].alarm_out);
            changed = true;
        }
    }
    return changed;
}

// Saves the dialog of the video loss page for the channel: every schedule
// and parameter set it carries, the record fields and the PTZ targets. A
// changed record is stored with the event and its e-mail switched on (2).
// Runs inside the caller's transaction; -1 when a write failed.
int save_dialog(json_object *dialog, int channel)
{
    bool ok = true;
    for (int kind = 0; kind < VS_COUNT; kind++) ok &= store_schedule(dialog, VlSchedule(kind), channel) >= 0;
    ok &= set_white_params_by_json(channel, VIDEOLOSS_WHITE_PARAMS_TABLE, dialog, "whiteInfo") >= 0;
    ok &= set_warning_light_params_by_json(channel, VIDEOLOSS_WARNING_PARAMS_TABLE, dialog, "warningLightInfo") >= 0;
    ok &= set_http_params_by_json(channel, VIDEOLOSS_HTTP_PARAMS_TABLE, dialog, "httpParams") >= 0;

    VideoLossRecord rec = stored_record(channel);
    bool changed = update_record(dialog, &rec);
    const int ptz = set_ptz_params_by_json(channel, PTZ_EVENT_VIDEO_LOSS, member(dialog, "ptzParams", JK_ARRAY));
    ok &= ptz >= 0;
    changed |= ptz > 0;
    if (changed) {
        rec.enable = 2;
        rec.email_enable = 2;
        ok &= write_video_lost(kDb, &rec) == 0;
    }
    return ok ? 0 : -1;
}

// Copies every video loss setting of `channel` to the channels of `mask`:
// the record, the action schedules and parameters and the PTZ targets, each
// read from the source. Runs inside the caller's transaction.
int copy_settings(int channel, uint64_t mask)
{
    bool ok = true;
    VideoLossRecord rec = stored_record(channel);
    ok &= copy_video_losts(kDb, &rec, mask) == 0;
    auto sche = new_schedule();
    for (const VlScheduleOps &ops : kSchedules)
        ok &= ops.read(kDb, sche.get(), channel) == 0 && ops.copy(kDb, sche.get(), mask) == 0;

    PtzActionTable ptz{};
    int entries = 0;
    ok &= read_ptz_params(kDb, &ptz, PTZ_EVENT_VIDEO_LOSS, channel, &entries) == 0 &&
          copy_ptz_params_all(kDb, &ptz, PTZ_EVENT_VIDEO_LOSS, mask) == 0;
    auto white = std::unique_ptr<WhiteLedParams>(new WhiteLedParams());
    ok &= read_whiteled_params(kDb, VIDEOLOSS_WHITE_PARAMS_TABLE, white.get(), channel) == 0 &&
          copy_whiteled_params(kDb, VIDEOLOSS_WHITE_PARAMS_TABLE, white.get(), mask) == 0;
    auto warning = std::unique_ptr<WarningLightParams>(new WarningLightParams());
    ok &= read_warning_light_params(kDb, VIDEOLOSS_WARNING_PARAMS_TABLE, warning.get(), channel) == 0 &&
          copy_warning_light_params(kDb, VIDEOLOSS_WARNING_PARAMS_TABLE, warning.get(), mask) == 0;
    HttpNotificationParams http{};
    ok &= read_http_notification_params(kDb, VIDEOLOSS_HTTP_PARAMS_TABLE, &http, channel) == 0 &&
          copy_http_notification_params(kDb, VIDEOLOSS_HTTP_PARAMS_TABLE, &http, mask) == 0;
    return ok ? 0 : -1;
}

// ---- Batch schedule setters (/6121, /6122) -----------------------------------------------

// Sets the field when the request carries a different value; true then.
bool take_changed(json_object *v, int32_t *field)
{
    if (!v || json_object_get_int(v) == *field) return false;
    *field = json_object_get_int(v);
    return true;
}

// One action of a batch setter: its enable and interval fields and its schedule.
struct BatchAction {
    int32_t VideoLossRecord::*enable;
    int32_t VideoLossRecord::*interval;
    VlSchedule schedule;
};
const BatchAction kAudible = {&VideoLossRecord::enable, &VideoLossRecord::interval, VS_AUDIBLE};
const BatchAction kEmail = {&VideoLossRecord::email_enable, &VideoLossRecord::email_interval, VS_EMAIL};

int set_batch_schedule(const char *request, const BatchAction &action)
{
    static constexpr JsonPolicy policy[] = {{"enable", JK_INT}, {"interval", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_videolost_audible_sche, policy);
    NVRWEB_HANDLER_KEYS(on_set_videolost_email_sche, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const uint64_t listed = listed_channels(doc.get());
    auto sche = new_schedule();
    // Without a schedule the stored ones stay.
    const VlScheduleOps &ops = kSchedules[action.schedule];
    const bool have_schedule = ops.decode(doc.get(), "schedule", sche.get()) == 0;

    int rc = settings_atomic(kDb, [&]() -> int {
        // Record n is channel n's, whatever is stored: 64 records in key order.
        VideoLossRecord all[VIDEO_LOSS_CHANNELS] = {};
        int count = 0;
        if (read_video_losts(kDb, all, &count) != 0) return -1;
        uint64_t changed = 0;
        for (int n = 0; n < count && n < VIDEO_LOSS_CHANNELS; n++) {
            if (!(listed >> n & 1)) continue;
            all[n].channel = n;
            const bool a = take_changed(tb[0], &(all[n].*action.enable));
            const bool b = take_changed(tb[1], &(all[n].*action.interval));
            if (a || b) changed |= 1ULL << n;
        }
        if (write_video_losts(kDb, all, count, changed) != 0) return -1;
        return have_schedule ? ops.copy(kDb, sche.get(), listed) : 0;
    });
    if (rc < 0) return write_failed("video loss schedules", -1, REPLY_TEXT);
    notify_channels(listed);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
} // namespace

// ---- /6014, /6015, /6124, /6166 ---------------------------------------------------------------

int on_get_videolost_info(char *request)
{
    const int channel = text_channel(request);
    if (channel < 0) return 0;
    const VideoLossRecord rec = stored_record(channel);
    json_object *o = json_object_new_object();
    json_add_int(o, "camId", channel);
    json_add_int(o, "enable", rec.enable);
    json_add_int(o, "triAlarms", rec.tri_alarms);
    json_add_int(o, "interval", rec.interval);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

int on_get_videolost_schedule(char *request) { return answer_schedule(request, VS_AUDIBLE); }
int on_get_videolost_email_sche(char *request) { return answer_schedule(request, VS_EMAIL); }
int on_get_videoloss_ptz_sche(char *request) { return answer_schedule(request, VS_PTZ); }

// ---- /6016 ---------------------------------------------------------------------------------

int on_set_videolost_info(char *request)
{
    enum { I_CAM_ID, I_ENABLE, I_TRI_ALARMS, I_INTERVAL, I_COUNT };
    static constexpr JsonPolicy policy[I_COUNT] = {
        {"camId", JK_INT}, {"enable", JK_INT}, {"triAlarms", JK_INT}, {"interval", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_videolost_info, policy);
    JsonDoc doc(request);
    json_object *tb[I_COUNT];
    // Every key present with its type: channel 0..63, enable 0..2, the others >= 0.
    if (JSON_PARSE(doc.get(), policy, tb) != I_COUNT) return 0;
    const int channel = jv_channel(tb[I_CAM_ID]);
    const int enable = jv_int(tb[I_ENABLE]);
    if (channel < 0 || enable < 0 || enable > 2 || jv_int(tb[I_TRI_ALARMS]) < 0 || jv_int(tb[I_INTERVAL]) < 0)
        return 0;
    // The enable the request must carry is stored with the rest.
    int stored = update_video_lost(kDb, channel, [&](VideoLossRecord &r) {
        r.enable = enable;
        r.tri_alarms = jv_int(tb[I_TRI_ALARMS]);
        r.interval = jv_int(tb[I_INTERVAL]);
        return 0;
    });
    if (stored < 0) return write_failed("video loss", channel, REPLY_TEXT);
    notify_channel(channel);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_VIDEO_LOSS, channel + 1);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6017 ---------------------------------------------------------------------------------

int on_set_videolost_schedule(char *request)
{
    static constexpr JsonPolicy policy[] = {{"camId", JK_INT}, {"enable", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_videolost_schedule, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[0]);
    if (channel < 0) return 0;
    int rc = settings_atomic(kDb, [&]() -> int {
        auto sche = new_schedule();
        if (get_schedule_by_json(doc.get(), "schedule", sche.get()) == 0 &&
            write_video_loss_schedule(kDb, sche.get(), channel) != 0)
            return -1;
        if (!tb[1]) return 0;
        return update_video_lost(kDb, channel, [&](VideoLossRecord &r) {
            r.enable = jv_int(tb[1]);
            return 0;
        });
    });
    if (rc < 0) return write_failed("video loss schedule", channel, REPLY_TEXT);
    notify_channel(channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6094 ---------------------------------------------------------------------------------

int on_get_videoloss_info(char *request)
{
    JsonDoc doc(request);
    const int channel = jv_channel(member(doc.get(), "chnid", JK_INT));
    if (channel < 0) return cgi_error_to_webserver(REPLY_JSON);

    const VideoLossRecord rec = stored_record(channel);
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", channel);
    json_add_int(o, "enable", rec.enable);
    json_add_int(o, "triAlarms", rec.tri_alarms);
    json_add_int(o, "interval", rec.interval);
    json_add_int(o, "email_interval", rec.email_interval);
    json_add_int(o, "ptz_interval", rec.ptz_interval);
    json_add_int(o, "alarmout_interval", rec.alarmout_interval);
    json_add_int(o, "white_interval", rec.white_interval);
    json_add_int(o, "http_notification_interval", rec.http_notification_interval);
    for (VlSchedule kind : {VS_AUDIBLE, VS_EMAIL, VS_PTZ})
        json_object_object_add(o, kSchedules[kind].key, schedule_json(kind, channel));
    json_object_object_add(o, "triChnAlarms",
                           get_event_chn_alarmout_object(rec.tri_chn_alarms[0], rec.tri_chn_alarms[1]));
    json_object_object_add(o, "white", schedule_json(VS_WHITE, channel));
    json_object_object_add(o, "whiteInfo", get_white_params_json_object(channel, VIDEOLOSS_WHITE_PARAMS_TABLE));
    json_object_object_add(o, "warningLight", schedule_json(VS_WARNING, channel));
    json_object_object_add(o, "warningLightInfo",
                           get_warning_light_params_json_object(channel, VIDEOLOSS_WARNING_PARAMS_TABLE));
    json_add_int(o, "warning_light_interval", rec.warning_light_interval);
    json_object_object_add(o, "httpSche", schedule_json(VS_HTTP, channel));
    json_object_object_add(o, "httpParams", get_http_params_json_object(channel, VIDEOLOSS_HTTP_PARAMS_TABLE));
    json_add_int(o, "audioId", rec.audio_id);
    json_object_object_add(o, "audioIdMask", json_object_new_int64(get_audio_file_id_mask()));
    json_object_object_add(o, "ptzParams", get_ptz_params_json_object(PTZ_EVENT_VIDEO_LOSS, channel));
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

// ---- /6095 ---------------------------------------------------------------------------------

int on_set_videoloss_info(char *request)
{
    JsonDoc doc(request);
    if (!json_object_is_type(doc.get(), json_type_object)) return cgi_error_to_webserver(REPLY_JSON);
    const int channel = jv_channel(member(doc.get(), "chnid", JK_INT));
    if (channel < 0) return cgi_error_to_webserver(REPLY_JSON);
    json_object *dialog = member(doc.get(), "dialog", JK_OBJECT);
    // The source never copies onto itself.
    const uint64_t copies = get_copy_flag_by_json(doc.get(), "copyChn", "copyCnt") & ~(1ULL << channel);

    int rc = settings_atomic(kDb, [&]() -> int {
        if (dialog && save_dialog(dialog, channel) < 0) return -1;
        return copies ? copy_settings(channel, copies) : 0;
    });
    if (rc < 0) return write_failed("video loss page", channel, REPLY_JSON);
    notify_channels(copies | 1ULL << channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6121, /6122 ----------------------------------------------------------------------------

int on_set_videolost_audible_sche(char *request) { return set_batch_schedule(request, kAudible); }
int on_set_videolost_email_sche(char *request) { return set_batch_schedule(request, kEmail); }

// ---- /6123 ---------------------------------------------------------------------------------

int on_set_videolost_others(char *request)
{
    JsonDoc doc(request);
    json_object *value = member(doc.get(), "triAlarms", JK_INT);
    // Without the alarm outputs to set there is nothing to do.
    if (!value) return 0;
    const int tri_alarms = json_object_get_int(value);
    const uint64_t listed = listed_channels(doc.get());
    uint64_t changed = 0;
    int rc = settings_atomic(kDb, [&]() -> int {
        changed = 0;
        VideoLossRecord all[VIDEO_LOSS_CHANNELS] = {};
        int count = 0;
        if (read_video_losts(kDb, all, &count) != 0) return -1;
        for (int n = 0; n < count && n < VIDEO_LOSS_CHANNELS; n++)
            if ((listed >> n & 1) && all[n].tri_alarms != tri_alarms) changed |= 1ULL << n;
        return changed ? copy_table_column_int(kDb, "video_loss", "tri_alarms", tri_alarms, changed, "id") : 0;
    });
    if (rc < 0) return write_failed("video loss alarm outputs", -1, REPLY_TEXT);
    notify_channels(changed);
    cgi_send_oplog_mask(OPLOG_SUB_SETTING, OPLOG_PARAM_EVENTS, 0, listed);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6165 ---------------------------------------------------------------------------------

int on_set_videoloss_ptz_sche(char *request)
{
    JsonDoc doc(request);
    if (!json_object_is_type(doc.get(), json_type_object)) return 0;
    const int source = jv_channel(member(doc.get(), "camId", JK_INT));
    if (source < 0) return cgi_error_to_webserver(REPLY_TEXT);
    const uint64_t listed = listed_channels(doc.get());
    auto sche = new_schedule();
    const bool have_schedule = get_schedule_by_json(doc.get(), "schedule", sche.get()) == 0;

    int rc = settings_atomic(kDb, [&]() -> int {
        // The source's PTZ targets go to every other listed channel, owned there.
        PtzActionTable ptz{};
        int entries = 0;
        if (read_ptz_params(kDb, &ptz, PTZ_EVENT_VIDEO_LOSS, source, &entries) != 0) return -1;
        for (int t = 0; t < VIDEO_LOSS_CHANNELS; t++) {
            if (!(listed >> t & 1) || t == source) continue;
            if (write_ptz_params_all(kDb, &ptz, PTZ_EVENT_VIDEO_LOSS, t) != 0) return -1;
        }
        return have_schedule ? copy_videoloss_ptz_schedules(kDb, sche.get(), listed) : 0;
    });
    if (rc < 0) return write_failed("video loss PTZ", source, REPLY_TEXT);
    notify_channels(listed);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
