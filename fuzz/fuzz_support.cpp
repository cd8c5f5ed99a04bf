#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <map>
#include <memory>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/device_path.h"
#include "frontend/cgi.h"
#include "platform/qx_db.h"
#include "tests/support/abuse.h"

namespace {

std::string g_base;   // host directory holding root/, bin/ and the markers
std::string g_root;   // NVRWEB_ROOT
std::string g_marker; // created by the injected-command stand-in
std::string g_touch_marker;
std::vector<std::string> g_escape_probes;
int g_out_fd = -1;    // memfd behind standard output

void mkdirs(const std::string &path)
{
    for (size_t p = 1; p <= path.size(); p++)
        if (p == path.size() || path[p] == '/') mkdir(path.substr(0, p).c_str(), 0755);
}

void remove_tree_contents(const std::string &dir)
{
    DIR *d = opendir(dir.c_str());
    if (!d) return;
    while (struct dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        std::string p = dir + "/" + e->d_name;
        struct stat st;
        if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            remove_tree_contents(p);
            rmdir(p.c_str());
        } else {
            unlink(p.c_str());
        }
    }
    closedir(d);
}

// Environment texts of the current request. putenv() keeps our storage
// (setenv() would keep every value ever set for the life of the process).
// A text is freed only once putenv() has replaced it in the environment.
std::map<std::string, std::unique_ptr<char[]>> g_env;

void put_var(const char *name, const std::string &value)
{
    std::string text = std::string(name) + "=" + value.substr(0, value.find('\0'));
    std::unique_ptr<char[]> next(new char[text.size() + 1]);
    memcpy(next.get(), text.c_str(), text.size() + 1);
    putenv(next.get());
    g_env[name] = std::move(next);
}

void remove_base_at_exit()
{
    if (!g_base.empty() && !getenv("NVRWEB_FUZZ_KEEP_ROOT")) {
        remove_tree_contents(g_base);
        rmdir(g_base.c_str());
    }
}

} // namespace

void fuzz_init()
{
    if (!g_base.empty()) return;
    const char *tmp = getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/nvrweb-fuzz-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) fuzz_fail("cannot create the fuzz root");
    g_base = buf.data();
    g_root = g_base + "/root";
    for (const char *d : {"/tmp", "/mnt/nand/app", "/var/run", "/opt/app/www"}) mkdirs(g_root + d);
    g_marker = g_base + "/injected";
    g_touch_marker = g_base + "/injected-touch";
    make_standins(g_base + "/bin", g_base + "/commands.log", g_marker);
    g_escape_probes = escape_probe_paths(g_base, g_root);
    atexit(remove_base_at_exit);

    setenv("NVRWEB_ROOT", g_root.c_str(), 1);
    // Daemon waits shrink to microseconds: a time-out costs little.
    setenv("NVRWEB_TIME_SCALE", "0.00001", 1);
    const char *path = getenv("PATH");
    setenv("PATH", (g_base + "/bin:" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
    nvr_root_reset_for_tests();

    // Replies go to a memory file that each run reads back and empties.
    g_out_fd = memfd_create("nvrweb-fuzz-out", 0);
    if (g_out_fd < 0 || dup2(g_out_fd, STDOUT_FILENO) < 0) fuzz_fail("cannot capture stdout");
}

std::string fuzz_host(const char *device_path) { return g_root + device_path; }

FILE *fuzz_begin_request(const FuzzRequest &req)
{
    put_var("REQUEST_METHOD", req.method);
    put_var("PATH_INFO", req.route);
    put_var("QUERY_STRING", req.query);
    put_var("CONTENT_TYPE", req.content_type);
    long length = req.content_length < 0 ? static_cast<long>(req.body.size()) : req.content_length;
    put_var("CONTENT_LENGTH", std::to_string(length));
    put_var("HTTP_COOKIE", req.cookie);
    put_var("REMOTE_ADDR", "192.168.1.20");
    cgi_read_environment();

    // fmemopen refuses a zero size; an empty body reads as end of input.
    static char nothing[1];
    FILE *in = req.body.empty() ? fmemopen(nothing, 1, "r")
                                : fmemopen(const_cast<char *>(req.body.data()), req.body.size(), "r");
    if (!in) fuzz_fail("fmemopen failed");
    if (req.body.empty()) fgetc(in);
    cgiIn = in;
    return in;
}

void fuzz_end_request(FILE *in)
{
    cgiIn = nullptr;
    if (in) fclose(in);
}

std::string fuzz_take_output()
{
    fflush(stdout);
    std::string out;
    off_t len = lseek(g_out_fd, 0, SEEK_END);
    if (len > 0) {
        out.resize(static_cast<size_t>(len));
        if (pread(g_out_fd, &out[0], out.size(), 0) != len) out.clear();
    }
    if (ftruncate(g_out_fd, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) < 0)
        fuzz_fail("cannot reset the reply capture");
    return out;
}

void fuzz_fail(const char *what, const std::string &detail)
{
    fprintf(stderr, "FINDING: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    abort();
}

void fuzz_check_after_run(const std::string &reply, bool may_echo)
{
    if (!may_echo && count_reply_headers(reply) > 1)
        fuzz_fail("more than one reply", reply.substr(0, 300));
    struct stat st;
    if (stat(g_marker.c_str(), &st) == 0 || stat(g_touch_marker.c_str(), &st) == 0)
        fuzz_fail("an injected command ran");
    for (const std::string &p : g_escape_probes)
        if (lstat(p.c_str(), &st) == 0) fuzz_fail("a path left its directory", p);
}

void fuzz_clear_dir(const char *device_dir) { remove_tree_contents(fuzz_host(device_dir)); }

void fuzz_init_settings()
{
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return;
    exe[n] = '\0';
    std::string dir(exe, static_cast<size_t>(strrchr(exe, '/') - exe));
    std::string tool = dir + "/../nvrweb-settings";
    if (access(tool.c_str(), X_OK) != 0) return;
    if (system((tool + " init && " + tool + " user add admin admin 0 >/dev/null").c_str()) != 0)
        fuzz_fail("cannot initialise the settings database");
}

void fuzz_check_settings_now_and_then()
{
    static long calls = 0;
    std::string report;
    if (++calls % 2000 == 0 && access(fuzz_host(QXDB_PATH).c_str(), F_OK) == 0 &&
        qxdb_integrity_check(QXDB_PATH, &report) < 0)
        fuzz_fail("settings database integrity", report);
}
