#include "platform/IconvCharacter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace velmora::platform {
namespace {

const iconv_t NO_CONVERTER = reinterpret_cast<iconv_t>(-1);

// Without a GBK converter every Chinese name would turn into "?" and photos
// would meet in one file; the log says why, once, not at every character.
void reportMissing(const char* to, const char* from, int error)
{
    static std::mutex mutex;
    static std::set<std::string> reported;
    const std::lock_guard lock(mutex);
    if (!reported.insert(std::string(from) + " -> " + to).second)
        return;
    std::fprintf(stderr, "velmora: no text converter from %s to %s (%s); such text becomes \"?\"\n", from,
                 to, std::strerror(error));
}

} // namespace

IconvCharacter::IconvCharacter(const char* to, const char* from) : m_cd(iconv_open(to, from))
{
    if (m_cd == NO_CONVERTER)
        reportMissing(to, from, errno);
}

IconvCharacter::~IconvCharacter()
{
    if (m_cd != NO_CONVERTER)
        iconv_close(m_cd);
}

bool IconvCharacter::convert(std::string_view in, std::string& out)
{
    if (m_cd == NO_CONVERTER)
        return false;
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    // The result counts the characters converted inexactly; -1 is a failure.
    const std::size_t inexact = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (inexact != 0 || inLeft != 0)
        return false;
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    return true;
}

} // namespace velmora::platform
