// Bounded text copies into fixed fields: a field filled a second time keeps
// nothing of its first text (records go to the daemon and the database whole).
#include <gtest/gtest.h>

#include <json-c/json.h>

#include <cstring>
#include <functional>
#include <string>

#include "common/web_utils.h"

namespace {

TEST(TextCopy, SecondFillLeavesNoOldBytes)
{
    struct Case {
        const char *what;
        std::function<size_t(char *, size_t)> fill; // writes "ab" (or its cut) into the field
        std::string expected;                        // the whole field afterwards
    };
    json_object *ab = json_object_new_string("ab");
    const std::string zeros(16, '\0');
    const Case cases[] = {
        {"copy_text", [](char *f, size_t n) { return copy_text(f, n, "ab"); }, "ab" + zeros.substr(2)},
        {"copy_text null", [](char *f, size_t n) { return copy_text(f, n, nullptr); }, zeros},
        {"copy_text cut", [](char *f, size_t n) { return copy_text(f, n, std::string(20, 'z').c_str()); },
         std::string(15, 'z') + '\0'},
        {"copy_field unterminated", [](char *f, size_t n) { return copy_field(f, n, "abXYZ", 2); },
         "ab" + zeros.substr(2)},
        {"copy_field to its own zero", [](char *f, size_t n) { return copy_field(f, n, "ab\0cd", 5); },
         "ab" + zeros.substr(2)},
        {"jv_copy", [ab](char *f, size_t n) { return jv_copy(ab, f, n) ? size_t(2) : size_t(0); },
         "ab" + zeros.substr(2)},
    };
    for (const Case &c : cases) {
        char field[16];
        memset(field, 'x', sizeof field);
        c.fill(field, sizeof field);
        EXPECT_EQ(c.expected, std::string(field, sizeof field)) << c.what;
    }
    json_object_put(ab);

    // The size is the bound: bytes behind the field stay untouched.
    char two[8];
    memset(two, 'x', sizeof two);
    copy_text(two, 4, "a");
    EXPECT_EQ(std::string("a\0\0\0xxxx", 8), std::string(two, sizeof two));
    struct {
        char name[8];
        char after[4];
    } rec;
    memset(&rec, 'x', sizeof rec);
    COPY_TEXT(rec.name, "long name");
    EXPECT_EQ(std::string("long na\0xxxx", 12), std::string(rec.name, sizeof rec));
}

} // namespace
