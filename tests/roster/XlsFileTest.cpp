// The .xls files we write, checked field by field against the compound-file
// and BIFF8 layouts, and read back by FreeXL and by xlrd.

#include "XlsTestTools.h"

#include "roster/TemplateExport.h"
#include "roster/XlsReader.h"
#include "roster/XlsWorkbook.h"
#include "roster/XlsWriter.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace velmora::roster;
using velmora::test::ScratchDir;

std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }

// The Workbook stream as a reader finds it: through the header, the FAT and
// the directory, never through the writer's own layout.
std::vector<std::uint8_t> workbookFromFile(const std::vector<std::uint8_t>& file)
{
    const auto sector = [&](std::uint32_t n) { return 512 + 512 * static_cast<std::size_t>(n); };
    const std::uint32_t fatSectors = le32(file, 44);
    std::vector<std::uint32_t> fat;
    for (std::uint32_t i = 0; i < fatSectors; ++i)
        for (std::size_t e = 0; e < 128; ++e)
            fat.push_back(le32(file, sector(le32(file, 76 + 4 * i)) + 4 * e));
    const std::size_t directory = sector(le32(file, 48));
    const std::size_t entry = directory + 128;   // the root's child
    std::uint32_t next = le32(file, entry + 116);
    const std::uint32_t size = le32(file, entry + 120);
    std::vector<std::uint8_t> stream;
    while (next != 0xFFFFFFFE && stream.size() < size) {
        stream.insert(stream.end(), file.begin() + static_cast<std::ptrdiff_t>(sector(next)),
                      file.begin() + static_cast<std::ptrdiff_t>(sector(next) + 512));
        next = fat.at(next);
    }
    stream.resize(size);
    return stream;
}

std::vector<std::uint8_t> templateFile(const ScratchDir& dir)
{
    XlsWorkbook excel;
    EXPECT_TRUE(writeTemplate(excel, dir.file("template.xls")));
    return velmora::test::readBytes(dir.file("template.xls"));
}

// A reader that trusts these fields finds no stream, or a mini stream that
// is not there, if any of them is off.
TEST(XlsFile, CompoundFileHeaderAndDirectory)
{
    ScratchDir dir;
    const auto file = templateFile(dir);
    ASSERT_GE(file.size(), 512u * 3);
    EXPECT_EQ(file.size() % 512, 0u);
    const std::vector<std::uint8_t> signature{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), file.begin()));
    EXPECT_EQ(le16(file, 26), 3u);        // major version
    EXPECT_EQ(le16(file, 28), 0xFFFEu);   // byte order
    EXPECT_EQ(le16(file, 30), 9u);        // 512-byte sectors
    EXPECT_EQ(le32(file, 56), 4096u);     // mini stream cut-off
    EXPECT_EQ(le32(file, 60), 0xFFFFFFFEu);   // no mini FAT
    EXPECT_EQ(le32(file, 68), 0xFFFFFFFEu);   // no DIFAT sectors
    const std::size_t directory = 512 + 512 * static_cast<std::size_t>(le32(file, 48));
    const std::u16string root = u"Root Entry";
    for (std::size_t i = 0; i < root.size(); ++i)
        EXPECT_EQ(le16(file, directory + 2 * i), static_cast<std::uint32_t>(root[i]));
    EXPECT_EQ(file[directory + 66], 5);   // root storage
    const std::size_t workbook = directory + 128;
    EXPECT_EQ(le16(file, workbook + 64), 18u);   // "Workbook" and its terminator, in bytes
    EXPECT_EQ(file[workbook + 66], 2);           // stream
    // Below 4096 bytes the stream would belong in the mini stream.
    EXPECT_GE(le32(file, workbook + 120), 4096u);
}

struct Record {
    std::size_t at;
    std::uint16_t type;
    std::vector<std::uint8_t> data;
};

// Walks the records from `at` to the substream's EOF.
std::vector<Record> substream(const std::vector<std::uint8_t>& stream, std::size_t at)
{
    std::vector<Record> records;
    while (at + 4 <= stream.size()) {
        const auto type = static_cast<std::uint16_t>(le16(stream, at));
        const std::size_t length = le16(stream, at + 2);
        EXPECT_LE(length, 8224u) << "record " << type << " at " << at;
        records.push_back({at, type, {stream.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                      stream.begin() + static_cast<std::ptrdiff_t>(at + 4 + length)}});
        at += 4 + length;
        if (type == 0x000A)
            break;
    }
    return records;
}

