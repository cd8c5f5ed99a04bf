// Video content analysis (smart events) of the cameras, the camera-side
// detectors, fisheye modes and regional people counting: the routes, their
// reply answers (rows of the module's reply table) and the pieces the
// handler files share.
#pragma once
#include <cstddef>
#include <cstdint>

#include <json-c/json.h>

// ---- Routes: analysis settings in the camera (vca_camera.cpp) ---------------------------
int on_get_vca_region(char *request);        // /6132
int on_set_vca_region(char *request);        // /6133
int on_get_vca_motion(char *request);        // /6134
int on_set_vca_motion(char *request);        // /6135
int on_get_vca_tamper(char *request);        // /6136
int on_set_vca_tamper(char *request);        // /6137
int on_get_vca_line(char *request);          // /6138
int on_set_vca_line(char *request);          // /6139
int on_get_vca_loitering(char *request);     // /6140
int on_set_vca_loitering(char *request);     // /6141
int on_get_vca_human(char *request);         // /6142
int on_set_vca_human(char *request);         // /6143
int on_get_vca_people(char *request);        // /6144
int on_set_vca_people(char *request);        // /6145
int on_get_vca_settings(char *request);      // /6146
int on_set_vca_settings(char *request);      // /6147
int on_vca_clear_people_count(char *request); // /6154
int on_get_vca_support(char *request);       // /6157
int on_set_vca_leftremove(char *request);    // /6171
int on_get_vca_leftremove(char *request);    // /6172
int on_get_ipc_vca_line2(char *request);     // /6192
int on_set_ipc_vca_line2(char *request);     // /6193
int on_get_ipc_vca_settings2(char *request); // /6194
int on_set_ipc_vca_settings2(char *request); // /6195

// ---- Routes: smart event actions in the settings database (vca_actions.cpp) ---------------
int on_get_smart_event_schedule(char *request); // /6148
int on_set_smart_event_schedule(char *request); // /6149
int on_set_vca_allrtm_others(char *request);    // /6150
int on_get_vca_common_para(char *request);      // /6151

// ---- Routes: camera-side detectors, fisheye, regional counting (detectors.cpp) -------------
int on_get_ipc_cameraio(char *request);          // /6090
int on_set_ipc_cameraio(char *request);          // /6091
int on_get_ipc_volumedetect(char *request);      // /6092
int on_set_ipc_volumedetect(char *request);      // /6093
int on_cgi_get_ipc_regional_info(char *request); // /6096
int on_cgi_set_ipc_regional_info(char *request); // /6097
int on_get_fisheye_mode(char *request);          // /6130
int on_cgi_set_fisheye_mode(char *request);      // /6131
int on_cgi_check_fisheye_info(char *request);    // /6196
int on_cgi_set_fisheye_info(char *request);      // /6197

// ---- Reply answers (rows of kVideoReplies) ---------------------------------------------------
void on_vca_analysis_cb(const void *header, const void *payload, size_t count);    // 8237..8240, 8242, 8243
void on_vca_line_cb(const void *header, const void *payload, size_t count);        // 8241
void on_vca_people_cb(const void *header, const void *payload, size_t count);      // 8253
void on_vca_support_cb(const void *header, const void *payload, size_t count);     // 8257
void on_vca_settings_cb(const void *header, const void *payload, size_t count);    // 8259
void on_vca_leftremove_cb(const void *header, const void *payload, size_t count);  // 8268
void on_vca_line2_cb(const void *header, const void *payload, size_t count);       // 6209
void on_vca_settings2_cb(const void *header, const void *payload, size_t count);   // 6211
// "OK" when the first int of the reply is 0, else "FAILED" (text).
void on_vca_status_cb(const void *header, const void *payload, size_t count);
// {"res": first int} (JSON).
void on_vca_res_cb(const void *header, const void *payload, size_t count);
void on_cameraio_cb(const void *header, const void *payload, size_t count);        // 8213
void on_volumedetect_cb(const void *header, const void *payload, size_t count);    // 8215
void on_fisheye_mode_cb(const void *header, const void *payload, size_t count);    // 8232
void on_fisheye_check_cb(const void *header, const void *payload, size_t count);   // 8373
void on_regional_pcnt_cb(const void *header, const void *payload, size_t count);   // 6220

// ---- Shared pieces ------------------------------------------------------------------------
// Drawing canvas of the web client.
enum { VCA_CANVAS_W = 460, VCA_CANVAS_H = 260 };

// Canvas to camera: (v * frame + canvas / 2) / canvas, in 64 bits, clamped
// to 0..frame (a frame <= 0 gives 0).
int32_t vca_to_camera(int64_t v, int64_t frame, int64_t canvas);
// Camera to canvas: (v * canvas + frame / 2) / frame, in 64 bits, clamped to
// 0..canvas; 0 when the frame is <= 0.
int32_t vca_to_canvas(int64_t v, int64_t frame, int64_t canvas);
inline int32_t at_least_1(int32_t v) { return v < 1 ? 1 : v; }

// Splits a position text "x1;y1;x2;y2" at ';' into four numbers; an empty
// field is 0 and keeps its place ("10;;20" gives 10, 0, 20, 0); missing
// fields are 0; numbers are clamped to the int range.
void vca_split_position(const char *text, int32_t out[4]);

// Saves the smart event dialog of a VCA setter for kind 0..8 and the copy
// channel bits; a dialog that is not an object, a kind outside 0..8 or a
// dialog "chnid" outside 0..63 saves nothing. Returns -1 when a settings
// write failed (nothing of the dialog stored), else 0; tells the daemon
// (1412) after a save.
int vca_save_dialog(json_object *dialog, int kind, uint64_t copy_bits);
