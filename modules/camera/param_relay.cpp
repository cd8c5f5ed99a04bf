// Camera video and image settings relayed through the daemon: stream
// settings, image enhancement, image display, free key/value parameters,
// grid detection and the query by type. The routes are rows of the camera
// relay (relay.h) at the end of the file; the answers to their replies stand
// in the module's reply table (ipc_callback.cpp).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/camera.h"
#include "common/records/camera_params.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"
#include "modules/camera/relay.h"

namespace {

enum { LOG_SUB_STREAM = 212, LOG_PARAM_CAMERA = 903 };

// Fields of a record that the getter reports, the setter takes, or both,
// under the key of that direction.
enum FieldUse { BOTH, GET, SET };
struct UsedField {
    FieldUse use;
    RecordField field;
};
// The fields of one direction, in table order.
std::vector<RecordField> fields_for(const UsedField *table, size_t n, FieldUse use)
{
    std::vector<RecordField> out;
    for (size_t i = 0; i < n; i++)
        if (table[i].use == BOTH || table[i].use == use) out.push_back(table[i].field);
    return out;
}
template <size_t N> std::vector<RecordField> fields_for(const UsedField (&t)[N], FieldUse use) { return fields_for(t, N, use); }

int32_t int_of(json_object *obj, const char *key) { return jv_int(relay_member(obj, key, JK_INT)); }

// ---- Stream settings (/2009, /2010, /2030) -------------------------------------------------------

#define SM(key, member) RECORD_INT(key, CamStreamRequest, main.member)
#define SS(key, member) RECORD_INT(key, CamStreamRequest, sub.member)
// Keys both stream setters take.
const RecordField kStreamKeys[] = {
    RECORD_INT("videoTypeEnable", CamStreamRequest, video_type_enable),
    RECORD_INT("subEnable", CamStreamRequest, sub_enable),
    RECORD_INT("fisheyeType", CamStreamRequest, fisheye_type),
    SM("mainVideoType", video_type),      SM("mainResWidth", width),
    SM("mainResHeight", height),          SM("mainFramerate", framerate),
    SM("mainBitrate", bitrate),           SM("IframeInterval", iframe_interval),
    SM("SmartStream", smart_stream),      SM("SmartStreamLevel", smart_stream_level),
    SS("subVideoType", video_type),       SS("subResWidth", width),
    SS("subResHeight", height),           SS("subFramerate", framerate),
    SS("subBitrate", bitrate),            SS("subIframeInterval", iframe_interval),
    SS("SubSmartStream", smart_stream),   SS("SubSmartStreamLevel", smart_stream_level),
};
// One channel (/2010): bitrate control and the event stream.
const RecordField kStreamOneKeys[] = {
    SM("bitrateControl", bitrate_control),   SS("SubBitrateControl", bitrate_control),
    SM("recordtype", record_type),           SM("etframerate", event_framerate),
    SM("etIframeinterval", event_iframe_interval), SM("etbitrate", event_bitrate),
};
// Several channels (/2030): bitrate control under other keys, transport.
const RecordField kStreamBatchKeys[] = {
    SM("mainBitrateControl", bitrate_control), SS("subBitrateControl", bitrate_control),
    RECORD_INT("transmitProtocol", CamStreamRequest, transmit_protocol),
    RECORD_INT("syncTime", CamStreamRequest, time_sync),
};
#undef SM
#undef SS

void stream_defaults(CamStreamRequest &r)
{
    memset(r.channels, '0', MAX_CAMERAS);
    r.channels[MAX_CAMERAS] = '\0';
    r.unused76 = -1;
    for (int32_t &w : r.unused) w = -1;
}

bool present_not_negative(json_object *obj, const char *key)
{
    json_object *v = relay_member(obj, key, JK_INT);
    return v && jv_int(v) >= 0;
}

bool fill_stream_one(RelayInput &in, CamStreamRequest &r)
{
    for (const char *key : {"mainFramerate", "mainBitrate", "mainResWidth", "mainResHeight"})
        if (!present_not_negative(in.obj, key)) return false;
    json_object *audio = relay_member(in.obj, "audioEnable", JK_INT);
    if (!relay_member(in.obj, "subEnable", JK_INT) || !audio || jv_int(audio) < 0 || jv_int(audio) > 1)
        return false;
    record_fields_take(in.obj, &r, kStreamKeys);
    record_fields_take(in.obj, &r, kStreamOneKeys);
    stream_defaults(r);
    r.channels[in.channel] = '1';
    r.transmit_protocol = -1;
    r.time_sync = -1;
    return true;
}

bool fill_stream_batch(RelayInput &in, CamStreamRequest &r)
{
    record_fields_take(in.obj, &r, kStreamKeys);
    record_fields_take(in.obj, &r, kStreamBatchKeys);
    stream_defaults(r);
    json_object *chans = relay_member(in.obj, "chans", JK_ARRAY);
    const size_t n = std::min(jv_len(chans), static_cast<size_t>(MAX_CAMERAS));
    for (size_t i = 0; i < n; i++)
        if (jv_int(jv_at(chans, i)) != 0) r.channels[i] = '1';
    r.video_type_enable = 1;
    r.main.record_type = -1;
    r.main.event_framerate = -1;
    r.main.event_iframe_interval = -1;
    r.main.event_bitrate = -1;
    return true;
}

json_object *stream_caps_json(const CamStreamCaps &c)
{
    json_object *list = json_object_new_array();
    int cur = 0, index = 0;
    for (const auto &res : c.res) {
        if (res[0] <= 0 || res[1] <= 0) continue;
        if (res[0] == c.cur_width && res[1] == c.cur_height && cur == 0) cur = index;
        char name[32];
        snprintf(name, sizeof name, "%d*%d", res[0], res[1]);
        json_object *e = json_object_new_object();
        json_add_int(e, "width", res[0]);
        json_add_int(e, "height", res[1]);
        json_add_text(e, "name", name);
        json_object_array_add(list, e);
        index++;
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "res", list);
    json_add_int(o, "curRes", cur);
    const RecordField kCaps[] = {
        RECORD_INT("framerateMax", CamStreamCaps, framerate_max),
        RECORD_INT("framerateMin", CamStreamCaps, framerate_min),
        RECORD_INT("bitrateMax", CamStreamCaps, bitrate_max),
        RECORD_INT("bitrateMin", CamStreamCaps, bitrate_min),
        RECORD_INT("framerate", CamStreamCaps, framerate),
        RECORD_INT("bitrate", CamStreamCaps, bitrate),
        RECORD_INT("iframeinterval", CamStreamCaps, iframe_interval),
        RECORD_INT("iframeIntervalMin", CamStreamCaps, iframe_interval_min),
        RECORD_INT("iframeIntervalMax", CamStreamCaps, iframe_interval_max),
        RECORD_INT("bitrateCtrl", CamStreamCaps, bitrate_control),
    };
    record_fields_to_json(o, &c, kCaps);
    return o;
}

// ---- Image enhancement (/2019, /2020) --------------------------------------------------------------

#define EB(use, key, member) UsedField{use, RECORD_INT(key, CamEnhanceBlock, member)}
// In the order of the getter's answer.
const UsedField kEnhanceFields[] = {
    EB(BOTH, "smartir", smartir),           EB(BOTH, "whiteblance", whiteblance),
    EB(BOTH, "focusmode", focusmode),       EB(BOTH, "antiblurry", antiblurry),
    EB(BOTH, "wdrenable", wdrenable),       EB(BOTH, "wdrlevel", wdrlevel),
    EB(BOTH, "wdrstarthour", wdrstarthour), EB(BOTH, "wdrstartminute", wdrstartminute),
    EB(BOTH, "wdrstophour", wdrstophour),   EB(BOTH, "wdrstopminute", wdrstopminute),
    EB(BOTH, "regiontype", regiontype),     EB(BOTH, "hlcmode", hlcmode),
    EB(BOTH, "exclude", exclude),           EB(BOTH, "exposemode", exposemode),
    {BOTH, RECORD_TEXT("exposeregion", CamEnhanceBlock, exposeregion)},
    EB(SET, "modelType", model_type),       EB(BOTH, "imageschemode", imageschemode),
    EB(BOTH, "hlcday", hlcday),             EB(BOTH, "hlcnight", hlcnight),
    EB(BOTH, "redgain", redgain),           EB(BOTH, "bluegain", bluegain),
    EB(BOTH, "defogmode", defogmode),       EB(BOTH, "defoglevel", defoglevel),
    EB(BOTH, "dismode", dismode),           EB(BOTH, "exposetime", exposetime),
    EB(BOTH, "exposegain", exposegain),     EB(GET, "wdraflevel", af_level),
    EB(SET, "aflevel", af_level),           EB(BOTH, "exposurectrl", exposurectrl),
    EB(BOTH, "hlclevel", hlclevel),         EB(BOTH, "enblur", enblur),
    EB(BOTH, "deblur", deblur),             {BOTH, RECORD_TEXT("sdkversion", CamEnhanceBlock, sdkversion)},
    EB(BOTH, "lensType", lens_type),        EB(BOTH, "reduceVideoStuttering", reduce_stuttering),
};
#undef EB
#define ES(key, member) RECORD_INT(key, CamEnhanceScene, member)
const RecordField kEnhanceSceneKeys[] = {
    ES("irBalanceMode", ir_balance_mode),     ES("reduceMotionBlur", reduce_motion_blur),
    ES("deblur", deblur),                     ES("defogMode", defog_mode),
    ES("antiFogIntensity", anti_fog_intensity), ES("whitebalanceMode", whitebalance_mode),
    ES("whitebalanceRedGain", whitebalance_red), ES("whitebalanceBlueGain", whitebalance_blue),
    ES("exposureMode", exposure_mode),        ES("exposureTime", exposure_time),
    ES("exposureGain", exposure_gain),        ES("blcRegion", blc_region),
    ES("blcRegionRange", blc_region_range),   RECORD_TEXT("blcRegionArea", CamEnhanceScene, blc_region_area),
    ES("wdrMode", wdr_mode),                  ES("wdrStartHour", wdr_start_hour),
    ES("wdrStartMin", wdr_start_min),         ES("wdrEndHour", wdr_end_hour),
    ES("wdrEndMin", wdr_end_min),             ES("wdrLevel", wdr_level),
    ES("hlcMode", hlc_mode),                  ES("hlcLevel", hlc_level),
};
#undef ES

bool fill_enhance(RelayInput &in, CamEnhanceRequest &r)
{
    relay_channel_list(relay_member(in.obj, "channel", JK_ARRAY), MAX_CAMERAS, r.channels);
    r.type = int_of(in.obj, "type");
    if (r.type == 0) {
        static const std::vector<RecordField> keys = fields_for(kEnhanceFields, SET);
        record_fields_take(in.obj, &r.block, keys.data(), keys.size());
        return true;
    }
    json_object *scene = jv_at(relay_member(in.obj, "scenes", JK_ARRAY), 0);
    if (!jv_is(scene, JK_OBJECT)) return false;
    record_fields_take(scene, &r.scene, kEnhanceSceneKeys);
    return true;
}

// ---- Image display (/2021, /2022) ------------------------------------------------------------------

#define DI(use, key, member) UsedField{use, RECORD_INT(key, CamDisplayRecord, member)}
#define DT(key, member) UsedField{GET, RECORD_TEXT(key, CamDisplayRecord, member)}
// In the order of the getter's answer.
const UsedField kDisplayFields[] = {
    DI(GET, "id", channel),
    DI(BOTH, "colorkiller", colorkiller),           DI(BOTH, "modestarthour", modestarthour),
    DI(BOTH, "modestartminute", modestartminute),   DI(BOTH, "modestophour", modestophour),
    DI(BOTH, "modestopminute", modestopminute),     DI(BOTH, "exposurectrl", exposurectrl),
    DI(BOTH, "lighttype", lighttype),               DI(BOTH, "mirctrl", mirctrl),
    DI(BOTH, "localdisplay", localdisplay),         DI(BOTH, "ircutaddaytonight", ircutaddaytonight),
    DI(BOTH, "ircutadnighttoday", ircutadnighttoday), DI(BOTH, "corridormode", corridormode),
    DI(BOTH, "imagerotation", imagerotation),       DI(SET, "saveCorridor", save_corridor),
    DI(BOTH, "smartIRType", smart_ir_type),         DI(BOTH, "nearIRLevel", near_ir_level),
    DI(BOTH, "farIRLevel", far_ir_level),           DI(BOTH, "midIRLevel", mid_ir_level),
    DI(BOTH, "lencorrect", lencorrect),             DI(GET, "smartIrMath", smart_ir_math),
    DI(GET, "smartIrLimit", smart_ir_limit),        DT("chipninterface", chipninterface),
    DI(GET, "nearSmartirValue", near_smartir_value), DI(GET, "farSmartirValue", far_smartir_value),
    DI(GET, "midSmartirValue", mid_smartir_value),  DI(GET, "lenCorrectType", len_correct_type),
    DI(BOTH, "fovadjust", fovadjust),               DT("sensortype", sensortype),
    DT("productmodel", productmodel),               DT("softversion", softversion),
    DI(BOTH, "smokeddomecover", smokeddomecover),   DI(GET, "smartwhitestrength", white_led_level),
    DI(SET, "whiteLedLevel", white_led_level),      DI(BOTH, "dnRefocus", dn_refocus),
    DT("sdkversion", sdkversion),                   DI(GET, "structuretype", structuretype),
    DI(BOTH, "keepCorrectAspectRatio", keep_aspect_ratio), DI(BOTH, "dayNightSens", day_night_sens),
    DI(BOTH, "nightDaySens", night_day_sens),       DI(BOTH, "zoomLimit", zoom_limit),
    DI(SET, "whiteledLightCtrl", whiteled_light_ctrl), DI(SET, "whiteledSensitivity", whiteled_sensitivity),
    DI(SET, "whiteledDelay", whiteled_delay),       DI(SET, "whiteledStart", whiteled_start),
    DI(SET, "whiteledStop", whiteled_stop),         DI(SET, "whiteledBrightnessCtrl", whiteled_brightness_ctrl),
    DI(SET, "whiteledBrightness", whiteled_brightness),
};
#undef DI
#undef DT
#define DS(key, member) RECORD_INT(key, CamDisplayScene, member)
const RecordField kDisplaySceneKeys[] = {
    DS("powerlineFreq", powerline_freq),      DS("dnMode", dn_mode),
    DS("d2nSensitivity", d2n_sensitivity),    DS("n2dSensitivity", n2d_sensitivity),
    DS("nightStartHour", night_start_hour),   DS("nightStartMinute", night_start_minute),
    DS("nightEndHour", night_end_hour),       DS("nightEndMinute", night_end_minute),
    DS("smartIrMode", smart_ir_mode),         DS("irLedLevel", ir_led_level),
    DS("imageRotation", image_rotation),
};
#undef DS

bool fill_display(RelayInput &in, CamDisplayRecord &r)
{
    const int type = int_of(in.obj, "type");
    if (type == 0) {
        static const std::vector<RecordField> keys = fields_for(kDisplayFields, SET);
        record_fields_take(in.obj, &r, keys.data(), keys.size());
        return true;
    }
    CamDisplayScene scene{};
    record_fields_take(in.obj, &scene, kDisplaySceneKeys);
    scene.channel = in.channel;
    scene.type = type;
    memcpy(&r, &scene, sizeof r);
    return true;
}

// ---- Key/value parameters (/2023, /2024) -----------------------------------------------------------

const RecordField kParamKeys[] = {
    RECORD_TEXT("pagename", CamParamRequest, pagename),
    RECORD_TEXT("httpname", CamParamRequest, httpname),
    RECORD_TEXT("key", CamParamRequest, key),
};
const RecordField kParamReply[] = {
    RECORD_INT("id", CamParamReply, channel),        RECORD_TEXT("pagename", CamParamReply, pagename),
    RECORD_TEXT("httpname", CamParamReply, httpname), RECORD_TEXT("key", CamParamReply, key),
    RECORD_TEXT("value", CamParamReply, value),
};

bool fill_param_get(RelayInput &, CamParamRequest &r)
{
    r.no_page = r.pagename[0] ? 0 : 1;
    return true;
}

bool fill_param_set(RelayInput &in, CamParamRequest &r)
{
    jv_copy(relay_member(in.obj, "value", JK_STRING), r.value, sizeof r.value);
    // The camera needs a moment before a rate-control change.
    if (strcmp(r.key, "ratecontrol1") == 0 || strcmp(r.key, "ratecontrol2") == 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(2.0 * ipc_time_scale()));
    return true;
}

// ---- Grid detection (/2051, /2052) -------------------------------------------------------------------

const RecordField kRegionKeys[] = {
    RECORD_INT("enable", CamRegionRequest, enable),
    RECORD_INT("sensitivity", CamRegionRequest, sensitivity),
    RECORD_INT("minsize", CamRegionRequest, minsize),
    RECORD_INT("mintime", CamRegionRequest, mintime),
    RECORD_INT("adaptability", CamRegionRequest, adaptability),
    RECORD_TEXT("map_mask", CamRegionRequest, map_mask),
};
const RecordField kRegionReply[] = {
    RECORD_INT("chnid", CamRegionReply, channel),
    RECORD_INT("enable", CamRegionReply, enable),
    RECORD_INT("sensitivity", CamRegionReply, sensitivity),
    RECORD_INT("minsize", CamRegionReply, minsize),
    RECORD_INT("mintime", CamRegionReply, mintime),
    RECORD_INT("adaptability", CamRegionReply, adaptability),
    RECORD_TEXT("map_mask", CamRegionReply, map_mask),
};

bool fill_region(RelayInput &in, CamRegionRequest &r)
{
    uint64_t copy = get_copy_flag_by_json(in.obj, "copyChn", "copyCnt") | (1ULL << in.channel);
    r.copy_lo = static_cast<uint32_t>(copy);
    r.copy_hi = static_cast<uint32_t>(copy >> 32);
    get_schedule_by_json_ipc(in.obj, "effective", &r.effective);
    return true;
}

// ---- Query by type (/2053) -----------------------------------------------------------------------------

const RecordField kQueryKeys[] = {
    RECORD_INT("mainType", CamQueryRequest, main_type),
    RECORD_INT("subType", CamQueryRequest, sub_type),
    RECORD_TEXT("time", CamQueryRequest, time),
};

} // namespace