std::size_t countOf(const std::vector<Record>& records, std::uint16_t type)
{
    return static_cast<std::size_t>(std::count_if(records.begin(), records.end(),
                                                  [&](const Record& r) { return r.type == type; }));
}

// Excel rejects a workbook whose sheet entry points beside the sheet, whose
// XF table is short of the 16 it requires, or whose globals lack these.
TEST(XlsFile, WorkbookRecords)
{
    ScratchDir dir;
    const auto stream = workbookFromFile(templateFile(dir));
    const auto globals = substream(stream, 0);
    ASSERT_FALSE(globals.empty());
    EXPECT_EQ(globals.front().type, 0x0809);
    EXPECT_EQ(le16(globals.front().data, 0), 0x0600u);   // BIFF8
    EXPECT_EQ(le16(globals.front().data, 2), 0x0005u);   // workbook globals
    EXPECT_EQ(globals.back().type, 0x000A);
    const auto codepage = std::find_if(globals.begin(), globals.end(), [](const Record& r) { return r.type == 0x0042; });
    ASSERT_NE(codepage, globals.end());
    EXPECT_EQ(le16(codepage->data, 0), 1200u);
    EXPECT_EQ(countOf(globals, 0x00E0), 19u);   // 15 style XFs, 4 cell XFs
    EXPECT_GE(countOf(globals, 0x0031), 5u);    // fonts 0..3 and 5
    EXPECT_EQ(countOf(globals, 0x0293), 1u);    // the Normal style
    EXPECT_EQ(countOf(globals, 0x003D), 1u);    // WINDOW1
    EXPECT_EQ(countOf(globals, 0x00FC), 1u);    // SST
    EXPECT_EQ(countOf(globals, 0x00FF), 1u);    // EXTSST

    const auto sheetEntry = std::find_if(globals.begin(), globals.end(), [](const Record& r) { return r.type == 0x0085; });
    ASSERT_NE(sheetEntry, globals.end());
    const std::size_t sheetAt = le32(sheetEntry->data, 0);
    EXPECT_EQ(sheetAt, globals.back().at + 4);   // right behind the globals' EOF
    const auto sheet = substream(stream, sheetAt);
    ASSERT_FALSE(sheet.empty());
    EXPECT_EQ(sheet.front().type, 0x0809);
    EXPECT_EQ(le16(sheet.front().data, 2), 0x0010u);   // worksheet
    EXPECT_EQ(sheet.back().type, 0x000A);
    EXPECT_EQ(countOf(sheet, 0x00FD), 4u);             // four LABELSST, nothing else
    EXPECT_EQ(countOf(sheet, 0x023E), 1u);             // WINDOW2
    const auto dims = std::find_if(sheet.begin(), sheet.end(), [](const Record& r) { return r.type == 0x0200; });
    ASSERT_NE(dims, sheet.end());
    EXPECT_EQ(le32(dims->data, 0), 0u);   // rows 0..1 (exclusive)
    EXPECT_EQ(le32(dims->data, 4), 1u);
    EXPECT_EQ(le16(dims->data, 8), 0u);   // columns 0..4 (exclusive)
    EXPECT_EQ(le16(dims->data, 10), 4u);
}

// The template read back by FreeXL holds the four headings and nothing else.
TEST(XlsFile, TemplateReadBackByFreexl)
{
    ScratchDir dir;
    templateFile(dir);
    const auto sheet = readFirstWorksheet(dir.file("template.xls"));
    ASSERT_TRUE(sheet.has_value());
    const Worksheet expected{{{0, 0}, {"学校标识码"}}, {{0, 1}, {"姓名"}},
                             {{0, 2}, {"身份证号"}}, {{0, 3}, {"班级编号"}}};
    ASSERT_EQ(sheet->size(), expected.size());
    for (const auto& [at, cell] : expected)
        EXPECT_EQ(sheet->at(at).text, cell.text) << cellAddress(at);
}

