// Playback and live view: the payloads of the playback, live-view and image
// requests exchanged with the daemon. Every layout holds on 32-bit ARM too.
#pragma once
#include <cstddef>
#include <cstdint>

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_PB_FAST_PLAY = 1112,     // PbSessionList with ids and speeds
    IPC_PB_STEP_BATCH = 1113,    // PbSessionList, count 0
    IPC_PB_SLOW_PLAY = 1149,     // PbSpeedRecord
    IPC_PB_PLAY_TIME = 1153,     // int32 sid; reply int32 seconds
    IPC_PB_SEARCH = 1159,        // PbSearchRecord; reply PbSearchResult[]
    IPC_PB_CLOSE = 1160,         // PbSessionList
    IPC_PB_SEARCH_PAGE = 1161,   // PbSearchPage; reply PbSearchResult[]
    IPC_PB_START = 1162,         // PbStartRecord; reply int32 status
    IPC_PB_STOP = 1164,          // PbSessionList
    IPC_PB_PAUSE = 1165,         // PbSessionList
    IPC_PB_RESUME = 1166,        // PbResumeRecord
    IPC_PB_SPEED = 1167,         // PbSpeedRecord
    IPC_PB_STEP = 1170,          // PbSessionList
    IPC_PB_JUMP = 1171,          // PbJumpRecord; reply int32 status
    IPC_PB_TRANSCODE_SET = 1176, // PbTranscodeSet; reply PbTranscodeState
    IPC_PB_TRANSCODE_GET = 1177, // PbTranscodeGet; reply PbTranscodeState
    IPC_LIVE_STOP = 1901,        // LiveRecord (stream source 0)
    IPC_LIVE_STOP_ALL = 1902,    // no payload
    IPC_PB_RELEASE = 1903,       // int32 sid
    IPC_IMAGE_SET = 1205,        // ImageRecord
    IPC_IMAGE_GET = 3002,        // int32 channel; reply ImageReply
    IPC_PB_SYNC_START = 3109,    // PbSyncStart; reply PbSyncStarted
    IPC_LIVE_START = 3500,       // LiveRecord; reply LiveReply
    IPC_PB_STREAM_INFO = 3502,   // int32 sid; reply PbStreamInfo
    IPC_RTSP_ADDR = 3503,        // no payload; reply RtspAddrRecord[]
    IPC_EXTERN_PORT = 3506,      // no payload; reply ExternPortReply
    IPC_PB_BUSY = 4011,          // no payload; reply int32 busy
};
enum { IPC_REPLY_PB_SYNC_LEGACY = 8103 }; // older daemons answer 3109 with this code

enum { PB_MAX_SESSIONS = 64, PB_MAX_CHANNELS = 64 };
enum { PB_TIME_TEXT = 32 };

// Session list: the payload of most steering requests.
struct PbSessionList {
    int32_t ids[PB_MAX_SESSIONS];    // session ids ("sid")
    int32_t zero;
    int32_t speeds[PB_MAX_SESSIONS]; // fast play only
    uint8_t reserved[256];
    int32_t count;                   // ids used
};
static_assert(sizeof(PbSessionList) == 776, "session list is 776 bytes");
static_assert(offsetof(PbSessionList, speeds) == 260, "");
static_assert(offsetof(PbSessionList, count) == 772, "");

// Speed record (slow play, speed).
struct PbSpeedRecord {
    int32_t speed;
    int32_t ids[PB_MAX_SESSIONS];
    int32_t count;
    int32_t flag; // 1: speed 2 for a single session
};
static_assert(sizeof(PbSpeedRecord) == 268, "speed record is 268 bytes");
static_assert(offsetof(PbSpeedRecord, count) == 260, "");
static_assert(offsetof(PbSpeedRecord, flag) == 264, "");

// Recording search (request 1159).
struct PbSearchRecord {
    char channels[PB_MAX_CHANNELS]; // '1' searched, '0' other channels of the device, else 0
    int32_t zero;
    int32_t one;                    // 1
    int32_t sub_stream;             // 1 when "streamType" is 1
    int32_t minus_one[2];           // -1, -1
    char start_time[PB_TIME_TEXT];  // "time"
    char end_time[PB_TIME_TEXT];    // "endTime"
    uint8_t reserved[68];
};
static_assert(sizeof(PbSearchRecord) == 216, "search record is 216 bytes");
static_assert(offsetof(PbSearchRecord, zero) == 64, "");
static_assert(offsetof(PbSearchRecord, sub_stream) == 72, "");
static_assert(offsetof(PbSearchRecord, start_time) == 84, "");
static_assert(offsetof(PbSearchRecord, end_time) == 116, "");

// Next page of a search (request 1161).
struct PbSearchPage {
    int32_t sid;
    int32_t page;
    uint8_t reserved[12];
};
static_assert(sizeof(PbSearchPage) == 20, "search page request is 20 bytes");

// One recording found (replies 6159 and 6161).
struct PbSearchResult {
    int32_t cam_id;
    int32_t sid;
    int32_t reserved0;
    int32_t lock;
    int32_t reserved1;
    int32_t record_type;
    char start_time[20];
    char end_time[20];
    uint8_t reserved2[16];
};
static_assert(sizeof(PbSearchResult) == 80, "search result is 80 bytes");
static_assert(offsetof(PbSearchResult, lock) == 12, "");
static_assert(offsetof(PbSearchResult, record_type) == 20, "");
static_assert(offsetof(PbSearchResult, start_time) == 24, "");
static_assert(offsetof(PbSearchResult, end_time) == 44, "");

