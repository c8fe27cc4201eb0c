// The roster import over workbooks written by xlwt and by our own writer.

#include "XlsTestTools.h"

#include "platform/Codepage.h"
#include "roster/RosterImport.h"
#include "roster/TemplateExport.h"
#include "roster/XlsWorkbook.h"

#include <gtest/gtest.h>

namespace {

using namespace velmora::roster;
using velmora::platform::gbkToUtf8;
using velmora::test::ScratchDir;

struct ImportCase {
    const char* workbook;   // a case of data/xlwt_roster.py
    bool headerMatches;
    const char* roster;     // UTF-8 of the expected roster text
};

const ImportCase CASES[] = {
    {"three_students", true,
     "4111011001\t张三\t110101200501011234\t1班\r\n"
     "4111011001\t李四\t11010120050202123X\t1班\r\n"
     "4111011001\t王五\t110101200503031235\t2班\r\n"},
    // The first empty name ends the rows, whatever follows.
    {"empty_name_ends", true, "A\t甲\t1\t一\r\nA\t乙\t2\t一\r\nA\t丙\t3\t一\r\n"},
    // Empty A, C, D cells are empty fields: always three TABs and CR LF.
    {"empty_fields", true, "\t赵六\t\t\r\nS1\t钱七\t\t3班\r\n"},
    // One blank after a heading is a wrong template.
    {"blank_after_name", false, ""},
    {"header_only", true, ""},
    // Numbers arrive as General shows them: no ".0"; an 18-digit ID kept
    // as a number has already lost its digits in the sheet.
    {"numbers", true, "4111011001\t孙八\t110101900101123\t3\r\n12\t周九\t1.10101200501011E+17\t2.5\r\n"},
    // Breaks and TABs inside a cell would split the student for the phone;
    // columns beyond D are ignored.
    {"breaks_in_cells", true, "A\t张 三\t1 2\t一  二\r\n"},
};

class ImportFromXlwt : public testing::TestWithParam<ImportCase> {};

TEST_P(ImportFromXlwt, GivesRosterText)
{
    const ImportCase& c = GetParam();
    ScratchDir dir;
    const std::string path = velmora::test::xlwtWorkbook(dir, c.workbook);
    ASSERT_FALSE(path.empty()) << "xlwt could not write " << c.workbook;
    for (int pass = 0; pass < 2; ++pass) {   // a second read gives the same text
        XlsWorkbook excel;
        const ImportedRoster imported = readRoster(excel, path);
        EXPECT_EQ(imported.headerMatches, c.headerMatches);
        EXPECT_EQ(gbkToUtf8(imported.text), c.roster);
    }
}

INSTANTIATE_TEST_SUITE_P(Roster, ImportFromXlwt, testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.workbook); });

// Workbooks of other writers import as the same workbook written by xlwt
// does. SheetJS names the root "R", keeps a short Workbook stream in the
// mini stream away from its start, where FreeXL does not look for it, and
// writes an empty text as a text cell without characters, which FreeXL
// refuses; all three were refused before.
struct WriterCase {
    const char* writer;     // see data/other_writers.py
    const char* workbook;   // a case of data/xlwt_roster.py
};

class ImportFromOtherWriters : public testing::TestWithParam<WriterCase> {};

TEST_P(ImportFromOtherWriters, GivesTheRosterXlwtsWorkbookGives)
{
    const WriterCase& c = GetParam();
    ScratchDir dir;
    const std::string path = dir.file("other.xls");
    const int written = velmora::test::runHostProgram(
        velmora::test::SYSTEM_PYTHON, {std::string(VELMORA_TEST_DATA_DIR) + "/other_writers.py", c.writer,
                                       c.workbook, velmora::test::hostPath(path), VELMORA_BINARY_DIR "/sheetjs"});
    if (written == 77)
        GTEST_SKIP() << c.writer << " is not available on this machine (see the test's output): not tried";
    ASSERT_EQ(written, 0) << c.writer << " could not write " << c.workbook;
    const std::string reference = velmora::test::xlwtWorkbook(dir, c.workbook);
    XlsWorkbook fromXlwt;
    XlsWorkbook fromOther;
    const ImportedRoster expected = readRoster(fromXlwt, reference);
    const ImportedRoster imported = readRoster(fromOther, path);
    ASSERT_TRUE(expected.headerMatches && !expected.text.empty());
    EXPECT_TRUE(imported.headerMatches);
    EXPECT_EQ(gbkToUtf8(imported.text), gbkToUtf8(expected.text));
}

