// Device paths under the root, into a caller's buffer: the whole path or
// nothing, never a cut one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/device_path.h"

namespace {

TEST(DevicePath, BufferHoldsTheWholePathOrNothing)
{
    const char *saved = getenv("NVRWEB_ROOT");
    const std::string keep = saved ? saved : "";
    setenv("NVRWEB_ROOT", "/r00t", 1);
    nvr_root_reset_for_tests();
    const struct {
        const char *path;
        size_t size;
        const char *want; // nullptr: refused, buffer empty
    } rows[] = {
        {"/var/run/x", 64, "/r00t/var/run/x"},
        {"/var/run/x", 16, "/r00t/var/run/x"}, // exactly fits with its zero
        {"/var/run/x", 15, nullptr},
        {"/var/run/x", 1, nullptr},
        {"relative", 9, "relative"}, // not under the root
        {"relative", 8, nullptr},
        {"", 4, ""},
        {nullptr, 8, nullptr},
    };
    for (const auto &row : rows) {
        char out[64];
        memset(out, 'z', sizeof out);
        const char *got = nvr_path(row.path, out, row.size);
        if (row.want) {
            ASSERT_EQ(out, got) << row.path << " " << row.size;
            EXPECT_STREQ(row.want, out) << row.size;
        } else {
            EXPECT_EQ(nullptr, got) << (row.path ? row.path : "null") << " " << row.size;
            EXPECT_EQ('\0', out[0]);
        }
    }
    EXPECT_EQ("/r00t/a", nvr_path("/a"));
    if (saved) setenv("NVRWEB_ROOT", keep.c_str(), 1);
    else unsetenv("NVRWEB_ROOT");
    nvr_root_reset_for_tests();
}

} // namespace
