// Live streams, image parameters, stream addresses and ports, the busy
// query, and the routes that only log a playback operation or check a
// channel.
#include <cmath>
#include <cstring>
#include <string>

#include "common/ipc.h"
#include "common/log_detail.h"
#include "common/records/playback.h"
#include "common/web_utils.h"
#include "frontend/cgi.h"
#include "modules/playback/playback.h"

namespace {
enum {
    OPLOG_PARAM_PLAYBACK = 900,
    OPLOG_SUB_PLAYBACK_LOG = 205,
    OPLOG_SUB_LIVE = 208,
    OPLOG_SUB_IMAGE = 217,
    OPLOG_SUB_PLAYBACK_USER = 227,
    OPLOG_DETAIL_IMAGE = 107,
};
enum { IMAGE_DEFAULT = 128, IMAGE_MAX = 255 };

// The live stream answer of this request was a success (8500, status >= 0);
// the request thread logs it after the wait.
bool g_live_started = false;

int answer_ok() { return cgi_writeback_webserver(REPLY_TEXT, "OK"); }

void reply_json(json_object *o)
{
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// The live routes' checks: "id" 0..63, "streamType" and "streamFrom" 0 or 1.
bool live_request(const char *request, LiveRecord *rec)
{
    static constexpr JsonPolicy policy[] = {{"id", JK_INT}, {"streamType", JK_INT}, {"streamFrom", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_start_live, policy);
    NVRWEB_HANDLER_KEYS(on_stop_live, policy);
    JsonDoc doc(request);
    json_object *tb[3];
    if (JSON_PARSE(doc.get(), policy, tb) != 3) return false;
    rec->channel = jv_channel(tb[0]);
    rec->stream_type = jv_int(tb[1]);
    rec->stream_source = jv_int(tb[2]);
    return rec->channel >= 0 && (rec->stream_type == 0 || rec->stream_type == 1) &&
           (rec->stream_source == 0 || rec->stream_source == 1);
}

// A channel 0..63 sent as the request text; -1 otherwise.
int text_channel(const char *request)
{
    int channel = -1;
    return playback_text_int(request, &channel) && channel >= 0 && channel < PB_MAX_CHANNELS ? channel : -1;
}

// An image value 0..255 as a percentage, rounded half up.
int32_t percent(int value) { return static_cast<int32_t>(std::lround(value * 100.0 / IMAGE_MAX)); }

// The routes that only log: a channel as text, answered "OK".
int log_playback_op(const char *request, int sub_type, bool with_remote_user)
{
    const int channel = text_channel(request);
    if (channel < 0) return 0;
    OpLogRecord rec;
    cgi_init_log_info(&rec);
    rec.sub_type = sub_type;
    rec.param_type = OPLOG_PARAM_PLAYBACK;
    rec.object_no = channel + 1;
    if (with_remote_user) COPY_TEXT(rec.user_name, cgiRemoteUser ? cgiRemoteUser : "");
    cgi_send_oplog_record(rec);
    return answer_ok();
}
} // namespace

// ---- /4010, /4011, /4012: live streams ----------------------------------------------------

int on_start_live(char *request)
{
    LiveRecord rec{};
    if (!live_request(request, &rec)) return 0;
    g_live_started = false;
    if (cgi_request_ipc(on_stream_callback, IPC_LIVE_START, rec, REPLY_JSON) == 1 && g_live_started)
        cgi_send_oplog(OPLOG_SUB_LIVE, OPLOG_PARAM_PLAYBACK, rec.channel + 1);
    return 0;
}

void on_live_cb(const void *header, const void *payload, size_t)
{
    LiveReply r{};
    ipc_reply_record(header, payload, 0, &r);
    json_object *o = json_object_new_object();
    if (r.status < 0) {
        json_add_text(o, "status", "ERROR");
    } else {
        json_add_text(o, "status", "OK");
        json_add_int(o, "port", r.port);
        json_add_int(o, "direct", r.direct);
        json_add_field(o, "rtspAddr", r.rtsp_addr);
        json_add_field(o, "resPath", r.res_path);
        g_live_started = true;
    }
    reply_json(o);
}

int on_stop_live(char *request)
{
    LiveRecord rec{};
    if (!live_request(request, &rec)) return 0;
    rec.stream_source = 0;
    cgi_notify_ipc(IPC_LIVE_STOP, rec);
    return answer_ok();
}

int on_stop_all_live(char *)
{
    cgi_notify_ipc(IPC_LIVE_STOP_ALL, 0, nullptr);
    return answer_ok();
}

// ---- /3000, /3001, /3002: image parameters ---------------------------------------------------

int on_get_image_param(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_image_param, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || jv_channel(tb[0]) < 0) return 0;
    int32_t channel = jv_channel(tb[0]);
    cgi_request_ipc(on_stream_callback, IPC_IMAGE_GET, channel, REPLY_JSON);
    return 0;
}

void on_image_param_cb(const void *header, const void *payload, size_t)
{
    ImageReply r{};
    ipc_reply_record(header, payload, 0, &r);
    json_object *o = json_object_new_object();
    if (r.status < 0) {
        json_add_text(o, "status", "ERROR");
        return reply_json(o);
    }
    json_add_text(o, "status", "OK");
    json_add_int(o, "brightness", r.image.brightness);
    json_add_int(o, "contrast", r.image.contrast);
    json_add_int(o, "saturation", r.image.saturation);
    json_add_int(o, "Sharpness", r.image.sharpness);
    json_add_int(o, "NoiseReduction", r.image.noise_reduction);
    json_add_int(o, "i2ddnr", r.image.i2ddnr);
    json_add_int(o, "supportLpr", r.support_lpr);
    json_add_int(o, "isNtPlatform", r.is_nt_platform);
    json_add_int(o, "isPanoramaStitch", r.is_panorama_stitch);
    reply_json(o);
}

int on_set_image_param(char *request)
{
    enum { I_ID, I_BRIGHT, I_CONTRAST, I_SATURATION, I_SHARP, I_NOISE, I_DNR, I_COUNT };
    static constexpr JsonPolicy policy[I_COUNT] = {
        {"id", JK_INT},        {"brightness", JK_INT},     {"contrast", JK_INT}, {"saturation", JK_INT},
        {"Sharpness", JK_INT}, {"NoiseReduction", JK_INT}, {"i2ddnr", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_set_image_param, policy);
    JsonDoc doc(request);
    json_object *tb[I_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || jv_channel(tb[I_ID]) < 0) return 0;
    for (int i : {I_BRIGHT, I_CONTRAST, I_SATURATION})
        if (!tb[i] || jv_int(tb[i]) < 0 || jv_int(tb[i]) > IMAGE_MAX) return 0;

    ImageRecord rec{jv_channel(tb[I_ID]), jv_int(tb[I_BRIGHT]), jv_int(tb[I_CONTRAST]), jv_int(tb[I_SATURATION]),
                    jv_int(tb[I_SHARP]),  jv_int(tb[I_NOISE]),  jv_int(tb[I_DNR])};
    cgi_notify_ipc(IPC_IMAGE_SET, rec);

    const int32_t detail[5] = {percent(rec.brightness), percent(rec.contrast), percent(rec.saturation),
                               percent(rec.sharpness), percent(rec.noise_reduction)};
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.sub_type = OPLOG_SUB_IMAGE;
    log.param_type = OPLOG_PARAM_PLAYBACK;
    log.object_no = rec.channel + 1;
    qxfs_log_pack_detail(&log, OPLOG_DETAIL_IMAGE, detail, sizeof detail);
    cgi_send_oplog_record(log);
    return answer_ok();
}

int on_reset_image_param(char *request)
{
    const int channel = text_channel(request);
    if (channel < 0) return 0;
    ImageRecord rec{channel, IMAGE_DEFAULT, IMAGE_DEFAULT, IMAGE_DEFAULT, IMAGE_DEFAULT, IMAGE_DEFAULT, 0};
    cgi_notify_ipc(IPC_IMAGE_SET, rec);
    json_object *o = json_object_new_object();
    json_add_int(o, "ChannelId", channel);
    for (const char *key : {"Brightness", "Contrast", "Saturation", "Sharpness", "NoiseReduction"})
        json_add_int(o, key, IMAGE_DEFAULT);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

// ---- /3004, /4018, /4021: daemon queries ------------------------------------------------------

int on_get_playback_busy(char *)
{
    cgi_request_ipc(on_stream_callback, IPC_PB_BUSY, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_busy_cb(const void *, const void *payload, size_t)
{
    int32_t busy;
    memcpy(&busy, payload, sizeof busy);
    cgi_writeback_webserver(REPLY_JSON, busy != 0 ? "{\"status\":\"BUSY\"}" : "{\"status\":\"OK\"}");
    g_callback_done = 1;
}

int on_get_rtsp_addr(char *)
{
    cgi_request_ipc(on_stream_callback, IPC_RTSP_ADDR, 0, nullptr, REPLY_JSON);
    return 0;
}

namespace {
// The eight keys of one side ("main", "sub") of the recorder's address.
void add_nvr_stream(json_object *o, const std::string &side, const RtspNvrStream &s)
{
    json_add_field(o, (side + "Username").c_str(), s.username);
    json_add_field(o, (side + "Password").c_str(), s.password);
    json_add_int(o, (side + "Port").c_str(), s.port);
    json_add_int(o, (side + "ExternalPort").c_str(), s.external_port);
    json_add_int(o, (side + "DDNSPort").c_str(), s.ddns_port);
    json_add_field(o, (side + "ResPath").c_str(), s.res_path);
    json_add_int(o, (side + "ExternalHttpPort").c_str(), s.external_http_port);
    json_add_int(o, (side + "DDNSHttpPort").c_str(), s.ddns_http_port);
}
} // namespace

void on_rtsp_addr_cb(const void *header, const void *payload, size_t count)
{
    json_object *list = json_object_new_array();
    for (size_t i = 0; i < count; i++) {
        RtspAddrRecord r{};
        ipc_reply_record(header, payload, i, &r);
        json_object *item = json_object_new_object();
        json_object *ipc = json_object_new_object();
        json_add_field(ipc, "main", r.ipc_main);
        json_add_field(ipc, "sub", r.ipc_sub);
        json_object_object_add(item, "ipc", ipc);
        json_object *nvr = json_object_new_object();
        add_nvr_stream(nvr, "main", r.nvr_main);
        add_nvr_stream(nvr, "sub", r.nvr_sub);
        json_object_object_add(item, "nvr", nvr);
        json_object_array_add(list, item);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "rtspaddr", list);
    reply_json(o);
}

int on_get_extern_port(char *)
{
    cgi_request_ipc(on_stream_callback, IPC_EXTERN_PORT, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_extern_port_cb(const void *header, const void *payload, size_t)
{
    ExternPortReply r{};
    ipc_reply_record(header, payload, 0, &r);
    json_object *o = json_object_new_object();
    json_add_int(o, "upnp_extern_port", r.upnp_extern_port);
    json_add_int(o, "ddns_extern_port", r.ddns_extern_port);
    reply_json(o);
}

// ---- /4014, /4017, /4024, /4015, /4016 ----------------------------------------------------------

int on_log_playback_op(char *request) { return log_playback_op(request, OPLOG_SUB_PLAYBACK_LOG, false); }
int on_log_playback_user(char *request) { return log_playback_op(request, OPLOG_SUB_PLAYBACK_USER, true); }
int on_log_playback_end(char *request) { return log_playback_op(request, OPLOG_SUB_LIVE, false); }

int on_check_channel(char *request)
{
    return text_channel(request) >= 0 ? answer_ok() : 0;
}
