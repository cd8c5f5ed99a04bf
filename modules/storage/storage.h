// Storage module: disks and their properties, formatting, RAID arrays and
// hot spares (disks.cpp); network disks and disk removal (network_disks.cpp);
// recycle mode, disk health, quotas, disk groups and the external backup
// (quota_backup.cpp); one reply dispatcher for all (storage_ipc.cpp).
#pragma once
#include <cstdint>

#include "common/records/storage.h"
#include "common/reply_table.h"

// ---- Routes ------------------------------------------------------------------------
int on_get_disk_info(char *request);        // /6100
int on_set_disk_info(char *request);        // /6101
int on_format_disk(char *request);          // /6102
int on_get_format_progress(char *request);  // /6103
int on_create_raid(char *request);          // /6104
int on_remove_raid(char *request);          // /6105
int on_set_hot_space(char *request);        // /6106
int on_rebuild_raid(char *request);         // /6107
int on_get_raid_mode(char *request);        // /6108
int on_set_raid_mode(char *request);        // /6109

int on_del_disk_nas(char *request);         // /6200
int on_add_disk_nas(char *request);         // /6201
int on_search_disk_nas(char *request);      // /6202
int on_edit_disk_nas(char *request);        // /6203
int on_remove_disk(char *request);          // /6207

int on_set_recycle_mode(char *request);     // /6204
int on_get_recycle_mode(char *request);     // /6205
int on_get_smart_attr(char *request);       // /6206
int on_get_quota_info(char *request);       // /6208
int on_set_quota_info(char *request);       // /6209
int on_set_group_info(char *request);       // /6210
int on_get_esata_auto_backup_info(char *request);   // /6220
int on_set_esata_auto_backup_info(char *request);   // /6221
int on_get_esata_auto_backup_status(char *request); // /6222
int on_get_export_disk_info(char *request);         // /6223
int on_format_esata_disk(char *request);            // /6224
int on_get_auto_backup_status(char *request);       // /6225
int on_set_auto_backup_stop(char *request);         // /6226
int on_get_format_info(char *request);              // /6227

// ---- Reply dispatcher (storage_ipc.cpp) ---------------------------------------------------
// Every waiting request of the module is sent with this callback.
void on_storage_ipc_callback(int unused, const void *header, const void *payload);

// Completion flags of the status answers: 1 when the daemon's status was 0,
// 2 for any other status.
enum { STORAGE_DONE_OK = 1, STORAGE_DONE_FAILED = 2 };

// Answers of the reply table.
void on_disk_list_cb(const IpcReply &reply);       // 8433 (disks.cpp)
void on_format_disk_cb(const IpcReply &reply);     // 8434, 8402 (disks.cpp)
void on_nas_search_cb(const IpcReply &reply);      // 8440 (network_disks.cpp)
void on_recycle_mode_cb(const IpcReply &reply);    // 8431 (quota_backup.cpp)
void on_disk_health_cb(const IpcReply &reply);     // 8403
void on_quota_cb(const IpcReply &reply);           // 8529
void on_backup_status_cb(const IpcReply &reply);   // 6317
void on_export_disk_cb(const IpcReply &reply);     // 8457
void on_format_info_cb(const IpcReply &reply);     // 8540

// ---- Shared helpers (storage_ipc.cpp) -------------------------------------------------------
// Sends a waiting request with on_storage_ipc_callback; the time-out writes
// the error reply of `error_kind`. Returns g_callback_done (0: timed out).
int storage_request(int code, int length, const void *payload, int error_kind);
template <class T> int storage_request(int code, const T &record, int error_kind)
{
    return storage_request(code, static_cast<int>(sizeof(T)), &record, error_kind);
}
// A port given as the whole request text ("5"); -1 when the text is not a
// decimal number within lo..hi.
int storage_text_port(const char *request, int lo, int hi);
// Operation-log record of a disk operation with a packed detail block.
void storage_send_log(int sub_type, int param_type, int object_no, int detail_type, const void *detail,
                      int length);
