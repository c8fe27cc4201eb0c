#include "roster/CompoundFileCheck.h"

#include "roster/CompoundFileFormat.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace velmora::roster {
namespace {

using namespace cfb;

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& file) : m_file(file) {}

    std::uint16_t u16(std::size_t at) const { return cfb::u16(m_file, at); }
    std::uint32_t u32(std::size_t at) const { return cfb::u32(m_file, at); }
    const std::vector<std::uint8_t>& bytes() const { return m_file; }

private:
    const std::vector<std::uint8_t>& m_file;
};

struct Layout {
    std::size_t sectorSize = 0;
    std::uint32_t sectorCount = 0; // whole sectors after the header
    std::vector<std::uint32_t> fat;
    std::unordered_set<std::uint32_t> fatSectors;
};

struct StreamEntry {
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

bool sectorOffset(const Layout& layout, std::uint32_t sector, std::size_t& offset)
{
    if (sector >= layout.sectorCount)
        return false;
    offset = HEADER_SIZE > layout.sectorSize ? HEADER_SIZE : layout.sectorSize;
    offset += std::size_t(sector) * layout.sectorSize;
    return true;
}

// A FAT sector listed twice makes FreeXL build its FAT again from the same
// sector; a DIFAT that lists one sector many times grows it without bound.
bool appendFatSector(const Reader& in, Layout& layout, std::uint32_t sector)
{
    std::size_t at = 0;
    if (!sectorOffset(layout, sector, at) || !layout.fatSectors.insert(sector).second)
        return false;
    for (std::size_t i = 0; i < layout.sectorSize / 4; ++i)
        layout.fat.push_back(in.u32(at + 4 * i));
    return true;
}

// The FAT as FreeXL assembles it: every header DIFAT slot but the free ones
// (a free slot does not end the list), then exactly as many DIFAT sectors as
// the header counts, each ending early at an end-of-chain slot and naming
// the next one in its last slot.
bool readFat(const Reader& in, Layout& layout)
{
    for (std::size_t i = 0; i < HEADER_FAT_SLOTS; ++i) {
        const std::uint32_t sector = in.u32(0x4C + 4 * i);
        if (sector != FREESECT && !appendFatSector(in, layout, sector))
            return false;
    }
    const std::uint32_t difatCount = in.u32(0x48);
    const std::size_t perSector = layout.sectorSize / 4;
    std::uint32_t difat = in.u32(0x44);
    std::unordered_set<std::uint32_t> seen;
    for (std::uint32_t blocks = 0; blocks < difatCount;) {
        std::size_t at = 0;
        if (!sectorOffset(layout, difat, at) || !seen.insert(difat).second)
            return false;
        ++blocks;
        for (std::size_t i = 0; i < perSector; ++i) {
            const std::uint32_t sector = in.u32(at + 4 * i);
            if (sector == ENDOFCHAIN) {
                if (blocks != difatCount)
                    return false;
                break;
            }
            if (i + 1 == perSector)
                difat = sector;
            else if (sector != FREESECT && !appendFatSector(in, layout, sector))
                return false;
        }
    }
    for (std::uint32_t next : layout.fat) {
        if (next <= MAXREGSECT && next >= layout.sectorCount)
            return false;
    }
    return !layout.fat.empty();
}

bool directoryIsSound(const Reader& in, const Layout& layout, std::uint32_t first)
{
    std::unordered_set<std::uint32_t> seen;
    for (std::uint32_t sector = first; sector != ENDOFCHAIN;) {
        std::size_t at = 0;
        if (!sectorOffset(layout, sector, at) || !seen.insert(sector).second
            || sector >= layout.fat.size())
            return false;
        for (std::size_t entry = at; entry < at + layout.sectorSize; entry += DIRECTORY_ENTRY_SIZE) {
            const std::uint8_t type = static_cast<std::uint8_t>(in.u16(entry + 0x42) & 0xFF);
            const std::uint16_t nameLength = in.u16(entry + 0x40);
            // FreeXL converts the name of every entry, unused ones included.
            if (nameLength > 64 || nameLength % 2 != 0)
                return false;
            if (entry == at && seen.size() == 1 && type != ROOT_ENTRY)
                return false; // the first entry is the root
            if (type != 0 && (type < 1 || type > 5 || type == 3 || type == 4 || nameLength < 2))
                return false;
        }
        sector = layout.fat[sector];
    }
    return !seen.empty();
}

// Whether the entry's name, up to its terminating zero, is `name`; FreeXL
// compares the converted name the same way.
bool entryNamed(const Reader& in, std::size_t entry, const char* name)
{
    const std::size_t units = in.u16(entry + 0x40) / 2;
    const std::size_t length = std::strlen(name);
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint16_t unit = in.u16(entry + 2 * i);
        if (unit == 0)
            return i == length;
        if (i >= length || unit != static_cast<unsigned char>(name[i]))
            return false;
    }
    return units == length;
}

