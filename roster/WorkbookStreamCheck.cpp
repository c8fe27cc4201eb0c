#include "roster/WorkbookStreamCheck.h"

#include "roster/BiffRecordTypes.h"

#include "roster/BiffRecordCheck.h"
#include "roster/SharedStringCheck.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_set>

namespace velmora::roster {
namespace {

using namespace biff;


// The largest BIFF8 record body; FreeXL's record buffer has this size and it
// takes a longer length for the end of the stream.
// FreeXL keeps the format of at most this many XF records in a fixed table
// but looks any XF index below the count up in it.
constexpr std::size_t MAX_XF_RECORDS = 8192;
// One full BIFF8 sheet (65536 rows by 256 columns). FreeXL allocates 16
// bytes for every declared cell of every sheet when it opens the workbook.
constexpr std::uint64_t MAX_DECLARED_CELLS = 65536ull * 256;
// What FreeXL may leak sizing sheets without DIMENSIONS: 1 MiB of cells.
constexpr std::uint64_t MAX_LEAKED_CELLS = 65536;
// 31 December 9999. FreeXL turns a date serial into a date by counting
// days one at a time, which for serials near 2^31 takes many seconds.
constexpr double LAST_DATE_SERIAL = 2958465;

// A string that must lie wholly in its record (LABEL, FORMAT): character
// count at `countAt`, header at `headerAt`. FreeXL copies count characters
// from the record whatever its length, and refuses empty strings.
bool unicodeStringFits(const BiffRecord& r, std::size_t countAt, std::size_t headerAt)
{
    if (countAt + 2 > r.size || r.u16(countAt) == 0)
        return false;
    const auto header = stringHeader(r, headerAt);
    return header && header->start + std::size_t(r.u16(countAt)) * (header->wide ? 2 : 1) <= r.size;
}

// A codepage string of BIFF5 (LABEL, FORMAT): FreeXL copies `length` bytes
// from `at`, and converting an empty one writes past a zero-length buffer.
bool byteStringFits(const BiffRecord& r, std::size_t length, std::size_t at)
{
    return length > 0 && at + length <= r.size;
}

// Which XF records FreeXL will show as dates (it counts their serials out
// day by day): built-in formats 14-17 and 22, and custom FORMATs whose text
// has y and m, or m and d (FreeXL's own test, letters in any case).
class DateFormats {
public:
    void format(std::uint16_t index, const BiffRecord& r, std::size_t textAt, std::size_t length, bool wide)
    {
        int y = 0, m = 0, d = 0, h = 0, s = 0;
        for (std::size_t i = 0; i < length && textAt + (i + 1) * (wide ? 2 : 1) <= r.size; ++i) {
            const unsigned unit = wide ? r.u16(textAt + 2 * i) : r.data[textAt + i];
            const char c = unit < 0x80 ? static_cast<char>(unit | 0x20) : 0;
            y += c == 'y';
            m += c == 'm';
            d += c == 'd';
            h += c == 'h';
            s += c == 's';
        }
        const bool date = (y && m) || (m && d);
        const bool time = (h && m) || (m && s);
        // FreeXL keeps only date and time formats and finds the first one
        // with an index.
        if ((date || time) && m_formats.find(index) == m_formats.end())
            m_formats[index] = date;
    }
    void xf(std::uint16_t formatIndex) { m_xfFormats.push_back(formatIndex); }
    std::size_t xfCount() const { return m_xfFormats.size(); }

