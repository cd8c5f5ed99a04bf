// Camera module: handlers of the camera channel routes, the module's reply
// dispatcher and the small helpers its files share.
#pragma once
#include <cstddef>
#include <cstring>

#include <json-c/json.h>

#include "common/records/camera.h"

// ---- Reply dispatcher ---------------------------------------------------------
// Reply callback of every waited request of the module: takes the reply code
// and payload length from the header and hands the payload with its record
// count (length / record size of the code) to the callback of the code.
// Ignores a null payload, codes it does not know and replies that come after
// the request was already answered.
void on_camera_ipc_callback(int len, const void *header, const void *payload);

// A per-code callback: `count` whole records of the code's size lie at
// `payload` (at least one unless the entry is a LIST_REPLY). Each writes the
// HTTP reply and then sets g_callback_done.
typedef void (*CameraReplyFn)(const unsigned char *payload, size_t count);
enum { LIST_REPLY = -1 }; // short_reply of a reply whose record count may be 0
struct CameraReplyEntry {
    int code;            // reply code (request code + 5000)
    size_t record_size;
    CameraReplyFn fn;
    // A reply without a whole record: the dispatcher writes the route's error
    // reply of this kind (REPLY_TEXT, REPLY_JSON) and sets the flag; a list
    // reply (LIST_REPLY) goes to the callback with count 0.
    int short_reply;
};
// The table the dispatcher searches (ipc_callback.cpp).
extern const CameraReplyEntry kCameraReplies[];
extern const size_t kCameraRepliesSize;

// Record `index` of a reply payload copied out (the payload is bytes).
template <class T> T camera_reply_record(const unsigned char *payload, size_t index)
{
    T rec;
    memcpy(&rec, payload + index * sizeof(T), sizeof(T));
    return rec;
}

// ---- Handlers (channels.cpp) -----------------------------------------------------
int on_get_ipc_channel(char *request);          // /2000
int on_edit_ipc_channel(char *request);         // /2003
int on_add_ipc_channel(char *request);          // /2004
int on_delete_ipc_channel(char *request);       // /2005
int on_get_channel_names(char *request);        // /2012
int on_get_poe_default_password(char *request); // /2016
int on_set_ipc_credentials(char *request);      // /2017
int on_get_max_poe_num(char *request);          // /2018
int on_set_ipc_transport(char *request);        // /2031

// ---- Handlers (discovery.cpp) ----------------------------------------------------
int on_get_ipc_list(char *request);                  // /2001, /2007
int on_search_ipc(char *request);                    // /2006
int on_get_ipc_protocols(char *request);             // /2008
int on_set_ipc_network(char *request);               // /2011
int on_test_ipc_connection(char *request);           // /2014
int on_test_ipc_connection2(char *request);          // /2015
int on_web_get_ipc_model_type(char *request);        // /2025
int on_web_get_channels_model(char *request);        // /2029
int on_set_ipc_network_batch(char *request);         // /2032
int on_get_ipc_network_batch_result(char *request);  // /2033

// Reply callbacks of discovery.cpp.
void on_ipc_search_cb(const unsigned char *payload, size_t count);       // 8200
void on_ipc_list_cb(const unsigned char *payload, size_t count);         // 8201
void on_ipc_test_cb(const unsigned char *payload, size_t count);         // 8202, 8227
void on_ipc_network_cb(const unsigned char *payload, size_t count);      // 8205
void on_ipc_batch_result_cb(const unsigned char *payload, size_t count); // 8230
void on_ipc_model_type_cb(const unsigned char *payload, size_t count);   // 7503
void on_channels_model_cb(const unsigned char *payload, size_t count);   // 7505
void on_day_flags_cb(const unsigned char *payload, size_t count);        // 8100

// ---- Shared helpers (camera_util.cpp) -----------------------------------------------
// A present integer within lo..hi.
bool camera_int_in_range(json_object *v, int lo, int hi);
// "max_cameras" (default 32), limited to 0..MAX_CAMERAS.
int camera_max_channels();
// The channel's OSD name into name (size bytes); "CAM<n>" (1-based) when none
// is stored.
void camera_osd_name(int channel, char *name, size_t size);

// Writes obj as the reply (kind 1) and releases it.
void camera_reply_json(json_object *obj);

// ---- Handlers (counting_pos_face.cpp) -----------------------------------------------
int on_cgi_get_peoplecnt_settings(char *request);       // /2066
int on_cgi_set_peoplecnt_settings(char *request);       // /2067
int on_cgi_get_peoplecnt_action(char *request);         // /2069
int on_cgi_set_peoplecnt_action(char *request);         // /2070
int on_cgi_set_peoplecnt_db_reset(char *request);       // /2071
int on_cgi_set_peoplecnt_liveview_reset(char *request); // /2072
int on_cgi_get_pos_info(char *request);                 // /2073
int on_cgi_set_pos_info(char *request);                 // /2074
int on_cgi_get_report_auto_backup(char *request);       // /2075
int on_cgi_set_report_auto_backup(char *request);       // /2076
int on_cgi_set_face_config(char *request);              // /2077
void on_pcnt_res_cb(const unsigned char *payload, size_t count);      // 7290..7293, 6421
void on_report_backup_cb(const unsigned char *payload, size_t count); // 6423
void on_face_config_cb(const unsigned char *payload, size_t count);   // 8381

// ---- Handlers (camera_upgrade.cpp) ----------------------------------------------------
int on_get_record_days(char *request);           // /2013
int on_web_sendto_qt_cmd(char *request);         // /2026
int on_web_get_chip_code(char *request);         // /2027
int on_web_get_motion_status(char *request);     // /2028
int on_get_have_ipv6(char *request);             // /2034
int on_get_smart_event_schedules(char *request); // /2035
int on_set_smart_event_schedules(char *request); // /2036
int on_cgi_get_ipc_type(char *request);          // /2057
int on_set_ipc_upgrade_prepare(char *request);   // /2078
int on_get_ipc_upgrade_status(char *request);    // /2079
int on_set_ipc_upgrade(char *request);           // /2080
int on_set_ipc_upgrade_stop(char *request);      // /2081
int on_get_cgi_ready(char *request);             // /2082
void on_record_days_cb(const unsigned char *payload, size_t count);    // 8493
void on_gui_command_cb(const unsigned char *payload, size_t count);    // 9002, 9003 (count: bytes)
void on_chip_code_cb(const unsigned char *payload, size_t count);      // 9004 (count: bytes)
void on_motion_state_cb(const unsigned char *payload, size_t count);   // 8307
void on_camera_type_cb(const unsigned char *payload, size_t count);    // 7507
void on_upgrade_check_cb(const unsigned char *payload, size_t count);  // 8385
void on_upgrade_status_cb(const unsigned char *payload, size_t count); // 8386
void on_upgrade_start_cb(const unsigned char *payload, size_t count);  // 8379
