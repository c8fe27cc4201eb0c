#include "registry/face/Picture.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace velmora::registry {
namespace {

// The source pixels [first, first + weights.size()) that make one new
// pixel along one axis, their weights summing to 1.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

// A box `max(scale, 1)` source pixels wide around each new pixel's centre:
// the mean of what it covers when shrinking, linear interpolation when
// growing. Cut at the picture's edges and normalised there.
std::vector<Taps> boxTaps(double start, double length, int sourceLength, int targetLength)
{
    std::vector<Taps> all(static_cast<std::size_t>(targetLength));
    const double scale = length / targetLength;
    const double half = std::max(scale, 1.0) / 2;
    for (int t = 0; t < targetLength; ++t) {
        const double centre = start + (t + 0.5) * scale;
        const double from = std::clamp(centre - half, 0.0, double(sourceLength));
        const double to = std::clamp(centre + half, 0.0, double(sourceLength));
        Taps& taps = all[static_cast<std::size_t>(t)];
        taps.first = std::min(static_cast<int>(std::floor(from)), sourceLength - 1);
        double total = 0;
        for (int s = taps.first; s < to || s == taps.first; ++s) {
            const double share = std::max(0.0, std::min<double>(to, s + 1) - std::max<double>(from, s));
            taps.weights.push_back(static_cast<float>(share));
            total += share;
        }
        if (total <= 0) { // a centre past the edge: the edge pixel
            taps.weights.assign(1, 1.0f);
            continue;
        }
        for (float& weight : taps.weights)
            weight = static_cast<float>(weight / total);
    }
    return all;
}

} // namespace

double lumaOf(std::uint32_t pixel)
{
    const auto red = static_cast<double>((pixel >> 16) & 0xFF);
    const auto green = static_cast<double>((pixel >> 8) & 0xFF);
    const auto blue = static_cast<double>(pixel & 0xFF);
    return 0.299 * red + 0.587 * green + 0.114 * blue;
}

GreyPicture greyOf(const PictureView& picture)
{
    GreyPicture grey;
    if (picture.width <= 0 || picture.height <= 0 || picture.pixels == nullptr)
        return grey;
    grey.width = picture.width;
    grey.height = picture.height;
    grey.pixels.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
    std::size_t at = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            // Fixed point of the same weights: 0.299, 0.587, 0.114 in 1/1024.
            const std::uint32_t pixel = picture.at(x, y);
            const std::uint32_t luma = 306 * ((pixel >> 16) & 0xFF) + 601 * ((pixel >> 8) & 0xFF) + 117 * (pixel & 0xFF);
            grey.pixels[at++] = static_cast<std::uint8_t>((luma + 512) >> 10);
        }
    return grey;
}

GreyPicture resampled(const GreyPicture& picture, const Area& area, int width, int height)
{
    const double left = std::max(0.0, area.left);
    const double top = std::max(0.0, area.top);
    const double right = std::min<double>(picture.width, area.right());
    const double bottom = std::min<double>(picture.height, area.bottom());
    GreyPicture result;
    if (width <= 0 || height <= 0 || right <= left || bottom <= top)
        return result;
    const std::vector<Taps> columns = boxTaps(left, right - left, picture.width, width);
    const std::vector<Taps> rows = boxTaps(top, bottom - top, picture.height, height);
    // Across first, only the source lines some new line needs.
    const int firstLine = rows.front().first;
    const int lastLine = rows.back().first + static_cast<int>(rows.back().weights.size());
    std::vector<float> across(static_cast<std::size_t>(lastLine - firstLine) * static_cast<std::size_t>(width));
    for (int y = firstLine; y < lastLine; ++y) {
        const std::uint8_t* line = picture.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width);
        float* out = across.data() + static_cast<std::size_t>(y - firstLine) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const Taps& taps = columns[static_cast<std::size_t>(x)];
            float sum = 0;
            for (std::size_t k = 0; k < taps.weights.size(); ++k)
                sum += taps.weights[k] * line[static_cast<std::size_t>(taps.first) + k];
            out[x] = sum;
        }
    }
    result.width = width;
    result.height = height;
    result.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    // Then down, a whole new line at a time over contiguous values; each
    // value still adds its taps in order.
    std::vector<float> sums(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        const Taps& taps = rows[static_cast<std::size_t>(y)];
        std::fill(sums.begin(), sums.end(), 0.0f);
        float* __restrict const sum = sums.data();
        for (std::size_t k = 0; k < taps.weights.size(); ++k) {
            const float* __restrict const in
                = across.data() + (static_cast<std::size_t>(taps.first - firstLine) + k) * static_cast<std::size_t>(width);
            const float weight = taps.weights[k];
            for (int x = 0; x < width; ++x)
                sum[x] += weight * in[x];
        }
        std::uint8_t* out = result.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        // Weights sum to 1, so the sum stays within 0..255.
        for (int x = 0; x < width; ++x)
            out[x] = static_cast<std::uint8_t>(std::min(255.0f, sum[x] + 0.5f));
    }
    return result;
}

void shrinkInBlocks(const PictureView& source, int factor, std::uint32_t* target, std::ptrdiff_t stride)
{
    assert(factor >= 1);
    const int width = source.width / factor;
    const int height = source.height / factor;
    if (factor == 2) {
        // Red and blue in two 16-bit lanes, green in another: four pixels
        // summed in each without carrying over, plus 2 to round.
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* upper = source.pixels + 2 * y * source.stride;
            const std::uint32_t* lower = upper + source.stride;
            std::uint32_t* out = target + y * stride;
            for (int x = 0; x < width; ++x, upper += 2, lower += 2) {
                const std::uint32_t redBlue = (upper[0] & 0xFF00FF) + (upper[1] & 0xFF00FF) + (lower[0] & 0xFF00FF)
                    + (lower[1] & 0xFF00FF) + 0x20002;
                const std::uint32_t green = (upper[0] & 0xFF00) + (upper[1] & 0xFF00) + (lower[0] & 0xFF00)
                    + (lower[1] & 0xFF00) + 0x200;
                out[x] = 0xFF000000u | (redBlue >> 2 & 0xFF00FF) | (green >> 2 & 0xFF00);
            }
        }
        return;
    }
    const auto area = static_cast<std::uint32_t>(factor * factor);
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int dy = 0; dy < factor; ++dy) {
            const std::uint32_t* pixel = source.pixels + (y * factor + dy) * source.stride;
            std::uint32_t* sum = sums.data();
            for (int x = 0; x < width; ++x, sum += 3)
                for (int dx = 0; dx < factor; ++dx, ++pixel) {
                    sum[0] += *pixel >> 16 & 0xFF;
                    sum[1] += *pixel >> 8 & 0xFF;
                    sum[2] += *pixel & 0xFF;
                }
        }
        std::uint32_t* out = target + y * stride;
        const std::uint32_t* sum = sums.data();
        for (int x = 0; x < width; ++x, sum += 3)
            out[x] = 0xFF000000u | (sum[0] + area / 2) / area << 16 | (sum[1] + area / 2) / area << 8
                | (sum[2] + area / 2) / area;
    }
}

} // namespace velmora::registry
