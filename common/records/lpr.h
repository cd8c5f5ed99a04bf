// Licence plate recognition: the actions of the three plate-list events per
// channel (settings database), the camera's recognition settings and plate
// wildcards (sent through the daemon), and the plate lists, kept in a
// database file of their own (QXDB_ANPR_PATH).
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/schedule.h"
#include "common/settings.h"
#include "common/settings_named.h"

// ---- Daemon requests ------------------------------------------------------------------
enum {
    IPC_ANPR_WILDCARDS_GET = 1207, // 4 bytes: channel; reply 6207, AnprWildcardRecord
    IPC_ANPR_WILDCARDS_SET = 1208, // AnprWildcardRecord; reply 6208, first int 0 = done
    IPC_CAM_ZOOM_STATE = 1215,     // 4 bytes: channel; reply 6215, CamZoomState
    IPC_ANPR_CHANGED = 1416,       // AnprChanged, fire-and-forget
    IPC_ANPR_SETTINGS_GET = 3289,  // 4 bytes: channel; reply 8289, AnprSettingsRecord
    IPC_ANPR_SETTINGS_SET = 3290,  // AnprSettingsRecord; reply 8290, first int 0 = done
    IPC_ANPR_SUPPORT = 3293,       // 4 bytes: channel; reply 8293, AnprSupport
};
enum {
    REPLY_ANPR_WILDCARDS = IPC_ANPR_WILDCARDS_GET + 5000,
    REPLY_ANPR_WILDCARDS_SET = IPC_ANPR_WILDCARDS_SET + 5000,
    REPLY_CAM_ZOOM_STATE = IPC_CAM_ZOOM_STATE + 5000,
    REPLY_ANPR_SETTINGS = IPC_ANPR_SETTINGS_GET + 5000,
    REPLY_ANPR_SETTINGS_SET = IPC_ANPR_SETTINGS_SET + 5000,
    REPLY_ANPR_SUPPORT = IPC_ANPR_SUPPORT + 5000,
};

// List modes: -1 the channel's general plate event, 0 black list, 1 white
// list, 2 visitor (a plate on neither list).
enum { ANPR_MODE_GENERAL = -1, ANPR_MODE_BLACK = 0, ANPR_MODE_WHITE = 1, ANPR_MODE_VISITOR = 2 };
inline bool anpr_valid_mode(int mode) { return mode >= ANPR_MODE_GENERAL && mode <= ANPR_MODE_VISITOR; }
// PTZ action event type of a mode (14..17).
inline int anpr_ptz_event(int mode) { return mode + 15; }

struct AnprChanged {
    int32_t channel;
    int32_t mode;
};
static_assert(sizeof(AnprChanged) == 8, "");

// ---- Event record of a list mode -------------------------------------------------------
// One per channel and mode (read_anpr_event / write_anpr_event).
struct AnprEventRecord {
    int32_t channel;                   // 0
    int32_t enable;                    // 4
    uint64_t channel_bits;             // 8: bits of tri_channels
    char tri_channels[65];             // 16 "triChannels"
    uint8_t pad81[3];
    int32_t tri_alarms;                // 84 "triAlarms"
    int32_t interval;                  // 88
    int32_t email_interval;            // 92
    char tri_chn_alarms[2][65];        // 96 "triChnAlarms"
    uint8_t pad226[2];
    int32_t ptz_interval;              // 228
    int32_t alarmout_interval;         // 232
    int32_t white_interval;            // 236
    int32_t warning_light_interval;    // 240
    int32_t email_pic_enable;          // 244
    char tri_channels_pic[65];         // 248
    uint8_t pad313[3];
    int32_t audio_id;                  // 316 "audioId"
    int32_t http_notification_interval; // 320
    uint8_t reserved[60];              // 324: kept as stored
};
static_assert(sizeof(AnprEventRecord) == 384, "ANPR event record is 384 bytes");
static_assert(offsetof(AnprEventRecord, tri_channels) == 16, "");
static_assert(offsetof(AnprEventRecord, tri_alarms) == 84, "");
static_assert(offsetof(AnprEventRecord, tri_chn_alarms) == 96, "");
static_assert(offsetof(AnprEventRecord, ptz_interval) == 228, "");
static_assert(offsetof(AnprEventRecord, tri_channels_pic) == 248, "");
static_assert(offsetof(AnprEventRecord, audio_id) == 316, "");
static_assert(offsetof(AnprEventRecord, http_notification_interval) == 320, "");

