// Network disks (NFS and SMB/CIFS shares): add, change, delete and search
// (/6200 to /6203), and the removal of any disk (/6207). A network disk is
// also a disk record of the settings database, with its address, directory
// and credentials; operation-log entries follow once the daemon answered.
#include <string>
#include <vector>

#include "common/ipc.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/storage/storage.h"
#include "platform/qx_std.h"

namespace {
const char kDb[] = QXDB_PATH;
enum {
    OPLOG_SUB_NAS_ADD = 219, OPLOG_SUB_NAS_DELETE = 220, OPLOG_SUB_NAS_EDIT = 221, OPLOG_SUB_DISK_REMOVE = 224,
    OPLOG_PARAM_DISK = 900,
};
enum { NAS_PATH_SIZE = sizeof(NasSearchReply::paths[0]) };

bool valid_nas_port(int port) { return port >= 1 && port <= DISK_PORT_MAX; }

// The texts of a network disk, in request key order ("vendor", "address",
// "directory", "userName", "password").
enum NasText { NT_VENDOR, NT_ADDRESS, NT_DIRECTORY, NT_USER, NT_PASSWORD, NT_COUNT };

// Credentials arrive URL-encoded: decoded whole first, then cut to the field.
void take_credential(json_object *v, char (&field)[33])
{
    if (!jv_is(v, JK_STRING)) return;
    std::string text = jv_str(v);
    get_url_decode(&text[0]);
    copy_text(field, sizeof field, text.c_str());
}

// A zeroed disk record of a network disk in use: port, type, property 1
// and the texts (a slot that is not a text leaves its field empty).
DiskRecord nas_record(int port, int type, json_object *const text[NT_COUNT])
{
    DiskRecord d{};
    d.port = port;
    d.configured = 1;
    d.hdd_type = type;
    d.property = 1;
    jv_copy(text[NT_VENDOR], d.vendor, sizeof d.vendor);
    jv_copy(text[NT_ADDRESS], d.address, sizeof d.address);
    jv_copy(text[NT_DIRECTORY], d.directory, sizeof d.directory);
    take_credential(text[NT_USER], d.user_name);
    take_credential(text[NT_PASSWORD], d.password);
    return d;
}

const char *nas_protocol(int type) { return type == HDD_TYPE_NFS ? "NFS" : "SMB/CIFS"; }

void send_nas_log(int sub_type, const DiskRecord &d, const char *protocol, int detail_type)
{
    NasLogDetail detail{};
    COPY_TEXT(detail.protocol, protocol);
    copy_field(detail.address, sizeof detail.address, d.address, sizeof d.address);
    copy_field(detail.directory, sizeof detail.directory, d.directory, sizeof d.directory);
    storage_send_log(sub_type, OPLOG_PARAM_DISK, d.port, detail_type, &detail, sizeof detail);
}

// Walks the first `num` elements of a port array, at most 33 and never past
// its end, calling take(j, port) for each distinct network-disk port.
template <class F> NasList walk_nas_ports(json_object *ports, int num, F take)
{
    NasList list{};
    bool seen[DISK_KEYS] = {};
    const size_t n = jv_len(ports);
    for (size_t j = 0; num > 0 && j < static_cast<size_t>(num) && j < n && list.count < NAS_LIST_MAX; j++) {
        json_object *p = jv_at(ports, j);
        if (!jv_is(p, JK_INT) || !valid_nas_port(jv_int(p)) || seen[jv_int(p)]) continue;
        const int port = jv_int(p);
        seen[port] = true;
        take(j, port);
        list.ports[list.count++] = port;
    }
    return list;
}
} // namespace

// ---- /6200 ---------------------------------------------------------------------------------

