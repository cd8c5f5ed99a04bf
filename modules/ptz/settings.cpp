// Stored PTZ settings: serial settings per channel (/6050, /6051), PTZ
// support of a camera (/6052), stored speeds (/6053, /6054) and tours
// (/6055 to /6057).
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/ipc.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/ptz/ptz.h"

namespace {
const char kDb[] = QXDB_PATH;

bool in_range(json_object *v, int lo, int hi) { return v && jv_int(v) >= lo && jv_int(v) <= hi; }

int answer_json(json_object *o)
{
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}
} // namespace

// ---- /6050, /6051: serial settings ------------------------------------------------------------

int on_get_ptzport_info(char *request)
{
    int channel = -1;
    PtzPortRecord r{};
    if (on_cgi_get_value_by_json(request, "chnid", &channel) != 0 || channel < 0 || channel >= PTZ_CHANNELS ||
        read_ptz_port(kDb, &r, channel) != 0) {
        cgi_error_to_webserver(REPLY_JSON);
        return 0;
    }
    json_object *o = json_object_new_object();
    json_add_int(o, "camId", channel);
    json_add_int(o, "connectType", r.connect_type);
    json_add_int(o, "baudRate", r.baud_rate);
    json_add_int(o, "dataBits", r.data_bits);
    json_add_int(o, "stopBits", r.stop_bits);
    json_add_int(o, "parityType", r.parity_type);
    json_add_int(o, "protocol", r.protocol);
    json_add_int(o, "address", r.address);
    return answer_json(o);
}

int on_set_ptzport_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"cnt", JK_INT},        {"chnid", JK_ARRAY},    {"connectType", JK_INT},
                                            {"baudRate", JK_INT},   {"dataBits", JK_INT},   {"stopBits", JK_INT},
                                            {"parityType", JK_INT}, {"protocol", JK_INT},   {"address", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_ptzport_info, policy);
    enum { K_CNT, K_CHNID, K_CONNECT, K_BAUD, K_DATA, K_STOP, K_PARITY, K_PROTOCOL, K_ADDRESS };
    JsonDoc doc(request);
    json_object *tb[sizeof policy / sizeof policy[0]] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    if (!tb[K_CNT] || !tb[K_CHNID] || !in_range(tb[K_CONNECT], 0, 1) || !in_range(tb[K_BAUD], 0, INT32_MAX) ||
        !in_range(tb[K_DATA], 5, 8) || !in_range(tb[K_STOP], 0, INT32_MAX) || !in_range(tb[K_PARITY], 0, 2) ||
        !in_range(tb[K_PROTOCOL], 0, 13) || !in_range(tb[K_ADDRESS], 0, INT32_MAX))
        return 0;
    PtzPortRecord r{};
    r.connect_type = jv_int(tb[K_CONNECT]);
    r.baud_rate = jv_int(tb[K_BAUD]);
    r.data_bits = jv_int(tb[K_DATA]);
    r.stop_bits = jv_int(tb[K_STOP]);
    r.parity_type = jv_int(tb[K_PARITY]);
    r.protocol = jv_int(tb[K_PROTOCOL]);
    r.address = jv_int(tb[K_ADDRESS]);
    // The first "cnt" entries of the list that are channels.
    std::vector<int> channels;
    const int cnt = jv_int(tb[K_CNT]);
    for (size_t i = 0; static_cast<int64_t>(i) < cnt && i < jv_len(tb[K_CHNID]); i++) {
        json_object *e = jv_at(tb[K_CHNID], i);
        const int ch = jv_is(e, JK_INT) ? jv_channel(e) : -1;
        if (ch >= 0) channels.push_back(ch);
    }
    const int rc = settings_atomic(kDb, [&]() -> int {
        for (int ch : channels) {
            r.channel = ch;
            if (write_ptz_port(kDb, &r) != 0) return -1;
        }
        return 0;
    });
    if (rc < 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    for (int ch : channels) {
        const int32_t notice = ch;
        cgi_notify_ipc(IPC_PTZ_PORT_CHANGED, notice);
        ptz_log(PTZ_OPLOG_SETTING, ch);
    }
    return 0;
}

