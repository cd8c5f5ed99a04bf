// Route list of the quick module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_QUICK, kRoutes).
#include "frontend/route_table.h"
#include "modules/quick/quick.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    NVRWEB_ROUTE("/3300", on_set_ssh_enable),
    NVRWEB_ROUTE("/3301", on_set_auto_login),
    NVRWEB_ROUTE("/3302", on_set_record_mode_all),
    NVRWEB_ROUTE("/3303", on_set_wizard_enable),
    NVRWEB_ROUTE("/3304", on_set_ipc_entry),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_QUICK, kRoutes)
