// AVI files from recorded frames (stand-in for the maker's AVI library): a
// handle on a stdio stream that takes each frame in two calls, its 88-byte
// FrameHeader (common/records/backup.h) and then its frame data, and writes
// the container with AviWriter.
//
// The first frame whose header names a usable format fixes the file's
// streams: a video stream when it names a video codec (H.264, H.265, MJPEG)
// with a picture size, an audio stream when it names an audio codec (G.711
// A-law or mu-law, 16-bit PCM). Later frames of a stream the file does not
// have are dropped.
#pragma once
#include <cstdint>
#include <cstdio>

struct QxAviFile;

// A handle on `fp` (not owned: the caller closes it after qx_avi_close_fp).
// 0 and the handle in *handle, or -1 for a null stream or out pointer.
int qx_avi_open_fp(FILE *fp, QxAviFile **handle);

// Takes the next piece of the current frame: first its header (exactly 88
// bytes), then its data (exactly the header's frame length, which may be
// 0). Returns 0 when the piece was taken (the data call: written), -1 when
// it was not: out of turn or of the wrong length (the frame is dropped and
// the next call must be a header), a frame no stream of the file takes, or
// a failed write.
int qx_avi_write_fp_ex(QxAviFile *handle, const void *data, int length);

// Bytes written to the stream just before the file, with the first frame
// (an HTTP header block). Before the first frame: 0, else -1.
int qx_avi_set_prelude(QxAviFile *handle, const char *text);

// Finishes the file (AviWriter::finish) and frees the handle. 0, or -1 when
// a write failed or for a null handle.
int qx_avi_close_fp(QxAviFile *handle);

// Frames written so far (0: nothing went out, the prelude neither), and
// whether a write to the stream has failed.
uint32_t qx_avi_frames(const QxAviFile *handle);
bool qx_avi_failed(const QxAviFile *handle);
