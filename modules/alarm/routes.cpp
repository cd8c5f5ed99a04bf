// Route list of the alarm module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_ALARM, kRoutes).
#include "frontend/route_table.h"
