// Network services: the records of time, PPPoE, DDNS, mail, service ports,
// UPnP and the cloud (P2P) service kept in the settings database and shared
// with the daemon, the push-message tables, and the requests that apply them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_TIME_SET = 1701,        // TimeSetRequest; reply 6701
    IPC_TIME_APPLIED = 1711,    // no payload, after reply 6701
    IPC_DDNS_STATUS = 3309,     // no payload; reply 8309: int32 status
    IPC_TEST_MAIL = 3409,       // 32-byte text "testmail"; reply 8409: int32, 0 = sent
    IPC_PUSH_MSG_ENABLE = 3617, // the enableMsg value as decimal text, 10 bytes
    IPC_CHANNEL_ACCESS = 3618,  // int32 enableAccess
    IPC_UPNP_SET = 3720,        // UpnpRecord
    IPC_P2P_STATUS = 3702,      // no payload; reply 8702: P2pStateRecord
    IPC_P2P_ENABLE = 3700,      // P2pRecord (enable, region); reply 8700: int32 error code.
                                // Also the P2P server's answer text after a test.
    IPC_P2P_DISABLE = 3701,     // P2pRecord; reply 8701: int32
    IPC_P2P_UNBIND = 2302,      // no payload; reply 7302
};

// ---- Time ----------------------------------------------------------------------------------
struct TimeRecord {
    int32_t ntp_enable;       // "ntpEnable": 0 or 1
    int32_t dst_enable;       // "dstEnable": 0 or 1
    char time_zone[32];       // "timeZone"
    char time_zone_name[32];  // "timeZoneName"
    char ntp_server[64];      // "ntpServer"
    int32_t sync_enable;      // "syncEnable"
    int32_t sync_interval;    // "syncInterval"
    int32_t sync_pc;          // "syncPc"
};
static_assert(sizeof(TimeRecord) == 148, "time record is 148 bytes");
static_assert(offsetof(TimeRecord, time_zone) == 8, "");
static_assert(offsetof(TimeRecord, time_zone_name) == 40, "");
static_assert(offsetof(TimeRecord, ntp_server) == 72, "");
static_assert(offsetof(TimeRecord, sync_enable) == 136, "");
static_assert(offsetof(TimeRecord, sync_pc) == 144, "");
NVR_DB_SINGLE(time, TimeRecord, "time")

// 1701: the manual time in double quotes, or zeros (NTP, or a failover device).
struct TimeSetRequest {
    char time[32];
};
static_assert(sizeof(TimeSetRequest) == 32, "");

// ---- PPPoE ----------------------------------------------------------------------------------
struct PppoeRecord {
    int32_t enable;       // "enable": 0 or 1
    int32_t auto_connect; // "autoConnect"
    char user_name[64];
    char password[64];
};
static_assert(sizeof(PppoeRecord) == 136, "PPPoE record is 136 bytes");
static_assert(offsetof(PppoeRecord, password) == 72, "");
NVR_DB_SINGLE(pppoe, PppoeRecord, "pppoe")

// ---- DDNS -----------------------------------------------------------------------------------
struct DdnsRecord {
    int32_t enable;          // "enable": 0 or 1
    char domain[64];         // "domain": the DDNS provider
    char user_name[32];
    char password[32];
    char host_name[128];
    char free_dns_hash[128]; // "freeDNSHash"
    char ddns_url[128];      // "ddnsurl"
    int32_t update_freq;     // "updateFreq"
    int32_t http_port;       // "http" in, "http_port" out
    int32_t rtsp_port;       // "rtsp" in, "rtsp_port" out
};
static_assert(sizeof(DdnsRecord) == 528, "DDNS record is 528 bytes");
static_assert(offsetof(DdnsRecord, host_name) == 132, "");
static_assert(offsetof(DdnsRecord, free_dns_hash) == 260, "");
static_assert(offsetof(DdnsRecord, ddns_url) == 388, "");
static_assert(offsetof(DdnsRecord, update_freq) == 516, "");
static_assert(offsetof(DdnsRecord, rtsp_port) == 524, "");
NVR_DB_SINGLE(ddns, DdnsRecord, "ddns")

// ---- Mail -----------------------------------------------------------------------------------
enum { MAIL_RECEIVERS = 3 };
struct MailReceiver {
    int32_t reserved;
    char addr[65]; // "receiverAddr"
    char name[65]; // "receiverName"
    uint8_t pad[2];
};
static_assert(sizeof(MailReceiver) == 136, "");

struct MailRecord {
    int32_t enable;
    char user_name[65];
    char password[65];
    char smtp_server[65];
    uint8_t pad0[1];
    int32_t smtp_port;
    char sender_addr[65];
    char sender_name[65];
    uint8_t pad1[2];
    int32_t enable_tls;       // 0 to 2
    int32_t enable_attach;    // 0 or 1
    int32_t capture_interval;
    MailReceiver receivers[MAIL_RECEIVERS];
};
static_assert(sizeof(MailRecord) == 756, "mail record is 756 bytes");
static_assert(offsetof(MailRecord, smtp_port) == 200, "");
static_assert(offsetof(MailRecord, sender_addr) == 204, "");
static_assert(offsetof(MailRecord, enable_tls) == 336, "");
static_assert(offsetof(MailRecord, receivers) == 348, "");
NVR_DB_SINGLE(email, MailRecord, "email")

