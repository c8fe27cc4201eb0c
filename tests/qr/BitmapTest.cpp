// The corner search and measurement on hand-made 400 x 400 images, and the
// BMP file layout against hand-built bytes.

#include "qr/Bitmap.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace velmora::qr {
namespace {

constexpr int SIDE = 400;

void darkRun(Bitmap& image, int x0, int y0, int dx, int dy, int length)
{
    for (int i = 0; i < length; ++i)
        image.set(x0 + i * dx, y0 + i * dy, BLACK);
}

struct CutCase {
    const char* name;
    std::function<void(Bitmap&)> draw;  // on a white 400 x 400 image
    Corner corner;
    int size;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

class CutTest : public ::testing::TestWithParam<CutCase> {};

// Guards against a row-wise instead of column-wise corner search, a
// measurement that stops at the first light pixel of the top row or left
// column, a near-black pixel taken for dark, and reads past the image's edge.
TEST_P(CutTest, CornerAndSize)
{
    const CutCase& c = GetParam();
    Bitmap image = Bitmap::filled(SIDE, SIDE, WHITE);
    c.draw(image);
    const Corner corner = findCorner(image);
    EXPECT_EQ(corner, c.corner);
    EXPECT_EQ(measureSymbol(image, corner), c.size);
}

INSTANTIATE_TEST_SUITE_P(
    Bitmap, CutTest,
    ::testing::Values(
        CutCase{"all_light", [](Bitmap&) {}, {0, 0}, 0},
        CutCase{"near_black_is_light",
                [](Bitmap& b) { b = Bitmap::filled(SIDE, SIDE, 0x010000); }, {0, 0}, 0},
        // (10, 300) is in an earlier column than (11, 5), though lower down.
        CutCase{"column_before_row",
                [](Bitmap& b) { b.set(11, 5, BLACK); b.set(10, 300, BLACK); }, {10, 300}, 1},
        // Finder-like ends of 7 pixels with a light stretch between them.
        CutCase{"passes_light_stretches",
                [](Bitmap& b) {
                    darkRun(b, 37, 50, 1, 0, 7); darkRun(b, 37 + 23, 50, 1, 0, 7);
                    darkRun(b, 37, 50, 0, 1, 7); darkRun(b, 37, 50 + 23, 0, 1, 7);
                },
                {37, 50}, 30},
        // The top row reaches further than the left column: both must be dark.
        CutCase{"shorter_left_column",
                [](Bitmap& b) { darkRun(b, 8, 8, 1, 0, 100); darkRun(b, 8, 8, 0, 1, 60); }, {8, 8}, 60},
        CutCase{"dark_corner_alone", [](Bitmap& b) { b.set(200, 200, BLACK); }, {200, 200}, 1},
        // Next to the right edge the measurement stops at the last column.
        CutCase{"at_right_edge",
                [](Bitmap& b) { darkRun(b, 390, 0, 1, 0, 10); darkRun(b, 390, 0, 0, 1, 50); }, {390, 0}, 10},
        CutCase{"last_pixel", [](Bitmap& b) { b.set(399, 399, BLACK); }, {399, 399}, 1},
        CutCase{"whole_image_dark",
                [](Bitmap& b) { b = Bitmap::filled(SIDE, SIDE, BLACK); }, {0, 0}, 400}),
    [](const auto& info) { return std::string(info.param.name); });

// Guards against a wrong header field, top-down rows, RGB instead of BGR and
// missing row padding: any of them makes the picture box show nothing or a
// scrambled code.
TEST(Bitmap, BmpFileBytesMatchHandBuiltFile)
{
    Bitmap image = Bitmap::filled(2, 2, WHITE);
    image.set(0, 0, 0xFF0000); // top left red
    image.set(1, 0, 0x00FF00); // top right green
    image.set(0, 1, 0x0000FF); // bottom left blue
    image.set(1, 1, BLACK);
    const std::vector<std::uint8_t> expected = {
        'B', 'M', 70, 0, 0, 0,      // file size 54 + 2 rows x 8
        0, 0, 0, 0,                 // reserved
        54, 0, 0, 0,                // pixels start after both headers
        40, 0, 0, 0,                // BITMAPINFOHEADER
        2, 0, 0, 0, 2, 0, 0, 0,     // 2 x 2, positive height: bottom-up
        1, 0, 24, 0,                // one plane, 24 bits per pixel
        0, 0, 0, 0,                 // BI_RGB
        16, 0, 0, 0,                // pixel bytes
        0xC4, 0x0E, 0, 0, 0xC4, 0x0E, 0, 0, // 3780 pixels per metre
        0, 0, 0, 0, 0, 0, 0, 0,     // no palette
        0xFF, 0, 0, 0, 0, 0, 0, 0,  // bottom row: blue (B G R), black, padding
        0, 0, 0xFF, 0, 0xFF, 0, 0, 0}; // top row: red, green, padding
    EXPECT_EQ(bmpFileBytes(image), expected);

    // The 0 x 0 picture of a payload too long to encode: the headers alone.
    const auto empty = bmpFileBytes(Bitmap{});
    EXPECT_EQ(std::vector<std::uint8_t>(empty.begin() + 18, empty.begin() + 26), std::vector<std::uint8_t>(8, 0));
    EXPECT_EQ(empty.size(), 54u);
}

} // namespace
} // namespace velmora::qr