// ---- Answers ---------------------------------------------------------------------------------------------

void on_stream_params_cb(const IpcReply &reply)
{
    CamStreamReply r = camera_reply_record<CamStreamReply>(reply.payload, 0);
    json_object *o = json_object_new_object();
    json_add_int(o, "stateCode", r.state);
    if (r.state != 0) return relay_answer_json(o);

    // The camera's channel record as the recorder keeps it.
    const int ch = camera_relay_channel();
    CameraRecord cam{};
    IpcModelRecord model{};
    char name[128] = "";
    if (valid_channel(ch)) {
        if (read_camera(QXDB_PATH, &cam, ch) != 0) cam = CameraRecord{};
        if (read_ipc_model(QXDB_PATH, &model, cam.protocol) != 0) model = IpcModelRecord{};
        camera_osd_name(ch, name, sizeof name);
    }
    json_add_int(o, "id", ch);
    json_add_text(o, "name", name);
    json_add_int(o, "subEnable", r.sub_enable);
    json_add_int(o, "audioEnable", r.audio_enable);
    json_add_int(o, "videoTypeEnable", r.video_type_enable);
    json_add_int(o, "mainVideoType", r.main.video_type);
    json_add_int(o, "subVideoType", r.sub.video_type);
    json_add_int(o, "ipc_type", r.camera_type);
    json_add_int(o, "syncTime", cam.time_sync);
    json_add_int(o, "protocol", model.protocol);
    json_add_int(o, "managePort", cam.manage_port);
    json_add_int(o, "physicalport", cam.physical_port);
    json_add_int(o, "poechannel", cam.poe_channel);
    json_add_field(o, "mac_addr", cam.mac_addr);
    json_add_int(o, "transmitProtocol", cam.transmit_protocol);
    json_add_field(o, "ddns", cam.ddns);
    json_add_int(o, "httpsPort", cam.https_port);
    const RecordField kStreamFlags[] = {
        RECORD_INT("mainStream", CamStreamReply, main_stream),
        RECORD_INT("subStream", CamStreamReply, sub_stream),
        RECORD_INT("SupportSmartStream", CamStreamReply, smart_support),
        RECORD_INT("SmartStream", CamStreamReply, smart_stream),
        RECORD_INT("SmartStreamLevel", CamStreamReply, smart_level),
        RECORD_INT("SubSupportSmartStream", CamStreamReply, sub_smart_support),
        RECORD_INT("SubSmartStream", CamStreamReply, sub_smart_stream),
        RECORD_INT("SubSmartStreamLevel", CamStreamReply, sub_smart_level),
    };
    record_fields_to_json(o, &r, kStreamFlags);
    json_object_object_add(o, "main", stream_caps_json(r.main));
    json_object_object_add(o, "sub", stream_caps_json(r.sub));
    json_add_int(o, "mainGop", r.main_gop);
    json_add_int(o, "subGop", r.sub_gop);
    json_add_int(o, "thirdGop", r.third_gop);
    relay_answer_json(o);
}

