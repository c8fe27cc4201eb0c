#include "qr/Bitmap.h"

#include <algorithm>
#include <cassert>

namespace velmora::qr {
namespace {

constexpr std::size_t FILE_HEADER_SIZE = 14;
constexpr std::size_t INFO_HEADER_SIZE = 40;

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

Bitmap Bitmap::filled(int width, int height, std::uint32_t colour)
{
    Bitmap image;
    image.width = std::max(width, 0);
    image.height = std::max(height, 0);
    image.pixels.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height),
                        colour);
    return image;
}

std::size_t Bitmap::index(int x, int y) const
{
    assert(x >= 0 && x < width && y >= 0 && y < height);
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
}

Corner findCorner(const Bitmap& image)
{
    for (int x = 0; x < image.width; ++x) {
        for (int y = 0; y < image.height; ++y) {
            if (image.isDark(x, y))
                return {x, y};
        }
    }
    return {};
}

int measureSymbol(const Bitmap& image, Corner corner)
{
    if (corner.left < 0 || corner.top < 0 || corner.left >= image.width || corner.top >= image.height)
        return 0;
    int size = 0;
    // Runs until the top row or the left column reaches the image's edge,
    // whichever comes first; the square of `size` therefore always fits.
    for (int i = 1;; ++i) {
        const int x = corner.left + i - 1;
        const int y = corner.top + i - 1;
        if (image.isDark(x, corner.top) && image.isDark(corner.left, y))
            size = i;
        if (x == image.width - 1 || y == image.height - 1)
            break;
    }
    return size;
}

Bitmap cutOut(const Bitmap& image, Corner corner, int size)
{
    Bitmap result = Bitmap::filled(size, size, WHITE);
    for (int y = 0; y < result.height; ++y) {
        const int sourceY = corner.top + y;
        if (sourceY < 0 || sourceY >= image.height)
            continue;
        for (int x = 0; x < result.width; ++x) {
            const int sourceX = corner.left + x;
            if (sourceX >= 0 && sourceX < image.width)
                result.set(x, y, image.at(sourceX, sourceY));
        }
    }
    return result;
}

std::vector<std::uint8_t> bmpFileBytes(const Bitmap& image)
{
    const std::size_t rowBytes = (static_cast<std::size_t>(image.width) * 3 + 3) / 4 * 4;
    const std::size_t pixelBytes = rowBytes * static_cast<std::size_t>(image.height);
    const std::size_t offset = FILE_HEADER_SIZE + INFO_HEADER_SIZE;
    std::vector<std::uint8_t> out;
    out.reserve(offset + pixelBytes);

    out.push_back('B');
    out.push_back('M');
    putLe(out, static_cast<std::uint32_t>(offset + pixelBytes), 4); // bfSize
    putLe(out, 0, 4);                                               // bfReserved1, bfReserved2
    putLe(out, static_cast<std::uint32_t>(offset), 4);              // bfOffBits

    putLe(out, INFO_HEADER_SIZE, 4);                              // biSize
    putLe(out, static_cast<std::uint32_t>(image.width), 4);       // biWidth
    putLe(out, static_cast<std::uint32_t>(image.height), 4);      // biHeight > 0: rows bottom-up
    putLe(out, 1, 2);                                             // biPlanes
    putLe(out, 24, 2);                                            // biBitCount
    putLe(out, 0, 4);                                             // biCompression = BI_RGB
    putLe(out, static_cast<std::uint32_t>(pixelBytes), 4);        // biSizeImage
    putLe(out, 3780, 4);                                          // biXPelsPerMeter (96 dpi)
    putLe(out, 3780, 4);                                          // biYPelsPerMeter
    putLe(out, 0, 4);                                             // biClrUsed
    putLe(out, 0, 4);                                             // biClrImportant

    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        for (int x = 0; x < image.width; ++x)
            putLe(out, image.at(x, y), 3); // 0xRRGGBB little-endian is B, G, R
        out.resize(rowStart + rowBytes, 0);
    }
    assert(out.size() == offset + pixelBytes);
    return out;
}

} // namespace velmora::qr
