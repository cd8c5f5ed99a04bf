// Detectors that run in the cameras: the camera's own alarm input (camera
// I/O), sound detection, fisheye modes, and regional people counting with
// its four regions, whose actions are kept in the settings database per
// channel and region and copied to other channels on request.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/record_fields.h"
#include "common/records/vca.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/alarm/alarm_actions.h"
#include "modules/video/vca.h"
#include "modules/video/video_ipc.h"
#include "modules/video/video_utils.h"

namespace {
const char kDb[] = QXDB_PATH;

enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_CAMERAIO = 923, OPLOG_PARAM_VOLUMEDETECT = 924 };

json_object *member_of(json_object *obj, const char *key, JsonKind kind)
{
    json_object *v = nullptr;
    return json_object_object_get_ex(obj, key, &v) && jv_is(v, kind) ? v : nullptr;
}
int int_of(json_object *obj, const char *key) { return jv_int(member_of(obj, key, JK_INT)); }

void answer_json(json_object *o)
{
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// The getters whose request text is the channel number: 0..63, else no reply.
int request_by_text_channel(const char *request, int code)
{
    int channel = -1;
    if (!request || !parse_decimal(request, &channel) || !valid_channel(channel)) return 0;
    int32_t payload = channel;
    cgi_request_ipc(on_video_ipc_callback, code, payload, REPLY_JSON);
    return 0;
}

// ---- Camera I/O and sound detection --------------------------------------------------------------

// The values both setters require: "camId" 0..63, "enable" 0 or 1, the
// trigger actions and channels present; `extra` keys each present and >= 0.
enum { D_CAM_ID, D_ENABLE, D_TRI_ACTIONS, D_TRI_CHANNELS, D_TYPE, D_VOLUME, D_DURATION, D_ON, D_OFF, D_ONGOING, D_COUNT };
const JsonPolicy kDetectorPolicy[D_COUNT] = {
    {"camId", JK_INT},  {"enable", JK_INT},   {"triActions", JK_INT}, {"triChannels", JK_STRING},
    {"type", JK_INT},   {"volume", JK_INT},   {"duration", JK_INT},   {"onEvent", JK_INT},
    {"offEvent", JK_INT}, {"ongoingEvent", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_ipc_cameraio, kDetectorPolicy);
NVRWEB_HANDLER_KEYS(on_set_ipc_volumedetect, kDetectorPolicy);

bool check_detector(json_object *const tb[D_COUNT], int last_required)
{
    for (int i = 0; i <= last_required; i++)
        if (!tb[i]) return false;
    for (int i = D_TYPE; i <= last_required; i++)
        if (jv_int(tb[i]) < 0) return false;
    const int enable = jv_int(tb[D_ENABLE]);
    return valid_channel(jv_int(tb[D_CAM_ID])) && (enable == 0 || enable == 1);
}

// Stores the recorder's side of a detector; false when the write failed.
bool store_detector(json_object *const tb[D_COUNT], int (*write)(const char *, const DetectorRecord *))
{
    DetectorRecord rec{};
    rec.channel = jv_int(tb[D_CAM_ID]);
    rec.enable = jv_int(tb[D_ENABLE]);
    rec.tri_actions = jv_int(tb[D_TRI_ACTIONS]);
    jv_copy(tb[D_TRI_CHANNELS], rec.tri_channels, sizeof rec.tri_channels);
    rec.channel_bits = get_channel_mask(rec.tri_channels);
    return write(kDb, &rec) == 0;
}

int detector_stored_failed(int channel)
{
    cgi_log("OnVideo", __LINE__, "detector", "settings write failed for channel %d", channel);
    return cgi_error_to_webserver(REPLY_TEXT);
}
} // namespace

int on_get_ipc_cameraio(char *request) { return request_by_text_channel(request, IPC_CAMERAIO_GET); }
int on_get_ipc_volumedetect(char *request) { return request_by_text_channel(request, IPC_VOLUMEDETECT_GET); }

int on_set_ipc_cameraio(char *request)
{
    JsonDoc doc(request);
    json_object *tb[D_COUNT];
    if (JSON_PARSE(doc.get(), kDetectorPolicy, tb) < 0 || !check_detector(tb, D_TYPE)) return 0;
    const int channel = jv_int(tb[D_CAM_ID]);
    if (!store_detector(tb, write_cameraio)) return detector_stored_failed(channel);
    CameraIoSet set{channel, jv_int(tb[D_ENABLE]), jv_int(tb[D_TYPE])};
    cgi_notify_ipc(IPC_CAMERAIO_SET, set);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_CAMERAIO, channel + 1);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int on_set_ipc_volumedetect(char *request)
{
    JsonDoc doc(request);
    json_object *tb[D_COUNT];
    if (JSON_PARSE(doc.get(), kDetectorPolicy, tb) < 0 || !check_detector(tb, D_ONGOING)) return 0;
    const int channel = jv_int(tb[D_CAM_ID]);
    if (!store_detector(tb, write_volumedetect)) return detector_stored_failed(channel);
    VolumeDetectSet set{channel, jv_int(tb[D_ENABLE]), jv_int(tb[D_TYPE]),
                        {jv_int(tb[D_VOLUME]), jv_int(tb[D_DURATION]), jv_int(tb[D_ON]), jv_int(tb[D_OFF]),
                         jv_int(tb[D_ONGOING])}};
    cgi_notify_ipc(IPC_VOLUMEDETECT_SET, set);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_VOLUMEDETECT, channel + 1);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

void on_cameraio_cb(const void *header, const void *payload, size_t)
{
    CameraIoReply rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_add_int(o, "camId", rec.channel);
    json_add_int(o, "enable", rec.enable);
    json_add_int(o, "type", rec.type);
    json_add_int(o, "triActions", rec.tri_actions);
    json_add_field(o, "triChannels", rec.tri_channels);
    answer_json(o);
}

void on_volumedetect_cb(const void *header, const void *payload, size_t)
{
    VolumeDetectReply rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_add_int(o, "camId", rec.channel);
    json_add_int(o, "enable", rec.enable);
    json_add_int(o, "type", rec.type);
    json_add_int(o, "volume", rec.v.volume);
    json_add_int(o, "duration", rec.v.duration);
    json_add_int(o, "onEvent", rec.v.on_event);
    json_add_int(o, "offEvent", rec.v.off_event);
    json_add_int(o, "ongoingEvent", rec.v.ongoing_event);
    json_add_int(o, "triActions", rec.tri_actions);
    json_add_field(o, "triChannels", rec.tri_channels);
    answer_json(o);
}

// ---- Fisheye (/6130, /6131, /6196, /6197) -----------------------------------------------------

int on_get_fisheye_mode(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"id", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_fisheye_mode, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int32_t channel = jv_channel(tb[0]);
    if (channel < 0) return 0;
    cgi_request_ipc(on_video_ipc_callback, IPC_FISHEYE_MODE_GET, channel, REPLY_TEXT);
    return 0;
}

void on_fisheye_mode_cb(const void *header, const void *payload, size_t)
{
    FisheyeMode rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_add_int(o, "chnid", rec.channel);
    json_add_int(o, "result", rec.result);
    json_add_int(o, "fishmount", rec.mount);
    json_add_int(o, "fishdisplay", rec.display);
    json_add_int(o, "fishcorrect", rec.correct);
    answer_json(o);
}

int on_cgi_set_fisheye_mode(char *request)
{
    JsonDoc doc(request);
    json_object *obj = doc.get();
    if (!jv_is(obj, JK_OBJECT)) return cgi_error_to_webserver(REPLY_JSON);
    FisheyeMode mode{};
    mode.channel = int_of(obj, "chnid");
    mode.correct = int_of(obj, "fishcorrect");
    mode.mount = int_of(obj, "fishmount");
    mode.display = int_of(obj, "fishdisplay");
    cgi_request_ipc(on_video_ipc_callback, IPC_FISHEYE_MODE_SET, mode, REPLY_JSON);
    return 0;
}

namespace {
#define FC_TEXT(key, member) RECORD_TEXT(key, FisheyeCamera, member)
const RecordField kFisheyeCamera[] = {FC_TEXT("ddns", ddns), FC_TEXT("ipaddr", ipaddr),
                                      FC_TEXT("username", username), FC_TEXT("password", password),
                                      RECORD_INT("port", FisheyeCamera, port)};
#define FS_INT(key, member) RECORD_INT(key, FisheyeCameraSet, member)
const RecordField kFisheyeSet[] = {FS_INT("transfer", transfer), FS_INT("install", install),
                                   FS_INT("display", display)};
} // namespace

int on_cgi_check_fisheye_info(char *request)
{
    JsonDoc doc(request);
    if (!jv_is(doc.get(), JK_OBJECT)) return cgi_error_to_webserver(REPLY_JSON);
    FisheyeCamera cam{};
    record_fields_take(doc.get(), &cam, kFisheyeCamera);
    cgi_request_ipc(on_video_ipc_callback, IPC_FISHEYE_CHECK, cam, REPLY_JSON);
    return 0;
}

int on_cgi_set_fisheye_info(char *request)
{
    JsonDoc doc(request);
    if (!jv_is(doc.get(), JK_OBJECT)) return cgi_error_to_webserver(REPLY_JSON);
    FisheyeCameraSet set{};
    record_fields_take(doc.get(), &set.camera, kFisheyeCamera);
    record_fields_take(doc.get(), &set, kFisheyeSet);
    cgi_request_ipc(on_video_ipc_callback, IPC_FISHEYE_SET, set, REPLY_JSON);
    return 0;
}

void on_fisheye_check_cb(const void *header, const void *payload, size_t)
{
    FisheyeSupport rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    json_add_int(o, "support", rec.support == 1 ? 1 : 0);
    json_add_int(o, "transfer", rec.transfer);
    json_add_int(o, "install", rec.install);
    json_add_int(o, "display", rec.display);
    json_add_int(o, "streamCnt", rec.stream_cnt);
    answer_json(o);
}

// ---- Regional people counting (/6096, /6097) -----------------------------------------------------

namespace {
const char *const kBoxKeys[8] = {"minObjX", "minObjY", "minObjWidth", "minObjHeight",
                                 "maxObjX", "maxObjY", "maxObjWidth", "maxObjHeight"};
int32_t *box_value(VcaBox &b, int i)
{
    int32_t *v[8] = {&b.min_x, &b.min_y, &b.min_width, &b.min_height, &b.max_x, &b.max_y, &b.max_width, &b.max_height};
    return v[i];
}

#define RG_INT(key, member) RECORD_INT(key, RegionalPcntRegion, member)
#define RG_TEXT(key, member) RECORD_TEXT(key, RegionalPcntRegion, member)
const RecordField kRegionFields[] = {
    RG_INT("enable", enable),
    RG_TEXT("polygonX", polygon_x),
    RG_TEXT("polygonY", polygon_y),
    RG_INT("maxStayEnable", max_stay_enable),
    RG_INT("maxStayValue", max_stay_value),
    RG_INT("minStayEnable", min_stay_enable),
    RG_INT("minStayValue", min_stay_value),
    RG_INT("maxStayTimeEnable", max_stay_time_enable),
    RG_INT("maxStayTimeValue", max_stay_time_value),
};

// Week schedules of a region's actions: dialog key and schedule kind.
struct RegionSchedule {
    const char *key;
    int kind;
};
const RegionSchedule kRegionSchedules[] = {
    {"audible", RPCNT_AUDIBLE}, {"email", RPCNT_EMAIL}, {"ptz", RPCNT_PTZ},
    {"white", RPCNT_WHITE},     {"warnLight", RPCNT_WARNING}, {"httpSche", RPCNT_HTTP},
};

struct RegionTables {
    char white[NVR_DB_TABLE_NAME_SIZE], warning[NVR_DB_TABLE_NAME_SIZE], http[NVR_DB_TABLE_NAME_SIZE];
    explicit RegionTables(int r)
    {
        regional_pcnt_param_table("whiteled_params", r, white);
        regional_pcnt_param_table("warning_light_params", r, warning);
        regional_pcnt_param_table("http_notification_params", r, http);
    }
};

json_object *region_schedule_json(int kind, int channel, int r)
{
    return stored_schedule_json([&](WeekSchedule *s) { return read_regional_pcnt_schedule(kDb, kind, s, channel, r); });
}

// The stored actions of region r of the channel, as the page reads them.
json_object *region_actions_json(int channel, int r)
{
    SmartEventRecord ev{};
    read_regional_pcnt_event(kDb, &ev, channel, r);
    const AlarmActions &a = ev.actions;
    const RegionTables t(r);
    json_object *o = json_object_new_object();
    json_object_object_add(o, "audible", region_schedule_json(RPCNT_AUDIBLE, channel, r));
    json_add_int(o, "interval", a.interval);
    json_add_int(o, "audioId", a.audio_id);
    json_object_object_add(o, "email", region_schedule_json(RPCNT_EMAIL, channel, r));
    json_add_int(o, "email_interval", a.email_interval);
    json_add_int(o, "email_pic_enable", a.email_pic_enable);
    json_add_field(o, "tri_channels_pic", a.tri_channels_pic);
    json_object_object_add(o, "ptz", region_schedule_json(RPCNT_PTZ, channel, r));
    json_add_int(o, "ptz_interval", a.ptz_interval);
    json_object_object_add(o, "ptzParams", get_ptz_params_json_object(PTZ_EVENT_REGIONAL_PCNT + r, channel));
    json_object_object_add(o, "white", region_schedule_json(RPCNT_WHITE, channel, r));
    json_object_object_add(o, "whiteInfo", get_white_params_json_object(channel, t.white));
    json_add_int(o, "white_interval", a.white_interval);
    json_object_object_add(o, "httpSche", region_schedule_json(RPCNT_HTTP, channel, r));
    json_object_object_add(o, "httpParams", get_http_params_json_object(channel, t.http));
    json_add_int(o, "http_notification_interval", a.http_notification_interval);
    json_add_int(o, "alarmout_interval", a.alarmout_interval);
    json_add_int(o, "triAlarms", a.tri_alarms);
    json_add_field(o, "triChannels", a.tri_channels);
    json_object_object_add(o, "triChnAlarms", get_event_chn_alarmout_object(a.tri_chn_alarms[0], a.tri_chn_alarms[1]));
    return o;
}

// Saves the actions of region r from one "action" element for the channel
// and copies everything the element carries to the channels of `copy`.
// Runs inside the caller's transaction; false when a write failed.
bool save_region_actions(json_object *e, int channel, int r, uint64_t copy)
{
    bool ok = true;
    std::unique_ptr<WeekSchedule> s(new WeekSchedule());
    for (const RegionSchedule &rs : kRegionSchedules) {
        if (get_schedule_by_json(e, rs.key, s.get()) != 0) continue;
        ok &= write_regional_pcnt_schedule(kDb, rs.kind, s.get(), channel, r) == 0;
        if (copy) ok &= copy_regional_pcnt_schedule(kDb, rs.kind, s.get(), copy, r) == 0;
    }
    // Each parameter set the element carries is stored for the channel and,
    // read back as stored, copied.
    auto stored = [&](int rc) {
        ok &= rc >= 0;
        return rc > 0 && copy != 0;
    };
    const int ptz_type = PTZ_EVENT_REGIONAL_PCNT + r;
    json_object *ptz = member_of(e, "ptzParams", JK_ARRAY);
    if (ptz && stored(set_ptz_params_by_json(channel, ptz_type, ptz))) {
        PtzActionTable p{};
        int entries = 0;
        ok &= read_ptz_params(kDb, &p, ptz_type, channel, &entries) == 0 &&
              copy_ptz_params_all(kDb, &p, ptz_type, copy) == 0;
    }
    const RegionTables t(r);
    if (stored(set_white_params_by_json(channel, t.white, e, "whiteInfo"))) {
        std::unique_ptr<WhiteLedParams> p(new WhiteLedParams());
        ok &= read_whiteled_params(kDb, t.white, p.get(), channel) == 0 &&
              copy_whiteled_params(kDb, t.white, p.get(), copy) == 0;
    }
    if (stored(set_warning_light_params_by_json(channel, t.warning, e, "warnLightInfo"))) {
        std::unique_ptr<WarningLightParams> p(new WarningLightParams());
        ok &= read_warning_light_params(kDb, t.warning, p.get(), channel) == 0 &&
              copy_warning_light_params(kDb, t.warning, p.get(), copy) == 0;
    }
    if (stored(set_http_params_by_json(channel, t.http, e, "httpParams"))) {
        HttpNotificationParams p{};
        ok &= read_http_notification_params(kDb, t.http, &p, channel) == 0 &&
              copy_http_notification_params(kDb, t.http, &p, copy) == 0;
    }
    SmartEventRecord ev{};
    if (read_regional_pcnt_event(kDb, &ev, channel, r) != 0) return false;
    apply_action_fields(e, &ev.actions, channel);
    ok &= write_regional_pcnt_event(kDb, &ev, r) == 0;
    if (copy) ok &= copy_regional_pcnt_event(kDb, &ev, r, copy) == 0;
    return ok;
}
} // namespace

int on_cgi_get_ipc_regional_info(char *request)
{
    JsonDoc doc(request);
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_cgi_get_ipc_regional_info, policy);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    const int32_t channel = jv_channel(tb[0]);
    if (channel < 0) return cgi_error_to_webserver(REPLY_JSON);
    cgi_request_ipc(on_video_ipc_callback, IPC_REGIONAL_PCNT_GET, channel, REPLY_JSON);
    return 0;
}

