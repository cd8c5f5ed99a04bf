// Route list of the video module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes).
#include "frontend/route_table.h"
#include "modules/video/event_actions.h"
#include "modules/video/motion.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Motion detection and its schedules.
    NVRWEB_ROUTE("/6010", on_get_movedetect_info),
    NVRWEB_ROUTE("/6011", OnGetMotionSchedule),
    NVRWEB_ROUTE("/6012", on_set_movedetect_info),
    NVRWEB_ROUTE("/6013", OnSetMotionSchedule),
    NVRWEB_ROUTE("/6098", on_get_motion_map),
    NVRWEB_ROUTE("/6112", on_set_movedetect_batch),
    NVRWEB_ROUTE("/6113", on_set_movedetect_sche),
    NVRWEB_ROUTE("/6114", on_set_movedetect_simple),
    NVRWEB_ROUTE("/6117", on_set_move_action),
    NVRWEB_ROUTE("/6118", on_set_move_email_sche),
    NVRWEB_ROUTE("/6119", on_set_move_others),
    NVRWEB_ROUTE("/6120", on_get_move_email_sche),
    NVRWEB_ROUTE("/6152", on_set_move_effective_sche),
    NVRWEB_ROUTE("/6153", on_get_move_effective_sche),
    NVRWEB_ROUTE("/6158", on_get_move_ptz_sche),
    NVRWEB_ROUTE("/6159", on_set_move_ptz_sche),
    // Alarm input actions and PTZ action targets.
    NVRWEB_ROUTE("/6125", on_set_alarmin_audible_sche),
    NVRWEB_ROUTE("/6126", on_set_alarmin_email_sche),
    NVRWEB_ROUTE("/6127", on_set_alarm_others),
    NVRWEB_ROUTE("/6128", on_get_alarmin_email_sche),
    NVRWEB_ROUTE("/6129", on_get_alarmin_audible_sche),
    NVRWEB_ROUTE("/6160", on_set_ptz_params),
    NVRWEB_ROUTE("/6161", on_get_ptz_params),
    NVRWEB_ROUTE("/6162", on_delete_ptz_params),
    NVRWEB_ROUTE("/6163", on_update_ptz_params),
    NVRWEB_ROUTE("/6164", on_delete_ptz_params_batch),
    NVRWEB_ROUTE("/6167", on_set_alarmin_ptz_sche),
    NVRWEB_ROUTE("/6168", on_get_alarmin_ptz_sche),
    NVRWEB_ROUTE("/6169", on_get_alarmin_effective_sche),
    NVRWEB_ROUTE("/6170", on_set_alarmin_effective_sche),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
