// What 标签12 says of a photo: the rows of the tables in app/VerdictLines.h,
// the first line through the same pairing as 名单核对.

#include "app/VerdictLines.h"
#include "registry/Pairing.h"
#include "registry/RosterRows.h"

#include <gtest/gtest.h>

namespace velmora::app {
namespace {

// 学校标识码 TAB 姓名 TAB 身份证号 TAB 班级编号, as the roster box holds it.
constexpr const char* ROSTER =
    "3301\t张三\t330106201201039325\t301\n"
    "3301\t李四\t\t302\n"
    "3301\t王五\t330106201201031111\t\n"
    "3301\t赵六\t330106201201032222\t301\n"
    "3301\t赵六\t330106201201033333\t302\n";

struct WhoCase {
    const char* name;
    const char* stem;
    const char* folder;
    const char* shownName;
    const char* who;
};

class WhoRows : public testing::TestWithParam<WhoCase> {};

// Guards against 标签12 naming a student other than the one 名单核对 will
// count the photo for, and against a photo of nobody looking like a
// student's.
TEST_P(WhoRows, NamesTheStudentTheCheckCountsThePhotoFor)
{
    const WhoCase& c = GetParam();
    const auto student = registry::studentOfPhoto(registry::rosterStudents(ROSTER), c.stem, c.folder);
    EXPECT_EQ(verdictWho(student, c.shownName), c.who);
}

INSTANTIATE_TEST_SUITE_P(
    Photos, WhoRows,
    testing::Values(
        WhoCase{"id_number", "330106201201039325", "", "330106201201039325.jpg", "张三  301班"},
        WhoCase{"no_id_folder", "3301_302_李四", "无身份证照片", "3301_302_李四.jpg", "李四  302班"},
        WhoCase{"name_alone", "张三", "", "张三.jpg", "张三  301班"},
        WhoCase{"student_without_class", "王五", "", "王五.jpg", "王五"},
        WhoCase{"two_of_a_name_told_by_folder", "赵六", "302", "赵六.jpg", "赵六  302班"},
        WhoCase{"two_of_a_name_at_the_top", "赵六", "", "赵六.jpg", "赵六.jpg（名册中没有）"},
        WhoCase{"beside_a_stored_photo", "张三-2", "", "张三-2.jpg", "张三-2.jpg（名册中没有）"},
        WhoCase{"nobody", "孙七", "", "孙七.jpg", "孙七.jpg（名册中没有）"}),
    [](const testing::TestParamInfo<WhoCase>& info) { return info.param.name; });

struct LineCase {
    const char* name;
    std::optional<registry::PhotoCheck> check;
    const char* text;
    VerdictLine::Colour colour;
    bool beep;
};

class LineRows : public testing::TestWithParam<LineCase> {};

// Guards against a beep or red for a photo that passed, and a silent
// reshoot.
TEST_P(LineRows, SaysTheVerdict)
{
    const LineCase& c = GetParam();
    const VerdictLine line = verdictLine(c.check);
    EXPECT_EQ(line.text, c.text);
    EXPECT_EQ(line.colour, c.colour);
    EXPECT_EQ(line.beep, c.beep);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, LineRows,
    testing::Values(LineCase{"checking", std::nullopt, "正在检查…", VerdictLine::Colour::Plain, false},
                    LineCase{"passed", registry::PhotoCheck::Passed, "可用于学籍上传", VerdictLine::Colour::Pass, false},
                    LineCase{"reshoot", registry::PhotoCheck::NoFace, "需重拍：未找到人脸",
                             VerdictLine::Colour::Reshoot, true}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

} // namespace
} // namespace velmora::app
