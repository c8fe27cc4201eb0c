#include "registry/face/HeadOutlineFinder.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace velmora::registry {
namespace {

// In face box sides from the box's centre and top.
constexpr double BAND_HALF_WIDTH = 0.3;
constexpr double HIGHEST_HAIR = 1.3;
constexpr double LOWEST_HAIR = 0.3;
// Background samples: a strip above the highest hair, and patches beside
// the head at forehead height, beyond the hair of most children.
constexpr double ABOVE_FROM = 1.55;
constexpr double ABOVE_TO = 1.35;
constexpr double BESIDE_FROM = 1.05;
constexpr double BESIDE_TO = 1.3;
constexpr double BESIDE_HIGH = 0.5;
constexpr double BESIDE_LOW = 0.15;
// The sides: lines this share of the head's height below its top, searched
// from this many box sides off the box's centre outwards to that many.
constexpr double SIDES_FROM = 0.12;
constexpr double SIDES_TO = 0.4;
constexpr double SIDES_INSIDE = 0.3;
constexpr double SIDES_OUTSIDE = 1.4;
constexpr double NARROWEST_HEAD = 1.1;
constexpr double WIDEST_HEAD = 2.4;
constexpr double OFF_CENTRE = 0.25;

// A pixel differs from the background when its colour lies farther than
// this from it (RGB distance): well above sensor and JPEG noise on a plain
// backdrop, well below hair against any light one.
constexpr int DIFFERENT = 40;
// A line holds hair when this share of the band differs.
constexpr double HAIR_SHARE = 0.25;
// The background samples are no background when more of them differ from
// their own median than this.
constexpr double MIXED_BACKGROUND = 0.3;

int channel(std::uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xFF);
}

bool differs(std::uint32_t pixel, const int reference[3])
{
    const int red = channel(pixel, 16) - reference[0];
    const int green = channel(pixel, 8) - reference[1];
    const int blue = channel(pixel, 0) - reference[2];
    return red * red + green * green + blue * blue > DIFFERENT * DIFFERENT;
}

// The pixels of `area` that lie inside the picture.
void collect(const PictureView& picture, const Area& area, std::vector<std::uint32_t>& into)
{
    const int left = std::max(0, static_cast<int>(std::floor(area.left)));
    const int top = std::max(0, static_cast<int>(std::floor(area.top)));
    const int right = std::min(picture.width, static_cast<int>(std::ceil(area.right())));
    const int bottom = std::min(picture.height, static_cast<int>(std::ceil(area.bottom())));
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            into.push_back(picture.at(x, y));
}

// The background's colour, channel by channel the median of the samples;
// false when there are none or they are no plain background.
bool backgroundColour(const PictureView& picture, const Area& face, int reference[3])
{
    const double side = face.height;
    const double centre = face.left + face.width / 2;
    std::vector<std::uint32_t> samples;
    collect(picture, {centre - BAND_HALF_WIDTH * side, face.top - ABOVE_FROM * side, 2 * BAND_HALF_WIDTH * side,
                      (ABOVE_FROM - ABOVE_TO) * side}, samples);
    for (const double direction : {-1.0, 1.0}) {
        const double near = centre + direction * BESIDE_FROM * side;
        const double far = centre + direction * BESIDE_TO * side;
        collect(picture, {std::min(near, far), face.top - BESIDE_HIGH * side, (BESIDE_TO - BESIDE_FROM) * side,
                          (BESIDE_HIGH - BESIDE_LOW) * side}, samples);
    }
    if (samples.empty())
        return false;
    for (int c = 0; c < 3; ++c) {
        std::vector<int> values;
        values.reserve(samples.size());
        for (const std::uint32_t pixel : samples)
            values.push_back(channel(pixel, 16 - 8 * c));
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
        reference[c] = values[values.size() / 2];
    }
    const auto mixed = std::count_if(samples.begin(), samples.end(),
                                     [&](std::uint32_t pixel) { return differs(pixel, reference); });
    return double(mixed) / samples.size() <= MIXED_BACKGROUND;
}

