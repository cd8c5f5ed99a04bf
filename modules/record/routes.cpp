// Route list of the record module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_RECORD, kRoutes).
#include "frontend/route_table.h"
