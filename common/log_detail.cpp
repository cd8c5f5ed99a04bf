#include "common/log_detail.h"

#include <cstdint>
#include <cstring>

static_assert(OPLOG_DETAIL_TYPE_OFFSET >= static_cast<int>(offsetof(OpLogRecord, user_name) + 64),
              "the detail block lies behind the user name");

int qxfs_log_pack_detail(OpLogRecord *log, int type, const void *detail, int length)
{
    if (!log || !detail || length < 0 || length > OPLOG_DETAIL_MAX) return -1;
    unsigned char *bytes = reinterpret_cast<unsigned char *>(log);
    int32_t t = type, n = length;
    memcpy(bytes + OPLOG_DETAIL_TYPE_OFFSET, &t, sizeof t);
    memcpy(bytes + OPLOG_DETAIL_LENGTH_OFFSET, &n, sizeof n);
    memcpy(bytes + OPLOG_DETAIL_OFFSET, detail, static_cast<size_t>(length));
    return 0;
}

int qxfs_log_unpack_detail(const OpLogRecord *log, int *type, const unsigned char **detail,
                           int *length)
{
    if (!log) return -1;
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(log);
    int32_t t, n;
    memcpy(&t, bytes + OPLOG_DETAIL_TYPE_OFFSET, sizeof t);
    memcpy(&n, bytes + OPLOG_DETAIL_LENGTH_OFFSET, sizeof n);
    if (n <= 0 || n > OPLOG_DETAIL_MAX) return -1;
    if (type) *type = t;
    if (length) *length = n;
    if (detail) *detail = bytes + OPLOG_DETAIL_OFFSET;
    return 0;
}
