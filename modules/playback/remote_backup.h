// Recording download: frames reassembled from the daemon's chunk replies,
// a bounded frame queue, and the writer thread that hands the frames to the
// AVI writer on the output stream.
//
// Three threads meet here: the request thread (open, wait, close), the
// socket's reply thread (remote_backup_qxfs_write, which blocks while the
// queue is full) and the writer thread (the only one that writes the
// stream once the download is open). The queue holds at most about 10 MiB
// of frames, so memory stays the same however long the recording is.
// Timings are 40 ms periods scaled like the daemon client's
// (NVRWEB_TIME_SCALE).
#pragma once
#include <cstdint>
#include <cstdio>

#include "common/records/backup.h"

enum {
    BACKUP_QUEUE_LIMIT = 10485759, // queued bytes above which a new frame waits
    BACKUP_FRAME_MAX = BACKUP_QUEUE_LIMIT + 1, // larger frames are dropped
    BACKUP_FULL_WAITS = 24,        // periods a frame waits while the writer makes no progress
    BACKUP_IDLE_TRIES = 1500,      // empty periods in a row that end the writer (60 s)
};

// Opens the AVI writer on `stream`, with `prelude` (may be null) written
// just before the file, and starts the writer thread ("remote_backup").
// 0, or -1 (nothing started) when a download is open already or the writer
// cannot be opened or started.
int remote_backup_qxfs_open(FILE *stream, const char *prelude);

// Builds frames from one chunk: `header` is the frame header of the chunk
// with its data slot pointing at the chunk's `length` bytes. Position 0
// starts a new frame (a partial one is dropped); later chunks fill it,
// cut at its frame length; a complete frame is queued. 0, or -1 when the
// frame was dropped (too large, no memory, no room in time, writer gone).
int remote_backup_qxfs_write(const FrameHeader *header, int position, int length);

// Drops the frame being assembled (its chunks went wrong).
void remote_backup_drop_pending();

// Stops the writer: it ends and drops what is queued.
void remote_backup_qxfs_interrup();

// Closes the download: the writer writes what is queued and ends, the
// frame being assembled is dropped, the AVI file is finished. Call it only
// when no reply can come any more (after cgi_stop_ipc). Returns the
// number of frames written to the stream (0: not even the prelude went out).
uint32_t remote_backup_qxfs_close();

// True while a download is open (between open and close).
bool remote_backup_is_open();
// The running flag: the writer thread runs.
bool remote_backup_task_run_status();
