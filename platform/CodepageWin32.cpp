// Code-page conversion through the Windows functions MultiByteToWideChar and
// WideCharToMultiByte, with code page 936 named explicitly so the result does
// not depend on the PC's own ANSI code page. UTF-8 is decoded by the shared
// decoder rather than by Windows so that a bad byte from the phone becomes
// the same file name on every platform.

#include "platform/Codepage.h"
#include "platform/Utf8.h"

#include <windows.h>

namespace velmora::platform {
namespace {

constexpr UINT GBK_CODE_PAGE = 936;

int toUtf16(char32_t cp, wchar_t (&units)[2])
{
    if (cp < 0x10000) {
        units[0] = static_cast<wchar_t>(cp);
        return 1;
    }
    cp -= 0x10000;
    units[0] = static_cast<wchar_t>(0xD800 + (cp >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    return 2;
}

char32_t fromUtf16(const wchar_t* units, int count)
{
    if (count == 2 && units[0] >= 0xD800 && units[0] < 0xDC00 && units[1] >= 0xDC00
        && units[1] < 0xE000)
        return 0x10000 + ((static_cast<char32_t>(units[0]) - 0xD800) << 10)
            + (static_cast<char32_t>(units[1]) - 0xDC00);
    return count == 1 ? static_cast<char32_t>(units[0]) : REPLACEMENT_CHARACTER;
}

// One character into code page 936. No best-fit mapping: a character the
// code page cannot hold becomes "?" exactly, never a look-alike such as a
// plain "\" or "." that would change where a photo is filed.
bool appendGbk(char32_t cp, std::string& out)
{
    wchar_t units[2];
    const int count = toUtf16(cp, units);
    char buffer[8];
    BOOL usedDefault = FALSE;
    const int written = WideCharToMultiByte(GBK_CODE_PAGE, WC_NO_BEST_FIT_CHARS, units, count,
                                            buffer, sizeof buffer, nullptr, &usedDefault);
    if (written <= 0 || usedDefault)
        return false;
    out.append(buffer, static_cast<std::size_t>(written));
    return true;
}

} // namespace

std::string utf8ToGbk(std::string_view utf8)
{
    utf8 = untilNul(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = decodeUtf8(utf8, pos);
        if (cp < 0x80)
            out.push_back(static_cast<char>(cp));
        else if (cp == REPLACEMENT_CHARACTER || !appendGbk(cp, out))
            out.push_back('?');
    }
    return out;
}

std::string gbkToUtf8(std::string_view gbk)
{
    gbk = untilNul(gbk);
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (std::size_t pos = 0; pos < gbk.size();) {
        const auto byte = static_cast<unsigned char>(gbk[pos]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            ++pos;
            continue;
        }
        const std::size_t len = gbkCharLength(gbk, pos);
        if (len == 1 && pos + 1 == gbk.size() && byte >= 0x81 && byte <= 0xFE)
            break; // lead byte whose trail byte was cut off
        // Single bytes above 0x7F are no GBK characters (Windows would take
        // 0x80 as the euro sign; the phone's text never holds it).
        wchar_t units[2];
        const int count = len == 2
            ? MultiByteToWideChar(GBK_CODE_PAGE, MB_ERR_INVALID_CHARS, gbk.data() + pos, 2, units, 2)
            : 0;
        appendUtf8(out, count > 0 ? fromUtf16(units, count) : REPLACEMENT_CHARACTER);
        pos += len;
    }
    return out;
}

} // namespace velmora::platform