int on_del_disk_nas(char *request)
{
    static constexpr JsonPolicy policy[] = {{"num", JK_INT}, {"port", JK_ARRAY}};
    NVRWEB_HANDLER_KEYS(on_del_disk_nas, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    std::vector<DiskRecord> disks;
    NasList list = walk_nas_ports(tb[1], jv_int(tb[0]), [&](size_t, int port) {
        DiskRecord d{};
        read_disk(kDb, &d, port);
        disks.push_back(d);
    });
    if (!storage_request(IPC_NAS_DELETE, list, REPLY_TEXT)) return 0;
    for (const DiskRecord &d : disks)
        if (d.configured) send_nas_log(OPLOG_SUB_NAS_DELETE, d, nas_protocol(d.hdd_type), NAS_LOG_DETAIL_TYPE);
    return 0;
}

// ---- /6201 ---------------------------------------------------------------------------------

int on_add_disk_nas(char *request)
{
    enum { A_NUM, A_TYPE, A_PORT, A_TEXTS, A_COUNT = A_TEXTS + NT_COUNT };
    static constexpr JsonPolicy policy[A_COUNT] = {
        {"num", JK_INT},       {"type", JK_INT},      {"port", JK_ARRAY},     {"vendor", JK_ARRAY},
        {"address", JK_ARRAY}, {"directory", JK_ARRAY}, {"userName", JK_ARRAY}, {"password", JK_ARRAY},
    };
    NVRWEB_HANDLER_KEYS(on_add_disk_nas, policy);
    JsonDoc doc(request);
    json_object *tb[A_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    const int type = tb[A_TYPE] ? jv_int(tb[A_TYPE]) : HDD_TYPE_NFS;

    // Texts missing from a shorter array stay empty.
    std::vector<DiskRecord> disks;
    NasList list = walk_nas_ports(tb[A_PORT], jv_int(tb[A_NUM]), [&](size_t j, int port) {
        json_object *text[NT_COUNT];
        for (int t = 0; t < NT_COUNT; t++) text[t] = jv_at(tb[A_TEXTS + t], j);
        disks.push_back(nas_record(port, type, text));
    });
    if (!disks.empty() && write_disks(kDb, disks.data(), static_cast<int>(disks.size())) != 0)
        return cgi_error_to_webserver(REPLY_TEXT);

    if (!storage_request(IPC_NAS_ADD, list, REPLY_TEXT)) return 0;
    for (const DiskRecord &d : disks) send_nas_log(OPLOG_SUB_NAS_ADD, d, nas_protocol(d.hdd_type), NAS_LOG_DETAIL_TYPE);
    return 0;
}

// ---- /6202 ---------------------------------------------------------------------------------

int on_search_disk_nas(char *request)
{
    static constexpr JsonPolicy policy[] = {{"port", JK_INT}, {"serverAddr", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_search_disk_nas, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    NasSearchRequest search{};
    search.port = jv_int(tb[0]);
    jv_copy(tb[1], search.server, sizeof search.server);
    storage_request(IPC_NAS_SEARCH, search, REPLY_JSON);
    return 0;
}

void on_nas_search_cb(const IpcReply &reply)
{
    // As many paths as the count says and the reply holds, at most 64.
    const size_t room = (reply.length - sizeof(int32_t)) / NAS_PATH_SIZE;
    const int said = ipc_reply_int(reply);
    size_t count = said < 0 ? 0 : static_cast<size_t>(said);
    if (count > NAS_SEARCH_PATHS) count = NAS_SEARCH_PATHS;
    if (count > room) count = room;
    json_object *list = json_object_new_array();
    const char *paths = reinterpret_cast<const char *>(reply.payload) + sizeof(int32_t);
    for (size_t i = 0; i < count; i++) {
        json_object *o = json_object_new_object();
        json_add_field(o, "filePath", paths + i * NAS_PATH_SIZE, NAS_PATH_SIZE);
        json_object_array_add(list, o);
    }
    json_object *o = json_object_new_object();
    json_add_text(o, "resultString", count > 0 ? "OK" : "NO");
    json_object_object_add(o, "NAS", list);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    g_callback_done = 1;
}

// ---- /6203 ---------------------------------------------------------------------------------

int on_edit_disk_nas(char *request)
{
    enum { E_PORT, E_TYPE, E_TEXTS, E_COUNT = E_TEXTS + NT_COUNT };
    static constexpr JsonPolicy policy[E_COUNT] = {
        {"port", JK_INT},        {"type", JK_INT},         {"vendor", JK_STRING},   {"address", JK_STRING},
        {"directory", JK_STRING}, {"userName", JK_STRING}, {"password", JK_STRING},
    };
    NVRWEB_HANDLER_KEYS(on_edit_disk_nas, policy);
    JsonDoc doc(request);
    json_object *tb[E_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !tb[E_PORT] || !valid_nas_port(jv_int(tb[E_PORT]))) return 0;
    const DiskRecord d = nas_record(jv_int(tb[E_PORT]), jv_int(tb[E_TYPE]), tb + E_TEXTS);
    if (write_disk(kDb, &d) != 0) return cgi_error_to_webserver(REPLY_TEXT);

    int32_t port = d.port;
    if (!storage_request(IPC_NAS_EDIT, port, REPLY_TEXT)) return 0;
    const char *protocol = d.hdd_type == HDD_TYPE_NFS ? "NFS" : d.hdd_type == HDD_TYPE_SMB ? "SMB/CIFS" : "";
    send_nas_log(OPLOG_SUB_NAS_EDIT, d, protocol, NAS_EDIT_LOG_DETAIL_TYPE);
    return 0;
}

// ---- /6207 ---------------------------------------------------------------------------------

int on_remove_disk(char *request)
{
    static constexpr JsonPolicy policy[] = {{"port", JK_INT}, {"hddType", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_remove_disk, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 2 || !valid_disk_port(jv_int(tb[0]))) return 0;
    const int port = jv_int(tb[0]);
    const int type = jv_int(tb[1]);

    if (type == HDD_TYPE_RAID) {
        RaidRequest raid{};
        raid.id = port;
        if (storage_request(IPC_RAID_REMOVE, raid, REPLY_TEXT)) cgi_send_oplog(OPLOG_SUB_DISK_REMOVE, OPLOG_PARAM_DISK, 0);
        return 0;
    }
    if (hdd_type_is_network(type)) {
        NasList list{};
        list.count = 1;
        list.ports[0] = port;
        storage_request(IPC_NAS_DELETE, list, REPLY_TEXT);
        return 0;
    }

    // A local disk: once the daemon has let it go, its stored settings start
    // afresh. A refused removal keeps them, so the disk keeps its group.
    int32_t payload = port;
    const int done = storage_request(IPC_DISK_REMOVE, payload, REPLY_TEXT);
    if (done == 0) return 0;
    if (done == STORAGE_DONE_OK) {
        DiskRecord fresh{};
        fresh.port = port;
        fresh.property = 1;
        if (write_disk(kDb, &fresh) != 0) cgi_error_to_webserver(REPLY_TEXT);
        else cgi_writeback_webserver(REPLY_TEXT, "OK");
    } else {
        cgi_writeback_webserver(REPLY_TEXT, "Error");
    }
    cgi_send_oplog(OPLOG_SUB_DISK_REMOVE, OPLOG_PARAM_DISK, port);
    return 0;
}
