// CGI entry: environment, method and content-type choice, GET/POST/upload intake.
#include "frontend/cgi.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>
#include <unistd.h>

#include <string>

#include "common/device_path.h"
#include "common/web_utils.h"
#include "frontend/route_table.h"

char *cgiServerSoftware, *cgiServerName, *cgiGatewayInterface, *cgiServerProtocol, *cgiServerPort,
    *cgiRequestMethod, *cgiPathInfo, *cgiPathTranslated, *cgiScriptName, *cgiQueryString,
    *cgiRemoteHost, *cgiRemoteAddr, *cgiAuthType, *cgiRemoteUser, *cgiRemoteIdent, *cgiServerAddr,
    *cgiAccept, *cgiUserAgent, *cgiReferrer, *cgiCookie;
char *cgiContentType;
char cgiContentTypeData[1024];
char *cgiMultipartBoundary;
int cgiContentLength;
FILE *cgiIn;
FILE *cgiOut;

namespace {

char kEmpty[1] = "";

char *env_text(const char *name)
{
    char *v = getenv(name);
    return v ? v : kEmpty;
}

// CONTENT_LENGTH: a negative, non-numeric or overlong value counts as 0.
int parse_content_length(const char *text)
{
    if (!text || !*text) return 0;
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || errno == ERANGE || v < 0 || v > 0x7fffffff) return 0;
    while (*end == ' ' || *end == '\t') end++;
    if (*end) return 0;
    return static_cast<int>(v);
}

// Splits the parameters off cgiContentTypeData and finds the boundary.
void parse_content_type_parameters()
{
    cgiContentType = cgiContentTypeData;
    cgiMultipartBoundary = kEmpty;
    for (char *semi = strchr(cgiContentTypeData, ';'); semi; semi = strchr(semi + 1, ';')) {
        *semi = '\0';
        char *p = semi + 1;
        while (*p == ' ' || *p == '\t') p++;
        if (strncasecmp(p, "boundary=", 9) == 0) {
            char *value = p + 9;
            char *end = value;
            while (*end && *end != ' ' && *end != '\t' && *end != '\r' && *end != '\n') end++;
            *end = '\0';
            cgiMultipartBoundary = value;
            break;
        }
        semi = p - 1; // continue scanning behind this parameter's start
    }
}

bool copy_route(char *route, size_t size)
{
    copy_text(route, size, cgiPathInfo);
    return route[0] != '\0';
}

bool is_streamed_upload(const char *route)
{
    return strcmp(route, "/1010") == 0 || strcmp(route, "/6082") == 0 || strcmp(route, "/2079") == 0;
}

bool keeps_temp_file(const char *route)
{
    return strcmp(route, "/1019") == 0 || strcmp(route, "/oem") == 0;
}

// Sanitises the client's base name into `out`; false when it must be replaced
// by a generated name.
bool sanitise_upload_name(const char *base, char *out, size_t size)
{
    out[0] = '\0';
    size_t len = strlen(base);
    if (len == 0 || len >= size || strstr(base, "..")) return false;
    size_t o = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(base); *p; p++) {
        if ((*p >= 1 && *p <= 31) || *p == '/' || *p == '\\') continue;
        out[o++] = static_cast<char>(*p);
    }
    out[o] = '\0';
    // Dropped characters must not join dots into "..".
    return o > 0 && !strstr(out, "..");
}

void generated_upload_name(const char *base, long seconds, int suffix, char *out, size_t size)
{
    const char *dot = strrchr(base, '.');
    // The extension keeps the stored name's rules: no control characters.
    char ext[32] = "";
    if (dot && strlen(dot) < sizeof ext) {
        size_t o = 0;
        for (const unsigned char *p = reinterpret_cast<const unsigned char *>(dot); *p; p++)
            if (*p > 31) ext[o++] = static_cast<char>(*p);
        ext[o] = '\0';
    }
    if (suffix == 0) snprintf(out, size, "upload_%ld%s", seconds, ext);
    else snprintf(out, size, "upload_%ld_%d%s", seconds, suffix, ext);
}

