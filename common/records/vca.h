// Video content analysis (smart events) and the camera-side detectors: the
// records exchanged with the daemon about the cameras' analysis settings,
// sound and alarm-input detectors, fisheye modes and regional people
// counting, and the recorder-side action records kept in the settings
// database for each smart event and each counting region.
//
// Every layout holds on 32-bit ARM too; texts are zero-terminated within
// their field, all unused bytes zero.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/records/alarm.h"
#include "common/records/schedule.h"
#include "common/settings.h"
#include "common/settings_named.h"

enum {
    VCA_KINDS = 9,             // smart event kinds 0..8
    VCA_KIND_LINE = 4,         // line crossing
    VCA_KIND_PEOPLE = 7,       // people counting
    VCA_KIND_LEFT_REMOVED = 8, // object left / removed
    VCA_AREAS = 4,             // areas of a region record
    VCA_AREA_POLYGONS = 5,     // polygons of an area
    VCA_LINES = 4,             // lines of a line record
    VCA_LINE_SEGMENTS = 5,     // segments of a direct-variant line of type 2
    VCA_POSITIONS = 8,         // positions of the direct settings variant
    VCA_GRID_SIZE = 300,       // region grid text
    VCA_POLYGON_SIZE = 64,     // polygon X or Y list text
    VCA_MASK_SIZE = 65,        // channel mask text and its zero
    REGIONAL_PCNT_REGIONS = 4, // regions of regional people counting
};

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_VCA_REGION0_GET = 3237, // 4 bytes: channel; reply VcaAnalysisRecord
    IPC_VCA_REGION1_GET = 3238,
    IPC_VCA_MOTION_GET = 3239,
    IPC_VCA_TAMPER_GET = 3240,
    IPC_VCA_LINE_GET = 3241, // reply VcaLineRecord
    IPC_VCA_LOITER_GET = 3242,
    IPC_VCA_HUMAN_GET = 3243,
    IPC_VCA_REGION0_SET = 3244, // VcaAnalysisRecord; reply: status word (0 = done)
    IPC_VCA_REGION1_SET = 3245,
    IPC_VCA_MOTION_SET = 3246,
    IPC_VCA_TAMPER_SET = 3247,
    IPC_VCA_LINE_SET = 3248, // VcaLineRecord
    IPC_VCA_LOITER_SET = 3249,
    IPC_VCA_HUMAN_SET = 3250,
    IPC_VCA_PEOPLE_GET = 3253, // reply VcaPeopleRecord
    IPC_VCA_PEOPLE_SET = 3254, // VcaPeopleRecord
    IPC_VCA_SUPPORT = 3257,    // reply VcaSupportReply
    IPC_VCA_SETTINGS_GET = 3259, // reply VcaSettingsRecord
    IPC_VCA_SETTINGS_SET = 3260, // VcaSettingsRecord
    IPC_VCA_PEOPLE_CLEAR = 3261, // VcaPeopleClear
    IPC_VCA_LEFT_REMOVED_GET = 3268, // reply VcaLeftRemovedRecord
    IPC_VCA_LEFT_REMOVED_SET = 3269, // VcaLeftRemovedRecord
    IPC_VCA_LINE2_GET = 1209,     // reply VcaLine2Record
    IPC_VCA_LINE2_SET = 1210,     // VcaLine2Record
    IPC_VCA_SETTINGS2_GET = 1211, // reply VcaSettings2Record
    IPC_VCA_SETTINGS2_SET = 1212, // VcaSettings2Record
    IPC_SMART_EVENTS_CHANGED = 1412, // 8 bytes: channel bits

    IPC_CAMERAIO_GET = 3213,    // 4 bytes: channel; reply CameraIoReply
    IPC_CAMERAIO_SET = 3214,    // CameraIoSet
    IPC_VOLUMEDETECT_GET = 3215, // reply VolumeDetectReply
    IPC_VOLUMEDETECT_SET = 3216, // VolumeDetectSet
    IPC_FISHEYE_MODE_SET = 3231, // FisheyeMode; reply: status word
    IPC_FISHEYE_MODE_GET = 3232, // 4 bytes: channel; reply FisheyeMode
    IPC_FISHEYE_CHECK = 3373,    // FisheyeCamera; reply FisheyeSupport
    IPC_FISHEYE_SET = 3374,      // FisheyeCameraSet; reply: status word
    IPC_REGIONAL_PCNT_GET = 1220, // 4 bytes: channel; reply RegionalPcntRecord
    IPC_REGIONAL_PCNT_SET = 1221, // RegionalPcntRecord; reply: status word
};
enum { IPC_REPLY_OFFSET = 5000 };

