// Status pages: each sends one request without payload and turns the reply
// records into JSON; the camera and alarm pages add names and addresses
// read from the settings before the request. /8010 answers from the
// settings alone.
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/ipc.h"
#include "common/records/alarm.h"
#include "common/records/camera.h"
#include "common/records/osd.h"
#include "common/records/storage.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/status/status.h"

namespace {
const char kDb[] = QXDB_PATH;
enum { NAME_SIZE = 128 };

int max_cameras()
{
    const int n = get_param_int(kDb, "max_cameras", 32);
    return n < 0 ? 0 : n > MAX_CAMERAS ? MAX_CAMERAS : n;
}

int answer_json(json_object *o)
{
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
    return 0;
}

template <class T> T record_at(const IpcReply &reply, size_t i)
{
    T r;
    memcpy(&r, reply.payload + i * sizeof r, sizeof r);
    return r;
}

int request(int code)
{
    cgi_request_ipc(on_status_ipc_callback, code, 0, nullptr, REPLY_JSON);
    return 0;
}

// Name and address of each channel, read before the camera and alarm pages.
struct ChannelFacts {
    int count; // zero at start, like the rest (no constructor runs)
    char name[MAX_CAMERAS][NAME_SIZE];
    char ip[MAX_CAMERAS][64];
    int enable[MAX_CAMERAS];
};
ChannelFacts g_channels;

void read_channel_facts()
{
    g_channels.count = max_cameras();
    std::vector<CameraRecord> cams(MAX_CAMERAS);
    std::vector<OsdRecord> osds(MAX_CAMERAS);
    int n_cams = 0, n_osds = 0;
    if (read_cameras(kDb, cams.data(), MAX_CAMERAS, &n_cams) != 0) n_cams = 0;
    if (read_osds(kDb, osds.data(), MAX_CAMERAS, &n_osds) != 0) n_osds = 0;
    for (int ch = 0; ch < g_channels.count; ch++) {
        const CameraRecord &cam = cams[ch];
        const OsdRecord &osd = osds[ch];
        if (ch < n_osds && osd.name[0]) copy_field(g_channels.name[ch], NAME_SIZE, osd.name, sizeof osd.name);
        else snprintf(g_channels.name[ch], NAME_SIZE, "CAM%d", ch + 1);
        g_channels.ip[ch][0] = '\0';
        if (ch < n_cams) copy_field(g_channels.ip[ch], sizeof g_channels.ip[ch], cam.ip_addr, sizeof cam.ip_addr);
        if (!g_channels.ip[ch][0]) COPY_TEXT(g_channels.ip[ch], "--");
        g_channels.enable[ch] = ch < n_cams ? cam.enable : 0;
    }
}

void add_channel_facts(json_object *o, int ch)
{
    json_add_int(o, "id", ch);
    json_add_text(o, "name", g_channels.name[ch]);
}

// ---- /8000, /8001: network ports ----------------------------------------------------------------

void on_network_status_cb(const IpcReply &reply)
{
    json_object *list = json_object_new_array();
    for (size_t i = 0; i < reply.count; i++) {
        const NetPortStatus p = record_at<NetPortStatus>(reply, i);
        json_object *o = json_object_new_object();
        json_add_field(o, "ifname", p.ifname);
        json_add_int(o, "id", p.id);
        json_add_int(o, "state", p.state);
        json_add_int(o, "speedMode", p.speed_mode);
        json_add_int(o, "duplex", p.duplex);
        json_add_int(o, "enable", p.enable);
        json_add_int(o, "dhcpEnable", p.dhcp_enable);
        json_add_field(o, "ipAddr", p.ip_addr);
        json_add_field(o, "MAC", p.mac);
        json_add_field(o, "primaryDNS", p.primary_dns);
        json_add_field(o, "secondDNS", p.second_dns);
        json_add_field(o, "gateway", p.gateway);
        json_add_field(o, "netmask", p.netmask);
        json_add_int(o, "mtu", p.mtu);
        json_add_int(o, "ip6mode", p.ip6_mode);
        json_add_field(o, "ip6address", p.ip6_address);
        json_add_int(o, "ip6prefix", p.ip6_prefix);
        json_add_field(o, "ip6gateway", p.ip6_gateway);
        json_object_array_add(list, o);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "netif", list);
    answer_json(o);
}

void on_network_traffic_cb(const IpcReply &reply)
{
    json_object *list = json_object_new_array();
    for (size_t i = 0; i < reply.count; i++) {
        const NetPortTraffic t = record_at<NetPortTraffic>(reply, i);
        json_object *o = json_object_new_object();
        json_add_int(o, "id", t.id);
        json_add_field(o, "ifname", t.ifname);
        json_add_int(o, "RxSpeed", t.rx_speed);
        json_add_int(o, "TxSpeed", t.tx_speed);
        json_object_array_add(list, o);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "netif", list);
    answer_json(o);
}

// ---- /8002: cameras ---------------------------------------------------------------------------

// {"res": {"width", "height"}, "framerate", "bitrate", "connection",
// "connectStatus"}, with "--" for a channel the daemon did not report.
json_object *stream_json(const CamStreamInfo *s)
{
    auto value = [&](int v) { return s ? json_object_new_int(v) : json_object_new_string("--"); };
    json_object *res = json_object_new_object();
    json_object_object_add(res, "width", value(s ? s->width : 0));
    json_object_object_add(res, "height", value(s ? s->height : 0));
    json_object *o = json_object_new_object();
    json_object_object_add(o, "res", res);
    json_object_object_add(o, "framerate", value(s ? s->framerate : 0));
    json_object_object_add(o, "bitrate", value(s ? s->bitrate : 0));
    json_object_object_add(o, "connection", value(s ? s->connection : 0));
    json_object_object_add(o, "connectStatus", value(s ? s->connect_status : 0));
    return o;
}

void on_camera_status_cb(const IpcReply &reply)
{
    json_object *list = json_object_new_array();
    size_t next = 0;
    for (int ch = 0; ch < g_channels.count; ch++) {
        json_object *o = json_object_new_object();
        add_channel_facts(o, ch);
        json_add_int(o, "enable", g_channels.enable[ch]);
        json_add_text(o, "ipAddr", g_channels.ip[ch]);
        // The records come in channel order; one of an earlier channel is
        // passed over.
        while (next < reply.count && record_at<CamStreamState>(reply, next).channel < ch) next++;
        if (next < reply.count && record_at<CamStreamState>(reply, next).channel == ch) {
            const CamStreamState s = record_at<CamStreamState>(reply, next++);
            json_add_int(o, "recordOn", s.record_on);
            json_add_int(o, "alarmOn", s.alarm_on);
            json_object_object_add(o, "main", stream_json(&s.main));
            json_object_object_add(o, "sub", stream_json(&s.sub));
        } else {
            json_add_text(o, "recordOn", "--");
            json_add_text(o, "alarmOn", "--");
            json_object_object_add(o, "main", stream_json(nullptr));
            json_object_object_add(o, "sub", stream_json(nullptr));
        }
        json_object_array_add(list, o);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "IPC", list);
    answer_json(o);
}

// ---- /8003: alarms ---------------------------------------------------------------------------

struct AlarmFacts {
    CamAlarmInNames in_names;
    CamAlarmOutNames out_names;
    AlarmInRecord inputs[ALARM_IN_COUNT];
    AlarmOutRecord outputs[ALARM_OUT_COUNT];
    int input_count;
    int output_count;
};
AlarmFacts g_alarms;

int capped_param(const char *key, int dflt, int max)
{
    const int n = get_param_int(kDb, key, dflt);
    return n < 0 ? 0 : n > max ? max : n;
}

void read_alarm_facts()
{
    read_channel_facts();
    memset(&g_alarms, 0, sizeof g_alarms);
    read_alarm_chnIn_event_names(kDb, &g_alarms.in_names);
    read_alarm_chnOut_event_names(kDb, &g_alarms.out_names);
    int count = 0;
    read_alarm_ins(kDb, g_alarms.inputs, &count);
    read_alarm_outs(kDb, g_alarms.outputs, &count);
    g_alarms.input_count = capped_param("alarm_in", ALARM_IN_COUNT, ALARM_IN_COUNT);
    g_alarms.output_count = capped_param("alarm_out", ALARM_OUT_COUNT, ALARM_OUT_COUNT);
}

// Bit `ch` of the mask in words w and w + 1 (low word first).
int mask_bit(const AlarmStateReply &r, int w, int ch)
{
    const uint64_t mask = static_cast<uint32_t>(r.words[w]) | static_cast<uint64_t>(static_cast<uint32_t>(r.words[w + 1])) << 32;
    return static_cast<int>((mask >> ch) & 1);
}

void on_alarm_status_cb(const IpcReply &reply)
{
    static AlarmStateReply r; // 67 KB
    memcpy(&r, reply.payload, sizeof r);
    static const struct {
        const char *key;
        int word;
    } kMasks[] = {{"videolossOn", ASW_VIDEO_LOSS}, {"motionOn", ASW_MOTION},         {"entrance", ASW_ENTRANCE},
                  {"exiting", ASW_EXITING},        {"advancedMotion", ASW_ADVANCED_MOTION},
                  {"tampering", ASW_TAMPERING},    {"lineCrossing", ASW_LINE_CROSSING},
                  {"loitering", ASW_LOITERING},    {"humanDetection", ASW_HUMAN},   {"objectleftremove", ASW_OBJECT}};
    json_object *cams = json_object_new_array();
    char key[32];
    for (int ch = 0; ch < g_channels.count; ch++) {
        json_object *o = json_object_new_object();
        add_channel_facts(o, ch);
        json_add_text(o, "ipAddr", g_channels.ip[ch]);
        for (const auto &m : kMasks) {
            json_add_int(o, m.key, mask_bit(r, m.word, ch));
            if (m.word == ASW_MOTION) json_add_int(o, "ioOn", 1);
        }
        json_add_int(o, "in", r.words[ASW_CHANNEL_IN + 2 * ch]);
        json_add_int(o, "out", r.words[ASW_CHANNEL_IN + 2 * ch + 1]);
        for (int p = 0; p < CAM_ALARM_IN_COUNT; p++) {
            const CamAlarmInName &n = g_alarms.in_names.names[ch * CAM_ALARM_IN_COUNT + p];
            snprintf(key, sizeof key, "AlarmInName%d", p);
            json_add_field(o, key, n.name);
            snprintf(key, sizeof key, "AlarmInType%d", p);
            json_add_int(o, key, mask_bit(r, ASW_CAM_IN_TYPE + 2 * p, ch));
            snprintf(key, sizeof key, "AlarmInState%d", p);
            json_add_int(o, key, mask_bit(r, ASW_CAM_IN_STATE + 2 * p, ch));
        }
        for (int p = 0; p < CAM_ALARM_OUT_COUNT; p++) {
            const CamAlarmOutName &n = g_alarms.out_names.names[ch * CAM_ALARM_OUT_COUNT + p];
            snprintf(key, sizeof key, "AlarmOutName%d", p);
            json_add_field(o, key, n.name);
            snprintf(key, sizeof key, "AlarmOutDelay%d", p);
            json_add_int(o, key, n.delay_time);
            snprintf(key, sizeof key, "AlarmOutType%d", p);
            json_add_int(o, key, mask_bit(r, ASW_CAM_OUT_TYPE + 2 * p, ch));
            snprintf(key, sizeof key, "AlarmOutState%d", p);
            json_add_int(o, key, mask_bit(r, ASW_CAM_OUT_STATE + 2 * p, ch));
        }
        json_object_array_add(cams, o);
    }
    json_object *ins = json_object_new_array();
    for (int i = 0; i < g_alarms.input_count; i++) {
        json_object *o = json_object_new_object();
        json_add_int(o, "id", i);
        json_add_field(o, "name", g_alarms.inputs[i].name);
        json_add_int(o, "type", g_alarms.inputs[i].type);
        json_add_int(o, "state", (static_cast<uint32_t>(r.words[ASW_NVR_INPUTS]) >> i) & 1);
        json_object_array_add(ins, o);
    }
    json_object *outs = json_object_new_array();
    for (int i = 0; i < g_alarms.output_count; i++) {
        json_object *o = json_object_new_object();
        json_add_int(o, "id", i);
        json_add_field(o, "name", g_alarms.outputs[i].name);
        json_add_int(o, "type", g_alarms.outputs[i].type);
        json_add_int(o, "duration", g_alarms.outputs[i].duration_time);
        json_add_int(o, "state", (static_cast<uint32_t>(r.words[ASW_NVR_OUTPUTS]) >> i) & 1);
        json_object_array_add(outs, o);
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "cameras", cams);
    json_object_object_add(o, "alarmIn", ins);
    json_object_object_add(o, "alarmOut", outs);
    answer_json(o);
}

// ---- /8008, /8009, /8011 ---------------------------------------------------------------------------

void on_storage_summary_cb(const IpcReply &reply)
{
    const StorageSummary s = record_at<StorageSummary>(reply, 0);
    json_object *o = json_object_new_object();
    json_add_int(o, "total", s.total);
    json_add_int(o, "free", s.free);
    json_add_int(o, "used", s.used);
    answer_json(o);
}

void on_poe_support_cb(const IpcReply &reply)
{
    char support[POE_RECORDS + 1], type[POE_RECORDS + 1];
    memset(support, '0', POE_RECORDS);
    memset(type, '0', POE_RECORDS);
    support[POE_RECORDS] = type[POE_RECORDS] = '\0';
    for (size_t i = 0; i < reply.count && i < POE_RECORDS; i++) {
        const PoeSupport p = record_at<PoeSupport>(reply, i);
        if (p.support == 1) support[i] = '1';
        if (p.type == 1 || p.type == 2) type[i] = static_cast<char>('0' + p.type);
    }
    json_object *o = json_object_new_object();
    json_add_text(o, "support", support);
    json_add_text(o, "type", type);
    answer_json(o);
}

void on_online_users_cb(const IpcReply &reply)
{
    json_object *list = json_object_new_array();
    for (size_t i = 0; i < reply.count; i++) {
        const OnlineUser u = record_at<OnlineUser>(reply, i);
        json_object *o = json_object_new_object();
        json_add_field(o, "userName", u.user_name);
        json_add_int(o, "userLevel", u.user_level);
        json_add_field(o, "ipaddr", u.ip_addr);
        json_add_field(o, "loginTime", u.login_time);
        json_object_array_add(list, o);
    }
    answer_json(list);
}

#define R(request) STATUS_REPLY(request)
const IpcReplyRoute kStatusReplies[] = {
    {R(IPC_STATUS_NETWORK), sizeof(NetPortStatus), on_network_status_cb, SHORT_WAIT, nullptr},
    {R(IPC_STATUS_TRAFFIC), sizeof(NetPortTraffic), on_network_traffic_cb, SHORT_WAIT, nullptr},
    {R(IPC_STATUS_CAMERAS), sizeof(CamStreamState), on_camera_status_cb, SHORT_WAIT, nullptr},
    // A reply short of the whole state is an error, never read.
    {R(IPC_STATUS_ALARMS), sizeof(AlarmStateReply), on_alarm_status_cb, REPLY_JSON, nullptr},
    {R(IPC_STATUS_STORAGE), sizeof(StorageSummary), on_storage_summary_cb, SHORT_WAIT, nullptr},
    {R(IPC_STATUS_POE), sizeof(PoeSupport), on_poe_support_cb, SHORT_WAIT, nullptr},
    {R(IPC_STATUS_USERS), sizeof(OnlineUser), on_online_users_cb, SHORT_WAIT, nullptr},
    {R(IPC_DIAGNOSIS_EXPORT), DIAGNOSIS_REPLY_HEAD, on_diagnosis_cb, SHORT_PASS, nullptr},
};
#undef R
} // namespace

