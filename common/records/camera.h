// Camera channel records: the camera record of the settings database (one
// per channel) and the records exchanged with the daemon about cameras
// (network search, camera list, connection tests, network changes, channel
// models) and the detail block of the camera operation-log entries.
// All integers are 32-bit little-endian; texts are zero-terminated within
// their fields, but a field coming from the daemon may lack its zero.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/settings.h"

enum { MAX_CAMERAS = 64 };                       // channels 0..63
inline bool valid_channel(int ch) { return ch >= 0 && ch < MAX_CAMERAS; }

// ---- Camera record (settings database, read_camera / write_camera) ------------
// Fields this program does not use are carried through read-modify-write
// unchanged; they belong to the settings library.
//
// record_stream and anr: the record-stream type (0..2) and the camera-side
// storage fallback flag are kept in the two words at 12 and 16, which the
// camera pages never touch (the record settings pages own them; their table
// columns are "record_stream" and "anr").
struct CameraRecord {
    int32_t id;                  // 0: channel, also the key
    int32_t deleted;             // 4: deleted marker, 1 after deletion
    int32_t enable;              // 8
    int32_t record_stream;       // 12: record stream type 0..2
    int32_t anr;                 // 16: ANR flag
    uint8_t reserved20[8];       // 20
    char user_name[64];          // 28
    char password[64];           // 92
    char ip_addr[64];            // 156
    int32_t main_rtsp_port;      // 220
    char main_source_path[256];  // 224
    int32_t sub_stream_enable;   // 480
    int32_t sub_rtsp_port;       // 484
    char sub_source_path[256];   // 488
    int32_t manage_port;         // 744
    int32_t protocol;            // 748: 0 ONVIF, 1 RTSP, other QXSF
    int32_t transmit_protocol;   // 752: 0 UDP, 1/2 TCP, 3 RTSP over HTTPS
    int32_t reserved756;         // 756
    int32_t preserved;           // 760: kept across deletion
    int32_t time_sync;           // 764
    int32_t reserved768;         // 768
    char main_rtsp_url[256];     // 772
    char sub_rtsp_url[256];      // 1028
    int32_t poe_channel;         // 1284
    char mac_addr[32];           // 1288
    int32_t physical_port;       // 1320
    uint8_t reserved1324[68];    // 1324
    int32_t minor_id;            // 1392
    char ddns[64];               // 1396
    int32_t https_port;          // 1460
};
static_assert(sizeof(CameraRecord) == 1464, "camera record is 1464 bytes");
static_assert(offsetof(CameraRecord, deleted) == 4, "");
static_assert(offsetof(CameraRecord, enable) == 8, "");
static_assert(offsetof(CameraRecord, record_stream) == 12, "");
static_assert(offsetof(CameraRecord, anr) == 16, "");
static_assert(offsetof(CameraRecord, user_name) == 28, "");
static_assert(offsetof(CameraRecord, password) == 92, "");
static_assert(offsetof(CameraRecord, ip_addr) == 156, "");
static_assert(offsetof(CameraRecord, main_rtsp_port) == 220, "");
static_assert(offsetof(CameraRecord, main_source_path) == 224, "");
static_assert(offsetof(CameraRecord, sub_stream_enable) == 480, "");
static_assert(offsetof(CameraRecord, sub_rtsp_port) == 484, "");
static_assert(offsetof(CameraRecord, sub_source_path) == 488, "");
static_assert(offsetof(CameraRecord, manage_port) == 744, "");
static_assert(offsetof(CameraRecord, protocol) == 748, "");
static_assert(offsetof(CameraRecord, transmit_protocol) == 752, "");
static_assert(offsetof(CameraRecord, preserved) == 760, "");
static_assert(offsetof(CameraRecord, time_sync) == 764, "");
static_assert(offsetof(CameraRecord, main_rtsp_url) == 772, "");
static_assert(offsetof(CameraRecord, sub_rtsp_url) == 1028, "");
static_assert(offsetof(CameraRecord, poe_channel) == 1284, "");
static_assert(offsetof(CameraRecord, mac_addr) == 1288, "");
static_assert(offsetof(CameraRecord, physical_port) == 1320, "");
static_assert(offsetof(CameraRecord, minor_id) == 1392, "");
static_assert(offsetof(CameraRecord, ddns) == 1396, "");
static_assert(offsetof(CameraRecord, https_port) == 1460, "");

