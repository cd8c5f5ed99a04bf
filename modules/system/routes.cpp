// Route list of the system module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kRoutes).
#include "frontend/route_table.h"
