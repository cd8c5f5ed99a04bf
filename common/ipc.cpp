#include "common/ipc.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/web_utils.h"

std::atomic<int> g_callback_done{0};

namespace {
const char kDaemonSocket[] = "/var/run/qxsocket";

using Micros = std::chrono::duration<double, std::micro>;

enum SendResult { SENT, NOT_SENT, INVALID };

// Time this process has spent on sends the daemon did not take, tries and
// pauses together, in microseconds. Sends may come from reply callbacks too.
std::atomic<int64_t> g_unreachable_us{0};

// Sends with retries: no pause after a success, one between failed tries.
// The retries of all sends of the process share IPC_SEND_BUDGET_MS: once it
// is spent, a send is tried once and fails at once.
SendResult send_with_retries(int code, int length, const void *payload, bool notice = false)
{
    using Clock = std::chrono::steady_clock;
    const double budget_us = IPC_SEND_BUDGET_MS * 1000.0 * ipc_time_scale();
    for (int attempt = 1;; attempt++) {
        const auto start = Clock::now();
        int r = notice ? qx_sock_send_notice(code, payload, length) : qx_sock_send_msg(1, code, payload, length, 0, 0);
        if (r == 0) return SENT;
        if (r == QX_SOCK_BAD_ARGS) return INVALID;
        const double left = budget_us - static_cast<double>(g_unreachable_us.load());
        if (attempt < IPC_SEND_TRIES && left > 0) {
            const double pause = IPC_SEND_RETRY_MS * 1000.0 * ipc_time_scale();
            std::this_thread::sleep_for(Micros(pause < left ? pause : left));
        }
        g_unreachable_us += std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
        if (attempt >= IPC_SEND_TRIES || left <= 0) return NOT_SENT;
    }
}

// Waits until g_callback_done is non-zero or `polls` poll periods have
// passed. A callback that returns wakes the wait at once; the period also
// bounds each sleep, so a flag set elsewhere is seen within one poll.
void wait_for_callback(int polls)
{
    using Clock = std::chrono::steady_clock;
    const Micros period(IPC_POLL_MS * 1000.0 * ipc_time_scale());
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(period * polls);
    for (;;) {
        uint64_t seen = qx_sock_delivered();
        if (g_callback_done.load() != 0) return;
        auto now = Clock::now();
        if (now >= deadline) return;
        Micros left = std::chrono::duration_cast<Micros>(deadline - now);
        Micros slice = left < period ? left : period;
        qx_sock_wait_delivered(seen, static_cast<int64_t>(std::ceil(slice.count())));
    }
}
} // namespace

// ---- Timing ------------------------------------------------------------------------

const IpcWaitEntry kIpcWaitTable[] = {
    {3700, 1500},  {3702, 1500},

    {1153, 3000},  {1171, 3000},  {3102, 3000},  {3104, 3000},  {3223, 3000},  {3259, 3000},
    {3263, 3000},  {3360, 3000},  {3365, 3000},  {3401, 3000},  {3535, 3000},

    {1701, 6000},  {1713, 6000},  {1716, 6000},  {3200, 6000},  {3201, 6000},  {3202, 6000},
    {3203, 6000},  {3204, 6000},  {3205, 6000},  {3227, 6000},  {3402, 6000},  {3409, 6000},
    {3420, 6000},  {3440, 6000},  {3528, 6000},

    {3230, 15000}, {3350, 15000}, {3434, 15000}, {3494, 15000}, {3495, 15000},

    {3379, 30000},
};
const size_t kIpcWaitTableSize = sizeof kIpcWaitTable / sizeof kIpcWaitTable[0];

int ipc_wait_polls(int code)
{
    for (size_t i = 0; i < kIpcWaitTableSize; i++)
        if (kIpcWaitTable[i].code == code) return kIpcWaitTable[i].polls;
    return IPC_DEFAULT_POLLS;
}

double ipc_time_scale()
{
    const char *text = getenv("NVRWEB_TIME_SCALE");
    if (!text || !*text) return 1.0;
    char *end = nullptr;
    double v = strtod(text, &end);
    if (end == text || *end || !std::isfinite(v) || v <= 0) return 1.0;
    return v;
}

// ---- Requests ----------------------------------------------------------------------

namespace {
// Sends and, unless `nowait` is 1, waits for the callback (this thread reads
// the replies meanwhile). `async`: replies that come later reach the
// callback too, on the receiving thread, until the session is closed.
int start_ipc(IpcCallback callback, int code, int length, const void *payload, int nowait, bool async)
{
    if (!callback) return -1;
    qx_sock_init(callback, 0, 3, kDaemonSocket);
    if (nowait == 1) {
        if (send_with_retries(code, length, payload) == SENT) qx_sock_receive_async();
        return 0;
    }
    g_callback_done.store(0);
    // Only a request that went out can be answered: one the daemon could not
    // be reached for ends at once, as a time-out.
    if (send_with_retries(code, length, payload) == SENT) {
        wait_for_callback(ipc_wait_polls(code));
        if (async) qx_sock_receive_async();
    }
    return 0;
}
} // namespace

