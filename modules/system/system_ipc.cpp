// Reply dispatcher of the system module.
#include "modules/system/system_ipc.h"

#include <atomic>
#include <cstddef>

#include "common/ipc.h"
#include "common/web_utils.h"
#include "modules/system/accounts.h"
#include "common/records/audio.h"
#include "modules/system/audio_files.h"
#include "modules/system/logs.h"

namespace {

// One reply code the module waits for: the size of its records, the error
// reply of the route that waits for it (used for a reply too short to hold
// one record) and the callback that answers it with the record count. A
// reply whose route answers an empty reply itself (takes_empty) is handed on
// with count 0 and a null payload when it holds no record.
struct SystemReply {
    int code;
    size_t record_size;
    int error_kind;
    void (*handle)(size_t count, const void *payload);
    bool takes_empty;
};

const SystemReply kSystemReplies[] = {
    {8504, 4, REPLY_TEXT, on_user_login_from_mail_cb, false},  // /1018 mailed-link log-in
    {8265, 4, REPLY_JSON, on_modify_poe_camera_pwd_cb, false}, // /6075 PoE camera password
    // log search, details, export (records of bytes: the callbacks check the layout)
    {8495, 1, REPLY_JSON, on_get_log_info_cb, true},
    {8488, 1, REPLY_TEXT, on_get_log_details_cb, true},
    {8494, sizeof(LogExportReply), REPLY_JSON, on_download_logfile_cb, false},
    // custom alarm sounds
    {9012, sizeof(SoundRecord), REPLY_JSON, on_get_audio_file_list_cb, false},
    {9013, 4, REPLY_JSON, on_audio_file_status_cb, false},
    {9014, 4, REPLY_JSON, on_audio_file_status_cb, false},
    {9015, 4, REPLY_JSON, on_audio_file_status_cb, false},
    {9016, 4, REPLY_JSON, on_audio_file_status_cb, false},
};

const SystemReply *find_reply(int code)
{
    for (const SystemReply &r : kSystemReplies)
        if (r.code == code) return &r;
    return nullptr;
}

// Reply code of the waiting request in flight, 0 when none. Written by the
// request thread around the wait, read by the receiving thread.
std::atomic<int> g_waited_reply{0};

} // namespace

void on_system_ipc_callback(int, const void *header, const void *payload)
{
    int code = ipc_reply_code(header);
    const SystemReply *reply = find_reply(code);
    // Not a reply the module waits for right now, or nothing to read: the
    // request's own time-out decides.
    if (!reply || code != g_waited_reply.load() || (!payload && !reply->takes_empty)) return;
    // The first such reply takes the wait: a daemon that answers twice gets
    // one reply body only.
    int waited = code;
    if (!g_waited_reply.compare_exchange_strong(waited, 0)) return;
    size_t count = ipc_reply_count(header, payload, reply->record_size);
    if (count == 0 && !reply->takes_empty) {
        cgi_log("OnSystem", __LINE__, "", "reply %d too short: %d bytes", code,
                ipc_reply_length(header));
        cgi_error_to_webserver(reply->error_kind);
        g_callback_done = 2;
        return;
    }
    reply->handle(count, payload);
}

int system_request_ipc(int code, int length, const void *payload, int error_kind)
{
    g_waited_reply = code + 5000;
    int done = cgi_request_ipc(on_system_ipc_callback, code, length, payload, error_kind);
    g_waited_reply = 0;
    return done;
}

void system_notify_ipc(int code, int length, const void *payload)
{
    cgi_stop_ipc(cgi_start_ipc(on_system_ipc_callback, code, length, payload, 1));
}
