// Code-page conversion through POSIX iconv. UTF-8 is decoded here rather than
// by iconv so that invalid input is replaced the way the phone-facing code
// expects (one U+FFFD per bad sequence) instead of stopping the conversion.

#include "platform/Codepage.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace velmora::platform {
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts one whole character; false when the target cannot hold it.
    bool convert(std::string_view in, std::string& out)
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return false;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)
            || inLeft != 0)
            return false;
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        return true;
    }

private:
    iconv_t m_cd;
};

std::string_view untilNul(std::string_view text)
{
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// Decodes one UTF-8 sequence at text[pos] and advances pos past it. An
// invalid sequence gives U+FFFD and consumes its longest valid prefix, at
// least one byte (the Unicode "maximal subpart" rule). The second byte's
// allowed range excludes overlong forms, surrogates and values past U+10FFFF.
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
        return REPLACEMENT;
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
    return REPLACEMENT;
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

} // namespace

std::string utf8ToGbk(std::string_view utf8)
{
    utf8 = untilNul(utf8);
    std::string out;
    out.reserve(utf8.size());
    Iconv toGbk("GBK", "UTF-8");
    std::string character;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = decodeUtf8(utf8, pos);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        character.clear();
        appendUtf8(character, cp);
        if (cp == REPLACEMENT || !toGbk.convert(character, out))
            out.push_back('?');
    }
    return out;
}

std::string gbkToUtf8(std::string_view gbk)
{
    gbk = untilNul(gbk);
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    Iconv toUtf8("UTF-8", "GBK");
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
        if (len == 1 || !toUtf8.convert(gbk.substr(pos, len), out))
            appendUtf8(out, REPLACEMENT);
        pos += len;
    }
    return out;
}

} // namespace velmora::platform
