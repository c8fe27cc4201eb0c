// Conversions and searches over the program's GBK text. Expected bytes come
// from the GB2312/GBK code tables, not from the converter under test.

#include "platform/Codepage.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <string>

using namespace velmora::platform;

namespace {

using velmora::test::bytes;

struct ConversionCase {
    const char* name;
    std::string input;
    std::string expected;
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class Utf8ToGbk : public testing::TestWithParam<ConversionCase> {};

TEST_P(Utf8ToGbk, GivesTheCodeTableBytes)
{
    EXPECT_EQ(utf8ToGbk(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Utf8ToGbk, testing::Values(
    ConversionCase{"empty", "", ""},
    ConversionCase{"ascii", "a\\b_c.jpg", "a\\b_c.jpg"},
    ConversionCase{"zhang", bytes({0xE5, 0xBC, 0xA0}), bytes({0xD5, 0xC5})},
    ConversionCase{"ah", bytes({0xE5, 0x95, 0x8A}), bytes({0xB0, 0xA1})},
    // 乗 (U+4E57) is a GBK character whose trail byte is "\" (0x5C).
    ConversionCase{"trailBackslash", bytes({0xE4, 0xB9, 0x97}), bytes({0x81, 0x5C})},
    ConversionCase{"fullWidthColon", bytes({0xEF, 0xBC, 0x9A}), bytes({0xA3, 0xBA})},
    // A zero byte ends the text: nothing after it is converted.
    ConversionCase{"stopsAtNul", std::string("ab\0cd", 5), "ab"},
    // Invalid UTF-8 is replaced, not refused; the replacement has no GBK form.
    ConversionCase{"strayContinuation", bytes({'a', 0x80, 'b'}), "a?b"},
    ConversionCase{"truncatedSequence", bytes({'a', 0xE5, 0xBC}), "a?"},
    ConversionCase{"overlongSlash", bytes({0xC0, 0xAF}), "??"},
    ConversionCase{"surrogate", bytes({0xED, 0xA0, 0x80}), "???"},
    // A character GBK cannot hold becomes "?".
    ConversionCase{"emoji", bytes({0xF0, 0x9F, 0x98, 0x80, 'x'}), "?x"}),
    [](const auto& info) { return std::string(info.param.name); });

class GbkToUtf8 : public testing::TestWithParam<ConversionCase> {};

TEST_P(GbkToUtf8, GivesTheCodePoints)
{
    EXPECT_EQ(gbkToUtf8(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, GbkToUtf8, testing::Values(
    ConversionCase{"empty", "", ""},
    ConversionCase{"ascii", "192.168.1.5", "192.168.1.5"},
    ConversionCase{"zhang", bytes({0xD5, 0xC5}), bytes({0xE5, 0xBC, 0xA0})},
    // A lead byte whose trail byte was cut off is dropped, not garbled.
    ConversionCase{"halfCharacterAtEnd", bytes({'x', 0xD5}), "x"},
    ConversionCase{"stopsAtNul", std::string("x\0\xD5\xC5", 4), "x"},
    // 0xFF is never a GBK byte.
    ConversionCase{"invalidByte", bytes({0xFF, 'x'}), bytes({0xEF, 0xBF, 0xBD, 'x'})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Codepage, RoundTripsEveryTwoByteCharacterOfGbk)
{
    // Every defined GBK pair must come back unchanged through UTF-8; a
    // converter that mishandles a row would corrupt students' names.
    int pairs = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string gbk = bytes({lead, trail});
            const std::string utf8 = gbkToUtf8(gbk);
            if (utf8 == bytes({0xEF, 0xBF, 0xBD}))
                continue; // an unassigned pair
            ++pairs;
            ASSERT_EQ(utf8ToGbk(utf8), gbk) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_GT(pairs, 21000);
}

struct FindCase {
    const char* name;
    std::string text;
    std::string needle;
    std::size_t first;
    std::size_t last;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class GbkSearch : public testing::TestWithParam<FindCase> {};

TEST_P(GbkSearch, StepsOverDoubleByteCharacters)
{
    EXPECT_EQ(gbkFind(GetParam().text, GetParam().needle), GetParam().first);
    EXPECT_EQ(gbkFindLast(GetParam().text, GetParam().needle), GetParam().last);
}

constexpr auto NONE = std::string::npos;

INSTANTIATE_TEST_SUITE_P(Table, GbkSearch, testing::Values(
    FindCase{"asciiBackslash", "a\\b\\c", "\\", 1, 3},
    // 乗 = 81 5C: its trail byte is no directory separator.
    FindCase{"trailBackslash", bytes({0x81, 0x5C, 'x'}), "\\", NONE, NONE},
    FindCase{"trailThenReal", bytes({0x81, 0x5C, '\\', 'y'}), "\\", 2, 2},
    // 捱 = DF 5F: its trail byte is no "_".
    FindCase{"trailUnderscore", bytes({0xDF, 0x5F}), "_", NONE, NONE},
    // 亅 = 81 7C: its trail byte is no "|".
    FindCase{"trailBar", bytes({0x81, 0x7C, '|'}), "||", NONE, NONE},
    FindCase{"marker", bytes({0x81, 0x7C, 'S', 'T', 'A', 'T', '|', '|'}), "STAT||", 2, 2},
    FindCase{"notFound", "abc", "x", NONE, NONE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Codepage, ReplaceAllKeepsCharactersWhole)
{
    // "STAT||" removed everywhere; the 亅 (81 7C) before "|" stays whole.
    const std::string text = bytes({'S', 'T', 'A', 'T', '|', '|', 0x81, 0x7C, '|', 'x'});
    EXPECT_EQ(gbkReplaceAll(text, "STAT||", ""), bytes({0x81, 0x7C, '|', 'x'}));
    EXPECT_EQ(gbkReplaceAll("aXXbXX", "XX", "-"), "a-b-");
}

} // namespace
