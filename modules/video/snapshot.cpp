// Snapshot handlers of the video module: each channel's snapshot week
// schedule and picture parameters, set on many channels at once, and the
// start and stop of scheduled snapshots, which the daemon carries out.
//
// Channel lists keep the request's order (a channel listed twice appears
// twice) and hold at most 64 entries; entries outside 0..63 are skipped.
#include "modules/video/snapshot.h"

#include <cstdlib>
#include <memory>
#include <new>

#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/snapshot.h"
#include "common/settings.h"
#include "common/web_utils.h"

namespace {
const char kDb[] = QXDB_PATH;

// The first obj[count_key] elements of obj[array_key] (never more than the
// array holds) that are channels 0..63, in order, at most 64 of them.
SnapshotChannelList channel_list(json_object *obj, const char *array_key, const char *count_key)
{
    SnapshotChannelList list{};
    const JsonPolicy policy[] = {{count_key, JK_INT}, {array_key, JK_ARRAY}};
    json_object *tb[2];
    if (JSON_PARSE(obj, policy, tb) < 0) return list;
    const int count = jv_int(tb[0]);
    for (size_t i = 0; count > 0 && i < static_cast<size_t>(count) && i < jv_len(tb[1]); i++) {
        if (list.count >= SNAPSHOT_CHANNELS) break;
        json_object *e = jv_at(tb[1], i);
        if (!jv_is(e, JK_INT)) continue;
        const int64_t channel = json_object_get_int64(e);
        if (channel >= 0 && channel < SNAPSHOT_CHANNELS) list.channels[list.count++] = static_cast<int32_t>(channel);
    }
    return list;
}

// The getters' channel: the request text as a number; -1 when there is no
// text or the number is outside 0..63.
int text_channel(const char *request)
{
    if (!request || !request[0]) return -1;
    const int channel = atoi(request);
    return channel >= 0 && channel < SNAPSHOT_CHANNELS ? channel : -1;
}
} // namespace

// ---- /6174 ---------------------------------------------------------------------------------

int on_get_snapshot_schedule(char *request)
{
    const int channel = text_channel(request);
    if (channel < 0) return cgi_error_to_webserver(REPLY_TEXT);
    std::unique_ptr<SnapshotSchedule> rec(new SnapshotSchedule());
    if (read_snapshot_schedule(kDb, rec.get(), channel) != 0) *rec = SnapshotSchedule();
    json_object *reply = get_schedule_json_object(&rec->schedule);
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
    return 0;
}

// ---- /6175 ---------------------------------------------------------------------------------

int on_set_snapshot_schedule(char *request)
{
    JsonDoc doc(request);
    if (!json_object_is_type(doc.get(), json_type_object)) return cgi_error_to_webserver(REPLY_TEXT);
    // One record per channel, each at its channel's place.
    std::unique_ptr<SnapshotSchedule[]> records(new (std::nothrow) SnapshotSchedule[SNAPSHOT_CHANNELS]());
    if (!records) return cgi_error_to_webserver(REPLY_TEXT);

    std::unique_ptr<SnapshotSchedule> rec(new SnapshotSchedule());
    // Without a schedule the stored ones stay.
    const bool have_schedule = get_schedule_by_json(doc.get(), "schedule", &rec->schedule) == 0;
    const SnapshotChannelList list = channel_list(doc.get(), "chnid", "cnt");
    for (int i = 0; i < list.count; i++) records[list.channels[i]] = *rec;
    if (have_schedule && write_snapshot_schedules(kDb, records.get(), &list) != 0) {
        cgi_log("OnVideo", __LINE__, "snapshot", "schedule not stored");
        return cgi_error_to_webserver(REPLY_TEXT);
    }
    cgi_notify_ipc(IPC_SNAPSHOT_SCHEDULE_CHANGED, list);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6176 ---------------------------------------------------------------------------------

int on_get_snapshot_setting_params(char *request)
{
    const int channel = text_channel(request);
    if (channel < 0) return cgi_error_to_webserver(REPLY_TEXT);
    SnapshotParams rec{};
    if (read_snapshot(kDb, &rec, channel) != 0) rec = SnapshotParams();
    json_object *o = json_object_new_object();
    json_add_int(o, "resolution", rec.resolution);
    json_add_int(o, "quality", rec.quality);
    json_add_int(o, "interval", rec.interval);
    json_add_int(o, "interval_unit", rec.interval_unit);
    json_add_int(o, "expiration_date", rec.expiration_date);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

// ---- /6177 ---------------------------------------------------------------------------------

int on_set_snapshot_setting_params(char *request)
{
    enum { P_RESOLUTION, P_QUALITY, P_INTERVAL, P_INTERVAL_UNIT, P_EXPIRATION, P_COUNT };
    static constexpr JsonPolicy policy[P_COUNT] = {{"resolution", JK_INT},    {"quality", JK_INT},
                                                   {"interval", JK_INT},      {"interval_unit", JK_INT},
                                                   {"expiration_date", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_snapshot_setting_params, policy);
    JsonDoc doc(request);
    json_object *tb[P_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return cgi_error_to_webserver(REPLY_TEXT);
    // The same parameters for every listed channel; what the request lacks is 0.
    SnapshotParams rec{};
    rec.resolution = jv_int(tb[P_RESOLUTION]);
    rec.quality = jv_int(tb[P_QUALITY]);
    rec.interval = jv_int(tb[P_INTERVAL]);
    rec.interval_unit = jv_int(tb[P_INTERVAL_UNIT]);
    rec.expiration_date = jv_int(tb[P_EXPIRATION]);
    const SnapshotChannelList list = channel_list(doc.get(), "chnid", "cnt");
    uint64_t bits = 0;
    for (int i = 0; i < list.count; i++) bits |= 1ULL << list.channels[i];
    if (copy_snapshots(kDb, &rec, bits) != 0) {
        cgi_log("OnVideo", __LINE__, "snapshot", "parameters not stored");
        return cgi_error_to_webserver(REPLY_TEXT);
    }
    cgi_notify_ipc(IPC_SNAPSHOT_PARAMS_CHANGED, list);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6178 ---------------------------------------------------------------------------------

int on_set_snapshot_batch_setting(char *request)
{
    JsonDoc doc(request);
    if (!json_object_is_type(doc.get(), json_type_object)) return cgi_error_to_webserver(REPLY_TEXT);
    // Start first, then stop, each only when the request counts channels for it.
    const struct {
        int32_t on;
        const char *array_key;
        const char *count_key;
    } kSwitches[] = {{1, "snapshotChnId", "snapshotCnt"}, {0, "stopChnId", "stopCnt"}};
    for (const auto &s : kSwitches) {
        const JsonPolicy policy[] = {{s.count_key, JK_INT}};
        json_object *tb[1];
        JSON_PARSE(doc.get(), policy, tb);
        if (jv_int(tb[0]) <= 0) continue;
        SnapshotSwitch rec{};
        rec.on = s.on;
        const SnapshotChannelList list = channel_list(doc.get(), s.array_key, s.count_key);
        for (int i = 0; i < list.count; i++) rec.selected[list.channels[i]] = 1;
        cgi_notify_ipc(IPC_SNAPSHOT_SWITCH, rec);
    }
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
