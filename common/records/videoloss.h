// Video loss: the per-channel settings record of the video-loss event kept in
// the settings database, its action schedules, and the notices sent to the
// daemon when they change. The action parameters (white LED, warning light,
// HTTP notification, PTZ targets) live in the shared event-action tables
// (common/records/event_action.h) under the video loss names.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/event_action.h"
#include "common/settings.h"

// Request codes, all fire-and-forget.
enum {
    IPC_VIDEO_LOSS_CHANGED = 1402,  // 4 bytes: channel
    IPC_VIDEO_LOSSES_CHANGED = 1414, // 8 bytes: channel bits
};

enum { VIDEO_LOSS_CHANNELS = 64, VIDEO_LOSS_MASK_SIZE = 65 };

// Video loss settings of one channel (read_video_lost / write_video_lost /
// read_video_losts / write_video_losts / copy_video_losts), 180 bytes.
struct VideoLossRecord {
    int32_t channel;        // "camId" / "chnid", 0..63
    int32_t enable;         // "enable"
    int32_t tri_alarms;     // "triAlarms": NVR alarm outputs (column "tri_alarms")
    int32_t interval;       // "interval"
    int32_t email_enable;
    int32_t email_interval; // "email_interval"
    char tri_chn_alarms[2][VIDEO_LOSS_MASK_SIZE]; // "triChnAlarms": camera alarm outputs
    uint8_t pad0[2];
    int32_t ptz_interval;           // "ptz_interval"
    int32_t alarmout_interval;      // "alarmout_interval"
    int32_t white_interval;         // "white_interval"
    int32_t warning_light_interval; // "warning_light_interval"
    int32_t audio_id;               // "audioId"
    int32_t http_notification_interval; // "http_notification_interval"
};
static_assert(sizeof(VideoLossRecord) == 180, "video loss record is 180 bytes");
static_assert(offsetof(VideoLossRecord, enable) == 4, "");
static_assert(offsetof(VideoLossRecord, tri_alarms) == 8, "");
static_assert(offsetof(VideoLossRecord, interval) == 12, "");
static_assert(offsetof(VideoLossRecord, email_enable) == 16, "");
static_assert(offsetof(VideoLossRecord, email_interval) == 20, "");
static_assert(offsetof(VideoLossRecord, tri_chn_alarms) == 24, "");
static_assert(offsetof(VideoLossRecord, ptz_interval) == 156, "");
static_assert(offsetof(VideoLossRecord, alarmout_interval) == 160, "");
static_assert(offsetof(VideoLossRecord, white_interval) == 164, "");
static_assert(offsetof(VideoLossRecord, warning_light_interval) == 168, "");
static_assert(offsetof(VideoLossRecord, audio_id) == 172, "");
static_assert(offsetof(VideoLossRecord, http_notification_interval) == 176, "");

// ---- Settings database families -------------------------------------------------------
// Table "video_loss", rows keyed by "id" (the channel); the NVR alarm outputs
// are the column "tri_alarms".
NVR_DB_RECORD(video_lost, VideoLossRecord, "video_loss", channel, VIDEO_LOSS_CHANNELS,
              NVR_COLUMN(enable), NVR_COLUMN(tri_alarms), NVR_COLUMN(interval), NVR_COLUMN(email_enable))
// Week schedules of the video loss actions, one per channel.
NVR_DB_SCHEDULE(videoloss_audible, "videoloss_audible_schedule", VIDEO_LOSS_CHANNELS)
NVR_DB_SCHEDULE(videoloss_email, "videoloss_email_schedule", VIDEO_LOSS_CHANNELS)
NVR_DB_SCHEDULE(videoloss_ptz, "videoloss_ptz_schedule", VIDEO_LOSS_CHANNELS)
// The schedule of the old video loss dialog is the audible schedule: what it
// stores is what the audible schedule getter reads back.
inline int write_video_loss_schedule(const char *path, const WeekSchedule *s, int channel)
{
    return write_videoloss_audible_schedule(path, s, channel);
}

// Names of the video loss event's named action tables.
#define VIDEOLOSS_WHITE_SCHEDULE_TABLE "videoloss_whiteled_esche"
#define VIDEOLOSS_WARNING_SCHEDULE_TABLE "videoloss_warning_light_esche"
#define VIDEOLOSS_HTTP_SCHEDULE_TABLE "videoloss_http_notification_sche"
#define VIDEOLOSS_WHITE_PARAMS_TABLE "video_loss_white_led_params"
#define VIDEOLOSS_WARNING_PARAMS_TABLE "video_loss_warning_light_params"
#define VIDEOLOSS_HTTP_PARAMS_TABLE "videoloss_http_notification_params"
