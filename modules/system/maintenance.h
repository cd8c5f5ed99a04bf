// Handlers of device information, maintenance, firmware upgrade and the
// maintenance option commands.
#pragma once
#include <cstddef>

// ---- vb_htm.cpp ---------------------------------------------------------------------
// "/vb.htm": the query string "keyword=value&..." or a bare no-value keyword;
// each keyword runs its option of common/http_option.h.
int on_http_option_request(char *request);

// ---- device_info.cpp ----------------------------------------------------------------
int on_get_system_info(char *request);       // /1009, /1020
int on_set_system_info(char *request);       // /1012
int on_get_general_info(char *request);      // /6080
int on_set_general_info(char *request);      // /6081
int on_clear_qxfs_dbup(char *request);       // /1023
int on_set_ipc_address_batch(char *request); // /ipc
// Reply 8400: the device facts with the settings as JSON.
void on_device_facts_cb(size_t count, const void *payload);

// ---- maintenance.cpp ----------------------------------------------------------------
int on_restart_device(char *request);        // /1004
int on_get_restart_state(char *request);     // /1005
int on_restore_device(char *request);        // /1006
int on_export_config(char *request);         // /1007
int on_import_config(char *request);         // /1008
int on_download_config(char *request);       // /1013
int on_get_auto_maintenance(char *request);  // /1016
int on_set_auto_maintenance(char *request);  // /1017
int on_get_auto_reboot(char *request);       // /1032
int on_set_auto_reboot(char *request);       // /1033

// ---- upgrade.cpp ----------------------------------------------------------------------
int on_cgi_upgrade_system_init(char *request);  // /1034
int on_upgrade_system(char *request);           // /1010
int on_clean_upgrade_files(char *request);      // /1011
int on_check_nvr_online_upgrade(char *request); // /6087
int on_get_online_upgrade(char *request);       // /6085
int on_del_online_upgrade(char *request);       // /6086
int on_nvr_online_upgrade(char *request);       // /6088
int on_check_ipc_online_upgrade(char *request); // /6089
int on_upgrade_camera(char *request);           // /6082
int on_start_upgrade_camera(char *request);     // /6083
int on_stop_upgrade_camera(char *request);      // /6084
int on_upload_oem(char *request);               // /oem
int on_upload_temp_file(char *request);         // /1019
int on_dw_cgi(char *request);                   // /dw.cgi
// Replies of the upgrade requests.
void on_upgrade_run_cb(size_t count, const void *payload);      // 6713: status into the flag
void on_upgrade_check_cb(size_t count, const void *payload);    // 6715
void on_upgrade_result_cb(size_t count, const void *payload);   // 6716, 6717: {"res"}
void on_camera_check_cb(size_t count, const void *payload);     // 8365
void on_camera_upgrade_cb(size_t count, const void *payload);   // 8350

// ---- Shared helpers (maintenance.cpp) ---------------------------------------------------
// Splits an upload's request text "<first> & <rest>", as the upload intake
// hands it over: the text before the first " & " into first, the text behind
// it into rest (empty when there is none), each cut to its buffer.
void split_upload_text(const char *request, char *first, size_t first_size, char *rest, size_t rest_size);
