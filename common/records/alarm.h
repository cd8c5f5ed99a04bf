// Alarm inputs and outputs: the records of the recorder's own alarms and of
// the cameras' alarms kept in the settings database, the payloads exchanged
// with the daemon about them, and the storage of their action settings.
//
// The recorder has 16 alarm inputs (ids 0..15) and 4 alarm outputs (0..3);
// the camera of each channel 0..63 brings up to 4 alarm inputs and 2 alarm
// outputs. Every layout holds on 32-bit ARM too (int64 aligned to 8).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/records/event_action.h"
#include "common/settings.h"
#include "common/settings_named.h"

enum {
    ALARM_IN_COUNT = 16,       // recorder alarm inputs
    ALARM_OUT_COUNT = 4,       // recorder alarm outputs
    CAM_ALARM_IN_COUNT = 4,    // alarm inputs of one camera
    CAM_ALARM_OUT_COUNT = 2,   // alarm outputs of one camera
    ALARM_CHANNELS = 64,
    ALARM_NAME_SIZE = 256,     // recorder alarm names
    CAM_ALARM_NAME_SIZE = 64,  // camera alarm names
    ALARM_MASK_TEXT_SIZE = 65, // '0'/'1' per channel and the zero
};

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_ALARM_IN_CHANGED = 1404,      // 4 bytes: recorder alarm input id
    IPC_ALARM_OUT_CHANGED = 1405,     // 4 bytes: recorder alarm output id
    IPC_ALARM_OUT_SWITCH = 1409,      // AlarmOutSwitch
    IPC_ALARM_INS_CHANGED = 1415,     // 8 bytes: mask of recorder alarm inputs
    IPC_CAM_ALARM_INS_CHANGED = 1417, // 8 bytes: mask of channels
    IPC_CAM_ALARM_OUTS_CHANGED = 1418, // 8 bytes: mask of channels
    IPC_CAM_ALARM_OUT_STATE = 3296,   // CamAlarmOutState (channel); reply 8296, CamAlarmOutState[]
    IPC_CAM_ALARM_IN_STATE = 3298,    // CamAlarmInState (channel, count 4); reply 8298, CamAlarmInState[]
    IPC_CAM_ALARM_OUT_SET = 3324,     // CamAlarmOutSettings
    IPC_CAM_ALARM_IN_SET = 3325,      // CamAlarmInSettings
    IPC_CAM_ALARM_OUT_MANUAL = 3352,  // CamAlarmOutManual
};
enum {
    REPLY_CAM_ALARM_OUT_STATE = IPC_CAM_ALARM_OUT_STATE + 5000,
    REPLY_CAM_ALARM_IN_STATE = IPC_CAM_ALARM_IN_STATE + 5000,
};

// ---- Action fields --------------------------------------------------------------------
// The actions an alarm input triggers, shared by the recorder's inputs and
// the cameras' inputs (JSON keys in quotes).
struct AlarmActions {
    uint64_t channel_bits;          // bit n when tri_channels[n] == '1'
    int32_t tri_alarms;             // "triAlarms": recorder alarm outputs
    int32_t interval;               // "interval"
    char tri_channels[ALARM_MASK_TEXT_SIZE];      // "triChannels"
    char tri_chn_alarms[2][ALARM_MASK_TEXT_SIZE]; // "triChnAlarms": camera alarm outputs
    char tri_channels_pic[ALARM_MASK_TEXT_SIZE];  // "tri_channels_pic": pictures of the e-mail
    int32_t email_interval;         // "email_interval"
    int32_t email_pic_enable;       // "email_pic_enable"
    int32_t ptz_interval;           // "ptz_interval"
    int32_t alarmout_interval;      // "alarmout_interval"
    int32_t white_interval;         // "white_interval"
    int32_t warning_light_interval; // "warning_light_interval"
    int32_t http_notification_interval; // "http_notification_interval"
    int32_t audio_id;               // "audioId"
    uint8_t reserved[4];
};
static_assert(sizeof(AlarmActions) == 312, "alarm actions are 312 bytes");
static_assert(alignof(AlarmActions) == 8, "");
static_assert(offsetof(AlarmActions, tri_alarms) == 8, "");
static_assert(offsetof(AlarmActions, tri_channels) == 16, "");
static_assert(offsetof(AlarmActions, tri_chn_alarms) == 81, "");
static_assert(offsetof(AlarmActions, tri_channels_pic) == 211, "");
static_assert(offsetof(AlarmActions, email_interval) == 276, "");
static_assert(offsetof(AlarmActions, audio_id) == 304, "");

