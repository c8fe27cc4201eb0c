#include "QrDecode.h"


#include <algorithm>

namespace velmora::qr::test {
namespace {

std::uint32_t le(const std::vector<std::uint8_t>& file, std::size_t at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | file[at + static_cast<std::size_t>(i)];
    return value;
}

} // namespace

std::optional<Bitmap> readBmp(const std::vector<std::uint8_t>& file)
{
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M' || le(file, 28, 2) != 24
        || le(file, 30, 4) != 0)
        return std::nullopt;
    const auto width = static_cast<std::int32_t>(le(file, 18, 4));
    const auto rawHeight = static_cast<std::int32_t>(le(file, 22, 4));
    const int height = rawHeight < 0 ? -rawHeight : rawHeight;
    const std::size_t offset = le(file, 10, 4);
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (width < 0 || offset + rowBytes * static_cast<std::size_t>(height) > file.size())
        return std::nullopt;
    Bitmap image = Bitmap::filled(width, height, WHITE);
    for (int row = 0; row < height; ++row) {
        const int y = rawHeight < 0 ? row : height - 1 - row;
        const std::size_t start = offset + rowBytes * static_cast<std::size_t>(row);
        for (int x = 0; x < width; ++x)
            image.set(x, y, le(file, start + static_cast<std::size_t>(x) * 3, 3));
    }
    return image;
}

Decoded decodeSymbol(const Bitmap& picture)
{
    if (picture.width == 0)
        return {};
    // Small modules are enlarged so the decoder sees at least ~3 pixels each.
    const int scale = std::max(1, 600 / picture.width);
    const int quiet = 8 * scale * std::max(1, picture.width / 40);
    const int side = picture.width * scale + 2 * quiet;
    std::vector<std::uint8_t> lum(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), 255);
    for (int y = 0; y < picture.height * scale; ++y) {
        for (int x = 0; x < picture.width * scale; ++x) {
            const std::uint32_t c = picture.at(x / scale, y / scale);
            const auto level = static_cast<std::uint8_t>(
                ((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) / 3);
            lum[static_cast<std::size_t>(y + quiet) * static_cast<std::size_t>(side)
                + static_cast<std::size_t>(x + quiet)] = level;
        }
    }
    return decodeLuminance(lum, side);
}

Decoded decodeBmp(const std::vector<std::uint8_t>& file)
{
    const auto picture = readBmp(file);
    return picture ? decodeSymbol(*picture) : Decoded{};
}

int moduleCount(const Bitmap& picture)
{
    int run = 0;
    while (run < picture.width && picture.isDark(run, 0))
        ++run;
    return run == 0 || run % 7 != 0 ? 0 : picture.width / (run / 7);
}

} // namespace velmora::qr::test
