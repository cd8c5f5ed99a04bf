// Route list of the PTZ module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_PTZ, kRoutes).
#include "frontend/route_table.h"
#include "modules/ptz/ptz.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Control (control.cpp).
    NVRWEB_ROUTE("/5000", on_send_ptz_cmd),
    NVRWEB_ROUTE("/5001", on_preset_op),
    NVRWEB_ROUTE("/5002", on_set_ptz_tour_run),
    NVRWEB_ROUTE("/5003", on_set_ptz_tour_stop),
    NVRWEB_ROUTE("/5004", on_set_ptz_pattern),
    NVRWEB_ROUTE("/5005", on_get_ptz_info),
    NVRWEB_ROUTE("/5006", on_set_ptz_preset_call),
    NVRWEB_ROUTE("/5007", on_set_ptz_zomm),
    NVRWEB_ROUTE("/5008", on_set_ipc_speed),
    NVRWEB_ROUTE("/5009", on_cgi_set_ptz_control),
    NVRWEB_ROUTE("/5010", on_cgi_get_led_status),
    NVRWEB_ROUTE("/5011", on_cgi_get_ptz_basic),
    NVRWEB_ROUTE("/5012", on_cgi_set_ptz_basic),
    // Stored settings and tours (settings.cpp).
    NVRWEB_ROUTE("/6050", on_get_ptzport_info),
    NVRWEB_ROUTE("/6051", on_set_ptzport_info),
    NVRWEB_ROUTE("/6052", on_get_ptzsupport_info),
    NVRWEB_ROUTE("/6053", on_get_ptz_speed),
    NVRWEB_ROUTE("/6054", on_set_ptz_speed),
    NVRWEB_ROUTE("/6055", on_set_ptz_tour_set),
    NVRWEB_ROUTE("/6056", on_set_fish_ptz_tour_set),
    NVRWEB_ROUTE("/6057", on_set_ptz_tour_clear),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_PTZ, kRoutes)
