#include "modules/alarm/alarm_actions.h"

#include <cstdio>
#include <memory>

#include "common/codecs.h"
#include "common/web_utils.h"

namespace {
const char kDb[] = QXDB_PATH;

// Table names of an alarm's stored actions: the recorder inputs' tables are
// keyed by input id, a camera input's (its index in %d) by channel.
struct ActionTable {
    const char *key;
    const char *recorder;
    const char *camera;
};

// Indexed by ActionSchedule. The recorder's first four are the tables of
// read_/write_/copy_alarmin_<kind>_schedule(s) (common/records/alarm.h).
const ActionTable kSchedules[AS_COUNT] = {
    {"effective", "alarmin_effective_sche", "alarm_chnIn%d_effective_sche"},
    {"audible", "alarmin_audible_sche", "alarm_chnIn%d_audible_sche"},
    {"email", "alarmin_email_sche", "alarm_chnIn%d_mail_sche"},
    {"ptz", "alarmin_ptz_sche", "alarm_chnIn%d_ptz_sche"},
    {"white", "alarmin_whiteled_esche", "alarm_chnIn%d_whiteled_esche"},
    {"warningLight", "alarmin_warning_light_esche", "alarm_chnIn%d_warning_light_esche"},
    {"httpSche", "alarmin_http_notification_sche", "alarm_chnIn%d_http_notification_sche"},
};

enum ActionParams { AP_WHITE, AP_WARNING, AP_HTTP, AP_COUNT };
const ActionTable kParams[AP_COUNT] = {
    {"whiteInfo", "alarm_in_white_led_params", "alarm_chnIn%d_white_led_params"},
    {"warningLightInfo", "alarm_in_warning_light_params", "alarm_chnIn%d_warning_light_params"},
    {"httpParams", "alarmin_http_notification_params", "alarm_chnIn%d_http_notification_params"},
};

struct TableName {
    char text[NVR_DB_TABLE_NAME_SIZE];
    TableName(const AlarmSource &src, const ActionTable &t)
    {
        if (src.is_camera()) snprintf(text, sizeof text, t.camera, src.index);
        else snprintf(text, sizeof text, "%s", t.recorder);
    }
    operator const char *() const { return text; }
};

// Keys of the action fields, each with its field.
struct IntKey {
    const char *key;
    int32_t AlarmActions::*field;
};
const IntKey kIntKeys[] = {
    {"triAlarms", &AlarmActions::tri_alarms},
    {"interval", &AlarmActions::interval},
    {"audioId", &AlarmActions::audio_id},
    {"email_interval", &AlarmActions::email_interval},
    {"email_pic_enable", &AlarmActions::email_pic_enable},
    {"ptz_interval", &AlarmActions::ptz_interval},
    {"alarmout_interval", &AlarmActions::alarmout_interval},
    {"white_interval", &AlarmActions::white_interval},
    {"warning_light_interval", &AlarmActions::warning_light_interval},
    {"http_notification_interval", &AlarmActions::http_notification_interval},
};
enum { N_INT_KEYS = sizeof kIntKeys / sizeof kIntKeys[0] };

std::unique_ptr<WeekSchedule> new_schedule() { return std::unique_ptr<WeekSchedule>(new WeekSchedule()); }

json_object *schedule_json(const AlarmSource &src, ActionSchedule kind)
{
    return stored_schedule_json([&](WeekSchedule *s) { return read_action_schedule(src, kind, s); });
}
} // namespace

int AlarmSource::ptz_event() const
{
    return is_camera() ? converse_chn_alarmid_to_event_in(index) : PTZ_EVENT_ALARM_IN;
}

int read_action_schedule(const AlarmSource &src, ActionSchedule kind, WeekSchedule *s)
{
    return read_alarm_action_schedule(kDb, TableName(src, kSchedules[kind]), s, src.key);
}

int write_action_schedule(const AlarmSource &src, ActionSchedule kind, const WeekSchedule *s)
{
    return write_alarm_action_schedule(kDb, TableName(src, kSchedules[kind]), s, src.key);
}

int copy_action_schedule(const AlarmSource &src, ActionSchedule kind, const WeekSchedule *s, uint64_t mask)
{
    if (!src.is_camera()) mask &= (1ULL << ALARM_IN_COUNT) - 1;
    return copy_alarm_action_schedule(kDb, TableName(src, kSchedules[kind]), s, mask);
}

