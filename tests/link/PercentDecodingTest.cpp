// Percent decoding of the phone's name messages, byte for byte, and the tail
// test that lets a message cut inside an escape or a character wait for the
// rest. Expected bytes are written out by hand.

#include "link/PercentDecoding.h"

#include <gtest/gtest.h>

#include <string>

using velmora::link::endsInsideUtf8Character;
using velmora::link::percentDecode;

namespace {

struct DecodeCase {
    const char* name;
    std::string input;
    std::string expected;
    bool endsInsideEscape;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class PercentDecodeTable : public testing::TestWithParam<DecodeCase> {};

// Guards against a decoder that refuses, skips or "repairs" malformed escapes
// (the phone and the PC must agree on every byte), drops "+" or zero bytes
// differently, or decodes a cut escape with a made-up digit.
TEST_P(PercentDecodeTable, DecodesByteForByte)
{
    const DecodeCase& c = GetParam();
    const auto decoded = percentDecode(c.input);
    EXPECT_EQ(decoded.bytes, c.expected);
    EXPECT_EQ(decoded.endsInsideEscape, c.endsInsideEscape);
}

INSTANTIATE_TEST_SUITE_P(Escapes, PercentDecodeTable, testing::Values(
    DecodeCase{"Plain", "abc.jpg", "abc.jpg", false},
    DecodeCase{"PlusIsCopied", "a+b", "a+b", false},
    DecodeCase{"ZeroEscapeAddsNothing", "a%00b", "ab", false},
    DecodeCase{"UpperHex", "%E5%BC%A0", "\xE5\xBC\xA0", false},
    DecodeCase{"LowerHex", "%e5%bc%a0", "\xE5\xBC\xA0", false},
    DecodeCase{"EncodedMarker", "STAT%7C%7c", "STAT||", false},
    // "G" is no digit and counts -2: 16 * -2 + 1 = -31, modulo 256 = 0xE1.
    DecodeCase{"BadHighDigit", "%G1", "\xE1", false},
    DecodeCase{"BadLowerHighDigit", "%g1", "\xE1", false},
    // 16 * 1 - 2 = 14.
    DecodeCase{"BadLowDigit", "%1G", "\x0E", false},
    // 16 * -2 - 2 = -34 -> 0xDE; 16 * 0 - 2 = -2 -> 0xFE.
    DecodeCase{"BothDigitsBad", "%GG", "\xDE", false},
    DecodeCase{"BadDigitAfterZero", "%0G", "\xFE", false},
    // The second "%" is the high digit of the first escape: -32 + 4 -> 0xE4.
    DecodeCase{"PercentAsDigit", "%%41", "\xE4" "1", false},
    DecodeCase{"HighBytesPass", "\xE5\xBC\xA0", "\xE5\xBC\xA0", false},
    DecodeCase{"RawZeroIsCopied", std::string("a\0b", 3), std::string("a\0b", 3), false},
    DecodeCase{"PercentLast", "ab%", "ab", true},
    DecodeCase{"OneDigitLast", "ab%4", "ab", true},
    DecodeCase{"EscapeThenCut", "%41%", "A", true},
    DecodeCase{"EscapeExactlyAtEnd", "ab%41", "abA", false},
    DecodeCase{"Empty", "", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct TailCase {
    const char* name;
    std::string bytes;
    bool cut;
};

void PrintTo(const TailCase& c, std::ostream* os) { *os << c.name; }

class Utf8TailTable : public testing::TestWithParam<TailCase> {};

// Guards against waiting forever on bytes that can never complete (invalid
// leads, stray continuation bytes) and against taking a name whose last
// character was cut in two by the network.
TEST_P(Utf8TailTable, TellsACutCharacter)
{
    EXPECT_EQ(endsInsideUtf8Character(GetParam().bytes), GetParam().cut);
}

INSTANTIATE_TEST_SUITE_P(Tails, Utf8TailTable, testing::Values(
    TailCase{"Empty", "", false},
    TailCase{"Ascii", "a", false},
    TailCase{"ThreeByteLeadOnly", "a\xE5", true},
    TailCase{"ThreeByteTwoOfThree", "\xE5\xBC", true},
    TailCase{"ThreeByteWhole", "\xE5\xBC\xA0", false},
    TailCase{"FourByteThreeOfFour", "\xF0\x9F\x98", true},
    TailCase{"FourByteWhole", "\xF0\x9F\x98\x80", false},
    TailCase{"TwoByteLeadOnly", "\xC3", true},
    TailCase{"StrayContinuation", "\x80", false},
    TailCase{"InvalidLeadC0", "\xC0", false},
    TailCase{"InvalidLeadFF", "\xFF", false},
    TailCase{"LeadThenAscii", "\xE5" "A", false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
