// velmora-photos check: the roster in each file form staff have, the lines
// it prints and its exit codes.

#include "PhotoFolder.h"

#include "platform/Codepage.h"
#include "registry/PhotosCommand.h"
#include "roster/XlsWriter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace velmora;
using namespace velmora::registry;

// Two students of class 1 and one without an ID-card number in class 2.
constexpr const char* ROSTER_UTF8 =
    "S\t张三\t11010519491231002X\t1\r\nS\t李四\t440524188001010014\t1\r\nS\t王五\t\t2\r\n";

std::string rosterFile(test::PhotoFolder& folder, const std::string& form)
{
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
    const int code = runPhotosCommand(args, out, err);
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
    EXPECT_EQ(result.out, "名册 3 人，已有照片 2 人，缺 1 人\n1\t李四\t440524188001010014\n无人对应\t1/陌生人.jpg\n");

    folder.add("photos/李四.jpg");
    const CommandRun complete = run({"check", roster, photos});
    EXPECT_EQ(complete.code, EXIT_COMPLETE);
    EXPECT_EQ(complete.out, "名册 3 人，已有照片 3 人，缺 0 人\n无人对应\t1/陌生人.jpg\n");
}

INSTANTIATE_TEST_SUITE_P(Files, RosterForms, testing::Values("gbk_crlf", "utf8_bom_lf", "xls_template"));

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
