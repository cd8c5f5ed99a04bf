// Firmware upgrade of the recorder (/1034, /1010, /1011) and online (/6085
// to /6088), of the cameras (/6082 to /6084, /6089), the OEM customisation
// package (/oem) and the upload sink (/1019, /dw.cgi).
//
// The daemon prepares, downloads, writes and reports; the staged firmware
// waits in the shared-memory files of common/records/upgrade.h.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "common/ipc.h"
#include "common/records/system_info.h"
#include "common/records/upgrade.h"
#include "common/web_utils.h"
#include "modules/system/maintenance.h"
#include "modules/system/system_ipc.h"
#include "platform/device_path.h"
#include "platform/qx_base64.h"
#include "platform/qx_crypto.h"
#include "platform/qx_std.h"

namespace {

enum { kPrepareMs = 500, kOemKeyMax = 32 };
const char kOemDir[] = "/mnt/nand2";
const char kOemMarker[] = "/mnt/nand2/oem_upload";

bool staged(const char *device_path) { return IsFileExisted(device_path) == 0; }

void answer_res(int value)
{
    char text[32];
    snprintf(text, sizeof text, "{\"res\":%d}", value);
    cgi_writeback_webserver(REPLY_JSON, text);
}

json_object *check_entry(const FirmwareCheckRecord &r)
{
    json_object *obj = json_object_new_object();
    json_add_int(obj, "state", r.state);
    json_add_int(obj, "fileSize", r.file_size);
    json_add_field(obj, "softversion", r.softversion);
    json_add_field(obj, "url", r.url);
    json_add_field(obj, "description", r.description);
    return obj;
}

// After a successful upgrade run: the restart, recorded first.
void restart_after_upgrade()
{
    cgi_send_oplog(OPLOG_RESTART, OPLOG_PARAM_SYSTEM);
    system_notify_ipc(IPC_DEVICE_RESTART, 0, nullptr);
}

// Runs the staged device firmware (1713) and returns the completion flag:
// 1 for success, the daemon's status otherwise, 0 after a time-out.
int run_upgrade(int32_t reset, int error_kind)
{
    const UpgradeRunRequest req = {reset};
    return system_request_ipc(IPC_FIRMWARE_RUN, req, error_kind);
}

// The query asks for the factory settings with the upgrade when it names
// "reset", unless as "reset=0".
bool reset_requested(const char *query)
{
    const char *p = strstr(query, "reset");
    if (!p) return false;
    const char *value = p + 5;
    return !(value[0] == '=' && value[1] == '0' && (value[2] == '\0' || value[2] == '&'));
}

const JsonPolicy kTypePolicy[] = {{"type", JK_INT}, {"url", JK_STRING}};
NVRWEB_HANDLER_KEYS(on_get_online_upgrade, kTypePolicy);
NVRWEB_HANDLER_KEYS(on_del_online_upgrade, kTypePolicy);
const JsonPolicy kCameraCheckPolicy[] = {{"ch", JK_STRING}};
NVRWEB_HANDLER_KEYS(on_check_ipc_online_upgrade, kCameraCheckPolicy);
const JsonPolicy kCameraUpgradePolicy[] = {{"chnid", JK_INT}, {"reset", JK_INT}};
NVRWEB_HANDLER_KEYS(on_start_upgrade_camera, kCameraUpgradePolicy);

// "0"/"1" per channel from channel 0 on; the first other character ends it.
uint64_t channel_string_mask(const char *text)
{
    uint64_t mask = 0;
    for (int i = 0; i < UPGRADE_CAMERA_CHANNELS && text[i]; i++) {
        if (text[i] == '1') mask |= 1ULL << i;
        else if (text[i] != '0') break;
    }
    return mask;
}

// An upload the intake kept as a temporary file: "/tmp/cgic" and six
// letters or digits.
bool upload_temp_path(const char *path)
{
    static const char kPrefix[] = "/tmp/cgic";
    const size_t n = sizeof kPrefix - 1;
    if (strncmp(path, kPrefix, n) != 0 || strlen(path) != n + 6) return false;
    for (const char *p = path + n; *p; p++)
        if (!((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9'))) return false;
    return true;
}

// The key text behind "aes=" in the query, up to 32 characters or the next
// '&'; false when the query has none.
bool oem_key(const char *query, char (&key)[kOemKeyMax + 1])
{
    const char *p = strstr(query, "aes=");
    if (!p) return false;
    p += 4;
    copy_field(key, sizeof key, p, strcspn(p, "&"));
    return true;
}

// Writes the decrypted archive to a fresh temporary file; its host path, or
// "" when it cannot be written.
std::string write_archive(const std::string &zip)
{
    std::string path = nvr_path("/tmp/oemXXXXXX");
    int fd = mkostemp(&path[0], O_CLOEXEC);
    if (fd < 0) return "";
    size_t done = 0;
    while (done < zip.size()) {
        ssize_t n = write(fd, zip.data() + done, zip.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool ok = close(fd) == 0 && done == zip.size();
    if (!ok) {
        unlink(path.c_str());
        return "";
    }
    return path;
}

// Creates the marker file, or renews its time.
bool touch(const char *device_path)
{
    int fd = open(nvr_path(device_path).c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = futimens(fd, nullptr) == 0;
    return close(fd) == 0 && ok;
}

// Decrypts and unpacks the package at `path` (the upload) with `key`.
bool install_oem_package(const char *path, const char *key)
{
    int length = 0;
    char *data = qx_get_file_data(path, &length);
    if (!data) return false;
    std::string decoded, zip;
    const bool decoded_ok = qx_base64_decode(data, static_cast<size_t>(length), &decoded);
    __qx_free(data, "OnSystem", __LINE__);
    if (!decoded_ok || aesDecryWeb(decoded, key, &zip) <= 0) return false;

    const std::string archive = write_archive(zip);
    if (archive.empty()) return false;
    unlink(nvr_path(path).c_str());
    const std::string dest = nvr_path(kOemDir) + "/";
    const char *const argv[] = {"unzip", "-o", archive.c_str(), "-d", dest.c_str(), nullptr};
    // Exit status 1: warnings only (such as a "../" dropped from a name).
    const int status = web_run(argv);
    const bool unpacked = status == 0 || status == 1;
    unlink(archive.c_str());
    return unpacked && touch(kOemMarker);
}

} // namespace

// ---- Device firmware -------------------------------------------------------------------------

int on_cgi_upgrade_system_init(char *)
{
    system_notify_ipc(IPC_FIRMWARE_PREPARE, 0, nullptr);
    // The daemon's moment to prepare, scaled like the daemon client's waits.
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(kPrepareMs * ipc_time_scale()));
    answer_res(0);
    return 0;
}

int on_upgrade_system(char *request)
{
    if (!request) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    // "temp & <query>": a reset flag when the query names it.
    char first[128], query[1088];
    split_upload_text(request, first, sizeof first, query, sizeof query);
    const int32_t reset = reset_requested(query) ? 1 : 0;

    cgi_send_oplog(OPLOG_UPGRADE, OPLOG_PARAM_SYSTEM);
    const int done = run_upgrade(reset, -1);
    if (done == 1) {
        cgi_writeback_webserver(REPLY_TEXT, "OK");
        restart_after_upgrade();
        return 0;
    }
    char text[16];
    snprintf(text, sizeof text, "%d", done);
    cgi_writeback_webserver(REPLY_TEXT, text);
    return 0;
}

void on_upgrade_run_cb(size_t, const void *payload)
{
    int32_t status;
    memcpy(&status, payload, sizeof status);
    g_callback_done = status == 0 ? 1 : status;
}

int on_clean_upgrade_files(char *)
{
    cgi_writeback_webserver(REPLY_TEXT, staged(FIRMWARE_STAGING_DEVICE) ? "Error" : "OK");
    return 0;
}

// ---- Online upgrade -------------------------------------------------------------------------

int on_check_nvr_online_upgrade(char *)
{
    system_request_ipc(IPC_FIRMWARE_CHECK, 0, nullptr, REPLY_TEXT);
    return 0;
}

void on_upgrade_check_cb(size_t, const void *payload)
{
    FirmwareCheckRecord r;
    memcpy(&r, payload, sizeof r);
    json_object *obj = check_entry(r);
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
    g_callback_done = 1;
}

int on_get_online_upgrade(char *request)
{
    JsonDoc doc(request);
    json_object *tb[2];
    const int type = doc && JSON_PARSE(doc.get(), kTypePolicy, tb) >= 0 && tb[0] ? jv_int(tb[0]) : -1;
    if ((type != 0 && type != 1) || !tb[1]) {
        cgi_error_to_webserver(REPLY_JSON);
        return 0;
    }
    OnlineDownloadRequest req;
    memset(&req, 0, sizeof req);
    jv_copy(tb[1], req.url, sizeof req.url);
    COPY_TEXT(req.path, type == 0 ? FIRMWARE_STAGING_DEVICE : FIRMWARE_STAGING_CAMERA);
    system_notify_ipc(IPC_FIRMWARE_PREPARE, 0, nullptr);
    system_request_ipc(IPC_FIRMWARE_DOWNLOAD, req, REPLY_TEXT);
    return 0;
}

void on_upgrade_result_cb(size_t, const void *payload)
{
    int32_t result;
    memcpy(&result, payload, sizeof result);
    answer_res(result);
    g_callback_done = 1;
}

int on_del_online_upgrade(char *request)
{
    JsonDoc doc(request);
    json_object *tb[2];
    const int type = doc && JSON_PARSE(doc.get(), kTypePolicy, tb) >= 0 && tb[0] ? jv_int(tb[0]) : -1;
    if (type == 0) {
        const std::string host = nvr_path(FIRMWARE_STAGING_DEVICE);
        if (unlink(host.c_str()) != 0 && errno != ENOENT)
            cgi_log("OnSystem", __LINE__, "", "cannot remove %s: %s", host.c_str(), strerror(errno));
        answer_res(0);
    } else if (type == 1) {
        system_request_ipc(IPC_FIRMWARE_DISCARD, 0, nullptr, REPLY_TEXT);
    } else {
        cgi_error_to_webserver(REPLY_JSON);
    }
    return 0;
}

int on_nvr_online_upgrade(char *)
{
    system_notify_ipc(IPC_FIRMWARE_PREPARE, 0, nullptr);
    cgi_send_oplog(OPLOG_UPGRADE, OPLOG_PARAM_SYSTEM);
    // A time-out has its error reply (never the success text).
    const int done = run_upgrade(0, REPLY_JSON);
    if (done == 0) return 0;
    answer_res(done == 1 ? 0 : done);
    if (done == 1) restart_after_upgrade();
    return 0;
}

// ---- Cameras ----------------------------------------------------------------------------------

int on_check_ipc_online_upgrade(char *request)
{
    JsonDoc doc(request);
    json_object *tb[1];
    char channels[UPGRADE_CAMERA_CHANNELS + 1];
    if (!doc || JSON_PARSE(doc.get(), kCameraCheckPolicy, tb) < 0 || !jv_copy(tb[0], channels, sizeof channels)) {
        cgi_error_to_webserver(REPLY_JSON);
        return 0;
    }
    const CameraCheckRequest req = {channel_string_mask(channels)};
    system_request_ipc(IPC_CAMERA_UPGRADE_CHECK, req, REPLY_JSON);
    return 0;
}

void on_camera_check_cb(size_t count, const void *payload)
{
    // One record per channel; a shorter reply gives the records it holds.
    json_object *list = json_object_new_array();
    for (size_t i = 0; i < count && i < UPGRADE_CAMERA_CHANNELS; i++) {
        FirmwareCheckRecord r;
        memcpy(&r, static_cast<const char *>(payload) + i * sizeof r, sizeof r);
        json_object_array_add(list, check_entry(r));
    }
    json_object *obj = json_object_new_object();
    json_object_object_add(obj, "check", list);
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
    g_callback_done = 1;
}

int on_upgrade_camera(char *)
{
    cgi_writeback_webserver(REPLY_TEXT, staged(FIRMWARE_STAGING_CAMERA) ? "OK" : "Error");
    return 0;
}

int on_start_upgrade_camera(char *request)
{
    JsonDoc doc(request);
    json_object *tb[2];
    if (!doc || JSON_PARSE(doc.get(), kCameraUpgradePolicy, tb) < 0 || jv_channel(tb[0]) < 0 || !tb[1] ||
        (jv_int(tb[1]) != 0 && jv_int(tb[1]) != 1)) {
        cgi_error_to_webserver(REPLY_JSON);
        return 0;
    }
    CameraUpgradeRequest req;
    memset(&req, 0, sizeof req);
    req.chnid = jv_channel(tb[0]);
    req.reset = jv_int(tb[1]);
    COPY_TEXT(req.path, FIRMWARE_STAGING_CAMERA);
    system_request_ipc(IPC_CAMERA_UPGRADE, req, REPLY_TEXT);
    return 0;
}

void on_camera_upgrade_cb(size_t, const void *payload)
{
    CameraUpgradeStatus s;
    memcpy(&s, payload, sizeof s);
    json_object *obj = json_object_new_object();
    json_add_int(obj, "chnid", s.chnid);
    json_add_int(obj, "status", s.status);
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
    g_callback_done = 1;
}

int on_stop_upgrade_camera(char *)
{
    const std::string host = nvr_path(FIRMWARE_STAGING_CAMERA);
    if (unlink(host.c_str()) != 0 && errno != ENOENT)
        cgi_log("OnSystem", __LINE__, "", "cannot remove %s: %s", host.c_str(), strerror(errno));
    system_notify_ipc(IPC_CAMERA_UPGRADE_STOP, 0, nullptr);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}

// ---- OEM package, upload sink -------------------------------------------------------------------

int on_upload_oem(char *request)
{
    // "<temporary file> & <query>": the package is the intake's temporary
    // file and the query holds its key.
    char path[64], query[1088], key[kOemKeyMax + 1];
    split_upload_text(request, path, sizeof path, query, sizeof query);
    if (!upload_temp_path(path) || !oem_key(query, key) || !install_oem_package(path, key)) {
        cgi_writeback_webserver(REPLY_TEXT, "ERROR");
        return 0;
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}

// The upload's temporary file lives while the request does: the intake
// removes it when the request ends, as it does for every upload no handler
// stores.
int on_upload_temp_file(char *) { return 0; }

int on_dw_cgi(char *)
{
    cgi_writeback_webserver(REPLY_TEXT, "NG download");
    return 0;
}
