#include "platform/qx_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <fcntl.h>
#include <unistd.h>

#include "platform/device_path.h"

struct QxDbConn {
    sqlite3 *db = nullptr;
    pid_t pid = 0;
    std::map<std::string, sqlite3_stmt *> stmts;
};

namespace {

const int kBusyTimeoutMs = 10000;
const char kParamsTable[] = "params";

std::mutex g_mu;
std::map<std::string, QxDbConn *> &conns()
{
    // Host path -> connection; built on first use (not at every start), never destroyed.
    static auto *value = new std::map<std::string, QxDbConn *>;
    return *value;
}
std::map<std::string, std::string> &redirects()
{
    // Device path -> host path; built on first use (not at every start), never destroyed.
    static auto *value = new std::map<std::string, std::string>;
    return *value;
}
thread_local int g_depth = 0;
// The transaction open in this thread, which nested calls on the same
// database join.
thread_local QxDbTxn *g_open_txn = nullptr;
thread_local std::string g_open_host;
thread_local std::string g_last_error;

double now_seconds()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// A short pause before retrying a transaction that found the file busy;
// spread by process id so that waiting processes do not retry in step.
void backoff(int attempt)
{
    unsigned ms = 5u + static_cast<unsigned>(getpid() % 7) + static_cast<unsigned>(std::min(attempt, 10)) * 5u;
    usleep(ms * 1000u);
}

bool is_busy(int rc)
{
    rc &= 0xff;
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

void set_error(sqlite3 *db, const char *what)
{
    g_last_error = std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no database");
}

void close_conn(QxDbConn *c)
{
    for (auto &kv : c->stmts) sqlite3_finalize(kv.second);
    c->stmts.clear();
    if (c->db) sqlite3_close_v2(c->db);
    delete c;
}

// What the first bytes of the file say: nothing yet (absent or empty: a new
// database), a database in rollback-journal or in log mode, or something
// that is not a database at all.
enum FileState { FILE_NEW, FILE_ROLLBACK, FILE_LOG, FILE_NOT_DATABASE };

FileState file_state(const std::string &host)
{
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FILE_NEW;
    unsigned char header[20];
    const ssize_t n = pread(fd, header, sizeof header, 0);
    close(fd);
    if (n == 0) return FILE_NEW;
    if (n != static_cast<ssize_t>(sizeof header) || memcmp(header, "SQLite format 3", 16) != 0)
        return FILE_NOT_DATABASE;
    return header[18] == 2 && header[19] == 2 ? FILE_LOG : FILE_ROLLBACK;
}

// Memory set-up of the library, before its first use in the process. Every
// request is a short process that touches a few pages of a small file, so
// the memory the library would prepare up front (a bulk page cache of 20
// pages, a lookaside pool of 100 slots of 1200 bytes, both threaded through
// at open) costs more page faults than it saves allocations: pages are
// allocated as they are read, and the lookaside pool is kept small.
// Every use of a connection is serialised by g_mu, so the library's own
// mutexes and its memory statistics are left out.
void configure_library_once()
{
    static bool done = false;
    if (done) return;
    done = true;
    sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
    sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 128, 32);
}

QxDbConn *open_conn(const std::string &host)
{
    configure_library_once();
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(host.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        set_error(db, "open");
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    // The rollback journal, not a write-ahead log: every request is a process
    // of its own that opens the file once, and with a log each such first
    // opener rebuilds the log's index by reading the whole log, which grows
    // with every write until a checkpoint (a few megabytes: milliseconds on
    // every request). A file left in log mode (bytes 18 and 19 of its header
    // are 2) is switched back once; that needs a moment of exclusive access,
    // and while others hold the file it simply stays in log mode until a
    // later open.
    //
    // The library reads nothing at open, so a file that is not a database at
    // all is refused here, from the header read for the mode, rather than
    // at the first statement (where it would look like a file without tables).
    const FileState state = file_state(host);
    if (state == FILE_NOT_DATABASE) {
        g_last_error = "open: file is not a database";
        sqlite3_close_v2(db);
        return nullptr;
    }
    if (state == FILE_LOG) sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    QxDbConn *c = new QxDbConn;
    c->db = db;
    c->pid = getpid();
    return c;
}

// Cached connection of a host path; a connection inherited through fork()
// is abandoned (never closed: its locks and file state belong to the parent).
QxDbConn *get_conn(const std::string &host)
{
    auto it = conns().find(host);
    if (it != conns().end()) {
        if (it->second->pid == getpid()) return it->second;
        conns().erase(it);
    }
    QxDbConn *c = open_conn(host);
    if (c) conns()[host] = c;
    return c;
}

// Prepared statements are kept per connection; a statement is reset on
// release, so a cached one never holds a read open.
class Stmt {
public:
    Stmt(QxDbConn *c, const std::string &sql) : db_(c->db)
    {
        auto it = c->stmts.find(sql);
        if (it != c->stmts.end()) {
            s_ = it->second;
            return;
        }
        if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s_, nullptr) != SQLITE_OK) {
            set_error(db_, "prepare");
            s_ = nullptr;
            return;
        }
        c->stmts[sql] = s_;
    }
    ~Stmt()
    {
        if (s_) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    explicit operator bool() const { return s_ != nullptr; }
    sqlite3_stmt *get() const { return s_; }
    int step()
    {
        int rc = sqlite3_step(s_);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) set_error(db_, "step");
        return rc;
    }

private:
    sqlite3 *db_;
    sqlite3_stmt *s_ = nullptr;
};

