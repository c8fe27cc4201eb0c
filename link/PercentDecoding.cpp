#include "link/PercentDecoding.h"

#include <cstdint>

namespace velmora::link {
namespace {

// The value the phone's hex digit stands for; -2 for a byte that is no hex
// digit, which makes malformed escapes decode to a fixed byte instead of
// being refused.
int digitValue(char byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10;
    return -2;
}

} // namespace

PercentDecoded percentDecode(std::string_view text)
{
    PercentDecoded out;
    out.bytes.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        if (text[pos] != '%') {
            out.bytes.push_back(text[pos]);
            ++pos;
            continue;
        }
        if (pos + 2 >= text.size()) {
            out.endsInsideEscape = true;
            break;
        }
        const int value = 16 * digitValue(text[pos + 1]) + digitValue(text[pos + 2]);
        const int byte = ((value % 256) + 256) % 256;
        if (byte != 0)
            out.bytes.push_back(static_cast<char>(byte));
        pos += 3;
    }
    return out;
}

bool endsInsideUtf8Character(std::string_view bytes)
{
    // Look back at most three bytes for the lead byte of the last character.
    const std::size_t size = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<std::uint8_t>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: the lead is further back
        std::size_t length = 0;
        if (byte >= 0xC2 && byte <= 0xDF)
            length = 2;
        else if (byte >= 0xE0 && byte <= 0xEF)
            length = 3;
        else if (byte >= 0xF0 && byte <= 0xF4)
            length = 4;
        return length > back;
    }
    return false;
}

} // namespace velmora::link
