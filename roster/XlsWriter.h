#pragma once

// Writes a one-sheet workbook in the Excel 97-2003 format (.xls): a BIFF8
// Workbook stream inside a compound file.

#include "roster/Worksheet.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::roster {

// The BIFF8 Workbook stream for a workbook whose only worksheet, "Sheet1",
// holds `sheet`'s cells as texts. Never fails.
std::vector<std::uint8_t> workbookStream(const Worksheet& sheet);

// The whole .xls file: workbookStream(sheet) in a compound file. Returns
// nullopt when the stream exceeds what a compound file without extra
// allocation sectors can hold (about 7 MB, far beyond 65536 rows of roster).
std::optional<std::vector<std::uint8_t>> xlsFile(const Worksheet& sheet);

} // namespace velmora::roster
