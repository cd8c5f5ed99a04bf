#include "modules/video/video_ipc.h"

#include "common/ipc.h"
#include "common/records/lpr.h"
#include "common/records/motion.h"
#include "common/records/osd_camera.h"
#include "common/web_utils.h"
#include "modules/video/lpr_osd.h"
#include "modules/video/motion.h"
#include "modules/video/vca.h"
#include "common/records/vca.h"

namespace {
// Reply code -> answer. One line per waiting request of the module.
const VideoReplyEntry kVideoReplies[] = {
    {REPLY_MOTION_MAP, sizeof(MotionMapRecord), REPLY_TEXT, on_get_motion_map_cb},

    // ---- Video content analysis, camera-side detectors, fisheye, regional counting ----
#define VCA_REPLY(request, Rec, kind, fn) {(request) + IPC_REPLY_OFFSET, sizeof(Rec), kind, fn}
    VCA_REPLY(IPC_VCA_REGION0_GET, VcaAnalysisRecord, REPLY_JSON, on_vca_analysis_cb),
    VCA_REPLY(IPC_VCA_REGION1_GET, VcaAnalysisRecord, REPLY_JSON, on_vca_analysis_cb),
    VCA_REPLY(IPC_VCA_MOTION_GET, VcaAnalysisRecord, REPLY_JSON, on_vca_analysis_cb),
    VCA_REPLY(IPC_VCA_TAMPER_GET, VcaAnalysisRecord, REPLY_JSON, on_vca_analysis_cb),
    VCA_REPLY(IPC_VCA_LINE_GET, VcaLineRecord, REPLY_JSON, on_vca_line_cb),
    VCA_REPLY(IPC_VCA_LOITER_GET, VcaAnalysisRecord, REPLY_JSON, on_vca_analysis_cb),
    VCA_REPLY(IPC_VCA_HUMAN_GET, VcaAnalysisRecord, REPLY_JSON, on_vca_analysis_cb),
    VCA_REPLY(IPC_VCA_PEOPLE_GET, VcaPeopleRecord, REPLY_JSON, on_vca_people_cb),
    VCA_REPLY(IPC_VCA_SUPPORT, VcaSupportReply, REPLY_JSON, on_vca_support_cb),
    VCA_REPLY(IPC_VCA_SETTINGS_GET, VcaSettingsRecord, REPLY_JSON, on_vca_settings_cb),
    VCA_REPLY(IPC_VCA_LEFT_REMOVED_GET, VcaLeftRemovedRecord, REPLY_JSON, on_vca_leftremove_cb),
    VCA_REPLY(IPC_VCA_LINE2_GET, VcaLine2Record, REPLY_JSON, on_vca_line2_cb),
    VCA_REPLY(IPC_VCA_SETTINGS2_GET, VcaSettings2Record, REPLY_JSON, on_vca_settings2_cb),
    VCA_REPLY(IPC_VCA_REGION0_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_REGION1_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_MOTION_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_TAMPER_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_LINE_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_LOITER_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_HUMAN_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_PEOPLE_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_LINE2_SET, int32_t, REPLY_TEXT, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_SETTINGS_SET, int32_t, REPLY_JSON, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_PEOPLE_CLEAR, int32_t, REPLY_JSON, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_LEFT_REMOVED_SET, int32_t, REPLY_JSON, on_vca_status_cb),
    VCA_REPLY(IPC_VCA_SETTINGS2_SET, int32_t, REPLY_JSON, on_vca_status_cb),
    VCA_REPLY(IPC_FISHEYE_MODE_SET, int32_t, REPLY_JSON, on_vca_status_cb),
    VCA_REPLY(IPC_CAMERAIO_GET, CameraIoReply, REPLY_JSON, on_cameraio_cb),
    VCA_REPLY(IPC_VOLUMEDETECT_GET, VolumeDetectReply, REPLY_JSON, on_volumedetect_cb),
    VCA_REPLY(IPC_FISHEYE_MODE_GET, FisheyeMode, REPLY_TEXT, on_fisheye_mode_cb),
    VCA_REPLY(IPC_FISHEYE_CHECK, FisheyeSupport, REPLY_JSON, on_fisheye_check_cb),
    VCA_REPLY(IPC_FISHEYE_SET, int32_t, REPLY_JSON, on_vca_res_cb),
    VCA_REPLY(IPC_REGIONAL_PCNT_GET, RegionalPcntRecord, REPLY_JSON, on_regional_pcnt_cb),
    VCA_REPLY(IPC_REGIONAL_PCNT_SET, int32_t, REPLY_JSON, on_vca_res_cb),
#undef VCA_REPLY

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
