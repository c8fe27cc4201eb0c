// MakeQrPicture end to end: pictures decoded by ZXing-cpp give back the
// payload, the settings reach the symbol, the picture is cut to the symbol.

#include "QrDecode.h"
#include "qr/QrPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace velmora::qr {
namespace {

// GBK bytes of "本机IP：192.168.1.5" (本 B1 BE, 机 BB FA, full-width colon A3 BA).
const std::string GBK_ADDRESS_LINE = "\xB1\xBE\xBB\xFA" "IP" "\xA3\xBA" "192.168.1.5";
// The same text in UTF-8, as iconv gives it (本 E6 9C AC, 机 E6 9C BA, ： EF BC 9A).
const std::string UTF8_ADDRESS_LINE = "\xE6\x9C\xAC\xE6\x9C\xBA" "IP" "\xEF\xBC\x9A" "192.168.1.5";
const std::string GBK_AH = "\xB0\xA1";       // 啊
const std::string UTF8_AH = "\xE5\x95\x8A";

std::string repeat(const std::string& piece, std::size_t times)
{
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

std::string ascii(std::size_t length)
{
    std::string out;
    for (std::size_t i = 0; i < length; ++i)
        out += static_cast<char>('a' + i % 26);
    return out;
}

struct PayloadCase {
    const char* name;
    std::string text;      // GBK, as callers pass it
    std::int32_t configure2;
    std::string expected;  // the bytes the decoded symbol must hold
};

void PrintTo(const PayloadCase& c, std::ostream* os) { *os << c.name; }

class PayloadTest : public ::testing::TestWithParam<PayloadCase> {};

// Guards against: GBK bytes encoded instead of UTF-8, the 2400-byte cut off by
// one, a half character turned into garbage, a body's line break trimmed, the
// text read past its end marker, and a picture cut through the symbol.
TEST_P(PayloadTest, DecodesToThePayloadAndIsCutToTheSymbol)
{
    const PayloadCase& c = GetParam();
    const auto file = MakeQrPicture(c.text, 0, c.configure2, 0.02);
    const auto picture = test::readBmp(file);
    ASSERT_TRUE(picture);

    const int size = picture->width;
    ASSERT_GT(size, 0);
    EXPECT_EQ(picture->height, size);
    // No margin: both outer finder edges lie on the picture's edges.
    EXPECT_TRUE(picture->isDark(0, 0));
    EXPECT_TRUE(picture->isDark(size - 1, 0));
    EXPECT_TRUE(picture->isDark(0, size - 1));

    const test::Decoded decoded = test::decodeSymbol(*picture);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.bytes, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    MakeQrPicture, PayloadTest,
    ::testing::Values(
        PayloadCase{"ascii_url", "http://dl.example/app.apk", 4, "http://dl.example/app.apk"},
        PayloadCase{"address", "192.168.1.5", 4, "192.168.1.5"},
        PayloadCase{"chinese", GBK_ADDRESS_LINE, 4, UTF8_ADDRESS_LINE},
        PayloadCase{"body_ending_in_crlf", "http://dl.example/a\r\n", 4, "http://dl.example/a\r\n"},
        PayloadCase{"ends_at_zero_byte", std::string("abc\0def", 7), 0, "abc"},
        PayloadCase{"exactly_2400", ascii(2400), 1, ascii(2400)},
        PayloadCase{"2401_cut_to_2400", ascii(2401), 1, ascii(2400)},
        // 2399 ASCII bytes and one GBK character: the cut keeps its lead byte only.
        PayloadCase{"half_character_dropped", ascii(2399) + GBK_AH, 1, ascii(2399)},
        // 900 characters: 1800 GBK bytes, 2700 UTF-8 bytes, near level L's 2953.
        PayloadCase{"long_chinese", repeat(GBK_AH, 900), 1, repeat(UTF8_AH, 900)}),
    [](const auto& info) { return std::string(info.param.name); });

struct SettingsCase {
    const char* name;
    std::int32_t configure1;
    std::int32_t configure2;
    double appearance;
    const char* ecLevel;
    int modules;  // 17 + 4 x version
    int size;     // picture width: modules x (room / modules), room = 400 - 2 x border
};

void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

class SettingsTest : public ::testing::TestWithParam<SettingsCase> {};

// Guards against bounds that let a setting through unbounded (a version past
// 40, an unknown level, a border leaving no room) or bound at the wrong place.
// "192.168.1.5" is 11 alphanumeric characters; version 1 holds 25 of them at
// L, 16 at Q, 10 at H (ISO/IEC 18004 capacity table).
TEST_P(SettingsTest, SettingsReachTheSymbol)
{
    const SettingsCase& c = GetParam();
    const auto picture = test::readBmp(MakeQrPicture("192.168.1.5", c.configure1, c.configure2, c.appearance));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, c.size);
    EXPECT_EQ(test::moduleCount(*picture), c.modules);
    const test::Decoded decoded = test::decodeSymbol(*picture);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.ecLevel, c.ecLevel);
    EXPECT_EQ(decoded.bytes, "192.168.1.5");
}

