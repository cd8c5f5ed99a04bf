// Route list of the system module (system, users and maintenance), registered
// with NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes). Routes are grouped by
// feature, one comment line per group; each group's handlers are declared in
// the header of that feature.
#include "frontend/route_table.h"
#include "modules/system/accounts.h"
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
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes)
