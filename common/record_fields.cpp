#include "common/record_fields.h"

#include <cstring>

#include "common/web_utils.h"

void record_fields_to_json(json_object *obj, const void *rec, const RecordField *fields, size_t n)
{
    const unsigned char *base = static_cast<const unsigned char *>(rec);
    for (size_t i = 0; i < n; i++) {
        const RecordField &f = fields[i];
        if (f.text) {
            json_add_field(obj, f.key, reinterpret_cast<const char *>(base + f.offset), f.size);
        } else {
            int32_t v;
            memcpy(&v, base + f.offset, sizeof v);
            json_add_int(obj, f.key, v);
        }
    }
}

int record_fields_take(json_object *obj, void *rec, const RecordField *fields, size_t n)
{
    if (!jv_is(obj, JK_OBJECT)) return 0;
    unsigned char *base = static_cast<unsigned char *>(rec);
    int taken = 0;
    for (size_t i = 0; i < n; i++) {
        const RecordField &f = fields[i];
        json_object *v = nullptr;
        if (!json_object_object_get_ex(obj, f.key, &v) || !jv_is(v, f.text ? JK_STRING : JK_INT)) continue;
        if (f.text) {
            copy_text(reinterpret_cast<char *>(base + f.offset), f.size, jv_str(v));
        } else {
            int32_t x = jv_int(v);
            memcpy(base + f.offset, &x, sizeof x);
        }
        taken++;
    }
    return taken;
}
