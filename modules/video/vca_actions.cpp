// Actions of the smart events (video content analysis kinds 0..8) kept in
// the settings database: the event record of each channel and kind, its
// week schedules and its light, HTTP and PTZ parameters. The analysis
// setters save their page's action dialog here; /6148 to /6151 read and
// change the actions directly.
//
// Every save changes the database in one transaction and tells the daemon
// after (smart events changed, 1412, with the channel bits concerned).
#include <cstring>
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/vca.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/alarm/alarm_actions.h"
#include "modules/video/vca.h"
#include "modules/video/video_utils.h"

namespace {
const char kDb[] = QXDB_PATH;

// Week schedules of a smart event, with their dialog keys and table names.
enum VcaSchedule { VS_EFFECTIVE, VS_AUDIBLE, VS_EMAIL, VS_PTZ, VS_WHITE, VS_WARNING, VS_HTTP, VS_COUNT };
struct ScheduleTable {
    const char *key;
    const char *table; // after "smart_event<kind>_"
};
const ScheduleTable kSchedules[VS_COUNT] = {
    {"effective", "effective_sche"},       {"audible", "audible_sche"},
    {"email", "mail_sche"},                {"ptz", "ptz_sche"},
    {"white", "whiteled_esche"},           {"warningLight", "warning_light_esche"},
    {"httpSche", "http_notification_sche"},
};

// Parameter tables of a smart event (part 1 of the table names).
enum VcaParams { VP_WHITE, VP_WARNING, VP_HTTP };

struct TableName {
    char text[NVR_DB_TABLE_NAME_SIZE] = "";
    operator const char *() const { return text; }
};
TableName schedule_table(int kind, VcaSchedule s)
{
    TableName t;
    vca_table_name(kind, kSchedules[s].table, t.text, sizeof t.text);
    return t;
}
TableName param_table(int kind, VcaParams p)
{
    TableName t;
    if (p == VP_WHITE) get_vca_white_table_name(1, kind, t.text, sizeof t.text);
    else if (p == VP_WARNING) get_vca_warning_light_table_name(1, kind, t.text, sizeof t.text);
    else get_vca_http_table_name(1, kind, t.text, sizeof t.text);
    return t;
}

bool valid_kind(int kind) { return kind >= 0 && kind < VCA_KINDS; }

std::unique_ptr<WeekSchedule> new_schedule() { return std::unique_ptr<WeekSchedule>(new WeekSchedule()); }

json_object *schedule_json(int kind, VcaSchedule s, int channel)
{
    return stored_schedule_json(
        [&](WeekSchedule *sche) { return read_alarm_action_schedule(kDb, schedule_table(kind, s), sche, channel); });
}

// Writes each schedule of `which` that the object carries and decodes; a
// missing or undecodable one keeps the stored schedule. False when a write
// failed.
bool store_schedules(json_object *obj, int kind, int channel, std::initializer_list<VcaSchedule> which)
{
    bool ok = true;
    auto sche = new_schedule();
    for (VcaSchedule s : which) {
        if (s == VS_EFFECTIVE && kind == VCA_KIND_PEOPLE) continue; // kept in the camera
        if (get_schedule_by_json(obj, kSchedules[s].key, sche.get()) != 0) continue;
        ok &= write_alarm_action_schedule(kDb, schedule_table(kind, s), sche.get(), channel) == 0;
    }
    return ok;
}

void notify_smart_events(uint64_t bits) { cgi_notify_ipc(IPC_SMART_EVENTS_CHANGED, bits); }

// Copies the stored actions of (kind, channel) to the channels of `bits`:
// the event record, every schedule, the light, HTTP and PTZ parameters.
// 0 when all were copied.
int copy_smart_event_action(int kind, int channel, uint64_t bits)
{
    if (!bits) return 0;
    bool ok = true;
    SmartEventRecord rec{};
    TableName events;
    vca_table_name(kind, "event", events.text, sizeof events.text);
    ok &= read_smart_event(kDb, &rec, channel, kind) == 0 && copy_smart_event_table(kDb, events, &rec, bits) == 0;
    auto sche = new_schedule();
    for (int s = 0; s < VS_COUNT; s++) {
        const TableName t = schedule_table(kind, VcaSchedule(s));
        ok &= read_alarm_action_schedule(kDb, t, sche.get(), channel) == 0 &&
              copy_alarm_action_schedule(kDb, t, sche.get(), bits) == 0;
    }
    const TableName white = param_table(kind, VP_WHITE), warning = param_table(kind, VP_WARNING),
                    http = param_table(kind, VP_HTTP);
    auto white_params = std::unique_ptr<WhiteLedParams>(new WhiteLedParams());
    ok &= read_whiteled_params(kDb, white, white_params.get(), channel) == 0 &&
          copy_whiteled_params(kDb, white, white_params.get(), bits) == 0;
    auto warning_params = std::unique_ptr<WarningLightParams>(new WarningLightParams());
    ok &= read_warning_light_params(kDb, warning, warning_params.get(), channel) == 0 &&
          copy_warning_light_params(kDb, warning, warning_params.get(), bits) == 0;
    HttpNotificationParams http_params{};
    ok &= read_http_notification_params(kDb, http, &http_params, channel) == 0 &&
          copy_http_notification_params(kDb, http, &http_params, bits) == 0;
    PtzActionTable ptz{};
    int entries = 0;
    const int ptz_event = get_smart_event_ptz_type(kind);
    ok &= read_ptz_params(kDb, &ptz, ptz_event, channel, &entries) == 0 &&
          copy_ptz_params_all(kDb, &ptz, ptz_event, bits) == 0;
    return ok ? 0 : -1;
}

// The part of a dialog that /6149 shares with the setters' dialogs: the
// schedules, the light (and with `full` the HTTP) parameters and the record
// fields. Runs inside the caller's transaction; *changed tells whether a
// record field was present. False when a write failed.
bool save_actions(json_object *obj, int kind, int channel, bool full, SmartEventRecord *rec, bool *changed)
{
    bool ok = full ? store_schedules(obj, kind, channel, {VS_EFFECTIVE, VS_AUDIBLE, VS_EMAIL, VS_PTZ, VS_WHITE,
                                                          VS_WARNING, VS_HTTP})
                   : store_schedules(obj, kind, channel, {VS_EFFECTIVE, VS_AUDIBLE, VS_EMAIL, VS_PTZ, VS_WHITE,
                                                          VS_WARNING});
    ok &= set_white_params_by_json(channel, param_table(kind, VP_WHITE), obj, "whiteInfo") >= 0;
    ok &= set_warning_light_params_by_json(channel, param_table(kind, VP_WARNING), obj, "warningLightInfo") >= 0;
    if (full) ok &= set_http_params_by_json(channel, param_table(kind, VP_HTTP), obj, "httpParams") >= 0;
    if (read_smart_event(kDb, rec, channel, kind) != 0) return false;
    *changed = apply_action_fields(obj, &rec->actions, channel);
    return ok;
}

// "chnid" and the kind key of a request: both -1 when out of range.
bool channel_and_kind(json_object *obj, const char *channel_key, const char *kind_key, int *channel, int *kind)
{
    const JsonPolicy policy[] = {{channel_key, JK_INT}, {kind_key, JK_INT}};
    json_object *tb[2];
    if (JSON_PARSE(obj, policy, tb) < 0) return false;
    *channel = jv_channel(tb[0]);
    *kind = tb[1] && valid_kind(jv_int(tb[1])) ? jv_int(tb[1]) : -1;
    return true;
}

int write_failed(const char *what, int channel, int error_kind)
{
    cgi_log("OnVideo", __LINE__, what, "settings write failed for channel %d", channel);
    return cgi_error_to_webserver(error_kind);
}
} // namespace

