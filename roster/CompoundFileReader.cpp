#include "roster/CompoundFileReader.h"

#include "roster/CompoundFileFormat.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace velmora::roster {
namespace {

using namespace cfb;


struct Entry {
    std::size_t at = 0;   // the entry's offset in the file
    std::uint8_t type = 0;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
};

class Container {
public:
    explicit Container(const std::vector<std::uint8_t>& file) : m_file(file) {}

    bool readHeader()
    {
        if (m_file.size() < HEADER_SIZE || !std::equal(SIGNATURE.begin(), SIGNATURE.end(), m_file.begin()))
            return false;
        const std::uint16_t shift = u16(m_file, 0x1E);
        if ((shift != 9 && shift != 12) || u16(m_file, 0x20) != 6)
            return false;
        m_sectorSize = std::size_t(1) << shift;
        // A file shorter than its own header sector has no sectors at all
        // (the count would wrap round and let any sector number through).
        if (m_file.size() < 2 * m_sectorSize)
            return false;
        m_sectorCount = m_file.size() / m_sectorSize - 1;   // the header takes the first
        return readFat();
    }

    // The bytes of the first `size` bytes along the chain from `start`,
    // in sectors of the file.
    std::optional<std::vector<std::uint8_t>> regularChain(std::uint32_t start, std::uint64_t size) const
    {
        return chainBytes(m_fat, start, size, m_sectorSize, m_sectorCount,
                          [this](std::uint32_t id) { return m_file.data() + (std::size_t(id) + 1) * m_sectorSize; });
    }

    // The same in 64-byte sectors of `mini`, chained by `miniFat`.
    static std::optional<std::vector<std::uint8_t>> miniChain(const std::vector<std::uint32_t>& miniFat,
                                                              const std::vector<std::uint8_t>& mini,
                                                              std::uint32_t start, std::uint64_t size)
    {
        return chainBytes(miniFat, start, size, MINI_SECTOR_SIZE, mini.size() / MINI_SECTOR_SIZE,
                          [&mini](std::uint32_t id) { return mini.data() + std::size_t(id) * MINI_SECTOR_SIZE; });
    }

    // Every directory entry, in order, along the directory's chain.
    std::optional<std::vector<Entry>> directory() const
    {
        std::vector<Entry> entries;
        std::unordered_set<std::uint32_t> seen;
        for (std::uint32_t id = u32(m_file, 0x30); id != ENDOFCHAIN; id = m_fat[id]) {
            if (id >= m_sectorCount || id >= m_fat.size() || !seen.insert(id).second)
                return std::nullopt;
            const std::size_t at = (std::size_t(id) + 1) * m_sectorSize;
            for (std::size_t entry = at; entry < at + m_sectorSize; entry += DIRECTORY_ENTRY_SIZE)
                entries.push_back(readEntry(entry));
        }
        return entries;
    }

    // Whether `entry` is named `name` (ASCII letters in any case); the name
    // field counts its terminating zero.
    bool named(const Entry& entry, std::string_view name) const
    {
        const std::size_t units = u16(m_file, entry.at + 0x40) / 2;
        if (units > 32 || units < name.size() || (units > name.size() + 1)
            || (units == name.size() + 1 && u16(m_file, entry.at + 2 * name.size()) != 0))
            return false;
        const auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (lower(u16(m_file, entry.at + 2 * i)) != lower(static_cast<unsigned char>(name[i])))
                return false;
        }
        return true;
    }

