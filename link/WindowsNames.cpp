#include "link/WindowsNames.h"

#include <array>
#include <cctype>

namespace velmora::link {
namespace {

constexpr std::string_view REFUSED_CHARACTERS = "|?*<>\"";
constexpr std::string_view FULL_WIDTH_FULL_STOP = "\xEF\xBC\x8E";  // U+FF0E
constexpr std::string_view IDEOGRAPHIC_BLANK = "\xE3\x80\x80";     // U+3000

// The UTF-8 form of the full-width counterpart of the ASCII character `c`
// ("!" .. "~" map to U+FF01 .. U+FF5E).
void appendFullWidth(std::string& out, char c)
{
    const unsigned code = 0xFF01u + static_cast<unsigned char>(c) - 0x21u;
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
}

// U+2400 + c, the visible picture of a control character.
void appendControlPicture(std::string& out, char c)
{
    const unsigned code = 0x2400u + static_cast<unsigned char>(c);
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
}

bool equalsIgnoringCase(std::string_view text, std::string_view upper)
{
    if (text.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i])
            return false;
    }
    return true;
}

// The length of the device word `level` starts with, or 0. Windows takes a
// level as a device when what precedes its first dot, less trailing blanks,
// is a device word.
std::size_t deviceWordLength(std::string_view level)
{
    std::string_view base = level.substr(0, level.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    static constexpr std::array<std::string_view, 4> PLAIN = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view word : PLAIN) {
        if (equalsIgnoringCase(base, word))
            return base.size();
    }
    if (base.size() < 4 || !(equalsIgnoringCase(base.substr(0, 3), "COM")
                             || equalsIgnoringCase(base.substr(0, 3), "LPT")))
        return 0;
    const std::string_view digit = base.substr(3);
    const bool ascii = digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9';
    // ¹ ² ³ in UTF-8: C2 B9, C2 B2, C2 B3.
    const bool superscript = digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
    return ascii || superscript ? base.size() : 0;
}

} // namespace

std::string storableLevel(std::string_view utf8Level)
{
    std::string out;
    out.reserve(utf8Level.size() + 8);
    const std::size_t device = deviceWordLength(utf8Level);
    for (std::size_t i = 0; i < utf8Level.size(); ++i) {
        const char c = utf8Level[i];
        const bool last = i + 1 == utf8Level.size();
        if (i < device && std::isalnum(static_cast<unsigned char>(c)))
            appendFullWidth(out, c);
        else if (REFUSED_CHARACTERS.find(c) != std::string_view::npos)
            appendFullWidth(out, c);
        else if (c > 0 && c < 0x20)
            appendControlPicture(out, c);
        else if (last && c == '.')
            out += FULL_WIDTH_FULL_STOP;
        else if (last && c == ' ')
            out += IDEOGRAPHIC_BLANK;
        else
            out.push_back(c);
    }
    return out;
}

bool isStorableLevel(std::string_view utf8Level)
{
    return storableLevel(utf8Level) == utf8Level;
}

} // namespace velmora::link
