// Actions of the recorder's alarm inputs set from the event pages: the
// audible alarm, e-mail and PTZ of several inputs at once, the trigger
// targets of several inputs, and the week schedules of one input.
//
// The recorder has inputs 0..15: entries of a request's input list outside
// them are skipped, so no record or schedule past the last input is ever
// written. Every setter changes the settings database in one transaction
// first and tells the daemon after.
#include <cstdlib>
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/alarm.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/event_actions.h"

namespace {
const char kDb[] = QXDB_PATH;

enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_EVENT = 909 };

bool valid_input(int64_t id) { return id >= 0 && id < ALARM_IN_COUNT; }

std::unique_ptr<WeekSchedule> new_schedule() { return std::unique_ptr<WeekSchedule>(new WeekSchedule()); }

// The inputs a batch request lists: the first "cnt" elements of the "chnid"
// array (never more than it holds), each an input 0..15; others are skipped.
uint64_t listed_inputs(json_object *cnt, json_object *list)
{
    uint64_t bits = 0;
    const int64_t n = jv_int(cnt);
    for (size_t i = 0; n > 0 && i < jv_len(list) && i < static_cast<size_t>(n); i++) {
        json_object *e = jv_at(list, i);
        if (!jv_is(e, JK_INT)) continue;
        const int64_t id = json_object_get_int64(e);
        if (valid_input(id)) bits |= 1ULL << id;
    }
    return bits;
}

// The source input of a request ("camId"): 0..15, or -1 when it is missing,
// not an integer or out of range.
int request_input(json_object *v)
{
    if (!v || !json_object_is_type(v, json_type_int)) return -1;
    const int64_t id = json_object_get_int64(v);
    return valid_input(id) ? static_cast<int>(id) : -1;
}

int write_failed(const char *what)
{
    cgi_log("OnVideo", __LINE__, what, "settings write failed");
    return cgi_error_to_webserver(REPLY_TEXT);
}

bool take_int(json_object *v, int32_t *field)
{
    if (!v) return false;
    *field = jv_int(v);
    return true;
}

// ---- Batch schedule setters (/6125, /6126) -------------------------------------------

enum { B_CNT, B_CHNID, B_ENABLE, B_INTERVAL, B_SNAPSHOT, B_COUNT };
const JsonPolicy kBatchPolicy[B_COUNT] = {
    {"cnt", JK_INT}, {"chnid", JK_ARRAY}, {"enable", JK_INT}, {"interval", JK_INT}, {"triSnapshot", JK_STRING},
};
NVRWEB_HANDLER_KEYS(on_set_alarmin_audible_sche, kBatchPolicy);
NVRWEB_HANDLER_KEYS(on_set_alarmin_email_sche, kBatchPolicy);

// One action of a batch setter: how a listed input's record takes the
// request (true: store the record) and where the schedule goes.
struct BatchAction {
    bool (*apply)(AlarmInRecord *rec, json_object *const *tb);
    int (*copy_schedule)(const char *path, const WeekSchedule *s, uint64_t mask);
};

// Audible alarm: stored only where enable or interval change.
bool apply_audible(AlarmInRecord *rec, json_object *const *tb)
{
    const int32_t enable = tb[B_ENABLE] ? jv_int(tb[B_ENABLE]) : rec->audible_enable;
    const int32_t interval = tb[B_INTERVAL] ? jv_int(tb[B_INTERVAL]) : rec->audible_interval;
    if (enable == rec->audible_enable && interval == rec->audible_interval) return false;
    rec->audible_enable = enable;
    rec->audible_interval = interval;
    return true;
}

// E-mail: enable, interval and the snapshot channels, stored for every input.
bool apply_email(AlarmInRecord *rec, json_object *const *tb)
{
    take_int(tb[B_ENABLE], &rec->email_enable);
    take_int(tb[B_INTERVAL], &rec->actions.email_interval);
    jv_copy(tb[B_SNAPSHOT], rec->tri_snapshot, sizeof rec->tri_snapshot);
    return true;
}

const BatchAction kAudible = {apply_audible, copy_alarmin_audible_schedules};
const BatchAction kEmail = {apply_email, copy_alarmin_email_schedules};

int set_batch_schedule(const char *request, const BatchAction &action)
{
    JsonDoc doc(request);
    json_object *tb[B_COUNT];
    if (JSON_PARSE(doc.get(), kBatchPolicy, tb) < 0) return 0;
    const uint64_t listed = listed_inputs(tb[B_CNT], tb[B_CHNID]);
    auto sche = new_schedule();
    // Without a schedule the stored ones stay.
    const bool have_schedule = get_schedule_by_json(doc.get(), "schedule", sche.get()) == 0;

    int rc = settings_atomic(kDb, [&]() -> int {
        AlarmInRecord all[ALARM_IN_COUNT] = {};
        int count = 0;
        if (read_alarm_ins(kDb, all, &count) != 0) return -1;
        uint64_t store = 0;
        for (int n = 0; n < count; n++)
            if ((listed >> n & 1) && action.apply(&all[n], tb)) store |= 1ULL << n;
        if (write_alarm_ins(kDb, all, count, store) != 0) return -1;
        return have_schedule ? action.copy_schedule(kDb, sche.get(), listed) : 0;
    });
    if (rc < 0) return write_failed("alarm input actions");
    cgi_notify_ipc(IPC_ALARM_INS_CHANGED, listed);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- Week schedules of one input ------------------------------------------------------------

typedef int (*ReadSchedule)(const char *path, WeekSchedule *s, int id);

// The getters' shape: the request text is the input id.
int answer_schedule(const char *request, ReadSchedule read)
{
    const int id = atoi(request ? request : "");
    if (!valid_input(id)) return cgi_error_to_webserver(REPLY_JSON);
    json_object *reply = stored_schedule_json([&](WeekSchedule *sche) { return read(kDb, sche, id); });
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
    return 0;
}
} // namespace

