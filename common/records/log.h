// The device log kept by the daemon: one entry has the layout of the
// operation-log record (common/records/oplog.h) as the daemon stores it, with
// its time, remote flag and detail block filled. Search and export requests,
// the search page and the export file. Integers are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/oplog.h"

enum {
    IPC_LOG_EXPORT = 3494, // LogSearchRequest -> 8494 LogExportReply
    IPC_LOG_SEARCH = 3495, // LogSearchRequest -> 8495 LogSearchReply
    IPC_LOG_DETAIL = 3488, // LogEntry -> 8488 detail text
};
enum {
    REPLY_LOG_EXPORT = IPC_LOG_EXPORT + 5000,
    REPLY_LOG_SEARCH = IPC_LOG_SEARCH + 5000,
    REPLY_LOG_DETAIL = IPC_LOG_DETAIL + 5000,
};

// Main types of the log: bit values.
enum {
    LOG_MAIN_ALL = 1,
    LOG_MAIN_EVENT = 2,
    LOG_MAIN_OPERATION = 4,
    LOG_MAIN_INFORMATION = 8,
    LOG_MAIN_EXCEPTION = 32,
    LOG_MAIN_DEBUG = 64,
};
enum { LOG_SUB_ALL = 10 };         // the sub type that stands for all of a main type
enum { LOG_DETAIL_SIZE = 512 };

// ---- Log entry (672 bytes) -------------------------------------------------------
struct LogEntry {
    int32_t main_type;          // 0: bit value
    int32_t reserved4;
    int64_t sub_type;           // 8
    int32_t reserved16;
    int32_t time;               // 20: seconds
    int32_t param_type;         // 24: settings group, 0 where none
    int32_t remote;             // 28
    int32_t channel;            // 32: object number (1-based channel, disk port, ...)
    char client_addr[46];       // 36
    char user_name[66];         // 82
    int32_t size;               // 148
    uint8_t detail[LOG_DETAIL_SIZE]; // 152: text, or a packed detail block
    uint8_t reserved664[8];
};
static_assert(sizeof(LogEntry) == 672, "log entry is 672 bytes");
static_assert(sizeof(LogEntry) == sizeof(OpLogRecord), "a log entry is an operation-log record");
static_assert(offsetof(LogEntry, sub_type) == 8, "");
static_assert(offsetof(LogEntry, time) == 20, "");
static_assert(offsetof(LogEntry, param_type) == 24, "");
static_assert(offsetof(LogEntry, remote) == 28, "");
static_assert(offsetof(LogEntry, channel) == 32, "");
static_assert(offsetof(LogEntry, client_addr) == 36, "");
static_assert(offsetof(LogEntry, user_name) == 82, "");
static_assert(offsetof(LogEntry, size) == 148, "");
static_assert(offsetof(LogEntry, detail) == 152, "");

// ---- Search and export request (840 bytes) ------------------------------------------
enum { LOG_SUB_TYPES_MAX = 100, LOG_PAGE_ENTRIES = 100 };
struct LogSearchRequest {
    int32_t start_time;                      // 0: seconds
    int32_t end_time;                        // 4
    int32_t main_type;                       // 8
    int32_t reserved12;
    int64_t sub_types[LOG_SUB_TYPES_MAX];    // 16
    int32_t sub_type_count;                  // 816
    int32_t page;                            // 820: 1-based; 1 for an export
    uint64_t channel_mask;                   // 824: bit n = channel n
    int32_t no_channel;                      // 832: entries without a channel too
    int32_t reserved836;
};
static_assert(sizeof(LogSearchRequest) == 840, "log search request is 840 bytes");
static_assert(offsetof(LogSearchRequest, sub_types) == 16, "");
static_assert(offsetof(LogSearchRequest, sub_type_count) == 816, "");
static_assert(offsetof(LogSearchRequest, page) == 820, "");
static_assert(offsetof(LogSearchRequest, channel_mask) == 824, "");
static_assert(offsetof(LogSearchRequest, no_channel) == 832, "");

// ---- Search page (reply 8495, 67,208 bytes) ------------------------------------------
struct LogSearchReply {
    int32_t total;                            // entries found in all
    int32_t count;                            // entries on this page
    LogEntry entries[LOG_PAGE_ENTRIES];
};
static_assert(sizeof(LogSearchReply) == 67208, "log search reply is 67,208 bytes");
static_assert(offsetof(LogSearchReply, entries) == 8, "");
enum { LOG_SEARCH_HEAD = offsetof(LogSearchReply, entries) };

// ---- Export (reply 8494, records of 68 bytes) -----------------------------------------
// The first record names the file the daemon wrote: an int32 entry count,
// then per entry the LogEntry and its detail text.
struct LogExportReply {
    int32_t status;
    char path[64];
};
static_assert(sizeof(LogExportReply) == 68, "log export reply record is 68 bytes");
static_assert(offsetof(LogExportReply, path) == 4, "");

enum { LOG_EXPORT_DETAIL_SIZE = 4096 };
struct LogExportItem {
    LogEntry entry;
    char detail[LOG_EXPORT_DETAIL_SIZE];
};
static_assert(sizeof(LogExportItem) == 672 + 4096, "export item is an entry and its detail text");

// Present while an export runs.
#define LOG_EXPORT_MARK "/tmp/log/log_web"
#define LOG_EXPORT_DIR "/tmp/log"
