// The record check that stands between a picked workbook and FreeXL. FreeXL
// trusts the lengths and counts inside the Workbook stream's records; each
// damage below made it read past its record buffer, run out of memory,
// stall, or show garbage. Streams are built by hand, record by record, and
// wrapped in a compound file so that FreeXL itself reads the sound ones.

#include "XlsTestTools.h"

#include "roster/CompoundFile.h"
#include "roster/WorkbookStreamCheck.h"
#include "roster/XlsReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using namespace velmora::roster;
using velmora::test::ScratchDir;
using Bytes = std::vector<std::uint8_t>;

Bytes le16(unsigned v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
Bytes le32(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; }

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes text(const char* ascii) { return Bytes(ascii, ascii + std::strlen(ascii)); }

Bytes record(unsigned type, const Bytes& body) { return cat({le16(type), le16(unsigned(body.size())), body}); }

Bytes number(unsigned row, unsigned xf, double value)
{
    Bytes bits(8);
    std::memcpy(bits.data(), &value, 8);
    return record(0x0203, cat({le16(row), le16(0), le16(xf), bits}));
}

Bytes labelSst(unsigned row, std::uint32_t index) { return record(0x00FD, cat({le16(row), le16(0), le16(0), le32(index)})); }

// SST holding one compressed (8-bit) string per entry of `strings`.
Bytes sst(std::initializer_list<const char*> strings)
{
    Bytes body = cat({le32(std::uint32_t(strings.size())), le32(std::uint32_t(strings.size()))});
    for (const char* s : strings)
        body = cat({body, le16(unsigned(std::strlen(s))), {0x00}, text(s)});
    return record(0x00FC, body);
}

// A BIFF8 workbook: the globals (BOF, CODEPAGE UTF-16, `globals`, a
// BOUNDSHEET per sheet, EOF), then sheet 1 (BOF, DIMENSIONS of 8 rows by 1
// column unless `noDimensions`, `cells`, EOF) and one sheet per entry of
// `laterSheets` (BOF, its records, EOF). `boundSheetShift` moves the
// recorded position of sheet 1.
struct Workbook {
    std::vector<Bytes> globals;
    std::vector<Bytes> cells;
    std::vector<std::vector<Bytes>> laterSheets;
    bool noDimensions = false;
    int boundSheetShift = 0;

    static Bytes bof(unsigned type) { return record(0x0809, cat({le16(0x0600), le16(type), le32(0), le32(0), le32(0)})); }

    Bytes build() const
    {
        std::vector<Bytes> sheets{bof(0x0010)};
        if (!noDimensions)
            sheets[0] = cat({sheets[0], record(0x0200, cat({le32(0), le32(8), le16(0), le16(1), le16(0)}))});
        for (const Bytes& r : cells)
            sheets[0] = cat({sheets[0], r});
        for (const auto& later : laterSheets) {
            sheets.push_back(bof(0x0010));
            for (const Bytes& r : later)
                sheets.back() = cat({sheets.back(), r});
        }
        Bytes head = cat({bof(0x0005), record(0x0042, le16(1200))});
        for (const Bytes& r : globals)
            head = cat({head, r});
        // BOUNDSHEETs (4 + 9 bytes each) and the EOF (4) still to come.
        std::size_t position = head.size() + 13 * sheets.size() + 4;
        Bytes tail;
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            const std::size_t recorded = position + (i == 0 ? boundSheetShift : 0);
            head = cat({head, record(0x0085, cat({le32(std::uint32_t(recorded)), {0, 0, 1, 0}, text("S")}))});
            tail = cat({tail, sheets[i], record(0x000A, {})});
            position += sheets[i].size() + 4;
        }
        return cat({head, record(0x000A, {}), tail});
    }
};

std::optional<Worksheet> readThroughFreexl(const Bytes& stream)
{
    ScratchDir dir;
    const auto file = compoundFile(u"Workbook", stream);
    EXPECT_TRUE(file.has_value());
    const std::string path = dir.file("w.xls");
    velmora::test::writeText(path, std::string(file->begin(), file->end()));
    return readFirstWorksheet(path);
}

