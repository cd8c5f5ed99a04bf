// People-counting groups, POS terminals and face detection: their settings,
// their event actions and the daemon requests that make them take effect.
// Every route answers the JSON error reply to an unparsable request or an id
// out of range; setters store first, then wait for the daemon's status.
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/record_fields.h"
#include "common/records/people_counting.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"
#include "modules/camera/source_actions.h"

namespace {
const char kDb[] = QXDB_PATH;

const RecordField kGroupFields[] = {
    RECORD_INT("groupid", PeopleCountGroup, groupid),
    RECORD_INT("enable", PeopleCountGroup, enable),
    RECORD_INT("stays", PeopleCountGroup, stays),
    RECORD_INT("liveview_auto_reset", PeopleCountGroup, liveview_auto_reset),
    RECORD_INT("auto_day", PeopleCountGroup, auto_day),
    RECORD_INT("liveview_font_size", PeopleCountGroup, liveview_font_size),
    RECORD_TEXT("name", PeopleCountGroup, name),
    RECORD_TEXT("auto_day_time", PeopleCountGroup, auto_day_time),
    RECORD_TEXT("tri_channels", PeopleCountGroup, tri_channels),
    RECORD_TEXT("liveview_green_tips", PeopleCountGroup, liveview_green_tips),
    RECORD_TEXT("liveview_red_tips", PeopleCountGroup, liveview_red_tips),
};

const RecordField kReportFields[] = {
    RECORD_INT("reportType", PcntReportSlot, report_type),
    RECORD_INT("enable", PcntReportSlot, enable),
    RECORD_TEXT("triChannels", PcntReportSlot, tri_channels),
    RECORD_TEXT("triGroups", PcntReportSlot, tri_groups),
    RECORD_INT("stayLengthType", PcntReportSlot, stay_length_type),
    RECORD_INT("stayLengthValue", PcntReportSlot, stay_length_value),
    RECORD_INT("backupDay", PcntReportSlot, backup_day),
    RECORD_TEXT("backupTime", PcntReportSlot, backup_time),
    RECORD_INT("fileFormat", PcntReportSlot, file_format),
    RECORD_INT("timeRange", PcntReportSlot, time_range),
    RECORD_INT("backupTo", PcntReportSlot, backup_to),
    RECORD_INT("lineMask", PcntReportSlot, line_mask),
};

const RecordField kPosFields[] = {
    RECORD_INT("id", PosDevice, id),
    RECORD_INT("enable", PosDevice, enable),
    RECORD_TEXT("name", PosDevice, name),
    RECORD_INT("protocol", PosDevice, protocol),
    RECORD_INT("connectionMode", PosDevice, connection_mode),
    RECORD_TEXT("ip", PosDevice, ip),
    RECORD_INT("liveviewDisplay", PosDevice, liveview_display),
    RECORD_INT("displayChannel", PosDevice, display_channel),
    RECORD_INT("startX", PosDevice, start_x),
    RECORD_INT("startY", PosDevice, start_y),
    RECORD_INT("areaWidth", PosDevice, area_width),
    RECORD_INT("areaHeight", PosDevice, area_height),
    RECORD_INT("characterEncodeing", PosDevice, character_encoding),
    RECORD_INT("fontSize", PosDevice, font_size),
    RECORD_INT("fontColor", PosDevice, font_color),
    RECORD_INT("overlayMode", PosDevice, overlay_mode),
    RECORD_INT("displayTime", PosDevice, display_time),
    RECORD_INT("timeout", PosDevice, timeout),
    RECORD_TEXT("privacy1", PosDevice, privacy1),
    RECORD_TEXT("privacy2", PosDevice, privacy2),
    RECORD_TEXT("privacy3", PosDevice, privacy3),
    RECORD_INT("port", PosDevice, port),
    RECORD_INT("nvrPort", PosDevice, nvr_port),
    RECORD_INT("clearTime", PosDevice, clear_time),
};

const RecordField kFaceFields[] = {
    RECORD_INT("enable", FaceConfig, enable),
    RECORD_INT("width", FaceConfig, width),
    RECORD_INT("height", FaceConfig, height),
    RECORD_INT("minPixel", FaceConfig, min_pixel),
    RECORD_INT("captureMode", FaceConfig, capture_mode),
    RECORD_INT("snapshotType", FaceConfig, snapshot_type),
    RECORD_INT("snapshotInterval", FaceConfig, snapshot_interval),
    RECORD_INT("snapshotBackground", FaceConfig, snapshot_background),
    RECORD_INT("poseYaw", FaceConfig, pose_yaw),
    RECORD_INT("poseRoll", FaceConfig, pose_roll),
    RECORD_INT("posePitch", FaceConfig, pose_pitch),
    RECORD_INT("blurLimit", FaceConfig, blur_limit),
    RECORD_TEXT("detection_polygonX", FaceConfig, detection_polygon_x),
    RECORD_TEXT("detection_polygonY", FaceConfig, detection_polygon_y),
    RECORD_INT("uploadEnable", FaceConfig, upload_enable),
    RECORD_INT("uploadFileType", FaceConfig, upload_file_type),
    RECORD_INT("nasEnable", FaceConfig, nas_enable),
    RECORD_INT("nasFileType", FaceConfig, nas_file_type),
    RECORD_INT("emailEnable", FaceConfig, email_enable),
    RECORD_INT("emailFileType", FaceConfig, email_file_type),
    RECORD_INT("httpEnable", FaceConfig, http_enable),
    RECORD_INT("httpNotifyInterval", FaceConfig, http_notify_interval),
    RECORD_TEXT("httpUrl", FaceConfig, http_url),
    RECORD_TEXT("httpUser", FaceConfig, http_user),
    RECORD_TEXT("httpPassword", FaceConfig, http_password),
    RECORD_INT("recordSeconds", FaceConfig, record_seconds),
    RECORD_INT("prerecordSeconds", FaceConfig, prerecord_seconds),
    RECORD_INT("postEnable", FaceConfig, post_enable),
    RECORD_INT("postType", FaceConfig, post_type),
    RECORD_INT("attributeEnable", FaceConfig, attribute_enable),
    RECORD_INT("attributeType", FaceConfig, attribute_type),
    RECORD_INT("mosaicEnable", FaceConfig, mosaic_enable),
    RECORD_INT("mosaicModeStatus", FaceConfig, mosaic_mode_status),
    RECORD_INT("mutuallyExclusive", FaceConfig, mutually_exclusive),
};
const RecordField kShieldFields[] = {
    RECORD_INT("enable", FaceShield, enable),
    RECORD_TEXT("polygonX", FaceShield, polygon_x),
    RECORD_TEXT("polygonY", FaceShield, polygon_y),
};

// The people-counting action object (/2066 "dialog", /2069).
json_object *group_actions_json(int group)
{
    json_object *o = source_actions_json(
        kPeopleCountActions, group,
        {SI_TRI_ALARMS, SI_INTERVAL, SI_EMAIL_INTERVAL, SI_EMAIL_PIC_ENABLE, SI_TRI_CHANNELS_PIC, SI_PTZ_INTERVAL,
         SI_ALARMOUT_INTERVAL, SI_WHITE_INTERVAL, SI_EFFECTIVE, SI_AUDIBLE, SI_EMAIL, SI_PTZ, SI_TRI_CHN_ALARMS,
         SI_WHITE, SI_WHITE_INFO, SI_AUDIO_ID, SI_AUDIO_MASK, SI_PTZ_PARAMS});
    json_object *out = json_object_new_object();
    json_add_int(out, "chnid", group);
    json_object_object_foreach(o, k, v) json_object_object_add(out, k, json_object_get(v));
    json_object_put(o);
    return out;
}

// The id of a request at `key` within 0..hi, or -1 (the JSON error reply is
// then written): also for a text that does not parse.
int request_id(const JsonDoc &doc, const char *key, int hi)
{
    const JsonPolicy policy[] = {{key, JK_INT}};
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !camera_int_in_range(tb[0], 0, hi)) {
        cgi_error_to_webserver(REPLY_JSON);
        return -1;
    }
    return jv_int(tb[0]);
}

