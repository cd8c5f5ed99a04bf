// The recorder's own alarm inputs (16) and outputs (4): lists, names,
// settings with their actions and schedules, disarming (with input 0),
// manual switching of outputs and copies to other inputs or outputs.
//
// Setters change the settings database in one transaction first and tell
// the daemon after. Ids outside the recorder's inputs or outputs never reach
// the database.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_ALARM_IN = 910, OPLOG_PARAM_ALARM_OUT = 911 };
enum { IN_ACTION_TYPE = 6 }; // action type of every entry of the alarm input schedule

bool valid_in(int id) { return id >= 0 && id < ALARM_IN_COUNT; }
const uint64_t kAllIns = (1ULL << ALARM_IN_COUNT) - 1;
const uint64_t kAllOuts = (1ULL << ALARM_OUT_COUNT) - 1;

std::unique_ptr<WeekSchedule> new_schedule() { return std::unique_ptr<WeekSchedule>(new WeekSchedule()); }

// Logs a failed settings transaction and answers the route's error reply.
int write_failed(const char *what, int id, int error_kind)
{
    cgi_log("OnSystem", __LINE__, what, "settings write failed for alarm %d", id);
    return cgi_error_to_webserver(error_kind);
}

// Reads the integer id at `key` of a request: the id, or -1 when the request
// is not an object or the key is missing, not an integer or out of 0..count-1.
int request_id(json_object *obj, const char *key, int count)
{
    const JsonPolicy policy[] = {{key, JK_INT}};
    json_object *tb[1];
    if (JSON_PARSE(obj, policy, tb) < 0 || !tb[0]) return -1;
    int64_t id = json_object_get_int64(tb[0]);
    return id >= 0 && id < count ? static_cast<int>(id) : -1;
}

bool take_int(json_object *v, int32_t *field)
{
    if (!v) return false;
    *field = jv_int(v);
    return true;
}

void notify_id(int code, int id)
{
    int32_t payload = id;
    cgi_notify_ipc(code, payload);
}

void write_reply(json_object *reply, int kind = REPLY_JSON)
{
    cgi_writeback_json(kind, reply);
    json_object_put(reply);
}

// ---- Outputs --------------------------------------------------------------------------------

json_object *alarm_out_json(const AlarmOutRecord &out)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "id", out.id);
    json_add_field(o, "name", out.name);
    json_add_int(o, "type", out.type);
    json_add_int(o, "enable", out.enable);
    json_add_int(o, "durationTime", out.duration_time);
    return o;
}

// ---- Inputs ---------------------------------------------------------------------------------

// The keys both the input list and the input dialog answer.
json_object *alarm_in_json(const AlarmInRecord &in, bool full)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "id", in.id);
    json_add_int(o, "enable", in.enable);
    json_add_field(o, "name", in.name);
    json_add_int(o, "type", in.type);
    json_add_field(o, "triChannels", in.actions.tri_channels);
    json_add_int(o, "triAlarms", in.actions.tri_alarms);
    if (full) {
        json_add_int(o, "interval", in.actions.interval);
        json_add_field(o, "triSnapshot", in.tri_snapshot);
    }
    return o;
}

bool take_tri_channels(json_object *v, AlarmActions *a)
{
    if (!jv_copy(v, a->tri_channels, sizeof a->tri_channels)) return false;
    a->channel_bits = get_channel_mask(a->tri_channels);
    return true;
}

// Copies what a copy of input settings carries: every action, not the id,
// name, type and enable of the target.
void copy_input_actions(const AlarmInRecord &from, AlarmInRecord *to)
{
    to->actions = from.actions;
    COPY_TEXT(to->tri_snapshot, from.tri_snapshot);
    to->audible_enable = from.audible_enable;
    to->audible_interval = from.audible_interval;
    to->email_enable = from.email_enable;
}

void send_input_oplog(int id) { cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_ALARM_IN, id + 1); }
} // namespace

// ---- /6020, /6021: outputs -----------------------------------------------------------------

int on_get_alarmout_list(char *)
{
    AlarmOutRecord outs[ALARM_OUT_COUNT] = {};
    int count = 0;
    read_alarm_outs(kDb, outs, &count);
    json_object *list = json_object_new_array();
    for (int i = 0; i < count; i++) json_object_array_add(list, alarm_out_json(outs[i]));
    // This route writes its own header.
    std::string text = "Content-type: application/json\r\n\r\n";
    text += json_object_to_json_string_ext(list, JSON_C_TO_STRING_PLAIN);
    json_object_put(list);
    return cgi_writeback_webserver(REPLY_RAW, text.c_str());
}

