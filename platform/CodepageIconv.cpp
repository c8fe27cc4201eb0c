// Code-page conversion through POSIX iconv. UTF-8 is decoded here rather than
// by iconv so that invalid input is replaced the way the phone-facing code
// expects (one U+FFFD per bad sequence) instead of stopping the conversion.

#include "platform/Codepage.h"
#include "platform/Utf8.h"

#include <iconv.h>

namespace velmora::platform {
namespace {

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
        if (cp == REPLACEMENT_CHARACTER || !toGbk.convert(character, out))
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
            appendUtf8(out, REPLACEMENT_CHARACTER);
        pos += len;
    }
    return out;
}

} // namespace velmora::platform
