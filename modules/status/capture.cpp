// Packet capture: tcpdump on one network port into a directory on a disk,
// at most two files of 25 million bytes, ended after 300 seconds by the
// watchdog (or, where the device has none, by timeout(1)); its stop; and
// the download of the capture as one tar archive. Every outside text passes
// an allow-list and reaches the programs as one argument of a vector.
// On the development machine (a device root is set) only the loopback
// interface is captured.
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common/web_utils.h"
#include "modules/status/status.h"
#include "platform/device_path.h"
#include "platform/net_if.h"
#include "platform/qx_net.h"

extern char **environ;

namespace {
const char kMountDir[] = "/mnt";              // disks are mounted below it
const char kWatchdog[] = "/www/webmonitor";   // ends the capture after its time
const char kNamePrefix[] = "rvpcap-";
const char kArchiveName[] = "packet.tar";
enum { CAPTURE_SECONDS = 300, DIR_CHARS = 127, NIC_CHARS = 15, HOST_CHARS = 63, STAMP_DIGITS = 14 };

bool plain_name_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
}

// A directory on a disk: "/mnt/<name>[/<name>...]" of plain names, not the
// device's own flash ("/mnt/nand..."), that exists and stays below /mnt
// when its links are followed.
bool capture_dir_ok(const std::string &dir)
{
    if (dir.size() > DIR_CHARS || dir.compare(0, strlen(kMountDir) + 1, std::string(kMountDir) + "/") != 0) return false;
    size_t start = strlen(kMountDir) + 1;
    bool first = true;
    while (start <= dir.size()) {
        size_t end = dir.find('/', start);
        if (end == std::string::npos) end = dir.size();
        const std::string part = dir.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || (first && part.compare(0, 4, "nand") == 0)) return false;
        for (char c : part)
            if (!plain_name_char(c)) return false;
        first = false;
        start = end + 1;
    }
    char real[PATH_MAX], base[PATH_MAX];
    if (!realpath(nvr_path(dir.c_str()).c_str(), real) || !realpath(nvr_path(kMountDir).c_str(), base)) return false;
    const size_t n = strlen(base);
    struct stat st;
    return strncmp(real, base, n) == 0 && real[n] == '/' && stat(real, &st) == 0 && S_ISDIR(st.st_mode);
}

bool nic_ok(const char *nic)
{
    const size_t n = strlen(nic);
    if (n == 0 || n > NIC_CHARS || nic[0] == '-' || nic[0] == '.') return false;
    for (size_t i = 0; i < n; i++)
        if (!plain_name_char(nic[i])) return false;
    return true;
}

bool address_ok(const char *ip)
{
    unsigned char buf[sizeof(struct in6_addr)];
    return strlen(ip) <= HOST_CHARS && (inet_pton(AF_INET, ip, buf) == 1 || inet_pton(AF_INET6, ip, buf) == 1);
}

// A port given as text or number: its decimal text 1..65535, else "".
std::string port_text(json_object *v)
{
    int port = 0;
    if (jv_is(v, JK_INT)) port = jv_int(v);
    else if (jv_is(v, JK_STRING) && !parse_decimal(jv_str(v), &port)) return "";
    return port >= 1 && port <= 65535 ? std::to_string(port) : "";
}

// Starts a program in a session of its own, its standard streams on
// /dev/null and no descriptor of ours open, and leaves it running.
void start_detached(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&fa) != 0) return;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&fa, STDERR_FILENO + 1);
    pid_t pid;
    const int rc = posix_spawnp(&pid, argv[0], &fa, &attr, argv.data(), environ);
    if (rc != 0) cgi_log("OnSystem", __LINE__, __func__, "cannot run %s: %s", argv[0], strerror(rc));
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
}

void run(std::initializer_list<const char *> args)
{
    std::vector<const char *> argv(args);
    argv.push_back(nullptr);
    web_run(argv.data());
}

// Removes the earlier captures ("rvpcap-*") of the directory.
void remove_old_captures(const std::string &host_dir)
{
    DIR *d = opendir(host_dir.c_str());
    if (!d) return;
    while (struct dirent *e = readdir(d))
        if (strncmp(e->d_name, kNamePrefix, strlen(kNamePrefix)) == 0) unlinkat(dirfd(d), e->d_name, 0);
    closedir(d);
}

// The capture filter: the port's own addresses, then the filter host and port.
std::string capture_filter(const char *iface, const char *host, const std::string &port)
{
    std::string filter;
    IfNetConf conf{};
    if (if_get_netconf(iface, &conf) == 0 && conf.ip[0]) filter = "host " + std::string(conf.ip, strnlen(conf.ip, sizeof conf.ip));
    char ip6[128];
    int prefix = 0;
    if (net_get_ipv6_ifaddr(iface, NET_IP6_GLOBAL, ip6, sizeof ip6, &prefix) == 0 ||
        net_get_ipv6_ifaddr(iface, NET_IP6_LINK, ip6, sizeof ip6, &prefix) == 0)
        filter += (filter.empty() ? "host " : " || host ") + std::string(ip6);
    if (*host) filter += (filter.empty() ? "host " : " && host ") + std::string(host);
    if (!port.empty()) filter += (filter.empty() ? "port " : " && port ") + port;
    return filter;
}
} // namespace

