// The --script file: a JSON object mapping request codes (as text) to how to
// answer them:
//   {"3201": {"payload_hex": "...", "delay_ms": 100},
//    "3434": {"silent": true},
//    "1162": {"replies": [{"payload_hex": "..."}, {"payload_hex": "...", "delay_ms": 20}]}}
// An entry without "payload_hex" and "replies" answers as the registry does,
// after its delay.
#include "sim.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <json-c/json.h>

namespace {
bool parse_code(const char *text, int *code)
{
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || *end || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *code = static_cast<int>(v);
    return true;
}

// Reads an optional non-negative integer member; false when it has another type.
bool read_delay(json_object *obj, int *delay)
{
    json_object *v = nullptr;
    if (!json_object_object_get_ex(obj, "delay_ms", &v)) return true;
    if (!json_object_is_type(v, json_type_int)) return false;
    int64_t d = json_object_get_int64(v);
    if (d < 0 || d > 3600 * 1000) return false;
    *delay = static_cast<int>(d);
    return true;
}

// Reads an optional "payload_hex"; false when it is not a hex text.
bool read_payload(json_object *obj, bool *has, std::string *payload)
{
    json_object *v = nullptr;
    if (!json_object_object_get_ex(obj, "payload_hex", &v)) return true;
    if (!json_object_is_type(v, json_type_string)) return false;
    *has = true;
    return qx_hex_decode(json_object_get_string(v), payload);
}

bool parse_entry(json_object *obj, SimScriptEntry *e, std::string *error)
{
    if (!json_object_is_type(obj, json_type_object)) return *error = "entry is not an object", false;
    json_object *v = nullptr;
    if (json_object_object_get_ex(obj, "silent", &v)) {
        if (!json_object_is_type(v, json_type_boolean)) return *error = "\"silent\" is not a boolean", false;
        e->silent = json_object_get_boolean(v);
    }
    if (!read_delay(obj, &e->delay_ms)) return *error = "bad \"delay_ms\"", false;
    if (!read_payload(obj, &e->has_payload, &e->payload)) return *error = "bad \"payload_hex\"", false;
    if (json_object_object_get_ex(obj, "replies", &v)) {
        if (!json_object_is_type(v, json_type_array)) return *error = "\"replies\" is not an array", false;
        e->has_replies = true;
        size_t n = json_object_array_length(v);
        for (size_t i = 0; i < n; i++) {
            json_object *r = json_object_array_get_idx(v, i);
            SimReply reply;
            bool has = false;
            if (!json_object_is_type(r, json_type_object) || !read_delay(r, &reply.delay_ms) ||
                !read_payload(r, &has, &reply.payload))
                return *error = "bad element of \"replies\"", false;
            e->replies.push_back(std::move(reply));
        }
    }
    return true;
}
} // namespace

bool sim_parse_script(const std::string &text, SimScript *script, std::string *error)
{
    json_tokener *tok = json_tokener_new();
    json_object *root = json_tokener_parse_ex(tok, text.c_str(), static_cast<int>(text.size()));
    bool complete = json_tokener_get_error(tok) == json_tokener_success;
    // Only white space may follow the object.
    for (size_t i = json_tokener_get_parse_end(tok); complete && i < text.size(); i++)
        complete = isspace(static_cast<unsigned char>(text[i])) != 0;
    json_tokener_free(tok);
    if (!root || !complete) {
        if (root) json_object_put(root);
        *error = "not a JSON text";
        return false;
    }
    bool ok = json_object_is_type(root, json_type_object);
    if (!ok) *error = "not a JSON object";
    SimScript out;
    if (ok) {
        json_object_object_foreach(root, key, val)
        {
            int code = 0;
            if (!parse_code(key, &code)) {
                *error = std::string("key \"") + key + "\" is not a request code";
                ok = false;
                break;
            }
            if (!parse_entry(val, &out[code], error)) {
                *error = std::string("code ") + key + ": " + *error;
                ok = false;
                break;
            }
        }
    }
    json_object_put(root);
    if (ok) *script = std::move(out);
    return ok;
}

SimReplyList sim_answer(const SimScript &script, const SimRequest &req)
{
    auto it = script.find(req.code);
    if (it == script.end()) return sim_generate(req);
    const SimScriptEntry &e = it->second;
    if (e.silent) return {};
    SimReplyList out;
    if (e.has_replies) out = e.replies;
    else if (e.has_payload) out.push_back({e.payload, 0, 0});
    else out = sim_generate(req);
    if (!out.empty()) out.front().delay_ms += e.delay_ms;
    return out;
}