// Table "camera", channels 0..63 keyed by id: read_camera(path, rec, id),
// write_camera(path, rec) (channel = rec->id), read_cameras, copy_cameras.
// Columns for copy_table_column_int: "enable", "record_stream", "anr",
// "protocol", "poe_channel".
NVR_DB_RECORD(camera, CameraRecord, "camera", id, MAX_CAMERAS, NVR_COLUMN(enable),
              NVR_COLUMN(record_stream), NVR_COLUMN(anr), NVR_COLUMN(protocol),
              NVR_COLUMN(poe_channel))

enum { CAM_PROTO_ONVIF = 0, CAM_PROTO_RTSP = 1, CAM_PROTO_MAX = 7 };
enum { CAM_TRANSMIT_MAX = 3 };

// ---- Protocol and model records (settings database) ------------------------------
struct IpcProtocolRecord {
    int32_t id;                  // 0
    char name[24];               // 4
    int32_t protocol_function;   // 28
    int32_t enable;              // 32
    int32_t display_model;       // 36
};
static_assert(sizeof(IpcProtocolRecord) == 40, "");
static_assert(offsetof(IpcProtocolRecord, name) == 4, "");
static_assert(offsetof(IpcProtocolRecord, protocol_function) == 28, "");
static_assert(offsetof(IpcProtocolRecord, enable) == 32, "");
static_assert(offsetof(IpcProtocolRecord, display_model) == 36, "");

struct IpcModelRecord {
    int32_t id;                  // 0
    int32_t protocol;            // 4: id of its protocol
    char name[32];               // 8
    int32_t alarm_type;          // 40
    int32_t default_model;       // 44
};
static_assert(sizeof(IpcModelRecord) == 48, "");
static_assert(offsetof(IpcModelRecord, name) == 8, "");
static_assert(offsetof(IpcModelRecord, alarm_type) == 40, "");
static_assert(offsetof(IpcModelRecord, default_model) == 44, "");

// Table "ipc_protocol", one entry per protocol number 0..7 keyed by id, and
// table "ipc_model", models keyed by their id. An entry with an empty name
// is not stored.
enum { IPC_PROTOCOL_SLOTS = CAM_PROTO_MAX + 1, IPC_MODEL_SLOTS = 512 };
NVR_DB_RECORD(ipc_protocol, IpcProtocolRecord, "ipc_protocol", id, IPC_PROTOCOL_SLOTS)
NVR_DB_RECORD(ipc_model, IpcModelRecord, "ipc_model", id, IPC_MODEL_SLOTS)

// write_ipc_protocol(path, entry) stores one entry under its id.
// The stored protocol entries in id order (camera_settings.cpp); the
// factory list (ONVIF, RTSP, QXSF) while none is stored.
int read_ipc_protocols(const char *path, std::vector<IpcProtocolRecord> *list);
// The stored models of one protocol, in id order.
int read_ipc_models_by_protocol(const char *path, int protocol_id, std::vector<IpcModelRecord> *models);

// ---- Daemon requests and replies ----------------------------------------------------
enum {
    IPC_CAMERA_ADDED = 1201,       // notice: channel id
    IPC_CAMERA_DELETED = 1202,     // notice: channel id
    IPC_CAMERA_CHANGED = 1203,     // notice: channel id
    IPC_CAMERA_POE = 1206,         // notice: channel id, PoE flag
    IPC_CAMERA_MODEL_TYPE = 2503,  // channel id -> 7503: one int
    IPC_CHANNEL_MODELS = 2505,     // none -> 7505: 64 ChannelModelEntry
    IPC_CAMERA_SEARCH = 3200,      // protocol -> 8200: CameraSearchRecord[]
    IPC_CAMERA_LIST = 3201,        // none -> 8201: CameraListRecord[]
    IPC_CAMERA_TEST = 3202,        // CameraTestRequest -> 8202: status
    IPC_CAMERA_NETWORK = 3205,     // CameraNetworkRequest -> 8205: status
    IPC_CAMERA_TEST2 = 3227,       // CameraTestRequest2 -> 8227: status
    IPC_CAMERA_NETWORK_ITEM = 3229,// notice: CameraNetworkItem
    IPC_CAMERA_NETWORK_RESULT = 3230, // none -> 8230: CameraBatchResult
};
enum { IPC_REPLY_OFFSET = 5000 };

struct PoeNotice {
    int32_t channel;
    int32_t poe;                 // 1 when bound to another PoE port
};
static_assert(sizeof(PoeNotice) == 8, "");

