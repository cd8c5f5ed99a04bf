#include "common/web_utils.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <net/if.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/device_path.h"
#include "platform/qx_std.h"

// ---- Replies -----------------------------------------------------------------

void cgi_reply_header(int kind)
{
    if (kind == REPLY_TEXT)
        fputs("Content-type: text/plain\r\n\r\n", stdout);
    else if (kind == REPLY_JSON)
        fputs("Content-type: application/json\r\n\r\n", stdout);
}

int cgi_writeback_webserver(int kind, const char *text)
{
    if (!text) return -1;
    cgi_reply_header(kind);
    fputs(text, stdout);
    fflush(stdout);
    return 0;
}

int cgi_error_to_webserver(int kind)
{
    if (kind == REPLY_TEXT) cgi_writeback_webserver(REPLY_TEXT, "CGI ERROR");
    else if (kind == REPLY_JSON) cgi_writeback_webserver(REPLY_JSON, "{status:\"CGI ERROR\"}");
    return 0;
}

int cgi_writeback_json(int kind, json_object *obj)
{
    if (!obj) return -1;
    return cgi_writeback_webserver(kind, json_object_to_json_string_ext(obj, JSON_C_TO_STRING_PLAIN));
}

// ---- Debug log -----------------------------------------------------------------

int cgi_log(const char *source, int line, const char *function, const char *format, ...)
{
    char message[2048];
    va_list ap;
    va_start(ap, format);
    vsnprintf(message, sizeof message, format ? format : "", ap);
    va_end(ap);

    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    char text[2049]; // the line cut to 2047 characters, then its newline
    int n = snprintf(text, 2048, "[vexor debug] %4d-%02d-%02d %02d:%02d:%02d  %s:%d in %s: %s",
                     tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min,
                     tmv.tm_sec, source ? source : "", line, function ? function : "", message);
    if (n < 0) return -1;
    size_t len = strlen(text);
    text[len++] = '\n';

    char path[512];
    if (!nvr_path("/mnt/nand/cgi_log.txt", path, sizeof path)) return -1;
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    ssize_t w = write(fd, text, len); // one write per line: lines of processes never interleave
    (void)w;
    close(fd);
    return 0;
}

// ---- Operation log ---------------------------------------------------------------

namespace {
const char *g_request_cookie = "";
const char *g_request_remote_addr = "";
} // namespace

void web_set_request(const char *cookie, const char *remote_addr)
{
    g_request_cookie = cookie ? cookie : "";
    g_request_remote_addr = remote_addr ? remote_addr : "";
}

const char *cgi_request_cookie() { return g_request_cookie; }
const char *cgi_request_remote_addr() { return g_request_remote_addr; }

int cookie_value(const char *name, char *buffer, size_t size)
{
    const char *cookie = cgi_request_cookie();
    if (!name || !*name || !buffer || size == 0 || !cookie) return -1;
    // "name=value" pairs separated by ';' and blanks: the pair named exactly
    // `name` (for "userName" not "xuserName", not "userNameX").
    const size_t name_len = strlen(name);
    for (const char *p = cookie; *p;) {
        while (*p == ' ' || *p == '\t' || *p == ';') p++;
        const char *end = strchr(p, ';');
        size_t len = end ? static_cast<size_t>(end - p) : strlen(p);
        if (len > name_len && strncmp(p, name, name_len) == 0 && p[name_len] == '=') {
            // A value holding '=' counts from behind its first '='.
            const char *value = p + name_len + 1;
            size_t value_len = len - name_len - 1;
            const char *eq = static_cast<const char *>(memchr(value, '=', value_len));
            if (eq) {
                value_len -= static_cast<size_t>(eq + 1 - value);
                value = eq + 1;
            }
            copy_field(buffer, size, value, value_len);
            return 0;
        }
        p += len;
    }
    return -1;
}

int get_current_username(char *buffer, size_t size) { return cookie_value("userName", buffer, size); }

int cgi_init_log_info(OpLogRecord *record)
{
    if (!record) return -1;
    memset(record, 0, sizeof *record);
    record->main_type = OPLOG_MAIN_SETTING;
    record->one = 1;
    get_current_username(record->user_name, sizeof record->user_name);
    COPY_TEXT(record->client_addr, cgi_request_remote_addr());
    return 0;
}

// ---- Text copies -------------------------------------------------------------------

size_t copy_text(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0) return 0;
    if (!src) src = "";
    size_t n = strnlen(src, size - 1);
    memcpy(dst, src, n);
    memset(dst + n, 0, size - n);
    return n;
}

