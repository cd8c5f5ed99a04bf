// PTZ records: the command records of moves, presets, patterns and tours
// sent to the daemon, the state reply of a channel, the basic options of a
// camera, and the stored tours, serial settings and speeds per channel.
// All integers are 32-bit little-endian; texts from the daemon may lack
// their zero.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

enum {
    IPC_PTZ_MOVE = 1251,          // PtzCommand
    IPC_PTZ_PORT_CHANGED = 1252,  // int32 channel
    IPC_PTZ_PRESET = 1253,        // PtzCommand
    IPC_PTZ_PATTERN = 1254,       // PtzCommand
    IPC_PTZ_TOUR_CLEAR = 1257,    // PtzTourCommand
    IPC_PTZ_TOUR_RUN = 1260,      // PtzTourCommand
    IPC_PTZ_TOUR_STOP = 1261,     // PtzTourCommand
    IPC_PTZ_SUPPORT = 1262,       // int32 channel -> 6262: int32, -1 without PTZ
    IPC_PTZ_TOUR_SET = 1264,      // PtzTourSet
    IPC_PTZ_STATE = 1265,         // int32 channel -> 6265: PtzStateReply
    IPC_PTZ_CHANNEL_ACTION = 1266, // PtzChannelAction
    IPC_PTZ_ZOOM = 1267,          // PtzZoom
    IPC_PTZ_STREAM_STATE = 1268,  // PtzStreamQuery -> 6268: PtzStateReply
    IPC_PTZ_FISH_TOUR_SET = 1269, // PtzFishTourSet
    IPC_PTZ_BASIC_GET = 1270,     // int32 channel -> 6270: PtzBasicRecord (without the mask)
    IPC_PTZ_BASIC_SET = 1271,     // PtzBasicRecord -> 6271: int32 status
    IPC_PTZ_CONTROL = 3361,       // PtzControl -> 8361: int32 result
    IPC_PTZ_LED_STATUS = 3363,    // int32 channel -> 8363: PtzLedStatus
};
#define PTZ_REPLY(request) ((request) + 5000)

enum {
    PTZ_PRESETS = 300,      // presets of a channel (numbers 0..300 are accepted)
    PTZ_TOURS = 8,          // tours of a channel, numbered 1..8 in requests
    PTZ_TOUR_POINTS = 48,   // points of one tour
    PTZ_PATTERNS = 4,
    PTZ_TOUR_STATES = 5,
    PTZ_AUTOSCANS = 5,
    PTZ_CHANNELS = 64,
    PTZ_PRESET_NAME_SIZE = 32,
};

// Command codes the back end itself uses (the rest belong to the daemon).
enum { PTZ_ACTION_FOCUS_AUTO = 12, PTZ_ACTION_FOCUS_NEAR = 21, PTZ_ACTION_PRESET_SET = 22 };

// ---- Move, preset and pattern command (1251, 1253, 1254), 72 bytes ------------------------
struct PtzCommand {
    int32_t channel;              // 0
    int32_t action;               // 4: the daemon's PTZ command code
    int32_t number;               // 8: preset or pattern number
    int32_t pan_speed;            // 12
    int32_t tilt_speed;           // 16
    int32_t zoom_speed;           // 20
    int32_t focus_speed;          // 24
    int32_t reserved28;
    char name[PTZ_PRESET_NAME_SIZE]; // 32: preset name (set preset only)
    int32_t fisheye_type;         // 64: 0 = ordinary camera
    int32_t stream;               // 68: stream of a fisheye camera
};
static_assert(sizeof(PtzCommand) == 72, "PTZ command record is 72 bytes");
static_assert(offsetof(PtzCommand, name) == 32, "");
static_assert(offsetof(PtzCommand, fisheye_type) == 64, "");

// ---- Tour command (1257, 1260, 1261), 32 bytes ---------------------------------------------
struct PtzTourCommand {
    int32_t channel;       // 0
    int32_t tour;          // 4: as the request gives it (1..8)
    int32_t reserved8[4];
    int32_t fisheye_type;  // 24
    int32_t stream;        // 28
};
static_assert(sizeof(PtzTourCommand) == 32, "tour command record is 32 bytes");
static_assert(offsetof(PtzTourCommand, fisheye_type) == 24, "");

// ---- Stored tours (settings database, one table of 8 tours per channel) ---------------------
struct PtzTourPoint {
    int32_t preset; // 0 ends the tour
    int32_t time;
    int32_t speed;
};
static_assert(sizeof(PtzTourPoint) == 12, "");
struct PtzTourTable {
    PtzTourPoint tours[PTZ_TOURS][PTZ_TOUR_POINTS];
};
static_assert(sizeof(PtzTourTable) == 4608, "tour table is 4608 bytes");
// read_ptz_tour(path, table, channel), write_ptz_tour(path, table, channel).
NVR_DB_INDEXED(ptz_tour, PtzTourTable, "ptz_tour", PTZ_CHANNELS)

// Tour set request (1264), 588 bytes.
struct PtzTourSet {
    int32_t channel;
    int32_t tour;   // as the request gives it (1..8)
    int32_t count;  // points given
    PtzTourPoint points[PTZ_TOUR_POINTS];
};
static_assert(sizeof(PtzTourSet) == 588, "tour set request is 588 bytes");