// Playback start (request 1162).
struct PbStartRecord {
    int32_t channel;
    int32_t sid;
    char start_time[PB_TIME_TEXT];
    char end_time[PB_TIME_TEXT];
    char play_time[PB_TIME_TEXT];
    uint8_t reserved[8];
};
static_assert(sizeof(PbStartRecord) == 112, "playback start record is 112 bytes");
static_assert(offsetof(PbStartRecord, play_time) == 72, "");

// Synchronous start of several channels (request 3109).
struct PbSyncStart {
    int32_t play_time; // seconds
    int32_t masks[8];  // "mask0" .. "mask7"
    uint8_t reserved[32];
};
static_assert(sizeof(PbSyncStart) == 68, "synchronous start is 68 bytes");

// Answer to the synchronous start (records of 40 bytes).
struct PbSyncStarted {
    int32_t sid;
    char play_time[PB_TIME_TEXT];
    int32_t error; // non-zero: not started
};
static_assert(sizeof(PbSyncStarted) == 40, "synchronous start answer is 40 bytes");
static_assert(offsetof(PbSyncStarted, error) == 36, "");

struct PbResumeRecord {
    int32_t sid;
    int32_t direction;
};
static_assert(sizeof(PbResumeRecord) == 8, "");

// Jump (request 1171).
struct PbJumpRecord {
    int32_t channels[PB_MAX_SESSIONS];
    int32_t ids[PB_MAX_SESSIONS];
    int32_t count;
    char jump_time[64];
};
static_assert(sizeof(PbJumpRecord) == 580, "jump record is 580 bytes");
static_assert(offsetof(PbJumpRecord, count) == 512, "");
static_assert(offsetof(PbJumpRecord, jump_time) == 516, "");

// Stream information of a playback session (reply 8502).
struct PbStreamInfo {
    int32_t session_id;
    int32_t port;
    int32_t external_port;
    int32_t external_http_port;
    int32_t ddns_port;
    int32_t ddns_http_port;
    char source_path[128];
};
static_assert(sizeof(PbStreamInfo) == 152, "stream information is 152 bytes");

struct PbTranscodeSet {
    int32_t ch;
    int32_t sid;
    int32_t mode;      // "trancodingmode"
    int32_t framesize;
    int32_t bitrate;
    int32_t framerate;
};
static_assert(sizeof(PbTranscodeSet) == 24, "");

struct PbTranscodeGet {
    int32_t ch;
    int32_t sid;
};
static_assert(sizeof(PbTranscodeGet) == 8, "");

// Answer of both transcoding requests.
struct PbTranscodeState {
    int32_t ch;
    int32_t sid;
    int32_t state;
};
static_assert(sizeof(PbTranscodeState) == 12, "");

// Live stream start (3500) and stop (1901).
struct LiveRecord {
    int32_t channel;
    int32_t stream_type;   // 0 main, 1 sub
    int32_t stream_source; // "streamFrom"; 0 in a stop
};
static_assert(sizeof(LiveRecord) == 12, "live record is 12 bytes");

// Live stream answer (reply 8500).
struct LiveReply {
    int32_t channel;
    int32_t port;
    uint8_t reserved0[16];
    int32_t direct;
    int32_t status; // negative: failure
    uint8_t reserved1[64];
    char rtsp_addr[256];
    char res_path[256];
    uint8_t reserved2[432];
};
static_assert(sizeof(LiveReply) == 1040, "live reply is 1040 bytes");
static_assert(offsetof(LiveReply, direct) == 24, "");
static_assert(offsetof(LiveReply, status) == 28, "");
static_assert(offsetof(LiveReply, rtsp_addr) == 96, "");
static_assert(offsetof(LiveReply, res_path) == 352, "");

// Image parameters of a channel (request 1205).
struct ImageRecord {
    int32_t channel;
    int32_t brightness;
    int32_t contrast;
    int32_t saturation;
    int32_t sharpness;
    int32_t noise_reduction;
    int32_t i2ddnr;
};
static_assert(sizeof(ImageRecord) == 28, "image record is 28 bytes");

// Image parameters as the camera reports them (reply 8002).
struct ImageReply {
    ImageRecord image;
    int32_t status; // negative: failure
    int32_t support_lpr;
    int32_t is_nt_platform;
    int32_t is_panorama_stitch;
};
static_assert(sizeof(ImageReply) == 44, "image reply is 44 bytes");
static_assert(offsetof(ImageReply, image) + offsetof(ImageRecord, i2ddnr) == 24, "");
static_assert(offsetof(ImageReply, status) == 28, "");
static_assert(offsetof(ImageReply, is_panorama_stitch) == 40, "");

// One side (main or sub stream) of the recorder's own stream address.
struct RtspNvrStream {
    char username[64];
    char password[64];
    int32_t port;
    int32_t external_port;
    int32_t ddns_port;
    char res_path[324];
    int32_t external_http_port;
    int32_t ddns_http_port;
    uint8_t reserved[8];
};
static_assert(sizeof(RtspNvrStream) == 480, "");

// Stream addresses of a channel (reply 8503).
struct RtspAddrRecord {
    int32_t channel;
    char ipc_main[256]; // the camera's own addresses
    char ipc_sub[256];
    RtspNvrStream nvr_main;
    RtspNvrStream nvr_sub;
};
static_assert(sizeof(RtspAddrRecord) == 1476, "stream address record is 1476 bytes");
static_assert(offsetof(RtspAddrRecord, ipc_main) == 4, "");
static_assert(offsetof(RtspAddrRecord, ipc_sub) == 260, "");

// Port mappings (reply 8506).
struct ExternPortReply {
    int32_t upnp_extern_port;
    int32_t ddns_extern_port;
};
static_assert(sizeof(ExternPortReply) == 8, "");