void on_status_ipc_callback(int, const void *header, const void *payload)
{
    IPC_DISPATCH(kStatusReplies, "dispatchreq", header, payload);
}

int on_get_network_status(char *) { return request(IPC_STATUS_NETWORK); }
int on_get_network_traffic(char *) { return request(IPC_STATUS_TRAFFIC); }
int on_get_storage_summary(char *) { return request(IPC_STATUS_STORAGE); }
int on_get_poe_support(char *) { return request(IPC_STATUS_POE); }
int on_cgi_get_online_user_status(char *) { return request(IPC_STATUS_USERS); }
int on_status_noop(char *) { return 0; }

int on_get_camera_status(char *)
{
    read_channel_facts();
    return request(IPC_STATUS_CAMERAS);
}

int on_get_alarm_status(char *)
{
    read_alarm_facts();
    return request(IPC_STATUS_ALARMS);
}

// ---- /8010: disk groups and disks (settings only) ----------------------------------------------

int on_get_disk_channel_info(char *)
{
    json_object *groups = json_object_new_array();
    GroupRecord g[DISK_GROUPS] = {};
    int count = 0;
    if (read_disk_groups(kDb, g, &count) != 0) count = 0;
    for (int i = 0; i < DISK_GROUPS; i++) {
        char text[sizeof g[i].channels + 1] = "";
        if (i < count) copy_field(text, sizeof text, g[i].channels, sizeof g[i].channels);
        json_object_array_add(groups, json_object_new_string(text));
    }
    // Ports 1..36: the group + 1 of a disk in use, else 0.
    std::vector<DiskRecord> disks(DISK_KEYS);
    if (read_disks(kDb, disks.data(), DISK_KEYS, &count) != 0) count = 0;
    json_object *list = json_object_new_array();
    for (int port = 1; port <= DISK_PORT_MAX; port++) {
        const bool used = port < count && disks[port].configured == 1;
        json_object_array_add(list, json_object_new_int(used ? disks[port].group + 1 : 0));
    }
    json_object *o = json_object_new_object();
    json_object_object_add(o, "channel", groups);
    json_object_object_add(o, "disk", list);
    json_add_int(o, "max_chan", get_param_int(kDb, "max_cameras", 32));
    json_add_int(o, "group_enable", get_param_int(kDb, "group_mode", 0));
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}