void on_stream_result_cb(const IpcReply &reply)
{
    CamStreamResult r = camera_reply_record<CamStreamResult>(reply.payload, 0);
    const uint64_t mask = (static_cast<uint64_t>(r.mask_hi) << 32) | r.mask_lo;
    char text[MAX_CAMERAS + 1];
    for (int i = 0; i < MAX_CAMERAS; i++) text[i] = (mask >> i) & 1 ? '1' : '0';
    text[MAX_CAMERAS] = '\0';
    json_object *o = json_object_new_object();
    json_add_text(o, "res", text);
    relay_answer_json(o);
}

void on_enhance_cb(const IpcReply &reply)
{
    static const std::vector<RecordField> fields = fields_for(kEnhanceFields, GET);
    CamEnhanceReply r = camera_reply_record<CamEnhanceReply>(reply.payload, 0);
    json_object *o = json_object_new_object();
    json_add_int(o, "id", r.channel);
    record_fields_to_json(o, &r.block, fields.data(), fields.size());
    relay_answer_json(o);
}

void on_display_cb(const IpcReply &reply)
{
    static const std::vector<RecordField> fields = fields_for(kDisplayFields, GET);
    relay_answer_fields(reply, sizeof(CamDisplayRecord), fields.data(), fields.size());
}

