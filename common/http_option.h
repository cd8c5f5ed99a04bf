// Maintenance option commands: the option table of the service and factory
// keywords ("setlang=2&decode=1", "oemclean", ...), its hash table, the
// request splitter and the options themselves. The route handler that ties
// them together is in the system module (modules/system/vb_htm.cpp).
//
// Each option function gets its decoded slot (keyword and value) and writes
// its own answer; several options in one request answer one after another
// into the same reply, behind one CGI header.
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    HTTP_OPTION_SLOTS = 64,        // decoded slots of one request
    HTTP_OPTION_TEXT_SIZE = 64,    // keyword and value fields
    HTTP_OPTION_MAX_POSITION = 63, // last request text position the split reads
    HTTP_OPTION_HASH_BUCKETS = 64,
    HTTP_OPTION_NO_ARG_SLOTS = 10,
    HTTP_OPTION_ARGNUM_SCAN = 255, // characters get_httpoption_argnum looks at
    HTTP_OPTION_COUNT = 9,
};

// One decoded "keyword=value" pair (128 bytes).
struct HttpOptionSlot {
    char name[HTTP_OPTION_TEXT_SIZE];
    char value[HTTP_OPTION_TEXT_SIZE];
};
static_assert(sizeof(HttpOptionSlot) == 128, "option slot is 128 bytes");

typedef int (*HttpOptionFunc)(const HttpOptionSlot *slot);

struct HttpOption {
    const char *name;
    HttpOptionFunc func;
    int32_t flags;     // 2 for "softversion", 0 for the others
    int32_t reserved;  // 0
    int32_t enabled;   // 1
    HttpOption *next;  // next entry of the same hash bucket
};

// The 9 options in table order: setlang, setdefault, decode, hotplug,
// oemclean, paratest, chipupdate, modelupdate, softversion.
extern HttpOption HttpOptionTable[HTTP_OPTION_COUNT];
// Keywords that may come without "=value": "oemclean", "zorva", "debug",
// "softversion" and six empty slots.
extern const char HTTP_OPTION_NO_ARG[HTTP_OPTION_NO_ARG_SLOTS][HTTP_OPTION_TEXT_SIZE];

// Bucket of a keyword: h = h * 37 + c over its bytes in unsigned 32-bit
// arithmetic, bucket = h & 63.
uint32_t http_option_hash(const char *text);
// Builds the hash table of the option table (entries inserted in table
// order, each at the head of its bucket). 0, or -1 when the bucket heads
// cannot be allocated. hash_table_destory() frees them.
int hash_table_init();
void hash_table_destory();
// The entry whose name equals the slot's keyword (exact, case-sensitive), or
// nullptr (also before hash_table_init()).
HttpOption *http_option_search(const HttpOptionSlot *slot);

// 1 when the text equals one of the no-value keywords (an empty text
// matches an empty slot), else 0.
int is_httpoption_no_arg(const char *text);
// Number of '=' characters in the first 255 characters of the text.
int get_httpoption_argnum(const char *text);
// Splits `count` pairs of the text into slots[0..count-1]: keyword up to '=',
// value up to '&' or the end. -1 when count is outside 1..HTTP_OPTION_SLOTS
// (slots holds HTTP_OPTION_SLOTS entries) or when the split reaches a text
// position beyond 63: a request text has at most 64 characters.
int ui_decodeing(const char *text, HttpOptionSlot *slots, int count);

// Answers of one request: the first carries the text/plain CGI header, the
// later ones are appended without one. Reset at the start of each request.
void http_option_reply_reset();
void http_option_reply(const char *text);

// The option functions of the table.
int setlang(const HttpOptionSlot *slot);
int setdefault(const HttpOptionSlot *slot);
int decode(const HttpOptionSlot *slot);
int hotplug(const HttpOptionSlot *slot);
int oemclean(const HttpOptionSlot *slot);
int paratest(const HttpOptionSlot *slot);
int chipupdate(const HttpOptionSlot *slot);
int modelupdate(const HttpOptionSlot *slot);
int softversion(const HttpOptionSlot *slot);

// True when an identity value may be handed to the chip tool: 1 to 63
// characters of [A-Za-z0-9._:-].
bool chip_identity_valid(const char *value);
