// Route list of the playback module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_PLAYBACK, kRoutes).
#include "frontend/route_table.h"
#include "modules/playback/playback.h"

namespace {
const WebRes kRoutes[] = {
    // Image parameters and the busy query.
    {"/3000", on_get_image_param},
    {"/3001", on_set_image_param},
    {"/3002", on_reset_image_param},
    {"/3003", on_step_playback_batch},
    {"/3004", on_get_playback_busy},
    // Search and playback sessions.
    {"/4000", on_search_playback},
    {"/4001", on_start_playback},
    {"/4002", on_get_play_time},
    {"/4003", on_stop_playback},
    {"/4004", on_pause_playback},
    {"/4005", on_resume_playback},
    {"/4006", on_step_foward_playback},
    {"/4007", on_fastforward_playback},
    {"/4008", on_slowforward_playback},
    {"/4009", on_jump_playback},
    // Live streams.
    {"/4010", on_start_live},
    {"/4011", on_stop_live},
    {"/4012", on_stop_all_live},
    // Recording download.
    {"/4013", on_download_record},
    {"/4014", on_log_playback_op},
    {"/4015", on_check_channel},
    {"/4016", on_check_channel},
    {"/4017", on_log_playback_user},
    {"/4018", on_get_rtsp_addr},
    {"/4019", on_get_download_state},
    {"/4020", on_start_sync_playback},
    {"/4021", on_get_extern_port},
    {"/4022", on_set_speed_playback},
    {"/4023", on_get_search_page},
    {"/4024", on_log_playback_end},
    {"/4025", on_set_transcoding},
    {"/4026", on_get_transcoding},
    {"/4027", on_cancel_download},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_PLAYBACK, kRoutes)