// Reply to 3200, one per camera found.
struct CameraSearchRecord {
    char ip_addr[32];            // 0
    char mac[32];                // 32
    int32_t manage_port;         // 64
    int32_t protocol;            // 68
    char vendor[192];            // 72
    char sn[128];                // 264
    char fw_version[64];         // 392
    char model[64];              // 456
    int32_t model_id;            // 520
    char netmask[32];            // 524
    char dns[32];                // 556
    char gateway[32];            // 588
    char netif[8];               // 620
    int32_t active_status;       // 628
    char name[64];               // 632
    char sn_real[64];            // 696
};
static_assert(sizeof(CameraSearchRecord) == 760, "camera search record is 760 bytes");
static_assert(offsetof(CameraSearchRecord, manage_port) == 64, "");
static_assert(offsetof(CameraSearchRecord, vendor) == 72, "");
static_assert(offsetof(CameraSearchRecord, sn) == 264, "");
static_assert(offsetof(CameraSearchRecord, fw_version) == 392, "");
static_assert(offsetof(CameraSearchRecord, model) == 456, "");
static_assert(offsetof(CameraSearchRecord, model_id) == 520, "");
static_assert(offsetof(CameraSearchRecord, netmask) == 524, "");
static_assert(offsetof(CameraSearchRecord, dns) == 556, "");
static_assert(offsetof(CameraSearchRecord, gateway) == 588, "");
static_assert(offsetof(CameraSearchRecord, netif) == 620, "");
static_assert(offsetof(CameraSearchRecord, active_status) == 628, "");
static_assert(offsetof(CameraSearchRecord, name) == 632, "");
static_assert(offsetof(CameraSearchRecord, sn_real) == 696, "");

// Reply to 3201, one per connected camera.
struct CameraListRecord {
    int32_t id;                  // 0
    int32_t manage_port;         // 4
    int32_t protocol;            // 8
    int32_t state;               // 12
    int32_t main_rtsp_port;      // 16
    char ip_addr[32];            // 20
    char vendor[192];            // 52
    char sn[128];                // 244
    char fw_version[64];         // 372
    char mac[48];                // 436
    char model[324];             // 484
    int32_t poe_channel;         // 808
    int32_t physical_port;       // 812
    int32_t alarm_in;            // 816
    int32_t alarm_out;           // 820
    int32_t white_led;           // 824
    int32_t led_alarm;           // 828
    int32_t led_manual;          // 832
    int32_t minor_id;            // 836
    int32_t sub_state;           // 840
    int32_t connect_state;       // 844
    char sn_real[64];            // 848
    char ddns[64];               // 912
    char chip_info[64];          // 976
};
static_assert(sizeof(CameraListRecord) == 1040, "camera list record is 1040 bytes");
static_assert(offsetof(CameraListRecord, ip_addr) == 20, "");
static_assert(offsetof(CameraListRecord, vendor) == 52, "");
static_assert(offsetof(CameraListRecord, sn) == 244, "");
static_assert(offsetof(CameraListRecord, fw_version) == 372, "");
static_assert(offsetof(CameraListRecord, mac) == 436, "");
static_assert(offsetof(CameraListRecord, model) == 484, "");
static_assert(offsetof(CameraListRecord, poe_channel) == 808, "");
static_assert(offsetof(CameraListRecord, alarm_in) == 816, "");
static_assert(offsetof(CameraListRecord, minor_id) == 836, "");
static_assert(offsetof(CameraListRecord, sub_state) == 840, "");
static_assert(offsetof(CameraListRecord, connect_state) == 844, "");
static_assert(offsetof(CameraListRecord, sn_real) == 848, "");
static_assert(offsetof(CameraListRecord, ddns) == 912, "");
static_assert(offsetof(CameraListRecord, chip_info) == 976, "");

// Request 3205; request 3229 sends one CameraNetworkItem per camera.
struct CameraNetworkRequest {
    char mac[48];                // 0
    char old_ip[32];             // 48
    char new_ip[32];             // 80
    char netmask[32];            // 112
    char gateway[32];            // 144
    char dns[32];                // 176
    int32_t port;                // 208
    char user_name[64];          // 212
    char password[33];           // 276
    uint8_t pad309[3];
    int32_t protocol;            // 312
    uint8_t reserved316[64];
    char netif[6];               // 380
    uint8_t pad386[2];
};
static_assert(sizeof(CameraNetworkRequest) == 388, "network change request is 388 bytes");
static_assert(offsetof(CameraNetworkRequest, old_ip) == 48, "");
static_assert(offsetof(CameraNetworkRequest, new_ip) == 80, "");
static_assert(offsetof(CameraNetworkRequest, netmask) == 112, "");
static_assert(offsetof(CameraNetworkRequest, gateway) == 144, "");
static_assert(offsetof(CameraNetworkRequest, dns) == 176, "");
static_assert(offsetof(CameraNetworkRequest, port) == 208, "");
static_assert(offsetof(CameraNetworkRequest, user_name) == 212, "");
static_assert(offsetof(CameraNetworkRequest, password) == 276, "");
static_assert(offsetof(CameraNetworkRequest, protocol) == 312, "");
static_assert(offsetof(CameraNetworkRequest, netif) == 380, "");