// Moves the temporary file to dir/name without ever replacing an existing
// file. Writes the device path of the result into `stored`.
bool move_upload(const char *temp, const char *dir, const char *name, const char *base,
                 char *stored, size_t size)
{
    std::string from = nvr_path(temp);
    long now = static_cast<long>(time(nullptr));
    char candidate[128];
    copy_text(candidate, sizeof candidate, name);
    for (int attempt = 0; attempt < 100; attempt++) {
        if (attempt > 0) generated_upload_name(base, now, attempt - 1, candidate, sizeof candidate);
        int n = snprintf(stored, size, "%s/%s", dir, candidate);
        if (n < 0 || static_cast<size_t>(n) >= size) return false;
        std::string to = nvr_path(stored);
        if (link(from.c_str(), to.c_str()) == 0) {
            unlink(from.c_str());
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

} // namespace

void cgi_read_environment()
{
    cgiServerSoftware = env_text("SERVER_SOFTWARE");
    cgiServerName = env_text("SERVER_NAME");
    cgiGatewayInterface = env_text("GATEWAY_INTERFACE");
    cgiServerProtocol = env_text("SERVER_PROTOCOL");
    cgiServerPort = env_text("SERVER_PORT");
    cgiRequestMethod = env_text("REQUEST_METHOD");
    cgiPathInfo = env_text("PATH_INFO");
    cgiPathTranslated = env_text("PATH_TRANSLATED");
    cgiScriptName = env_text("SCRIPT_NAME");
    cgiQueryString = env_text("QUERY_STRING");
    cgiRemoteHost = env_text("REMOTE_HOST");
    cgiRemoteAddr = env_text("REMOTE_ADDR");
    cgiAuthType = env_text("AUTH_TYPE");
    cgiRemoteUser = env_text("REMOTE_USER");
    cgiRemoteIdent = env_text("REMOTE_IDENT");
    cgiServerAddr = env_text("HTTP_HOST");
    copy_text(cgiContentTypeData, sizeof cgiContentTypeData, env_text("CONTENT_TYPE"));
    parse_content_type_parameters();
    cgiContentLength = parse_content_length(getenv("CONTENT_LENGTH"));
    cgiAccept = env_text("HTTP_ACCEPT");
    cgiUserAgent = env_text("HTTP_USER_AGENT");
    cgiReferrer = env_text("HTTP_REFERER");
    cgiCookie = env_text("HTTP_COOKIE");
    cgiIn = stdin;
    cgiOut = stdout;
    cgiFormEntryFirst = nullptr;
}

int cgiDealGet()
{
    char route[128];
    if (!copy_route(route, sizeof route)) return 0;
    char query[1024];
    copy_text(query, sizeof query, cgiQueryString);
    char text[1024];
    size_t o = 0;
    for (const char *p = query; *p;) {
        if (p[0] == '%' && p[1] == '2' && p[2] == '2') {
            text[o++] = '"';
            p += 3;
        } else {
            text[o++] = *p++;
        }
    }
    text[o] = '\0';
    return DispatchWebReq(route, text);
}

int cgiDealPost()
{
    enum { kPostSize = 30720, kPostLines = 128 };
    char route[128];
    if (!copy_route(route, sizeof route)) return 0;
    char *body = static_cast<char *>(calloc(1, kPostSize));
    if (!body) return 0;
    size_t used = 0;
    for (int i = 0; i < kPostLines && used < kPostSize - 1; i++) {
        if (!fgets(body + used, static_cast<int>(kPostSize - used), cgiIn)) break;
        used += strlen(body + used);
    }
    int rc = DispatchWebReq(route, body);
    free(body);
    return rc;
}

int cgiDealUpload()
{
    char route[128];
    if (!copy_route(route, sizeof route)) return 0;
    // Without a handler nobody would ever remove a moved upload: leave the
    // temporary file to the end of the request.
    if (!FindWebRes(route)) return 0;
    const bool streamed = is_streamed_upload(route);

    char client_name[128] = "";
    if (!streamed && cgiFormFileName("file", client_name, sizeof client_name) != cgiFormSuccess)
        return 0;

    const char *slash = client_name;
    for (const char *p = client_name; *p; p++)
        if (*p == '/' || *p == '\\') slash = p + 1;
    char base[128];
    copy_text(base, sizeof base, slash);

    char stored_name[128];
    if (!sanitise_upload_name(base, stored_name, sizeof stored_name))
        generated_upload_name(base, static_cast<long>(time(nullptr)), 0, stored_name,
                              sizeof stored_name);

    cgiFormEntry *entry = cgiFormEntryFind("file");
    if (!streamed && !entry) return 0;

    char text[1088];
    if (streamed) {
        snprintf(text, sizeof text, "%s & %s", "temp", cgiQueryString);
    } else if (keeps_temp_file(route)) {
        snprintf(text, sizeof text, "%s & %s", entry->tfileName, cgiQueryString);
    } else {
        const char *temp = entry->tfileName;
        const char *last = strrchr(temp, '/');
        if (!last) return 0;
        char dir[512];
        copy_field(dir, sizeof dir, temp, static_cast<size_t>(last - temp));
        if (!move_upload(temp, dir, stored_name, base, text, sizeof text)) {
            cgi_log("dispatchreq", __LINE__, "", "upload: cannot store %s as %s/%s: %s", temp, dir,
                    stored_name, strerror(errno));
            return 0;
        }
        const char *param = strstr(cgiQueryString, "param:");
        if (param) {
            param += 6;
            char value[256];
            size_t n = strcspn(param, "&");
            copy_field(value, sizeof value, param, n);
            size_t len = strlen(text);
            snprintf(text + len, sizeof text - len, " & %s", value);
        }
    }
    return DispatchWebReq(route, text);
}

int cgi_main()
{
    cgi_read_environment();
    return cgi_handle_request();
}

int cgi_handle_request()
{
    if (strcasecmp(cgiRequestMethod, "post") == 0) {
        if (strcasecmp(cgiContentType, "application/x-www-form-urlencoded") == 0 ||
            strcasecmp(cgiContentType, "application/json") == 0) {
            cgiDealPost();
        } else if (strcasecmp(cgiContentType, "multipart/form-data") == 0) {
            if (strcmp(cgiPathInfo, "/1010") != 0) {
                if (cgiParseFormInput() != cgiParseSuccess) {
                    // Parts taken before the failure still own temporary files.
                    cgiFreeResources();
                    return -1;
                }
            }
            cgiDealUpload();
        }
    } else if (strcasecmp(cgiRequestMethod, "get") == 0) {
        cgiContentLength = static_cast<int>(strlen(cgiQueryString));
        cgiDealGet();
    }
    cgiFreeResources();
    return 0;
}

// ---- Response headers -------------------------------------------------------------------

namespace {
// A header value never carries a line break: it would start a new header.
std::string header_safe(const char *s)
{
    std::string out;
    for (const char *p = s ? s : ""; *p; p++)
        if (*p != '\r' && *p != '\n') out += *p;
    return out;
}
} // namespace

void cgiHeaderCookieSetString(const char *name, const char *value, int seconds, const char *path,
                              const char *domain)
{
    static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    time_t when = time(nullptr) + seconds;
    struct tm g;
    gmtime_r(&when, &g);
    fprintf(cgiOut ? cgiOut : stdout,
            "Set-Cookie: %s=%s; domain=%s; expires=%s, %02d-%s-%04d %02d:%02d:%02d GMT; path=%s\r\n",
            header_safe(name).c_str(), header_safe(value).c_str(), header_safe(domain).c_str(),
            days[g.tm_wday], g.tm_mday, months[g.tm_mon], g.tm_year + 1900, g.tm_hour, g.tm_min,
            g.tm_sec, header_safe(path).c_str());
}

void cgiHeaderLocation(const char *url)
{
    FILE *out = cgiOut ? cgiOut : stdout;
    fprintf(out, "Location: %s\r\n\r\n", header_safe(url).c_str());
    fflush(out);
}
