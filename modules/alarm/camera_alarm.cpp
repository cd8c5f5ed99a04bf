// The cameras' alarm inputs (up to 4 per channel) and outputs (up to 2):
// their states fetched from the camera through the daemon, their names,
// actions and schedules kept in the settings database, the settings relayed
// to the cameras, and copies to the same alarm of other channels.
#include <algorithm>
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/alarm.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/alarm/alarm.h"
#include "modules/alarm/alarm_actions.h"

namespace {
const char kDb[] = QXDB_PATH;

// The channel of a request ("chnid", 0..63), -1 when the request is not an
// object or the channel is missing or out of range.
int request_channel(json_object *obj)
{
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_camera_alarm_input, policy);
    NVRWEB_HANDLER_KEYS(on_get_camera_alarm_output, policy);
    json_object *tb[1];
    if (JSON_PARSE(obj, policy, tb) < 0) return -1;
    return jv_channel(tb[0]);
}

// The alarm index of a dialog element ("alarmId", 0..count-1), or -1.
int element_index(json_object *element, int count)
{
    const JsonPolicy policy[] = {{"alarmId", JK_INT}};
    json_object *tb[1];
    if (JSON_PARSE(element, policy, tb) < 0 || !tb[0]) return -1;
    int64_t id = json_object_get_int64(tb[0]);
    return id >= 0 && id < count ? static_cast<int>(id) : -1;
}

int clamp_count(int count, int most) { return std::max(0, std::min(count, most)); }

// Number of elements of `array` a request asks for: min(count, most, the
// array's real length).
int bounded_count(json_object *count, json_object *array, int most)
{
    return clamp_count(std::min<int64_t>(jv_int(count), static_cast<int64_t>(jv_len(array))), most);
}

void write_reply(json_object *reply)
{
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
}

int write_failed(const char *what, int channel)
{
    cgi_log("OnSystem", __LINE__, what, "settings write failed for channel %d", channel);
    return cgi_error_to_webserver(REPLY_JSON);
}

json_object *schedule_json(const WeekSchedule *s) { return get_schedule_json_object(s); }
} // namespace

// ---- /6024 ------------------------------------------------------------------------------------

int on_get_camera_alarm_input(char *request)
{
    JsonDoc doc(request);
    const int channel = request_channel(doc.get());
    if (channel < 0) return cgi_error_to_webserver(REPLY_JSON);
    CamAlarmInState ask{};
    ask.channel = channel;
    ask.count = CAM_ALARM_IN_COUNT;
    if (cgi_request_ipc(on_alarm_ipc_callback, IPC_CAM_ALARM_IN_STATE, ask, REPLY_JSON) == 0) return 0;

    // The camera's states from the reply, the rest from the database.
    const CamAlarmInState state = alarm_reply_in_state();
    const int count = clamp_count(state.count, CAM_ALARM_IN_COUNT);
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", channel);
    json_add_int(o, "alarmCnt", count);
    json_object *list = json_object_new_array();
    for (int i = 0; i < count; i++) {
        const AlarmSource src = AlarmSource::camera(channel, i);
        CamAlarmInEvent ev{};
        read_alarm_chnIn_event(kDb, &ev, channel, i);
        CamAlarmInName name{};
        read_alarm_chnIn_event_name(kDb, &name, channel, i);
        json_object *in = json_object_new_object();
        json_add_int(in, "alarmEnable", state.enable[i]);
        json_add_int(in, "alarmType", state.type[i]);
        json_add_int(in, "alarmStatus", state.status[i]);
        json_add_field(in, "alarmName", name.name);
        add_action_items(in, src, ev.actions,
                         {AI_EFFECTIVE, AI_AUDIBLE, AI_INTERVAL, AI_AUDIO_ID, AI_AUDIO_MASK, AI_EMAIL,
                          AI_EMAIL_INTERVAL, AI_EMAIL_PIC_ENABLE, AI_TRI_CHANNELS_PIC, AI_PTZ, AI_PTZ_INTERVAL,
                          AI_PTZ_PARAMS, AI_ALARMOUT_INTERVAL, AI_TRI_ALARMS, AI_TRI_CHANNELS, AI_TRI_CHN_ALARMS,
                          AI_WHITE, AI_WHITE_INFO, AI_WHITE_INTERVAL, AI_WARNING, AI_WARNING_INFO,
                          AI_WARNING_INTERVAL, AI_HTTP_SCHE, AI_HTTP_PARAMS, AI_HTTP_INTERVAL});
        json_object_array_add(list, in);
    }
    json_object_object_add(o, "alarm", list);
    write_reply(o);
    return 0;
}

// ---- Setters (/6025, /6029) ---------------------------------------------------------------

