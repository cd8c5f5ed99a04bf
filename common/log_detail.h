// Detail blocks of operation-log records (stand-in for the maker's file-system
// library). A detail block is a typed byte block that names what an operation
// changed (a camera's address, a disk port, a network disk); it travels inside
// the 672-byte operation-log record, behind the user name:
//   152 int32 detail type (111 camera, 102 disk format, ...)
//   156 int32 detail length in bytes
//   160 the detail bytes, at most OPLOG_DETAIL_MAX
#pragma once
#include <cstddef>

#include "common/records/oplog.h"

enum {
    OPLOG_DETAIL_TYPE_OFFSET = 152,
    OPLOG_DETAIL_LENGTH_OFFSET = 156,
    OPLOG_DETAIL_OFFSET = 160,
    OPLOG_DETAIL_MAX = static_cast<int>(sizeof(OpLogRecord)) - 160,
};

// Packs `length` bytes of `detail` with its type into the record. Returns 0,
// or -1 (record unchanged) for a null record or detail, a negative length or
// one over OPLOG_DETAIL_MAX.
int qxfs_log_pack_detail(OpLogRecord *log, int type, const void *detail, int length);

// Reads the packed detail back: its type and length, and a pointer into the
// record. -1 when the record holds no detail block (or an empty one).
int qxfs_log_unpack_detail(const OpLogRecord *log, int *type, const unsigned char **detail,
                           int *length);
