// Replies of the playback module: a day of recordings per channel for the
// search, playback sessions, live streams, image parameters, stream
// addresses, and the download, which streams the clip of clip_jpeg.h (MJPEG
// video with G.711 sound) for the requested time, at most a minute of it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "clip_jpeg.h"
#include "common/records/backup.h"
#include "common/records/playback.h"
#include "common/web_utils.h"
#include "sim.h"

namespace {
enum { SIM_SEARCH_SID = 7, SIM_SYNC_SID = 9, SIM_RTSP_PORT = 554, SIM_HTTP_PORT = 80 };
enum { SIM_CHUNK = 8192, SIM_MAX_SECONDS = 60, SIM_ADDR_CHANNELS = 4 };

template <class T> std::string bytes_of(const T &rec)
{
    return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}

template <class T> T request_as(const SimRequest &req)
{
    T rec{};
    memcpy(&rec, req.payload.data(), std::min(req.payload.size(), sizeof rec));
    return rec;
}

int32_t request_int(const SimRequest &req) { return request_as<int32_t>(req); }

// ---- Search -------------------------------------------------------------------------

// The day's recordings of the searched channel: the date of the search's
// start text ("YYYY-MM-DD ..."), or a fixed day.
std::string search(const SimRequest &req)
{
    PbSearchRecord rec = request_as<PbSearchRecord>(req);
    int channel = 0;
    for (int n = 0; n < PB_MAX_CHANNELS; n++)
        if (rec.channels[n] == '1') channel = n;
    char day[11] = "2024-01-05";
    int y, m, d;
    if (sscanf(rec.start_time, "%4d-%2d-%2d", &y, &m, &d) == 3) snprintf(day, sizeof day, "%04d-%02d-%02d", y, m, d);
    struct Section {
        const char *start, *end;
        int type, lock;
    } const sections[] = {
        {"00:00:00", "06:00:00", 1, 0},
        {"08:15:00", "08:20:00", 2, 1},
        {"12:00:00", "23:59:59", 1, 0},
    };
    std::string out;
    for (const Section &s : sections) {
        PbSearchResult r{};
        r.cam_id = channel;
        r.sid = SIM_SEARCH_SID;
        r.lock = s.lock;
        r.record_type = s.type;
        snprintf(r.start_time, sizeof r.start_time, "%s %s", day, s.start);
        snprintf(r.end_time, sizeof r.end_time, "%s %s", day, s.end);
        out += bytes_of(r);
    }
    return out;
}

// Every recording fits on the first page.
std::string search_page(const SimRequest &req)
{
    PbSearchPage page = request_as<PbSearchPage>(req);
    if (page.page > 1) return qx_le32_bytes(0);
    PbSearchRecord first{};
    first.channels[0] = '1';
    return search(SimRequest{IPC_PB_SEARCH, req.seq, bytes_of(first)});
}

// ---- Sessions ------------------------------------------------------------------------

std::string stream_info(const SimRequest &req)
{
    PbStreamInfo info{};
    info.session_id = request_int(req);
    info.port = SIM_RTSP_PORT;
    info.external_port = 10554;
    info.external_http_port = 10080;
    info.ddns_port = 20554;
    info.ddns_http_port = 20080;
    snprintf(info.source_path, sizeof info.source_path, "/playback/session%d", info.session_id);
    return bytes_of(info);
}

std::string sync_start(const SimRequest &req)
{
    PbSyncStart start = request_as<PbSyncStart>(req);
    PbSyncStarted r{};
    r.sid = SIM_SYNC_SID;
    time_t t = start.play_time;
    struct tm tm;
    localtime_r(&t, &tm);
    strftime(r.play_time, sizeof r.play_time, "%Y-%m-%d %H:%M:%S", &tm);
    return bytes_of(r);
}

std::string play_time(const SimRequest &) { return qx_le32_bytes(static_cast<int32_t>(time(nullptr))); }

std::string transcode(const SimRequest &req)
{
    PbTranscodeGet ids = request_as<PbTranscodeGet>(req);
    PbTranscodeState st{ids.ch, ids.sid, 1};
    return bytes_of(st);
}

// ---- Live view and image --------------------------------------------------------------

std::string live(const SimRequest &req)
{
    LiveRecord rec = request_as<LiveRecord>(req);
    LiveReply r{};
    r.channel = rec.channel;
    r.port = SIM_RTSP_PORT;
    r.direct = 0;
    snprintf(r.rtsp_addr, sizeof r.rtsp_addr, "rtsp://192.168.1.100:%d/ch%02d/%d", SIM_RTSP_PORT, rec.channel + 1,
             rec.stream_type);
    snprintf(r.res_path, sizeof r.res_path, "/ch%02d/%d", rec.channel + 1, rec.stream_type);
    return bytes_of(r);
}

std::string image(const SimRequest &req)
{
    ImageReply r{};
    r.image = ImageRecord{request_int(req), 128, 128, 128, 128, 128, 0};
    return bytes_of(r);
}

std::string rtsp_addresses(const SimRequest &)
{
    std::string out;
    for (int ch = 0; ch < SIM_ADDR_CHANNELS; ch++) {
        RtspAddrRecord r{};
        r.channel = ch;
        snprintf(r.ipc_main, sizeof r.ipc_main, "rtsp://192.168.1.%d:554/stream1", 101 + ch);
        snprintf(r.ipc_sub, sizeof r.ipc_sub, "rtsp://192.168.1.%d:554/stream2", 101 + ch);
        RtspNvrStream *sides[] = {&r.nvr_main, &r.nvr_sub};
        for (int s = 0; s < 2; s++) {
            RtspNvrStream &n = *sides[s];
            COPY_TEXT(n.username, "admin");
            n.port = SIM_RTSP_PORT;
            n.external_port = 10554;
            n.ddns_port = 20554;
            snprintf(n.res_path, sizeof n.res_path, "/ch%02d/%d", ch + 1, s);
            n.external_http_port = 10080;
            n.ddns_http_port = 20080;
        }
        out += bytes_of(r);
    }
    return out;
}

std::string extern_port(const SimRequest &) { return bytes_of(ExternPortReply{10080, 20080}); }

// ---- Download --------------------------------------------------------------------------

// Seconds between the request's two times ("%d-%d-%d %d:%d:%d"), within
// 1 .. SIM_MAX_SECONDS.
int download_seconds(const BackupRequest &rec)
{
    struct tm a = {}, b = {};
    auto parse = [](const char *text, struct tm *tm) {
        return sscanf(text, "%d-%d-%d %d:%d:%d", &tm->tm_year, &tm->tm_mon, &tm->tm_mday, &tm->tm_hour,
                      &tm->tm_min, &tm->tm_sec) == 6;
    };
    char start[33] = {}, end[33] = {};
    memcpy(start, rec.start_time, sizeof rec.start_time);
    memcpy(end, rec.end_time, sizeof rec.end_time);
    if (!parse(start, &a) || !parse(end, &b)) return 1;
    double span = difftime(timegm(&b), timegm(&a));
    return span < 1 ? 1 : span > SIM_MAX_SECONDS ? SIM_MAX_SECONDS : static_cast<int>(span);
}

// The chunk replies of one frame.
void add_frame(SimReplyList *out, FrameHeader h, const std::string &data)
{
    h.frame_length = static_cast<int32_t>(data.size());
    size_t pos = 0;
    do {
        const size_t n = std::min(data.size() - pos, size_t{SIM_CHUNK});
        std::string reply(BACKUP_CHUNK_HEAD, '\0');
        memcpy(&reply[0], &h, sizeof h);
        qx_put_le32(&reply[0], offsetof(BackupChunk, position), static_cast<uint32_t>(pos));
        qx_put_le32(&reply[0], offsetof(BackupChunk, length), static_cast<uint32_t>(n));
        reply.append(data, pos, n);
        out->push_back({reply, 0, 0});
        pos += n;
    } while (pos < data.size());
}

SimReplyList download(const SimRequest &req)
{
    BackupRequest rec = request_as<BackupRequest>(req);
    const int frames = download_seconds(rec) * CLIP_FPS;
    SimReplyList out;
    FrameHeader h{};
    h.video_codec = FRAME_CODEC_MJPEG;
    h.channel = rec.channel;
    h.width = CLIP_WIDTH;
    h.height = CLIP_HEIGHT;
    h.frame_rate = CLIP_FPS;
    h.audio_codec = FRAME_CODEC_G711U;
    h.audio_rate = CLIP_AUDIO_RATE;
    h.audio_channels = 1;
    for (int n = 0; n < frames; n++) {
        h.timestamp_ms = static_cast<int64_t>(n) * 1000 / CLIP_FPS;
        h.sequence = 2 * n;
        h.frame_type = FRAME_VIDEO_KEY;
        add_frame(&out, h, clip_video_frame(n % CLIP_FRAMES));
        h.sequence = 2 * n + 1;
        h.frame_type = FRAME_AUDIO;
        add_frame(&out, h, clip_audio_frame());
    }
    std::string end(BACKUP_CHUNK_HEAD, '\0');
    qx_put_le32(&end[0], offsetof(BackupChunk, length), static_cast<uint32_t>(BACKUP_CHUNK_END));
    out.push_back({end, 0, 0});
    return out;
}
} // namespace

SIM_REPLY(IPC_PB_SEARCH, search);
SIM_REPLY(IPC_PB_SEARCH_PAGE, search_page);
SIM_REPLY(IPC_PB_STREAM_INFO, stream_info);
SIM_REPLY(IPC_PB_SYNC_START, sync_start);
SIM_REPLY(IPC_PB_PLAY_TIME, play_time);
SIM_REPLY(IPC_PB_TRANSCODE_SET, transcode);
SIM_REPLY(IPC_PB_TRANSCODE_GET, transcode);
SIM_REPLY(IPC_LIVE_START, live);
SIM_REPLY(IPC_IMAGE_GET, image);
SIM_REPLY(IPC_RTSP_ADDR, rtsp_addresses);
SIM_REPLY(IPC_EXTERN_PORT, extern_port);
SIM_REPLIES(IPC_BACKUP_DOWNLOAD, download);
