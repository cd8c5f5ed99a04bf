#include "common/settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/records/device.h"
#include "common/web_utils.h"

namespace {

// ---- Registry of declared tables ---------------------------------------------------
// The entries the declaration macros place in the section nvrweb_db_tables;
// the linker provides its bounds (weak: a program without tables has none).
extern "C" {
extern const NvrDbListed __start_nvrweb_db_tables[] __attribute__((weak));
extern const NvrDbListed __stop_nvrweb_db_tables[] __attribute__((weak));
}

size_t table_count()
{
    return __start_nvrweb_db_tables ? static_cast<size_t>(__stop_nvrweb_db_tables - __start_nvrweb_db_tables) : 0;
}

bool key_in_range(const NvrDbTable &t, int key) { return key >= 0 && key < t.capacity; }

void set_key(const NvrDbTable &t, void *rec, int key)
{
    if (!t.key_name) return;
    int32_t k = key;
    memcpy(static_cast<char *>(rec) + t.key_offset, &k, sizeof k);
}

int32_t get_key(const NvrDbTable &t, const void *rec)
{
    int32_t k = 0;
    if (t.key_name) memcpy(&k, static_cast<const char *>(rec) + t.key_offset, sizeof k);
    return k;
}

void log_failure(const char *op, const char *what)
{
    cgi_log("web_utils", __LINE__, op, "settings %s failed: %s", what ? what : "", qxdb_last_error());
}

// Stores a copy of rec under key with its key field set, reusing `buf`.
int put_keyed(QxDbTxn &txn, const NvrDbTable &t, const void *rec, int key, std::vector<char> &buf)
{
    buf.assign(static_cast<const char *>(rec), static_cast<const char *>(rec) + t.size);
    set_key(t, buf.data(), key);
    return txn.put(t.name, key, buf.data(), t.size);
}

// Runs a write body and logs its failure.
int write_txn(const char *path, const NvrDbTable &t, const char *op,
              const std::function<int(QxDbTxn &)> &body)
{
    int rc = qxdb_transact(path, QXDB_WRITE, body);
    if (rc < 0) log_failure(op, t.name);
    return rc < 0 ? -1 : 0;
}

// Parses a whole decimal int with optional surrounding blanks.
bool parse_int(const std::string &text, int *out)
{
    const char *s = text.c_str();
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(s, &end, 10);
    if (end == s || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') end++;
    if (*end) return false;
    *out = static_cast<int>(v);
    return true;
}

int param_store(const char *path, const char *key, const char *text)
{
    if (!key || !*key || !text) return -1;
    int rc = qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) { return txn.param_put(key, text); });
    if (rc < 0) log_failure(__func__, key);
    return rc < 0 ? -1 : 0;
}

} // namespace

int settings_atomic(const char *path, const std::function<int()> &body)
{
    int rc = qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &) { return body(); });
    if (rc < 0) log_failure(__func__, path);
    return rc;
}

int nvr_db_update(const char *path, const NvrDbTable &t, int key, const std::function<int(void *)> &change)
{
    if (!key_in_range(t, key)) return -1;
    std::unique_ptr<char[]> buf(new char[t.size]);
    int result = -1;
    int rc = qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) -> int {
        int stored = txn.get(t.name, key, buf.get(), t.size);
        if (stored < 0) return -1;
        if (stored == 0) memset(buf.get(), 0, t.size);
        set_key(t, buf.get(), key);
        result = change(buf.get());
        if (result < 0) return 0; // nothing to store: not a failure of the file
        set_key(t, buf.get(), key);
        return txn.put(t.name, key, buf.get(), t.size);
    });
    if (rc < 0) log_failure(__func__, t.name);
    return rc < 0 || result < 0 ? -1 : result;
}

