// The settings file as the platform's profile functions treat it. Files are
// hand-written bytes; the section and key names are GBK, as the program keeps
// them ("保存目录" = B1 A3 B4 E6 C4 BF C2 BC, "最后目录" = D7 EE BA F3 C4 BF C2 BC).

#include "platform/IniFile.h"

#include <gtest/gtest.h>

using velmora::platform::iniRead;
using velmora::platform::iniWrite;

namespace {

const std::string SECTION = "\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC";
const std::string KEY = "\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC";

struct ReadCase {
    const char* name;
    std::string file;
    std::optional<std::string> expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsTheItem)
{
    EXPECT_EQ(iniRead(GetParam().file, SECTION, KEY), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, IniRead, testing::Values(
    ReadCase{"emptyFile", "", std::nullopt},
    ReadCase{"plain", "[" + SECTION + "]\r\n" + KEY + "=D:\\photos\\\r\n", "D:\\photos\\"},
    ReadCase{"unixLineEnds", "[" + SECTION + "]\n" + KEY + "=/srv/p/\n", "/srv/p/"},
    ReadCase{"noFinalLineBreak", "[" + SECTION + "]\r\n" + KEY + "=E:\\", "E:\\"},
    ReadCase{"blanksAroundNamesAndValue",
             "  [ " + SECTION + " ]  \r\n  " + KEY + "  =  E:\\x\\  \r\n", "E:\\x\\"},
    ReadCase{"keyInOtherSection", "[other]\r\n" + KEY + "=X\r\n[" + SECTION + "]\r\n", std::nullopt},
    ReadCase{"sectionWithoutKey", "[" + SECTION + "]\r\nother=1\r\n", std::nullopt},
    ReadCase{"emptyValue", "[" + SECTION + "]\r\n" + KEY + "=\r\n", ""},
    ReadCase{"commentIsNoItem", "[" + SECTION + "]\r\n;" + KEY + "=X\r\n", std::nullopt},
    // "]" (0x5D) as the trail byte of a section name's last character must
    // not close the bracket early: 乗 is 81 5C, 乣 is 81 5D.
    ReadCase{"trailByteBracket", "[\x81\x5D]\r\n" + KEY + "=X\r\n[" + SECTION + "]\r\n" + KEY + "=Y\r\n", "Y"},
    ReadCase{"firstSectionWins", "[" + SECTION + "]\r\n" + KEY + "=A\r\n[" + SECTION + "]\r\n" + KEY + "=B\r\n", "A"}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    std::string before;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class IniWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyTheItem)
{
    const std::string written = iniWrite(GetParam().before, SECTION, KEY, "F:\\new\\");
    EXPECT_EQ(written, GetParam().after);
    EXPECT_EQ(iniRead(written, SECTION, KEY), "F:\\new\\");
}

const std::string ITEM = KEY + "=F:\\new\\";

INSTANTIATE_TEST_SUITE_P(Table, IniWrite, testing::Values(
    WriteCase{"newFile", "", "[" + SECTION + "]\r\n" + ITEM + "\r\n"},
    WriteCase{"replaceInPlace",
              "; mine\r\n[" + SECTION + "]\r\n" + KEY + "=D:\\\r\nz=1\r\n[x]\r\ny=2\r\n",
              "; mine\r\n[" + SECTION + "]\r\n" + ITEM + "\r\nz=1\r\n[x]\r\ny=2\r\n"},
    WriteCase{"keepsUnixLineBreak", "[" + SECTION + "]\n" + KEY + "=D:\\\n",
              "[" + SECTION + "]\n" + ITEM + "\n"},
    WriteCase{"keyAddedAfterSectionsLastItem",
              "[" + SECTION + "]\r\na=1\r\n\r\n[x]\r\n",
              "[" + SECTION + "]\r\na=1\r\n" + ITEM + "\r\n\r\n[x]\r\n"},
    WriteCase{"sectionAddedAtEnd", "[x]\r\ny=2",
              "[x]\r\ny=2\r\n[" + SECTION + "]\r\n" + ITEM + "\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
