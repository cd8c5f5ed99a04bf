#include "frontend/upload_routes.h"

#include <cstring>

namespace {
// The intake's own groups.
const UploadRoute kIntakeUploads[] = {
    {"/1010", UPLOAD_STREAMED},  // device firmware: the body stays unread for the daemon
    {"/6082", UPLOAD_STREAMED},  // firmware staged by the daemon
    {"/2079", UPLOAD_STREAMED},  // camera firmware staged by the daemon
    {"/1019", UPLOAD_KEPT_TEMP}, // firmware kept for a later step
    {"/oem", UPLOAD_KEPT_TEMP},  // customisation package
};

struct Table {
    const UploadRoute *routes;
    int count;
};
Table g_tables[32];
int g_table_count = 0;

UploadKind find(const UploadRoute *routes, int count, const char *route)
{
    for (int i = 0; i < count; i++)
        if (routes[i].route && strcmp(routes[i].route, route) == 0) return routes[i].kind;
    return UPLOAD_NONE;
}
} // namespace

int UploadRoutesRegister(const UploadRoute *table, int count)
{
    if (!table || count <= 0 || g_table_count >= static_cast<int>(sizeof g_tables / sizeof g_tables[0])) return -1;
    g_tables[g_table_count++] = Table{table, count};
    return 0;
}

UploadKind upload_kind(const char *route)
{
    if (!route) return UPLOAD_NONE;
    UploadKind kind = find(kIntakeUploads, static_cast<int>(sizeof kIntakeUploads / sizeof kIntakeUploads[0]), route);
    for (int t = 0; t < g_table_count && kind == UPLOAD_NONE; t++)
        kind = find(g_tables[t].routes, g_tables[t].count, route);
    return kind;
}
