#include "modules/playback/remote_backup.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "common/ipc.h"
#include "common/web_utils.h"
#include "platform/avi_frames.h"
#include "platform/qx_std.h"

namespace {

// A queued frame: its header, whose data slot holds the address of the
// frame's own buffer (tracking allocator, like the node).
struct BackupFrame {
    FrameHeader header;
    BackupFrame *next;
};

uint8_t *frame_data(const BackupFrame *f)
{
    return reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(f->header.data));
}

void free_frame(BackupFrame *f)
{
    if (!f) return;
    QX_FREE(frame_data(f));
    QX_FREE(f);
}

struct Backup {
    QxAviFile *avi = nullptr;
    // Frame being assembled: reply thread only (and close, after the replies).
    BackupFrame *pending = nullptr;
    int32_t received = 0;
    // Queue, guarded by mu.
    std::mutex mu;
    std::condition_variable cv; // queue changed, or a flag
    BackupFrame *head = nullptr, *tail = nullptr;
    int count = 0;
    int64_t bytes = 0;
    uint64_t taken = 0; // frames the writer has taken so far
    std::atomic<bool> running{false};
    std::atomic<bool> closing{false};
    qx_task_t task{};
    bool task_started = false;
};

Backup &backup()
{
    // Built on first use (not at every start), never destroyed.
    static auto *value = new Backup;
    return *value;
}

std::chrono::microseconds period()
{
    return std::chrono::microseconds(static_cast<int64_t>(IPC_POLL_MS * 1000.0 * ipc_time_scale()) + 1);
}

// Under backup().mu.
void drop_queue_locked()
{
    while (BackupFrame *f = backup().head) {
        backup().head = f->next;
        free_frame(f);
    }
    backup().tail = nullptr;
    backup().count = 0;
    backup().bytes = 0;
}

// Appends a complete frame; waits while the queue is over its limit. A
// frame that the writer makes no room for within BACKUP_FULL_WAITS periods
// is dropped: waiting goes on as long as the writer takes frames (a slow
// client gets every frame), and ends when it is stuck.
int queue_frame(BackupFrame *f)
{
    std::unique_lock<std::mutex> lock(backup().mu);
    int stalled = 0;
    while (backup().bytes > BACKUP_QUEUE_LIMIT && backup().running) {
        const uint64_t seen = backup().taken;
        backup().cv.wait_for(lock, period());
        if (backup().taken == seen && ++stalled >= BACKUP_FULL_WAITS) break;
    }
    if (backup().bytes > BACKUP_QUEUE_LIMIT || !backup().running) {
        lock.unlock();
        cgi_log("remote_backup", __LINE__, "", "frame %d of %d bytes dropped", f->header.sequence,
                f->header.frame_length);
        free_frame(f);
        return -1;
    }
    f->next = nullptr;
    if (backup().tail) backup().tail->next = f;
    else backup().head = f;
    backup().tail = f;
    backup().count++;
    backup().bytes += f->header.frame_length;
    backup().cv.notify_all();
    return 0;
}

// Takes the head frame, waiting up to one period for one.
BackupFrame *take_frame()
{
    std::unique_lock<std::mutex> lock(backup().mu);
    if (!backup().head && !backup().closing && backup().running) backup().cv.wait_for(lock, period());
    BackupFrame *f = backup().head;
    if (!f) return nullptr;
    backup().head = f->next;
    if (!backup().head) backup().tail = nullptr;
    backup().count--;
    backup().bytes -= f->header.frame_length;
    backup().taken++;
    backup().cv.notify_all();
    return f;
}

