#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::roster {

// The Workbook stream of `file` (a compound file, the container of an .xls
// workbook) exactly as FreeXL will read it, or nullopt when the container is
// damaged in a way FreeXL trusts: signature and sector size, FAT and DIFAT
// sectors inside the file and listed once, a directory chain without loops,
// directory entry names that fit their 64-byte field, a root entry first,
// a "Workbook" (or "Book") entry in the first directory sector, and a stream
// whose sector chain holds exactly its declared size (from the mini stream,
// which FreeXL finds only under a root named "Root Entry", when the stream
// is below the mini-stream cutoff). The root's name and the header's minor
// version are no concern otherwise: writers differ in both. FreeXL reads past its
// buffers, or loops, when any of these is damaged, so a workbook the user
// picks is checked here before FreeXL sees it.
std::optional<std::vector<std::uint8_t>> workbookStreamOf(const std::vector<std::uint8_t>& file);

// Whether workbookStreamOf(file) finds a stream. A false result means
// "unreadable".
bool isSoundCompoundFile(const std::vector<std::uint8_t>& file);

} // namespace velmora::roster
