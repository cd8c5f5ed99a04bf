// The camera module's reply dispatcher: one table of the reply codes it
// answers, each with its record size and answer.
#include "common/ipc.h"
#include "common/records/camera_features.h"
#include "common/records/camera_params.h"
#include "common/records/camera_upgrade.h"
#include "common/records/people_counting.h"
#include "common/reply_table.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"
#include "modules/camera/relay.h"

namespace {

#define R(request) ((request) + IPC_REPLY_OFFSET)
// Short replies: the channel routes' lists (search, camera list) go to
// their answer with no record; where the route states an answer to a short
// reply it is given at once; the other image and stream settings wait on
// into their time-out.
const IpcReplyRoute kCameraReplies[] = {
    // Channels and discovery.
    {R(IPC_CAMERA_MODEL_TYPE), sizeof(int32_t), on_ipc_model_type_cb, REPLY_TEXT, nullptr},
    {R(IPC_CHANNEL_MODELS), MAX_CAMERAS * sizeof(ChannelModelEntry), on_channels_model_cb, REPLY_JSON, nullptr},
    {8100, 36, on_day_flags_cb, REPLY_JSON, nullptr},
    {R(IPC_CAMERA_SEARCH), sizeof(CameraSearchRecord), on_ipc_search_cb, SHORT_PASS, nullptr},
    {R(IPC_CAMERA_LIST), sizeof(CameraListRecord), on_ipc_list_cb, SHORT_PASS, nullptr},
    {R(IPC_CAMERA_TEST), sizeof(int32_t), on_ipc_test_cb, REPLY_TEXT, nullptr},
    {R(IPC_CAMERA_NETWORK), sizeof(int32_t), on_ipc_network_cb, REPLY_JSON, nullptr},
    {R(IPC_CAMERA_TEST2), sizeof(int32_t), on_ipc_test_cb, REPLY_TEXT, nullptr},
    {R(IPC_CAMERA_NETWORK_RESULT), sizeof(CameraBatchResult), on_ipc_batch_result_cb, REPLY_JSON, nullptr},
    // Image and stream settings kept in the camera.
    {R(IPC_CAM_STREAM_SET), sizeof(CamStreamResult), on_stream_result_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_STREAM_GET), sizeof(CamStreamReply), on_stream_params_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_ENHANCE_GET), sizeof(CamEnhanceReply), on_enhance_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_DISPLAY_GET), sizeof(CamDisplayRecord), on_display_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_DISPLAY_SET), sizeof(int32_t), on_relay_status_text_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_PARAM_GET), sizeof(CamParamReply), on_param_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_PARAM_SET), sizeof(int32_t), on_relay_status_text_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_AREAS_GET), sizeof(CamAreasReply), on_areas_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_SCHEDULE_A_GET), sizeof(CamScheduleReply), on_schedule_a_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_EXPOSURE_SCHED_GET), sizeof(CamExposureScheduleReply), on_exposure_schedule_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_SCHEDULE_C_GET), sizeof(CamScheduleReply), on_schedule_c_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_DAY_NIGHT_GET), sizeof(CamDayNightRecord), on_day_night_cb, SHORT_WAIT, nullptr},
    {R(IPC_CAM_REGION_GET), sizeof(CamRegionReply), on_region_cb, REPLY_JSON, nullptr},
    {R(IPC_CAM_REGION_SET), sizeof(int32_t), on_relay_status_json_cb, REPLY_JSON, "res"},
    {R(IPC_CAM_QUERY), 1, on_query_cb, REPLY_TEXT, nullptr},
    // Camera features.
    {R(IPC_CAM_WATERMARK_GET), sizeof(CamWatermarkReply), on_watermark_cb, REPLY_JSON, nullptr},
    {R(IPC_CAM_WATERMARK_SET), sizeof(int32_t), on_relay_status_json_cb, REPLY_JSON, "res"},
    {R(IPC_CAM_EVENT_STREAM_GET), sizeof(CamEventStream), on_event_stream_cb, REPLY_JSON, nullptr},
    {R(IPC_CAM_EVENT_STREAM_SET), sizeof(int32_t), on_relay_status_json_cb, REPLY_JSON, "res"},
    {R(IPC_CAM_NIGHT_MODE_GET), sizeof(CamNightMode), on_night_mode_cb, REPLY_JSON, nullptr},
    {R(IPC_CAM_PTZ_SUPPORT), sizeof(int32_t), on_relay_status_json_cb, REPLY_JSON, "res"},
    {R(IPC_CAM_TRACKING_GET), sizeof(CamTrackingReply), on_tracking_cb, REPLY_JSON, nullptr},
    {R(IPC_CAM_AUDIO_GET), sizeof(CamAudioReply), on_audio_cb, REPLY_JSON, nullptr},
    {R(IPC_CAM_AUDIO_SET), sizeof(int32_t), on_relay_status_text_cb, REPLY_JSON, nullptr},
    {R(IPC_CAM_TRACKING_SET), sizeof(int32_t), on_relay_status_json_cb, REPLY_JSON, "res"},
    {R(IPC_CAM_CAPABILITIES), sizeof(CamCapabilities), on_capabilities_cb, REPLY_JSON, nullptr},
    {R(IPC_CAM_CUSTOM_PARAM), sizeof(CamCustomReply), on_custom_param_cb, REPLY_JSON, nullptr},
    // People counting, POS and face detection.
    {R(IPC_PCNT_SETTINGS_CHANGED), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON, nullptr},
    {R(IPC_PCNT_DB_RESET), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON, nullptr},
    {R(IPC_PCNT_LIVEVIEW_RESET), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON, nullptr},
    {R(IPC_PCNT_ACTION_CHANGED), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON, nullptr},
    {R(IPC_POS_CHANGED), sizeof(int32_t), on_pcnt_res_cb, REPLY_JSON, nullptr},
    {R(IPC_PCNT_BACKUP_CHANGED), 1, on_report_backup_cb, SHORT_PASS, nullptr},
    {R(IPC_FACE_CONFIG), sizeof(int32_t), on_face_config_cb, REPLY_JSON, nullptr},
    // Camera upgrade and device queries.
    {R(IPC_RECORD_DAYS), sizeof(RecordDaysReply), on_record_days_cb, REPLY_JSON, nullptr},
    {R(IPC_GUI_COMMAND), 1, on_gui_command_cb, REPLY_TEXT, nullptr},
    {R(IPC_GUI_COMMAND) + 1, 1, on_gui_command_cb, REPLY_TEXT, nullptr},
    {R(IPC_CHIP_CODE), 1, on_chip_code_cb, REPLY_TEXT, nullptr},
    {R(IPC_MOTION_STATE), sizeof(uint64_t), on_motion_state_cb, REPLY_TEXT, nullptr},
    {R(IPC_CAMERA_TYPE), sizeof(CameraTypeReply), on_camera_type_cb, REPLY_JSON, nullptr},
    {R(IPC_UPGRADE_CHECK), sizeof(int32_t), on_upgrade_check_cb, REPLY_JSON, nullptr},
    {R(IPC_UPGRADE_STATUS), sizeof(UpgradeStatus), on_upgrade_status_cb, REPLY_TEXT, nullptr},
    {R(IPC_UPGRADE_START), sizeof(UpgradeStatus), on_upgrade_start_cb, REPLY_JSON, nullptr},
};
// The one reply whose emptiness is itself answered (the query's text).
const int kAnswersEmpty = R(IPC_CAM_QUERY);
#undef R

} // namespace

void on_camera_ipc_callback(int, const void *header, const void *payload)
{
    if (!payload && ipc_reply_code(header) != kAnswersEmpty) return;
    IPC_DISPATCH(kCameraReplies, "dispatchreq", header, payload);
}
