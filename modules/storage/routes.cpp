// Route list of the storage module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_STORAGE, kRoutes).
#include "frontend/route_table.h"
