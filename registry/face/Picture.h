#pragma once

// The pixels the face checks work on: the decoded copy of a photo, upright,
// as 32-bit pixels 0xAARRGGBB (as the value, whatever the byte order), and
// the grey pictures the detector and the measures are fed.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::registry {

// Read-only colour pixels owned elsewhere, `stride` pixels from one line to
// the next; alpha is ignored.
struct PictureView {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::ptrdiff_t>(y) * stride + x]; }
};

struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width × height, line after line

    std::uint8_t at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// A rectangle of a picture in its pixels; may reach outside it.
struct Area {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    double right() const { return left + width; }
    double bottom() const { return top + height; }
};

// The ITU-R BT.601 luma of a pixel, 0..255.
double lumaOf(std::uint32_t pixel);

// The luma of every pixel, rounded. Empty for an empty view.
GreyPicture greyOf(const PictureView& picture);

// `picture`'s part `area` (clipped to it) brought to `width` × `height`:
// each new pixel the mean of the part's pixels it covers when shrinking,
// bilinear between the nearest four when growing. Empty when the clipped
// area or the size holds no pixel.
GreyPicture resampled(const GreyPicture& picture, const Area& area, int width, int height);

// Writes into `target` (`stride` pixels from line to line) the means of
// `factor` × `factor` blocks of `source` (factor >= 1), red, green and blue
// rounded, alpha opaque: source.width / factor × source.height / factor
// pixels, rounded down. What decoding a JPEG at 1/factor gives, from a copy
// decoded finer. `target` must not overlap `source`.
void shrinkInBlocks(const PictureView& source, int factor, std::uint32_t* target, std::ptrdiff_t stride);

} // namespace velmora::registry
