// Shared services of every handler: replies to the web server, the operation
// log record, debug lines, the logged-in user, commands, files and JSON access.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include <json-c/json.h>

#include "common/records/oplog.h"

// ---- Replies ---------------------------------------------------------------
enum { REPLY_TEXT = 0, REPLY_JSON = 1, REPLY_RAW = 2 };

// Kind 0: text/plain header, 1: application/json header, other: no header.
int cgi_writeback_webserver(int kind, const char *text);
// Kind 0: "CGI ERROR"; kind 1: {status:"CGI ERROR"}; others: nothing.
int cgi_error_to_webserver(int kind);
// Serialises a JSON object (plain form) and writes it with the given kind.
int cgi_writeback_json(int kind, json_object *obj);
// The header lines of a reply of `kind` (REPLY_RAW: none), for a reply
// whose body follows in pieces (JsonText on stdout, then finish()).
void cgi_reply_header(int kind);

// ---- Debug log -------------------------------------------------------------
// Appends "[vexor debug] <time>  <source>:<line> in <function>: <message>" to
// /mnt/nand/cgi_log.txt. -1 when the file cannot be opened.
int cgi_log(const char *source, int line, const char *function, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// ---- The request being served ----------------------------------------------
// The front end hands over what the shared services read of the CGI request
// (the cookie header and the client's address); null reads as "".
void web_set_request(const char *cookie, const char *remote_addr);
const char *cgi_request_cookie();
const char *cgi_request_remote_addr();

// ---- Operation log ---------------------------------------------------------
int cgi_init_log_info(OpLogRecord *record);
int get_current_username(char *buffer, size_t size);
// The value of the first cookie pair named exactly `name`, cut to size-1
// characters. 0 when found, -1 when not.
int cookie_value(const char *name, char *buffer, size_t size);

// ---- Text copies -------------------------------------------------------------
// Copies src into dst (size bytes), cut to size-1 characters; the rest of dst
// is zeroed, so a field filled again never keeps bytes of its old text (the
// records' unused bytes are zero). Returns the number of characters copied.
// A null src gives "".
size_t copy_text(char *dst, size_t size, const char *src);
// Same for a field that may lack its zero (daemon replies, stored records):
// reads at most src_size bytes of src.
size_t copy_field(char *dst, size_t size, const char *src, size_t src_size);
#define COPY_TEXT(dst, src) copy_text((dst), sizeof(dst), (src))
// A whole decimal integer within the int range, surrounding blanks allowed
// ("7", " 12\n"); false (out untouched) for anything else ("7x", "", "0x1").
bool parse_decimal(const char *text, int *out);

// ---- Commands and files ------------------------------------------------------
// Runs a shell command; 0 when it ran and exited 0, else -1.
int web_system(const char *command);
// Builds a command from a trusted template: every %s is replaced by the
// shell-quoted argument, %d/%u/%ld/%lu/%lld/%llu by the number, %% by '%'.
// Returns the length, or -1 (out empty) when the command would not fit or the
// template is malformed: a cut command is never run.
int shell_format(char *out, size_t size, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));
// Quotes one argument for the shell ('...' with embedded quotes escaped).
// -1 when it does not fit.
int shell_quote(char *out, size_t size, const char *arg);
// Runs a program from an argument vector, without a shell: argv[0] is
// looked up on PATH, argv ends with a null pointer. Standard input and
// output are /dev/null (the reply is never written by a child), standard
// error stays the web server's. Returns the program's exit status (0 to
// 255), or -1 when it could not be run or was ended by a signal.
int web_run(const char *const argv[]);
// The same, with the program's standard output read into out (at most
// size-1 bytes, zero-terminated; the rest is read and dropped).
int web_run_output(const char *const argv[], char *out, size_t size);

// All paths below are device paths; they are mapped under NVRWEB_ROOT here.
int file_lock(const char *path);
int file_unlock(int fd);
int IsFileExisted(const char *path);
int IsDirExisted(const char *path);
// The stored upload an upload's request text names ("<path>" or
// "<path> & <param>"): true and its device path when that is /tmp/<name>, a
// regular file (not a link) directly in /tmp.
bool tmp_upload_path(const char *request, std::string *path);
int RemoveFile(const char *from, const char *to); // /bin/mv from to
int DeleteFile(const char *path);                  // /bin/rm path
char *qx_get_file_data(const char *path, int *length);
int qx_wirte_file_data(const char *path, const char *data, int length);
int get_mac_addr(char *eth0, char *eth1);

