// The camera relay's one road from request to answer, and the pieces the
// relay routes share.
#include "modules/camera/relay.h"

#include <atomic>
#include <memory>

#include "common/ipc.h"
#include "common/records/camera.h"
#include "common/settings.h"
#include "modules/camera/camera.h"

namespace {
// Set before a waited request goes out, read by its answer on the socket's
// thread.
std::atomic<int> g_relay_channel{-1};

// True when every field of the row lies within its payload.
bool fields_fit(const CameraRelay &row)
{
    for (size_t i = 0; i < row.field_count; i++)
        if (row.fields[i].offset + row.fields[i].size > static_cast<size_t>(row.length)) return false;
    return true;
}

int answer(int kind)
{
    if (kind != NO_REPLY) cgi_error_to_webserver(kind);
    return 0;
}
} // namespace

int camera_relay_channel() { return g_relay_channel.load(); }

int camera_relay_run(const CameraRelay &row, char *request)
{
    JsonDoc doc(request);
    if (!doc || !json_object_is_type(doc.get(), json_type_object)) return answer(row.unparsable);

    RelayInput in{doc.get(), -1, 0};
    if (row.channel_key) {
        in.channel = jv_channel(relay_member(doc.get(), row.channel_key, JK_INT));
        if (in.channel < 0) return answer(row.bad_input);
    }

    if (row.length <= 0 || !fields_fit(row)) {
        cgi_log("dispatchreq", __LINE__, "", "relay %d: fields beyond its %d-byte payload", row.code, row.length);
        return answer(row.timeout);
    }
    const size_t length = static_cast<size_t>(row.length);
    std::unique_ptr<unsigned char[]> payload(new unsigned char[length]());
    if (row.fields) record_fields_take(doc.get(), payload.get(), row.fields, row.field_count);
    if (row.channel_key && row.channel_at >= 0 && row.channel_at + sizeof(int32_t) <= length) {
        int32_t ch = in.channel;
        memcpy(payload.get() + row.channel_at, &ch, sizeof ch);
    }
    if (row.fill && !row.fill(in, payload.get())) return answer(row.bad_input);

    switch (row.mode) {
    case RELAY_WAIT:
        g_relay_channel = in.channel;
        if (cgi_request_ipc(on_camera_ipc_callback, row.code, row.length, payload.get(), row.timeout) != 0 &&
            row.log_sub)
            cgi_send_oplog(row.log_sub, row.log_param);
        break;
    case RELAY_NOTICE:
        cgi_writeback_webserver(REPLY_TEXT, "OK");
        cgi_notify_ipc(row.code, row.length, payload.get());
        break;
    case RELAY_EACH:
        cgi_writeback_webserver(REPLY_TEXT, "OK");
        for (int ch = 0; ch < MAX_CAMERAS; ch++) {
            if (!(in.each & (1ULL << ch))) continue;
            int32_t word = ch;
            memcpy(payload.get(), &word, sizeof word);
            cgi_notify_ipc(row.code, row.length, payload.get());
        }
        break;
    }
    return 0;
}

// ---- Pieces the fills share ---------------------------------------------------------------------

json_object *relay_member(json_object *obj, const char *key, JsonKind kind)
{
    json_object *v = nullptr;
    if (!obj || !json_object_object_get_ex(obj, key, &v) || !jv_is(v, kind)) return nullptr;
    return v;
}

int relay_channel_list(json_object *array, size_t limit, int32_t (&list)[64])
{
    for (int32_t &slot : list) slot = -1;
    size_t n = jv_len(array);
    if (n > limit) n = limit;
    if (n > MAX_CAMERAS) n = MAX_CAMERAS;
    int count = 0;
    for (size_t i = 0; i < n; i++) {
        int ch = jv_channel(jv_at(array, i));
        if (ch >= 0) list[count++] = ch;
    }
    return count;
}

void relay_channel_mask(const char *text, int channel, uint32_t *lo, uint32_t *hi)
{
    uint64_t mask = get_channel_mask(text);
    if (valid_channel(channel)) mask |= 1ULL << channel;
    *lo = static_cast<uint32_t>(mask);
    *hi = static_cast<uint32_t>(mask >> 32);
}

// ---- Answers the reply table shares ---------------------------------------------------------------

void relay_answer_json(json_object *obj)
{
    camera_reply_json(obj);
    g_callback_done = 1;
}

void on_relay_status_json_cb(const IpcReply &reply)
{
    json_object *o = json_object_new_object();
    json_add_int(o, reply.route->key ? reply.route->key : "res", ipc_reply_int(reply, -1));
    relay_answer_json(o);
}

void on_relay_status_text_cb(const IpcReply &reply)
{
    const bool ok = ipc_reply_int(reply, -1) == 0;
    cgi_writeback_webserver(REPLY_TEXT, ok ? "OK" : "ERROR");
    g_callback_done = ok ? 2 : 1;
}

void relay_answer_fields(const IpcReply &reply, size_t size, const RecordField *fields, size_t n)
{
    if (!reply.payload || reply.length < size) {
        // The table's record size keeps shorter replies away; never read past one.
        cgi_error_to_webserver(REPLY_JSON);
        g_callback_done = 2;
        return;
    }
    json_object *o = json_object_new_object();
    record_fields_to_json(o, reply.payload, fields, n);
    relay_answer_json(o);
}