// ---- Service ports --------------------------------------------------------------------------
struct PortRecord {
    int32_t enable_ssh;       // "enableSsh": 0 or 1 (the SSH switch)
    int32_t ssh_port;
    int32_t http_port;
    int32_t rtsp_port;
    int32_t https_port;
    int32_t service_port;
    int32_t enable_host_name; // mail option "enableHostName"
    char host_name[256];      // mail option "hostName"
    uint8_t reserved[4];
};
static_assert(sizeof(PortRecord) == 288, "port record is 288 bytes");
static_assert(offsetof(PortRecord, http_port) == 8, "");
static_assert(offsetof(PortRecord, rtsp_port) == 12, "");
static_assert(offsetof(PortRecord, https_port) == 16, "");
static_assert(offsetof(PortRecord, host_name) == 28, "");
NVR_DB_SINGLE(port, PortRecord, "port")

// Ports 23001 .. 23000 + max_poe_num belong to the PoE cameras when the
// parameter "max_poe_num" is 4, 8 or 16.
enum { POE_PORT_BASE = 23000 };
inline bool poe_reserved_port(int port, int max_poe_num)
{
    bool reserving = max_poe_num == 4 || max_poe_num == 8 || max_poe_num == 16;
    return reserving && port > POE_PORT_BASE && port <= POE_PORT_BASE + max_poe_num;
}

// Push-message event type of one camera channel.
struct PushMsgEvent {
    int32_t channel; // 0..63
    int32_t type;
};
static_assert(sizeof(PushMsgEvent) == 8, "");
NVR_DB_RECORD(push_msg_event, PushMsgEvent, "push_msg_event", channel, 64, NVR_COLUMN(type))

// Push-message events of the recorder itself: a 64-character text.
struct PushMsgNvrEvent {
    char events[65]; // "pushNvrPos"
    uint8_t pad[3];
};
static_assert(sizeof(PushMsgNvrEvent) == 68, "");
NVR_DB_SINGLE(push_msg_nvr_event, PushMsgNvrEvent, "push_msg_nvr_event")

// ---- UPnP (stored by the daemon) --------------------------------------------------------------
struct UpnpRecord {
    int32_t enable;
    int32_t type;
    uint8_t reserved[128];
    int32_t external_http_port;
    int32_t http_status;
    int32_t external_rtsp_port;
    int32_t rtsp_status;
};
static_assert(sizeof(UpnpRecord) == 152, "UPnP record is 152 bytes");
static_assert(offsetof(UpnpRecord, external_http_port) == 136, "");
static_assert(offsetof(UpnpRecord, rtsp_status) == 148, "");
NVR_DB_SINGLE(upnp, UpnpRecord, "upnp")

// ---- Cloud (P2P) service --------------------------------------------------------------------
// The four texts the daemon fills are sent to the P2P server by a test.
enum { P2P_TEXTS = 4 };
struct P2pRecord {
    int32_t enable;
    uint8_t reserved[32];
    char text[3][128];
    char text4[64];
    int32_t region;
};
static_assert(sizeof(P2pRecord) == 488, "P2P record is 488 bytes");
static_assert(offsetof(P2pRecord, text) == 36, "");
static_assert(offsetof(P2pRecord, text[1]) == 164, "");
static_assert(offsetof(P2pRecord, text[2]) == 292, "");
static_assert(offsetof(P2pRecord, text4) == 420, "");
static_assert(offsetof(P2pRecord, region) == 484, "");
NVR_DB_SINGLE(p2p_info, P2pRecord, "p2p_info")

// Reply 8702: the state of the cloud service.
struct P2pStateRecord {
    int32_t enable;
    uint8_t reserved0[28];
    char ipc[64];
    char cloud_account[64];
    char cloud_server[64];
    char register_code[128];
    char company[128];
    char email[128];
    char dealer[64];
    int32_t p2p_status;
    int32_t region;
    char model[64];
    uint8_t reserved1[4];
};
static_assert(sizeof(P2pStateRecord) == 748, "P2P state record is 748 bytes");
static_assert(offsetof(P2pStateRecord, ipc) == 32, "");
static_assert(offsetof(P2pStateRecord, cloud_account) == 96, "");
static_assert(offsetof(P2pStateRecord, cloud_server) == 160, "");
static_assert(offsetof(P2pStateRecord, register_code) == 224, "");
static_assert(offsetof(P2pStateRecord, company) == 352, "");
static_assert(offsetof(P2pStateRecord, email) == 480, "");
static_assert(offsetof(P2pStateRecord, dealer) == 608, "");
static_assert(offsetof(P2pStateRecord, p2p_status) == 672, "");
static_assert(offsetof(P2pStateRecord, model) == 680, "");

// The P2P server's protocol (port 9999): a 40-byte header whose first int32
// is the command (2 = test), then the body; the answer is a 40-byte header
// whose first int32 is the status (0 = accepted, 2 = refused), followed on
// success by the server's text (at most 128 bytes).
enum { P2P_SERVER_PORT = 9999, P2P_CMD_TEST = 2, P2P_ANSWER_TEXT_MAX = 128 };
struct P2pHeader {
    int32_t word0; // command, or status in an answer
    uint8_t rest[36];
};
static_assert(sizeof(P2pHeader) == 40, "");

struct P2pTestBody {
    char mac[24];          // first port's MAC
    char device_name[32];  // "deviceName"
    char serial[64];       // "sn"
    char text[3][128];     // the P2P record's texts
    char text4[64];
};
static_assert(sizeof(P2pTestBody) == 568, "");
static_assert(offsetof(P2pTestBody, serial) == 56, "");
static_assert(offsetof(P2pTestBody, text) == 120, "");
static_assert(offsetof(P2pTestBody, text[1]) == 248, "");
static_assert(offsetof(P2pTestBody, text4) == 504, "");
