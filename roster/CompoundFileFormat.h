#pragma once

// Compound-file (the container of an .xls workbook) constants shared by the
// writer and the check run before FreeXL reads a file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::roster::cfb {

inline constexpr std::array<std::uint8_t, 8> SIGNATURE{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::size_t HEADER_SIZE = 512;
inline constexpr std::size_t HEADER_FAT_SLOTS = 109;   // DIFAT entries held in the header
inline constexpr std::size_t DIRECTORY_ENTRY_SIZE = 128;
inline constexpr std::size_t MINI_STREAM_CUTOFF = 4096;
inline constexpr std::size_t MINI_SECTOR_SIZE = 64;
// Directory entry types.
inline constexpr std::uint8_t STREAM_ENTRY = 2;
inline constexpr std::uint8_t ROOT_ENTRY = 5;
inline constexpr std::uint32_t MAXREGSECT = 0xFFFFFFFA;
inline constexpr std::uint32_t FATSECT = 0xFFFFFFFD;
inline constexpr std::uint32_t ENDOFCHAIN = 0xFFFFFFFE;
inline constexpr std::uint32_t FREESECT = 0xFFFFFFFF;
inline constexpr std::uint32_t NOSTREAM = 0xFFFFFFFF;

// Little-endian fields of a compound file; `at` + width must lie inside it.
inline std::uint16_t u16(const std::vector<std::uint8_t>& file, std::size_t at)
{
    return static_cast<std::uint16_t>(file[at] | file[at + 1] << 8);
}
inline std::uint32_t u32(const std::vector<std::uint8_t>& file, std::size_t at)
{
    return std::uint32_t(file[at]) | std::uint32_t(file[at + 1]) << 8
        | std::uint32_t(file[at + 2]) << 16 | std::uint32_t(file[at + 3]) << 24;
}

} // namespace velmora::roster::cfb
