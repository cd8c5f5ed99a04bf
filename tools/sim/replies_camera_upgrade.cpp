// Replies of the camera upgrade and the device queries. A multi-camera
// upgrade (3379) starts a run over the channels asked for; every status
// query (3386) then reports each channel's progress in percent, advancing
// with the time since the start (later channels a little behind) until all
// are at 100.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "common/records/camera_upgrade.h"
#include "sim.h"

namespace {

template <class T> std::string bytes_of(const T &rec)
{
    return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}

struct UpgradeRun {
    std::mutex mu;
    uint64_t channels = 0;
    std::chrono::steady_clock::time_point started;
};
UpgradeRun &run()
{
    static UpgradeRun r;
    return r;
}

enum { PERCENT_PER_SECOND = 50, CHANNEL_LAG_PERCENT = 10 };

UpgradeStatus progress()
{
    UpgradeRun &r = run();
    std::lock_guard<std::mutex> lock(r.mu);
    UpgradeStatus st{};
    st.channels = r.channels;
    long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - r.started).count();
    int rank = 0;
    for (int i = 0; i < UPGRADE_CHANNELS; i++) {
        if (!((r.channels >> i) & 1)) continue;
        long long p = ms * PERCENT_PER_SECOND / 1000 - rank++ * CHANNEL_LAG_PERCENT;
        st.status[i] = static_cast<int32_t>(p < 0 ? 0 : p > 100 ? 100 : p);
    }
    return st;
}

std::string upgrade_start(const SimRequest &req)
{
    UpgradeRequest in{};
    if (req.payload.size() >= sizeof in) memcpy(&in, req.payload.data(), sizeof in);
    {
        UpgradeRun &r = run();
        std::lock_guard<std::mutex> lock(r.mu);
        r.channels = in.channels;
        r.started = std::chrono::steady_clock::now();
    }
    return bytes_of(progress());
}

std::string upgrade_status(const SimRequest &) { return bytes_of(progress()); }

// Recordings on every third day of any month.
std::string record_days(const SimRequest &)
{
    RecordDaysReply r{};
    for (int d = 0; d < 31; d++) r.days[d] = d % 3 == 0;
    return bytes_of(r) + std::string(4, '\0');
}

std::string gui_command(const SimRequest &req)
{
    GuiCommand cmd{};
    memcpy(cmd.text, req.payload.data(), req.payload.size() < sizeof cmd.text ? req.payload.size() : sizeof cmd.text);
    cmd.text[sizeof cmd.text - 1] = '\0';
    return std::string(GUI_RESULT_OFFSET, '\0') + "done: " + cmd.text;
}

std::string chip_code(const SimRequest &) { return std::string("SIM-3516DV300\0", 14); }

// Channels 1 and 4 in motion.
std::string motion_state(const SimRequest &)
{
    uint64_t mask = (1ULL << 1) | (1ULL << 4);
    return bytes_of(mask);
}

std::string camera_type(const SimRequest &req)
{
    CameraTypeReply r{};
    if (req.payload.size() >= 4) memcpy(&r.channel, req.payload.data(), 4);
    snprintf(r.ip, sizeof r.ip, "192.168.1.%d", 101 + (r.channel & 63));
    snprintf(r.model, sizeof r.model, "SIM-IPC2140");
    snprintf(r.fw_version, sizeof r.fw_version, "V5.2.1");
    return bytes_of(r);
}

} // namespace

SIM_REPLY(IPC_UPGRADE_START, upgrade_start);
SIM_REPLY(IPC_UPGRADE_STATUS, upgrade_status);
SIM_REPLY(IPC_RECORD_DAYS, record_days);
SIM_REPLY(IPC_GUI_COMMAND, gui_command);
SIM_REPLY(IPC_CHIP_CODE, chip_code);
SIM_REPLY(IPC_MOTION_STATE, motion_state);
SIM_REPLY(IPC_CAMERA_TYPE, camera_type);