// Text of a column, bounded by its byte count and cut at an embedded zero.
std::string column_string(sqlite3_stmt *s, int col)
{
    const unsigned char *t = sqlite3_column_text(s, col);
    int n = sqlite3_column_bytes(s, col);
    if (!t || n <= 0) return std::string();
    const char *p = reinterpret_cast<const char *>(t);
    return std::string(p, strnlen(p, static_cast<size_t>(n)));
}

// ---- Results as kept in the read cache ---------------------------------------------------
// Key: the operation's letter, the table (or parameter) name and its
// arguments. Values: a found flag and the blob (get), the rows one after
// another (scans), or the number (counts).
std::string cache_key(char op, const char *name, const void *args = nullptr, size_t n = 0)
{
    std::string k(1, op);
    k += name;
    k += '\0';
    if (n) k.append(static_cast<const char *>(args), n);
    return k;
}

template <class T> void put_raw(std::string &v, T x) { v.append(reinterpret_cast<const char *>(&x), sizeof x); }

template <class T> bool take_raw(const std::string &v, size_t &pos, T *x)
{
    if (v.size() - pos < sizeof *x) return false;
    memcpy(x, v.data() + pos, sizeof *x);
    pos += sizeof *x;
    return true;
}

// A piece of `len` bytes at pos (bounded by the value).
bool take_bytes(const std::string &v, size_t &pos, uint32_t len, const char **out)
{
    if (v.size() - pos < len) return false;
    *out = v.data() + pos;
    pos += len;
    return true;
}

void put_piece(std::string &v, const void *data, size_t len)
{
    put_raw(v, static_cast<uint32_t>(len));
    if (len) v.append(static_cast<const char *>(data), len);
}

// Copies a stored blob into a record: a shorter blob reads zero-padded, a
// longer one is cut.
void fill_record(void *rec, size_t size, const void *data, size_t len)
{
    if (!size) return;
    size_t n = data ? std::min(len, size) : 0;
    if (n) memcpy(rec, data, n);
    memset(static_cast<char *>(rec) + n, 0, size - n);
}

// A get's cached value: 0 missing, 1 stored (rec filled), -1 malformed.
int decode_found(const std::string &v, void *rec, size_t size)
{
    if (v.empty() || (v[0] != 0 && v[0] != 1)) return -1;
    if (v[0] == 0) return 0;
    fill_record(rec, size, v.data() + 1, v.size() - 1);
    return 1;
}

} // namespace

