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

struct Gb18030Case {
    const char* name;
    std::string input;
    std::string expected;
    bool needsSystem;   // read by the system's converter, not by the formula
};

void PrintTo(const Gb18030Case& c, std::ostream* os) { *os << c.name; }

class Gb18030ToUtf8 : public testing::TestWithParam<Gb18030Case> {};

// Guards against a roster file's rare name characters (four-byte codes, or
// two-byte codes GBK lacks) turning into U+FFFD, and against a bad or cut
// byte swallowing the ASCII after it (a TAB, the next student's line).
TEST_P(Gb18030ToUtf8, GivesTheCodePoints)
{
    if (GetParam().needsSystem && !hasGb18030())
        GTEST_SKIP() << "this system has no GB18030 converter (Wine 8 lacks code page 54936)";
    EXPECT_EQ(gb18030ToUtf8(GetParam().input), GetParam().expected);
}

// Four-byte codes from the standard: 81 30 81 30 is U+0080 and the basic
// plane's codes follow its table; 90 30 81 30 is U+10000 and each step of
// the last byte (30..39), the third (81..FE), the second (30..39) and the
// first one up from there is one code point more.
INSTANTIATE_TEST_SUITE_P(Table, Gb18030ToUtf8, testing::Values(
    Gb18030Case{"ascii", "S\t1\r\n", "S\t1\r\n", false},
    Gb18030Case{"gbkPair", bytes({0xD5, 0xC5}), "张", false},
    // 䶮 (U+4DAE): FE 9F, a two-byte code GB18030 has and GBK lacks.
    Gb18030Case{"pairBeyondGbk", bytes({0xC1, 0xF5, 0xFE, 0x9F}), "刘䶮", true},
    Gb18030Case{"fourByteFirst", bytes({0x81, 0x30, 0x81, 0x30}), bytes({0xC2, 0x80}), true},
    // 㐀 (U+3400), the first character of CJK extension A.
    Gb18030Case{"fourByteBasicPlane", bytes({0x81, 0x39, 0xEE, 0x39}), "㐀", true},
    Gb18030Case{"fourByteLastOfBasicPlane", bytes({0x84, 0x31, 0xA4, 0x39}), bytes({0xEF, 0xBF, 0xBF}), true},
    // 𠀀 U+20000 = 10000 + 65536 = 5·12600 + 2·1260 + 1·10 + 6 → 95 32 82 36;
    // 𡒄 U+21484 → 95 36 97 38; U+10FFFF → E3 32 9A 35.
    Gb18030Case{"fourByteSupplementary", bytes({0x95, 0x32, 0x82, 0x36, 0x95, 0x36, 0x97, 0x38}), "𠀀𡒄", false},
    Gb18030Case{"fourByteLast", bytes({0xE3, 0x32, 0x9A, 0x35}), bytes({0xF4, 0x8F, 0xBF, 0xBF}), false},
    Gb18030Case{"fourBytePastUnicode", bytes({0xE3, 0x32, 0x9A, 0x36, 'x'}), bytes({0xEF, 0xBF, 0xBD, 'x'}), false},
    // A zero byte is a byte of the file like any other.
    Gb18030Case{"keepsNul", std::string("a\0b", 3), std::string("a\0b", 3), false},
    // 80 and FF begin no code; a lead byte whose second byte fits no code
    // is replaced alone, and the TAB after it stays.
    Gb18030Case{"invalidBytes", bytes({0x80, 'a', 0xFF, 'b'}), bytes({0xEF, 0xBF, 0xBD, 'a', 0xEF, 0xBF, 0xBD, 'b'}), false},
    Gb18030Case{"badSecondByte", bytes({0x81, '\t', 'x'}), bytes({0xEF, 0xBF, 0xBD, '\t', 'x'}), false},
    Gb18030Case{"badThirdByte", bytes({0x95, 0x32, '\t', 0x36}), bytes({0xEF, 0xBF, 0xBD, '2', '\t', '6'}), false},
    // A character cut off at the end (a file cut short) is dropped.
    Gb18030Case{"cutPairAtEnd", bytes({'x', 0xD5}), "x", false},
    Gb18030Case{"cutFourByteAtEnd", bytes({'x', 0x95, 0x36, 0x97}), "x", false}),
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
