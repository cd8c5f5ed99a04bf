// Replies of the device information and firmware upgrade requests: the
// device facts of a 32-channel recorder, an online service that always has a
// newer firmware, downloads that stage a small stand-in firmware file, and
// upgrades that report their progress on the standard error stream and end
// with success. Files are touched only under the device root (staging files
// in its /dev/shm); nothing of the machine changes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "common/ipc.h"
#include "common/records/system_info.h"
#include "common/records/upgrade.h"
#include "common/web_utils.h"
#include "platform/device_path.h"
#include "sim.h"

namespace {

enum { kProgressSteps = 10, kProgressStepMs = 300 };

int scaled_ms(int ms) { return static_cast<int>(ms * ipc_time_scale()); }

long file_size(const std::string &host_path)
{
    struct stat st;
    return stat(host_path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// ---- Device facts -------------------------------------------------------------------------

std::string device_facts(const SimRequest &)
{
    DeviceFactsRecord f{};
    f.device_id = 1;
    f.max_cameras = 32;
    f.max_sensor = 16;
    f.max_alarm = 4;
    f.max_audio_out = 1;
    f.display_num = 2;
    f.max_rs485 = 1;
    f.max_network_lan = 2;
    f.oem_version = 0;
    f.qxddns = 1;
    COPY_TEXT(f.sn, "NV3216A2024000123");
    COPY_TEXT(f.prefix, "NV");
    COPY_TEXT(f.device_name, "NVR-3216");
    COPY_TEXT(f.software, "7x.7.0.9");
    COPY_TEXT(f.hwver, "V1.1");
    COPY_TEXT(f.mac_address, "00:1A:2B:3C:4D:5E");
    f.support_talk = 1;
    return sim_bytes_of(f);
}

// ---- Device firmware ------------------------------------------------------------------------

// 1713: "writes" the staged firmware: progress lines while it runs, the
// staged file consumed at the end, then success.
SimReplyList upgrade_run(const SimRequest &req)
{
    const int32_t reset = sim_request_as<UpgradeRunRequest>(req).reset;
    const std::string staged = nvr_path(FIRMWARE_STAGING_DEVICE);
    const long size = file_size(staged);
    if (size >= 0) fprintf(stderr, "nvrweb-sim: firmware upgrade: %ld bytes staged, reset %d\n", size, reset);
    else fprintf(stderr, "nvrweb-sim: firmware upgrade: nothing staged, reset %d (simulated)\n", reset);
    const int step_ms = scaled_ms(kProgressStepMs);
    std::thread([staged, step_ms] {
        for (int i = 1; i <= kProgressSteps; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(step_ms));
            fprintf(stderr, "nvrweb-sim: firmware upgrade %d%%\n", i * 100 / kProgressSteps);
        }
        unlink(staged.c_str());
        fputs("nvrweb-sim: firmware upgrade done; the device would restart now\n", stderr);
    }).detach();
    // The answer follows the last progress step.
    return SimReplyList{{qx_le32_bytes(0), step_ms * kProgressSteps + step_ms / 2, 0}};
}

FirmwareCheckRecord newer_firmware(const char *version, const char *file)
{
    FirmwareCheckRecord r{};
    r.state = 1; // a newer firmware is available
    r.file_size = 24117248;
    COPY_TEXT(r.softversion, version);
    char url[128];
    snprintf(url, sizeof url, "http://firmware.example/nvr/%s", file);
    COPY_TEXT(r.url, url);
    COPY_TEXT(r.description, "Stability fixes and faster playback search");
    return r;
}

std::string upgrade_check(const SimRequest &) { return sim_bytes_of(newer_firmware("7x.7.1.0", "7x.7.1.0.bin")); }

// 1716: "downloads" into the staging file named in the request, when it is
// one of the two staging files: a small stand-in firmware.
std::string upgrade_download(const SimRequest &req)
{
    const OnlineDownloadRequest r = sim_request_as<OnlineDownloadRequest>(req);
    char path[sizeof r.path + 1];
    copy_field(path, sizeof path, r.path, sizeof r.path);
    if (strcmp(path, FIRMWARE_STAGING_DEVICE) != 0 && strcmp(path, FIRMWARE_STAGING_CAMERA) != 0)
        return qx_le32_bytes(-1);
    const std::string host = nvr_path(path);
    for (size_t p = host.find('/', 1); p != std::string::npos; p = host.find('/', p + 1))
        mkdir(host.substr(0, p).c_str(), 0755); // the root's /dev/shm
    const std::string body = "stand-in firmware downloaded by nvrweb-sim\n";
    if (qx_wirte_file_data(path, body.data(), static_cast<int>(body.size())) != 0) return qx_le32_bytes(-1);
    fprintf(stderr, "nvrweb-sim: firmware downloaded into %s\n", path);
    return qx_le32_bytes(0);
}

// 1717: the downloaded camera firmware is discarded.
std::string upgrade_discard(const SimRequest &)
{
    unlink(nvr_path(FIRMWARE_STAGING_CAMERA).c_str());
    return qx_le32_bytes(0);
}

// ---- Cameras -----------------------------------------------------------------------------------

// 3365: a newer firmware for every checked channel, none for the others.
std::string camera_check(const SimRequest &req)
{
    const uint64_t mask = sim_request_as<CameraCheckRequest>(req).mask;
    std::string out;
    for (int ch = 0; ch < UPGRADE_CAMERA_CHANNELS; ch++) {
        FirmwareCheckRecord r{};
        if (mask >> ch & 1u) r = newer_firmware("V5.2.4", "ipc-V5.2.4.bin");
        out += sim_bytes_of(r);
    }
    return out;
}

// 3350: the camera takes the staged firmware after a moment (status 0), or
// there is none (status -1).
SimReplyList camera_upgrade(const SimRequest &req)
{
    const CameraUpgradeRequest r = sim_request_as<CameraUpgradeRequest>(req);
    const bool have = file_size(nvr_path(FIRMWARE_STAGING_CAMERA)) >= 0;
    fprintf(stderr, "nvrweb-sim: camera %d upgrade %s\n", r.chnid, have ? "started" : "refused: nothing staged");
    const CameraUpgradeStatus s = {r.chnid, have ? 0 : -1};
    return SimReplyList{{sim_bytes_of(s), have ? scaled_ms(kProgressStepMs * 3) : 0, 0}};
}

} // namespace

SIM_REPLY(IPC_DEVICE_FACTS, device_facts);
SIM_REPLIES(IPC_FIRMWARE_RUN, upgrade_run);
SIM_REPLY(IPC_FIRMWARE_CHECK, upgrade_check);
SIM_REPLY(IPC_FIRMWARE_DOWNLOAD, upgrade_download);
SIM_REPLY(IPC_FIRMWARE_DISCARD, upgrade_discard);
SIM_REPLY(IPC_CAMERA_UPGRADE_CHECK, camera_check);
SIM_REPLIES(IPC_CAMERA_UPGRADE, camera_upgrade);
