// Route list of the camera module. Handlers are added here as they are built;
// the list is registered with NVRWEB_MODULE_ROUTES(MODULE_CAMERA, kRoutes).
#include "frontend/route_table.h"