struct CameraNetworkItem {
    CameraNetworkRequest req;    // 0
    int32_t channel_id;          // 388
    int32_t modify_count;        // 392
};
static_assert(sizeof(CameraNetworkItem) == 396, "network change item is 396 bytes");
static_assert(offsetof(CameraNetworkItem, channel_id) == 388, "");
static_assert(offsetof(CameraNetworkItem, modify_count) == 392, "");

// Reply to 3230.
struct CameraBatchEntry {
    char mac[48];
    int32_t result;              // 48
};
static_assert(sizeof(CameraBatchEntry) == 52, "");
struct CameraBatchResult {
    int32_t reserved0;
    int32_t count;               // 4
    uint8_t reserved8[8];
    CameraBatchEntry entries[MAX_CAMERAS]; // 16
};
static_assert(sizeof(CameraBatchResult) == 3344, "batch change result is 3344 bytes");
static_assert(offsetof(CameraBatchResult, count) == 4, "");
static_assert(offsetof(CameraBatchResult, entries) == 16, "");

// Request 3202.
struct CameraTestRequest {
    char ip_addr[32];            // 0
    int32_t manage_port;         // 32
    char user_name[64];          // 36
    char password[33];           // 100
    uint8_t pad133[3];
    int32_t protocol;            // 136
    uint8_t reserved140[72];
};
static_assert(sizeof(CameraTestRequest) == 212, "connection test request is 212 bytes");
static_assert(offsetof(CameraTestRequest, manage_port) == 32, "");
static_assert(offsetof(CameraTestRequest, user_name) == 36, "");
static_assert(offsetof(CameraTestRequest, password) == 100, "");
static_assert(offsetof(CameraTestRequest, protocol) == 136, "");

// Request 3227.
struct CameraTestRequest2 {
    int32_t zero;                // 0
    char ip_addr[32];            // 4
    int32_t manage_port;         // 36
    char user_name[64];          // 40
    char password[33];           // 104
    uint8_t pad137[3];
    int32_t protocol;            // 140
    int32_t reserved144;
};
static_assert(sizeof(CameraTestRequest2) == 148, "connection test request is 148 bytes");
static_assert(offsetof(CameraTestRequest2, ip_addr) == 4, "");
static_assert(offsetof(CameraTestRequest2, manage_port) == 36, "");
static_assert(offsetof(CameraTestRequest2, user_name) == 40, "");
static_assert(offsetof(CameraTestRequest2, password) == 104, "");
static_assert(offsetof(CameraTestRequest2, protocol) == 140, "");

// Reply to 2505: always MAX_CAMERAS entries.
struct ChannelModelEntry {
    int32_t id;                  // 0
    char ip_addr[32];            // 4
    char model[64];              // 36
    char fw_version[64];         // 100
};
static_assert(sizeof(ChannelModelEntry) == 164, "channel model entry is 164 bytes");
static_assert(offsetof(ChannelModelEntry, model) == 36, "");
static_assert(offsetof(ChannelModelEntry, fw_version) == 100, "");

// ---- Camera operation-log detail (packed with qxfs_log_pack_detail, type 111) ----
enum { CAMLOG_DETAIL_TYPE = 111 };
enum { CAMLOG_ADD = 901, CAMLOG_DELETE = 902, CAMLOG_EDIT = 903 };
struct CameraLogDetail {
    int32_t code;                // 0: 901 add, 902 delete, 903 edit
    char ip_addr[64];            // 4
    int32_t manage_port;         // 68
    int32_t channel;             // 72: 1-based
    uint8_t reserved76[64];
    char protocol[16];           // 140: "ONVIF", "RTSP", "QXSF"
    char transmit[16];           // 156: "UDP", "TCP", "RTSP Over HTTPS"
    uint8_t time_sync;           // 172
    uint8_t pad173[3];
};
static_assert(sizeof(CameraLogDetail) == 176, "camera log detail is 176 bytes");
static_assert(offsetof(CameraLogDetail, ip_addr) == 4, "");
static_assert(offsetof(CameraLogDetail, manage_port) == 68, "");
static_assert(offsetof(CameraLogDetail, channel) == 72, "");
static_assert(offsetof(CameraLogDetail, protocol) == 140, "");
static_assert(offsetof(CameraLogDetail, transmit) == 156, "");
static_assert(offsetof(CameraLogDetail, time_sync) == 172, "");
