// Reply dispatcher of the system module.
#include "modules/system/system_ipc.h"

#include <atomic>
#include <cstddef>

#include "common/ipc.h"
#include "common/web_utils.h"
#include "common/records/audio.h"
#include "common/records/system_info.h"
#include "common/records/upgrade.h"
#include "modules/system/accounts.h"
#include "modules/system/audio_files.h"
#include "modules/system/logs.h"
#include "modules/system/maintenance.h"

namespace {

// What a reply without a whole record leads to.
enum EmptyReply {
    EMPTY_WAITS,   // no payload: the time-out decides; a payload too short: the error reply
    EMPTY_ERROR,   // the error reply at once, with or without payload
    EMPTY_HANDLED, // handed on with count 0 (the route answers it itself)
};

// One reply code the module waits for: the size of its records, the error
// reply of the route that waits for it (used for a reply without a whole
// record; -1: such a reply is left to the time-out), the callback that
// answers it with the record count, and what a reply without a record does.
struct SystemReply {
    int code;
    size_t record_size;
    int error_kind;
    void (*handle)(size_t count, const void *payload);
    EmptyReply empty;
};

const SystemReply kSystemReplies[] = {
    {8504, 4, REPLY_TEXT, on_user_login_from_mail_cb, EMPTY_WAITS},  // /1018 mailed-link log-in
    {8265, 4, REPLY_JSON, on_modify_poe_camera_pwd_cb, EMPTY_WAITS}, // /6075 PoE camera password
    // log search, details, export (records of bytes: the callbacks check the layout)
    {8495, 1, REPLY_JSON, on_get_log_info_cb, EMPTY_HANDLED},
    {8488, 1, REPLY_TEXT, on_get_log_details_cb, EMPTY_HANDLED},
    {8494, sizeof(LogExportReply), REPLY_JSON, on_download_logfile_cb, EMPTY_WAITS},
    // custom alarm sounds
    {9012, sizeof(SoundRecord), REPLY_JSON, on_get_audio_file_list_cb, EMPTY_WAITS},
    {9013, 4, REPLY_JSON, on_audio_file_status_cb, EMPTY_WAITS},
    {9014, 4, REPLY_JSON, on_audio_file_status_cb, EMPTY_WAITS},
    {9015, 4, REPLY_JSON, on_audio_file_status_cb, EMPTY_WAITS},
    {9016, 4, REPLY_JSON, on_audio_file_status_cb, EMPTY_WAITS},
    // device facts, firmware upgrade
    {REPLY_DEVICE_FACTS, sizeof(DeviceFactsRecord), REPLY_JSON, on_device_facts_cb, EMPTY_ERROR}, // /1009, /1020
    {REPLY_FIRMWARE_RUN, 4, -1, on_upgrade_run_cb, EMPTY_WAITS},                                   // /1010, /6088
    {REPLY_FIRMWARE_CHECK, sizeof(FirmwareCheckRecord), REPLY_JSON, on_upgrade_check_cb, EMPTY_ERROR}, // /6087
    {REPLY_FIRMWARE_DOWNLOAD, 4, REPLY_TEXT, on_upgrade_result_cb, EMPTY_WAITS},                   // /6085
    {REPLY_FIRMWARE_DISCARD, 4, REPLY_TEXT, on_upgrade_result_cb, EMPTY_WAITS},                    // /6086
    {REPLY_CAMERA_UPGRADE_CHECK, sizeof(FirmwareCheckRecord), REPLY_JSON, on_camera_check_cb, EMPTY_ERROR}, // /6089
    {REPLY_CAMERA_UPGRADE, sizeof(CameraUpgradeStatus), REPLY_JSON, on_camera_upgrade_cb, EMPTY_ERROR},    // /6083
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
    // Not a reply the module waits for right now: the request's own time-out
    // decides; so does a reply without a record that is left to it.
    if (!reply || code != g_waited_reply.load()) return;
    size_t count = ipc_reply_count(header, payload, reply->record_size);
    if (count == 0 && reply->empty == EMPTY_WAITS && (!payload || reply->error_kind < 0)) return;
    // The first such reply takes the wait: a daemon that answers twice gets
    // one reply body only.
    int waited = code;
    if (!g_waited_reply.compare_exchange_strong(waited, 0)) return;
    if (count == 0 && reply->empty != EMPTY_HANDLED) {
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
    cgi_notify_ipc(code, length, payload);
}
