// Replies of the camera OSD, privacy mask and plate recognition requests.
// The simulator keeps, per camera (channel 0..63) and while it runs, the
// camera's OSD, its privacy masks, its recognition settings and its plate
// wildcards: a set changes the camera's store, a get answers from it. A
// camera nobody set yet answers its factory settings.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "common/records/lpr.h"
#include "common/records/osd_camera.h"
#include "sim.h"

namespace {
enum { CAMERAS = 64, SIM_MASKS = 8 };

struct Camera {
    CamOsdRecord osd;
    CamMaskReply masks;
    AnprSettingsRecord anpr;
    AnprWildcardRecord wildcards;
};

std::mutex g_mu;
Camera *g_cameras[CAMERAS] = {};

int32_t first_int(const SimRequest &req)
{
    int32_t v = -1;
    if (req.payload.size() >= sizeof v) memcpy(&v, req.payload.data(), sizeof v);
    return v;
}

bool valid(int channel) { return channel >= 0 && channel < CAMERAS; }

// The store of a camera, made with its factory settings on first use.
// Under g_mu; channel 0..63.
Camera &camera(int channel)
{
    Camera *&c = g_cameras[channel];
    if (c) return *c;
    c = new Camera();
    c->osd.ch = channel;
    c->osd.enable_text = 1;
    snprintf(c->osd.text_name, sizeof c->osd.text_name, "CAM%d", channel + 1);
    c->osd.enable_date = 1;
    c->osd.datepos = 1;
    c->osd.font_size = 2;
    c->masks.id = channel;
    c->masks.cgi_sdk_flag = 1;
    snprintf(c->masks.sdk_version, sizeof c->masks.sdk_version, "sim-1.0");
    c->masks.max_ptz_zoom_ratio = 1;
    snprintf(c->masks.color_list, sizeof c->masks.color_list, "0;1;2");
    c->masks.color_support = 1;
    c->masks.max_mask_sum = SIM_MASKS;
    for (int i = 0; i < CAM_MASK_AREAS; i++) c->masks.area[i].area_id = i;
    c->anpr.chnid = channel;
    c->anpr.resolution_width = 1920;
    c->anpr.resolution_height = 1080;
    c->anpr.confidence = 80;
    c->wildcards.channel = channel;
    c->wildcards.max_plate_char_num = 8;
    return *c;
}

// ---- OSD ---------------------------------------------------------------------------------

// 3210: the camera takes the OSD (status 0); an unknown channel has no
// camera that could (-1, no support).
std::string osd_set(const SimRequest &req)
{
    CamOsdRecord rec = sim_request_as<CamOsdRecord>(req);
    if (!valid(rec.ch)) return qx_le32_bytes(-1);
    std::lock_guard<std::mutex> lock(g_mu);
    camera(rec.ch).osd = rec;
    return qx_le32_bytes(0);
}

// 3211: the camera's OSD; a channel without a camera answers ch -1.
std::string osd_get(const SimRequest &req)
{
    int32_t channel = first_int(req);
    if (!valid(channel)) {
        CamOsdRecord none{};
        none.ch = -1;
        return sim_bytes_of(none);
    }
    std::lock_guard<std::mutex> lock(g_mu);
    return sim_bytes_of(camera(channel).osd);
}

// ---- Privacy masks ------------------------------------------------------------------------

// 2509 (no reply is waited for): every listed camera takes the masks.
std::string mask_set(const SimRequest &req)
{
    CamMaskRequest rec = sim_request_as<CamMaskRequest>(req);
    std::lock_guard<std::mutex> lock(g_mu);
    for (int n = 0; n < CAMERAS; n++) {
        if (rec.channels[n] != '1') continue;
        CamMaskReply &m = camera(n).masks;
        m.enable = rec.enable;
        m.num = rec.num;
        m.area_enable = rec.area_mask_enable;
        m.mosaic_num = rec.mosaic_num;
        m.mosaic_support = rec.mosaic_support;
        for (int i = 0; i < CAM_MASK_AREAS; i++) m.area[i] = rec.area[i];
    }
    return qx_le32_bytes(0);
}

// 2508: clears one area of a camera.
std::string mask_delete(const SimRequest &req)
{
    CamMaskDelete rec = sim_request_as<CamMaskDelete>(req);
    if (!valid(rec.channel) || rec.area < 0 || rec.area >= CAM_MASK_AREAS) return qx_le32_bytes(-1);
    std::lock_guard<std::mutex> lock(g_mu);
    CamMaskArea &a = camera(rec.channel).masks.area[rec.area];
    a = CamMaskArea{};
    a.area_id = rec.area;
    return qx_le32_bytes(0);
}

// 2502: the camera's masks, one record.
std::string mask_get(const SimRequest &req)
{
    int32_t channel = first_int(req);
    if (!valid(channel)) return std::string();
    std::lock_guard<std::mutex> lock(g_mu);
    return sim_bytes_of(camera(channel).masks);
}

// 3353: the camera edits the mask when it has it (0), else -1.
std::string mask_edit(const SimRequest &req)
{
    CamMaskDelete rec = sim_request_as<CamMaskDelete>(req);
    return qx_le32_bytes(valid(rec.channel) && rec.area >= 0 && rec.area < CAM_MASK_AREAS ? 0 : -1);
}

// ---- Plate recognition --------------------------------------------------------------------

std::string anpr_settings_get(const SimRequest &req)
{
    int32_t channel = first_int(req);
    if (!valid(channel)) return std::string();
    std::lock_guard<std::mutex> lock(g_mu);
    return sim_bytes_of(camera(channel).anpr);
}

std::string anpr_settings_set(const SimRequest &req)
{
    if (req.payload.size() != sizeof(AnprSettingsRecord)) return qx_le32_bytes(-1);
    AnprSettingsRecord rec = sim_request_as<AnprSettingsRecord>(req);
    if (!valid(rec.chnid)) return qx_le32_bytes(-1);
    std::lock_guard<std::mutex> lock(g_mu);
    rec.in_night_mode = camera(rec.chnid).anpr.in_night_mode;
    camera(rec.chnid).anpr = rec;
    return qx_le32_bytes(0);
}

std::string wildcards_get(const SimRequest &req)
{
    int32_t channel = first_int(req);
    if (!valid(channel)) return std::string();
    std::lock_guard<std::mutex> lock(g_mu);
    return sim_bytes_of(camera(channel).wildcards);
}

std::string wildcards_set(const SimRequest &req)
{
    AnprWildcardRecord rec = sim_request_as<AnprWildcardRecord>(req);
    if (!valid(rec.channel)) return qx_le32_bytes(-1);
    std::lock_guard<std::mutex> lock(g_mu);
    camera(rec.channel).wildcards = rec;
    return qx_le32_bytes(0);
}

// 3293: every camera recognises plates, version 2.
std::string anpr_support(const SimRequest &req)
{
    AnprSupport s{first_int(req), 1, 2};
    return sim_bytes_of(s);
}

// 1215: no zoom lens (state 0, zoom 1).
std::string zoom_state(const SimRequest &req)
{
    CamZoomState s{first_int(req), 0, 1};
    return sim_bytes_of(s);
}
} // namespace

SIM_REPLY(IPC_CAM_OSD_SET, osd_set);
SIM_REPLY(IPC_CAM_OSD_GET, osd_get);
SIM_REPLY(IPC_CAM_MASK_SET, mask_set);
SIM_REPLY(IPC_CAM_MASK_DELETE, mask_delete);
SIM_REPLY(IPC_CAM_MASK_GET, mask_get);
SIM_REPLY(IPC_CAM_MASK_EDIT, mask_edit);
SIM_REPLY(IPC_ANPR_SETTINGS_GET, anpr_settings_get);
SIM_REPLY(IPC_ANPR_SETTINGS_SET, anpr_settings_set);
SIM_REPLY(IPC_ANPR_WILDCARDS_GET, wildcards_get);
SIM_REPLY(IPC_ANPR_WILDCARDS_SET, wildcards_set);
SIM_REPLY(IPC_ANPR_SUPPORT, anpr_support);
SIM_REPLY(IPC_CAM_ZOOM_STATE, zoom_state);