// A tour as the state reply and the fisheye tour request lay it out.
struct PtzTourWords {
    int32_t presets[PTZ_TOUR_POINTS];
    int32_t times[PTZ_TOUR_POINTS];
    int32_t speeds[PTZ_TOUR_POINTS];
};
static_assert(sizeof(PtzTourWords) == 576, "");

// Fisheye tour request (1269), 4620 bytes: the tour number counts from 0.
struct PtzFishTourSet {
    int32_t channel;  // 0
    int32_t stream;   // 4
    int32_t tour;     // 8: request's "tourid" - 1
    PtzTourWords tours[PTZ_TOURS];
};
static_assert(sizeof(PtzFishTourSet) == 4620, "fisheye tour request is 4620 bytes");

// ---- State reply (6265, 6268), 15,604 bytes --------------------------------------------------
struct PtzPresetState {
    int32_t enable;
    char name[PTZ_PRESET_NAME_SIZE];
};
static_assert(sizeof(PtzPresetState) == 36, "");
struct PtzStateReply {
    PtzPresetState presets[PTZ_PRESETS];        // 0
    PtzTourWords tours[PTZ_TOURS];              // 10800
    int32_t patterns[PTZ_PATTERNS];             // 15408
    int32_t tour_states[PTZ_TOUR_STATES][PTZ_TOURS]; // 15424
    int32_t autoscan_states[PTZ_AUTOSCANS];     // 15584
};
static_assert(sizeof(PtzStateReply) == 15604, "PTZ state reply is 15604 bytes");
static_assert(offsetof(PtzStateReply, tours) == 10800, "");
static_assert(offsetof(PtzStateReply, patterns) == 15408, "");
static_assert(offsetof(PtzStateReply, tour_states) == 15424, "");
static_assert(offsetof(PtzStateReply, autoscan_states) == 15584, "");

struct PtzStreamQuery {
    int32_t channel;
    int32_t stream;
};
static_assert(sizeof(PtzStreamQuery) == 8, "");

// ---- Channel-wide action (1266), zoom (1267), control (3361), light (8363) -------------------
struct PtzChannelAction {
    int32_t channel;
    int32_t action;
};
static_assert(sizeof(PtzChannelAction) == 8, "");
struct PtzZoom {
    int32_t channel;
    int32_t zoom;
    int32_t zoom_speed;
};
static_assert(sizeof(PtzZoom) == 12, "");
struct PtzControl {
    int32_t channel;
    int32_t command;
};
static_assert(sizeof(PtzControl) == 8, "");
struct PtzLedStatus {
    int32_t channel;
    int32_t status;
};
static_assert(sizeof(PtzLedStatus) == 8, "");

// ---- Basic options (1271, reply 6270), 136 bytes ---------------------------------------------
struct PtzBasicRecord {
    int32_t status;               // 0
    int32_t chn_id;               // 4
    int32_t options[15];          // 8: "zoomStatus" .. "fanWorkingMode" (kPtzBasicKeys)
    char channel_mask[65];        // 68: requests only
    uint8_t pad133[3];
};
static_assert(sizeof(PtzBasicRecord) == 136, "PTZ basic record is 136 bytes");
static_assert(offsetof(PtzBasicRecord, options) == 8, "");
static_assert(offsetof(PtzBasicRecord, channel_mask) == 68, "");
enum { PTZ_BASIC_REPLY_SIZE = offsetof(PtzBasicRecord, channel_mask) };
// The option keys in record order (offsets 8 to 64).
inline constexpr const char *kPtzBasicKeys[15] = {
    "zoomStatus",     "panTiltStatus",  "presetStatus",     "patrolStatus",       "patternStatus",
    "autoScanStatus", "presetFreezing", "presetSpeed",      "manualSpeed",        "patrolRecovering",
    "patrolRecoveryTime", "focusMode", "minFocusDistance", "resumeTime",         "fanWorkingMode",
};

// ---- Serial PTZ settings (settings database, per channel), 36 bytes --------------------------
struct PtzPortRecord {
    int32_t channel;       // 0
    int32_t connect_type;  // "connectType" 0 or 1
    int32_t baud_rate;     // "baudRate"
    int32_t data_bits;     // "dataBits" 5..8
    int32_t stop_bits;     // "stopBits"
    int32_t parity_type;   // "parityType" 0..2
    int32_t protocol;      // "protocol" 0..13
    int32_t address;       // "address"
    int32_t reserved32;
};
static_assert(sizeof(PtzPortRecord) == 36, "serial PTZ record is 36 bytes");
// read_ptz_port(path, rec, channel), write_ptz_port(path, rec).
NVR_DB_RECORD(ptz_port, PtzPortRecord, "ptz_port", channel, PTZ_CHANNELS)

// ---- Stored speeds (settings database, per camera) -------------------------------------------
struct PtzSpeedRecord {
    int32_t channel;
    int32_t pan_speed;    // "panSpeed"
    int32_t tilt_speed;   // "tiltSpeed"
    int32_t zoom_speed;   // "zoomSpeed"
    int32_t focus_speed;  // "focusSpeed"
};
static_assert(sizeof(PtzSpeedRecord) == 20, "");
// read_ptz_speed(path, rec, channel), update_ptz_speed(path, channel, change).
NVR_DB_RECORD(ptz_speed, PtzSpeedRecord, "ptz_speed", channel, PTZ_CHANNELS)