// xlrd, written from the format documents by other people, sees the same
// four texts, centred (alignment 2) with thin (1) black (8) borders.
TEST(XlsFile, TemplateReadBackByXlrd)
{
    ScratchDir dir;
    templateFile(dir);
    EXPECT_EQ(velmora::test::xlrdCells(dir, dir.file("template.xls")),
              "sheets\t1\tSheet1\n"
              "0\t0\t1\t学校标识码\t2\t1,1,1,1\t8,8,8,8\n"
              "0\t1\t1\t姓名\t2\t1,1,1,1\t8,8,8,8\n"
              "0\t2\t1\t身份证号\t2\t1,1,1,1\t8,8,8,8\n"
              "0\t3\t1\t班级编号\t2\t1,1,1,1\t8,8,8,8\n");
}

// Thousands of texts overflow the first SST record; a string split across a
// CONTINUE record without its flags byte, or an EXTSST pointing beside its
// string, garbles every text after the split.
TEST(XlsFile, LargeSharedStringTableRoundTrips)
{
    Worksheet sheet;
    std::string expected = "sheets\t1\tSheet1\n";
    for (std::uint16_t row = 0; row < 3000; ++row) {
        const std::string code = "S" + std::to_string(row * 7919);
        const std::string name = std::string(row % 13, 'x') + "学生" + std::to_string(row);
        sheet[{row, 0}] = {code};
        sheet[{row, 1}] = {name};
        sheet[{row, 2}] = {"1班"};   // repeated: one shared string
        expected += std::to_string(row) + "\t0\t1\t" + code + "\t0\t0,0,0,0\t0,0,0,0\n";
        expected += std::to_string(row) + "\t1\t1\t" + name + "\t0\t0,0,0,0\t0,0,0,0\n";
        expected += std::to_string(row) + "\t2\t1\t1班\t0\t0,0,0,0\t0,0,0,0\n";
    }
    // A text split over records. FreeXL refuses some texts that span more
    // than two records or hold characters beyond U+FFFF across a record
    // limit, so the longest cell (32000 units, as long as a cell gets, with
    // surrogate pairs meeting the record limits) is checked with xlrd alone.
    std::string longText;
    for (int i = 0; i < 2000; ++i)
        longText += "长a";
    sheet[{3000, 3}] = {longText};
    sheet[{3001, 3}] = {"😀"};
    expected += "3000\t3\t1\t" + longText + "\t0\t0,0,0,0\t0,0,0,0\n";
    expected += "3001\t3\t1\t😀\t0\t0,0,0,0\t0,0,0,0\n";
    std::string longest;
    for (int i = 0; i < 8000; ++i)
        longest += "长a😀";
    Worksheet longestSheet{{{0, 0}, {"x"}}, {{1, 0}, {longest}}, {{2, 0}, {"y"}}};

    ScratchDir dir;
    const auto file = xlsFile(sheet);
    ASSERT_TRUE(file.has_value());
    velmora::test::writeText(dir.file("large.xls"), std::string(file->begin(), file->end()));
    EXPECT_EQ(velmora::test::xlrdCells(dir, dir.file("large.xls")), expected);

    const auto longestFile = xlsFile(longestSheet);
    ASSERT_TRUE(longestFile.has_value());
    velmora::test::writeText(dir.file("longest.xls"), std::string(longestFile->begin(), longestFile->end()));
    EXPECT_EQ(velmora::test::xlrdCells(dir, dir.file("longest.xls")),
              "sheets\t1\tSheet1\n0\t0\t1\tx\t0\t0,0,0,0\t0,0,0,0\n1\t0\t1\t" + longest
                  + "\t0\t0,0,0,0\t0,0,0,0\n2\t0\t1\ty\t0\t0,0,0,0\t0,0,0,0\n");

    const auto read = readFirstWorksheet(dir.file("large.xls"));
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), sheet.size());
    for (const auto& [at, cell] : sheet)
        EXPECT_EQ(read->at(at).text, cell.text) << cellAddress(at);
}

// Files that are no workbook must read as nothing, never crash the reader.
TEST(XlsFile, UnreadableFilesGiveNothing)
{
    ScratchDir dir;
    const auto good = templateFile(dir);
    velmora::test::writeText(dir.file("text.xls"), "学校标识码\t姓名\t身份证号\t班级编号\r\n");
    velmora::test::writeText(dir.file("empty.xls"), "");
    velmora::test::writeText(dir.file("cut.xls"), std::string(good.begin(), good.begin() + 1536));
    for (const char* name : {"text.xls", "empty.xls", "cut.xls", "missing.xls"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(readFirstWorksheet(dir.file(name)).has_value());
    }
}

} // namespace
