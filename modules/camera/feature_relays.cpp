// Camera features relayed through the daemon: auto tracking, PTZ support,
// watermark, event stream, night mode of plate recognition, audio, the
// camera's capabilities and free custom parameters. One channel ("chnid")
// per request; setters answer the daemon's status. The routes are rows of
// the camera relay (relay.h) at the end of the file.
#include <cstring>
#include <memory>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/camera.h"
#include "common/records/camera_features.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"
#include "modules/camera/relay.h"

namespace {

// ---- Auto tracking (/2054, /2055) ---------------------------------------------------------------

#define TR(key, member) RECORD_INT(key, CamTracking, member)
// In the order of the getter's answer (its schedule comes last).
const RecordField kTracking[] = {
    TR("chnid", channel),
    TR("enable", enable),
    TR("show", show),
    TR("sensitivity", sensitivity),
    TR("time", time),
    TR("manual_tracking", manual_tracking),
    TR("zoom_mode", zoom_mode),
    TR("zoom_number", zoom_number),
    RECORD_TEXT("area", CamTracking, area),
    TR("humanVehicleSupport", human_vehicle_support),
    TR("trackingObject", tracking_object),
    TR("reportMotion", report_motion),
};
#undef TR

bool fill_tracking(RelayInput &in, CamTrackingRequest &r)
{
    relay_channel_mask(jv_str(relay_member(in.obj, "channels", JK_STRING)), in.channel, &r.mask_lo, &r.mask_hi);
    record_fields_take(in.obj, &r.tracking, kTracking);
    r.tracking.channel = in.channel;
    // A schedule that does not decode stays empty.
    get_schedule_by_json(in.obj, "schedule", &r.tracking.schedule);
    return true;
}

// ---- Watermark (/2058, /2059) -------------------------------------------------------------------

const RecordField kWatermarkKeys[] = {
    RECORD_INT("enable", CamWatermarkRequest, enable),
    RECORD_TEXT("watermark", CamWatermarkRequest, text),
};
const RecordField kWatermarkReply[] = {
    RECORD_INT("chnid", CamWatermarkReply, channel),
    RECORD_INT("enable", CamWatermarkReply, enable),
    RECORD_TEXT("watermark", CamWatermarkReply, text),
};

// The copy mask: 64 '0', overlaid with the "copy" text as far as it goes
// ('1' stays '1', anything else reads '0'), the own channel '1'.
bool fill_watermark(RelayInput &in, CamWatermarkRequest &r)
{
    const char *copy = jv_str(relay_member(in.obj, "copy", JK_STRING));
    memset(r.copy, '0', MAX_CAMERAS);
    r.copy[MAX_CAMERAS] = '\0';
    for (int i = 0; i < MAX_CAMERAS && copy[i]; i++)
        if (copy[i] == '1') r.copy[i] = '1';
    r.copy[in.channel] = '1';
    return true;
}

// ---- Event stream (/2060, /2061) ----------------------------------------------------------------

const RecordField kEventStreamQuery[] = {RECORD_INT("fisheyeType", CamEventStreamQuery, fisheye_type)};
// Both ways: the setter's channel word is the checked "chnid".
const RecordField kEventStream[] = {
    RECORD_INT("chnid", CamEventStream, channel),
    RECORD_INT("enable", CamEventStream, enable),
    RECORD_INT("framerate", CamEventStream, framerate),
    RECORD_INT("bitrate", CamEventStream, bitrate),
    RECORD_INT("iframeinterval", CamEventStream, iframe_interval),
};

// ---- Night mode, capabilities, custom parameters (/2062, /2065, /2068) -----------------------------

const RecordField kNightMode[] = {
    RECORD_INT("chnid", CamNightMode, channel),
    RECORD_INT("nightMode", CamNightMode, night_mode),
};
const RecordField kCapabilities[] = {
    RECORD_INT("res", CamCapabilities, res),
    RECORD_INT("audioSupport", CamCapabilities, audio_support),
    RECORD_INT("audioSupportMode", CamCapabilities, audio_support_mode),
    RECORD_INT("audioLineInputSupport", CamCapabilities, line_input_support),
    RECORD_INT("systemSpeakerSupport", CamCapabilities, speaker_support),
    RECORD_INT("systemManualSpeedSupport", CamCapabilities, manual_speed_support),
    RECORD_INT("systemAutoTrackingSupport", CamCapabilities, auto_tracking_support),
};
const RecordField kCustomKeys[] = {RECORD_TEXT("url", CamCustomRequest, url)};
const RecordField kCustomReply[] = {
    RECORD_INT("res", CamCustomReply, res),
    RECORD_INT("chnid", CamCustomReply, channel),
    RECORD_TEXT("data", CamCustomReply, data),
};

// ---- Audio (/2063, /2064) -----------------------------------------------------------------------------

#define AC(key, member) RECORD_INT(key, CamAudioConfig, member)
// Both ways: the reply's "config" and the setter's keys.
const RecordField kAudioConfig[] = {
    AC("chnid", channel),          AC("audioEnable", audio_enable),
    AC("audioMode", audio_mode),   AC("denoise", denoise),
    AC("encoding", encoding),      AC("sampleRate", sample_rate),
    AC("inputGain", input_gain),   AC("inputMode", input_mode),
    AC("audioGainControl", gain_control), AC("outputVolume", output_volume),
    AC("audioBitrate", audio_bitrate),
};
#undef AC
const RecordField kAudioVolumes[] = {
    RECORD_INT("speakerVol", CamAudioRequest, speaker_vol),
    RECORD_INT("twoWaySpeakerVol", CamAudioRequest, two_way_speaker_vol),
    RECORD_INT("twoWayOutVol", CamAudioRequest, two_way_out_vol),
};

bool fill_audio(RelayInput &in, CamAudioRequest &r)
{
    relay_channel_mask(jv_str(relay_member(in.obj, "channels", JK_STRING)), in.channel, &r.mask_lo, &r.mask_hi);
    record_fields_take(in.obj, &r.config, kAudioConfig);
    r.config.channel = in.channel;
    return true;
}

// A count from the daemon within 0..max.
int bounded(int32_t count, int max) { return count < 0 ? 0 : (count > max ? max : count); }

json_object *audio_options_json(const CamAudioReply &r)
{
    json_object *options = json_object_new_array();
    for (int e = 0; e < bounded(r.encoding_count, CAM_AUDIO_ENCODINGS); e++) {
        const CamAudioEncoding &enc = r.encodings[e];
        json_object *rates = json_object_new_array();
        for (int s = 0; s < bounded(enc.rate_count, CAM_AUDIO_RATES); s++) {
            const CamAudioRate &rate = enc.rates[s];
            json_object *bitrates = json_object_new_array();
            for (int b = 0; b < bounded(rate.bitrate_count, CAM_AUDIO_BITRATES); b++)
                json_object_array_add(bitrates, json_object_new_int(rate.bitrates[b]));
            json_object *ro = json_object_new_object();
            json_add_int(ro, "sampleRateValue", rate.value);
            json_object_object_add(ro, "bitrateInfo", bitrates);
            json_object_array_add(rates, ro);
        }
        json_object *eo = json_object_new_object();
        json_add_int(eo, "encodeValue", enc.value);
        json_object_object_add(eo, "sampleRateInfo", rates);
        json_object_array_add(options, eo);
    }
    return options;
}

} // namespace

