// Settings database interface: typed record families, settings parameters
// and channel masks over the settings library (platform/qx_db.h).
//
// Every function takes the database's device path first (QXDB_PATH,
// QXDB_ANPR_PATH) and maps it through nvr_path(). Every call is one
// transaction of its own. Results: 0 success, -1 failure, unless noted.
//
// A feature adds a record type with one declaration at namespace scope,
// normally in the header of its record under common/records/:
//
//   NVR_DB_RECORD(motion, MotionRecord, "motion", chn, 64, NVR_COLUMN(sensitivity))
//     keyed records: the int32 field `chn` holds the key 0..63.
//       read_motion(path, MotionRecord *rec, int chn)
//       write_motion(path, const MotionRecord *rec)            key from rec->chn
//       read_motions(path, MotionRecord (&array)[N], int *count)
//       read_motions(path, MotionRecord *array, int capacity, int *count)
//       write_motions(path, const MotionRecord *array, int count)   keys from the records
//       write_motions(path, const MotionRecord *array, int count, uint64_t mask)
//                                                   array[n] to key n for each set bit n < count
//       copy_motions(path, const MotionRecord *rec, uint64_t mask)  rec to every key of the mask
//       delete_motion(path, int chn)
//       update_motion(path, int chn, [&](MotionRecord &r) -> int {...})
//                    read, change and write back in one transaction (see nvr_db_update)
//
//   NVR_DB_INDEXED(ptz_table, PtzActionTable, "ptz_table", 64)
//     records without a key field, stored under an index 0..capacity-1:
//       read_ptz_table(path, rec, int index), write_ptz_table(path, const rec, int index),
//       copy_ptz_tables(path, const rec, uint64_t mask), delete_ptz_table(path, int index)
//
//   NVR_DB_SCHEDULE(motion_effective, "motion_effective_schedule", 64)
//     week schedules (WeekSchedule) per channel:
//       read_motion_effective_schedule(path, WeekSchedule *s, int chn)
//       write_motion_effective_schedule(path, const WeekSchedule *s, int chn)
//       copy_motion_effective_schedules(path, const WeekSchedule *s, uint64_t mask)
//
//   NVR_DB_SINGLE(network, NetworkRecord, "network")
//     one record per database: read_network(path, rec), write_network(path, const rec)
//
// The trailing NVR_COLUMN(member) / NVR_COLUMN_AS("name", member) entries
// declare int32 fields that copy_table_column_int() may set by name; the
// key field counts as a column under its own name and under "id".
//
// Contract of the families:
// - A single read fills the record (a stored blob of another size is cut or
//   zero-padded) and sets its key field; when nothing is stored the record is
//   zeroed with the key set. Key out of range or database failure: -1, the
//   record untouched.
// - A plural read fills min(capacity, table capacity) records, one per key in
//   key order with the key field set (zeroed records where nothing is
//   stored), and reports that number in *count (0 on failure).
// - Writes take the key from the record's key field; out of range: -1 and
//   nothing stored. Plural writes and copies are all-or-nothing; a mask of 0
//   writes nothing; bits at or above the table's capacity are ignored.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "common/records/schedule.h"
#include "platform/qx_db.h"

// ---- Record table descriptions -------------------------------------------------
struct NvrDbColumn {
    const char *name;
    size_t offset;
    size_t size;
};

struct NvrDbTable {
    const char *name;          // SQL table name (our own, checked)
    size_t size;               // record size in bytes
    const char *key_name;      // key field name, nullptr for indexed tables
    size_t key_offset;         // offset of the int32 key field
    int capacity;              // keys 0..capacity-1
    const NvrDbColumn *columns;
    size_t column_count;
};

// Every declared table is listed in the section nvrweb_db_tables by the
// declaration macros (an entry per table and source file that declares it,
// written at link time: nothing runs at start-up). A table may be listed
// more than once, always with the same description. An entry carries the
// first 8 characters of the name, so that a look-up by name reads the
// entries alone (two pages) and not every description (spread over the
// program's data).
struct NvrDbListed {
    uint64_t head; // nvr_db_name_head(name)
    const NvrDbTable *desc;
};
// The first 8 characters of a name as one word (byte i in bits 8i..8i+7;
// zero past the name's end).
constexpr uint64_t nvr_db_name_head(const char *name)
{
    uint64_t head = 0;
    for (int i = 0; i < 8 && name[i]; i++) head |= static_cast<uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    return head;
}
// The first declared table whose name is not a valid table name or is taken
// by another declaration; nullptr when all are sound (checked by the tests,
// not at every start).
const char *nvr_db_registry_problem();
const NvrDbTable *nvr_db_find_table(const char *name);

