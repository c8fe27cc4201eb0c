// velmora-photos check: the roster in each file form staff have, the lines
// it prints and its exit codes.

#include "PhotoFolder.h"

#include "platform/Codepage.h"
#include "platform/Utf8.h"
#include "registry/PhotosCommand.h"
#include "roster/XlsWriter.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sstream>

namespace {

using namespace velmora;
using namespace velmora::registry;

// Two students of class 1 and one without an ID-card number in class 2.
constexpr const char* ROSTER_UTF8 =
    "S\t张三\t11010519491231002X\t1\r\nS\t李四\t440524188001010014\t1\r\nS\t王五\t\t2\r\n";

// `utf8` as UTF-16LE with its byte-order mark, as a spreadsheet saves
// "Unicode text".
std::string utf16le(std::string_view utf8)
{
    std::string out = "\xFF\xFE";
    const auto unit = [&out](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = platform::decodeUtf8(utf8, pos);
        if (cp < 0x10000) {
            unit(cp);
        } else {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string rosterFile(test::PhotoFolder& folder, const std::string& form)
{
    if (form == "utf16le_bom")
        return platform::utf8FromPath(folder.add("roster/名册.txt", utf16le(ROSTER_UTF8)));
    if (form == "gbk_crlf")
        return platform::utf8FromPath(folder.add("roster/名册.txt", platform::utf8ToGbk(ROSTER_UTF8)));
    if (form == "utf8_bom_lf") {
        std::string text = ROSTER_UTF8;
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.erase(at, 1);
        return platform::utf8FromPath(folder.add("roster/名册.txt", "\xEF\xBB\xBF" + text));
    }
    roster::Worksheet sheet;
    const char* const cells[4][4] = {{"学校标识码", "姓名", "身份证号", "班级编号"},
                                     {"S", "张三", "11010519491231002X", "1"},
                                     {"S", "李四", "440524188001010014", "1"},
                                     {"S", "王五", "", "2"}};
    for (std::uint16_t row = 0; row < 4; ++row)
        for (std::uint16_t column = 0; column < 4; ++column)
            if (*cells[row][column])
                sheet[{row, column}] = {cells[row][column]};
    const auto bytes = roster::xlsFile(sheet);
    return platform::utf8FromPath(folder.add("roster/名册.xls", std::string(bytes->begin(), bytes->end())));
}

struct CommandRun {
    int code;
    std::string out;
    std::string err;
};

CommandRun run(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    // A photo whose bytes say "cat" has no face; any other passes.
    const auto judge = [](const std::filesystem::path& photo) {
        std::ifstream file(photo, std::ios::binary);
        std::string bytes;
        std::getline(file, bytes);
        return bytes == "cat" ? std::string("未找到人脸") : std::string();
    };
    const int code = runPhotosCommand(args, out, err, {}, judge);
    return {code, out.str(), err.str()};
}

class RosterForms : public testing::TestWithParam<const char*> {};

// Every form gives the same students; the check lists the one missing and
// the photo of nobody, and says "not complete".
TEST_P(RosterForms, CheckPrintsCountsMissingAndFindings)
{
    test::PhotoFolder folder;
    const std::string roster = rosterFile(folder, GetParam());
    folder.add("photos/1/11010519491231002X.jpg");
    folder.add("photos/无身份证照片/S_2_王五.jpg");
    folder.add("photos/1/陌生人.jpg");
    const std::string photos = platform::utf8FromPath(folder.root() / "photos");
    const CommandRun result = run({"check", roster, photos});
    EXPECT_EQ(result.code, EXIT_INCOMPLETE) << result.err;
    EXPECT_EQ(result.out, "名册 3 人，已有照片 2 人，缺 1 人，需重拍 0 人\n1\t李四\t440524188001010014\n"
                          "无人对应\t1/陌生人.jpg\n");

    // Nobody missing, but one photo fails: still not complete.
    folder.add("photos/李四.jpg", "cat", 60);
    const CommandRun reshoot = run({"check", roster, photos});
    EXPECT_EQ(reshoot.code, EXIT_INCOMPLETE);
    EXPECT_EQ(reshoot.out, "名册 3 人，已有照片 3 人，缺 0 人，需重拍 1 人\n"
                           "李四 440524188001010014：未找到人脸，需重拍\n无人对应\t1/陌生人.jpg\n");

    // A later photo of him that passes clears the entry.
    folder.add("photos/1/李四.jpg");
    const CommandRun complete = run({"check", roster, photos});
    EXPECT_EQ(complete.code, EXIT_COMPLETE);
    EXPECT_EQ(complete.out, "名册 3 人，已有照片 3 人，缺 0 人，需重拍 0 人\n"
                            "多张照片\t1\t李四\t440524188001010014\t1/李四.jpg，李四.jpg\n无人对应\t1/陌生人.jpg\n");
}

// utf16le_bom: before, read as GBK up to its first zero byte, it was a
// roster of nobody and the check said every student had a photo.
INSTANTIATE_TEST_SUITE_P(Files, RosterForms, testing::Values("gbk_crlf", "utf8_bom_lf", "xls_template", "utf16le_bom"));

struct RareNameCase {
    const char* name;
    std::string roster;       // the roster file's GB18030 bytes
    const char* photo;        // named by the student's name (UTF-8)
    bool needsSystem;         // the code is one the system's GB18030 converter reads
};

void PrintTo(const RareNameCase& c, std::ostream* os) { *os << c.name; }

class Gb18030Roster : public testing::TestWithParam<RareNameCase> {};

// A name with a character GBK lacks, in a roster file saved as GB18030:
// before, read as GBK, 王𡒄 became "王\uFFFD", counted as missing, and the
// photo as one of nobody.
TEST_P(Gb18030Roster, KeepsRareCharactersOfNames)
{
    const RareNameCase& c = GetParam();
    if (c.needsSystem && !platform::hasGb18030())
        GTEST_SKIP() << "this system has no GB18030 converter for two-byte codes beyond GBK (Wine 8 lacks code page 54936)";
    test::PhotoFolder folder;
    const std::string roster = platform::utf8FromPath(folder.add("名册.txt", c.roster));
    folder.add(std::string("photos/1/") + c.photo);
    const CommandRun result = run({"check", roster, platform::utf8FromPath(folder.root() / "photos")});
    EXPECT_EQ(result.code, EXIT_COMPLETE) << result.out << result.err;
    EXPECT_EQ(result.out, "名册 1 人，已有照片 1 人，缺 0 人，需重拍 0 人\n");
}

using test::bytes;

INSTANTIATE_TEST_SUITE_P(Files, Gb18030Roster, testing::Values(
    // 王 CD F5; 𡒄 U+21484, four bytes 95 36 97 38 by the standard's formula
    // (90 30 81 30 is U+10000).
    RareNameCase{"four_byte_code", "S\t" + bytes({0xCD, 0xF5, 0x95, 0x36, 0x97, 0x38}) + "\t\t1\r\n", "王𡒄.jpg", false},
    // 刘 C1 F5; 䶮 U+4DAE, FE 9F in GB18030's two-byte table, which GBK lacks.
    RareNameCase{"two_byte_code_beyond_gbk", "S\t" + bytes({0xC1, 0xF5, 0xFE, 0x9F}) + "\t\t1\r\n", "刘䶮.jpg", true}),
    [](const auto& info) { return std::string(info.param.name); });

// A roster pasted twice into the file counts each student once and says so.
TEST(PhotosCommand, CountsRepeatedRowsOnce)
{
    test::PhotoFolder folder;
    const std::string roster = platform::utf8FromPath(folder.add("名册.txt", std::string(ROSTER_UTF8) + ROSTER_UTF8));
    folder.add("photos/1/11010519491231002X.jpg");
    folder.add("photos/无身份证照片/S_2_王五.jpg");
    const CommandRun result = run({"check", roster, platform::utf8FromPath(folder.root() / "photos")});
    EXPECT_EQ(result.code, EXIT_INCOMPLETE) << result.err;
    EXPECT_EQ(result.out, "名册 3 人，已有照片 2 人，缺 1 人，需重拍 0 人\n1\t李四\t440524188001010014\n"
                          "名册重复行\t名册中有 3 行重复（可能粘贴了两次），已按一行计\n");
}

// A bad command line, a roster or folder that cannot be read: exit code 2
// and a reason, nothing on the output.
TEST(PhotosCommand, RefusesWhatItCannotRead)
{
    test::PhotoFolder folder;
    const std::string roster = rosterFile(folder, "gbk_crlf");
    const std::string notRoster = platform::utf8FromPath(folder.add("wrong.xls", [] {
        roster::Worksheet sheet;
        sheet[{0, 0}] = {"姓名"};
        const auto bytes = roster::xlsFile(sheet);
        return std::string(bytes->begin(), bytes->end());
    }()));
    const std::string root = platform::utf8FromPath(folder.root());
    const std::string nobody = platform::utf8FromPath(folder.add("heading.txt", "学校标识码\t姓名\t身份证号\t班级编号\r\n"));
    const std::vector<std::vector<std::string>> BAD = {
        {},
        {"check"},
        {"check", roster},
        {"check", roster, root, "extra"},
        {"list", roster, root},
        {"check", root + "/no-such-roster.txt", root},
        {"check", notRoster, root},
        {"check", roster, root + "/no-such-folder"},
        {"check", roster, roster},
        // A roster of nobody would have every student present.
        {"check", nobody, root},
        {"export", roster, root},
    };
    for (const auto& args : BAD) {
        const CommandRun result = run(args);
        EXPECT_EQ(result.code, EXIT_BAD_INPUT) << testing::PrintToString(args);
        EXPECT_EQ(result.out, "") << testing::PrintToString(args);
        EXPECT_NE(result.err, "") << testing::PrintToString(args);
    }
}

} // namespace
