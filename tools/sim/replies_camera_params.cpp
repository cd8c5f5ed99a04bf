// Replies of the settings kept in cameras. Each simulated camera keeps what
// it is told in a small store, so a value set through the web pages reads
// back the same for as long as the simulator runs: free key/value parameters,
// stream settings, watermark and event stream. The other image and feature
// settings answer with the fixed values of a typical camera.
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "common/records/camera.h"
#include "common/records/camera_features.h"
#include "common/records/camera_params.h"
#include "common/web_utils.h"
#include "sim.h"

namespace {

template <class T> std::string bytes_of(const T &rec)
{
    return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}

// The request as a record; false when its size is not the record's.
template <class T> bool request_as(const SimRequest &req, T *out)
{
    if (req.payload.size() != sizeof(T)) return false;
    memcpy(out, req.payload.data(), sizeof(T));
    return true;
}

// The channel word at the start of a request, -1 when there is none.
int request_channel(const SimRequest &req)
{
    int ch = req.payload.size() >= 4 ? static_cast<int>(qx_get_le32(req.payload.data(), 0)) : -1;
    return valid_channel(ch) ? ch : -1;
}

template <size_t N> std::string field(const char (&f)[N]) { return std::string(f, strnlen(f, N)); }

// ---- The cameras' stores ---------------------------------------------------------------------------

struct StreamSettings {
    int width, height, framerate, bitrate, iframe, control, video_type;
};

struct CameraStore {
    std::map<std::string, std::string> params; // "page\nhttp\nkey" -> value
    StreamSettings main{1920, 1080, 25, 4096, 50, 0, 0};
    StreamSettings sub{704, 576, 15, 512, 30, 0, 0};
    bool sub_enable = true;
    int watermark_enable = 0;
    std::string watermark = "";
    CamEventStream event{0, 0, 1, 25, 2048, 50};
};

std::mutex g_mu;
CameraStore g_cameras[MAX_CAMERAS];

// Values a camera reports before it was told any.
const std::pair<const char *, const char *> kParamDefaults[] = {
    {"brightness", "50"}, {"contrast", "50"}, {"saturation", "50"}, {"sharpness", "50"}, {"hue", "50"},
};

std::string param_key(const CamParamRequest &r)
{
    return field(r.pagename) + "\n" + field(r.httpname) + "\n" + field(r.key);
}

std::string param_get(const SimRequest &req)
{
    CamParamRequest r{};
    CamParamReply out{};
    if (!request_as(req, &r) || !valid_channel(r.channel)) return bytes_of(out);
    out.channel = r.channel;
    COPY_TEXT(out.pagename, field(r.pagename).c_str());
    COPY_TEXT(out.httpname, field(r.httpname).c_str());
    COPY_TEXT(out.key, field(r.key).c_str());
    std::lock_guard<std::mutex> lock(g_mu);
    auto &params = g_cameras[r.channel].params;
    auto it = params.find(param_key(r));
    if (it != params.end()) {
        COPY_TEXT(out.value, it->second.c_str());
    } else {
        for (const auto &d : kParamDefaults)
            if (field(r.key) == d.first) COPY_TEXT(out.value, d.second);
    }
    return bytes_of(out);
}

std::string param_set(const SimRequest &req)
{
    CamParamRequest r{};
    if (!request_as(req, &r) || !valid_channel(r.channel) || !r.key[0]) return qx_le32_bytes(1);
    std::lock_guard<std::mutex> lock(g_mu);
    g_cameras[r.channel].params[param_key(r)] = field(r.value);
    return qx_le32_bytes(0);
}

// ---- Stream settings ----------------------------------------------------------------------------------

const int kMainRes[][2] = {{3840, 2160}, {2560, 1440}, {1920, 1080}, {1280, 720}};
const int kSubRes[][2] = {{704, 576}, {640, 360}, {352, 288}};

template <size_t N> void fill_caps(CamStreamCaps &c, const int (&res)[N][2], const StreamSettings &s, int fps, int kbps)
{
    for (size_t i = 0; i < N; i++) {
        c.res[i][0] = res[i][0];
        c.res[i][1] = res[i][1];
    }
    c.framerate_max = fps;
    c.framerate_min = 1;
    c.bitrate_max = kbps;
    c.bitrate_min = 64;
    c.video_type = s.video_type;
    c.cur_width = s.width;
    c.cur_height = s.height;
    c.framerate = s.framerate;
    c.bitrate = s.bitrate;
    c.iframe_interval = s.iframe;
    c.bitrate_control = s.control;
    c.iframe_interval_min = 1;
    c.iframe_interval_max = 200;
}

std::string stream_get(const SimRequest &req)
{
    const int ch = request_channel(req);
    CamStreamReply out{};
    if (ch < 0) {
        out.state = -1;
        return bytes_of(out);
    }
    std::lock_guard<std::mutex> lock(g_mu);
    const CameraStore &cam = g_cameras[ch];
    out.channel = ch;
    fill_caps(out.main, kMainRes, cam.main, 30, 16384);
    fill_caps(out.sub, kSubRes, cam.sub, 30, 2048);
    out.sub_enable = cam.sub_enable ? 1 : 0;
    out.audio_enable = 1;
    out.video_type_enable = 1;
    out.camera_type = 1;
    out.main_stream = 1;
    out.sub_stream = 1;
    out.smart_support = 1;
    out.sub_smart_support = 1;
    out.main_gop = cam.main.iframe;
    out.sub_gop = cam.sub.iframe;
    return bytes_of(out);
}

// Takes the values given (not -1) of one stream.
template <class Stream> void take_stream(StreamSettings &s, const Stream &in)
{
    const int32_t given[] = {in.width, in.height, in.framerate, in.bitrate, in.iframe_interval,
                             in.bitrate_control, in.video_type};
    int *const to[] = {&s.width, &s.height, &s.framerate, &s.bitrate, &s.iframe, &s.control, &s.video_type};
    for (size_t i = 0; i < sizeof given / sizeof given[0]; i++)
        if (given[i] >= 0) *to[i] = given[i];
}

// Applies the settings to every channel of the mask text; the reply marks them.
std::string stream_set(const SimRequest &req)
{
    CamStreamRequest r{};
    CamStreamResult out{};
    if (!request_as(req, &r)) return bytes_of(out);
    uint64_t mask = get_channel_mask(r.channels);
    std::lock_guard<std::mutex> lock(g_mu);
    for (int ch = 0; ch < MAX_CAMERAS; ch++) {
        if (!(mask & (1ULL << ch))) continue;
        take_stream(g_cameras[ch].main, r.main);
        take_stream(g_cameras[ch].sub, r.sub);
        g_cameras[ch].sub_enable = r.sub_enable != 0;
    }
    out.mask_lo = static_cast<uint32_t>(mask);
    out.mask_hi = static_cast<uint32_t>(mask >> 32);
    return bytes_of(out);
}

// ---- Watermark and event stream ----------------------------------------------------------------------

std::string watermark_get(const SimRequest &req)
{
    CamWatermarkReply out{};
    const int ch = request_channel(req);
    if (ch < 0) return bytes_of(out);
    std::lock_guard<std::mutex> lock(g_mu);
    out.channel = ch;
    out.enable = g_cameras[ch].watermark_enable;
    COPY_TEXT(out.text, g_cameras[ch].watermark.c_str());
    return bytes_of(out);
}

std::string watermark_set(const SimRequest &req)
{
    CamWatermarkRequest r{};
    if (!request_as(req, &r) || !valid_channel(r.channel)) return qx_le32_bytes(1);
    uint64_t mask = get_channel_mask(r.copy) | (1ULL << r.channel);
    std::lock_guard<std::mutex> lock(g_mu);
    for (int ch = 0; ch < MAX_CAMERAS; ch++) {
        if (!(mask & (1ULL << ch))) continue;
        g_cameras[ch].watermark_enable = r.enable;
        g_cameras[ch].watermark = field(r.text);
    }
    return qx_le32_bytes(0);
}

std::string event_stream_get(const SimRequest &req)
{
    const int ch = request_channel(req);
    CamEventStream out{};
    if (ch < 0) return bytes_of(out);
    std::lock_guard<std::mutex> lock(g_mu);
    out = g_cameras[ch].event;
    out.channel = ch;
    return bytes_of(out);
}

std::string event_stream_set(const SimRequest &req)
{
    CamEventStream r{};
    if (!request_as(req, &r) || !valid_channel(r.channel)) return qx_le32_bytes(1);
    std::lock_guard<std::mutex> lock(g_mu);
    g_cameras[r.channel].event = r;
    return qx_le32_bytes(0);
}

// ---- Fixed answers of a typical camera ------------------------------------------------------------------

std::string enhancement(const SimRequest &req)
{
    CamEnhanceReply out{};
    out.channel = request_channel(req);
    out.block.whiteblance = 1;
    out.block.focusmode = 1;
    out.block.wdrlevel = 50;
    out.block.exposemode = 1;
    out.block.redgain = 50;
    out.block.bluegain = 50;
    out.block.defoglevel = 50;
    COPY_TEXT(out.block.sdkversion, "2.1.4");
    return bytes_of(out);
}

std::string display(const SimRequest &req)
{
    CamDisplayRecord out{};
    out.channel = request_channel(req);
    out.modestarthour = 6;
    out.modestophour = 18;
    out.ircutaddaytonight = 2;
    out.ircutadnighttoday = 2;
    out.near_ir_level = 50;
    out.far_ir_level = 50;
    out.mid_ir_level = 50;
    out.white_led_level = 50;
    COPY_TEXT(out.chipninterface, "QX3516");
    COPY_TEXT(out.sensortype, "IMX335");
    COPY_TEXT(out.productmodel, "TV-IPC4280");
    COPY_TEXT(out.softversion, "V5.2.1");
    COPY_TEXT(out.sdkversion, "2.1.4");
    return bytes_of(out);
}

std::string day_night(const SimRequest &req)
{
    CamDayNightRecord out{};
    out.channel = request_channel(req);
    for (int i = 0; i < CAM_DN_ENTRIES; i++) {
        CamDayNightEntry &e = out.image.entries[i];
        e.enable = i < 2 ? 1 : 0;
        e.start_hour = i == 0 ? 6 : 18;
        e.end_hour = i == 0 ? 18 : 6;
        e.exposure_level = 50;
        e.max_shutter = 33;
        e.min_shutter = 1;
        e.gain_level = 50;
        e.color_mode = i == 0 ? 0 : 1;
    }
    return bytes_of(out);
}

std::string image_areas(const SimRequest &req)
{
    CamAreasReply out{};
    out.channel = request_channel(req);
    COPY_TEXT(out.sdkversion, "2.1.4");
    return bytes_of(out);
}

// Empty week schedules, status 0.
std::string camera_schedule(const SimRequest &) { return std::string(sizeof(CamScheduleReply), '\0'); }
std::string exposure_schedule(const SimRequest &) { return std::string(sizeof(CamExposureScheduleReply), '\0'); }

std::string region(const SimRequest &req)
{
    CamRegionReply out{};
    out.channel = request_channel(req);
    out.sensitivity = 50;
    out.minsize = 1;
    out.mintime = 1;
    return bytes_of(out);
}

std::string query(const SimRequest &) { return "{\"count\":0}"; }

std::string tracking(const SimRequest &req)
{
    CamTrackingReply out{};
    out.channel = request_channel(req);
    out.sensitivity = 50;
    out.time = 10;
    out.zoom_number = 1;
    return bytes_of(out);
}

std::string night_mode(const SimRequest &req)
{
    CamNightMode out{request_channel(req), 0};
    return bytes_of(out);
}

std::string audio(const SimRequest &req)
{
    CamAudioReply out{};
    out.support = 1;
    out.support_mode = 1;
    out.support_input_mode = 1;
    const int kRates[] = {8000, 16000};
    out.encoding_count = 2;
    for (int e = 0; e < 2; e++) {
        CamAudioEncoding &enc = out.encodings[e];
        enc.value = e;
        enc.rate_count = 2;
        for (int s = 0; s < 2; s++) {
            enc.rates[s].value = kRates[s];
            enc.rates[s].bitrate_count = 1;
            enc.rates[s].bitrates[0] = kRates[s] / 125;
        }
    }
    out.config.channel = request_channel(req);
    out.config.audio_enable = 1;
    out.config.sample_rate = 8000;
    out.config.output_volume = 50;
    out.config.audio_bitrate = 64;
    return bytes_of(out);
}

std::string capabilities(const SimRequest &)
{
    CamCapabilities out{};
    out.audio_support = 1;
    out.audio_support_mode = 1;
    out.line_input_support = 1;
    return bytes_of(out);
}

std::string custom_param(const SimRequest &req)
{
    CamCustomReply out{};
    CamCustomRequest r{};
    if (!request_as(req, &r) || !valid_channel(r.channel)) {
        out.res = -1;
        return bytes_of(out);
    }
    out.channel = r.channel;
    COPY_TEXT(out.data, ("{\"url\":\"" + field(r.url) + "\"}").c_str());
    return bytes_of(out);
}

} // namespace

