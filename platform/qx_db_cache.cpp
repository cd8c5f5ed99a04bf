#include "platform/qx_db_cache.h"

#include <cstring>
#include <map>
#include <algorithm>
#include <cstddef>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// File layout: a header, a table of slots (open addressing on a hash of the
// key), then the entries one after another ([key length][value length][key]
// [value], 8-byte aligned).
//
// Readers map the file and take no lock: writers (one at a time, under an
// exclusive flock(2) lock) make the sequence number odd while they change
// the file and even again when done, and a reader uses what it read only
// when the number was even and unchanged around its reads. Writers never
// shorten the file, so a mapping never reaches past its end.
struct Header {
    char magic[8];
    uint32_t slots;
    uint32_t used; // end of the entries
    uint32_t seq;  // odd while a writer changes the file
    uint32_t valid;
    uint64_t dev, ino, size;
    int64_t mtime_ns, ctime_ns;
    uint32_t counter;
    uint32_t reserved;
};
static_assert(sizeof(Header) == 72, "cache header is 72 bytes");

struct Slot {
    uint32_t hash;
    uint32_t offset; // 0: empty
    uint32_t length;
    uint32_t reserved;
};
static_assert(sizeof(Slot) == 16, "cache slot is 16 bytes");

const char kMagic[8] = {'N', 'V', 'R', 'D', 'B', 'C', '2', 0};
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
           h.used >= kDataStart && h.used <= QXDB_CACHE_MAX_BYTES && (h.seq & 1) == 0;
}

bool header_is(const Header &h, const QxDbIdentity &id)
{
    return header_usable(h) && h.dev == id.dev && h.ino == id.ino && h.size == id.size &&
           h.mtime_ns == id.mtime_ns && h.ctime_ns == id.ctime_ns && h.counter == id.counter && id.valid;
}

bool slot_in_bounds(const Slot &s, uint32_t used)
{
    return s.offset >= kDataStart && s.length >= 8 && s.offset <= used && s.length <= used - s.offset &&
           s.length <= 8ull + 4096 + QXDB_CACHE_MAX_VALUE;
}

// The entry bytes of a slot hold exactly `key`: true and its value.
bool parse_entry(const char *entry, uint32_t length, const std::string &key, std::string *value)
{
    uint32_t lens[2];
    memcpy(lens, entry, sizeof lens);
    if (lens[0] != key.size() || lens[1] > QXDB_CACHE_MAX_VALUE || 8ull + lens[0] + lens[1] != length) return false;
    if (memcmp(entry + 8, key.data(), key.size()) != 0) return false;
    if (value) value->assign(entry + 8 + key.size(), lens[1]);
    return true;
}

// Entry of `key` at slot s, read from the file (writers).
bool read_entry(int fd, const Slot &s, uint32_t used, const std::string &key, std::string *value)
{
    if (!slot_in_bounds(s, used)) return false;
    std::string buf(s.length, '\0');
    return read_full(fd, &buf[0], buf.size(), s.offset) && parse_entry(buf.data(), s.length, key, value);
}

pid_t g_pid = 0; // this process's id, renewed in a child of fork()
void renew_pid() { g_pid = getpid(); }
pid_t current_pid()
{
    if (!g_pid) {
        pthread_atfork(nullptr, nullptr, renew_pid);
        renew_pid();
    }
    return g_pid;
}

uint32_t load_seq(const void *map)
{
    return __atomic_load_n(reinterpret_cast<const uint32_t *>(static_cast<const char *>(map) + offsetof(Header, seq)),
                           __ATOMIC_ACQUIRE);
}

// Identity of a database, read through a descriptor and a mapping of the
// file's first page kept per file for the process. A descriptor is never
// closed while the process may hold the library's locks on that file
// (closing any descriptor of a file drops the process's locks on it): one of
// a replaced file is left open, and all are closed only with the connections
// (qxdb_identity_close_all()).
enum { kHeaderMap = 4096 };
struct DbFile {
    int fd = -1;
    uint64_t dev = 0, ino = 0;
    pid_t pid = 0;
    const volatile unsigned char *map = nullptr;
    QxDbIdentity last; // of the last stat() of the path (valid or not)
    int64_t last_ns = 0; // when it was taken (monotonic clock)
};
std::map<std::string, DbFile> &db_files()
{
    // Built on first use (not at every start), never destroyed.
    static auto *value = new std::map<std::string, DbFile>;
    return *value;
}

