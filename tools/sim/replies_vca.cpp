// Replies of the cameras' video content analysis, camera-side detectors,
// fisheye modes and regional people counting. Each simulated camera keeps
// the analysis records it is sent, so that a setting read back after a set
// is the one that was set, for as long as the simulator runs. A camera that
// was told nothing answers a plain record: everything off, a 1920 x 1080
// frame.
#include <cstring>
#include <mutex>
#include <string>

#include "common/records/vca.h"
#include "sim.h"

namespace {
enum { SIM_CHANNELS = 64, SIM_FRAME_W = 1920, SIM_FRAME_H = 1080 };

std::mutex g_mu;
// Stored records per channel, by the get code that reads them.
std::map<int, std::string> g_store[SIM_CHANNELS];

int channel_of(const SimRequest &req, size_t offset = 0)
{
    if (req.payload.size() < offset + 4) return -1;
    const int ch = static_cast<int>(qx_get_le32(req.payload.data(), offset));
    return ch >= 0 && ch < SIM_CHANNELS ? ch : -1;
}

std::string status(int32_t s) { return std::string(reinterpret_cast<const char *>(&s), sizeof s); }

// The record a camera answers before it was told anything.
template <class T> std::string plain(int channel)
{
    T rec{};
    rec.channel = channel;
    return sim_bytes_of(rec);
}
template <class T> std::string plain_framed(int channel)
{
    T rec{};
    rec.channel = channel;
    rec.width = SIM_FRAME_W;
    rec.height = SIM_FRAME_H;
    return sim_bytes_of(rec);
}

// A get/set pair: the set stores its record (of the get's size) under the
// get code; `frame` keeps the camera's frame size over what the set sent
// (the frame is the camera's, not the page's).
struct Pair {
    int get;
    int set;
    size_t size;
    std::string (*initial)(int channel);
    bool frame;
};
const Pair kPairs[] = {
    {IPC_VCA_REGION0_GET, IPC_VCA_REGION0_SET, sizeof(VcaAnalysisRecord), plain<VcaAnalysisRecord>, false},
    {IPC_VCA_REGION1_GET, IPC_VCA_REGION1_SET, sizeof(VcaAnalysisRecord), plain<VcaAnalysisRecord>, false},
    {IPC_VCA_MOTION_GET, IPC_VCA_MOTION_SET, sizeof(VcaAnalysisRecord), plain<VcaAnalysisRecord>, false},
    {IPC_VCA_TAMPER_GET, IPC_VCA_TAMPER_SET, sizeof(VcaAnalysisRecord), plain<VcaAnalysisRecord>, false},
    {IPC_VCA_LINE_GET, IPC_VCA_LINE_SET, sizeof(VcaLineRecord), plain_framed<VcaLineRecord>, true},
    {IPC_VCA_LOITER_GET, IPC_VCA_LOITER_SET, sizeof(VcaAnalysisRecord), plain<VcaAnalysisRecord>, false},
    {IPC_VCA_HUMAN_GET, IPC_VCA_HUMAN_SET, sizeof(VcaAnalysisRecord), plain<VcaAnalysisRecord>, false},
    {IPC_VCA_PEOPLE_GET, IPC_VCA_PEOPLE_SET, sizeof(VcaPeopleRecord), plain_framed<VcaPeopleRecord>, true},
    {IPC_VCA_SETTINGS_GET, IPC_VCA_SETTINGS_SET, sizeof(VcaSettingsRecord), plain_framed<VcaSettingsRecord>, false},
    {IPC_VCA_LEFT_REMOVED_GET, IPC_VCA_LEFT_REMOVED_SET, sizeof(VcaLeftRemovedRecord), plain<VcaLeftRemovedRecord>,
     false},
    {IPC_VCA_LINE2_GET, IPC_VCA_LINE2_SET, sizeof(VcaLine2Record), plain_framed<VcaLine2Record>, true},
    {IPC_VCA_SETTINGS2_GET, IPC_VCA_SETTINGS2_SET, sizeof(VcaSettings2Record), plain_framed<VcaSettings2Record>,
     false},
    {IPC_FISHEYE_MODE_GET, IPC_FISHEYE_MODE_SET, sizeof(FisheyeMode), plain<FisheyeMode>, false},
};

const Pair *pair_of(int code)
{
    for (const Pair &p : kPairs)
        if (p.get == code || p.set == code) return &p;
    return nullptr;
}

// The stored record of (channel, get code), made when missing.
std::string &stored(int channel, int get, std::string (*initial)(int))
{
    std::string &rec = g_store[channel][get];
    if (rec.empty()) rec = initial(channel);
    return rec;
}

std::string analysis_get(const SimRequest &req)
{
    const Pair *p = pair_of(req.code);
    const int ch = channel_of(req);
    if (!p || ch < 0) return std::string();
    std::lock_guard<std::mutex> lock(g_mu);
    return stored(ch, p->get, p->initial);
}

// Frame width and height of the framed records, at 4/8 (people) or 8/12.
size_t frame_offset(int get) { return get == IPC_VCA_PEOPLE_GET ? 4 : 8; }

std::string analysis_set(const SimRequest &req)
{
    const Pair *p = pair_of(req.code);
    const int ch = channel_of(req);
    if (!p || ch < 0 || req.payload.size() != p->size) return status(-1);
    std::lock_guard<std::mutex> lock(g_mu);
    std::string &rec = stored(ch, p->get, p->initial);
    std::string next = req.payload;
    if (p->frame) next.replace(frame_offset(p->get), 8, rec, frame_offset(p->get), 8);
    if (p->get == IPC_FISHEYE_MODE_GET) next.replace(16, 4, status(0)); // the camera's result
    rec = next;
    return status(0);
}

// ---- Camera I/O and sound detection: the set carries the camera's part -----------------------

template <class Reply> std::string detector_initial(int channel)
{
    Reply rec{};
    rec.channel = channel;
    return sim_bytes_of(rec);
}

std::string cameraio_get(const SimRequest &req)
{
    const int ch = channel_of(req);
    if (ch < 0) return std::string();
    std::lock_guard<std::mutex> lock(g_mu);
    return stored(ch, IPC_CAMERAIO_GET, detector_initial<CameraIoReply>);
}

std::string cameraio_set(const SimRequest &req)
{
    const int ch = channel_of(req);
    if (ch < 0 || req.payload.size() != sizeof(CameraIoSet)) return status(-1);
    const CameraIoSet set = sim_request_as<CameraIoSet>(req);
    std::lock_guard<std::mutex> lock(g_mu);
    std::string &bytes = stored(ch, IPC_CAMERAIO_GET, detector_initial<CameraIoReply>);
    CameraIoReply rec{};
    memcpy(&rec, bytes.data(), sizeof rec);
    rec.enable = set.enable;
    rec.type = set.type;
    bytes = sim_bytes_of(rec);
    return status(0);
}

std::string volume_get(const SimRequest &req)
{
    const int ch = channel_of(req);
    if (ch < 0) return std::string();
    std::lock_guard<std::mutex> lock(g_mu);
    return stored(ch, IPC_VOLUMEDETECT_GET, detector_initial<VolumeDetectReply>);
}

std::string volume_set(const SimRequest &req)
{
    const int ch = channel_of(req);
    if (ch < 0 || req.payload.size() != sizeof(VolumeDetectSet)) return status(-1);
    const VolumeDetectSet set = sim_request_as<VolumeDetectSet>(req);
    std::lock_guard<std::mutex> lock(g_mu);
    std::string &bytes = stored(ch, IPC_VOLUMEDETECT_GET, detector_initial<VolumeDetectReply>);
    VolumeDetectReply rec{};
    memcpy(&rec, bytes.data(), sizeof rec);
    rec.enable = set.enable;
    rec.type = set.type;
    rec.v = set.v;
    bytes = sim_bytes_of(rec);
    return status(0);
}

// ---- Regional people counting: the channel is the second word ------------------------------------

std::string regional_initial(int channel)
{
    RegionalPcntRecord rec{};
    rec.channel = channel;
    return sim_bytes_of(rec);
}

std::string regional_get(const SimRequest &req)
{
    const int ch = channel_of(req);
    if (ch < 0) return std::string();
    std::lock_guard<std::mutex> lock(g_mu);
    return stored(ch, IPC_REGIONAL_PCNT_GET, regional_initial);
}

std::string regional_set(const SimRequest &req)
{
    const int ch = channel_of(req, offsetof(RegionalPcntRecord, channel));
    if (ch < 0 || req.payload.size() != sizeof(RegionalPcntRecord)) return status(-1);
    std::lock_guard<std::mutex> lock(g_mu);
    g_store[ch][IPC_REGIONAL_PCNT_GET] = req.payload;
    return status(0);
}

// ---- Fixed answers ---------------------------------------------------------------------------------

std::string support(const SimRequest &req)
{
    VcaSupportReply rec{};
    rec.channel = channel_of(req);
    rec.support = 1;
    rec.type = 1;
    return sim_bytes_of(rec);
}

// Any camera answered as a fisheye camera with two streams.
std::string fisheye_check(const SimRequest &)
{
    FisheyeSupport rec{1, 0, 0, 0, 2};
    return sim_bytes_of(rec);
}

std::string done(const SimRequest &) { return status(0); }
} // namespace

