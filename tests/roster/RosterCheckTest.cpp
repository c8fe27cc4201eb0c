// The look over the roster before it is sent: which rows the phone would
// take apart wrongly, file under the wrong student or show with "?".

#include "roster/DuplicateRows.h"
#include "roster/RosterCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace velmora::roster;

// Findings as "line:fault", the fault's detail after "=".
std::string summary(const std::vector<RowFinding>& findings)
{
    std::string out;
    for (const RowFinding& f : findings) {
        out += out.empty() ? "" : " ";
        out += std::to_string(f.line) + ":";
        switch (f.fault) {
        case RowFault::FieldCount: out += "fields=" + std::to_string(f.fields); break;
        case RowFault::IdAsNumber: out += "number=" + f.detail; break;
        case RowFault::IdInvalid: out += "invalid=" + f.detail; break;
        case RowFault::IdRepeated: out += "repeats=" + std::to_string(f.firstLine); break;
        case RowFault::CharacterLost: out += "lost=" + f.detail; break;
        case RowFault::Duplicate: out += "duplicate=" + std::to_string(f.firstLine); break;
        case RowFault::LineBreakInCell: out += "linebreak-" + std::to_string(f.lastLine); break;
        }
    }
    return out;
}

struct CheckCase {
    const char* name;
    const char* roster;
    const char* findings;
};

// Valid numbers from the ID-card standard's own examples (11010519491231002X,
// 440524188001010014) and check characters worked out by hand.
const CheckCase CASES[] = {
    // A clean roster must pass without a word: 18 characters with the right
    // check character ("x" too), the old 15 digits, no ID card at all; empty
    // lines and a missing last line break are no faults.
    {"clean", "A\t张三\t11010519491231002X\t1班\r\nA\t李四\t440524188001010014\t1班\r\n\r\n"
              "A\t王五\t33010220100100005x\t2\r\nA\t赵六\t440524800101001\t2\r\nA\t钱七\t\t2", ""},
    {"clean_lf_only", "A\t张三\t\t1\nA\t李四\t\t1\n", ""},
    // A column too many or too few; the ID field is then not looked at.
    {"field_count", "A\t张三\t1\r\nA\t李四\t2\t1班\tX\r\n单独一行\r\n", "1:fields=3 2:fields=5 3:fields=1"},
    // Excel's General format shows a long ID as a number: its digits are lost.
    {"id_as_number", "A\t张三\t3.30101E+17\t1\r\nA\t李四\t3.30101201001011E+17\t1\r\nA\t王五\t4E+17\t1",
     "1:number=3.30101E+17 2:number=3.30101201001011E+17 3:number=4E+17"},
    // A wrong check character, a digit short, a blank behind, a letter
    // inside, 16 digits.
    {"id_invalid", "A\t一\t110105194912310021\t1\r\nA\t二\t11010519491231002\t1\r\nA\t三\t440524188001010014 \t1\r\n"
                   "A\t四\t4405241880010100A4\t1\r\nA\t五\t4405241880010100\t1",
     "1:invalid=110105194912310021 2:invalid=11010519491231002 3:invalid=440524188001010014  "
     "4:invalid=4405241880010100A4 5:invalid=4405241880010100"},
    // The same student twice would get one photo for two rows.
    {"id_repeated", "A\t一\t440524188001010014\t1\r\nA\t二\t11010519491231002X\t1\r\nA\t三\t440524188001010014\t1\r\n"
                    "A\t四\t11010519491231002x\t1\r\nA\t五\t440524188001010014\t1",
     "3:repeats=1 4:repeats=2 5:repeats=1"},
    // The same person's old 15-digit and 18-digit numbers are one ID.
    {"id_repeated_15_and_18", "A\t一\t110105491231002\t1\r\nA\t二\t11010519491231002X\t1\r\n"
                              "A\t三\t440524198001010013\t1\r\nA\t四\t440524800101001\t1",
     "2:repeats=1 4:repeats=3"},
    // A number Excel shows in full keeps 15 digits and pads with zeros.
    {"id_number_shown_in_full", "A\t张三\t330101201001010000\t1\r\nA\t李四\t440524188001010000\t1",
     "1:number=330101201001010000 2:number=440524188001010000"},
    // Characters GBK lacks reach the phone as "?": each named once.
    {"characters_lost", "A\t𠮷𠮷田\t\t1\r\nA\t张三\t\t😀班", "1:lost=𠮷 2:lost=😀"},
    // One row may have several faults; each is listed.
    {"several_faults_in_a_row", "A\t𠮷\t3.3E+17\r\nA\t𠮷\t3.3E+17\t1", "1:fields=3 1:lost=𠮷 2:number=3.3E+17 2:lost=𠮷"},
    // A roster pasted twice: each row of the second copy is one repeat, its
    // faults the first copy's. Before, every ID of the second copy was
    // listed as repeated and the rest hidden behind "另有…行".
    {"rows_pasted_twice", "A\t张三\t11010519491231002X\t1\r\nA\t李四\t3.3E+17\t1\r\n"
                          "A\t张三\t11010519491231002X\t1\r\nA\t李四\t3.3E+17\t1\r\n",
     "2:number=3.3E+17 3:duplicate=1 4:duplicate=2"},
    // Blanks around a cell make no other student; another "x", or only the
    // same ID under another name, is no repeat of the row.
    {"repeat_despite_blanks", "A\t张三\t11010519491231002X\t1\r\nA \t张三　\t11010519491231002X\t1 \r\n"
                              "A\t张三\t11010519491231002x\t1\r\nA\t张山\t11010519491231002X\t1",
     "2:duplicate=1 3:repeats=1 4:repeats=1"},
    // A quoted first cell with a line break, where the clean-up never ran
    // (no TAB in front of a quote): the phone would take the student for
    // two rows. Before, only "有1列" was said of its first line. Ditto marks
    // in the first column are no cells.
    {"line_break_in_cell", "\"学生\r\n(转)\"\t张三\t\t1\r\n\"\t李四\t\t1\r\n\"\t王五\t\t1\r\nA\t赵六\t\"x\r\ny\"\t1",
     "1:linebreak-2 5:linebreak-6"},
};

