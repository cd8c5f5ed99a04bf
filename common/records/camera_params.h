// Camera-side video and image settings, read and changed through the daemon:
// stream settings, image enhancement and display, free key/value parameters,
// day/night settings, image areas, the camera's week schedules, the grid
// detection and the query by type; and the exposure table kept in the
// settings database.
//
// All integers are 32-bit little-endian; texts are zero-terminated within
// their fields, but a field coming from the daemon may lack its zero. A word
// of -1 in a request means "not given": the camera keeps its own value.
// Copy lists: int32 channel ids with -1 in the empty slots, a 64-bit channel
// mask (two words, low first) or a 64-character channel mask text.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/camera.h"
#include "common/records/schedule.h"
#include "common/settings.h"

enum {
    IPC_CAM_STREAM_SET = 3203,       // CamStreamRequest -> 8203: CamStreamResult
    IPC_CAM_STREAM_GET = 3204,       // channel -> 8204: CamStreamReply
    IPC_CAM_ENHANCE_GET = 3221,      // channel -> 8221: CamEnhanceReply
    IPC_CAM_DISPLAY_GET = 3223,      // channel -> 8223: CamDisplayRecord
    IPC_CAM_DISPLAY_SET = 3224,      // CamDisplayRecord -> 8224: status
    IPC_CAM_PARAM_GET = 3225,        // CamParamRequest -> 8225: CamParamReply
    IPC_CAM_PARAM_SET = 3226,        // CamParamRequest -> 8226: status
    IPC_CAM_AREAS_GET = 3271,        // channel -> 8271: CamAreasReply
    IPC_CAM_SCHEDULE_A_GET = 3273,   // channel -> 8273: CamScheduleReply
    IPC_CAM_EXPOSURE_SCHED_GET = 3275, // channel -> 8275: CamExposureScheduleReply
    IPC_CAM_SCHEDULE_C_GET = 3277,   // channel -> 8277: CamScheduleReply
    IPC_CAM_DAY_NIGHT_GET = 3278,    // channel -> 8278: CamDayNightRecord
    IPC_CAM_DAY_NIGHT_SET = 3279,    // notice: CamDayNightRecord
    IPC_CAM_ENHANCE_SET = 3280,      // notice: CamEnhanceRequest
    IPC_CAM_SCHEDULE_A_SET = 3281,   // notice: CamScheduleRequest
    IPC_CAM_EXPOSURE_SCHED_SET = 3282, // notice: CamExposureScheduleRequest
    IPC_CAM_SCHEDULE_C_SET = 3283,   // notice: CamScheduleRequest
    IPC_CAM_AREA_DELETE = 3284,      // notice: CamAreaDelete
    IPC_CAM_AREAS_SET = 3288,        // notice: CamAreasRequest
    IPC_CAM_REGION_GET = 3358,       // channel -> 8358: CamRegionReply
    IPC_CAM_QUERY = 3360,            // CamQueryRequest -> 8360: text
    IPC_CAM_REGION_SET = 3366,       // CamRegionRequest -> 8366: status
};