int vca_save_dialog(json_object *dialog, int kind, uint64_t copy_bits)
{
    if (!jv_is(dialog, JK_OBJECT) || !valid_kind(kind)) return 0;
    const JsonPolicy policy[] = {{"chnid", JK_INT}, {"ptzChnId", JK_INT}, {"ptzType", JK_INT}, {"ptzParams", JK_ARRAY}};
    json_object *tb[4];
    JSON_PARSE(dialog, policy, tb);
    const int channel = jv_channel(tb[0]);
    if (channel < 0) return 0;

    bool copied = false;
    int rc = settings_atomic(kDb, [&]() -> int {
        SmartEventRecord rec{};
        bool changed = false;
        if (!save_actions(dialog, kind, channel, true, &rec, &changed)) return -1;
        // The PTZ targets belong to the page's channel and kind unless the
        // page names them.
        int ptz = 0;
        if (tb[3]) {
            const int ptz_channel = tb[1] ? jv_int(tb[1]) : channel;
            const int ptz_type = tb[2] ? jv_int(tb[2]) : get_smart_event_ptz_type(kind);
            ptz = set_ptz_params_by_json(ptz_channel, ptz_type, tb[3]);
            if (ptz < 0) return -1;
        }
        if ((changed || ptz > 0) && write_smart_event(kDb, &rec, kind) != 0) return -1;
        copied = copy_smart_event_action(kind, channel, copy_bits) == 0;
        return copied ? 0 : -1;
    });
    if (rc < 0) {
        cgi_log("OnVideo", __LINE__, "smart event dialog", "kind %d channel %d: not stored", kind, channel);
        return -1;
    }
    notify_smart_events((copied ? copy_bits : 0) | 1ULL << channel);
    return 0;
}

