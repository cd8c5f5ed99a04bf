// Reading AVI files back in tests: a strict structural parser (RIFF list
// sizes, header fields, the 'movi' chunks and the 'idx1' entries checked
// against each other) and ffprobe's view of a file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct AviChunkInfo {
    std::string tag;     // "00dc", "01wb", ...
    uint64_t offset = 0; // of the tag, from the start of the file
    std::string data;
};

struct AviIndexEntry {
    std::string tag;
    uint32_t flags = 0, offset = 0, size = 0;
};

struct AviStreamInfo {
    std::string type, handler; // "vids"/"auds", fourcc
    uint32_t scale = 0, rate = 0, length = 0, sample_size = 0;
    std::string format; // 'strf' bytes
};

struct AviInfo {
    std::string error; // empty: the structure holds
    bool streaming = false; // RIFF and 'movi' sizes left 0
    uint32_t riff_size = 0, movi_size = 0;
    uint32_t us_per_frame = 0, flags = 0, total_frames = 0, width = 0, height = 0;
    std::vector<AviStreamInfo> streams;
    std::vector<AviChunkInfo> chunks;
    bool has_index = false;
    std::vector<AviIndexEntry> index;
};

// Parses an AVI file. Every inconsistency is reported in `error`: list
// sizes that do not add up (or are not 0 in the streaming form), chunk
// tags of streams the header does not declare, missing word padding, an
// index entry that does not name the chunk at its offset.
AviInfo parse_avi(const std::string &bytes);

// What ffprobe reads from a file: per stream its codec and the frames it
// counted by reading the file (-count_packets). `ok` false when ffprobe is
// missing or failed (its message in `error`).
struct ProbeStream {
    std::string codec_type, codec_name;
    int width = 0, height = 0;
    long read_packets = -1;
};
struct ProbeResult {
    bool ok = false;
    std::string error;
    std::vector<ProbeStream> streams;
};
ProbeResult ffprobe_file(const std::string &path);
// ffmpeg decodes every frame of the file without an error message.
bool ffmpeg_decodes(const std::string &path, std::string *errors);