void *writer_task(void *)
{
    qx_task_set_name("remote_backup");
    int idle = 0;
    while (backup().running) {
        if (BackupFrame *f = take_frame()) {
            idle = 0;
            // Header, then data; a frame the file cannot take is skipped.
            if (qx_avi_write_fp_ex(backup().avi, &f->header, sizeof f->header) == 0)
                qx_avi_write_fp_ex(backup().avi, frame_data(f), f->header.frame_length);
            free_frame(f);
            if (qx_avi_failed(backup().avi)) {
                // The client is gone: nobody reads the rest.
                cgi_log("remote_backup", __LINE__, "", "writing the download failed");
                break;
            }
            continue;
        }
        if (backup().closing) {
            std::lock_guard<std::mutex> lock(backup().mu);
            if (!backup().head) break;
            continue;
        }
        if (++idle >= BACKUP_IDLE_TRIES) {
            cgi_log("remote_backup", __LINE__, "", "no frame for %d periods: download ends", idle);
            break;
        }
    }
    std::lock_guard<std::mutex> lock(backup().mu);
    drop_queue_locked();
    backup().running = false;
    backup().cv.notify_all();
    return nullptr;
}
} // namespace

int remote_backup_qxfs_open(FILE *stream, const char *prelude)
{
    if (backup().avi || qx_avi_open_fp(stream, &backup().avi) != 0) return -1;
    if (prelude) qx_avi_set_prelude(backup().avi, prelude);
    backup().closing = false;
    backup().running = true;
    if (qx_task_create_join(&backup().task, writer_task, nullptr) != 0) {
        backup().running = false;
        qx_avi_close_fp(backup().avi);
        backup().avi = nullptr;
        return -1;
    }
    backup().task_started = true;
    return 0;
}

void remote_backup_drop_pending()
{
    free_frame(backup().pending);
    backup().pending = nullptr;
    backup().received = 0;
}

int remote_backup_qxfs_write(const FrameHeader *header, int position, int length)
{
    if (!header || length < 0) return -1;
    const uint8_t *chunk = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(header->data));
    if (position == 0) {
        remote_backup_drop_pending();
        const int32_t frame_length = header->frame_length;
        if (frame_length < 0 || frame_length > BACKUP_FRAME_MAX) return -1;
        BackupFrame *f = static_cast<BackupFrame *>(QX_MALLOC(sizeof(BackupFrame)));
        uint8_t *data = static_cast<uint8_t *>(QX_MALLOC(static_cast<size_t>(frame_length)));
        if (!f || !data) {
            QX_FREE(f);
            QX_FREE(data);
            return -1;
        }
        memcpy(&f->header, header, sizeof f->header);
        f->header.data = reinterpret_cast<uintptr_t>(data);
        f->next = nullptr;
        backup().pending = f;
    }
    BackupFrame *f = backup().pending;
    if (!f) return 0;
    const int32_t room = f->header.frame_length - backup().received;
    const int32_t n = length < room ? length : room;
    if (n > 0 && chunk) {
        memcpy(frame_data(f) + backup().received, chunk, static_cast<size_t>(n));
        backup().received += n;
    }
    if (backup().received < f->header.frame_length) return 0;
    backup().pending = nullptr;
    backup().received = 0;
    return queue_frame(f);
}

void remote_backup_qxfs_interrup()
{
    std::lock_guard<std::mutex> lock(backup().mu);
    backup().running = false;
    backup().cv.notify_all();
}

uint32_t remote_backup_qxfs_close()
{
    if (!backup().avi) return 0;
    {
        std::lock_guard<std::mutex> lock(backup().mu);
        backup().closing = true;
        backup().cv.notify_all();
    }
    if (backup().task_started) qx_task_join(backup().task);
    backup().task_started = false;
    remote_backup_drop_pending();
    {
        std::lock_guard<std::mutex> lock(backup().mu);
        drop_queue_locked();
    }
    const uint32_t frames = qx_avi_frames(backup().avi);
    qx_avi_close_fp(backup().avi);
    backup().avi = nullptr;
    backup().running = false;
    backup().closing = false;
    return frames;
}

bool remote_backup_is_open() { return backup().avi != nullptr; }

bool remote_backup_task_run_status() { return backup().running; }
