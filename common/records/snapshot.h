// Snapshots: the week schedule and the picture parameters of each channel's
// scheduled still pictures, kept in the settings database, and the payloads
// that tell the daemon about them. Every layout holds on 32-bit ARM too.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/schedule.h"
#include "common/settings.h"

// Request codes, all fire-and-forget.
enum {
    IPC_SNAPSHOT_PARAMS_CHANGED = 1311,   // SnapshotChannelList
    IPC_SNAPSHOT_SCHEDULE_CHANGED = 1312, // SnapshotChannelList
    IPC_SNAPSHOT_SWITCH = 1313,           // SnapshotSwitch
};

enum { SNAPSHOT_CHANNELS = 64 };

// Snapshot schedule of one channel: the week schedule and 4 bytes, zero
// here, 27716 bytes. Arrays of them (write_snapshot_schedules) step by the
// whole record, not by the week schedule.
struct SnapshotSchedule {
    WeekSchedule schedule;
    int32_t reserved;
};
static_assert(sizeof(SnapshotSchedule) == 27716, "snapshot schedule record is 27716 bytes");
static_assert(alignof(SnapshotSchedule) == 4, "snapshot schedules are packed 27716 bytes apart");
static_assert(offsetof(SnapshotSchedule, reserved) == 27712, "");

// Snapshot parameters of one channel (read_snapshot / copy_snapshots), 36 bytes.
struct SnapshotParams {
    int32_t reserved0[2];
    int32_t quality;         // "quality"
    int32_t interval;        // "interval"
    int32_t interval_unit;   // "interval_unit"
    int32_t reserved1[2];
    int32_t expiration_date; // "expiration_date": days pictures are kept
    int32_t resolution;      // "resolution"
};
static_assert(sizeof(SnapshotParams) == 36, "snapshot parameter record is 36 bytes");
static_assert(offsetof(SnapshotParams, quality) == 8, "");
static_assert(offsetof(SnapshotParams, interval) == 12, "");
static_assert(offsetof(SnapshotParams, interval_unit) == 16, "");
static_assert(offsetof(SnapshotParams, expiration_date) == 28, "");
static_assert(offsetof(SnapshotParams, resolution) == 32, "");

// Channel list of the notices 1311 and 1312: the channel numbers in list
// order (a channel may appear twice), the first `count` entries used.
struct SnapshotChannelList {
    int32_t channels[SNAPSHOT_CHANNELS];
    int32_t count;
};
static_assert(sizeof(SnapshotChannelList) == 260, "snapshot channel list is 260 bytes");
static_assert(offsetof(SnapshotChannelList, count) == 256, "");

// Start or stop taking snapshots (1313): selected[n] is 1 for channel n.
struct SnapshotSwitch {
    int32_t on; // 1 start, 0 stop
    int32_t selected[SNAPSHOT_CHANNELS];
};
static_assert(sizeof(SnapshotSwitch) == 260, "snapshot on/off record is 260 bytes");
static_assert(offsetof(SnapshotSwitch, selected) == 4, "");

// ---- Settings database families -------------------------------------------------------
// read_snapshot_schedule(path, rec, channel), write_snapshot_schedule(...)
NVR_DB_INDEXED(snapshot_schedule, SnapshotSchedule, "snapshot_schedule", SNAPSHOT_CHANNELS)
// read_snapshot(path, rec, channel), copy_snapshots(path, rec, mask)
NVR_DB_INDEXED(snapshot, SnapshotParams, "snapshot", SNAPSHOT_CHANNELS)

// Stores, for each listed channel c, records[c] of an array of 64 schedule
// records, all in one transaction. Entries outside 0..63 (and past 64) are
// not stored. 0, or -1 when a write failed (nothing stored).
inline int write_snapshot_schedules(const char *path, const SnapshotSchedule *records, const SnapshotChannelList *list)
{
    if (!records || !list) return -1;
    return settings_atomic(path, [&]() -> int {
        for (int i = 0; i < list->count && i < SNAPSHOT_CHANNELS; i++) {
            const int c = list->channels[i];
            if (c < 0 || c >= SNAPSHOT_CHANNELS) continue;
            if (write_snapshot_schedule(path, &records[c], c) != 0) return -1;
        }
        return 0;
    });
}
