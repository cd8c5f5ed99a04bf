#include "tests/support/abuse.h"

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <dirent.h>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>

const char *const kInjectedCommand = "nvrwebpwn";
const char *const kEscapeName = "nvrweb-abuse-escape";

namespace {

// Commands that change the machine: a handler that runs one through the
// shell must meet a stand-in during tests, never the real program.
const char *const kStandins[] = {
    "reboot", "poweroff", "halt", "shutdown", "init", "telinit", "ifconfig", "ip", "route",
    "udhcpc", "dhclient", "killall", "pkill", "date", "hwclock", "mount", "umount", "mkfs",
    "mkfs.ext4", "mkfs.vfat", "mkdosfs", "fdisk", "parted", "dd", "tcpdump", "iptables", "ping",
    "arping", "ntpdate", "ntpd", "flash_erase", "flashcp", "nandwrite", "mdadm", "smartctl",
    "hdparm", "pppd", "pppoe", "ethtool", "brctl", "iwconfig", "wpa_supplicant", "sendmail",
    "insmod", "rmmod", "modprobe", "swapon", "swapoff", "sysctl", "crontab", "passwd", "chpasswd",
    "useradd", "userdel", "curl", "wget", "nc", "telnet", "ssh", "qxchip_update",
};

void write_script(const std::string &path, const std::string &body)
{
    std::ofstream f(path, std::ios::trunc);
    f << "#!/bin/sh\n" << body;
    f.close();
    chmod(path.c_str(), 0755);
}

std::string sh_quote(const std::string &s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

void walk(const std::string &host_root, const std::string &rel, TreeSnapshot *snap)
{
    DIR *d = opendir((host_root + rel).c_str());
    if (!d) return;
    while (struct dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        std::string p = rel + "/" + e->d_name;
        struct stat st;
        if (lstat((host_root + p).c_str(), &st) != 0) continue;
        FileStamp s;
        s.dir = S_ISDIR(st.st_mode);
        s.inode = st.st_ino;
        if (!s.dir) {
            s.size = st.st_size;
            s.mtime_ns = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        }
        (*snap)[p] = s;
        if (s.dir) walk(host_root, p, snap);
    }
    closedir(d);
}

bool under(const std::string &path, const char *dir)
{
    size_t n = strlen(dir);
    return path.compare(0, n, dir) == 0 && (path.size() == n || path[n] == '/');
}

} // namespace

void make_standins(const std::string &bin_dir, const std::string &log, const std::string &marker)
{
    mkdir(bin_dir.c_str(), 0755);
    const std::string record = "printf '%s\\n' \"${0##*/} $*\" >> " + sh_quote(log) + "\n";
    for (const char *name : kStandins) write_script(bin_dir + "/" + name, record + "exit 0\n");
    write_script(bin_dir + "/" + kInjectedCommand, record + "touch " + sh_quote(marker) + "\nexit 0\n");
}

std::vector<std::string> injection_texts(const std::string &touch_marker)
{
    const std::string c = kInjectedCommand;
    return {
        "; " + c + " #",
        "`" + c + "`",
        "$(" + c + ")",
        "| " + c,
        "&& " + c,
        "|| " + c,
        "\n" + c + "\n",
        "a' ; " + c + " ; '",
        "a\" ; " + c + " ; \"",
        "x'$(" + c + ")'",
        "$(touch${IFS}" + touch_marker + ")",
        ";touch " + touch_marker + ";",
        "%n%n%s%s%s%s%p%x",
    };
}

std::vector<std::string> traversal_texts()
{
    const std::string n = kEscapeName;
    return {
        "../" + n,
        "../../" + n,
        "../../../../../../../../../../tmp/" + n,
        "..\\..\\" + n,
        "/etc/" + n,
        "....//....//" + n,
        "%2e%2e%2f" + n,
        "/tmp/../../" + n,
    };
}

std::vector<std::string> escape_probe_paths(const std::string &base, const std::string &root)
{
    const std::string n = kEscapeName;
    std::vector<std::string> out = {"/" + n, "/tmp/" + n, "/etc/" + n, base + "/" + n};
    // Directories of the root that a handler's path may climb into (its
    // /tmp takes uploads under their own base names, so it is not one).
    for (const char *d : {"", "/mnt", "/mnt/nand", "/mnt/nand/app", "/var", "/var/run",
                          "/opt", "/opt/app", "/opt/app/www", "/etc"})
        out.push_back(root + d + "/" + n);
    return out;
}

bool device_path_may_change(const std::string &device_path)
{
    for (const char *dir : {"/tmp", "/mnt/nand", "/var/run"})
        if (under(device_path, dir) && device_path != dir) return true;
    return false;
}

TreeSnapshot snapshot_tree(const std::string &host_root)
{
    TreeSnapshot snap;
    walk(host_root, "", &snap);
    return snap;
}

std::vector<std::string> unexpected_changes(const TreeSnapshot &before, const TreeSnapshot &after)
{
    std::vector<std::string> out;
    for (const auto &kv : after) {
        if (device_path_may_change(kv.first)) continue;
        auto it = before.find(kv.first);
        if (it == before.end()) out.push_back("created " + kv.first);
        else if (it->second.dir != kv.second.dir || it->second.inode != kv.second.inode ||
                 it->second.size != kv.second.size || it->second.mtime_ns != kv.second.mtime_ns)
            out.push_back("changed " + kv.first);
    }
    for (const auto &kv : before)
        if (!device_path_may_change(kv.first) && !after.count(kv.first))
            out.push_back("removed " + kv.first);
    return out;
}

int count_reply_headers(const std::string &out)
{
    static const char kHeader[] = "content-type:";
    const size_t n = sizeof kHeader - 1;
    int count = 0;
    for (size_t p = 0; p + n <= out.size(); p++)
        if (strncasecmp(out.c_str() + p, kHeader, n) == 0) count++;
    return count;
}

std::vector<std::string> scan_route_keys(const std::string &source_dir)
{
    static const std::regex kPatterns[] = {
        // Policy entries {"key", JK_...} and other key tables {"key", ...}.
        std::regex(R"re(\{\s*"([A-Za-z][A-Za-z0-9_.\-]{0,63})"\s*,)re"),
        std::regex(R"re(json_object_object_get(?:_ex)?\s*\([^,;()]+,\s*"([A-Za-z0-9_.\-]{1,64})")re"),
        std::regex(R"re(on_cgi_get_\w+_json\s*\([^,;()]+,\s*"([A-Za-z0-9_.\-]{1,64})")re"),
        // Field tables (RF_INT("key", ...), and their two-letter row macros
        // such as DI(GET, "key", ...)) and the camera relay's lookups.
        std::regex(R"re(\b(?:RF_INT|RF_TEXT|RECORD_INT|RECORD_TEXT|relay_member|[A-Z]{2})\s*\((?:\s*[\w.>-]+\s*,)?\s*"([A-Za-z0-9_.\-]{1,64})")re"),
    };
    std::set<std::string> keys;
    std::vector<std::string> dirs = {source_dir + "/common"};
    if (DIR *d = opendir((source_dir + "/modules").c_str())) {
        while (struct dirent *e = readdir(d))
            if (e->d_name[0] != '.') dirs.push_back(source_dir + "/modules/" + e->d_name);
        closedir(d);
    }
    for (const std::string &dir : dirs) {
        DIR *d = opendir(dir.c_str());
        if (!d) continue;
        while (struct dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() < 4 || name.compare(name.size() - 4, 4, ".cpp") != 0) continue;
            std::ifstream f(dir + "/" + name);
            std::stringstream ss;
            ss << f.rdbuf();
            const std::string text = ss.str();
            for (const std::regex &re : kPatterns)
                for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
                    keys.insert((*it)[1]);
        }
        closedir(d);
    }
    return std::vector<std::string>(keys.begin(), keys.end());
}

const std::vector<std::string> &common_route_keys()
{
    static const std::vector<std::string> keys = {
        "chn", "channel", "ch", "id", "index", "type", "name", "userName", "md5", "password",
        "enable", "status", "mode", "cmd", "data", "list", "path", "file", "fileName", "ip",
        "url", "level", "count", "start", "end", "startTime", "endTime", "schedule", "action",
        "mask", "value", "param", "lang", "sessionId", "page", "num", "dev", "disk",
    };
    return keys;
}
