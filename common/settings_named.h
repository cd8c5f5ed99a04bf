// Record tables named at run time. Each event kind keeps its action tables
// under a name of its own ("motion_white_led_params",
// "alarm_chnIn3_white_led_params", "ptz_params_1", ...), so one record type
// serves many tables and the caller passes the table name. A family is
// declared in one line, normally in the header of its record:
//
//   NVR_DB_NAMED(whiteled_params, WhiteLedParams, 64, stamp_whiteled_params)
//     read_whiteled_params(path, table, WhiteLedParams *rec, int key)
//     write_whiteled_params(path, table, const WhiteLedParams *rec, int key)
//     copy_whiteled_params(path, table, const WhiteLedParams *rec, uint64_t mask)
//     delete_whiteled_params(path, table, int key)
//
// Keys run from 0 to capacity-1 (a channel, normally). The stamp function
// `void stamp(Type *rec, int key)` writes the key into the record's own
// fields (its channel, the owner of each entry): it runs on what a read
// returns, on what a write stores and on each copy, so a stored record
// always carries its own key. Use nvr_db_no_stamp<Type> when the record has
// no such field.
//
// Contract as for the families of common/settings.h: results 0 / -1; a read
// of a key nothing is stored under gives a zeroed, stamped record; a key out
// of range, an invalid table name or a database failure gives -1 and leaves
// the record untouched; a copy is all-or-nothing and ignores bits at or
// above the capacity.
//
// Table names are ours, never a request's: [A-Za-z][A-Za-z0-9_]*, at most
// 63 characters, stored lower-cased (the settings library's table names are
// lower case), so "alarm_chnIn3_..." and "alarm_chnin3_..." are one table.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

typedef void (*NvrDbStamp)(void *rec, int key);

struct NvrDbNamedKind {
    size_t size;      // record size in bytes
    int capacity;     // keys 0..capacity-1
    NvrDbStamp stamp; // never null
};

enum { NVR_DB_TABLE_NAME_SIZE = 64 };

// Stored form of a table name into out; false when the name is not valid.
bool nvr_db_named_table(const char *table, char (&out)[NVR_DB_TABLE_NAME_SIZE]);

int nvr_db_named_read(const char *path, const char *table, const NvrDbNamedKind &kind, void *rec, int key);
int nvr_db_named_write(const char *path, const char *table, const NvrDbNamedKind &kind, const void *rec, int key);
int nvr_db_named_copy(const char *path, const char *table, const NvrDbNamedKind &kind, const void *rec,
                      uint64_t mask);
int nvr_db_named_delete(const char *path, const char *table, const NvrDbNamedKind &kind, int key);

template <class T> void nvr_db_no_stamp(T *, int) {}

#define NVR_DB_NAMED(name, Type, capacity, stamp)                                                     \
    namespace nvr_db_named_##name {                                                                \
    inline void stamp_(void *rec, int key) { stamp(static_cast<Type *>(rec), key); }               \
    inline const NvrDbNamedKind kind{sizeof(Type), (capacity), stamp_};                            \
    }                                                                                              \
    inline int read_##name(const char *path, const char *table, Type *rec, int key)               \
    {                                                                                              \
        return nvr_db_named_read(path, table, nvr_db_named_##name::kind, rec, key);                \
    }                                                                                              \
    inline int write_##name(const char *path, const char *table, const Type *rec, int key)        \
    {                                                                                              \
        return nvr_db_named_write(path, table, nvr_db_named_##name::kind, rec, key);               \
    }                                                                                              \
    inline int copy_##name(const char *path, const char *table, const Type *rec, uint64_t mask)   \
    {                                                                                              \
        return nvr_db_named_copy(path, table, nvr_db_named_##name::kind, rec, mask);               \
    }                                                                                              \
    inline int delete_##name(const char *path, const char *table, int key)                        \
    {                                                                                              \
        return nvr_db_named_delete(path, table, nvr_db_named_##name::kind, key);                   \
    }