// ---- Answers ------------------------------------------------------------------------------------------

void on_tracking_cb(const IpcReply &reply)
{
    std::unique_ptr<CamTrackingReply> r(new CamTrackingReply);
    memcpy(r.get(), reply.payload, sizeof *r);
    json_object *o = json_object_new_object();
    record_fields_to_json(o, r.get(), kTracking);
    json_object_object_add(o, "schedule", get_schedule_json_object(&r->schedule));
    relay_answer_json(o);
}

void on_watermark_cb(const IpcReply &reply) { relay_answer_fields<CamWatermarkReply>(reply, kWatermarkReply); }
void on_event_stream_cb(const IpcReply &reply) { relay_answer_fields<CamEventStream>(reply, kEventStream); }
void on_night_mode_cb(const IpcReply &reply) { relay_answer_fields<CamNightMode>(reply, kNightMode); }
void on_capabilities_cb(const IpcReply &reply) { relay_answer_fields<CamCapabilities>(reply, kCapabilities); }
void on_custom_param_cb(const IpcReply &reply) { relay_answer_fields<CamCustomReply>(reply, kCustomReply); }

void on_audio_cb(const IpcReply &reply)
{
    std::unique_ptr<CamAudioReply> r(new CamAudioReply);
    memcpy(r.get(), reply.payload, sizeof *r);
    json_object *o = json_object_new_object();
    json_add_int(o, "res", r->res);
    json_add_int(o, "support", r->support);
    json_add_int(o, "supportMode", r->support_mode);
    json_add_int(o, "supportInputMode", r->support_input_mode);
    json_object *config = json_object_new_object();
    record_fields_to_json(config, &r->config, kAudioConfig);
    json_object_object_add(o, "config", config);
    json_object_object_add(o, "options", audio_options_json(*r));
    relay_answer_json(o);
}