void on_regional_pcnt_cb(const void *header, const void *payload, size_t)
{
    std::unique_ptr<RegionalPcntRecord> rec(new RegionalPcntRecord());
    ipc_reply_record(header, payload, 0, rec.get());
    // The camera's channel selects the stored actions: one outside 0..63
    // reads nothing.
    if (!valid_channel(rec->channel)) {
        cgi_log("OnVideo", __LINE__, "regional counting", "reply for channel %d", rec->channel);
        cgi_error_to_webserver(REPLY_JSON);
        g_callback_done = 2;
        return;
    }
    json_object *o = json_object_new_object();
    json_add_int(o, "result", rec->result);
    json_add_int(o, "chnid", rec->channel);
    json_add_int(o, "sensitivity", rec->sensitivity);
    for (int i = 0; i < 8; i++) json_add_int(o, kBoxKeys[i], *box_value(rec->box, i));
    json_object *regions = json_object_new_array();
    for (const RegionalPcntRegion &g : rec->regions) {
        json_object *e = json_object_new_object();
        record_fields_to_json(e, &g, kRegionFields);
        json_object_array_add(regions, e);
    }
    json_object_object_add(o, "regional", regions);
    json_object_object_add(o, "effective", get_schedule_json_object_ipc(&rec->effective));
    json_object *actions = json_object_new_array();
    for (int r = 0; r < REGIONAL_PCNT_REGIONS; r++) json_object_array_add(actions, region_actions_json(rec->channel, r));
    json_object_object_add(o, "action", actions);
    answer_json(o);
}

