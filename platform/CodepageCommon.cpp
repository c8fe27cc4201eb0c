#include "platform/Codepage.h"

#include "platform/GbkCharacter.h"
#include "platform/Utf8.h"

#include <cstdint>

namespace velmora::platform {
namespace {

bool inRange(char c, unsigned low, unsigned high)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= low && byte <= high;
}

bool isFourByteLead(std::string_view code) { return code.size() >= 2 && inRange(code[1], 0x30, 0x39); }

// Whether `code` (at most four bytes) has the shape of a four-byte code so
// far: 81..FE, 30..39, 81..FE, 30..39.
bool fitsFourByteShape(std::string_view code)
{
    static constexpr unsigned LOW[4] = {0x81, 0x30, 0x81, 0x30};
    static constexpr unsigned HIGH[4] = {0xFE, 0x39, 0xFE, 0x39};
    for (std::size_t i = 0; i < code.size() && i < 4; ++i)
        if (!inRange(code[i], LOW[i], HIGH[i]))
            return false;
    return true;
}

// A four-byte code's place counted from 81 30 81 30, each byte running
// through its range in turn (126, 10, 126 and 10 values).
std::uint32_t fourByteIndex(std::string_view code)
{
    const auto at = [code](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(code[i])); };
    return (((at(0) - 0x81) * 10 + (at(1) - 0x30)) * 126 + (at(2) - 0x81)) * 10 + (at(3) - 0x30);
}

// 90 30 81 30 is U+10000; from there on every code point up to U+10FFFF
// (E3 32 9A 35) follows in order.
constexpr std::uint32_t FIRST_SUPPLEMENTARY_INDEX = (0x90 - 0x81) * 10 * 126 * 10;

char32_t fourByteCharacter(std::string_view code)
{
    const std::uint32_t index = fourByteIndex(code);
    if (index < FIRST_SUPPLEMENTARY_INDEX)
        return gb18030Character(code);
    const std::uint32_t cp = 0x10000 + (index - FIRST_SUPPLEMENTARY_INDEX);
    return cp <= 0x10FFFF ? static_cast<char32_t>(cp) : REPLACEMENT_CHARACTER;
}

} // namespace

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

std::string gb18030ToUtf8(std::string_view gb18030)
{
    std::string out;
    out.reserve(gb18030.size() * 3 / 2);
    for (std::size_t pos = 0; pos < gb18030.size();) {
        const std::string_view rest = gb18030.substr(pos);
        if (static_cast<unsigned char>(rest[0]) < 0x80) {
            out.push_back(rest[0]);
            ++pos;
            continue;
        }
        const std::size_t whole = isFourByteLead(rest) ? 4 : 2;
        if (rest.size() < whole && fitsFourByteShape(rest))
            break; // a character cut off at the end
        if (whole == 4 && fitsFourByteShape(rest.substr(0, 4)) && rest.size() >= 4) {
            appendUtf8(out, fourByteCharacter(rest.substr(0, 4)));
            pos += 4;
        } else if (whole == 2 && inRange(rest[0], 0x81, 0xFE) && gbkCharLength(rest, 0) == 2) {
            appendUtf8(out, gb18030Character(rest.substr(0, 2)));
            pos += 2;
        } else {
            appendUtf8(out, REPLACEMENT_CHARACTER);
            ++pos;
        }
    }
    return out;
}

bool hasGb18030()
{
    return gb18030Converter();
}

} // namespace velmora::platform
