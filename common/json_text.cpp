#include "common/json_text.h"

#include <cstring>
#include <memory>

#include <json-c/json.h>

char *json_put_text(char *p, const char *field, size_t size)
{
    static const char hex[] = "0123456789abcdef";
    *p++ = '"';
    // One pass to the zero or the limit: the texts are short (times of day,
    // names), where a separate length scan costs more than the copy.
    const size_t n = field && size ? size - 1 : 0;
    for (size_t i = 0; i < n && field[i]; i++) {
        const unsigned char c = static_cast<unsigned char>(field[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c != '/') {
            *p++ = static_cast<char>(c);
            continue;
        }
        *p++ = '\\';
        switch (c) {
        case '"': *p++ = '"'; break;
        case '\\': *p++ = '\\'; break;
        case '/': *p++ = '/'; break;
        case '\b': *p++ = 'b'; break;
        case '\f': *p++ = 'f'; break;
        case '\n': *p++ = 'n'; break;
        case '\r': *p++ = 'r'; break;
        case '\t': *p++ = 't'; break;
        default:
            memcpy(p, "u00", 3);
            p[3] = hex[c >> 4];
            p[4] = hex[c & 15];
            p += 5;
        }
    }
    *p++ = '"';
    return p;
}

char *json_put_int(char *p, int64_t value)
{
    char digits[20];
    int n = 0;
    uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    if (value < 0) *p++ = '-';
    while (n) *p++ = digits[--n];
    return p;
}

namespace {
// Appends `len` characters of `text` as a JSON string, then `tail` (a colon
// after a key, or nothing); short texts go through a stack buffer.
void append_text(std::string &out, const char *text, size_t len, const char *tail = "")
{
    const size_t room = 2 + 6 * len + strlen(tail);
    char local[1024];
    std::unique_ptr<char[]> heap;
    char *buf = local;
    if (room > sizeof local) {
        heap.reset(new char[room]);
        buf = heap.get();
    }
    char *p = json_put_text(buf, text, len + 1);
    for (const char *t = tail; *t;) *p++ = *t++;
    out.append(buf, static_cast<size_t>(p - buf));
}
} // namespace

void JsonText::member(const char *key)
{
    if (!first_) out_ += ',';
    first_ = false;
    if (key) append_text(out_, key, strlen(key), ":");
}

void JsonText::add_int(const char *key, int64_t value)
{
    member(key);
    char digits[20];
    out_.append(digits, static_cast<size_t>(json_put_int(digits, value) - digits));
    grew();
}

void JsonText::add_field(const char *key, const char *field, size_t size)
{
    member(key);
    // json_add_field() takes up to `size` characters: one more than
    // json_put_text()'s limit of size-1.
    append_text(out_, field, field ? strnlen(field, size) : 0);
    grew();
}

void JsonText::add_text(const char *key, const char *text)
{
    add_field(key, text ? text : "", text ? strlen(text) + 1 : 1);
}

void JsonText::add_json(const char *key, json_object *value)
{
    member(key);
    size_t len = 0;
    const char *text = json_object_to_json_string_length(value, JSON_C_TO_STRING_PLAIN, &len);
    append(text ? text : "null", text ? len : 4);
}

void JsonText::flush()
{
    if (!out_.empty()) fwrite(out_.data(), 1, out_.size(), sink_);
    out_.clear();
}

void JsonText::finish()
{
    if (!sink_) return;
    flush();
    fflush(sink_);
}
