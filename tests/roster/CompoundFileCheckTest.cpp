// The container check that stands between a picked file and FreeXL. FreeXL
// trusts the compound file's fields; each damaged field below made it read
// past its buffers (found by fuzzing) or could send it round a loop.

#include "XlsTestTools.h"

#include "roster/CompoundFileCheck.h"
#include "roster/TemplateExport.h"
#include "roster/XlsReader.h"
#include "roster/XlsWorkbook.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace velmora::roster;
using velmora::test::ScratchDir;
using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const Bytes& b, std::size_t at)
{
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | std::uint32_t(b.at(at + 3)) << 24;
}

Bytes templateBytes()
{
    ScratchDir dir;
    XlsWorkbook excel;
    EXPECT_TRUE(writeTemplate(excel, dir.file("t.xls")));
    return velmora::test::readBytes(dir.file("t.xls"));
}

std::size_t directoryOffset(const Bytes& file) { return 512 + 512 * std::size_t(get32(file, 0x30)); }
// Our writer puts the Workbook right after the root entry.
std::size_t workbookEntry(const Bytes& file) { return directoryOffset(file) + 128; }

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedContainer : public testing::TestWithParam<Damage> {};

TEST_P(DamagedContainer, IsRefusedBeforeFreexlReadsIt)
{
    Bytes file = templateBytes();
    ASSERT_TRUE(isSoundCompoundFile(file));
    GetParam().apply(file);
    EXPECT_FALSE(isSoundCompoundFile(file));
}

INSTANTIATE_TEST_SUITE_P(Table, DamagedContainer, testing::Values(
    Damage{"signature", [](Bytes& f) { f[0] = 0; }},
    Damage{"sectorShift", [](Bytes& f) { f[0x1E] = 10; }},
    Damage{"truncatedToHeader", [](Bytes& f) { f.resize(512); }},
    // The entry's name length is the size of a copy out of a 64-byte field.
    Damage{"rootNameLength", [](Bytes& f) { f[directoryOffset(f) + 0x40] = 0xFF; f[directoryOffset(f) + 0x41] = 0xFF; }},
    // Unused entries' names are converted too.
    Damage{"unusedEntryNameLength", [](Bytes& f) { f[directoryOffset(f) + 0x40] = 0; f[directoryOffset(f) + 0x41] = 0x16; f[directoryOffset(f) + 0x42] = 0; }},
    Damage{"oddNameLength", [](Bytes& f) { f[directoryOffset(f) + 128 + 0x40] = 17; }},
    Damage{"entryType", [](Bytes& f) { f[directoryOffset(f) + 128 + 0x42] = 9; }},
    Damage{"fatSectorOutsideFile", [](Bytes& f) { put32(f, 0x4C, 0x00FFFFFF); }},
    Damage{"directoryOutsideFile", [](Bytes& f) { put32(f, 0x30, 0x00FFFFFF); }},
    Damage{"fatEntryOutsideFile", [](Bytes& f) { put32(f, 512 + 512 * std::size_t(get32(f, 0x4C)), 0x7FFFFFFF); }},
    Damage{"directoryLoop", [](Bytes& f) {
        const std::uint32_t dir = get32(f, 0x30);
        put32(f, 512 + 512 * std::size_t(get32(f, 0x4C)) + 4 * dir, dir);
    }},
    // FreeXL reads the Workbook stream until its sector chain ends and uses
    // the declared size only to place the end of the data: a chain longer
    // than the size shows a workbook without sheets, a shorter one cuts it.
    Damage{"streamSizeBeyondChain", [](Bytes& f) { put32(f, workbookEntry(f) + 0x78, 6000); }},
    Damage{"streamSizeShortOfChain", [](Bytes& f) { put32(f, workbookEntry(f) + 0x78, 600); }},
    // A free slot does not end FreeXL's list of FAT sectors; a sector listed
    // twice (or a DIFAT listing one over and over) grows its FAT unbounded.
    Damage{"fatSectorAfterFreeSlot", [](Bytes& f) { put32(f, 0x54, 0x00FFFFFF); }},
    Damage{"fatSectorListedTwice", [](Bytes& f) { put32(f, 0x50, get32(f, 0x4C)); }},
    Damage{"difatCountWithoutSectors", [](Bytes& f) { put32(f, 0x48, 1); }},
    Damage{"noWorkbookEntry", [](Bytes& f) { f[workbookEntry(f) + 14] = 'x'; }},
    // A MiniFAT count sends the 4096-byte stream to the mini stream, here
    // one sector long: FreeXL reads the stream's 4096 bytes from there.
    Damage{"workbookLongerThanMiniStream", [](Bytes& f) {
        const std::size_t fat = 512 + 512 * std::size_t(get32(f, 0x4C));
        put32(f, 0x3C, get32(f, 0x4C));
        put32(f, 0x40, 1);
        put32(f, directoryOffset(f) + 0x74, 0);
        put32(f, directoryOffset(f) + 0x78, 512);
        put32(f, fat, 0xFFFFFFFE);
    }}),
    [](const auto& info) { return std::string(info.param.name); });