// ---- Stream settings -------------------------------------------------------------------
// Request 3203: the channels as a mask text, then the main and sub stream.
struct CamStreamMain {
    int32_t video_type;          // 96
    int32_t width;               // 100
    int32_t height;              // 104
    int32_t framerate;           // 108
    int32_t bitrate;             // 112
    int32_t iframe_interval;     // 116
    int32_t bitrate_control;     // 120
    int32_t smart_stream;        // 124
    int32_t smart_stream_level;  // 128
    int32_t record_type;         // 132
    int32_t event_framerate;     // 136
    int32_t event_iframe_interval; // 140
    int32_t event_bitrate;       // 144
};
struct CamStreamSub {
    int32_t video_type;          // 152
    int32_t width;
    int32_t height;
    int32_t framerate;
    int32_t bitrate;
    int32_t iframe_interval;
    int32_t bitrate_control;
    int32_t smart_stream;
    int32_t smart_stream_level;  // 184
};
struct CamStreamRequest {
    char channels[65];           // 0: '1' per channel, zero at 64
    uint8_t pad65[3];
    int32_t transmit_protocol;   // 68
    int32_t time_sync;           // 72
    int32_t unused76;            // 76: always -1
    int32_t video_type_enable;   // 80
    int32_t sub_enable;          // 84
    int32_t fisheye_type;        // 88
    int32_t zero92;
    CamStreamMain main;          // 96
    int32_t zero148;
    CamStreamSub sub;            // 152
    int32_t unused[4];           // 188: always -1
};
static_assert(sizeof(CamStreamRequest) == 204, "stream settings request is 204 bytes");
static_assert(offsetof(CamStreamRequest, transmit_protocol) == 68, "");
static_assert(offsetof(CamStreamRequest, unused76) == 76, "");
static_assert(offsetof(CamStreamRequest, video_type_enable) == 80, "");
static_assert(offsetof(CamStreamRequest, fisheye_type) == 88, "");
static_assert(offsetof(CamStreamRequest, main) == 96, "");
static_assert(offsetof(CamStreamRequest, main) + offsetof(CamStreamMain, record_type) == 132, "");
static_assert(offsetof(CamStreamRequest, main) + offsetof(CamStreamMain, event_bitrate) == 144, "");
static_assert(offsetof(CamStreamRequest, sub) == 152, "");
static_assert(offsetof(CamStreamRequest, sub) + offsetof(CamStreamSub, smart_stream_level) == 184, "");
static_assert(offsetof(CamStreamRequest, unused) == 188, "");

// Reply 8203: bit n set for each channel the settings were applied to.
struct CamStreamResult {
    uint32_t mask_lo;
    uint32_t mask_hi;
};
static_assert(sizeof(CamStreamResult) == 8, "");

// What the camera offers and uses for one stream (61 words of reply 8204).
enum { CAM_STREAM_RESOLUTIONS = 24 };
struct CamStreamCaps {
    int32_t res[CAM_STREAM_RESOLUTIONS][2]; // width, height
    int32_t framerate_max;
    int32_t framerate_min;
    int32_t bitrate_max;
    int32_t bitrate_min;
    int32_t video_type;
    int32_t cur_width;
    int32_t cur_height;
    int32_t framerate;
    int32_t bitrate;
    int32_t iframe_interval;
    int32_t bitrate_control;
    int32_t iframe_interval_min;
    int32_t iframe_interval_max;
};
static_assert(sizeof(CamStreamCaps) == 61 * 4, "");

struct CamStreamReply {
    int32_t state;               // w0: 0 when the camera answered
    int32_t channel;             // w1
    CamStreamCaps main;          // w2..w62
    CamStreamCaps sub;           // w63..w123
    int32_t sub_enable;          // w124
    int32_t audio_enable;        // w125
    int32_t video_type_enable;   // w126
    int32_t camera_type;         // w127
    int32_t main_stream;         // w128
    int32_t sub_stream;          // w129
    int32_t smart_support;       // w130
    int32_t smart_stream;        // w131
    int32_t smart_level;         // w132
    int32_t sub_smart_support;   // w133
    int32_t sub_smart_stream;    // w134
    int32_t sub_smart_level;     // w135
    int32_t main_gop;            // w136
    int32_t sub_gop;             // w137
    int32_t third_gop;           // w138
    int32_t reserved[17];        // w139..w155
};
static_assert(sizeof(CamStreamReply) == 624, "stream settings reply is 624 bytes");
static_assert(offsetof(CamStreamReply, main) == 2 * 4, "");
static_assert(offsetof(CamStreamReply, main) + offsetof(CamStreamCaps, framerate_max) == 50 * 4, "");
static_assert(offsetof(CamStreamReply, main) + offsetof(CamStreamCaps, iframe_interval_max) == 62 * 4, "");
static_assert(offsetof(CamStreamReply, sub) == 63 * 4, "");
static_assert(offsetof(CamStreamReply, sub_enable) == 124 * 4, "");
static_assert(offsetof(CamStreamReply, third_gop) == 138 * 4, "");

