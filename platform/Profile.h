#pragma once

// One item of a Windows INI file such as "set.ini", read and written the way
// the platform's profile functions do it. Section, key and value are GBK
// text. On Windows these are GetPrivateProfileStringA and
// WritePrivateProfileStringA, which take that text in the ANSI code page
// (936 on the PCs the program is made for); elsewhere our own reader and
// writer with the same rules.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// The item's value with blanks trimmed, or nullopt when the file, the section
// or the key is missing or the file cannot be read.
std::optional<std::string> readProfileString(const std::filesystem::path& file,
                                             std::string_view section, std::string_view key);

// Sets the item, changing nothing else in the file and creating the file when
// it is missing. Returns whether the item was written.
bool writeProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value);

} // namespace velmora::platform
