#include "registry/face/PhotoEnd.h"

#include <cstdint>

namespace velmora::registry {
namespace {

constexpr unsigned char EOI = 0xD9;
constexpr unsigned char SOS = 0xDA;
constexpr std::string_view PNG_SIGNATURE("\x89PNG\r\n\x1A\n", 8);

unsigned byteAt(std::string_view bytes, std::size_t at)
{
    return static_cast<unsigned char>(bytes[at]);
}

std::size_t wordAt(std::string_view bytes, std::size_t at)
{
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

// From just after a scan's header: the position of the marker that ends its
// entropy-coded data, or the end of the bytes.
std::size_t afterScan(std::string_view bytes, std::size_t at)
{
    while (at + 1 < bytes.size()) {
        at = bytes.find('\xFF', at);
        if (at == std::string_view::npos || at + 1 >= bytes.size())
            return bytes.size();
        const unsigned next = byteAt(bytes, at + 1);
        // FF 00 is a stuffed FF, D0-D7 restart markers, FF FF fill.
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
            at += next == 0xFF ? 1 : 2;
            continue;
        }
        return at;
    }
    return bytes.size();
}

PhotoEnd jpegEnd(std::string_view bytes)
{
    std::size_t at = 2;
    while (at + 1 < bytes.size()) {
        if (byteAt(bytes, at) != 0xFF)
            return PhotoEnd::CutShort; // lost its way: no whole file
        const unsigned marker = byteAt(bytes, at + 1);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == EOI)
            return PhotoEnd::Whole;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) { // no length
            at += 2;
            continue;
        }
        if (at + 4 > bytes.size())
            return PhotoEnd::CutShort;
        const std::size_t length = wordAt(bytes, at + 2);
        if (length < 2 || at + 2 + length > bytes.size())
            return PhotoEnd::CutShort;
        at += 2 + length;
        if (marker == SOS)
            at = afterScan(bytes, at);
    }
    return PhotoEnd::CutShort;
}

PhotoEnd pngEnd(std::string_view bytes)
{
    std::size_t at = PNG_SIGNATURE.size();
    while (at + 12 <= bytes.size()) {
        const std::uint64_t length = std::uint64_t(wordAt(bytes, at)) << 16 | wordAt(bytes, at + 2);
        if (bytes.substr(at + 4, 4) == "IEND")
            return PhotoEnd::Whole;
        if (length > bytes.size() - at - 12)
            return PhotoEnd::CutShort;
        at += 12 + static_cast<std::size_t>(length);
    }
    return PhotoEnd::CutShort;
}

} // namespace

PhotoEnd photoEnd(std::string_view bytes)
{
    if (bytes.size() >= 2 && byteAt(bytes, 0) == 0xFF && byteAt(bytes, 1) == 0xD8)
        return jpegEnd(bytes);
    if (bytes.starts_with(PNG_SIGNATURE))
        return pngEnd(bytes);
    return PhotoEnd::OtherKind;
}

} // namespace velmora::registry
