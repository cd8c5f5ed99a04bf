#include "platform/avi_writer.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/device_path.h"

namespace {
enum : uint32_t {
    AVIF_HASINDEX = 0x10,
    AVIF_ISINTERLEAVED = 0x100,
    AVIIF_KEYFRAME = 0x10,
};
const uint32_t kMaxFrame = 256u << 20;
const char kSpoolTemplate[] = "/tmp/avi-index-XXXXXX";

// Little-endian byte builder for the header block; lists are closed by
// writing their size at the position begin_list() returned.
class Bytes {
public:
    void tag(const char t[4]) { s_.append(t, 4); }
    void u16(uint32_t v)
    {
        for (int i = 0; i < 2; i++) s_ += static_cast<char>(v >> (8 * i));
    }
    void u32(uint32_t v)
    {
        for (int i = 0; i < 4; i++) s_ += static_cast<char>(v >> (8 * i));
    }
    // "LIST" <size> <type>; returns where the size goes.
    size_t begin_list(const char type[4])
    {
        tag("LIST");
        size_t at = s_.size();
        u32(0);
        tag(type);
        return at;
    }
    void end_list(size_t at) { set_u32(at, static_cast<uint32_t>(s_.size() - at - 4)); }
    void set_u32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; i++) s_[at + i] = static_cast<char>(v >> (8 * i));
    }
    size_t size() const { return s_.size(); }
    const std::string &str() const { return s_; }

private:
    std::string s_;
};

void le32(unsigned char *p, uint32_t v)
{
    for (int i = 0; i < 4; i++) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

uint32_t block_align(const AviAudioFormat &a) { return static_cast<uint32_t>(a.channels * (a.bits / 8)); }
} // namespace

AviWriter::AviWriter(FILE *out) : out_(out) {}

AviWriter::~AviWriter()
{
    if (spool_) fclose(spool_);
}

bool AviWriter::set_video(const AviVideoFormat &f)
{
    if (started_ || f.width < 1 || f.width > 16384 || f.height < 1 || f.height > 16384 || f.frame_rate < 1 ||
        f.frame_rate > 240)
        return false;
    video_ = f;
    has_video_ = true;
    return true;
}

bool AviWriter::set_audio(const AviAudioFormat &f)
{
    if (started_ || f.channels < 1 || f.channels > 8 || f.rate < 1 || f.rate > 192000 ||
        (f.bits != 8 && f.bits != 16))
        return false;
    audio_ = f;
    has_audio_ = true;
    return true;
}

bool AviWriter::set_prelude(const char *data, size_t length)
{
    if (started_ || (length && !data)) return false;
    prelude_.assign(data ? data : "", length);
    return true;
}

bool AviWriter::put(const void *data, size_t n)
{
    if (failed_ || !out_) return false;
    if (n && fwrite(data, 1, n, out_) != n) {
        failed_ = true;
        return false;
    }
    written_ += n;
    return true;
}

bool AviWriter::put_u32(uint32_t v)
{
    unsigned char b[4];
    le32(b, v);
    return put(b, 4);
}

