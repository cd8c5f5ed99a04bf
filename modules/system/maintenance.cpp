// Maintenance: restart and its state (/1004, /1005), factory reset (/1006),
// configuration export, download and import (/1007, /1013, /1008), log and
// picture retention (/1016, /1017) and the weekly restart (/1032, /1033).
//
// The configuration tool ("qxprofile") runs from an argument vector:
// "-e <dir>" writes the configuration file into the directory and its path
// into /tmp/.export_down_file; "-i <file>" loads one and exits 0 on success.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/ipc.h"
#include "common/records/motion.h"
#include "common/records/system_info.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/system/maintenance.h"
#include "modules/system/system_ipc.h"
#include "platform/device_path.h"

namespace {

const char kExportPathFile[] = "/tmp/.export_down_file";
const char kDaemonRunning[] = "/tmp/qxcore";
const char kProfileTool[] = "qxprofile";

// The path the export tool left in the path file (at most size-1 bytes,
// trailing line end and blanks removed); "" when there is none.
std::string exported_path(size_t size)
{
    std::string text;
    FILE *f = fopen(nvr_path(kExportPathFile).c_str(), "rbe");
    if (!f) return text;
    text.resize(size - 1);
    text.resize(fread(&text[0], 1, size - 1, f));
    fclose(f);
    text.resize(strnlen(text.c_str(), text.size()));
    while (!text.empty() && strchr("\r\n \t", text.back())) text.pop_back();
    return text;
}

// The name of a file directly in /tmp: `path` is "/tmp/<name>" (or the same
// under the device root) with a name of one component, not "." or "..",
// without control characters.
bool tmp_file_name(const std::string &path, std::string *name)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return false;
    const std::string dir = path.substr(0, slash);
    if (dir != "/tmp" && dir != nvr_path("/tmp")) return false;
    const std::string base = path.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") return false;
    for (unsigned char c : base)
        if (c < 0x20 || c == 0x7f) return false;
    *name = base;
    return true;
}

const JsonPolicy kRestorePolicy[] = {{"keepIp", JK_INT}, {"keepUser", JK_INT}};
NVRWEB_HANDLER_KEYS(on_restore_device, kRestorePolicy);
const JsonPolicy kRetentionPolicy[] = {{"logRetention", JK_INT}, {"photoRetention", JK_INT}};
NVRWEB_HANDLER_KEYS(on_set_auto_maintenance, kRetentionPolicy);
const JsonPolicy kRebootPolicy[] = {
    {"enable", JK_INT}, {"wday", JK_INT}, {"hour", JK_INT}, {"minutes", JK_INT}, {"seconds", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_auto_reboot, kRebootPolicy);
// The weekly restart record's fields in the order of kRebootPolicy.
int32_t AutoRebootRecord::*const kRebootFields[] = {
    &AutoRebootRecord::enable, &AutoRebootRecord::wday, &AutoRebootRecord::hour,
    &AutoRebootRecord::minutes, &AutoRebootRecord::seconds,
};
static_assert(sizeof kRebootFields / sizeof kRebootFields[0] == sizeof kRebootPolicy / sizeof kRebootPolicy[0], "");

bool is_flag(json_object *v) { return v && (jv_int(v) == 0 || jv_int(v) == 1); }

// Months of retention: -1, 0, 1 or an even number up to 12.
bool valid_retention(json_object *v)
{
    if (!v) return false;
    const int n = jv_int(v);
    return n == -1 || n == 0 || n == 1 || (n >= 2 && n <= 12 && n % 2 == 0);
}

} // namespace

// ---- Shared helpers ------------------------------------------------------------------------

void split_upload_text(const char *request, char *first, size_t first_size, char *rest, size_t rest_size)
{
    const char *text = request ? request : "";
    const char *sep = strstr(text, " & ");
    copy_field(first, first_size, text, sep ? static_cast<size_t>(sep - text) : strlen(text));
    copy_text(rest, rest_size, sep ? sep + 3 : "");
}

// ---- /1004, /1005, /1006 ----------------------------------------------------------------------

int on_restart_device(char *)
{
    cgi_send_oplog(OPLOG_RESTART, OPLOG_PARAM_SYSTEM);
    system_notify_ipc(IPC_DEVICE_RESTART, 0, nullptr);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}

int on_get_restart_state(char *)
{
    // Motion alarms of channel 0 without their intervals would repeat without
    // pause: give them the default of 20 seconds.
    update_motion(QXDB_PATH, 0, [](MotionRecord &m) -> int {
        if (m.interval != 0 && m.email_interval != 0) return -1; // nothing to repair
        if (m.interval == 0) m.interval = 20;
        if (m.email_interval == 0) m.email_interval = 20;
        return 0;
    });
    const bool running = access(nvr_path(kDaemonRunning).c_str(), R_OK) == 0;
    cgi_writeback_webserver(REPLY_TEXT, running ? "OK" : "NO OK");
    return 0;
}

