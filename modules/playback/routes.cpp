// Route list of the playback module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_PLAYBACK, kRoutes).
#include "frontend/route_table.h"
#include "modules/playback/playback.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Image parameters and the busy query.
    NVRWEB_ROUTE("/3000", on_get_image_param),
    NVRWEB_ROUTE("/3001", on_set_image_param),
    NVRWEB_ROUTE("/3002", on_reset_image_param),
    NVRWEB_ROUTE("/3003", on_step_playback_batch),
    NVRWEB_ROUTE("/3004", on_get_playback_busy),
    // Search and playback sessions.
    NVRWEB_ROUTE("/4000", on_search_playback),
    NVRWEB_ROUTE("/4001", on_start_playback),
    NVRWEB_ROUTE("/4002", on_get_play_time),
    NVRWEB_ROUTE("/4003", on_stop_playback),
    NVRWEB_ROUTE("/4004", on_pause_playback),
    NVRWEB_ROUTE("/4005", on_resume_playback),
    NVRWEB_ROUTE("/4006", on_step_foward_playback),
    NVRWEB_ROUTE("/4007", on_fastforward_playback),
    NVRWEB_ROUTE("/4008", on_slowforward_playback),
    NVRWEB_ROUTE("/4009", on_jump_playback),
    // Live streams.
    NVRWEB_ROUTE("/4010", on_start_live),
    NVRWEB_ROUTE("/4011", on_stop_live),
    NVRWEB_ROUTE("/4012", on_stop_all_live),
    // Recording download.
    NVRWEB_ROUTE("/4013", on_download_record),
    NVRWEB_ROUTE("/4014", on_log_playback_op),
    NVRWEB_ROUTE("/4015", on_check_channel),
    NVRWEB_ROUTE("/4016", on_check_channel),
    NVRWEB_ROUTE("/4017", on_log_playback_user),
    NVRWEB_ROUTE("/4018", on_get_rtsp_addr),
    NVRWEB_ROUTE("/4019", on_get_download_state),
    NVRWEB_ROUTE("/4020", on_start_sync_playback),
    NVRWEB_ROUTE("/4021", on_get_extern_port),
    NVRWEB_ROUTE("/4022", on_set_speed_playback),
    NVRWEB_ROUTE("/4023", on_get_search_page),
    NVRWEB_ROUTE("/4024", on_log_playback_end),
    NVRWEB_ROUTE("/4025", on_set_transcoding),
    NVRWEB_ROUTE("/4026", on_get_transcoding),
    NVRWEB_ROUTE("/4027", on_cancel_download),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_PLAYBACK, kRoutes)
