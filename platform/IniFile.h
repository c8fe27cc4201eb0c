#pragma once

// Reading and writing one item of a Windows INI file kept as raw bytes
// (GBK text), the way the platform's own profile functions treat it: section
// and key names match without regard to ASCII case, blanks around names and
// values are ignored, and a write changes only the item's own line, so every
// other section, key, comment and line break of the file stays as it was.

#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// The value of `key` in `section`, blanks trimmed, or nullopt when the
// section or the key is missing. The first matching section and key win.
std::optional<std::string> iniRead(std::string_view file, std::string_view section,
                                   std::string_view key);

// `file` with `key` in `section` set to `value`: the key's line is replaced
// in place; a missing key is added after the section's last item; a missing
// section is added at the end of the file. New lines end with CR LF.
std::string iniWrite(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value);

} // namespace velmora::platform