bool qxdb_valid_table_name(const char *name)
{
    if (!name || !(*name >= 'a' && *name <= 'z')) return false;
    size_t n = 0;
    for (const char *p = name; *p; p++, n++) {
        char ch = *p;
        if (!((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_')) return false;
    }
    if (n > 63) return false;
    if (strncmp(name, "sqlite_", 7) == 0) return false;
    return strcmp(name, kParamsTable) != 0;
}

int QxDbTxn::fail(int rc)
{
    if (is_busy(rc)) busy_ = true;
    return -1;
}

// Every record table lives in one SQLite table keyed by (table name, key):
// the handful of statements below are prepared once per process whatever
// the number of record tables a request touches.
const char kRecordsTable[] = "records";

bool QxDbTxn::table_exists(const char *table)
{
    Stmt s(conn_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1");
    if (!s) return false;
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    int rc = s.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(rc);
    return rc == SQLITE_ROW;
}

int QxDbTxn::ensure_table(const char *table)
{
    if (!table || (strcmp(table, kParamsTable) != 0 && !qxdb_valid_table_name(table))) return -1;
    if (!write_) {
        g_last_error = "write in a read transaction";
        return -1;
    }
    const bool params = strcmp(table, kParamsTable) == 0;
    if (ensured_ == (params ? kParamsTable : kRecordsTable)) return 0;
    const char *sql = params ? "CREATE TABLE IF NOT EXISTS params (key TEXT PRIMARY KEY, value TEXT NOT NULL)"
                             : "CREATE TABLE IF NOT EXISTS records (tbl TEXT NOT NULL, id INTEGER NOT NULL, "
                               "data BLOB NOT NULL, PRIMARY KEY (tbl, id)) WITHOUT ROWID";
    int rc = sqlite3_exec(conn_->db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        set_error(conn_->db, "create table");
        return fail(rc);
    }
    ensured_ = params ? kParamsTable : kRecordsTable;
    return 0;
}

// A statement on the records table that failed to prepare: the table does
// not exist yet (nothing stored: 0), or the file is busy or broken (-1).
int QxDbTxn::missing_records()
{
    return table_exists(kRecordsTable) || busy_ ? -1 : 0;
}

int QxDbTxn::get(const char *table, int64_t key, void *rec, size_t size)
{
    if (!qxdb_valid_table_name(table) || (!rec && size)) return -1;
    std::string ck, cv;
    if (cache_) {
        ck = cache_key('G', table, &key, sizeof key);
        if (cached(ck, &cv)) {
            int found = decode_found(cv, rec, size);
            if (found >= 0) return found;
        }
    }
    if (!sql()) return -1;
    Stmt s(conn_, "SELECT data FROM records WHERE tbl=?1 AND id=?2");
    if (!s) return missing_records();
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_int64(s.get(), 2, key);
    return one_row(s.step(), s.get(), std::move(ck), rec, size);
}

// The result of a one-row read (get, text_get) whose statement stepped to rc:
// 1 with rec filled, 0 when nothing is stored; remembered for the cache.
int QxDbTxn::one_row(int rc, sqlite3_stmt *s, std::string ck, void *rec, size_t size)
{
    if (rc == SQLITE_DONE) {
        remember(std::move(ck), std::string(1, '\0'));
        return 0;
    }
    if (rc != SQLITE_ROW) return fail(rc);
    const void *data = sqlite3_column_blob(s, 0);
    size_t len = data ? static_cast<size_t>(sqlite3_column_bytes(s, 0)) : 0;
    fill_record(rec, size, data, len);
    if (cache_) {
        std::string cv(1, '\1');
        if (len) cv.append(static_cast<const char *>(data), len);
        remember(std::move(ck), std::move(cv));
    }
    return 1;
}

int QxDbTxn::scan(const char *table, int64_t first, int64_t count,
                  const std::function<void(int64_t, const void *, size_t)> &fn)
{
    if (!qxdb_valid_table_name(table) || count < 0) return -1;
    std::string ck, cv;
    if (cache_) {
        const int64_t args[2] = {first, count};
        ck = cache_key('S', table, args, sizeof args);
        if (cached(ck, &cv)) {
            // Rows: [key][length][data]; a malformed value is read from the file.
            std::vector<std::pair<int64_t, std::pair<const char *, uint32_t>>> rows;
            size_t pos = 0;
            int64_t k;
            uint32_t len;
            const char *data;
            while (pos < cv.size() && take_raw(cv, pos, &k) && take_raw(cv, pos, &len) && take_bytes(cv, pos, len, &data))
                rows.push_back({k, {data, len}});
            if (pos == cv.size()) {
                for (const auto &r : rows) fn(r.first, r.second.second ? r.second.first : nullptr, r.second.second);
                return static_cast<int>(rows.size());
            }
            cv.clear();
        }
    }
    if (!sql()) return -1;
    Stmt s(conn_, "SELECT id, data FROM records WHERE tbl=?1 AND id>=?2 AND id<?3 ORDER BY id");
    if (!s) return missing_records();
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_int64(s.get(), 2, first);
    sqlite3_bind_int64(s.get(), 3, first + count);
    int rows = 0;
    for (;;) {
        int rc = s.step();
        if (rc == SQLITE_DONE) {
            remember(std::move(ck), std::move(cv));
            return rows;
        }
        if (rc != SQLITE_ROW) return fail(rc);
        const void *data = sqlite3_column_blob(s.get(), 1);
        size_t len = data ? static_cast<size_t>(sqlite3_column_bytes(s.get(), 1)) : 0;
        const int64_t k = sqlite3_column_int64(s.get(), 0);
        if (cache_ && cv.size() <= QXDB_CACHE_MAX_VALUE) {
            put_raw(cv, k);
            put_piece(cv, data, len);
        }
        fn(k, data, len);
        rows++;
    }
}

int QxDbTxn::put(const char *table, int64_t key, const void *rec, size_t size)
{
    if (!qxdb_valid_table_name(table) || (!rec && size)) return -1;
    if (ensure_table(table) < 0) return -1;
    Stmt s(conn_, "INSERT OR REPLACE INTO records (tbl, id, data) VALUES (?1, ?2, ?3)");
    if (!s) return fail(sqlite3_errcode(conn_->db));
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_int64(s.get(), 2, key);
    sqlite3_bind_blob(s.get(), 3, size ? rec : "", static_cast<int>(size), SQLITE_STATIC);
    int rc = s.step();
    return rc == SQLITE_DONE ? 0 : fail(rc);
}

int QxDbTxn::del(const char *table, int64_t key)
{
    if (!qxdb_valid_table_name(table) || !write_) return -1;
    Stmt s(conn_, "DELETE FROM records WHERE tbl=?1 AND id=?2");
    if (!s) return missing_records();
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_int64(s.get(), 2, key);
    int rc = s.step();
    return rc == SQLITE_DONE ? 0 : fail(rc);
}

int64_t QxDbTxn::count(const char *table)
{
    if (!qxdb_valid_table_name(table)) return -1;
    return cached_count(cache_key('C', table), "SELECT count(*) FROM records WHERE tbl=?1", table,
                        &QxDbTxn::missing_records);
}

int QxDbTxn::tables(std::vector<std::string> *out)
{
    out->clear();
    if (!sql()) return -1;
    Stmt s(conn_, "SELECT DISTINCT tbl FROM records ORDER BY tbl");
    if (!s) return missing_records();
    for (;;) {
        int rc = s.step();
        if (rc == SQLITE_DONE) return 0;
        if (rc != SQLITE_ROW) return fail(rc);
        std::string name = column_string(s.get(), 0);
        if (qxdb_valid_table_name(name.c_str())) out->push_back(name);
    }
}

int QxDbTxn::param_get(const char *key, std::string *value)
{
    if (!key) return -1;
    std::string ck, cv;
    if (cache_) {
        ck = cache_key('P', key);
        if (cached(ck, &cv) && !cv.empty() && (cv[0] == 0 || cv[0] == 1)) {
            if (cv[0] == 0) return 0;
            if (value) value->assign(cv, 1, std::string::npos);
            return 1;
        }
    }
    if (!sql()) return -1;
    Stmt s(conn_, "SELECT value FROM params WHERE key=?1");
    if (!s) {
        if (table_exists(kParamsTable) || busy_) return -1;
        remember(std::move(ck), std::string(1, '\0'));
        return 0;
    }
    sqlite3_bind_text(s.get(), 1, key, -1, SQLITE_STATIC);
    int rc = s.step();
    if (rc == SQLITE_DONE) {
        remember(std::move(ck), std::string(1, '\0'));
        return 0;
    }
    if (rc != SQLITE_ROW) return fail(rc);
    std::string v = column_string(s.get(), 0);
    if (cache_) remember(std::move(ck), std::string(1, '\1') + v);
    if (value) *value = std::move(v);
    return 1;
}

// Stores one parameter with the given conflict rule; the number of rows
// changed (0 or 1), or -1.
int QxDbTxn::param_write(const char *verb, const char *key, const char *value)
{
    if (!key || !value) return -1;
    if (ensure_table(kParamsTable) < 0) return -1;
    Stmt s(conn_, std::string(verb) + " INTO params (key, value) VALUES (?1, ?2)");
    if (!s) return fail(sqlite3_errcode(conn_->db));
    sqlite3_bind_text(s.get(), 1, key, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 2, value, -1, SQLITE_STATIC);
    int rc = s.step();
    if (rc != SQLITE_DONE) return fail(rc);
    return sqlite3_changes(conn_->db) > 0 ? 1 : 0;
}

int QxDbTxn::param_put(const char *key, const char *value)
{
    return param_write("INSERT OR REPLACE", key, value) < 0 ? -1 : 0;
}

int QxDbTxn::param_add_missing(const char *key, const char *value)
{
    return param_write("INSERT OR IGNORE", key, value);
}

int QxDbTxn::param_scan(const std::function<void(const char *, const char *)> &fn)
{
    return text_rows(cache_key('Q', ""), "SELECT key, value FROM params ORDER BY key", nullptr,
                     [&](const std::string &k, const char *data, size_t len) { fn(k.c_str(), std::string(data, len).c_str()); });
}

std::string qxdb_host_path(const char *device_path)
{
    if (!device_path || !*device_path) return std::string();
    auto it = redirects().find(device_path);
    if (it != redirects().end()) return it->second;
    std::string host = nvr_path(device_path);
    return host.size() < 4096 ? host : std::string(); // the limit of nvr_path()'s buffers
}

int qxdb_redirect(const char *device_path, const char *host_path)
{
    if (!device_path || !*device_path) return -1;
    std::lock_guard<std::mutex> lock(g_mu);
    if (host_path && *host_path) redirects()[device_path] = host_path;
    else redirects().erase(device_path);
    return 0;
}

// Transaction control statements run once per operation: they are prepared
// once per connection like every other statement.
namespace {
int run_control(QxDbConn *c, const char *sql)
{
    Stmt s(c, sql);
    if (!s) return sqlite3_errcode(c->db);
    int rc = sqlite3_step(s.get());
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int begin_retry(QxDbConn *c, const char *sql, double deadline)
{
    for (int attempt = 0;; attempt++) {
        int rc = run_control(c, sql);
        if (!is_busy(rc) || now_seconds() > deadline) return rc;
        backoff(attempt);
    }
}

} // namespace

// The read cache of a database: a file in /var/run named after it; none for
// a database moved elsewhere (the settings tool's --db) or without /var/run.
// Kept per host path, since tests move the device root.
std::map<std::string, QxDbCache *> &caches()
{
    // Built on first use (not at every start), never destroyed.
    static auto *value = new std::map<std::string, QxDbCache *>;
    return *value;
}
int g_cache_hits = 0;

static QxDbCache *cache_for(const char *device_path, const std::string &host)
{
    auto it = caches().find(host);
    if (it != caches().end()) return it->second;
    QxDbCache *cache = nullptr;
    const char *base = strrchr(device_path, '/');
    char buf[4096], dir[4096];
    if (!redirects().count(device_path) && base && base[1] &&
        nvr_path((std::string("/var/run/") + (base + 1) + ".cache").c_str(), buf, sizeof buf) &&
        nvr_path("/var/run", dir, sizeof dir) && access(dir, W_OK) == 0)
        cache = new QxDbCache(buf);
    caches()[host] = cache;
    return cache;
}

int qxdb_cache_hits() { return g_cache_hits; }

bool QxDbTxn::cached(const std::string &key, std::string *value)
{
    if (!cache_live_ || !cache_->lookup(key, value)) return false;
    hits_++;
    g_cache_hits++;
    return true;
}

void QxDbTxn::remember(std::string key, std::string value)
{
    if (cache_ && !key.empty()) pending_.emplace_back(std::move(key), std::move(value));
}

// Opens the database and its read transaction for a result the cache lacks.
// The state of the file is read once the transaction holds its shared lock:
// results read here belong to it, and results already taken from the cache
// must belong to it too, else the body runs again without the cache.
bool QxDbTxn::sql()
{
    if (conn_) return !stale_;
    if (stale_ || failed_) return false;
    QxDbConn *c = get_conn(host_);
    if (!c) {
        failed_ = true;
        return false;
    }
    int rc = begin_retry(c, "BEGIN", deadline_);
    if (rc != SQLITE_OK) {
        set_error(c->db, "begin");
        failed_ = true;
        fail(rc);
        return false;
    }
    conn_ = c;
    if (!cache_) return true;
    {
        Stmt s(c, "SELECT 1 FROM sqlite_master LIMIT 1");
        rc = s ? s.step() : sqlite3_errcode(c->db);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            fail(rc);
            return false;
        }
    }
    const QxDbIdentity now = qxdb_identity(host_.c_str());
    if (now != ident_) {
        if (hits_ > 0) {
            stale_ = true;
            return false;
        }
        if (cache_live_) cache_->end_read();
        cache_live_ = false;
    }
    ident_ = now;
    return true;
}

int qxdb_transact(const char *path, int mode, const std::function<int(QxDbTxn &)> &body)
{
    if (g_depth > 0) {
        // A call inside an open transaction joins it when it is on the same
        // database and does not need more than the open one allows; a
        // failure inside marks the whole transaction for rollback.
        QxDbTxn *open = g_open_txn;
        if (!open || qxdb_host_path(path) != g_open_host || (mode == QXDB_WRITE && !open->writable())) {
            g_last_error = "nested transaction";
            if (open) open->failed_ = true;
            return -1;
        }
        g_depth++;
        int result = body(*open);
        g_depth--;
        if (result < 0) open->failed_ = true;
        return result < 0 ? -1 : result;
    }
    std::lock_guard<std::mutex> lock(g_mu);
    std::string host = qxdb_host_path(path);
    if (host.empty()) {
        g_last_error = "bad database path";
        return -1;
    }
    const bool write = mode == QXDB_WRITE;
    QxDbConn *conn = nullptr;
    if (write) {
        conn = get_conn(host);
        if (!conn) return -1;
    }
    QxDbCache *cache = write ? nullptr : cache_for(path, host);
    const double deadline = now_seconds() + kBusyTimeoutMs / 1000.0;
    for (int attempt = 0;; attempt++) {
        if (write) {
            int rc = begin_retry(conn, "BEGIN IMMEDIATE", deadline);
            if (rc != SQLITE_OK) {
                set_error(conn->db, "begin");
                return -1;
            }
        }
        QxDbTxn txn(conn, write);
        txn.host_ = host;
        txn.deadline_ = deadline;
        if (cache) {
            txn.cache_ = cache;
            txn.ident_ = qxdb_identity_recent(host.c_str());
            txn.cache_live_ = cache->begin_read(txn.ident_);
        }
        g_depth++;
        g_open_txn = &txn;
        g_open_host = host;
        int result = body(txn);
        g_open_txn = nullptr;
        g_depth--;
        if (txn.cache_live_) cache->end_read();
        const bool ok = result >= 0 && !txn.busy_ && !txn.failed_ && !txn.stale_;
        if (!txn.conn_) return ok ? result : -1; // every result came from the cache
        if (ok) {
            int rc = run_control(txn.conn_, "COMMIT");
            if (rc == SQLITE_OK) {
                if (cache && !txn.pending_.empty()) cache->store(txn.ident_, host.c_str(), txn.pending_);
                return result;
            }
            set_error(txn.conn_->db, "commit");
            if (is_busy(rc)) txn.busy_ = true;
        }
        run_control(txn.conn_, "ROLLBACK");
        if (txn.stale_) {
            cache = nullptr; // run again on the file alone
            continue;
        }
        if (!txn.busy_ || now_seconds() > deadline) return -1;
        backoff(attempt);
    }
}

int qxdb_integrity_check(const char *path, std::string *report)
{
    std::string first;
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) -> int {
        if (!txn.sql()) return -1;
        QxDbConn *c = txn.conn_;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(c->db, "PRAGMA integrity_check", -1, &s, nullptr) != SQLITE_OK) {
            first = sqlite3_errmsg(c->db);
            return -1;
        }
        int rows = 0, step;
        bool ok = false;
        while ((step = sqlite3_step(s)) == SQLITE_ROW) {
            std::string line = column_string(s, 0);
            if (rows++ == 0) {
                ok = line == "ok";
                first = line;
            }
        }
        if (step != SQLITE_DONE) {
            first = sqlite3_errmsg(c->db);
            ok = false;
        }
        sqlite3_finalize(s);
        return ok ? 0 : -1;
    });
    if (rc < 0 && first.empty()) first = g_last_error;
    if (report) *report = first;
    return rc < 0 ? -1 : 0;
}

void qxdb_close_all()
{
    std::lock_guard<std::mutex> lock(g_mu);
    for (auto &kv : conns()) {
        if (kv.second->pid == getpid()) close_conn(kv.second);
    }
    conns().clear();
    for (auto &kv : caches()) delete kv.second;
    caches().clear();
    qxdb_identity_close_all();
}

const char *qxdb_last_error() { return g_last_error.c_str(); }

// ---- Text-keyed records ---------------------------------------------------------------
// One SQLite table keyed by (table name, key text), beside the numbered
// records; keys are bound like every value.
namespace {
const char kTextRecordsTable[] = "text_records";
}

int QxDbTxn::ensure_text_records()
{
    if (!write_) {
        g_last_error = "write in a read transaction";
        return -1;
    }
    if (text_ensured_) return 0;
    int rc = sqlite3_exec(conn_->db,
                          "CREATE TABLE IF NOT EXISTS text_records (tbl TEXT NOT NULL, key TEXT NOT NULL, "
                          "data BLOB NOT NULL, PRIMARY KEY (tbl, key)) WITHOUT ROWID",
                          nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        set_error(conn_->db, "create table");
        return fail(rc);
    }
    text_ensured_ = true;
    return 0;
}

int QxDbTxn::missing_text_records()
{
    return table_exists(kTextRecordsTable) || busy_ ? -1 : 0;
}

int QxDbTxn::text_get(const char *table, const char *key, void *rec, size_t size)
{
    if (!qxdb_valid_table_name(table) || !key || (!rec && size)) return -1;
    std::string ck, cv;
    if (cache_) {
        ck = cache_key('X', table, key, strlen(key));
        if (cached(ck, &cv)) {
            int found = decode_found(cv, rec, size);
            if (found >= 0) return found;
        }
    }
    if (!sql()) return -1;
    Stmt s(conn_, "SELECT data FROM text_records WHERE tbl=?1 AND key=?2");
    if (!s) return missing_text_records();
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 2, key, -1, SQLITE_STATIC);
    return one_row(s.step(), s.get(), std::move(ck), rec, size);
}

