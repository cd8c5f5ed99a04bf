// Disks of the recorder: the disk list (the daemon's inventory completed
// from the settings database), disk properties, formatting and its log
// entry, RAID arrays and hot spares, and the RAID mode switch (/6100 to
// /6109).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/ipc.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/storage/storage.h"
#include "platform/qx_std.h"

namespace {
const char kDb[] = QXDB_PATH;
enum { OPLOG_SUB_SETTING = 204, OPLOG_SUB_FORMAT = 207, OPLOG_PARAM_DISK = 900, OPLOG_PARAM_DISK_SET = 919 };
enum { RAID_ID_MIN = 10, RAID_ID_MAX = 15, RAID_REMOVE_ID_MAX = 16, RAID_PORT_BITS = 16 };
enum { CREDENTIAL_MAX = 32, URL_ENCODED_SIZE = 128, PROGRESS_PORT_MAX = 16 };

// What the disk list adds to the daemon's records, read before the request
// so that the reply callback only builds the answer.
struct DiskListContext {
    std::vector<DiskRecord> stored; // index = port
    int esata_type = 0;
};
DiskListContext &disk_list()
{
    // Built on first use (not at every start), never destroyed.
    static auto *value = new DiskListContext;
    return *value;
}

bool int_in(json_object *v, int lo, int hi) { return v && jv_int(v) >= lo && jv_int(v) <= hi; }

// ---- Disk list ----------------------------------------------------------------------------

// Completes the daemon's record of a port from its configured database
// record; `reported` says whether the daemon sent one.
void merge_stored_disk(const DiskRecord &db, bool reported, DiskInfoRecord *d)
{
    if (reported && !hdd_type_is_network(d->hdd_type)) return; // the daemon's own disk as it stands
    if (!reported) {
        d->port = db.port;
        d->hdd_type = db.hdd_type;
        d->group = db.group;
        d->property = db.property;
        d->state = 2;
    }
    COPY_TEXT(d->vendor, db.vendor);
    COPY_TEXT(d->address, db.address);
    copy_field(d->directory, sizeof d->directory, db.directory, sizeof db.directory);
    copy_field(d->user_name, CREDENTIAL_MAX + 1, db.user_name, sizeof db.user_name);
    copy_field(d->password, CREDENTIAL_MAX + 1, db.password, sizeof db.password);
}

void add_size_mib(json_object *o, const char *key, uint64_t bytes)
{
    json_object_object_add(o, key, json_object_new_int64(static_cast<int64_t>(bytes >> 20)));
}

void add_url_encoded(json_object *o, const char *key, const char *field, size_t size)
{
    char text[CREDENTIAL_MAX + 2];
    copy_field(text, sizeof text, field, size);
    char encoded[URL_ENCODED_SIZE];
    get_url_encode(text, encoded, sizeof encoded);
    json_add_text(o, key, encoded);
}

json_object *disk_json(const DiskInfoRecord &d)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "portId", d.port);
    json_add_int(o, "raid_id", d.port);
    json_add_field(o, "vendorName", d.vendor);
    json_add_field(o, "address", d.address);
    json_add_field(o, "directory", d.directory);
    json_add_int(o, "state", d.state);
    json_add_int(o, "bUsable", d.usable);
    add_size_mib(o, "totalSize", d.total_size);
    add_size_mib(o, "usedSize", d.used_size);
    add_size_mib(o, "freeSize", d.free_size);
    json_add_int(o, "hddType", d.hdd_type);
    json_add_int(o, "group", d.group);
    json_add_int(o, "property", d.property);
    json_add_int(o, "raid_level", d.raid_level);
    json_add_int(o, "raid_state", d.raid_state);
    json_add_int(o, "raid_progress", d.raid_progress);
    json_add_int(o, "raid_task", d.raid_progress);
    // The member count as the record can hold it.
    const int members = d.raid_sata_cnt < 0 ? 0 : d.raid_sata_cnt > RAID_MEMBERS_MAX ? RAID_MEMBERS_MAX
                                                                                      : d.raid_sata_cnt;
    uint32_t member_bits = 0;
    for (int i = 0; i < members; i++)
        if (d.raid_members[i] > 0 && d.raid_members[i] < 32) member_bits |= 1u << d.raid_members[i];
    json_add_int(o, "raid_sata_cnt", members);
    json_object_object_add(o, "raid_sata_port", json_object_new_int64(member_bits));
    add_url_encoded(o, "userName", d.user_name, sizeof d.user_name);
    add_url_encoded(o, "password", d.password, sizeof d.password);
    return o;
}
} // namespace

