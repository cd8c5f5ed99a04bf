// Field tables: the JSON keys of a record's integer and text fields with
// their places in the record, so that a getter or setter of a record is a
// table of fields instead of one line per key.
//
//   const RecField kFields[] = {RF_INT("enable", WatermarkReply, enable),
//                               RF_TEXT("watermark", WatermarkReply, text)};
//   fields_to_json(obj, &reply, kFields);    // {"enable": ..., "watermark": "..."}
//   fields_from_json(obj, &request, kFields);
#pragma once
#include <cstddef>
#include <cstdint>

#include <json-c/json.h>

#include "common/web_utils.h"

// One integer or text field of a record and its JSON key.
struct RecField {
    const char *key;
    JsonKind kind; // JK_INT (int32) or JK_STRING (zero-ended text field)
    size_t offset, size;
};
#define RF_INT(key, Type, member) RecField{key, JK_INT, offsetof(Type, member), sizeof(int32_t)}
#define RF_TEXT(key, Type, member) \
    RecField{key, JK_STRING, offsetof(Type, member), sizeof(static_cast<Type *>(nullptr)->member)}

// Adds each field to obj under its key, in table order (texts read within
// their field).
void fields_to_json(json_object *obj, const void *rec, const RecField *fields, size_t n);
// Sets each field from its key: the value when present with its type (a
// text cut to the field), else 0 or the empty text.
void fields_from_json(json_object *obj, void *rec, const RecField *fields, size_t n);
template <size_t N> void fields_to_json(json_object *obj, const void *rec, const RecField (&f)[N])
{
    fields_to_json(obj, rec, f, N);
}
template <size_t N> void fields_from_json(json_object *obj, void *rec, const RecField (&f)[N])
{
    fields_from_json(obj, rec, f, N);
}
