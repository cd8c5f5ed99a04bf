// User account record (528 bytes) of the settings database, shared with the
// daemon, and the account operations.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

enum {
    USER_SLOTS = 100,          // slots 0..99
    USER_LEVEL_MAX = 3,        // levels 0..3; level 3 cannot log in through the web
    USER_NAME_SIGNIFICANT = 31 // names are told apart by their first 31 characters
};

struct UserRecord {
    int32_t id;                // slot 0..99
    int32_t enable;            // 1 = in use, 0 = empty slot
    char name[64];
    char password[36];         // hexadecimal MD5 digest, 32 digits
    int32_t type;              // level 0..3
    char localliveview[65];    // channel strings: '1' at channel n
    char localplayback[65];
    char remoteliveview[65];
    char remoteplayback[65];
    char reserved[33];         // owned by the database library
    char init_text[19];        // "0" for a new user
    int32_t localLiveView;
    int32_t localPlayback;
    int32_t localRetrieve;
    int32_t localSmartAnalysis;
    int32_t localEvent;
    int32_t localCamera;
    int32_t localStorage;
    int32_t localSettings;
    int32_t localStatus;
    int32_t localShutdown;
    int32_t remoteLiveView;
    int32_t remotePlayback;
    int32_t remoteRetrieve;
    int32_t remoteSmartAnalysis;
    int32_t remoteEvent;
    int32_t remoteCamera;
    int32_t remoteStorage;
    int32_t remoteSettings;
    int32_t remoteStatus;
    int32_t remoteShutdown;
    int32_t permission;
    int32_t remotePermission;
    // Bits 0..31 of localliveview, localplayback, remoteliveview,
    // remoteplayback, in this order.
    uint32_t chn_mask[4];
};
static_assert(sizeof(UserRecord) == 528, "user record is 528 bytes");
static_assert(offsetof(UserRecord, enable) == 4, "");
static_assert(offsetof(UserRecord, name) == 8, "");
static_assert(offsetof(UserRecord, password) == 72, "");
static_assert(offsetof(UserRecord, type) == 108, "");
static_assert(offsetof(UserRecord, localliveview) == 112, "");
static_assert(offsetof(UserRecord, localplayback) == 177, "");
static_assert(offsetof(UserRecord, remoteliveview) == 242, "");
static_assert(offsetof(UserRecord, remoteplayback) == 307, "");
static_assert(offsetof(UserRecord, reserved) == 372, "");
static_assert(offsetof(UserRecord, init_text) == 405, "");
static_assert(offsetof(UserRecord, localLiveView) == 424, "");
static_assert(offsetof(UserRecord, remoteLiveView) == 464, "");
static_assert(offsetof(UserRecord, permission) == 504, "");
static_assert(offsetof(UserRecord, remotePermission) == 508, "");
static_assert(offsetof(UserRecord, chn_mask) == 512, "");

// The twenty permission flags with their JSON keys, local then remote.
struct UserFlagField {
    const char *key;
    int32_t UserRecord::*field;
};
inline constexpr UserFlagField kUserFlags[] = {
    {"localLiveView", &UserRecord::localLiveView},
    {"localPlayback", &UserRecord::localPlayback},
    {"localRetrieve", &UserRecord::localRetrieve},
    {"localSmartAnalysis", &UserRecord::localSmartAnalysis},
    {"localEvent", &UserRecord::localEvent},
    {"localCamera", &UserRecord::localCamera},
    {"localStorage", &UserRecord::localStorage},
    {"localSettings", &UserRecord::localSettings},
    {"localStatus", &UserRecord::localStatus},
    {"localShutdown", &UserRecord::localShutdown},
    {"remoteLiveView", &UserRecord::remoteLiveView},
    {"remotePlayback", &UserRecord::remotePlayback},
    {"remoteRetrieve", &UserRecord::remoteRetrieve},
    {"remoteSmartAnalysis", &UserRecord::remoteSmartAnalysis},
    {"remoteEvent", &UserRecord::remoteEvent},
    {"remoteCamera", &UserRecord::remoteCamera},
    {"remoteStorage", &UserRecord::remoteStorage},
    {"remoteSettings", &UserRecord::remoteSettings},
    {"remoteStatus", &UserRecord::remoteStatus},
    {"remoteShutdown", &UserRecord::remoteShutdown},
};
static_assert(sizeof(kUserFlags) / sizeof(kUserFlags[0]) == 20, "twenty flags");

// Table "user", slots 0..99 keyed by id:
//   read_user(path, rec, id), write_user(path, rec) (slot = rec->id),
//   read_users(path, array, &count) (one record per slot, id set),
//   write_users, copy_users, delete_user.
// Deleting an account is write_user() of a zeroed record carrying its id.
NVR_DB_RECORD(user, UserRecord, "user", id, USER_SLOTS, NVR_COLUMN(enable), NVR_COLUMN(type))

// Looks up the account in use whose name equals `name` on the first 31
// characters. Found: rec is filled (id set), 0. Not found: rec untouched
// (callers preset id to -1 and test it), 1. Database failure: -1.
int read_user_by_name(const char *path, UserRecord *rec, const char *name);

// Stores rec in the lowest empty slot, in one transaction: sets rec->id to
// that slot and rec->enable to 1. -1 (nothing stored) when every slot is in
// use, when another account in use has the same name (first 31
// characters), or on a database failure.
int add_user(const char *path, UserRecord *rec);

// Number of accounts in use, or -1 on a database failure.
int read_user_count(const char *path);
