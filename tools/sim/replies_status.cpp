// Replies of the status pages: one network port, the streams of the
// connected cameras, their alarm inputs and outputs as the camera alarm
// replies report them (and motion on the second camera), a storage summary,
// PoE on the first eight channels, the administrator logged in, and a
// diagnosis export that leaves a small file in /tmp.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "common/records/alarm.h"
#include "common/records/status.h"
#include "common/web_utils.h"
#include "platform/device_path.h"
#include "sim.h"
#include "sim_cameras.h"

std::vector<CameraListRecord> sim_connected_cameras()
{
    SimRequest req;
    req.code = IPC_CAMERA_LIST;
    const SimReplyList replies = sim_generate(req);
    std::vector<CameraListRecord> out;
    if (replies.empty()) return out;
    const std::string &p = replies[0].payload;
    for (size_t off = 0; off + sizeof(CameraListRecord) <= p.size(); off += sizeof(CameraListRecord)) {
        CameraListRecord r;
        memcpy(&r, p.data() + off, sizeof r);
        if (r.id >= 0 && r.id < MAX_CAMERAS) out.push_back(r);
    }
    return out;
}

namespace {
std::string network(const SimRequest &)
{
    NetPortStatus p{};
    COPY_TEXT(p.ifname, "eth0");
    p.state = 1;
    p.speed_mode = 1000;
    p.duplex = 1;
    p.enable = 1;
    COPY_TEXT(p.ip_addr, "192.168.1.100");
    COPY_TEXT(p.mac, "00:1A:7C:10:00:01");
    COPY_TEXT(p.primary_dns, "192.168.1.1");
    COPY_TEXT(p.second_dns, "8.8.8.8");
    COPY_TEXT(p.gateway, "192.168.1.1");
    COPY_TEXT(p.netmask, "255.255.255.0");
    p.mtu = 1500;
    p.ip6_mode = 1;
    COPY_TEXT(p.ip6_address, "fe80::21a:7cff:fe10:1");
    p.ip6_prefix = 64;
    return sim_bytes_of(p);
}

std::string traffic(const SimRequest &)
{
    NetPortTraffic t{};
    COPY_TEXT(t.ifname, "eth0");
    t.rx_speed = 2048000 + static_cast<int32_t>(time(nullptr) % 100) * 1000;
    t.tx_speed = 512000;
    return sim_bytes_of(t);
}

std::string cameras(const SimRequest &)
{
    std::string out;
    for (const CameraListRecord &c : sim_connected_cameras()) {
        CamStreamState s{};
        s.main = CamStreamInfo{1920, 1080, 25, 4096, 1, 0, c.connect_state};
        s.sub = CamStreamInfo{640, 360, 15, 512, 1, 0, c.connect_state};
        s.record_on = c.connect_state ? 1 : 0;
        s.channel = c.id;
        out += sim_bytes_of(s);
    }
    return out;
}

void set_bit(AlarmStateReply &r, int word, int ch)
{
    r.words[word + ch / 32] |= static_cast<int32_t>(1u << (ch % 32));
}

std::string alarms(const SimRequest &)
{
    std::unique_ptr<AlarmStateReply> state(new AlarmStateReply{}); // 67 KB, one per request
    AlarmStateReply &r = *state;
    for (const CameraListRecord &c : sim_connected_cameras()) {
        SimRequest q;
        q.payload = qx_le32_bytes(c.id);
        q.code = IPC_CAM_ALARM_IN_STATE;
        const CamAlarmInState in = sim_request_as<CamAlarmInState>(SimRequest{0, 0, sim_generate(q).at(0).payload});
        for (int p = 0; p < CAM_ALARM_IN_COUNT && p < in.count; p++) {
            if (in.status[p]) set_bit(r, ASW_CAM_IN_STATE + 2 * p, c.id);
            if (in.type[p]) set_bit(r, ASW_CAM_IN_TYPE + 2 * p, c.id);
        }
        q.code = IPC_CAM_ALARM_OUT_STATE;
        const CamAlarmOutState out = sim_request_as<CamAlarmOutState>(SimRequest{0, 0, sim_generate(q).at(0).payload});
        for (int p = 0; p < CAM_ALARM_OUT_COUNT && p < out.count; p++) {
            if (out.status[p]) set_bit(r, ASW_CAM_OUT_STATE + 2 * p, c.id);
            if (out.type[p]) set_bit(r, ASW_CAM_OUT_TYPE + 2 * p, c.id);
        }
        if (c.id == 1) set_bit(r, ASW_MOTION, c.id);
    }
    return sim_bytes_of(r);
}

std::string storage(const SimRequest &)
{
    const StorageSummary s{1907729, 1402112, 505617};
    return sim_bytes_of(s);
}

std::string poe(const SimRequest &)
{
    std::string out;
    for (int ch = 0; ch < POE_RECORDS; ch++) {
        PoeSupport p{};
        p.channel = ch;
        p.support = ch < 8 ? 1 : 0;
        p.type = ch < 8 ? 1 + ch % 2 : 0;
        out += sim_bytes_of(p);
    }
    return out;
}

std::string users(const SimRequest &)
{
    OnlineUser u{};
    COPY_TEXT(u.user_name, "admin");
    COPY_TEXT(u.ip_addr, "127.0.0.1");
    const time_t now = time(nullptr);
    struct tm tm;
    localtime_r(&now, &tm);
    strftime(u.login_time, sizeof u.login_time, "%Y-%m-%d %H:%M:%S", &tm);
    return sim_bytes_of(u);
}

// Writes the export into the requested directory (under the device root)
// and answers its path; -1 when it cannot be written.
std::string diagnosis(const SimRequest &req)
{
    const DiagnosisRequest r = sim_request_as<DiagnosisRequest>(req);
    char dir[sizeof r.directory + 1];
    copy_field(dir, sizeof dir, r.directory, sizeof r.directory);
    char path[128];
    snprintf(path, sizeof path, "%s/diagnosis_%ld.txt", dir, static_cast<long>(time(nullptr)));
    std::string reply = qx_le32_bytes(0);
    FILE *f = strstr(dir, "..") ? nullptr : fopen(nvr_path(path).c_str(), "we");
    if (!f) return reply + qx_le32_bytes(-1);
    fputs("nvrweb-sim diagnosis\nuptime: 1 day\ncameras: 3\n", f);
    fclose(f);
    return reply + qx_le32_bytes(0) + std::string(path) + std::string(1, '\0');
}
} // namespace

SIM_REPLY(IPC_STATUS_NETWORK, network);
SIM_REPLY(IPC_STATUS_TRAFFIC, traffic);
SIM_REPLY(IPC_STATUS_CAMERAS, cameras);
SIM_REPLY(IPC_STATUS_ALARMS, alarms);
SIM_REPLY(IPC_STATUS_STORAGE, storage);
SIM_REPLY(IPC_STATUS_POE, poe);
SIM_REPLY(IPC_STATUS_USERS, users);
SIM_REPLY(IPC_DIAGNOSIS_EXPORT, diagnosis);