bool AviWriter::write_header()
{
    // The index spool first: whether there will be an index goes into the header.
    std::string tmpl = nvr_path(kSpoolTemplate);
    if (!tmpl.empty()) {
        int fd = mkstemp(&tmpl[0]);
        if (fd >= 0) {
            unlink(tmpl.c_str());
            spool_ = fdopen(fd, "w+b");
            if (!spool_) close(fd);
        }
    }
    indexed_ = spool_ != nullptr;

    if (!prelude_.empty() && (!out_ || fwrite(prelude_.data(), 1, prelude_.size(), out_) != prelude_.size())) {
        failed_ = true;
        return false;
    }
    off_t at = out_ ? ftello(out_) : -1;
    base_ = at >= 0 ? at : -1;
    const uint32_t streams = (has_video_ ? 1 : 0) + (has_audio_ ? 1 : 0);
    const int32_t width = has_video_ ? video_.width : 0, height = has_video_ ? video_.height : 0;

    Bytes b;
    b.tag("RIFF");
    riff_size_at_ = b.size();
    b.u32(0);
    b.tag("AVI ");
    size_t hdrl = b.begin_list("hdrl");
    b.tag("avih");
    b.u32(56);
    b.u32(has_video_ ? 1000000u / static_cast<uint32_t>(video_.frame_rate) : 0); // microseconds per frame
    b.u32(0);                                                                    // max bytes per second
    b.u32(0);                                                                    // padding granularity
    b.u32((indexed_ ? uint32_t{AVIF_HASINDEX} : 0u) | AVIF_ISINTERLEAVED);
    total_frames_at_ = b.size();
    b.u32(0); // total frames
    b.u32(0); // initial frames
    b.u32(streams);
    buffer_at_ = b.size();
    b.u32(0); // suggested buffer size
    b.u32(static_cast<uint32_t>(width));
    b.u32(static_cast<uint32_t>(height));
    for (int i = 0; i < 4; i++) b.u32(0);

    for (int s = AVI_VIDEO; s <= AVI_AUDIO; s++) {
        if (!has_stream(static_cast<AviStream>(s))) continue;
        size_t strl = b.begin_list("strl");
        b.tag("strh");
        b.u32(56);
        if (s == AVI_VIDEO) {
            b.tag("vids");
            b.tag(video_.fourcc);
        } else {
            b.tag("auds");
            b.u32(0);
        }
        b.u32(0); // flags
        b.u16(0); // priority
        b.u16(0); // language
        b.u32(0); // initial frames
        if (s == AVI_VIDEO) {
            b.u32(1); // scale
            b.u32(static_cast<uint32_t>(video_.frame_rate));
        } else {
            b.u32(block_align(audio_));
            b.u32(static_cast<uint32_t>(audio_.rate) * block_align(audio_));
        }
        b.u32(0); // start
        length_at_[s] = b.size();
        b.u32(0); // length
        stream_buffer_at_[s] = b.size();
        b.u32(0);          // suggested buffer size
        b.u32(0xffffffff); // quality: default
        b.u32(s == AVI_VIDEO ? 0 : block_align(audio_));
        b.u16(0);
        b.u16(0);
        b.u16(static_cast<uint32_t>(width));
        b.u16(static_cast<uint32_t>(height));
        b.tag("strf");
        if (s == AVI_VIDEO) {
            b.u32(40);
            b.u32(40);
            b.u32(static_cast<uint32_t>(video_.width));
            b.u32(static_cast<uint32_t>(video_.height));
            b.u16(1);  // planes
            b.u16(24); // bits per pixel
            b.tag(video_.fourcc);
            b.u32(static_cast<uint32_t>(video_.width) * static_cast<uint32_t>(video_.height) * 3);
            for (int i = 0; i < 4; i++) b.u32(0);
        } else {
            b.u32(18);
            b.u16(audio_.format_tag);
            b.u16(static_cast<uint32_t>(audio_.channels));
            b.u32(static_cast<uint32_t>(audio_.rate));
            b.u32(static_cast<uint32_t>(audio_.rate) * block_align(audio_));
            b.u16(block_align(audio_));
            b.u16(static_cast<uint32_t>(audio_.bits));
            b.u16(0); // no extra bytes
        }
        b.end_list(strl);
    }
    b.end_list(hdrl);
    b.tag("LIST");
    movi_size_at_ = b.size();
    b.u32(0);
    movi_tag_ = b.size();
    b.tag("movi");
    started_ = true;
    return put(b.str().data(), b.size());
}

bool AviWriter::write_frame(AviStream s, bool key, const void *data, size_t length)
{
    if (finished_ || failed_ || (s != AVI_VIDEO && s != AVI_AUDIO) || !has_stream(s)) return false;
    if (length > kMaxFrame || (length && !data)) return false;
    if (!started_ && !write_header()) return false;

    // Stream numbers follow the header: audio is stream 0 without video.
    const char digit = (s == AVI_AUDIO && has_video_) ? '1' : '0';
    const char tag[4] = {'0', digit, s == AVI_VIDEO ? 'd' : 'w', s == AVI_VIDEO ? 'c' : 'b'};
    const uint64_t offset = written_ - movi_tag_;
    const uint32_t size = static_cast<uint32_t>(length);
    static const unsigned char kPad = 0;
    if (!put(tag, 4) || !put_u32(size) || !put(data, length) || ((length & 1) && !put(&kPad, 1))) return false;
    index_add(tag, (s == AVI_AUDIO || key) ? uint32_t{AVIIF_KEYFRAME} : 0u, offset, size);
    count_[s]++;
    data_bytes_[s] += length;
    if (size > largest_[s]) largest_[s] = size;
    return true;
}

