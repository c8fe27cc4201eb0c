#pragma once

// The in-memory image a QR picture is cut from, and the steps that turn a
// rendered 400 x 400 image into the margin-free picture the picture boxes
// show: find the symbol's top-left corner, measure its width, cut it out and
// write it as a BMP file.

#include <cstdint>
#include <vector>

namespace velmora::qr {

// A colour as 0xRRGGBB. Only pure black, 0x000000, counts as dark: every
// other colour, however dark it looks, is light.
constexpr std::uint32_t BLACK = 0x000000;
constexpr std::uint32_t WHITE = 0xFFFFFF;

// Pixels row by row from the top, each row from the left; (0, 0) is the top
// left, x grows to the right and y downwards.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    // A width x height image in one colour; negative sizes give 0.
    static Bitmap filled(int width, int height, std::uint32_t colour);

    // The colour at (x, y); x in [0, width), y in [0, height).
    std::uint32_t at(int x, int y) const { return pixels[index(x, y)]; }
    void set(int x, int y, std::uint32_t colour) { pixels[index(x, y)] = colour; }
    bool isDark(int x, int y) const { return at(x, y) == BLACK; }

private:
    std::size_t index(int x, int y) const;
};

struct Corner {
    int left = 0;
    int top = 0;
    bool operator==(const Corner&) const = default;
};

// The first dark pixel scanning the columns from the left, each column from
// the top: for a QR symbol, the outer top-left corner of its top-left finder
// pattern. An image without a dark pixel gives (0, 0).
Corner findCorner(const Bitmap& image);

// The symbol's width in pixels: the largest i in [1, limit] for which both
// (left + i - 1, top) and (left, top + i - 1) are dark, where `limit` stops
// at the image's last column or row. Light stretches of the symbol's top row
// and left column are passed over, so for a QR symbol this reaches the outer
// edges of the top-right and bottom-left finder patterns. 0 when the corner
// pixel itself is light (an image without a dark pixel) or outside the image.
int measureSymbol(const Bitmap& image, Corner corner);

// The size x size square of `image` whose top-left pixel is `corner`; parts
// of the square outside `image` stay white. size <= 0 gives the empty bitmap.
Bitmap cutOut(const Bitmap& image, Corner corner, int size);

// The bytes of a complete BMP file holding `image`: the 14-byte file header,
// the 40-byte BITMAPINFOHEADER, then 24-bit BGR rows from the bottom up, each
// padded to a multiple of 4 bytes. The empty bitmap gives a 54-byte file of a
// 0 x 0 image.
std::vector<std::uint8_t> bmpFileBytes(const Bitmap& image);

} // namespace velmora::qr
