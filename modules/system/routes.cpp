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
const WebRes kRoutes[] = {
    // log-in, log-out, language files
    {"/1000", on_user_login},
    {"/1001", on_change_language},
    {"/1014", on_user_logout},
    {"/1018", on_user_login_from_mail},
    {"/json", on_get_lang_json},
    // user accounts
    {"/6070", on_get_user_list},
    {"/6071", on_add_new_user},
    {"/6072", on_set_user_info},
    {"/6073", on_del_user_info},
    {"/6074", on_get_oem_user_list},
    {"/6075", on_modify_poe_camera_pwd},
    {"/6076", on_poe_camera_pwd_notify},
    {"/6077", on_cgi_set_user_info},
    {"/1024", on_clear_permission_update},
    // maintenance option commands
    {"/vb.htm", on_http_option_request},
    // device log: types, search, details, CSV export
    {"/1015", on_get_log_types},
    {"/1002", on_get_log_info},
    {"/1021", on_get_log_details},
    {"/1003", on_download_logfile},
    {"/1022", on_check_download_log},
    // custom alarm sounds
    {"/6320", on_get_audio_file_list},
    {"/6321", on_upload_audio_file},
    {"/6322", on_add_audio_file},
    {"/6323", on_delete_audio_files},
    {"/6324", on_rename_audio_file},
    {"/6325", on_play_audio_file},
};

// The uploaded sound stays in /tmp for its handler.
const UploadRoute kUploads[] = {{"/6321", UPLOAD_STORED}};
} // namespace

NVRWEB_MODULE_UPLOADS(kUploads)

NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes)