// ---- /8005: start ------------------------------------------------------------------------------

int on_start_packet_capture(char *request)
{
    static constexpr JsonPolicy policy[] = {
        {"ip", JK_STRING}, {"port", JK_ANY}, {"nic", JK_STRING}, {"mntPath", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_start_packet_capture, policy);
    JsonDoc doc(request);
    json_object *tb[4] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON), 0;
    const char *host = jv_str(tb[0]);
    const std::string port = port_text(tb[1]);
    const char *nic = jv_str(tb[2]);
    const std::string dir = jv_str(tb[3]);
    const bool port_given = tb[1] && !(jv_is(tb[1], JK_STRING) && !*jv_str(tb[1]));
    if (!nic_ok(nic) || !capture_dir_ok(dir) || (*host && !address_ok(host)) || (port_given && port.empty())) {
        cgi_log("OnSystem", __LINE__, __func__, "packet capture refused");
        return cgi_error_to_webserver(REPLY_JSON), 0;
    }
    char name[32];
    const time_t now = time(nullptr);
    struct tm tm;
    localtime_r(&now, &tm);
    strftime(name, sizeof name, "rvpcap-%Y%m%d%H%M%S", &tm);

    // The development machine captures its own loopback traffic only.
    const char *iface = nvr_root()[0] ? "lo" : nic;
    const std::string filter = capture_filter(iface, host, port);
    run({"killall", "tcpdump"});
    run({"killall", "webmonitor"});
    const std::string host_dir = nvr_path(dir.c_str());
    remove_old_captures(host_dir);

    const std::string watchdog = nvr_path(kWatchdog);
    const bool have_watchdog = access(watchdog.c_str(), X_OK) == 0;
    std::vector<std::string> argv;
    if (!have_watchdog) argv = {"timeout", std::to_string(CAPTURE_SECONDS)};
    argv.insert(argv.end(), {"tcpdump", "-i", iface, "-s0"});
    if (!filter.empty()) argv.push_back(filter);
    argv.insert(argv.end(), {"-W", "2", "-C", "25", "-w", host_dir + "/" + name});
    start_detached(argv);
    if (have_watchdog) start_detached({watchdog, "tcpdump", std::to_string(CAPTURE_SECONDS)});

    json_object *o = json_object_new_object();
    json_add_text(o, "dirPath", dir.c_str());
    json_add_text(o, "fileName", name);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

// ---- /8006: stop -----------------------------------------------------------------------------------

int on_stop_packet_capture(char *)
{
    run({"killall", "tcpdump"});
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}

// ---- /8007: download ---------------------------------------------------------------------------------

namespace {
// "rvpcap-" and the 14 digits of its time.
bool capture_name_ok(const std::string &name)
{
    const size_t n = strlen(kNamePrefix);
    if (name.size() != n + STAMP_DIGITS || name.compare(0, n, kNamePrefix) != 0) return false;
    for (size_t i = n; i < name.size(); i++)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}
} // namespace

int on_download_packet_capture(char *request)
{
    const std::string text = request ? request : "";
    const size_t slash = text.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : text.substr(0, slash);
    const std::string name = slash == std::string::npos ? "" : text.substr(slash + 1);
    if (!capture_name_ok(name) || !capture_dir_ok(dir)) {
        cgi_log("OnSystem", __LINE__, __func__, "capture download refused");
        return cgi_error_to_webserver(REPLY_TEXT), 0;
    }
    // The capture's files (rolled over: <name>0 and <name>1) get the .pcap
    // ending; only they go into the archive.
    const std::string host_dir = nvr_path(dir.c_str());
    for (const std::string &f : {name + "0", name + "1", name}) {
        const std::string from = host_dir + "/" + f;
        struct stat st;
        if (lstat(from.c_str(), &st) == 0 && S_ISREG(st.st_mode)) rename(from.c_str(), (from + ".pcap").c_str());
    }
    std::vector<std::string> files;
    for (const std::string &f : {name + "0.pcap", name + "1.pcap", name + ".pcap"}) {
        struct stat st;
        if (lstat((host_dir + "/" + f).c_str(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back(f);
    }
    const std::string archive = host_dir + "/" + kArchiveName;
    unlink(archive.c_str()); // never written through a link left in its place
    if (!files.empty()) {
        std::vector<const char *> argv = {"tar", "-cf", archive.c_str(), "-C", host_dir.c_str()};
        for (const std::string &f : files) argv.push_back(f.c_str());
        argv.push_back(nullptr);
        web_run(argv.data());
        const int fd = open(archive.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            status_send_download(fd, kArchiveName);
            close(fd);
        }
    }
    unlink(archive.c_str());
    for (const std::string &f : files) unlink((host_dir + "/" + f).c_str());
    return 0;
}
