#include "frontend/route_table.h"

#include <cstdint>
#include <cstring>

#include "common/web_utils.h"

namespace {
// A path as one 64-bit word: its bytes up to the first zero (at most 8),
// byte i in bits 8i..8i+7, the rest zero. Two paths are equal under
// strncmp(a, b, 8) exactly when their words are equal. `path` must have 8
// readable bytes.
uint64_t path_word(const char *path)
{
    static_assert(sizeof(WebRes::path) == sizeof(uint64_t), "a path fits one word");
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "byte i of a path is bits 8i..8i+7");
    uint64_t word;
    memcpy(&word, path, sizeof word);
    // Marks the first zero byte exactly (the trick may mark bytes above it too).
    const uint64_t zeros = (word - 0x0101010101010101ULL) & ~word & 0x8080808080808080ULL;
    if (!zeros) return word;
    return word & (((zeros & (0 - zeros)) >> 7) - 1);
}

// The table with its flags, its path index and the record of the lists
// registered, kept together so that registration touches as few pages as it
// can (every request pays for it at start and exit).
enum { kHashSize = 2 * MAX_WEBREQ_COUNT, kMaxLists = 32 }; // hash: power of two, load <= 1/2
struct List {
    const WebRes *entries;
    int count;
    int first; // its entries sit in slots first .. first + count - 1
};
struct alignas(4096) Table {
    // What start-up writes comes first (flags, counts, the list records),
    // then the slots in use: with the program's 421 routes they end within
    // the second page. The hash, used only when other lists come, is last.
    unsigned char used[MAX_WEBREQ_COUNT];
    int count;
    int first_free; // no free slot below this one
    int hash_fill;   // entries in the hash, freed slots' included
    bool hash_stale; // rebuild before use
    // A path is registered twice (found by registration and by a rebuild of
    // the hash; the lists below are not kept meanwhile).
    bool repeated;
    // Every list registered so far is one of the program's own route lists,
    // each once (bit i: the i-th list of the section): their paths are
    // distinct (the tests check it), so they are copied in without a look at
    // the hash, which is built when another list comes.
    bool foreign;
    uint64_t own_registered;
    // Lists registered in contiguous slots, in order, while the table holds
    // each path once: removing the last of them removes exactly its slots.
    // Any other removal forgets them all.
    List lists[kMaxLists];
    int list_count;
    WebRes slots[MAX_WEBREQ_COUNT]; // paths zero-padded: a slot's word is its first 8 bytes
    // Open-addressed hash of the used slots by path word (slot + 1, 0 =
    // empty). Kept up to date by registration while it is valid; a removal
    // leaves it valid (a freed slot is skipped by its flag), a removal of a
    // whole list in one piece invalidates it; rebuilt when next needed.
    short hash[kHashSize];
} g; // all zero: an empty table with an empty, valid hash

uint64_t slot_word(int slot)
{
    uint64_t word;
    memcpy(&word, g.slots[slot].path, sizeof word);
    return word;
}

unsigned hash_word(uint64_t word)
{
    static_assert(kHashSize == 1024, "the product's top 10 bits index the hash");
    return static_cast<unsigned>((word * 0x9E3779B97F4A7C15ULL) >> 54); // the best-mixed bits
}

// Adds a used slot to the hash; false when another used slot has its path.
// (An entry of a freed slot stays until the next rebuild: it is skipped by
// the slot's flag, or, when the slot was reused, stands for the new path.)
bool hash_insert(int slot)
{
    const uint64_t word = slot_word(slot);
    unsigned h = hash_word(word);
    bool fresh = true;
    for (; g.hash[h]; h = (h + 1) & (kHashSize - 1)) {
        const int other = g.hash[h] - 1;
        if (other != slot && g.used[other] && slot_word(other) == word) fresh = false;
    }
    g.hash[h] = static_cast<short>(slot + 1);
    g.hash_fill++;
    return fresh;
}

void build_hash()
{
    memset(g.hash, 0, sizeof g.hash);
    g.hash_fill = 0;
    g.repeated = false;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++)
        if (g.used[slot] && !hash_insert(slot)) g.repeated = true;
    g.hash_stale = false;
}

// The index of `entries` among the program's route lists (registered whole,
// as declared), -1 for any other list.
int own_list(const WebRes *entries, int count);

// Registers one of the program's own lists into free slots from first_free
// on: a copy of its entries (zero-padded paths of at most 7 characters, as
// webres_from_decls() makes them). False when it cannot be done so.
bool register_own(const WebRes *entries, int count)
{
    const int own = own_list(entries, count);
    if (g.foreign || own < 0 || own >= 64 || (g.own_registered >> own & 1)) return false;
    const int first = g.first_free;
    if (first + count > MAX_WEBREQ_COUNT || memchr(&g.used[first], 1, static_cast<size_t>(count))) return false;
    memcpy(&g.slots[first], entries, sizeof(WebRes) * static_cast<size_t>(count));
    memset(&g.used[first], 1, static_cast<size_t>(count));
    g.count += count;
    g.first_free = first + count;
    g.own_registered |= 1ULL << own;
    g.hash_stale = true;
    if (g.list_count < kMaxLists) g.lists[g.list_count++] = List{entries, count, first};
    else g.list_count = 0;
    return true;
}
} // namespace