int on_restore_device(char *request)
{
    // parse, validate: what to keep must be said
    JsonDoc doc(request);
    json_object *tb[2];
    if (!doc || JSON_PARSE(doc.get(), kRestorePolicy, tb) < 0) return 0;
    if (!is_flag(tb[0]) || !is_flag(tb[1])) return 0;
    const RestoreRequest keep = {jv_int(tb[0]), jv_int(tb[1])};

    cgi_writeback_webserver(REPLY_TEXT, "OK");
    system_notify_ipc(IPC_RESTORE_KEEP, sizeof keep, &keep);
    system_notify_ipc(IPC_RESTORE, 0, nullptr);
    cgi_send_oplog(OPLOG_RESTORE, OPLOG_PARAM_SYSTEM);
    system_notify_ipc(IPC_DEVICE_RESTART, 0, nullptr);
    return 0;
}

// ---- /1007, /1013, /1008 -------------------------------------------------------------------------

int on_export_config(char *)
{
    const std::string dir = nvr_path("/tmp");
    const char *const argv[] = {kProfileTool, "-e", dir.c_str(), nullptr};
    if (web_run(argv) != 0) {
        cgi_log("OnSystem", __LINE__, "", "configuration export failed");
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    const std::string path = exported_path(256);
    const size_t slash = path.rfind('/');
    std::string text = "OK";
    if (slash != std::string::npos) text += " filename=" + path.substr(slash + 1) + "\r\n";
    cgi_send_oplog(OPLOG_EXPORT, OPLOG_PARAM_SYSTEM);
    cgi_writeback_webserver(REPLY_TEXT, text.c_str());
    return 0;
}

int on_download_config(char *)
{
    // Only a regular file directly in /tmp is served (and then removed).
    std::string name;
    if (!tmp_file_name(exported_path(1168), &name)) return 0;
    const std::string host = nvr_path(("/tmp/" + name).c_str());
    int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return 0;
    }
    const std::string head = "Content-Type:application/octet-stream\r\n"
                             "Content-Disposition: attachment; filename= " + name + "\r\n\r\n";
    cgi_writeback_webserver(REPLY_RAW, head.c_str());
    char buf[4095];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        fwrite(buf, 1, static_cast<size_t>(n), stdout);
    }
    fflush(stdout);
    close(fd);
    if (unlink(host.c_str()) != 0)
        cgi_log("OnSystem", __LINE__, "", "cannot remove %s: %s", host.c_str(), strerror(errno));
    return 0;
}

int on_import_config(char *request)
{
    // The stored upload, without the " & " text the intake may append; only
    // a regular file directly in /tmp is taken.
    std::string upload;
    if (!tmp_upload_path(request, &upload)) {
        cgi_log("OnSystem", __LINE__, "", "configuration import: no upload in /tmp");
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    const std::string host = nvr_path(upload.c_str());
    const char *const argv[] = {kProfileTool, "-i", host.c_str(), nullptr};
    const bool loaded = web_run(argv) == 0;
    if (!loaded || unlink(host.c_str()) != 0) {
        cgi_log("OnSystem", __LINE__, "", "configuration import failed (%s)", loaded ? "remove" : "load");
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    cgi_send_oplog(OPLOG_IMPORT, OPLOG_PARAM_SYSTEM);
    return 0;
}

// ---- /1016, /1017 -----------------------------------------------------------------------------------

int on_get_auto_maintenance(char *)
{
    DiskMaintainRecord r;
    if (read_disk_maintain_info(QXDB_PATH, &r) != 0) memset(&r, 0, sizeof r);
    json_object *obj = json_object_new_object();
    json_add_int(obj, "logRetention", r.log_retention);
    json_add_int(obj, "photoRetention", r.photo_retention);
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
    return 0;
}

int on_set_auto_maintenance(char *request)
{
    JsonDoc doc(request);
    json_object *tb[2];
    if (!doc || JSON_PARSE(doc.get(), kRetentionPolicy, tb) < 0) return 0;
    if (!valid_retention(tb[0]) || !valid_retention(tb[1])) return 0;
    const DiskMaintainRecord r = {jv_int(tb[0]), jv_int(tb[1])};
    if (write_disk_maintain_info(QXDB_PATH, &r) != 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    system_notify_ipc(IPC_RETENTION_CHANGED, 0, nullptr);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}

// ---- /1032, /1033 ---------------------------------------------------------------------------------

int on_get_auto_reboot(char *)
{
    AutoRebootRecord r;
    if (read_autoreboot_conf(QXDB_PATH, &r) != 0) memset(&r, 0, sizeof r);
    json_object *obj = json_object_new_object();
    for (size_t i = 0; i < sizeof kRebootFields / sizeof kRebootFields[0]; i++)
        json_add_int(obj, kRebootPolicy[i].key, r.*kRebootFields[i]);
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
    return 0;
}

int on_set_auto_reboot(char *request)
{
    JsonDoc doc(request);
    json_object *tb[sizeof kRebootPolicy / sizeof kRebootPolicy[0]];
    if (!doc || JSON_PARSE(doc.get(), kRebootPolicy, tb) < 0) return 0;
    // A key the request leaves out keeps its stored value.
    int rc = settings_atomic(QXDB_PATH, [&]() -> int {
        AutoRebootRecord r;
        if (read_autoreboot_conf(QXDB_PATH, &r) != 0) return -1;
        for (size_t i = 0; i < sizeof kRebootFields / sizeof kRebootFields[0]; i++)
            if (tb[i]) r.*kRebootFields[i] = jv_int(tb[i]);
        return write_autoreboot_conf(QXDB_PATH, &r);
    });
    if (rc < 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    system_notify_ipc(IPC_AUTO_REBOOT_CHANGED, 0, nullptr);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}
