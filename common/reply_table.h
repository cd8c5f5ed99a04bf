// Reply dispatch by table: a module's reply callback looks the reply code
// up in its table of reply code -> record size -> answer, and hands the
// answer the payload with its number of whole records.
//
//   const IpcReplyRoute kReplies[] = {
//       {8433, sizeof(DiskInfoRecord), on_disk_list_cb, SHORT_PASS},
//       {8434, 4, on_format_cb, SHORT_PASS},
//       {8218, sizeof(RecordStreamReply), on_streams_cb, SHORT_WAIT},
//   };
//   void on_x_ipc_callback(int, const void *h, const void *p) { IPC_DISPATCH(kReplies, "OnX", h, p); }
#pragma once
#include <cstddef>

// What one reply holds: `length` payload bytes (payload null when 0) and
// `count` whole records of the entry's size. `route` is the table entry.
struct IpcReplyRoute;
struct IpcReply {
    const unsigned char *payload;
    size_t length;
    size_t count;
    const IpcReplyRoute *route;
};
// Writes the HTTP reply and sets g_callback_done (or, for an answer the
// handler writes itself, only sets the flag).
typedef void (*IpcReplyFn)(const IpcReply &reply);

// A reply without one whole record:
enum {
    SHORT_WAIT = -2, // is no answer: the request runs into its time-out reply
    SHORT_PASS = -1, // goes to the answer with count 0 (list replies, stated answers)
    // REPLY_TEXT / REPLY_JSON: the route's error reply of that kind, flag 2
};

struct IpcReplyRoute {
    int code;           // reply code (request code + 5000)
    size_t record_size; // bytes of one record (> 0)
    IpcReplyFn answer;
    int short_reply;    // SHORT_WAIT, SHORT_PASS, REPLY_TEXT or REPLY_JSON
    const char *key;    // for answers shared by several codes (e.g. the JSON key)
};

// Looks the reply code of `header` up; codes not in the table (the replies
// to notices among them) are ignored, and so is any reply after the request
// was answered (g_callback_done non-zero). `source` names the debug log
// source of short replies.
void ipc_dispatch_reply(const IpcReplyRoute *table, size_t size, const char *source, const void *header,
                        const void *payload);
#define IPC_DISPATCH(table, source, header, payload)                                            \
    ipc_dispatch_reply((table), sizeof(table) / sizeof((table)[0]), (source), (header), (payload))

// The first int32 of a reply that holds one (count >= 1), else `dflt`.
int ipc_reply_int(const IpcReply &reply, int dflt = 0);
