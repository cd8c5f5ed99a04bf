// Canvas <-> camera coordinates and position texts of the analysis pages.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "modules/video/vca.h"

namespace {

TEST(VcaCoords, ConversionsRoundAndClampToTheFrame)
{
    struct Row {
        int64_t v, frame, canvas;
        int32_t camera, canvas_back; // vca_to_camera(v), vca_to_canvas(camera)
    };
    const Row rows[] = {
        {100, 1920, 460, 417, 100},
        {50, 1080, 260, 208, 50},
        {300, 1920, 460, 1252, 300},
        {200, 1080, 260, 831, 200},
        {0, 1920, 460, 0, 0},
        {460, 1920, 460, 1920, 460},
        // Beyond the canvas: clamped to the frame, never wrapped.
        {INT32_MAX, 1920, 460, 1920, 460},
        {INT64_MAX, INT32_MAX, 460, INT32_MAX, 460},
        {-5, 1920, 460, 0, 0},
        {INT64_MIN, 1080, 260, 0, 0},
        // A frame of 0 or less converts everything to 0.
        {100, 0, 460, 0, 0},
        {100, -1920, 460, 0, 0},
    };
    for (const Row &r : rows) {
        const int32_t camera = vca_to_camera(r.v, r.frame, r.canvas);
        EXPECT_EQ(r.camera, camera) << r.v << " on " << r.frame;
        EXPECT_EQ(r.canvas_back, vca_to_canvas(camera, r.frame, r.canvas)) << r.v << " on " << r.frame;
    }
    // Camera values beyond the frame stay on the canvas.
    EXPECT_EQ(460, vca_to_canvas(INT32_MAX, 1920, 460));
    EXPECT_EQ(460, vca_to_canvas(INT64_MAX, INT64_MAX, 460));
    EXPECT_EQ(0, vca_to_canvas(INT32_MIN, 1920, 460));
}

TEST(VcaCoords, PositionTextsKeepEmptyFieldsInPlace)
{
    struct Row {
        const char *text;
        int32_t want[4];
    };
    const Row rows[] = {
        {"100;50;300;200", {100, 50, 300, 200}},
        {"10;;20", {10, 0, 20, 0}},
        {";;;7", {0, 0, 0, 7}},
        {"10;20", {10, 20, 0, 0}},
        {"", {0, 0, 0, 0}},
        {"x;5", {0, 5, 0, 0}},
        {"1;2;3;4;5;6", {1, 2, 3, 4}},
        {"99999999999;-99999999999", {INT32_MAX, INT32_MIN, 0, 0}},
        {" 8 ; 9", {8, 9, 0, 0}},
    };
    for (const Row &r : rows) {
        int32_t got[4] = {-1, -1, -1, -1};
        vca_split_position(r.text, got);
        for (int i = 0; i < 4; i++) EXPECT_EQ(r.want[i], got[i]) << '"' << r.text << "\" field " << i;
    }
    int32_t got[4] = {-1, -1, -1, -1};
    vca_split_position(nullptr, got);
    for (int32_t v : got) EXPECT_EQ(0, v);
}

} // namespace
