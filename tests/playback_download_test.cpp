// Recording download (/4013) and its busy marker (/4019, /4027): the file a
// player gets from the simulator (checked by structure and with ffprobe),
// frames rebuilt from chunk replies of the fake daemon, the download's end
// on every kind of last reply, and the frame queue freeing what it holds.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "common/records/backup.h"
#include "common/records/oplog.h"
#include "modules/playback/remote_backup.h"
#include "platform/qx_std.h"
#include "tests/support/avi_check.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

namespace {

const char kRequest[] = R"({"id":3,"streamType":1,"startTime":"2024-01-05T10:00:00Z","endTime":"2024-01-05T10:00:04Z"})";

std::string header_value(const ProcResult &r, const std::string &name)
{
    const std::string h = r.headers();
    size_t p = h.find(name);
    if (p == std::string::npos) return "";
    p += name.size();
    return h.substr(p, h.find("\r\n", p) - p);
}

long long local_seconds(int h, int m, int s)
{
    struct tm tm = {};
    tm.tm_year = 124;
    tm.tm_mon = 0;
    tm.tm_mday = 5;
    tm.tm_hour = h;
    tm.tm_min = m;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return static_cast<long long>(mktime(&tm));
}

// nvrweb-sim in the background for one test.
class SimProcess {
public:
    explicit SimProcess(const DeviceRoot &root)
    {
        std::vector<std::string> argv = program_wrapper();
        argv.push_back(program_path("nvrweb-sim"));
        const std::string env_root = "NVRWEB_ROOT=" + root.path();
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char *> cargv;
            for (auto &a : argv) cargv.push_back(const_cast<char *>(a.c_str()));
            cargv.push_back(nullptr);
            char *envp[] = {const_cast<char *>(env_root.c_str()), nullptr};
            int null_fd = open("/dev/null", O_WRONLY);
            dup2(null_fd, 2);
            execvpe(cargv[0], cargv.data(), envp);
            _exit(127);
        }
        const std::string socket = root.host("/var/run/qxsocket");
        for (int i = 0; i < 500 && access(socket.c_str(), F_OK) != 0; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SimProcess()
    {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

TEST(PlaybackDownload, SimulatorRecordingPlays)
{
    DeviceRoot root;
    SimProcess sim(root);
    ProcResult r = post_json(root, "/4013", kRequest);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("application/octet-stream", header_value(r, "Content-Type:"));
    const std::string name = "8DDD2024_1_5_10_0_0_" + std::to_string(local_seconds(10, 0, 0)) + "-2024_1_5_10_0_4_" +
                             std::to_string(local_seconds(10, 0, 4)) + "_3.avi";
    EXPECT_EQ(" attachment; filename= " + name, header_value(r, "Content-Disposition:"));

    const std::string file = r.body();
    AviInfo info = parse_avi(file);
    ASSERT_EQ("", info.error);
    EXPECT_TRUE(info.streaming) << "an HTTP answer cannot seek back";
    EXPECT_TRUE(info.has_index);
    EXPECT_EQ(200u, info.chunks.size()) << "4 s of video and sound at 25 frames per second";

    root.write("/tmp/download.avi", file);
    ProbeResult probe = ffprobe_file(root.host("/tmp/download.avi"));
    ASSERT_TRUE(probe.ok) << probe.error;
    ASSERT_EQ(2u, probe.streams.size());
    EXPECT_EQ("mjpeg", probe.streams[0].codec_name);
    EXPECT_EQ(320, probe.streams[0].width);
    EXPECT_EQ(240, probe.streams[0].height);
    EXPECT_EQ(100, probe.streams[0].read_packets);
    EXPECT_EQ("pcm_mulaw", probe.streams[1].codec_name);
    EXPECT_EQ(100, probe.streams[1].read_packets);
    std::string errors;
    EXPECT_TRUE(ffmpeg_decodes(root.host("/tmp/download.avi"), &errors)) << errors;
}

TEST(PlaybackDownload, BusyMarker)
{
    DeviceRoot root;
    FakeDaemon daemon(root);
    EXPECT_EQ(R"({"isOK":1})", post_json(root, "/4019", "{}").body());
    EXPECT_EQ("", post_json(root, "/4019", "not json").answer());
    root.write("/tmp/pbdownload", "");
    ProcResult r = post_json(root, "/4019", "{}");
    EXPECT_EQ("Content-type: text/plain\r\n\r\n{\"isOK\":0}", r.out);
    EXPECT_EQ("BUSY NOW", post_json(root, "/4013", kRequest).body());
    EXPECT_EQ("OK", post_json(root, "/4027", "").body());
    EXPECT_FALSE(root.exists("/tmp/pbdownload"));
    EXPECT_TRUE(daemon.wait_requests(1));
    EXPECT_EQ(std::vector<int>{IPC_BACKUP_CANCEL}, daemon.codes());
}

// ---- Frames from chunks -------------------------------------------------------------

FrameHeader frame_header(int32_t frame_length)
{
    FrameHeader h{};
    h.frame_type = FRAME_VIDEO_KEY;
    h.video_codec = FRAME_CODEC_H264;
    h.width = 64;
    h.height = 48;
    h.frame_rate = 25;
    h.frame_length = frame_length;
    return h;
}

// One chunk reply: `declared` is the chunk length it states (default: the
// data's), the data follows the 96 bytes.
std::string chunk(int32_t frame_length, int32_t position, const std::string &data, int32_t declared = -100)
{
    std::string reply = bytes_of(frame_header(frame_length)) + le32(position) +
                        le32(declared == -100 ? static_cast<int32_t>(data.size()) : declared) + data;
    return reply;
}
std::string end_mark(int32_t mark) { return chunk(0, 0, "", mark); }

TEST(PlaybackDownload, FramesRebuiltFromChunks)
{
    struct Row {
        const char *name;
        std::vector<std::string> replies; // the daemon's answer to 1173, in order
        std::vector<std::string> frames;  // frames in the file; none: the error reply
    } const rows[] = {
        {"chunks over the frame length are cut", {chunk(6, 0, "abcd"), chunk(6, 4, "efgh"), end_mark(-1)}, {"abcdef"}},
        {"a frame in three chunks, then an empty frame",
         {chunk(5, 0, "ab"), chunk(5, 2, "cd"), chunk(5, 4, "e"), chunk(0, 0, ""), end_mark(-1)}, {"abcde", ""}},
        {"a new frame drops the partial one", {chunk(8, 0, "1234"), chunk(3, 0, "xyz"), end_mark(-1)}, {"xyz"}},
        {"a chunk longer than its reply is no chunk",
         {chunk(4, 0, "ab", 4), chunk(4, 2, "cd"), chunk(4, 0, "ok!!"), end_mark(-1)}, {"ok!!"}},
        {"a chunk over the chunk limit is no chunk", {chunk(4, 0, "abcd", 614401), chunk(2, 0, "ok"), end_mark(-1)}, {"ok"}},
        {"a continuation without its first chunk", {chunk(4, 2, "cd"), chunk(2, 0, "ok"), end_mark(-1)}, {"ok"}},
        {"replies too short for a chunk are skipped", {std::string(95, '\0'), chunk(2, 0, "ok"), end_mark(-1)}, {"ok"}},
        {"a negative frame length ends the download", {chunk(2, 0, "ok"), chunk(-5, 0, "zz"), chunk(2, 0, "no")}, {"ok"}},
        {"a negative frame length first: the error reply", {chunk(-1, 0, "zz"), chunk(2, 0, "no"), end_mark(-1)}, {}},
        {"interrupted before any frame", {end_mark(-2), chunk(2, 0, "no"), end_mark(-1)}, {}},
        {"nothing recorded", {end_mark(-1)}, {}},
        {"no reply at all", {}, {}},
    };
    DeviceRoot root;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FakeDaemon daemon(root);
        FakeScript &script = daemon.on(IPC_BACKUP_DOWNLOAD);
        for (const std::string &reply : row.replies) script.reply(reply);
        ProcResult r = post_json(root, "/4013", kRequest, {{"NVRWEB_TIME_SCALE", "0.02"}});
        ASSERT_EQ(0, r.status) << r.err;
        if (row.frames.empty()) {
            EXPECT_EQ("Content-type: text/plain\r\n\r\nCGI ERROR", r.out);
        } else {
            AviInfo info = parse_avi(r.body());
            ASSERT_EQ("", info.error);
            std::vector<std::string> frames;
            for (const AviChunkInfo &c : info.chunks) frames.push_back(c.data);
            EXPECT_EQ(row.frames, frames);
        }
        EXPECT_TRUE(daemon.wait_disconnected());
        std::vector<FakeRequest> reqs = daemon.requests();
        ASSERT_EQ(2u, reqs.size());
        EXPECT_EQ(IPC_OPLOG, reqs[0].code);
        BackupRequest rec{};
        ASSERT_TRUE(reqs[1].as(&rec));
        EXPECT_EQ(3, rec.channel);
        EXPECT_EQ(1, rec.stream_type);
        EXPECT_STREQ("2024-1-5 10:0:0", rec.start_time);
        EXPECT_STREQ("2024-1-5 10:0:4", rec.end_time);
    }
}

TEST(PlaybackDownload, RequestChecks)
{
    DeviceRoot root;
    FakeDaemon daemon(root);
    daemon.on(IPC_BACKUP_DOWNLOAD).reply(chunk(2, 0, "ok")).reply(end_mark(-1));
    for (const char *bad : {R"({"id":64,"startTime":"2024-01-05T10:00:00Z","endTime":"2024-01-05T10:00:04Z"})",
                            R"({"id":-1,"startTime":"2024-01-05T10:00:00Z","endTime":"2024-01-05T10:00:04Z"})",
                            R"({"id":3,"startTime":"2024-01-05 10:00:00","endTime":"2024-01-05T10:00:04Z"})",
                            R"({"id":3,"startTime":"2024-13-05T10:00:00Z","endTime":"2024-01-05T10:00:04Z"})",
                            R"({"id":3,"startTime":"2024-01-05T10:00:00Z"})", "[]"})
        EXPECT_EQ("", post_json(root, "/4013", bad).answer()) << bad;
    EXPECT_TRUE(daemon.wait_disconnected());
    EXPECT_EQ(0u, daemon.count()) << "a refused download is not logged either";

    // The channel mask is unsigned, also for the last channel.
    ProcResult r = post_json(root, "/4013", R"({"id":63,"startTime":"2024-01-05T10:00:00Z","endTime":"2024-01-05T10:00:04Z"})");
    EXPECT_EQ(0u, header_value(r, "filename= ").find("9223372036854775808DDD2024_1_5_10_0_0_"));
    EXPECT_NE(std::string::npos, header_value(r, "filename= ").find("_63.avi"));
}

// The frame queue in this process: whatever way a download ends, every
// frame it held is freed.
TEST(RemoteBackup, QueueFreesFramesOnEveryPath)
{
    DeviceRoot root;
    ScopedDeviceRoot scoped(root);
    auto feed = [](int32_t frame_length, int position, const std::string &data) {
        FrameHeader h = frame_header(frame_length);
        h.data = reinterpret_cast<uintptr_t>(data.data());
        return remote_backup_qxfs_write(&h, position, static_cast<int>(data.size()));
    };
    const long before = qx_alloc_outstanding();
    struct Case {
        const char *name;
        bool interrupt;
        uint32_t frames_written_at_least;
    } const cases[] = {{"closed with a frame pending", false, 3}, {"interrupted", true, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FILE *out = tmpfile();
        ASSERT_EQ(0, remote_backup_qxfs_open(out, nullptr));
        EXPECT_EQ(-1, remote_backup_qxfs_open(out, nullptr)) << "one download at a time";
        EXPECT_TRUE(remote_backup_task_run_status());
        EXPECT_EQ(-1, feed(BACKUP_FRAME_MAX + 1, 0, "big")) << "larger than the queue";
        EXPECT_EQ(-1, feed(-1, 0, ""));
        for (int i = 0; i < 3; i++) EXPECT_EQ(0, feed(4, 0, "abcd"));
        EXPECT_EQ(0, feed(8, 0, "half")); // pending
        if (c.interrupt) {
            remote_backup_qxfs_interrup();
            EXPECT_EQ(-1, feed(2, 0, "no")) << "nobody writes it any more";
        }
        const uint32_t written = remote_backup_qxfs_close();
        EXPECT_LE(c.frames_written_at_least, written);
        EXPECT_GE(3u, written);
        EXPECT_FALSE(remote_backup_is_open());
        EXPECT_EQ(before, qx_alloc_outstanding());
        fclose(out);
    }
    EXPECT_EQ(0u, remote_backup_qxfs_close()) << "nothing open";
}

} // namespace
