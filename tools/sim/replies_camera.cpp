// Replies of the camera requests: a small network of cameras for the search,
// the connected-camera list (the channels configured in the device's settings
// database, and three demonstration cameras on channels 1 to 3 while those
// channels were never configured), connection tests, network changes and
// model queries.
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "platform/device_path.h"
#include "common/records/camera.h"
#include "common/web_utils.h"
#include "sim.h"

namespace {

struct SimCamera {
    int channel; // -1: on the network only
    const char *ip;
    const char *mac;
    int port;
    int protocol;
    const char *vendor;
    const char *model;
    const char *fw;
    const char *sn;
    const char *name;
};

// The cameras a search finds; the first three are also connected on
// channels 0..2 of a fresh device.
const SimCamera kNetwork[] = {
    {0, "192.168.1.101", "00:1A:7C:10:01:01", 80, CAM_PROTO_ONVIF, "Tarnvelle", "TV-IPC2140", "V5.2.1",
     "TV2140A0001", "Gate"},
    {1, "192.168.1.102", "00:1A:7C:10:01:02", 80, CAM_PROTO_ONVIF, "Tarnvelle", "TV-IPC4280", "V5.2.1",
     "TV4280A0002", "Yard"},
    {2, "192.168.1.103", "00:1A:7C:10:01:03", 8000, 2, "Tarnvelle", "TV-PTZ2200", "V3.0.7", "TV2200B0003",
     "Hall"},
    {-1, "192.168.1.120", "00:1A:7C:10:01:20", 80, CAM_PROTO_ONVIF, "Brightfold", "BF-D31", "2.4.0",
     "BF31X0120", "Lobby"},
    {-1, "192.168.1.121", "00:1A:7C:10:01:21", 8000, 2, "Tarnvelle", "TV-IPC2140", "V5.1.9", "TV2140A0121",
     "Store room"},
};

template <class T> std::string bytes_of(const T &rec)
{
    return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}

// The device's camera records, when its settings database exists (the
// simulator never creates one).
bool read_configured(std::vector<CameraRecord> *cams)
{
    cams->assign(MAX_CAMERAS, CameraRecord{});
    std::string db = nvr_path(QXDB_PATH);
    if (db.empty() || access(db.c_str(), F_OK) != 0) return false;
    int count = 0;
    return read_cameras(QXDB_PATH, cams->data(), MAX_CAMERAS, &count) == 0 && count == MAX_CAMERAS;
}

// One connected camera per channel: a configured one (it has an address),
// else the demonstration camera of a channel that was never configured.
struct Connected {
    bool present = false;
    CameraListRecord rec{};
};

void connected_cameras(Connected (&out)[MAX_CAMERAS])
{
    std::vector<CameraRecord> cams;
    bool have_db = read_configured(&cams);
    for (int ch = 0; ch < MAX_CAMERAS; ch++) {
        CameraListRecord &r = out[ch].rec;
        r.id = ch;
        if (have_db && cams[ch].ip_addr[0]) {
            const CameraRecord &c = cams[ch];
            out[ch].present = true;
            COPY_TEXT(r.ip_addr, c.ip_addr);
            r.manage_port = c.manage_port;
            r.protocol = c.protocol;
            r.state = c.enable ? 1 : 0;
            r.connect_state = r.state;
            r.main_rtsp_port = c.main_rtsp_port ? c.main_rtsp_port : 554;
            COPY_TEXT(r.mac, c.mac_addr);
            r.poe_channel = c.poe_channel;
            r.physical_port = c.physical_port;
            r.minor_id = c.minor_id;
            COPY_TEXT(r.ddns, c.ddns);
            // What the camera says about itself, when it is one of ours.
            for (const SimCamera &n : kNetwork) {
                if (strcmp(n.ip, c.ip_addr) != 0) continue;
                COPY_TEXT(r.vendor, n.vendor);
                COPY_TEXT(r.model, n.model);
                COPY_TEXT(r.fw_version, n.fw);
                COPY_TEXT(r.sn, n.sn);
                COPY_TEXT(r.sn_real, n.sn);
                if (!r.mac[0]) COPY_TEXT(r.mac, n.mac);
            }
            continue;
        }
        bool never_configured = !have_db || (!cams[ch].deleted && !cams[ch].ip_addr[0]);
        for (const SimCamera &n : kNetwork) {
            if (n.channel != ch || !never_configured) continue;
            out[ch].present = true;
            COPY_TEXT(r.ip_addr, n.ip);
            r.manage_port = n.port;
            r.protocol = n.protocol;
            r.state = 1;
            r.connect_state = 1;
            r.main_rtsp_port = 554;
            COPY_TEXT(r.vendor, n.vendor);
            COPY_TEXT(r.model, n.model);
            COPY_TEXT(r.fw_version, n.fw);
            COPY_TEXT(r.sn, n.sn);
            COPY_TEXT(r.sn_real, n.sn);
            COPY_TEXT(r.mac, n.mac);
            COPY_TEXT(r.chip_info, "QX3516");
        }
    }
}

std::string camera_list(const SimRequest &)
{
    Connected cams[MAX_CAMERAS];
    connected_cameras(cams);
    std::string out;
    for (const Connected &c : cams)
        if (c.present) out += bytes_of(c.rec);
    return out.empty() ? qx_le32_bytes(0) : out;
}

std::string camera_search(const SimRequest &req)
{
    int protocol = req.payload.size() >= 4 ? qx_get_le32(req.payload.data(), 0) : 0;
    std::string out;
    for (const SimCamera &n : kNetwork) {
        if (n.protocol != protocol) continue;
        CameraSearchRecord r{};
        COPY_TEXT(r.ip_addr, n.ip);
        COPY_TEXT(r.mac, n.mac);
        r.manage_port = n.port;
        r.protocol = n.protocol;
        COPY_TEXT(r.vendor, n.vendor);
        COPY_TEXT(r.sn, n.sn);
        COPY_TEXT(r.fw_version, n.fw);
        COPY_TEXT(r.model, n.model);
        r.model_id = 1;
        COPY_TEXT(r.netmask, "255.255.255.0");
        COPY_TEXT(r.dns, "192.168.1.1");
        COPY_TEXT(r.gateway, "192.168.1.1");
        COPY_TEXT(r.netif, "eth0");
        r.active_status = 1;
        COPY_TEXT(r.name, n.name);
        COPY_TEXT(r.sn_real, n.sn);
        out += bytes_of(r);
    }
    // Nothing found: a reply shorter than one record.
    return out.empty() ? qx_le32_bytes(0) : out;
}

// Status of a connection test: 1 (network error) for an address nobody
// answers on, 2 (user error) without a user name, else 0.
int test_status(const char *ip, const char *user)
{
    bool known = false;
    for (const SimCamera &n : kNetwork) known = known || strcmp(n.ip, ip) == 0;
    Connected cams[MAX_CAMERAS];
    connected_cameras(cams);
    for (const Connected &c : cams) known = known || (c.present && strcmp(c.rec.ip_addr, ip) == 0);
    if (!known) return 1;
    return user[0] ? 0 : 2;
}

// Both test requests (3202, 3227) carry an address and a user name.
template <class Test> std::string camera_test(const SimRequest &req)
{
    Test t{};
    if (req.payload.size() != sizeof t) return qx_le32_bytes(3);
    memcpy(&t, req.payload.data(), sizeof t);
    char ip[sizeof t.ip_addr + 1], user[sizeof t.user_name + 1];
    copy_field(ip, sizeof ip, t.ip_addr, sizeof t.ip_addr);
    copy_field(user, sizeof user, t.user_name, sizeof t.user_name);
    return qx_le32_bytes(test_status(ip, user));
}

std::string network_change(const SimRequest &req)
{
    return qx_le32_bytes(req.payload.size() == sizeof(CameraNetworkRequest) ? 0 : 3);
}

std::string batch_result(const SimRequest &)
{
    CameraBatchResult r{};
    return bytes_of(r);
}

std::string model_type(const SimRequest &) { return qx_le32_bytes(1); }

std::string channel_models(const SimRequest &)
{
    Connected cams[MAX_CAMERAS];
    connected_cameras(cams);
    std::string out;
    for (int ch = 0; ch < MAX_CAMERAS; ch++) {
        ChannelModelEntry e{};
        e.id = ch;
        if (cams[ch].present) {
            COPY_TEXT(e.ip_addr, cams[ch].rec.ip_addr);
            COPY_TEXT(e.model, cams[ch].rec.model);
            COPY_TEXT(e.fw_version, cams[ch].rec.fw_version);
        }
        out += bytes_of(e);
    }
    return out;
}

} // namespace

SIM_REPLY(IPC_CAMERA_MODEL_TYPE, model_type);
SIM_REPLY(IPC_CHANNEL_MODELS, channel_models);
SIM_REPLY(IPC_CAMERA_SEARCH, camera_search);
SIM_REPLY(IPC_CAMERA_LIST, camera_list);
SIM_REPLY(IPC_CAMERA_TEST, camera_test<CameraTestRequest>);
SIM_REPLY(IPC_CAMERA_NETWORK, network_change);
SIM_REPLY(IPC_CAMERA_TEST2, camera_test<CameraTestRequest2>);
SIM_REPLY(IPC_CAMERA_NETWORK_RESULT, batch_result);
