// AVI container writer: one video and/or one audio stream, frames written
// to a stdio stream as they come, the index ('idx1') at the end.
//
// Layout written:
//   RIFF 'AVI '
//     LIST 'hdrl'  'avih', then per stream LIST 'strl' ('strh', 'strf')
//     LIST 'movi'  '00dc' video / '01wb' audio chunks (word-aligned)
//     'idx1'       one entry per chunk, offsets from the 'movi' tag
//
// The writer never holds frames: memory stays the same however long the
// file grows. The index entries go to an unlinked spool file under the
// device's /tmp and are copied behind the frames by finish(); without a
// spool file the file carries no index (and says so in its flags).
//
// Sizes and counts in the headers (RIFF and 'movi' sizes, frame counts,
// stream lengths, largest chunk) are known only at the end. On a seekable
// stream finish() writes them in place; on a pipe (an HTTP answer) they stay
// 0, the streaming form readers take as "to the end of the file".
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

enum AviStream { AVI_VIDEO = 0, AVI_AUDIO = 1 };

struct AviVideoFormat {
    char fourcc[4];      // compression: "H264", "HEVC", "MJPG"
    int32_t width;       // 1..16384
    int32_t height;      // 1..16384
    int32_t frame_rate;  // frames per second, 1..240
};

struct AviAudioFormat {
    uint16_t format_tag; // 1 PCM, 6 A-law, 7 mu-law
    int32_t channels;    // 1..8
    int32_t rate;        // samples per second, 1..192000
    int32_t bits;        // bits per sample: 8 or 16
};

// Wave format tags.
enum { AVI_WAVE_PCM = 1, AVI_WAVE_ALAW = 6, AVI_WAVE_MULAW = 7 };

class AviWriter {
public:
    // `out` is not owned and must stay open until finish(). Nothing is
    // written before the first frame.
    explicit AviWriter(FILE *out);
    ~AviWriter();
    AviWriter(const AviWriter &) = delete;
    AviWriter &operator=(const AviWriter &) = delete;

    // Declare the streams, before the first frame; false for a format out
    // of range or once the header is out.
    bool set_video(const AviVideoFormat &format);
    bool set_audio(const AviAudioFormat &format);
    bool has_stream(AviStream s) const { return s == AVI_VIDEO ? has_video_ : has_audio_; }
    // Bytes that go out just before the file, with the first frame (the
    // header block of an HTTP answer). Before the first frame only.
    bool set_prelude(const char *data, size_t length);

    // Writes one frame of a declared stream (the header first, with the
    // first frame). False when the stream was not declared, the frame is
    // over 256 MiB or writing failed.
    bool write_frame(AviStream s, bool key, const void *data, size_t length);

    // Writes the index and, on a seekable stream, the sizes and counts.
    // Without any frame nothing was written and nothing is. Flushes the
    // stream. False when any write failed. Call once.
    bool finish();

    bool failed() const { return failed_; }
    bool started() const { return started_; }
    uint64_t bytes_written() const { return written_; }
    uint32_t frames(AviStream s) const { return count_[s]; }

private:
    bool write_header();
    bool put(const void *data, size_t n);
    bool put_u32(uint32_t v);
    bool index_add(const char tag[4], uint32_t flags, uint64_t offset, uint32_t size);
    bool index_flush();
    bool copy_index();
    bool patch_sizes();

    FILE *out_;
    std::string prelude_;
    bool has_video_ = false, has_audio_ = false;
    AviVideoFormat video_{};
    AviAudioFormat audio_{};
    bool started_ = false, finished_ = false, failed_ = false;
    uint64_t written_ = 0;
    // Positions of the fields written at the end (stream offsets), -1 when
    // the stream cannot seek.
    int64_t base_ = -1;
    uint64_t riff_size_at_ = 0, total_frames_at_ = 0, buffer_at_ = 0, movi_size_at_ = 0;
    uint64_t length_at_[2] = {0, 0}, stream_buffer_at_[2] = {0, 0};
    uint64_t movi_tag_ = 0; // written_ at the 'movi' tag
    uint64_t movi_end_ = 0; // written_ after the last chunk
    uint32_t count_[2] = {0, 0};
    uint64_t data_bytes_[2] = {0, 0};
    uint32_t largest_[2] = {0, 0};
    // Index: entries buffered here, spooled to `spool_` when the buffer fills.
    FILE *spool_ = nullptr;
    bool indexed_ = false;
    uint64_t index_entries_ = 0;
    unsigned char index_buf_[16 * 1024];
    size_t index_fill_ = 0;
};
