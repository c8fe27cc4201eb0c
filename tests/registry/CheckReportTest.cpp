// The list of students without a photo as a spreadsheet takes it from the
// clipboard: the HTML table, read back by LibreOffice's own HTML import.

#include "registry/CheckReport.h"
#include "registry/RosterRows.h"

#include "tests/support/HostProgram.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace velmora::registry {
namespace {

namespace fs = std::filesystem;

// 330106201201039325 has 18 digits: as a number a spreadsheet keeps 15.
const char* const ROSTER = "S\t李四\t330106201201039325\t01\r\nS\t<b>&王五\t\t02\r\n";

PairingResult noPhotos()
{
    return pairPhotos(rosterStudents(ROSTER), FolderContents{});
}

// Guards against names read as markup and against the heading row or the
// text marks going missing.
TEST(MissingHtml, HeadingRowEscapedNamesAndTextCells)
{
    const std::string html = missingHtml(noPhotos());
    EXPECT_NE(html.find("charset=utf-8"), std::string::npos);
    EXPECT_NE(html.find("<tr><th>班级编号</th><th>姓名</th><th>身份证号</th></tr>"), std::string::npos);
    const std::string text = "<td style=\"mso-number-format:'\\@'\" sdnum=\"2052;0;@\">";
    EXPECT_NE(html.find("<tr>" + text + "01</td><td>李四</td>" + text + "330106201201039325</td></tr>"),
              std::string::npos) << html;
    EXPECT_NE(html.find("<td>&lt;b&gt;&amp;王五</td>" + text + "</td>"), std::string::npos) << html;
}

// Guards against a saved list that drops the students to reshoot or puts
// them over a missing student's row, and an ID number cell that loses its
// reason column.
TEST(MissingWorksheet, StudentsToReshootFollowWithTheirReason)
{
    PairingResult pairing = noPhotos();
    // 李四 has a photo that fails; 王五 still has none.
    pairing.photos.push_back({});
    pairing.photosOf[0].push_back(0);
    ReshootFindings reshoot;
    reshoot.students.push_back({0, "照片模糊"});
    reshoot.judged = reshoot.toJudge = 1;
    const roster::Worksheet sheet = missingWorksheet(pairing, reshoot);
    std::string cells;
    for (const auto& [position, cell] : sheet)
        cells += roster::cellAddress(position) + "=" + cell.text + " ";
    EXPECT_EQ(cells, "A1=班级编号 B1=姓名 C1=身份证号 D1=需重拍原因 A2=02 B2=<b>&王五 "
                     "A3=01 B3=李四 C3=330106201201039325 D3=照片模糊 ");
    EXPECT_EQ(missingText(pairing, "\n", reshoot), "02\t<b>&王五\t\n01\t李四\t330106201201039325\t需重拍：照片模糊\n");
}

// Guards against ID-card numbers that a spreadsheet turns into
// 3.30106201201039E+17 and class numbers that lose their leading zero:
// LibreOffice reads the table with its HTML import, which its paste uses
// too, and writes the cells out as shown.
TEST(MissingHtml, LibreOfficeKeepsTheNumbersAsText)
{
    // Asked of the host, so that a Windows build under Wine runs it too.
    const std::string soffice = "/usr/bin/soffice";
    if (test::runHostProgram("/usr/bin/test", {"-x", soffice}) != 0)
        GTEST_SKIP() << "LibreOffice is not installed: not tried";
    test::TempTree tree;
    const fs::path html = tree.root() / "missing.html";
    test::TempTree::write(html, missingHtml(noPhotos()));
    const int converted = test::runHostProgram(soffice, {
        "-env:UserInstallation=file://" + test::hostPath(tree.root() / "profile"), "--headless",
        "--infilter=HTML (StarCalc)", "--convert-to",
        // Comma-separated, UTF-8 (76), cells as shown.
        "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false",
        "--outdir", test::hostPath(tree.root() / "out"), test::hostPath(html)});
    ASSERT_EQ(converted, 0);
    EXPECT_EQ(test::TempTree::read(tree.root() / "out" / "missing.csv"),
              "班级编号,姓名,身份证号\n01,李四,330106201201039325\n02,<b>&王五,\n");
}

} // namespace
} // namespace velmora::registry
