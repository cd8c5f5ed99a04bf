// Storage: the disk records of the settings database (local disks, network
// disks and their credentials), disk groups and the external-backup settings,
// and the records exchanged with the daemon about disks, RAID arrays,
// network disks, quotas and the external backup. Integers are 32-bit
// little-endian; texts from the daemon may lack their zero. Every layout
// holds on 32-bit ARM too (uint64 aligned to 8).
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

enum {
    DISK_PORT_MAX = 36,      // disk ports 1..36 ("maxDiskNum")
    DISK_KEYS = DISK_PORT_MAX + 1,
    RAID_MEMBERS_MAX = 16,
    NAS_LIST_MAX = 33,
    NAS_SEARCH_PATHS = 64,
    QUOTA_ENTRIES_MAX = 64,
    DISK_GROUPS = 16,
};
// Disk types the module tells apart; the others are the daemon's matter.
enum { HDD_TYPE_NFS = 3, HDD_TYPE_RAID = 4, HDD_TYPE_SMB = 10 };
inline bool hdd_type_is_network(int type) { return type == HDD_TYPE_NFS || type == HDD_TYPE_SMB; }
inline bool valid_disk_port(int port) { return port >= 0 && port <= DISK_PORT_MAX; }

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_BACKUP_SETTINGS = 1316,   // int32 stopBackup -> 6316: int32 result
    IPC_BACKUP_STATUS = 1317,     // none -> 6317: BackupStatusRecord
    IPC_GROUPS_CHANGED = 1307,    // none, notice
    IPC_DISK_HEALTH = 3403,       // int32 port -> 8403: DiskHealthRecord
    IPC_RAID_CREATE = 3420,       // RaidRequest -> 8420: int32 status
    IPC_RAID_REMOVE = 3421,       // RaidRequest -> 8421: int32 status
    IPC_HOT_SPARE_ADD = 3423,     // int32 port -> 8423: int32 status
    IPC_HOT_SPARE_REMOVE = 3424,  // int32 port -> 8424: int32 status
    IPC_RAID_REBUILD = 3425,      // RaidRebuildRequest -> 8425: int32 status
    IPC_RECYCLE_GET = 3431,       // int32 0 -> 8431: RecycleMode
    IPC_DISK_LIST = 3433,         // none -> 8433: DiskInfoRecord[]
    IPC_DISK_FORMAT = 3434,       // int32 port -> 8434: int32 result
    IPC_DISK_SET = 3435,          // DiskSetNotice, notice
    IPC_GROUP_SET = 3436,         // GroupMessage, notice
    IPC_NAS_EDIT = 3439,          // int32 port -> 8439: int32 result
    IPC_NAS_SEARCH = 3440,        // NasSearchRequest -> 8440: NasSearchReply
    IPC_GROUP_MODE = 3442,        // int32 group mode, notice
    IPC_EXPORT_DISK = 3457,       // none -> 8457: ExportDiskRecord[]
    IPC_RECYCLE_SET = 3475,       // RecycleMode -> 8475
    IPC_DISK_REMOVE = 3496,       // int32 port -> 8496: int32 status
    IPC_NAS_ADD = 3507,           // NasList -> 8507: int32 result
    IPC_NAS_DELETE = 3508,        // NasList -> 8508: int32 status
    IPC_QUOTA_GET = 3529,         // none -> 8529: QuotaRecord
    IPC_QUOTA_SET = 3530,         // QuotaRecord -> 8530: int32 status
    IPC_ESATA_FORMAT = 3535,      // int32 port -> 8535: int32 result
    IPC_BACKUP_TASK = 3536,       // none -> 8536: int32 status
    IPC_BACKUP_STOP = 3537,       // none -> 8537: int32 result
    IPC_FORMAT_INFO = 3540,       // none -> 8540: FormatInfoRecord
};
enum { REPLY_DISK_FORMAT_OLD = 8402 }; // a format result under the older code
#define STORAGE_REPLY(request) ((request) + 5000)

// Results of a format (8434, 8402).
enum { FORMAT_OK = 0, FORMAT_USING = 1, FORMAT_ERROR = -1, FORMAT_NAS_LOW_CAP = -3 };

// ---- Disk record (settings database, keyed by port) ----------------------------------
struct DiskRecord {
    int32_t port;            // 0: 1..36
    int32_t configured;      // 4: 1 when the disk is in use
    char vendor[64];         // 8
    char address[64];        // 72: network disks
    char directory[128];     // 136: network disks
    int32_t hdd_type;        // 264: "hddType"
    int32_t group;           // 268: "group"
    int32_t property;        // 272: "property" 0 or 1
    int32_t reserved276;
    char user_name[33];      // 280: network disks
    char password[33];       // 313: network disks
    uint8_t pad346[2];
};
static_assert(sizeof(DiskRecord) == 348, "disk record is 348 bytes");
static_assert(offsetof(DiskRecord, vendor) == 8, "");
static_assert(offsetof(DiskRecord, address) == 72, "");
static_assert(offsetof(DiskRecord, directory) == 136, "");
static_assert(offsetof(DiskRecord, hdd_type) == 264, "");
static_assert(offsetof(DiskRecord, group) == 268, "");
static_assert(offsetof(DiskRecord, property) == 272, "");
static_assert(offsetof(DiskRecord, user_name) == 280, "");
static_assert(offsetof(DiskRecord, password) == 313, "");

