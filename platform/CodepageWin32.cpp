// Single characters between Unicode and GBK, and from GB18030, through the
// Windows functions WideCharToMultiByte and MultiByteToWideChar, with code
// pages 936 and 54936 named explicitly so the result does not depend on the
// PC's own ANSI code page.

#include "platform/GbkCharacter.h"
#include "platform/Utf8.h"

#include <windows.h>

namespace velmora::platform {
namespace {

constexpr UINT GBK_CODE_PAGE = 936;
constexpr UINT GB18030_CODE_PAGE = 54936;

// The one character the code page makes of `bytes`, or U+FFFD.
char32_t wideCharacter(UINT codePage, std::string_view bytes)
{
    wchar_t units[2];
    const int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                          static_cast<int>(bytes.size()), units, 2);
    if (count == 1)
        return units[0];
    if (count == 2 && units[0] >= 0xD800 && units[0] < 0xDC00 && units[1] >= 0xDC00
        && units[1] < 0xE000)
        return 0x10000 + ((static_cast<char32_t>(units[0]) - 0xD800) << 10)
            + (static_cast<char32_t>(units[1]) - 0xDC00);
    return REPLACEMENT_CHARACTER;
}

} // namespace

// No best-fit mapping: a character the code page cannot hold becomes "?"
// exactly, never a look-alike such as a plain "\" or "." that would change
// where a photo is filed.
bool appendGbkCharacter(char32_t cp, std::string& out)
{
    wchar_t units[2];
    int count = 1;
    if (cp < 0x10000) {
        units[0] = static_cast<wchar_t>(cp);
    } else {
        units[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        count = 2;
    }
    char buffer[8];
    BOOL usedDefault = FALSE;
    const int written = WideCharToMultiByte(GBK_CODE_PAGE, WC_NO_BEST_FIT_CHARS, units, count,
                                            buffer, sizeof buffer, nullptr, &usedDefault);
    if (written <= 0 || usedDefault)
        return false;
    out.append(buffer, static_cast<std::size_t>(written));
    return true;
}

char32_t gbkPairCharacter(std::string_view pair)
{
    return wideCharacter(GBK_CODE_PAGE, pair);
}

char32_t gb18030Character(std::string_view code)
{
    if (!gb18030Converter())
        return code.size() == 2 ? gbkPairCharacter(code) : REPLACEMENT_CHARACTER;
    return wideCharacter(GB18030_CODE_PAGE, code);
}

// Windows has code page 54936 since XP; Wine 8 does not.
bool gb18030Converter()
{
    static const bool valid = IsValidCodePage(GB18030_CODE_PAGE) != 0;
    return valid;
}

} // namespace velmora::platform
