#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::roster {

// Puts `bytes` into the file at `path` (UTF-8 file name), replacing it whole
// or not at all: the bytes go to a new file beside it, which is flushed,
// closed and only then renamed over `path`. Returns false when any step
// failed; the new file is then removed and `path` is as it was.
bool replaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace velmora::roster
