// The direct JSON writer against json-c's own plain rendering of the same
// values: both must give the same text byte for byte.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include <json-c/json.h>

#include "common/json_text.h"
#include "common/web_utils.h"

namespace {

std::string plain(json_object *o)
{
    std::string s = json_object_to_json_string_ext(o, JSON_C_TO_STRING_PLAIN);
    json_object_put(o);
    return s;
}

TEST(JsonText, MatchesJsonCForTheSameMembers)
{
    const std::string texts[] = {"", "plain", "a\"b\\c/d", std::string("\x01\x1f\t\n\r\b\f", 7), "\xc3\xa9\x7f",
                                 std::string(300, '/')};
    for (const std::string &text : texts) {
        for (int64_t value : {int64_t(INT32_MIN), int64_t(-1), int64_t(0), int64_t(9), int64_t(INT32_MAX)}) {
            // {"list":[{"n":..,"t":..},{}],"empty":[],"last":..}
            JsonText t;
            t.begin_object();
            t.begin_array("list");
            t.begin_object();
            t.add_int("n", value);
            t.add_text("t", text.c_str());
            t.end_object();
            t.begin_object();
            t.end_object();
            t.end_array();
            t.begin_array("empty");
            t.end_array();
            t.add_int("last", value);
            t.end_object();

            json_object *o = json_object_new_object(), *list = json_object_new_array(), *e = json_object_new_object();
            json_object_object_add(e, "n", json_object_new_int64(value));
            json_add_text(e, "t", text.c_str());
            json_object_array_add(list, e);
            json_object_array_add(list, json_object_new_object());
            json_object_object_add(o, "list", list);
            json_object_object_add(o, "empty", json_object_new_array());
            json_object_object_add(o, "last", json_object_new_int64(value));
            EXPECT_EQ(plain(o), t.text()) << text << " " << value;
        }
    }
}

// A record field without its zero gives all its characters, like
// json_add_field(); one with a zero stops there.
TEST(JsonText, FieldsAreReadWithinTheirSize)
{
    const char unterminated[4] = {'a', '/', '"', 'd'};
    const char terminated[8] = "ab\0cd";
    for (const auto &row : {std::make_pair(unterminated, sizeof unterminated),
                            std::make_pair(static_cast<const char *>(terminated), sizeof terminated)}) {
        JsonText t;
        t.begin_object();
        t.add_field("f", row.first, row.second);
        t.end_object();
        json_object *o = json_object_new_object();
        json_add_field(o, "f", row.first, row.second);
        EXPECT_EQ(plain(o), t.text());
    }
}

// Streamed to a file, a text of many chunks comes out whole and the same as
// built in memory, with json-c values (and a missing one) in place.
TEST(JsonText, StreamedTextEqualsTheTextBuiltInMemory)
{
    for (int members : {0, 1, 700, 3000}) {
        auto build = [&](JsonText &t) {
            t.begin_object();
            for (int i = 0; i < members; i++) {
                t.add_text("k", std::string(static_cast<size_t>(i % 40), '/').c_str());
                t.value("v");
                t.append("[1,2]", 5);
            }
            json_object *o = json_object_new_object();
            json_object_object_add(o, "x", json_object_new_string("a/b"));
            t.add_json("json", o);
            json_object_put(o);
            t.add_json("none", nullptr);
            t.end_object();
        };
        JsonText memory;
        build(memory);
        FILE *f = tmpfile();
        ASSERT_NE(nullptr, f);
        JsonText streamed(f);
        build(streamed);
        EXPECT_LT(streamed.text().size(), static_cast<size_t>(JsonText::kChunk)); // no whole copy kept
        streamed.finish();
        rewind(f);
        std::string out;
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
        fclose(f);
        EXPECT_EQ(memory.text(), out) << members;
        EXPECT_NE(std::string::npos, out.find("\"json\":{\"x\":\"a\\/b\"},\"none\":null}")) << members;
    }
}

} // namespace
