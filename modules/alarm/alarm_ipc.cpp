// The alarm module's reply table: reply code -> record size and the function
// that takes the reply's first record for the waiting request.
#include "common/ipc.h"
#include "common/records/alarm.h"
#include "common/web_utils.h"
#include "modules/alarm/alarm.h"

namespace {
// Written by the reply callback before it sets g_callback_done, read by the
// request thread after the wait; nothing writes them once the flag is set.
CamAlarmInState g_in_state;
CamAlarmOutState g_out_state;

typedef void (*AlarmReplyFn)(const void *header, const void *payload);

struct AlarmReplyEntry {
    int reply_code;
    size_t record_size;
    AlarmReplyFn take;
};

const AlarmReplyEntry kAlarmReplies[] = {
    {REPLY_CAM_ALARM_OUT_STATE, sizeof(CamAlarmOutState),
     [](const void *h, const void *p) { ipc_reply_record(h, p, 0, &g_out_state); }},
    {REPLY_CAM_ALARM_IN_STATE, sizeof(CamAlarmInState),
     [](const void *h, const void *p) { ipc_reply_record(h, p, 0, &g_in_state); }},
};
} // namespace

void on_alarm_ipc_callback(int, const void *header, const void *payload)
{
    const int code = ipc_reply_code(header);
    for (const AlarmReplyEntry &e : kAlarmReplies) {
        if (e.reply_code != code) continue;
        // One answer per request: a further reply after it writes nothing.
        if (!payload || g_callback_done != 0) return;
        if (ipc_reply_count(header, payload, e.record_size) == 0) {
            cgi_log("OnSystem", __LINE__, __func__, "reply %d: %d bytes, short of one record", code,
                    ipc_reply_length(header));
            return;
        }
        e.take(header, payload);
        g_callback_done = 1;
        return;
    }
}

const CamAlarmInState &alarm_reply_in_state() { return g_in_state; }
const CamAlarmOutState &alarm_reply_out_state() { return g_out_state; }
