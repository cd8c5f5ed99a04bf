#include "modules/video/video_ipc.h"

#include "common/ipc.h"
#include "common/records/motion.h"
#include "common/web_utils.h"
#include "modules/video/motion.h"

namespace {
// Reply code -> answer. One line per waiting request of the module.
const VideoReplyEntry kVideoReplies[] = {
    {REPLY_MOTION_MAP, sizeof(MotionMapRecord), REPLY_TEXT, on_get_motion_map_cb},
};
} // namespace

const VideoReplyEntry *video_reply_entry(int reply_code)
{
    for (const VideoReplyEntry &e : kVideoReplies)
        if (e.reply_code == reply_code) return &e;
    return nullptr;
}

void on_video_ipc_callback(int, const void *header, const void *payload)
{
    const VideoReplyEntry *entry = video_reply_entry(ipc_reply_code(header));
    if (!entry) return;
    // One reply body per request: a further reply (the daemon may send
    // several) after the request was answered writes nothing.
    if (g_callback_done != 0) return;
    size_t count = ipc_reply_count(header, payload, entry->record_size);
    if (count == 0) {
        cgi_log("OnVideo", __LINE__, "", "reply %d: %d bytes, short of one record",
                entry->reply_code, ipc_reply_length(header));
        cgi_error_to_webserver(entry->error_kind);
        g_callback_done = 2;
        return;
    }
    entry->answer(header, payload, count);
}
