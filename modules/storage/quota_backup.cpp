// Recycle mode and disk health (/6204 to /6206), channel quotas and disk
// groups (/6208 to /6210), and the automatic backup to an external disk with
// its formatting and progress (/6220 to /6227).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/ipc.h"
#include "common/records/camera.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/storage/storage.h"

namespace {
const char kDb[] = QXDB_PATH;

int reply_json(json_object *o)
{
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
    return 0;
}

// Waiting requests whose payload is fixed: none, or one zero word.
int relay(int code, bool zero_word = false)
{
    int32_t zero = 0;
    storage_request(code, zero_word ? static_cast<int>(sizeof zero) : 0, zero_word ? &zero : nullptr, REPLY_JSON);
    return 0;
}
} // namespace

// ---- /6204, /6205: recycle mode ------------------------------------------------------------

int on_set_recycle_mode(char *request)
{
    static constexpr JsonPolicy policy[] = {{"mode", JK_INT}, {"esata", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_recycle_mode, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    RecycleMode mode{jv_int(tb[0]), jv_int(tb[1])};
    storage_request(IPC_RECYCLE_SET, mode, REPLY_JSON);
    return 0;
}

int on_get_recycle_mode(char *) { return relay(IPC_RECYCLE_GET, true); }

void on_recycle_mode_cb(const IpcReply &reply)
{
    RecycleMode mode;
    memcpy(&mode, reply.payload, sizeof mode);
    json_object *o = json_object_new_object();
    json_add_int(o, "mode", mode.mode);
    json_add_int(o, "esata", mode.esata);
    reply_json(o);
}

// ---- /6206: disk health ----------------------------------------------------------------------

int on_get_smart_attr(char *request)
{
    static constexpr JsonPolicy policy[] = {{"num", JK_INT}, {"port", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_get_smart_attr, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    // The page asks about the last of its "num" ports.
    const int num = jv_int(tb[0]);
    const size_t n = num > 0 ? std::min(static_cast<size_t>(num), jv_len(tb[1])) : 0;
    json_object *last = n ? jv_at(tb[1], n - 1) : nullptr;
    if (!jv_is(last, JK_INT)) return 0;
    int32_t port = jv_int(last);
    storage_request(IPC_DISK_HEALTH, port, REPLY_JSON);
    return 0;
}

void on_disk_health_cb(const IpcReply &reply)
{
    DiskHealthRecord r;
    memcpy(&r, reply.payload, sizeof r);
    const std::string text(r.text, strnlen(r.text, sizeof r.text));
    json_object *o = json_object_new_object();
    json_add_int(o, "selfEvaluation", text.find("PASSED") != std::string::npos ? 1 : 0);
    reply_json(o);
}

// ---- /6208, /6209: quotas ------------------------------------------------------------------------

namespace {
// What the quota answer adds to the daemon's reply, read before the request.
struct QuotaContext {
    char group_channels[DISK_GROUPS][sizeof(GroupRecord::channels)];
    int disk_groups[DISK_PORT_MAX]; // ports 1..36: group + 1 when configured, else 0
    int max_channels;
    int group_mode;
};
QuotaContext g_quota;

void read_quota_context()
{
    g_quota = QuotaContext{};
    GroupRecord groups[DISK_GROUPS] = {};
    int count = 0;
    read_disk_groups(kDb, groups, &count);
    for (int i = 0; i < count && i < DISK_GROUPS; i++)
        copy_field(g_quota.group_channels[i], sizeof g_quota.group_channels[i], groups[i].channels,
                   sizeof groups[i].channels);
    std::vector<DiskRecord> disks(DISK_KEYS);
    if (read_disks(kDb, disks.data(), DISK_KEYS, &count) != 0) count = 0;
    for (int port = 1; port < count && port <= DISK_PORT_MAX; port++)
        g_quota.disk_groups[port - 1] = disks[port].configured == 1 ? disks[port].group + 1 : 0;
    g_quota.max_channels = get_param_int(kDb, "max_cameras", 32);
    g_quota.group_mode = get_param_int(kDb, "group_mode", 0);
}
} // namespace

int on_get_quota_info(char *)
{
    read_quota_context();
    return relay(IPC_QUOTA_GET);
}

void on_quota_cb(const IpcReply &reply)
{
    QuotaRecord q{};
    memcpy(&q, reply.payload, reply.length < sizeof q ? reply.length : sizeof q);
    // The entries the count names and the reply holds, at most 64.
    const size_t room = (reply.length - QUOTA_HEADER_SIZE) / sizeof(QuotaEntry);
    size_t count = q.count < 0 ? 0 : static_cast<size_t>(q.count);
    if (count > QUOTA_ENTRIES_MAX) count = QUOTA_ENTRIES_MAX;
    if (count > room) count = room;

    json_object *entries = json_object_new_array();
    for (size_t i = 0; i < count; i++) {
        const QuotaEntry &e = q.entries[i];
        json_object *o = json_object_new_object();
        json_add_int(o, "channel", e.channel);
        json_add_int(o, "video_used", e.video_used);
        json_add_int(o, "video_quota", e.video_quota);
        json_add_int(o, "picture_used", e.picture_used);
        json_add_int(o, "picture_quota", e.picture_quota);
        json_object_array_add(entries, o);
    }
    json_object *groups = json_object_new_array();
    for (const auto &text : g_quota.group_channels) json_object_array_add(groups, json_object_new_string(text));
    json_object *disks = json_object_new_array();
    for (int g : g_quota.disk_groups) json_object_array_add(disks, json_object_new_int(g));

    json_object *o = json_object_new_object();
    json_add_int(o, "enable", q.enable);
    json_object_object_add(o, "quota_array", entries);
    json_object_object_add(o, "channel", groups);
    json_object_object_add(o, "disk", disks);
    json_add_int(o, "max_chan", g_quota.max_channels);
    json_add_int(o, "group_enable", g_quota.group_mode);
    reply_json(o);
}

int on_set_quota_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"enable", JK_INT}, {"quota_array", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_set_quota_info, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0]) return 0;
    QuotaRecord q{};
    q.enable = jv_int(tb[0]);
    // At most 64 entries; an entry whose channel is not 0..63 is left out
    // (its number would not fit the entry's channel byte).
    const size_t n = jv_len(tb[1]);
    for (size_t i = 0; i < n && q.count < QUOTA_ENTRIES_MAX; i++) {
        const JsonPolicy item[] = {{"channel", JK_INT}, {"video_quota", JK_INT}, {"picture_quota", JK_INT}};
        json_object *e[3];
        if (JSON_PARSE(jv_at(tb[1], i), item, e) < 0) continue;
        const int ch = jv_channel(e[0]);
        if (ch < 0) continue;
        QuotaEntry &entry = q.entries[q.count++];
        entry.channel = static_cast<uint8_t>(ch);
        entry.video_quota = jv_int(e[1]);
        entry.picture_quota = jv_int(e[2]);
    }
    storage_request(IPC_QUOTA_SET, q, REPLY_TEXT);
    return 0;
}

// ---- /6210: disk groups ------------------------------------------------------------------------

int on_set_group_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"group_enable", JK_INT}, {"channel", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_set_group_info, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0]) return 0;
    const int32_t mode = jv_int(tb[0]);

    if (mode == 0) {
        if (set_param_int(kDb, "group_mode", 0) != 0) return cgi_error_to_webserver(REPLY_TEXT);
        cgi_notify_ipc(IPC_GROUP_MODE, mode);
        return cgi_writeback_webserver(REPLY_TEXT, "OK");
    }

    // Switched on only when it was off: then the daemon hears of it.
    bool switched = false;
    int stored = settings_atomic(kDb, [&]() -> int {
        switched = get_param_int(kDb, "group_mode", 0) == 0;
        return switched ? set_param_int(kDb, "group_mode", mode) : 0;
    });
    if (stored < 0) return cgi_error_to_webserver(REPLY_TEXT);
    if (switched) cgi_notify_ipc(IPC_GROUP_MODE, mode);

    GroupRecord groups[DISK_GROUPS] = {};
    int count = 0;
    read_disk_groups(kDb, groups, &count);
    const size_t n = jv_len(tb[1]);
    for (size_t pos = 0; pos < n && pos < static_cast<size_t>(count) && pos < DISK_GROUPS; pos++) {
        json_object *text = jv_at(tb[1], pos);
        if (!jv_is(text, JK_STRING)) continue;
        GroupMessage m{};
        m.id = groups[pos].id;
        jv_copy(text, m.channels, sizeof m.channels);
        copy_field(m.second, sizeof m.second, groups[pos].second, sizeof groups[pos].second);
        cgi_notify_ipc(IPC_GROUP_SET, m);
    }
    cgi_notify_ipc(IPC_GROUPS_CHANGED, 0, nullptr);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6220, /6221: external backup settings -------------------------------------------------------

