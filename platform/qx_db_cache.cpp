#include "platform/qx_db_cache.h"

#include <cstring>
#include <map>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// File layout: a header, a table of slots (open addressing on a hash of the
// key), then the entries one after another ([key length][value length][key]
// [value], 8-byte aligned).
struct Header {
    char magic[8];
    uint32_t slots;
    uint32_t used; // end of the entries
    uint64_t dev, ino, size;
    int64_t mtime_ns, ctime_ns;
    uint32_t counter;
    uint32_t valid;
};
static_assert(sizeof(Header) == 64, "cache header is 64 bytes");

struct Slot {
    uint32_t hash;
    uint32_t offset; // 0: empty
    uint32_t length;
    uint32_t reserved;
};
static_assert(sizeof(Slot) == 16, "cache slot is 16 bytes");

const char kMagic[8] = {'N', 'V', 'R', 'D', 'B', 'C', '1', 0};
const uint32_t kDataStart = sizeof(Header) + QXDB_CACHE_SLOTS * sizeof(Slot);
const int kMaxProbes = 16;

uint32_t hash_key(const std::string &key)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : key) h = (h ^ c) * 16777619u;
    return h ? h : 1;
}

bool read_full(int fd, void *buf, size_t n, uint64_t off)
{
    return pread(fd, buf, n, static_cast<off_t>(off)) == static_cast<ssize_t>(n);
}

bool write_full(int fd, const void *buf, size_t n, uint64_t off)
{
    return pwrite(fd, buf, n, static_cast<off_t>(off)) == static_cast<ssize_t>(n);
}

uint64_t slot_offset(uint32_t i) { return sizeof(Header) + static_cast<uint64_t>(i) * sizeof(Slot); }

void put_identity(Header *h, const QxDbIdentity &id)
{
    h->dev = id.dev;
    h->ino = id.ino;
    h->size = id.size;
    h->mtime_ns = id.mtime_ns;
    h->ctime_ns = id.ctime_ns;
    h->counter = id.counter;
    h->valid = id.valid;
}

bool header_usable(const Header &h)
{
    return memcmp(h.magic, kMagic, sizeof kMagic) == 0 && h.slots == QXDB_CACHE_SLOTS && h.valid == 1 &&
           h.used >= kDataStart && h.used <= QXDB_CACHE_MAX_BYTES;
}

bool header_is(const Header &h, const QxDbIdentity &id)
{
    return header_usable(h) && h.dev == id.dev && h.ino == id.ino && h.size == id.size &&
           h.mtime_ns == id.mtime_ns && h.ctime_ns == id.ctime_ns && h.counter == id.counter && id.valid;
}

// Entry of `key` at slot s: true and its value when the slot holds exactly
// that key within the used part of the file.
bool read_entry(int fd, const Slot &s, uint32_t used, const std::string &key, std::string *value)
{
    if (s.offset < kDataStart || s.length < 8 || s.offset > used || s.length > used - s.offset ||
        s.length > 8ull + 4096 + QXDB_CACHE_MAX_VALUE)
        return false;
    std::string buf(s.length, '\0');
    if (!read_full(fd, &buf[0], buf.size(), s.offset)) return false;
    uint32_t lens[2];
    memcpy(lens, buf.data(), sizeof lens);
    if (lens[0] != key.size() || lens[1] > QXDB_CACHE_MAX_VALUE || 8ull + lens[0] + lens[1] != s.length) return false;
    if (buf.compare(8, key.size(), key) != 0) return false;
    if (value) value->assign(buf, 8 + key.size(), std::string::npos);
    return true;
}

// Identity of a database, read through a descriptor kept per file for the
// process. A descriptor is never closed while the process may hold the
// library's locks on that file (closing any descriptor of a file drops the
// process's locks on it): one of a replaced file is left open, and all are
// closed only with the connections (qxdb_identity_close_all()).
struct DbFile {
    int fd = -1;
    uint64_t dev = 0, ino = 0;
    pid_t pid = 0;
};
std::map<std::string, DbFile> g_db_files;

} // namespace

QxDbIdentity qxdb_identity(const char *host)
{
    QxDbIdentity id;
    struct stat st;
    if (!host || stat(host, &st) != 0 || !S_ISREG(st.st_mode)) return id;
    DbFile &f = g_db_files[host];
    if (f.fd < 0 || f.pid != getpid() || f.dev != static_cast<uint64_t>(st.st_dev) ||
        f.ino != static_cast<uint64_t>(st.st_ino)) {
        f = DbFile();
        int fd = open(host, O_RDONLY | O_CLOEXEC);
        struct stat fst;
        if (fd < 0) return id;
        if (fstat(fd, &fst) != 0 || fst.st_ino != st.st_ino || fst.st_dev != st.st_dev) {
            close(fd);
            return id;
        }
        f.fd = fd;
        f.dev = static_cast<uint64_t>(st.st_dev);
        f.ino = static_cast<uint64_t>(st.st_ino);
        f.pid = getpid();
    }
    unsigned char header[28];
    if (!read_full(f.fd, header, sizeof header, 0) || memcmp(header, "SQLite format 3", 16) != 0) return id;
    if (header[18] == 2 || header[19] == 2) return id; // log mode: the counter does not follow commits
    id.dev = static_cast<uint64_t>(st.st_dev);
    id.ino = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.ctime_ns = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    id.counter = static_cast<uint32_t>(header[24]) << 24 | static_cast<uint32_t>(header[25]) << 16 |
                 static_cast<uint32_t>(header[26]) << 8 | header[27];
    id.valid = 1;
    return id;
}

