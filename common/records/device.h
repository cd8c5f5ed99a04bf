// Device record of the settings database (db_get_device): the facts of the
// recorder that request handlers size their work by. It is assembled from
// the settings parameters of the same names in one read, so it always agrees
// with them.
#pragma once
#include <cstddef>
#include <cstdint>

struct DeviceRecord {
    int32_t max_cameras;         // channel count, "max_cameras" (default 32), kept within 0..64
    int32_t max_poe_num;         // PoE ports, "max_poe_num" (default 0)
    int32_t alarm_in;            // recorder alarm inputs, "alarm_in" (default 16), 0..16
    int32_t alarm_out;           // recorder alarm outputs, "alarm_out" (default 4), 0..4
    int32_t deviceid;            // "deviceid" (default 255)
    int32_t reserved[3];
    char model[64];              // "model" (default "")
    char software_version[64];   // "software_version" (default "7x.7.0.9")
    char hardware_version[32];   // "hardware_version" (default "V1.1")
};
static_assert(sizeof(DeviceRecord) == 192, "device record is 192 bytes");
static_assert(offsetof(DeviceRecord, deviceid) == 16, "");
static_assert(offsetof(DeviceRecord, model) == 32, "");
static_assert(offsetof(DeviceRecord, software_version) == 96, "");
static_assert(offsetof(DeviceRecord, hardware_version) == 160, "");

enum { DEVICE_MAX_CHANNELS = 64, DEVICE_MAX_ALARM_IN = 16, DEVICE_MAX_ALARM_OUT = 4 };

// Fills the record from the settings database at `path` (defaults for the
// missing parameters). 0 on success, -1 when the database cannot be read
// (the record then holds the defaults).
int db_get_device(const char *path, DeviceRecord *record);
