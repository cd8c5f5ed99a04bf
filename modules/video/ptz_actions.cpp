// PTZ action targets of an event source: the PTZ cameras an event moves and
// how (preset, patrol or pattern). Each event type keeps its own table per
// source (people counting, type 20, a table of its own); entries are kept
// in the order they were added, one per PTZ camera.
#include <cstring>
#include <functional>

#include "common/codecs.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/event_actions.h"

namespace {
const char kDb[] = QXDB_PATH;

enum { PTZ_GO_PRESET = 1, PTZ_RUN_PATROL = 2, PTZ_RUN_PATTERN = 3 };

enum { P_TYPE, P_CHN_ID, P_PTZ_CHANNEL, P_PTZ_TYPE, P_PRESET, P_PATROL, P_PATTERN, P_OLD, P_LIST, P_COUNT };
const JsonPolicy kPolicy[P_COUNT] = {
    {"type", JK_INT},
    {"chn_id", JK_INT},
    {"acto_ptz_channel", JK_INT},
    {"acto_ptz_type", JK_INT},
    {"acto_ptz_preset", JK_INT},
    {"acto_ptz_patrol", JK_INT},
    {"acto_ptz_pattern", JK_INT},
    {"old_chn_id", JK_INT},
    {"ptzChannel", JK_ARRAY},
};
NVRWEB_HANDLER_KEYS(on_set_ptz_params, kPolicy);
NVRWEB_HANDLER_KEYS(on_get_ptz_params, kPolicy);
NVRWEB_HANDLER_KEYS(on_delete_ptz_params, kPolicy);

// A parsed request: the event type and source it names.
struct PtzRequest {
    json_object *tb[P_COUNT];
    int type = -1;
    int source = -1;
};

// Parses the request; false when it is not a JSON object (no reply).
// `source` is -1 unless "chn_id" is a source 0..63, `type` -1 unless the
// event type has a table.
bool parse(const JsonDoc &doc, PtzRequest *r)
{
    if (JSON_PARSE(doc.get(), kPolicy, r->tb) < 0) return false;
    char table[32];
    const int type = jv_int(r->tb[P_TYPE], -1);
    r->type = ptz_action_table_name(type, table) ? type : -1;
    r->source = jv_channel(r->tb[P_CHN_ID]);
    return true;
}

// The entry a request describes: the PTZ camera, the movement and the number
// that belongs to it (none for other movements).
PtzActionEntry request_entry(const PtzRequest &r)
{
    PtzActionEntry e{};
    e.channel = r.source;
    e.acto_ptz_channel = jv_int(r.tb[P_PTZ_CHANNEL]);
    e.acto_ptz_type = jv_int(r.tb[P_PTZ_TYPE]);
    if (e.acto_ptz_type == PTZ_GO_PRESET) e.acto_ptz_preset = jv_int(r.tb[P_PRESET]);
    else if (e.acto_ptz_type == PTZ_RUN_PATROL) e.acto_ptz_patrol = jv_int(r.tb[P_PATROL]);
    else if (e.acto_ptz_type == PTZ_RUN_PATTERN) e.acto_ptz_pattern = jv_int(r.tb[P_PATTERN]);
    return e;
}

int find(const PtzActionTable &t, int ptz_channel)
{
    for (int i = 0; i < PTZ_ACTION_ENTRIES; i++)
        if (t.entries[i].acto_ptz_channel > 0 && t.entries[i].acto_ptz_channel == ptz_channel) return i;
    return -1;
}

// Removes the entries of a PTZ camera; the others keep their order.
void remove(PtzActionTable &t, int ptz_channel)
{
    PtzActionTable kept{};
    int n = 0;
    for (const PtzActionEntry &e : t.entries)
        if (e.acto_ptz_channel > 0 && e.acto_ptz_channel != ptz_channel) kept.entries[n++] = e;
    t = kept;
}

// Puts the entry in place of its PTZ camera's, else after the used ones;
// false when the table is full.
bool put(PtzActionTable &t, const PtzActionEntry &e)
{
    int at = find(t, e.acto_ptz_channel);
    if (at < 0) {
        for (int i = 0; i < PTZ_ACTION_ENTRIES && at < 0; i++)
            if (t.entries[i].acto_ptz_channel <= 0) at = i;
    }
    if (at < 0) return false;
    t.entries[at] = e;
    return true;
}

// Reads the table of (type, source), lets edit() change it (false: refuse,
// nothing stored) and stores it, in one transaction. -1 when refused or a
// settings call failed.
int edit_table(const PtzRequest &r, const std::function<bool(PtzActionTable &)> &edit)
{
    return settings_atomic(kDb, [&]() -> int {
        PtzActionTable t{};
        int count = 0;
        if (read_ptz_params(kDb, &t, r.type, r.source, &count) != 0 || !edit(t)) return -1;
        return write_ptz_params_all(kDb, &t, r.type, r.source);
    });
}

// What a route asks of "acto_ptz_channel".
enum PtzChannelCheck { ANY_PTZ_CHANNEL, NOT_NEGATIVE, A_PTZ_CAMERA };

// Shared shape of the routes: parse, check the event type, the source and
// the PTZ camera, change the table, answer.
int change_table(const char *request, PtzChannelCheck check,
                 const std::function<bool(const PtzRequest &, PtzActionTable &)> &edit)
{
    JsonDoc doc(request);
    PtzRequest r;
    if (!parse(doc, &r)) return 0;
    const int ptz_channel = jv_int(r.tb[P_PTZ_CHANNEL], -1);
    if (r.type < 0 || r.source < 0 || (check == NOT_NEGATIVE && ptz_channel < 0) ||
        (check == A_PTZ_CAMERA && ptz_channel <= 0))
        return cgi_error_to_webserver(REPLY_TEXT);
    if (edit_table(r, [&](PtzActionTable &t) { return edit(r, t); }) < 0) {
        cgi_log("OnVideo", __LINE__, "ptz actions", "type %d source %d: not stored", r.type, r.source);
        return cgi_error_to_webserver(REPLY_TEXT);
    }
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
} // namespace

int on_set_ptz_params(char *request)
{
    return change_table(request, A_PTZ_CAMERA, [](const PtzRequest &r, PtzActionTable &t) { return put(t, request_entry(r)); });
}

int on_get_ptz_params(char *request)
{
    JsonDoc doc(request);
    PtzRequest r;
    if (!parse(doc, &r)) return 0;
    if (r.type < 0 || r.source < 0) return cgi_error_to_webserver(REPLY_TEXT);
    json_object *o = json_object_new_object();
    json_object_object_add(o, "ptzInfo", get_ptz_params_json_object(r.type, r.source));
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

int on_delete_ptz_params(char *request)
{
    return change_table(request, NOT_NEGATIVE, [](const PtzRequest &r, PtzActionTable &t) {
        remove(t, jv_int(r.tb[P_PTZ_CHANNEL]));
        return true;
    });
}

int on_update_ptz_params(char *request)
{
    return change_table(request, A_PTZ_CAMERA, [](const PtzRequest &r, PtzActionTable &t) {
        // The entry stored under the old PTZ camera gives way to the new one,
        // in its place.
        const PtzActionEntry e = request_entry(r);
        const int old = find(t, jv_int(r.tb[P_OLD]));
        if (old < 0) return put(t, e);
        t.entries[old].acto_ptz_channel = 0;
        const int same = find(t, e.acto_ptz_channel);
        t.entries[old] = e;
        if (same >= 0) {
            // An entry of the new camera elsewhere in the table is dropped.
            t.entries[same].acto_ptz_channel = 0;
            PtzActionTable kept = t;
            remove(kept, 0);
            t = kept;
        }
        return true;
    });
}

int on_delete_ptz_params_batch(char *request)
{
    return change_table(request, ANY_PTZ_CHANNEL, [](const PtzRequest &r, PtzActionTable &t) {
        json_object *list = r.tb[P_LIST];
        for (size_t i = 0; i < jv_len(list) && i < PTZ_ACTION_ENTRIES; i++) {
            json_object *e = jv_at(list, i);
            if (jv_is(e, JK_INT) && json_object_get_int(e) > 0) remove(t, json_object_get_int(e));
        }
        return true;
    });
}