// ---- Areas of the region records --------------------------------------------------------------
// One polygon of an area: 192 bytes apart, X list at +4 and Y list at +68.
// The last polygon of an area ends with its Y list (the area is 976 bytes),
// so polygons are reached through vca_polygon_x/y, never as an array.
struct VcaArea {
    int32_t enable;        // "enable" ("leftEnable" in the left/removed record)
    int32_t remove_enable; // "removeEnable" (left/removed record only)
    int32_t time;          // "time"
    int32_t obj_type;      // "objType"
    uint8_t reserved[60];
    uint8_t polygons[900]; // polygon j at 76 + 192 j of the area
};
static_assert(sizeof(VcaArea) == 976, "analysis area is 976 bytes");
static_assert(offsetof(VcaArea, polygons) == 76, "");

enum { VCA_POLYGON_STRIDE = 192, VCA_POLYGON_X = 4, VCA_POLYGON_Y = 68 };
inline char *vca_polygon_x(VcaArea &a, int j)
{
    return reinterpret_cast<char *>(a.polygons + VCA_POLYGON_STRIDE * j + VCA_POLYGON_X);
}
inline char *vca_polygon_y(VcaArea &a, int j)
{
    return reinterpret_cast<char *>(a.polygons + VCA_POLYGON_STRIDE * j + VCA_POLYGON_Y);
}
static_assert(VCA_POLYGON_STRIDE * (VCA_AREA_POLYGONS - 1) + VCA_POLYGON_Y + VCA_POLYGON_SIZE == 900,
              "the last polygon's Y list ends the area");

// ---- Analysis record (4480 bytes): region, motion, tamper, loitering, human ----------------
struct VcaAnalysisRecord {
    int32_t channel;     // "chnid"
    int32_t enable;      // "enable"
    uint8_t reserved0[16];
    int32_t sensitivity; // "sensitivity"
    int32_t time;        // "time" (loitering)
    int32_t size;        // "size" (loitering)
    int32_t tracks;      // "tracks" (human)
    char region[VCA_GRID_SIZE]; // "region"
    int32_t ignore_time; // "ignore_time" (motion)
    int32_t objtype;     // "objtype"
    char polygon_x[VCA_POLYGON_SIZE]; // "polygonX"
    char polygon_y[VCA_POLYGON_SIZE]; // "polygonY"
    char copy_chn[VCA_MASK_SIZE];     // "copyChn"
    uint8_t reserved1[23];
    int32_t region_type;  // "regionType"
    int32_t region_scene; // "regionScene"
    VcaArea areas[VCA_AREAS];
    uint8_t reserved2[4];
};
static_assert(sizeof(VcaAnalysisRecord) == 4480, "analysis record is 4480 bytes");
static_assert(offsetof(VcaAnalysisRecord, sensitivity) == 24, "");
static_assert(offsetof(VcaAnalysisRecord, region) == 40, "");
static_assert(offsetof(VcaAnalysisRecord, ignore_time) == 340, "");
static_assert(offsetof(VcaAnalysisRecord, polygon_x) == 348, "");
static_assert(offsetof(VcaAnalysisRecord, polygon_y) == 412, "");
static_assert(offsetof(VcaAnalysisRecord, copy_chn) == 476, "");
static_assert(offsetof(VcaAnalysisRecord, region_type) == 564, "");
static_assert(offsetof(VcaAnalysisRecord, areas) == 572, "");