namespace {
enum { B_ENABLE, B_STREAM, B_FILE, B_RECYCLE, B_TIME, B_CHANNEL, B_DEVICE, B_PORT, B_STOP, B_COUNT };
const JsonPolicy kBackupPolicy[B_COUNT] = {
    {"enable", JK_INT},        {"streamType", JK_INT}, {"fileType", JK_INT}, {"recycle", JK_INT},
    {"backupTime", JK_STRING}, {"channel", JK_STRING}, {"device", JK_INT},   {"port", JK_INT},
    {"stopBackup", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_esata_auto_backup_info, kBackupPolicy);
} // namespace

int on_get_esata_auto_backup_info(char *)
{
    EsataBackupRecord b{};
    read_esata_auto_backup(kDb, &b);
    json_object *o = json_object_new_object();
    json_add_int(o, kBackupPolicy[B_ENABLE].key, b.enable);
    json_add_int(o, kBackupPolicy[B_STREAM].key, b.stream_type);
    json_add_int(o, kBackupPolicy[B_FILE].key, b.file_type);
    json_add_int(o, kBackupPolicy[B_RECYCLE].key, b.recycle);
    json_add_field(o, kBackupPolicy[B_TIME].key, b.backup_time);
    json_add_field(o, kBackupPolicy[B_CHANNEL].key, b.channel);
    json_add_int(o, kBackupPolicy[B_DEVICE].key, b.device);
    json_add_int(o, kBackupPolicy[B_PORT].key, b.port);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

int on_set_esata_auto_backup_info(char *request)
{
    JsonDoc doc(request);
    json_object *tb[B_COUNT];
    if (JSON_PARSE(doc.get(), kBackupPolicy, tb) < 0) return 0;
    const int32_t stop = jv_int(tb[B_STOP]);
    if (stop == 0) {
        EsataBackupRecord b{};
        b.enable = jv_int(tb[B_ENABLE]);
        b.stream_type = jv_int(tb[B_STREAM]);
        b.file_type = jv_int(tb[B_FILE]);
        b.recycle = jv_int(tb[B_RECYCLE]);
        jv_copy(tb[B_TIME], b.backup_time, sizeof b.backup_time);
        jv_copy(tb[B_CHANNEL], b.channel, sizeof b.channel);
        b.device = jv_int(tb[B_DEVICE]);
        b.port = jv_int(tb[B_PORT]);
        if (write_esata_auto_backup(kDb, &b) != 0) return cgi_error_to_webserver(REPLY_JSON);
    }
    storage_request(IPC_BACKUP_SETTINGS, stop, REPLY_JSON);
    return 0;
}

// ---- /6222 to /6227: backup state, external disk, formatting -------------------------------------

int on_get_esata_auto_backup_status(char *) { return relay(IPC_BACKUP_STATUS); }

void on_backup_status_cb(const IpcReply &reply)
{
    BackupStatusRecord r;
    memcpy(&r, reply.payload, sizeof r);
    char percent[32];
    snprintf(percent, sizeof percent, "%.1f", std::isfinite(r.percent) ? static_cast<double>(r.percent) : 0.0);
    json_object *o = json_object_new_object();
    json_add_int(o, "status", r.status);
    json_add_text(o, "percent", percent);
    json_add_field(o, "last_time", r.last_time);
    json_object_object_add(o, "capacity", json_object_new_int64(static_cast<uint32_t>(r.capacity)));
    reply_json(o);
}

int on_get_export_disk_info(char *) { return relay(IPC_EXPORT_DISK); }

void on_export_disk_cb(const IpcReply &reply)
{
    json_object *o = json_object_new_object();
    for (size_t i = 0; i < reply.count; i++) {
        ExportDiskRecord d;
        memcpy(&d, reply.payload + i * sizeof d, sizeof d);
        if (d.kind != EXPORT_DISK_KIND) continue;
        json_add_int(o, "port", d.port);
        json_add_int(o, "result", 0);
        reply_json(o);
        return;
    }
    json_add_int(o, "result", -1);
    reply_json(o);
}

int on_format_esata_disk(char *request)
{
    static constexpr JsonPolicy policy[] = {{"port", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_format_esata_disk, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[0] || !valid_disk_port(jv_int(tb[0])))
        return cgi_error_to_webserver(REPLY_JSON);
    int32_t port = jv_int(tb[0]);
    storage_request(IPC_ESATA_FORMAT, port, REPLY_JSON);
    return 0;
}

int on_get_auto_backup_status(char *) { return relay(IPC_BACKUP_TASK); }
int on_set_auto_backup_stop(char *) { return relay(IPC_BACKUP_STOP); }
int on_get_format_info(char *) { return relay(IPC_FORMAT_INFO); }

void on_format_info_cb(const IpcReply &reply)
{
    FormatInfoRecord r;
    memcpy(&r, reply.payload, sizeof r);
    json_object *o = json_object_new_object();
    json_add_int(o, "status", r.status);
    json_add_int(o, "port", r.port);
    json_add_int(o, "type", r.type);
    json_add_int(o, "percent", r.percent);
    reply_json(o);
}
