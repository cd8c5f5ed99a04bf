#include "common/settings_named.h"

#include <cstring>
#include <memory>
#include <vector>

#include "common/web_utils.h"
#include "platform/qx_db.h"

namespace {

bool key_in_range(const NvrDbNamedKind &kind, int key) { return key >= 0 && key < kind.capacity; }

void log_failure(const char *op, const char *table)
{
    cgi_log("web_utils", __LINE__, op, "settings %s failed: %s", table ? table : "", qxdb_last_error());
}

// Runs a write body on the stored table name; logs a failure.
template <class Body> int named_write(const char *path, const char *table, const char *op, Body body)
{
    char name[NVR_DB_TABLE_NAME_SIZE];
    if (!nvr_db_named_table(table, name)) return -1;
    int rc = qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) { return body(txn, name); });
    if (rc < 0) log_failure(op, name);
    return rc < 0 ? -1 : 0;
}

} // namespace

bool nvr_db_named_table(const char *table, char (&out)[NVR_DB_TABLE_NAME_SIZE])
{
    out[0] = '\0';
    if (!table) return false;
    size_t n = 0;
    for (const char *p = table; *p; p++, n++) {
        const char c = *p;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (n + 1 >= NVR_DB_TABLE_NAME_SIZE || !(letter || (n > 0 && ((c >= '0' && c <= '9') || c == '_')))) {
            out[0] = '\0';
            return false;
        }
        out[n] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    out[n] = '\0';
    // A declared table of a fixed name is never reached through a run-time name.
    if (!qxdb_valid_table_name(out) || nvr_db_find_table(out)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

int nvr_db_named_read(const char *path, const char *table, const NvrDbNamedKind &kind, void *rec, int key)
{
    char name[NVR_DB_TABLE_NAME_SIZE];
    if (!rec || !key_in_range(kind, key) || !nvr_db_named_table(table, name)) return -1;
    // Read into a scratch copy (filled whole by get(), zeroed when nothing is
    // stored) so that a failed read leaves the caller's record untouched.
    std::unique_ptr<char[]> buf(new char[kind.size]);
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) { return txn.get(name, key, buf.get(), kind.size); });
    if (rc < 0) {
        log_failure(__func__, name);
        return -1;
    }
    if (rc == 0) { // nothing stored: the record reads as zeros and its key
        memset(rec, 0, kind.size);
        kind.stamp(rec, key);
        return 0;
    }
    kind.stamp(buf.get(), key);
    memcpy(rec, buf.get(), kind.size);
    return 0;
}

int nvr_db_named_write(const char *path, const char *table, const NvrDbNamedKind &kind, const void *rec, int key)
{
    if (!rec || !key_in_range(kind, key)) return -1;
    std::vector<char> buf(static_cast<const char *>(rec), static_cast<const char *>(rec) + kind.size);
    kind.stamp(buf.data(), key);
    return named_write(path, table, __func__,
                       [&](QxDbTxn &txn, const char *name) { return txn.put(name, key, buf.data(), kind.size); });
}

int nvr_db_named_copy(const char *path, const char *table, const NvrDbNamedKind &kind, const void *rec,
                      uint64_t mask)
{
    if (!rec) return -1;
    const int n = kind.capacity < 64 ? kind.capacity : 64;
    if (n < 64) mask &= (1ULL << n) - 1;
    if (!mask) return 0;
    std::vector<char> buf(kind.size);
    return named_write(path, table, __func__, [&](QxDbTxn &txn, const char *name) {
        for (int k = 0; k < n; k++) {
            if (!(mask >> k & 1u)) continue;
            memcpy(buf.data(), rec, kind.size);
            kind.stamp(buf.data(), k);
            if (txn.put(name, k, buf.data(), kind.size) < 0) return -1;
        }
        return 0;
    });
}

int nvr_db_named_delete(const char *path, const char *table, const NvrDbNamedKind &kind, int key)
{
    if (!key_in_range(kind, key)) return -1;
    return named_write(path, table, __func__, [&](QxDbTxn &txn, const char *name) { return txn.del(name, key); });
}