// ---- Recorder alarm input (one record per input 0..15) --------------------------------
// Layout, 664 bytes:
//     0  id                 4  enable (0..2)        8  name[256]
//   264  type (0 or 1)    268  reserved
//   272  actions (AlarmActions, 312 bytes)
//   584  tri_snapshot[65] 649  3 bytes
//   652  audible_enable   656  audible_interval   660  email_enable
// The last three serve the batch action setters of the alarm input pages
// (audible alarm and e-mail of several inputs at once).
struct AlarmInRecord {
    int32_t id;                     // "id" / "alarmId"
    int32_t enable;                 // "enable"
    char name[ALARM_NAME_SIZE];     // "name"
    int32_t type;                   // "type" / "alarmType"
    int32_t reserved0;
    AlarmActions actions;
    char tri_snapshot[ALARM_MASK_TEXT_SIZE]; // "triSnapshot": channels to take snapshots of
    uint8_t reserved1[3];
    int32_t audible_enable;
    int32_t audible_interval;
    int32_t email_enable;
};
static_assert(sizeof(AlarmInRecord) == 664, "alarm input record is 664 bytes");
static_assert(offsetof(AlarmInRecord, name) == 8, "");
static_assert(offsetof(AlarmInRecord, type) == 264, "");
static_assert(offsetof(AlarmInRecord, actions) == 272, "");
static_assert(offsetof(AlarmInRecord, tri_snapshot) == 584, "");
static_assert(offsetof(AlarmInRecord, audible_enable) == 652, "");
static_assert(offsetof(AlarmInRecord, audible_interval) == 656, "");
static_assert(offsetof(AlarmInRecord, email_enable) == 660, "");

// ---- Recorder alarm output (one record per output 0..3), 272 bytes ------------------------
struct AlarmOutRecord {
    int32_t id;
    char name[ALARM_NAME_SIZE]; // "name"
    int32_t type;               // "type"
    int32_t enable;             // "enable"
    int32_t duration_time;      // "durationTime"
};
static_assert(sizeof(AlarmOutRecord) == 272, "alarm output record is 272 bytes");
static_assert(offsetof(AlarmOutRecord, type) == 260, "");
static_assert(offsetof(AlarmOutRecord, duration_time) == 268, "");

// ---- Disarming (kept with recorder alarm input 0) ---------------------------------------
struct DisarmingRecord {
    int32_t linkage_action;      // "linkageAction"
    int32_t disarm_action_mask;  // "disarmActionMask"
};
static_assert(sizeof(DisarmingRecord) == 8, "");

// ---- Camera alarm input event (one per channel and input 0..3), 336 bytes -----------------
struct CamAlarmInEvent {
    int32_t channel;
    int32_t alarm_index; // 0..3
    AlarmActions actions;
    uint8_t reserved[16];
};
static_assert(sizeof(CamAlarmInEvent) == 336, "camera alarm input event is 336 bytes");
static_assert(offsetof(CamAlarmInEvent, actions) == 8, "");

// Camera alarm input name, 72 bytes.
struct CamAlarmInName {
    int32_t channel;
    int32_t alarm_index;
    char name[CAM_ALARM_NAME_SIZE]; // "alarmName"
};
static_assert(sizeof(CamAlarmInName) == 72, "camera alarm input name is 72 bytes");

// Camera alarm output name and delay, 76 bytes.
struct CamAlarmOutName {
    int32_t channel;
    int32_t alarm_index;
    int32_t delay_time;             // "delayTime"
    char name[CAM_ALARM_NAME_SIZE]; // "alarmName"
};
static_assert(sizeof(CamAlarmOutName) == 76, "camera alarm output name is 76 bytes");
static_assert(offsetof(CamAlarmOutName, name) == 12, "");

// ---- Daemon payloads ----------------------------------------------------------------------
// Camera alarm input state: request 3298 (channel, count 4) and reply 8298.
struct CamAlarmInState {
    int32_t channel;
    int32_t enable[CAM_ALARM_IN_COUNT]; // "alarmEnable"
    int32_t type[CAM_ALARM_IN_COUNT];   // "alarmType"
    int32_t status[CAM_ALARM_IN_COUNT]; // "alarmStatus"
    int32_t count;                      // "alarmCnt"
};
static_assert(sizeof(CamAlarmInState) == 56, "camera alarm input state is 56 bytes");
static_assert(offsetof(CamAlarmInState, type) == 20, "");
static_assert(offsetof(CamAlarmInState, status) == 36, "");
static_assert(offsetof(CamAlarmInState, count) == 52, "");

