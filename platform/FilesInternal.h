#pragma once

#include <cstddef>
#include <filesystem>

namespace velmora::platform {

// A fresh name in the target's directory for the file that replaces it.
std::filesystem::path temporarySibling(const std::filesystem::path& target);

// Called by each side's replaceFile after writing `bytes`: waits as long as
// a disk at the rate set with setWriteRateLimit would take.
void throttleWrite(std::size_t bytes);

} // namespace velmora::platform
