#pragma once

#include <cstdint>
#include <vector>

namespace velmora::roster {

// Whether `stream` (a Workbook stream as workbookStreamOf() returns it) is a
// BIFF5 or BIFF8 record sequence FreeXL reads safely: records inside the
// stream and at most 8224 bytes long, a BOF first and after every EOF,
// every field FreeXL reads inside its record (strings of BOUNDSHEET, FORMAT,
// LABEL, and the SST with its CONTINUE records walked as FreeXL walks
// them), BOUNDSHEET positions at a BOF, declared sheet sizes FreeXL can
// hold, no date cell FreeXL would count out day by day for minutes, and no
// password protection. FreeXL trusts all of these and reads past its record
// buffer, runs out of memory, stalls, or shows garbage when they are
// damaged. A false result means "unreadable".
bool isSoundWorkbookStream(const std::vector<std::uint8_t>& stream);

} // namespace velmora::roster