int write_failed(const char *what)
{
    cgi_log("OnSystem", __LINE__, what, "settings write failed");
    return cgi_error_to_webserver(REPLY_JSON);
}

int request_with_id(int code, int32_t id)
{
    cgi_request_ipc(on_camera_ipc_callback, code, id, REPLY_JSON);
    return 0;
}
} // namespace

// ---- People counting ------------------------------------------------------------------------

int on_cgi_get_peoplecnt_settings(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"action", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_cgi_get_peoplecnt_settings, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    bool with_actions = jv_int(tb[0]) != 0;
    PeopleCountGroup groups[PCNT_GROUPS] = {};
    int count = 0;
    read_peoplecnt_settings(kDb, groups, &count);
    json_object *list = json_object_new_array();
    for (int i = 0; i < PCNT_GROUPS; i++) {
        json_object *g = json_object_new_object();
        groups[i].groupid = i;
        record_fields_to_json(g, &groups[i], kGroupFields);
        if (with_actions) json_object_object_add(g, "dialog", group_actions_json(i));
        json_object_array_add(list, g);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "groups", list);
    camera_reply_json(o);
    return 0;
}

int on_cgi_set_peoplecnt_settings(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"groups", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_cgi_set_peoplecnt_settings, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    // Only the elements and keys present change their group; the group id
    // stays the position's.
    int rc = settings_atomic(kDb, [&]() -> int {
        PeopleCountGroup groups[PCNT_GROUPS] = {};
        int count = 0;
        if (read_peoplecnt_settings(kDb, groups, &count) != 0) return -1;
        size_t n = jv_len(tb[0]);
        for (size_t i = 0; i < n && i < PCNT_GROUPS; i++) {
            record_fields_take(jv_at(tb[0], i), &groups[i], kGroupFields);
            groups[i].groupid = static_cast<int32_t>(i);
        }
        return write_peoplecnt_settings(kDb, groups, PCNT_GROUPS);
    });
    if (rc < 0) return write_failed(__func__);
    return request_with_id(IPC_PCNT_SETTINGS_CHANGED, 0);
}