// The top of the hair, looking down the band over the face.
void findTop(const PictureView& picture, const Area& face, const int reference[3], HeadOutline& outline)
{
    const double side = face.height;
    const double centre = face.left + face.width / 2;
    const int left = std::max(0, static_cast<int>(std::lround(centre - BAND_HALF_WIDTH * side)));
    const int right = std::min(picture.width, static_cast<int>(std::lround(centre + BAND_HALF_WIDTH * side)));
    const int highest = std::max(0, static_cast<int>(std::floor(face.top - HIGHEST_HAIR * side)));
    const int lowest = std::min(picture.height, static_cast<int>(std::ceil(face.top - LOWEST_HAIR * side)));
    if (right <= left || lowest <= highest)
        return;
    const auto holdsHair = [&](int y) {
        int different = 0;
        for (int x = left; x < right; ++x)
            different += differs(picture.at(x, y), reference) ? 1 : 0;
        return different >= HAIR_SHARE * (right - left);
    };
    // A single line of noise or a stray hair is not the head: the hair
    // must go on for a few lines.
    const int run = std::max(2, static_cast<int>(std::lround(0.03 * side)));
    for (int y = highest; y + run <= lowest; ++y) {
        bool hair = true;
        for (int k = 0; k < run && hair; ++k)
            hair = holdsHair(y + k);
        if (!hair)
            continue;
        if (y == highest) {
            if (highest == 0)
                outline.hair = HairTop::AtTopEdge;
            return;
        }
        outline.hair = HairTop::Measured;
        outline.top = y;
        return;
    }
}

// Where the background begins going from `from` in `direction` along line
// `y`, up to `to`: the first of three background pixels in a row.
std::optional<double> edgeOnLine(const PictureView& picture, int y, double from, double to, int direction,
                                 const int reference[3])
{
    int x = static_cast<int>(std::lround(from));
    const int end = static_cast<int>(std::lround(to));
    int background = 0;
    for (; direction > 0 ? x <= end : x >= end; x += direction) {
        if (x < 0 || x >= picture.width)
            return std::nullopt;
        background = differs(picture.at(x, y), reference) ? 0 : background + 1;
        if (background == 3)
            return x - 2.5 * direction; // the boundary before the first of them
    }
    return std::nullopt;
}

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// The sides of the head a little below its top, where the hair is widest
// above the ears.
void findSides(const PictureView& picture, const Area& face, const int reference[3], HeadOutline& outline)
{
    const double side = face.height;
    const double centre = face.left + face.width / 2;
    const HeadBox head = headOf(face, outline);
    const int from = std::max(0, static_cast<int>(std::lround(head.top + SIDES_FROM * head.height())));
    const int to = std::min(picture.height - 1, static_cast<int>(std::lround(head.top + SIDES_TO * head.height())));
    std::vector<double> lefts;
    std::vector<double> rights;
    int lines = 0;
    for (int y = from; y <= to; ++y, ++lines) {
        const auto left = edgeOnLine(picture, y, centre - SIDES_INSIDE * side, centre - SIDES_OUTSIDE * side, -1, reference);
        const auto right = edgeOnLine(picture, y, centre + SIDES_INSIDE * side, centre + SIDES_OUTSIDE * side, 1, reference);
        if (left && right) {
            lefts.push_back(*left);
            rights.push_back(*right);
        }
    }
    if (lines == 0 || lefts.size() * 2 < static_cast<std::size_t>(lines))
        return;
    const double left = median(lefts);
    const double right = median(rights);
    const double middle = (left + right) / 2;
    if (right - left < NARROWEST_HEAD * side || right - left > WIDEST_HEAD * side
        || std::abs(middle - centre) > OFF_CENTRE * side)
        return;
    outline.sidesFound = true;
    outline.centreX = middle;
}

} // namespace

HeadOutline findHeadOutline(const PictureView& picture, const Area& face)
{
    HeadOutline outline;
    int reference[3] = {0, 0, 0};
    if (face.height <= 0 || !backgroundColour(picture, face, reference))
        return outline;
    findTop(picture, face, reference, outline);
    if (outline.hair != HairTop::AtTopEdge)
        findSides(picture, face, reference, outline);
    return outline;
}

} // namespace velmora::registry
