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
    NVRWEB_ROUTE("/1000", on_user_login),
    NVRWEB_ROUTE("/1001", on_change_language),
    NVRWEB_ROUTE("/1014", on_user_logout),
    NVRWEB_ROUTE("/1018", on_user_login_from_mail),
    NVRWEB_ROUTE("/json", on_get_lang_json),
    // user accounts
    NVRWEB_ROUTE("/6070", on_get_user_list),
    NVRWEB_ROUTE("/6071", on_add_new_user),
    NVRWEB_ROUTE("/6072", on_set_user_info),
    NVRWEB_ROUTE("/6073", on_del_user_info),
    NVRWEB_ROUTE("/6074", on_get_oem_user_list),
    NVRWEB_ROUTE("/6075", on_modify_poe_camera_pwd),
    NVRWEB_ROUTE("/6076", on_poe_camera_pwd_notify),
    NVRWEB_ROUTE("/6077", on_cgi_set_user_info),
    NVRWEB_ROUTE("/1024", on_clear_permission_update),
    // maintenance option commands
    NVRWEB_ROUTE("/vb.htm", on_http_option_request),
    // device information and general settings
    NVRWEB_ROUTE("/1009", on_get_system_info),
    NVRWEB_ROUTE("/1020", on_get_system_info),
    NVRWEB_ROUTE("/1012", on_set_system_info),
    NVRWEB_ROUTE("/6080", on_get_general_info),
    NVRWEB_ROUTE("/6081", on_set_general_info),
    NVRWEB_ROUTE("/1023", on_clear_qxfs_dbup),
    NVRWEB_ROUTE("/ipc", on_set_ipc_address_batch),
    // restart, factory reset, configuration file, retention, weekly restart
    NVRWEB_ROUTE("/1004", on_restart_device),
    NVRWEB_ROUTE("/1005", on_get_restart_state),
    NVRWEB_ROUTE("/1006", on_restore_device),
    NVRWEB_ROUTE("/1007", on_export_config),
    NVRWEB_ROUTE("/1013", on_download_config),
    NVRWEB_ROUTE("/1008", on_import_config),
    NVRWEB_ROUTE("/1016", on_get_auto_maintenance),
    NVRWEB_ROUTE("/1017", on_set_auto_maintenance),
    NVRWEB_ROUTE("/1032", on_get_auto_reboot),
    NVRWEB_ROUTE("/1033", on_set_auto_reboot),
    // firmware upgrade of the recorder and the cameras, OEM package
    NVRWEB_ROUTE("/1034", on_cgi_upgrade_system_init),
    NVRWEB_ROUTE("/1010", on_upgrade_system),
    NVRWEB_ROUTE("/1011", on_clean_upgrade_files),
    NVRWEB_ROUTE("/6087", on_check_nvr_online_upgrade),
    NVRWEB_ROUTE("/6085", on_get_online_upgrade),
    NVRWEB_ROUTE("/6086", on_del_online_upgrade),
    NVRWEB_ROUTE("/6088", on_nvr_online_upgrade),
    NVRWEB_ROUTE("/6089", on_check_ipc_online_upgrade),
    NVRWEB_ROUTE("/6082", on_upgrade_camera),
    NVRWEB_ROUTE("/6083", on_start_upgrade_camera),
    NVRWEB_ROUTE("/6084", on_stop_upgrade_camera),
    NVRWEB_ROUTE("/oem", on_upload_oem),
    NVRWEB_ROUTE("/1019", on_upload_temp_file),
    NVRWEB_ROUTE("/dw.cgi", on_dw_cgi),
    // device log: types, search, details, CSV export
    NVRWEB_ROUTE("/1015", on_get_log_types),
    NVRWEB_ROUTE("/1002", on_get_log_info),
    NVRWEB_ROUTE("/1021", on_get_log_details),
    NVRWEB_ROUTE("/1003", on_download_logfile),
    NVRWEB_ROUTE("/1022", on_check_download_log),
    // custom alarm sounds
    NVRWEB_ROUTE("/6320", on_get_audio_file_list),
    NVRWEB_ROUTE("/6321", on_upload_audio_file),
    NVRWEB_ROUTE("/6322", on_add_audio_file),
    NVRWEB_ROUTE("/6323", on_delete_audio_files),
    NVRWEB_ROUTE("/6324", on_rename_audio_file),
    NVRWEB_ROUTE("/6325", on_play_audio_file),
};

// Routes that take a stored upload: the configuration import and the
// uploaded sound (which stays in /tmp for its handler).
const UploadRoute kUploads[] = {{"/1008", UPLOAD_STORED}, {"/6321", UPLOAD_STORED}};
} // namespace

NVRWEB_MODULE_UPLOADS(kUploads)

NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes)
