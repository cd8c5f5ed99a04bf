// People counting groups, POS terminals and camera face detection: the
// records kept in the settings database and the face settings sent to the
// daemon. Each of the three event sources stores its actions as an event
// record of AlarmActions plus named schedule and parameter tables.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/alarm.h"
#include "common/settings.h"

enum {
    PCNT_GROUPS = 9,        // people-counting groups 0..8
    PCNT_REPORT_SLOTS = 4,  // automatic report backups
    POS_DEVICES = 16,       // POS terminals 0..15
    FACE_CAPTURE_MODES = 3, // elements of "captureModeArray"
    FACE_SHIELDS = 4,       // shield areas
};

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_PCNT_SETTINGS_CHANGED = 2290, // 4 bytes, 0
    IPC_PCNT_DB_RESET = 2291,         // 4 bytes: group
    IPC_PCNT_LIVEVIEW_RESET = 2292,   // 4 bytes: group
    IPC_PCNT_ACTION_CHANGED = 2293,   // PcntActionNotice
    IPC_POS_CHANGED = 1421,           // 4 bytes: POS id
    IPC_PCNT_BACKUP_CHANGED = 1423,   // no payload
    IPC_FACE_CONFIG = 3381,           // FaceConfig; reply: status word
    IPC_FACE_CHANNEL = 3383,          // 4 bytes: channel (notice)
};

// ---- People-counting group (480 bytes) --------------------------------------------
struct PeopleCountGroup {
    int32_t groupid;
    int32_t enable;
    int32_t stays;
    int32_t liveview_auto_reset;
    int32_t auto_day;
    int32_t liveview_font_size;
    char name[64];
    char auto_day_time[64];
    char tri_channels[65]; // channel mask text of the group's channels
    char liveview_green_tips[128];
    char liveview_red_tips[128];
    uint8_t reserved[7];
};
static_assert(sizeof(PeopleCountGroup) == 480, "people-counting group is 480 bytes");
static_assert(offsetof(PeopleCountGroup, name) == 24, "");
static_assert(offsetof(PeopleCountGroup, tri_channels) == 152, "");
static_assert(offsetof(PeopleCountGroup, liveview_red_tips) == 345, "");

struct PcntActionNotice {
    int32_t group;
    int32_t reserved; // -1
};
static_assert(sizeof(PcntActionNotice) == 8, "");

// ---- Event record of a source (group, POS id or channel) ----------------------------
struct SourceEvent {
    int32_t id;
    int32_t reserved;
    AlarmActions actions;
};
static_assert(sizeof(SourceEvent) == 320, "source event record is 320 bytes");
static_assert(offsetof(SourceEvent, actions) == 8, "");

// ---- Automatic report backup (4 slots of 152 bytes) -----------------------------------
struct PcntReportSlot {
    int32_t report_type;
    int32_t enable;
    char tri_channels[65];
    char tri_groups[17]; // one character per group
    uint8_t reserved0[2];
    int32_t stay_length_type;
    int32_t stay_length_value;
    int32_t backup_day;
    char backup_time[32];
    int32_t file_format;
    int32_t time_range;
    int32_t backup_to;
    int32_t line_mask;
};
static_assert(sizeof(PcntReportSlot) == 152, "report slot is 152 bytes");
static_assert(offsetof(PcntReportSlot, stay_length_type) == 92, "");
static_assert(offsetof(PcntReportSlot, backup_time) == 104, "");

struct PcntReportBackup {
    PcntReportSlot slots[PCNT_REPORT_SLOTS];
};
static_assert(sizeof(PcntReportBackup) == 608, "");

// ---- POS terminal (396 bytes) -----------------------------------------------------------
struct PosDevice {
    int32_t id;
    int32_t enable;
    char name[64];
    int32_t protocol;
    int32_t connection_mode;
    char ip[64];
    int32_t liveview_display;
    int32_t display_channel;
    int32_t start_x;
    int32_t start_y;
    int32_t area_width;
    int32_t area_height;
    int32_t character_encoding;
    int32_t font_size;
    int32_t font_color;
    int32_t overlay_mode;
    int32_t display_time;
    int32_t timeout;
    char privacy1[64];
    char privacy2[64];
    char privacy3[64];
    int32_t port;
    int32_t nvr_port;
    int32_t clear_time;
};
static_assert(sizeof(PosDevice) == 396, "POS device record is 396 bytes");
static_assert(offsetof(PosDevice, ip) == 80, "");
static_assert(offsetof(PosDevice, privacy1) == 192, "");

// ---- Face detection settings (request 3381, 1620 bytes) ------------------------------------
struct FaceShield {
    int32_t enable;
    uint8_t reserved[64];
    char polygon_x[64];
    char polygon_y[64];
};
static_assert(sizeof(FaceShield) == 196, "");

struct FaceConfig {
    int32_t reserved0;
    int32_t channel; // "chnId"
    uint8_t reserved1[132];
    int32_t enable, width, height, min_pixel, capture_mode;
    int32_t capture_quality[FACE_CAPTURE_MODES];
    int32_t snapshot_type, snapshot_interval, snapshot_background;
    int32_t pose_yaw, pose_roll, pose_pitch, blur_limit;
    uint8_t reserved2[80];
    char detection_polygon_x[64];
    char detection_polygon_y[64];
    int32_t upload_enable, upload_file_type, nas_enable, nas_file_type;
    int32_t email_enable, email_file_type, http_enable, http_notify_interval;
    char http_url[128];
    char http_user[64];
    char http_password[64];
    int32_t snapshot[FACE_CAPTURE_MODES];
    int32_t record_seconds, prerecord_seconds, post_enable, post_type;
    uint8_t reserved3[80];
    FaceShield shields[FACE_SHIELDS];
    int32_t attribute_enable, attribute_type, mosaic_enable, mosaic_mode_status, mutually_exclusive;
    uint8_t reserved4[12];
};
static_assert(sizeof(FaceConfig) == 1620, "face settings record is 1620 bytes");
static_assert(offsetof(FaceConfig, enable) == 140, "");
static_assert(offsetof(FaceConfig, capture_quality) == 160, "");
static_assert(offsetof(FaceConfig, blur_limit) == 196, "");
static_assert(offsetof(FaceConfig, detection_polygon_x) == 280, "");
static_assert(offsetof(FaceConfig, upload_enable) == 408, "");
static_assert(offsetof(FaceConfig, http_url) == 440, "");
static_assert(offsetof(FaceConfig, http_password) == 632, "");
static_assert(offsetof(FaceConfig, snapshot) == 696, "");
static_assert(offsetof(FaceConfig, post_type) == 720, "");
static_assert(offsetof(FaceConfig, shields) == 804, "");
static_assert(offsetof(FaceConfig, attribute_enable) == 1588, "");
static_assert(offsetof(FaceConfig, mutually_exclusive) == 1604, "");

// ---- Storage ----------------------------------------------------------------------------------
NVR_DB_RECORD(peoplecnt_setting, PeopleCountGroup, "peoplecnt_settings", groupid, PCNT_GROUPS)
NVR_DB_RECORD(peoplecnt_event, SourceEvent, "peoplecnt_event", id, PCNT_GROUPS)
NVR_DB_SINGLE(peoplecnt_auto_backup, PcntReportBackup, "peoplecnt_auto_backup")
NVR_DB_RECORD(pos_setting, PosDevice, "pos_settings", id, POS_DEVICES)
NVR_DB_RECORD(pos_event, SourceEvent, "pos_event", id, POS_DEVICES)
NVR_DB_RECORD(face_event, SourceEvent, "face_event", id, ALARM_CHANNELS)
