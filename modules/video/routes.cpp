// Route list of the video module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes).
#include "frontend/route_table.h"
#include "modules/video/event_actions.h"
#include "modules/video/motion.h"

namespace {
const WebRes kRoutes[] = {
    // Motion detection and its schedules.
    {"/6010", on_get_movedetect_info},
    {"/6011", OnGetMotionSchedule},
    {"/6012", on_set_movedetect_info},
    {"/6013", OnSetMotionSchedule},
    {"/6098", on_get_motion_map},
    {"/6112", on_set_movedetect_batch},
    {"/6113", on_set_movedetect_sche},
    {"/6114", on_set_movedetect_simple},
    {"/6117", on_set_move_action},
    {"/6118", on_set_move_email_sche},
    {"/6119", on_set_move_others},
    {"/6120", on_get_move_email_sche},
    {"/6152", on_set_move_effective_sche},
    {"/6153", on_get_move_effective_sche},
    {"/6158", on_get_move_ptz_sche},
    {"/6159", on_set_move_ptz_sche},
    // Alarm input actions and PTZ action targets.
    {"/6125", on_set_alarmin_audible_sche},
    {"/6126", on_set_alarmin_email_sche},
    {"/6127", on_set_alarm_others},
    {"/6128", on_get_alarmin_email_sche},
    {"/6129", on_get_alarmin_audible_sche},
    {"/6160", on_set_ptz_params},
    {"/6161", on_get_ptz_params},
    {"/6162", on_delete_ptz_params},
    {"/6163", on_update_ptz_params},
    {"/6164", on_delete_ptz_params_batch},
    {"/6167", on_set_alarmin_ptz_sche},
    {"/6168", on_get_alarmin_ptz_sche},
    {"/6169", on_get_alarmin_effective_sche},
    {"/6170", on_set_alarmin_effective_sche},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
