#pragma once

// The cells of one worksheet as the .xls writer and reader exchange them.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velmora::roster {

// Zero-based row and column, as the .xls records count them.
struct CellPosition {
    std::uint16_t row = 0;      // 0..65535
    std::uint16_t column = 0;   // 0..255

    auto operator<=>(const CellPosition&) const = default;
};

struct SheetCell {
    std::string text;           // UTF-8, never empty
    bool bordered = false;      // thin black line on all four sides
    bool centred = false;       // centred horizontally
    bool written = true;        // false: read from a file, not set since
};

// Cells in row order, then column order: the order the records are written.
using Worksheet = std::map<CellPosition, SheetCell>;

inline constexpr std::uint32_t MAX_ROWS = 65536;
inline constexpr std::uint32_t MAX_COLUMNS = 256;

// The position of a cell address such as "A1" or "iv65536": one or two
// column letters (A..IV, either case) followed by the row number 1..65536
// without leading zeros or signs. Returns nullopt for anything else.
std::optional<CellPosition> parseCellAddress(std::string_view address);

// The address of a position in capital letters, e.g. {0, 3} gives "D1".
std::string cellAddress(CellPosition position);

} // namespace velmora::roster
