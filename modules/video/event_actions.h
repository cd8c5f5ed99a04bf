// Event actions: the action settings of the recorder's alarm inputs that the
// event pages change for several inputs at once, and the PTZ action targets
// of every event type.
#pragma once

// Alarm input actions (alarmin_actions.cpp).
int on_set_alarmin_audible_sche(char *request);   // /6125
int on_set_alarmin_email_sche(char *request);     // /6126
int on_set_alarm_others(char *request);           // /6127
int on_get_alarmin_email_sche(char *request);     // /6128
int on_get_alarmin_audible_sche(char *request);   // /6129
int on_set_alarmin_ptz_sche(char *request);       // /6167
int on_get_alarmin_ptz_sche(char *request);       // /6168
int on_get_alarmin_effective_sche(char *request); // /6169
int on_set_alarmin_effective_sche(char *request); // /6170

// PTZ action targets of an event source (ptz_actions.cpp).
int on_set_ptz_params(char *request);          // /6160
int on_get_ptz_params(char *request);          // /6161
int on_delete_ptz_params(char *request);       // /6162
int on_update_ptz_params(char *request);       // /6163
int on_delete_ptz_params_batch(char *request); // /6164
