// Camera channels in the settings database: read one channel, add, edit,
// delete, credentials and transport of a camera, channel names and the PoE
// settings. Changes are written first, then the daemon is told with a notice
// (it rereads the record) and the operation log gets an entry.
#include <cstdio>
#include <cstring>
#include <functional>

#include "common/ipc.h"
#include "common/log_detail.h"
#include "common/records/camera.h"
#include "common/records/osd.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"

namespace {

enum { LOG_SUB_EDIT = 204, LOG_SUB_ADD = 210, LOG_SUB_DELETE = 211 };
enum { LOG_PARAM_ADD = 901, LOG_PARAM_DELETE = 902, LOG_PARAM_EDIT = 903 };

const char *protocol_log_text(int protocol)
{
    if (protocol == CAM_PROTO_ONVIF) return "ONVIF";
    if (protocol == CAM_PROTO_RTSP) return "RTSP";
    return "QXSF";
}

const char *transmit_log_text(int transmit)
{
    if (transmit == 0) return "UDP";
    if (transmit == 3) return "RTSP Over HTTPS";
    return "TCP";
}

// Operation-log entry of a camera change with its detail block; `rec` fills
// the camera's address part of the detail (none for a deletion).
void send_camera_log(int sub_type, int param_type, int code, int channel, const CameraRecord *rec)
{
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.sub_type = sub_type;
    log.param_type = param_type;
    CameraLogDetail detail{};
    detail.code = code;
    detail.channel = channel + 1;
    if (rec) {
        COPY_TEXT(detail.ip_addr, rec->ip_addr);
        detail.manage_port = rec->manage_port;
        COPY_TEXT(detail.protocol, protocol_log_text(rec->protocol));
        COPY_TEXT(detail.transmit, transmit_log_text(rec->transmit_protocol));
        detail.time_sync = static_cast<uint8_t>(rec->time_sync);
    }
    qxfs_log_pack_detail(&log, CAMLOG_DETAIL_TYPE, &detail, sizeof detail);
    cgi_send_oplog_record(log);
}

// Notice with the channel id alone (1201, 1202, 1203).
void notify_channel(int code, int channel)
{
    int32_t id = channel;
    cgi_notify_ipc(code, id);
}

void notify_poe(int channel, int poe)
{
    PoeNotice n{channel, poe};
    cgi_notify_ipc(IPC_CAMERA_POE, n);
}

// Text keys absent from the request are stored as empty texts.
void take_text(json_object *v, char *dst, size_t size)
{
    if (!jv_copy(v, dst, size)) dst[0] = '\0';
}
#define TAKE_TEXT(v, dst) take_text((v), (dst), sizeof(dst))

// ---- Add and edit ------------------------------------------------------------------
enum CamKey {
    K_ID, K_NAME, K_ENABLE, K_PROTOCOL, K_IP, K_PORT, K_TRANSMIT, K_MINORID, K_USER, K_PASSWORD,
    K_SUBSTREAM, K_SYNC, K_MAIN_PORT, K_MAIN_PATH, K_SUB_PORT, K_SUB_PATH, K_MAIN_URL, K_SUB_URL,
    K_MAC, K_POE, K_PHYSICAL, K_DDNS, K_HTTPS, K_TYPE, K_OTHER_POE, K_COUNT
};
const JsonPolicy kCameraPolicy[] = {
    {"id", JK_INT},           {"name", JK_STRING},          {"enable", JK_INT},
    {"camProtocol", JK_INT},  {"ipAddr", JK_STRING},        {"managePort", JK_INT},
    {"transmitProtocol", JK_INT}, {"minorid", JK_INT},      {"userName", JK_STRING},
    {"password", JK_STRING},  {"enableSubStream", JK_INT},  {"syncTime", JK_INT},
    {"mainRtspPort", JK_INT}, {"mainSourcePath", JK_STRING}, {"subRtspPort", JK_INT},
    {"subSourcePath", JK_STRING}, {"mainrtspurl", JK_STRING}, {"subrtspurl", JK_STRING},
    {"mac_addr", JK_STRING},  {"poechannel", JK_INT},       {"physicalport", JK_INT},
    {"ddns", JK_STRING},      {"httpsPort", JK_INT},        {"type", JK_INT},
    {"otherPoe", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_add_ipc_channel, kCameraPolicy);
NVRWEB_HANDLER_KEYS(on_edit_ipc_channel, kCameraPolicy);
static_assert(sizeof(kCameraPolicy) / sizeof(kCameraPolicy[0]) == K_COUNT, "one policy entry per key");

bool check_camera_info(json_object *const *tb)
{
    if (!camera_int_in_range(tb[K_ID], 0, MAX_CAMERAS - 1)) return false;
    if (!tb[K_NAME]) return false;
    if (!camera_int_in_range(tb[K_ENABLE], 0, 1)) return false;
    if (!camera_int_in_range(tb[K_PROTOCOL], 0, CAM_PROTO_MAX)) return false;
    if (jv_int(tb[K_PROTOCOL]) != CAM_PROTO_MAX) {
        if (!jv_str(tb[K_IP])[0]) return false;
        if (!tb[K_PORT] || jv_int(tb[K_PORT]) < 0) return false;
    }
    return camera_int_in_range(tb[K_TRANSMIT], 0, CAM_TRANSMIT_MAX);
}

enum CameraChange { CHANGE_ADD, CHANGE_EDIT };

// Fills the camera record from an add or edit request.
void apply_camera_info(json_object *const *tb, CameraRecord *cam, CameraChange change)
{
    cam->id = jv_int(tb[K_ID]);
    cam->minor_id = jv_int(tb[K_MINORID]);
    cam->enable = jv_int(tb[K_ENABLE]);
    TAKE_TEXT(tb[K_IP], cam->ip_addr);
    cam->manage_port = jv_int(tb[K_PORT]);
    cam->protocol = jv_int(tb[K_PROTOCOL]);
    // An edit of "type" other than 0 keeps the stored log-in.
    if (change == CHANGE_ADD || jv_int(tb[K_TYPE]) == 0) {
        TAKE_TEXT(tb[K_USER], cam->user_name);
        TAKE_TEXT(tb[K_PASSWORD], cam->password);
    }
    cam->transmit_protocol = jv_int(tb[K_TRANSMIT]);
    cam->sub_stream_enable = jv_int(tb[K_SUBSTREAM]);
    cam->time_sync = jv_int(tb[K_SYNC]);
    if (cam->protocol == CAM_PROTO_RTSP) {
        cam->main_rtsp_port = jv_int(tb[K_MAIN_PORT]);
        TAKE_TEXT(tb[K_MAIN_PATH], cam->main_source_path);
        cam->sub_rtsp_port = jv_int(tb[K_SUB_PORT]);
        TAKE_TEXT(tb[K_SUB_PATH], cam->sub_source_path);
        TAKE_TEXT(tb[K_MAIN_URL], cam->main_rtsp_url);
        TAKE_TEXT(tb[K_SUB_URL], cam->sub_rtsp_url);
    }
    if (change == CHANGE_ADD) {
        TAKE_TEXT(tb[K_MAC], cam->mac_addr);
        cam->poe_channel = jv_int(tb[K_POE]);
        cam->physical_port = jv_int(tb[K_PHYSICAL]);
    }
    TAKE_TEXT(tb[K_DDNS], cam->ddns);
    cam->https_port = jv_int(tb[K_HTTPS]);
}

void save_camera(char *request, CameraChange change)
{
    JsonDoc doc(request);
    json_object *tb[K_COUNT];
    if (JSON_PARSE(doc.get(), kCameraPolicy, tb) < 0) return;
    if (!check_camera_info(tb)) return;
    int ch = jv_int(tb[K_ID]);

    CameraRecord cam{};
    int stored = settings_atomic(QXDB_PATH, [&]() -> int {
        int rc = update_osd(QXDB_PATH, ch, [&](OsdRecord &osd) {
            jv_copy(tb[K_NAME], osd.name, sizeof osd.name);
            return 0;
        });
        if (rc < 0) return -1;
        return update_camera(QXDB_PATH, ch, [&](CameraRecord &c) {
            apply_camera_info(tb, &c, change);
            cam = c;
            return 0;
        });
    });
    if (stored < 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return;
    }

    if (change == CHANGE_ADD) {
        notify_channel(IPC_CAMERA_ADDED, ch);
        notify_poe(ch, jv_int(tb[K_OTHER_POE]) == 1 ? 1 : 0);
        send_camera_log(LOG_SUB_ADD, LOG_PARAM_ADD, CAMLOG_ADD, ch, &cam);
    } else {
        notify_channel(IPC_CAMERA_CHANGED, ch);
        send_camera_log(LOG_SUB_EDIT, LOG_PARAM_EDIT, CAMLOG_EDIT, ch, &cam);
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// Changes the stored camera record of a channel (credentials, transport) in
// one read-modify-write, then its notice and log, then "OK".
void store_changed_camera(int ch, const std::function<void(CameraRecord &)> &change)
{
    CameraRecord cam{};
    int stored = update_camera(QXDB_PATH, ch, [&](CameraRecord &c) {
        change(c);
        cam = c;
        return 0;
    });
    if (stored < 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return;
    }
    notify_channel(IPC_CAMERA_CHANGED, cam.id);
    send_camera_log(LOG_SUB_EDIT, LOG_PARAM_EDIT, CAMLOG_EDIT, cam.id, &cam);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// {"chnid"} of /2000 and /2005: the channel, or -1 when the request is not
// JSON or the channel is missing, not an integer or out of range.
int request_chnid(const char *request)
{
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_ipc_channel, policy);
    NVRWEB_HANDLER_KEYS(on_delete_ipc_channel, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return -1;
    int ch = jv_channel(tb[0]);
    return valid_channel(ch) ? ch : -1;
}

} // namespace

int on_add_ipc_channel(char *request)
{
    save_camera(request, CHANGE_ADD);
    return 0;
}

int on_edit_ipc_channel(char *request)
{
    save_camera(request, CHANGE_EDIT);
    return 0;
}

int on_get_ipc_channel(char *request)
{
    int ch = request_chnid(request);
    CameraRecord cam{};
    if (ch < 0 || read_camera(QXDB_PATH, &cam, ch) != 0) return cgi_error_to_webserver(REPLY_JSON);
    IpcModelRecord model{};
    if (read_ipc_model(QXDB_PATH, &model, cam.protocol) != 0) model = IpcModelRecord{};
    char name[128];
    camera_osd_name(ch, name, sizeof name);

    json_object *o = json_object_new_object();
    json_add_int(o, "id", ch);
    json_add_text(o, "name", name);
    json_add_field(o, "ipAddr", cam.ip_addr);
    json_add_int(o, "managePort", cam.manage_port);
    json_add_int(o, "protocol", model.protocol);
    json_add_int(o, "model", cam.protocol);
    json_add_field(o, "userName", cam.user_name);
    json_add_field(o, "password", cam.password);
    json_add_int(o, "transmitProtocol", cam.transmit_protocol);
    json_add_int(o, "mainRtspPort", cam.main_rtsp_port);
    json_add_field(o, "mainSourcePath", cam.main_source_path);
    json_add_int(o, "subRtspEnable", cam.sub_stream_enable);
    json_add_int(o, "subRtspPort", cam.sub_rtsp_port);
    json_add_field(o, "subSourcePath", cam.sub_source_path);
    json_add_int(o, "syncTime", cam.time_sync);
    json_add_field(o, "mainRtspUrl", cam.main_rtsp_url);
    json_add_field(o, "subRtspUrl", cam.sub_rtsp_url);
    json_add_int(o, "physicalport", cam.physical_port);
    json_add_int(o, "poechannel", cam.poe_channel);
    json_add_field(o, "mac_addr", cam.mac_addr);
    json_add_int(o, "minorid", cam.minor_id);
    json_add_field(o, "ddns", cam.ddns);
    json_add_int(o, "httpsPort", cam.https_port);
    camera_reply_json(o);
    return 0;
}

int on_delete_ipc_channel(char *request)
{
    int ch = request_chnid(request);
    if (ch < 0) return cgi_error_to_webserver(REPLY_JSON);

    // The masks, the camera record and the name go together.
    int stored = settings_atomic(QXDB_PATH, [&]() -> int {
        PrivacyMaskRecord mask{};
        if (read_privacy_mask(QXDB_PATH, &mask, ch) == 0 && mask.id == ch) {
            for (PrivacyMaskArea &a : mask.area) a = PrivacyMaskArea{};
            if (write_privacy_mask(QXDB_PATH, &mask) != 0) return -1;
        }
        int rc = update_camera(QXDB_PATH, ch, [&](CameraRecord &cam) {
            int32_t preserved = cam.preserved;
            cam = CameraRecord{};
            cam.id = ch;
            cam.deleted = 1;
            cam.enable = 0;
            cam.preserved = preserved;
            return 0;
        });
        if (rc < 0) return -1;
        return update_osd(QXDB_PATH, ch, [&](OsdRecord &osd) {
            memset(osd.name, 0, sizeof osd.name);
            snprintf(osd.name, sizeof osd.name, "CAM%d", ch + 1);
            return 0;
        });
    });
    if (stored < 0) return cgi_error_to_webserver(REPLY_TEXT);

    notify_channel(IPC_CAMERA_DELETED, ch);
    notify_poe(ch, 0);
    send_camera_log(LOG_SUB_DELETE, LOG_PARAM_DELETE, CAMLOG_DELETE, ch, nullptr);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int on_set_ipc_credentials(char *request)
{
    static constexpr JsonPolicy policy[] = {{"id", JK_INT}, {"userName", JK_STRING}, {"password", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_set_ipc_credentials, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    if (!camera_int_in_range(tb[0], 0, MAX_CAMERAS - 1) || !jv_str(tb[1])[0] || !jv_str(tb[2])[0]) return 0;
    int ch = jv_int(tb[0]);

    store_changed_camera(ch, [&](CameraRecord &cam) {
        jv_copy(tb[1], cam.user_name, sizeof cam.user_name);
        jv_copy(tb[2], cam.password, sizeof cam.password);
    });
    return 0;
}

int on_set_ipc_transport(char *request)
{
    static constexpr JsonPolicy policy[] = {
        {"id", JK_INT}, {"transmitProtocol", JK_INT}, {"syncTime", JK_INT}, {"httpsPort", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ipc_transport, policy);
    JsonDoc doc(request);
    json_object *tb[4];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    if (!camera_int_in_range(tb[0], 0, MAX_CAMERAS - 1)) return 0;
    int ch = jv_int(tb[0]);

    store_changed_camera(ch, [&](CameraRecord &cam) {
        cam.transmit_protocol = jv_int(tb[1]);
        cam.time_sync = jv_int(tb[2]);
        cam.https_port = jv_int(tb[3]);
    });
    return 0;
}

int on_get_channel_names(char *)
{
    json_object *list = json_object_new_array();
    int n = camera_max_channels();
    for (int ch = 0; ch < n; ch++) {
        char name[128];
        camera_osd_name(ch, name, sizeof name);
        json_object *e = json_object_new_object();
        json_add_int(e, "id", ch);
        json_add_text(e, "name", name);
        json_object_array_add(list, e);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "IPC", list);
    camera_reply_json(o);
    return 0;
}

int on_get_poe_default_password(char *)
{
    char text[128];
    get_param_value(QXDB_PATH, "poepsd", text, sizeof text, "kp4821");
    return cgi_writeback_webserver(REPLY_TEXT, text);
}

int on_get_max_poe_num(char *)
{
    char text[16];
    snprintf(text, sizeof text, "%d", get_param_int(QXDB_PATH, "max_poe_num", 0));
    return cgi_writeback_webserver(REPLY_TEXT, text);
}