int64_t monotonic_ns()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The header's change counter as the library keeps it (big-endian at 24),
// read through the mapping; false unless the header is a database's in
// rollback-journal mode (in log mode, bytes 18 and 19 are 2, the counter does
// not follow commits).
bool header_counter(const DbFile &f, uint32_t *counter)
{
    unsigned char header[28];
    for (size_t i = 0; i < sizeof header; i++) header[i] = f.map[i];
    if (memcmp(header, "SQLite format 3", 16) != 0) return false;
    if (header[18] == 2 || header[19] == 2) return false;
    *counter = static_cast<uint32_t>(header[24]) << 24 | static_cast<uint32_t>(header[25]) << 16 |
               static_cast<uint32_t>(header[26]) << 8 | header[27];
    return true;
}

// An identity this recent is used again without a stat() of the path while
// the counter has not moved: a transaction that reads only from the cache
// (many a request runs a dozen) costs no system call. Every commit to the
// file moves the counter in the mapped header; what the window can miss is
// another file renamed into its place (a restored copy), which a reader then
// sees at most this late.
enum : int64_t { kRecentNs = 2000000 };
} // namespace

QxDbIdentity qxdb_identity(const char *host)
{
    QxDbIdentity id;
    struct stat st;
    if (!host || stat(host, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 100) return id;
    DbFile &f = db_files()[host];
    if (f.fd < 0 || !f.map || f.pid != current_pid() || f.dev != static_cast<uint64_t>(st.st_dev) ||
        f.ino != static_cast<uint64_t>(st.st_ino)) {
        if (f.map && f.pid == current_pid()) munmap(const_cast<unsigned char *>(f.map), kHeaderMap);
        f = DbFile();
        int fd = open(host, O_RDONLY | O_CLOEXEC);
        struct stat fst;
        if (fd < 0) return id;
        if (fstat(fd, &fst) != 0 || fst.st_ino != st.st_ino || fst.st_dev != st.st_dev || fst.st_size < 100) {
            close(fd); // not the file stat() named: nobody locks it through this process
            return id;
        }
        void *m = mmap(nullptr, kHeaderMap, PROT_READ, MAP_SHARED, fd, 0);
        f.fd = fd; // kept (see above), also when the mapping failed
        f.dev = static_cast<uint64_t>(st.st_dev);
        f.ino = static_cast<uint64_t>(st.st_ino);
        f.pid = current_pid();
        if (m == MAP_FAILED) return id;
        f.map = static_cast<const volatile unsigned char *>(m);
    }
    if (!header_counter(f, &id.counter)) return id;
    id.dev = static_cast<uint64_t>(st.st_dev);
    id.ino = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.ctime_ns = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    id.valid = 1;
    f.last = id;
    f.last_ns = monotonic_ns();
    return id;
}

QxDbIdentity qxdb_identity_recent(const char *host)
{
    if (host) {
        auto it = db_files().find(host);
        if (it != db_files().end()) {
            const DbFile &f = it->second;
            uint32_t counter = 0;
            if (f.map && f.pid == current_pid() && f.last.valid && header_counter(f, &counter) &&
                counter == f.last.counter && monotonic_ns() - f.last_ns < kRecentNs)
                return f.last;
        }
    }
    return qxdb_identity(host);
}

void qxdb_identity_close_all()
{
    for (auto &kv : db_files()) {
        if (kv.second.pid != current_pid()) continue;
        if (kv.second.map) munmap(const_cast<unsigned char *>(kv.second.map), kHeaderMap);
        if (kv.second.fd >= 0) close(kv.second.fd);
    }
    db_files().clear();
}

QxDbCache::~QxDbCache()
{
    if (pid_ != current_pid()) return;
    if (map_) munmap(const_cast<char *>(map_), map_len_);
    if (fd_ >= 0) close(fd_);
}

bool QxDbCache::open_fd(bool create)
{
    if (fd_ >= 0 && pid_ == current_pid()) return true;
    fd_ = -1; // a descriptor or mapping inherited through fork() is left alone
    map_ = nullptr;
    map_len_ = 0;
    live_ = false;
    int fd = open(path_.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    fd_ = fd;
    pid_ = current_pid();
    opened_size_ = st.st_size;
    return true;
}

// Maps the file as long as it is now (the entries written later are reached
// after a new mapping).
bool QxDbCache::remap()
{
    if (map_) munmap(const_cast<char *>(map_), map_len_);
    map_ = nullptr;
    map_len_ = 0;
    // The size seen when the file was opened serves the first mapping
    // (stores forget it: they make the file longer).
    off_t size = opened_size_;
    opened_size_ = -1;
    struct stat st;
    if (size < static_cast<off_t>(kDataStart)) size = fstat(fd_, &st) == 0 ? st.st_size : -1;
    if (size < static_cast<off_t>(kDataStart)) return false;
    const size_t len = std::min<size_t>(static_cast<size_t>(size), QXDB_CACHE_MAX_BYTES);
    void *m = mmap(nullptr, len, PROT_READ, MAP_SHARED, fd_, 0);
    if (m == MAP_FAILED) return false;
    map_ = static_cast<const char *>(m);
    map_len_ = len;
    return true;
}

bool QxDbCache::begin_read(const QxDbIdentity &id)
{
    live_ = false;
    if (!id.valid || !open_fd(false)) return false;
    if (!map_ && !remap()) return false;
    for (int attempt = 0; attempt < 2; attempt++) {
        seq_ = load_seq(map_);
        Header h;
        memcpy(&h, map_, sizeof h);
        __atomic_thread_fence(__ATOMIC_ACQUIRE);
        if (load_seq(map_) != seq_ || h.seq != seq_ || !header_is(h, id)) return false;
        if (h.used > map_len_) { // grown since it was mapped
            if (!remap()) return false;
            continue;
        }
        used_ = h.used;
        live_ = true;
        return true;
    }
    return false;
}

bool QxDbCache::lookup(const std::string &key, std::string *value)
{
    if (!live_) return false;
    const uint32_t h = hash_key(key);
    std::string found;
    bool hit = false;
    for (int p = 0; p < kMaxProbes && !hit; p++) {
        const uint32_t i = (h + static_cast<uint32_t>(p)) % QXDB_CACHE_SLOTS;
        Slot s;
        memcpy(&s, map_ + slot_offset(i), sizeof s);
        if (s.offset == 0) break;
        hit = s.hash == h && slot_in_bounds(s, used_) && parse_entry(map_ + s.offset, s.length, key, &found);
    }
    // A writer that changed the file meanwhile makes every read of this
    // transaction from the cache void.
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    if (load_seq(map_) != seq_) {
        live_ = false;
        return false;
    }
    if (hit && value) *value = std::move(found);
    return hit;
}

void QxDbCache::end_read() { live_ = false; }

void QxDbCache::store(const QxDbIdentity &id, const char *host,
                      const std::vector<std::pair<std::string, std::string>> &entries)
{
    if (!id.valid || entries.empty() || !open_fd(true)) return;
    opened_size_ = -1;
    end_read();
    if (flock(fd_, LOCK_EX) != 0) return;
    Header h;
    const bool have = read_full(fd_, &h, sizeof h, 0) && memcmp(h.magic, kMagic, sizeof kMagic) == 0;
    const uint32_t seq = have ? (h.seq + 1) | 1 : 1; // odd while changing
    if (!have || !header_is(h, id)) {
        // Another state: start afresh, but only for the file's current state.
        if (qxdb_identity(host) != id) {
            flock(fd_, LOCK_UN);
            return;
        }
        memset(&h, 0, sizeof h);
        memcpy(h.magic, kMagic, sizeof kMagic);
        h.slots = QXDB_CACHE_SLOTS;
        h.used = kDataStart;
        h.seq = seq;
        std::string zeros(kDataStart, '\0');
        if (!write_full(fd_, &h, sizeof h, 0) || !write_full(fd_, zeros.data() + sizeof h, kDataStart - sizeof h, sizeof h)) {
            flock(fd_, LOCK_UN);
            return;
        }
        put_identity(&h, id);
    } else {
        h.seq = seq;
        if (!write_full(fd_, &h.seq, sizeof h.seq, offsetof(Header, seq))) {
            flock(fd_, LOCK_UN);
            return;
        }
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
    h.seq = seq + 1;
    write_full(fd_, &h, sizeof h, 0);
    flock(fd_, LOCK_UN);
}

void QxDbCache::remove(const std::string &path) { unlink(path.c_str()); }