// What writers do differently without harm must not be refused: a root entry
// named otherwise (SheetJS names it "R"), any minor version.
class HarmlessVariation : public testing::TestWithParam<Damage> {};

TEST_P(HarmlessVariation, IsReadAsTheTemplate)
{
    Bytes file = templateBytes();
    GetParam().apply(file);
    EXPECT_TRUE(isSoundCompoundFile(file));
    ScratchDir dir;
    velmora::test::writeText(dir.file("v.xls"), std::string(file.begin(), file.end()));
    const auto sheet = readFirstWorksheet(dir.file("v.xls"));
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Table, HarmlessVariation, testing::Values(
    Damage{"rootNamedR", [](Bytes& f) {
        std::fill(f.begin() + std::ptrdiff_t(directoryOffset(f)), f.begin() + std::ptrdiff_t(directoryOffset(f) + 64), 0);
        f[directoryOffset(f)] = 'R';
        f[directoryOffset(f) + 0x40] = 4;
    }},
    Damage{"minorVersion3B", [](Bytes& f) { f[0x18] = 0x3B; }},
    Damage{"minorVersion0", [](Bytes& f) { f[0x18] = 0; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompoundFileCheck, AcceptsWorkbooksOfOtherWriters)
{
    ScratchDir dir;
    const std::string path = dir.file("xlwt.xls");
    ASSERT_EQ(velmora::test::runHostProgram(
                  velmora::test::SYSTEM_PYTHON,
                  {"-c", "import xlwt; w=xlwt.Workbook(); w.add_sheet('S').write(0,0,'x'); "
                         "w.save(r'" + velmora::test::hostPath(path) + "')"}),
              0);
    EXPECT_TRUE(isSoundCompoundFile(velmora::test::readBytes(path)));
}

// A short Workbook kept in the mini stream (MiniFAT counted, size below the
// cutoff) is sound: FreeXL reads it from the mini stream's start. Built from
// the template by shrinking its Workbook, which starts at sector 0, to its
// records and letting the root's chain end after them.
TEST(CompoundFileCheck, ReadsWorkbookKeptInMiniStream)
{
    Bytes file = templateBytes();
    std::size_t length = 0;
    while (get32(file, 512 + length) != 0)
        length += 4 + (get32(file, 512 + length) >> 16);
    const std::size_t fat = 512 + 512 * std::size_t(get32(file, 0x4C));
    put32(file, 0x3C, get32(file, 0x4C));
    put32(file, 0x40, 1);
    put32(file, directoryOffset(file) + 0x74, 0);
    put32(file, directoryOffset(file) + 0x78, std::uint32_t(length));
    put32(file, workbookEntry(file) + 0x78, std::uint32_t(length));
    put32(file, fat + 4 * ((length - 1) / 512), 0xFFFFFFFE);

    ScratchDir dir;
    velmora::test::writeText(dir.file("mini.xls"), std::string(file.begin(), file.end()));
    const auto sheet = readFirstWorksheet(dir.file("mini.xls"));
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->size(), 4u);
}

TEST(CompoundFileCheck, FuzzFoundDamagedNamesReadAsUnreadable)
{
    // Before the check, FreeXL copied 65535 and 5632 bytes out of a 64-byte
    // name field with these files.
    EXPECT_EQ(readFirstWorksheet(VELMORA_TEST_DATA_DIR "/damaged-directory-name.xls"), std::nullopt);
    EXPECT_EQ(readFirstWorksheet(VELMORA_TEST_DATA_DIR "/damaged-root-name.xls"), std::nullopt);
}

} // namespace
