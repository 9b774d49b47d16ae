// The artwork generator run twice into fresh folders: the same bytes each time, a 400 by 340 panel
// and two 131-frame film strips of square frames whose knob turns clockwise from 7:30 to 4:30 with
// transparent corners, so the panel shows around the knob.
#include <gtest/gtest.h>

#include <cairo.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/TestFiles.h"

namespace fs = std::filesystem;

namespace {

const char* const kFiles[] = {"Marovex_sfondo.png", "Knob_Vintage_2_Silver_50.png", "Knob_Vintage_2_Silver_30.png"};

fs::path Generate(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("marovex-artwork-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string command = std::string(MAROVEX_ARTWORK_PROGRAM) + " '" + dir.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return dir;
}

// The centre of brightness of the pointer's gold inlay in one frame, relative to the frame's centre.
void PointerDirection(cairo_surface_t* strip, int frame, double* dx, double* dy) {
    const int w = cairo_image_surface_get_width(strip);
    const int stride = cairo_image_surface_get_stride(strip);
    const unsigned char* data = cairo_image_surface_get_data(strip);
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < w; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t p = *reinterpret_cast<const uint32_t*>(data + (frame * w + y) * stride + x * 4);
            const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            if (r > 120 && g > 90 && r - b > 60) {  // gold, not silver or grey
                sx += x + 0.5 - w / 2.0;  // pixel centres
                sy += y + 0.5 - w / 2.0;
                n += 1;
            }
        }
    }
    ASSERT_GT(n, 0) << "frame " << frame;
    *dx = sx / n;
    *dy = sy / n;
}

TEST(Artwork, DeterministicSizesAndAKnobThatTurnsClockwise) {
    const fs::path a = Generate("a");
    const fs::path b = Generate("b");
    for (const char* f : kFiles) {
        const std::string first = testfiles::ReadAll(a / f);
        ASSERT_FALSE(first.empty()) << f;
        EXPECT_EQ(first, testfiles::ReadAll(b / f)) << f << " differs between two runs";
    }

    cairo_surface_t* panel = cairo_image_surface_create_from_png((a / kFiles[0]).c_str());
    ASSERT_EQ(cairo_surface_status(panel), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(panel), 400);
    EXPECT_EQ(cairo_image_surface_get_height(panel), 340);
    cairo_surface_destroy(panel);

    for (int size : {50, 30}) {
        cairo_surface_t* strip = cairo_image_surface_create_from_png((a / kFiles[size == 50 ? 1 : 2]).c_str());
        ASSERT_EQ(cairo_surface_status(strip), CAIRO_STATUS_SUCCESS);
        ASSERT_EQ(cairo_image_surface_get_width(strip), size);
        ASSERT_EQ(cairo_image_surface_get_height(strip), size * 131);
        const unsigned char* data = cairo_image_surface_get_data(strip);
        EXPECT_EQ(data[3], 0) << "top-left corner of the first frame is transparent";
        double x0, y0, xm, ym, x1, y1;
        PointerDirection(strip, 0, &x0, &y0);
        PointerDirection(strip, 65, &xm, &ym);
        PointerDirection(strip, 130, &x1, &y1);
        // 7:30 (down-left), 12:00 (up), 4:30 (down-right), mirror images of each other.
        EXPECT_LT(x0, 0);
        EXPECT_GT(y0, 0);
        EXPECT_NEAR(xm, 0, 0.5);
        EXPECT_LT(ym, 0);
        EXPECT_GT(x1, 0);
        EXPECT_GT(y1, 0);
        EXPECT_NEAR(x0, -x1, 0.6);
        EXPECT_NEAR(y0, y1, 0.6);
        cairo_surface_destroy(strip);
    }
    fs::remove_all(a);
    fs::remove_all(b);
}

}  // namespace