// FreeXL looks for the Workbook only in the first directory sector and
// converts each name on the way there: an empty name makes it write past a
// zero-length buffer. The mini stream it uses is the last "Root Entry"
// before the Workbook; without one (writers may name the root otherwise) it
// would use values it never set, which matters only for a Workbook in the
// mini stream.
bool findWorkbook(const Reader& in, const Layout& layout, StreamEntry& workbook,
                  std::optional<StreamEntry>& root)
{
    std::size_t at = 0;
    if (!sectorOffset(layout, in.u32(0x30), at))
        return false;
    for (std::size_t entry = at; entry < at + layout.sectorSize; entry += DIRECTORY_ENTRY_SIZE) {
        if (in.u16(entry + 0x40) < 2)
            return false;
        const StreamEntry found{in.u32(entry + 0x74), in.u32(entry + 0x78)};
        if (entryNamed(in, entry, "Root Entry"))
            root = found;
        if (entryNamed(in, entry, "Workbook") || entryNamed(in, entry, "Book")) {
            workbook = found;
            return true;
        }
    }
    return false;
}

// The stream's bytes along its sector chain. FreeXL stops only at the end of
// the chain and counts on the declared size to tell where the last sector's
// data ends (in 16-bit arithmetic): with a chain longer than the size it
// loses its place and shows a workbook without sheets, a chain shorter than
// the size cuts the stream.
std::optional<std::vector<std::uint8_t>> chainBytes(const Reader& in, const Layout& layout, StreamEntry stream)
{
    const std::size_t sectors = (std::size_t(stream.size) + layout.sectorSize - 1) / layout.sectorSize;
    if (sectors > layout.sectorCount)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(stream.size);
    std::uint32_t sector = stream.start;
    for (std::size_t i = 0; i < sectors; ++i) {
        std::size_t at = 0;
        if (!sectorOffset(layout, sector, at) || sector >= layout.fat.size())
            return std::nullopt;
        const std::size_t part = std::min(layout.sectorSize, stream.size - bytes.size());
        bytes.insert(bytes.end(), in.bytes().begin() + at, in.bytes().begin() + at + part);
        sector = layout.fat[sector];
    }
    if (sector != ENDOFCHAIN)
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<std::vector<std::uint8_t>> workbookStreamOf(const std::vector<std::uint8_t>& file)
{
    if (file.size() < HEADER_SIZE || !std::equal(SIGNATURE.begin(), SIGNATURE.end(), file.begin()))
        return std::nullopt;
    const Reader in(file);
    const std::uint16_t sectorShift = in.u16(0x1E);
    if ((sectorShift != 9 && sectorShift != 12) || in.u16(0x20) != 6)
        return std::nullopt;
    Layout layout;
    layout.sectorSize = std::size_t(1) << sectorShift;
    const std::size_t firstSector = HEADER_SIZE > layout.sectorSize ? HEADER_SIZE : layout.sectorSize;
    if (file.size() < firstSector + layout.sectorSize)
        return std::nullopt;
    layout.sectorCount = static_cast<std::uint32_t>((file.size() - firstSector) / layout.sectorSize);
    StreamEntry workbook;
    std::optional<StreamEntry> root;
    if (!readFat(in, layout) || !directoryIsSound(in, layout, in.u32(0x30))
        || !findWorkbook(in, layout, workbook, root) || workbook.size == 0)
        return std::nullopt;

    // FreeXL honours the mini-stream cutoff only when the header counts
    // MiniFAT sectors.
    const std::uint32_t cutoff = in.u32(0x40) > 0 ? in.u32(0x38) : 0;
    if (workbook.size > cutoff)
        return chainBytes(in, layout, workbook);
    // A small Workbook lives in the mini stream. FreeXL reads it from the
    // mini stream's first byte whatever its start, and as far as its size
    // says, inside a buffer only as long as the mini stream.
    if (!root || workbook.start != 0 || root->size == 0 || workbook.size > root->size)
        return std::nullopt;
    auto mini = chainBytes(in, layout, *root);
    if (mini)
        mini->resize(workbook.size);
    return mini;
}

bool isSoundCompoundFile(const std::vector<std::uint8_t>& file)
{
    return workbookStreamOf(file).has_value();
}

} // namespace velmora::roster
