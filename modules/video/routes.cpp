// Route list of the video module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes).
#include "frontend/route_table.h"
