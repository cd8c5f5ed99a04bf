// Motion detection: the per-channel settings record kept in the settings
// database and the payloads of the motion requests exchanged with the daemon.
// Every layout holds on 32-bit ARM too (int64 aligned to 8, no `long`).
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_MOTION_CHANGED = 1403,      // 4 bytes: channel
    IPC_MOTION_COPIED = 1410,       // 8 bytes: channel bits of the copy targets
    IPC_MOTION_MAP = 3206,          // 4 bytes: channel; reply 8206, MotionMapRecord[]
    IPC_CAM_MOTION_SET = 3207,      // MotionMapRecord
    IPC_CAM_MOTION_SCHEDULE = 3209, // CamMotionSchedule for one channel
    IPC_CAM_MOTION_MODE = 3212,     // CamMotionMode
    IPC_CAM_MOTION_BATCH = 3251,    // CamMotionBatch
    IPC_CAM_MOTION_SCHEDULE_BATCH = 3252, // CamMotionSchedule for a channel list
};
enum { REPLY_MOTION_MAP = IPC_MOTION_MAP + 5000 };

enum { MOTION_TABLE_SIZE = 368, CHANNEL_MASK_SIZE = 65, CAM_MOTION_GRID_SIZE = 300 };
enum { MOTION_MAX_CHANNELS = 64 };

// Motion settings of one channel (read_motion / write_motion / copy_motions).
struct MotionRecord {
    int32_t channel;            // "chnid" / "camId", 0..63
    int32_t enable;             // "enable", 0..2
    int32_t sensitivity;        // "sensitivity", >= 0
    int32_t reserved;
    uint64_t channel_bits;      // bit n when tri_channels[n] == '1'
    int32_t tri_alarms;         // "triAlarms": NVR alarm outputs
    char motion_table[MOTION_TABLE_SIZE]; // "motionTable": opaque detection grid
    int32_t interval;           // "interval"
    int32_t enable_qx;          // "enableQX": 1 = camera-side mode
    char tri_channels[CHANNEL_MASK_SIZE]; // "triChannels": '0'/'1' per channel
    uint8_t pad0[3];
    int32_t email_enable;       // "email_enable"
    int32_t email_interval;     // "email_interval"
    char tri_chn_alarms[2][CHANNEL_MASK_SIZE]; // "triChnAlarms": camera alarm outputs
    uint8_t pad1[2];
    int32_t ptz_interval;       // "ptz_interval"
    int32_t alarmout_interval;  // "alarmout_interval"
    int32_t white_interval;     // "white_interval"
    int32_t warning_light_interval; // "warning_light_interval"
    int32_t email_pic_enable;   // "email_pic_enable"
    char tri_channels_pic[CHANNEL_MASK_SIZE]; // "tri_channels_pic"
    uint8_t pad2[3];
    int32_t audio_id;           // "audioId"
    int32_t http_notification_interval; // "http_notification_interval"
    uint8_t pad3[4];
};
static_assert(sizeof(MotionRecord) == 712, "motion record is 712 bytes");
static_assert(alignof(MotionRecord) == 8, "motion record aligns its channel bits to 8");
static_assert(offsetof(MotionRecord, channel) == 0, "");
static_assert(offsetof(MotionRecord, enable) == 4, "");
static_assert(offsetof(MotionRecord, sensitivity) == 8, "");
static_assert(offsetof(MotionRecord, channel_bits) == 16, "");
static_assert(offsetof(MotionRecord, tri_alarms) == 24, "");
static_assert(offsetof(MotionRecord, motion_table) == 28, "");
static_assert(offsetof(MotionRecord, interval) == 396, "restart-state repair writes byte 396");
static_assert(offsetof(MotionRecord, enable_qx) == 400, "");
static_assert(offsetof(MotionRecord, tri_channels) == 404, "");
static_assert(offsetof(MotionRecord, email_enable) == 472, "");
static_assert(offsetof(MotionRecord, email_interval) == 476, "restart-state repair writes byte 476");
static_assert(offsetof(MotionRecord, tri_chn_alarms) == 480, "");
static_assert(offsetof(MotionRecord, ptz_interval) == 612, "");
static_assert(offsetof(MotionRecord, alarmout_interval) == 616, "");
static_assert(offsetof(MotionRecord, white_interval) == 620, "");
static_assert(offsetof(MotionRecord, warning_light_interval) == 624, "");
static_assert(offsetof(MotionRecord, email_pic_enable) == 628, "");
static_assert(offsetof(MotionRecord, tri_channels_pic) == 632, "");
static_assert(offsetof(MotionRecord, audio_id) == 700, "");
static_assert(offsetof(MotionRecord, http_notification_interval) == 704, "");

