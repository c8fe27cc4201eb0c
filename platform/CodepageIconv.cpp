// Single characters between Unicode and GBK through POSIX iconv.

#include "platform/GbkCharacter.h"
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

// Characters cross as UTF-32LE, four bytes each, with no UTF-8 step between.
bool appendGbkCharacter(char32_t cp, std::string& out)
{
    // One converter per thread: opening one per character is slow, and a
    // converter keeps state that threads must not share.
    thread_local Iconv toGbk("GBK", "UTF-32LE");
    const char utf32[4] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8 & 0xFF),
                           static_cast<char>(cp >> 16 & 0xFF), static_cast<char>(cp >> 24)};
    return toGbk.convert(std::string_view(utf32, 4), out);
}

char32_t gbkPairCharacter(std::string_view pair)
{
    thread_local Iconv toUtf32("UTF-32LE", "GBK");
    std::string utf32;
    if (!toUtf32.convert(pair, utf32) || utf32.size() != 4)
        return REPLACEMENT_CHARACTER;
    char32_t cp = 0;
    for (int i = 3; i >= 0; --i)
        cp = (cp << 8) | static_cast<unsigned char>(utf32[static_cast<std::size_t>(i)]);
    return cp;
}

} // namespace velmora::platform
