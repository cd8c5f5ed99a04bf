// Quick settings of the set-up wizard and the quick-settings page: the SSH
// service (/3300), automatic log-in on the local screen (/3301), the
// recording mode of all channels (/3302), the wizard switch (/3303) and one
// camera channel's address and credentials (/3304).
//
// Each setter stores its value, answers "OK" and tells the daemon without
// waiting. A request that is not JSON or fails its checks gets no answer; a
// settings write that fails answers the text error reply.
#include "modules/quick/quick.h"

#include <cstdint>
#include <cstring>

#include "common/ipc.h"
#include "common/records/camera.h"
#include "common/records/net_services.h"
#include "common/records/recording.h"
#include "common/settings.h"
#include "common/web_utils.h"

namespace {

const char kDb[] = QXDB_PATH;

enum { IPC_SERVICES_CHANGED = 1702, IPC_CAMERA_ENABLED = 1201, IPC_CAMERA_DISABLED = 1202 };
enum { kIpAddrMax = 127 };

// ---- One-value setters ----------------------------------------------------------------------

struct QuickSetter {
    const char *key;           // the request's one integer key
    bool (*valid)(int value);  // nullptr: any value is stored
    int (*store)(int value);   // 0 when stored
    void (*notify)(int value); // after the answer; nullptr: none
};

int store_ssh(int enable)
{
    return settings_atomic(kDb, [&]() -> int {
        PortRecord port;
        memset(&port, 0, sizeof port);
        if (read_port(kDb, &port) != 0) return -1;
        port.enable_ssh = enable;
        return write_port(kDb, &port);
    });
}

void notify_services(int)
{
    char group[32] = "more";
    cgi_notify_ipc(IPC_SERVICES_CHANGED, sizeof group, group);
}

int store_auto_login(int enable) { return set_param_int(kDb, "local_auth_enable", enable); }
int store_wizard(int enable) { return set_param_int(kDb, "wizard_enable", enable); }

bool valid_record_mode(int mode) { return mode >= 0 && mode <= RECORD_MODE_MAX; }

int store_record_modes(int mode)
{
    return settings_atomic(kDb, [&]() -> int {
        RecordEntry entries[RECORD_MAX_CHANNELS];
        int count = 0;
        read_records(kDb, entries, &count);
        if (count != RECORD_MAX_CHANNELS) return -1;
        for (int ch = 0; ch < RECORD_MAX_CHANNELS; ch++) {
            entries[ch].id = ch;
            entries[ch].mode = mode;
        }
        return write_records(kDb, entries, RECORD_MAX_CHANNELS);
    });
}

void notify_record_modes(int)
{
    for (int32_t ch = 0; ch < RECORD_MAX_CHANNELS; ch++) cgi_notify_ipc(IPC_RECORD_MODE_CHANGED, ch);
}

const QuickSetter kSsh = {"sshEnable", nullptr, store_ssh, notify_services};
const QuickSetter kAutoLogin = {"autoLoginEnable", nullptr, store_auto_login, nullptr};
const QuickSetter kRecordMode = {"recordMode", valid_record_mode, store_record_modes, notify_record_modes};
const QuickSetter kWizard = {"wizardEnable", nullptr, store_wizard, nullptr};

int quick_set(const char *request, const QuickSetter &setter)
{
    // parse, validate
    const JsonPolicy policy[] = {{setter.key, JK_INT}};
    json_object *tb[1];
    JsonDoc doc(request);
    if (!doc || JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0]) return 0;
    int value = jv_int(tb[0]);
    if (setter.valid && !setter.valid(value)) return 0;

    // act, reply
    if (setter.store(value) != 0) {
        cgi_log("OnSystem", __LINE__, "", "quick setting %s: settings write failed", setter.key);
        return cgi_error_to_webserver(REPLY_TEXT);
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    if (setter.notify) setter.notify(value);
    return 0;
}

// ---- Camera entry ---------------------------------------------------------------------------

enum { IK_ID, IK_ENABLE, IK_IP, IK_PORT, IK_USER, IK_PASSWORD, IK_COUNT };
const JsonPolicy kIpcEntryPolicy[IK_COUNT] = {
    {"id", JK_INT},         {"enable", JK_INT},   {"ipAddr", JK_STRING},
    {"managePort", JK_INT}, {"userName", JK_STRING}, {"password", JK_STRING},
};
NVRWEB_HANDLER_KEYS(on_set_ipc_entry, kIpcEntryPolicy);

} // namespace

int on_set_ssh_enable(char *request) { return quick_set(request, kSsh); }
int on_set_auto_login(char *request) { return quick_set(request, kAutoLogin); }
int on_set_record_mode_all(char *request) { return quick_set(request, kRecordMode); }
int on_set_wizard_enable(char *request) { return quick_set(request, kWizard); }

int on_set_ipc_entry(char *request)
{
    // parse
    JsonDoc doc(request);
    json_object *tb[IK_COUNT];
    if (!doc || JSON_PARSE(doc.get(), kIpcEntryPolicy, tb) < 0) return 0;

    // validate
    const int id = jv_channel(tb[IK_ID]);
    const int enable = jv_int(tb[IK_ENABLE], -1);
    char ip[kIpAddrMax + 1];
    if (id < 0 || (enable != 0 && enable != 1) || !jv_copy(tb[IK_IP], ip, sizeof ip) || ip[0] == '\0' ||
        !tb[IK_PORT] || jv_int(tb[IK_PORT]) < 0)
        return 0;
    const int port = jv_int(tb[IK_PORT]);

    // act: the record of this channel, keyed by its own id
    int rc = update_camera(kDb, id, [&](CameraRecord &cam) -> int {
        cam.id = id;
        cam.enable = enable;
        COPY_TEXT(cam.ip_addr, ip);
        cam.manage_port = port;
        cam.protocol = 0;
        COPY_TEXT(cam.user_name, jv_str(tb[IK_USER]));
        COPY_TEXT(cam.password, jv_str(tb[IK_PASSWORD]));
        return 0;
    });
    if (rc != 0) {
        cgi_log("OnSystem", __LINE__, "", "camera entry %d: settings write failed", id);
        return cgi_error_to_webserver(REPLY_TEXT);
    }

    // notify, reply
    int32_t camera = id;
    cgi_notify_ipc(enable == 1 ? IPC_CAMERA_ENABLED : IPC_CAMERA_DISABLED, camera);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
