// What is drawn over a channel's picture: the recorder's on-screen display
// (settings database), the camera's own text and date overlay, and privacy
// masks, the recorder's stored ones and the camera's (through the daemon).
//
// Channels outside 0..63 never reach the database or the daemon; a request
// that fails its checks mostly gets no reply at all, as the pages expect.
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/ipc.h"
#include "common/record_fields.h"
#include "common/records/osd.h"
#include "common/records/osd_camera.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/lpr_osd.h"
#include "modules/video/video_ipc.h"
#include "modules/video/video_utils.h"

namespace {
const char kDb[] = QXDB_PATH;

// The channel of an {"id"} request; -1 when missing or out of range.
int request_id(const char *request, const char *key = "id")
{
    const JsonPolicy policy[] = {{key, JK_INT}};
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return -1;
    return jv_channel(tb[0]);
}

// Sends a channel-only waiting request; a channel out of range answers at
// once what a time-out would.
int channel_request(const char *request, int code, int error_kind)
{
    const int32_t channel = request_id(request);
    if (!valid_channel(channel)) return cgi_error_to_webserver(error_kind);
    lpr_osd_request(code, channel, error_kind);
    return 0;
}

bool is_flag(int v) { return v == 0 || v == 1; }
} // namespace

// ---- /6000, /6001, /6002: the recorder's OSD ------------------------------------------------

