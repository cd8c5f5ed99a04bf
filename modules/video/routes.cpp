// Route list of the video module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes).
#include "frontend/route_table.h"
#include "modules/video/event_actions.h"
#include "modules/video/motion.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Motion detection and its schedules.
    {"/6010", NVRWEB_HANDLER(on_get_movedetect_info)},
    {"/6011", NVRWEB_HANDLER(OnGetMotionSchedule)},
    {"/6012", NVRWEB_HANDLER(on_set_movedetect_info)},
    {"/6013", NVRWEB_HANDLER(OnSetMotionSchedule)},
    {"/6098", NVRWEB_HANDLER(on_get_motion_map)},
    {"/6112", NVRWEB_HANDLER(on_set_movedetect_batch)},
    {"/6113", NVRWEB_HANDLER(on_set_movedetect_sche)},
    {"/6114", NVRWEB_HANDLER(on_set_movedetect_simple)},
    {"/6117", NVRWEB_HANDLER(on_set_move_action)},
    {"/6118", NVRWEB_HANDLER(on_set_move_email_sche)},
    {"/6119", NVRWEB_HANDLER(on_set_move_others)},
    {"/6120", NVRWEB_HANDLER(on_get_move_email_sche)},
    {"/6152", NVRWEB_HANDLER(on_set_move_effective_sche)},
    {"/6153", NVRWEB_HANDLER(on_get_move_effective_sche)},
    {"/6158", NVRWEB_HANDLER(on_get_move_ptz_sche)},
    {"/6159", NVRWEB_HANDLER(on_set_move_ptz_sche)},
    // Alarm input actions and PTZ action targets.
    {"/6125", NVRWEB_HANDLER(on_set_alarmin_audible_sche)},
    {"/6126", NVRWEB_HANDLER(on_set_alarmin_email_sche)},
    {"/6127", NVRWEB_HANDLER(on_set_alarm_others)},
    {"/6128", NVRWEB_HANDLER(on_get_alarmin_email_sche)},
    {"/6129", NVRWEB_HANDLER(on_get_alarmin_audible_sche)},
    {"/6160", NVRWEB_HANDLER(on_set_ptz_params)},
    {"/6161", NVRWEB_HANDLER(on_get_ptz_params)},
    {"/6162", NVRWEB_HANDLER(on_delete_ptz_params)},
    {"/6163", NVRWEB_HANDLER(on_update_ptz_params)},
    {"/6164", NVRWEB_HANDLER(on_delete_ptz_params_batch)},
    {"/6167", NVRWEB_HANDLER(on_set_alarmin_ptz_sche)},
    {"/6168", NVRWEB_HANDLER(on_get_alarmin_ptz_sche)},
    {"/6169", NVRWEB_HANDLER(on_get_alarmin_effective_sche)},
    {"/6170", NVRWEB_HANDLER(on_set_alarmin_effective_sche)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