size_t copy_field(char *dst, size_t size, const char *src, size_t src_size)
{
    if (!dst || size == 0) return 0;
    if (!src) src_size = 0;
    size_t limit = src_size < size - 1 ? src_size : size - 1;
    size_t n = src ? strnlen(src, limit) : 0;
    if (n) memmove(dst, src, n);
    memset(dst + n, 0, size - n);
    return n;
}

bool parse_decimal(const char *text, int *out)
{
    if (!text || !out) return false;
    const char *s = text;
    while (*s == ' ' || *s == '\t' || *s == '\r' || *s == '\n') s++;
    const char *digits = (*s == '-' || *s == '+') ? s + 1 : s;
    if (*digits < '0' || *digits > '9') return false;
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(s, &end, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') end++;
    if (*end) return false;
    *out = static_cast<int>(v);
    return true;
}

// ---- Commands ------------------------------------------------------------------------

int web_system(const char *command)
{
    if (!command) return -1;
    int status = system(command);
    if (status == -1) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return 0;
}

int shell_quote(char *out, size_t size, const char *arg)
{
    if (!out || size == 0) return -1;
    size_t o = 0;
    auto put = [&](char c) {
        if (o + 1 >= size) return false;
        out[o++] = c;
        return true;
    };
    bool ok = put('\'');
    for (const char *p = arg ? arg : ""; ok && *p; p++) {
        if (*p == '\'') ok = put('\'') && put('\\') && put('\'') && put('\'');
        else ok = put(*p);
    }
    ok = ok && put('\'');
    if (!ok) {
        out[0] = '\0';
        return -1;
    }
    out[o] = '\0';
    return static_cast<int>(o);
}

int shell_format(char *out, size_t size, const char *fmt, ...)
{
    if (!out || size == 0) return -1;
    out[0] = '\0';
    if (!fmt) return -1;
    size_t o = 0;
    bool ok = true;
    auto append = [&](const char *s, size_t n) {
        if (o + n >= size) return false;
        memcpy(out + o, s, n);
        o += n;
        return true;
    };
    va_list ap;
    va_start(ap, fmt);
    for (const char *p = fmt; ok && *p; p++) {
        if (*p != '%') {
            ok = append(p, 1);
            continue;
        }
        p++;
        char num[32];
        int longs = 0;
        while (*p == 'l') { longs++; p++; }
        switch (*p) {
        case '%':
            ok = append("%", 1);
            break;
        case 's': {
            if (o >= size) { ok = false; break; }
            int n = shell_quote(out + o, size - o, va_arg(ap, const char *));
            ok = n >= 0;
            if (ok) o += static_cast<size_t>(n);
            break;
        }
        case 'd':
        case 'u': {
            int n;
            if (longs == 0) n = *p == 'd' ? snprintf(num, sizeof num, "%d", va_arg(ap, int))
                                          : snprintf(num, sizeof num, "%u", va_arg(ap, unsigned));
            else if (longs == 1) n = *p == 'd' ? snprintf(num, sizeof num, "%ld", va_arg(ap, long))
                                               : snprintf(num, sizeof num, "%lu", va_arg(ap, unsigned long));
            else n = *p == 'd' ? snprintf(num, sizeof num, "%lld", va_arg(ap, long long))
                               : snprintf(num, sizeof num, "%llu", va_arg(ap, unsigned long long));
            ok = n > 0 && append(num, static_cast<size_t>(n));
            break;
        }
        default:
            ok = false; // unknown conversion: refuse rather than guess
        }
        if (!*p) break;
    }
    va_end(ap);
    if (!ok) {
        out[0] = '\0';
        return -1;
    }
    out[o] = '\0';
    return static_cast<int>(o);
}

namespace {
// Spawns argv with standard input from /dev/null and standard output to
// `out_fd` (or /dev/null when it is -1), waits for it and returns its exit
// status (-1: not run, or ended by a signal). `drain` reads the child's
// output while it runs.
int run_argv(const char *const argv[], int out_fd, const std::function<void()> &drain)
{
    if (!argv || !argv[0] || !*argv[0]) return -1;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (out_fd >= 0) posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
    else posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char *const *>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        cgi_log("web_utils", __LINE__, "", "cannot run %s: %s", argv[0], strerror(rc));
        return -1;
    }
    if (drain) drain();
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (!WIFEXITED(status)) return -1;
    if (WEXITSTATUS(status) != 0) cgi_log("web_utils", __LINE__, "", "%s exited with %d", argv[0], WEXITSTATUS(status));
    return WEXITSTATUS(status);
}
} // namespace

int web_run(const char *const argv[]) { return run_argv(argv, -1, nullptr); }

