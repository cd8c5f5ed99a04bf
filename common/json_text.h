// JSON text written directly, in the form json-c gives with
// JSON_C_TO_STRING_PLAIN (no spaces, "/" escaped as "\/", control characters
// as \u00XX, members in the order written). For large replies of many small
// members, where building json-c objects first costs most of a request.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Writes a text of at most size-1 characters (a record field may lack its
// zero) as a JSON string at `p`, escaped as json-c escapes; returns the end.
// Room needed: 2 + 6 * (size - 1) characters.
char *json_put_text(char *p, const char *field, size_t size);
// Writes the decimal text of `value` (at most 20 characters) at `p`; returns the end.
char *json_put_int(char *p, int64_t value);

struct json_object;

class JsonText {
public:
    explicit JsonText(size_t reserve = 1024) { out_.reserve(reserve); }
    // Streaming: the text goes to `sink` in pieces of about kChunk characters
    // as it grows (no copy of the whole reply here; the sink's buffer decides
    // how it leaves); finish() writes the rest. text() holds only what is not
    // written yet.
    enum { kChunk = 4096 };
    explicit JsonText(FILE *sink) : sink_(sink) { out_.reserve(kChunk + 1024); }

    // Objects and arrays: `key` names the member inside an object, nullptr
    // for an array element or the outermost value.
    void begin_object(const char *key = nullptr) { open(key, '{'); }
    void end_object() { close('}'); }
    void begin_array(const char *key = nullptr) { open(key, '['); }
    void end_array() { close(']'); }

    void add_int(const char *key, int64_t value);
    // A text of at most `size` characters (a field that may lack its zero),
    // like json_add_field().
    void add_field(const char *key, const char *field, size_t size);
    template <size_t N> void add_field(const char *key, const char (&field)[N]) { add_field(key, field, N); }
    void add_text(const char *key, const char *text);
    // A json-c value as json-c writes it (null for a missing one).
    void add_json(const char *key, json_object *value);

    // A value written by the caller: value() writes the member's key, then
    // the value's text goes through append() in as many pieces as it likes.
    void value(const char *key) { member(key); }
    void append(const char *text, size_t len)
    {
        out_.append(text, len);
        grew();
    }

    const std::string &text() const { return out_; }
    std::string take() { return std::move(out_); }
    // Streaming: writes what is left and flushes the sink.
    void finish();

private:
    void member(const char *key);
    void open(const char *key, char c)
    {
        member(key);
        out_ += c;
        first_ = true;
    }
    void close(char c)
    {
        out_ += c;
        first_ = false; // the enclosing value now has a member
        grew();
    }
    void grew()
    {
        if (sink_ && out_.size() >= kChunk) flush();
    }
    void flush();

    std::string out_;
    bool first_ = true;
    FILE *sink_ = nullptr;
};
