// Records of the actions every event type carries (camera alarm outputs,
// white light, warning light, HTTP notification, PTZ movements) and the
// alarm sound table. Shared with the daemon through the settings database;
// the JSON side is in common/codecs.h.
//
// Storage: each event kind keeps its light, HTTP-notification and PTZ tables
// under table names of its own (common/settings_named.h), one record per
// channel; the alarm sound table is a fixed table of 10 slots.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"
#include "common/settings_named.h"

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

// Stored white-light parameters of one channel: the first `count` entries
// are in use (a stored count outside 0..64 reads as its nearest bound).
struct WhiteLedParams {
    int32_t count;
    WhiteLedEntry entries[LIGHT_GROUP_ENTRIES];
};
static_assert(sizeof(WhiteLedParams) == 1028, "stored white-light parameters are 1028 bytes");

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

struct WarningLightParams {
    int32_t count;
    WarningLightEntry entries[LIGHT_GROUP_ENTRIES];
};
static_assert(sizeof(WarningLightParams) == 1540, "stored warning-light parameters are 1540 bytes");

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

// ---- Storage -------------------------------------------------------------------------------

// Stamps of the stored records: the key (channel) goes into the group index
// of the used light entries, the owner of the used PTZ entries and the
// channel of the HTTP record.
template <class Params> void stamp_light_params(Params *p, int channel)
{
    if (p->count < 0) p->count = 0;
    if (p->count > LIGHT_GROUP_ENTRIES) p->count = LIGHT_GROUP_ENTRIES;
    for (int i = 0; i < p->count; i++) p->entries[i].group = channel;
}
inline void stamp_http_params(HttpNotificationParams *p, int channel) { p->channel = channel; }
inline void stamp_ptz_table(PtzActionTable *t, int channel)
{
    for (PtzActionEntry &e : t->entries)
        if (e.acto_ptz_channel > 0) e.channel = channel;
}

// read_/write_/copy_/delete_whiteled_params(path, table name, ...), keyed by
// channel; the people-counting lights live in PEOPLECNT_WLED_PARAMS_TABLE.
NVR_DB_NAMED(whiteled_params, WhiteLedParams, EVENT_CHANNELS, stamp_light_params<WhiteLedParams>)
NVR_DB_NAMED(warning_light_params, WarningLightParams, EVENT_CHANNELS, stamp_light_params<WarningLightParams>)
NVR_DB_NAMED(http_notification_params, HttpNotificationParams, EVENT_CHANNELS, stamp_http_params)
// PTZ action tables, one table name per event type (ptz_action_table_name).
NVR_DB_NAMED(ptz_action_table, PtzActionTable, EVENT_CHANNELS, stamp_ptz_table)
// read_alarm_audio_file(s), write_alarm_audio_file(s), ...: slot n = key n.
NVR_DB_RECORD(alarm_audio_file, AlarmAudioFileEntry, "alarm_audio_file", id, ALARM_AUDIO_FILES, NVR_COLUMN(enable))

#define PEOPLECNT_WLED_PARAMS_TABLE "peoplecnt_wled_params"
inline int read_peoplecnt_wled_params(const char *path, WhiteLedParams *params, int channel)
{
    return read_whiteled_params(path, PEOPLECNT_WLED_PARAMS_TABLE, params, channel);
}

// Store the first `count` entries of one channel's decoded group (the form
// the JSON decoders fill) under the named table.
int write_whiteled_params_all(const char *path, const WhiteLedGroup *group, int count, const char *table,
                              int channel);
int write_warning_light_params_all(const char *path, const WarningLightGroup *group, int count,
                                   const char *table, int channel);
// Stores the record under its own channel.
int write_http_notification_params(const char *path, const char *table, const HttpNotificationParams *params);

// Table name of an event type's PTZ actions: "ptz_params_<type>", and
// "peoplecnt_ptz_params" for people counting (20). false for a type outside
// 0..31.
bool ptz_action_table_name(int event_type, char (&out)[32]);
// The PTZ action entries of (event type, channel). *count: the entries
// filled (64, unused ones have acto_ptz_channel 0), 0 on failure.
int read_ptz_params(const char *path, PtzActionTable *table, int event_type, int channel, int *count);
// Stores all entries for (event type, channel); the used entries are owned
// by the channel.
int write_ptz_params_all(const char *path, const PtzActionTable *table, int event_type, int channel);
int copy_ptz_params_all(const char *path, const PtzActionTable *table, int event_type, uint64_t mask);
// The people-counting forms (event type 20).
int read_peoplecnt_ptz_params(const char *path, PtzActionTable *table, int channel, int *count);
int write_peoplecnt_ptz_params_ex(const char *path, const PtzActionTable *table, int channel);
