// The AVI writer on its own: the container it writes to a file and to a
// pipe, read back by a strict parser and by ffprobe, and the frame-header
// interface of the download taking frames in turn.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "common/records/backup.h"
#include "platform/device_path.h"
#include "platform/avi_frames.h"
#include "platform/avi_writer.h"
#include "tests/support/avi_check.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

namespace {

std::string read_stream(FILE *f)
{
    std::string out;
    char buf[65536];
    rewind(f);
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    return out;
}

// Two small real JPEG pictures, made once with ffmpeg.
const std::vector<std::string> &jpeg_frames()
{
    static std::vector<std::string> frames = [] {
        DeviceRoot dir;
        std::vector<std::string> out;
        for (const char *src : {"testsrc=size=64x48", "color=c=red:size=64x48"}) {
            std::string path = dir.host("/tmp/f.jpg");
            ProcResult r = run_program({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", src, "-frames:v", "1", path}, {}, "");
            out.push_back(r.status == 0 ? dir.read("/tmp/f.jpg") : std::string());
        }
        return out;
    }();
    return frames;
}

struct Frame {
    AviStream stream;
    bool key;
    std::string data;
};

// A recording of video and sound, with an odd-sized and an empty chunk.
std::vector<Frame> recording()
{
    const std::vector<std::string> &jpg = jpeg_frames();
    return {
        {AVI_VIDEO, true, jpg[0]},         {AVI_AUDIO, true, std::string(801, '\x7f')},
        {AVI_VIDEO, false, jpg[1]},        {AVI_AUDIO, true, std::string(320, '\x10')},
        {AVI_VIDEO, true, std::string()},  {AVI_VIDEO, true, jpg[0]},
    };
}

void declare(AviWriter &avi)
{
    AviVideoFormat v{{'M', 'J', 'P', 'G'}, 64, 48, 10};
    ASSERT_TRUE(avi.set_video(v));
    AviAudioFormat a{AVI_WAVE_MULAW, 1, 8000, 8};
    ASSERT_TRUE(avi.set_audio(a));
}

// The chunks, index flags and header fields of a written recording.
void expect_recording(const AviInfo &info, const std::vector<Frame> &frames, bool streaming)
{
    ASSERT_EQ("", info.error);
    EXPECT_EQ(streaming, info.streaming);
    ASSERT_EQ(2u, info.streams.size());
    EXPECT_EQ("vids", info.streams[0].type);
    EXPECT_EQ("MJPG", info.streams[0].handler);
    EXPECT_EQ(10u, info.streams[0].rate);
    EXPECT_EQ("auds", info.streams[1].type);
    EXPECT_EQ(8000u, info.streams[1].rate);
    EXPECT_EQ(64u, info.width);
    EXPECT_EQ(100000u, info.us_per_frame);
    ASSERT_EQ(frames.size(), info.chunks.size());
    ASSERT_TRUE(info.has_index);
    for (size_t i = 0; i < frames.size(); i++) {
        EXPECT_EQ(frames[i].stream == AVI_VIDEO ? "00dc" : "01wb", info.chunks[i].tag) << i;
        EXPECT_EQ(frames[i].data, info.chunks[i].data) << i;
        EXPECT_EQ(frames[i].key ? 0x10u : 0u, info.index[i].flags) << i;
    }
    // Counts and lengths are known only on a stream that can seek back.
    EXPECT_EQ(streaming ? 0u : 4u, info.total_frames);
    EXPECT_EQ(streaming ? 0u : 4u, info.streams[0].length);
    EXPECT_EQ(streaming ? 0u : 1121u, info.streams[1].length);
}

TEST(AviWriter, RecordingToAFileAndThroughAPipe)
{
    DeviceRoot root;
    ScopedDeviceRoot scoped(root);
    ASSERT_FALSE(jpeg_frames()[0].empty()) << "ffmpeg (scripts/deps.sh test) makes the test pictures";
    const std::vector<Frame> frames = recording();
    const std::string prelude = "Content-Type:application/octet-stream\r\n\r\n";

    for (bool pipe_out : {false, true}) {
        SCOPED_TRACE(pipe_out ? "pipe" : "file");
        FILE *out = nullptr;
        int fds[2] = {-1, -1};
        std::string bytes;
        std::thread reader;
        if (pipe_out) {
            ASSERT_EQ(0, pipe(fds));
            out = fdopen(fds[1], "w");
            reader = std::thread([&] {
                char buf[65536];
                for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) bytes.append(buf, static_cast<size_t>(n));
            });
        } else {
            out = tmpfile();
        }
        ASSERT_NE(nullptr, out);
        {
            AviWriter avi(out);
            declare(avi);
            ASSERT_TRUE(avi.set_prelude(prelude.data(), prelude.size()));
            for (const Frame &f : frames) ASSERT_TRUE(avi.write_frame(f.stream, f.key, f.data.data(), f.data.size()));
            EXPECT_FALSE(avi.set_audio(AviAudioFormat{AVI_WAVE_PCM, 1, 8000, 16})) << "streams are fixed by now";
            EXPECT_TRUE(avi.finish());
            EXPECT_EQ(4u, avi.frames(AVI_VIDEO));
        }
        if (pipe_out) {
            fclose(out);
            reader.join();
            close(fds[0]);
        } else {
            bytes = read_stream(out);
            fclose(out);
        }
        ASSERT_EQ(0u, bytes.find(prelude));
        const std::string file = bytes.substr(prelude.size());
        expect_recording(parse_avi(file), frames, pipe_out);

        root.write("/tmp/out.avi", file);
        ProbeResult probe = ffprobe_file(root.host("/tmp/out.avi"));
        ASSERT_TRUE(probe.ok) << probe.error;
        ASSERT_EQ(2u, probe.streams.size());
        EXPECT_EQ("mjpeg", probe.streams[0].codec_name);
        EXPECT_EQ(64, probe.streams[0].width);
        EXPECT_EQ(3, probe.streams[0].read_packets) << "the empty chunk is no packet to a reader";
        EXPECT_EQ("pcm_mulaw", probe.streams[1].codec_name);
    }
    EXPECT_TRUE(root.list("/tmp").size() == 1) << "the index spool is never left behind";
}

TEST(AviWriter, StreamsAndFramesOutOfRange)
{
    DeviceRoot root;
    ScopedDeviceRoot scoped(root);
    FILE *out = tmpfile();
    {
        AviWriter avi(out);
        EXPECT_FALSE(avi.set_video(AviVideoFormat{{'H', '2', '6', '4'}, 0, 48, 25}));
        EXPECT_FALSE(avi.set_video(AviVideoFormat{{'H', '2', '6', '4'}, 64, 48, 0}));
        EXPECT_FALSE(avi.set_audio(AviAudioFormat{AVI_WAVE_PCM, 0, 8000, 16}));
        EXPECT_FALSE(avi.set_audio(AviAudioFormat{AVI_WAVE_PCM, 1, 8000, 12}));
        EXPECT_FALSE(avi.write_frame(AVI_VIDEO, true, "x", 1)) << "no stream declared";
        EXPECT_TRUE(avi.finish());
    }
    EXPECT_EQ("", read_stream(out)) << "a file without frames is no file";
    fclose(out);

    // Without room for the index spool the file goes without an index.
    ScopedEnv gone("NVRWEB_ROOT", root.path() + "/no/such/dir");
    nvr_root_reset_for_tests();
    out = tmpfile();
    {
        AviWriter avi(out);
        ASSERT_TRUE(avi.set_audio(AviAudioFormat{AVI_WAVE_PCM, 2, 16000, 16}));
        EXPECT_TRUE(avi.write_frame(AVI_AUDIO, true, "abcd", 4));
        EXPECT_FALSE(avi.write_frame(AVI_VIDEO, true, "abcd", 4));
        EXPECT_TRUE(avi.finish());
    }
    AviInfo info = parse_avi(read_stream(out));
    fclose(out);
    nvr_root_reset_for_tests();
    ASSERT_EQ("", info.error);
    EXPECT_FALSE(info.has_index);
    EXPECT_EQ(0u, info.flags & 0x10);
    ASSERT_EQ(1u, info.chunks.size());
    EXPECT_EQ("00wb", info.chunks[0].tag) << "audio is stream 0 without video";
    EXPECT_EQ(1u, info.streams[0].length) << "one 4-byte sample";
}

// The download's interface: header, then data, frame after frame.
TEST(AviFrames, HeaderThenDataInTurn)
{
    DeviceRoot root;
    ScopedDeviceRoot scoped(root);
    auto header = [](int type, int length, int video, int audio) {
        FrameHeader h{};
        h.frame_type = type;
        h.video_codec = video;
        h.width = 32;
        h.height = 16;
        h.frame_rate = 0; // unknown: a default rate
        h.audio_codec = audio;
        h.frame_length = length;
        return bytes_of(h);
    };
    const std::string h_key = header(FRAME_VIDEO_KEY, 3, FRAME_CODEC_H264, FRAME_CODEC_NONE);
    struct Step {
        std::string bytes;
        int rc;
        const char *why;
    } const steps[] = {
        {"abc", -1, "data before any header"},
        {header(FRAME_VIDEO_KEY, 3, FRAME_CODEC_NONE, FRAME_CODEC_NONE), 0, "a header"},
        {"abc", -1, "names no stream: dropped, and the next frame may fix the formats"},
        {h_key, 0, "a header"},
        {"abcd", -1, "data of another length than the header's"},
        {"abc", -1, "after a refused piece a header must come"},
        {h_key, 0, "a header"},
        {"abc", 0, "the first frame: H.264 video, no sound"},
        {header(FRAME_AUDIO, 2, FRAME_CODEC_H264, FRAME_CODEC_G711A), 0, "a header"},
        {"zz", -1, "sound, but the file has no audio stream"},
        {header(9, 2, FRAME_CODEC_H264, FRAME_CODEC_NONE), 0, "a header"},
        {"zz", -1, "no such frame type"},
        {header(FRAME_VIDEO, 0, FRAME_CODEC_H264, FRAME_CODEC_NONE), 0, "a header"},
        {"", 0, "an empty frame"},
    };
    FILE *out = tmpfile();
    QxAviFile *avi = nullptr;
    ASSERT_EQ(-1, qx_avi_open_fp(nullptr, &avi));
    ASSERT_EQ(0, qx_avi_open_fp(out, &avi));
    for (const Step &s : steps)
        EXPECT_EQ(s.rc, qx_avi_write_fp_ex(avi, s.bytes.data(), static_cast<int>(s.bytes.size()))) << s.why;
    EXPECT_EQ(-1, qx_avi_write_fp_ex(avi, nullptr, 5));
    EXPECT_EQ(2u, qx_avi_frames(avi));
    EXPECT_EQ(-1, qx_avi_set_prelude(avi, "late")) << "the file has begun";
    EXPECT_EQ(0, qx_avi_close_fp(avi));
    AviInfo info = parse_avi(read_stream(out));
    fclose(out);
    ASSERT_EQ("", info.error);
    ASSERT_EQ(1u, info.streams.size());
    EXPECT_EQ("H264", info.streams[0].handler);
    EXPECT_EQ(25u, info.streams[0].rate);
    ASSERT_EQ(2u, info.chunks.size());
    EXPECT_EQ("abc", info.chunks[0].data);
    EXPECT_EQ(0x10u, info.index[0].flags);
    EXPECT_EQ(0u, info.index[1].flags);
}

} // namespace
