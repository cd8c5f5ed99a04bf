// Device information and maintenance: the device facts the daemon reports,
// the display, retention and weekly-restart records of the settings
// database, and the payloads of the system requests.
// All integers are 32-bit little-endian; texts are zero-terminated within
// their fields, but a field coming from the daemon may lack its zero.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/settings_notice.h" // 1702 (settings group changed), 1703 (restart)
#include "common/settings.h"

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_DEVICE_FACTS = 3400,        // no payload; reply 8400: DeviceFactsRecord[]
    IPC_DEVICE_ID_CHANGED = 1705,   // int32 device id
    IPC_SUB_OUTPUT_ENABLE = 1023,   // int32 requested subEnable
    IPC_OUTPUT_RESOLUTION = 1001,   // OutputResolution, once per output
    IPC_OUTPUTS_APPLY = 1015,       // no payload, after the 1001 pair
    IPC_AUDIO_OUTPUT = 1002,        // AudioOutputNotice
    IPC_RESTORE_KEEP = 3311,        // RestoreRequest
    IPC_RESTORE = 3410,             // no payload
    IPC_RETENTION_CHANGED = 2102,   // no payload
    IPC_AUTO_REBOOT_CHANGED = 1718, // no payload
};
enum { REPLY_DEVICE_FACTS = IPC_DEVICE_FACTS + 5000 };

// Operation-log entries of the maintenance routes (main type 4).
enum {
    OPLOG_RESTART = 200,
    OPLOG_SETTING = 204,
    OPLOG_EXPORT = 213,
    OPLOG_IMPORT = 214,
    OPLOG_RESTORE = 215,
    OPLOG_PARAM_SYSTEM = 900,
    OPLOG_PARAM_GENERAL = 913,
};

// ---- Device facts (reply 8400, 592 bytes) ----------------------------------------
struct DeviceFactsRecord {
    int32_t device_id;        // 0   "deviceId"
    int32_t max_cameras;      // 4   "maxCameras"
    uint8_t reserved8[8];     // 8
    int32_t max_sensor;       // 16  "maxSensor"
    int32_t max_alarm;        // 20  "maxAlarm"
    uint8_t reserved24[4];    // 24
    int32_t max_audio_out;    // 28  "maxAudioOut"
    int32_t display_num;      // 32  "displayNum"
    uint8_t reserved36[8];    // 36
    int32_t max_rs485;        // 44  "masRs485"
    uint8_t reserved48[4];    // 48
    int32_t max_network_lan;  // 52  "maxNetworkLan"
    uint8_t reserved56[4];    // 56
    int32_t oem_version;      // 60  "oemversion"
    uint8_t reserved64[4];    // 64
    int32_t qxddns;           // 68  "qxddns"
    char sn[65];              // 72  "sn", "sncode"
    char prefix[16];          // 137 "prefix"
    char device_name[32];     // 153 "deviceName", "product"
    char software[32];        // 185 "software"
    char hwver[191];          // 217 "hwver"
    char mac_address[44];     // 408 "macAddress"
    int32_t support_talk;     // 452 "isSupportTalk"
    uint8_t reserved456[136]; // 456
};
static_assert(sizeof(DeviceFactsRecord) == 592, "device facts record is 592 bytes");
static_assert(offsetof(DeviceFactsRecord, max_sensor) == 16, "");
static_assert(offsetof(DeviceFactsRecord, max_audio_out) == 28, "");
static_assert(offsetof(DeviceFactsRecord, max_rs485) == 44, "");
static_assert(offsetof(DeviceFactsRecord, max_network_lan) == 52, "");
static_assert(offsetof(DeviceFactsRecord, oem_version) == 60, "");
static_assert(offsetof(DeviceFactsRecord, qxddns) == 68, "");
static_assert(offsetof(DeviceFactsRecord, sn) == 72, "");
static_assert(offsetof(DeviceFactsRecord, prefix) == 137, "");
static_assert(offsetof(DeviceFactsRecord, device_name) == 153, "");
static_assert(offsetof(DeviceFactsRecord, software) == 185, "");
static_assert(offsetof(DeviceFactsRecord, hwver) == 217, "");
static_assert(offsetof(DeviceFactsRecord, mac_address) == 408, "");
static_assert(offsetof(DeviceFactsRecord, support_talk) == 452, "");

// ---- Display record (settings database, 100 bytes) -------------------------------
struct DisplayRecord {
    int32_t main_resolution;  // 0
    uint8_t reserved4[8];     // 4
    int32_t hdmi_audio_on;    // 12
    int32_t audio_output_on;  // 16
    int32_t audio_volume;     // 20: 0..100 in steps of 10
    int32_t audio_stereo;     // 24
    int32_t sub_enable;       // 28
    int32_t sub_resolution;   // 32
    uint8_t reserved36[32];   // 36
    int32_t cur_control;      // 68: not 0 while the second output has the control
    uint8_t reserved72[28];   // 72
};
static_assert(sizeof(DisplayRecord) == 100, "display record is 100 bytes");
static_assert(offsetof(DisplayRecord, hdmi_audio_on) == 12, "");
static_assert(offsetof(DisplayRecord, audio_output_on) == 16, "");
static_assert(offsetof(DisplayRecord, audio_volume) == 20, "");
static_assert(offsetof(DisplayRecord, audio_stereo) == 24, "");
static_assert(offsetof(DisplayRecord, sub_enable) == 28, "");
static_assert(offsetof(DisplayRecord, sub_resolution) == 32, "");
static_assert(offsetof(DisplayRecord, cur_control) == 68, "");

NVR_DB_SINGLE(display, DisplayRecord, "display")

// ---- Retention of logs and pictures (settings database, 8 bytes) ------------------
// Months: -1 (never delete), 0, 1 or an even number up to 12.
struct DiskMaintainRecord {
    int32_t log_retention;    // "logRetention"
    int32_t photo_retention;  // "photoRetention"
};
static_assert(sizeof(DiskMaintainRecord) == 8, "retention record is 8 bytes");

NVR_DB_SINGLE(disk_maintain_info, DiskMaintainRecord, "disk_maintain_info")

// ---- Weekly restart (settings database, 128 bytes) --------------------------------
struct AutoRebootRecord {
    int32_t enable;
    int32_t wday;
    int32_t hour;
    int32_t minutes;
    int32_t seconds;
    uint8_t reserved[108];
};
static_assert(sizeof(AutoRebootRecord) == 128, "weekly restart record is 128 bytes");
static_assert(offsetof(AutoRebootRecord, seconds) == 16, "");

NVR_DB_SINGLE(autoreboot_conf, AutoRebootRecord, "autoreboot_conf")

// ---- Payloads ----------------------------------------------------------------------
struct OutputResolution {
    int32_t output;     // 0 main, 1 second
    int32_t resolution;
};
static_assert(sizeof(OutputResolution) == 8, "");

struct AudioOutputNotice {
    int32_t hdmi_audio_on;
    int32_t audio_output_on;
    int32_t audio_volume;
};
static_assert(sizeof(AudioOutputNotice) == 12, "");

struct RestoreRequest {
    int32_t keep_ip;
    int32_t keep_user;
};
static_assert(sizeof(RestoreRequest) == 8, "");
