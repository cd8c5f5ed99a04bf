// Device log: the log types with their names (/1015), one page of a search
// (/1002), one entry's details (/1021), the export of a search as a CSV
// download (/1003) and the mark of a running export (/1022).
//
// The daemon keeps the log; names of types, entries and settings groups come
// from the platform's translation library in the language of the request.
#include "modules/system/logs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common/ipc.h"
#include "common/records/network.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/system/system_ipc.h"
#include "platform/device_path.h"
#include "platform/qx_trans.h"

namespace {

const char kDb[] = QXDB_PATH;

enum { kLanguageMax = 31, kLanMax = 15, kNameMax = 256, kIpMax = 45, kUserMax = 63 };
enum { kDetailWords = LOG_DETAIL_SIZE / 4 };
enum { kOemSubTypes = 90 }; // "oem_type" whose event list holds 15 and 16

// ---- Log types and names -----------------------------------------------------------------

struct MainType {
    int bit;             // as stored in the log
    int trans_id;        // translation id of its name
    const char *file_name; // name in the export's file name
};
const MainType kMainTypes[] = {
    {LOG_MAIN_ALL, 1, "All"},
    {LOG_MAIN_EVENT, 2, "Event"},
    {LOG_MAIN_OPERATION, 3, "Operation"},
    {LOG_MAIN_INFORMATION, 4, "Information"},
    {LOG_MAIN_EXCEPTION, 5, "Exception"},
    {LOG_MAIN_DEBUG, 6, "Debug"},
};

const MainType *find_main_type(int bit)
{
    for (const MainType &m : kMainTypes)
        if (m.bit == bit) return &m;
    return nullptr;
}

// Translation id of a main type, -1 for a value the log does not use.
int main_type_id(int bit)
{
    const MainType *m = find_main_type(bit);
    return m ? m->trans_id : -1;
}

// The translated name of an id ("" when it has none or lies outside int).
std::string trans_name(int64_t id)
{
    char name[kNameMax];
    if (id < 0 || id > 0x7fffffff || trans_get_value(static_cast<int>(id), name, sizeof name) != 0) return "";
    return name;
}

// Sub types of a main type in the order of the search page, "all" first.
std::vector<int> sub_types_of(int bit)
{
    std::vector<int> v{LOG_SUB_ALL};
    auto range = [&v](int first, int last, std::initializer_list<int> skip) {
        for (int i = first; i <= last; i++)
            if (std::find(skip.begin(), skip.end(), i) == skip.end()) v.push_back(i);
    };
    switch (bit) {
    case LOG_MAIN_EVENT:
        if (get_param_int(kDb, "oem_type", 0) == kOemSubTypes) range(11, 36, {31, 32});
        else range(11, 36, {15, 16, 31, 32});
        range(38, 41, {});
        v.insert(v.end(), {37, 42, 43, 44});
        break;
    case LOG_MAIN_OPERATION:
        range(101, 144, {});
        range(200, 228, {});
        break;
    case LOG_MAIN_INFORMATION: range(500, 521, {507, 508, 509, 510}); break;
    case LOG_MAIN_EXCEPTION: range(400, 413, {408}); break;
    case LOG_MAIN_DEBUG: range(600, 603, {}); break;
    default: break;
    }
    return v;
}

// A language code names the translation file: letters, digits, '-' and '_'.
bool take_language(json_object *v, char *out, size_t size)
{
    if (!jv_copy(v, out, size) || out[0] == '\0') return false;
    for (const char *p = out; *p; p++) {
        char c = *p;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

void local_time_text(int32_t seconds, const char *format, char *out, size_t size)
{
    time_t t = seconds;
    struct tm tmv;
    memset(&tmv, 0, sizeof tmv);
    localtime_r(&t, &tmv);
    snprintf(out, size, format, tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour,
             tmv.tm_min, tmv.tm_sec);
}

// ---- Search and export requests ------------------------------------------------------------

// What the reply callbacks need of the request in flight.
struct LogQuery {
    char language[kLanguageMax + 1];
    int cur_page;
    int main_type;
};
LogQuery g_query;

enum { SK_LANGUAGE, SK_START, SK_END, SK_MAIN, SK_SUBS, SK_PAGE, SK_CHN_MASK, SK_NO_CHN, SK_CH, SK_NA, SK_COUNT };
const JsonPolicy kSearchPolicy[SK_COUNT] = {
    {"language", JK_STRING}, {"startTime", JK_STRING}, {"endTime", JK_STRING},
    {"mainType", JK_INT},    {"subTypeArr", JK_ARRAY}, {"curPageNum", JK_INT},
    {"chnMask", JK_STRING},  {"searchNoChn", JK_INT},  {"ch", JK_ANY},
    {"na", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_get_log_info, kSearchPolicy);
NVRWEB_HANDLER_KEYS(on_download_logfile, kSearchPolicy);

const char kSearchTime[] = "%Y-%m-%d %H:%M:%S";
const char kExportTime[] = "%Y-%m-%dT%H:%M:%S";

// Local time text to seconds; false when it does not parse in full.
bool parse_time(json_object *v, const char *format, int32_t *out)
{
    const char *text = jv_str(v, nullptr);
    if (!text) return false;
    struct tm tmv;
    memset(&tmv, 0, sizeof tmv);
    const char *end = strptime(text, format, &tmv);
    if (!end) return false;
    while (*end == ' ') end++;
    if (*end) return false;
    tmv.tm_isdst = -1; // the library decides on daylight saving
    time_t t = mktime(&tmv);
    if (t == static_cast<time_t>(-1) || t < INT32_MIN || t > INT32_MAX) return false;
    *out = static_cast<int32_t>(t);
    return true;
}

bool sub_type_at(json_object *list, size_t i, int64_t *out)
{
    json_object *e = jv_at(list, i);
    if (!jv_is(e, JK_INT)) return false;
    *out = json_object_get_int64(e);
    return true;
}

// Parses and checks the keys a search and an export share; false means the
// JSON error reply. The channel keys differ and are read by the callers.
bool parse_search(json_object *const *tb, const char *time_format, LogSearchRequest *req)
{
    memset(req, 0, sizeof *req);
    memset(&g_query, 0, sizeof g_query);
    int64_t first = 0;
    if (!take_language(tb[SK_LANGUAGE], g_query.language, sizeof g_query.language) || !tb[SK_MAIN] ||
        !tb[SK_PAGE] || !sub_type_at(tb[SK_SUBS], 0, &first) || first <= 9)
        return false;
    int main_type = jv_int(tb[SK_MAIN]);
    if (main_type < 1 || main_type > 64) return false;
    if (!parse_time(tb[SK_START], time_format, &req->start_time) ||
        !parse_time(tb[SK_END], time_format, &req->end_time))
        return false;
    req->main_type = main_type;
    size_t n = jv_len(tb[SK_SUBS]);
    if (n > LOG_SUB_TYPES_MAX) n = LOG_SUB_TYPES_MAX;
    for (size_t i = 0; i < n; i++)
        if (!sub_type_at(tb[SK_SUBS], i, &req->sub_types[i])) req->sub_types[i] = 0;
    req->sub_type_count = static_cast<int32_t>(n);
    g_query.cur_page = jv_int(tb[SK_PAGE]);
    g_query.main_type = main_type;
    return true;
}

// The export page sends the operations it wants as up to three words, each
// 10 plus a mask of 30 operations counted from its base. Only the words the
// request holds are expanded; a word below 10 selects nothing.
void expand_operations(LogSearchRequest *req)
{
    static const int kBases[3] = {101, 131, 200};
    if (req->sub_type_count == 1 && req->sub_types[0] == LOG_SUB_ALL) return;
    int64_t words[3] = {0, 0, 0};
    int given = req->sub_type_count < 3 ? req->sub_type_count : 3;
    for (int p = 0; p < given; p++) words[p] = req->sub_types[p];
    memset(req->sub_types, 0, sizeof req->sub_types);
    int n = 0;
    for (int p = 0; p < given; p++) {
        if (words[p] < LOG_SUB_ALL) continue;
        uint64_t bits = static_cast<uint64_t>(words[p] - LOG_SUB_ALL);
        for (int i = 0; i < 30; i++)
            if (bits & (1ULL << i)) req->sub_types[n++] = kBases[p] + i;
    }
    req->sub_type_count = n;
}

// "ch": the channel mask as a decimal number (text, or a JSON number).
uint64_t export_channel_mask(json_object *v)
{
    if (!v) return 0;
    if (json_object_is_type(v, json_type_string)) return strtoull(json_object_get_string(v), nullptr, 10);
    if (json_object_is_type(v, json_type_int)) return static_cast<uint64_t>(json_object_get_int64(v));
    return 0;
}

// ---- Entries -------------------------------------------------------------------------------

std::string entry_address(const LogEntry &e)
{
    char ip[sizeof e.client_addr + 1];
    log_show_address(e.client_addr, sizeof e.client_addr, ip, sizeof ip);
    return ip;
}

json_object *entry_json(const LogEntry &e, int position)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "no", position);
    json_add_int(o, "mainTypeValue", e.main_type);
    json_add_text(o, "mainType", trans_name(main_type_id(e.main_type)).c_str());
    json_object_object_add(o, "subTypeValue", json_object_new_int64(e.sub_type));
    json_add_text(o, "subType", trans_name(e.sub_type).c_str());
    json_add_int(o, "pts", e.time);
    char ptc[32];
    local_time_text(e.time, "%4d-%02d-%02d %02d:%02d:%02d", ptc, sizeof ptc);
    json_add_text(o, "ptc", ptc);
    json_add_int(o, "parameterValue", e.param_type);
    json_add_text(o, "parameter", trans_name(e.param_type).c_str());
    json_add_int(o, "remote", e.remote);
    json_add_int(o, "chanNo", e.channel);
    json_add_int(o, "disk", log_channo_is_disk(e.main_type, e.sub_type));
    json_add_int(o, "size", e.size);
    json_add_field(o, "detail", reinterpret_cast<const char *>(e.detail), sizeof e.detail);
    json_object *words = json_object_new_array();
    for (int i = 0; i < kDetailWords; i++) {
        const uint8_t *b = e.detail + 4 * i;
        uint32_t w = static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
                     static_cast<uint32_t>(b[2]) << 8 | b[3];
        json_object_array_add(words, json_object_new_int(static_cast<int32_t>(w)));
    }
    json_object_object_add(o, "detail2", words);
    json_add_text(o, "ip", entry_address(e).c_str());
    json_add_field(o, "user", e.user_name);
    return o;
}

// ---- CSV export ----------------------------------------------------------------------------

// A cell and its comma. Text cells are quoted when they hold a separator, a
// quote or a line break (or always, for the detail); quotes are doubled.
void csv_cell(std::string *line, const std::string &text, bool quoted = false)
{
    if (!quoted && text.find_first_of(",\"\r\n") == std::string::npos) {
        *line += text;
    } else {
        *line += '"';
        for (char c : text) {
            if (c == '"') *line += '"';
            *line += c;
        }
        *line += '"';
    }
    *line += ',';
}

void csv_number(std::string *line, int value) { *line += std::to_string(value) + ","; }

// The daemon's export file: a regular path directly or deeper under /tmp,
// without "..": nothing else is read or removed.
bool export_path_ok(const char *path)
{
    return strncmp(path, "/tmp/", 5) == 0 && path[5] != '\0' && !strstr(path, "..");
}

// Only letters and digits of the stored MAC reach the header.
std::string factory_mac_text()
{
    char mac[64];
    read_mac_conf(kDb, mac, sizeof mac);
    std::string out;
    for (const char *p = mac; *p; p++)
        if ((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')) out += *p;
    return out;
}

void write_export_head(int main_type)
{
    const MainType *m = find_main_type(main_type);
    const char *type = m && m->bit != LOG_MAIN_ALL ? m->file_name : "All";
    char now[32];
    local_time_text(static_cast<int32_t>(time(nullptr)), "%4d%02d%02d%02d%02d%02d", now, sizeof now);
    std::string head = "Content-Type:application/octet-stream\r\n";
    char disposition[256];
    snprintf(disposition, sizeof disposition, "Content-Disposition: attachment; filename= %s_log_%s_%s.csv\r\n\r\n",
             type, factory_mac_text().c_str(), now);
    head += disposition;
    for (const char *h : {"Number", "Time", "Main", "Sub", "Parameter", "User", "Ip", "Channel", "Log information"})
        head += std::string(h) + ",";
    head += "\r\n";
    cgi_writeback_webserver(REPLY_RAW, head.c_str());
}

std::string export_line(const LogExportItem &item, int number)
{
    const LogEntry &e = item.entry;
    std::string line;
    csv_number(&line, number);
    char when[32];
    local_time_text(e.time, "%4d-%02d-%02d %02d:%02d:%02d", when, sizeof when);
    csv_cell(&line, when);
    csv_cell(&line, trans_name(main_type_id(e.main_type)));
    csv_cell(&line, trans_name(e.sub_type));
    std::string parameter = trans_name(e.param_type);
    csv_cell(&line, parameter.empty() ? "N/A" : parameter);
    csv_cell(&line, std::string(e.user_name, strnlen(e.user_name, sizeof e.user_name)));
    csv_cell(&line, entry_address(e));
    csv_number(&line, e.channel);
    std::string detail(item.detail, strnlen(item.detail, sizeof item.detail));
    csv_cell(&line, detail.empty() ? "N/A" : detail, true);
    line += "\r\n";
    return line;
}

// Writes the entries of the export file and removes it.
void write_export_entries(const char *path)
{
    if (!export_path_ok(path)) {
        cgi_log("OnSystem", __LINE__, "", "log export: file %s refused", path);
        return;
    }
    std::string host = nvr_path(path);
    FILE *f = fopen(host.c_str(), "rb");
    if (!f) {
        cgi_log("OnSystem", __LINE__, "", "log export: cannot open %s: %s", path, strerror(errno));
        return;
    }
    int32_t count = 0;
    if (fread(&count, sizeof count, 1, f) != 1) count = 0;
    static LogExportItem item; // 4.7 KB: off the receiving thread's stack
    std::string out;
    for (int32_t i = 0; i < count && fread(&item, sizeof item, 1, f) == 1; i++) {
        out += export_line(item, i + 1);
        if (out.size() >= 32768) {
            cgi_writeback_webserver(REPLY_RAW, out.c_str());
            out.clear();
        }
    }
    if (!out.empty()) cgi_writeback_webserver(REPLY_RAW, out.c_str());
    fclose(f);
    if (unlink(host.c_str()) != 0)
        cgi_log("OnSystem", __LINE__, "", "log export: cannot remove %s: %s", path, strerror(errno));
}

// The mark of a running export, made before the request and removed after.
int create_export_mark()
{
    std::string dir = nvr_path(LOG_EXPORT_DIR);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
        cgi_log("OnSystem", __LINE__, "", "log export: mkdir %s: %s", LOG_EXPORT_DIR, strerror(errno));
    int fd = open(nvr_path(LOG_EXPORT_MARK).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) cgi_log("OnSystem", __LINE__, "", "log export: cannot create %s: %s", LOG_EXPORT_MARK, strerror(errno));
    return fd;
}

void remove_export_mark(int fd)
{
    if (fd >= 0) close(fd);
    unlink(nvr_path(LOG_EXPORT_MARK).c_str());
}

} // namespace

// ---- Shared helpers ----------------------------------------------------------------------

int log_channo_is_disk(int main_type, int64_t sub_type)
{
    switch (main_type) {
    case LOG_MAIN_OPERATION:
        // format, network disk added / deleted / changed, disk removed:
        // their object number is the disk port
        return sub_type == 207 || sub_type == 219 || sub_type == 220 || sub_type == 221 || sub_type == 224;
    case LOG_MAIN_EXCEPTION:
        return sub_type == 400 || sub_type == 401; // disk full, disk error
    default:
        return 0;
    }
}

void log_show_address(const char *addr, size_t size, char *out, size_t out_size)
{
    if (!out || out_size == 0) return;
    char text[64];
    copy_field(text, sizeof text, addr, size);
    const char *shown = text;
    if (strncmp(text, "::ffff:", 7) == 0 && strchr(text, '.')) shown = text + 7;
    else if (char *zone = strchr(text, '%')) *zone = '\0';
    copy_text(out, out_size, shown);
}

// ---- /1015 ---------------------------------------------------------------------------------

int on_get_log_types(char *request)
{
    // parse, validate
    static constexpr JsonPolicy kPolicy[] = {{"lan", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_get_log_types, kPolicy);
    json_object *tb[1];
    JsonDoc doc(request);
    char lan[kLanMax + 1];
    if (!doc || JSON_PARSE(doc.get(), kPolicy, tb) < 0 || !take_language(tb[0], lan, sizeof lan))
        return cgi_error_to_webserver(REPLY_JSON);

    // act
    trans_init(lan);
    json_object *mains = json_object_new_array();
    json_object *subs = json_object_new_array();
    for (int key = 0; key <= 64; key++) {
        int id = main_type_id(key);
        if (id < 0) continue;
        json_object *m = json_object_new_object();
        json_add_int(m, "key", key);
        json_add_text(m, "name", trans_name(id).c_str());
        json_object_array_add(mains, m);
        json_object *list = json_object_new_array();
        for (int sub : sub_types_of(key)) {
            json_object *s = json_object_new_object();
            json_add_int(s, "key", sub);
            json_add_text(s, "name", trans_name(sub).c_str());
            json_object_array_add(list, s);
        }
        json_object_array_add(subs, list);
    }
    trans_deinit();

    // reply
    json_object *reply = json_object_new_object();
    json_object_object_add(reply, "mainType", mains);
    json_object_object_add(reply, "subType", subs);
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
    return 0;
}

// ---- /1002 ---------------------------------------------------------------------------------

int on_get_log_info(char *request)
{
    // parse, validate
    JsonDoc doc(request);
    json_object *tb[SK_COUNT];
    LogSearchRequest req;
    if (!doc || JSON_PARSE(doc.get(), kSearchPolicy, tb) < 0 || !parse_search(tb, kSearchTime, &req))
        return cgi_error_to_webserver(REPLY_JSON);
    req.page = g_query.cur_page;
    req.channel_mask = get_channel_mask(jv_str(tb[SK_CHN_MASK], nullptr));
    req.no_channel = jv_int(tb[SK_NO_CHN]);

    // act: the callback answers
    system_request_ipc(IPC_LOG_SEARCH, req, REPLY_JSON);
    return 0;
}

void on_get_log_info_cb(size_t bytes, const void *payload)
{
    int32_t head[2] = {0, 0};
    if (payload && bytes >= LOG_SEARCH_HEAD) memcpy(head, payload, sizeof head);
    size_t n = bytes >= LOG_SEARCH_HEAD ? (bytes - LOG_SEARCH_HEAD) / sizeof(LogEntry) : 0;
    if (n > LOG_PAGE_ENTRIES) n = LOG_PAGE_ENTRIES;
    if (head[1] < 0) n = 0;
    else if (static_cast<size_t>(head[1]) < n) n = static_cast<size_t>(head[1]);
    if (n == 0) {
        cgi_writeback_webserver(REPLY_JSON, "ERROR");
        g_callback_done = 1;
        return;
    }

    trans_init(g_query.language);
    json_object *reply = json_object_new_object();
    json_add_int(reply, "count", head[0]);
    json_add_int(reply, "num", static_cast<int>(n));
    json_add_int(reply, "curPageNum", g_query.cur_page);
    json_object *list = json_object_new_array();
    const uint8_t *entries = static_cast<const uint8_t *>(payload) + LOG_SEARCH_HEAD;
    for (size_t i = 0; i < n; i++) {
        LogEntry e;
        memcpy(&e, entries + i * sizeof e, sizeof e);
        json_object_array_add(list, entry_json(e, static_cast<int>(i)));
    }
    json_object_object_add(reply, "log", list);
    trans_deinit();
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
    g_callback_done = 1;
}

// ---- /1021 ---------------------------------------------------------------------------------

int on_get_log_details(char *request)
{
    // parse
    enum { DK_MAIN, DK_SUB, DK_PTS, DK_PARAM, DK_REMOTE, DK_CHAN, DK_SIZE, DK_DETAIL2, DK_IP, DK_USER, DK_COUNT };
    static constexpr JsonPolicy kPolicy[DK_COUNT] = {
        {"mainTypeValue", JK_INT}, {"subTypeValue", JK_INT}, {"pts", JK_INT},     {"parameterValue", JK_INT},
        {"remote", JK_INT},        {"chanNo", JK_INT},       {"size", JK_INT},    {"detail2", JK_ARRAY},
        {"ip", JK_STRING},         {"user", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_get_log_details, kPolicy);
    JsonDoc doc(request);
    json_object *tb[DK_COUNT];
    if (!doc || JSON_PARSE(doc.get(), kPolicy, tb) < 0) return cgi_error_to_webserver(REPLY_TEXT);

    // the entry as the log holds it
    LogEntry e;
    memset(&e, 0, sizeof e);
    e.main_type = jv_int(tb[DK_MAIN]);
    e.sub_type = jv_int64(tb[DK_SUB]);
    e.time = jv_int(tb[DK_PTS]);
    e.param_type = jv_int(tb[DK_PARAM]);
    e.remote = jv_int(tb[DK_REMOTE]);
    e.channel = jv_int(tb[DK_CHAN]);
    e.size = jv_int(tb[DK_SIZE]);
    size_t words = jv_len(tb[DK_DETAIL2]);
    if (words > kDetailWords) words = kDetailWords;
    for (size_t i = 0; i < words; i++) {
        json_object *w = jv_at(tb[DK_DETAIL2], i);
        uint32_t v = jv_is(w, JK_INT) ? static_cast<uint32_t>(json_object_get_int64(w)) : 0;
        uint8_t *b = e.detail + 4 * i;
        b[0] = static_cast<uint8_t>(v >> 24);
        b[1] = static_cast<uint8_t>(v >> 16);
        b[2] = static_cast<uint8_t>(v >> 8);
        b[3] = static_cast<uint8_t>(v);
    }
    copy_text(e.client_addr, kIpMax + 1, jv_str(tb[DK_IP]));
    copy_text(e.user_name, kUserMax + 1, jv_str(tb[DK_USER]));

    // act: the callback answers
    system_request_ipc(IPC_LOG_DETAIL, e, REPLY_TEXT);
    return 0;
}

void on_get_log_details_cb(size_t bytes, const void *payload)
{
    std::string text;
    if (payload) text.assign(static_cast<const char *>(payload), strnlen(static_cast<const char *>(payload), bytes));
    cgi_writeback_webserver(REPLY_TEXT, text.empty() ? "N/A" : text.c_str());
    g_callback_done = 1;
}

// ---- /1003 ---------------------------------------------------------------------------------

int on_download_logfile(char *request)
{
    // parse, validate
    JsonDoc doc(request);
    json_object *tb[SK_COUNT];
    LogSearchRequest req;
    if (!doc || JSON_PARSE(doc.get(), kSearchPolicy, tb) < 0 || !parse_search(tb, kExportTime, &req))
        return cgi_error_to_webserver(REPLY_JSON);
    if (req.main_type == LOG_MAIN_OPERATION) expand_operations(&req);
    req.channel_mask = export_channel_mask(tb[SK_CH]);
    req.no_channel = jv_int(tb[SK_NA]);
    req.page = 1;

    // act: the callback writes the download while the mark exists
    int mark = create_export_mark();
    system_request_ipc(IPC_LOG_EXPORT, req, REPLY_JSON);
    remove_export_mark(mark);
    return 0;
}

void on_download_logfile_cb(size_t count, const void *payload)
{
    LogExportReply first;
    memset(&first, 0, sizeof first);
    if (count > 0) memcpy(&first, payload, sizeof first);
    char path[sizeof first.path + 1];
    copy_field(path, sizeof path, first.path, sizeof first.path);

    trans_init(g_query.language);
    write_export_head(g_query.main_type);
    write_export_entries(path);
    trans_deinit();
    g_callback_done = 1;
}

// ---- /1022 ---------------------------------------------------------------------------------

int on_check_download_log(char *)
{
    return cgi_writeback_webserver(REPLY_TEXT, IsFileExisted(LOG_EXPORT_MARK) == 0 ? "OK" : "NO");
}