// ---- JSON access ---------------------------------------------------------------
json_object *get_request_tokener_json_object(const char *text);
int on_cgi_get_value_by_json(const char *text, const char *key, int *out);
int on_cgi_get_int_from_json(json_object *obj, const char *key, int *out);
int on_cgi_get_string_from_json(json_object *obj, const char *key, char *buffer, int size);
int on_cgi_is_qx_lpr(int type);

// Typed reader: a handler declares the keys it reads and their types, and one
// call fetches them. A key that is missing or has another type yields nullptr
// in its slot ("counts as missing").
enum JsonKind { JK_INT, JK_STRING, JK_BOOL, JK_ARRAY, JK_OBJECT, JK_DOUBLE, JK_ANY };
struct JsonPolicy {
    const char *key;
    JsonKind kind;
};
// Fills tb[0..n-1]. Returns the number of keys found with the right type;
// -1 when obj is not an object.
int json_parse_policy(json_object *obj, const JsonPolicy *policy, int n, json_object **tb);
#define JSON_PARSE(obj, policy, tb)                                                               \
    json_parse_policy((obj), (policy), static_cast<int>(sizeof(policy) / sizeof((policy)[0])), (tb))
// True when v is present and of that kind (the check JSON_PARSE applies);
// use it on array elements before reading them.
bool jv_is(json_object *v, JsonKind kind);
// Value readers over a slot of the table (nullptr = missing).
int jv_int(json_object *v, int dflt = 0);
int64_t jv_int64(json_object *v, int64_t dflt = 0);
double jv_double(json_object *v, double dflt = 0);
const char *jv_str(json_object *v, const char *dflt = "");
// A channel number 0..63 from an integer slot; -1 when the slot is missing
// (or had another type) or the number is out of range, so a request without
// its channel never falls back to channel 0.
int jv_channel(json_object *v);
// Copies a text slot into a field; a missing slot leaves the field untouched
// and returns false.
bool jv_copy(json_object *v, char *dst, size_t size);
// Array length (0 for nullptr or a non-array); element access bounded.
size_t jv_len(json_object *v);
json_object *jv_at(json_object *v, size_t i);

// ---- Key tables of the handlers (read by the route catalogue) ----
// A handler's top-level key table, tied to the handler next to the table:
//   constexpr JsonPolicy kSpeedKeys[] = {{"camId", JK_INT}, ...};
//   NVRWEB_HANDLER_KEYS(on_set_ptz_speed, kSpeedKeys);
// The tie is a descriptor in the section nvrweb_keys, written at compile
// time; it may also stand inside the handler beside a static table. The
// descriptors are read back as one array: the explicit alignment keeps the
// compiler from padding them apart.
struct HandlerKeys {
    int (*handler)(char *request);
    const JsonPolicy *keys;
    int count;
};
#define NVRWEB_KEYS_CAT2(a, b) a##b
#define NVRWEB_KEYS_CAT(a, b) NVRWEB_KEYS_CAT2(a, b)
#define NVRWEB_HANDLER_KEYS(handler, table)                                                       \
    __attribute__((used, section("nvrweb_keys"), aligned(alignof(HandlerKeys))))                  \
    static const HandlerKeys NVRWEB_KEYS_CAT(nvrweb_handler_keys_, __LINE__) = {                  \
        (handler), (table), static_cast<int>(sizeof(table) / sizeof((table)[0]))}

// Building replies. A text field of a record may lack its zero (stored records
// and daemon replies are untrusted): json_add_field reads at most the field.
void json_add_int(json_object *obj, const char *key, int value);
void json_add_text(json_object *obj, const char *key, const char *text);
void json_add_field(json_object *obj, const char *key, const char *field, size_t size);
template <size_t N> void json_add_field(json_object *obj, const char *key, const char (&field)[N])
{
    json_add_field(obj, key, field, N);
}

// Owning wrapper for a parsed request.
struct JsonDoc {
    json_object *obj;
    explicit JsonDoc(const char *text) : obj(get_request_tokener_json_object(text)) {}
    explicit JsonDoc(json_object *o) : obj(o) {}
    ~JsonDoc() { if (obj) json_object_put(obj); }
    JsonDoc(const JsonDoc &) = delete;
    JsonDoc &operator=(const JsonDoc &) = delete;
    explicit operator bool() const { return obj != nullptr; }
    json_object *get() const { return obj; }
};
