#pragma once

#include <filesystem>

namespace velmora::platform {

// A fresh name in the target's directory for the file that replaces it.
std::filesystem::path temporarySibling(const std::filesystem::path& target);

} // namespace velmora::platform
