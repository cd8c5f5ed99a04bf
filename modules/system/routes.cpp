// Route list of the system module (system, users and maintenance), registered
// with NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes). Keep it in route order:
// the four-digit codes ascending, then the named paths.
#include "frontend/route_table.h"
#include "modules/system/system.h"

static const WebRes kRoutes[] = {
    // Named paths
    {"/vb.htm", on_http_option_request},
};

NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes);