// Camera alarm output state: request 3296 (channel) and reply 8296.
struct CamAlarmOutState {
    int32_t channel;
    int32_t type[CAM_ALARM_OUT_COUNT];   // "alarmType"
    int32_t status[CAM_ALARM_OUT_COUNT]; // "alarmStatus"
    int32_t count;                       // "alarmCnt"
};
static_assert(sizeof(CamAlarmOutState) == 24, "camera alarm output state is 24 bytes");
static_assert(offsetof(CamAlarmOutState, status) == 12, "");
static_assert(offsetof(CamAlarmOutState, count) == 20, "");

// Camera alarm input settings (3325), 80 bytes.
struct CamAlarmInSlot {
    int32_t reserved;
    int32_t enable; // "alarmEnable"
    int32_t index;  // i
    int32_t type;   // "alarmType"
};
struct CamAlarmInSettings {
    CamAlarmInSlot slots[CAM_ALARM_IN_COUNT];
    int32_t count;
    int32_t reserved;
    uint64_t channel_mask; // own channel and copy targets
};
static_assert(sizeof(CamAlarmInSettings) == 80, "camera alarm input settings are 80 bytes");
static_assert(sizeof(CamAlarmInSlot) == 16, "");
static_assert(offsetof(CamAlarmInSettings, count) == 64, "");
static_assert(offsetof(CamAlarmInSettings, channel_mask) == 72, "");

// Camera alarm output settings (3324), 40 bytes: output i's index at 4+12i
// and type at 8+12i; the words at 0, 12 and 28 stay zero.
struct CamAlarmOutSlot {
    int32_t index; // i
    int32_t type;  // "alarmType"
};
struct CamAlarmOutSettings {
    int32_t reserved0;
    CamAlarmOutSlot slot0;
    int32_t reserved1;
    CamAlarmOutSlot slot1;
    int32_t count;
    int32_t reserved2;
    uint64_t channel_mask; // own channel and copy targets
    CamAlarmOutSlot &slot(int i) { return i == 0 ? slot0 : slot1; }
};
static_assert(sizeof(CamAlarmOutSettings) == 40, "camera alarm output settings are 40 bytes");
static_assert(offsetof(CamAlarmOutSettings, slot0) == 4, "");
static_assert(offsetof(CamAlarmOutSettings, slot1) == 16, "");
static_assert(offsetof(CamAlarmOutSettings, count) == 24, "");
static_assert(offsetof(CamAlarmOutSettings, channel_mask) == 32, "");

// Manual switch of a camera alarm output (3352), 12 bytes.
struct CamAlarmOutManual {
    int32_t channel;
    int32_t alarm_id;
    int32_t state;
};
static_assert(sizeof(CamAlarmOutManual) == 12, "");

// Manual switch of a recorder alarm output (1409), 8 bytes.
struct AlarmOutSwitch {
    int32_t id;
    int32_t enable;
};
static_assert(sizeof(AlarmOutSwitch) == 8, "");

// ---- Storage ------------------------------------------------------------------------------
// read_alarm_in / write_alarm_in / read_alarm_ins / write_alarm_ins(.., mask), keyed by id.
NVR_DB_RECORD(alarm_in, AlarmInRecord, "alarm_in", id, ALARM_IN_COUNT, NVR_COLUMN(enable), NVR_COLUMN(type))
NVR_DB_RECORD(alarm_out, AlarmOutRecord, "alarm_out", id, ALARM_OUT_COUNT, NVR_COLUMN(type),
              NVR_COLUMN(enable), NVR_COLUMN_AS("durationTime", duration_time))
NVR_DB_SINGLE(disarming, DisarmingRecord, "disarming")
// The schedule of the alarm input dialog (/6062) and of each recorder output.
NVR_DB_SCHEDULE(alarm_in, "alarm_in_schedule", ALARM_IN_COUNT)
NVR_DB_SCHEDULE(alarm_out, "alarm_out_schedule", ALARM_OUT_COUNT)
// Camera alarm names, one table each, at slot channel * per-camera count + index.
NVR_DB_INDEXED(cam_alarm_in_name, CamAlarmInName, "cam_alarm_in_name", ALARM_CHANNELS * CAM_ALARM_IN_COUNT)
NVR_DB_INDEXED(cam_alarm_out_name, CamAlarmOutName, "cam_alarm_out_name", ALARM_CHANNELS * CAM_ALARM_OUT_COUNT)

