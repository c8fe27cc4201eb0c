#include "registry/export/ExportPreset.h"

#include <gtest/gtest.h>

namespace velmora::registry {
namespace {

// Expected rectangles worked out by hand: the preset's 358:441 kept whole,
// the head's side (top) losing a quarter of a tall photo's excess, a wide
// photo losing the same on either side.
struct CropRow {
    const char* name;
    int width;
    int height;
    CropRect expected;
};

const CropRow CROP_ROWS[] = {
    // 3024 × 441 / 358 = 3725.1 kept; 307 cut, 76 of them at the top.
    {"phone portrait 3:4", 3024, 4032, {0, 76, 3024, 3725}},
    // 3024 × 358 / 441 = 2454.9, rounded to 2455; 1577 cut, 788 on the left.
    {"phone landscape 4:3", 4032, 3024, {788, 0, 2455, 3024}},
    // 1080 × 441 / 358 = 1330.4; 590 cut, 147 at the top.
    {"tall 9:16", 1080, 1920, {0, 147, 1080, 1330}},
    {"exactly the preset", 358, 441, {0, 0, 358, 441}},
    {"twice the preset", 716, 882, {0, 0, 716, 882}},
    // Square: 1000 × 358 / 441 = 811.8 → 812 kept, 94 off each side.
    {"square", 1000, 1000, {94, 0, 812, 1000}},
    {"no pixels", 0, 100, {}},
};

TEST(ExportPresetTest, CropKeepsProportionsAndTheHead)
{
    for (const CropRow& row : CROP_ROWS) {
        SCOPED_TRACE(row.name);
        const CropRect crop = cropForPreset(row.width, row.height, registryPreset());
        EXPECT_EQ(crop, row.expected);
        if (crop.width > 0) {
            // Never more cut at the top than at the bottom.
            EXPECT_LE(crop.y, row.height - crop.y - crop.height);
            EXPECT_LE(crop.x + crop.width, row.width);
        }
    }
}

struct OptionsRow {
    const char* name;
    std::vector<std::string> options;
    bool valid;
    int width;
    int height;
    std::uint64_t minBytes;
    std::uint64_t maxBytes;
};

const OptionsRow OPTIONS_ROWS[] = {
    // "小于60KB" held to under 60,000 bytes, so either reading of "KB" passes.
    {"registry preset", {}, true, 358, 441, 0, 59'999},
    {"own size", {"--size", "390x567"}, true, 390, 567, 0, 59'999},
    {"own size with =", {"--size=390X567"}, true, 390, 567, 0, 59'999},
    {"range", {"--max-kb", "30", "--min-kb", "10"}, true, 358, 441, 10'240, 29'999},
    {"missing value", {"--max-kb"}, false, 0, 0, 0, 0},
    {"unknown option", {"--quality", "90"}, false, 0, 0, 0, 0},
    {"size without height", {"--size", "358x"}, false, 0, 0, 0, 0},
    {"zero size", {"--size", "0x441"}, false, 0, 0, 0, 0},
    {"zero maximum", {"--max-kb", "0"}, false, 0, 0, 0, 0},
    {"minimum above maximum", {"--min-kb", "60"}, false, 0, 0, 0, 0},
    {"negative", {"--min-kb", "-1"}, false, 0, 0, 0, 0},
};

TEST(ExportPresetTest, CommandLineOptions)
{
    for (const OptionsRow& row : OPTIONS_ROWS) {
        SCOPED_TRACE(row.name);
        std::string error;
        const auto preset = presetFromOptions(row.options, error);
        ASSERT_EQ(preset.has_value(), row.valid) << error;
        if (!preset) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(preset->width, row.width);
        EXPECT_EQ(preset->height, row.height);
        EXPECT_EQ(preset->minBytes, row.minBytes);
        EXPECT_EQ(preset->maxBytes, row.maxBytes);
        EXPECT_EQ(preset->dotsPerInch, 350);
    }
}

} // namespace
} // namespace velmora::registry
