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

bool appendGbkCharacter(char32_t cp, std::string& out)
{
    // One converter per thread: opening one per character is slow, and a
    // converter keeps state that threads must not share.
    thread_local Iconv toGbk("GBK", "UTF-8");
    std::string character;
    appendUtf8(character, cp);
    return toGbk.convert(character, out);
}

char32_t gbkPairCharacter(std::string_view pair)
{
    thread_local Iconv toUtf8("UTF-8", "GBK");
    std::string utf8;
    if (!toUtf8.convert(pair, utf8) || utf8.empty())
        return REPLACEMENT_CHARACTER;
    std::size_t pos = 0;
    return decodeUtf8(utf8, pos);
}

} // namespace velmora::platform
