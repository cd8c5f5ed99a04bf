#include "platform/avi_frames.h"

#include <cstring>
#include <new>

#include "common/records/backup.h"
#include "platform/avi_writer.h"

struct QxAviFile {
    explicit QxAviFile(FILE *fp) : avi(fp) {}
    AviWriter avi;
    bool formats_known = false;
    bool have_header = false; // a header waits for its data
    FrameHeader header{};
};

namespace {
enum { kDefaultFrameRate = 25 };

const char *video_fourcc(int codec)
{
    switch (codec) {
    case FRAME_CODEC_H264: return "H264";
    case FRAME_CODEC_H265: return "HEVC";
    case FRAME_CODEC_MJPEG: return "MJPG";
    default: return nullptr;
    }
}

bool audio_format(const FrameHeader &h, AviAudioFormat *a)
{
    switch (h.audio_codec) {
    case FRAME_CODEC_G711A: a->format_tag = AVI_WAVE_ALAW, a->bits = 8; break;
    case FRAME_CODEC_G711U: a->format_tag = AVI_WAVE_MULAW, a->bits = 8; break;
    case FRAME_CODEC_PCM16: a->format_tag = AVI_WAVE_PCM, a->bits = 16; break;
    default: return false;
    }
    a->channels = h.audio_channels > 0 ? h.audio_channels : 1;
    a->rate = h.audio_rate > 0 ? h.audio_rate : 8000;
    return true;
}

// Declares the streams the header names; false when it names none usable.
bool take_formats(AviWriter &avi, const FrameHeader &h)
{
    if (const char *fourcc = video_fourcc(h.video_codec)) {
        AviVideoFormat v{};
        memcpy(v.fourcc, fourcc, 4);
        v.width = h.width;
        v.height = h.height;
        v.frame_rate = h.frame_rate > 0 && h.frame_rate <= 240 ? h.frame_rate : kDefaultFrameRate;
        avi.set_video(v);
    }
    AviAudioFormat a{};
    if (audio_format(h, &a)) avi.set_audio(a);
    return avi.has_stream(AVI_VIDEO) || avi.has_stream(AVI_AUDIO);
}

int write_frame(QxAviFile *f, const void *data, int length)
{
    const FrameHeader &h = f->header;
    if (!f->formats_known) f->formats_known = take_formats(f->avi, h);
    if (!f->formats_known) return -1;
    AviStream s;
    if (h.frame_type == FRAME_VIDEO_KEY || h.frame_type == FRAME_VIDEO) s = AVI_VIDEO;
    else if (h.frame_type == FRAME_AUDIO) s = AVI_AUDIO;
    else return -1;
    return f->avi.write_frame(s, h.frame_type == FRAME_VIDEO_KEY, data, static_cast<size_t>(length)) ? 0 : -1;
}
} // namespace

int qx_avi_open_fp(FILE *fp, QxAviFile **handle)
{
    if (!fp || !handle) return -1;
    *handle = new (std::nothrow) QxAviFile(fp);
    return *handle ? 0 : -1;
}

int qx_avi_write_fp_ex(QxAviFile *f, const void *data, int length)
{
    if (!f || length < 0 || (length > 0 && !data)) return -1;
    if (!f->have_header) {
        if (length != static_cast<int>(sizeof(FrameHeader))) return -1;
        memcpy(&f->header, data, sizeof f->header);
        f->have_header = true;
        return 0;
    }
    f->have_header = false;
    if (length != f->header.frame_length) return -1;
    return write_frame(f, data, length);
}

int qx_avi_set_prelude(QxAviFile *f, const char *text)
{
    return f && text && f->avi.set_prelude(text, strlen(text)) ? 0 : -1;
}

int qx_avi_close_fp(QxAviFile *f)
{
    if (!f) return -1;
    bool ok = f->avi.finish();
    delete f;
    return ok ? 0 : -1;
}

uint32_t qx_avi_frames(const QxAviFile *f)
{
    return f ? f->avi.frames(AVI_VIDEO) + f->avi.frames(AVI_AUDIO) : 0;
}

bool qx_avi_failed(const QxAviFile *f) { return f && f->avi.failed(); }
