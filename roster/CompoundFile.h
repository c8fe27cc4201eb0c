#pragma once

// The compound file (structured storage, version 3) that holds an .xls
// file's Workbook stream.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::roster {

// A compound file with 512-byte sectors whose root storage holds one stream
// named `name` (at most 31 UTF-16 units) with `stream`'s bytes. Streams
// shorter than 4096 bytes are padded with zero bytes to 4096, so that they
// live in ordinary sectors rather than in the mini stream, as spreadsheet
// writers do with short Workbook streams. Returns nullopt when the stream
// needs more FAT sectors than the header can list (109, about 7 MB).
std::optional<std::vector<std::uint8_t>> compoundFile(const std::u16string& name,
                                                      std::vector<std::uint8_t> stream);

} // namespace velmora::roster