// ---- Left / removed record (4468 bytes) --------------------------------------------------------
struct VcaLeftRemovedRecord {
    int32_t channel;
    int32_t sensitivity;   // "sensitivity"
    int32_t left_enable;   // "left_enable"
    int32_t remove_enable; // "remove_enable"
    int32_t min_time;      // "min_time"
    uint8_t reserved0[16];
    char region[VCA_GRID_SIZE];
    char polygon_x[VCA_POLYGON_SIZE];
    char polygon_y[VCA_POLYGON_SIZE];
    char copy_chn[VCA_MASK_SIZE];
    uint8_t reserved1[23];
    int32_t region_type;
    int32_t region_scene;
    VcaArea areas[VCA_AREAS];
    uint8_t reserved2[4];
};
static_assert(sizeof(VcaLeftRemovedRecord) == 4468, "left/removed record is 4468 bytes");
static_assert(offsetof(VcaLeftRemovedRecord, region) == 36, "");
static_assert(offsetof(VcaLeftRemovedRecord, polygon_x) == 336, "");
static_assert(offsetof(VcaLeftRemovedRecord, copy_chn) == 464, "");
static_assert(offsetof(VcaLeftRemovedRecord, region_type) == 552, "");
static_assert(offsetof(VcaLeftRemovedRecord, areas) == 560, "");

// ---- Line record (612 bytes) ---------------------------------------------------------------------
struct VcaLine {
    int32_t x1, y1, x2, y2; // camera coordinates
    int32_t direction;      // "direction"
    uint8_t reserved[104];
};
static_assert(sizeof(VcaLine) == 124, "");

struct VcaLineRecord {
    int32_t channel;
    int32_t enable;
    int32_t width;  // frame (reply only)
    int32_t height;
    VcaLine lines[VCA_LINES];
    int32_t objtype;
    char copy_chn[VCA_MASK_SIZE];
    uint8_t reserved[31];
};
static_assert(sizeof(VcaLineRecord) == 612, "line record is 612 bytes");
static_assert(offsetof(VcaLineRecord, lines) == 16, "");
static_assert(offsetof(VcaLineRecord, objtype) == 512, "");
static_assert(offsetof(VcaLineRecord, copy_chn) == 516, "");

// ---- Line record of the direct camera variant (628 bytes) -------------------------------------------
struct VcaSegment {
    int32_t x1, y1, x2, y2;
    int32_t direction;
};
static_assert(sizeof(VcaSegment) == 20, "");

struct VcaLine2 {
    int32_t enable;
    int32_t x1, y1, x2, y2;
    int32_t direction;
    int32_t objtype;
    VcaSegment segments[VCA_LINE_SEGMENTS]; // line type 2 only
};
static_assert(sizeof(VcaLine2) == 128, "");

struct VcaLine2Record {
    int32_t channel;
    int32_t sensitivity;
    int32_t width; // frame (reply only)
    int32_t height;
    VcaLine2 lines[VCA_LINES];
    uint8_t reserved0[4];
    char copy_chn[VCA_MASK_SIZE];
    uint8_t reserved1[3];
    int32_t line_type;  // "lineType"
    int32_t line_scene; // "lineScene"
    uint8_t reserved2[20];
};
static_assert(sizeof(VcaLine2Record) == 628, "direct line record is 628 bytes");
static_assert(offsetof(VcaLine2Record, copy_chn) == 532, "");
static_assert(offsetof(VcaLine2Record, line_type) == 600, "");

// ---- Analysis settings (64 bytes) and the direct variant (356 bytes) ----------------------------------
// The object box in camera coordinates: minimum and maximum start point and size.
struct VcaBox {
    int32_t min_x, min_y, min_width, min_height;
    int32_t max_x, max_y, max_width, max_height;
};
static_assert(sizeof(VcaBox) == 32, "");

struct VcaSettingsRecord {
    int32_t channel;
    int32_t vca_type; // "vcaType" (reply only)
    int32_t fps, mode, installation, analysis;
    int32_t width, height;
    VcaBox box;
};
static_assert(sizeof(VcaSettingsRecord) == 64, "analysis settings record is 64 bytes");
static_assert(offsetof(VcaSettingsRecord, box) == 32, "");

struct VcaSettings2Record {
    int32_t channel;
    int32_t reserved0;
    int32_t fps, mode, installation, analysis;
    int32_t width, height;
    // Eight positions, each value an array over the positions.
    int32_t min_x[VCA_POSITIONS], min_y[VCA_POSITIONS], min_width[VCA_POSITIONS], min_height[VCA_POSITIONS];
    int32_t max_x[VCA_POSITIONS], max_y[VCA_POSITIONS], max_width[VCA_POSITIONS], max_height[VCA_POSITIONS];
    char copy_chn[VCA_MASK_SIZE];
    uint8_t reserved1[3];
};
static_assert(sizeof(VcaSettings2Record) == 356, "direct settings record is 356 bytes");
static_assert(offsetof(VcaSettings2Record, min_x) == 32, "");
static_assert(offsetof(VcaSettings2Record, max_height) == 256, "");
static_assert(offsetof(VcaSettings2Record, copy_chn) == 288, "");

