// Custom alarm sounds kept by the daemon: up to ten slots, each with its name
// in URL-safe Base64 (platform/qx_base64.h).
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    IPC_SOUND_LIST = 4012,   // no payload -> 9012 SoundRecord list
    IPC_SOUND_ADD = 4013,    // 128-byte encoded name -> 9013 int32 status
    IPC_SOUND_DELETE = 4014, // int32 id mask -> 9014 int32 status
    IPC_SOUND_RENAME = 4015, // SoundRecord -> 9015 int32 status
    IPC_SOUND_PLAY = 4016,   // int32 id -> 9016 int32 status
};
enum {
    REPLY_SOUND_LIST = IPC_SOUND_LIST + 5000,
    REPLY_SOUND_ADD = IPC_SOUND_ADD + 5000,
    REPLY_SOUND_DELETE = IPC_SOUND_DELETE + 5000,
    REPLY_SOUND_RENAME = IPC_SOUND_RENAME + 5000,
    REPLY_SOUND_PLAY = IPC_SOUND_PLAY + 5000,
};

enum { SOUND_SLOTS = 10, SOUND_MASK = 0x3ff, SOUND_NAME_SIZE = 128 };

struct SoundRecord {
    int32_t id;                   // 0: slot 0..9
    int32_t enable;               // 4: 1 = slot used
    char name[SOUND_NAME_SIZE];   // 8: encoded name
};
static_assert(sizeof(SoundRecord) == 136, "sound record is 136 bytes");
static_assert(offsetof(SoundRecord, name) == 8, "");

// 4013: the encoded name of the uploaded file (under /tmp).
struct SoundName {
    char name[SOUND_NAME_SIZE];
};
static_assert(sizeof(SoundName) == 128, "");