int on_cgi_get_peoplecnt_action(char *request)
{
    JsonDoc doc(request);
    int group = request_id(doc, "groupid", PCNT_GROUPS - 1);
    if (group >= 0) camera_reply_json(group_actions_json(group));
    return 0;
}

int on_cgi_set_peoplecnt_action(char *request)
{
    JsonDoc doc(request);
    int group = request_id(doc, "groupid", PCNT_GROUPS - 1);
    if (group < 0) return 0;
    if (save_source_actions(kPeopleCountActions, group, doc.get()) < 0) return write_failed(__func__);
    PcntActionNotice notice{group, -1};
    cgi_request_ipc(on_camera_ipc_callback, IPC_PCNT_ACTION_CHANGED, notice, REPLY_JSON);
    return 0;
}

int on_cgi_set_peoplecnt_db_reset(char *request)
{
    JsonDoc doc(request);
    int group = request_id(doc, "groupid", PCNT_GROUPS - 1);
    return group < 0 ? 0 : request_with_id(IPC_PCNT_DB_RESET, group);
}

int on_cgi_set_peoplecnt_liveview_reset(char *request)
{
    JsonDoc doc(request);
    int group = request_id(doc, "groupid", PCNT_GROUPS - 1);
    return group < 0 ? 0 : request_with_id(IPC_PCNT_LIVEVIEW_RESET, group);
}

int on_cgi_get_report_auto_backup(char *)
{
    PcntReportBackup rec{};
    if (read_peoplecnt_auto_backup(kDb, &rec) != 0) rec = PcntReportBackup{};
    json_object *list = json_object_new_array();
    for (const PcntReportSlot &slot : rec.slots) {
        json_object *s = json_object_new_object();
        record_fields_to_json(s, &slot, kReportFields);
        json_object_array_add(list, s);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "report", list);
    json_add_int(o, "email", 1);
    camera_reply_json(o);
    return 0;
}

int on_cgi_set_report_auto_backup(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"report", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_cgi_set_report_auto_backup, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    int rc = settings_atomic(kDb, [&]() -> int {
        PcntReportBackup rec{};
        if (read_peoplecnt_auto_backup(kDb, &rec) != 0) return -1;
        size_t n = jv_len(tb[0]);
        for (size_t i = 0; i < n && i < PCNT_REPORT_SLOTS; i++)
            record_fields_take(jv_at(tb[0], i), &rec.slots[i], kReportFields);
        return write_peoplecnt_auto_backup(kDb, &rec);
    });
    if (rc < 0) return write_failed(__func__);
    cgi_request_ipc(on_camera_ipc_callback, IPC_PCNT_BACKUP_CHANGED, 0, nullptr, REPLY_JSON);
    return 0;
}

// ---- POS --------------------------------------------------------------------------------------