int on_cgi_set_ipc_regional_info(char *request)
{
    JsonDoc doc(request);
    json_object *obj = doc.get();
    if (!jv_is(obj, JK_OBJECT)) return cgi_error_to_webserver(REPLY_JSON);
    std::unique_ptr<RegionalPcntRecord> rec(new RegionalPcntRecord());
    rec->channel = int_of(obj, "chnid");
    rec->sensitivity = int_of(obj, "sensitivity");
    for (int i = 0; i < 8; i++) *box_value(rec->box, i) = int_of(obj, kBoxKeys[i]);
    jv_copy(member_of(obj, "copyChn", JK_STRING), rec->copy_chn, sizeof rec->copy_chn);
    const uint64_t copy = get_channel_mask(rec->copy_chn);
    json_object *regions = member_of(obj, "regional", JK_ARRAY);
    for (size_t r = 0; r < jv_len(regions) && r < REGIONAL_PCNT_REGIONS; r++)
        record_fields_take(jv_at(regions, r), &rec->regions[r], kRegionFields);
    get_schedule_by_json_ipc(obj, "effective", &rec->effective);

    // The actions of regions 0.. as far as the page sends them; a channel
    // outside 0..63 stores nothing.
    const int channel = rec->channel;
    json_object *actions = member_of(obj, "action", JK_ARRAY);
    if (valid_channel(channel) && jv_len(actions) > 0) {
        int rc = settings_atomic(kDb, [&]() -> int {
            for (size_t r = 0; r < jv_len(actions) && r < REGIONAL_PCNT_REGIONS; r++) {
                json_object *e = jv_at(actions, r);
                if (!jv_is(e, JK_OBJECT)) break;
                if (!save_region_actions(e, channel, static_cast<int>(r), copy)) return -1;
            }
            return 0;
        });
        if (rc < 0) {
            cgi_log("OnVideo", __LINE__, "regional counting", "channel %d: actions not stored", channel);
            return cgi_error_to_webserver(REPLY_JSON);
        }
    }
    cgi_request_ipc(on_video_ipc_callback, IPC_REGIONAL_PCNT_SET, *rec, REPLY_JSON);
    return 0;
}
