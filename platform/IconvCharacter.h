#pragma once

// One character at a time through POSIX iconv, for the GBK conversions of
// systems other than Windows.

#include <iconv.h>

#include <string>
#include <string_view>

namespace velmora::platform {

class IconvCharacter {
public:
    // A converter from the code page `from` to `to`. When the C library has
    // none, this is said once per pair of code pages on the standard error
    // stream (the program's log), and every conversion fails.
    IconvCharacter(const char* to, const char* from);
    ~IconvCharacter();
    IconvCharacter(const IconvCharacter&) = delete;
    IconvCharacter& operator=(const IconvCharacter&) = delete;

    // Appends the converted form of the one whole character `in`; false,
    // appending nothing, when the target cannot hold it exactly. A conversion
    // iconv counts as inexact (some C libraries write "*" or a look-alike
    // letter) is no conversion: the callers then write "?", as Windows does.
    bool convert(std::string_view in, std::string& out);

    // Whether the C library has the converter.
    bool available() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

private:
    iconv_t m_cd;
};

} // namespace velmora::platform
