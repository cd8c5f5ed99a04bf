// The camera relay: most camera settings live in the camera and are read or
// changed through the daemon, every route in the same shape:
//
//   parse the request -> check its channel -> fill the daemon request ->
//   send it and wait (the reply table turns the reply into the answer), or
//   send it as a notice and answer "OK".
//
// A route is one row (a CameraRelay) and its handler one line:
//
//   CAMERA_RELAY(on_cgi_get_watermark,
//                camera_relay(IPC_CAM_WATERMARK_GET).channel("chnid", REPLY_JSON).unparsable_reply(REPLY_JSON))
//
// The payload starts zeroed; the row's fields are taken from the request
// (a missing integer reads as 0, a missing text as ""), then the channel word
// is set, then the row's fill function completes or refuses the payload.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <json-c/json.h>

#include "common/record_fields.h"
#include "common/reply_table.h"
#include "common/web_utils.h"

enum { NO_REPLY = -1 };

enum RelayMode {
    RELAY_WAIT,   // wait for the daemon's reply; the reply table answers
    RELAY_NOTICE, // send without waiting and answer "OK"
    RELAY_EACH,   // answer "OK", then send the payload once per channel of
                  // RelayInput::each, its channel word (offset 0) set each time
};

// What a fill function works with.
struct RelayInput {
    json_object *obj; // the request, a JSON object
    int channel;      // the row's channel (0..63), -1 for rows without one
    uint64_t each;    // RELAY_EACH: the channels the fill sends the payload to
};
// Completes the payload (the row's length in bytes); false refuses the
// request, which then gets the row's bad-input answer.
typedef bool (*RelayFill)(RelayInput &in, void *payload);

// A typed fill: F works on a copy of the payload as the record T.
template <class T, bool (*F)(RelayInput &, T &)> bool relay_fill_as(RelayInput &in, void *payload)
{
    T rec;
    memcpy(&rec, payload, sizeof rec);
    if (!F(in, rec)) return false;
    memcpy(payload, &rec, sizeof rec);
    return true;
}

struct CameraRelay {
    int code = 0;                   // daemon request
    int length = 0;                 // bytes sent
    const char *channel_key = nullptr; // the request's channel key (checked 0..63)
    int channel_at = 0;             // offset of the channel word in the payload
    int bad_input = NO_REPLY;       // answer to a bad channel or a refused request
    int unparsable = NO_REPLY;      // answer to a text that is not a JSON object
    const RecordField *fields = nullptr; // request keys copied into the payload
    size_t field_count = 0;
    RelayFill fill = nullptr;
    RelayMode mode = RELAY_WAIT;
    int timeout = REPLY_JSON;       // error reply when no answer came in time
    int log_sub = 0, log_param = 0; // operation log once the daemon answered

    // Builders: each returns the row with one thing set.
    // The channel key, the answer when it is missing or out of range (or the
    // fill refuses the request) and where the channel word goes.
    CameraRelay channel(const char *key, int bad, int at = 0) const
    {
        CameraRelay r = *this;
        r.channel_key = key;
        r.bad_input = bad;
        r.channel_at = at;
        return r;
    }
    CameraRelay unparsable_reply(int kind) const { return set(&CameraRelay::unparsable, kind); }
    CameraRelay timeout_reply(int kind) const { return set(&CameraRelay::timeout, kind); }
    CameraRelay notice(RelayMode m = RELAY_NOTICE) const { return set(&CameraRelay::mode, m); }
    CameraRelay with(RelayFill f) const { return set(&CameraRelay::fill, f); }
    template <size_t N> CameraRelay keys(const RecordField (&f)[N]) const
    {
        return set(&CameraRelay::fields, static_cast<const RecordField *>(f)).set(&CameraRelay::field_count, N);
    }
    template <class T, bool (*F)(RelayInput &, T &)> CameraRelay with() const
    {
        static_assert(sizeof(T) >= 4, "records hold at least a channel word");
        const int size = static_cast<int>(sizeof(T));
        return with(relay_fill_as<T, F>).set(&CameraRelay::length, length < size ? size : length);
    }
    CameraRelay log(int sub, int param) const
    {
        return set(&CameraRelay::log_sub, sub).set(&CameraRelay::log_param, param);
    }

private:
    template <class M, class V> CameraRelay set(M CameraRelay::*member, V value) const
    {
        CameraRelay r = *this;
        r.*member = value;
        return r;
    }
};

// A row sending `code`; the payload is `length` bytes (a channel word by
// default; a typed fill raises it to its record's size).
inline CameraRelay camera_relay(int code, int length = sizeof(int32_t))
{
    CameraRelay r;
    r.code = code;
    r.length = length;
    return r;
}

// Runs one route of the relay; returns 0.
int camera_relay_run(const CameraRelay &row, char *request);

// Defines a relay route's handler with its row.
#define CAMERA_RELAY(handler, ...)                                                                 \
    int handler(char *request)                                                                     \
    {                                                                                              \
        static const CameraRelay kRow = __VA_ARGS__;                                               \
        return camera_relay_run(kRow, request);                                                    \
    }

// The channel of the request being relayed (for answers that report it).
int camera_relay_channel();

// ---- Pieces the fills share ---------------------------------------------------------------------
// Channel ids of a JSON array into a 64-slot list: the elements that are
// channels 0..63, in order, at most `limit` (and 64) elements read; the
// other slots -1. Returns the number of ids written.
int relay_channel_list(json_object *array, size_t limit, int32_t (&list)[64]);
// The request's key as an object's value, nullptr when missing or of
// another type.
json_object *relay_member(json_object *obj, const char *key, JsonKind kind);
// 64-bit channel mask from a mask text ('1' per channel, at most 64 read)
// with the own channel's bit set, as two words, low first.
void relay_channel_mask(const char *text, int channel, uint32_t *lo, uint32_t *hi);

// ---- Answers the reply table shares ---------------------------------------------------------------
// {"<route key>": the reply's status word}.
void on_relay_status_json_cb(const IpcReply &reply);
// "OK" for status 0 (flag 2), else "ERROR" (flag 1).
void on_relay_status_text_cb(const IpcReply &reply);
// The reply's first record (`size` bytes) as a JSON object of the fields.
void relay_answer_fields(const IpcReply &reply, size_t size, const RecordField *fields, size_t n);
template <class T, size_t N> void relay_answer_fields(const IpcReply &reply, const RecordField (&f)[N])
{
    relay_answer_fields(reply, sizeof(T), f, N);
}
// Writes obj (kind 1), releases it and marks the request answered.
void relay_answer_json(json_object *obj);