// Action schedules of alarms live in tables named after the alarm
// ("alarmin_effective_sche" for the recorder inputs, keyed by input id;
// "alarm_chnin2_effective_sche" for input 2 of every camera, keyed by
// channel), so that a copy to several inputs or channels is one call.
NVR_DB_NAMED(alarm_action_schedule, WeekSchedule, ALARM_CHANNELS, nvr_db_no_stamp<WeekSchedule>)
// Camera alarm input events, one table per input index, keyed by channel.
inline void stamp_cam_alarm_in_event(CamAlarmInEvent *e, int channel) { e->channel = channel; }
NVR_DB_NAMED(cam_alarm_in_event, CamAlarmInEvent, ALARM_CHANNELS, stamp_cam_alarm_in_event)

// The recorder inputs' action schedules by kind: read_alarmin_<kind>_schedule,
// write_alarmin_<kind>_schedule (input 0..15) and copy_alarmin_<kind>_schedules
// (mask of inputs; bits 16 and up are ignored).
#define ALARMIN_ACTION_SCHEDULE(kind)                                                             \
    inline int read_alarmin_##kind##_schedule(const char *path, WeekSchedule *s, int id)          \
    {                                                                                             \
        if (id < 0 || id >= ALARM_IN_COUNT) return -1;                                            \
        return read_alarm_action_schedule(path, "alarmin_" #kind "_sche", s, id);                 \
    }                                                                                             \
    inline int write_alarmin_##kind##_schedule(const char *path, const WeekSchedule *s, int id)   \
    {                                                                                             \
        if (id < 0 || id >= ALARM_IN_COUNT) return -1;                                            \
        return write_alarm_action_schedule(path, "alarmin_" #kind "_sche", s, id);                \
    }                                                                                             \
    inline int copy_alarmin_##kind##_schedules(const char *path, const WeekSchedule *s, uint64_t mask) \
    {                                                                                             \
        return copy_alarm_action_schedule(path, "alarmin_" #kind "_sche", s,                      \
                                          mask & ((1ULL << ALARM_IN_COUNT) - 1));                 \
    }
ALARMIN_ACTION_SCHEDULE(effective)
ALARMIN_ACTION_SCHEDULE(audible)
ALARMIN_ACTION_SCHEDULE(email)
ALARMIN_ACTION_SCHEDULE(ptz)
#undef ALARMIN_ACTION_SCHEDULE

// ---- Camera alarms by channel and index ----------------------------------------------------
// Slot of (channel, index) in the camera name tables; -1 out of range.
inline int cam_alarm_slot(int channel, int index, int per_camera)
{
    if (channel < 0 || channel >= ALARM_CHANNELS || index < 0 || index >= per_camera) return -1;
    return channel * per_camera + index;
}

// Names of the camera alarm inputs (and outputs, with their delay time).
// A read sets the record's channel and index; a write stores under them.
template <class Name, int PerCamera>
int read_cam_alarm_name_(const char *path, Name *rec, int channel, int index, int (*read)(const char *, Name *, int))
{
    int slot = cam_alarm_slot(channel, index, PerCamera);
    if (slot < 0 || read(path, rec, slot) != 0) return -1;
    rec->channel = channel;
    rec->alarm_index = index;
    return 0;
}
template <class Name, int PerCamera>
int write_cam_alarm_name_(const char *path, const Name *rec, int (*write)(const char *, const Name *, int))
{
    int slot = cam_alarm_slot(rec->channel, rec->alarm_index, PerCamera);
    return slot < 0 ? -1 : write(path, rec, slot);
}
inline int read_alarm_chnIn_event_name(const char *path, CamAlarmInName *rec, int channel, int index)
{
    return read_cam_alarm_name_<CamAlarmInName, CAM_ALARM_IN_COUNT>(path, rec, channel, index, read_cam_alarm_in_name);
}
inline int write_alarm_chnIn_event_name(const char *path, const CamAlarmInName *rec)
{
    return write_cam_alarm_name_<CamAlarmInName, CAM_ALARM_IN_COUNT>(path, rec, write_cam_alarm_in_name);
}
inline int read_alarm_chnOut_event_name(const char *path, CamAlarmOutName *rec, int channel, int index)
{
    return read_cam_alarm_name_<CamAlarmOutName, CAM_ALARM_OUT_COUNT>(path, rec, channel, index,
                                                                      read_cam_alarm_out_name);
}
inline int write_alarm_chnOut_event_name(const char *path, const CamAlarmOutName *rec)
{
    return write_cam_alarm_name_<CamAlarmOutName, CAM_ALARM_OUT_COUNT>(path, rec, write_cam_alarm_out_name);
}
// Every camera's names in one read: entry channel * per-camera count + index.
struct CamAlarmInNames {
    CamAlarmInName names[ALARM_CHANNELS * CAM_ALARM_IN_COUNT];
};
struct CamAlarmOutNames {
    CamAlarmOutName names[ALARM_CHANNELS * CAM_ALARM_OUT_COUNT];
};
inline int read_alarm_chnIn_event_names(const char *path, CamAlarmInNames *out)
{
    int count = 0;
    return nvr_db_read_all(path, nvr_db_cam_alarm_in_name::desc, out->names, ALARM_CHANNELS * CAM_ALARM_IN_COUNT,
                           &count);
}
inline int read_alarm_chnOut_event_names(const char *path, CamAlarmOutNames *out)
{
    int count = 0;
    return nvr_db_read_all(path, nvr_db_cam_alarm_out_name::desc, out->names, ALARM_CHANNELS * CAM_ALARM_OUT_COUNT,
                           &count);
}

// Table of camera input `index`'s events, "alarm_chnIn<index>_event".
struct CamAlarmTable {
    char name[NVR_DB_TABLE_NAME_SIZE];
    CamAlarmTable(const char *format, int index) { snprintf(name, sizeof name, format, index); }
};
inline int read_alarm_chnIn_event(const char *path, CamAlarmInEvent *rec, int channel, int index)
{
    if (index < 0 || index >= CAM_ALARM_IN_COUNT) return -1;
    if (read_cam_alarm_in_event(path, CamAlarmTable("alarm_chnIn%d_event", index).name, rec, channel) != 0) return -1;
    rec->alarm_index = index;
    return 0;
}
inline int write_alarm_chnIn_event(const char *path, const CamAlarmInEvent *rec)
{
    if (rec->alarm_index < 0 || rec->alarm_index >= CAM_ALARM_IN_COUNT) return -1;
    return write_cam_alarm_in_event(path, CamAlarmTable("alarm_chnIn%d_event", rec->alarm_index).name, rec,
                                    rec->channel);
}
// The event to the same input of every channel of the mask.
inline int copy_alarm_chnIn_events(const char *path, const CamAlarmInEvent *rec, uint64_t mask)
{
    if (rec->alarm_index < 0 || rec->alarm_index >= CAM_ALARM_IN_COUNT) return -1;
    return copy_cam_alarm_in_event(path, CamAlarmTable("alarm_chnIn%d_event", rec->alarm_index).name, rec, mask);
}

// Effective schedule of camera output `index` (0..1) of a channel.
inline int read_alarm_chnOut_effective_schedule(const char *path, WeekSchedule *s, int channel, int index)
{
    if (index < 0 || index >= CAM_ALARM_OUT_COUNT) return -1;
    return read_alarm_action_schedule(path, CamAlarmTable("alarm_chnOut%d_effective_sche", index).name, s, channel);
}
inline int write_alarm_chnOut_effective_schedule(const char *path, const WeekSchedule *s, int channel, int index)
{
    if (index < 0 || index >= CAM_ALARM_OUT_COUNT) return -1;
    return write_alarm_action_schedule(path, CamAlarmTable("alarm_chnOut%d_effective_sche", index).name, s, channel);
}
inline int copy_alarm_chnOut_effective_schedules(const char *path, const WeekSchedule *s, int index, uint64_t mask)
{
    if (index < 0 || index >= CAM_ALARM_OUT_COUNT) return -1;
    return copy_alarm_action_schedule(path, CamAlarmTable("alarm_chnOut%d_effective_sche", index).name, s, mask);
}

// PTZ action event type of camera alarm input `index` (0..3): 26..29; -1
// for other indexes. The recorder's inputs use PTZ_EVENT_ALARM_IN.
inline int converse_chn_alarmid_to_event_in(int index)
{
    return index >= 0 && index < CAM_ALARM_IN_COUNT ? 26 + index : -1;
}