    bool isDate(std::uint16_t xfIndex) const
    {
        if (xfIndex >= m_xfFormats.size())
            return false;
        const std::uint16_t format = m_xfFormats[xfIndex];
        if ((format >= 14 && format <= 17) || format == 22)
            return true;
        const auto found = m_formats.find(format);
        return found != m_formats.end() && found->second;
    }

private:
    std::map<std::uint16_t, bool> m_formats;
    std::vector<std::uint16_t> m_xfFormats;
};

// The number an RK value holds, as FreeXL decodes it.
double rkValue(std::uint32_t rk)
{
    double value = 0;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = std::uint64_t(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

class StreamWalk {
public:
    explicit StreamWalk(const std::vector<std::uint8_t>& stream) : m_stream(stream)
    {
        const auto lastNonZero = std::find_if(stream.rbegin(), stream.rend(), [](std::uint8_t b) { return b != 0; });
        m_zerosFrom = static_cast<std::size_t>(stream.rend() - lastNonZero);
    }

    bool run()
    {
        std::size_t at = 0;
        while (at + 4 <= m_stream.size()) {
            BiffRecord r;
            r.type = std::uint16_t(m_stream[at] | m_stream[at + 1] << 8);
            r.size = std::uint16_t(m_stream[at + 2] | m_stream[at + 3] << 8);
            // A zero record header ends FreeXL's stream in sectors but not one
            // in the mini stream, where FreeXL reads on: only zero padding may
            // follow it.
            if (r.type == 0 && r.size == 0 && onlyZerosFrom(at))
                return finish();
            if (r.size > MAX_RECORD_PAYLOAD || at + 4 + r.size > m_stream.size())
                return false;
            r.data = m_stream.data() + at + 4;
            r.offset = at;
            if (!record(r))
                return false;
            at += 4 + r.size;
        }
        // Less than a record header left: only the zero padding of the
        // stream's last sector.
        return onlyZerosFrom(at) && finish();
    }

private:
    bool onlyZerosFrom(std::size_t at) const { return at >= m_zerosFrom; }

    bool finish()
    {
        if (m_bof == ExpectFirstBof)
            return false; // no workbook at all
        closeSubstream();
        // Each sheet's BOUNDSHEET must lead to its own BOF, or FreeXL shows
        // it empty.
        std::unordered_set<std::uint32_t> positions;
        std::uint64_t undimensioned = 0;
        for (std::uint32_t position : m_sheetPositions) {
            const auto found = m_substreams.find(position);
            if (found == m_substreams.end() || !positions.insert(position).second)
                return false;
            undimensioned += found->second.dimensioned ? 0 : 1;
        }
        // FreeXL sizes the sheets without DIMENSIONS after reading the stream
        // by allocating cells, each time anew, for the sheet it read last:
        // that sheet loses its values (refused when it is the sheet the
        // roster is imported from) and every earlier allocation leaks.
        if (undimensioned > 0 && positions.count(m_lastSubstream) > 0) {
            const Substream& last = m_substreams[m_lastSubstream];
            if (last.dimensioned && m_sheetPositions.front() == m_lastSubstream)
                return false;
            const std::uint64_t leaked = undimensioned + (last.dimensioned ? 1 : 0) - 1;
            if (leaked * last.cells > MAX_LEAKED_CELLS)
                return false;
        }
        return m_declaredCells <= MAX_DECLARED_CELLS;
    }

    bool record(const BiffRecord& r)
    {
        if (r.type == CONTINUE)
            return m_previousType != SST || m_strings.record(r);
        m_previousType = r.type;
        if (m_bof != InSubstream) {
            // The workbook globals' BOF names the BIFF version; every
            // substream after an EOF starts with a BOF again.
            if (r.type != BOF || r.size < 4)
                return false;
            if (m_bof == ExpectFirstBof) {
                if (r.u16(0) != 0x0500 && r.u16(0) != 0x0600)
                    return false;
                m_biff8 = r.u16(0) == 0x0600;
            } else {
                m_lastSubstream = static_cast<std::uint32_t>(r.offset);
                m_substreams[m_lastSubstream] = {};
            }
            m_inSheet = m_bof == ExpectBof;
            m_bof = InSubstream;
            m_sheetHasDimensions = false;
            m_sheetRows = m_sheetColumns = 0;
            return true;
        }
        return substreamRecord(r);
    }

    bool substreamRecord(const BiffRecord& r)
    {
        switch (r.type) {
        case EOF_RECORD:
            closeSubstream();
            m_bof = ExpectBof;
            return true;
        case SST:
            return m_strings.record(r);
        case FILEPASS:
            return false; // the records after it are encrypted
        case CODEPAGE:
        case DATEMODE:
            return r.size >= 2;
        case BOUNDSHEET:
            return boundSheet(r);
        case DIMENSIONS:
            return dimensions(r);
        case FORMAT:
            return format(r);
        case XF:
            if (r.size < 4 || m_dates.xfCount() >= MAX_XF_RECORDS)
                return false;
            m_dates.xf(r.u16(2));
            return true;
        default:
            return cell(r);
        }
    }

    bool boundSheet(const BiffRecord& r)
    {
        if (r.size < 8 || r.data[6] == 0)
            return false;
        const std::size_t length = r.data[6];
        if (m_biff8 ? 8 + length * (r.data[7] == 0 ? 1 : 2) > r.size : 7 + length > r.size)
            return false;
        m_sheetPositions.push_back(r.u32(0));
        return true;
    }

    bool dimensions(const BiffRecord& r)
    {
        if (r.size < (m_biff8 ? 12u : 8u))
            return false;
        const std::uint64_t rows = m_biff8 ? r.u32(4) : r.u16(2);
        const std::uint64_t columns = m_biff8 ? r.u16(10) : r.u16(6);
        const std::uint64_t cells = rows * columns;
        m_declaredCells += cells;
        // A second DIMENSIONS makes FreeXL allocate the sheet's cells again
        // without freeing the first ones.
        if (m_sheetHasDimensions)
            return false;
        m_sheetHasDimensions = true;
        if (m_inSheet)
            m_substreams[m_lastSubstream] = {true, cells};
        return m_declaredCells <= MAX_DECLARED_CELLS;
    }

    // Without DIMENSIONS, FreeXL sizes a sheet by its last row and column
    // with a cell.
    void closeSubstream()
    {
        if (m_bof != InSubstream || !m_inSheet || m_sheetHasDimensions)
            return;
        const std::uint64_t cells = (m_sheetRows + 1) * (m_sheetColumns + 1);
        m_declaredCells += cells;
        m_substreams[m_lastSubstream] = {false, cells};
    }

    bool format(const BiffRecord& r)
    {
        if (r.size < 4)
            return false;
        if (!m_biff8) {
            // FreeXL takes the length from the string's first byte.
            if (!byteStringFits(r, r.data[3], 3))
                return false;
            m_dates.format(r.u16(0), r, 3, r.data[3], false);
            return true;
        }
        if (!unicodeStringFits(r, 2, 4))
            return false;
        const auto header = stringHeader(r, 4);
        m_dates.format(r.u16(0), r, header->start, r.u16(2), header->wide);
        return true;
    }

    bool cell(const BiffRecord& r)
    {
        switch (r.type) {
        case NUMBER: {
            if (r.size < 14)
                return false;
            double value = 0;
            std::memcpy(&value, r.data + 6, sizeof value);
            return cellAt(r) && plausibleDate(r.u16(4), value);
        }
        case RK:
            return r.size >= 10 && cellAt(r) && plausibleDate(r.u16(4), rkValue(r.u32(6)));
        case MULRK:
            if (r.size < 4 || !cellAt(r))
                return false;
            for (std::size_t at = 4; at + 6 < r.size; at += 6) {
                if (!plausibleDate(r.u16(at), rkValue(r.u32(at + 2))))
                    return false;
            }
            return true;
        case BOOLERR:
            return r.size >= 7 && cellAt(r);
        case LABELSST:
            return !m_biff8 || (r.size >= 10 && cellAt(r));
        case LABEL:
            if (r.size < 8 || !cellAt(r))
                return false;
            return m_biff8 ? unicodeStringFits(r, 6, 8) : byteStringFits(r, r.u16(6), 8);
        default:
            return true;
        }
    }

    // Without DIMENSIONS, FreeXL sizes the sheet by its cells.
    bool cellAt(const BiffRecord& r)
    {
        m_sheetRows = std::max<std::uint64_t>(m_sheetRows, r.u16(0));
        m_sheetColumns = std::max<std::uint64_t>(m_sheetColumns, r.u16(2));
        return true;
    }

    bool plausibleDate(std::uint16_t xfIndex, double value) const
    {
        return !(value > LAST_DATE_SERIAL) || !m_dates.isDate(xfIndex);
    }

    enum BofState { ExpectFirstBof, ExpectBof, InSubstream };

    const std::vector<std::uint8_t>& m_stream;
    std::size_t m_zerosFrom = 0; // where the stream's trailing zero bytes start
    BofState m_bof = ExpectFirstBof;
    bool m_biff8 = true;
    std::uint16_t m_previousType = 0;
    SharedStringCheck m_strings;
    DateFormats m_dates;
    std::vector<std::uint32_t> m_sheetPositions;
    struct Substream {
        bool dimensioned = false;
        std::uint64_t cells = 0; // declared by DIMENSIONS, or up to the last cell
    };
    std::map<std::uint32_t, Substream> m_substreams; // by BOF position
    std::uint32_t m_lastSubstream = 0;
    bool m_inSheet = false; // in a substream after the workbook globals
    bool m_sheetHasDimensions = false;
    std::uint64_t m_sheetRows = 0;
    std::uint64_t m_sheetColumns = 0;
    std::uint64_t m_declaredCells = 0;
};

} // namespace

bool isSoundWorkbookStream(const std::vector<std::uint8_t>& stream)
{
    return StreamWalk(stream).run();
}

} // namespace velmora::roster
