// The iconv side of the GBK conversions on systems other than Windows:
// what it does with a character converted inexactly and with a converter
// the C library lacks. Expected bytes come from the GBK code table.

#include "platform/IconvCharacter.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using velmora::platform::IconvCharacter;

namespace {

using velmora::test::bytes;

struct IconvCase {
    const char* name;
    const char* to;
    std::string input; // one UTF-32LE character
    bool converted;
    std::string output;
    int reports;       // lines in the log after two converters were made
};

void PrintTo(const IconvCase& c, std::ostream* os) { *os << c.name; }

class IconvTable : public testing::TestWithParam<IconvCase> {};

// Guards against a name that GBK cannot hold exactly turning into a
// look-alike (two students' photos meeting in one file) instead of "?", and
// against a system without a GBK converter turning every Chinese name into
// "?" with nothing in the log to say why.
TEST_P(IconvTable, ConvertsExactlyOrSaysWhy)
{
    const IconvCase& c = GetParam();
    testing::internal::CaptureStderr();
    IconvCharacter first(c.to, "UTF-32LE");
    IconvCharacter second(c.to, "UTF-32LE");
    std::string out = "<";
    EXPECT_EQ(first.convert(c.input, out), c.converted);
    EXPECT_EQ(second.convert(c.input, out), c.converted);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "<" + c.output + c.output);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), c.reports) << log;
    if (c.reports > 0) {
        EXPECT_NE(log.find(c.to), std::string::npos) << log;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, IconvTable, testing::Values(
    IconvCase{"exact", "GBK", bytes({0x20, 0x5F, 0, 0}), true, bytes({0xD5, 0xC5}), 0},
    // ä (U+00E4) is not in GBK; a transliterating converter writes "a".
    IconvCase{"inexact", "GBK//TRANSLIT", bytes({0xE4, 0, 0, 0}), false, "", 0},
    IconvCase{"missingConverter", "VELMORA-NO-SUCH-CODE-PAGE", bytes({0x41, 0, 0, 0}), false, "", 1}),
    [](const auto& info) { return std::string(info.param.name); });
} // namespace
