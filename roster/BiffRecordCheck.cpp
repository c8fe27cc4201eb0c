#include "roster/BiffRecordCheck.h"

namespace velmora::roster {

std::optional<StringHeader> stringHeader(const BiffRecord& r, std::size_t at)
{
    if (at + 1 > r.size)
        return std::nullopt;
    const std::uint8_t flags = r.data[at];
    StringHeader header{at + 1, (flags & 0x01) != 0, 0};
    if (flags & 0x08) {
        if (header.start + 2 > r.size)
            return std::nullopt;
        header.extra += std::uint64_t(r.u16(header.start)) * 4;
        header.start += 2;
    }
    if (flags & 0x04) {
        if (header.start + 4 > r.size)
            return std::nullopt;
        header.extra += r.u32(header.start);
        header.start += 4;
    }
    // FreeXL adds the two in 32 bits.
    header.extra &= 0xFFFFFFFF;
    return header;
}

} // namespace velmora::roster