const char *nvr_db_registry_problem()
{
    const NvrDbListed *tables = __start_nvrweb_db_tables;
    const size_t count = table_count();
    for (size_t i = 0; i < count; i++) {
        const char *name = tables[i].desc->name;
        if (!qxdb_valid_table_name(name) || tables[i].head != nvr_db_name_head(name)) return name;
        for (size_t j = 0; j < i; j++)
            if (strcmp(name, tables[j].desc->name) == 0 && tables[i].desc != tables[j].desc) return name;
    }
    return nullptr;
}

namespace {
// Which head hashes (10 bits of the head's product) some listed table has:
// most names asked for are of no listed table (named tables are checked
// against them on every read), and their bit is clear. Built on first use.
unsigned head_bit(uint64_t head) { return static_cast<unsigned>((head * 0x9E3779B97F4A7C15ULL) >> 54); }
struct HeadBits {
    uint64_t bits[1024 / 64] = {};
    HeadBits()
    {
        for (size_t i = 0; i < table_count(); i++) {
            const unsigned b = head_bit(__start_nvrweb_db_tables[i].head);
            bits[b / 64] |= 1ULL << (b % 64);
        }
    }
};
const uint64_t *listed_heads()
{
    static const HeadBits heads; // built once, also with reads on several threads
    return heads.bits;
}
} // namespace

const NvrDbTable *nvr_db_find_table(const char *name)
{
    if (!name) return nullptr;
    // Every named read asks this of its name: the entries' heads sort out
    // all but the matching ones without reading a description.
    const uint64_t head = nvr_db_name_head(name);
    const unsigned b = head_bit(head);
    if (!(listed_heads()[b / 64] >> (b % 64) & 1)) return nullptr;
    const size_t count = table_count();
    for (size_t i = 0; i < count; i++) {
        const NvrDbListed &e = __start_nvrweb_db_tables[i];
        if (e.head == head && strcmp(e.desc->name, name) == 0) return e.desc;
    }
    return nullptr;
}

int nvr_db_read(const char *path, const NvrDbTable &t, void *rec, int key)
{
    if (!rec || !key_in_range(t, key)) return -1;
    // Read into a scratch copy (filled whole by get(), zeroed when nothing is
    // stored) so that a failed read leaves the caller's record untouched.
    std::unique_ptr<char[]> buf(new char[t.size]);
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) { return txn.get(t.name, key, buf.get(), t.size); });
    if (rc < 0) {
        log_failure(__func__, t.name);
        return -1;
    }
    if (rc == 0) { // nothing stored: the record reads as zeros and its key
        memset(rec, 0, t.size);
        set_key(t, rec, key);
        return 0;
    }
    set_key(t, buf.get(), key);
    memcpy(rec, buf.get(), t.size);
    return 0;
}

int nvr_db_read_all(const char *path, const NvrDbTable &t, void *array, int capacity, int *count)
{
    if (count) *count = 0;
    if (!array || capacity < 0) return -1;
    const int n = capacity < t.capacity ? capacity : t.capacity;
    char *out = static_cast<char *>(array);
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) {
        memset(out, 0, t.size * static_cast<size_t>(n));
        return txn.scan(t.name, 0, n, [&](int64_t key, const void *data, size_t len) {
            if (key < 0 || key >= n || !data) return;
            memcpy(out + t.size * static_cast<size_t>(key), data, len < t.size ? len : t.size);
        });
    });
    if (rc < 0) {
        memset(out, 0, t.size * static_cast<size_t>(n));
        log_failure(__func__, t.name);
        return -1;
    }
    for (int i = 0; i < n; i++) set_key(t, out + t.size * static_cast<size_t>(i), i);
    if (count) *count = n;
    return 0;
}

int nvr_db_write(const char *path, const NvrDbTable &t, const void *rec, int key)
{
    if (!rec || !key_in_range(t, key)) return -1;
    std::vector<char> buf;
    return write_txn(path, t, __func__, [&](QxDbTxn &txn) { return put_keyed(txn, t, rec, key, buf); });
}

int nvr_db_write_keyed(const char *path, const NvrDbTable &t, const void *rec)
{
    if (!rec) return -1;
    return nvr_db_write(path, t, rec, get_key(t, rec));
}