// ---- People counting record (28072 bytes) -------------------------------------------------------------
struct VcaPeopleLine {
    uint8_t line_enable;       // "lineEnable"
    uint8_t auto_reset_enable; // "autoResetEnable"
    uint8_t direction;         // "direction"
    uint8_t show_cnt_enable;   // "showCntEnable"
    int32_t start_x, start_y, stop_x, stop_y; // "position" (camera coordinates)
    int32_t auto_reset_weekday, auto_reset_hour, auto_reset_min, auto_reset_sec;
    int32_t alarm_enable;       // "alarmEnable"
    int32_t alarm_threshold[4]; // "alarmThreshold"
};
static_assert(sizeof(VcaPeopleLine) == 56, "");
static_assert(offsetof(VcaPeopleLine, auto_reset_weekday) == 20, "");
static_assert(offsetof(VcaPeopleLine, alarm_threshold) == 40, "");

struct VcaPeopleRecord {
    int32_t channel;
    int32_t width, height;
    int32_t osd_enable, osd_font_size, osd_text_pos;
    int32_t sensitivity;
    int32_t osd_type; // the reply carries one byte
    int32_t line_num, trigger_type, trigger_enable, total_alarm_enable;
    int32_t total_alarm_threshold[4];
    VcaPeopleLine lines[VCA_LINES];
    char copy_chn[VCA_MASK_SIZE];
    uint8_t reserved0[3];
    WeekSchedule effective; // camera schedule form
    uint8_t reserved1[4];
};
static_assert(sizeof(VcaPeopleRecord) == 28072, "people counting record is 28072 bytes");
static_assert(offsetof(VcaPeopleRecord, lines) == 64, "");
static_assert(offsetof(VcaPeopleRecord, copy_chn) == 288, "");
static_assert(offsetof(VcaPeopleRecord, effective) == 356, "");

// ---- Small payloads --------------------------------------------------------------------------------------
struct VcaPeopleClear {
    int32_t channel;
    uint8_t reserved[8];
    int32_t line;    // "line"
    int32_t resetdb; // "resetdb"
};
static_assert(sizeof(VcaPeopleClear) == 20, "");

struct VcaSupportReply {
    int32_t channel;
    int32_t support; // "support"
    int32_t type;    // "type"
    uint8_t reserved[32];
};
static_assert(sizeof(VcaSupportReply) == 44, "");

// ---- Camera I/O and sound detection --------------------------------------------------------------------------
struct CameraIoReply {
    int32_t reserved0;
    int32_t channel;     // "camId"
    int32_t enable;      // "enable"
    int32_t type;        // "type"
    int32_t tri_actions; // "triActions"
    int32_t reserved1;
    char tri_channels[VCA_MASK_SIZE]; // "triChannels"
    uint8_t reserved2[3];
};
static_assert(sizeof(CameraIoReply) == 92, "camera I/O reply is 92 bytes");
static_assert(offsetof(CameraIoReply, tri_channels) == 24, "");

struct CameraIoSet {
    int32_t channel, enable, type;
};
static_assert(sizeof(CameraIoSet) == 12, "");

struct VolumeDetectValues {
    int32_t volume, duration, on_event, off_event, ongoing_event;
};

struct VolumeDetectReply {
    int32_t reserved0;
    int32_t channel, enable, type;
    VolumeDetectValues v;
    int32_t tri_actions;
    int32_t reserved1;
    char tri_channels[VCA_MASK_SIZE];
    uint8_t reserved2[3];
};
static_assert(sizeof(VolumeDetectReply) == 112, "sound detection reply is 112 bytes");
static_assert(offsetof(VolumeDetectReply, v) == 16, "");
static_assert(offsetof(VolumeDetectReply, tri_actions) == 36, "");
static_assert(offsetof(VolumeDetectReply, tri_channels) == 44, "");

struct VolumeDetectSet {
    int32_t channel, enable, type;
    VolumeDetectValues v;
};
static_assert(sizeof(VolumeDetectSet) == 32, "");

