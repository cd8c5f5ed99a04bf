// The camera module's reply dispatcher: one table of the reply codes it
// answers, each with its record size and callback.
#include "common/ipc.h"
#include "common/records/camera_upgrade.h"
#include "common/records/people_counting.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"

#define REPLY_OF(request) ((request) + IPC_REPLY_OFFSET)

const CameraReplyEntry kCameraReplies[] = {
    {REPLY_OF(IPC_CAMERA_MODEL_TYPE), sizeof(int32_t), on_ipc_model_type_cb, REPLY_TEXT},
    {REPLY_OF(IPC_CHANNEL_MODELS), MAX_CAMERAS * sizeof(ChannelModelEntry), on_channels_model_cb, REPLY_JSON},
    {8100, 36, on_day_flags_cb, REPLY_JSON},
    {REPLY_OF(IPC_CAMERA_SEARCH), sizeof(CameraSearchRecord), on_ipc_search_cb, LIST_REPLY},
    {REPLY_OF(IPC_CAMERA_LIST), sizeof(CameraListRecord), on_ipc_list_cb, LIST_REPLY},
    {REPLY_OF(IPC_CAMERA_TEST), sizeof(int32_t), on_ipc_test_cb, REPLY_TEXT},
    {REPLY_OF(IPC_CAMERA_NETWORK), sizeof(int32_t), on_ipc_network_cb, REPLY_JSON},
    {REPLY_OF(IPC_CAMERA_TEST2), sizeof(int32_t), on_ipc_test_cb, REPLY_TEXT},
    {REPLY_OF(IPC_CAMERA_NETWORK_RESULT), sizeof(CameraBatchResult), on_ipc_batch_result_cb, REPLY_JSON},
    // People counting, POS and face detection.
    {REPLY_OF(IPC_PCNT_SETTINGS_CHANGED), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON},
    {REPLY_OF(IPC_PCNT_DB_RESET), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON},
    {REPLY_OF(IPC_PCNT_LIVEVIEW_RESET), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON},
    {REPLY_OF(IPC_PCNT_ACTION_CHANGED), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON},
    {REPLY_OF(IPC_POS_CHANGED), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON},
    {REPLY_OF(IPC_PCNT_BACKUP_CHANGED), 1, on_report_backup_cb, LIST_REPLY},
    {REPLY_OF(IPC_FACE_CONFIG), sizeof(int32_t), on_face_config_cb, REPLY_JSON},
    // Camera upgrade and device queries.
    {REPLY_OF(IPC_RECORD_DAYS), sizeof(RecordDaysReply), on_record_days_cb, REPLY_JSON},
    {REPLY_OF(IPC_GUI_COMMAND), 1, on_gui_command_cb, REPLY_TEXT},
    {REPLY_OF(IPC_GUI_COMMAND) + 1, 1, on_gui_command_cb, REPLY_TEXT},
    {REPLY_OF(IPC_CHIP_CODE), 1, on_chip_code_cb, REPLY_TEXT},
    {REPLY_OF(IPC_MOTION_STATE), sizeof(uint64_t), on_motion_state_cb, REPLY_TEXT},
    {REPLY_OF(IPC_CAMERA_TYPE), sizeof(CameraTypeReply), on_camera_type_cb, REPLY_JSON},
    {REPLY_OF(IPC_UPGRADE_CHECK), sizeof(int32_t), on_upgrade_check_cb, REPLY_JSON},
    {REPLY_OF(IPC_UPGRADE_STATUS), sizeof(UpgradeStatus), on_upgrade_status_cb, REPLY_TEXT},
    {REPLY_OF(IPC_UPGRADE_START), sizeof(UpgradeStatus), on_upgrade_start_cb, REPLY_JSON},
};
const size_t kCameraRepliesSize = sizeof(kCameraReplies) / sizeof(kCameraReplies[0]);

void on_camera_ipc_callback(int, const void *header, const void *payload)
{
    if (!payload) return;
    // One answer per request: a second reply to an answered request is dropped.
    if (g_callback_done != 0) return;
    int code = ipc_reply_code(header);
    for (size_t i = 0; i < kCameraRepliesSize; i++) {
        const CameraReplyEntry &e = kCameraReplies[i];
        if (e.code != code) continue;
        size_t count = ipc_reply_count(header, payload, e.record_size);
        if (count == 0 && e.short_reply != LIST_REPLY) {
            cgi_error_to_webserver(e.short_reply);
            g_callback_done = 1;
            return;
        }
        e.fn(static_cast<const unsigned char *>(payload), count);
        return;
    }
}
