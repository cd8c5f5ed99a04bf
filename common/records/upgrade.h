// Firmware upgrade of the recorder and of its cameras: the staging files,
// the requests that prepare, check, download and run an upgrade, and their
// reply records.
#pragma once
#include <cstddef>
#include <cstdint>

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_FIRMWARE_PREPARE = 1721,     // no payload
    IPC_FIRMWARE_RUN = 1713,         // UpgradeRunRequest; reply 6713: int32 status
    IPC_FIRMWARE_CHECK = 1715,       // no payload; reply 6715: FirmwareCheckRecord
    IPC_FIRMWARE_DOWNLOAD = 1716,    // OnlineDownloadRequest; reply 6716: int32 result
    IPC_FIRMWARE_DISCARD = 1717,     // no payload; reply 6717: int32 result
    IPC_CAMERA_UPGRADE = 3350,      // CameraUpgradeRequest; reply 8350: CameraUpgradeStatus[]
    IPC_CAMERA_UPGRADE_STOP = 3351, // no payload
    IPC_CAMERA_UPGRADE_CHECK = 3365, // CameraCheckRequest; reply 8365: FirmwareCheckRecord[64]
};
enum {
    REPLY_FIRMWARE_RUN = IPC_FIRMWARE_RUN + 5000,
    REPLY_FIRMWARE_CHECK = IPC_FIRMWARE_CHECK + 5000,
    REPLY_FIRMWARE_DOWNLOAD = IPC_FIRMWARE_DOWNLOAD + 5000,
    REPLY_FIRMWARE_DISCARD = IPC_FIRMWARE_DISCARD + 5000,
    REPLY_CAMERA_UPGRADE = IPC_CAMERA_UPGRADE + 5000,
    REPLY_CAMERA_UPGRADE_CHECK = IPC_CAMERA_UPGRADE_CHECK + 5000,
};
enum { OPLOG_UPGRADE = 203 };
enum { UPGRADE_CAMERA_CHANNELS = 64 };

// Staging files of the shared-memory file system (device paths).
#define FIRMWARE_STAGING_DEVICE "/dev/shm/updateFM.bin"
#define FIRMWARE_STAGING_CAMERA "/dev/shm/updateIPCFM.bin"

struct UpgradeRunRequest {
    int32_t reset; // 1: restore the factory settings with the upgrade
};
static_assert(sizeof(UpgradeRunRequest) == 4, "");

// Result of an online check: reply 6715 (one) and 8365 (one per channel).
struct FirmwareCheckRecord {
    int32_t state;          // "state"
    int32_t file_size;      // "fileSize"
    char softversion[64];   // "softversion"
    char url[128];          // "url"
    char description[128];  // "description"
};
static_assert(sizeof(FirmwareCheckRecord) == 328, "firmware check record is 328 bytes");
static_assert(offsetof(FirmwareCheckRecord, softversion) == 8, "");
static_assert(offsetof(FirmwareCheckRecord, url) == 72, "");
static_assert(offsetof(FirmwareCheckRecord, description) == 200, "");

// 1716: download the firmware at url into the staging file of its type.
struct OnlineDownloadRequest {
    char url[128];
    char path[128];
};
static_assert(sizeof(OnlineDownloadRequest) == 256, "");

// 3350: upgrade one camera channel from the staged camera firmware.
struct CameraUpgradeRequest {
    int32_t chnid;
    int32_t reset;
    char path[256];
};
static_assert(sizeof(CameraUpgradeRequest) == 264, "");
static_assert(offsetof(CameraUpgradeRequest, path) == 8, "");

struct CameraUpgradeStatus {
    int32_t chnid;
    int32_t status;
};
static_assert(sizeof(CameraUpgradeStatus) == 8, "");

// 3365: the channels to check, bit i for channel i.
struct CameraCheckRequest {
    uint64_t mask;
};
static_assert(sizeof(CameraCheckRequest) == 8, "");
