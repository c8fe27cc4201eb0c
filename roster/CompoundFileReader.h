#pragma once

// Our own reading of a compound file (the container of an .xls workbook), as
// the format lays it out, for workbooks whose container FreeXL misreads: a
// Workbook stream in the mini stream at any place, a root entry of another
// name, a Workbook entry beyond the first directory sector.

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::roster {

// The bytes of the stream named "Workbook" (else "Book"; names compared
// without regard to case) anywhere in the directory of `file`, found through
// the FAT, and for a stream below the header's mini-stream cutoff through
// the MiniFAT and the root entry's mini stream. Sector sizes of 512 and 4096
// bytes. Returns nullopt when the file is no compound file, has no such
// stream, or any sector, chain or size it needs lies outside the file;
// never reads outside `file` and never holds more than its size in a chain.
std::optional<std::vector<std::uint8_t>> readWorkbookStream(const std::vector<std::uint8_t>& file);

} // namespace velmora::roster
