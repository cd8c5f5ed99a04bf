// Camera feature settings read and changed through the daemon: auto
// tracking, PTZ support, watermark, event stream, night mode of plate
// recognition, audio, the camera's capabilities and free custom parameters.
// All integers are 32-bit little-endian; texts from the daemon may lack
// their zero.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/schedule.h"

enum {
    IPC_CAM_WATERMARK_GET = 1213,    // channel -> 6213: CamWatermarkReply
    IPC_CAM_WATERMARK_SET = 1216,    // CamWatermarkRequest -> 6216: status
    IPC_CAM_EVENT_STREAM_GET = 1217, // CamEventStreamQuery -> 6217: CamEventStream
    IPC_CAM_EVENT_STREAM_SET = 1218, // CamEventStream -> 6218: status
    IPC_CAM_NIGHT_MODE_GET = 1219,   // channel -> 6219: CamNightMode
    IPC_CAM_PTZ_SUPPORT = 1262,      // channel -> 6262: status
    IPC_CAM_TRACKING_GET = 3294,     // channel -> 8294: CamTrackingReply
    IPC_CAM_AUDIO_GET = 3371,        // channel -> 8371: CamAudioReply
    IPC_CAM_AUDIO_SET = 3372,        // CamAudioRequest -> 8372: status
    IPC_CAM_TRACKING_SET = 3375,     // CamTrackingRequest -> 8375: status
    IPC_CAM_CAPABILITIES = 3376,     // channel -> 8376: CamCapabilities
    IPC_CAM_CUSTOM_PARAM = 3377,     // CamCustomRequest -> 8377: CamCustomReply
};

// ---- Auto tracking ---------------------------------------------------------------------------
// The settings as the reply holds them; the request puts the channel mask
// before them.
struct CamTracking {
    int32_t channel;
    int32_t enable;
    int32_t show;
    int32_t sensitivity;
    int32_t time;
    int32_t manual_tracking;
    int32_t zoom_mode;
    int32_t zoom_number;
    WeekSchedule schedule;
    char area[300];
    int32_t human_vehicle_support;
    int32_t tracking_object;
    int32_t report_motion;
};
typedef CamTracking CamTrackingReply;
static_assert(sizeof(CamTrackingReply) == 28056, "auto tracking reply is 28056 bytes");
static_assert(offsetof(CamTracking, schedule) == 32, "");
static_assert(offsetof(CamTracking, area) == 27744, "");
static_assert(offsetof(CamTracking, human_vehicle_support) == 28044, "");
static_assert(offsetof(CamTracking, report_motion) == 28052, "");

struct CamTrackingRequest {
    uint32_t mask_lo;            // 0: the channels the settings go to
    uint32_t mask_hi;            // 4
    CamTracking tracking;        // 8
};
static_assert(sizeof(CamTrackingRequest) == 28064, "auto tracking request is 28064 bytes");

// ---- Watermark ---------------------------------------------------------------------------------
struct CamWatermarkRequest {
    int32_t channel;             // 0
    int32_t enable;              // 4
    int32_t reserved8;
    char text[32];               // 12
    char copy[65];               // 44: channel mask text, own channel '1'
    uint8_t pad109[3];
};
static_assert(sizeof(CamWatermarkRequest) == 112, "watermark request is 112 bytes");
static_assert(offsetof(CamWatermarkRequest, text) == 12, "");
static_assert(offsetof(CamWatermarkRequest, copy) == 44, "");

struct CamWatermarkReply {
    int32_t channel;             // 0
    int32_t enable;              // 4
    int32_t reserved8;
    char text[32];               // 12
};
static_assert(sizeof(CamWatermarkReply) == 44, "watermark reply is 44 bytes");

// ---- Event stream --------------------------------------------------------------------------------
struct CamEventStreamQuery {
    int32_t channel;
    int32_t fisheye_type;
};
static_assert(sizeof(CamEventStreamQuery) == 8, "");

