#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace velmora::roster {

// One BIFF record of a Workbook stream: its type, its body and where its
// header starts in the stream.
struct BiffRecord {
    std::uint16_t type = 0;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t offset = 0; // of the record header in the stream

    std::uint16_t u16(std::size_t at) const { return std::uint16_t(data[at] | data[at + 1] << 8); }
    std::uint32_t u32(std::size_t at) const { return std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16; }
};

// The header of a BIFF8 unicode string (XLUnicodeRichExtendedString) from
// its option flags: where the characters start, whether they are 16-bit,
// and how many rich-text run and extension bytes follow them.
struct StringHeader {
    std::size_t start = 0;
    bool wide = false;
    std::uint64_t extra = 0;
};

// The string header at `at` in `r`, or nullopt when the flags byte or the
// optional fields it announces run past the end of the record.
std::optional<StringHeader> stringHeader(const BiffRecord& r, std::size_t at);

} // namespace velmora::roster
