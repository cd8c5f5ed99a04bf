// Records of the actions every event type carries (camera alarm outputs,
// white light, warning light, HTTP notification, PTZ movements) and the
// alarm sound table. Shared with the daemon through the settings database;
// the JSON side is in common/codecs.h.
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    EVENT_CHANNELS = 64,      // channels, and groups of the light tables
    LIGHT_GROUP_ENTRIES = 64, // entries of one channel's light group
    PTZ_ACTION_ENTRIES = 64,  // entries of a PTZ action table
    ALARM_OUT_ID_SIZE = 65,   // alarm-output identifier text
    ALARM_AUDIO_FILES = 10,   // sound-file slots
};

// ---- Camera alarm-output pair ("triChnAlarms") ------------------------------
// Callers keep two entries, positions 0 and 1.
struct AlarmOutPair {
    int32_t channel;               // the event's channel
    int32_t position;              // 0 or 1
    char alarm_out[ALARM_OUT_ID_SIZE];
    uint8_t reserved[3];
};
static_assert(sizeof(AlarmOutPair) == 76, "alarm-output pair entry is 76 bytes");
static_assert(offsetof(AlarmOutPair, position) == 4, "");
static_assert(offsetof(AlarmOutPair, alarm_out) == 8, "");

// ---- White light (also the people-counting white light) -----------------------
struct WhiteLedEntry {
    int32_t group; // the channel the table group belongs to
    int32_t chnid; // "chnid": the light's channel
    int32_t mode;  // "mode"
    int32_t time;  // "time"
};
static_assert(sizeof(WhiteLedEntry) == 16, "white-light entry is 16 bytes");
static_assert(offsetof(WhiteLedEntry, time) == 12, "");

struct WhiteLedGroup {
    WhiteLedEntry entries[LIGHT_GROUP_ENTRIES];
};
static_assert(sizeof(WhiteLedGroup) == 1024, "");

struct WhiteLedTable {
    WhiteLedGroup groups[EVENT_CHANNELS]; // group n belongs to channel n
};
static_assert(sizeof(WhiteLedTable) == 65536, "white-light table is 64 KiB");

// ---- Warning light ------------------------------------------------------------
struct WarningLightEntry {
    int32_t group; // the channel the table group belongs to
    int32_t chnid; // "chnid"
    uint8_t reserved0[8];
    int32_t time;  // "time"
    uint8_t reserved1[4];
};
static_assert(sizeof(WarningLightEntry) == 24, "warning-light entry is 24 bytes");
static_assert(offsetof(WarningLightEntry, chnid) == 4, "");
static_assert(offsetof(WarningLightEntry, time) == 16, "");

struct WarningLightGroup {
    WarningLightEntry entries[LIGHT_GROUP_ENTRIES];
};
static_assert(sizeof(WarningLightGroup) == 1536, "");

struct WarningLightTable {
    WarningLightGroup groups[EVENT_CHANNELS];
};
static_assert(sizeof(WarningLightTable) == 98304, "warning-light table is 96 KiB");

// ---- HTTP notification ------------------------------------------------------------
struct HttpNotificationParams {
    int32_t channel;    // "chnId" (exceptions: the exception kind, -1 for none)
    char url[513];      // "url"
    char username[97];  // "username"
    char password[65];  // "password"
    uint8_t reserved[1];
};
static_assert(sizeof(HttpNotificationParams) == 680, "HTTP notification record is 680 bytes");
static_assert(offsetof(HttpNotificationParams, url) == 4, "");
static_assert(offsetof(HttpNotificationParams, username) == 517, "");
static_assert(offsetof(HttpNotificationParams, password) == 614, "");

// ---- PTZ actions ----------------------------------------------------------------------
struct PtzActionEntry {
    int32_t channel;          // the event's channel (owner)
    int32_t acto_ptz_channel; // PTZ camera to move; entries with 0 are unused
    int32_t reserved;         // not set by the codecs
    int32_t acto_ptz_type;
    int32_t acto_ptz_preset;
    int32_t acto_ptz_patrol;
    int32_t acto_ptz_pattern;
};
static_assert(sizeof(PtzActionEntry) == 28, "PTZ action entry is 28 bytes");
static_assert(offsetof(PtzActionEntry, acto_ptz_type) == 12, "");
static_assert(offsetof(PtzActionEntry, acto_ptz_pattern) == 24, "");

struct PtzActionTable {
    PtzActionEntry entries[PTZ_ACTION_ENTRIES];
};
static_assert(sizeof(PtzActionTable) == 1792, "PTZ action table is 1792 bytes");

// PTZ action event types (event type argument of the PTZ action storage).
enum {
    PTZ_EVENT_ALARM_IN = 0,
    PTZ_EVENT_MOTION = 1,
    PTZ_EVENT_VIDEO_LOSS = 2,
    PTZ_EVENT_SMART_FIRST = 5,  // smart analysis kinds 0..8 are 5..13
    PTZ_EVENT_SMART_LAST = 13,
    PTZ_EVENT_PEOPLE_COUNT = 20, // kept in a table of its own
};

// ---- Alarm sound files ------------------------------------------------------------------
// Slot n of the sound-file table; the daemon keeps the sounds themselves.
struct AlarmAudioFileEntry {
    int32_t enable;   // 1: slot n holds a sound
    int32_t id;       // n
    char name[128];   // URL-safe Base64 of the sound's name
};
static_assert(sizeof(AlarmAudioFileEntry) == 136, "alarm sound entry is 136 bytes");
static_assert(offsetof(AlarmAudioFileEntry, name) == 8, "");