// ---- /6148 ------------------------------------------------------------------------------------

int on_get_smart_event_schedule(char *request)
{
    JsonDoc doc(request);
    int channel = -1, kind = -1;
    if (!channel_and_kind(doc.get(), "chnid", "event", &channel, &kind) || channel < 0 || kind < 0)
        return cgi_error_to_webserver(REPLY_JSON);
    SmartEventRecord rec{};
    if (read_smart_event(kDb, &rec, channel, kind) != 0) rec = SmartEventRecord{channel, 0, {}};
    const AlarmActions &a = rec.actions;

    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", channel);
    json_add_int(o, "event", kind);
    json_add_int(o, "enable", rec.enable);
    json_add_int(o, "triAlarms", a.tri_alarms);
    json_add_int(o, "interval", a.interval);
    json_add_int(o, "email_interval", a.email_interval);
    json_add_int(o, "email_pic_enable", a.email_pic_enable);
    json_add_field(o, "tri_channels_pic", a.tri_channels_pic);
    json_add_int(o, "ptz_interval", a.ptz_interval);
    json_add_int(o, "alarmout_interval", a.alarmout_interval);
    json_add_field(o, "triChannels", a.tri_channels);
    for (VcaSchedule s : {VS_EFFECTIVE, VS_AUDIBLE, VS_EMAIL, VS_PTZ})
        json_object_object_add(o, kSchedules[s].key, schedule_json(kind, s, channel));
    json_object_object_add(o, "triChnAlarms", get_event_chn_alarmout_object(a.tri_chn_alarms[0], a.tri_chn_alarms[1]));
    json_object_object_add(o, "white", schedule_json(kind, VS_WHITE, channel));
    json_object_object_add(o, "whiteInfo", get_white_params_json_object(channel, param_table(kind, VP_WHITE)));
    json_add_int(o, "white_interval", a.white_interval);
    json_object_object_add(o, "warningLight", schedule_json(kind, VS_WARNING, channel));
    json_object_object_add(o, "warningLightInfo",
                           get_warning_light_params_json_object(channel, param_table(kind, VP_WARNING)));
    json_add_int(o, "warning_light_interval", a.warning_light_interval);
    json_add_int(o, "audioId", a.audio_id);
    json_object_object_add(o, "audioIdMask", json_object_new_int64(get_audio_file_id_mask()));
    json_object_object_add(o, "ptzParams", get_ptz_params_json_object(get_smart_event_ptz_type(kind), channel));

    json_object *reply = json_object_new_object();
    json_object *list = json_object_new_array();
    json_object_array_add(list, o);
    json_object_object_add(reply, "action", list);
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
    return 0;
}

