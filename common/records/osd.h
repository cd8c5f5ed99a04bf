// On-screen display and stored privacy-mask records of the settings database,
// one of each per channel.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

// OSD record (read_osd / write_osd). The channel's display name defaults to
// "CAM%d" with the 1-based channel number.
struct OsdRecord {
    int32_t channel;             // 0
    char name[64];               // 4
    int32_t show_name;           // 68
    int32_t show_date;           // 72
    int32_t show_week;           // 76
    int32_t date_format;         // 80
    int32_t time_format;         // 84
    double date_pos_x;           // 88
    double date_pos_y;           // 96
    double name_pos_x;           // 104
    double name_pos_y;           // 112
    int32_t alpha;               // 120
    int32_t reserved124;         // 124: keeps the size where int64 aligns to 4
};
static_assert(sizeof(OsdRecord) == 128, "OSD record is 128 bytes");
static_assert(offsetof(OsdRecord, name) == 4, "");
static_assert(offsetof(OsdRecord, show_name) == 68, "");
static_assert(offsetof(OsdRecord, time_format) == 84, "");
static_assert(offsetof(OsdRecord, date_pos_x) == 88, "");
static_assert(offsetof(OsdRecord, name_pos_y) == 112, "");
static_assert(offsetof(OsdRecord, alpha) == 120, "");

// Table "osd", channels 0..63 keyed by channel: read_osd, write_osd, ...
NVR_DB_RECORD(osd, OsdRecord, "osd", channel, 64)
// The channel's display name alone into name (size bytes, 128 by custom);
// "CAM<n>" (1-based) when no name is stored. -1 for a channel out of range.
int read_osd_name(const char *path, char *name, size_t size, int channel);

// Stored privacy masks (read_privacy_mask / read_privacy_masks): the channel
// and 24 mask areas.
enum { PRIVACY_MASK_AREAS = 24 };
struct PrivacyMaskArea {
    int32_t area_id;
    int32_t enable;
    int32_t start_x;
    int32_t start_y;
    int32_t width;
    int32_t height;
    int32_t frame_width;
    int32_t frame_height;
    int32_t fill_color;
};
static_assert(sizeof(PrivacyMaskArea) == 36, "");
struct PrivacyMaskRecord {
    int32_t id;                  // channel
    PrivacyMaskArea area[PRIVACY_MASK_AREAS];
};
static_assert(sizeof(PrivacyMaskRecord) == 868, "privacy-mask record is 868 bytes");
static_assert(offsetof(PrivacyMaskRecord, area) == 4, "");

// Table "privacy_mask", channels 0..63 keyed by id: read_privacy_mask,
// write_privacy_mask, read_privacy_masks.
NVR_DB_RECORD(privacy_mask, PrivacyMaskRecord, "privacy_mask", id, 64)
