// Route list of the network module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_NETWORK, kRoutes).
#include "frontend/route_table.h"
