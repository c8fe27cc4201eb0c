#pragma once

#include <cstdint>
#include <vector>

namespace velmora::roster {

// Whether `file` is a structurally sound compound file (the container of an
// .xls workbook): signature, sector sizes, FAT and DIFAT entries inside the
// file, a directory chain without loops, and directory entries whose name
// lengths fit their 64-byte name field. FreeXL trusts these fields and reads
// past its buffers when they are damaged, so a workbook the user picks is
// checked here before FreeXL sees it. A false result means "unreadable".
bool isSoundCompoundFile(const std::vector<std::uint8_t>& file);

} // namespace velmora::roster