// Request 1218 and reply 6217.
struct CamEventStream {
    int32_t channel;             // 0
    int32_t reserved4;
    int32_t enable;              // 8
    int32_t framerate;           // 12
    int32_t bitrate;             // 16
    int32_t iframe_interval;     // 20
};
static_assert(sizeof(CamEventStream) == 24, "event stream record is 24 bytes");

// ---- Night mode of plate recognition -------------------------------------------------------------
struct CamNightMode {
    int32_t channel;
    int32_t night_mode;
};
static_assert(sizeof(CamNightMode) == 8, "");

// ---- Audio ------------------------------------------------------------------------------------------
// The audio configuration, one word each in this order (reply 8371 at 5940,
// request 3372 at 8).
struct CamAudioConfig {
    int32_t channel;
    int32_t audio_enable;
    int32_t audio_mode;
    int32_t denoise;
    int32_t encoding;
    int32_t sample_rate;
    int32_t input_gain;
    int32_t input_mode;
    int32_t gain_control;
    int32_t output_volume;
    int32_t audio_bitrate;
};
static_assert(sizeof(CamAudioConfig) == 44, "");

struct CamAudioRequest {
    uint32_t mask_lo;            // 0: the channels the settings go to
    uint32_t mask_hi;            // 4
    CamAudioConfig config;       // 8
    int32_t speaker_vol;         // 52
    int32_t two_way_speaker_vol; // 56
    int32_t two_way_out_vol;     // 60
};
static_assert(sizeof(CamAudioRequest) == 64, "audio request is 64 bytes");
static_assert(offsetof(CamAudioRequest, speaker_vol) == 52, "");

enum { CAM_AUDIO_ENCODINGS = 9, CAM_AUDIO_RATES = 9, CAM_AUDIO_BITRATES = 16 };
struct CamAudioRate {
    int32_t value;
    int32_t bitrate_count;
    int32_t bitrates[CAM_AUDIO_BITRATES];
};
static_assert(sizeof(CamAudioRate) == 72, "");
struct CamAudioEncoding {
    int32_t value;
    int32_t rate_count;
    CamAudioRate rates[CAM_AUDIO_RATES];
};
static_assert(sizeof(CamAudioEncoding) == 656, "");

struct CamAudioReply {
    int32_t res;                 // 0
    int32_t support;             // 4
    int32_t support_mode;        // 8
    int32_t support_input_mode;  // 12
    int32_t reserved16[4];
    int32_t encoding_count;      // 32
    CamAudioEncoding encodings[CAM_AUDIO_ENCODINGS]; // 36
    CamAudioConfig config;       // 5940
    int32_t reserved5984[3];
};
static_assert(sizeof(CamAudioReply) == 5996, "audio reply is 5996 bytes");
static_assert(offsetof(CamAudioReply, encoding_count) == 32, "");
static_assert(offsetof(CamAudioReply, encodings) == 36, "");
static_assert(offsetof(CamAudioReply, config) == 5940, "");

// ---- Capabilities --------------------------------------------------------------------------------------
struct CamCapabilities {
    int32_t res;                 // 0
    int32_t audio_support;       // 4
    int32_t audio_support_mode;  // 8
    int32_t line_input_support;  // 12
    int32_t speaker_support;     // 16
    int32_t manual_speed_support; // 20
    int32_t reserved24[35];
    int32_t auto_tracking_support; // 164
    int32_t reserved168[186];
};
static_assert(sizeof(CamCapabilities) == 912, "capabilities reply is 912 bytes");
static_assert(offsetof(CamCapabilities, auto_tracking_support) == 164, "");

// ---- Custom parameter ----------------------------------------------------------------------------------
struct CamCustomRequest {
    int32_t channel;             // 0
    char url[256];               // 4
};
static_assert(sizeof(CamCustomRequest) == 260, "custom parameter request is 260 bytes");

struct CamCustomReply {
    int32_t res;                 // 0
    int32_t channel;             // 4
    char data[512];              // 8
};
static_assert(sizeof(CamCustomReply) == 520, "custom parameter reply is 520 bytes");