SIM_REPLY(IPC_CAM_PARAM_GET, param_get);
SIM_REPLY(IPC_CAM_PARAM_SET, param_set);
SIM_REPLY(IPC_CAM_STREAM_GET, stream_get);
SIM_REPLY(IPC_CAM_STREAM_SET, stream_set);
SIM_REPLY(IPC_CAM_WATERMARK_GET, watermark_get);
SIM_REPLY(IPC_CAM_WATERMARK_SET, watermark_set);
SIM_REPLY(IPC_CAM_EVENT_STREAM_GET, event_stream_get);
SIM_REPLY(IPC_CAM_EVENT_STREAM_SET, event_stream_set);
SIM_REPLY(IPC_CAM_ENHANCE_GET, enhancement);
SIM_REPLY(IPC_CAM_DISPLAY_GET, display);
SIM_REPLY(IPC_CAM_DAY_NIGHT_GET, day_night);
SIM_REPLY(IPC_CAM_AREAS_GET, image_areas);
SIM_REPLY(IPC_CAM_SCHEDULE_A_GET, camera_schedule);
SIM_REPLY(IPC_CAM_SCHEDULE_C_GET, camera_schedule);
SIM_REPLY(IPC_CAM_EXPOSURE_SCHED_GET, exposure_schedule);
SIM_REPLY(IPC_CAM_REGION_GET, region);
SIM_REPLY(IPC_CAM_QUERY, query);
SIM_REPLY(IPC_CAM_TRACKING_GET, tracking);
SIM_REPLY(IPC_CAM_NIGHT_MODE_GET, night_mode);
SIM_REPLY(IPC_CAM_AUDIO_GET, audio);
SIM_REPLY(IPC_CAM_CAPABILITIES, capabilities);
SIM_REPLY(IPC_CAM_CUSTOM_PARAM, custom_param);