inline void stamp_anpr_event(AnprEventRecord *rec, int channel) { rec->channel = channel; }
NVR_DB_NAMED(anpr_event_table, AnprEventRecord, 64, stamp_anpr_event)
NVR_DB_NAMED(anpr_schedule_table, WeekSchedule, 64, nvr_db_no_stamp<WeekSchedule>)

// Stored names of a mode's own tables ("anpr_black_event",
// "anpr_black_effective_sche", ...); nullptr for a mode out of range.
const char *anpr_event_table_name(int mode);
enum AnprScheduleKind { ANPR_SCHE_EFFECTIVE, ANPR_SCHE_AUDIBLE, ANPR_SCHE_MAIL, ANPR_SCHE_PTZ, ANPR_SCHE_KINDS };
const char *anpr_schedule_table_name(AnprScheduleKind kind, int mode);

// The event record of a channel and mode; -1 for a channel or mode out of
// range (the record untouched).
int read_anpr_event(const char *path, AnprEventRecord *rec, int channel, int mode);
// Stores rec under its own channel.
int write_anpr_event(const char *path, const AnprEventRecord *rec, int mode);

#define ANPR_SCHEDULE_FAMILY(name, kind)                                                             \
    inline int read_anpr_##name##_schedule(const char *path, WeekSchedule *s, int channel, int mode) \
    {                                                                                              \
        const char *t = anpr_schedule_table_name(kind, mode);                                      \
        return t ? read_anpr_schedule_table(path, t, s, channel) : -1;                             \
    }                                                                                              \
    inline int write_anpr_##name##_schedule(const char *path, const WeekSchedule *s, int channel,  \
                                            int mode)                                              \
    {                                                                                              \
        const char *t = anpr_schedule_table_name(kind, mode);                                      \
        return t ? write_anpr_schedule_table(path, t, s, channel) : -1;                            \
    }
ANPR_SCHEDULE_FAMILY(effective, ANPR_SCHE_EFFECTIVE)
ANPR_SCHEDULE_FAMILY(audible, ANPR_SCHE_AUDIBLE)
ANPR_SCHEDULE_FAMILY(mail, ANPR_SCHE_MAIL)
ANPR_SCHEDULE_FAMILY(ptz, ANPR_SCHE_PTZ)
#undef ANPR_SCHEDULE_FAMILY

// Named action tables of a mode, shared with the daemon. The visitor's LED
// and warning light tables are spelt "lpr_vistor_", its HTTP tables
// "lpr_visitor_"; mode -1 uses the visitor's.
struct AnprActionTables {
    const char *white_sche;
    const char *warning_sche;
    const char *white_params;
    const char *warning_params;
    const char *http_sche;
    const char *http_params;
};
// nullptr for a mode out of range.
const AnprActionTables *anpr_action_tables(int mode);

// ---- Plate lists (QXDB_ANPR_PATH) --------------------------------------------------------
enum { ANPR_TYPE_SIZE = 16, ANPR_PLATE_SIZE = 64, ANPR_LIST_MAX = 10000 };
struct AnprListEntry {
    char type[ANPR_TYPE_SIZE];   // list type text, fixed with the web client
    char plate[ANPR_PLATE_SIZE]; // the plate, the entry's key
};
static_assert(sizeof(AnprListEntry) == 80, "plate list entry is 80 bytes");
static_assert(offsetof(AnprListEntry, plate) == 16, "");

// Entries are keyed by their plate; an entry with an empty plate is refused
// (-1). Each call is one transaction (joining an open settings_atomic on
// the same path).
// Adds or replaces the entry of its plate.
int write_anpr_list(const char *path, const AnprListEntry *entry);
// Adds or replaces `count` entries, all or nothing.
int write_anpr_list_replace_batch(const char *path, const AnprListEntry *entries, int count);
// Replaces the stored entry of its plate; -1 when none is stored.
int update_anpr_list(const char *path, const AnprListEntry *entry);
// Deletes the entry of the plate (0 also when none was stored).
int delete_anpr_list(const char *path, const char *plate);
// Deletes the entries of the plates of `count` entries, all or nothing.
int delete_anpr_lists(const char *path, const AnprListEntry *entries, int count);
// The entry of a plate: 0 and the entry, 1 when none is stored, -1 on failure.
int read_anpr_list_plate(const char *path, const char *plate, AnprListEntry *entry);
// Number of stored entries, -1 on failure.
int count_anpr_lists(const char *path);

// ---- Camera recognition settings ----------------------------------------------------------
struct AnprRect {
    char name[64];
    int32_t start_x, start_y, end_x, end_y;
};
static_assert(sizeof(AnprRect) == 80, "");
struct AnprPolygon {
    char name[64];
    char polygon_x[64];
    char polygon_y[64];
};
static_assert(sizeof(AnprPolygon) == 192, "");