int web_run_output(const char *const argv[], char *out, size_t size)
{
    if (!out || size == 0) return -1;
    out[0] = '\0';
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    size_t used = 0;
    int rc = run_argv(argv, fds[1], [&] {
        close(fds[1]);
        fds[1] = -1;
        char buf[512];
        for (;;) {
            ssize_t n = read(fds[0], buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            size_t take = std::min(static_cast<size_t>(n), size - 1 - used);
            memcpy(out + used, buf, take);
            used += take;
        }
    });
    if (fds[1] >= 0) close(fds[1]);
    close(fds[0]);
    out[used] = '\0';
    return rc;
}

// ---- Files -----------------------------------------------------------------------------

int file_lock(const char *path)
{
    if (!path) return -1;
    std::string p = nvr_path(path);
    int fd = open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    while (lockf(fd, F_LOCK, 0) != 0) {
        if (errno != EINTR) {
            close(fd);
            return -1;
        }
    }
    return fd;
}

int file_unlock(int fd)
{
    if (fd < 0) return fd;
    lockf(fd, F_ULOCK, 0);
    close(fd);
    return 0;
}

int IsFileExisted(const char *path)
{
    if (!path || !*path) return -1;
    return access(nvr_path(path).c_str(), F_OK) == 0 ? 0 : -1;
}

int IsDirExisted(const char *path)
{
    if (!path || !*path) return -1;
    struct stat st;
    if (lstat(nvr_path(path).c_str(), &st) != 0) return -1;
    return S_ISDIR(st.st_mode) ? 0 : -1;
}

bool tmp_upload_path(const char *request, std::string *path)
{
    if (!request || !path) return false;
    std::string p(request);
    const size_t amp = p.find(" & ");
    if (amp != std::string::npos) p.resize(amp);
    static const char kDir[] = "/tmp/";
    const size_t dir_len = sizeof kDir - 1;
    if (p.compare(0, dir_len, kDir) != 0) return false;
    const std::string name = p.substr(dir_len);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return false;
    struct stat st;
    if (lstat(nvr_path(p.c_str()).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    *path = p;
    return true;
}

int RemoveFile(const char *from, const char *to)
{
    if (!from || !to) return -1;
    char cmd[512];
    if (shell_format(cmd, sizeof cmd, "/bin/mv %s %s", nvr_path(from).c_str(),
                     nvr_path(to).c_str()) < 0) {
        cgi_log("web_utils", __LINE__, "", "mv command too long, not run");
        return 0;
    }
    web_system(cmd);
    return 0;
}

int DeleteFile(const char *path)
{
    if (!path) return -1;
    char cmd[512];
    if (shell_format(cmd, sizeof cmd, "/bin/rm %s", nvr_path(path).c_str()) < 0) {
        cgi_log("web_utils", __LINE__, "", "rm command too long, not run");
        return 0;
    }
    web_system(cmd);
    return 0;
}

char *qx_get_file_data(const char *path, int *length)
{
    if (length) *length = 0;
    if (!path) return nullptr;
    FILE *f = fopen(nvr_path(path).c_str(), "rb");
    if (!f) return nullptr;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || st.st_size < 0 || st.st_size > 0x7fffffff) {
        fclose(f);
        return nullptr;
    }
    size_t size = static_cast<size_t>(st.st_size);
    char *buf = static_cast<char *>(__qx_malloc(size ? size : 1, "web_utils", __LINE__));
    if (!buf) {
        fclose(f);
        return nullptr;
    }
    size_t got = fread(buf, 1, size, f);
    fclose(f);
    if (length) *length = static_cast<int>(got);
    return buf;
}

int qx_wirte_file_data(const char *path, const char *data, int length)
{
    if (!path || length < 0 || (!data && length > 0)) return -1;
    FILE *f = fopen(nvr_path(path).c_str(), "wb");
    if (!f) return -1;
    size_t w = length ? fwrite(data, 1, static_cast<size_t>(length), f) : 0;
    int rc = fclose(f);
    return (w == static_cast<size_t>(length) && rc == 0) ? 0 : -1;
}

int get_mac_addr(char *eth0, char *eth1)
{
    static const char *const kDefault[2] = {"00:1A:2B:3C:4D:5E", "00:1A:2B:3C:4D:5F"};
    char *out[2] = {eth0, eth1};
    const char *names[2] = {"eth0", "eth1"};
    int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) fputs("create socket fail\n", stderr);
    for (int i = 0; i < 2; i++) {
        if (!out[i]) continue;
        struct ifreq ifr;
        memset(&ifr, 0, sizeof ifr);
        copy_text(ifr.ifr_name, 16, names[i]);
        if (sock >= 0 && ioctl(sock, SIOCGIFHWADDR, &ifr) == 0) {
            const unsigned char *m = reinterpret_cast<unsigned char *>(ifr.ifr_hwaddr.sa_data);
            snprintf(out[i], 18, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
        } else {
            copy_text(out[i], 18, kDefault[i]);
        }
    }
    if (sock >= 0) close(sock);
    return 0;
}

// ---- JSON --------------------------------------------------------------------------------

json_object *get_request_tokener_json_object(const char *text)
{
    if (!text) return nullptr;
    json_object *obj = json_tokener_parse(text);
    // Older json-c returned an error pointer in the top page of the address
    // space; treat it like null.
    if (reinterpret_cast<uintptr_t>(obj) >= static_cast<uintptr_t>(-4000)) return nullptr;
    return obj;
}

int on_cgi_get_int_from_json(json_object *obj, const char *key, int *out)
{
    json_object *v = nullptr;
    if (!obj || !key || !out || !json_object_is_type(obj, json_type_object)) return -1;
    if (!json_object_object_get_ex(obj, key, &v)) return -1;
    *out = json_object_get_int(v);
    return 0;
}

int on_cgi_get_value_by_json(const char *text, const char *key, int *out)
{
    if (!text || !key || !out) return -1;
    JsonDoc doc(text);
    if (!doc) return -1;
    return on_cgi_get_int_from_json(doc.get(), key, out);
}

int on_cgi_get_string_from_json(json_object *obj, const char *key, char *buffer, int size)
{
    json_object *v = nullptr;
    if (!obj || !key || !buffer || size <= 0 || !json_object_is_type(obj, json_type_object))
        return -1;
    if (!json_object_object_get_ex(obj, key, &v)) return -1;
    copy_text(buffer, static_cast<size_t>(size), json_object_get_string(v));
    return 0;
}

int on_cgi_is_qx_lpr(int type) { return type >= 11 && type <= 14 ? 1 : 0; }

bool jv_is(json_object *v, JsonKind kind)
{
    if (!v) return false;
    switch (kind) {
    case JK_ANY: return v != nullptr;
    case JK_INT:
        return json_object_is_type(v, json_type_int) || json_object_is_type(v, json_type_double) ||
               json_object_is_type(v, json_type_boolean);
    case JK_DOUBLE:
        return json_object_is_type(v, json_type_int) || json_object_is_type(v, json_type_double);
    case JK_STRING: return json_object_is_type(v, json_type_string);
    case JK_BOOL: return json_object_is_type(v, json_type_boolean) || json_object_is_type(v, json_type_int);
    case JK_ARRAY: return json_object_is_type(v, json_type_array);
    case JK_OBJECT: return json_object_is_type(v, json_type_object);
    }
    return false;
}

int json_parse_policy(json_object *obj, const JsonPolicy *policy, int n, json_object **tb)
{
    for (int i = 0; i < n; i++) tb[i] = nullptr;
    if (!obj || !json_object_is_type(obj, json_type_object)) return -1;
    int found = 0;
    for (int i = 0; i < n; i++) {
        json_object *v = nullptr;
        if (json_object_object_get_ex(obj, policy[i].key, &v) && v && jv_is(v, policy[i].kind)) {
            tb[i] = v;
            found++;
        }
    }
    return found;
}

int jv_int(json_object *v, int dflt) { return v ? json_object_get_int(v) : dflt; }

int jv_channel(json_object *v)
{
    if (!v || !json_object_is_type(v, json_type_int)) return -1;
    int64_t ch = json_object_get_int64(v);
    return ch >= 0 && ch < 64 ? static_cast<int>(ch) : -1;
}
int64_t jv_int64(json_object *v, int64_t dflt) { return v ? json_object_get_int64(v) : dflt; }
double jv_double(json_object *v, double dflt) { return v ? json_object_get_double(v) : dflt; }

const char *jv_str(json_object *v, const char *dflt)
{
    if (!v || !json_object_is_type(v, json_type_string)) return dflt;
    return json_object_get_string(v);
}

bool jv_copy(json_object *v, char *dst, size_t size)
{
    if (!v || !json_object_is_type(v, json_type_string)) return false;
    copy_text(dst, size, json_object_get_string(v));
    return true;
}

size_t jv_len(json_object *v)
{
    if (!v || !json_object_is_type(v, json_type_array)) return 0;
    return json_object_array_length(v);
}

json_object *jv_at(json_object *v, size_t i)
{
    if (i >= jv_len(v)) return nullptr;
    return json_object_array_get_idx(v, i);
}

void json_add_int(json_object *obj, const char *key, int value)
{
    json_object_object_add(obj, key, json_object_new_int(value));
}

void json_add_text(json_object *obj, const char *key, const char *text)
{
    json_object_object_add(obj, key, json_object_new_string(text ? text : ""));
}

void json_add_field(json_object *obj, const char *key, const char *field, size_t size)
{
    size_t n = field ? strnlen(field, size) : 0;
    json_object_object_add(obj, key, json_object_new_string_len(field ? field : "", static_cast<int>(n)));
}
