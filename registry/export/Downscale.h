#pragma once

// Shrinking a picture for the upload with Lanczos-3, the sharp resampling
// filter with little ringing that careful photo tools shrink with; Qt's own
// smooth scaling averages boxes of pixels and leaves the result softer.

#include <cstddef>
#include <cstdint>

namespace velmora::registry {

// A picture of 32-bit pixels 0xAARRGGBB (as a 32-bit value, whatever the
// byte order), `stride` pixels from one line to the next.
struct PixelView {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
};

// Writes `source` scaled to `target`'s size into `target`, red, green and
// blue each filtered with Lanczos-3 stretched by the shrink factor (and not
// stretched where the picture grows), normalised at the edges; alpha is set
// opaque. Both pictures must have at least one pixel; they must not overlap.
void resampleLanczos3(const PixelView& source, const PixelView& target);

} // namespace velmora::registry
