// PTZ module: moves, presets, patterns, tours run and stop, zoom, the
// camera's PTZ speed, control command, light and basic options
// (control.cpp); serial settings, stored speeds and stored tours
// (settings.cpp); one reply dispatcher for all (ptz_ipc.cpp).
#pragma once
#include <cstdint>

#include "common/records/ptz.h"
#include "common/reply_table.h"

// ---- Routes --------------------------------------------------------------------------------
int on_send_ptz_cmd(char *request);          // /5000
int on_preset_op(char *request);             // /5001
int on_set_ptz_tour_run(char *request);      // /5002
int on_set_ptz_tour_stop(char *request);     // /5003
int on_set_ptz_pattern(char *request);       // /5004
int on_get_ptz_info(char *request);          // /5005
int on_set_ptz_preset_call(char *request);   // /5006
int on_set_ptz_zomm(char *request);          // /5007
int on_set_ipc_speed(char *request);         // /5008
int on_cgi_set_ptz_control(char *request);   // /5009
int on_cgi_get_led_status(char *request);    // /5010
int on_cgi_get_ptz_basic(char *request);     // /5011
int on_cgi_set_ptz_basic(char *request);     // /5012
int on_get_ptzport_info(char *request);      // /6050
int on_set_ptzport_info(char *request);      // /6051
int on_get_ptzsupport_info(char *request);   // /6052
int on_get_ptz_speed(char *request);         // /6053
int on_set_ptz_speed(char *request);         // /6054
int on_set_ptz_tour_set(char *request);      // /6055
int on_set_fish_ptz_tour_set(char *request); // /6056
int on_set_ptz_tour_clear(char *request);    // /6057

// ---- Reply dispatcher and shared helpers (ptz_ipc.cpp) ----------------------------------------
void on_ptz_ipc_callback(int unused, const void *header, const void *payload);

// Sends a waiting request with on_ptz_ipc_callback; the time-out writes the
// error reply of `error_kind`. Returns g_callback_done (0: timed out).
int ptz_request(int code, int length, const void *payload, int error_kind);
template <class T> int ptz_request(int code, const T &record, int error_kind)
{
    return ptz_request(code, static_cast<int>(sizeof(T)), &record, error_kind);
}

// Operation-log sub type and parameter types of the module.
enum { PTZ_OPLOG_SUB = 206, PTZ_OPLOG_MOVE = 900, PTZ_OPLOG_SETTING = 904 };
// Log record of a change on `channel` (its number + 1 goes into the record).
void ptz_log(int param_type, int channel);
