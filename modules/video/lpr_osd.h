// Licence plate recognition (lpr.cpp) and what is drawn over a channel's
// picture: the recorder's OSD, the camera's own OSD and the privacy masks
// (osd.cpp). Routes are listed in routes_lpr_osd.cpp.
#pragma once
#include <cstddef>

#include "platform/qx_sock.h"

// Plate recognition.
int on_get_anpr_mode_params(char *request);       // /6179
int on_set_anpr_mode_params(char *request);       // /6180
int on_get_anpr_settings(char *request);          // /6181
int on_set_anpr_settings(char *request);          // /6182
int on_set_anpr_del_lpr_plate(char *request);     // /6183
int on_set_anpr_add_lpr_plate(char *request);     // /6184
int on_set_anpr_update_lpr_plate(char *request);  // /6185
int on_get_anpr_support_anpr(char *request);      // /6186
int on_get_ipc_zoom_state(char *request);         // /6189
int on_get_ipc_anpr_wildcards(char *request);     // /6190
int on_set_ipc_anpr_wildcards(char *request);     // /6191

// OSD and privacy masks.
int on_get_osd_info(char *request);               // /6000
int on_set_osd_info(char *request);               // /6001
int OnSetOSDName(char *request);                  // /6002
int on_get_privacy_masks(char *request);          // /6018
int on_set_privacy_mask(char *request);           // /6019
int on_get_privacy_mask_ovf(char *request);       // /6115
int on_get_ipc_model_type(char *request);         // /6116
int on_delete_privacy_mask(char *request);        // /6173
int on_cgi_set_privacy_edit(char *request);       // /6198
int on_set_osdconfig(char *request);              // /6996
int on_get_osdconfig(char *request);              // /6997

// Answers from the module's reply table (video_ipc.cpp).
void on_anpr_settings_cb(const void *header, const void *payload, size_t count);
void on_anpr_support_cb(const void *header, const void *payload, size_t count);
void on_cam_zoom_state_cb(const void *header, const void *payload, size_t count);
void on_anpr_wildcards_cb(const void *header, const void *payload, size_t count);
void on_anpr_result_cb(const void *header, const void *payload, size_t count);
void on_cam_osd_set_cb(const void *header, const void *payload, size_t count);
void on_cam_osd_cb(const void *header, const void *payload, size_t count);
void on_cam_mask_cb(const void *header, const void *payload, size_t count);
void on_cam_model_type_cb(const void *header, const void *payload, size_t count);
void on_cam_mask_edit_cb(const void *header, const void *payload, size_t count);

// Sends a waiting request whose answer only its own reply code may write:
// a late reply to an earlier request of the same process (a fire-and-forget
// notice sent just before) is dropped. As cgi_request_ipc otherwise.
int lpr_osd_request(int code, int length, const void *payload, int error_kind);
template <class T> int lpr_osd_request(int code, const T &record, int error_kind)
{
    return lpr_osd_request(code, static_cast<int>(sizeof(T)), &record, error_kind);
}
