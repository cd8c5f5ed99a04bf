// Alarm module: the recorder's alarm inputs and outputs and those of the
// cameras (names, types, states, schedules and the actions an input
// triggers), disarming, manual switching of outputs and copies of one
// alarm's settings to others.
#pragma once
#include <cstddef>

// Recorder alarm inputs and outputs (nvr_alarm.cpp).
int on_get_alarmout_list(char *request);           // /6020
int on_get_nvr_alarm_output(char *request);        // /6021
int on_set_nvr_alarm_output(char *request);        // /6022
int on_set_nvr_alarm_output_state(char *request);  // /6023
int on_get_nvr_alarm_input(char *request);         // /6026
int on_set_nvr_alarm_input(char *request);         // /6027
int on_get_all_alarmout_names(char *request);      // /6032
int on_get_all_alarmin_names(char *request);       // /6034
int on_get_alarmin_list(char *request);            // /6060
int on_get_alarm_in(char *request);                // /6061
int on_set_alarm_in_with_schedule(char *request);  // /6062
int on_set_alarm_in_basic(char *request);          // /6063
int on_set_alarm_in(char *request);                // /6064

// Camera alarm inputs and outputs (camera_alarm.cpp).
int on_get_camera_alarm_input(char *request);        // /6024
int on_set_camera_alarm_input(char *request);        // /6025
int on_get_camera_alarm_output(char *request);       // /6028
int on_set_camera_alarm_output(char *request);       // /6029
int on_set_camera_alarm_output_state(char *request); // /6033

// Reply dispatcher of the module (alarm_ipc.cpp): the reply code selects the
// entry of the module's reply table. A reply without a whole record is
// ignored (the request then ends in its time-out reply); otherwise the
// entry takes the first record and the completion flag is set. The request
// thread builds the answer from it after the wait.
void on_alarm_ipc_callback(int unused, const void *header, const void *payload);

struct CamAlarmInState;
struct CamAlarmOutState;
// The camera states of the last answered request (valid once the wait of
// that request ended with g_callback_done set).
const CamAlarmInState &alarm_reply_in_state();
const CamAlarmOutState &alarm_reply_out_state();
