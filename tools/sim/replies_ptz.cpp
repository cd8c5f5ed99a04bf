// Replies of the PTZ requests: every channel keeps its presets, tours,
// patterns and basic options for as long as the simulator runs. A camera
// whose model name holds "PTZ" supports PTZ. The simulator's own command
// codes: 22 sets a preset, 23 deletes it; patterns 26 (record) and 40
// (delete) switch a pattern on and off.
#include <cstring>
#include <map>
#include <mutex>

#include "common/records/camera.h"
#include "common/records/ptz.h"
#include "sim.h"
#include "sim_cameras.h"

namespace {
enum { SIM_PRESET_DELETE = 23, SIM_PATTERN_RECORD = 26, SIM_PATTERN_DELETE = 40 };

struct Channel {
    PtzStateReply state{};
    PtzBasicRecord basic{};
};
std::mutex g_mu;
std::map<int, Channel> g_channels;

int32_t word(const SimRequest &req, size_t offset)
{
    return req.payload.size() >= offset + 4 ? qx_get_le32(req.payload.data(), offset) : 0;
}

// The channel's state, created on first use; nullptr outside 0..63.
Channel *channel(int ch)
{
    if (ch < 0 || ch >= PTZ_CHANNELS) return nullptr;
    auto it = g_channels.find(ch);
    if (it != g_channels.end()) return &it->second;
    Channel &c = g_channels[ch];
    c.basic.chn_id = ch;
    c.basic.options[7] = 5; // preset speed
    c.basic.options[8] = 5; // manual speed
    return &c;
}

std::string status_ok(const SimRequest &) { return qx_le32_bytes(0); }

std::string preset(const SimRequest &req)
{
    const PtzCommand c = sim_request_as<PtzCommand>(req);
    std::lock_guard<std::mutex> lock(g_mu);
    Channel *ch = channel(c.channel);
    if (!ch || c.number < 1 || c.number > PTZ_PRESETS) return qx_le32_bytes(-1);
    PtzPresetState &p = ch->state.presets[c.number - 1];
    if (c.action == PTZ_ACTION_PRESET_SET) {
        p.enable = 1;
        memcpy(p.name, c.name, sizeof p.name);
        p.name[sizeof p.name - 1] = '\0';
    } else if (c.action == SIM_PRESET_DELETE) {
        p = PtzPresetState{};
    }
    return qx_le32_bytes(0);
}

std::string pattern(const SimRequest &req)
{
    const PtzCommand c = sim_request_as<PtzCommand>(req);
    std::lock_guard<std::mutex> lock(g_mu);
    Channel *ch = channel(c.channel);
    if (!ch || c.number < 1 || c.number > PTZ_PATTERNS) return qx_le32_bytes(-1);
    if (c.action == SIM_PATTERN_RECORD) ch->state.patterns[c.number - 1] = 1;
    if (c.action == SIM_PATTERN_DELETE) ch->state.patterns[c.number - 1] = 0;
    return qx_le32_bytes(0);
}

// Tour `tour` (0..7) from points {preset, time, speed}.
void store_tour(Channel *ch, int tour, const PtzTourPoint *points, int count)
{
    PtzTourWords &w = ch->state.tours[tour];
    w = PtzTourWords{};
    for (int i = 0; i < count && i < PTZ_TOUR_POINTS; i++) {
        w.presets[i] = points[i].preset;
        w.times[i] = points[i].time;
        w.speeds[i] = points[i].speed;
    }
}

std::string tour_set(const SimRequest &req)
{
    const PtzTourSet s = sim_request_as<PtzTourSet>(req);
    std::lock_guard<std::mutex> lock(g_mu);
    Channel *ch = channel(s.channel);
    if (!ch || s.tour < 1 || s.tour > PTZ_TOURS) return qx_le32_bytes(-1);
    store_tour(ch, s.tour - 1, s.points, s.count);
    return qx_le32_bytes(0);
}

std::string fish_tour_set(const SimRequest &req)
{
    static PtzFishTourSet s;
    std::lock_guard<std::mutex> lock(g_mu);
    s = sim_request_as<PtzFishTourSet>(req);
    Channel *ch = channel(s.channel);
    if (!ch || s.tour < 0 || s.tour >= PTZ_TOURS) return qx_le32_bytes(-1);
    ch->state.tours[s.tour] = s.tours[s.tour];
    return qx_le32_bytes(0);
}

// Tour commands: clear (1257), run (1260), stop (1261).
template <int Code> std::string tour_command(const SimRequest &req)
{
    const PtzTourCommand t = sim_request_as<PtzTourCommand>(req);
    std::lock_guard<std::mutex> lock(g_mu);
    Channel *ch = channel(t.channel);
    if (!ch || t.tour < 1 || t.tour > PTZ_TOURS) return qx_le32_bytes(-1);
    if (Code == IPC_PTZ_TOUR_CLEAR) store_tour(ch, t.tour - 1, nullptr, 0);
    else ch->state.tour_states[0][t.tour - 1] = Code == IPC_PTZ_TOUR_RUN ? 1 : 0;
    return qx_le32_bytes(0);
}

std::string state(const SimRequest &req)
{
    std::lock_guard<std::mutex> lock(g_mu);
    Channel *ch = channel(word(req, 0));
    return ch ? sim_bytes_of(ch->state) : std::string();
}

std::string basic_get(const SimRequest &req)
{
    std::lock_guard<std::mutex> lock(g_mu);
    Channel *ch = channel(word(req, 0));
    if (!ch) return qx_le32_bytes(-1);
    return sim_bytes_of(ch->basic).substr(0, PTZ_BASIC_REPLY_SIZE);
}

std::string basic_set(const SimRequest &req)
{
    const PtzBasicRecord r = sim_request_as<PtzBasicRecord>(req);
    std::lock_guard<std::mutex> lock(g_mu);
    Channel *ch = channel(r.chn_id);
    if (!ch) return qx_le32_bytes(-1);
    memcpy(ch->basic.options, r.options, sizeof r.options);
    return qx_le32_bytes(0);
}

// 0 for a connected camera whose model is a PTZ one, else -1.
std::string support(const SimRequest &req)
{
    const int ch = word(req, 0);
    for (CameraListRecord &r : sim_connected_cameras()) {
        r.model[sizeof r.model - 1] = '\0';
        if (r.id == ch && strstr(r.model, "PTZ")) return qx_le32_bytes(0);
    }
    return qx_le32_bytes(-1);
}

std::string control(const SimRequest &) { return qx_le32_bytes(0); }

std::string led_status(const SimRequest &req)
{
    const PtzLedStatus s{word(req, 0), 0};
    return sim_bytes_of(s);
}
} // namespace

