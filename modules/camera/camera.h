// Camera module: handlers of the camera channel routes, the module's reply
// dispatcher and the small helpers its files share.
#pragma once
#include <cstddef>
#include <cstring>

#include <json-c/json.h>

#include "common/records/camera.h"
#include "common/reply_table.h"

// ---- Reply dispatcher (ipc_callback.cpp) ------------------------------------------------
// Reply callback of every waited request of the module: looks the reply code
// up in the module's reply table (code -> record size -> answer) and hands
// the answer the whole records of the payload. A reply without payload is
// no answer (the request runs into its time-out) unless its row answers
// short replies with an error reply; codes it does not know and replies
// after the request was answered are ignored.
void on_camera_ipc_callback(int len, const void *header, const void *payload);

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

// Answers of discovery.cpp.
void on_ipc_search_cb(const IpcReply &reply);       // 8200
void on_ipc_list_cb(const IpcReply &reply);         // 8201
void on_ipc_test_cb(const IpcReply &reply);         // 8202, 8227
void on_ipc_network_cb(const IpcReply &reply);      // 8205
void on_ipc_batch_result_cb(const IpcReply &reply); // 8230
void on_ipc_model_type_cb(const IpcReply &reply);   // 7503
void on_channels_model_cb(const IpcReply &reply);   // 7505
void on_day_flags_cb(const IpcReply &reply);        // 8100

// ---- Image and stream settings in the camera (param_relay.cpp, image_relays.cpp) -----------
int on_get_ipc_stream_params(char *request);        // /2009
int on_set_ipc_stream_params(char *request);        // /2010
int on_get_ipc_ipcimage_enhancement(char *request); // /2019
int on_set_ipc_ipcimage_enhancement(char *request); // /2020
int on_get_ipc_ipcimage_display(char *request);     // /2021
int on_set_ipc_ipcimage_display(char *request);     // /2022
int on_get_ipc_common_param(char *request);         // /2023
int on_set_ipc_common_param(char *request);         // /2024
int on_set_ipc_stream_params_batch(char *request);  // /2030
int on_get_ipc_day_night(char *request);            // /2037
int on_set_ipc_day_night(char *request);            // /2038
int on_get_ipc_image_areas(char *request);          // /2039
int on_set_ipc_image_areas(char *request);          // /2040
int on_get_ipc_schedule_a(char *request);           // /2041
int on_set_ipc_schedule_a(char *request);           // /2042
int on_get_ipc_exposure_schedule(char *request);    // /2043
int on_set_ipc_exposure_schedule(char *request);    // /2044
int on_get_ipc_schedule_c(char *request);           // /2045
int on_set_ipc_schedule_c(char *request);           // /2046
int on_set_ipc_day_night_batch(char *request);      // /2047
int on_set_exposure_table(char *request);           // /2048
int on_get_exposure_table(char *request);           // /2049
int on_delete_ipc_image_area(char *request);        // /2050
int on_get_ipc_region_detect(char *request);        // /2051
int on_set_ipc_region_detect(char *request);        // /2052
int on_query_ipc_by_type(char *request);            // /2053

void on_stream_params_cb(const IpcReply &reply);     // 8204
void on_stream_result_cb(const IpcReply &reply);     // 8203
void on_enhance_cb(const IpcReply &reply);           // 8221
void on_display_cb(const IpcReply &reply);           // 8223
void on_param_cb(const IpcReply &reply);             // 8225
void on_day_night_cb(const IpcReply &reply);         // 8278
void on_areas_cb(const IpcReply &reply);             // 8271
void on_schedule_a_cb(const IpcReply &reply);        // 8273
void on_exposure_schedule_cb(const IpcReply &reply); // 8275
void on_schedule_c_cb(const IpcReply &reply);        // 8277
void on_region_cb(const IpcReply &reply);            // 8358
void on_query_cb(const IpcReply &reply);             // 8360

// ---- Camera features (feature_relays.cpp) -------------------------------------------------
int on_cgi_get_auto_tracking_status(char *request); // /2054
int on_cgi_set_auto_tracking_status(char *request); // /2055
int on_cgi_get_ptz_support(char *request);          // /2056
int on_cgi_get_watermark(char *request);            // /2058
int on_cgi_set_watermark(char *request);            // /2059
int on_cgi_get_ipc_event_stream(char *request);     // /2060
int on_cgi_set_ipc_event_stream(char *request);     // /2061
int on_cgi_get_ipc_lpr_night_mode(char *request);   // /2062
int on_cgi_get_ipc_audio_info(char *request);       // /2063
int on_cgi_set_ipc_audio_info(char *request);       // /2064
int on_cgi_get_ipc_system_info(char *request);      // /2065
int on_cgi_get_ipc_custom_param(char *request);     // /2068

void on_tracking_cb(const IpcReply &reply);     // 8294
void on_watermark_cb(const IpcReply &reply);    // 6213
void on_event_stream_cb(const IpcReply &reply); // 6217
void on_night_mode_cb(const IpcReply &reply);   // 6219
void on_audio_cb(const IpcReply &reply);        // 8371
void on_capabilities_cb(const IpcReply &reply); // 8376
void on_custom_param_cb(const IpcReply &reply); // 8377

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
void on_pcnt_res_cb(const IpcReply &reply);      // 7290..7293, 6421
void on_report_backup_cb(const IpcReply &reply); // 6423
void on_face_config_cb(const IpcReply &reply);   // 8381

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
void on_record_days_cb(const IpcReply &reply);    // 8493
void on_gui_command_cb(const IpcReply &reply);    // 9002, 9003 (count: bytes)
void on_chip_code_cb(const IpcReply &reply);      // 9004 (count: bytes)
void on_motion_state_cb(const IpcReply &reply);   // 8307
void on_camera_type_cb(const IpcReply &reply);    // 7507
void on_upgrade_check_cb(const IpcReply &reply);  // 8385
void on_upgrade_status_cb(const IpcReply &reply); // 8386
void on_upgrade_start_cb(const IpcReply &reply);  // 8379