// Camera motion settings: the reply records of 3206 (reply 8206) and the
// payload of 3207, 340 bytes.
struct MotionMapRecord {
    int32_t enable;                 // "enable"
    char map[CAM_MOTION_GRID_SIZE]; // "map": grid text, may lack its zero
    int32_t sensitivity;            // "sensitivity"
    int32_t channel;
    int32_t result;                 // "result"
    int32_t model_type;             // "modelType"
    int32_t fish_display;           // "fishdisplay"
    int32_t fish_transfer;          // "fishtransfer"
    int32_t fish_install;           // "fishinstall"
    int32_t enable_ai;              // "enableAI"
    int32_t reserved;
};
static_assert(sizeof(MotionMapRecord) == 340, "motion map record is 340 bytes");
static_assert(offsetof(MotionMapRecord, map) == 4, "");
static_assert(offsetof(MotionMapRecord, sensitivity) == 304, "");
static_assert(offsetof(MotionMapRecord, channel) == 308, "");
static_assert(offsetof(MotionMapRecord, result) == 312, "");
static_assert(offsetof(MotionMapRecord, model_type) == 316, "");
static_assert(offsetof(MotionMapRecord, fish_display) == 320, "");
static_assert(offsetof(MotionMapRecord, fish_transfer) == 324, "");
static_assert(offsetof(MotionMapRecord, fish_install) == 328, "");
static_assert(offsetof(MotionMapRecord, enable_ai) == 332, "");

// Target channel list of the multi-channel camera requests: the first
// `count` entries, ascending.
struct CamChannelList {
    int32_t channels[MOTION_MAX_CHANNELS];
    int32_t count;
};
static_assert(sizeof(CamChannelList) == 260, "");

// Camera motion settings for several channels (3251), 580 bytes.
struct CamMotionBatch {
    char grid[CAM_MOTION_GRID_SIZE]; // at most 299 characters
    int32_t sensitivity;
    int32_t channel;                 // source channel
    int32_t enable_qx;
    CamChannelList targets;
    int32_t enable_ai;               // "enableAI"
    int32_t detection;               // "detection"
};
static_assert(sizeof(CamMotionBatch) == 580, "camera motion batch is 580 bytes");
static_assert(offsetof(CamMotionBatch, sensitivity) == 300, "");
static_assert(offsetof(CamMotionBatch, channel) == 304, "");
static_assert(offsetof(CamMotionBatch, enable_qx) == 308, "");
static_assert(offsetof(CamMotionBatch, targets) == 312, "");
static_assert(offsetof(CamMotionBatch, targets) + offsetof(CamChannelList, count) == 568, "");
static_assert(offsetof(CamMotionBatch, enable_ai) == 572, "");
static_assert(offsetof(CamMotionBatch, detection) == 576, "");

// Camera-side motion mode (3212), 268 bytes.
struct CamMotionMode {
    int32_t channel;
    int32_t on;                      // 1 on, 0 off
    CamChannelList targets;
};
static_assert(sizeof(CamMotionMode) == 268, "camera-side mode is 268 bytes");
static_assert(offsetof(CamMotionMode, targets) == 8, "");

// Camera motion schedule, full time (3209 for one channel, 3252 for a list),
// 1216 bytes.
struct CamTimeSegment {
    int32_t start_hour, start_minute, end_hour, end_minute;
};
struct CamScheduleDay {
    uint8_t reserved[64];
    int32_t weekday;                 // 0..6
    int32_t enable;
    CamTimeSegment segments[4];
};
static_assert(sizeof(CamScheduleDay) == 136, "");
struct CamMotionSchedule {
    int32_t channel;
    CamScheduleDay days[7];
    CamChannelList targets;
};
static_assert(sizeof(CamMotionSchedule) == 1216, "camera motion schedule is 1216 bytes");
static_assert(offsetof(CamMotionSchedule, days) == 4, "");
static_assert(offsetof(CamMotionSchedule, targets) == 956, "");
static_assert(offsetof(CamMotionSchedule, targets) + offsetof(CamChannelList, count) == 1212, "");

// ---- Settings database families -------------------------------------------------------
// read_motion / write_motion / read_motions / copy_motions, keyed by channel.
NVR_DB_RECORD(motion, MotionRecord, "motion", channel, MOTION_MAX_CHANNELS,
              NVR_COLUMN(enable), NVR_COLUMN(sensitivity), NVR_COLUMN_AS("tri_alarms", tri_alarms),
              NVR_COLUMN(interval), NVR_COLUMN(enable_qx))
// Week schedules of the motion event, one per channel.
NVR_DB_SCHEDULE(motion_effective, "motion_effective_schedule", MOTION_MAX_CHANNELS)
NVR_DB_SCHEDULE(motion_audible, "motion_audible_schedule", MOTION_MAX_CHANNELS)
NVR_DB_SCHEDULE(motion_email, "motion_email_schedule", MOTION_MAX_CHANNELS)
NVR_DB_SCHEDULE(motion_ptz, "motion_ptz_schedule", MOTION_MAX_CHANNELS)
// The motion schedule of the schedule dialog is the audible schedule: what
// it stores is what the motion schedule getter (audible) reads back.
inline int write_motion_schedule(const char *path, const WeekSchedule *s, int channel)
{
    return write_motion_audible_schedule(path, s, channel);
}