void on_param_cb(const IpcReply &reply) { relay_answer_fields<CamParamReply>(reply, kParamReply); }

void on_region_cb(const IpcReply &reply)
{
    std::unique_ptr<CamRegionReply> r(new CamRegionReply);
    memcpy(r.get(), reply.payload, sizeof *r);
    json_object *o = json_object_new_object();
    record_fields_to_json(o, r.get(), kRegionReply);
    json_object_object_add(o, "effective", get_schedule_json_object_ipc(&r->effective));
    json_add_int(o, "isNtPlatform", r->is_nt_platform);
    relay_answer_json(o);
}

void on_query_cb(const IpcReply &reply)
{
    std::string text(reinterpret_cast<const char *>(reply.payload), reply.length);
    cgi_writeback_webserver(REPLY_TEXT, text.c_str()); // cut at a zero inside, as a text
    g_callback_done = 1;
}

// ---- Routes -------------------------------------------------------------------------------------------------

CAMERA_RELAY(on_get_ipc_stream_params, camera_relay(IPC_CAM_STREAM_GET).channel("chnid", REPLY_JSON))
CAMERA_RELAY(on_set_ipc_stream_params,
             camera_relay(IPC_CAM_STREAM_SET)
                 .channel("id", NO_REPLY, -1)
                 .with<CamStreamRequest, fill_stream_one>()
                 .timeout_reply(REPLY_TEXT)
                 .log(LOG_SUB_STREAM, LOG_PARAM_CAMERA))
