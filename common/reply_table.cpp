#include "common/reply_table.h"

#include <cstdint>
#include <cstring>

#include "common/ipc.h"
#include "common/web_utils.h"

void ipc_dispatch_reply(const IpcReplyRoute *table, size_t size, const char *source, const void *header,
                        const void *payload)
{
    if (!table || g_callback_done != 0) return;
    const int code = ipc_reply_code(header);
    for (size_t i = 0; i < size; i++) {
        const IpcReplyRoute &route = table[i];
        if (route.code != code) continue;
        IpcReply reply{static_cast<const unsigned char *>(payload),
                       payload ? static_cast<size_t>(ipc_reply_length(header)) : 0,
                       ipc_reply_count(header, payload, route.record_size), &route};
        if (reply.count == 0 && route.short_reply != SHORT_PASS) {
            cgi_log(source, __LINE__, __func__, "reply %d: %zu bytes, short of one record of %zu", code,
                    reply.length, route.record_size);
            if (route.short_reply == SHORT_WAIT) return;
            cgi_error_to_webserver(route.short_reply);
            g_callback_done = 2;
            return;
        }
        route.answer(reply);
        return;
    }
}

int ipc_reply_int(const IpcReply &reply, int dflt)
{
    if (reply.count < 1 || !reply.payload || reply.length < sizeof(int32_t)) return dflt;
    int32_t v;
    memcpy(&v, reply.payload, sizeof v);
    return v;
}
