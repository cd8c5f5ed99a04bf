// Motion detection: settings, actions and schedules per channel, the camera's
// motion map, and the save-and-copy of the motion page.
#pragma once
#include <cstddef>

// Routes (the request text as the front end hands it over).
int on_get_movedetect_info(char *request);     // /6010
int OnGetMotionSchedule(char *request);        // /6011
int on_set_movedetect_info(char *request);     // /6012
int OnSetMotionSchedule(char *request);        // /6013
int on_get_motion_map(char *request);          // /6098
int on_set_movedetect_batch(char *request);    // /6112
int on_set_movedetect_sche(char *request);     // /6113
int on_set_movedetect_simple(char *request);   // /6114
int on_set_move_action(char *request);         // /6117
int on_set_move_email_sche(char *request);     // /6118
int on_set_move_others(char *request);         // /6119
int on_get_move_email_sche(char *request);     // /6120
int on_set_move_effective_sche(char *request); // /6152
int on_get_move_effective_sche(char *request); // /6153
int on_get_move_ptz_sche(char *request);       // /6158
int on_set_move_ptz_sche(char *request);       // /6159

// Reply 8206 (motion map), from the module's reply table.
void on_get_motion_map_cb(const void *header, const void *payload, size_t count);
