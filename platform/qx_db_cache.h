// Read cache of the settings database: results of read operations kept in a
// small file in RAM (under /var/run), shared by all request processes.
//
// Most requests only read settings, and every request is a process of its
// own: opening the database and reading its schema costs more than the
// request's own work. A read that finds its result here needs no database
// connection at all.
//
// Validity: the cache belongs to one state of one database file, named by
// its identity (device, inode, size, change and modification times, and the
// change counter the library increments in the file header on every commit,
// by any writer). A reader uses an entry only when the file's current
// identity equals the cache's; any commit anywhere makes every entry stale,
// and the next reader that goes to the database starts the cache afresh.
//
// The cache file is untrusted like any stored file: every offset and length
// read from it is checked against the file, and an entry is used only when
// its whole key equals the key looked up.
#pragma once
#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <string>
#include <utility>
#include <vector>

struct QxDbIdentity {
    uint64_t dev = 0, ino = 0, size = 0;
    int64_t mtime_ns = 0, ctime_ns = 0;
    uint32_t counter = 0;
    uint32_t valid = 0; // 1 for the identity of a database in rollback-journal mode
    bool operator==(const QxDbIdentity &o) const
    {
        return valid && o.valid && dev == o.dev && ino == o.ino && size == o.size && mtime_ns == o.mtime_ns &&
               ctime_ns == o.ctime_ns && counter == o.counter;
    }
    bool operator!=(const QxDbIdentity &o) const { return !(*this == o); }
};

// Identity of the database file at `host` now (valid == 0 when it is missing,
// not a database, or in log mode, where the header's counter does not move).
QxDbIdentity qxdb_identity(const char *host);
// The same, taken from this process's last qxdb_identity() of the file when
// that is at most 2 ms old and the header's counter has not moved since (no
// system call; a file renamed into the path meanwhile is seen up to 2 ms
// late). For the start of a read transaction: a result from the file is
// always checked against qxdb_identity().
QxDbIdentity qxdb_identity_recent(const char *host);
// Closes the descriptors qxdb_identity() keeps (with the connections).
void qxdb_identity_close_all();

enum { QXDB_CACHE_MAX_BYTES = 2 << 20, QXDB_CACHE_SLOTS = 1024, QXDB_CACHE_MAX_VALUE = 256 << 10 };

class QxDbCache {
public:
    explicit QxDbCache(std::string path) : path_(std::move(path)) {}
    ~QxDbCache();
    QxDbCache(const QxDbCache &) = delete;
    QxDbCache &operator=(const QxDbCache &) = delete;

    // Maps the file and checks that it belongs to `id`; false when there is
    // no usable cache for that state. Takes no lock.
    bool begin_read(const QxDbIdentity &id);
    // The value stored under key (only between begin_read() and end_read()).
    // False also when a writer changed the file since begin_read(): the
    // cache then stays unused until end_read().
    bool lookup(const std::string &key, std::string *value);
    void end_read();

    // Stores results read from the database in the state `id`. A cache of
    // another state is started afresh when `id` is still the file's current
    // state; results of an older state are dropped.
    void store(const QxDbIdentity &id, const char *host,
               const std::vector<std::pair<std::string, std::string>> &entries);

    // Removes the cache file (a test's or a tool's fresh start).
    static void remove(const std::string &path);

private:
    bool open_fd(bool create);
    bool remap();
    std::string path_;
    int fd_ = -1;
    pid_t pid_ = 0;
    const char *map_ = nullptr;
    size_t map_len_ = 0;
    off_t opened_size_ = -1; // the file's size when opened, until the first mapping
    bool live_ = false;
    uint32_t seq_ = 0;
    uint32_t used_ = 0;
};
