#include <gtest/gtest.h>

#include <cstring>

#include "frontend/route_table.h"

namespace {
int hits = 0;
int handler_a(char *) { return ++hits; }

WebRes make(const char *path)
{
    WebRes r{};
    snprintf(r.path, sizeof r.path, "%s", path);
    r.handler = handler_a;
    return r;
}

// Registers and removes synthetic lists around whatever the linked modules hold.
TEST(RouteTable, RegistrationLimitsAndRemoval)
{
    const int base = WebResCount();
    EXPECT_EQ(-1, WebResRegister(nullptr, 3));
    WebRes one = make("/t0");
    EXPECT_EQ(-1, WebResRegister(&one, 0));
    EXPECT_EQ(base, WebResCount());

    // Fill up to 500 used slots, then a list of 12 is refused whole and one
    // of 11 fits (the table keeps one slot free).
    std::vector<WebRes> filler;
    for (int i = 0; i < 500 - base; i++) filler.push_back(make(("/f" + std::to_string(i)).c_str()));
    if (!filler.empty()) {
        ASSERT_EQ(0, WebResRegister(filler.data(), static_cast<int>(filler.size())));
    }
    ASSERT_EQ(500, WebResCount());
    std::vector<WebRes> twelve, eleven;
    for (int i = 0; i < 12; i++) twelve.push_back(make(("/x" + std::to_string(i)).c_str()));
    for (int i = 0; i < 11; i++) eleven.push_back(make(("/y" + std::to_string(i)).c_str()));
    EXPECT_EQ(-1, WebResRegister(twelve.data(), 12));
    EXPECT_EQ(nullptr, FindWebRes("/x0"));
    EXPECT_EQ(0, WebResRegister(eleven.data(), 11));
    EXPECT_EQ(511, WebResCount());

    // Removal takes every slot with one of the paths, also duplicates that
    // another list registered.
    WebRes dup = make("/y3");
    EXPECT_EQ(0, WebResUnregister(eleven.data(), 11));
    EXPECT_EQ(0, WebResRegister(&dup, 1));
    EXPECT_EQ(0, WebResRegister(&dup, 1));
    EXPECT_EQ(0, WebResUnregister(&dup, 1));
    EXPECT_EQ(nullptr, FindWebRes("/y3"));
    if (!filler.empty()) WebResUnregister(filler.data(), static_cast<int>(filler.size()));
    EXPECT_EQ(base, WebResCount());
}

TEST(RouteTable, ExactMatchOnly)
{
    WebRes r[2] = {make("/t1000"), make("/vb.htm")};
    ASSERT_EQ(0, WebResRegister(r, 2));
    char text[] = "x";
    hits = 0;
    EXPECT_EQ(1, DispatchWebReq("/t1000", text));
    EXPECT_EQ(0, DispatchWebReq("/t1000x", text));
    EXPECT_EQ(0, DispatchWebReq("/t1000/", text));
    EXPECT_EQ(0, DispatchWebReq(nullptr, text));
    EXPECT_EQ(1, hits);
    ASSERT_NE(nullptr, FindWebRes("/vb.htm"));
    EXPECT_STREQ("/vb.htm", FindWebRes("/vb.htm")->path);
    EXPECT_EQ(nullptr, FindWebRes(nullptr));
    WebResUnregister(r, 2);
}
// Lists removed in the reverse order of registration (as at every exit) and
// out of order, with and without a path that another list registered too.
TEST(RouteTable, RemovalInAnyOrderKeepsOtherLists)
{
    const int base = WebResCount();
    WebRes x[3] = {make("/rx1"), make("/rx2"), make("/rx3")};
    WebRes y[2] = {make("/ry1"), make("/ry2")};
    WebRes z[2] = {make("/rz1"), make("/rx2")}; // "/rx2" again
    struct Step {
        WebRes *list;
        int n;
        bool add;
        const char *present; // paths expected afterwards, space separated
        const char *absent;
    } steps[] = {
        {x, 3, true, "/rx1 /rx3", "/ry1"},
        {y, 2, true, "/rx1 /ry2", ""},
        {y, 2, false, "/rx1 /rx2 /rx3", "/ry1 /ry2"}, // the last list
        {y, 2, true, "/ry1", ""},
        {x, 3, false, "/ry1 /ry2", "/rx1 /rx2 /rx3"}, // not the last one
        {x, 3, true, "/rx1 /ry2", ""},
        {z, 2, true, "/rz1 /rx2", ""},
        {z, 2, false, "/rx1 /rx3 /ry1", "/rz1 /rx2"}, // takes x's "/rx2" too
        {y, 2, false, "/rx1", "/ry1"},
        {x, 3, false, "", "/rx1 /rx3"},
    };
    int row = 0;
    for (const Step &st : steps) {
        SCOPED_TRACE(row++);
        ASSERT_EQ(0, st.add ? WebResRegister(st.list, st.n) : WebResUnregister(st.list, st.n));
        char buf[64], text[] = "x";
        for (const char *paths : {st.present, st.absent}) {
            snprintf(buf, sizeof buf, "%s", paths);
            for (char *t = strtok(buf, " "); t; t = strtok(nullptr, " "))
                EXPECT_EQ(paths == st.present, DispatchWebReq(t, text) != 0) << t; // registered, and used
        }
        int used = 0;
        for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) used += WebResSlot(slot) != nullptr;
        EXPECT_EQ(WebResCount(), used);
    }
    EXPECT_EQ(base, WebResCount());
}
} // namespace
