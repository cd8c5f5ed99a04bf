// Reply dispatcher of the video module. Every waiting daemon request of the
// video and event pages is sent with on_video_ipc_callback; the reply code
// selects the entry of the module's reply table (video_ipc.cpp), which names
// the record size of the reply, the error reply of its route and the
// function that answers from the records.
#pragma once
#include <cstddef>

// Answers from `count` (>= 1) whole records of the reply; read them with
// ipc_reply_record(header, payload, i, &record). Writes the reply and sets
// g_callback_done.
typedef void (*VideoReplyFn)(const void *header, const void *payload, size_t count);

struct VideoReplyEntry {
    int reply_code;      // request code + 5000
    size_t record_size;  // bytes of one reply record
    int error_kind;      // reply kind of the route's error reply (REPLY_TEXT/REPLY_JSON)
    VideoReplyFn answer;
};

// Looks the reply code up; nullptr when the module does not handle it.
const VideoReplyEntry *video_reply_entry(int reply_code);

// The module's reply callback. Codes it does not handle (the replies to
// fire-and-forget notices among them) are ignored. A reply too short for
// one record answers the route's error reply and sets g_callback_done to 2.
void on_video_ipc_callback(int unused, const void *header, const void *payload);
