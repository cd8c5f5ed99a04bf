// Status and diagnostics records: the daemon's replies behind the status
// pages (network ports, traffic, camera streams, alarm states, storage,
// PoE, users logged in) and the diagnosis export. All integers are 32-bit
// little-endian; texts from the daemon may lack their zero.
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    IPC_STATUS_CAMERAS = 3300,    // none -> 8300: CamStreamState[]
    IPC_STATUS_NETWORK = 3301,    // none -> 8301: NetPortStatus[]
    IPC_STATUS_TRAFFIC = 3302,    // none -> 8302: NetPortTraffic[]
    IPC_STATUS_ALARMS = 3305,     // none -> 8305: AlarmStateReply
    IPC_STATUS_STORAGE = 3306,    // none -> 8306: StorageSummary
    IPC_STATUS_POE = 3263,        // none -> 8263: PoeSupport[64]
    IPC_STATUS_USERS = 1719,      // none -> 6719: OnlineUser[]
    IPC_DIAGNOSIS_EXPORT = 3528,  // DiagnosisRequest -> 8528: DiagnosisReply
};
#define STATUS_REPLY(request) ((request) + 5000)

// ---- Network port state (8301), 320 bytes ----------------------------------------------------
struct NetPortStatus {
    char ifname[12];        // 0
    int32_t id;             // 12
    int32_t state;          // 16
    int32_t speed_mode;     // 20
    int32_t duplex;         // 24
    int32_t enable;         // 28
    int32_t dhcp_enable;    // 32
    char ip_addr[24];       // 36
    char mac[24];           // 60
    char primary_dns[24];   // 84
    char second_dns[24];    // 108
    char gateway[24];       // 132
    char netmask[24];       // 156
    int32_t mtu;            // 180
    uint8_t ip6_mode;       // 184
    char ip6_address[67];   // 185
    int32_t ip6_prefix;     // 252
    char ip6_gateway[64];   // 256
};
static_assert(sizeof(NetPortStatus) == 320, "network port state is 320 bytes");
static_assert(offsetof(NetPortStatus, ip_addr) == 36, "");
static_assert(offsetof(NetPortStatus, netmask) == 156, "");
static_assert(offsetof(NetPortStatus, mtu) == 180, "");
static_assert(offsetof(NetPortStatus, ip6_address) == 185, "");
static_assert(offsetof(NetPortStatus, ip6_prefix) == 252, "");
static_assert(offsetof(NetPortStatus, ip6_gateway) == 256, "");

// ---- Port traffic (8302), 24 bytes -------------------------------------------------------------
struct NetPortTraffic {
    char ifname[12];   // 0
    int32_t rx_speed;  // 12
    int32_t tx_speed;  // 16
    int32_t id;        // 20
};
static_assert(sizeof(NetPortTraffic) == 24, "port traffic record is 24 bytes");

// ---- Camera stream state (8300), 72 bytes --------------------------------------------------------
struct CamStreamInfo {
    int32_t width;
    int32_t height;
    int32_t framerate;
    int32_t bitrate;
    int32_t connection;
    int32_t reserved;
    int32_t connect_status;
};
static_assert(sizeof(CamStreamInfo) == 28, "");
struct CamStreamState {
    CamStreamInfo main;    // 0
    CamStreamInfo sub;     // 28
    int32_t record_on;     // 56
    int32_t alarm_on;      // 60
    int32_t channel;       // 64
    int32_t reserved68;
};
static_assert(sizeof(CamStreamState) == 72, "camera stream state is 72 bytes");
static_assert(offsetof(CamStreamState, sub) == 28, "");
static_assert(offsetof(CamStreamState, record_on) == 56, "");
static_assert(offsetof(CamStreamState, channel) == 64, "");

// ---- Alarm states (8305), 68,296 bytes read as int32 words -------------------------------------
// A mask is two words (low first); bit n stands for camera channel n.
enum {
    ALARM_STATE_WORDS = 17074,
    ASW_VIDEO_LOSS = 0,
    ASW_MOTION = 2,
    ASW_NVR_OUTPUTS = 4,      // bit i: recorder output i
    ASW_NVR_INPUTS = 5,       // bit i: recorder input i
    ASW_ENTRANCE = 6,
    ASW_EXITING = 8,
    ASW_ADVANCED_MOTION = 10,
    ASW_TAMPERING = 12,
    ASW_LINE_CROSSING = 14,
    ASW_LOITERING = 16,
    ASW_HUMAN = 18,
    ASW_OBJECT = 20,
    ASW_CHANNEL_IN = 24,      // + 2n: "in" of channel n, + 2n + 1: "out"
    ASW_CAM_IN_STATE = 152,   // + 2p: state mask of camera input p (0..3)
    ASW_CAM_OUT_STATE = 160,  // + 2p: state mask of camera output p (0, 1)
    ASW_CAM_IN_TYPE = 164,    // + 2p
    ASW_CAM_OUT_TYPE = 172,   // + 2p
};
struct AlarmStateReply {
    int32_t words[ALARM_STATE_WORDS];
};
static_assert(sizeof(AlarmStateReply) == 68296, "alarm state reply is 68296 bytes");

// ---- Storage summary (8306), PoE support (8263), users logged in (6719) ------------------------
struct StorageSummary {
    int32_t total;
    int32_t free;
    int32_t used;
};
static_assert(sizeof(StorageSummary) == 12, "");

enum { POE_RECORDS = 64 };
struct PoeSupport {
    int32_t channel;
    int32_t support;  // 4: 1 with PoE
    int32_t type;     // 8: 1 or 2
    uint8_t reserved[32];
};
static_assert(sizeof(PoeSupport) == 44, "PoE support record is 44 bytes");

struct OnlineUser {
    char user_name[64];   // 0
    int32_t user_level;   // 64
    char ip_addr[64];     // 68
    char login_time[20];  // 132
};
static_assert(sizeof(OnlineUser) == 152, "online user record is 152 bytes");
static_assert(offsetof(OnlineUser, ip_addr) == 68, "");
static_assert(offsetof(OnlineUser, login_time) == 132, "");

// ---- Diagnosis export (3528, reply 8528) ---------------------------------------------------------
struct DiagnosisRequest {
    char directory[64];
};
static_assert(sizeof(DiagnosisRequest) == 64, "");
// Reply: int32 at 0 (unused), int32 result at 4 (negative: failed), the
// exported file's path from 8 to the end of the payload.
enum { DIAGNOSIS_REPLY_HEAD = 8 };
