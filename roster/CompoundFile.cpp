#include "roster/CompoundFile.h"

#include "roster/CompoundFileFormat.h"

#include "roster/ByteWriter.h"

#include <cassert>

namespace velmora::roster {
namespace {

using namespace cfb;

constexpr std::size_t SECTOR = 512;
constexpr std::size_t IDS_PER_FAT_SECTOR = SECTOR / 4;

struct Layout {
    std::size_t streamSectors;
    std::size_t fatSectors;
    std::size_t directorySector;   // the one directory sector, after the FAT
};

void header(ByteWriter& out, const Layout& layout)
{
    for (std::uint8_t b : SIGNATURE)
        out.u8(b);
    out.zeros(16);                  // class id
    out.u16(0x003E);                // minor version
    out.u16(0x0003);                // major version 3: 512-byte sectors
    out.u16(0xFFFE);                // little-endian
    out.u16(9);                     // sector size 2^9
    out.u16(6);                     // mini sector size 2^6
    out.zeros(6);
    out.u32(0);                     // directory sectors: always 0 in version 3
    out.u32(static_cast<std::uint32_t>(layout.fatSectors));
    out.u32(static_cast<std::uint32_t>(layout.directorySector));
    out.u32(0);                     // transactions unsupported
    out.u32(MINI_STREAM_CUTOFF);
    out.u32(ENDOFCHAIN);            // no mini FAT
    out.u32(0);
    out.u32(ENDOFCHAIN);            // no DIFAT sectors
    out.u32(0);
    for (std::size_t i = 0; i < HEADER_FAT_SLOTS; ++i)
        out.u32(i < layout.fatSectors ? static_cast<std::uint32_t>(layout.streamSectors + i) : FREESECT);
    assert(out.size() == SECTOR);
}

void fat(ByteWriter& out, const Layout& layout)
{
    for (std::size_t i = 0; i + 1 < layout.streamSectors; ++i)
        out.u32(static_cast<std::uint32_t>(i + 1));
    out.u32(ENDOFCHAIN);
    for (std::size_t i = 0; i < layout.fatSectors; ++i)
        out.u32(FATSECT);
    out.u32(ENDOFCHAIN);            // the directory's single sector
    const std::size_t used = layout.streamSectors + layout.fatSectors + 1;
    for (std::size_t i = used; i < layout.fatSectors * IDS_PER_FAT_SECTOR; ++i)
        out.u32(FREESECT);
}

struct Entry {
    std::u16string name;
    std::uint8_t type;              // 1 storage, 2 stream, 5 root
    std::uint32_t child;
    std::uint32_t start;
    std::uint32_t size;
};

void directoryEntry(ByteWriter& out, const Entry& entry)
{
    [[maybe_unused]] const std::size_t start = out.size();
    out.utf16(entry.name);
    out.zeros(64 - 2 * entry.name.size());   // terminator and the rest of the name field
    out.u16(entry.name.empty() ? 0 : static_cast<std::uint16_t>(2 * entry.name.size() + 2));
    out.u8(entry.type);
    out.u8(entry.type == 0 ? 0 : 1);         // black in the red-black tree
    out.u32(NOSTREAM);                       // left sibling
    out.u32(NOSTREAM);                       // right sibling
    out.u32(entry.child);
    out.zeros(16 + 4 + 8 + 8);               // class id, state bits, times
    out.u32(entry.start);
    out.u32(entry.size);
    out.u32(0);                              // size, high part
    assert(out.size() - start == 128);
}

} // namespace

std::optional<std::vector<std::uint8_t>> compoundFile(const std::u16string& name,
                                                      std::vector<std::uint8_t> stream)
{
    assert(!name.empty() && name.size() <= 31);
    if (stream.size() < MINI_STREAM_CUTOFF)
        stream.resize(MINI_STREAM_CUTOFF, 0);
    Layout layout{(stream.size() + SECTOR - 1) / SECTOR, 1, 0};
    while (layout.fatSectors * IDS_PER_FAT_SECTOR < layout.streamSectors + layout.fatSectors + 1)
        ++layout.fatSectors;
    if (layout.fatSectors > HEADER_FAT_SLOTS)
        return std::nullopt;
    layout.directorySector = layout.streamSectors + layout.fatSectors;

    ByteWriter out;
    header(out, layout);
    out.bytes(stream);
    out.zeros(layout.streamSectors * SECTOR - stream.size());
    fat(out, layout);
    directoryEntry(out, {u"Root Entry", 5, 1, ENDOFCHAIN, 0});
    directoryEntry(out, {name, 2, NOSTREAM, 0, static_cast<std::uint32_t>(stream.size())});
    directoryEntry(out, {u"", 0, NOSTREAM, 0, 0});
    directoryEntry(out, {u"", 0, NOSTREAM, 0, 0});
    return out.take();
}

} // namespace velmora::roster