int on_get_nvr_alarm_output(char *request)
{
    JsonDoc doc(request);
    int id = request_id(doc.get(), "alarmId", ALARM_OUT_COUNT);
    if (id < 0) return cgi_error_to_webserver(REPLY_JSON);
    AlarmOutRecord out{};
    read_alarm_out(kDb, &out, id);
    json_object *o = alarm_out_json(out);
    json_object_object_add(o, "effective",
                           stored_schedule_json([&](WeekSchedule *s) { return read_alarm_out_schedule(kDb, s, id); }));
    write_reply(o);
    return 0;
}

// ---- /6022 ----------------------------------------------------------------------------------

int on_set_nvr_alarm_output(char *request)
{
    enum { O_NAME, O_ENABLE, O_TYPE, O_DURATION, O_DIALOG, O_COUNT };
    static constexpr JsonPolicy policy[O_COUNT] = {
        {"name", JK_STRING}, {"enable", JK_INT}, {"type", JK_INT}, {"durationTime", JK_INT}, {"dialog", JK_OBJECT},
    };
    NVRWEB_HANDLER_KEYS(on_set_nvr_alarm_output, policy);
    JsonDoc doc(request);
    int id = request_id(doc.get(), "alarmId", ALARM_OUT_COUNT);
    if (id < 0) return cgi_error_to_webserver(REPLY_TEXT);
    json_object *tb[O_COUNT];
    JSON_PARSE(doc.get(), policy, tb);
    const uint64_t targets = get_copy_flag_by_json(doc.get(), "copyChn", "copyCnt") & kAllOuts & ~(1ULL << id);

    int rc = settings_atomic(kDb, [&]() -> int {
        auto sche = new_schedule();
        if (tb[O_DIALOG] && get_schedule_by_json_ex(tb[O_DIALOG], "effective", sche.get()) == 0 &&
            write_alarm_out_schedule(kDb, sche.get(), id) != 0)
            return -1;
        AlarmOutRecord out{};
        if (read_alarm_out(kDb, &out, id) != 0) return -1;
        bool any = jv_copy(tb[O_NAME], out.name, sizeof out.name);
        any |= take_int(tb[O_ENABLE], &out.enable);
        any |= take_int(tb[O_TYPE], &out.type);
        any |= take_int(tb[O_DURATION], &out.duration_time);
        if (any && write_alarm_out(kDb, &out) != 0) return -1;
        if (!targets) return 0;
        // The targets take the type, enable and duration, not the name, and
        // the stored schedule of this output.
        AlarmOutRecord all[ALARM_OUT_COUNT] = {};
        int count = 0;
        if (read_alarm_outs(kDb, all, &count) != 0) return -1;
        for (int t = 0; t < count; t++) {
            if (!(targets >> t & 1)) continue;
            all[t].type = out.type;
            all[t].enable = out.enable;
            all[t].duration_time = out.duration_time;
        }
        if (write_alarm_outs(kDb, all, count, targets) != 0 || read_alarm_out_schedule(kDb, sche.get(), id) != 0)
            return -1;
        return copy_alarm_out_schedules(kDb, sche.get(), targets);
    });
    if (rc < 0) return write_failed("alarm output", id, REPLY_TEXT);

    notify_id(IPC_ALARM_OUT_CHANGED, id);
    for (int t = 0; t < ALARM_OUT_COUNT; t++)
        if (targets >> t & 1) notify_id(IPC_ALARM_OUT_CHANGED, t);
    cgi_send_oplog_mask(OPLOG_SUB_SETTING, OPLOG_PARAM_ALARM_OUT, id + 1, targets | 1ULL << id);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6023 ----------------------------------------------------------------------------------

int on_set_nvr_alarm_output_state(char *request)
{
    static constexpr JsonPolicy policy[] = {{"id", JK_INT}, {"enable", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_nvr_alarm_output_state, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    // The daemon judges the output id of a manual switch; the log names
    // only one of the recorder's outputs.
    AlarmOutSwitch sw{jv_int(tb[0]), jv_int(tb[1])};
    cgi_notify_ipc(IPC_ALARM_OUT_SWITCH, sw);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_ALARM_OUT, sw.id >= 0 && sw.id < ALARM_OUT_COUNT ? sw.id + 1 : 0);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6026, /6027: an input with all its actions ----------------------------------------------

int on_get_nvr_alarm_input(char *request)
{
    JsonDoc doc(request);
    int id = request_id(doc.get(), "alarmId", ALARM_IN_COUNT);
    if (id < 0) return cgi_error_to_webserver(REPLY_JSON);
    AlarmInRecord in{};
    read_alarm_in(kDb, &in, id);
    const AlarmSource src = AlarmSource::recorder(id);
    json_object *o = json_object_new_object();
    json_add_int(o, "alarmId", id);
    json_add_field(o, "name", in.name);
    json_add_int(o, "alarmType", in.type);
    json_add_int(o, "enable", in.enable);
    add_action_items(o, src, in.actions,
                     {AI_TRI_ALARMS, AI_INTERVAL, AI_EMAIL_INTERVAL, AI_EMAIL_PIC_ENABLE, AI_TRI_CHANNELS_PIC,
                      AI_PTZ_INTERVAL, AI_ALARMOUT_INTERVAL, AI_TRI_CHANNELS});
    json_add_field(o, "triSnapshot", in.tri_snapshot);
    add_action_items(o, src, in.actions,
                     {AI_EFFECTIVE, AI_AUDIBLE, AI_EMAIL, AI_PTZ, AI_TRI_CHN_ALARMS, AI_WHITE, AI_WHITE_INFO,
                      AI_WHITE_INTERVAL, AI_WARNING, AI_WARNING_INFO, AI_WARNING_INTERVAL, AI_AUDIO_ID,
                      AI_AUDIO_MASK, AI_PTZ_PARAMS});
    write_reply(o);
    return 0;
}

int on_set_nvr_alarm_input(char *request)
{
    enum { I_TYPE, I_NAME, I_LINKAGE, I_DISARM_MASK, I_DIALOG, I_COUNT };
    static constexpr JsonPolicy policy[I_COUNT] = {
        {"alarmType", JK_INT}, {"name", JK_STRING}, {"linkageAction", JK_INT}, {"disarmActionMask", JK_INT},
        {"dialog", JK_OBJECT},
    };
    NVRWEB_HANDLER_KEYS(on_set_nvr_alarm_input, policy);
    JsonDoc doc(request);
    int id = request_id(doc.get(), "alarmId", ALARM_IN_COUNT);
    if (id < 0) return cgi_error_to_webserver(REPLY_JSON);
    json_object *tb[I_COUNT];
    JSON_PARSE(doc.get(), policy, tb);
    json_object *dialog = tb[I_DIALOG];
    const uint64_t targets = get_copy_flag_by_json(doc.get(), "copyChn", "copyCnt") & kAllIns & ~(1ULL << id);
    const AlarmSource src = AlarmSource::recorder(id);

    int rc = settings_atomic(kDb, [&]() -> int {
        AlarmInRecord in{};
        if (read_alarm_in(kDb, &in, id) != 0) return -1;
        bool changed = take_int(tb[I_TYPE], &in.type);
        changed |= jv_copy(tb[I_NAME], in.name, sizeof in.name);

        // Disarming is kept with input 0.
        if (id == 0 && (tb[I_LINKAGE] || tb[I_DISARM_MASK])) {
            DisarmingRecord disarm{};
            if (read_disarming(kDb, &disarm) != 0) return -1;
            take_int(tb[I_LINKAGE], &disarm.linkage_action);
            take_int(tb[I_DISARM_MASK], &disarm.disarm_action_mask);
            if (write_disarming(kDb, &disarm) != 0) return -1;
        }
        if (dialog) {
            bool dialog_changed = false;
            if (save_action_dialog(dialog, src, &in.actions, &dialog_changed) != 0) return -1;
            const JsonPolicy snapshot[] = {{"triSnapshot", JK_STRING}};
            json_object *st[1];
            JSON_PARSE(dialog, snapshot, st);
            changed |= dialog_changed | jv_copy(st[0], in.tri_snapshot, sizeof in.tri_snapshot);
        }
        if (changed && write_alarm_in(kDb, &in) != 0) return -1;
        if (!targets) return 0;

        AlarmInRecord all[ALARM_IN_COUNT] = {};
        int count = 0;
        if (read_alarm_ins(kDb, all, &count) != 0) return -1;
        for (int t = 0; t < count; t++)
            if (targets >> t & 1) copy_input_actions(in, &all[t]);
        if (write_alarm_ins(kDb, all, count, targets) != 0) return -1;
        return copy_action_settings(src, targets);
    });
    if (rc < 0) return write_failed("alarm input", id, REPLY_JSON);

    cgi_notify_ipc(IPC_ALARM_INS_CHANGED, targets | 1ULL << id);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6032, /6034: every alarm name ------------------------------------------------------------

namespace {
json_object *name_json(const char *field, size_t size)
{
    return json_object_new_string_len(field, static_cast<int>(strnlen(field, size)));
}

// {"nvr": [recorder names], "camera": [per channel [names of its alarms]]}.
template <class Rec, class CamName>
void answer_names(const Rec *nvr, int nvr_count, const CamName *cams, int per_camera)
{
    json_object *o = json_object_new_object();
    json_object *list = json_object_new_array();
    for (int i = 0; i < nvr_count; i++) json_object_array_add(list, name_json(nvr[i].name, sizeof nvr[i].name));
    json_object_object_add(o, "nvr", list);
    json_object *cameras = json_object_new_array();
    for (int ch = 0; ch < ALARM_CHANNELS; ch++) {
        json_object *names = json_object_new_array();
        for (int i = 0; i < per_camera; i++) {
            const CamName &n = cams[ch * per_camera + i];
            json_object_array_add(names, name_json(n.name, sizeof n.name));
        }
        json_object_array_add(cameras, names);
    }
    json_object_object_add(o, "camera", cameras);
    write_reply(o);
}
} // namespace

int on_get_all_alarmout_names(char *)
{
    AlarmOutRecord outs[ALARM_OUT_COUNT] = {};
    int count = 0;
    read_alarm_outs(kDb, outs, &count);
    auto cams = std::unique_ptr<CamAlarmOutNames>(new CamAlarmOutNames());
    read_alarm_chnOut_event_names(kDb, cams.get());
    answer_names(outs, ALARM_OUT_COUNT, cams->names, CAM_ALARM_OUT_COUNT);
    return 0;
}

int on_get_all_alarmin_names(char *)
{
    auto ins = std::unique_ptr<AlarmInRecord[]>(new AlarmInRecord[ALARM_IN_COUNT]());
    int count = 0;
    read_alarm_ins(kDb, ins.get(), ALARM_IN_COUNT, &count);
    auto cams = std::unique_ptr<CamAlarmInNames>(new CamAlarmInNames());
    read_alarm_chnIn_event_names(kDb, cams.get());
    answer_names(ins.get(), ALARM_IN_COUNT, cams->names, CAM_ALARM_IN_COUNT);
    return 0;
}

// ---- /6060, /6061: the input list and one input's dialog ---------------------------------------------

int on_get_alarmin_list(char *)
{
    auto ins = std::unique_ptr<AlarmInRecord[]>(new AlarmInRecord[ALARM_IN_COUNT]());
    int count = 0;
    read_alarm_ins(kDb, ins.get(), ALARM_IN_COUNT, &count);
    json_object *list = json_object_new_array();
    for (int i = 0; i < count; i++) json_object_array_add(list, alarm_in_json(ins[i], false));
    write_reply(list);
    return 0;
}

int on_get_alarm_in(char *request)
{
    // The request text is the input id.
    int id = atoi(request ? request : "");
    if (!valid_in(id)) return cgi_error_to_webserver(REPLY_JSON);
    AlarmInRecord in{};
    read_alarm_in(kDb, &in, id);
    json_object *o = json_object_new_object();
    json_object_object_add(o, "alarm", alarm_in_json(in, true));
    json_object_object_add(o, "schedule",
                           stored_schedule_json([&](WeekSchedule *s) { return read_alarm_in_schedule(kDb, s, id); }));
    write_reply(o);
    return 0;
}

// ---- /6062, /6063, /6064: input settings ----------------------------------------------------------------

namespace {
enum { A_ID, A_ENABLE, A_NAME, A_TYPE, A_TRI_CHANNELS, A_TRI_ALARMS, A_INTERVAL, A_COUNT };
const JsonPolicy kAlarmInPolicy[A_COUNT] = {
    {"id", JK_INT},           {"enable", JK_INT},    {"name", JK_STRING},  {"type", JK_INT},
    {"triChannels", JK_STRING}, {"triAlarms", JK_INT}, {"interval", JK_INT},
};

// The "alarm" object of the request, parsed and checked: id 0..15, enable
// 0..2, type 0 or 1, triChannels present, triAlarms and interval >= 0.
bool check_alarm_in(json_object *alarm, json_object *tb[A_COUNT])
{
    if (JSON_PARSE(alarm, kAlarmInPolicy, tb) < 0) return false;
    for (int i = 0; i < A_COUNT; i++)
        if (i != A_NAME && !tb[i]) return false;
    const int enable = jv_int(tb[A_ENABLE]), type = jv_int(tb[A_TYPE]);
    return valid_in(jv_int(tb[A_ID])) && enable >= 0 && enable <= 2 && (type == 0 || type == 1) &&
           jv_int(tb[A_TRI_ALARMS]) >= 0 && jv_int(tb[A_INTERVAL]) >= 0;
}

json_object *alarm_object(json_object *request)
{
    static constexpr JsonPolicy policy[] = {{"alarm", JK_OBJECT}};
    NVRWEB_HANDLER_KEYS(on_set_alarm_in_with_schedule, policy);
    NVRWEB_HANDLER_KEYS(on_set_alarm_in, policy);
    NVRWEB_HANDLER_KEYS(on_set_alarm_in_basic, policy);
    json_object *tb[1];
    JSON_PARSE(request, policy, tb);
    return tb[0];
}

// /6062 and /6064: the checked input settings, and with a schedule the alarm
// input schedule (every entry's action type 6).
int set_alarm_in(const char *request, bool with_schedule)
{
    JsonDoc doc(request);
    json_object *tb[A_COUNT];
    if (!check_alarm_in(alarm_object(doc.get()), tb)) return 0;
    const int id = jv_int(tb[A_ID]);
    auto sche = new_schedule();
    bool have_schedule = with_schedule && get_schedule_by_json(doc.get(), "schedule", sche.get()) == 0;
    if (have_schedule) {
        for (ScheduleDay &day : sche->days)
            for (int s = 0; s < SCHEDULE_JSON_SEGMENTS; s++) day.segments[s].action_type = IN_ACTION_TYPE;
    }

    int rc = settings_atomic(kDb, [&]() -> int {
        AlarmInRecord in{};
        if (read_alarm_in(kDb, &in, id) != 0) return -1;
        if (with_schedule) in.enable = jv_int(tb[A_ENABLE]);
        jv_copy(tb[A_NAME], in.name, sizeof in.name);
        in.type = jv_int(tb[A_TYPE]);
        take_tri_channels(tb[A_TRI_CHANNELS], &in.actions);
        in.actions.tri_alarms = jv_int(tb[A_TRI_ALARMS]);
        in.actions.interval = jv_int(tb[A_INTERVAL]);
        if (write_alarm_in(kDb, &in) != 0) return -1;
        return have_schedule ? write_alarm_in_schedule(kDb, sche.get(), id) : 0;
    });
    if (rc < 0) return write_failed("alarm input", id, REPLY_TEXT);
    notify_id(IPC_ALARM_IN_CHANGED, id);
    send_input_oplog(id);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
} // namespace

int on_set_alarm_in_with_schedule(char *request) { return set_alarm_in(request, true); }
int on_set_alarm_in(char *request) { return set_alarm_in(request, false); }

int on_set_alarm_in_basic(char *request)
{
    enum { B_NAME, B_TYPE, B_ENABLE, B_COUNT };
    const JsonPolicy policy[B_COUNT] = {{"name", JK_STRING}, {"type", JK_INT}, {"enable", JK_INT}};
    JsonDoc doc(request);
    json_object *alarm = alarm_object(doc.get());
    // No input of its own: nothing is written (never input 0 by default).
    const int id = request_id(alarm, "camId", ALARM_IN_COUNT);
    if (id < 0) return 0;
    json_object *tb[B_COUNT];
    JSON_PARSE(alarm, policy, tb);
    int rc = settings_atomic(kDb, [&]() -> int {
        AlarmInRecord in{};
        if (read_alarm_in(kDb, &in, id) != 0) return -1;
        in.id = id;
        jv_copy(tb[B_NAME], in.name, sizeof in.name);
        take_int(tb[B_TYPE], &in.type);
        take_int(tb[B_ENABLE], &in.enable);
        return write_alarm_in(kDb, &in);
    });
    if (rc < 0) return write_failed("alarm input", id, REPLY_TEXT);
    notify_id(IPC_ALARM_IN_CHANGED, id);
    send_input_oplog(id);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
