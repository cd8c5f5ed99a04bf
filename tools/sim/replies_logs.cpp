// Replies of the device log requests: every day holds the same plausible
// day of entries (start-up, log-ins and log-outs, setting changes, camera
// events, a disk format and a full disk, an illegal access), so a search of
// today finds something whenever it runs. Searches are answered page by
// page; an export is written to a file under /tmp/log whose path the reply
// names, as the daemon does.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common/records/log.h"
#include "platform/device_path.h"
#include "sim.h"

namespace {

struct DayEntry {
    int at;            // seconds after midnight, local time
    int main_type;
    int sub_type;
    int param_type;
    int remote;
    int channel;       // 1-based channel, disk port, or 0
    const char *user;
    const char *ip;
    const char *detail;
};

#define HMS(h, m, s) ((h) * 3600 + (m) * 60 + (s))
const DayEntry kDay[] = {
    {HMS(0, 0, 12), LOG_MAIN_INFORMATION, 500, 0, 0, 0, "", "", "System started, firmware 7x.7.0.9"},
    {HMS(0, 0, 40), LOG_MAIN_INFORMATION, 502, 0, 0, 1, "", "", "Recording started"},
    {HMS(0, 0, 41), LOG_MAIN_INFORMATION, 502, 0, 0, 2, "", "", "Recording started"},
    {HMS(6, 58, 3), LOG_MAIN_EXCEPTION, 403, 0, 0, 0, "", "", "eth0 link down"},
    {HMS(7, 0, 10), LOG_MAIN_INFORMATION, 513, 0, 0, 0, "", "", "Time synchronised with pool.ntp.org"},
    {HMS(8, 1, 12), LOG_MAIN_OPERATION, 201, 900, 1, 0, "admin", "192.168.1.20", "Login from a web browser"},
    {HMS(8, 3, 40), LOG_MAIN_OPERATION, 204, 909, 1, 2, "admin", "192.168.1.20",
     "Motion detection of channel 2: sensitivity 4, schedule all week"},
    {HMS(8, 5, 5), LOG_MAIN_OPERATION, 204, 914, 1, 0, "admin", "192.168.1.20",
     "Network settings changed: DHCP off, address 192.168.1.100"},
    {HMS(8, 10, 0), LOG_MAIN_EVENT, 11, 0, 0, 2, "", "", "Motion in the \"Gate\" area"},
    {HMS(8, 10, 35), LOG_MAIN_EVENT, 12, 0, 0, 2, "", "", ""},
    {HMS(9, 15, 2), LOG_MAIN_EVENT, 17, 0, 0, 3, "", "", "No video from camera 192.168.1.103"},
    {HMS(9, 15, 3), LOG_MAIN_INFORMATION, 511, 0, 0, 3, "", "", "Camera 192.168.1.103 offline"},
    {HMS(9, 16, 30), LOG_MAIN_INFORMATION, 506, 0, 0, 3, "", "", "Camera 192.168.1.103 online"},
    {HMS(9, 16, 31), LOG_MAIN_EVENT, 18, 0, 0, 3, "", "", ""},
    {HMS(10, 0, 0), LOG_MAIN_OPERATION, 209, 900, 1, 1, "operator", "::ffff:192.168.1.35", "Playback of channel 1"},
    {HMS(10, 30, 45), LOG_MAIN_OPERATION, 206, 900, 1, 1, "operator", "::ffff:192.168.1.35", "PTZ preset 3 called"},
    {HMS(11, 45, 0), LOG_MAIN_OPERATION, 202, 900, 1, 0, "admin", "192.168.1.20", ""},
    {HMS(12, 0, 5), LOG_MAIN_EVENT, 13, 0, 0, 1, "", "", "Alarm input 1 (door contact) closed"},
    {HMS(12, 0, 50), LOG_MAIN_EVENT, 14, 0, 0, 1, "", "", ""},
    {HMS(13, 5, 0), LOG_MAIN_OPERATION, 201, 900, 1, 0, "admin", "fe80::1c2b:3aff:fe4d:5e6f%eth0", "Login from a web browser"},
    {HMS(13, 6, 20), LOG_MAIN_OPERATION, 204, 921, 1, 0, "admin", "fe80::1c2b:3aff:fe4d:5e6f%eth0",
     "User \"viewer\" added, level 2"},
    {HMS(13, 30, 0), LOG_MAIN_OPERATION, 207, 900, 1, 1, "admin", "fe80::1c2b:3aff:fe4d:5e6f%eth0", "Disk 1 formatted"},
    {HMS(14, 0, 0), LOG_MAIN_EXCEPTION, 400, 0, 0, 2, "", "", "Disk 2 full, overwriting"},
    {HMS(15, 10, 20), LOG_MAIN_EVENT, 19, 0, 0, 4, "", "", "Line crossing, A to B"},
    {HMS(16, 20, 0), LOG_MAIN_OPERATION, 210, 901, 1, 5, "admin", "192.168.1.20", "Camera 192.168.1.120 added"},
    {HMS(17, 0, 0), LOG_MAIN_OPERATION, 225, 900, 1, 0, "admin", "192.168.1.20", "Time set manually"},
    {HMS(18, 30, 0), LOG_MAIN_EVENT, 11, 0, 0, 1, "", "", ""},
    {HMS(18, 31, 10), LOG_MAIN_EVENT, 12, 0, 0, 1, "", "", ""},
    {HMS(20, 0, 0), LOG_MAIN_OPERATION, 213, 900, 1, 0, "admin", "192.168.1.20", "Configuration exported"},
    {HMS(22, 15, 9), LOG_MAIN_EXCEPTION, 404, 0, 1, 0, "guest", "203.0.113.7", "Wrong password, 3 tries"},
    {HMS(23, 59, 0), LOG_MAIN_INFORMATION, 512, 0, 0, 0, "", "", "Restart planned for 03:00"},
};
#undef HMS

enum { kMaxDays = 31 };

template <class T> T payload_as(const SimRequest &req)
{
    T rec{};
    memcpy(&rec, req.payload.data(), req.payload.size() < sizeof rec ? req.payload.size() : sizeof rec);
    return rec;
}

time_t local_midnight(time_t t)
{
    struct tm tmv;
    localtime_r(&t, &tmv);
    tmv.tm_hour = tmv.tm_min = tmv.tm_sec = 0;
    tmv.tm_isdst = -1;
    return mktime(&tmv);
}

bool disk_entry(const DayEntry &d)
{
    return (d.main_type == LOG_MAIN_OPERATION && d.sub_type == 207) ||
           (d.main_type == LOG_MAIN_EXCEPTION && d.sub_type == 400);
}

bool matches(const LogSearchRequest &r, const DayEntry &d)
{
    if (r.main_type != LOG_MAIN_ALL && r.main_type != d.main_type) return false;
    int n = r.sub_type_count < 0 ? 0 : r.sub_type_count > LOG_SUB_TYPES_MAX ? LOG_SUB_TYPES_MAX : r.sub_type_count;
    bool any_sub = n == 0;
    for (int i = 0; i < n && !any_sub; i++) any_sub = r.sub_types[i] == LOG_SUB_ALL || r.sub_types[i] == d.sub_type;
    if (!any_sub) return false;
    if (r.channel_mask == 0) return true;
    if (d.channel <= 0 || disk_entry(d)) return r.no_channel != 0;
    return d.channel <= 64 && (r.channel_mask >> (d.channel - 1) & 1);
}

struct Found {
    const DayEntry *day;
    int32_t time;
};

std::vector<Found> search(const LogSearchRequest &r)
{
    std::vector<Found> out;
    time_t day = local_midnight(r.start_time);
    for (int i = 0; i < kMaxDays && day <= r.end_time; i++) {
        for (const DayEntry &d : kDay) {
            time_t t = day + d.at;
            if (t >= r.start_time && t <= r.end_time && matches(r, d)) out.push_back({&d, static_cast<int32_t>(t)});
        }
        day = local_midnight(day + 26 * 3600); // the next day, also across a clock change
    }
    return out;
}

LogEntry entry_of(const Found &f)
{
    LogEntry e{};
    e.main_type = f.day->main_type;
    e.sub_type = f.day->sub_type;
    e.time = f.time;
    e.param_type = f.day->param_type;
    e.remote = f.day->remote;
    e.channel = f.day->channel;
    snprintf(e.client_addr, sizeof e.client_addr, "%s", f.day->ip);
    snprintf(e.user_name, sizeof e.user_name, "%s", f.day->user);
    size_t n = strlen(f.day->detail);
    if (n >= sizeof e.detail) n = sizeof e.detail - 1;
    memcpy(e.detail, f.day->detail, n);
    e.size = static_cast<int32_t>(n);
    return e;
}

// 3495: one page of 100 entries (pages count from 1).
std::string log_search(const SimRequest &req)
{
    LogSearchRequest r = payload_as<LogSearchRequest>(req);
    std::vector<Found> found = search(r);
    static LogSearchReply reply; // 67 KB; one request at a time
    static std::mutex mu;
    std::lock_guard<std::mutex> lock(mu);
    memset(&reply, 0, sizeof reply);
    reply.total = static_cast<int32_t>(found.size());
    size_t first = static_cast<size_t>(r.page > 1 ? r.page - 1 : 0) * LOG_PAGE_ENTRIES;
    for (size_t i = first; i < found.size() && reply.count < LOG_PAGE_ENTRIES; i++)
        reply.entries[reply.count++] = entry_of(found[i]);
    return std::string(reinterpret_cast<const char *>(&reply), sizeof reply);
}

// 3494: the whole search, written to a file: the entry count, then each
// entry with its detail text.
std::string log_export(const SimRequest &req)
{
    static std::atomic<unsigned> serial{0};
    LogSearchRequest r = payload_as<LogSearchRequest>(req);
    std::vector<Found> found = search(r);
    LogExportReply reply{};
    snprintf(reply.path, sizeof reply.path, "/tmp/log/export_%d_%u.dat", static_cast<int>(getpid()), ++serial);
    mkdir(nvr_path("/tmp").c_str(), 0755);
    mkdir(nvr_path(LOG_EXPORT_DIR).c_str(), 0755);
    FILE *f = fopen(nvr_path(reply.path).c_str(), "wb");
    if (!f) {
        reply.status = -1;
        return std::string(reinterpret_cast<const char *>(&reply), sizeof reply);
    }
    int32_t count = static_cast<int32_t>(found.size());
    fwrite(&count, sizeof count, 1, f);
    for (const Found &x : found) {
        LogExportItem item{};
        item.entry = entry_of(x);
        if (x.day->detail[0])
            snprintf(item.detail, sizeof item.detail, "%s%s%s", x.day->detail, x.day->user[0] ? "; by " : "",
                     x.day->user);
        fwrite(&item, sizeof item, 1, f);
    }
    fclose(f);
    return std::string(reinterpret_cast<const char *>(&reply), sizeof reply);
}

// 3488: the detail text of an entry: its own text, with who and whence.
std::string log_detail(const SimRequest &req)
{
    LogEntry e = payload_as<LogEntry>(req);
    std::string detail(reinterpret_cast<const char *>(e.detail), strnlen(reinterpret_cast<const char *>(e.detail), sizeof e.detail));
    std::string user(e.user_name, strnlen(e.user_name, sizeof e.user_name));
    std::string ip(e.client_addr, strnlen(e.client_addr, sizeof e.client_addr));
    if (detail.empty() && user.empty()) return std::string(); // nothing to tell
    std::string text = detail.empty() ? "No details" : detail;
    if (!user.empty()) text += "\nUser: " + user;
    if (!ip.empty()) text += "\nAddress: " + ip;
    return text + std::string(1, '\0');
}

} // namespace

SIM_REPLY(IPC_LOG_SEARCH, log_search);
SIM_REPLY(IPC_LOG_EXPORT, log_export);
SIM_REPLY(IPC_LOG_DETAIL, log_detail);
