// Recording download: the request for a channel's recording between two
// times, the chunk replies the daemon streams back, and the header of one
// media frame, which the AVI writer (platform/avi_frames.h) takes as it is.
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    IPC_BACKUP_DOWNLOAD = 1173, // BackupRequest; replies BackupChunk, many
    IPC_BACKUP_CANCEL = 1178,   // no payload
};
enum { REPLY_BACKUP_CHUNK = IPC_BACKUP_DOWNLOAD + 5000 };

// Request 1173.
struct BackupRequest {
    int32_t channel;
    int32_t stream_type; // "streamType"
    char start_time[32]; // "%d-%d-%d %d:%d:%d"
    char end_time[32];
};
static_assert(sizeof(BackupRequest) == 72, "download request is 72 bytes");

// Frame types and codecs of a frame header.
enum {
    FRAME_VIDEO_KEY = 1,
    FRAME_VIDEO = 2,
    FRAME_AUDIO = 3,
};
enum {
    FRAME_CODEC_NONE = 0,
    FRAME_CODEC_H264 = 1,
    FRAME_CODEC_H265 = 2,
    FRAME_CODEC_MJPEG = 3,
    FRAME_CODEC_G711A = 16, // 8-bit A-law
    FRAME_CODEC_G711U = 17, // 8-bit mu-law
    FRAME_CODEC_PCM16 = 18, // 16-bit little-endian
};

// Header of one media frame, 88 bytes. Every frame names the formats of the
// recording's streams, so whichever frame comes first describes the file.
struct FrameHeader {
    int32_t frame_type;    // FRAME_VIDEO_KEY, FRAME_VIDEO, FRAME_AUDIO
    int32_t video_codec;   // FRAME_CODEC_H264 .. MJPEG; NONE: no video stream
    int32_t channel;
    int32_t width;         // pixels
    int32_t height;
    int32_t frame_rate;    // video frames per second
    int64_t timestamp_ms;
    int32_t sequence;
    int32_t audio_codec;   // FRAME_CODEC_G711A .. PCM16; NONE: no audio stream
    int32_t frame_length;  // bytes of frame data
    int32_t audio_rate;    // samples per second
    int32_t audio_channels;
    uint8_t reserved0[20];
    uint64_t data;         // slot for the address of the frame data in memory
    uint8_t reserved1[8];
};
static_assert(sizeof(FrameHeader) == 88, "frame header is 88 bytes");
static_assert(offsetof(FrameHeader, timestamp_ms) == 24, "");
static_assert(offsetof(FrameHeader, frame_length) == 40, "");
static_assert(offsetof(FrameHeader, data) == 72, "");

enum { BACKUP_CHUNK_MAX = 614400 };
enum { BACKUP_CHUNK_END = -1, BACKUP_CHUNK_INTERRUPTED = -2 };

// One chunk reply (6173). A reply may be shorter than the record: its data
// then ends with the reply.
struct BackupChunk {
    FrameHeader header;
    int32_t position; // 0: first chunk of a frame
    int32_t length;   // data bytes; BACKUP_CHUNK_END, BACKUP_CHUNK_INTERRUPTED
    uint8_t data[BACKUP_CHUNK_MAX];
};
static_assert(sizeof(BackupChunk) == 614496, "download reply record is 614496 bytes");
static_assert(offsetof(BackupChunk, position) == 88, "");
static_assert(offsetof(BackupChunk, data) == 96, "");
enum { BACKUP_CHUNK_HEAD = offsetof(BackupChunk, data) };