// ---- /6052: PTZ support of a camera -----------------------------------------------------------

int on_get_ptzsupport_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"chn", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_get_ptzsupport_info, policy);
    JsonDoc doc(request);
    json_object *tb[1] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int32_t channel = jv_channel(tb[0]);
    if (channel >= 0) ptz_request(IPC_PTZ_SUPPORT, channel, REPLY_TEXT);
    return 0;
}

// ---- /6053, /6054: stored speeds --------------------------------------------------------------

namespace {
const JsonPolicy kSpeedPolicy[] = {{"camId", JK_INT},    {"panSpeed", JK_INT},   {"tiltSpeed", JK_INT},
                                   {"zoomSpeed", JK_INT}, {"focusSpeed", JK_INT}};
NVRWEB_HANDLER_KEYS(on_set_ptz_speed, kSpeedPolicy);
enum { SPEED_KEYS = sizeof kSpeedPolicy / sizeof kSpeedPolicy[0] };
int32_t *speed_field(PtzSpeedRecord &r, int key)
{
    int32_t *const fields[] = {&r.channel, &r.pan_speed, &r.tilt_speed, &r.zoom_speed, &r.focus_speed};
    return fields[key];
}

int speed_channel(const JsonDoc &doc, json_object *(&tb)[SPEED_KEYS])
{
    return JSON_PARSE(doc.get(), kSpeedPolicy, tb) < 0 ? -1 : jv_channel(tb[0]);
}
} // namespace

int on_get_ptz_speed(char *request)
{
    JsonDoc doc(request);
    json_object *tb[SPEED_KEYS] = {};
    const int channel = speed_channel(doc, tb);
    if (channel < 0) return 0;
    PtzSpeedRecord r{};
    if (read_ptz_speed(kDb, &r, channel) != 0) {
        cgi_error_to_webserver(REPLY_JSON);
        return 0;
    }
    json_object *o = json_object_new_object();
    for (int k = 0; k < SPEED_KEYS; k++) json_add_int(o, kSpeedPolicy[k].key, *speed_field(r, k));
    return answer_json(o);
}

