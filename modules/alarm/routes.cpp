// Route list of the alarm module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_ALARM, kRoutes).
#include "frontend/route_table.h"
#include "modules/alarm/alarm.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    {"/6020", NVRWEB_HANDLER(on_get_alarmout_list)},
    {"/6021", NVRWEB_HANDLER(on_get_nvr_alarm_output)},
    {"/6022", NVRWEB_HANDLER(on_set_nvr_alarm_output)},
    {"/6023", NVRWEB_HANDLER(on_set_nvr_alarm_output_state)},
    {"/6024", NVRWEB_HANDLER(on_get_camera_alarm_input)},
    {"/6025", NVRWEB_HANDLER(on_set_camera_alarm_input)},
    {"/6026", NVRWEB_HANDLER(on_get_nvr_alarm_input)},
    {"/6027", NVRWEB_HANDLER(on_set_nvr_alarm_input)},
    {"/6028", NVRWEB_HANDLER(on_get_camera_alarm_output)},
    {"/6029", NVRWEB_HANDLER(on_set_camera_alarm_output)},
    {"/6032", NVRWEB_HANDLER(on_get_all_alarmout_names)},
    {"/6033", NVRWEB_HANDLER(on_set_camera_alarm_output_state)},
    {"/6034", NVRWEB_HANDLER(on_get_all_alarmin_names)},
    {"/6060", NVRWEB_HANDLER(on_get_alarmin_list)},
    {"/6061", NVRWEB_HANDLER(on_get_alarm_in)},
    {"/6062", NVRWEB_HANDLER(on_set_alarm_in_with_schedule)},
    {"/6063", NVRWEB_HANDLER(on_set_alarm_in_basic)},
    {"/6064", NVRWEB_HANDLER(on_set_alarm_in)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_ALARM, kRoutes)
