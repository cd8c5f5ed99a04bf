// Route list of the quick module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_QUICK, kRoutes).
#include "frontend/route_table.h"
#include "modules/quick/quick.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    {"/3300", NVRWEB_HANDLER(on_set_ssh_enable)},
    {"/3301", NVRWEB_HANDLER(on_set_auto_login)},
    {"/3302", NVRWEB_HANDLER(on_set_record_mode_all)},
    {"/3303", NVRWEB_HANDLER(on_set_wizard_enable)},
    {"/3304", NVRWEB_HANDLER(on_set_ipc_entry)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_QUICK, kRoutes)
