// Route list of the alarm module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_ALARM, kRoutes).
#include "frontend/route_table.h"
#include "modules/alarm/alarm.h"

namespace {
const WebRes kRoutes[] = {
    {"/6020", on_get_alarmout_list},
    {"/6021", on_get_nvr_alarm_output},
    {"/6022", on_set_nvr_alarm_output},
    {"/6023", on_set_nvr_alarm_output_state},
    {"/6024", on_get_camera_alarm_input},
    {"/6025", on_set_camera_alarm_input},
    {"/6026", on_get_nvr_alarm_input},
    {"/6027", on_set_nvr_alarm_input},
    {"/6028", on_get_camera_alarm_output},
    {"/6029", on_set_camera_alarm_output},
    {"/6032", on_get_all_alarmout_names},
    {"/6033", on_set_camera_alarm_output_state},
    {"/6034", on_get_all_alarmin_names},
    {"/6060", on_get_alarmin_list},
    {"/6061", on_get_alarm_in},
    {"/6062", on_set_alarm_in_with_schedule},
    {"/6063", on_set_alarm_in_basic},
    {"/6064", on_set_alarm_in},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_ALARM, kRoutes)
