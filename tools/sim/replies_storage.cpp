// Replies of the storage requests: a recorder with two local disks (port 1
// healthy; port 2 being formatted, its progress advancing by a fifth on
// each progress query), a RAID array on port 10 (members 3 and 4), a
// network disk on port 17, and the network disks configured in the
// device's settings database. Recycle mode and quotas keep what was last
// set. The numbers of states and statuses are the simulator's own:
// disk state 0 ready, 1 formatting; format status 1 running, 0 finished.
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <vector>

#include "platform/device_path.h"
#include "common/records/storage.h"
#include "common/web_utils.h"
#include "sim.h"

namespace {

template <class T> std::string bytes_of(const T &rec)
{
    return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}

template <class T> bool payload_as(const SimRequest &req, T *out)
{
    if (req.payload.size() != sizeof(T)) return false;
    memcpy(out, req.payload.data(), sizeof(T));
    return true;
}

int payload_int(const SimRequest &req, int dflt)
{
    return req.payload.size() >= 4 ? qx_get_le32(req.payload.data(), 0) : dflt;
}

const uint64_t kGiB = 1ULL << 30;
enum { DISK_READY = 0, DISK_FORMATTING = 1 };
enum { FORMAT_STEP = 20 };

struct LocalDisk {
    int port;
    const char *vendor;
    uint64_t size;
    uint64_t used;
};
const LocalDisk kLocalDisks[] = {
    {1, "Halvard HX4000 4TB", 3726 * kGiB, 1210 * kGiB},
    {2, "Halvard HX2000 2TB", 1863 * kGiB, 0},
};

// What the simulated daemon remembers between requests.
struct State {
    std::mutex mu;
    int formatting_port = 2; // 0: none
    int format_percent = 0;
    RecycleMode recycle{1, 0};
    QuotaRecord quota = [] {
        QuotaRecord q{};
        q.count = 4;
        for (int ch = 0; ch < 4; ch++) {
            q.entries[ch].channel = static_cast<uint8_t>(ch);
            q.entries[ch].video_quota = 500;
            q.entries[ch].picture_quota = 20;
            q.entries[ch].video_used = 120 + 35 * ch;
            q.entries[ch].picture_used = 3 + ch;
        }
        return q;
    }();
};
State &state()
{
    static State s;
    return s;
}

DiskInfoRecord local_disk(const LocalDisk &l, bool formatting)
{
    DiskInfoRecord d{};
    d.port = l.port;
    COPY_TEXT(d.vendor, l.vendor);
    d.state = formatting ? DISK_FORMATTING : DISK_READY;
    d.usable = formatting ? 0 : 1;
    d.total_size = l.size;
    d.used_size = formatting ? 0 : l.used;
    d.free_size = d.total_size - d.used_size;
    return d;
}

DiskInfoRecord raid_array()
{
    DiskInfoRecord d{};
    d.port = 10;
    COPY_TEXT(d.vendor, "RAID1");
    d.usable = 1;
    d.total_size = 3726 * kGiB;
    d.used_size = 800 * kGiB;
    d.free_size = d.total_size - d.used_size;
    d.hdd_type = HDD_TYPE_RAID;
    d.raid_level = 1;
    d.raid_progress = 100;
    d.raid_sata_cnt = 2;
    d.raid_members[0] = 3;
    d.raid_members[1] = 4;
    return d;
}

DiskInfoRecord network_disk(int port, int type, const char *address, const char *directory)
{
    DiskInfoRecord d{};
    d.port = port;
    COPY_TEXT(d.vendor, type == HDD_TYPE_NFS ? "NFS" : "SMB/CIFS");
    COPY_TEXT(d.address, address);
    COPY_TEXT(d.directory, directory);
    d.usable = 1;
    d.total_size = 1024 * kGiB;
    d.used_size = 96 * kGiB;
    d.free_size = d.total_size - d.used_size;
    d.hdd_type = type;
    d.property = 1;
    return d;
}

// The network disks of the device's settings database, when it exists (the
// simulator never creates one).
std::vector<DiskRecord> configured_network_disks()
{
    std::vector<DiskRecord> out;
    std::string db = nvr_path(QXDB_PATH);
    if (db.empty() || access(db.c_str(), F_OK) != 0) return out;
    std::vector<DiskRecord> all(DISK_KEYS);
    int count = 0;
    if (read_disks(QXDB_PATH, all.data(), DISK_KEYS, &count) != 0) return out;
    for (int port = 1; port < count; port++)
        if (all[port].configured == 1 && hdd_type_is_network(all[port].hdd_type)) out.push_back(all[port]);
    return out;
}

std::string disk_list(const SimRequest &)
{
    int formatting;
    {
        std::lock_guard<std::mutex> lock(state().mu);
        formatting = state().formatting_port;
    }
    std::string out;
    for (const LocalDisk &l : kLocalDisks) out += bytes_of(local_disk(l, l.port == formatting));
    out += bytes_of(raid_array());
    bool port17 = false;
    for (const DiskRecord &d : configured_network_disks()) {
        char address[sizeof d.address + 1], directory[sizeof d.directory + 1];
        copy_field(address, sizeof address, d.address, sizeof d.address);
        copy_field(directory, sizeof directory, d.directory, sizeof d.directory);
        out += bytes_of(network_disk(d.port, d.hdd_type, address, directory));
        port17 = port17 || d.port == 17;
    }
    if (!port17) out += bytes_of(network_disk(17, HDD_TYPE_NFS, "192.168.1.60", "/export/nvr"));
    return out;
}

// A local disk formats (restarting the progress), anything else refuses.
std::string format_disk(const SimRequest &req)
{
    const int port = payload_int(req, 0);
    for (const LocalDisk &l : kLocalDisks) {
        if (l.port != port) continue;
        std::lock_guard<std::mutex> lock(state().mu);
        state().formatting_port = port;
        state().format_percent = 0;
        return qx_le32_bytes(FORMAT_OK);
    }
    return qx_le32_bytes(FORMAT_ERROR);
}

std::string format_info(const SimRequest &)
{
    FormatInfoRecord r{};
    std::lock_guard<std::mutex> lock(state().mu);
    State &s = state();
    if (s.formatting_port) {
        s.format_percent += FORMAT_STEP;
        r.port = static_cast<uint8_t>(s.formatting_port);
        r.percent = static_cast<uint8_t>(s.format_percent);
        r.status = s.format_percent < 100 ? 1 : 0;
        if (s.format_percent >= 100) s.formatting_port = 0;
    } else {
        r.percent = 100;
    }
    return bytes_of(r);
}

// A RAID array needs two members at least (and 16 at most).
std::string raid_create(const SimRequest &req)
{
    RaidRequest r{};
    if (!payload_as(req, &r)) return qx_le32_bytes(-1);
    return qx_le32_bytes(r.member_count >= 2 && r.member_count <= RAID_MEMBERS_MAX ? 0 : -1);
}

std::string nas_search(const SimRequest &)
{
    static const char *const kShares[] = {"/export/nvr", "/export/backup"};
    std::string out = qx_le32_bytes(2);
    for (const char *share : kShares) {
        char path[256] = {};
        COPY_TEXT(path, share);
        out.append(path, sizeof path);
    }
    return out;
}

std::string recycle_get(const SimRequest &)
{
    std::lock_guard<std::mutex> lock(state().mu);
    return bytes_of(state().recycle);
}

std::string recycle_set(const SimRequest &req)
{
    RecycleMode m{};
    if (!payload_as(req, &m)) return qx_le32_bytes(-1);
    std::lock_guard<std::mutex> lock(state().mu);
    state().recycle = m;
    return qx_le32_bytes(0);
}

std::string disk_health(const SimRequest &req)
{
    DiskHealthRecord r{};
    const int port = payload_int(req, 0);
    bool known = false;
    for (const LocalDisk &l : kLocalDisks) known = known || l.port == port;
    COPY_TEXT(r.text, known ? "SMART overall-health: PASSED" : "SMART unavailable");
    return bytes_of(r);
}

std::string quota_get(const SimRequest &)
{
    std::lock_guard<std::mutex> lock(state().mu);
    return bytes_of(state().quota);
}

std::string quota_set(const SimRequest &req)
{
    QuotaRecord q{};
    if (!payload_as(req, &q) || q.count < 0 || q.count > QUOTA_ENTRIES_MAX) return qx_le32_bytes(-1);
    std::lock_guard<std::mutex> lock(state().mu);
    state().quota = q;
    return qx_le32_bytes(0);
}

std::string backup_status(const SimRequest &)
{
    BackupStatusRecord r{};
    COPY_TEXT(r.last_time, "2026-12-06 02:00:00");
    r.percent = 100.0f;
    r.capacity = 476940; // MiB
    return bytes_of(r);
}

std::string export_disk(const SimRequest &)
{
    ExportDiskRecord r{};
    r.port = 25;
    r.kind = EXPORT_DISK_KIND;
    return bytes_of(r);
}

} // namespace

SIM_REPLY(IPC_DISK_LIST, disk_list);
SIM_REPLY(IPC_DISK_FORMAT, format_disk);
SIM_REPLY(IPC_FORMAT_INFO, format_info);
SIM_REPLY(IPC_RAID_CREATE, raid_create);
SIM_REPLY(IPC_NAS_SEARCH, nas_search);
SIM_REPLY(IPC_RECYCLE_GET, recycle_get);
SIM_REPLY(IPC_RECYCLE_SET, recycle_set);
SIM_REPLY(IPC_DISK_HEALTH, disk_health);
SIM_REPLY(IPC_QUOTA_GET, quota_get);
SIM_REPLY(IPC_QUOTA_SET, quota_set);
SIM_REPLY(IPC_BACKUP_STATUS, backup_status);
SIM_REPLY(IPC_EXPORT_DISK, export_disk);
