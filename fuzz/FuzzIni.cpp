// The settings reader and writer on any bytes a set.ini could hold: no crash,
// and a written item always reads back.

#include "platform/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const std::string section = "\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC";
    const std::string key = "\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC";
    (void)velmora::platform::iniRead(file, section, key);
    const std::string written = velmora::platform::iniWrite(file, section, key, "/photos/");
    if (velmora::platform::iniRead(written, section, key) != std::optional<std::string>("/photos/"))
        std::abort();
    return 0;
}
