// Single characters between Unicode and GBK, and from GB18030, through
// POSIX iconv.

#include "platform/GbkCharacter.h"
#include "platform/IconvCharacter.h"
#include "platform/Utf8.h"

namespace velmora::platform {

// Characters cross as UTF-32LE, four bytes each, with no UTF-8 step between.
bool appendGbkCharacter(char32_t cp, std::string& out)
{
    // One converter per thread: opening one per character is slow, and a
    // converter keeps state that threads must not share.
    thread_local IconvCharacter toGbk("GBK", "UTF-32LE");
    const char utf32[4] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8 & 0xFF),
                           static_cast<char>(cp >> 16 & 0xFF), static_cast<char>(cp >> 24)};
    return toGbk.convert(std::string_view(utf32, 4), out);
}

namespace {

// The one character that `converter` makes of `code`, or U+FFFD.
char32_t utf32Character(IconvCharacter& converter, std::string_view code)
{
    std::string utf32;
    if (!converter.convert(code, utf32) || utf32.size() != 4)
        return REPLACEMENT_CHARACTER;
    char32_t cp = 0;
    for (int i = 3; i >= 0; --i)
        cp = (cp << 8) | static_cast<unsigned char>(utf32[static_cast<std::size_t>(i)]);
    return cp;
}

IconvCharacter& fromGb18030()
{
    thread_local IconvCharacter converter("UTF-32LE", "GB18030");
    return converter;
}

} // namespace

char32_t gbkPairCharacter(std::string_view pair)
{
    thread_local IconvCharacter toUtf32("UTF-32LE", "GBK");
    return utf32Character(toUtf32, pair);
}

char32_t gb18030Character(std::string_view code)
{
    if (!gb18030Converter())
        return code.size() == 2 ? gbkPairCharacter(code) : REPLACEMENT_CHARACTER;
    return utf32Character(fromGb18030(), code);
}

bool gb18030Converter()
{
    return fromGb18030().available();
}

} // namespace velmora::platform