// ---- Image enhancement --------------------------------------------------------------------
struct CamEnhanceBlock {
    int32_t smartir;             // 0
    int32_t whiteblance;         // 4
    int32_t focusmode;           // 8
    int32_t antiblurry;          // 12
    int32_t wdrenable;           // 16
    int32_t wdrlevel;            // 20
    int32_t wdrstarthour;        // 24
    int32_t wdrstartminute;      // 28
    int32_t wdrstophour;         // 32
    int32_t wdrstopminute;       // 36
    int32_t regiontype;          // 40
    int32_t hlcmode;             // 44
    int32_t exclude;             // 48
    int32_t exposemode;          // 52
    char exposeregion[64];       // 56
    int32_t model_type;          // 120
    int32_t imageschemode;       // 124
    int32_t hlcday;              // 128
    int32_t hlcnight;            // 132
    int32_t redgain;             // 136
    int32_t bluegain;            // 140
    int32_t defogmode;           // 144
    int32_t defoglevel;          // 148
    int32_t dismode;             // 152
    int32_t exposetime;          // 156
    int32_t exposegain;          // 160
    int32_t af_level;            // 164
    int32_t hlclevel;            // 168
    int32_t exposurectrl;        // 172
    int32_t enblur;              // 176
    int32_t deblur;              // 180
    char sdkversion[32];         // 184
    int32_t lens_type;           // 216
    int32_t reduce_stuttering;   // 220
    int32_t reserved224;
};
static_assert(sizeof(CamEnhanceBlock) == 228, "image enhancement block is 228 bytes");
static_assert(offsetof(CamEnhanceBlock, exposeregion) == 56, "");
static_assert(offsetof(CamEnhanceBlock, model_type) == 120, "");
static_assert(offsetof(CamEnhanceBlock, af_level) == 164, "");
static_assert(offsetof(CamEnhanceBlock, sdkversion) == 184, "");
static_assert(offsetof(CamEnhanceBlock, lens_type) == 216, "");
static_assert(offsetof(CamEnhanceBlock, reduce_stuttering) == 220, "");

// The scene form of request 3280 (any type but 0), from offset 260.
struct CamEnhanceScene {
    int32_t ir_balance_mode;     // 260
    int32_t reduce_motion_blur;  // 264
    int32_t deblur;              // 268
    int32_t defog_mode;          // 272
    int32_t anti_fog_intensity;  // 276
    int32_t whitebalance_mode;   // 280
    int32_t whitebalance_red;    // 284
    int32_t whitebalance_blue;   // 288
    int32_t exposure_mode;       // 292
    int32_t exposure_time;       // 296
    int32_t exposure_gain;       // 300
    int32_t blc_region;          // 304
    int32_t blc_region_range;    // 308
    char blc_region_area[32];    // 312
    int32_t wdr_mode;            // 344
    int32_t wdr_start_hour;      // 348
    int32_t wdr_start_min;       // 352
    int32_t wdr_end_hour;        // 356
    int32_t wdr_end_min;         // 360
    int32_t wdr_level;           // 364
    int32_t hlc_mode;            // 368
    int32_t hlc_level;           // 372
};
static_assert(offsetof(CamEnhanceScene, blc_region_area) == 312 - 260, "");
static_assert(offsetof(CamEnhanceScene, hlc_level) == 372 - 260, "");

struct CamEnhanceRequest {
    int32_t channels[MAX_CAMERAS]; // 0: ids, -1 in empty slots
    int32_t type;                // 256: 0 block, other: scene form
    union {
        CamEnhanceBlock block;   // 260
        CamEnhanceScene scene;   // 260
    };
};
static_assert(sizeof(CamEnhanceRequest) == 488, "image enhancement request is 488 bytes");
static_assert(offsetof(CamEnhanceRequest, type) == 256, "");
static_assert(offsetof(CamEnhanceRequest, block) == 260, "");