// Stored camera I/O and sound detection settings (one record per channel).
struct DetectorRecord {
    int32_t channel;
    int32_t enable;
    uint64_t channel_bits; // bit n when tri_channels[n] == '1'
    int32_t tri_actions;
    char tri_channels[VCA_MASK_SIZE];
    uint8_t reserved[3];
};
static_assert(sizeof(DetectorRecord) == 88, "detector record is 88 bytes");
static_assert(offsetof(DetectorRecord, tri_channels) == 20, "");

NVR_DB_RECORD(cameraio, DetectorRecord, "cameraio", channel, 64, NVR_COLUMN(enable))
NVR_DB_RECORD(volumedetect, DetectorRecord, "volumedetect", channel, 64, NVR_COLUMN(enable))

// ---- Fisheye ---------------------------------------------------------------------------------------------------
struct FisheyeMode {
    int32_t channel;    // "chnid"
    int32_t mount;      // "fishmount"
    int32_t display;    // "fishdisplay"
    int32_t correct;    // "fishcorrect"
    int32_t result;     // "result" (reply only)
};
static_assert(sizeof(FisheyeMode) == 20, "");

struct FisheyeCamera {
    char ddns[64];     // "ddns"
    char ipaddr[64];   // "ipaddr"
    char username[64]; // "username"
    char password[64]; // "password"
    int32_t port;      // "port"
};
static_assert(sizeof(FisheyeCamera) == 260, "");

struct FisheyeCameraSet {
    FisheyeCamera camera;
    int32_t transfer, install, display;
};
static_assert(sizeof(FisheyeCameraSet) == 272, "");

struct FisheyeSupport {
    int32_t support, transfer, install, display, stream_cnt;
};
static_assert(sizeof(FisheyeSupport) == 20, "");

// ---- Regional people counting (28448 bytes) ------------------------------------------------------------------
struct RegionalPcntRegion {
    int32_t enable;
    char polygon_x[VCA_POLYGON_SIZE];
    char polygon_y[VCA_POLYGON_SIZE];
    int32_t max_stay_enable, max_stay_value;
    int32_t min_stay_enable, min_stay_value;
    int32_t max_stay_time_enable, max_stay_time_value;
};
static_assert(sizeof(RegionalPcntRegion) == 156, "");
static_assert(offsetof(RegionalPcntRegion, max_stay_enable) == 132, "");

struct RegionalPcntRecord {
    int32_t result; // reply only
    int32_t channel;
    int32_t sensitivity;
    VcaBox box; // "minObjX" ... "maxObjHeight"
    RegionalPcntRegion regions[REGIONAL_PCNT_REGIONS];
    char copy_chn[VCA_MASK_SIZE];
    uint8_t reserved[3];
    WeekSchedule effective; // camera schedule form
};
static_assert(sizeof(RegionalPcntRecord) == 28448, "regional counting record is 28448 bytes");
static_assert(offsetof(RegionalPcntRecord, box) == 12, "");
static_assert(offsetof(RegionalPcntRecord, regions) == 44, "");
static_assert(offsetof(RegionalPcntRecord, copy_chn) == 668, "");
static_assert(offsetof(RegionalPcntRecord, effective) == 736, "");

// ---- Recorder-side actions --------------------------------------------------------------------------------------
// The actions of one smart event kind (or counting region) of one channel.
struct SmartEventRecord {
    int32_t channel;
    int32_t enable;
    AlarmActions actions;
};
static_assert(sizeof(SmartEventRecord) == 320, "smart event record is 320 bytes");
static_assert(offsetof(SmartEventRecord, actions) == 8, "");

inline void stamp_smart_event(SmartEventRecord *r, int channel) { r->channel = channel; }
NVR_DB_NAMED(smart_event_table, SmartEventRecord, 64, stamp_smart_event)

