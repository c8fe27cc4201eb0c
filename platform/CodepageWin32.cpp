// Single characters between Unicode and GBK through the Windows functions
// WideCharToMultiByte and MultiByteToWideChar, with code page 936 named
// explicitly so the result does not depend on the PC's own ANSI code page.

#include "platform/GbkCharacter.h"
#include "platform/Utf8.h"

#include <windows.h>

namespace velmora::platform {
namespace {

constexpr UINT GBK_CODE_PAGE = 936;

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
    wchar_t units[2];
    const int count = MultiByteToWideChar(GBK_CODE_PAGE, MB_ERR_INVALID_CHARS, pair.data(),
                                          static_cast<int>(pair.size()), units, 2);
    if (count == 1)
        return units[0];
    if (count == 2 && units[0] >= 0xD800 && units[0] < 0xDC00 && units[1] >= 0xDC00
        && units[1] < 0xE000)
        return 0x10000 + ((static_cast<char32_t>(units[0]) - 0xD800) << 10)
            + (static_cast<char32_t>(units[1]) - 0xDC00);
    return REPLACEMENT_CHARACTER;
}

} // namespace velmora::platform
