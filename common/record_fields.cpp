#include "common/record_fields.h"

#include <cstring>

void fields_to_json(json_object *obj, const void *rec, const RecField *fields, size_t n)
{
    const char *base = static_cast<const char *>(rec);
    for (size_t i = 0; i < n; i++) {
        const RecField &f = fields[i];
        if (f.kind == JK_STRING) {
            json_add_field(obj, f.key, base + f.offset, f.size);
        } else {
            int32_t v;
            memcpy(&v, base + f.offset, sizeof v);
            json_add_int(obj, f.key, v);
        }
    }
}

void fields_from_json(json_object *obj, void *rec, const RecField *fields, size_t n)
{
    char *base = static_cast<char *>(rec);
    for (size_t i = 0; i < n; i++) {
        const RecField &f = fields[i];
        json_object *v = nullptr;
        if (!obj || !json_object_object_get_ex(obj, f.key, &v) || !jv_is(v, f.kind)) v = nullptr;
        if (f.kind == JK_STRING) {
            copy_text(base + f.offset, f.size, v ? json_object_get_string(v) : "");
        } else {
            int32_t value = v ? jv_int(v) : 0;
            memcpy(base + f.offset, &value, sizeof value);
        }
    }
}
