// Camera firmware upgrade of several channels at once and the device queries
// of the camera pages: the daemon payloads and replies.
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    IPC_UPGRADE_START = 3379,   // UpgradeRequest; reply 8379: UpgradeStatus
    IPC_UPGRADE_CHECK = 3385,   // UpgradeCheck; reply 8385: status word
    IPC_UPGRADE_STATUS = 3386,  // no payload; reply 8386: UpgradeStatus
    IPC_UPGRADE_STOP = 3390,    // 4 bytes: "stop" (notice)
    IPC_RECORD_DAYS = 3493,     // RecordDaysQuery; reply 8493: RecordDaysReply
    IPC_GUI_COMMAND = 4002,     // GuiCommand; reply 9002 or 9003: result text at 16
    IPC_CHIP_CODE = 4004,       // no payload; reply 9004: the code text
    IPC_MOTION_STATE = 3307,    // no payload; reply 8307: 64-bit mask
    IPC_CAMERA_TYPE = 2507,     // 4 bytes: channel; reply 7507: CameraTypeReply
};

#define UPGRADE_FILE_PATH "/dev/shm/updateIPCFM.bin"

struct UpgradeCheck {
    uint64_t channels;   // bit i: channel i
    uint64_t keep_mask;  // complement of the channels to reset
    int32_t file_size;
    uint8_t reserved[260];
};
static_assert(sizeof(UpgradeCheck) == 280, "upgrade check is 280 bytes");
static_assert(offsetof(UpgradeCheck, file_size) == 16, "");

struct UpgradeRequest {
    uint64_t channels;
    int64_t reset;
    uint8_t reserved0[4];
    char url[128];
    char file[132];
};
static_assert(sizeof(UpgradeRequest) == 280, "upgrade request is 280 bytes");
static_assert(offsetof(UpgradeRequest, url) == 20, "");
static_assert(offsetof(UpgradeRequest, file) == 148, "");

enum { UPGRADE_CHANNELS = 64 };
struct UpgradeStatus {
    uint64_t channels;
    int32_t status[UPGRADE_CHANNELS];
};
static_assert(sizeof(UpgradeStatus) == 264, "upgrade status is 264 bytes");

struct RecordDaysQuery {
    int32_t stream; // 1: the sub stream
    int32_t year;
    int32_t month; // 1..12
    char channels[68]; // mask text, one '1'
};
static_assert(sizeof(RecordDaysQuery) == 80, "record-day query is 80 bytes");
static_assert(offsetof(RecordDaysQuery, channels) == 12, "");

// The daemon documents 132 bytes; the 128 read here are required.
struct RecordDaysReply {
    int32_t reserved;
    int32_t days[31];
};
static_assert(sizeof(RecordDaysReply) == 128, "");

struct CameraTypeReply {
    int32_t channel;
    char ip[32];
    char model[64];
    char fw_version[64];
};
static_assert(sizeof(CameraTypeReply) == 164, "camera type reply is 164 bytes");

struct GuiCommand {
    char text[100];
};
static_assert(sizeof(GuiCommand) == 100, "");
enum { GUI_RESULT_OFFSET = 16 };