template <size_t N>
constexpr bool nvr_db_columns_fit(const NvrDbColumn (&cols)[N], size_t record_size)
{
    for (size_t i = 1; i < N; i++) {
        if (!cols[i].name || cols[i].size != 4 || cols[i].offset + 4 > record_size) return false;
    }
    return true;
}

// ---- Generic operations (used by the generated functions) -------------------------
int nvr_db_read(const char *path, const NvrDbTable &t, void *rec, int key);
int nvr_db_read_all(const char *path, const NvrDbTable &t, void *array, int capacity, int *count);
// Stores rec under `key`; the stored copy carries the key in its key field.
int nvr_db_write(const char *path, const NvrDbTable &t, const void *rec, int key);
// Stores rec under the key of its own key field.
int nvr_db_write_keyed(const char *path, const NvrDbTable &t, const void *rec);
int nvr_db_write_all(const char *path, const NvrDbTable &t, const void *array, int count);
int nvr_db_write_masked(const char *path, const NvrDbTable &t, const void *array, int count, uint64_t mask);
int nvr_db_copy(const char *path, const NvrDbTable &t, const void *rec, uint64_t mask);
int nvr_db_delete(const char *path, const NvrDbTable &t, int key);
// Reads the record of `key` (zeroed with its key set when none is stored),
// lets change() edit it and stores it under the same key, in one write
// transaction. change() returning < 0 stores nothing; the result is -1 for
// that and for a failed read or write, else change()'s result.
int nvr_db_update(const char *path, const NvrDbTable &t, int key, const std::function<int(void *rec)> &change);
// Number of stored rows of the table, -1 on failure.
int nvr_db_stored(const char *path, const NvrDbTable &t);

// ---- Declaration macros --------------------------------------------------------------
#define NVR_COLUMN(member) NvrDbColumn{#member, offsetof(NvrDbRec, member), sizeof(NvrDbRec::member)}
#define NVR_COLUMN_AS(name, member) NvrDbColumn{name, offsetof(NvrDbRec, member), sizeof(NvrDbRec::member)}

#define NVR_DB_DESCRIBE_(name, Type, table, key_name, key_offset, capacity, ...)                     \
    namespace nvr_db_##name {                                                                     \
    using NvrDbRec = Type;                                                                        \
    inline constexpr NvrDbColumn columns[] = {NvrDbColumn{nullptr, 0, 0}, __VA_ARGS__};           \
    static_assert(nvr_db_columns_fit(columns, sizeof(Type)), "columns are int32 fields");         \
    static_assert((capacity) > 0, "capacity");                                                    \
    inline const NvrDbTable desc{table,    sizeof(Type),                                          \
                                 key_name, key_offset,                                            \
                                 capacity, columns + 1,                                           \
                                 sizeof(columns) / sizeof(columns[0]) - 1};                       \
    __attribute__((used, section("nvrweb_db_tables"), aligned(alignof(NvrDbListed))))               \
    static const NvrDbListed listed = {nvr_db_name_head(table), &desc};                           \
    }

