#include "roster/CompoundFileCheck.h"

#include <algorithm>
#include <unordered_set>

namespace velmora::roster {
namespace {

constexpr std::uint32_t MAX_REGULAR_SECTOR = 0xFFFFFFFA;
constexpr std::uint32_t END_OF_CHAIN = 0xFFFFFFFE;
constexpr std::uint32_t FREE_SECTOR = 0xFFFFFFFF;
constexpr std::size_t HEADER_SIZE = 512;
constexpr std::size_t DIRECTORY_ENTRY_SIZE = 128;
constexpr std::size_t HEADER_DIFAT_ENTRIES = 109;

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& file) : m_file(file) {}

    std::uint16_t u16(std::size_t at) const { return std::uint16_t(m_file[at] | m_file[at + 1] << 8); }
    std::uint32_t u32(std::size_t at) const
    {
        return std::uint32_t(m_file[at]) | std::uint32_t(m_file[at + 1]) << 8
            | std::uint32_t(m_file[at + 2]) << 16 | std::uint32_t(m_file[at + 3]) << 24;
    }

private:
    const std::vector<std::uint8_t>& m_file;
};

struct Layout {
    std::size_t sectorSize = 0;
    std::uint32_t sectorCount = 0; // whole sectors after the header
    std::vector<std::uint32_t> fat;
};

bool sectorOffset(const Layout& layout, std::uint32_t sector, std::size_t& offset)
{
    if (sector >= layout.sectorCount)
        return false;
    offset = HEADER_SIZE > layout.sectorSize ? HEADER_SIZE : layout.sectorSize;
    offset += std::size_t(sector) * layout.sectorSize;
    return true;
}

bool readFatSectors(const Reader& in, Layout& layout)
{
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < HEADER_DIFAT_ENTRIES; ++i) {
        const std::uint32_t sector = in.u32(0x4C + 4 * i);
        if (sector == FREE_SECTOR)
            break;
        fatSectors.push_back(sector);
    }
    std::uint32_t difat = in.u32(0x44);
    std::unordered_set<std::uint32_t> seen;
    const std::size_t perSector = layout.sectorSize / 4;
    while (difat != END_OF_CHAIN && difat != FREE_SECTOR) {
        std::size_t at = 0;
        if (!sectorOffset(layout, difat, at) || !seen.insert(difat).second)
            return false;
        for (std::size_t i = 0; i + 1 < perSector; ++i) {
            const std::uint32_t sector = in.u32(at + 4 * i);
            if (sector != FREE_SECTOR)
                fatSectors.push_back(sector);
        }
        difat = in.u32(at + 4 * (perSector - 1));
    }
    for (std::uint32_t sector : fatSectors) {
        std::size_t at = 0;
        if (!sectorOffset(layout, sector, at))
            return false;
        for (std::size_t i = 0; i < perSector; ++i)
            layout.fat.push_back(in.u32(at + 4 * i));
    }
    for (std::uint32_t next : layout.fat) {
        if (next <= MAX_REGULAR_SECTOR && next >= layout.sectorCount)
            return false;
    }
    return !layout.fat.empty();
}

bool directoryIsSound(const Reader& in, const Layout& layout, std::uint32_t first)
{
    std::unordered_set<std::uint32_t> seen;
    for (std::uint32_t sector = first; sector != END_OF_CHAIN;) {
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
            if (entry == at && seen.size() == 1 && type != 5)
                return false; // the first entry is the root
            if (type != 0 && (type < 1 || type > 5 || type == 3 || type == 4 || nameLength < 2))
                return false;
        }
        sector = layout.fat[sector];
    }
    return !seen.empty();
}

} // namespace

bool isSoundCompoundFile(const std::vector<std::uint8_t>& file)
{
    static constexpr std::uint8_t SIGNATURE[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (file.size() < HEADER_SIZE || !std::equal(SIGNATURE, SIGNATURE + 8, file.begin()))
        return false;
    const Reader in(file);
    const std::uint16_t sectorShift = in.u16(0x1E);
    if ((sectorShift != 9 && sectorShift != 12) || in.u16(0x20) != 6)
        return false;
    Layout layout;
    layout.sectorSize = std::size_t(1) << sectorShift;
    const std::size_t firstSector = HEADER_SIZE > layout.sectorSize ? HEADER_SIZE : layout.sectorSize;
    if (file.size() < firstSector + layout.sectorSize)
        return false;
    layout.sectorCount = static_cast<std::uint32_t>((file.size() - firstSector) / layout.sectorSize);
    return readFatSectors(in, layout) && directoryIsSound(in, layout, in.u32(0x30));
}

} // namespace velmora::roster