int QxDbTxn::text_put(const char *table, const char *key, const void *rec, size_t size)
{
    if (!qxdb_valid_table_name(table) || !key || (!rec && size)) return -1;
    if (ensure_text_records() < 0) return -1;
    Stmt s(conn_, "INSERT OR REPLACE INTO text_records (tbl, key, data) VALUES (?1, ?2, ?3)");
    if (!s) return fail(sqlite3_errcode(conn_->db));
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 2, key, -1, SQLITE_STATIC);
    sqlite3_bind_blob(s.get(), 3, size ? rec : "", static_cast<int>(size), SQLITE_STATIC);
    int rc = s.step();
    return rc == SQLITE_DONE ? 0 : fail(rc);
}

int QxDbTxn::text_del(const char *table, const char *key)
{
    if (!qxdb_valid_table_name(table) || !key || !write_) return -1;
    Stmt s(conn_, "DELETE FROM text_records WHERE tbl=?1 AND key=?2");
    if (!s) return missing_text_records();
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 2, key, -1, SQLITE_STATIC);
    int rc = s.step();
    return rc == SQLITE_DONE ? 0 : fail(rc);
}

int QxDbTxn::text_scan(const char *table, const std::function<void(const char *, const void *, size_t)> &fn)
{
    if (!qxdb_valid_table_name(table)) return -1;
    return text_rows(cache_key('Y', table), "SELECT key, data FROM text_records WHERE tbl=?1 ORDER BY key", table,
                     [&](const std::string &k, const char *data, size_t len) { fn(k.c_str(), len ? data : nullptr, len); });
}