int store_action_schedule(json_object *obj, const AlarmSource &src, ActionSchedule kind, const char *key)
{
    auto s = new_schedule();
    if (get_schedule_by_json(obj, key ? key : kSchedules[kind].key, s.get()) != 0) return 0;
    return write_action_schedule(src, kind, s.get()) == 0 ? 1 : -1;
}

bool apply_action_fields(json_object *dialog, AlarmActions *a, int channel)
{
    JsonPolicy policy[N_INT_KEYS + 3];
    for (int i = 0; i < N_INT_KEYS; i++) policy[i] = {kIntKeys[i].key, JK_INT};
    policy[N_INT_KEYS] = {"tri_channels_pic", JK_STRING};
    policy[N_INT_KEYS + 1] = {"triChannels", JK_STRING};
    policy[N_INT_KEYS + 2] = {"triChnAlarms", JK_ARRAY};
    json_object *tb[N_INT_KEYS + 3];
    if (JSON_PARSE(dialog, policy, tb) <= 0) return false;

    bool changed = false;
    for (int i = 0; i < N_INT_KEYS; i++) {
        if (!tb[i]) continue;
        a->*kIntKeys[i].field = jv_int(tb[i]);
        changed = true;
    }
    changed |= jv_copy(tb[N_INT_KEYS], a->tri_channels_pic, sizeof a->tri_channels_pic);
    if (jv_copy(tb[N_INT_KEYS + 1], a->tri_channels, sizeof a->tri_channels)) {
        a->channel_bits = get_channel_mask(a->tri_channels);
        changed = true;
    }
    if (tb[N_INT_KEYS + 2]) {
        // Elements that are missing or not texts keep the stored text.
        AlarmOutPair pair[2] = {};
        for (int i = 0; i < 2; i++)
            copy_field(pair[i].alarm_out, sizeof pair[i].alarm_out, a->tri_chn_alarms[i], sizeof a->tri_chn_alarms[i]);
        if (get_event_chn_alarmout_by_object(channel, dialog, "triChnAlarms", pair) == 0) {
            for (int i = 0; i < 2; i++) COPY_TEXT(a->tri_chn_alarms[i], pair[i].alarm_out);
            changed = true;
        }
    }
    return changed;
}

int save_action_dialog(json_object *dialog, const AlarmSource &src, AlarmActions *a, bool *changed)
{
    bool ok = true;
    for (int kind = 0; kind < AS_COUNT; kind++) ok &= store_action_schedule(dialog, src, ActionSchedule(kind)) >= 0;
    ok &= set_white_params_by_json(src.key, TableName(src, kParams[AP_WHITE]), dialog, kParams[AP_WHITE].key) >= 0;
    ok &= set_warning_light_params_by_json(src.key, TableName(src, kParams[AP_WARNING]), dialog,
                                           kParams[AP_WARNING].key) >= 0;
    ok &= set_http_params_by_json(src.key, TableName(src, kParams[AP_HTTP]), dialog, kParams[AP_HTTP].key) >= 0;

    *changed = apply_action_fields(dialog, a, src.is_camera() ? src.key : 0);
    // The PTZ actions always belong to this alarm ("ptzChnId" and "ptzType"
    // of the page name the same one).
    const JsonPolicy policy[] = {{"ptzParams", JK_ARRAY}};
    json_object *tb[1];
    JSON_PARSE(dialog, policy, tb);
    int ptz = tb[0] ? set_ptz_params_by_json(src.key, src.ptz_event(), tb[0]) : 0;
    ok &= ptz >= 0;
    *changed |= ptz > 0;
    return ok ? 0 : -1;
}

