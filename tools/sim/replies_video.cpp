// Replies of the video module's waiting requests.
#include <cstring>

#include "common/records/motion.h"
#include "sim.h"

namespace {
enum { SIM_GRID_ROWS = 18, SIM_GRID_COLUMNS = 16 };

// Motion map of the camera on the requested channel: detection on over the
// whole picture (every grid cell '1'), medium sensitivity, a plain camera.
std::string motion_map(const SimRequest &req)
{
    MotionMapRecord rec{};
    int32_t channel = 0;
    if (req.payload.size() >= sizeof channel) memcpy(&channel, req.payload.data(), sizeof channel);
    rec.enable = 1;
    memset(rec.map, '1', SIM_GRID_ROWS * SIM_GRID_COLUMNS);
    rec.sensitivity = 50;
    rec.channel = channel;
    rec.result = 0;
    return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}
} // namespace

SIM_REPLY(IPC_MOTION_MAP, motion_map);