// Table "disk", ports 0..36 keyed by port: read_disk(path, rec, port),
// write_disk(path, rec), read_disks (37 slots: index = port), write_disks.
NVR_DB_RECORD(disk, DiskRecord, "disk", port, DISK_KEYS, NVR_COLUMN(configured), NVR_COLUMN(group),
              NVR_COLUMN(property))

// ---- Disk groups (settings database, 16 records) -------------------------------------
struct GroupRecord {
    int32_t id;
    char channels[65];       // channel text of the group
    char second[65];         // second text, passed through
    uint8_t pad[2];
};
static_assert(sizeof(GroupRecord) == 136, "group record is 136 bytes");
static_assert(offsetof(GroupRecord, channels) == 4, "");
static_assert(offsetof(GroupRecord, second) == 69, "");
// Table "disk_group": read_disk_group / read_disk_groups, keyed by id 0..15.
NVR_DB_RECORD(disk_group, GroupRecord, "disk_group", id, DISK_GROUPS)

// 3436: a group's new channel text.
typedef GroupRecord GroupMessage;

// ---- External (eSATA) automatic backup settings (settings database) ----------------
struct EsataBackupRecord {
    int32_t enable;          // "enable"
    int32_t reserved;        // always 0
    int32_t stream_type;     // "streamType"
    int32_t file_type;       // "fileType"
    int32_t recycle;         // "recycle"
    char backup_time[32];    // "backupTime", at most 31 characters
    char channel[65];        // "channel", at most 64 characters
    uint8_t pad[3];
    int32_t device;          // "device"
    int32_t port;            // "port"
};
static_assert(sizeof(EsataBackupRecord) == 128, "");
static_assert(offsetof(EsataBackupRecord, backup_time) == 20, "");
static_assert(offsetof(EsataBackupRecord, channel) == 52, "");
static_assert(offsetof(EsataBackupRecord, device) == 120, "");
// read_esata_auto_backup / write_esata_auto_backup.
NVR_DB_SINGLE(esata_auto_backup, EsataBackupRecord, "esata_auto_backup")

// ---- Disk information of the daemon (reply 8433) --------------------------------------
struct DiskInfoRecord {
    int32_t port;            // 0: "portId" and "raid_id", 1..36 (0: no record)
    char vendor[64];         // 4: "vendorName"
    char address[64];        // 68: "address"
    char directory[128];     // 132: "directory"
    int32_t state;           // 260: "state"
    int32_t usable;          // 264: "bUsable"
    int32_t reserved268;
    uint64_t total_size;     // 272: bytes
    uint64_t used_size;      // 280: bytes
    uint64_t free_size;      // 288: bytes
    int32_t hdd_type;        // 296: "hddType"
    int32_t group;           // 300: "group"
    int32_t property;        // 304: "property"
    int32_t reserved308;
    int32_t raid_level;      // 312: "raid_level"
    int32_t raid_state;      // 316: "raid_state"
    int32_t raid_progress;   // 320: "raid_progress", "raid_task"
    int32_t raid_sata_cnt;   // 324: member ports in use, 0..16
    int32_t raid_members[RAID_MEMBERS_MAX]; // 328: member ports
    char user_name[33];      // 392: from the settings database
    char password[33];       // 425: from the settings database
    uint8_t pad458[6];
};
static_assert(sizeof(DiskInfoRecord) == 464, "disk information record is 464 bytes");
static_assert(offsetof(DiskInfoRecord, vendor) == 4, "");
static_assert(offsetof(DiskInfoRecord, address) == 68, "");
static_assert(offsetof(DiskInfoRecord, directory) == 132, "");
static_assert(offsetof(DiskInfoRecord, state) == 260, "");
static_assert(offsetof(DiskInfoRecord, usable) == 264, "");
static_assert(offsetof(DiskInfoRecord, total_size) == 272, "");
static_assert(offsetof(DiskInfoRecord, used_size) == 280, "");
static_assert(offsetof(DiskInfoRecord, free_size) == 288, "");
static_assert(offsetof(DiskInfoRecord, hdd_type) == 296, "");
static_assert(offsetof(DiskInfoRecord, group) == 300, "");
static_assert(offsetof(DiskInfoRecord, property) == 304, "");
static_assert(offsetof(DiskInfoRecord, raid_level) == 312, "");
static_assert(offsetof(DiskInfoRecord, raid_progress) == 320, "");
static_assert(offsetof(DiskInfoRecord, raid_sata_cnt) == 324, "");
static_assert(offsetof(DiskInfoRecord, raid_members) == 328, "");
static_assert(offsetof(DiskInfoRecord, user_name) == 392, "");
static_assert(offsetof(DiskInfoRecord, password) == 425, "");

