// Route list of the playback module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_PLAYBACK, kRoutes).
#include "frontend/route_table.h"