int nvr_db_write_all(const char *path, const NvrDbTable &t, const void *array, int count)
{
    if (!array || count < 0) return -1;
    const char *in = static_cast<const char *>(array);
    for (int i = 0; i < count; i++) {
        if (!key_in_range(t, t.key_name ? get_key(t, in + t.size * static_cast<size_t>(i)) : i)) return -1;
    }
    if (count == 0) return 0;
    std::vector<char> buf;
    return write_txn(path, t, __func__, [&](QxDbTxn &txn) {
        for (int i = 0; i < count; i++) {
            const char *rec = in + t.size * static_cast<size_t>(i);
            if (put_keyed(txn, t, rec, t.key_name ? get_key(t, rec) : i, buf) < 0) return -1;
        }
        return 0;
    });
}

int nvr_db_write_masked(const char *path, const NvrDbTable &t, const void *array, int count, uint64_t mask)
{
    if (!array || count < 0) return -1;
    const int n = count < t.capacity ? count : t.capacity;
    const char *in = static_cast<const char *>(array);
    std::vector<char> buf;
    bool any = false;
    for (int k = 0; k < n && k < 64; k++) any = any || (mask >> k & 1u);
    if (!any) return 0;
    return write_txn(path, t, __func__, [&](QxDbTxn &txn) {
        for (int k = 0; k < n && k < 64; k++) {
            if (!(mask >> k & 1u)) continue;
            if (put_keyed(txn, t, in + t.size * static_cast<size_t>(k), k, buf) < 0) return -1;
        }
        return 0;
    });
}

int nvr_db_copy(const char *path, const NvrDbTable &t, const void *rec, uint64_t mask)
{
    if (!rec) return -1;
    const int n = t.capacity < 64 ? t.capacity : 64;
    if (n < 64) mask &= (1ULL << n) - 1;
    if (!mask) return 0;
    std::vector<char> buf;
    return write_txn(path, t, __func__, [&](QxDbTxn &txn) {
        for (int k = 0; k < n; k++) {
            if ((mask >> k & 1u) && put_keyed(txn, t, rec, k, buf) < 0) return -1;
        }
        return 0;
    });
}

int nvr_db_delete(const char *path, const NvrDbTable &t, int key)
{
    if (!key_in_range(t, key)) return -1;
    return write_txn(path, t, __func__, [&](QxDbTxn &txn) { return txn.del(t.name, key); });
}

int nvr_db_stored(const char *path, const NvrDbTable &t)
{
    int64_t n = 0;
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) {
        n = txn.count(t.name);
        return n < 0 ? -1 : 0;
    });
    return rc < 0 ? -1 : static_cast<int>(n);
}

int copy_table_column_int(const char *path, const char *table, const char *column, int value,
                          uint64_t mask, const char *key_column)
{
    const NvrDbTable *t = nvr_db_find_table(table);
    if (!t || !column || !key_column) return -1;
    if (strcmp(key_column, "id") != 0 && !(t->key_name && strcmp(key_column, t->key_name) == 0)) return -1;
    const NvrDbColumn *col = nullptr;
    for (size_t i = 0; i < t->column_count; i++) {
        if (strcmp(t->columns[i].name, column) == 0) col = &t->columns[i];
    }
    if (!col) return -1;
    const int n = t->capacity < 64 ? t->capacity : 64;
    if (n < 64) mask &= (1ULL << n) - 1;
    if (!mask) return 0;
    std::vector<char> buf(t->size);
    return write_txn(path, *t, __func__, [&](QxDbTxn &txn) {
        for (int k = 0; k < n; k++) {
            if (!(mask >> k & 1u)) continue;
            int got = txn.get(t->name, k, buf.data(), t->size);
            if (got < 0) return -1;
            if (got == 0) memset(buf.data(), 0, t->size);
            set_key(*t, buf.data(), k);
            int32_t v = value;
            memcpy(buf.data() + col->offset, &v, sizeof v);
            if (txn.put(t->name, k, buf.data(), t->size) < 0) return -1;
        }
        return 0;
    });
}

