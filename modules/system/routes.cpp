// Route list of the system module (system, users and maintenance), registered
// with NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes). Routes are grouped by
// feature, one comment line per group; each group's handlers are declared in
// the header of that feature.
#include "frontend/route_table.h"
#include "frontend/upload_routes.h"
#include "modules/system/accounts.h"
#include "modules/system/audio_files.h"
#include "modules/system/logs.h"
#include "modules/system/maintenance.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // log-in, log-out, language files
    {"/1000", NVRWEB_HANDLER(on_user_login)},
    {"/1001", NVRWEB_HANDLER(on_change_language)},
    {"/1014", NVRWEB_HANDLER(on_user_logout)},
    {"/1018", NVRWEB_HANDLER(on_user_login_from_mail)},
    {"/json", NVRWEB_HANDLER(on_get_lang_json)},
    // user accounts
    {"/6070", NVRWEB_HANDLER(on_get_user_list)},
    {"/6071", NVRWEB_HANDLER(on_add_new_user)},
    {"/6072", NVRWEB_HANDLER(on_set_user_info)},
    {"/6073", NVRWEB_HANDLER(on_del_user_info)},
    {"/6074", NVRWEB_HANDLER(on_get_oem_user_list)},
    {"/6075", NVRWEB_HANDLER(on_modify_poe_camera_pwd)},
    {"/6076", NVRWEB_HANDLER(on_poe_camera_pwd_notify)},
    {"/6077", NVRWEB_HANDLER(on_cgi_set_user_info)},
    {"/1024", NVRWEB_HANDLER(on_clear_permission_update)},
    // maintenance option commands
    {"/vb.htm", NVRWEB_HANDLER(on_http_option_request)},
    // device information and general settings
    {"/1009", NVRWEB_HANDLER(on_get_system_info)},
    {"/1020", NVRWEB_HANDLER(on_get_system_info)},
    {"/1012", NVRWEB_HANDLER(on_set_system_info)},
    {"/6080", NVRWEB_HANDLER(on_get_general_info)},
    {"/6081", NVRWEB_HANDLER(on_set_general_info)},
    {"/1023", NVRWEB_HANDLER(on_clear_qxfs_dbup)},
    {"/ipc", NVRWEB_HANDLER(on_set_ipc_address_batch)},
    // restart, factory reset, configuration file, retention, weekly restart
    {"/1004", NVRWEB_HANDLER(on_restart_device)},
    {"/1005", NVRWEB_HANDLER(on_get_restart_state)},
    {"/1006", NVRWEB_HANDLER(on_restore_device)},
    {"/1007", NVRWEB_HANDLER(on_export_config)},
    {"/1013", NVRWEB_HANDLER(on_download_config)},
    {"/1008", NVRWEB_HANDLER(on_import_config)},
    {"/1016", NVRWEB_HANDLER(on_get_auto_maintenance)},
    {"/1017", NVRWEB_HANDLER(on_set_auto_maintenance)},
    {"/1032", NVRWEB_HANDLER(on_get_auto_reboot)},
    {"/1033", NVRWEB_HANDLER(on_set_auto_reboot)},
    // firmware upgrade of the recorder and the cameras, OEM package
    {"/1034", NVRWEB_HANDLER(on_cgi_upgrade_system_init)},
    {"/1010", NVRWEB_HANDLER(on_upgrade_system)},
    {"/1011", NVRWEB_HANDLER(on_clean_upgrade_files)},
    {"/6087", NVRWEB_HANDLER(on_check_nvr_online_upgrade)},
    {"/6085", NVRWEB_HANDLER(on_get_online_upgrade)},
    {"/6086", NVRWEB_HANDLER(on_del_online_upgrade)},
    {"/6088", NVRWEB_HANDLER(on_nvr_online_upgrade)},
    {"/6089", NVRWEB_HANDLER(on_check_ipc_online_upgrade)},
    {"/6082", NVRWEB_HANDLER(on_upgrade_camera)},
    {"/6083", NVRWEB_HANDLER(on_start_upgrade_camera)},
    {"/6084", NVRWEB_HANDLER(on_stop_upgrade_camera)},
    {"/oem", NVRWEB_HANDLER(on_upload_oem)},
    {"/1019", NVRWEB_HANDLER(on_upload_temp_file)},
    {"/dw.cgi", NVRWEB_HANDLER(on_dw_cgi)},
    // device log: types, search, details, CSV export
    {"/1015", NVRWEB_HANDLER(on_get_log_types)},
    {"/1002", NVRWEB_HANDLER(on_get_log_info)},
    {"/1021", NVRWEB_HANDLER(on_get_log_details)},
    {"/1003", NVRWEB_HANDLER(on_download_logfile)},
    {"/1022", NVRWEB_HANDLER(on_check_download_log)},
    // custom alarm sounds
    {"/6320", NVRWEB_HANDLER(on_get_audio_file_list)},
    {"/6321", NVRWEB_HANDLER(on_upload_audio_file)},
    {"/6322", NVRWEB_HANDLER(on_add_audio_file)},
    {"/6323", NVRWEB_HANDLER(on_delete_audio_files)},
    {"/6324", NVRWEB_HANDLER(on_rename_audio_file)},
    {"/6325", NVRWEB_HANDLER(on_play_audio_file)},
};

// Routes that take a stored upload: the configuration import and the
// uploaded sound (which stays in /tmp for its handler).
const UploadRoute kUploads[] = {{"/1008", UPLOAD_STORED}, {"/6321", UPLOAD_STORED}};
} // namespace

NVRWEB_MODULE_UPLOADS(kUploads)

NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes)
