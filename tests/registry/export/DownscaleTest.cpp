#include "registry/export/Downscale.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora::registry {
namespace {

struct Picture {
    std::vector<std::uint32_t> pixels;
    int width;
    int height;
    PixelView view() { return {pixels.data(), width, height, width}; }
};

Picture picture(int width, int height, std::uint32_t (*pixel)(int x, int y))
{
    Picture made{std::vector<std::uint32_t>(static_cast<std::size_t>(width * height)), width, height};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            made.pixels[static_cast<std::size_t>(y * width + x)] = pixel(x, y);
    return made;
}

// Expected values follow from the filter's symmetry, not from running it:
// the same size is the identity (Lanczos is 1 at 0 and 0 at every other
// whole number); a flat colour stays flat (weights sum to 1); halving a
// checkerboard pairs every black pixel with a white one of equal weight.
TEST(DownscaleTest, KnownPictures)
{
    struct Row {
        const char* name;
        int width, height;
        std::uint32_t (*pixel)(int, int);
        int targetWidth, targetHeight;
        int margin;                       // border not checked (edges are normalised apart)
        std::uint32_t (*expected)(int, int, std::uint32_t source);
        int tolerance;                    // per channel
    };
    const Row rows[] = {
        {"same size: unchanged", 9, 7,
         [](int x, int y) { return 0xFF000000u | static_cast<std::uint32_t>(x * 29 + y * 7) * 0x010203u % 0x1000000u; },
         9, 7, 0, [](int, int, std::uint32_t source) { return source; }, 0},
        {"flat colour stays flat", 60, 45, [](int, int) { return 0xFF3C8AD2u; }, 7, 5, 0,
         [](int, int, std::uint32_t) { return 0xFF3C8AD2u; }, 0},
        {"halved checkerboard is mid grey", 40, 40,
         [](int x, int y) { return (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u; }, 20, 20, 3,
         [](int, int, std::uint32_t) { return 0xFF808080u; }, 1},
        {"alpha made opaque", 8, 8, [](int, int) { return 0x00102030u; }, 4, 4, 0,
         [](int, int, std::uint32_t) { return 0xFF102030u; }, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Picture source = picture(row.width, row.height, row.pixel);
        Picture target{std::vector<std::uint32_t>(static_cast<std::size_t>(row.targetWidth * row.targetHeight)),
                       row.targetWidth, row.targetHeight};
        resampleLanczos3(source.view(), target.view());
        for (int y = row.margin; y < row.targetHeight - row.margin; ++y)
            for (int x = row.margin; x < row.targetWidth - row.margin; ++x) {
                const std::uint32_t got = target.pixels[static_cast<std::size_t>(y * row.targetWidth + x)];
                const std::uint32_t want = row.expected(x, y, row.pixel(x, y));
                EXPECT_EQ(got >> 24, want >> 24);
                for (int shift : {16, 8, 0})
                    EXPECT_NEAR(static_cast<int>(got >> shift & 0xFF), static_cast<int>(want >> shift & 0xFF),
                                row.tolerance)
                        << "at " << x << "," << y;
            }
    }
}

} // namespace
} // namespace velmora::registry