SIM_REPLY(IPC_PTZ_MOVE, status_ok);
SIM_REPLY(IPC_PTZ_PORT_CHANGED, status_ok);
SIM_REPLY(IPC_PTZ_CHANNEL_ACTION, status_ok);
SIM_REPLY(IPC_PTZ_ZOOM, status_ok);
SIM_REPLY(IPC_PTZ_PRESET, preset);
SIM_REPLY(IPC_PTZ_PATTERN, pattern);
SIM_REPLY(IPC_PTZ_TOUR_SET, tour_set);
SIM_REPLY(IPC_PTZ_FISH_TOUR_SET, fish_tour_set);
SIM_REPLY(IPC_PTZ_TOUR_CLEAR, tour_command<IPC_PTZ_TOUR_CLEAR>);
SIM_REPLY(IPC_PTZ_TOUR_RUN, tour_command<IPC_PTZ_TOUR_RUN>);
SIM_REPLY(IPC_PTZ_TOUR_STOP, tour_command<IPC_PTZ_TOUR_STOP>);
SIM_REPLY(IPC_PTZ_STATE, state);
SIM_REPLY(IPC_PTZ_STREAM_STATE, state);
SIM_REPLY(IPC_PTZ_BASIC_GET, basic_get);
SIM_REPLY(IPC_PTZ_BASIC_SET, basic_set);
SIM_REPLY(IPC_PTZ_SUPPORT, support);
SIM_REPLY(IPC_PTZ_CONTROL, control);
SIM_REPLY(IPC_PTZ_LED_STATUS, led_status);
