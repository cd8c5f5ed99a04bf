// Account operations of the settings database beyond the generic family.
#include <algorithm>
#include <cstring>

#include "common/records/user.h"

namespace {

const NvrDbTable &users() { return nvr_db_user::desc; }

// Decodes a stored row (cut or zero-padded) with its slot as id.
void decode(UserRecord *rec, int64_t key, const void *data, size_t len)
{
    memset(rec, 0, sizeof *rec);
    if (data) memcpy(rec, data, len < sizeof *rec ? len : sizeof *rec);
    rec->id = static_cast<int32_t>(key);
}

// Names compare on their first 31 characters; a stored name may lack its zero.
bool same_name(const UserRecord &rec, const char *name)
{
    size_t stored = strnlen(rec.name, sizeof rec.name);
    size_t n = std::min<size_t>(stored, USER_NAME_SIGNIFICANT);
    size_t m = strnlen(name, USER_NAME_SIGNIFICANT);
    return n == m && memcmp(rec.name, name, n) == 0;
}

// Visits the slots in use in slot order.
int scan_in_use(QxDbTxn &txn, const std::function<void(const UserRecord &)> &fn)
{
    UserRecord rec;
    return txn.scan(users().name, 0, USER_SLOTS, [&](int64_t key, const void *data, size_t len) {
        decode(&rec, key, data, len);
        if (rec.enable) fn(rec);
    });
}

} // namespace

int read_user_by_name(const char *path, UserRecord *rec, const char *name)
{
    if (!rec || !name) return -1;
    UserRecord found;
    bool hit = false;
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) {
        hit = false;
        return scan_in_use(txn, [&](const UserRecord &r) {
            if (!hit && same_name(r, name)) {
                found = r;
                hit = true;
            }
        });
    });
    if (rc < 0) return -1;
    if (!hit) return 1;
    *rec = found;
    return 0;
}

int add_user(const char *path, UserRecord *rec)
{
    if (!rec) return -1;
    UserRecord stored = *rec;
    stored.enable = 1;
    int slot = -1;
    int rc = qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) {
        bool used[USER_SLOTS] = {};
        bool clash = false;
        if (scan_in_use(txn, [&](const UserRecord &r) {
                used[r.id] = true;
                clash = clash || same_name(r, stored.name);
            }) < 0)
            return -1;
        slot = -1;
        for (int i = 0; i < USER_SLOTS && slot < 0; i++) {
            if (!used[i]) slot = i;
        }
        if (clash || slot < 0) return -1;
        stored.id = slot;
        return txn.put(users().name, slot, &stored, sizeof stored);
    });
    if (rc < 0) return -1;
    *rec = stored;
    return 0;
}

int read_user_count(const char *path)
{
    int n = 0;
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) {
        n = 0;
        return scan_in_use(txn, [&](const UserRecord &) { n++; });
    });
    return rc < 0 ? -1 : n;
}
