// Route table: maps a route code (PATH_INFO, e.g. "/1000") to its handler.
// Filled by the feature modules' static constructors before main().
#pragma once
#include <cstddef>

typedef int (*WebReqHandler)(char *request);

struct WebRes {
    char path[8]; // at most 7 characters and the zero
    WebReqHandler handler;
};
static_assert(sizeof(WebRes) == 8 + sizeof(void *), "route entry is path[8] + handler");

enum { MAX_WEBREQ_COUNT = 512 };

int WebResRegister(const WebRes *entries, int count);
int WebResUnregister(const WebRes *entries, int count);
int DispatchWebReq(const char *route, char *request);
const WebRes *FindWebRes(const char *route);

// Introspection for tests and the abuse suite: number of used slots and the
// used entries in slot order.
int WebResCount();
const WebRes *WebResSlot(int slot); // nullptr for a free or invalid slot

// Module registration. Each module's routes.cpp ends with
//   NVRWEB_MODULE_ROUTES(<order>, kRoutes);
// The order (1..11) fixes the registration order across translation units:
// quick, alarm, camera, network, ptz, record, status, storage, playback,
// system, video. Destructors unregister in reverse order.
#define NVRWEB_MODULE_ROUTES(order, table)                                                       \
    __attribute__((constructor(1000 + (order)))) static void nvrweb_module_register()            \
    {                                                                                            \
        WebResRegister(table, static_cast<int>(sizeof(table) / sizeof((table)[0])));             \
    }                                                                                            \
    __attribute__((destructor(1000 + (order)))) static void nvrweb_module_unregister()           \
    {                                                                                            \
        WebResUnregister(table, static_cast<int>(sizeof(table) / sizeof((table)[0])));           \
    }

enum ModuleOrder {
    MODULE_QUICK = 1,
    MODULE_ALARM = 2,
    MODULE_CAMERA = 3,
    MODULE_NETWORK = 4,
    MODULE_PTZ = 5,
    MODULE_RECORD = 6,
    MODULE_STATUS = 7,
    MODULE_STORAGE = 8,
    MODULE_PLAYBACK = 9,
    MODULE_SYSTEM = 10,
    MODULE_VIDEO = 11,
};