int WebResRegister(const WebRes *entries, int count)
{
    if (!entries || count <= 0) return -1;
    if (count + g.count >= MAX_WEBREQ_COUNT) {
        cgi_log("dispatchreq", 62, "",
                "[uvo debug] WEBREQ exceeded maximum value(MAX_WEBREQ_COUNT)");
        return -1;
    }
    if (register_own(entries, count)) return 0;
    g.foreign = true;
    if (g.hash_stale || g.hash_fill + count > kHashSize / 2) build_hash(); // load stays <= 1/2
    const int first = g.first_free;
    int next = 0, last = first;
    for (int slot = g.first_free; slot < MAX_WEBREQ_COUNT && next < count; slot++) {
        if (g.used[slot]) continue;
        const WebRes &e = entries[next++];
        const uint64_t word = path_word(e.path) & 0x00FFFFFFFFFFFFFFULL; // at most 7 characters
        memcpy(g.slots[slot].path, &word, sizeof word);
        g.slots[slot].handler = e.handler;
        g.first_free = slot + 1;
        g.used[slot] = 1;
        g.count++;
        if (!hash_insert(slot)) g.repeated = true;
        last = slot;
    }
    if (!g.repeated && last - first + 1 == count && g.list_count < kMaxLists)
        g.lists[g.list_count++] = List{entries, count, first};
    else
        g.list_count = 0;
    return 0;
}

int WebResUnregister(const WebRes *entries, int count)
{
    if (!entries || count <= 0) return -1;
    // The last list registered, removed as registered: its slots are the
    // only ones with its paths.
    if (g.list_count > 0) {
        const List &top = g.lists[g.list_count - 1];
        if (top.entries == entries && top.count == count && !g.repeated) {
            memset(&g.slots[top.first], 0, sizeof(WebRes) * static_cast<size_t>(count));
            memset(&g.used[top.first], 0, static_cast<size_t>(count));
            if (top.first < g.first_free) g.first_free = top.first;
            g.count -= count;
            g.hash_stale = true;
            g.list_count--;
            const int own = own_list(entries, count);
            if (own >= 0 && own < 64) g.own_registered &= ~(1ULL << own);
            return 0;
        }
    }
    g.list_count = 0;
    g.foreign = true; // which lists are left is not followed any more
    if (g.hash_stale) build_hash();
    for (int i = 0; i < count; i++) {
        const uint64_t word = path_word(entries[i].path);
        // Every used slot with this path sits in the probe run from its hash.
        for (unsigned h = hash_word(word); g.hash[h]; h = (h + 1) & (kHashSize - 1)) {
            const int slot = g.hash[h] - 1;
            if (!g.used[slot] || slot_word(slot) != word) continue;
            memset(&g.slots[slot], 0, sizeof(g.slots[slot]));
            if (slot < g.first_free) g.first_free = slot;
            g.used[slot] = 0;
            g.count--;
        }
    }
    if (g.repeated) g.hash_stale = true; // the rebuild finds out whether one still is
    return 0;
}

namespace {
// First slot (used or, for FindWebRes, any) whose path equals the route as a
// whole text; -1 when none. Paths hold at most 7 characters, so a longer
// route matches nothing; shorter ones compare as one word per slot.
int find_slot(const char *route, bool used_only)
{
    const size_t len = strnlen(route, sizeof(WebRes::path));
    if (len == sizeof(WebRes::path)) return -1;
    char path[sizeof(WebRes::path)] = {};
    memcpy(path, route, len);
    const uint64_t word = path_word(path);
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        if (used_only && !g.used[slot]) continue;
        if (slot_word(slot) == word) return slot;
    }
    return -1;
}
} // namespace

int DispatchWebReq(const char *route, char *request)
{
    if (!route) return 0;
    const int slot = find_slot(route, true);
    if (slot < 0 || !g.slots[slot].handler) return 0;
    return g.slots[slot].handler(request);
}

const WebRes *FindWebRes(const char *route)
{
    if (!route) return nullptr;
    const int slot = find_slot(route, false);
    return slot < 0 ? nullptr : &g.slots[slot];
}

int WebResCount() { return g.count; }

const WebRes *WebResSlot(int slot)
{
    if (slot < 0 || slot >= MAX_WEBREQ_COUNT || !g.used[slot]) return nullptr;
    return &g.slots[slot];
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

namespace {
int own_list(const WebRes *entries, int count)
{
    int n = 0;
    const RouteModuleDecl *decls = route_module_decls(&n);
    for (int i = 0; i < n; i++)
        if (decls[i].entries == entries && decls[i].count == count) return i;
    return -1;
}
} // namespace