int cgi_start_ipc(IpcCallback callback, int code, int length, const void *payload, int nowait)
{
    return start_ipc(callback, code, length, payload, nowait, true);
}

void *cgi_stop_ipc(int)
{
    qx_sock_uninit();
    return nullptr;
}

int cgi_request_ipc(IpcCallback callback, int code, int length, const void *payload,
                    int error_kind)
{
    // The session is closed right after the wait: a reply still to come is
    // dropped anyway, so no receiving thread is started for it.
    if (start_ipc(callback, code, length, payload, 0, false) != 0) {
        cgi_error_to_webserver(error_kind);
        return 0;
    }
    // Closing first waits for a callback that is running and drops any
    // reply still to come, so the flag is final when read below.
    cgi_stop_ipc(0);
    int done = g_callback_done.load();
    if (done == 0) cgi_error_to_webserver(error_kind);
    return done;
}

// A notice: sent without waiting, and its reply (if the daemon sends one) is
// never handed to a callback.
int cgi_notify_ipc(int code, int length, const void *payload)
{
    qx_sock_init(on_aging_callback, 0, 3, kDaemonSocket);
    send_with_retries(code, length, payload, true);
    qx_sock_uninit();
    return 0;
}

// ---- Reply header and payload ------------------------------------------------------

int ipc_reply_code(const void *header)
{
    return header ? qx_get_le32(header, QX_MSG_CODE_OFFSET) : -1;
}

int ipc_reply_length(const void *header)
{
    if (!header) return 0;
    int32_t len = qx_get_le32(header, QX_MSG_LENGTH_OFFSET);
    return len > 0 ? len : 0;
}

size_t ipc_reply_count(const void *header, const void *payload, size_t record_size)
{
    if (!payload || record_size == 0) return 0;
    return static_cast<size_t>(ipc_reply_length(header)) / record_size;
}

bool ipc_reply_record(const void *header, const void *payload, size_t index, void *out,
                      size_t size)
{
    if (!out || index >= ipc_reply_count(header, payload, size)) return false;
    memcpy(out, static_cast<const uint8_t *>(payload) + index * size, size);
    return true;
}

// ---- Generic callbacks -------------------------------------------------------------

int on_cgi_common_json_cb(int count, const void *payload)
{
    if (count < 1 || !payload) return -1;
    int32_t status;
    memcpy(&status, payload, sizeof status);
    char text[48];
    snprintf(text, sizeof text, "{\"status\":%d}", static_cast<int>(status));
    cgi_writeback_webserver(REPLY_JSON, text);
    g_callback_done.store(1);
    return 0;
}

int on_cgi_common_text_cb(int, int status, const char *data)
{
    char text[256];
    int n = snprintf(text, sizeof text, "%s status:[%d]", status >= 0 ? "CGI OK" : "CGI ERROR",
                     status);
    if (data && n >= 0 && static_cast<size_t>(n) < sizeof text)
        snprintf(text + n, sizeof text - static_cast<size_t>(n), ", data:[%s]", data);
    cgi_writeback_webserver(REPLY_TEXT, text);
    g_callback_done.store(1);
    return 0;
}

void on_aging_callback(int, const void *, const void *) {}

// ---- Operation log -----------------------------------------------------------------

namespace {
void fill_oplog(OpLogRecord *rec, int sub_type, int param_type, int object_no)
{
    cgi_init_log_info(rec);
    rec->sub_type = sub_type; // sign-extended
    rec->param_type = param_type;
    rec->object_no = object_no;
}
} // namespace

int cgi_send_oplog(int sub_type, int param_type, int object_no)
{
    OpLogRecord rec;
    fill_oplog(&rec, sub_type, param_type, object_no);
    return cgi_send_oplog_record(rec);
}

int cgi_send_oplog_mask(int sub_type, int param_type, int object_no, uint64_t mask)
{
    OpLogMaskRecord rec;
    fill_oplog(&rec.log, sub_type, param_type, object_no);
    rec.mask_lo = static_cast<uint32_t>(mask);
    rec.mask_hi = static_cast<uint32_t>(mask >> 32);
    return cgi_notify_ipc(IPC_OPLOG_MASK, rec);
}

int cgi_send_oplog_record(const OpLogRecord &record) { return cgi_notify_ipc(IPC_OPLOG, record); }
