// Reply dispatcher of the storage module: one table of reply code -> record
// size -> answer for every waiting request of the module, with the answers
// that several replies share, and the helpers the module's files share.
#include <cstdio>

#include "common/ipc.h"
#include "common/log_detail.h"
#include "common/web_utils.h"
#include "modules/storage/storage.h"

namespace {
// "OK" for status 0, "Error" for any other status (and for a short reply
// where the table passes it on).
void status_text_cb(const IpcReply &reply)
{
    const bool ok = ipc_reply_int(reply, -1) == 0;
    cgi_writeback_webserver(REPLY_TEXT, ok ? "OK" : "Error");
    g_callback_done = ok ? STORAGE_DONE_OK : STORAGE_DONE_FAILED;
}

// The status alone: the handler answers after its own follow-up.
void status_flag_cb(const IpcReply &reply)
{
    g_callback_done = ipc_reply_int(reply, -1) == 0 ? STORAGE_DONE_OK : STORAGE_DONE_FAILED;
}

// {"<key>": first int32}.
void int_json_cb(const IpcReply &reply)
{
    char text[64];
    snprintf(text, sizeof text, "{\"%s\":%d}", reply.route->key, ipc_reply_int(reply));
    cgi_writeback_webserver(REPLY_JSON, text);
    g_callback_done = 1;
}

// Network disk added or changed: {"status": 0, "res": first int32}.
void nas_result_cb(const IpcReply &reply)
{
    char text[64];
    snprintf(text, sizeof text, "{\"status\":0,\"res\":%d}", ipc_reply_int(reply));
    cgi_writeback_webserver(REPLY_JSON, text);
    g_callback_done = 1;
}

void status_ok_json_cb(const IpcReply &)
{
    cgi_writeback_webserver(REPLY_JSON, "{\"status\":\"OK\"}");
    g_callback_done = 1;
}

#define R(request) STORAGE_REPLY(request)
const IpcReplyRoute kStorageReplies[] = {
    {R(IPC_DISK_LIST), sizeof(DiskInfoRecord), on_disk_list_cb, SHORT_PASS, nullptr},
    {R(IPC_DISK_FORMAT), sizeof(int32_t), on_format_disk_cb, SHORT_PASS, nullptr},
    {REPLY_DISK_FORMAT_OLD, sizeof(int32_t), on_format_disk_cb, SHORT_PASS, nullptr},
    {R(IPC_RAID_CREATE), sizeof(int32_t), status_text_cb, SHORT_WAIT, nullptr},
    {R(IPC_RAID_REMOVE), sizeof(int32_t), status_text_cb, SHORT_WAIT, nullptr},
    {R(IPC_HOT_SPARE_ADD), sizeof(int32_t), status_text_cb, SHORT_WAIT, nullptr},
    {R(IPC_HOT_SPARE_REMOVE), sizeof(int32_t), status_text_cb, SHORT_WAIT, nullptr},
    {R(IPC_RAID_REBUILD), sizeof(int32_t), status_text_cb, SHORT_PASS, nullptr},
    {R(IPC_DISK_REMOVE), sizeof(int32_t), status_flag_cb, SHORT_WAIT, nullptr},
    {R(IPC_NAS_ADD), sizeof(int32_t), nas_result_cb, SHORT_WAIT, nullptr},
    {R(IPC_NAS_EDIT), sizeof(int32_t), nas_result_cb, SHORT_WAIT, nullptr},
    {R(IPC_NAS_DELETE), sizeof(int32_t), status_text_cb, SHORT_WAIT, nullptr},
    {R(IPC_NAS_SEARCH), sizeof(int32_t), on_nas_search_cb, SHORT_WAIT, nullptr},
    {R(IPC_RECYCLE_SET), sizeof(int32_t), status_ok_json_cb, SHORT_WAIT, nullptr},
    {R(IPC_RECYCLE_GET), sizeof(RecycleMode), on_recycle_mode_cb, SHORT_WAIT, nullptr},
    {R(IPC_DISK_HEALTH), sizeof(DiskHealthRecord), on_disk_health_cb, SHORT_WAIT, nullptr},
    {R(IPC_QUOTA_GET), QUOTA_HEADER_SIZE, on_quota_cb, SHORT_WAIT, nullptr},
    {R(IPC_QUOTA_SET), sizeof(int32_t), status_text_cb, SHORT_WAIT, nullptr},
    {R(IPC_BACKUP_SETTINGS), sizeof(int32_t), int_json_cb, SHORT_WAIT, "result"},
    {R(IPC_BACKUP_STATUS), sizeof(BackupStatusRecord), on_backup_status_cb, SHORT_WAIT, nullptr},
    {R(IPC_EXPORT_DISK), sizeof(ExportDiskRecord), on_export_disk_cb, SHORT_PASS, nullptr},
    {R(IPC_ESATA_FORMAT), sizeof(int32_t), int_json_cb, SHORT_WAIT, "result"},
    {R(IPC_BACKUP_TASK), sizeof(int32_t), int_json_cb, SHORT_WAIT, "status"},
    {R(IPC_BACKUP_STOP), sizeof(int32_t), int_json_cb, SHORT_WAIT, "result"},
    {R(IPC_FORMAT_INFO), sizeof(FormatInfoRecord), on_format_info_cb, SHORT_WAIT, nullptr},
};
#undef R
} // namespace

void on_storage_ipc_callback(int, const void *header, const void *payload)
{
    IPC_DISPATCH(kStorageReplies, "dispatchreq", header, payload);
}

int storage_request(int code, int length, const void *payload, int error_kind)
{
    return cgi_request_ipc(on_storage_ipc_callback, code, length, payload, error_kind);
}

int storage_text_port(const char *request, int lo, int hi)
{
    int port = -1;
    if (!parse_decimal(request, &port) || port < lo || port > hi) return -1;
    return port;
}

void storage_send_log(int sub_type, int param_type, int object_no, int detail_type, const void *detail, int length)
{
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.sub_type = sub_type;
    log.param_type = param_type;
    log.object_no = object_no;
    qxfs_log_pack_detail(&log, detail_type, detail, length);
    cgi_send_oplog_record(log);
}
