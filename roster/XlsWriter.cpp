#include "roster/XlsWriter.h"

#include "roster/BiffRecordTypes.h"

#include "roster/ByteWriter.h"
#include "roster/CompoundFile.h"
#include "roster/SharedStringTable.h"

#include <string>

namespace velmora::roster {
namespace {

using namespace biff;

constexpr std::uint16_t BIFF8 = 0x0600;
constexpr std::uint16_t GLOBALS = 0x0005;
constexpr std::uint16_t WORKSHEET = 0x0010;
constexpr std::uint16_t UTF16_CODEPAGE = 1200;
constexpr std::uint16_t FIRST_CELL_XF = 15;   // XFs 0..14 are the style XFs
constexpr std::uint8_t BLACK = 0x08;          // palette index
constexpr std::uint8_t THIN = 0x01;           // border line style

void record16(ByteWriter& stream, std::uint16_t type, std::uint16_t value)
{
    ByteWriter payload;
    payload.u16(value);
    appendRecord(stream, type, payload);
}

void bof(ByteWriter& stream, std::uint16_t substream)
{
    ByteWriter payload;
    payload.u16(BIFF8);
    payload.u16(substream);
    payload.u16(0x0DBB);   // build identifier
    payload.u16(0x07CC);   // build year
    payload.u32(0);        // file history flags
    payload.u32(BIFF8 >> 8);   // lowest BIFF version that can read the file
    appendRecord(stream, BOF, payload);
}

void writeAccess(ByteWriter& stream)
{
    static constexpr std::string_view USER = "Velmora";
    ByteWriter payload;
    payload.u16(static_cast<std::uint16_t>(USER.size()));
    payload.u8(0);   // 8-bit characters
    for (char c : USER)
        payload.u8(static_cast<std::uint8_t>(c));
    while (payload.size() < 112)   // the record is padded with blanks
        payload.u8(' ');
    appendRecord(stream, WRITEACCESS, payload);
}

void window1(ByteWriter& stream)
{
    ByteWriter payload;
    payload.u16(0x0168);   // left, twips
    payload.u16(0x001E);   // top
    payload.u16(0x4000);   // width
    payload.u16(0x2000);   // height
    payload.u16(0x0038);   // horizontal and vertical scroll bars, sheet tabs shown
    payload.u16(0);        // active sheet
    payload.u16(0);        // first visible tab
    payload.u16(1);        // selected sheets
    payload.u16(0x0258);   // tab bar width, per mille
    appendRecord(stream, WINDOW1, payload);
}

// 12-point 宋体, the default font of a Chinese spreadsheet.
void font(ByteWriter& stream)
{
    ByteWriter payload;
    payload.u16(240);      // height, twips
    payload.u16(0);        // no italic, strike-out, outline
    payload.u16(0x7FFF);   // automatic colour
    payload.u16(400);      // normal weight
    payload.u16(0);        // no escapement
    payload.u8(0);         // no underline
    payload.u8(0);         // family
    payload.u8(134);       // GB2312 character set
    payload.u8(0);
    const std::u16string name = u"\u5B8B\u4F53";
    payload.u8(static_cast<std::uint8_t>(name.size()));
    payload.u8(0x01);      // UTF-16 characters
    payload.utf16(name);
    appendRecord(stream, FONT, payload);
}

struct XfLook {
    bool style = false;
    std::uint8_t usedAttributes = 0;   // bits 2..7 of the XF's attribute byte
    bool bordered = false;
    bool centred = false;
};

void xf(ByteWriter& stream, const XfLook& look)
{
    ByteWriter payload;
    payload.u16(0);                                   // font 0
    payload.u16(0);                                   // General number format
    payload.u16(look.style ? 0xFFF5 : 0x0001);        // style XF / cell XF of style 0; locked
    payload.u8(look.centred ? 0x22 : 0x20);           // bottom aligned; centred or general
    payload.u8(0);                                    // no rotation
    payload.u8(0);                                    // no indent, shrink or merge
    payload.u8(look.usedAttributes);
    std::uint32_t lines = 0;
    std::uint32_t lineColours = 0;
    if (look.bordered) {
        lines = THIN | THIN << 4 | THIN << 8 | THIN << 12 | BLACK << 16 | BLACK << 23;
        lineColours = BLACK | BLACK << 7;             // top, bottom; no diagonal, no fill
    }
    payload.u32(lines);
    payload.u32(lineColours);
    payload.u16(0x20C0);                              // pattern colours: automatic
    appendRecord(stream, XF, payload);
}

void formats(ByteWriter& stream)
{
    // Index 4 does not exist in the font table, so five records fill 0..3 and 5.
    for (int i = 0; i < 5; ++i)
        font(stream);
    xf(stream, {true, 0x00, false, false});
    for (int i = 1; i < 15; ++i)
        xf(stream, {true, 0xF4, false, false});
    // Cell XFs 15..18: plain, bordered, centred, bordered and centred.
    for (int look = 0; look < 4; ++look) {
        const bool bordered = look & 1;
        const bool centred = look & 2;
        const std::uint8_t used = (bordered ? 0x20 : 0) | (centred ? 0x10 : 0);
        xf(stream, {false, used, bordered, centred});
    }
    ByteWriter normal;
    normal.u16(0x8000);   // built-in style on XF 0
    normal.u8(0);         // Normal
    normal.u8(0xFF);      // no outline level
    appendRecord(stream, STYLE, normal);
}

// Appends the BOUNDSHEET record and returns where its stream-position field
// is, to be filled in once the sheet's position is known.
std::size_t boundSheet(ByteWriter& stream)
{
    static constexpr std::string_view NAME = "Sheet1";
    ByteWriter payload;
    payload.u32(0);
    payload.u8(0);   // visible
    payload.u8(0);   // worksheet
    payload.u8(static_cast<std::uint8_t>(NAME.size()));
    payload.u8(0);   // 8-bit characters
    for (char c : NAME)
        payload.u8(static_cast<std::uint8_t>(c));
    const std::size_t field = stream.size() + 4;
    appendRecord(stream, BOUNDSHEET, payload);
    return field;
}

std::size_t globals(ByteWriter& stream, const SharedStringTable& strings)
{
    bof(stream, GLOBALS);
    record16(stream, INTERFACEHDR, UTF16_CODEPAGE);
    record16(stream, MMS, 0);
    appendRecord(stream, INTERFACEEND, {});
    writeAccess(stream);
    record16(stream, CODEPAGE, UTF16_CODEPAGE);
    record16(stream, DSF, 0);
    record16(stream, TABID, 1);
    record16(stream, FNGROUPCOUNT, 14);
    for (std::uint16_t type : {WINDOWPROTECT, PROTECT, PASSWORD, PROT4REV, PROT4REVPASS, BACKUP, HIDEOBJ})
        record16(stream, type, 0);
    window1(stream);
    record16(stream, DATEMODE, 0);     // dates count from 1900
    record16(stream, PRECISION, 1);    // full precision
    record16(stream, REFRESHALL, 0);
    record16(stream, BOOKBOOL, 0);
    formats(stream);
    record16(stream, USESELFS, 0);
    const std::size_t sheetPosition = boundSheet(stream);
    ByteWriter country;
    country.u16(1);    // user interface: USA
    country.u16(86);   // system settings: China
    appendRecord(stream, COUNTRY, country);
    strings.writeRecords(stream);
    appendRecord(stream, EOF_RECORD, {});
    return sheetPosition;
}

void dimensions(ByteWriter& stream, const Worksheet& sheet)
{
    std::uint32_t firstRow = 0, lastRow = 0;
    std::uint16_t firstColumn = 0, lastColumn = 0;   // last = one past the last used
    if (!sheet.empty()) {
        firstRow = sheet.begin()->first.row;
        lastRow = sheet.rbegin()->first.row + 1u;
        firstColumn = 0xFFFF;
        for (const auto& [position, cell] : sheet) {
            firstColumn = std::min(firstColumn, position.column);
            lastColumn = std::max<std::uint16_t>(lastColumn, position.column + 1);
        }
    }
    ByteWriter payload;
    payload.u32(firstRow);
    payload.u32(lastRow);
    payload.u16(firstColumn);
    payload.u16(lastColumn);
    payload.u16(0);
    appendRecord(stream, DIMENSIONS, payload);
}

void window2(ByteWriter& stream)
{
    ByteWriter payload;
    payload.u16(0x06B6);   // grid, headers, zeros, outline symbols, default grid colour; selected, shown
    payload.u16(0);        // top row
    payload.u16(0);        // left column
    payload.u32(64);       // grid colour: automatic
    payload.u16(0);        // page-break preview zoom: default
    payload.u16(0);        // normal zoom: default
    payload.u32(0);
    appendRecord(stream, WINDOW2, payload);
}

void worksheet(ByteWriter& stream, const Worksheet& sheet, const std::vector<std::uint32_t>& indexes)
{
    bof(stream, WORKSHEET);
    record16(stream, CALCMODE, 1);     // automatic
    record16(stream, CALCCOUNT, 100);
    record16(stream, REFMODE, 1);      // A1 references
    record16(stream, ITERATION, 0);
    ByteWriter delta;
    delta.f64(0.001);
    appendRecord(stream, DELTA, delta);
    record16(stream, SAVERECALC, 1);
    ByteWriter rowHeight;
    rowHeight.u16(0);
    rowHeight.u16(0x00FF);
    appendRecord(stream, DEFAULTROWHEIGHT, rowHeight);
    record16(stream, WSBOOL, 0x04C1);
    dimensions(stream, sheet);
    std::size_t i = 0;
    for (const auto& [position, cell] : sheet) {
        ByteWriter label;
        label.u16(position.row);
        label.u16(position.column);
        label.u16(static_cast<std::uint16_t>(FIRST_CELL_XF + (cell.bordered ? 1 : 0) + (cell.centred ? 2 : 0)));
        label.u32(indexes[i++]);
        appendRecord(stream, LABELSST, label);
    }
    window2(stream);
    appendRecord(stream, EOF_RECORD, {});
}

} // namespace

std::vector<std::uint8_t> workbookStream(const Worksheet& sheet)
{
    SharedStringTable strings;
    std::vector<std::uint32_t> indexes;
    for (const auto& [position, cell] : sheet)
        indexes.push_back(strings.add(cell.text));

    ByteWriter stream;
    const std::size_t sheetPositionField = globals(stream, strings);
    stream.patchU32(sheetPositionField, static_cast<std::uint32_t>(stream.size()));
    worksheet(stream, sheet, indexes);
    return stream.take();
}

std::optional<std::vector<std::uint8_t>> xlsFile(const Worksheet& sheet)
{
    return compoundFile(u"Workbook", workbookStream(sheet));
}

} // namespace velmora::roster