std::string cellAt(const Worksheet& sheet, std::uint16_t row)
{
    const auto found = sheet.find({row, 0});
    return found == sheet.end() ? "<none>" : found->second.text;
}

struct Case {
    const char* name;
    std::function<void(Workbook&)> build;
    std::vector<std::string> columnA; // sound cases: what FreeXL shows in A1, A2, ...
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SoundStream : public testing::TestWithParam<Case> {};

// Valid record layouts the check must not mistake for damage, read by
// FreeXL to the values the hand-built bytes hold.
TEST_P(SoundStream, IsAcceptedAndReadByFreexl)
{
    Workbook book;
    GetParam().build(book);
    const Bytes stream = book.build();
    EXPECT_TRUE(isSoundWorkbookStream(stream));
    const auto sheet = readThroughFreexl(stream);
    ASSERT_TRUE(sheet.has_value());
    for (std::size_t row = 0; row < GetParam().columnA.size(); ++row)
        EXPECT_EQ(cellAt(*sheet, std::uint16_t(row)), GetParam().columnA[row]) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(Table, SoundStream, testing::Values(
    Case{"plain", [](Workbook& b) {
        b.globals = {sst({"Name"})};
        b.cells = {labelSst(0, 0), number(1, 0, 3.5)};
    }, {"Name", "3.5"}},
    // "ABCDEFGH": three 8-bit characters in the SST, the rest in 16-bit
    // characters after the CONTINUE record's own flags byte.
    Case{"stringBrokenIntoContinue", [](Workbook& b) {
        b.globals = {record(0x00FC, cat({le32(1), le32(1), le16(8), {0x00}, text("ABC")})),
                     record(0x003C, cat({{0x01}, {'D', 0, 'E', 0, 'F', 0, 'G', 0, 'H', 0}}))};
        b.cells = {labelSst(0, 0)};
    }, {"ABCDEFGH"}},
    // One rich-text run (4 bytes) after "Ab", skipped before "Cd".
    Case{"richTextRunsSkipped", [](Workbook& b) {
        b.globals = {record(0x00FC, cat({le32(2), le32(2), le16(2), {0x08}, le16(1), text("Ab"), le32(0x00010000),
                                         le16(2), {0x00}, text("Cd")}))};
        b.cells = {labelSst(0, 0), labelSst(1, 1)};
    }, {"Ab", "Cd"}},
    // FreeXL sizes a sheet without DIMENSIONS by its cells in a second pass.
    Case{"onlySheetWithoutDimensions", [](Workbook& b) {
        b.noDimensions = true;
        b.globals = {sst({"Name"})};
        b.cells = {labelSst(0, 0), number(2, 0, 7)};
    }, {"Name", "<none>", "7"}},
    // The last sheet may lack DIMENSIONS: FreeXL sizes the one it read last.
    Case{"lastSheetWithoutDimensions", [](Workbook& b) {
        b.globals = {sst({"Name"})};
        b.cells = {labelSst(0, 0)};
        b.laterSheets = {{labelSst(3, 0)}};
    }, {"Name"}},
    // Sheets without DIMENSIONS or cells after the data, as chart sheets
    // are: FreeXL sizes them with the last one, leaking a cell or two.
    Case{"chartLikeSheetsAfterData", [](Workbook& b) {
        b.globals = {sst({"Name"})};
        b.cells = {labelSst(0, 0)};
        b.laterSheets = {{}, {}};
    }, {"Name"}},
    // "abcd" broken after "ab", its rich-text run ending with the CONTINUE
    // record; "E" in the next CONTINUE.
    Case{"brokenStringRunsEndWithRecord", [](Workbook& b) {
        b.globals = {record(0x00FC, cat({le32(2), le32(2), le16(4), {0x08}, le16(1), text("ab")})),
                     record(0x003C, cat({{0x00}, text("cd"), le32(0x00010000)})),
                     record(0x003C, cat({le16(1), {0x00}, text("E")}))};
        b.cells = {labelSst(0, 0), labelSst(1, 1)};
    }, {"abcd", "E"}},
    // Built-in format 14 is a date; 45000 is 15 March 2023.
    Case{"dateWithinCalendar", [](Workbook& b) {
        b.globals = {record(0x00E0, cat({le16(0), le16(14), Bytes(16)}))};
        b.cells = {number(0, 0, 45000)};
    }, {"2023-03-15"}}),
    [](const auto& info) { return std::string(info.param.name); });

class DamagedStream : public testing::TestWithParam<Case> {};

TEST_P(DamagedStream, IsRefusedBeforeFreexlReadsIt)
{
    Workbook book;
    book.globals = {sst({"Name"})};
    book.cells = {labelSst(0, 0)};
    ASSERT_TRUE(isSoundWorkbookStream(book.build()));
    GetParam().build(book);
    const Bytes stream = book.build();
    EXPECT_FALSE(isSoundWorkbookStream(stream));
    EXPECT_EQ(readThroughFreexl(stream), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Table, DamagedStream, testing::Values(
    // Header lengths: FreeXL copies what a record header claims.
    Case{"recordPastStreamEnd", [](Workbook& b) { b.cells.push_back(cat({le16(0x0203), le16(5000)})); }, {}},
    // FreeXL takes a record longer than its buffer for the end of the
    // stream and reports the rest of the sheet as missing, not damaged.
    Case{"recordLongerThanBuffer", [](Workbook& b) { b.cells.insert(b.cells.begin(), record(0x0208, Bytes(8225))); }, {}},
    // FreeXL shows a sheet whose BOUNDSHEET misses its BOF as empty.
    Case{"boundSheetNotAtBof", [](Workbook& b) { b.boundSheetShift = 4; }, {}},
    // The fuzz-found crash: a FORMAT claiming 53255 16-bit characters in a
    // 12-byte record, copied by FreeXL from its record buffer.
    Case{"formatLongerThanRecord", [](Workbook& b) {
        b.globals.push_back(record(0x041E, cat({le16(164), le16(0xD007), {0x01}, text("yyyyyyy")})));
    }, {}},
    Case{"labelLongerThanRecord", [](Workbook& b) {
        b.cells.push_back(record(0x0204, cat({le16(2), le16(0), le16(0), le16(500), {0x00}, text("abc")})));
    }, {}},
    Case{"boundSheetNameLongerThanRecord", [](Workbook& b) {
        b.globals.push_back(record(0x0085, cat({le32(0), {0, 0, 200, 1}, text("T")})));
    }, {}},
    Case{"sstCountBeyondLimit", [](Workbook& b) { b.globals = {record(0x00FC, cat({le32(1), le32(2000000)}))}; }, {}},
    // The second string's length field is cut by the end of the record.
    Case{"sstStringHeaderCut", [](Workbook& b) {
        b.globals = {record(0x00FC, cat({le32(2), le32(2), le16(1), {0x00}, text("A"), {0x01}}))};
    }, {}},
    // Ten 16-bit characters: two in the SST, two in the CONTINUE; FreeXL
    // copies the remaining eight from the CONTINUE anyway.
    Case{"sstStringBrokenTwice", [](Workbook& b) {
        b.globals = {record(0x00FC, cat({le32(1), le32(1), le16(10), {0x01}, {'a', 0, 'b', 0}})),
                     record(0x003C, cat({{0x01}, {'c', 0, 'd', 0}}))};
    }, {}},
    Case{"sstCharacterCutInHalf", [](Workbook& b) {
        b.globals = {record(0x00FC, cat({le32(1), le32(1), le16(3), {0x01}, {'a', 0, 'b'}})),
                     record(0x003C, cat({{0x01}, {0, 'c', 0}}))};
    }, {}},
    // 1000 rich-text runs (4000 bytes) skipped past the next record.
    Case{"sstRunsBeyondContinue", [](Workbook& b) {
        b.globals = {record(0x00FC, cat({le32(2), le32(2), le16(1), {0x08}, le16(1000), text("A")})),
                     record(0x003C, cat({le16(1), {0x00}, text("B")}))};
    }, {}},
    // The same with the run's last two bytes in the next CONTINUE: FreeXL
    // would read them as the header of "E".
    Case{"brokenStringRunsSpillOver", [](Workbook& b) {
        b.globals = {record(0x00FC, cat({le32(2), le32(2), le16(4), {0x08}, le16(1), text("ab")})),
                     record(0x003C, cat({{0x00}, text("cd"), le16(0)})),
                     record(0x003C, cat({le16(1), le16(1), {0x00}, text("E")}))};
    }, {}},
    Case{"numberTooShort", [](Workbook& b) { b.cells.push_back(record(0x0203, Bytes(10))); }, {}},
    // FreeXL allocates the sheet's cells again for a second DIMENSIONS
    // without freeing the first (up to 256 MiB each).
    Case{"dimensionsTwice", [](Workbook& b) {
        b.cells.insert(b.cells.begin(), record(0x0200, cat({le32(0), le32(8), le16(0), le16(1), le16(0)})));
    }, {}},
    // Without DIMENSIONS in sheet 1, FreeXL sizes it after the stream by
    // allocating cells for the sheet it read last, sheet 2, again: sheet 2's
    // first 2 MiB of cells leak on every import.
    Case{"firstSheetWithoutDimensionsBeforeLargeSheet", [](Workbook& b) {
        b.noDimensions = true;
        b.laterSheets = {{record(0x0200, cat({le32(0), le32(65536), le16(0), le16(2), le16(0)}))}};
    }, {}},
    Case{"passwordProtected", [](Workbook& b) { b.globals.push_back(record(0x002F, Bytes(54))); }, {}},
    // Built-in date format 14 with a serial near 2^31: FreeXL counts the
    // days one by one for seconds per cell.
    Case{"dateSerialBeyondCalendar", [](Workbook& b) {
        b.globals.push_back(record(0x00E0, cat({le16(0), le16(14), Bytes(16)})));
        b.cells.push_back(number(1, 0, 2147000000.0));
    }, {}},
    // FreeXL keeps 8192 XF formats but looks up any index below the count.
    Case{"moreXfThanFreexlKeeps", [](Workbook& b) {
        for (int i = 0; i < 8193; ++i)
            b.globals.push_back(record(0x00E0, cat({le16(0), le16(0), Bytes(16)})));
    }, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkbookStreamCheck, RefusesStreamsThatDoNotStartOrEndAsRecords)
{
    Workbook book;
    book.globals = {sst({"Name"})};
    Bytes stream = book.build();
    // A missing BOF: FreeXL reports an unknown version as damage, a missing
    // one it cannot tell from garbage.
    EXPECT_FALSE(isSoundWorkbookStream(cat({record(0x0042, le16(1200)), stream})));
    Bytes version = stream;
    version[4] = 0x00;
    version[5] = 0x07;
    EXPECT_FALSE(isSoundWorkbookStream(version));
    // Zero padding after the last EOF is how streams end; other bytes are not.
    EXPECT_TRUE(isSoundWorkbookStream(cat({stream, Bytes(3)})));
    EXPECT_FALSE(isSoundWorkbookStream(cat({stream, {0x01, 0x02}})));
    EXPECT_FALSE(isSoundWorkbookStream({}));
    // A zero header ends the stream only for a stream in sectors: in the mini
    // stream FreeXL reads on, here into a FORMAT longer than its record.
    Workbook zeroHeader;
    zeroHeader.cells = {Bytes(4), record(0x041E, cat({le16(164), le16(900), {0x00}, text("yy")}))};
    EXPECT_FALSE(isSoundWorkbookStream(zeroHeader.build()));
}

TEST(WorkbookStreamCheck, FuzzFoundWorkbooksReadAsUnreadable)
{
    for (const char* name : {"damaged-format-length.xls", "damaged-short-large-sectors.xls"}) {
        EXPECT_EQ(readFirstWorksheet(std::string(VELMORA_TEST_DATA_DIR "/") + name), std::nullopt) << name;
    }
}

} // namespace
