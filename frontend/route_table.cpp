#include "frontend/route_table.h"

#include <cstring>

#include "common/web_utils.h"

namespace {
WebRes g_table[MAX_WEBREQ_COUNT];
unsigned char g_used[MAX_WEBREQ_COUNT];
int g_count = 0;

bool same_path(const char *a, const char *b)
{
    return strncmp(a, b, sizeof(WebRes::path)) == 0;
}
} // namespace

int WebResRegister(const WebRes *entries, int count)
{
    if (!entries || count <= 0) return -1;
    if (count + g_count >= MAX_WEBREQ_COUNT) {
        cgi_log("dispatchreq", 62, "",
                "[uvo debug] WEBREQ exceeded maximum value(MAX_WEBREQ_COUNT)");
        return -1;
    }
    int next = 0;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT && next < count; slot++) {
        if (g_used[slot]) continue;
        g_table[slot] = entries[next++];
        g_table[slot].path[sizeof(WebRes::path) - 1] = '\0';
        g_used[slot] = 1;
        g_count++;
    }
    return 0;
}

int WebResUnregister(const WebRes *entries, int count)
{
    if (!entries || count <= 0) return -1;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        if (!g_used[slot]) continue;
        for (int i = 0; i < count; i++) {
            if (same_path(g_table[slot].path, entries[i].path)) {
                memset(&g_table[slot], 0, sizeof(g_table[slot]));
                g_used[slot] = 0;
                g_count--;
                break;
            }
        }
    }
    return 0;
}

int DispatchWebReq(const char *route, char *request)
{
    if (!route) return 0;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        if (g_used[slot] && strcmp(g_table[slot].path, route) == 0) {
            return g_table[slot].handler ? g_table[slot].handler(request) : 0;
        }
    }
    return 0;
}

const WebRes *FindWebRes(const char *route)
{
    if (!route) return nullptr;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        if (strcmp(g_table[slot].path, route) == 0) return &g_table[slot];
    }
    return nullptr;
}

int WebResCount() { return g_count; }

const WebRes *WebResSlot(int slot)
{
    if (slot < 0 || slot >= MAX_WEBREQ_COUNT || !g_used[slot]) return nullptr;
    return &g_table[slot];
}