// ---- Routes -------------------------------------------------------------------------------------------

// A one-channel request of this family: a text that is no JSON object and a
// bad "chnid" get the JSON error reply.
static CameraRelay feature_relay(int code, int length = sizeof(int32_t))
{
    return camera_relay(code, length).channel("chnid", REPLY_JSON).unparsable_reply(REPLY_JSON);
}

CAMERA_RELAY(on_cgi_get_auto_tracking_status, feature_relay(IPC_CAM_TRACKING_GET))
CAMERA_RELAY(on_cgi_set_auto_tracking_status,
             feature_relay(IPC_CAM_TRACKING_SET).with<CamTrackingRequest, fill_tracking>())
CAMERA_RELAY(on_cgi_get_ptz_support, feature_relay(IPC_CAM_PTZ_SUPPORT))
CAMERA_RELAY(on_cgi_get_watermark, feature_relay(IPC_CAM_WATERMARK_GET))
CAMERA_RELAY(on_cgi_set_watermark,
             feature_relay(IPC_CAM_WATERMARK_SET).keys(kWatermarkKeys).with<CamWatermarkRequest, fill_watermark>())
CAMERA_RELAY(on_cgi_get_ipc_event_stream,
             feature_relay(IPC_CAM_EVENT_STREAM_GET, sizeof(CamEventStreamQuery)).keys(kEventStreamQuery))
CAMERA_RELAY(on_cgi_set_ipc_event_stream,
             feature_relay(IPC_CAM_EVENT_STREAM_SET, sizeof(CamEventStream)).keys(kEventStream))
CAMERA_RELAY(on_cgi_get_ipc_lpr_night_mode, feature_relay(IPC_CAM_NIGHT_MODE_GET))
CAMERA_RELAY(on_cgi_get_ipc_audio_info, feature_relay(IPC_CAM_AUDIO_GET))
// Answers a text: an unparsable request gets none, a bad channel the text error.
CAMERA_RELAY(on_cgi_set_ipc_audio_info,
             feature_relay(IPC_CAM_AUDIO_SET)
                 .channel("chnid", REPLY_TEXT, offsetof(CamAudioRequest, config.channel))
                 .unparsable_reply(NO_REPLY)
                 .keys(kAudioVolumes)
                 .with<CamAudioRequest, fill_audio>())
CAMERA_RELAY(on_cgi_get_ipc_system_info, feature_relay(IPC_CAM_CAPABILITIES))
CAMERA_RELAY(on_cgi_get_ipc_custom_param,
             feature_relay(IPC_CAM_CUSTOM_PARAM, sizeof(CamCustomRequest))
                 .channel("chnid", REPLY_TEXT)
                 .keys(kCustomKeys))
