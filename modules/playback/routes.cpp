// Route list of the playback module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_PLAYBACK, kRoutes).
#include "frontend/route_table.h"
#include "modules/playback/playback.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Image parameters and the busy query.
    {"/3000", NVRWEB_HANDLER(on_get_image_param)},
    {"/3001", NVRWEB_HANDLER(on_set_image_param)},
    {"/3002", NVRWEB_HANDLER(on_reset_image_param)},
    {"/3003", NVRWEB_HANDLER(on_step_playback_batch)},
    {"/3004", NVRWEB_HANDLER(on_get_playback_busy)},
    // Search and playback sessions.
    {"/4000", NVRWEB_HANDLER(on_search_playback)},
    {"/4001", NVRWEB_HANDLER(on_start_playback)},
    {"/4002", NVRWEB_HANDLER(on_get_play_time)},
    {"/4003", NVRWEB_HANDLER(on_stop_playback)},
    {"/4004", NVRWEB_HANDLER(on_pause_playback)},
    {"/4005", NVRWEB_HANDLER(on_resume_playback)},
    {"/4006", NVRWEB_HANDLER(on_step_foward_playback)},
    {"/4007", NVRWEB_HANDLER(on_fastforward_playback)},
    {"/4008", NVRWEB_HANDLER(on_slowforward_playback)},
    {"/4009", NVRWEB_HANDLER(on_jump_playback)},
    // Live streams.
    {"/4010", NVRWEB_HANDLER(on_start_live)},
    {"/4011", NVRWEB_HANDLER(on_stop_live)},
    {"/4012", NVRWEB_HANDLER(on_stop_all_live)},
    // Recording download.
    {"/4013", NVRWEB_HANDLER(on_download_record)},
    {"/4014", NVRWEB_HANDLER(on_log_playback_op)},
    {"/4015", NVRWEB_HANDLER(on_check_channel)},
    {"/4016", NVRWEB_HANDLER(on_check_channel)},
    {"/4017", NVRWEB_HANDLER(on_log_playback_user)},
    {"/4018", NVRWEB_HANDLER(on_get_rtsp_addr)},
    {"/4019", NVRWEB_HANDLER(on_get_download_state)},
    {"/4020", NVRWEB_HANDLER(on_start_sync_playback)},
    {"/4021", NVRWEB_HANDLER(on_get_extern_port)},
    {"/4022", NVRWEB_HANDLER(on_set_speed_playback)},
    {"/4023", NVRWEB_HANDLER(on_get_search_page)},
    {"/4024", NVRWEB_HANDLER(on_log_playback_end)},
    {"/4025", NVRWEB_HANDLER(on_set_transcoding)},
    {"/4026", NVRWEB_HANDLER(on_get_transcoding)},
    {"/4027", NVRWEB_HANDLER(on_cancel_download)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_PLAYBACK, kRoutes)
