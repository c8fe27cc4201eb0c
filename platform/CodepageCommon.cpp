#include "platform/Codepage.h"

#include "platform/GbkCharacter.h"
#include "platform/Utf8.h"

namespace velmora::platform {

std::size_t gbkCharLength(std::string_view text, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x81 || lead > 0xFE || pos + 1 >= text.size())
        return 1;
    const auto trail = static_cast<unsigned char>(text[pos + 1]);
    return (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) ? 2 : 1;
}

std::size_t gbkFind(std::string_view text, std::string_view needle, std::size_t from)
{
    // Walk character boundaries from the start: a boundary depends on every
    // byte before it, so `from` is only honoured once the walk reaches it.
    std::size_t pos = 0;
    while (pos < from && pos < text.size())
        pos += gbkCharLength(text, pos);
    if (needle.empty())
        return pos <= text.size() ? pos : std::string_view::npos;
    for (; pos + needle.size() <= text.size(); pos += gbkCharLength(text, pos)) {
        if (text.compare(pos, needle.size(), needle) == 0)
            return pos;
    }
    return std::string_view::npos;
}

std::size_t gbkFindLast(std::string_view text, std::string_view needle)
{
    std::size_t found = std::string_view::npos;
    for (std::size_t pos = gbkFind(text, needle); pos != std::string_view::npos;
         pos = gbkFind(text, needle, pos + 1)) {
        found = pos;
        if (needle.empty())
            break;
    }
    return found;
}

std::string gbkReplaceAll(std::string_view text, std::string_view needle,
                          std::string_view replacement)
{
    if (needle.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text.compare(pos, needle.size(), needle) == 0) {
            out.append(replacement);
            pos += needle.size();
            continue;
        }
        const std::size_t len = gbkCharLength(text, pos);
        out.append(text.substr(pos, len));
        pos += len;
    }
    return out;
}

bool gbkHolds(char32_t cp)
{
    std::string bytes;
    return cp < 0x80 || (cp != REPLACEMENT_CHARACTER && appendGbkCharacter(cp, bytes));
}

GbkConversion convertUtf8ToGbk(std::string_view utf8)
{
    utf8 = untilNul(utf8);
    GbkConversion result;
    std::string& out = result.gbk;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const char32_t cp = decodeUtf8(utf8, pos);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp == REPLACEMENT_CHARACTER && utf8.substr(start, pos - start) != "\xEF\xBF\xBD") {
            result.invalidUtf8 = true;
            out.push_back('?');
        } else if (!appendGbkCharacter(cp, out)) {
            result.missingCharacters = true;
            out.push_back('?');
        }
    }
    return result;
}

std::string utf8ToGbk(std::string_view utf8)
{
    return convertUtf8ToGbk(utf8).gbk;
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
        // A single byte above 0x7F is no GBK character (Windows would take
        // 0x80 as the euro sign; the phone's text never holds it).
        appendUtf8(out, len == 2 ? gbkPairCharacter(gbk.substr(pos, 2)) : REPLACEMENT_CHARACTER);
        pos += len;
    }
    return out;
}

} // namespace velmora::platform
