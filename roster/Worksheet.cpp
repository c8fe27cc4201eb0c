#include "roster/Worksheet.h"

namespace velmora::roster {
namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
int letterValue(char c) { return (c >= 'a' ? c - 'a' : c - 'A') + 1; }

} // namespace

std::optional<CellPosition> parseCellAddress(std::string_view address)
{
    std::size_t letters = 0;
    while (letters < address.size() && isLetter(address[letters]))
        ++letters;
    if (letters == 0 || letters > 2)
        return std::nullopt;
    std::uint32_t column = 0;
    for (std::size_t i = 0; i < letters; ++i)
        column = column * 26 + static_cast<std::uint32_t>(letterValue(address[i]));

    const std::string_view digits = address.substr(letters);
    if (digits.empty() || digits.size() > 5 || digits[0] == '0')
        return std::nullopt;
    std::uint32_t row = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        row = row * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (column > MAX_COLUMNS || row > MAX_ROWS)
        return std::nullopt;
    return CellPosition{static_cast<std::uint16_t>(row - 1),
                        static_cast<std::uint16_t>(column - 1)};
}

std::string cellAddress(CellPosition position)
{
    std::string address;
    const unsigned column = position.column;
    if (column >= 26)
        address.push_back(static_cast<char>('A' + column / 26 - 1));
    address.push_back(static_cast<char>('A' + column % 26));
    return address + std::to_string(position.row + 1u);
}

} // namespace velmora::roster