// Reply 8221.
struct CamEnhanceReply {
    int32_t channel;             // 0
    int32_t reserved4;
    CamEnhanceBlock block;       // 8
};
static_assert(sizeof(CamEnhanceReply) == 236, "");

// ---- Image display: request 3224 (type 0) and reply 8223 ----------------------------------
struct CamDisplayRecord {
    int32_t channel;             // 0
    int32_t type;                // 4: 0 here, 1 the scene form below
    int32_t colorkiller;         // 8
    int32_t modestarthour;       // 12
    int32_t modestartminute;     // 16
    int32_t modestophour;        // 20
    int32_t modestopminute;      // 24
    int32_t exposurectrl;        // 28
    int32_t lighttype;           // 32
    int32_t mirctrl;             // 36
    int32_t localdisplay;        // 40
    int32_t ircutaddaytonight;   // 44
    int32_t ircutadnighttoday;   // 48
    int32_t corridormode;        // 52
    int32_t imagerotation;       // 56
    int32_t save_corridor;       // 60 (request)
    int32_t reserved64;
    int32_t smart_ir_type;       // 68
    int32_t near_ir_level;       // 72
    int32_t far_ir_level;        // 76
    int32_t mid_ir_level;        // 80
    int32_t lencorrect;          // 84
    int32_t smart_ir_math;       // 88 (reply)
    int32_t smart_ir_limit;      // 92 (reply)
    char chipninterface[64];     // 96 (reply)
    int32_t near_smartir_value;  // 160 (reply)
    int32_t far_smartir_value;   // 164 (reply)
    int32_t mid_smartir_value;   // 168 (reply)
    int32_t len_correct_type;    // 172 (reply)
    int32_t fovadjust;           // 176
    char sensortype[16];         // 180 (reply)
    char productmodel[32];       // 196 (reply)
    char softversion[32];        // 228 (reply)
    int32_t smokeddomecover;     // 260
    int32_t white_led_level;     // 264
    int32_t dn_refocus;          // 268
    char sdkversion[32];         // 272 (reply)
    int32_t structuretype;       // 304 (reply)
    int32_t keep_aspect_ratio;   // 308
    int32_t day_night_sens;      // 312
    int32_t night_day_sens;      // 316
    int32_t zoom_limit;          // 320
    int32_t reserved324;
    int32_t whiteled_light_ctrl; // 328 (request)
    int32_t whiteled_sensitivity; // 332
    int32_t whiteled_delay;      // 336
    int32_t whiteled_start;      // 340
    int32_t whiteled_stop;       // 344
    int32_t whiteled_brightness_ctrl; // 348
    int32_t whiteled_brightness; // 352
    int32_t reserved356[2];
};
static_assert(sizeof(CamDisplayRecord) == 364, "image display record is 364 bytes");
static_assert(offsetof(CamDisplayRecord, save_corridor) == 60, "");
static_assert(offsetof(CamDisplayRecord, smart_ir_type) == 68, "");
static_assert(offsetof(CamDisplayRecord, lencorrect) == 84, "");
static_assert(offsetof(CamDisplayRecord, chipninterface) == 96, "");
static_assert(offsetof(CamDisplayRecord, near_smartir_value) == 160, "");
static_assert(offsetof(CamDisplayRecord, len_correct_type) == 172, "");
static_assert(offsetof(CamDisplayRecord, fovadjust) == 176, "");
static_assert(offsetof(CamDisplayRecord, sensortype) == 180, "");
static_assert(offsetof(CamDisplayRecord, productmodel) == 196, "");
static_assert(offsetof(CamDisplayRecord, softversion) == 228, "");
static_assert(offsetof(CamDisplayRecord, smokeddomecover) == 260, "");
static_assert(offsetof(CamDisplayRecord, sdkversion) == 272, "");
static_assert(offsetof(CamDisplayRecord, structuretype) == 304, "");
static_assert(offsetof(CamDisplayRecord, zoom_limit) == 320, "");
static_assert(offsetof(CamDisplayRecord, whiteled_light_ctrl) == 328, "");
static_assert(offsetof(CamDisplayRecord, whiteled_brightness) == 352, "");

