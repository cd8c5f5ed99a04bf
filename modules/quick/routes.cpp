// Route list of the quick module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_QUICK, kRoutes).
#include "frontend/route_table.h"
