#include "platform/Utf8.h"

namespace velmora::platform {

std::string_view untilNul(std::string_view text)
{
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

char32_t decodeUtf8(std::string_view text, std::size_t& pos)
{
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        ++pos;
        return REPLACEMENT_CHARACTER;
    }
    char32_t cp = b0 & (0x3F >> extra);
    std::size_t next = pos + 1;
    for (int i = 0; i < extra; ++i, ++next) {
        if (next >= text.size())
            break;
        const auto b = static_cast<unsigned char>(text[next]);
        if (b < (i == 0 ? lo : 0x80) || b > (i == 0 ? hi : 0xBF))
            break;
        cp = (cp << 6) | (b & 0x3F);
        if (i == extra - 1) {
            pos = next + 1;
            return cp;
        }
    }
    pos = next;
    return REPLACEMENT_CHARACTER;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace velmora::platform
