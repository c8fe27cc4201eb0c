#include "registry/export/QualitySearch.h"

#include <gtest/gtest.h>

namespace velmora::registry {
namespace {

using Status = QualityResult::Status;

// A file of 1000 + 10·q² bytes at quality q (101,000 at 100), its first
// byte naming the quality, so the bytes returned are shown to belong to the
// quality reported.
std::string modelFile(int quality)
{
    std::string bytes(static_cast<std::size_t>(1000 + 10 * quality * quality), 'x');
    bytes[0] = static_cast<char>(quality);
    return bytes;
}

// As modelFile, but quality 75 makes a file bigger than quality 76 does:
// encoders are not strictly monotonic.
std::string bumpyFile(int quality)
{
    return quality == 75 ? std::string(70'000, 'x') : modelFile(quality);
}

struct SearchRow {
    const char* name;
    std::string (*encode)(int);
    std::uint64_t minBytes;
    std::uint64_t maxBytes;
    Status status;
    int quality;
    int mostEncodes; // a search, not a walk through the qualities
};

const SearchRow SEARCH_ROWS[] = {
    // 76² · 10 + 1000 = 58,760 fits, 77 gives 60,290.
    {"registry limit", modelFile, 0, 59'999, Status::Fits, 76, 10},
    {"quality 100 fits", modelFile, 0, 200'000, Status::Fits, 100, 1},
    {"exact maximum", modelFile, 0, 58'760, Status::Fits, 76, 10},
    {"minimum met", modelFile, 30'000, 59'999, Status::Fits, 76, 10},
    {"even quality 1 too large", modelFile, 0, 1000, Status::TooLarge, 0, 8},
    {"even quality 100 too small", modelFile, 200'000, 300'000, Status::TooSmall, 0, 1},
    {"range between two qualities", modelFile, 58'800, 60'000, Status::TooSmall, 0, 10},
    // 97² · 10 + 1000 = 95,090 fits, 98 gives 97,040: 100, 99, 97, 98.
    {"near the top, where registry photos land", modelFile, 0, 96'000, Status::Fits, 97, 4},
    {"not monotonic: what fits is measured", bumpyFile, 0, 59'999, Status::Fits, 74, 10},
};

TEST(QualitySearchTest, HighestQualityWithinRange)
{
    for (const SearchRow& row : SEARCH_ROWS) {
        SCOPED_TRACE(row.name);
        const QualityResult result = searchQuality(row.encode, row.minBytes, row.maxBytes);
        EXPECT_EQ(result.status, row.status);
        EXPECT_LE(result.encodes, row.mostEncodes);
        if (row.status != Status::Fits) {
            EXPECT_TRUE(result.bytes.empty());
            continue;
        }
        EXPECT_EQ(result.quality, row.quality);
        EXPECT_EQ(static_cast<int>(result.bytes[0]), row.quality);
        EXPECT_GE(result.bytes.size(), row.minBytes);
        EXPECT_LE(result.bytes.size(), row.maxBytes);
    }
}

TEST(QualitySearchTest, EncoderFailureIsNoFit)
{
    const QualityResult result = searchQuality([](int) { return std::string(); }, 0, 60'000);
    EXPECT_EQ(result.status, Status::EncodeFailed);
    EXPECT_TRUE(result.bytes.empty());
}

} // namespace
} // namespace velmora::registry