int copy_action_settings(const AlarmSource &src, uint64_t mask)
{
    if (!src.is_camera()) mask &= (1ULL << ALARM_IN_COUNT) - 1;
    if (!mask) return 0;
    bool ok = true;
    auto sche = new_schedule();
    for (int kind = 0; kind < AS_COUNT; kind++) {
        // The stored schedule of the source, never an empty one in its place.
        ok &= read_action_schedule(src, ActionSchedule(kind), sche.get()) == 0 &&
              copy_action_schedule(src, ActionSchedule(kind), sche.get(), mask) == 0;
    }
    const TableName white(src, kParams[AP_WHITE]), warning(src, kParams[AP_WARNING]), http(src, kParams[AP_HTTP]);
    auto white_params = std::unique_ptr<WhiteLedParams>(new WhiteLedParams());
    ok &= read_whiteled_params(kDb, white, white_params.get(), src.key) == 0 &&
          copy_whiteled_params(kDb, white, white_params.get(), mask) == 0;
    auto warning_params = std::unique_ptr<WarningLightParams>(new WarningLightParams());
    ok &= read_warning_light_params(kDb, warning, warning_params.get(), src.key) == 0 &&
          copy_warning_light_params(kDb, warning, warning_params.get(), mask) == 0;
    HttpNotificationParams http_params{};
    ok &= read_http_notification_params(kDb, http, &http_params, src.key) == 0 &&
          copy_http_notification_params(kDb, http, &http_params, mask) == 0;
    PtzActionTable ptz{};
    int ptz_count = 0;
    ok &= read_ptz_params(kDb, &ptz, src.ptz_event(), src.key, &ptz_count) == 0 &&
          copy_ptz_params_all(kDb, &ptz, src.ptz_event(), mask) == 0;
    return ok ? 0 : -1;
}

void add_action_items(json_object *o, const AlarmSource &src, const AlarmActions &a,
                      std::initializer_list<ActionItem> items)
{
    for (ActionItem item : items) {
        switch (item) {
        case AI_TRI_ALARMS: json_add_int(o, "triAlarms", a.tri_alarms); break;
        case AI_INTERVAL: json_add_int(o, "interval", a.interval); break;
        case AI_EMAIL_INTERVAL: json_add_int(o, "email_interval", a.email_interval); break;
        case AI_EMAIL_PIC_ENABLE: json_add_int(o, "email_pic_enable", a.email_pic_enable); break;
        case AI_TRI_CHANNELS_PIC: json_add_field(o, "tri_channels_pic", a.tri_channels_pic); break;
        case AI_PTZ_INTERVAL: json_add_int(o, "ptz_interval", a.ptz_interval); break;
        case AI_ALARMOUT_INTERVAL: json_add_int(o, "alarmout_interval", a.alarmout_interval); break;
        case AI_WHITE_INTERVAL: json_add_int(o, "white_interval", a.white_interval); break;
        case AI_WARNING_INTERVAL: json_add_int(o, "warning_light_interval", a.warning_light_interval); break;
        case AI_HTTP_INTERVAL: json_add_int(o, "http_notification_interval", a.http_notification_interval); break;
        case AI_AUDIO_ID: json_add_int(o, "audioId", a.audio_id); break;
        case AI_TRI_CHANNELS: json_add_field(o, "triChannels", a.tri_channels); break;
        case AI_TRI_CHN_ALARMS:
            json_object_object_add(o, "triChnAlarms",
                                   get_event_chn_alarmout_object(a.tri_chn_alarms[0], a.tri_chn_alarms[1]));
            break;
        case AI_AUDIO_MASK: json_object_object_add(o, "audioIdMask", json_object_new_int64(get_audio_file_id_mask())); break;
        case AI_PTZ_PARAMS:
            json_object_object_add(o, "ptzParams", get_ptz_params_json_object(src.ptz_event(), src.key));
            break;
        case AI_WHITE_INFO:
            json_object_object_add(o, kParams[AP_WHITE].key,
                                   get_white_params_json_object(src.key, TableName(src, kParams[AP_WHITE])));
            break;
        case AI_WARNING_INFO:
            json_object_object_add(o, kParams[AP_WARNING].key,
                                   get_warning_light_params_json_object(src.key, TableName(src, kParams[AP_WARNING])));
            break;
        case AI_HTTP_PARAMS:
            json_object_object_add(o, kParams[AP_HTTP].key,
                                   get_http_params_json_object(src.key, TableName(src, kParams[AP_HTTP])));
            break;
        case AI_EFFECTIVE: case AI_AUDIBLE: case AI_EMAIL: case AI_PTZ: case AI_WHITE: case AI_WARNING: case AI_HTTP_SCHE: {
            ActionSchedule kind = ActionSchedule(AS_EFFECTIVE + (item - AI_EFFECTIVE));
            json_object_object_add(o, kSchedules[kind].key, schedule_json(src, kind));
            break;
        }
        }
    }
}
