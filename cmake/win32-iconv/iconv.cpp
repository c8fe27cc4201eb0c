#include "iconv.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <windows.h>

struct velmora_iconv {
    UINT codePage;
};

namespace {

constexpr UINT UTF16LE = 1200;

// The Windows code page of an iconv name, or 0 for a name not served here.
UINT codePageOf(const char* name)
{
    if (std::strcmp(name, "ASCII") == 0)
        return 20127;
    if (std::strcmp(name, "MacRoman") == 0)
        return 10000;
    if (std::strcmp(name, "UTF-16LE") == 0)
        return UTF16LE;
    if (std::strncmp(name, "CP", 2) == 0) {
        char* end = nullptr;
        const unsigned long number = std::strtoul(name + 2, &end, 10);
        if (end != name + 2 && *end == '\0' && number > 0 && number < 65536
            && (number == UTF16LE || IsValidCodePage(static_cast<UINT>(number))))
            return static_cast<UINT>(number);
    }
    return 0;
}

} // namespace

extern "C" iconv_t iconv_open(const char* to, const char* from)
{
    const UINT codePage = codePageOf(from);
    if (std::strcmp(to, "UTF-8") != 0 || codePage == 0) {
        errno = EINVAL;
        return reinterpret_cast<iconv_t>(-1);
    }
    return new velmora_iconv{codePage};
}

extern "C" size_t iconv(iconv_t cd, char** in, size_t* inLeft, char** out, size_t* outLeft)
{
    if (in == nullptr || *in == nullptr || *inLeft == 0)
        return 0; // no shift state to reset
    if (*inLeft > 0x7FFFFFFF) {
        errno = E2BIG;
        return static_cast<size_t>(-1);
    }
    std::wstring wide;
    if (cd->codePage == UTF16LE) {
        if (*inLeft % 2 != 0) {
            errno = EINVAL;
            return static_cast<size_t>(-1);
        }
        wide.resize(*inLeft / 2);
        std::memcpy(wide.data(), *in, *inLeft);
    } else {
        const int length = static_cast<int>(*inLeft);
        const int units = MultiByteToWideChar(cd->codePage, MB_ERR_INVALID_CHARS, *in, length,
                                              nullptr, 0);
        if (units <= 0) {
            errno = EILSEQ;
            return static_cast<size_t>(-1);
        }
        wide.resize(static_cast<size_t>(units));
        MultiByteToWideChar(cd->codePage, MB_ERR_INVALID_CHARS, *in, length, wide.data(), units);
    }
    const int wideLength = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), wideLength,
                                          nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        errno = EILSEQ;
        return static_cast<size_t>(-1);
    }
    if (static_cast<size_t>(bytes) > *outLeft) {
        errno = E2BIG;
        return static_cast<size_t>(-1);
    }
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), wideLength, *out, bytes,
                        nullptr, nullptr);
    *in += *inLeft;
    *inLeft = 0;
    *out += bytes;
    *outLeft -= static_cast<size_t>(bytes);
    return 0;
}

extern "C" int iconv_close(iconv_t cd)
{
    delete cd;
    return 0;
}
