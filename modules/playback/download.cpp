// Recording download as an AVI file (/4013) and the daemon's busy marker
// of downloads (/4019, /4027).
//
// The daemon streams the recording as chunk replies to one request; the
// reply callback reassembles frames into the queue of remote_backup, whose
// writer thread writes the AVI file to standard output. The HTTP header
// lines go out with the file's first bytes, so a download that fails before
// any frame was written still answers the error reply.
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/device_path.h"
#include "common/ipc.h"
#include "common/records/backup.h"
#include "common/web_utils.h"
#include "modules/playback/playback.h"
#include "modules/playback/remote_backup.h"

namespace {
enum { OPLOG_SUB_PLAYBACK = 209, OPLOG_PARAM_PLAYBACK = 900 };
const char kBusyMarker[] = "/tmp/pbdownload";
const char kRequestTime[] = "%Y-%m-%dT%H:%M:%SZ";

// Set by the reply callback at the end of the download.
std::atomic<bool> g_download_done{false};

void end_download()
{
    g_download_done = true;
}

// "year_month_day_hour_minute_second_seconds" of a time of the request.
std::string file_name_part(const struct tm &tm, time_t seconds)
{
    char text[96];
    snprintf(text, sizeof text, "%d_%d_%d_%d_%d_%d_%lld", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
             tm.tm_min, tm.tm_sec, static_cast<long long>(seconds));
    return text;
}

void request_time(char (&out)[32], const struct tm &tm)
{
    snprintf(out, sizeof out, "%d-%d-%d %d:%d:%d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
             tm.tm_min, tm.tm_sec);
}

// Reply callback of the download: one chunk per reply.
void on_download_chunk(int, const void *header, const void *payload)
{
    // Whatever comes after the end of the download is not part of it.
    if (ipc_reply_code(header) != REPLY_BACKUP_CHUNK || g_download_done) return;
    const int size = ipc_reply_length(header);
    if (!payload || size < BACKUP_CHUNK_HEAD) return;
    if (!remote_backup_is_open()) return end_download();
    const uint8_t *p = static_cast<const uint8_t *>(payload);
    FrameHeader frame;
    int32_t position, length;
    memcpy(&frame, p, sizeof frame);
    memcpy(&position, p + offsetof(BackupChunk, position), sizeof position);
    memcpy(&length, p + offsetof(BackupChunk, length), sizeof length);

    if (length == BACKUP_CHUNK_END) return end_download();
    if (length == BACKUP_CHUNK_INTERRUPTED) {
        remote_backup_qxfs_interrup(); // what is queued is dropped
        return end_download();
    }
    if (frame.frame_length < 0) {
        // A frame that cannot be: the recording is broken from here on. The
        // frames before it are whole and still go into the file.
        cgi_log("remote_backup", __LINE__, "", "frame length %d: download ends", frame.frame_length);
        return end_download();
    }
    if (length < 0 || length > BACKUP_CHUNK_MAX || length > size - BACKUP_CHUNK_HEAD) {
        cgi_log("remote_backup", __LINE__, "", "chunk of %d bytes in a reply of %d: frame dropped", length, size);
        remote_backup_drop_pending();
        return;
    }
    frame.data = reinterpret_cast<uintptr_t>(p + BACKUP_CHUNK_HEAD);
    remote_backup_qxfs_write(&frame, position, length);
}
} // namespace

// ---- /4013 ------------------------------------------------------------------------------

int on_download_record(char *request)
{
    enum { D_ID, D_STREAM, D_START, D_END, D_COUNT };
    static constexpr JsonPolicy policy[D_COUNT] = {
        {"id", JK_INT}, {"streamType", JK_INT}, {"startTime", JK_STRING}, {"endTime", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_download_record, policy);
    JsonDoc doc(request);
    json_object *tb[D_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int channel = jv_channel(tb[D_ID]);
    if (channel < 0 || !tb[D_START] || !tb[D_END]) return 0;
    if (IsFileExisted(kBusyMarker) == 0) return cgi_writeback_webserver(REPLY_TEXT, "BUSY NOW");

    struct tm start_tm, end_tm;
    time_t start = 0, end = 0;
    if (!playback_parse_time(jv_str(tb[D_START]), kRequestTime, &start_tm, &start) ||
        !playback_parse_time(jv_str(tb[D_END]), kRequestTime, &end_tm, &end))
        return 0;
    const uint64_t mask = 1ULL << channel;
    const std::string name = std::to_string(mask) + "DDD" + file_name_part(start_tm, start) + "-" +
                             file_name_part(end_tm, end) + "_" + std::to_string(channel) + ".avi";
    cgi_send_oplog(OPLOG_SUB_PLAYBACK, OPLOG_PARAM_PLAYBACK, channel + 1);

    BackupRequest rec{};
    rec.channel = channel;
    rec.stream_type = jv_int(tb[D_STREAM]);
    request_time(rec.start_time, start_tm);
    request_time(rec.end_time, end_tm);

    const std::string headers = "Content-Type:application/octet-stream\r\n"
                                "Content-Disposition: attachment; filename= " + name + "\r\n\r\n";
    if (nice(19) == -1) cgi_log("remote_backup", __LINE__, "", "priority not lowered");
    remote_backup_qxfs_close(); // one left open by an earlier download of this process
    if (remote_backup_qxfs_open(stdout, headers.c_str()) != 0) return cgi_error_to_webserver(REPLY_TEXT);

    // The client stays open for the whole download: the replies keep coming
    // until the end mark, an interruption, or the writer gives up.
    g_download_done = false;
    cgi_start_ipc(on_download_chunk, IPC_BACKUP_DOWNLOAD, static_cast<int>(sizeof rec), &rec, 1);
    const auto poll = std::chrono::microseconds(static_cast<int64_t>(IPC_POLL_MS * 1000.0 * ipc_time_scale()) + 1);
    while (!g_download_done && remote_backup_task_run_status()) std::this_thread::sleep_for(poll);
    cgi_stop_ipc(0);

    const uint32_t frames = remote_backup_qxfs_close();
    if (frames == 0) {
        cgi_log("remote_backup", __LINE__, "", "download of channel %d: no frame", channel);
        cgi_error_to_webserver(REPLY_TEXT);
    }
    fflush(stdout);
    return 0;
}

// ---- /4019, /4027 ---------------------------------------------------------------------------

int on_get_download_state(char *request)
{
    JsonDoc doc(request);
    if (!doc) return 0;
    json_object *o = json_object_new_object();
    json_add_int(o, "isOK", IsFileExisted(kBusyMarker) == 0 ? 0 : 1);
    cgi_writeback_json(REPLY_TEXT, o);
    json_object_put(o);
    return 0;
}

int on_cancel_download(char *)
{
    char path[512];
    if (nvr_path(kBusyMarker, path, sizeof path)) unlink(path);
    cgi_notify_ipc(IPC_BACKUP_CANCEL, 0, nullptr);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
