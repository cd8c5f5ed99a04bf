#include "frontend/route_table.h"

#include <cstdint>
#include <cstring>

#include "common/web_utils.h"

namespace {
WebRes g_table[MAX_WEBREQ_COUNT];
unsigned char g_used[MAX_WEBREQ_COUNT];
int g_count = 0;
uint64_t g_word[MAX_WEBREQ_COUNT]; // path_word() of each slot's path, kept with the table
int g_first_free = 0;              // no free slot below this one

// A path as one 64-bit word: its bytes up to the first zero (at most 8),
// byte i in bits 8i..8i+7, the rest zero. Two paths are equal under
// strncmp(a, b, 8) exactly when their words are equal.
uint64_t path_word(const char *path)
{
    uint64_t word = 0;
    for (unsigned i = 0; i < sizeof(WebRes::path) && path[i]; i++)
        word |= static_cast<uint64_t>(static_cast<unsigned char>(path[i])) << (8 * i);
    return word;
}
static_assert(sizeof(WebRes::path) == sizeof(uint64_t), "a path fits one word");

// Open-addressed hash of the used slots by path word, built on the first
// removal after a change of the table (registration invalidates it; a
// removal leaves it valid, since a freed slot is skipped by its flag).
// Each request's exit removes every module's list, so this is on the path of
// every request: one probe per given entry instead of a scan of the table.
enum { kHashSize = 2 * MAX_WEBREQ_COUNT }; // power of two, load <= 1/2
short g_hash[kHashSize];                     // slot + 1, 0 = empty
bool g_hash_valid = false;

unsigned hash_word(uint64_t word)
{
    return static_cast<unsigned>((word * 0x9E3779B97F4A7C15ULL) >> 40) & (kHashSize - 1);
}

void build_hash()
{
    memset(g_hash, 0, sizeof g_hash);
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        if (!g_used[slot]) continue;
        unsigned h = hash_word(g_word[slot]);
        while (g_hash[h]) h = (h + 1) & (kHashSize - 1);
        g_hash[h] = static_cast<short>(slot + 1);
    }
    g_hash_valid = true;
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
    for (int slot = g_first_free; slot < MAX_WEBREQ_COUNT && next < count; slot++) {
        if (g_used[slot]) continue;
        g_table[slot] = entries[next++];
        g_table[slot].path[sizeof(WebRes::path) - 1] = '\0';
        g_word[slot] = path_word(g_table[slot].path);
        g_first_free = slot + 1;
        g_used[slot] = 1;
        g_count++;
        g_hash_valid = false;
    }
    return 0;
}

int WebResUnregister(const WebRes *entries, int count)
{
    if (!entries || count <= 0) return -1;
    if (!g_hash_valid) build_hash();
    for (int i = 0; i < count; i++) {
        const uint64_t word = path_word(entries[i].path);
        // Every used slot with this path sits in the probe run from its hash.
        for (unsigned h = hash_word(word); g_hash[h]; h = (h + 1) & (kHashSize - 1)) {
            const int slot = g_hash[h] - 1;
            if (!g_used[slot] || g_word[slot] != word) continue;
            memset(&g_table[slot], 0, sizeof(g_table[slot]));
            g_word[slot] = 0;
            if (slot < g_first_free) g_first_free = slot;
            g_used[slot] = 0;
            g_count--;
        }
    }
    return 0;
}

namespace {
// First slot (used or, for FindWebRes, any) whose path equals the route as a
// whole text; -1 when none. Paths hold at most 7 characters, so a longer
// route matches nothing; shorter ones compare as one word per slot.
int find_slot(const char *route, bool used_only)
{
    if (strnlen(route, sizeof(WebRes::path)) == sizeof(WebRes::path)) return -1;
    const uint64_t word = path_word(route);
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        if (used_only && !g_used[slot]) continue;
        if (g_word[slot] == word) return slot;
    }
    return -1;
}
} // namespace

int DispatchWebReq(const char *route, char *request)
{
    if (!route) return 0;
    const int slot = find_slot(route, true);
    if (slot < 0 || !g_table[slot].handler) return 0;
    return g_table[slot].handler(request);
}

const WebRes *FindWebRes(const char *route)
{
    if (!route) return nullptr;
    const int slot = find_slot(route, false);
    return slot < 0 ? nullptr : &g_table[slot];
}

int WebResCount() { return g_count; }

const WebRes *WebResSlot(int slot)
{
    if (slot < 0 || slot >= MAX_WEBREQ_COUNT || !g_used[slot]) return nullptr;
    return &g_table[slot];
}

// The route lists' descriptors, placed in the section nvrweb_routes by
// NVRWEB_MODULE_ROUTES; the linker provides the section's bounds. Weak, so a
// program without route lists links too (both are then null).
extern "C" {
extern const RouteModuleDecl __start_nvrweb_routes[] __attribute__((weak));
extern const RouteModuleDecl __stop_nvrweb_routes[] __attribute__((weak));
}

const RouteModuleDecl *route_module_decls(int *count)
{
    return section_entries(__start_nvrweb_routes, __stop_nvrweb_routes, count);
}
