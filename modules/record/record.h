// Record module: holidays, the recording schedule and mode of each channel,
// the pre- and post-alarm recording parameters and the camera-side storage
// fallback (ANR), with the module's reply dispatcher.
#pragma once
#include "common/reply_table.h"

// Routes (the request text as the front end hands it over).
int on_get_holiday_info(char *request);      // /6030
int on_set_holiday_info(char *request);      // /6031
int on_get_record_info(char *request);       // /6040
int on_set_record_info(char *request);       // /6041
int on_get_record_mode_info(char *request);  // /6042
int on_set_record_mode_info(char *request);  // /6043
int on_get_record_param_info(char *request); // /6044
int on_set_record_param_info(char *request); // /6045
int on_get_anr_support_info(char *request);  // /6046
int on_get_record_stream_info(char *request); // /6047

// The module's reply callback: 7285, 7286 and 8218, each answered only from
// a whole record (a shorter reply runs into the time-out reply).
void on_record_ipc_callback(int unused, const void *header, const void *payload);

// Answers of the reply table (record_settings.cpp).
void on_record_anr_cb(const IpcReply &reply);         // 7285
void on_record_anr_support_cb(const IpcReply &reply); // 7286
void on_record_streams_cb(const IpcReply &reply);     // 8218

// Shared by the module's files: the channel of a request text that is the
// channel number alone ("5"), or -1 when the text is not a channel 0..63.
int record_text_channel(const char *request);
