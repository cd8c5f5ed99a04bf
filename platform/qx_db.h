// The settings database library: record tables and named parameters kept in
// an SQLite file that request processes and the daemon share.
//
// Every entry point takes the database's device path ("/mnt/nand/app/qxdb.db")
// and maps it through nvr_path(). The connection is opened on first use and
// kept for the rest of the process (one per database, reopened after fork());
// nothing happens at start-up. The file runs in rollback-journal mode with a
// generous busy timeout, so concurrent processes wait for each other instead
// of failing. Read transactions take their results from the read cache
// (platform/qx_db_cache.h) where it has them, and open the file only for
// what it lacks.
//
// Each call of qxdb_transact() is one transaction: a read runs inside BEGIN,
// a write inside BEGIN IMMEDIATE. When another process holds the file too
// long, the whole body is rolled back and run again, so a body must only
// derive its results from what it reads inside the transaction.
//
// Schema: a record table is (id INTEGER PRIMARY KEY, data BLOB), created on
// the first write; the parameters live in the table "params" (key TEXT
// PRIMARY KEY, value TEXT). Table names come from our own compile-time
// tables and are checked ([a-z][a-z0-9_]*, at most 63 characters, not
// "params"); values are always bound, never formatted into SQL.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/qx_db_cache.h"

// Device paths of the settings database and of the plate-list database.
#define QXDB_PATH "/mnt/nand/app/qxdb.db"
#define QXDB_ANPR_PATH "/mnt/nand/app/anpr.db"

struct QxDbConn;
struct sqlite3_stmt;

// Operations available inside one transaction. Results: -1 on a database
// error (the transaction is then rolled back).
class QxDbTxn {
public:
    // Reads the blob stored under `key` into rec (size bytes): a shorter blob
    // is zero-padded, a longer one cut. 1 when stored, 0 when not (rec then
    // untouched).
    int get(const char *table, int64_t key, void *rec, size_t size);
    // Calls fn(key, data, length) for each stored row with first <= key <
    // first + count, in key order. Returns the number of rows visited.
    int scan(const char *table, int64_t first, int64_t count,
             const std::function<void(int64_t key, const void *data, size_t length)> &fn);
    // Stores rec under key (write transactions only).
    int put(const char *table, int64_t key, const void *rec, size_t size);
    // Removes the row of key; 0 also when there was none.
    int del(const char *table, int64_t key);
    // Makes sure the record store, or with "params" the parameter table,
    // exists in the file (write transactions only).
    int create_table(const char *table) { return ensure_table(table); }
    // Number of stored rows (0 when the table does not exist).
    int64_t count(const char *table);
    // Names of the record tables holding records, sorted.
    int tables(std::vector<std::string> *out);

    // Parameters. get: 1 and the value when stored, 0 when missing.
    int param_get(const char *key, std::string *value);
    int param_put(const char *key, const char *value);
    // Stores the value only when the key is missing; 1 stored, 0 kept.
    int param_add_missing(const char *key, const char *value);
    // Calls fn(key, value) for every parameter in key order.
    int param_scan(const std::function<void(const char *key, const char *value)> &fn);

    // Records keyed by a text instead of a number (the plate lists): rows of
    // (table, key text, blob) in a store of their own. get: 1 when stored
    // (rec filled as by get()), 0 when not. put replaces a stored row. del:
    // 0 also when there was none. scan visits the table's rows in key order.
    int text_get(const char *table, const char *key, void *rec, size_t size);
    int text_put(const char *table, const char *key, const void *rec, size_t size);
    int text_del(const char *table, const char *key);
    int text_scan(const char *table, const std::function<void(const char *key, const void *data, size_t length)> &fn);
    int64_t text_count(const char *table);

    bool writable() const { return write_; }

private:
    friend int qxdb_transact(const char *, int, const std::function<int(QxDbTxn &)> &);
    friend int qxdb_integrity_check(const char *, std::string *);
    QxDbTxn(QxDbConn *conn, bool write) : conn_(conn), write_(write) {}
    // Read cache: a read transaction first looks its results up in the cache
    // and opens the database (and its transaction) only at the first result
    // the cache does not have.
    bool sql();
    bool cached(const std::string &key, std::string *value);
    void remember(std::string key, std::string value);
    int one_row(int rc, sqlite3_stmt *s, std::string key, void *rec, size_t size);
    int64_t cached_count(std::string key, const char *sql_text, const char *table, int (QxDbTxn::*missing)());
    int text_rows(std::string key, const char *sql_text, const char *table,
                  const std::function<void(const std::string &, const char *, size_t)> &fn);
    bool table_exists(const char *table);
    int ensure_table(const char *table);
    int missing_records();
    int ensure_text_records();
    int missing_text_records();
    int param_write(const char *verb, const char *key, const char *value);
    int fail(int rc);
    QxDbConn *conn_;
    bool write_;
    bool busy_ = false;
    bool failed_ = false; // a joined call failed: the transaction rolls back
    std::string ensured_; // last store made sure of in this transaction
    bool text_ensured_ = false;
    std::string host_;
    double deadline_ = 0;
    QxDbCache *cache_ = nullptr;  // read transactions with a cache
    bool cache_live_ = false;     // cache_ holds the current state: look results up
    bool stale_ = false;          // the file changed after results came from the cache
    int hits_ = 0;
    QxDbIdentity ident_;          // state the results belong to
    std::vector<std::pair<std::string, std::string>> pending_; // results to add to the cache
};

enum { QXDB_READ = 0, QXDB_WRITE = 1 };

// Runs body as one transaction on the database at device path `path`. The
// body's negative result rolls back and yields -1; otherwise the result is
// the body's and the transaction is committed. A call made inside a body
// (by the same thread) joins the open transaction when it is on the same
// database and, for a write, the open one is a write transaction; its body
// runs at once, and a negative result from it makes the whole transaction
// roll back. Other nested calls are refused.
int qxdb_transact(const char *path, int mode, const std::function<int(QxDbTxn &)> &body);

// Runs the database's integrity check; 0 when it reports "ok", else -1 with
// the first problem in `report` (when given).
int qxdb_integrity_check(const char *path, std::string *report);

// Lets the database of `device_path` live at `host_path` instead of its
// mapped device path (the settings tool's --db option). A null host_path
// removes the redirection.
int qxdb_redirect(const char *device_path, const char *host_path);
// Host path a device path resolves to ("" when it does not fit).
std::string qxdb_host_path(const char *device_path);

// Text of the last failure of this thread (for messages).
const char *qxdb_last_error();

// Closes every cached connection of this process (tools at exit, tests).
void qxdb_close_all();

// Results taken from the read cache by this process so far (tests, bench).
int qxdb_cache_hits();

// Checks a table name against the rule above.
bool qxdb_valid_table_name(const char *name);
