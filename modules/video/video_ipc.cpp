#include "modules/video/video_ipc.h"

#include "common/ipc.h"
#include "common/records/lpr.h"
#include "common/records/motion.h"
#include "common/records/osd_camera.h"
#include "common/web_utils.h"
#include "modules/video/lpr_osd.h"
#include "modules/video/motion.h"

namespace {
// Reply code -> answer. One line per waiting request of the module.
const VideoReplyEntry kVideoReplies[] = {
    {REPLY_MOTION_MAP, sizeof(MotionMapRecord), REPLY_TEXT, on_get_motion_map_cb},
    // ---- Licence plate recognition, camera OSD and privacy masks (lpr.cpp, osd.cpp)
    {REPLY_ANPR_SETTINGS, sizeof(AnprSettingsRecord), REPLY_JSON, on_anpr_settings_cb},
    {REPLY_ANPR_SETTINGS_SET, sizeof(int32_t), REPLY_JSON, on_anpr_result_cb},
    {REPLY_ANPR_SUPPORT, sizeof(AnprSupport), REPLY_JSON, on_anpr_support_cb},
    {REPLY_CAM_ZOOM_STATE, sizeof(CamZoomState), REPLY_JSON, on_cam_zoom_state_cb},
    {REPLY_ANPR_WILDCARDS, sizeof(AnprWildcardRecord), REPLY_JSON, on_anpr_wildcards_cb},
    {REPLY_ANPR_WILDCARDS_SET, sizeof(int32_t), REPLY_JSON, on_anpr_result_cb},
    {REPLY_CAM_OSD_SET, sizeof(int32_t), REPLY_TEXT, on_cam_osd_set_cb},
    {REPLY_CAM_OSD, sizeof(CamOsdRecord), REPLY_TEXT, on_cam_osd_cb},
    {REPLY_CAM_MASK, sizeof(CamMaskReply), REPLY_TEXT, on_cam_mask_cb},
    {REPLY_CAM_MODEL_TYPE, sizeof(int32_t), REPLY_TEXT, on_cam_model_type_cb},
    {REPLY_CAM_MASK_EDIT, sizeof(int32_t), REPLY_JSON, on_cam_mask_edit_cb},
    // ---- end of licence plate recognition, OSD and masks
};
} // namespace

const VideoReplyEntry *video_reply_entry(int reply_code)
{
    for (const VideoReplyEntry &e : kVideoReplies)
        if (e.reply_code == reply_code) return &e;
    return nullptr;
}

void on_video_ipc_callback(int, const void *header, const void *payload)
{
    const VideoReplyEntry *entry = video_reply_entry(ipc_reply_code(header));
    if (!entry) return;
    // One reply body per request: a further reply (the daemon may send
    // several) after the request was answered writes nothing.
    if (g_callback_done != 0) return;
    size_t count = ipc_reply_count(header, payload, entry->record_size);
    if (count == 0) {
        cgi_log("OnVideo", __LINE__, "", "reply %d: %d bytes, short of one record",
                entry->reply_code, ipc_reply_length(header));
        cgi_error_to_webserver(entry->error_kind);
        g_callback_done = 2;
        return;
    }
    entry->answer(header, payload, count);
}