// ---- Disk and RAID requests ------------------------------------------------------------
// 3435: new properties of a disk.
struct DiskSetNotice {
    int32_t port;
    int32_t property;
    int32_t group;
    int32_t is_private;      // "private"
};
static_assert(sizeof(DiskSetNotice) == 16, "");

// 3420 (create) and 3421 (remove: id alone).
struct RaidRequest {
    int32_t id;              // 10..16
    int32_t enable;
    int32_t level;
    int32_t reserved12[2];
    int32_t member_count;    // "sata_cnt"
    int32_t members[RAID_MEMBERS_MAX];
    uint8_t reserved88[16];
};
static_assert(sizeof(RaidRequest) == 104, "RAID request is 104 bytes");
static_assert(offsetof(RaidRequest, member_count) == 20, "");
static_assert(offsetof(RaidRequest, members) == 24, "");

// 3425: rebuild a RAID array onto a disk.
struct RaidRebuildRequest {
    int32_t disk_port;
    int32_t raid_port;
};
static_assert(sizeof(RaidRebuildRequest) == 8, "");

// Detail block of the format log entry (packed as type 102).
enum { FORMAT_LOG_DETAIL_TYPE = 102 };
struct FormatLogDetail {
    uint8_t reserved[64];
    int32_t port;            // 64
    int32_t result;          // 68: 1 formatted, -1 not
};
static_assert(sizeof(FormatLogDetail) == 72, "format log detail is 72 bytes");
static_assert(offsetof(FormatLogDetail, port) == 64, "");

// ---- Network disks -----------------------------------------------------------------------
// 3507 (add) and 3508 (delete): the ports concerned, the first `count`.
struct NasList {
    int32_t count;
    int32_t ports[NAS_LIST_MAX];
};
static_assert(sizeof(NasList) == 136, "network-disk list is 136 bytes");

// 3440: search the shares of a server.
struct NasSearchRequest {
    int32_t port;
    char server[64];
};
static_assert(sizeof(NasSearchRequest) == 68, "");

// 8440: the shares found, `count` paths.
struct NasSearchReply {
    int32_t count;
    char paths[NAS_SEARCH_PATHS][256];
};
static_assert(sizeof(NasSearchReply) == 16388, "network-disk search reply is 16388 bytes");

// Detail block of the network-disk log entries (packed as type 101 or 110).
enum { NAS_LOG_DETAIL_TYPE = 101, NAS_EDIT_LOG_DETAIL_TYPE = 110 };
struct NasLogDetail {
    char protocol[16];       // "NFS", "SMB/CIFS"
    char address[64];
    char directory[128];
};
static_assert(sizeof(NasLogDetail) == 208, "network-disk log detail is 208 bytes");

// ---- Recycle mode, health, quota --------------------------------------------------------
// 3475 and the reply 8431.
struct RecycleMode {
    int32_t mode;
    int32_t esata;
};
static_assert(sizeof(RecycleMode) == 8, "");

// 8403: the disk's self-assessment text (may lack its zero).
struct DiskHealthRecord {
    char text[40];
};
static_assert(sizeof(DiskHealthRecord) == 40, "");

struct QuotaEntry {
    uint8_t channel;         // the request fills the low byte only
    uint8_t reserved[3];
    int32_t video_quota;
    int32_t picture_quota;
    int32_t video_used;
    int32_t picture_used;
};
static_assert(sizeof(QuotaEntry) == 20, "");
// 3530 and the reply 8529: the first `count` entries.
struct QuotaRecord {
    int32_t enable;
    int32_t count;
    QuotaEntry entries[QUOTA_ENTRIES_MAX];
};
static_assert(sizeof(QuotaRecord) == 1288, "quota record is 1288 bytes");
enum { QUOTA_HEADER_SIZE = offsetof(QuotaRecord, entries) };

// ---- External backup -----------------------------------------------------------------------
// 6317: state of the automatic backup.
struct BackupStatusRecord {
    int32_t status;
    char last_time[32];
    float percent;           // 36
    uint64_t capacity;       // 40
};
static_assert(sizeof(BackupStatusRecord) == 48, "backup status record is 48 bytes");
static_assert(offsetof(BackupStatusRecord, percent) == 36, "");
static_assert(offsetof(BackupStatusRecord, capacity) == 40, "");

// 8540: progress of a format.
struct FormatInfoRecord {
    int32_t status;
    uint8_t percent;
    uint8_t port;
    uint8_t reserved[2];
    int32_t type;
};
static_assert(sizeof(FormatInfoRecord) == 12, "format information record is 12 bytes");

// 8457: an external disk; kind 5 is the one to report.
enum { EXPORT_DISK_KIND = 5 };
struct ExportDiskRecord {
    uint8_t port;
    uint8_t reserved1[151];
    int32_t kind;            // 152
    uint8_t reserved156[28];
};
static_assert(sizeof(ExportDiskRecord) == 184, "external disk record is 184 bytes");
static_assert(offsetof(ExportDiskRecord, kind) == 152, "");