// Table names of the smart events, per kind 0..8. The effective schedules
// are the tables of common/records/smart_schedule.h. False for a kind
// outside 0..8.
inline bool vca_table_name(int kind, const char *what, char *buffer, size_t size)
{
    if (kind < 0 || kind >= VCA_KINDS) return false;
    return snprintf(buffer, size, "smart_event%d_%s", kind, what) < static_cast<int>(size);
}
// part 0: the schedule table, part 1: the parameter table.
inline bool get_vca_white_table_name(int part, int kind, char *buffer, size_t size)
{
    return vca_table_name(kind, part == 0 ? "whiteled_esche" : "white_led_params", buffer, size);
}
inline bool get_vca_warning_light_table_name(int part, int kind, char *buffer, size_t size)
{
    return vca_table_name(kind, part == 0 ? "warning_light_esche" : "warning_light_params", buffer, size);
}
inline bool get_vca_http_table_name(int part, int kind, char *buffer, size_t size)
{
    return vca_table_name(kind, part == 0 ? "http_notification_sche" : "http_notification_params", buffer, size);
}

inline int read_smart_event(const char *path, SmartEventRecord *rec, int channel, int kind)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return vca_table_name(kind, "event", table, sizeof table) ? read_smart_event_table(path, table, rec, channel) : -1;
}
inline int write_smart_event(const char *path, const SmartEventRecord *rec, int kind)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return vca_table_name(kind, "event", table, sizeof table) ? write_smart_event_table(path, table, rec, rec->channel)
                                                               : -1;
}

// Regional counting region r 0..3: the event record and the week schedules
// by kind (1 audible, 2 e-mail, 3 PTZ, 4 white LED, 6 HTTP notification,
// 7 warning light), keyed by channel.
enum { RPCNT_AUDIBLE = 1, RPCNT_EMAIL = 2, RPCNT_PTZ = 3, RPCNT_WHITE = 4, RPCNT_HTTP = 6, RPCNT_WARNING = 7 };
enum { PTZ_EVENT_REGIONAL_PCNT = 22 }; // + region

inline bool regional_pcnt_event_table(int region, char (&out)[NVR_DB_TABLE_NAME_SIZE])
{
    if (region < 0 || region >= REGIONAL_PCNT_REGIONS) return false;
    snprintf(out, sizeof out, "regional_pcnt%d_event", region);
    return true;
}
inline bool regional_pcnt_schedule_table(int kind, int region, char (&out)[NVR_DB_TABLE_NAME_SIZE])
{
    if (region < 0 || region >= REGIONAL_PCNT_REGIONS || kind < 1 || kind > 7 || kind == 5) return false;
    snprintf(out, sizeof out, "regional_pcnt%d_sche%d", region, kind);
    return true;
}
// Named parameter tables of region r: "regional_pcnt_whiteled_params",
// "regional_pcnt1_whiteled_params", ... ("" for r outside 0..3).
inline void regional_pcnt_param_table(const char *what, int region, char (&out)[NVR_DB_TABLE_NAME_SIZE])
{
    if (region == 0) snprintf(out, sizeof out, "regional_pcnt_%s", what);
    else if (region > 0 && region < REGIONAL_PCNT_REGIONS) snprintf(out, sizeof out, "regional_pcnt%d_%s", region, what);
    else out[0] = 0;
}

inline int read_regional_pcnt_event(const char *path, SmartEventRecord *rec, int channel, int region)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return regional_pcnt_event_table(region, table) ? read_smart_event_table(path, table, rec, channel) : -1;
}
inline int write_regional_pcnt_event(const char *path, const SmartEventRecord *rec, int region)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return regional_pcnt_event_table(region, table) ? write_smart_event_table(path, table, rec, rec->channel) : -1;
}
inline int copy_regional_pcnt_event(const char *path, const SmartEventRecord *rec, int region, uint64_t mask)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return regional_pcnt_event_table(region, table) ? copy_smart_event_table(path, table, rec, mask) : -1;
}
inline int read_regional_pcnt_schedule(const char *path, int kind, WeekSchedule *s, int channel, int region)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return regional_pcnt_schedule_table(kind, region, table) ? read_alarm_action_schedule(path, table, s, channel) : -1;
}
inline int write_regional_pcnt_schedule(const char *path, int kind, const WeekSchedule *s, int channel, int region)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return regional_pcnt_schedule_table(kind, region, table) ? write_alarm_action_schedule(path, table, s, channel)
                                                             : -1;
}
inline int copy_regional_pcnt_schedule(const char *path, int kind, const WeekSchedule *s, uint64_t mask, int region)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return regional_pcnt_schedule_table(kind, region, table) ? copy_alarm_action_schedule(path, table, s, mask) : -1;
}
