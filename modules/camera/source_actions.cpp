#include "modules/camera/source_actions.h"

#include <memory>

#include "common/codecs.h"
#include "common/web_utils.h"
#include "modules/alarm/alarm_actions.h"

namespace {
const char kDb[] = QXDB_PATH;

const char *const kScheduleKeys[SS_COUNT] = {"effective", "audible", "email", "ptz", "white", "httpSche"};

// PTZ action event types of the sources without one of their own in the
// shared list (people counting has 20).
enum { PTZ_EVENT_POS = 18, PTZ_EVENT_FACE = 19 };

int read_pcnt_event(const char *path, SourceEvent *e, int key) { return read_peoplecnt_event(path, e, key); }
int update_pcnt_event(const char *path, int key, const std::function<int(SourceEvent &)> &f)
{
    return update_peoplecnt_event(path, key, f);
}
int read_pos_ev(const char *path, SourceEvent *e, int key) { return read_pos_event(path, e, key); }
int update_pos_ev(const char *path, int key, const std::function<int(SourceEvent &)> &f)
{
    return update_pos_event(path, key, f);
}
int read_face_ev(const char *path, SourceEvent *e, int key) { return read_face_event(path, e, key); }
int update_face_ev(const char *path, int key, const std::function<int(SourceEvent &)> &f)
{
    return update_face_event(path, key, f);
}

const char *schedule_table(const ActionSourceKind &kind, int s)
{
    if (s == SS_EFFECTIVE && !kind.schedules[s]) return kind.schedules[SS_AUDIBLE];
    return kind.schedules[s];
}

json_object *schedule_json(const ActionSourceKind &kind, int s, int key)
{
    return stored_schedule_json(
        [&](WeekSchedule *sche) { return read_alarm_action_schedule(kDb, schedule_table(kind, s), sche, key); });
}
} // namespace

const ActionSourceKind kPeopleCountActions = {
    {nullptr, "peoplecnt_audible_sche", "peoplecnt_email_sche", "peoplecnt_ptz_sche", "peoplecnt_wled_sche",
     "people_cnt_http_notification_sche"},
    PEOPLECNT_WLED_PARAMS_TABLE,
    "people_cnt_http_notification_params",
    PTZ_EVENT_PEOPLE_COUNT,
    read_pcnt_event,
    update_pcnt_event,
};
const ActionSourceKind kPosActions = {
    {"pos_effective_sche", "pos_audible_sche", "pos_email_sche", "pos_ptz_sche", "pos_whiteled_sche",
     "pos_http_notification_sche"},
    "pos_whiteled_params",
    "pos_http_notification_params",
    PTZ_EVENT_POS,
    read_pos_ev,
    update_pos_ev,
};
const ActionSourceKind kFaceActions = {
    {"face_effective_sche", "face_audible_sche", "face_mail_sche", "face_ptz_sche", "face_whiteled_sche",
     "face_http_notification_sche"},
    "face_whiteled_params",
    "face_http_notification_params",
    PTZ_EVENT_FACE,
    read_face_ev,
    update_face_ev,
};

int save_source_actions(const ActionSourceKind &kind, int key, json_object *dialog)
{
    const JsonPolicy policy[] = {{"ptzParams", JK_ARRAY}};
    json_object *tb[1];
    if (JSON_PARSE(dialog, policy, tb) < 0) return 0;
    return settings_atomic(kDb, [&]() -> int {
        bool ok = true;
        std::unique_ptr<WeekSchedule> sche(new WeekSchedule());
        for (int s = 0; s < SS_COUNT; s++) {
            if (!kind.schedules[s] || get_schedule_by_json(dialog, kScheduleKeys[s], sche.get()) != 0) continue;
            ok &= write_alarm_action_schedule(kDb, kind.schedules[s], sche.get(), key) == 0;
        }
        ok &= set_white_params_by_json(key, kind.white_params, dialog, "whiteInfo") >= 0;
        ok &= set_http_params_by_json(key, kind.http_params, dialog, "httpParams") >= 0;
        int ptz = tb[0] ? set_ptz_params_by_json(key, kind.ptz_event, tb[0]) : 0;
        ok &= ptz >= 0;
        if (!ok) return -1;
        // The event record: read, take the fields present, write when changed.
        SourceEvent ev{};
        if (kind.read_event(kDb, &ev, key) != 0) return -1;
        if (!apply_action_fields(dialog, &ev.actions, key) && ptz <= 0) return 0;
        return kind.update_event(kDb, key, [&](SourceEvent &e) -> int {
            e.actions = ev.actions;
            return 0;
        });
    });
}

json_object *source_actions_json(const ActionSourceKind &kind, int key, std::initializer_list<SourceItem> items)
{
    SourceEvent ev{};
    if (kind.read_event(kDb, &ev, key) != 0) ev = SourceEvent{};
    const AlarmActions &a = ev.actions;
    json_object *o = json_object_new_object();
    for (SourceItem item : items) {
        switch (item) {
        case SI_TRI_ALARMS: json_add_int(o, "triAlarms", a.tri_alarms); break;
        case SI_INTERVAL: json_add_int(o, "interval", a.interval); break;
        case SI_EMAIL_INTERVAL: json_add_int(o, "email_interval", a.email_interval); break;
        case SI_EMAIL_PIC_ENABLE: json_add_int(o, "email_pic_enable", a.email_pic_enable); break;
        case SI_TRI_CHANNELS_PIC: json_add_field(o, "tri_channels_pic", a.tri_channels_pic); break;
        case SI_PTZ_INTERVAL: json_add_int(o, "ptz_interval", a.ptz_interval); break;
        case SI_ALARMOUT_INTERVAL: json_add_int(o, "alarmout_interval", a.alarmout_interval); break;
        case SI_WHITE_INTERVAL: json_add_int(o, "white_interval", a.white_interval); break;
        case SI_HTTP_INTERVAL: json_add_int(o, "http_notification_interval", a.http_notification_interval); break;
        case SI_AUDIO_ID: json_add_int(o, "audioId", a.audio_id); break;
        case SI_AUDIO_MASK:
            json_object_object_add(o, "audioIdMask", json_object_new_int64(get_audio_file_id_mask()));
            break;
        case SI_TRI_CHANNELS: json_add_field(o, "triChannels", a.tri_channels); break;
        case SI_TRI_CHN_ALARMS:
            json_object_object_add(o, "triChnAlarms",
                                   get_event_chn_alarmout_object(a.tri_chn_alarms[0], a.tri_chn_alarms[1]));
            break;
        case SI_PTZ_PARAMS: json_object_object_add(o, "ptzParams", get_ptz_params_json_object(kind.ptz_event, key)); break;
        case SI_WHITE_INFO:
            json_object_object_add(o, "whiteInfo", get_white_params_json_object(key, kind.white_params));
            break;
        case SI_HTTP_PARAMS:
            json_object_object_add(o, "httpParams", get_http_params_json_object(key, kind.http_params));
            break;
        case SI_EFFECTIVE: case SI_AUDIBLE: case SI_EMAIL: case SI_PTZ: case SI_WHITE: case SI_HTTP_SCHE: {
            int s = SS_EFFECTIVE + (item - SI_EFFECTIVE);
            json_object_object_add(o, kScheduleKeys[s], schedule_json(kind, s, key));
            break;
        }
        }
    }
    return o;
}