// Request 3224 of type 1 (scene form).
struct CamDisplayScene {
    int32_t channel;             // 0
    int32_t type;                // 4
    int32_t powerline_freq;      // 8
    int32_t dn_mode;             // 12
    int32_t d2n_sensitivity;     // 16
    int32_t n2d_sensitivity;     // 20
    int32_t night_start_hour;    // 24
    int32_t night_start_minute;  // 28
    int32_t night_end_hour;      // 32
    int32_t night_end_minute;    // 36
    int32_t smart_ir_mode;       // 40
    int32_t ir_led_level;        // 44
    int32_t image_rotation;      // 48
    uint8_t reserved52[312];
};
static_assert(sizeof(CamDisplayScene) == sizeof(CamDisplayRecord), "");
static_assert(offsetof(CamDisplayScene, image_rotation) == 48, "");

// ---- Free key/value parameters (requests 3225 and 3226, 392 bytes) -----------------------
struct CamParamRequest {
    int32_t channel;             // 0
    char pagename[64];           // 4
    char httpname[64];           // 68
    char key[128];               // 132
    char value[128];             // 260: 3226 only
    int32_t no_page;             // 388: 3225, 1 when pagename is empty
};
static_assert(sizeof(CamParamRequest) == 392, "parameter request is 392 bytes");
static_assert(offsetof(CamParamRequest, httpname) == 68, "");
static_assert(offsetof(CamParamRequest, key) == 132, "");
static_assert(offsetof(CamParamRequest, value) == 260, "");
static_assert(offsetof(CamParamRequest, no_page) == 388, "");

struct CamParamReply {
    int32_t channel;             // 0
    int32_t reserved4;
    char pagename[64];           // 8
    char httpname[64];           // 72
    char key[128];               // 136
    char value[128];             // 264
};
static_assert(sizeof(CamParamReply) == 392, "parameter reply is 392 bytes");
static_assert(offsetof(CamParamReply, httpname) == 72, "");
static_assert(offsetof(CamParamReply, key) == 136, "");
static_assert(offsetof(CamParamReply, value) == 264, "");

// ---- Day/night settings (request 3279, reply 8278) ---------------------------------------
enum { CAM_DN_ENTRIES = 7, CAM_DN_PERIODS = 10, CAM_DN_SCENES = 2 };
struct CamDayNightEntry {
    int32_t set;                 // 1 when the entry is given
    int32_t enable;
    int32_t start_hour;
    int32_t start_minute;
    int32_t end_hour;
    int32_t end_minute;
    int32_t exposure_level;
    int32_t min_shutter;
    int32_t max_shutter;
    int32_t gain_level;
    int32_t ir_cut_latency;
    int32_t ir_cut_state;
    int32_t ir_led_state;
    int32_t color_mode;
};
static_assert(sizeof(CamDayNightEntry) == 56, "");

struct CamDayNightPeriod {
    char start_time[32];
    char end_time[32];
    int32_t template_id;
    int32_t reserved;
};
static_assert(sizeof(CamDayNightPeriod) == 72, "");