INSTANTIATE_TEST_SUITE_P(
    MakeQrPicture, SettingsTest,
    ::testing::Values(
        SettingsCase{"panel_0_9_0p3", 0, 9, 0.3, "H", 25, 175},            // 192 / 25 = 7
        SettingsCase{"dialog_0_4_0p25", 0, 4, 0.25, "H", 25, 200},         // 200 / 25 = 8
        SettingsCase{"negative_and_small", -3, 1, 0.01, "L", 21, 378},     // 384 / 21 = 18
        SettingsCase{"version_above_40", 41, 2, 0.25, "M", 177, 177},      // 200 / 177 = 1
        SettingsCase{"version_5", 5, 2, 0.02, "M", 37, 370},               // 384 / 37 = 10
        SettingsCase{"level_0_is_m", 0, 0, 0.02, "M", 21, 378},
        SettingsCase{"level_3_is_q", 0, 3, 0.02, "Q", 21, 378},
        SettingsCase{"negative_level", 0, -7, 0.02, "M", 21, 378},
        SettingsCase{"nan_appearance", 0, 1, std::nan(""), "L", 21, 378}),
    [](const auto& info) { return std::string(info.param.name); });

// Guards against the tolerance applied the wrong way round: a value within
// 1e-07 of a bound is kept, a value further out is bounded.
TEST(BoundSettings, AppearanceTolerance)
{
    struct Row { double in; double out; };
    const Row rows[] = {
        {0.3, 0.26}, {0.01, 0.02}, {-1.0, 0.02},
        {0.02 - 5e-8, 0.02 - 5e-8}, {0.02 - 2e-7, 0.02},
        {0.26 + 5e-8, 0.26 + 5e-8}, {0.26 + 2e-7, 0.26},
        {std::numeric_limits<double>::infinity(), 0.26},
        {-std::numeric_limits<double>::infinity(), 0.02}};
    for (const Row& row : rows)
        EXPECT_EQ(boundSettings(0, 0, row.in).border, row.out) << row.in;
    const QrSettings extremes = boundSettings(std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::int32_t>::max(), 0.1);
    EXPECT_EQ(extremes.minVersion, 0);
    EXPECT_EQ(extremes.correction, 4);
}

// Guards against a crash or a half-drawn symbol when the payload fits no QR
// version: 1200 characters are 3600 UTF-8 bytes, more than version 40 holds.
TEST(MakeQrPicture, TooLongPayloadGivesTheEmptyPicture)
{
    for (const std::int32_t level : {1, 4}) {
        const auto file = MakeQrPicture(repeat(GBK_AH, 1200), 0, level, 0.02);
        ASSERT_EQ(file.size(), 54u);
        const auto picture = test::readBmp(file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, 0);
        EXPECT_EQ(picture->height, 0);
    }
}

// Guards against overlapping calls corrupting each other's pictures: two
// threads make pictures at once and each must equal its single-thread result.
TEST(MakeQrPicture, ConcurrentCallsGiveCorrectPictures)
{
    const std::string texts[2] = {"192.168.1.5", "http://dl.example/app.apk"};
    const std::vector<std::uint8_t> expected[2] = {MakeQrPicture(texts[0], 0, 9, 0.3),
                                                   MakeQrPicture(texts[1], 0, 4, 0.25)};
    int mismatches[2] = {0, 0};
    auto run = [&](int which) {
        for (int i = 0; i < 20; ++i) {
            const auto got = which == 0 ? MakeQrPicture(texts[0], 0, 9, 0.3)
                                        : MakeQrPicture(texts[1], 0, 4, 0.25);
            if (got != expected[which])
                ++mismatches[which];
        }
    };
    std::thread first(run, 0);
    std::thread second(run, 1);
    first.join();
    second.join();
    EXPECT_EQ(mismatches[0], 0);
    EXPECT_EQ(mismatches[1], 0);
    EXPECT_EQ(test::decodeBmp(expected[0]).bytes, texts[0]);
    EXPECT_EQ(test::decodeBmp(expected[1]).bytes, texts[1]);
}

} // namespace
} // namespace velmora::qr