// Rows of (text key, data) from the cache or the file: the parameters
// (table null: the value column is text, cut at a zero) or a text-keyed
// table. Returns the number of rows.
int QxDbTxn::text_rows(std::string ck, const char *sql_text, const char *table,
                       const std::function<void(const std::string &, const char *, size_t)> &fn)
{
    std::string cv;
    if (cached(ck, &cv)) {
        std::vector<std::pair<std::string, std::pair<const char *, uint32_t>>> rows;
        size_t pos = 0;
        uint32_t klen, len;
        const char *k, *data;
        while (pos < cv.size() && take_raw(cv, pos, &klen) && take_bytes(cv, pos, klen, &k) && take_raw(cv, pos, &len) &&
               take_bytes(cv, pos, len, &data))
            rows.push_back({std::string(k, strnlen(k, klen)), {data, len}});
        if (pos == cv.size()) {
            for (const auto &r : rows) fn(r.first, r.second.first, r.second.second);
            return static_cast<int>(rows.size());
        }
        cv.clear();
    }
    if (!sql()) return -1;
    Stmt s(conn_, sql_text);
    if (!s) {
        int rc = table ? missing_text_records() : (table_exists(kParamsTable) || busy_ ? -1 : 0);
        if (rc == 0) remember(std::move(ck), std::string());
        return rc;
    }
    if (table) sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    int rows = 0;
    for (;;) {
        int rc = s.step();
        if (rc == SQLITE_DONE) {
            remember(std::move(ck), std::move(cv));
            return rows;
        }
        if (rc != SQLITE_ROW) return fail(rc);
        std::string key = column_string(s.get(), 0);
        std::string text;
        const char *data;
        size_t len;
        if (table) {
            data = static_cast<const char *>(sqlite3_column_blob(s.get(), 1));
            len = data ? static_cast<size_t>(sqlite3_column_bytes(s.get(), 1)) : 0;
        } else {
            text = column_string(s.get(), 1);
            data = text.c_str();
            len = text.size();
        }
        if (cache_ && cv.size() <= QXDB_CACHE_MAX_VALUE) {
            put_piece(cv, key.data(), key.size());
            put_piece(cv, data, len);
        }
        fn(key, data ? data : "", len);
        rows++;
    }
}

int64_t QxDbTxn::text_count(const char *table)
{
    if (!qxdb_valid_table_name(table)) return -1;
    return cached_count(cache_key('Z', table), "SELECT count(*) FROM text_records WHERE tbl=?1", table,
                        &QxDbTxn::missing_text_records);
}

int64_t QxDbTxn::cached_count(std::string ck, const char *sql_text, const char *table, int (QxDbTxn::*missing)())
{
    std::string cv;
    int64_t n = 0;
    size_t pos = 0;
    if (cached(ck, &cv) && cv.size() == sizeof n && take_raw(cv, pos, &n)) return n;
    if (!sql()) return -1;
    Stmt s(conn_, sql_text);
    if (!s) return (this->*missing)();
    sqlite3_bind_text(s.get(), 1, table, -1, SQLITE_STATIC);
    int rc = s.step();
    if (rc != SQLITE_ROW) return fail(rc);
    n = sqlite3_column_int64(s.get(), 0);
    cv.clear();
    put_raw(cv, n);
    remember(std::move(ck), std::move(cv));
    return n;
}
