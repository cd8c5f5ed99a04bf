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

// Route declarations. A module's route list is written as
//   constexpr RouteDecl kRoutes[] = {
//       {"/1000", NVRWEB_HANDLER(on_user_login)},
//       ...
//   };
// so that each entry carries its handler's name as well (for the route
// catalogue, never typed by hand). NVRWEB_MODULE_ROUTES turns the list into
// the WebRes entries at compile time and records where the declarations are
// in the section nvrweb_routes: nothing is done at start-up beyond the
// registration itself.
struct RouteDecl {
    const char *path;
    WebReqHandler handler;
    const char *name; // the handler's name as written in the list
};
// The handler and its name as written: (on_user_login), "on_user_login".
#define NVRWEB_HANDLER(handler) (handler), #handler

// One per route list, in the section nvrweb_routes (read back as one array:
// the descriptor is placed with its own alignment, never padded apart).
struct RouteModuleDecl {
    int order; // ModuleOrder
    const RouteDecl *decls;
    int count;
    const struct WebRes *entries; // the list as registered (count entries)
};

template <size_t N> struct WebResList {
    WebRes entries[N];
};

// The WebRes entries of a declaration list. A path of more than 7 characters
// does not compile (the throw is not a constant expression).
template <size_t N> constexpr WebResList<N> webres_from_decls(const RouteDecl (&decls)[N])
{
    WebResList<N> list{};
    for (size_t i = 0; i < N; i++) {
        size_t j = 0;
        for (; decls[i].path[j]; j++) {
            if (j + 1 >= sizeof(WebRes::path)) throw "route path longer than 7 characters";
            list.entries[i].path[j] = decls[i].path[j];
        }
        list.entries[i].handler = decls[i].handler;
    }
    return list;
}

// Module registration. Each module's routes.cpp ends with
//   NVRWEB_MODULE_ROUTES(<order>, kRoutes);
// The order (1..11) fixes the registration order across translation units:
// quick, alarm, camera, network, ptz, record, status, storage, playback,
// system, video. Destructors unregister in reverse order.
#define NVRWEB_MODULE_ROUTES(order, table)                                                       \
    static constexpr WebResList<sizeof(table) / sizeof((table)[0])> nvrweb_module_entries =      \
        webres_from_decls(table);                                                                \
    __attribute__((used, section("nvrweb_routes"), aligned(alignof(RouteModuleDecl))))           \
    static const RouteModuleDecl nvrweb_module_decl = {                                          \
        (order), (table), static_cast<int>(sizeof(table) / sizeof((table)[0])),                  \
        nvrweb_module_entries.entries};                                                          \
    __attribute__((constructor(1000 + (order)))) static void nvrweb_module_register()            \
    {                                                                                            \
        WebResRegister(nvrweb_module_entries.entries,                                            \
                       static_cast<int>(sizeof(table) / sizeof((table)[0])));                    \
    }                                                                                            \
    __attribute__((destructor(1000 + (order)))) static void nvrweb_module_unregister()           \
    {                                                                                            \
        WebResUnregister(nvrweb_module_entries.entries,                                          \
                         static_cast<int>(sizeof(table) / sizeof((table)[0])));                  \
    }

// Every route list of the program, from the section (nullptr and 0 when the
// program has none).
const RouteModuleDecl *route_module_decls(int *count);

// The entries of a section between the linker's bounds of it (nullptr and 0
// when the section is missing or empty).
template <typename T> const T *section_entries(const T *first, const T *end, int *count)
{
    *count = first && end > first ? static_cast<int>(end - first) : 0;
    return *count ? first : nullptr;
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
