#include "tests/support/avi_check.h"

#include <json-c/json.h>

#include "tests/support/harness.h"

namespace {
uint32_t u32(const std::string &b, size_t at)
{
    if (at + 4 > b.size()) return 0;
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

std::string tag(const std::string &b, size_t at) { return at + 4 <= b.size() ? b.substr(at, 4) : std::string(); }

bool fail(AviInfo *info, const std::string &why)
{
    if (info->error.empty()) info->error = why;
    return false;
}

// The 'hdrl' list: 'avih', then one 'strl' per stream.
bool parse_hdrl(const std::string &b, size_t at, size_t end, AviInfo *info)
{
    if (tag(b, at) != "avih" || u32(b, at + 4) != 56) return fail(info, "no 56-byte avih");
    const size_t h = at + 8;
    info->us_per_frame = u32(b, h);
    info->flags = u32(b, h + 12);
    info->total_frames = u32(b, h + 16);
    const uint32_t streams = u32(b, h + 24);
    info->width = u32(b, h + 32);
    info->height = u32(b, h + 36);
    for (at = h + 56; at < end;) {
        const uint32_t size = u32(b, at + 4);
        if (tag(b, at) != "LIST" || tag(b, at + 8) != "strl" || at + 8 + size > end) return fail(info, "bad strl");
        AviStreamInfo s;
        size_t p = at + 12;
        if (tag(b, p) != "strh" || u32(b, p + 4) != 56) return fail(info, "no 56-byte strh");
        s.type = tag(b, p + 8);
        s.handler = tag(b, p + 12);
        s.scale = u32(b, p + 28);
        s.rate = u32(b, p + 32);
        s.length = u32(b, p + 40);
        s.sample_size = u32(b, p + 52);
        p += 8 + 56;
        if (tag(b, p) != "strf" || p + 8 + u32(b, p + 4) != at + 8 + size) return fail(info, "strf does not end its strl");
        s.format = b.substr(p + 8, u32(b, p + 4));
        info->streams.push_back(s);
        at += 8 + size + (size & 1);
    }
    if (at != end) return fail(info, "hdrl size does not add up");
    if (info->streams.size() != streams) return fail(info, "avih stream count differs from the strl lists");
    return true;
}

// Chunk tag "NNxx" of a declared stream with the right kind.
bool declared(const AviInfo &info, const std::string &t)
{
    if (t.size() != 4 || t[0] != '0' || t[1] < '0' || t[1] > '9') return false;
    size_t n = static_cast<size_t>(t[1] - '0');
    if (n >= info.streams.size()) return false;
    const std::string kind = t.substr(2);
    return info.streams[n].type == "vids" ? kind == "dc" || kind == "db" : kind == "wb";
}
} // namespace

AviInfo parse_avi(const std::string &b)
{
    AviInfo info;
    if (tag(b, 0) != "RIFF" || tag(b, 8) != "AVI ") return fail(&info, "not RIFF AVI"), info;
    info.riff_size = u32(b, 4);
    info.streaming = info.riff_size == 0;
    if (!info.streaming && info.riff_size + 8 != b.size()) return fail(&info, "RIFF size is not the file size"), info;
    const uint32_t hdrl_size = u32(b, 16);
    if (tag(b, 12) != "LIST" || tag(b, 20) != "hdrl" || 20 + hdrl_size > b.size()) return fail(&info, "no hdrl"), info;
    if (!parse_hdrl(b, 24, 20 + hdrl_size, &info)) return info;

    size_t at = 20 + hdrl_size + (hdrl_size & 1);
    if (tag(b, at) != "LIST" || tag(b, at + 8) != "movi") return fail(&info, "no movi after hdrl"), info;
    info.movi_size = u32(b, at + 4);
    if (info.streaming != (info.movi_size == 0)) return fail(&info, "RIFF and movi sizes disagree on the form"), info;
    const size_t movi_tag = at + 8;
    size_t p = movi_tag + 4;
    for (;;) {
        if (!info.streaming && p == movi_tag + info.movi_size) break;
        if (p + 8 > b.size()) {
            if (info.streaming && p == b.size()) break;
            return fail(&info, "chunk cut short"), info;
        }
        const std::string t = tag(b, p);
        if (info.streaming && t == "idx1") break;
        if (!declared(info, t)) return fail(&info, "chunk " + t + " of no declared stream"), info;
        const uint32_t size = u32(b, p + 4);
        if (p + 8 + size + (size & 1) > b.size()) return fail(&info, "chunk runs past the end"), info;
        if ((size & 1) && b[p + 8 + size] != '\0') return fail(&info, "odd chunk without its pad byte"), info;
        info.chunks.push_back({t, p, b.substr(p + 8, size)});
        p += 8 + size + (size & 1);
    }
    if (p == b.size()) return info;
    if (tag(b, p) != "idx1") return fail(&info, "something else than idx1 after movi"), info;
    const uint32_t isize = u32(b, p + 4);
    if (isize % 16 || p + 8 + isize != b.size()) return fail(&info, "idx1 does not end the file"), info;
    info.has_index = true;
    for (size_t e = p + 8; e < b.size(); e += 16) info.index.push_back({tag(b, e), u32(b, e + 4), u32(b, e + 8), u32(b, e + 12)});
    if (info.index.size() != info.chunks.size()) return fail(&info, "index entries differ from the chunks"), info;
    for (size_t i = 0; i < info.index.size(); i++) {
        const AviIndexEntry &e = info.index[i];
        const AviChunkInfo &c = info.chunks[i];
        if (e.tag != c.tag || movi_tag + e.offset != c.offset || e.size != c.data.size())
            return fail(&info, "index entry " + std::to_string(i) + " does not name its chunk"), info;
    }
    return info;
}

ProbeResult ffprobe_file(const std::string &path)
{
    ProbeResult r;
    ProcResult p = run_program({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                                "stream=codec_type,codec_name,width,height,nb_read_packets", "-of", "json", path},
                               {}, "");
    if (p.status != 0) {
        r.error = "ffprobe: status " + std::to_string(p.status) + ": " + p.err;
        return r;
    }
    json_object *doc = json_tokener_parse(p.out.c_str());
    json_object *streams = nullptr;
    if (!doc || !json_object_object_get_ex(doc, "streams", &streams) || !json_object_is_type(streams, json_type_array)) {
        r.error = "ffprobe: no streams in " + p.out;
        if (doc) json_object_put(doc);
        return r;
    }
    for (size_t i = 0; i < json_object_array_length(streams); i++) {
        json_object *s = json_object_array_get_idx(streams, i), *v = nullptr;
        ProbeStream ps;
        if (json_object_object_get_ex(s, "codec_type", &v)) ps.codec_type = json_object_get_string(v);
        if (json_object_object_get_ex(s, "codec_name", &v)) ps.codec_name = json_object_get_string(v);
        if (json_object_object_get_ex(s, "width", &v)) ps.width = json_object_get_int(v);
        if (json_object_object_get_ex(s, "height", &v)) ps.height = json_object_get_int(v);
        if (json_object_object_get_ex(s, "nb_read_packets", &v)) ps.read_packets = atol(json_object_get_string(v));
        r.streams.push_back(ps);
    }
    json_object_put(doc);
    r.ok = p.err.empty();
    if (!r.ok) r.error = p.err;
    return r;
}

bool ffmpeg_decodes(const std::string &path, std::string *errors)
{
    ProcResult p = run_program({"ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"}, {}, "");
    *errors = p.err;
    return p.status == 0 && p.err.empty();
}
