// Device information and general settings: the device facts (/1009, /1020),
// host name and device id (/1012), display, audio and identity settings
// (/6080, /6081), the file-system database flag (/1023) and the factory
// filling of camera addresses (/ipc).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/ipc.h"
#include "common/records/camera.h"
#include "common/records/network.h"
#include "common/records/system_info.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/system/maintenance.h"
#include "modules/system/system_ipc.h"

namespace {

// ---- Host name in the network record --------------------------------------------------
// This module changes only the host name of the network record; the rest
// of it is carried through as stored.
enum { kHostNameSize = sizeof(NetworkRecord::host_name) };

// Called inside the caller's settings_atomic body.
int write_host_name(const char *name)
{
    NetworkRecord rec;
    if (read_network(QXDB_PATH, &rec) != 0) return -1;
    COPY_TEXT(rec.host_name, name);
    return write_network(QXDB_PATH, &rec);
}

void read_host_name(char (&out)[kHostNameSize])
{
    NetworkRecord rec;
    if (read_network(QXDB_PATH, &rec) != 0) memset(&rec, 0, sizeof rec);
    copy_field(out, sizeof out, rec.host_name, sizeof rec.host_name);
}

// Text parameters of these pages are read into 8 bytes (7 characters).
int text_param_int(const char *key, const char *dflt)
{
    char value[8];
    get_param_value(QXDB_PATH, key, value, sizeof value, dflt);
    return atoi(value);
}

void notify_int(int code, int32_t value) { system_notify_ipc(code, sizeof value, &value); }

void notify_identity(int32_t device_id)
{
    notify_int(IPC_DEVICE_ID_CHANGED, device_id);
    const SettingsGroupNotice group = settings_group_notice("hostname");
    system_notify_ipc(IPC_SETTINGS_CHANGED, sizeof group, &group);
}

// ---- Device facts -------------------------------------------------------------------------
// The settings and the up time that the facts reply carries, gathered before
// the request so that the reply callback only formats.
struct FactsExtras {
    char plugin_version[32];
    char mplugin_version[32];
    char company[64];
    char uptime[64];
    int qxfs_dbup;
    int trans_protocol;
    int stream_info;
    int oem_online_update;
} g_extras;

// The "uptime" text cut before its user count (five characters before
// "users") or, without one, before the load average (two characters before
// the first 'l'); as read when neither is there.
void read_uptime(char (&out)[64])
{
    const char *const argv[] = {"uptime", nullptr};
    web_run_output(argv, out, sizeof out);
    size_t len = strcspn(out, "\r\n");
    out[len] = '\0';
    const char *users = strstr(out, "users");
    const char *load = strchr(out, 'l');
    size_t cut = len;
    if (users) cut = static_cast<size_t>(users - out) >= 5 ? static_cast<size_t>(users - out) - 5 : 0;
    else if (load) cut = static_cast<size_t>(load - out) >= 2 ? static_cast<size_t>(load - out) - 2 : 0;
    out[cut] = '\0';
}

// ---- Requests ------------------------------------------------------------------------------
const JsonPolicy kSystemInfoPolicy[] = {{"hostName", JK_STRING}, {"deviceId", JK_INT}};
NVRWEB_HANDLER_KEYS(on_set_system_info, kSystemInfoPolicy);
enum { SI_HOST_NAME, SI_DEVICE_ID };

const JsonPolicy kGeneralPolicy[] = {
    {"mainResolution", JK_INT}, {"audioOutputOn", JK_INT}, {"audioVolume", JK_INT},
    {"audioStereo", JK_INT},    {"hdmiAudioOn", JK_INT},   {"subResolution", JK_INT},
    {"subEnable", JK_INT},      {"homologous", JK_INT},    {"isHomologousChanged", JK_INT},
    {"hostname", JK_STRING},    {"deviceId", JK_INT},      {"wizardEnable", JK_INT},
    {"displayMode", JK_INT},    {"hdmihotplug", JK_INT},   {"streamInfo", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_general_info, kGeneralPolicy);
enum {
    GI_MAIN_RES, GI_AUDIO_OUT, GI_VOLUME, GI_STEREO, GI_HDMI_AUDIO, GI_SUB_RES, GI_SUB_ENABLE,
    GI_HOMOLOGOUS, GI_HOMOLOGOUS_CHANGED, GI_HOSTNAME, GI_DEVICE_ID, GI_WIZARD, GI_DISPLAY_MODE,
    GI_HOTPLUG, GI_STREAM_INFO,
};

const JsonPolicy kIpcBatchPolicy[] = {{"startip", JK_STRING}, {"chnNum", JK_INT}, {"chnFre", JK_INT}};
NVRWEB_HANDLER_KEYS(on_set_ipc_address_batch, kIpcBatchPolicy);
enum { IB_START_IP, IB_COUNT, IB_REPEAT };

bool in_range(json_object *v, int lo, int hi) { return v && jv_int(v) >= lo && jv_int(v) <= hi; }
bool is_flag(json_object *v) { return in_range(v, 0, 1); }

// Dotted IPv4 text into its four octets.
bool parse_ipv4(const char *text, unsigned (&octet)[4])
{
    char tail;
    if (sscanf(text, "%3u.%3u.%3u.%3u%c", &octet[0], &octet[1], &octet[2], &octet[3], &tail) != 4) return false;
    for (unsigned o : octet)
        if (o > 255) return false;
    return true;
}

} // namespace

// ---- /1009, /1020 ----------------------------------------------------------------------------

int on_get_system_info(char *)
{
    memset(&g_extras, 0, sizeof g_extras);
    get_param_value(QXDB_PATH, "plugin_version", g_extras.plugin_version, sizeof g_extras.plugin_version, "1.0");
    get_param_value(QXDB_PATH, "mplugin_version", g_extras.mplugin_version, sizeof g_extras.mplugin_version, "1.0");
    get_param_value(QXDB_PATH, "company", g_extras.company, sizeof g_extras.company, "Tarnvelle");
    g_extras.qxfs_dbup = get_param_int(QXDB_PATH, "qxfs_dbup", 0);
    g_extras.trans_protocol = get_param_int(QXDB_PATH, "transport_protocol", 0);
    g_extras.stream_info = get_param_int(QXDB_PATH, "stream_information", 0);
    g_extras.oem_online_update = get_param_int(QXDB_PATH, "oemupdateonline", 0);
    read_uptime(g_extras.uptime);
    system_request_ipc(IPC_DEVICE_FACTS, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_device_facts_cb(size_t, const void *payload)
{
    DeviceFactsRecord f;
    memcpy(&f, payload, sizeof f);
    json_object *obj = json_object_new_object();
    json_add_text(obj, "hostName", "");
    json_add_field(obj, "deviceName", f.device_name);
    json_add_int(obj, "deviceId", f.device_id);
    json_add_field(obj, "product", f.device_name);
    json_add_field(obj, "hwver", f.hwver);
    json_add_field(obj, "software", f.software);
    json_add_int(obj, "oemversion", f.oem_version);
    json_add_field(obj, "sn", f.sn);
    json_add_field(obj, "prefix", f.prefix);
    json_add_text(obj, "pluginVersion", g_extras.plugin_version);
    json_add_text(obj, "mpluginVersion", g_extras.mplugin_version);
    json_add_field(obj, "macAddress", f.mac_address);
    json_add_int(obj, "qxddns", f.qxddns);
    json_add_text(obj, "uptime", g_extras.uptime);
    json_add_field(obj, "sncode", f.sn);
    json_object *res = json_object_new_object();
    json_add_int(res, "displayNum", f.display_num);
    json_add_int(res, "maxAudioOut", f.max_audio_out);
    json_add_int(res, "maxNetworkLan", f.max_network_lan);
    json_add_int(res, "maxSensor", f.max_sensor);
    json_add_int(res, "maxAlarm", f.max_alarm);
    json_add_int(res, "maxCameras", f.max_cameras);
    json_add_int(res, "masRs485", f.max_rs485);
    json_object_object_add(obj, "resource", res);
    json_add_int(obj, "qxfsDbup", g_extras.qxfs_dbup);
    json_add_int(obj, "transProtocol", g_extras.trans_protocol);
    json_add_int(obj, "streamInfo", g_extras.stream_info);
    json_add_int(obj, "oemonlineupdate", g_extras.oem_online_update);
    json_add_text(obj, "company", g_extras.company);
    json_add_int(obj, "isSupportTalk", f.support_talk);
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
    g_callback_done = 1;
}

// ---- /1012 ---------------------------------------------------------------------------------------

int on_set_system_info(char *request)
{
    // parse
    JsonDoc doc(request);
    json_object *tb[2];
    if (!doc || JSON_PARSE(doc.get(), kSystemInfoPolicy, tb) < 0) return 0;

    // validate
    char host_name[kHostNameSize];
    if (!jv_copy(tb[SI_HOST_NAME], host_name, sizeof host_name) || !host_name[0]) return 0;
    if (!in_range(tb[SI_DEVICE_ID], 1, 255)) return 0;
    const int32_t device_id = jv_int(tb[SI_DEVICE_ID]);

    // act
    int rc = settings_atomic(QXDB_PATH, [&]() -> int {
        if (write_host_name(host_name) != 0) return -1;
        return set_param_int(QXDB_PATH, "deviceid", device_id);
    });
    if (rc < 0) {
        cgi_log("OnSystem", __LINE__, "", "host name and device id: not stored");
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    notify_identity(device_id);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}

// ---- /6080, /6081 ------------------------------------------------------------------------------

int on_get_general_info(char *)
{
    DisplayRecord d;
    if (read_display(QXDB_PATH, &d) != 0) memset(&d, 0, sizeof d);
    char host_name[kHostNameSize];
    read_host_name(host_name);

    json_object *obj = json_object_new_object();
    json_add_int(obj, "displayMode", text_param_int("display_mode", "0"));
    json_add_int(obj, "hdmihotplug", text_param_int("hdmihotplug", "1"));
    json_add_int(obj, "mainResolution", d.main_resolution);
    json_add_int(obj, "hdmiAudioOn", d.hdmi_audio_on);
    json_add_int(obj, "homologous", get_param_int(QXDB_PATH, "homologous", 1));
    json_add_int(obj, "curControl", d.cur_control);
    json_add_int(obj, "subEnable", d.sub_enable);
    json_add_int(obj, "subResolution", d.sub_resolution);
    json_add_int(obj, "audioOutputOn", d.audio_output_on);
    json_add_int(obj, "audioVolume", d.audio_volume);
    json_add_int(obj, "deviceId", text_param_int("deviceid", "255"));
    json_add_text(obj, "hostname", host_name);
    json_add_int(obj, "wizardEnable", text_param_int("wizard_enable", "0"));
    json_add_int(obj, "hideTaskBar", text_param_int("hide_taskbar", "0"));
    json_add_int(obj, "hideToolBar", text_param_int("hide_toolbar", "0"));
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
    return 0;
}

int on_set_general_info(char *request)
{
    // parse
    JsonDoc doc(request);
    json_object *tb[sizeof kGeneralPolicy / sizeof kGeneralPolicy[0]];
    if (!doc || JSON_PARSE(doc.get(), kGeneralPolicy, tb) < 0) return 0;

    // validate
    const int volume = jv_int(tb[GI_VOLUME]);
    if (!tb[GI_MAIN_RES] || !is_flag(tb[GI_AUDIO_OUT]) || !tb[GI_VOLUME] || volume < 0 || volume > 100 ||
        volume % 10 != 0 || !is_flag(tb[GI_HDMI_AUDIO]) || !tb[GI_SUB_RES] || !is_flag(tb[GI_WIZARD]) ||
        !tb[GI_HOSTNAME] || !in_range(tb[GI_DEVICE_ID], 0, 256) || !is_flag(tb[GI_DISPLAY_MODE]) ||
        !is_flag(tb[GI_SUB_ENABLE]))
        return 0;
    const bool homologous_changed = jv_int(tb[GI_HOMOLOGOUS_CHANGED]) != 0;
    // A change of the output mode needs the mode itself.
    if (homologous_changed && !tb[GI_HOMOLOGOUS]) return 0;
    const int homologous = jv_int(tb[GI_HOMOLOGOUS]);
    const int sub_enable = jv_int(tb[GI_SUB_ENABLE]);
    const int32_t device_id = jv_int(tb[GI_DEVICE_ID]);
    char host_name[kHostNameSize];
    jv_copy(tb[GI_HOSTNAME], host_name, sizeof host_name);

    // act: the display record, the host name and the parameters in one write
    DisplayRecord old, now;
    int rc = settings_atomic(QXDB_PATH, [&]() -> int {
        if (read_display(QXDB_PATH, &old) != 0) return -1;
        now = old;
        now.main_resolution = jv_int(tb[GI_MAIN_RES]);
        now.audio_output_on = jv_int(tb[GI_AUDIO_OUT]);
        now.audio_volume = volume;
        now.audio_stereo = jv_int(tb[GI_STEREO]);
        now.hdmi_audio_on = jv_int(tb[GI_HDMI_AUDIO]);
        now.sub_resolution = jv_int(tb[GI_SUB_RES]);
        if (homologous_changed) {
            now.sub_enable = homologous == 0 ? 1 : 0;
            char quick[12];
            snprintf(quick, sizeof quick, "%d", now.sub_enable);
            if (set_param_int(QXDB_PATH, "homologous", homologous) != 0 ||
                set_param_value(QXDB_PATH, "quick_screen", quick) != 0)
                return -1;
        }
        if (write_display(QXDB_PATH, &now) != 0 || write_host_name(host_name) != 0) return -1;
        const struct {
            const char *key;
            int value;
        } params[] = {
            {"deviceid", device_id},
            {"wizard_enable", jv_int(tb[GI_WIZARD])},
            {"display_mode", jv_int(tb[GI_DISPLAY_MODE])},
            {"hdmihotplug", jv_int(tb[GI_HOTPLUG])},
            {"stream_information", jv_int(tb[GI_STREAM_INFO])},
        };
        for (const auto &p : params)
            if (set_param_int(QXDB_PATH, p.key, p.value) != 0) return -1;
        return 0;
    });
    if (rc < 0) {
        cgi_log("OnSystem", __LINE__, "", "general settings: not stored");
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }

    // notices, in the order the daemon applies them
    if (now.sub_enable != sub_enable && old.cur_control == 0 && !homologous_changed)
        notify_int(IPC_SUB_OUTPUT_ENABLE, sub_enable);
    notify_identity(device_id);
    if (now.main_resolution != old.main_resolution || now.sub_resolution != old.sub_resolution) {
        const OutputResolution main_output = {0, now.main_resolution}, sub_output = {1, now.sub_resolution};
        system_notify_ipc(IPC_OUTPUT_RESOLUTION, sizeof main_output, &main_output);
        system_notify_ipc(IPC_OUTPUT_RESOLUTION, sizeof sub_output, &sub_output);
        system_notify_ipc(IPC_OUTPUTS_APPLY, 0, nullptr);
    }
    const AudioOutputNotice audio = {now.hdmi_audio_on, now.audio_output_on, now.audio_volume};
    system_notify_ipc(IPC_AUDIO_OUTPUT, sizeof audio, &audio);
    cgi_send_oplog(OPLOG_SETTING, OPLOG_PARAM_GENERAL);
    cgi_writeback_webserver(REPLY_TEXT, old.cur_control != 0 ? "SUB" : "OK");
    if (homologous_changed) system_notify_ipc(IPC_DEVICE_RESTART, 0, nullptr);
    return 0;
}

// ---- /1023 ---------------------------------------------------------------------------------------

int on_clear_qxfs_dbup(char *)
{
    if (set_param_int(QXDB_PATH, "qxfs_dbup", 0) != 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}

// ---- /ipc ------------------------------------------------------------------------------------------

int on_set_ipc_address_batch(char *request)
{
    // parse
    JsonDoc doc(request);
    json_object *tb[3];
    if (!doc || JSON_PARSE(doc.get(), kIpcBatchPolicy, tb) < 0) return 0;

    // validate: a dotted address; counts of 0 or less fill nothing
    char start[32];
    unsigned octet[4];
    if (!jv_copy(tb[IB_START_IP], start, sizeof start) || !parse_ipv4(start, octet)) return 0;
    const int count = jv_int(tb[IB_COUNT]);
    const int repeat = jv_int(tb[IB_REPEAT]);
    if (count <= 0 || repeat <= 0) {
        cgi_writeback_webserver(REPLY_TEXT, "OK");
        return 0;
    }

    // act: address i (last octet + i, modulo 256) into `repeat` slots each,
    // up to the channel count
    int rc = settings_atomic(QXDB_PATH, [&]() -> int {
        int limit = get_param_int(QXDB_PATH, "max_cameras", 32);
        if (limit > MAX_CAMERAS) limit = MAX_CAMERAS;
        int slot = 0;
        for (int i = 0; i < count && slot < limit; i++) {
            char address[32];
            snprintf(address, sizeof address, "%u.%u.%u.%u", octet[0], octet[1], octet[2],
                     (octet[3] + static_cast<unsigned>(i)) % 256);
            for (int r = 0; r < repeat && slot < limit; r++, slot++) {
                int w = update_camera(QXDB_PATH, slot, [&](CameraRecord &cam) -> int {
                    COPY_TEXT(cam.ip_addr, address);
                    return 0;
                });
                if (w != 0) return -1;
            }
        }
        return 0;
    });
    if (rc < 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}