    std::uint32_t header32(std::size_t at) const { return u32(m_file, at); }
    std::size_t sectorSize() const { return m_sectorSize; }

private:
    bool readFat()
    {
        std::vector<std::uint32_t> fatSectors;
        for (std::size_t i = 0; i < HEADER_FAT_SLOTS; ++i)
            fatSectors.push_back(u32(m_file, 0x4C + 4 * i));
        std::unordered_set<std::uint32_t> seen;
        std::uint32_t difat = u32(m_file, 0x44);
        for (std::uint32_t n = u32(m_file, 0x48); n > 0 && difat != ENDOFCHAIN; --n) {
            if (difat >= m_sectorCount || !seen.insert(difat).second)
                return false;
            const std::size_t at = (std::size_t(difat) + 1) * m_sectorSize;
            const std::size_t slots = m_sectorSize / 4 - 1;
            for (std::size_t i = 0; i < slots; ++i)
                fatSectors.push_back(u32(m_file, at + 4 * i));
            difat = u32(m_file, at + 4 * slots);
        }
        seen.clear();
        for (std::uint32_t id : fatSectors) {
            if (id == FREESECT || id == ENDOFCHAIN)
                continue;
            if (id >= m_sectorCount || !seen.insert(id).second)
                return false;
            const std::size_t at = (std::size_t(id) + 1) * m_sectorSize;
            for (std::size_t i = 0; i < m_sectorSize / 4; ++i)
                m_fat.push_back(u32(m_file, at + 4 * i));
        }
        return !m_fat.empty();
    }

    Entry readEntry(std::size_t at) const
    {
        Entry entry;
        entry.at = at;
        entry.type = m_file[at + 0x42];
        entry.start = u32(m_file, at + 0x74);
        entry.size = u32(m_file, at + 0x78);
        // The size's high half counts only with 4096-byte sectors.
        if (m_sectorSize == 4096)
            entry.size |= std::uint64_t(u32(m_file, at + 0x7C)) << 32;
        return entry;
    }

    template <typename UnitBytes>
    static std::optional<std::vector<std::uint8_t>> chainBytes(const std::vector<std::uint32_t>& table,
                                                               std::uint32_t start, std::uint64_t size,
                                                               std::size_t unit, std::size_t units,
                                                               UnitBytes unitBytes)
    {
        // A chain without repeats is no longer than the units there are, so
        // a size beyond them is a lie and is refused before any copy. The
        // count is rounded up without adding to the size, which a size near
        // 2^64 (possible with 4096-byte sectors) would wrap round to 0.
        const std::uint64_t needed = size / unit + (size % unit != 0 ? 1 : 0);
        if (needed > units)
            return std::nullopt;
        std::vector<std::uint8_t> bytes;
        bytes.reserve(static_cast<std::size_t>(size));
        std::uint32_t id = start;
        for (std::uint64_t i = 0; i < needed; ++i) {
            if (id >= units || id >= table.size())
                return std::nullopt;
            const std::uint8_t* from = unitBytes(id);
            const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(unit, size - bytes.size()));
            bytes.insert(bytes.end(), from, from + part);
            id = table[id];
        }
        return bytes;
    }

    const std::vector<std::uint8_t>& m_file;
    std::size_t m_sectorSize = 0;
    std::size_t m_sectorCount = 0;
    std::vector<std::uint32_t> m_fat;
};

std::vector<std::uint32_t> asTable(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint32_t> table(bytes.size() / 4);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = u32(bytes, 4 * i);
    return table;
}

} // namespace

std::optional<std::vector<std::uint8_t>> readWorkbookStream(const std::vector<std::uint8_t>& file)
{
    Container in(file);
    if (!in.readHeader())
        return std::nullopt;
    const auto entries = in.directory();
    if (!entries || entries->empty() || entries->front().type != ROOT_ENTRY)
        return std::nullopt;
    std::optional<std::size_t> found;
    for (std::string_view name : {"Workbook", "Book"}) {
        for (std::size_t i = 1; i < entries->size() && !found; ++i) {
            if ((*entries)[i].type == STREAM_ENTRY && in.named((*entries)[i], name))
                found = i;
        }
    }
    if (!found)
        return std::nullopt;
    const Entry& workbook = (*entries)[*found];
    if (workbook.size >= in.header32(0x38))
        return in.regularChain(workbook.start, workbook.size);

    const Entry& root = entries->front();
    const auto mini = in.regularChain(root.start, root.size);
    const auto miniFat = in.regularChain(in.header32(0x3C), std::uint64_t(in.header32(0x40)) * in.sectorSize());
    if (!mini || !miniFat)
        return std::nullopt;
    return Container::miniChain(asTable(*miniFat), *mini, workbook.start, workbook.size);
}

} // namespace velmora::roster