void qxdb_identity_close_all()
{
    for (auto &kv : g_db_files)
        if (kv.second.fd >= 0 && kv.second.pid == getpid()) close(kv.second.fd);
    g_db_files.clear();
}

QxDbCache::~QxDbCache()
{
    if (fd_ >= 0 && pid_ == getpid()) close(fd_);
}

bool QxDbCache::open_fd(bool create)
{
    if (fd_ >= 0 && pid_ == getpid()) return true;
    fd_ = -1; // a descriptor inherited through fork() is left to the parent
    locked_ = false;
    int fd = open(path_.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    fd_ = fd;
    pid_ = getpid();
    return true;
}

bool QxDbCache::begin_read(const QxDbIdentity &id)
{
    if (!id.valid || !open_fd(false)) return false;
    if (flock(fd_, LOCK_SH) != 0) return false;
    locked_ = true;
    Header h;
    if (!read_full(fd_, &h, sizeof h, 0) || !header_is(h, id)) {
        end_read();
        return false;
    }
    used_ = h.used;
    return true;
}

bool QxDbCache::lookup(const std::string &key, std::string *value)
{
    if (!locked_) return false;
    const uint32_t h = hash_key(key);
    for (int p = 0; p < kMaxProbes; p++) {
        const uint32_t i = (h + static_cast<uint32_t>(p)) % QXDB_CACHE_SLOTS;
        Slot s;
        if (!read_full(fd_, &s, sizeof s, slot_offset(i)) || s.offset == 0) return false;
        if (s.hash == h && read_entry(fd_, s, used_, key, value)) return true;
    }
    return false;
}

void QxDbCache::end_read()
{
    if (locked_) flock(fd_, LOCK_UN);
    locked_ = false;
}

void QxDbCache::store(const QxDbIdentity &id, const char *host,
                      const std::vector<std::pair<std::string, std::string>> &entries)
{
    if (!id.valid || entries.empty() || !open_fd(true)) return;
    end_read();
    if (flock(fd_, LOCK_EX) != 0) return;
    Header h;
    if (!read_full(fd_, &h, sizeof h, 0) || !header_is(h, id)) {
        // Another state: start afresh, but only for the file's current state.
        // The header is first written invalid, so that an interrupted reset
        // leaves a cache nobody uses.
        if (qxdb_identity(host) != id) {
            flock(fd_, LOCK_UN);
            return;
        }
        memset(&h, 0, sizeof h);
        memcpy(h.magic, kMagic, sizeof kMagic);
        h.slots = QXDB_CACHE_SLOTS;
        h.used = kDataStart;
        std::string zeros(kDataStart, '\0');
        if (!write_full(fd_, &h, sizeof h, 0) || !write_full(fd_, zeros.data() + sizeof h, kDataStart - sizeof h, sizeof h)) {
            flock(fd_, LOCK_UN);
            return;
        }
        put_identity(&h, id);
    }
    for (const auto &e : entries) {
        const std::string &key = e.first, &value = e.second;
        if (key.size() > 4096 || value.size() > QXDB_CACHE_MAX_VALUE) continue;
        const uint32_t length = static_cast<uint32_t>(8 + key.size() + value.size());
        const uint32_t aligned = (length + 7u) & ~7u;
        if (aligned > QXDB_CACHE_MAX_BYTES - h.used) continue;
        const uint32_t hash = hash_key(key);
        int free_slot = -1;
        for (int p = 0; p < kMaxProbes; p++) {
            const uint32_t i = (hash + static_cast<uint32_t>(p)) % QXDB_CACHE_SLOTS;
            Slot s;
            if (!read_full(fd_, &s, sizeof s, slot_offset(i))) break;
            if (s.offset == 0) {
                free_slot = static_cast<int>(i);
                break;
            }
            if (s.hash == hash && read_entry(fd_, s, h.used, key, nullptr)) break; // already there
        }
        if (free_slot < 0) continue;
        std::string rec(aligned, '\0');
        const uint32_t lens[2] = {static_cast<uint32_t>(key.size()), static_cast<uint32_t>(value.size())};
        memcpy(&rec[0], lens, sizeof lens);
        memcpy(&rec[8], key.data(), key.size());
        if (!value.empty()) memcpy(&rec[8 + key.size()], value.data(), value.size());
        const Slot s = {hash, h.used, length, 0};
        if (!write_full(fd_, rec.data(), rec.size(), h.used) ||
            !write_full(fd_, &s, sizeof s, slot_offset(static_cast<uint32_t>(free_slot))))
            break;
        h.used += aligned;
    }
    write_full(fd_, &h, sizeof h, 0);
    flock(fd_, LOCK_UN);
}

void QxDbCache::remove(const std::string &path) { unlink(path.c_str()); }
