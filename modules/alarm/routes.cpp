// Route list of the alarm module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_ALARM, kRoutes).
#include "frontend/route_table.h"
#include "modules/alarm/alarm.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    NVRWEB_ROUTE("/6020", on_get_alarmout_list),
    NVRWEB_ROUTE("/6021", on_get_nvr_alarm_output),
    NVRWEB_ROUTE("/6022", on_set_nvr_alarm_output),
    NVRWEB_ROUTE("/6023", on_set_nvr_alarm_output_state),
    NVRWEB_ROUTE("/6024", on_get_camera_alarm_input),
    NVRWEB_ROUTE("/6025", on_set_camera_alarm_input),
    NVRWEB_ROUTE("/6026", on_get_nvr_alarm_input),
    NVRWEB_ROUTE("/6027", on_set_nvr_alarm_input),
    NVRWEB_ROUTE("/6028", on_get_camera_alarm_output),
    NVRWEB_ROUTE("/6029", on_set_camera_alarm_output),
    NVRWEB_ROUTE("/6032", on_get_all_alarmout_names),
    NVRWEB_ROUTE("/6033", on_set_camera_alarm_output_state),
    NVRWEB_ROUTE("/6034", on_get_all_alarmin_names),
    NVRWEB_ROUTE("/6060", on_get_alarmin_list),
    NVRWEB_ROUTE("/6061", on_get_alarm_in),
    NVRWEB_ROUTE("/6062", on_set_alarm_in_with_schedule),
    NVRWEB_ROUTE("/6063", on_set_alarm_in_basic),
    NVRWEB_ROUTE("/6064", on_set_alarm_in),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_ALARM, kRoutes)