#define NVR_DB_RECORD(name, Type, table, key, capacity, ...)                                         \
    static_assert(sizeof(((Type *)nullptr)->key) == 4, "key field is an int32");                  \
    NVR_DB_DESCRIBE_(name, Type, table, #key, offsetof(Type, key), capacity, __VA_ARGS__)         \
    inline int read_##name(const char *path, Type *rec, int key_)                                 \
    {                                                                                             \
        return nvr_db_read(path, nvr_db_##name::desc, rec, key_);                                 \
    }                                                                                             \
    inline int write_##name(const char *path, const Type *rec)                                    \
    {                                                                                             \
        return nvr_db_write_keyed(path, nvr_db_##name::desc, rec);                                \
    }                                                                                             \
    inline int read_##name##s(const char *path, Type *array, int capacity_, int *count)           \
    {                                                                                             \
        return nvr_db_read_all(path, nvr_db_##name::desc, array, capacity_, count);               \
    }                                                                                             \
    template <size_t N>                                                                           \
    inline int read_##name##s(const char *path, Type (&array)[N], int *count)                     \
    {                                                                                             \
        return nvr_db_read_all(path, nvr_db_##name::desc, array, static_cast<int>(N), count);     \
    }                                                                                             \
    inline int write_##name##s(const char *path, const Type *array, int count)                    \
    {                                                                                             \
        return nvr_db_write_all(path, nvr_db_##name::desc, array, count);                         \
    }                                                                                             \
    inline int write_##name##s(const char *path, const Type *array, int count, uint64_t mask)     \
    {                                                                                             \
        return nvr_db_write_masked(path, nvr_db_##name::desc, array, count, mask);                \
    }                                                                                             \
    inline int copy_##name##s(const char *path, const Type *rec, uint64_t mask)                   \
    {                                                                                             \
        return nvr_db_copy(path, nvr_db_##name::desc, rec, mask);                                 \
    }                                                                                             \
    inline int delete_##name(const char *path, int key_)                                          \
    {                                                                                             \
        return nvr_db_delete(path, nvr_db_##name::desc, key_);                                    \
    }                                                                                             \
    inline int update_##name(const char *path, int key_, const std::function<int(Type &)> &change) \
    {                                                                                             \
        return nvr_db_update(path, nvr_db_##name::desc, key_,                                     \
                             [&](void *rec) { return change(*static_cast<Type *>(rec)); });       \
    }

#define NVR_DB_INDEXED(name, Type, table, capacity, ...)                                             \
    NVR_DB_DESCRIBE_(name, Type, table, nullptr, 0, capacity, __VA_ARGS__)                        \
    inline int read_##name(const char *path, Type *rec, int index)                                \
    {                                                                                             \
        return nvr_db_read(path, nvr_db_##name::desc, rec, index);                                \
    }                                                                                             \
    inline int write_##name(const char *path, const Type *rec, int index)                         \
    {                                                                                             \
        return nvr_db_write(path, nvr_db_##name::desc, rec, index);                               \
    }                                                                                             \
    inline int copy_##name##s(const char *path, const Type *rec, uint64_t mask)                   \
    {                                                                                             \
        return nvr_db_copy(path, nvr_db_##name::desc, rec, mask);                                 \
    }                                                                                             \
    inline int delete_##name(const char *path, int index)                                        \
    {                                                                                             \
        return nvr_db_delete(path, nvr_db_##name::desc, index);                                   \
    }

#define NVR_DB_SCHEDULE(name, table, capacity) NVR_DB_INDEXED(name##_schedule, WeekSchedule, table, capacity)

#define NVR_DB_SINGLE(name, Type, table, ...)                                                        \
    NVR_DB_DESCRIBE_(name, Type, table, nullptr, 0, 1, __VA_ARGS__)                               \
    inline int read_##name(const char *path, Type *rec)                                           \
    {                                                                                             \
        return nvr_db_read(path, nvr_db_##name::desc, rec, 0);                                    \
    }                                                                                             \
    inline int write_##name(const char *path, const Type *rec)                                    \
    {                                                                                             \
        return nvr_db_write(path, nvr_db_##name::desc, rec, 0);                                   \
    }

// Sets the int32 column `column` of table `table` to `value` in the row of
// every key whose bit is set in `mask` (rows not stored yet are created from
// a zeroed record), in one transaction. `key_column` names the key: "id" or
// the table's key field. -1 for an unknown table, column or key column.
int copy_table_column_int(const char *path, const char *table, const char *column, int value,
                          uint64_t mask, const char *key_column);

// ---- Read-modify-write ------------------------------------------------------------------
// Runs body as one write transaction (BEGIN IMMEDIATE) on the database at
// `path`: every settings call of this interface made inside it on the same
// database joins that transaction, so a read, a check and the following
// writes see and leave a consistent file whatever other processes do. A
// negative result from body, or a failed settings call inside it, rolls
// everything back and yields -1; otherwise body's result is returned.
// The body is run again from the start when the file stays busy, so it must
// derive everything from what it reads inside and must not talk to the
// daemon or write replies.
int settings_atomic(const char *path, const std::function<int()> &body);

// ---- Settings parameters --------------------------------------------------------------
// Parameters are stored as text; an integer is its decimal text, so both
// views of one key agree.

// The stored integer, or `dflt` when the key is missing or its text is not a
// decimal integer within the int range (surrounding blanks allowed).
int get_param_int(const char *path, const char *key, int dflt);
int set_param_int(const char *path, const char *key, int value);
// Copies the stored text (or `dflt` when missing; "" for a null default)
// into buffer, cut to size-1 characters and zero-terminated. 0 when the key
// is stored, 1 when the default was used, -1 for bad arguments.
int get_param_value(const char *path, const char *key, char *buffer, size_t size, const char *dflt);
// Both store the text, creating the key when missing and replacing it when
// present (a create that races with another process never loses the value).
int set_param_value(const char *path, const char *key, const char *text);
int add_param_value(const char *path, const char *key, const char *text);
// 0 when the key exists, 1 when not, -1 on a database failure.
int check_param_key(const char *path, const char *key);

// ---- Channel masks -----------------------------------------------------------------
// Channel mask text: '0'/'1' characters, character n for channel n. Only
// '1' sets a bit; every other character is a 0; at most the first 64
// characters are read (so a 65-byte record field without its zero is
// safe); a null text gives 0.
uint64_t get_channel_mask(const char *text);
