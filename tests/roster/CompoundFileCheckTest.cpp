// The container check that stands between a picked file and FreeXL. FreeXL
// trusts the compound file's fields; each damaged field below made it read
// past its buffers (found by fuzzing) or could send it round a loop.

#include "XlsTestTools.h"

#include "roster/CompoundFileCheck.h"
#include "roster/CompoundFileReader.h"
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

// A container of 4096-byte sectors (header, FAT, directory, one data
// sector) whose Workbook entry declares `size` bytes; its high half counts
// with this sector size.
Bytes largeSectorFile(std::uint64_t size)
{
    constexpr std::size_t SECTOR = 4096;
    Bytes f(4 * SECTOR, 0);
    const std::uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), f.begin());
    f[0x18] = 0x3E;            // minor version
    f[0x1A] = 4;               // major version 4: 4096-byte sectors
    f[0x1C] = 0xFE; f[0x1D] = 0xFF;
    f[0x1E] = 12;              // sector shift
    f[0x20] = 6;               // mini-sector shift
    put32(f, 0x28, 1);         // directory sectors
    put32(f, 0x2C, 1);         // FAT sectors
    put32(f, 0x30, 1);         // first directory sector
    put32(f, 0x38, 4096);      // mini-stream cutoff
    put32(f, 0x3C, 0xFFFFFFFE);
    put32(f, 0x44, 0xFFFFFFFE);
    put32(f, 0x4C, 0);         // the FAT is sector 0
    for (std::size_t slot = 1; slot < 109; ++slot)
        put32(f, 0x4C + 4 * slot, 0xFFFFFFFF);
    const std::size_t fat = SECTOR;
    for (std::size_t i = 0; i < SECTOR / 4; ++i)
        put32(f, fat + 4 * i, 0xFFFFFFFF);
    put32(f, fat, 0xFFFFFFFD);
    put32(f, fat + 4, 0xFFFFFFFE);
    put32(f, fat + 8, 0xFFFFFFFE);
    const auto entry = [&f](std::size_t at, const char* name, std::uint8_t type, std::uint32_t start, std::uint64_t bytes) {
        std::size_t units = 0;
        for (; name[units]; ++units)
            f[at + 2 * units] = static_cast<std::uint8_t>(name[units]);
        f[at + 0x40] = static_cast<std::uint8_t>(2 * (units + 1));
        f[at + 0x42] = type;
        put32(f, at + 0x44, 0xFFFFFFFF);
        put32(f, at + 0x48, 0xFFFFFFFF);
        put32(f, at + 0x4C, 0xFFFFFFFF);
        put32(f, at + 0x74, start);
        put32(f, at + 0x78, static_cast<std::uint32_t>(bytes));
        put32(f, at + 0x7C, static_cast<std::uint32_t>(bytes >> 32));
    };
    entry(2 * SECTOR, "Root Entry", 5, 0xFFFFFFFE, 0);
    put32(f, 2 * SECTOR + 0x4C, 1);   // the root's child: the Workbook
    entry(2 * SECTOR + 128, "Workbook", 2, 2, size);
    return f;
}

// A declared size near 2^64 wrapped the sector count round to 0, and the
// reader then reserved the whole size: the import threw and the fuzz target
// aborted. Such a size is a lie the file cannot back.
TEST(CompoundFileReader, StreamSizeNearTwoToTheSixtyFourIsRefused)
{
    for (std::uint64_t size : {~std::uint64_t(0), ~std::uint64_t(0) - 4094, std::uint64_t(1) << 63}) {
        const Bytes file = largeSectorFile(size);
        std::optional<std::vector<std::uint8_t>> stream;
        EXPECT_NO_THROW(stream = readWorkbookStream(file)) << size;
        EXPECT_EQ(stream, std::nullopt) << size;
    }
    // The same container with an honest size is read.
    const auto honest = readWorkbookStream(largeSectorFile(4096));
    ASSERT_TRUE(honest.has_value());
    EXPECT_EQ(honest->size(), 4096u);
}

// FreeXL reads exactly the bytes that passed the check, not the file named
// again: here there is no file at all, and damaged bytes stay refused.
TEST(CompoundFileCheck, FreexlReadsTheCheckedBytes)
{
    const Bytes file = templateBytes();
    const auto sheet = readFirstWorksheet(file);
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->size(), 4u);
    Bytes damaged = file;
    put32(damaged, 0x4C, 0x00FFFFFF);
    EXPECT_EQ(readFirstWorksheet(damaged), std::nullopt);
}

TEST(CompoundFileCheck, FuzzFoundDamagedNamesReadAsUnreadable)
{
    // Before the check, FreeXL copied 65535 and 5632 bytes out of a 64-byte
    // name field with these files.
    EXPECT_EQ(readFirstWorksheet(VELMORA_TEST_DATA_DIR "/damaged-directory-name.xls"), std::nullopt);
    EXPECT_EQ(readFirstWorksheet(VELMORA_TEST_DATA_DIR "/damaged-root-name.xls"), std::nullopt);
}

} // namespace
