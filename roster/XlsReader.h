#pragma once

// Reads the first worksheet of an .xls workbook through FreeXL.

#include "roster/Worksheet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::roster {

// The cell texts of worksheet 1 of the .xls file at `path` (UTF-8 file
// name), as a spreadsheet's General format shows them: texts as they are,
// integers without ".0", other numbers by generalNumberText(), dates and
// times as "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS". Empty cells are
// left out; formats are not read. Returns nullopt when the file is missing,
// is no BIFF workbook, is protected by a password, or has no worksheet.
// A workbook whose container FreeXL would misread (a Workbook stream in the
// mini stream away from its start, for one) is read from a fresh container
// around its Workbook stream, a file in the system's temporary folder that
// is removed again before this returns.
// The file's bytes are read once; FreeXL, which opens files only by name,
// is given a private copy of those checked bytes in the system's temporary
// folder, removed again before this returns.
std::optional<Worksheet> readFirstWorksheet(const std::string& path);

// The same for the bytes of a workbook file.
std::optional<Worksheet> readFirstWorksheet(const std::vector<std::uint8_t>& bytes);

// A number in the General format: integers below 10^15 in full digits,
// anything else with at most 15 significant digits, in exponent form
// ("1.10101199001011E+17") when the exponent is below -4 or above 14.
// Not-a-number and infinities give "#NUM!".
std::string generalNumberText(double value);

} // namespace velmora::roster
