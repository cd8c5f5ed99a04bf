// CGI entry: environment, method and content-type choice, GET/POST/upload intake.
#include "frontend/cgi.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <malloc.h>
#include <strings.h>
#include <unistd.h>

#include <string>

#include "platform/device_path.h"
#include "common/web_utils.h"
#include "frontend/route_table.h"
#include "frontend/session_gate.h"
#include "frontend/upload_routes.h"

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

CgiOutcome g_outcome = CGI_ANSWERED;
// The session check's verdict on the request being taken in.
CgiOutcome g_gate = CGI_ANSWERED;

// Dispatches the request text unless the session check refuses it.
int dispatch(const char *route, char *text)
{
    g_gate = session_gate(route, text);
    return g_gate == CGI_ANSWERED ? DispatchWebReq(route, text) : 0;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A percent-escape of one of the characters JSON is written with, as web
// servers re-encode them in a query string: the character, or 0. Other
// escapes ("%20" among them) stay as they are.
char json_escape(const char *p)
{
    if (p[0] != '%') return 0;
    int hi = hex_digit(p[1]);
    int lo = hi < 0 ? -1 : hex_digit(p[2]);
    if (lo < 0) return 0;
    char c = static_cast<char>(hi * 16 + lo);
    return c && strchr("{}[]:,\"\\", c) ? c : 0;
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
    web_set_request(cgiCookie, cgiRemoteAddr);
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
        char c = json_escape(p);
        if (c) {
            text[o++] = c;
            p += 3;
        } else {
            text[o++] = *p++;
        }
    }
    text[o] = '\0';
    return dispatch(route, text);
}

int cgiDealPost()
{
    enum { kPostSize = 30720, kPostLines = 128 };
    char route[128];
    if (!copy_route(route, sizeof route)) return 0;
    // Not zeroed: the text read ends with its zero, and a handler never looks
    // past it (zeroing the whole buffer would touch 30 KB for every request).
    char *body = static_cast<char *>(malloc(kPostSize));
    if (!body) return 0;
    body[0] = '\0';
    size_t used = 0;
    for (int i = 0; i < kPostLines && used < kPostSize - 1; i++) {
        if (!fgets(body + used, static_cast<int>(kPostSize - used), cgiIn)) break;
        used += strlen(body + used);
    }
    body[used] = '\0'; // also after a read error, which leaves the buffer undefined
    int rc = dispatch(route, body);
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
    const UploadKind kind = upload_kind(route);
    const bool streamed = kind == UPLOAD_STREAMED;

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
    } else if (kind == UPLOAD_KEPT_TEMP) {
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
    if (kind != UPLOAD_NONE) return DispatchWebReq(route, text);
    // A route that takes no upload: the stored file goes when the request ends.
    char stored[sizeof text];
    copy_text(stored, sizeof stored, text);
    char *sep = strstr(stored, " & ");
    if (sep) *sep = '\0';
    int rc = DispatchWebReq(route, text);
    unlink(nvr_path(stored).c_str());
    return rc;
}