CAMERA_RELAY(on_set_ipc_stream_params_batch,
             camera_relay(IPC_CAM_STREAM_SET).with<CamStreamRequest, fill_stream_batch>())
CAMERA_RELAY(on_get_ipc_ipcimage_enhancement,
             camera_relay(IPC_CAM_ENHANCE_GET).channel("id", REPLY_TEXT).timeout_reply(REPLY_TEXT))
CAMERA_RELAY(on_set_ipc_ipcimage_enhancement,
             camera_relay(IPC_CAM_ENHANCE_SET).with<CamEnhanceRequest, fill_enhance>().notice())
CAMERA_RELAY(on_get_ipc_ipcimage_display,
             camera_relay(IPC_CAM_DISPLAY_GET).channel("id", REPLY_TEXT).timeout_reply(REPLY_TEXT))
CAMERA_RELAY(on_set_ipc_ipcimage_display,
             camera_relay(IPC_CAM_DISPLAY_SET)
                 .channel("id", REPLY_TEXT)
                 .with<CamDisplayRecord, fill_display>()
                 .timeout_reply(REPLY_TEXT))
CAMERA_RELAY(on_get_ipc_common_param,
             camera_relay(IPC_CAM_PARAM_GET)
                 .channel("id", REPLY_TEXT)
                 .keys(kParamKeys)
                 .with<CamParamRequest, fill_param_get>()
                 .timeout_reply(REPLY_TEXT))
CAMERA_RELAY(on_set_ipc_common_param,
             camera_relay(IPC_CAM_PARAM_SET)
                 .channel("id", REPLY_TEXT)
                 .keys(kParamKeys)
                 .with<CamParamRequest, fill_param_set>()
                 .timeout_reply(REPLY_TEXT))
CAMERA_RELAY(on_get_ipc_region_detect, camera_relay(IPC_CAM_REGION_GET).channel("chnid", REPLY_JSON))
CAMERA_RELAY(on_set_ipc_region_detect,
             camera_relay(IPC_CAM_REGION_SET)
                 .channel("chnid", REPLY_JSON, offsetof(CamRegionRequest, channel))
                 .keys(kRegionKeys)
                 .with<CamRegionRequest, fill_region>())
CAMERA_RELAY(on_query_ipc_by_type,
             camera_relay(IPC_CAM_QUERY, sizeof(CamQueryRequest))
                 .channel("chnid", REPLY_TEXT)
                 .keys(kQueryKeys)
                 .timeout_reply(REPLY_TEXT))
