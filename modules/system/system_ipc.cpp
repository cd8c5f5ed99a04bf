// Reply dispatcher of the system module.
#include "modules/system/system_ipc.h"

#include <atomic>
#include <cstddef>

#include "common/ipc.h"
#include "common/web_utils.h"
#include "common/records/system_info.h"
#include "common/records/upgrade.h"
#include "modules/system/accounts.h"
#include "modules/system/maintenance.h"

namespace {

// One reply code the module waits for: the size of its records, the error
// reply of the route that waits for it (written at once for a reply too
// short to hold one record; -1: such a reply is left to the time-out) and
// the callback that answers it with the record count.
struct SystemReply {
    int code;
    size_t record_size;
    int error_kind;
    void (*handle)(size_t count, const void *payload);
};

const SystemReply kSystemReplies[] = {
    {8504, 4, REPLY_TEXT, on_user_login_from_mail_cb},  // /1018 mailed-link log-in
    {8265, 4, REPLY_JSON, on_modify_poe_camera_pwd_cb}, // /6075 PoE camera password
    {REPLY_DEVICE_FACTS, sizeof(DeviceFactsRecord), REPLY_JSON, on_device_facts_cb}, // /1009, /1020
    {REPLY_UPGRADE_RUN, 4, -1, on_upgrade_run_cb},                        // /1010, /6088
    {REPLY_UPGRADE_CHECK, sizeof(FirmwareCheckRecord), REPLY_JSON, on_upgrade_check_cb}, // /6087
    {REPLY_UPGRADE_DOWNLOAD, 4, REPLY_TEXT, on_upgrade_result_cb},        // /6085
    {REPLY_UPGRADE_DISCARD, 4, REPLY_TEXT, on_upgrade_result_cb},         // /6086
    {REPLY_CAMERA_UPGRADE_CHECK, sizeof(FirmwareCheckRecord), REPLY_JSON, on_camera_check_cb}, // /6089
    {REPLY_CAMERA_UPGRADE, sizeof(CameraUpgradeStatus), REPLY_JSON, on_camera_upgrade_cb},    // /6083
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
    // decides.
    if (!reply || code != g_waited_reply.load()) return;
    // An empty reply counts as one too short for its record.
    size_t count = ipc_reply_count(header, payload, reply->record_size);
    if (count == 0 && reply->error_kind < 0) return; // left to the time-out
    // The first such reply takes the wait: a daemon that answers twice gets
    // one reply body only.
    int waited = code;
    if (!g_waited_reply.compare_exchange_strong(waited, 0)) return;
    if (count == 0) {
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