// ---- /6149 ------------------------------------------------------------------------------------

int on_set_smart_event_schedule(char *request)
{
    JsonDoc doc(request);
    int channel = -1, kind = -1;
    if (!channel_and_kind(doc.get(), "chnid", "event", &channel, &kind) || channel < 0 || kind < 0)
        return cgi_error_to_webserver(REPLY_TEXT);
    int rc = settings_atomic(kDb, [&]() -> int {
        SmartEventRecord rec{};
        bool changed = false;
        if (!save_actions(doc.get(), kind, channel, false, &rec, &changed)) return -1;
        return changed ? write_smart_event(kDb, &rec, kind) : 0;
    });
    if (rc < 0) return write_failed("smart event actions", channel, REPLY_TEXT);
    notify_smart_events(1ULL << channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6150 ------------------------------------------------------------------------------------

int on_set_vca_allrtm_others(char *request)
{
    enum { O_CHANNEL, O_TYPE, O_EVENT, O_TRI_ALARMS, O_TRI_CHANNELS, O_COUNT };
    static constexpr JsonPolicy policy[O_COUNT] = {
        {"channel", JK_INT}, {"type", JK_INT}, {"event", JK_INT}, {"triAlarms", JK_INT}, {"triChannels", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_set_vca_allrtm_others, policy);
    JsonDoc doc(request);
    json_object *tb[O_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[O_CHANNEL]);
    const int kind = jv_int(tb[O_EVENT], -1);
    const int type = jv_int(tb[O_TYPE], -1);

    bool unreadable = false;
    int rc = settings_atomic(kDb, [&]() -> int {
        SmartEventRecord rec{};
        unreadable = channel < 0 || read_smart_event(kDb, &rec, channel, kind) != 0;
        if (unreadable) return -1;
        AlarmActions &a = rec.actions;
        if (type == 0 && tb[O_TRI_ALARMS]) {
            a.tri_alarms = jv_int(tb[O_TRI_ALARMS]);
        } else if (type == 1 && jv_copy(tb[O_TRI_CHANNELS], a.tri_channels, sizeof a.tri_channels)) {
            a.channel_bits = get_channel_mask(a.tri_channels);
        }
        return write_smart_event(kDb, &rec, kind);
    });
    if (unreadable) return cgi_writeback_webserver(REPLY_TEXT, "ERROT");
    if (rc < 0) return write_failed("smart event targets", channel, REPLY_TEXT);
    notify_smart_events(1ULL << channel);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6151 ------------------------------------------------------------------------------------

int on_get_vca_common_para(char *request)
{
    JsonDoc doc(request);
    int channel = -1, kind = -1;
    SmartEventRecord rec{};
    if (!channel_and_kind(doc.get(), "channel", "type", &channel, &kind) || channel < 0 || kind < 0 ||
        read_smart_event(kDb, &rec, channel, kind) != 0)
        return cgi_error_to_webserver(REPLY_TEXT);
    const AlarmActions &a = rec.actions;
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", channel);
    json_add_int(o, "enable", rec.enable);
    json_add_int(o, "triAlarms", a.tri_alarms);
    json_add_int(o, "interval", a.interval);
    json_add_int(o, "email_interval", a.email_interval);
    json_add_int(o, "email_pic_enable", a.email_pic_enable);
    json_add_field(o, "tri_channels_pic", a.tri_channels_pic);
    json_add_field(o, "triChannels", a.tri_channels);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}
