// Route list of the status module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_STATUS, kRoutes).
#include "frontend/route_table.h"
