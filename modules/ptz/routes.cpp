// Route list of the ptz module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_PTZ, kRoutes).
#include "frontend/route_table.h"
