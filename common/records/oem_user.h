// Account record (136 bytes) of the separate OEM database "/mnt/nand2/oem.db".
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/user.h"
#include "common/settings.h"

#define QXDB_OEM_PATH "/mnt/nand2/oem.db"

struct OemUserRecord {
    int32_t id;               // slot 0..99
    int32_t enable;           // 1 = in use
    char name[64];
    char password[36];        // hexadecimal digest
    int32_t type;             // level
    int32_t permission;
    int32_t remotePermission;
    uint8_t reserved[16];
};
static_assert(sizeof(OemUserRecord) == 136, "OEM user record is 136 bytes");
static_assert(offsetof(OemUserRecord, enable) == 4, "");
static_assert(offsetof(OemUserRecord, name) == 8, "");
static_assert(offsetof(OemUserRecord, password) == 72, "");
static_assert(offsetof(OemUserRecord, type) == 108, "");
static_assert(offsetof(OemUserRecord, permission) == 112, "");
static_assert(offsetof(OemUserRecord, remotePermission) == 116, "");

// Table "oem_user" of the OEM database, slots 0..99:
//   read_oem_user, write_oem_user, read_oem_users, write_oem_users, ...
NVR_DB_RECORD(oem_user, OemUserRecord, "oem_user", id, USER_SLOTS, NVR_COLUMN(enable))

// All slots of the OEM database (at most N), as read_oem_users.
template <size_t N> inline int read_users_oem(const char *path, OemUserRecord (&array)[N], int *count)
{
    return read_oem_users(path, array, count);
}
