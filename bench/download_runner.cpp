// nvrweb-download-bench CGI MB [MB ...]
//
// The recording download (/4013) as a whole process: for each size a daemon
// in this program streams a recording of that many megabytes (frames of
// 300 KB, one chunk each, as fast as the request process takes them), the
// CGI writes the AVI file to a pipe that this program drains, and the line
// printed gives the throughput and the CGI's peak memory (maximum resident
// set), which must not grow with the recording.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/records/backup.h"
#include "platform/qx_server.h"

namespace {
const size_t kFrameBytes = 300000;
const char kRequest[] = R"({"id":0,"streamType":0,"startTime":"2024-01-05T10:00:00Z","endTime":"2024-01-05T11:00:00Z"})";

std::string chunk_reply(int32_t frame_length, int32_t length, const std::string &data)
{
    FrameHeader h{};
    h.frame_type = FRAME_VIDEO_KEY;
    h.video_codec = FRAME_CODEC_H264;
    h.width = 1920;
    h.height = 1080;
    h.frame_rate = 25;
    h.frame_length = frame_length;
    std::string out(reinterpret_cast<const char *>(&h), sizeof h);
    out.resize(BACKUP_CHUNK_HEAD);
    qx_put_le32(&out[0], offsetof(BackupChunk, position), 0);
    qx_put_le32(&out[0], offsetof(BackupChunk, length), static_cast<uint32_t>(length));
    return out + data;
}

struct Run {
    double seconds = 0;
    uint64_t bytes = 0;
    long peak_kb = 0;
    int status = -1;
};

Run download(const std::string &cgi, const std::string &root, size_t frames)
{
    const std::string frame = chunk_reply(kFrameBytes, kFrameBytes, std::string(kFrameBytes, '\x5a'));
    const std::string end = chunk_reply(0, BACKUP_CHUNK_END, "");
    QxServer daemon;
    daemon.start(root + "/var/run/qxsocket", [&](QxServerConn &conn, const QxMsgHeader &h, const std::string &) {
        if (h.code != IPC_BACKUP_DOWNLOAD) {
            conn.reply(h.seq, h.code + 5000, qx_le32_bytes(0));
            return;
        }
        for (size_t i = 0; i < frames; i++)
            if (!conn.reply(h.seq, REPLY_BACKUP_CHUNK, frame)) return;
        conn.reply(h.seq, REPLY_BACKUP_CHUNK, end);
    });

    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return Run();
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        const std::string length = std::to_string(strlen(kRequest));
        setenv("NVRWEB_ROOT", root.c_str(), 1);
        setenv("REQUEST_METHOD", "POST", 1);
        setenv("PATH_INFO", "/4013", 1);
        setenv("CONTENT_TYPE", "application/json", 1);
        setenv("CONTENT_LENGTH", length.c_str(), 1);
        execl(cgi.c_str(), cgi.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (write(in[1], kRequest, strlen(kRequest)) < 0) perror("write");
    close(in[1]);
    Run run;
    static char buf[1 << 16];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) run.bytes += static_cast<uint64_t>(n);
    close(out[0]);
    struct rusage ru = {};
    int st = 0;
    wait4(pid, &st, 0, &ru);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.peak_kb = ru.ru_maxrss;
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    daemon.stop();
    return run;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: nvrweb-download-bench CGI MB [MB ...]\n");
        return 2;
    }
    char tmpl[] = "/tmp/nvrweb-download-XXXXXX";
    const std::string root = mkdtemp(tmpl) ? tmpl : "";
    if (root.empty()) return 1;
    for (const char *d : {"/tmp", "/var", "/var/run", "/mnt", "/mnt/nand", "/mnt/nand/app"}) mkdir((root + d).c_str(), 0755);

    printf("%-14s %10s %10s %12s\n", "recording", "seconds", "MB/s", "peak RSS");
    int failed = 0;
    for (int i = 2; i < argc; i++) {
        const size_t mb = static_cast<size_t>(atol(argv[i]));
        const size_t frames = mb * 1000000 / kFrameBytes;
        Run r = download(argv[1], root, frames);
        const double expected = static_cast<double>(frames * kFrameBytes);
        if (r.status != 0 || static_cast<double>(r.bytes) < expected) {
            fprintf(stderr, "download of %zu MB: status %d, %llu bytes\n", mb, r.status,
                    static_cast<unsigned long long>(r.bytes));
            failed = 1;
        }
        printf("%-14s %10.2f %10.1f %9.1f MB\n", (std::to_string(mb) + " MB").c_str(), r.seconds,
               static_cast<double>(r.bytes) / 1e6 / r.seconds, static_cast<double>(r.peak_kb) / 1024);
    }
    std::string cmd = "rm -rf '" + root + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", root.c_str());
    return failed;
}