SIM_REPLY(IPC_VCA_REGION0_GET, analysis_get);
SIM_REPLY(IPC_VCA_REGION1_GET, analysis_get);
SIM_REPLY(IPC_VCA_MOTION_GET, analysis_get);
SIM_REPLY(IPC_VCA_TAMPER_GET, analysis_get);
SIM_REPLY(IPC_VCA_LINE_GET, analysis_get);
SIM_REPLY(IPC_VCA_LOITER_GET, analysis_get);
SIM_REPLY(IPC_VCA_HUMAN_GET, analysis_get);
SIM_REPLY(IPC_VCA_PEOPLE_GET, analysis_get);
SIM_REPLY(IPC_VCA_SETTINGS_GET, analysis_get);
SIM_REPLY(IPC_VCA_LEFT_REMOVED_GET, analysis_get);
SIM_REPLY(IPC_VCA_LINE2_GET, analysis_get);
SIM_REPLY(IPC_VCA_SETTINGS2_GET, analysis_get);
SIM_REPLY(IPC_FISHEYE_MODE_GET, analysis_get);
SIM_REPLY(IPC_VCA_REGION0_SET, analysis_set);
SIM_REPLY(IPC_VCA_REGION1_SET, analysis_set);
SIM_REPLY(IPC_VCA_MOTION_SET, analysis_set);
SIM_REPLY(IPC_VCA_TAMPER_SET, analysis_set);
SIM_REPLY(IPC_VCA_LINE_SET, analysis_set);
SIM_REPLY(IPC_VCA_LOITER_SET, analysis_set);
SIM_REPLY(IPC_VCA_HUMAN_SET, analysis_set);
SIM_REPLY(IPC_VCA_PEOPLE_SET, analysis_set);
SIM_REPLY(IPC_VCA_SETTINGS_SET, analysis_set);
SIM_REPLY(IPC_VCA_LEFT_REMOVED_SET, analysis_set);
SIM_REPLY(IPC_VCA_LINE2_SET, analysis_set);
SIM_REPLY(IPC_VCA_SETTINGS2_SET, analysis_set);
SIM_REPLY(IPC_FISHEYE_MODE_SET, analysis_set);
SIM_REPLY(IPC_CAMERAIO_GET, cameraio_get);
SIM_REPLY(IPC_CAMERAIO_SET, cameraio_set);
SIM_REPLY(IPC_VOLUMEDETECT_GET, volume_get);
SIM_REPLY(IPC_VOLUMEDETECT_SET, volume_set);
SIM_REPLY(IPC_REGIONAL_PCNT_GET, regional_get);
SIM_REPLY(IPC_REGIONAL_PCNT_SET, regional_set);
SIM_REPLY(IPC_VCA_SUPPORT, support);
SIM_REPLY(IPC_VCA_PEOPLE_CLEAR, done);
SIM_REPLY(IPC_FISHEYE_CHECK, fisheye_check);
SIM_REPLY(IPC_FISHEYE_SET, done);
