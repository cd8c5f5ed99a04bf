// The camera module's reply dispatcher: one table of the reply codes it
// answers, each with its record size and callback.
#include "common/ipc.h"
#include "modules/camera/camera.h"

const CameraReplyEntry kCameraReplies[] = {
    {IPC_CAMERA_MODEL_TYPE + IPC_REPLY_OFFSET, sizeof(int32_t), on_ipc_model_type_cb},
    {IPC_CHANNEL_MODELS + IPC_REPLY_OFFSET, MAX_CAMERAS * sizeof(ChannelModelEntry), on_channels_model_cb},
    {8100, 36, on_day_flags_cb},
    {IPC_CAMERA_SEARCH + IPC_REPLY_OFFSET, sizeof(CameraSearchRecord), on_ipc_search_cb},
    {IPC_CAMERA_LIST + IPC_REPLY_OFFSET, sizeof(CameraListRecord), on_ipc_list_cb},
    {IPC_CAMERA_TEST + IPC_REPLY_OFFSET, sizeof(int32_t), on_ipc_test_cb},
    {IPC_CAMERA_NETWORK + IPC_REPLY_OFFSET, sizeof(int32_t), on_ipc_network_cb},
    {IPC_CAMERA_TEST2 + IPC_REPLY_OFFSET, sizeof(int32_t), on_ipc_test_cb},
    {IPC_CAMERA_NETWORK_RESULT + IPC_REPLY_OFFSET, sizeof(CameraBatchResult), on_ipc_batch_result_cb},
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
        e.fn(static_cast<const unsigned char *>(payload), count);
        return;
    }
}
