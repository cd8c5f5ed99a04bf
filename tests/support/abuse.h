// Hostile inputs and the checks around them, shared by the abuse test suite
// and the fuzz targets: injection texts and their stand-in commands, path
// escapes, snapshots of a device root, reply counting, and the JSON keys the
// handlers read (scanned from the module sources).
#pragma once
#include <map>
#include <string>
#include <vector>

// The command an injected shell fragment tries to run. A stand-in of that
// name, first on PATH, creates the marker file when it runs.
extern const char *const kInjectedCommand;
// The file name a path escape tries to create or remove.
extern const char *const kEscapeName;

// A directory of stand-in programs: every system-changing command a handler
// might run (reboot, ifconfig, date, mount, ...) records "name args" in
// `log` and succeeds; kInjectedCommand also creates `marker`.
void make_standins(const std::string &bin_dir, const std::string &log, const std::string &marker);

// Texts that must never reach a shell unquoted or leave their directory.
// `touch_marker` is a host path that a text tries to create with touch.
std::vector<std::string> injection_texts(const std::string &touch_marker);
std::vector<std::string> traversal_texts();

// Host paths where an escaping path would land, for a root under `base`.
std::vector<std::string> escape_probe_paths(const std::string &base, const std::string &root);

// Device directories a handler may change (settings database, debug log,
// temporary files, run-time files).
bool device_path_may_change(const std::string &device_path);

struct FileStamp {
    bool dir = false;
    long long size = 0;
    long long mtime_ns = 0;
    unsigned long long inode = 0;
};
using TreeSnapshot = std::map<std::string, FileStamp>; // device path -> stamp
TreeSnapshot snapshot_tree(const std::string &host_root);
// Device paths created, removed or changed between the snapshots outside the
// directories that may change.
std::vector<std::string> unexpected_changes(const TreeSnapshot &before, const TreeSnapshot &after);

// Number of CGI header blocks ("Content-type: ...\r\n\r\n") in an output.
int count_reply_headers(const std::string &out);

// JSON keys the handlers of the modules read: the keys of their policy and
// key tables ({"key", JK_...}, {"key", ...}) and of direct lookups, scanned from the sources
// under `source_dir`/modules and `source_dir`/common, sorted, unique.
std::vector<std::string> scan_route_keys(const std::string &source_dir);
// Keys many handlers share, whether or not a scan finds them.
const std::vector<std::string> &common_route_keys();
