// A record's integer and text fields with their JSON keys, so that the
// getters and setters of a record are one table: encode every field, or take
// the fields a request carries and leave the others as stored.
#pragma once
#include <cstddef>
#include <cstdint>

#include <json-c/json.h>

struct RecordField {
    const char *key;
    bool text;     // zero-ended text field, else int32
    size_t offset; // of the field in the record
    size_t size;   // bytes of the field
};
#define RECORD_INT(key, Type, member) RecordField{key, false, offsetof(Type, member), sizeof(int32_t)}
#define RECORD_TEXT(key, Type, member) \
    RecordField{key, true, offsetof(Type, member), sizeof(static_cast<Type *>(nullptr)->member)}

// Adds each field under its key, in table order (texts read within their
// field, a missing zero tolerated).
void record_fields_to_json(json_object *obj, const void *rec, const RecordField *fields, size_t n);
// Takes each field whose key is present with its type (texts cut to the
// field); other fields keep their value. Returns the number taken; 0 for a
// value that is not an object.
int record_fields_take(json_object *obj, void *rec, const RecordField *fields, size_t n);

template <size_t N> void record_fields_to_json(json_object *obj, const void *rec, const RecordField (&f)[N])
{
    record_fields_to_json(obj, rec, f, N);
}
template <size_t N> int record_fields_take(json_object *obj, void *rec, const RecordField (&f)[N])
{
    return record_fields_take(obj, rec, f, N);
}
