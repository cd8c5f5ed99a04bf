// Playback module: recording search and playback sessions, live streams,
// image parameters, stream addresses, and the recording download.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>

#include <json-c/json.h>

// ---- Reply dispatcher (playback_ipc.cpp) -------------------------------------------
// Answers from `count` whole records of the reply (0 only for list
// replies); writes the reply or stores what the handler needs, then sets
// g_callback_done.
typedef void (*PlaybackReplyFn)(const void *header, const void *payload, size_t count);

enum { PB_REPLY_LIST = -2, PB_REPLY_QUIET = -1 };
struct PlaybackReplyEntry {
    int reply_code;
    size_t record_size;
    // A reply without a whole record: REPLY_TEXT/REPLY_JSON: that error reply
    // and flag 2; PB_REPLY_QUIET: flag 2 only (the handler answers);
    // PB_REPLY_LIST: the answer function with count 0.
    int short_reply;
    PlaybackReplyFn answer;
};
const PlaybackReplyEntry *playback_reply_entry(int reply_code);

// Reply callback of every waiting request of the module (the download has
// its own). One answer per request: replies after the flag is set, or with
// codes the module does not answer, are ignored.
void on_stream_callback(int unused, const void *header, const void *payload);

// Reply answers (sessions.cpp, live.cpp).
void on_search_result_cb(const void *header, const void *payload, size_t count);  // 6159, 6161
void on_start_playback_cb(const void *header, const void *payload, size_t count); // 6162
void on_sync_started_cb(const void *header, const void *payload, size_t count);   // 8109, 8103
void on_stream_info_cb(const void *header, const void *payload, size_t count);    // 8502
void on_play_time_cb(const void *header, const void *payload, size_t count);      // 6153
void on_jump_cb(const void *header, const void *payload, size_t count);           // 6171
void on_transcode_cb(const void *header, const void *payload, size_t count);      // 6176, 6177
void on_live_cb(const void *header, const void *payload, size_t count);           // 8500
void on_image_param_cb(const void *header, const void *payload, size_t count);    // 8002
void on_busy_cb(const void *header, const void *payload, size_t count);           // 9011
void on_rtsp_addr_cb(const void *header, const void *payload, size_t count);      // 8503
void on_extern_port_cb(const void *header, const void *payload, size_t count);    // 8506

// ---- Shared helpers (playback_ipc.cpp) ----------------------------------------------
// A whole decimal integer (blanks around it allowed), e.g. a channel sent as
// the request text; false for anything else.
bool playback_text_int(const char *text, int *out);
// Parses a time text of `format` into `tm` (zeroed first) and local seconds
// (daylight saving left to the C library). False when the text does not
// parse whole or names no valid time.
bool playback_parse_time(const char *text, const char *format, struct tm *tm, time_t *seconds);
// The number of entries a list request names: "num" cut to the length of
// each array it indexes and to `capacity`; 0 when "num" is below 1.
int playback_list_count(json_object *num, std::initializer_list<json_object *> arrays, int capacity);
// Integer elements 0..count-1 of a JSON array (a non-integer reads 0).
void playback_int_list(json_object *array, int count, int32_t *out);

// ---- Handlers ------------------------------------------------------------------------
// sessions.cpp
int on_search_playback(char *request);        // /4000
int on_start_playback(char *request);         // /4001
int on_get_play_time(char *request);          // /4002
int on_stop_playback(char *request);          // /4003
int on_pause_playback(char *request);         // /4004
int on_resume_playback(char *request);        // /4005
int on_step_foward_playback(char *request);   // /4006
int on_fastforward_playback(char *request);   // /4007
int on_slowforward_playback(char *request);   // /4008
int on_jump_playback(char *request);          // /4009
int on_start_sync_playback(char *request);    // /4020
int on_set_speed_playback(char *request);     // /4022
int on_get_search_page(char *request);        // /4023
int on_set_transcoding(char *request);        // /4025
int on_get_transcoding(char *request);        // /4026
int on_step_playback_batch(char *request);    // /3003
// live.cpp
int on_get_image_param(char *request);        // /3000
int on_set_image_param(char *request);        // /3001
int on_reset_image_param(char *request);      // /3002
int on_get_playback_busy(char *request);      // /3004
int on_start_live(char *request);             // /4010
int on_stop_live(char *request);              // /4011
int on_stop_all_live(char *request);          // /4012
int on_log_playback_op(char *request);        // /4014
int on_log_playback_user(char *request);      // /4017
int on_log_playback_end(char *request);       // /4024
int on_check_channel(char *request);          // /4015, /4016
int on_get_rtsp_addr(char *request);          // /4018
int on_get_extern_port(char *request);        // /4021
// download.cpp
int on_download_record(char *request);        // /4013
int on_get_download_state(char *request);     // /4019
int on_cancel_download(char *request);        // /4027