// Type 0: the entries and the periods they apply in.
struct CamDayNightImage {
    CamDayNightEntry entries[CAM_DN_ENTRIES]; // 8
    int32_t has_schedule;        // 400
    CamDayNightPeriod effective[CAM_DN_PERIODS]; // 404
    int32_t reserved1124;
};
// Type 1: two scenes (one value of each pair per scene) and the supplement
// light; offsets from the start of the record.
struct CamDayNightScenes {
    int32_t set[CAM_DN_SCENES];            // 8
    int32_t min_shutter[CAM_DN_SCENES];    // 16
    int32_t max_shutter[CAM_DN_SCENES];    // 24
    int32_t limit_gain[CAM_DN_SCENES];     // 32
    int32_t ir_cut_interval[CAM_DN_SCENES]; // 40
    int32_t ir_cut_status[CAM_DN_SCENES];  // 48
    int32_t ir_led_status[CAM_DN_SCENES];  // 56
    int32_t color_mode[CAM_DN_SCENES];     // 64
    int32_t supplement;          // 72: isSupportSupplement
    int32_t ir_near_far;         // 76
    int32_t white_near_far;      // 80
    int32_t light_type;          // 84
    int32_t white_far_max;       // 88: whiteMaxBrightness without near/far
    int32_t white_near_max;      // 92
    int32_t smart_white_far_max; // 96: smartWhiteMaxBrightness without near/far
    int32_t smart_white_near_max; // 100
    int32_t white_latency;       // 104
    int32_t white_far_custom;    // 108: whiteCustomBrightness without near/far
    int32_t white_near_custom;   // 112
    int32_t ir_far_max;          // 116
    int32_t ir_near_max;         // 120
    int32_t ir_far_custom;       // 124: irCustomBrightness without near/far
    int32_t ir_near_custom;      // 128
    int32_t white_mode;          // 132
    int32_t ir_mode;             // 136
    uint8_t reserved140[988];
};
struct CamDayNightRecord {
    int32_t channel;             // 0
    int32_t type;                // 4: 0 entries, 1 scenes
    union {
        CamDayNightImage image;
        CamDayNightScenes scenes;
    };
};
static_assert(sizeof(CamDayNightRecord) == 1128, "day/night record is 1128 bytes");
static_assert(offsetof(CamDayNightRecord, image) + offsetof(CamDayNightImage, has_schedule) == 400, "");
static_assert(offsetof(CamDayNightRecord, image) + offsetof(CamDayNightImage, effective) == 404, "");
static_assert(offsetof(CamDayNightRecord, scenes) + offsetof(CamDayNightScenes, color_mode) == 64, "");
static_assert(offsetof(CamDayNightRecord, scenes) + offsetof(CamDayNightScenes, supplement) == 72, "");
static_assert(offsetof(CamDayNightRecord, scenes) + offsetof(CamDayNightScenes, white_latency) == 104, "");
static_assert(offsetof(CamDayNightRecord, scenes) + offsetof(CamDayNightScenes, ir_far_max) == 116, "");
static_assert(offsetof(CamDayNightRecord, scenes) + offsetof(CamDayNightScenes, ir_mode) == 136, "");

