// Operation-log record sent to the daemon as request 3485 (672 bytes), and the
// 680-byte form with a channel bit mask sent as request 3509.
#pragma once
#include <cstddef>
#include <cstdint>

enum { IPC_OPLOG = 3485, IPC_OPLOG_MASK = 3509 };
enum { OPLOG_MAIN_SETTING = 4, OPLOG_MAIN_CONFLICT = 32 };

struct OpLogRecord {
    int32_t main_type;     // 4, or 32 for an address conflict
    int32_t reserved0;
    int64_t sub_type;      // operation, sign-extended
    uint8_t reserved1[8];
    int32_t param_type;    // settings group, 0 where none
    int32_t one;           // always 1
    int32_t object_no;     // 1-based item number, or 0
    char client_addr[46];  // REMOTE_ADDR
    char user_name[64];    // from the cookie
    uint8_t reserved2[526];
};
static_assert(sizeof(OpLogRecord) == 672, "operation-log record is 672 bytes");
static_assert(offsetof(OpLogRecord, sub_type) == 8, "");
static_assert(offsetof(OpLogRecord, param_type) == 24, "");
static_assert(offsetof(OpLogRecord, one) == 28, "");
static_assert(offsetof(OpLogRecord, object_no) == 32, "");
static_assert(offsetof(OpLogRecord, client_addr) == 36, "");
static_assert(offsetof(OpLogRecord, user_name) == 82, "");

struct OpLogMaskRecord {
    OpLogRecord log;
    uint32_t mask_lo; // channel bits 0..31
    uint32_t mask_hi; // channel bits 32..63
};
static_assert(sizeof(OpLogMaskRecord) == 680, "masked operation-log record is 680 bytes");
static_assert(offsetof(OpLogMaskRecord, mask_lo) == 672, "");
