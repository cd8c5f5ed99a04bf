// Route list of the PTZ module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_PTZ, kRoutes).
#include "frontend/route_table.h"
#include "modules/ptz/ptz.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Control (control.cpp).
    {"/5000", NVRWEB_HANDLER(on_send_ptz_cmd)},
    {"/5001", NVRWEB_HANDLER(on_preset_op)},
    {"/5002", NVRWEB_HANDLER(on_set_ptz_tour_run)},
    {"/5003", NVRWEB_HANDLER(on_set_ptz_tour_stop)},
    {"/5004", NVRWEB_HANDLER(on_set_ptz_pattern)},
    {"/5005", NVRWEB_HANDLER(on_get_ptz_info)},
    {"/5006", NVRWEB_HANDLER(on_set_ptz_preset_call)},
    {"/5007", NVRWEB_HANDLER(on_set_ptz_zomm)},
    {"/5008", NVRWEB_HANDLER(on_set_ipc_speed)},
    {"/5009", NVRWEB_HANDLER(on_cgi_set_ptz_control)},
    {"/5010", NVRWEB_HANDLER(on_cgi_get_led_status)},
    {"/5011", NVRWEB_HANDLER(on_cgi_get_ptz_basic)},
    {"/5012", NVRWEB_HANDLER(on_cgi_set_ptz_basic)},
    // Stored settings and tours (settings.cpp).
    {"/6050", NVRWEB_HANDLER(on_get_ptzport_info)},
    {"/6051", NVRWEB_HANDLER(on_set_ptzport_info)},
    {"/6052", NVRWEB_HANDLER(on_get_ptzsupport_info)},
    {"/6053", NVRWEB_HANDLER(on_get_ptz_speed)},
    {"/6054", NVRWEB_HANDLER(on_set_ptz_speed)},
    {"/6055", NVRWEB_HANDLER(on_set_ptz_tour_set)},
    {"/6056", NVRWEB_HANDLER(on_set_fish_ptz_tour_set)},
    {"/6057", NVRWEB_HANDLER(on_set_ptz_tour_clear)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_PTZ, kRoutes)