// ---- Parameters -----------------------------------------------------------------------

int get_param_int(const char *path, const char *key, int dflt)
{
    if (!key) return dflt;
    std::string text;
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) { return txn.param_get(key, &text); });
    int v = dflt;
    if (rc == 1 && parse_int(text, &v)) return v;
    return dflt;
}

int set_param_int(const char *path, const char *key, int value)
{
    return param_store(path, key, std::to_string(value).c_str());
}

int get_param_value(const char *path, const char *key, char *buffer, size_t size, const char *dflt)
{
    if (!buffer || size == 0) return -1;
    buffer[0] = '\0';
    if (!key) return -1;
    std::string text;
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) { return txn.param_get(key, &text); });
    if (rc == 1) {
        copy_field(buffer, size, text.data(), text.size());
        return 0;
    }
    copy_text(buffer, size, dflt);
    return 1;
}

int set_param_value(const char *path, const char *key, const char *text)
{
    return param_store(path, key, text);
}

int add_param_value(const char *path, const char *key, const char *text)
{
    return param_store(path, key, text);
}

int check_param_key(const char *path, const char *key)
{
    if (!key) return -1;
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) { return txn.param_get(key, nullptr); });
    if (rc < 0) return -1;
    return rc == 1 ? 0 : 1;
}

uint64_t get_channel_mask(const char *text)
{
    uint64_t mask = 0;
    if (!text) return 0;
    for (int n = 0; n < 64 && text[n]; n++) {
        if (text[n] == '1') mask |= 1ULL << n;
    }
    return mask;
}

// ---- Device record ----------------------------------------------------------------------

int db_get_device(const char *path, DeviceRecord *record)
{
    if (!record) return -1;
    struct IntField {
        const char *key;
        int32_t DeviceRecord::*field;
        int dflt, lo, hi;
    };
    static const IntField kInts[] = {
        {"max_cameras", &DeviceRecord::max_cameras, 32, 0, DEVICE_MAX_CHANNELS},
        {"max_poe_num", &DeviceRecord::max_poe_num, 0, 0, DEVICE_MAX_CHANNELS},
        {"alarm_in", &DeviceRecord::alarm_in, 16, 0, DEVICE_MAX_ALARM_IN},
        {"alarm_out", &DeviceRecord::alarm_out, 4, 0, DEVICE_MAX_ALARM_OUT},
        {"deviceid", &DeviceRecord::deviceid, 255, INT_MIN, INT_MAX},
    };
    struct TextField {
        const char *key;
        char *(*field)(DeviceRecord *);
        size_t size;
        const char *dflt;
    };
    static const TextField kTexts[] = {
        {"model", [](DeviceRecord *r) { return r->model; }, sizeof(DeviceRecord::model), ""},
        {"software_version", [](DeviceRecord *r) { return r->software_version; },
         sizeof(DeviceRecord::software_version), "7x.7.0.9"},
        {"hardware_version", [](DeviceRecord *r) { return r->hardware_version; },
         sizeof(DeviceRecord::hardware_version), "V1.1"},
    };
    DeviceRecord rec;
    auto fill = [&](QxDbTxn *txn) {
        memset(&rec, 0, sizeof rec);
        std::string text;
        for (const IntField &f : kInts) {
            int v = f.dflt;
            if (!(txn && txn->param_get(f.key, &text) == 1 && parse_int(text, &v))) v = f.dflt;
            rec.*f.field = v < f.lo ? f.lo : v > f.hi ? f.hi : v;
        }
        for (const TextField &f : kTexts) {
            if (txn && txn->param_get(f.key, &text) == 1) copy_field(f.field(&rec), f.size, text.data(), text.size());
            else copy_text(f.field(&rec), f.size, f.dflt);
        }
    };
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) {
        fill(&txn);
        return 0;
    });
    if (rc < 0) fill(nullptr);
    *record = rec;
    return rc < 0 ? -1 : 0;
}
