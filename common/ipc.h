// Daemon request client: sends daemon requests over the message socket and
// waits for the reply callback, plus the generic callbacks, reply-header
// readers and the operation-log sender that every handler uses.
//
// Reply callbacks (IpcCallback) run on the socket's receiving thread with
//   (int unused, const void *header, const void *payload):
//   - header: the 24 message-header bytes; read them with ipc_reply_code()
//     (reply code = request code + 5000) and ipc_reply_length();
//   - payload: exactly ipc_reply_length() bytes, or null when there are
//     none; valid only during the call. Read records from it with
//     ipc_reply_count() / ipc_reply_record(), never past its length.
// A callback that has handled the reply writes the HTTP reply first and then
// sets g_callback_done (1 = handled, 2 = the daemon reported an error, or the
// daemon's own non-zero status where a module documents that). A callback
// that sets nothing lets the request run into its time-out. A callback may
// send fire-and-forget requests (cgi_notify_ipc, cgi_send_oplog) but must
// never wait for a reply itself: replies are delivered by its own thread.
//
// Typical handler shapes:
//   waiting:  if (!cgi_request_ipc(on_x_callback, 3201, rec, REPLY_JSON)) return 0;
//             (the error reply has then been written; otherwise the callback's)
//   setter:   cgi_writeback_webserver(REPLY_TEXT, "OK");
//             cgi_notify_ipc(3301, rec);
//             cgi_send_oplog(204, 909, channel + 1);
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "common/records/oplog.h"
#include "platform/qx_sock.h"

typedef qx_sock_callback IpcCallback;

// Completion flag of the current waiting request: 0 at its start, set
// non-zero by its callback. Process-wide; written whole from any thread.
extern std::atomic<int> g_callback_done;

// ---- Timing ------------------------------------------------------------------------
enum {
    IPC_POLL_MS = 40,          // one poll of the wait table
    IPC_SEND_RETRY_MS = 10,    // pause between failed send attempts
    IPC_SEND_TRIES = 3000,     // send attempts of one request at most
    IPC_SEND_BUDGET_MS = 3000, // retrying of all requests of one process together
    IPC_DEFAULT_POLLS = 1000   // wait of codes not in the table (40 s)
};

// Longest wait per request code, in polls of IPC_POLL_MS.
struct IpcWaitEntry {
    int code;
    int polls;
};
extern const IpcWaitEntry kIpcWaitTable[];
extern const size_t kIpcWaitTableSize;
// Polls for `code`: its table entry, else IPC_DEFAULT_POLLS.
int ipc_wait_polls(int code);
// NVRWEB_TIME_SCALE when it is a positive number, else 1. Multiplies the
// send pause, the send budget and the poll period (never the number of polls).
double ipc_time_scale();

// ---- Requests ----------------------------------------------------------------------
// Opens the client with `callback`, sends request `code` with `length` bytes
// of `payload`. While the daemon cannot be reached the send is tried again
// IPC_SEND_RETRY_MS apart, up to IPC_SEND_TRIES times, but all sends of the
// process retry for IPC_SEND_BUDGET_MS in all: once that is spent a send is
// tried once. A send that fails is not reported. nowait 1: returns at once
// and leaves g_callback_done alone. Otherwise resets g_callback_done to 0
// before sending and, when the request went out, waits until it is non-zero,
// returning as soon as a callback has set it, or until ipc_wait_polls(code)
// polls have passed; a request that did not go out returns at once with the
// flag 0, as a time-out.
// Returns 0, or -1 for a null callback (nothing sent, no client opened). An
// invalid payload (negative length, null with a non-zero length, over 16
// MiB) is not sent and not waited for. Pair every call with cgi_stop_ipc().
// The waiting thread reads the replies itself and runs the callback; after
// the wait (and with nowait 1) later replies reach the callback on the
// receiving thread until cgi_stop_ipc().
int cgi_start_ipc(IpcCallback callback, int code, int length, const void *payload, int nowait);
// Closes the client opened by this thread's last cgi_start_ipc: replies that
// come later are dropped and no callback of it runs after this returns.
// The argument is not used. Returns a null pointer.
void *cgi_stop_ipc(int ignored);

// The waiting shape in one call: start, wait; on a time-out close the client
// first (so that a late reply cannot add a second answer), then write
// cgi_error_to_webserver(error_kind) unless a callback did answer in the
// meantime; close. Returns g_callback_done after the request: 0 means the
// error reply was written. error_kind -1 writes no error reply.
int cgi_request_ipc(IpcCallback callback, int code, int length, const void *payload,
                    int error_kind);
// Fire-and-forget: sends a notice (qx_sock_send_notice) with the usual retries;
// no reply is awaited or handed to a callback.
int cgi_notify_ipc(int code, int length, const void *payload);

// Record forms: the length is the record's size.
template <class T> int cgi_request_ipc(IpcCallback callback, int code, const T &record, int error_kind)
{
    static_assert(!std::is_pointer<T>::value, "pass the record, not its address");
    static_assert(std::is_trivially_copyable<T>::value, "records are plain bytes");
    return cgi_request_ipc(callback, code, static_cast<int>(sizeof(T)), &record, error_kind);
}
template <class T> int cgi_notify_ipc(int code, const T &record)
{
    static_assert(!std::is_pointer<T>::value, "pass the record, not its address");
    static_assert(std::is_trivially_copyable<T>::value, "records are plain bytes");
    return cgi_notify_ipc(code, static_cast<int>(sizeof(T)), &record);
}

// ---- Reply header and payload ------------------------------------------------------
// Reply code at offset 12 of the header; -1 for a null header.
int ipc_reply_code(const void *header);
// Payload length at offset 20 of the header; 0 for a null header.
int ipc_reply_length(const void *header);
// Number of whole records of `record_size` bytes in the payload; 0 when the
// payload is null or record_size is 0.
size_t ipc_reply_count(const void *header, const void *payload, size_t record_size);
// Copies record `index` (of `size` bytes) out of the payload; false (out
// untouched) when the payload does not hold it.
bool ipc_reply_record(const void *header, const void *payload, size_t index, void *out,
                      size_t size);
template <class T> bool ipc_reply_record(const void *header, const void *payload, size_t index, T *out)
{
    static_assert(std::is_trivially_copyable<T>::value, "records are plain bytes");
    return ipc_reply_record(header, payload, index, out, sizeof(T));
}

// ---- Generic callbacks -------------------------------------------------------------
// count >= 1 and a payload: answers {"status": <first int32 of payload>} as
// JSON and sets g_callback_done to 1; returns 0. Otherwise writes nothing,
// leaves the flag alone and returns -1.
int on_cgi_common_json_cb(int count, const void *payload);
// Answers "CGI OK status:[s]" (s >= 0) or "CGI ERROR status:[s]" as text,
// with ", data:[<data>]" appended when data is not null, cut to 255
// characters; sets g_callback_done to 1. Returns 0.
int on_cgi_common_text_cb(int ignored, int status, const char *data);
// Callback of fire-and-forget requests: does nothing.
void on_aging_callback(int unused, const void *header, const void *payload);

// ---- Operation log -----------------------------------------------------------------
// Sends an operation-log record (cgi_init_log_info, then sub type, parameter
// type and object number) as request 3485, fire-and-forget.
int cgi_send_oplog(int sub_type, int param_type, int object_no = 0);
// The same with the channel bit mask appended (request 3509, 680 bytes).
int cgi_send_oplog_mask(int sub_type, int param_type, int object_no, uint64_t mask);
// Sends a record the caller filled (e.g. another main type) as 3485.
int cgi_send_oplog_record(const OpLogRecord &record);