int on_cgi_get_pos_info(char *request)
{
    JsonDoc doc(request);
    int id = request_id(doc, "id", POS_DEVICES - 1);
    if (id < 0) return 0;
    std::unique_ptr<PosDevice[]> all(new PosDevice[POS_DEVICES]());
    int count = 0;
    read_pos_settings(kDb, all.get(), POS_DEVICES, &count);
    json_object *list = json_object_new_array();
    for (int i = 0; i < POS_DEVICES; i++) {
        json_object *d = json_object_new_object();
        all[i].id = i;
        record_fields_to_json(d, &all[i], kPosFields);
        json_object_array_add(list, d);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "pos", list);
    json_object_object_add(
        o, "action",
        source_actions_json(kPosActions, id,
                            {SI_EFFECTIVE, SI_AUDIBLE, SI_INTERVAL, SI_AUDIO_ID, SI_EMAIL, SI_EMAIL_INTERVAL,
                             SI_EMAIL_PIC_ENABLE, SI_TRI_CHANNELS_PIC, SI_PTZ, SI_PTZ_INTERVAL, SI_PTZ_PARAMS,
                             SI_WHITE, SI_WHITE_INFO, SI_WHITE_INTERVAL, SI_HTTP_SCHE, SI_HTTP_PARAMS,
                             SI_HTTP_INTERVAL, SI_ALARMOUT_INTERVAL, SI_TRI_ALARMS, SI_TRI_CHANNELS,
                             SI_TRI_CHN_ALARMS}));
    camera_reply_json(o);
    return 0;
}

int on_cgi_set_pos_info(char *request)
{
    JsonDoc doc(request);
    int id = request_id(doc, "id", POS_DEVICES - 1);
    if (id < 0) return 0;
    static constexpr JsonPolicy policy[] = {{"action", JK_OBJECT}};
    NVRWEB_HANDLER_KEYS(on_cgi_set_pos_info, policy);
    json_object *tb[1];
    JSON_PARSE(doc.get(), policy, tb);
    if (tb[0] && save_source_actions(kPosActions, id, tb[0]) < 0) return write_failed(__func__);
    int rc = update_pos_setting(kDb, id, [&](PosDevice &d) -> int {
        record_fields_take(doc.get(), &d, kPosFields);
        d.id = id;
        return 0;
    });
    if (rc < 0) return write_failed(__func__);
    return request_with_id(IPC_POS_CHANGED, id);
}

// ---- Face detection -----------------------------------------------------------------------------

int on_cgi_set_face_config(char *request)
{
    JsonDoc doc(request);
    int channel = request_id(doc, "chnId", MAX_CAMERAS - 1);
    if (channel < 0) return 0;
    static constexpr JsonPolicy policy[] = {
        {"captureModeArray", JK_ARRAY}, {"shield", JK_ARRAY}, {"action", JK_OBJECT},
    };
    NVRWEB_HANDLER_KEYS(on_cgi_set_face_config, policy);
    json_object *tb[3];
    JSON_PARSE(doc.get(), policy, tb);

    std::unique_ptr<FaceConfig> rec(new FaceConfig());
    rec->channel = channel;
    record_fields_take(doc.get(), rec.get(), kFaceFields);
    for (size_t i = 0; i < jv_len(tb[0]) && i < FACE_CAPTURE_MODES; i++) {
        const RecordField mode[] = {
            {"captureQuality", false, offsetof(FaceConfig, capture_quality) + 4 * i, 4},
            {"snapshot", false, offsetof(FaceConfig, snapshot) + 4 * i, 4},
        };
        record_fields_take(jv_at(tb[0], i), rec.get(), mode);
    }
    for (size_t i = 0; i < jv_len(tb[1]) && i < FACE_SHIELDS; i++)
        record_fields_take(jv_at(tb[1], i), &rec->shields[i], kShieldFields);

    if (tb[2] && save_source_actions(kFaceActions, channel, tb[2]) < 0) return write_failed(__func__);
    int32_t ch = channel;
    cgi_notify_ipc(IPC_FACE_CHANNEL, ch);
    cgi_request_ipc(on_camera_ipc_callback, IPC_FACE_CONFIG, *rec, REPLY_JSON);
    return 0;
}

// ---- Reply callbacks ------------------------------------------------------------------------------

void on_pcnt_res_cb(const IpcReply &reply)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "res", camera_reply_record<int32_t>(reply.payload, 0));
    camera_reply_json(o);
    g_callback_done = 1;
}

void on_report_backup_cb(const IpcReply &)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "res", 0);
    camera_reply_json(o);
    g_callback_done = 1;
}

void on_face_config_cb(const IpcReply &reply)
{
    on_cgi_common_json_cb(static_cast<int>(reply.count), reply.payload);
}