namespace {

enum { kPostLimit = CGI_POST_MAX }; // characters of a POST body the intake takes

// Bytes written to standard output by this process (see count_output()).
size_t g_out_bytes = 0;

ssize_t counting_write(void *, const char *buf, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(STDOUT_FILENO, buf + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    g_out_bytes += done;
    return done == size ? static_cast<ssize_t>(size) : -1;
}

// Standard output becomes a stream that counts what passes through it, so
// that the entry knows whether the request was answered at all.
void count_output()
{
    cookie_io_functions_t io = {nullptr, counting_write, nullptr, nullptr};
    FILE *f = fopencookie(nullptr, "w", io);
    if (!f) return;
    // Headers and replies up to 32 KB leave in one write (each write wakes the
    // web server); a reply touches only the pages of the buffer it fills.
    static char buffer[32768];
    setvbuf(f, buffer, _IOFBF, sizeof buffer);
    stdout = f;
}

// The CGI answer of a request that no handler answered: a status with a
// one-line text body.
void write_status(CgiOutcome outcome)
{
    struct Status {
        CgiOutcome outcome;
        const char *status;
        const char *extra;
        const char *type;
        const char *text;
    };
    static const char kText[] = "text/plain", kJson[] = "application/json";
    static const Status kStatus[] = {
        {CGI_NO_ROUTE, "404 Not Found", "", kText, "no such route"},
        {CGI_BAD_METHOD, "405 Method Not Allowed", "Allow: GET, POST\r\n", kText, "method not allowed"},
        {CGI_NO_LENGTH, "411 Length Required", "", kText, "a request body needs its length"},
        {CGI_TOO_LARGE, "413 Payload Too Large", "", kText, "request body too large"},
        {CGI_BAD_TYPE, "415 Unsupported Media Type", "", kText, "unsupported content type"},
        {CGI_BAD_BODY, "400 Bad Request", "", kText, "request body not readable"},
        {CGI_NO_SESSION, "403 Forbidden", "", kJson, "{\"status\":\"NO SESSION\"}"},
        {CGI_NO_PERMISSION, "403 Forbidden", "", kJson, "{\"status\":\"NO PERMISSION\"}"},
        {CGI_ANSWERED, "400 Bad Request", "", kText, "no answer to this request"},
    };
    for (const Status &st : kStatus) {
        if (st.outcome != outcome) continue;
        fprintf(stdout, "Status: %s\r\n%sContent-type: %s\r\n\r\n%s\n", st.status, st.extra, st.type, st.text);
        fflush(stdout);
        return;
    }
}

bool is_form_or_json(const char *type)
{
    return strcasecmp(type, "application/x-www-form-urlencoded") == 0 ||
           strcasecmp(type, "application/json") == 0;
}

// A body sent in chunks without a length cannot be taken in.
bool length_missing()
{
    const char *length = getenv("CONTENT_LENGTH");
    const char *encoding = getenv("HTTP_TRANSFER_ENCODING");
    return (!length || !*length) && encoding && *encoding;
}

CgiOutcome intake()
{
    char route[128];
    g_gate = CGI_ANSWERED;
    if (!copy_route(route, sizeof route) || !FindWebRes(route)) return CGI_NO_ROUTE;
    if (strcasecmp(cgiRequestMethod, "get") == 0) {
        cgiContentLength = static_cast<int>(strlen(cgiQueryString));
        cgiDealGet();
        return g_gate;
    }
    if (strcasecmp(cgiRequestMethod, "post") != 0) return CGI_BAD_METHOD;
    const bool multipart = strcasecmp(cgiContentType, "multipart/form-data") == 0;
    if (!multipart && !is_form_or_json(cgiContentType)) return CGI_BAD_TYPE;
    if (length_missing()) return CGI_NO_LENGTH;
    if (!multipart) {
        if (cgiContentLength > kPostLimit) return CGI_TOO_LARGE;
        cgiDealPost();
        return g_gate;
    }
    // An upload is checked on its cookie before any of its body is stored.
    if ((g_gate = session_gate(route, nullptr)) != CGI_ANSWERED) return g_gate;
    if (strcmp(cgiPathInfo, "/1010") != 0 && cgiParseFormInput() != cgiParseSuccess) return CGI_BAD_BODY;
    cgiDealUpload();
    return CGI_ANSWERED;
}

} // namespace

int cgi_main()
{
    // A request lives for milliseconds: the daemon client's receiving thread
    // allocates from the main heap instead of mapping an arena of its own,
    // and the heap grows once, by enough for a request, and is not given back
    // piece by piece (untouched pages of it cost nothing).
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_TOP_PAD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
    count_output();
    cgi_read_environment();
    int rc = cgi_handle_request();
    fflush(stdout);
    if (g_out_bytes == 0) write_status(g_outcome);
    return rc;
}

CgiOutcome cgi_request_outcome() { return g_outcome; }

int cgi_handle_request()
{
    g_outcome = intake();
    // Parts taken before a failed parse still own temporary files.
    cgiFreeResources();
    return g_outcome == CGI_BAD_BODY ? -1 : 0;
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

bool valid_cookie_domain(const char *domain)
{
    if (!domain || !*domain) return false;
    for (const char *p = domain; *p; p++) {
        const char c = *p;
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'))
            return false;
    }
    return true;
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
    // The domain attribute only for a host name or IPv4 address; anything
    // else (an IPv6 literal, separators) would spoil the cookie or add
    // attributes, so the cookie is then bound to the host that sent it.
    std::string domain_attr;
    if (valid_cookie_domain(domain)) domain_attr = std::string("; domain=") + domain;
    fprintf(cgiOut ? cgiOut : stdout,
            "Set-Cookie: %s=%s%s; expires=%s, %02d-%s-%04d %02d:%02d:%02d GMT; path=%s\r\n",
            header_safe(name).c_str(), header_safe(value).c_str(), domain_attr.c_str(),
            days[g.tm_wday], g.tm_mday, months[g.tm_mon], g.tm_year + 1900, g.tm_hour, g.tm_min,
            g.tm_sec, header_safe(path).c_str());
}

void cgiHeaderStatus(const char *status)
{
    fprintf(cgiOut ? cgiOut : stdout, "Status: %s\r\n", header_safe(status).c_str());
}

void cgiHeaderLocation(const char *url)
{
    FILE *out = cgiOut ? cgiOut : stdout;
    fprintf(out, "Location: %s\r\n\r\n", header_safe(url).c_str());
    fflush(out);
}