int on_set_alarmin_audible_sche(char *request) { return set_batch_schedule(request, kAudible); }
int on_set_alarmin_email_sche(char *request) { return set_batch_schedule(request, kEmail); }

int on_get_alarmin_email_sche(char *request) { return answer_schedule(request, read_alarmin_email_schedule); }
int on_get_alarmin_audible_sche(char *request) { return answer_schedule(request, read_alarmin_audible_schedule); }
int on_get_alarmin_ptz_sche(char *request) { return answer_schedule(request, read_alarmin_ptz_schedule); }
int on_get_alarmin_effective_sche(char *request)
{
    return answer_schedule(request, read_alarmin_effective_schedule);
}

// ---- /6127 ------------------------------------------------------------------------------------

int on_set_alarm_others(char *request)
{
    enum { O_CAM_ID, O_TYPE, O_CNT, O_CHNID, O_TRI_CHANNELS, O_TRI_ALARMS, O_COUNT };
    static constexpr JsonPolicy policy[O_COUNT] = {
        {"camId", JK_INT},        {"type", JK_INT},  {"cnt", JK_INT}, {"chnid", JK_ARRAY},
        {"triChannels", JK_STRING}, {"triAlarms", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_set_alarm_others, policy);
    JsonDoc doc(request);
    json_object *tb[O_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    // Here "type" 0 sets the trigger channels and any other the alarm
    // outputs (the motion page counts the other way round).
    const bool outputs = jv_int(tb[O_TYPE]) != 0;
    const int source = request_input(tb[O_CAM_ID]);
    const uint64_t listed = listed_inputs(tb[O_CNT], tb[O_CHNID]);

    int rc = settings_atomic(kDb, [&]() -> int {
        // The source's effective schedule goes to the listed inputs; without
        // a valid source nothing is copied.
        auto sche = new_schedule();
        if (source >= 0 && (read_alarmin_effective_schedule(kDb, sche.get(), source) != 0 ||
                            copy_alarmin_effective_schedules(kDb, sche.get(), listed) != 0))
            return -1;
        AlarmInRecord all[ALARM_IN_COUNT] = {};
        int count = 0;
        if (read_alarm_ins(kDb, all, &count) != 0) return -1;
        for (int n = 0; n < count; n++) {
            if (!(listed >> n & 1)) continue;
            AlarmActions &a = all[n].actions;
            if (outputs) take_int(tb[O_TRI_ALARMS], &a.tri_alarms);
            else if (jv_copy(tb[O_TRI_CHANNELS], a.tri_channels, sizeof a.tri_channels))
                a.channel_bits = get_channel_mask(a.tri_channels);
        }
        return write_alarm_ins(kDb, all, count, listed);
    });
    if (rc < 0) return write_failed("alarm input targets");
    cgi_notify_ipc(IPC_ALARM_INS_CHANGED, listed);
    cgi_send_oplog_mask(OPLOG_SUB_SETTING, OPLOG_PARAM_EVENT, 0, listed);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6167 ------------------------------------------------------------------------------------

int on_set_alarmin_ptz_sche(char *request)
{
    static constexpr JsonPolicy policy[] = {{"camId", JK_INT}, {"cnt", JK_INT}, {"chnid", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_set_alarmin_ptz_sche, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int source = request_input(tb[0]);
    if (source < 0) return cgi_error_to_webserver(REPLY_TEXT);
    const uint64_t listed = listed_inputs(tb[1], tb[2]);
    auto sche = new_schedule();
    const bool have_schedule = get_schedule_by_json(doc.get(), "schedule", sche.get()) == 0;

    int rc = settings_atomic(kDb, [&]() -> int {
        // The source's PTZ actions go to every other listed input.
        PtzActionTable ptz{};
        int entries = 0;
        if (read_ptz_params(kDb, &ptz, PTZ_EVENT_ALARM_IN, source, &entries) != 0) return -1;
        for (int t = 0; t < ALARM_IN_COUNT; t++) {
            if (!(listed >> t & 1) || t == source) continue;
            if (write_ptz_params_all(kDb, &ptz, PTZ_EVENT_ALARM_IN, t) != 0) return -1;
        }
        return have_schedule ? copy_alarmin_ptz_schedules(kDb, sche.get(), listed) : 0;
    });
    if (rc < 0) return write_failed("alarm input PTZ");
    cgi_notify_ipc(IPC_ALARM_INS_CHANGED, listed);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6170 ------------------------------------------------------------------------------------

int on_set_alarmin_effective_sche(char *request)
{
    static constexpr JsonPolicy policy[] = {{"camId", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_alarmin_effective_sche, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int id = request_input(tb[0]);
    if (id < 0) return cgi_error_to_webserver(REPLY_TEXT);
    auto sche = new_schedule();
    if (get_schedule_by_json(doc.get(), "schedule", sche.get()) == 0 &&
        write_alarmin_effective_schedule(kDb, sche.get(), id) != 0)
        return write_failed("alarm input schedule");
    int32_t payload = id;
    cgi_notify_ipc(IPC_ALARM_IN_CHANGED, payload);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
