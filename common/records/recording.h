// Recording settings: holidays, the record entry and week schedule of each
// channel in the settings database, and the payloads of the record requests
// exchanged with the daemon. Integers are 32-bit little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

enum { RECORD_MAX_CHANNELS = 64, HOLIDAY_MAX = 32 };

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_RECORD_PARAMS_CHANGED = 1310, // RecordChannelList: recording parameters set
    IPC_HOLIDAY_CHANGED = 1401,       // no payload
    IPC_RECORD_MODE_CHANGED = 1407,   // int32 channel
    IPC_RECORD_SCHEDULE_COPIED = 1411,// uint64 channel bits
    IPC_RECORD_MODES_CHANGED = 1413,  // uint64 channel bits
    IPC_RECORD_ANR = 2285,            // RecordAnrRequest -> 7285 RecordAnrReply
    IPC_RECORD_ANR_SUPPORT = 2286,    // int32 channel -> 7286 RecordAnrSupport
    IPC_RECORD_STREAMS = 3218,        // no payload -> 8218 RecordStreamReply
};
enum {
    REPLY_RECORD_ANR = IPC_RECORD_ANR + 5000,
    REPLY_RECORD_ANR_SUPPORT = IPC_RECORD_ANR_SUPPORT + 5000,
    REPLY_RECORD_STREAMS = IPC_RECORD_STREAMS + 5000,
};

// ---- Holiday (settings database, ids 0..31) --------------------------------------
struct HolidayRecord {
    int32_t id;          // "id"
    char name[256];      // "name", at most 255 characters
    int32_t enable;      // "enable", 0 or 1
    int32_t type;        // "type", >= 0
    int32_t start[5];    // "startYear", "startMon", "startMDay", "startMWeek", "startWDay"
    int32_t end[5];      // "endYear", "endMon", "endMDay", "endMWeek", "endWDay"
};
static_assert(sizeof(HolidayRecord) == 308, "holiday record is 308 bytes");
static_assert(offsetof(HolidayRecord, name) == 4, "");
static_assert(offsetof(HolidayRecord, enable) == 260, "");
static_assert(offsetof(HolidayRecord, type) == 264, "");
static_assert(offsetof(HolidayRecord, start) == 268, "");
static_assert(offsetof(HolidayRecord, end) == 288, "");

// read_holiday / write_holiday / read_holidays, keyed by id.
NVR_DB_RECORD(holiday, HolidayRecord, "holiday", id, HOLIDAY_MAX, NVR_COLUMN(enable))

// ---- Record entry of a channel (settings database) ------------------------------
// Bytes this program does not name are carried through unchanged.
struct RecordEntry {
    int32_t id;                   // 0: channel
    int32_t mode;                 // 4: "mode" 0..2
    uint8_t reserved8[28];
    int32_t audio_enable;         // 36: "audioEnable"
    uint8_t reserved40[8];
    int32_t prev_record_on;       // 48: "prevRecordOn"
    int32_t prev_record_duration; // 52: "prevRecordDuration"
    int32_t post_record_on;       // 56: "postRecordOn"
    int32_t post_record_duration; // 60: "postRecordDuration"
    int32_t record_exp_date;      // 64: "recordExpDate"
    int32_t reserved68;
};
static_assert(sizeof(RecordEntry) == 72, "record entry is 72 bytes");
static_assert(offsetof(RecordEntry, mode) == 4, "");
static_assert(offsetof(RecordEntry, audio_enable) == 36, "");
static_assert(offsetof(RecordEntry, prev_record_on) == 48, "");
static_assert(offsetof(RecordEntry, prev_record_duration) == 52, "");
static_assert(offsetof(RecordEntry, post_record_on) == 56, "");
static_assert(offsetof(RecordEntry, post_record_duration) == 60, "");
static_assert(offsetof(RecordEntry, record_exp_date) == 64, "");

// Table "record": read_record / write_record / read_records / write_records
// (with a channel mask), keyed by channel; column "mode".
NVR_DB_RECORD(record, RecordEntry, "record", id, RECORD_MAX_CHANNELS, NVR_COLUMN(mode))
// Recording week schedule of each channel; the day-trailing words are
// "wholedayEnable" and "wholedayActionType".
// read_record_schedule / write_record_schedule / copy_record_schedules.
NVR_DB_SCHEDULE(record, "record_schedule", RECORD_MAX_CHANNELS)

enum { RECORD_MODE_MAX = 2, RECORD_STREAM_MAX = 2 };

// ---- Daemon payloads -------------------------------------------------------------
// 1310: the channels whose recording parameters were set, the first `count`.
struct RecordChannelList {
    int32_t channels[RECORD_MAX_CHANNELS];
    int32_t count;
};
static_assert(sizeof(RecordChannelList) == 260, "record channel list is 260 bytes");

// 2285: the channels whose ANR flag changed, and the new flag.
struct RecordAnrRequest {
    RecordChannelList list;
    int32_t anr;
};
static_assert(sizeof(RecordAnrRequest) == 264, "ANR request is 264 bytes");
static_assert(offsetof(RecordAnrRequest, anr) == 260, "");

// 7285: per-channel results of the ANR change.
struct RecordAnrReply {
    int32_t channels[RECORD_MAX_CHANNELS]; // not used
    int32_t result[RECORD_MAX_CHANNELS];
    int32_t count;
    int32_t anr;
};
static_assert(sizeof(RecordAnrReply) == 520, "ANR reply is 520 bytes");
static_assert(offsetof(RecordAnrReply, result) == 256, "");
static_assert(offsetof(RecordAnrReply, count) == 512, "");
static_assert(offsetof(RecordAnrReply, anr) == 516, "");

// 7286: whether a channel's camera supports ANR.
struct RecordAnrSupport {
    int32_t channel;
    int32_t support;
};
static_assert(sizeof(RecordAnrSupport) == 8, "");

// 8218: the record streams of the channels, `size` of each list.
struct RecordStreamReply {
    int32_t primary[RECORD_MAX_CHANNELS];
    int32_t secondary[RECORD_MAX_CHANNELS];
    int32_t size;
};
static_assert(sizeof(RecordStreamReply) == 516, "record stream reply is 516 bytes");
static_assert(offsetof(RecordStreamReply, secondary) == 256, "");
static_assert(offsetof(RecordStreamReply, size) == 512, "");