class RosterCheckTable : public testing::TestWithParam<CheckCase> {};

TEST_P(RosterCheckTable, FindsFaultyRows)
{
    EXPECT_EQ(summary(checkRoster(GetParam().roster)), GetParam().findings);
}

INSTANTIATE_TEST_SUITE_P(Roster, RosterCheckTable, testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// The message names at most ten rows, each once with all its reasons, and
// says how many more there are; a name pasted with a whole row in it is cut.
TEST(RosterCheckMessage, ListsTenRowsAndCountsTheRest)
{
    std::string roster = "A\t" + std::string(30, 'n') + "\t3.3E+17\t1\r\n";
    for (int i = 0; i < 11; ++i)
        roster += "A\t学生" + std::to_string(i) + "\t1\r\n";
    const std::string message = rosterCheckMessage(checkRoster("A\t𠮷\t12\r\n" + roster));
    EXPECT_EQ(message,
              "名册中下面这些行传到手机后会出错：\n"
              "\n第1行 𠮷：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）；“𠮷”传到手机会变成“?”"
              "\n第2行 " + std::string(24, 'n') + "…：身份证号“3.3E+17”已被表格改成数字，后几位已丢失"
              "\n第3行 学生0：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）"
              "\n第4行 学生1：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）"
              "\n第5行 学生2：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）"
              "\n第6行 学生3：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）"
              "\n第7行 学生4：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）"
              "\n第8行 学生5：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）"
              "\n第9行 学生6：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）"
              "\n第10行 学生7：有3列，每行应为4列（学校标识码、姓名、身份证号、班级编号）"
              "\n……另有3行也有问题。");
}

// The send check's message for a roster pasted twice: the repeats in one
// line that says what to do, the other faulty rows listed as before.
TEST(RosterCheckMessage, CountsRepeatsInOneLine)
{
    std::string once;
    for (int i = 0; i < 12; ++i)
        once += "A\t学生" + std::to_string(i) + "\t\t1\r\n";
    const std::string message = rosterCheckMessage(checkRoster(once + "A\t𠮷\t\t1\r\n" + once));
    EXPECT_EQ(message,
              "名册中有 12 行重复（可能粘贴了两次），传到手机后这些学生会出现两次。"
              "可点“删除重复行”，每个学生只留第一次出现的那一行，再点“传名册到手机”。\n"
              "\n名册中下面这些行传到手机后会出错：\n"
              "\n第13行 𠮷：“𠮷”传到手机会变成“?”");
}

struct DuplicateCase {
    const char* name;
    const char* roster;
    const char* kept;       // the roster without its repeats
    std::size_t removed;
    std::size_t rows;       // rows of `roster` as the phone counts them
};

const DuplicateCase DUPLICATE_CASES[] = {
    {"pasted_twice", "a\tb\r\nc\td\r\na\tb\r\nc\td\r\n", "a\tb\r\nc\td\r\n", 2, 4},
    {"blanks_around_cells", "a\tb\r\n a\t b　\r\n", "a\tb\r\n", 1, 2},
    // Empty lines are no rows: they stay, and count for nothing.
    {"empty_lines_stay", "a\r\n\r\na\r\n\r\n", "a\r\n\r\n\r\n", 1, 2},
    {"last_row_without_break", "a\r\nb\r\na", "a\r\nb\r\n", 1, 3},
    {"lf_only", "a\nb\na\n", "a\nb\n", 1, 3},
    // Rows that differ in a field or in their number of fields both stay.
    {"one_field_more", "a\tb\r\na\tb\t\r\n", "a\tb\r\na\tb\t\r\n", 0, 2},
    {"id_x_differs", "A\t张\t11010519491231002X\r\nA\t张\t11010519491231002x\r\n",
     "A\t张\t11010519491231002X\r\nA\t张\t11010519491231002x\r\n", 0, 2},
    {"empty_box", "", "", 0, 0},
};

class DuplicateTable : public testing::TestWithParam<DuplicateCase> {};

// Guards against 删除重复行 taking a student who is only like another, or
// anything but the repeated rows, out of the box, and against 共 N 行
// counting empty lines the phone does not get.
TEST_P(DuplicateTable, TakesOutOnlyRepeats)
{
    const DuplicateCase& c = GetParam();
    const DuplicateFreeRoster kept = withoutDuplicateRows(c.roster);
    EXPECT_EQ(kept.text, c.kept);
    EXPECT_EQ(kept.removed, c.removed);
    EXPECT_EQ(rosterRowCount(c.roster), c.rows);
    EXPECT_EQ(rosterRowCount(kept.text), c.rows - c.removed);
}

INSTANTIATE_TEST_SUITE_P(Roster, DuplicateTable, testing::ValuesIn(DUPLICATE_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