namespace {
// What both camera setters read: the channel, the channels the settings are
// copied to (never the own one), the "dialog" list of action settings and
// the first "alarmCnt" entries of the "alarm" list (at most the camera's
// alarms and the list's real length), each parsed with the route's keys.
enum { SLOT_KEYS = 3 };
struct CamSetRequest {
    JsonDoc doc;
    int channel = -1;
    uint64_t copies = 0;
    json_object *dialog = nullptr;
    int alarm_cnt = 0;
    int slots = 0;
    json_object *slot[CAM_ALARM_IN_COUNT][SLOT_KEYS] = {};

    CamSetRequest(const char *request, const JsonPolicy (&slot_keys)[SLOT_KEYS], int most) : doc(request)
    {
        channel = request_channel(doc.get());
        if (channel < 0) return;
        const JsonPolicy policy[] = {{"dialog", JK_ARRAY}, {"alarm", JK_ARRAY}, {"alarmCnt", JK_INT}};
        json_object *tb[3];
        JSON_PARSE(doc.get(), policy, tb);
        copies = get_copy_flag_by_json(doc.get(), "copyChn", "copyCnt") & ~(1ULL << channel);
        dialog = tb[0];
        alarm_cnt = clamp_count(jv_int(tb[2]), most);
        slots = bounded_count(tb[2], tb[1], most);
        for (int i = 0; i < slots; i++)
            json_parse_policy(jv_at(tb[1], static_cast<size_t>(i)), slot_keys, SLOT_KEYS, slot[i]);
    }
    uint64_t relayed_mask() const { return copies | 1ULL << channel; }
};

// Relays the camera settings and the changed channels to the daemon; "OK".
template <class Settings> int relay(int code, Settings &cam, const CamSetRequest &r, int notice)
{
    cam.count = r.slots;
    cam.channel_mask = r.relayed_mask();
    cgi_notify_ipc(code, cam);
    cgi_notify_ipc(notice, cam.channel_mask);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
} // namespace

// ---- /6025 ------------------------------------------------------------------------------------

int on_set_camera_alarm_input(char *request)
{
    enum { S_ENABLE, S_TYPE, S_NAME };
    const JsonPolicy slot_keys[SLOT_KEYS] = {{"alarmEnable", JK_INT}, {"alarmType", JK_INT}, {"alarmName", JK_STRING}};
    const CamSetRequest r(request, slot_keys, CAM_ALARM_IN_COUNT);
    if (r.channel < 0) return cgi_error_to_webserver(REPLY_JSON);

    int rc = settings_atomic(kDb, [&]() -> int {
        for (size_t d = 0; d < jv_len(r.dialog); d++) {
            json_object *dialog = jv_at(r.dialog, d);
            const int index = element_index(dialog, CAM_ALARM_IN_COUNT);
            if (index < 0) continue;
            const AlarmSource src = AlarmSource::camera(r.channel, index);
            CamAlarmInEvent ev{};
            bool changed = false;
            if (read_alarm_chnIn_event(kDb, &ev, r.channel, index) != 0 ||
                save_action_dialog(dialog, src, &ev.actions, &changed) != 0 ||
                (changed && write_alarm_chnIn_event(kDb, &ev) != 0))
                return -1;
            if (r.copies &&
                (copy_action_settings(src, r.copies) != 0 || copy_alarm_chnIn_events(kDb, &ev, r.copies) != 0))
                return -1;
        }
        for (int i = 0; i < r.slots; i++) {
            if (!r.slot[i][S_NAME]) continue; // the stored name stays
            CamAlarmInName name{r.channel, i, {}};
            jv_copy(r.slot[i][S_NAME], name.name, sizeof name.name);
            if (write_alarm_chnIn_event_name(kDb, &name) != 0) return -1;
        }
        return 0;
    });
    if (rc < 0) return write_failed("camera alarm input", r.channel);

    CamAlarmInSettings cam{};
    for (int i = 0; i < r.slots; i++) {
        cam.slots[i].enable = jv_int(r.slot[i][S_ENABLE]);
        cam.slots[i].index = i;
        cam.slots[i].type = jv_int(r.slot[i][S_TYPE]);
    }
    return relay(IPC_CAM_ALARM_IN_SET, cam, r, IPC_CAM_ALARM_INS_CHANGED);
}

// ---- /6028 ------------------------------------------------------------------------------------

int on_get_camera_alarm_output(char *request)
{
    JsonDoc doc(request);
    const int channel = request_channel(doc.get());
    if (channel < 0) return cgi_error_to_webserver(REPLY_JSON);
    CamAlarmOutState ask{};
    ask.channel = channel;
    if (cgi_request_ipc(on_alarm_ipc_callback, IPC_CAM_ALARM_OUT_STATE, ask, REPLY_JSON) == 0) return 0;

    const CamAlarmOutState state = alarm_reply_out_state();
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", channel);
    json_add_int(o, "alarmCnt", clamp_count(state.count, CAM_ALARM_OUT_COUNT));
    json_object *list = json_object_new_array();
    auto sche = std::unique_ptr<WeekSchedule>(new WeekSchedule());
    for (int i = 0; i < CAM_ALARM_OUT_COUNT; i++) {
        CamAlarmOutName name{};
        read_alarm_chnOut_event_name(kDb, &name, channel, i);
        if (read_alarm_chnOut_effective_schedule(kDb, sche.get(), channel, i) != 0) *sche = WeekSchedule();
        json_object *out = json_object_new_object();
        json_add_int(out, "alarmType", state.type[i]);
        json_add_int(out, "alarmStatus", state.status[i]);
        json_add_field(out, "alarmName", name.name);
        json_add_int(out, "delayTime", name.delay_time);
        json_object_object_add(out, "effective", schedule_json(sche.get()));
        json_object_array_add(list, out);
    }
    json_object_object_add(o, "alarm", list);
    write_reply(o);
    return 0;
}

// ---- /6029 ------------------------------------------------------------------------------------

int on_set_camera_alarm_output(char *request)
{
    enum { S_TYPE, S_DELAY, S_NAME };
    const JsonPolicy slot_keys[SLOT_KEYS] = {{"alarmType", JK_INT}, {"delayTime", JK_INT}, {"alarmName", JK_STRING}};
    const CamSetRequest r(request, slot_keys, CAM_ALARM_OUT_COUNT);
    if (r.channel < 0) return cgi_error_to_webserver(REPLY_JSON);
    // The dialogs too are bounded by "alarmCnt" and the camera's 2 outputs.
    const int dialogs = std::min(r.alarm_cnt, static_cast<int>(std::min<size_t>(jv_len(r.dialog), CAM_ALARM_OUT_COUNT)));

    int rc = settings_atomic(kDb, [&]() -> int {
        auto sche = std::unique_ptr<WeekSchedule>(new WeekSchedule());
        for (int d = 0; d < dialogs; d++) {
            json_object *dialog = jv_at(r.dialog, static_cast<size_t>(d));
            const int index = element_index(dialog, CAM_ALARM_OUT_COUNT);
            if (index < 0) continue;
            if (get_schedule_by_json(dialog, "effective", sche.get()) == 0 &&
                write_alarm_chnOut_effective_schedule(kDb, sche.get(), r.channel, index) != 0)
                return -1;
            // The copies take the stored schedule of this output.
            if (r.copies && (read_alarm_chnOut_effective_schedule(kDb, sche.get(), r.channel, index) != 0 ||
                             copy_alarm_chnOut_effective_schedules(kDb, sche.get(), index, r.copies) != 0))
                return -1;
        }
        for (int i = 0; i < r.slots; i++) {
            json_object *const *st = r.slot[i];
            CamAlarmOutName name{};
            if (read_alarm_chnOut_event_name(kDb, &name, r.channel, i) != 0) return -1;
            if (st[S_DELAY]) name.delay_time = jv_int(st[S_DELAY]);
            jv_copy(st[S_NAME], name.name, sizeof name.name);
            if (write_alarm_chnOut_event_name(kDb, &name) != 0) return -1;
            // The same output of every copy target takes the delay time.
            for (int ch = 0; ch < ALARM_CHANNELS && st[S_DELAY]; ch++) {
                if (!(r.copies >> ch & 1)) continue;
                CamAlarmOutName other{};
                if (read_alarm_chnOut_event_name(kDb, &other, ch, i) != 0) return -1;
                other.delay_time = name.delay_time;
                if (write_alarm_chnOut_event_name(kDb, &other) != 0) return -1;
            }
        }
        return 0;
    });
    if (rc < 0) return write_failed("camera alarm output", r.channel);

    CamAlarmOutSettings cam{};
    for (int i = 0; i < r.slots; i++) {
        cam.slot(i).index = i;
        cam.slot(i).type = jv_int(r.slot[i][S_TYPE]);
    }
    return relay(IPC_CAM_ALARM_OUT_SET, cam, r, IPC_CAM_ALARM_OUTS_CHANGED);
}

// ---- /6033 ------------------------------------------------------------------------------------

int on_set_camera_alarm_output_state(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}, {"alarmId", JK_INT}, {"state", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_camera_alarm_output_state, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_TEXT);
    // The daemon judges the camera and output of a manual switch.
    CamAlarmOutManual manual{jv_int(tb[0]), jv_int(tb[1]), jv_int(tb[2])};
    cgi_notify_ipc(IPC_CAM_ALARM_OUT_MANUAL, manual);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