bool AviWriter::index_add(const char tag[4], uint32_t flags, uint64_t offset, uint32_t size)
{
    if (!indexed_) return false;
    // An AVI index cannot point past 4 GiB: such a file goes without one.
    if (offset > 0xffffffffu || index_entries_ >= 0x0fffffffu) {
        indexed_ = false;
        return false;
    }
    unsigned char *e = index_buf_ + index_fill_;
    memcpy(e, tag, 4);
    le32(e + 4, flags);
    le32(e + 8, static_cast<uint32_t>(offset));
    le32(e + 12, size);
    index_fill_ += 16;
    index_entries_++;
    if (index_fill_ == sizeof index_buf_) return index_flush();
    return true;
}

bool AviWriter::index_flush()
{
    if (index_fill_ && fwrite(index_buf_, 1, index_fill_, spool_) != index_fill_) indexed_ = false;
    index_fill_ = 0;
    return indexed_;
}

bool AviWriter::copy_index()
{
    if (!index_flush() || fflush(spool_) != 0 || fseeko(spool_, 0, SEEK_SET) != 0) return false;
    if (!put("idx1", 4) || !put_u32(static_cast<uint32_t>(index_entries_ * 16))) return false;
    for (uint64_t left = index_entries_ * 16; left > 0;) {
        size_t n = left < sizeof index_buf_ ? static_cast<size_t>(left) : sizeof index_buf_;
        if (fread(index_buf_, 1, n, spool_) != n) {
            // The tag and size are out already: fill the promised bytes.
            memset(index_buf_, 0, n);
            failed_ = true;
        }
        if (!put(index_buf_, n)) return false;
        left -= n;
    }
    return !failed_;
}

bool AviWriter::patch_sizes()
{
    if (base_ < 0 || fflush(out_) != 0) return false;
    const off_t end = ftello(out_);
    if (end < 0 || written_ - 8 > 0xffffffffu) return false;
    const AviStream main = has_video_ ? AVI_VIDEO : AVI_AUDIO;
    const uint32_t largest = largest_[AVI_VIDEO] > largest_[AVI_AUDIO] ? largest_[AVI_VIDEO] : largest_[AVI_AUDIO];
    struct Field {
        uint64_t at;
        uint32_t value;
        bool used;
    } fields[] = {
        {riff_size_at_, static_cast<uint32_t>(written_ - 8), true},
        {movi_size_at_, static_cast<uint32_t>(movi_end_ - movi_tag_), true},
        {total_frames_at_, count_[main], true},
        {buffer_at_, largest, true},
        {length_at_[AVI_VIDEO], count_[AVI_VIDEO], has_video_},
        {stream_buffer_at_[AVI_VIDEO], largest_[AVI_VIDEO], has_video_},
        {length_at_[AVI_AUDIO],
         has_audio_ ? static_cast<uint32_t>(data_bytes_[AVI_AUDIO] / block_align(audio_)) : 0, has_audio_},
        {stream_buffer_at_[AVI_AUDIO], largest_[AVI_AUDIO], has_audio_},
    };
    bool ok = true;
    for (const Field &f : fields) {
        if (!f.used) continue;
        unsigned char b[4];
        le32(b, f.value);
        ok = ok && fseeko(out_, base_ + static_cast<off_t>(f.at), SEEK_SET) == 0 && fwrite(b, 1, 4, out_) == 4;
    }
    ok = fseeko(out_, end, SEEK_SET) == 0 && ok;
    return ok;
}

bool AviWriter::finish()
{
    if (finished_) return !failed_;
    finished_ = true;
    if (!started_) return !failed_ && (!out_ || fflush(out_) == 0);
    movi_end_ = written_;
    if (indexed_) copy_index();
    if (base_ >= 0 && !failed_) patch_sizes();
    if (fflush(out_) != 0) failed_ = true;
    return !failed_;
}
