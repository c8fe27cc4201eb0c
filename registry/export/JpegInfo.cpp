#include "registry/export/JpegInfo.h"

#include <cstdint>

namespace velmora::registry {
namespace {

constexpr unsigned char SOI = 0xD8;
constexpr unsigned char SOS = 0xDA;
constexpr unsigned char APP0 = 0xE0;
constexpr unsigned char APP15 = 0xEF;
constexpr unsigned char COM = 0xFE;

int byteAt(std::string_view bytes, std::size_t at)
{
    return static_cast<unsigned char>(bytes[at]);
}

int wordAt(std::string_view bytes, std::size_t at)
{
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

// SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
bool isFrameHeader(int marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

void readSegment(int marker, std::string_view body, JpegInfo& info, bool& haveFrame)
{
    if (isFrameHeader(marker) && body.size() >= 5) {
        haveFrame = true;
        info.height = wordAt(body, 1);
        info.width = wordAt(body, 3);
        info.baseline = marker == 0xC0;
        info.progressive = marker == 0xC2;
    } else if (marker == APP0 && body.size() >= 12 && body.substr(0, 5) == std::string_view("JFIF\0", 5)) {
        info.hasJfif = true;
        info.densityUnit = byteAt(body, 7);
        info.densityX = wordAt(body, 8);
        info.densityY = wordAt(body, 10);
    } else if ((marker > APP0 && marker <= APP15) || marker == COM) {
        info.hasMetadata = true;
    }
}

} // namespace

std::optional<JpegInfo> readJpegInfo(std::string_view bytes)
{
    if (bytes.size() < 4 || byteAt(bytes, 0) != 0xFF || byteAt(bytes, 1) != SOI)
        return std::nullopt;
    JpegInfo info;
    bool haveFrame = false;
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (byteAt(bytes, at) != 0xFF)
            return std::nullopt;
        const int marker = byteAt(bytes, at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == SOS)
            return haveFrame ? std::optional(info) : std::nullopt;
        const std::size_t length = static_cast<std::size_t>(wordAt(bytes, at + 2));
        if (length < 2 || at + 2 + length > bytes.size())
            return std::nullopt;
        readSegment(marker, bytes.substr(at + 4, length - 2), info, haveFrame);
        at += 2 + length;
    }
    return std::nullopt;
}

} // namespace velmora::registry
