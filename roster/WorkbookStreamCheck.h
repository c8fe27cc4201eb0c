#pragma once

#include <cstdint>
#include <vector>

namespace velmora::roster {

// Whether `stream` (a Workbook stream as workbookStreamOf() returns it) is a
// BIFF5 or BIFF8 record sequence FreeXL reads safely and right: records
// inside the stream and at most 8224 bytes long, a BOF first and after every
// EOF, every field FreeXL reads inside its record (the strings of
// BOUNDSHEET, FORMAT and LABEL, and the SST with its CONTINUE records walked
// as FreeXL walks them), each BOUNDSHEET at its own BOF, one DIMENSIONS per
// sheet and sheet sizes FreeXL can hold, no date cell FreeXL would count
// out day by day for seconds, and no password protection. FreeXL trusts all
// of these and reads past its record buffer, runs out of memory, stalls, or
// shows garbage when they are damaged. A false result means "unreadable".
bool isSoundWorkbookStream(const std::vector<std::uint8_t>& stream);

} // namespace velmora::roster