INSTANTIATE_TEST_SUITE_P(Roster, ImportFromOtherWriters, testing::Values(
    WriterCase{"libreoffice", "three_students"}, WriterCase{"libreoffice", "sixty_students"},
    WriterCase{"gnumeric", "three_students"}, WriterCase{"gnumeric", "sixty_students"},
    WriterCase{"sheetjs", "three_students"}, WriterCase{"sheetjs", "sixty_students"},
    WriterCase{"sheetjs", "empty_texts"}),
    [](const auto& info) { return std::string(info.param.writer) + "_" + info.param.workbook; });

// A roster written by our own writer through the same component, under a
// Chinese file name as staff name their rosters (FreeXL opens it by the
// name's ANSI form on Windows).
TEST(ImportFromOwnWriter, FilledTemplate)
{
    ScratchDir dir;
    const std::string path = dir.file("") + "花名册.xls";
    const char* rows[][4] = {{"学校标识码", "姓名", "身份证号", "班级编号"},
                             {"4111", "张三", "110101200501011234", "1班"}, {"", "李四", "", ""}};
    XlsWorkbook excel;
    excel.startApplication();
    excel.attach();
    excel.makeReady();
    excel.setWorksheet(1);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            const std::string cell = std::string(1, static_cast<char>('A' + c)) + std::to_string(r + 1);
            excel.setRangeStart(cell);
            excel.setRangeEnd(cell);
            excel.setCellText(velmora::platform::utf8ToGbk(rows[r][c]));
        }
    }
    ASSERT_TRUE(excel.saveAs(path));

    XlsWorkbook reader;
    const ImportedRoster imported = readRoster(reader, path);
    EXPECT_TRUE(imported.headerMatches);
    EXPECT_EQ(gbkToUtf8(imported.text), "4111\t张三\t110101200501011234\t1班\r\n\t李四\t\t\r\n");
}

// Whatever cannot be opened as a workbook reads as empty cells: the header
// check fails instead of importing garbage.
TEST(ImportFromOwnWriter, UnreadableFileFailsHeaderCheck)
{
    ScratchDir dir;
    velmora::test::writeText(dir.file("roster.xls"), "学校标识码\t姓名\t身份证号\t班级编号\r\n1\t2\t3\t4\r\n");
    for (const std::string& path : {dir.file("roster.xls"), dir.file("missing.xls"), dir.file("")}) {
        XlsWorkbook excel;
        const ImportedRoster imported = readRoster(excel, path);
        EXPECT_FALSE(imported.headerMatches) << path;
        EXPECT_EQ(imported.text, "");
    }
}

// Records the calls so that the import's release of what it opened, on
// both paths, is visible.
class RecordingExcel final : public ExcelComponent {
public:
    std::vector<std::string> calls;
    bool header = true;
    std::string cell;

    void startApplication() override { calls.push_back("start"); }
    void attach() override { calls.push_back("attach"); }
    void makeReady() override { calls.push_back("ready"); }
    void open(const std::string&) override { calls.push_back("open"); }
    void setWorksheet(int) override {}
    void setRangeStart(std::string_view at) override { cell = at; }
    void setRangeEnd(std::string_view) override {}
    std::string rangeStart() const override { return cell; }
    // The headings when `header`, one student in row 2.
    std::string cellText() const override
    {
        const std::map<std::string, std::string> texts{
            {"A1", header ? "学校标识码" : "x"}, {"B1", "姓名"}, {"C1", "身份证号"}, {"D1", "班级编号"}, {"B2", "名"}};
        const auto found = texts.find(cell);
        return found == texts.end() ? "" : velmora::platform::utf8ToGbk(found->second);
    }
    void setCellText(std::string_view) override {}
    void formatRange(int, int, int) override {}
    void setAlignment(int) override {}
    bool saveAs(const std::string&) override { return true; }
    void endWork() override {}
    void close() override { calls.push_back("close"); }
    void quitApplication() override { calls.push_back("quit"); }
};

// An import that never let go of its workbook would keep one application
// instance per click alive until the program ends.
TEST(ImportRelease, ClosesAndQuitsOnBothPaths)
{
    const std::vector<std::string> expected{"start", "attach", "ready", "open", "close", "quit"};
    for (bool header : {true, false}) {
        RecordingExcel excel;
        excel.header = header;
        const ImportedRoster imported = readRoster(excel, "roster.xls");
        EXPECT_EQ(imported.headerMatches, header);
        EXPECT_EQ(excel.calls, expected);
    }
}

} // namespace