enum { ANPR_REGIONS = 64, ANPR_ROIS = 4, ANPR_PRESETS = 4, ANPR_PRESET_ENTRIES = 4, ANPR_POLYGONS = 4 };
struct AnprSettingsRecord {
    int32_t chnid;                    // 0
    int32_t enable;
    int32_t resolution_width, resolution_height;
    int32_t area_x, area_y, area_width, area_height;     // 16
    int32_t day_night_mode_enable;    // 32
    int32_t scene;
    int32_t direction_enable;
    int32_t region_enable;
    int32_t roiid_enable;             // 48
    int32_t process_mode;
    int32_t repeat_check_time_value, repeat_check_time_unit;
    int32_t post_enable;              // 64
    int32_t post_type;
    int32_t post_tcp_port;
    char post_http_user[64];          // 76
    char post_http_password[64];      // 140
    char post_http_url[512];          // 204
    int32_t confidence;               // 716
    char region[ANPR_REGIONS][32];    // 720
    char cur_area[32];                // 2768
    int32_t in_night_mode;            // 2800 (reply only)
    int32_t platecolor_enable, vehicletype_enable, vehiclecolor_enable; // 2804
    AnprRect roi[ANPR_ROIS];          // 2816
    AnprRect preset[ANPR_PRESETS][ANPR_PRESET_ENTRIES]; // 3136
    uint8_t reserved[264];            // 4416: zero
    int32_t night_mode_enable, night_mode_level, night_mode_starthour, night_mode_startminute;
    int32_t night_mode_stophour, night_mode_stopminute, night_mode_effective_mode; // 4680..4707
    int32_t json_support;             // 4708
    int32_t ir_led_external_support;  // 4712 (reply only)
    int32_t vehicle_enhancement;      // 4716
    int32_t vehicle_brand_enable;     // 4720
    AnprPolygon normal_polygons[ANPR_POLYGONS]; // 4724
    int32_t aitype;                   // 5492
};
static_assert(sizeof(AnprSettingsRecord) == 5496, "recognition settings record is 5496 bytes");
static_assert(offsetof(AnprSettingsRecord, post_http_user) == 76, "");
static_assert(offsetof(AnprSettingsRecord, confidence) == 716, "");
static_assert(offsetof(AnprSettingsRecord, region) == 720, "");
static_assert(offsetof(AnprSettingsRecord, cur_area) == 2768, "");
static_assert(offsetof(AnprSettingsRecord, in_night_mode) == 2800, "");
static_assert(offsetof(AnprSettingsRecord, roi) == 2816, "");
static_assert(offsetof(AnprSettingsRecord, preset) == 3136, "");
static_assert(offsetof(AnprSettingsRecord, reserved) == 4416, "");
static_assert(offsetof(AnprSettingsRecord, night_mode_enable) == 4680, "");
static_assert(offsetof(AnprSettingsRecord, json_support) == 4708, "");
static_assert(offsetof(AnprSettingsRecord, vehicle_brand_enable) == 4720, "");
static_assert(offsetof(AnprSettingsRecord, normal_polygons) == 4724, "");
static_assert(offsetof(AnprSettingsRecord, aitype) == 5492, "");

// ---- Plate wildcards of the camera ---------------------------------------------------------
enum { ANPR_WILDCARDS = 9 };
struct AnprWildcardRecord {
    int32_t channel;                 // 0
    int32_t filter;                  // 4
    int32_t enable[ANPR_WILDCARDS];  // 8
    int32_t cr_count[ANPR_WILDCARDS]; // 44
    char format[ANPR_WILDCARDS][16]; // 80
    int32_t max_plate_char_num;      // 224
};
static_assert(sizeof(AnprWildcardRecord) == 228, "wildcard record is 228 bytes");
static_assert(offsetof(AnprWildcardRecord, cr_count) == 44, "");
static_assert(offsetof(AnprWildcardRecord, format) == 80, "");
static_assert(offsetof(AnprWildcardRecord, max_plate_char_num) == 224, "");

// ---- Small camera replies -------------------------------------------------------------------
struct AnprSupport {
    int32_t chnid;
    int32_t vca_support;
    int32_t vca_version;
};
static_assert(sizeof(AnprSupport) == 12, "");
struct CamZoomState {
    int32_t chnid;
    int32_t state;
    int32_t zoom_number;
};
static_assert(sizeof(CamZoomState) == 12, "");