int on_get_disk_info(char *)
{
    disk_list().stored.assign(DISK_KEYS, DiskRecord{});
    int count = 0;
    if (read_disks(kDb, disk_list().stored.data(), DISK_KEYS, &count) != 0) count = 0;
    disk_list().stored.resize(static_cast<size_t>(count));
    disk_list().esata_type = get_param_int(kDb, "esata_type", 0);
    storage_request(IPC_DISK_LIST, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_disk_list_cb(const IpcReply &reply)
{
    std::vector<DiskInfoRecord> disks(DISK_KEYS);
    std::vector<bool> present(DISK_KEYS, false);
    for (size_t i = 0; i < reply.count; i++) {
        DiskInfoRecord d;
        memcpy(&d, reply.payload + i * sizeof d, sizeof d);
        if (d.port < 1 || d.port > DISK_PORT_MAX || present[d.port]) continue;
        disks[d.port] = d;
        present[d.port] = true;
    }
    bool listed = false;
    for (const DiskRecord &db : disk_list().stored) {
        if (db.configured != 1 || db.port < 1 || db.port > DISK_PORT_MAX) continue;
        merge_stored_disk(db, present[db.port], &disks[db.port]);
        present[db.port] = true;
    }
    json_object *list = json_object_new_array();
    for (int port = 1; port <= DISK_PORT_MAX; port++) {
        if (!present[port]) continue;
        json_object_array_add(list, disk_json(disks[port]));
        listed = true;
    }
    json_object *o = json_object_new_object();
    json_add_text(o, "resultString", reply.count > 0 || listed ? "OK" : "NO");
    json_add_int(o, "esataType", disk_list().esata_type);
    json_object_object_add(o, "HDD", list);
    json_add_int(o, "maxDiskNum", DISK_PORT_MAX);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- /6101 ------------------------------------------------------------------------------------

int on_set_disk_info(char *request)
{
    enum { D_PORT, D_PROPERTY, D_GROUP, D_PRIVATE, D_COUNT };
    static constexpr JsonPolicy policy[D_COUNT] = {
        {"portId", JK_INT}, {"property", JK_INT}, {"group", JK_INT}, {"private", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_disk_info, policy);
    JsonDoc doc(request);
    json_object *tb[D_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !int_in(tb[D_PORT], 0, DISK_PORT_MAX) ||
        !int_in(tb[D_PROPERTY], 0, 1))
        return 0;
    DiskSetNotice notice{jv_int(tb[D_PORT]), jv_int(tb[D_PROPERTY]), jv_int(tb[D_GROUP]), jv_int(tb[D_PRIVATE])};

    int stored = update_disk(kDb, notice.port, [&](DiskRecord &d) {
        d.port = notice.port;
        d.property = notice.property;
        d.group = notice.group;
        return 0;
    });
    if (stored < 0) return cgi_error_to_webserver(REPLY_TEXT);
    cgi_notify_ipc(IPC_DISK_SET, notice);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_DISK_SET, notice.port);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6102, /6103: formatting -----------------------------------------------------------------

int on_format_disk(char *request)
{
    const int port = storage_text_port(request, 0, DISK_PORT_MAX);
    if (port < 0) return 0;
    int32_t payload = port;
    const int done = storage_request(IPC_DISK_FORMAT, payload, REPLY_JSON);

    // Logged whatever the outcome, a time-out included.
    FormatLogDetail detail{};
    detail.port = port;
    detail.result = done == STORAGE_DONE_OK ? 1 : -1;
    storage_send_log(OPLOG_SUB_FORMAT, OPLOG_PARAM_DISK, port, FORMAT_LOG_DETAIL_TYPE, &detail, sizeof detail);
    return 0;
}

void on_format_disk_cb(const IpcReply &reply)
{
    const char *text = nullptr;
    const int result = reply.count > 0 ? ipc_reply_int(reply) : INT32_MIN; // a short reply has no result
    switch (result) {
    case FORMAT_OK: text = "OK"; break;
    case FORMAT_USING: text = "USING"; break;
    case FORMAT_ERROR: text = "ERROR FORMAT"; break;
    case FORMAT_NAS_LOW_CAP: text = "NAS LOW CAP"; break;
    default: break; // no text
    }
    if (text) cgi_writeback_webserver(REPLY_TEXT, text);
    g_callback_done = reply.count > 0 && result == FORMAT_OK ? STORAGE_DONE_OK : STORAGE_DONE_FAILED;
}

int on_get_format_progress(char *request)
{
    if (storage_text_port(request, 0, PROGRESS_PORT_MAX) < 0) return 0;
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /6104 to /6107: RAID arrays and hot spares -----------------------------------------------

int on_create_raid(char *request)
{
    enum { C_ID, C_ENABLE, C_LEVEL, C_COUNT_KEY, C_PORTS, C_COUNT };
    static constexpr JsonPolicy policy[C_COUNT] = {
        {"id", JK_INT}, {"enable", JK_INT}, {"level", JK_INT}, {"sata_cnt", JK_INT}, {"sata_port", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_create_raid, policy);
    JsonDoc doc(request);
    json_object *tb[C_COUNT];
    // The member count says how many member ports the daemon reads: never
    // more than the request's list holds.
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !int_in(tb[C_ID], RAID_ID_MIN, RAID_ID_MAX) || !tb[C_ENABLE] ||
        !int_in(tb[C_LEVEL], 0, INT32_MAX) || !int_in(tb[C_COUNT_KEY], 0, RAID_MEMBERS_MAX) ||
        !int_in(tb[C_PORTS], 0, INT32_MAX))
        return 0;
    RaidRequest raid{};
    raid.id = jv_int(tb[C_ID]);
    raid.enable = jv_int(tb[C_ENABLE]);
    raid.level = jv_int(tb[C_LEVEL]);
    raid.member_count = jv_int(tb[C_COUNT_KEY]);
    const uint32_t ports = static_cast<uint32_t>(jv_int(tb[C_PORTS]));
    int n = 0;
    for (int bit = 0; bit < RAID_PORT_BITS; bit++)
        if (ports & (1u << bit)) raid.members[n++] = bit;
    storage_request(IPC_RAID_CREATE, raid, REPLY_TEXT);
    return 0;
}

int on_remove_raid(char *request)
{
    // The text must be JSON (a bare number is); the id is its leading number.
    JsonDoc doc(request);
    if (!doc) return 0;
    int id = atoi(request);
    if (id < RAID_ID_MIN || id > RAID_REMOVE_ID_MAX) return 0;
    RaidRequest raid{};
    raid.id = id;
    storage_request(IPC_RAID_REMOVE, raid, REPLY_TEXT);
    return 0;
}

int on_set_hot_space(char *request)
{
    static constexpr JsonPolicy policy[] = {{"port", JK_INT}, {"hotflag", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_hot_space, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 2) return 0;
    int32_t port = jv_int(tb[0]);
    storage_request(jv_int(tb[1]) ? IPC_HOT_SPARE_ADD : IPC_HOT_SPARE_REMOVE, port, REPLY_TEXT);
    return 0;
}

int on_rebuild_raid(char *request)
{
    static constexpr JsonPolicy policy[] = {{"diskport", JK_INT}, {"raidport", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_rebuild_raid, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 2) return 0;
    RaidRebuildRequest rebuild{jv_int(tb[0]), jv_int(tb[1])};
    storage_request(IPC_RAID_REBUILD, rebuild, REPLY_TEXT);
    return 0;
}

// ---- /6108, /6109 ------------------------------------------------------------------------------

int on_get_raid_mode(char *)
{
    char text[16];
    snprintf(text, sizeof text, "%d", get_param_int(kDb, "raidmode", 0));
    return cgi_writeback_webserver(REPLY_TEXT, text);
}

int on_set_raid_mode(char *request)
{
    int mode = 0;
    if (!parse_decimal(request, &mode) || mode < 0 || mode > 1) mode = 0;
    if (set_param_int(kDb, "raidmode", mode) != 0) return cgi_error_to_webserver(REPLY_TEXT);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
