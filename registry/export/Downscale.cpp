#include "registry/export/Downscale.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

namespace velmora::registry {
namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double LOBES = 3.0;

double lanczos(double x)
{
    if (x == 0)
        return 1;
    if (std::abs(x) >= LOBES)
        return 0;
    return LOBES * std::sin(PI * x) * std::sin(PI * x / LOBES) / (PI * PI * x * x);
}

// The source pixels [first, first + weights.size()) that make one target
// pixel, with their weights summing to 1.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Taps> tapsFor(int sourceLength, int targetLength)
{
    std::vector<Taps> all(static_cast<std::size_t>(targetLength));
    const double scale = double(sourceLength) / targetLength;
    const double stretch = std::max(1.0, scale);
    for (int t = 0; t < targetLength; ++t) {
        const double centre = (t + 0.5) * scale - 0.5;
        const int from = std::max(0, static_cast<int>(std::floor(centre - LOBES * stretch)));
        const int to = std::min(sourceLength - 1, static_cast<int>(std::ceil(centre + LOBES * stretch)));
        Taps& taps = all[static_cast<std::size_t>(t)];
        taps.first = from;
        double total = 0;
        std::vector<double> weights;
        for (int s = from; s <= to; ++s) {
            weights.push_back(lanczos((s - centre) / stretch));
            total += weights.back();
        }
        for (double weight : weights)
            taps.weights.push_back(static_cast<float>(weight / total));
    }
    return all;
}

std::uint32_t pack(float red, float green, float blue)
{
    auto channel = [](float value) {
        return static_cast<std::uint32_t>(std::clamp(static_cast<int>(std::lround(value)), 0, 255));
    };
    return 0xFF000000u | channel(red) << 16 | channel(green) << 8 | channel(blue);
}

} // namespace

void resampleLanczos3(const PixelView& source, const PixelView& target)
{
    assert(source.width > 0 && source.height > 0 && target.width > 0 && target.height > 0);
    const auto columns = tapsFor(source.width, target.width);
    const auto rows = tapsFor(source.height, target.height);
    // Down the columns first, a whole source line at a time into red, green
    // and blue planes, then across: the first pass runs over contiguous
    // pixels (which the compiler vectorises) and the second only over the
    // target's lines, not the source's several times as many. The filter is
    // separable, so the order changes nothing but rounding.
    const auto width = static_cast<std::size_t>(source.width);
    std::vector<float> planes(3 * width);
    float* __restrict const red = planes.data();
    float* __restrict const green = red + width;
    float* __restrict const blue = green + width;
    for (int y = 0; y < target.height; ++y) {
        const Taps& taps = rows[static_cast<std::size_t>(y)];
        std::fill(planes.begin(), planes.end(), 0.0f);
        for (std::size_t k = 0; k < taps.weights.size(); ++k) {
            const std::uint32_t* __restrict in = source.pixels + (taps.first + static_cast<int>(k)) * source.stride;
            const float weight = taps.weights[k];
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = in[x];
                red[x] += weight * static_cast<float>(pixel >> 16 & 0xFF);
                green[x] += weight * static_cast<float>(pixel >> 8 & 0xFF);
                blue[x] += weight * static_cast<float>(pixel & 0xFF);
            }
        }
        std::uint32_t* out = target.pixels + y * target.stride;
        for (int x = 0; x < target.width; ++x) {
            const Taps& across = columns[static_cast<std::size_t>(x)];
            float sum[3] = {0, 0, 0};
            for (std::size_t k = 0; k < across.weights.size(); ++k) {
                const auto s = static_cast<std::size_t>(across.first) + k;
                const float weight = across.weights[k];
                sum[0] += weight * red[s];
                sum[1] += weight * green[s];
                sum[2] += weight * blue[s];
            }
            out[x] = pack(sum[0], sum[1], sum[2]);
        }
    }
}

} // namespace velmora::registry