int on_get_osd_info(char *request)
{
    int channel = -1;
    if (!request || !parse_decimal(request, &channel) || !valid_channel(channel)) return 0;
    OsdRecord rec{};
    read_osd(kDb, &rec, channel);
    // A channel never named shows the name the rest of the system gives it.
    if (!rec.name[0]) snprintf(rec.name, sizeof rec.name, "CAM%d", channel + 1);
    json_object *o = json_object_new_object();
    json_add_int(o, "camId", channel);
    json_add_field(o, "camName", rec.name);
    json_add_int(o, "showName", rec.show_name);
    json_add_int(o, "showDate", rec.show_date);
    json_add_int(o, "showWeek", rec.show_week);
    json_add_int(o, "dateFormat", rec.date_format);
    json_add_int(o, "timeFormat", rec.time_format);
    json_object_object_add(o, "datePosX", json_object_new_double(rec.date_pos_x));
    json_object_object_add(o, "datePosY", json_object_new_double(rec.date_pos_y));
    json_object_object_add(o, "namePosX", json_object_new_double(rec.name_pos_x));
    json_object_object_add(o, "namePosY", json_object_new_double(rec.name_pos_y));
    json_add_int(o, "alpha", rec.alpha);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

int on_set_osd_info(char *request)
{
    enum { O_CAM, O_NAME, O_SHOW_NAME, O_SHOW_DATE, O_SHOW_WEEK, O_DATE_FMT, O_TIME_FMT,
           O_DATE_X, O_DATE_Y, O_NAME_X, O_NAME_Y, O_ALPHA, O_COUNT };
    static constexpr JsonPolicy policy[O_COUNT] = {
        {"camId", JK_INT},       {"camName", JK_STRING},  {"showName", JK_INT},  {"showDate", JK_INT},
        {"showWeek", JK_INT},    {"dateFormat", JK_INT},  {"timeFormat", JK_INT}, {"datePosX", JK_DOUBLE},
        {"datePosY", JK_DOUBLE}, {"namePosX", JK_DOUBLE}, {"namePosY", JK_DOUBLE}, {"alpha", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_set_osd_info, policy);
    JsonDoc doc(request);
    json_object *tb[O_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[O_CAM]);
    bool ok = valid_channel(channel) && tb[O_NAME] && tb[O_ALPHA] && jv_int(tb[O_ALPHA]) >= 0 &&
              is_flag(jv_int(tb[O_SHOW_NAME])) && is_flag(jv_int(tb[O_SHOW_DATE])) &&
              is_flag(jv_int(tb[O_SHOW_WEEK])) && jv_int(tb[O_DATE_FMT]) >= 0 && jv_int(tb[O_DATE_FMT]) <= 3 &&
              is_flag(jv_int(tb[O_TIME_FMT]));
    for (int k : {O_DATE_X, O_DATE_Y, O_NAME_X, O_NAME_Y}) ok = ok && tb[k] && jv_double(tb[k]) >= 0;
    if (!ok) return 0;

    int stored = update_osd(kDb, channel, [&](OsdRecord &r) {
        COPY_TEXT(r.name, jv_str(tb[O_NAME]));
        r.show_name = jv_int(tb[O_SHOW_NAME]);
        r.show_date = jv_int(tb[O_SHOW_DATE]);
        r.show_week = jv_int(tb[O_SHOW_WEEK]);
        r.date_format = jv_int(tb[O_DATE_FMT]);
        r.time_format = jv_int(tb[O_TIME_FMT]);
        r.date_pos_x = jv_double(tb[O_DATE_X]);
        r.date_pos_y = jv_double(tb[O_DATE_Y]);
        r.name_pos_x = jv_double(tb[O_NAME_X]);
        r.name_pos_y = jv_double(tb[O_NAME_Y]);
        r.alpha = jv_int(tb[O_ALPHA]);
        return 0;
    });
    if (stored < 0) return cgi_error_to_webserver(REPLY_TEXT);
    cgi_notify_ipc(IPC_OSD_CHANGED, OsdChanged{channel, 1, 0});
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int OnSetOSDName(char *request)
{
    enum { OSD_NAME_MAX = 31 };
    static constexpr JsonPolicy policy[] = {{"camId", JK_INT}, {"camName", JK_STRING}};
    NVRWEB_HANDLER_KEYS(OnSetOSDName, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[0]);
    if (!valid_channel(channel) || !tb[1]) return 0;
    int stored = update_osd(kDb, channel, [&](OsdRecord &r) {
        copy_text(r.name, OSD_NAME_MAX + 1, jv_str(tb[1]));
        memset(r.name + OSD_NAME_MAX + 1, 0, sizeof r.name - OSD_NAME_MAX - 1);
        return 0;
    });
    if (stored < 0) return cgi_error_to_webserver(REPLY_TEXT);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6996, /6997: the camera's OSD ------------------------------------------------------------

namespace {
#define CO_INT(key, member) RECORD_INT(key, CamOsdRecord, member)
#define CO_TEXT(key, member) RECORD_TEXT(key, CamOsdRecord, member)
// In the order of the reply of /6997.
const RecordField kCamOsdFields[] = {
    CO_INT("enable_text", enable_text),         CO_TEXT("text_name", text_name),
    CO_INT("textpos", textpos),                 CO_INT("enable_date", enable_date),
    CO_INT("datepos", datepos),                 CO_INT("dateformat", dateformat),
    CO_INT("enable_text_sub", enable_text_sub), CO_TEXT("text_name_sub", text_name_sub),
    CO_INT("textpos_sub", textpos_sub),         CO_INT("enable_date_sub", enable_date_sub),
    CO_INT("datepos_sub", datepos_sub),         CO_INT("dateformat_sub", dateformat_sub),
};
// Only in the request.
const RecordField kCamOsdSetOnly[] = {
    CO_INT("fontSize", font_size),
    CO_INT("fontSizeSub", font_size_sub),
    CO_INT("type", type),
};
} // namespace

int on_set_osdconfig(char *request)
{
    static constexpr JsonPolicy required[] = {
        {"ch", JK_INT},      {"enable_text", JK_INT}, {"text_name", JK_STRING},  {"textpos", JK_INT},
        {"enable_date", JK_INT}, {"datepos", JK_INT}, {"dateformat", JK_INT}, {"fontSize", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_set_osdconfig, required);
    JsonDoc doc(request);
    json_object *tb[sizeof required / sizeof required[0]];
    if (JSON_PARSE(doc.get(), required, tb) != static_cast<int>(sizeof required / sizeof required[0])) return 0;
    const int channel = jv_channel(tb[0]);
    if (!valid_channel(channel)) return 0;
    CamOsdRecord rec{};
    record_fields_take(doc.get(), &rec, kCamOsdFields);
    record_fields_take(doc.get(), &rec, kCamOsdSetOnly);
    rec.ch = channel;
    lpr_osd_request(IPC_CAM_OSD_SET, rec, REPLY_TEXT);
    return 0;
}

void on_cam_osd_set_cb(const void *header, const void *payload, size_t)
{
    int32_t status = 1;
    ipc_reply_record(header, payload, 0, &status);
    cgi_writeback_webserver(REPLY_TEXT, status == 0 ? "OK" : status == -1 ? "NO_SUPPORT" : "ERROR");
    g_callback_done = 1;
}

int on_get_osdconfig(char *request) { return channel_request(request, IPC_CAM_OSD_GET, REPLY_TEXT); }

void on_cam_osd_cb(const void *header, const void *payload, size_t)
{
    CamOsdRecord rec{};
    ipc_reply_record(header, payload, 0, &rec);
    json_object *o = json_object_new_object();
    if (rec.ch >= 0) {
        record_fields_to_json(o, &rec, kCamOsdFields);
        json_add_int(o, "disconnect", 1);
    } else {
        json_add_int(o, "disconnect", 0);
    }
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- /6018: stored privacy masks ---------------------------------------------------------------

int on_get_privacy_masks(char *)
{
    int cameras = get_param_int(kDb, "max_cameras", 32);
    if (cameras < 1 || cameras > VIDEO_MAX_CHANNELS) cameras = VIDEO_MAX_CHANNELS;
    std::unique_ptr<PrivacyMaskRecord[]> recs(new PrivacyMaskRecord[VIDEO_MAX_CHANNELS]());
    int count = 0;
    if (read_privacy_masks(kDb, recs.get(), cameras, &count) != 0) count = 0;
    json_object *list = json_object_new_array();
    for (int n = 0; n < count && n < cameras; n++) {
        const PrivacyMaskRecord &rec = recs[n];
        json_object *o = json_object_new_object();
        json_add_int(o, "id", rec.id);
        json_object *areas = json_object_new_array();
        for (const PrivacyMaskArea &a : rec.area) {
            json_object *e = json_object_new_object();
            json_add_int(e, "area_id", a.area_id);
            json_add_int(e, "enable", a.enable);
            json_add_int(e, "start_x", a.start_x);
            json_add_int(e, "start_y", a.start_y);
            json_add_int(e, "area_width", a.width);
            json_add_int(e, "area_height", a.height);
            json_add_int(e, "width", a.frame_width);
            json_add_int(e, "height", a.frame_height);
            json_add_int(e, "fill_color", a.fill_color);
            json_object_array_add(areas, e);
        }
        json_object_object_add(o, "area", areas);
        json_object_array_add(list, o);
    }
    cgi_writeback_json(REPLY_JSON, list);
    json_object_put(list);
    return 0;
}

// ---- Camera privacy masks: /6019, /6115, /6116, /6173, /6198 ----------------------------------------

namespace {
#define MA_INT(key, member) RECORD_INT(key, CamMaskArea, member)
const RecordField kMaskAreaFields[] = {
    MA_INT("area_id", area_id),         MA_INT("enable", enable),          MA_INT("start_x", start_x),
    MA_INT("start_y", start_y),         MA_INT("area_width", width),       MA_INT("area_height", height),
    MA_INT("fill_color", fill_color),   MA_INT("ratio", ratio),            RECORD_TEXT("name", CamMaskArea, name),
};

// The number of areas a mask request fills: "num" + "mosaicNum", summed
// without overflow and held to 0..28.
size_t mask_area_count(int64_t num, int64_t mosaic_num)
{
    const int64_t sum = num + mosaic_num;
    if (sum < 0) return 0;
    return sum > CAM_MASK_AREAS ? size_t(CAM_MASK_AREAS) : static_cast<size_t>(sum);
}
} // namespace

int on_set_privacy_mask(char *request)
{
    enum { M_CNT, M_AREA, M_CHNID, M_ENABLE, M_NUM, M_SDK, M_AREA_ENABLE, M_MOSAIC_SUPPORT, M_MOSAIC_NUM,
           M_DEL, M_COUNT };
    static constexpr JsonPolicy policy[M_COUNT] = {
        {"cnt", JK_INT},        {"area", JK_ARRAY},          {"chnid", JK_ARRAY},         {"enable", JK_INT},
        {"num", JK_INT},        {"cgiSdkFlag", JK_INT},      {"areaMaskEnable", JK_INT},  {"mosaicSupport", JK_INT},
        {"mosaicNum", JK_INT},  {"delMask", JK_INT},
    };
    NVRWEB_HANDLER_KEYS(on_set_privacy_mask, policy);
    JsonDoc doc(request);
    json_object *tb[M_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[M_CNT] || !tb[M_AREA] || !tb[M_CHNID]) return 0;

    std::unique_ptr<CamMaskRequest> rec(new CamMaskRequest());
    rec->enable = jv_int(tb[M_ENABLE]);
    rec->num = jv_int(tb[M_NUM]);
    rec->cgi_sdk_flag = jv_int(tb[M_SDK]);
    rec->area_mask_enable = jv_int(tb[M_AREA_ENABLE]);
    rec->mosaic_support = jv_int(tb[M_MOSAIC_SUPPORT]);
    rec->mosaic_num = jv_int(tb[M_MOSAIC_NUM]);
    rec->del_mask = jv_int64(tb[M_DEL]);
    const size_t areas = mask_area_count(jv_int64(tb[M_NUM]), jv_int64(tb[M_MOSAIC_NUM]));
    for (size_t i = 0; i < areas && i < jv_len(tb[M_AREA]); i++)
        record_fields_take(jv_at(tb[M_AREA], i), &rec->area[i], kMaskAreaFields);

    memset(rec->channels, '0', sizeof rec->channels);
    const int64_t cnt = jv_int64(tb[M_CNT]);
    for (size_t i = 0; cnt > 0 && i < static_cast<uint64_t>(cnt) && i < jv_len(tb[M_CHNID]); i++) {
        json_object *e = jv_at(tb[M_CHNID], i);
        if (jv_is(e, JK_INT) && valid_channel(jv_channel(e))) rec->channels[jv_channel(e)] = '1';
    }
    cgi_notify_ipc(IPC_CAM_MASK_SET, *rec);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int on_get_privacy_mask_ovf(char *request) { return channel_request(request, IPC_CAM_MASK_GET, REPLY_TEXT); }

void on_cam_mask_cb(const void *header, const void *payload, size_t count)
{
    enum { CANVAS_WIDTH = 460, CANVAS_HEIGHT = 260 };
    std::unique_ptr<CamMaskReply> rec(new CamMaskReply());
    json_object *list = json_object_new_array();
    for (size_t n = 0; n < count && ipc_reply_record(header, payload, n, rec.get()); n++) {
        json_object *o = json_object_new_object();
        json_add_int(o, "id", rec->id);
        json_add_int(o, "num", rec->num);
        json_add_int(o, "maxPtzZoomRatio", rec->max_ptz_zoom_ratio);
        json_add_int(o, "areaEnable", rec->area_enable);
        json_add_int(o, "enable", rec->enable);
        json_add_field(o, "sdkversion", rec->sdk_version);
        json_add_int(o, "cgiSdkFlag", rec->cgi_sdk_flag);
        json_add_field(o, "colorList", rec->color_list);
        json_add_int(o, "mosaicSupport", rec->mosaic_support);
        json_add_int(o, "mosaicNum", rec->mosaic_num);
        json_add_int(o, "colorSupport", rec->color_support);
        json_add_int(o, "maxMaskSum", rec->max_mask_sum);
        // The camera's count of masks is untrusted: never past the record.
        const int shown = rec->max_mask_sum < 0 ? 0 : rec->max_mask_sum > CAM_MASK_AREAS ? CAM_MASK_AREAS
                                                                                        : rec->max_mask_sum;
        json_object *areas = json_object_new_array();
        for (int i = 0; i < shown; i++) {
            const CamMaskArea &a = rec->area[i];
            json_object *e = json_object_new_object();
            json_add_int(e, "area_id", a.area_id);
            json_add_int(e, "enable", a.enable);
            json_add_int(e, "start_x", a.start_x);
            json_add_int(e, "start_y", a.start_y);
            json_add_int(e, "area_width", a.width);
            json_add_int(e, "area_height", a.height);
            json_add_int(e, "width", CANVAS_WIDTH);
            json_add_int(e, "height", CANVAS_HEIGHT);
            json_add_int(e, "fill_color", a.fill_color);
            json_add_int(e, "left", a.start_x);
            json_add_int(e, "top", a.start_y);
            json_add_int(e, "right", a.width);
            json_add_int(e, "bottom", a.height);
            json_add_int(e, "ratio", a.ratio);
            json_add_field(e, "name", a.name);
            json_object_array_add(areas, e);
        }
        json_object_object_add(o, "area", areas);
        json_object_array_add(list, o);
    }
    cgi_writeback_json(REPLY_JSON, list);
    json_object_put(list);
    g_callback_done = 1;
}

int on_get_ipc_model_type(char *request) { return channel_request(request, REPLY_CAM_MODEL_TYPE - 5000, REPLY_TEXT); }

namespace {
// Answers {key: the reply's first int}.
void answer_first_int(const void *header, const void *payload, const char *key)
{
    int32_t value = 0;
    ipc_reply_record(header, payload, 0, &value);
    json_object *o = json_object_new_object();
    json_add_int(o, key, value);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}
} // namespace

void on_cam_model_type_cb(const void *header, const void *payload, size_t)
{
    answer_first_int(header, payload, "result");
}

int on_delete_privacy_mask(char *request)
{
    enum { MASK_AREA_MAX = 24 };
    static constexpr JsonPolicy policy[] = {{"chan_id", JK_INT}, {"area_id", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_delete_privacy_mask, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !valid_channel(jv_channel(tb[0])) || !tb[1] ||
        jv_int(tb[1]) < 0 || jv_int(tb[1]) > MASK_AREA_MAX)
        return cgi_error_to_webserver(REPLY_JSON);
    cgi_notify_ipc(IPC_CAM_MASK_DELETE, CamMaskDelete{jv_channel(tb[0]), jv_int(tb[1])});
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int on_cgi_set_privacy_edit(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chnid", JK_INT}, {"maskid", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_cgi_set_privacy_edit, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !valid_channel(jv_channel(tb[0])))
        return cgi_error_to_webserver(REPLY_JSON);
    lpr_osd_request(IPC_CAM_MASK_EDIT, CamMaskDelete{jv_channel(tb[0]), jv_int(tb[1])}, REPLY_JSON);
    return 0;
}

void on_cam_mask_edit_cb(const void *header, const void *payload, size_t)
{
    answer_first_int(header, payload, "res");
}