// ---- Image areas --------------------------------------------------------------------------
enum { CAM_AREAS = 16 };
struct CamArea {
    int32_t enable;
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
static_assert(sizeof(CamArea) == 20, "");

struct CamAreasRequest {
    int32_t channels[MAX_CAMERAS]; // 0: ids, -1 in empty slots
    int32_t enable;              // 256
    int32_t count;               // 260: channel ids given
    CamArea areas[CAM_AREAS];    // 264
};
static_assert(sizeof(CamAreasRequest) == 584, "image areas request is 584 bytes");
static_assert(offsetof(CamAreasRequest, areas) == 264, "");

struct CamAreasReply {
    int32_t channel;             // 0
    int32_t enable;              // 4
    int32_t reserved8;
    char sdkversion[32];         // 12
    CamArea areas[CAM_AREAS];    // 44
};
static_assert(sizeof(CamAreasReply) == 364, "image areas reply is 364 bytes");
static_assert(offsetof(CamAreasReply, areas) == 44, "");

struct CamAreaDelete {
    int32_t channel;
    int32_t area;                // 0..16
};
static_assert(sizeof(CamAreaDelete) == 8, "");

// ---- Week schedules kept in the camera -------------------------------------------------
// Requests 3281 and 3283: the channel list and days 0..6 of a week schedule;
// only the first 27716 bytes of that are sent.
enum { CAM_SCHEDULE_DAYS = 7, CAM_SCHEDULE_ENTRIES = 10, CAM_SCHEDULE_REPLY_ENTRIES = 12 };
struct CamScheduleRequest {
    int32_t channels[MAX_CAMERAS]; // 0: ids, -1 in empty slots
    ScheduleDay days[CAM_SCHEDULE_DAYS]; // 256
    uint8_t rest[3212];          // day 7, not sent whole
};
static_assert(sizeof(CamScheduleRequest) == 27716, "camera schedule request is 27716 bytes");

struct CamScheduleReply {
    int32_t status;
    WeekSchedule schedule;       // 4
};
static_assert(sizeof(CamScheduleReply) == 27716, "camera schedule reply is 27716 bytes");

// Exposure schedule: entries carry an exposure time and a gain level.
struct CamExposureSegment {
    char start_time[32];
    char end_time[32];
    int32_t action_type;
    int32_t exposure_time;
    int32_t gain_level;
};
static_assert(sizeof(CamExposureSegment) == 76, "");
struct CamExposureDay {
    CamExposureSegment segments[SCHEDULE_SEGMENTS];
};
static_assert(sizeof(CamExposureDay) == 3648, "");

struct CamExposureScheduleRequest {
    int32_t channels[MAX_CAMERAS]; // 0
    CamExposureDay days[CAM_SCHEDULE_DAYS]; // 256
    uint8_t rest[3396];          // day 7, not sent whole
};
static_assert(sizeof(CamExposureScheduleRequest) == 29188, "exposure schedule request is 29188 bytes");

struct CamExposureScheduleReply {
    int32_t status;
    CamExposureDay days[SCHEDULE_DAYS]; // 4
};
static_assert(sizeof(CamExposureScheduleReply) == 29188, "exposure schedule reply is 29188 bytes");

// ---- Grid detection -------------------------------------------------------------------------
struct CamRegionRequest {
    uint32_t copy_lo;            // 0: channels the settings go to
    uint32_t copy_hi;            // 4
    int32_t channel;             // 8
    int32_t enable;              // 12
    int32_t sensitivity;         // 16
    int32_t minsize;             // 20
    int32_t mintime;             // 24
    int32_t adaptability;        // 28
    char map_mask[300];          // 32
    WeekSchedule effective;      // 332
    int32_t reserved28044;
};
static_assert(sizeof(CamRegionRequest) == 28048, "grid detection request is 28048 bytes");
static_assert(offsetof(CamRegionRequest, effective) == 332, "");

struct CamRegionReply {
    int32_t channel;             // 0
    int32_t enable;              // 4
    int32_t sensitivity;         // 8
    int32_t minsize;             // 12
    int32_t mintime;             // 16
    int32_t adaptability;        // 20
    char map_mask[300];          // 24
    WeekSchedule effective;      // 324
    int32_t is_nt_platform;      // 28036
};
static_assert(sizeof(CamRegionReply) == 28040, "grid detection reply is 28040 bytes");
static_assert(offsetof(CamRegionReply, effective) == 324, "");
static_assert(offsetof(CamRegionReply, is_nt_platform) == 28036, "");

// ---- Query by type (request 3360; the reply is text) ---------------------------------------
struct CamQueryRequest {
    int32_t channel;             // 0
    int32_t main_type;           // 4
    int32_t sub_type;            // 8
    char time[64];               // 12
};
static_assert(sizeof(CamQueryRequest) == 76, "query request is 76 bytes");

// ---- Exposure table (settings database) --------------------------------------------------
// Up to 140 pairs of exposure time and gain level per channel, with the
// number of pairs stored.
enum { EXPOSURE_PAIRS = 140 };
struct ExposurePair {
    int32_t exposure_time;
    int32_t gain_level;
};
struct ExposureTable {
    int32_t channel;             // key
    int32_t count;               // pairs stored, 0..140
    ExposurePair pairs[EXPOSURE_PAIRS];
};
static_assert(sizeof(ExposureTable) == 8 + 1120, "");
// Table "exposure_table": read_exposure_table(path, rec, channel),
// write_exposure_table(path, rec).
NVR_DB_RECORD(exposure_table, ExposureTable, "exposure_table", channel, MAX_CAMERAS)