int on_set_ptz_speed(char *request)
{
    JsonDoc doc(request);
    json_object *tb[SPEED_KEYS] = {};
    const int channel = speed_channel(doc, tb);
    if (channel < 0) return 0;
    // Keys left out keep their stored speed.
    const int rc = update_ptz_speed(kDb, channel, [&](PtzSpeedRecord &r) -> int {
        for (int k = 1; k < SPEED_KEYS; k++)
            if (tb[k]) *speed_field(r, k) = jv_int(tb[k]);
        return 0;
    });
    if (rc < 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    ptz_log(PTZ_OPLOG_SETTING, channel);
    return 0;
}

// ---- /6055 to /6057: tours ----------------------------------------------------------------------

namespace {
// A tour request: channel "chn", tour "tourid" 1..8, and for a tour set
// "rowsize" 0..48 points of "path".
struct TourRequest {
    int channel = -1;
    int tour = 0; // 1..8
    int fisheye_type = 0;
    int stream = 0;
    int count = 0; // points read
    PtzTourPoint points[PTZ_TOUR_POINTS] = {};
};

bool parse_tour(const char *request, bool with_points, TourRequest *t)
{
    static constexpr JsonPolicy policy[] = {{"chn", JK_INT},     {"tourid", JK_INT},      {"fisheyeType", JK_INT},
                                 {"streamId", JK_INT}, {"rowsize", JK_INT},    {"path", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_set_ptz_tour_set, policy);
    NVRWEB_HANDLER_KEYS(on_set_fish_ptz_tour_set, policy);
    NVRWEB_HANDLER_KEYS(on_set_ptz_tour_clear, policy);
    enum { K_CHN, K_TOUR, K_FISHEYE, K_STREAM, K_ROWS, K_PATH };
    JsonDoc doc(request);
    json_object *tb[sizeof policy / sizeof policy[0]] = {};
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return false;
    t->channel = jv_channel(tb[K_CHN]);
    if (t->channel < 0 || !in_range(tb[K_TOUR], 1, PTZ_TOURS)) return false;
    t->tour = jv_int(tb[K_TOUR]);
    t->fisheye_type = jv_int(tb[K_FISHEYE]);
    t->stream = jv_int(tb[K_STREAM]);
    if (!with_points) return true;
    if (!in_range(tb[K_ROWS], 0, PTZ_TOUR_POINTS)) return false;
    const size_t rows = static_cast<size_t>(jv_int(tb[K_ROWS]));
    const JsonPolicy point_policy[] = {{"preset", JK_INT}, {"speed", JK_INT}, {"time", JK_INT}};
    for (size_t i = 0; i < rows && i < jv_len(tb[K_PATH]); i++) {
        json_object *p[3] = {};
        JSON_PARSE(jv_at(tb[K_PATH], i), point_policy, p);
        t->points[i] = PtzTourPoint{jv_int(p[0]), jv_int(p[2]), jv_int(p[1])};
        t->count = static_cast<int>(i) + 1;
    }
    return true;
}
} // namespace

int on_set_ptz_tour_set(char *request)
{
    TourRequest t;
    if (!parse_tour(request, true, &t)) return 0;
    // The given points, and no stale points of a longer tour after them.
    const int rc = settings_atomic(kDb, [&]() -> int {
        PtzTourTable table{};
        if (read_ptz_tour(kDb, &table, t.channel) != 0) return -1;
        memcpy(table.tours[t.tour - 1], t.points, sizeof t.points);
        return write_ptz_tour(kDb, &table, t.channel);
    });
    if (rc < 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    PtzTourSet set{};
    set.channel = t.channel;
    set.tour = t.tour;
    set.count = t.count;
    memcpy(set.points, t.points, sizeof t.points);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    cgi_notify_ipc(IPC_PTZ_TOUR_SET, set);
    ptz_log(PTZ_OPLOG_SETTING, t.channel);
    return 0;
}

int on_set_fish_ptz_tour_set(char *request)
{
    TourRequest t;
    if (!parse_tour(request, true, &t)) return 0;
    static PtzFishTourSet set; // 4.6 KB
    set = PtzFishTourSet{};
    set.channel = t.channel;
    set.stream = t.stream;
    set.tour = t.tour - 1;
    PtzTourWords &w = set.tours[t.tour - 1];
    for (int i = 0; i < t.count; i++) {
        w.presets[i] = t.points[i].preset;
        w.times[i] = t.points[i].time;
        w.speeds[i] = t.points[i].speed;
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    cgi_notify_ipc(IPC_PTZ_FISH_TOUR_SET, set);
    ptz_log(PTZ_OPLOG_SETTING, t.channel);
    return 0;
}

int on_set_ptz_tour_clear(char *request)
{
    TourRequest t;
    if (!parse_tour(request, false, &t)) return 0;
    const int rc = settings_atomic(kDb, [&]() -> int {
        PtzTourTable table{};
        if (read_ptz_tour(kDb, &table, t.channel) != 0) return -1;
        for (PtzTourPoint &p : table.tours[t.tour - 1]) p.preset = 0;
        return write_ptz_tour(kDb, &table, t.channel);
    });
    if (rc < 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    PtzTourCommand c{};
    c.channel = t.channel;
    c.tour = t.tour;
    c.fisheye_type = t.fisheye_type;
    c.stream = t.stream;
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    cgi_notify_ipc(IPC_PTZ_TOUR_CLEAR, c);
    ptz_log(PTZ_OPLOG_SETTING, t.channel);
    return 0;
}
