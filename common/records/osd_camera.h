// What the cameras draw over their own picture: the camera's text and date
// overlay and its privacy masks, read and written through the daemon; and
// the notice of a changed recorder OSD.
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    IPC_OSD_CHANGED = 1007,        // OsdChanged, fire-and-forget
    IPC_CAM_MASK_GET = 2502,       // 4 bytes: channel; reply 7502, CamMaskReply[]
    // The camera's model type (2503, 4 bytes: channel; reply 7503, first int)
    // is IPC_CAMERA_MODEL_TYPE of common/records/camera.h.
    IPC_CAM_MASK_DELETE = 2508,    // CamMaskDelete, fire-and-forget
    IPC_CAM_MASK_SET = 2509,       // CamMaskRequest, fire-and-forget
    IPC_CAM_OSD_SET = 3210,        // CamOsdRecord; reply 8210, status 0 / -1 no support
    IPC_CAM_OSD_GET = 3211,        // 4 bytes: channel; reply 8211, CamOsdRecord[]
    IPC_CAM_MASK_EDIT = 3353,      // CamMaskDelete form (channel, mask id); reply 8353, status
};
enum {
    REPLY_CAM_MASK = IPC_CAM_MASK_GET + 5000,
    REPLY_CAM_MODEL_TYPE = 2503 + 5000,
    REPLY_CAM_OSD_SET = IPC_CAM_OSD_SET + 5000,
    REPLY_CAM_OSD = IPC_CAM_OSD_GET + 5000,
    REPLY_CAM_MASK_EDIT = IPC_CAM_MASK_EDIT + 5000,
};

// The recorder's OSD of a channel changed: channel, 1, 0.
struct OsdChanged {
    int32_t channel;
    int32_t one;
    int32_t zero;
};
static_assert(sizeof(OsdChanged) == 12, "");

// ---- Camera OSD ---------------------------------------------------------------------------
struct CamOsdRecord {
    int32_t ch;              // 0; in a reply < 0: the camera gave no OSD
    int32_t enable_text;     // 4
    char text_name[256];     // 8
    int32_t textpos;         // 264
    int32_t enable_date;     // 268
    int32_t datepos;         // 272
    int32_t dateformat;      // 276
    int32_t font_size;       // 280 "fontSize"
    int32_t enable_text_sub; // 284
    char text_name_sub[256]; // 288
    int32_t textpos_sub;     // 544
    int32_t enable_date_sub; // 548
    int32_t datepos_sub;     // 552
    int32_t dateformat_sub;  // 556
    int32_t font_size_sub;   // 560 "fontSizeSub"
    uint8_t reserved[280];   // 564: zero
    int32_t type;            // 844
};
static_assert(sizeof(CamOsdRecord) == 848, "camera OSD record is 848 bytes");
static_assert(offsetof(CamOsdRecord, textpos) == 264, "");
static_assert(offsetof(CamOsdRecord, text_name_sub) == 288, "");
static_assert(offsetof(CamOsdRecord, font_size_sub) == 560, "");
static_assert(offsetof(CamOsdRecord, type) == 844, "");

// ---- Camera privacy masks -------------------------------------------------------------------
enum { CAM_MASK_AREAS = 28 };
struct CamMaskArea {
    int32_t area_id;
    int32_t enable;
    int32_t start_x;
    int32_t start_y;
    int32_t width;
    int32_t height;
    int32_t fill_color;
    int32_t ratio;
    char name[64];
};
static_assert(sizeof(CamMaskArea) == 96, "mask area is 96 bytes");

// Request 2509: the masks of the channels whose character is '1'.
struct CamMaskRequest {
    char channels[64];          // 0: '0'/'1' per channel, no zero
    uint8_t reserved64[12];
    int32_t enable;             // 76
    int32_t num;                // 80
    int32_t cgi_sdk_flag;       // 84
    uint8_t reserved88[36];
    int32_t area_mask_enable;   // 124
    uint8_t reserved128[64];
    CamMaskArea area[CAM_MASK_AREAS]; // 192
    int32_t mosaic_support;     // 2880
    int32_t mosaic_num;         // 2884
    int64_t del_mask;           // 2888
    uint8_t reserved2896[8];
};
static_assert(sizeof(CamMaskRequest) == 2904, "camera mask request is 2904 bytes");
static_assert(offsetof(CamMaskRequest, enable) == 76, "");
static_assert(offsetof(CamMaskRequest, area_mask_enable) == 124, "");
static_assert(offsetof(CamMaskRequest, area) == 192, "");
static_assert(offsetof(CamMaskRequest, mosaic_support) == 2880, "");
static_assert(offsetof(CamMaskRequest, del_mask) == 2888, "");

// Reply 7502, one record per camera.
struct CamMaskReply {
    int32_t id;                 // 0
    int32_t enable;             // 4
    int32_t num;                // 8
    int32_t cgi_sdk_flag;       // 12
    char sdk_version[32];       // 16
    int32_t max_ptz_zoom_ratio; // 48
    int32_t area_enable;        // 52
    char color_list[64];        // 56
    CamMaskArea area[CAM_MASK_AREAS]; // 120
    int32_t mosaic_support;     // 2808
    int32_t mosaic_num;         // 2812
    uint8_t reserved2816[8];
    int32_t color_support;      // 2824
    int32_t max_mask_sum;       // 2828
};
static_assert(sizeof(CamMaskReply) == 2832, "camera mask reply record is 2832 bytes");
static_assert(offsetof(CamMaskReply, area) == 120, "");
static_assert(offsetof(CamMaskReply, mosaic_support) == 2808, "");
static_assert(offsetof(CamMaskReply, color_support) == 2824, "");

// Requests 2508 (delete an area) and 3353 (edit a mask): channel and area
// or mask number.
struct CamMaskDelete {
    int32_t channel;
    int32_t area;
};
static_assert(sizeof(CamMaskDelete) == 8, "");
