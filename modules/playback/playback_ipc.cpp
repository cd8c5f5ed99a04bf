// The playback module's reply dispatcher and the helpers its handlers share.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/ipc.h"
#include "common/records/playback.h"
#include "common/web_utils.h"
#include "modules/playback/playback.h"

namespace {
#define REPLY_OF(request) ((request) + 5000)

// Reply code -> answer. One line per reply the module waits for.
const PlaybackReplyEntry kPlaybackReplies[] = {
    {REPLY_OF(IPC_PB_SEARCH), sizeof(PbSearchResult), PB_REPLY_LIST, on_search_result_cb},
    {REPLY_OF(IPC_PB_SEARCH_PAGE), sizeof(PbSearchResult), PB_REPLY_LIST, on_search_result_cb},
    {REPLY_OF(IPC_PB_START), sizeof(int32_t), PB_REPLY_QUIET, on_start_playback_cb},
    {REPLY_OF(IPC_PB_SYNC_START), sizeof(PbSyncStarted), PB_REPLY_QUIET, on_sync_started_cb},
    {IPC_REPLY_PB_SYNC_LEGACY, sizeof(PbSyncStarted), PB_REPLY_QUIET, on_sync_started_cb},
    {REPLY_OF(IPC_PB_STREAM_INFO), sizeof(PbStreamInfo), REPLY_JSON, on_stream_info_cb},
    {REPLY_OF(IPC_PB_PLAY_TIME), sizeof(int32_t), REPLY_JSON, on_play_time_cb},
    {REPLY_OF(IPC_PB_JUMP), sizeof(int32_t), PB_REPLY_QUIET, on_jump_cb},
    {REPLY_OF(IPC_PB_TRANSCODE_SET), sizeof(PbTranscodeState), REPLY_JSON, on_transcode_cb},
    {REPLY_OF(IPC_PB_TRANSCODE_GET), sizeof(PbTranscodeState), REPLY_JSON, on_transcode_cb},
    {REPLY_OF(IPC_LIVE_START), sizeof(LiveReply), REPLY_JSON, on_live_cb},
    {REPLY_OF(IPC_IMAGE_GET), sizeof(ImageReply), REPLY_JSON, on_image_param_cb},
    {REPLY_OF(IPC_PB_BUSY), sizeof(int32_t), REPLY_JSON, on_busy_cb},
    {REPLY_OF(IPC_RTSP_ADDR), sizeof(RtspAddrRecord), PB_REPLY_LIST, on_rtsp_addr_cb},
    {REPLY_OF(IPC_EXTERN_PORT), sizeof(ExternPortReply), REPLY_JSON, on_extern_port_cb},
};
} // namespace

const PlaybackReplyEntry *playback_reply_entry(int reply_code)
{
    for (const PlaybackReplyEntry &e : kPlaybackReplies)
        if (e.reply_code == reply_code) return &e;
    return nullptr;
}

void on_stream_callback(int, const void *header, const void *payload)
{
    const PlaybackReplyEntry *entry = playback_reply_entry(ipc_reply_code(header));
    if (!entry || !payload || g_callback_done != 0) return;
    size_t count = ipc_reply_count(header, payload, entry->record_size);
    if (count == 0 && entry->short_reply != PB_REPLY_LIST) {
        cgi_log("OnVideo", __LINE__, "", "reply %d: %d bytes, short of one record", entry->reply_code,
                ipc_reply_length(header));
        if (entry->short_reply != PB_REPLY_QUIET) cgi_error_to_webserver(entry->short_reply);
        g_callback_done = 2;
        return;
    }
    entry->answer(header, payload, count);
}

bool playback_text_int(const char *text, int *out)
{
    if (!text) return false;
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') end++;
    if (*end) return false;
    *out = static_cast<int>(v);
    return true;
}

bool playback_parse_time(const char *text, const char *format, struct tm *tm, time_t *seconds)
{
    memset(tm, 0, sizeof *tm);
    if (!text) return false;
    const char *end = strptime(text, format, tm);
    if (!end || *end) return false;
    struct tm local = *tm;
    local.tm_isdst = -1;
    time_t t = mktime(&local);
    // A day the month does not have (31 February) is no time either.
    if (t == static_cast<time_t>(-1) || local.tm_mday != tm->tm_mday || local.tm_mon != tm->tm_mon) return false;
    *seconds = t;
    return true;
}

int playback_list_count(json_object *num, std::initializer_list<json_object *> arrays, int capacity)
{
    int64_t n = jv_is(num, JK_INT) ? jv_int64(num) : 0;
    if (n < 1) return 0;
    if (n > capacity) n = capacity;
    for (json_object *a : arrays)
        if (static_cast<int64_t>(jv_len(a)) < n) n = static_cast<int64_t>(jv_len(a));
    return static_cast<int>(n);
}

void playback_int_list(json_object *array, int count, int32_t *out)
{
    for (int i = 0; i < count; i++) {
        json_object *v = jv_at(array, static_cast<size_t>(i));
        out[i] = jv_is(v, JK_INT) ? jv_int(v) : 0;
    }
}
