// Language files of the web interface: the replacement of the language list
// (/1001) and one page's section of a language file (/json).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/device_path.h"
#include "common/web_utils.h"
#include "modules/system/accounts.h"

namespace {

const char kLangDir[] = "/opt/app/www/webfile/json/";
const char kLangList[] = "/opt/app/www/webfile/json/languages.json";
const char kLangListBackup[] = "/opt/app/www/webfile/json/languages_bak.json";
const char kLangLock[] = "/tmp/cgilockfile";

enum { kMinLanguages = 19, kDefaultLanMax = 255 };
enum { kLangMax = 63, kPageMax = 127, kSubMax = 127 };
enum { kLangLine = 1024, kLangReplyMax = 307200 };

// ---- /1001 ---------------------------------------------------------------------------

const JsonPolicy kLanguageListPolicy[] = {
    {"defaultLan", JK_STRING},
    {"list", JK_ARRAY},
};
NVRWEB_HANDLER_KEYS(on_change_language, kLanguageListPolicy);
enum { LL_DEFAULT, LL_LIST };

const JsonPolicy kLanguageEntryPolicy[] = {
    {"value", JK_STRING},
    {"name", JK_STRING},
    {"isDefault", JK_ANY},
};
enum { LE_VALUE, LE_NAME, LE_IS_DEFAULT };

bool non_empty_text(json_object *v) { return v && jv_str(v)[0] != '\0'; }

bool check_language_entry(json_object *entry)
{
    json_object *tb[3];
    if (JSON_PARSE(entry, kLanguageEntryPolicy, tb) < 0) return false;
    return non_empty_text(tb[LE_VALUE]) && non_empty_text(tb[LE_NAME]) && tb[LE_IS_DEFAULT] &&
           json_object_is_type(tb[LE_IS_DEFAULT], json_type_boolean);
}

bool check_language_list(json_object *obj)
{
    json_object *tb[2];
    if (JSON_PARSE(obj, kLanguageListPolicy, tb) < 0) return false;
    if (json_object_object_length(obj) != 2) return false;
    char default_lan[kDefaultLanMax + 1];
    if (!jv_copy(tb[LL_DEFAULT], default_lan, sizeof default_lan) || default_lan[0] == '\0')
        return false;
    size_t n = jv_len(tb[LL_LIST]);
    if (n < kMinLanguages) return false;
    for (size_t i = 0; i < n; i++)
        if (!check_language_entry(jv_at(tb[LL_LIST], i))) return false;
    return true;
}

// Writes text and a newline to the host path completely: written, flushed to
// the disk, closed and the size checked. A partial file is removed.
bool write_whole_file(const std::string &host, const char *text)
{
    FILE *f = fopen(host.c_str(), "w");
    if (!f) return false;
    size_t len = strlen(text);
    bool ok = fwrite(text, 1, len, f) == len && fputc('\n', f) == '\n' && fflush(f) == 0 &&
              fsync(fileno(f)) == 0;
    ok = (fclose(f) == 0) && ok;
    struct stat st;
    ok = ok && stat(host.c_str(), &st) == 0 && st.st_size > 0 &&
         static_cast<size_t>(st.st_size) == len + 1;
    if (!ok) unlink(host.c_str());
    return ok;
}

} // namespace

int on_change_language(char *request)
{
    // parse, validate
    JsonDoc doc(request);
    if (!doc || !check_language_list(doc.get())) return 0;

    // act: the backup file replaces the list only once it is complete
    int lock = file_lock(kLangLock);
    if (lock < 0) {
        cgi_log("OnSystem", __LINE__, "", "language list: lock %s not taken", kLangLock);
        return 0;
    }
    std::string backup = nvr_path(kLangListBackup);
    std::string list = nvr_path(kLangList);
    bool ok = write_whole_file(backup, request);
    if (ok && rename(backup.c_str(), list.c_str()) != 0) {
        cgi_log("OnSystem", __LINE__, "", "language list: rename failed: %s", strerror(errno));
        unlink(backup.c_str());
        ok = false;
    }
    file_unlock(lock);
    if (!ok) {
        cgi_log("OnSystem", __LINE__, "", "language list not replaced");
        return 0;
    }

    // reply
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}

// ---- /json -------------------------------------------------------------------------------

namespace {

// Value of `key` ("lang", "page", "sub") in a query of key=value pairs joined
// by '&'. Returns false when the key is absent; `value` is then empty. A value
// longer than `max` characters is reported through `too_long`.
bool query_value(const char *query, const char *key, std::string *value, size_t max, bool *too_long)
{
    value->clear();
    size_t key_len = strlen(key);
    for (const char *p = query; p && *p;) {
        const char *end = strchr(p, '&');
        size_t len = end ? static_cast<size_t>(end - p) : strlen(p);
        if (len > key_len && strncmp(p, key, key_len) == 0 && p[key_len] == '=') {
            value->assign(p + key_len + 1, len - key_len - 1);
            if (value->size() > max) *too_long = true;
            return true;
        }
        p = end ? end + 1 : nullptr;
    }
    return false;
}

// A language code names a file of the language directory: letters, digits,
// '_' and '-' only, so it can never leave that directory.
bool valid_lang_code(const std::string &lang)
{
    if (lang.empty()) return false;
    for (unsigned char c : lang) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

// Appends text to out without passing the reply limit.
void append_bounded(std::string *out, const char *text)
{
    size_t room = kLangReplyMax - out->size();
    size_t len = strlen(text);
    out->append(text, len < room ? len : room);
}

} // namespace

int on_get_lang_json(char *request)
{
    // parse
    std::string lang, page, sub;
    bool lang_long = false, page_long = false;
    query_value(request, "lang", &lang, kLangMax, &lang_long);
    query_value(request, "page", &page, kPageMax, &page_long);
    bool has_sub = query_value(request, "sub", &sub, kSubMax, &page_long) && !sub.empty();

    // validate
    if (page.empty() || page_long) {
        cgi_writeback_webserver(REPLY_TEXT, "ERROR PAGE.");
        return 0;
    }
    if (lang_long || !valid_lang_code(lang)) {
        cgi_writeback_webserver(REPLY_TEXT, "ERROR LANG.");
        return 0;
    }
    std::string start = has_sub ? "{//" + page + "=" + sub + ".json" : "{//" + page + ".json";
    std::string stop = has_sub ? "}//" + page + "=" + sub + ".json" : "}//" + page + ".json";
    std::string file = nvr_path((kLangDir + lang + ".json").c_str());
    FILE *f = fopen(file.c_str(), "r");
    if (!f) {
        cgi_writeback_webserver(REPLY_TEXT, "ERROR LANG.");
        return 0;
    }

    // act: copy the lines between the page's markers
    std::string out;
    char line[kLangLine];
    bool inside = false;
    while (fgets(line, sizeof line, f) && line[0] != '\0') {
        if (!inside) {
            if (strstr(line, start.c_str())) {
                inside = true;
                append_bounded(&out, "{\n");
            }
        } else if (strstr(line, stop.c_str())) {
            append_bounded(&out, "\n}");
            break;
        } else {
            append_bounded(&out, line);
        }
    }
    fclose(f);

    // reply
    cgi_writeback_webserver(REPLY_JSON, out.c_str());
    return 0;
}
