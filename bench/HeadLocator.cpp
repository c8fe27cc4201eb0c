#include "bench/HeadLocator.h"

#include "tests/portraits/Portraits.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::bench {
namespace {

// Her head in the portrait's pixels (tests/portraits/data/README.md).
constexpr double HAIR_TOP = 15.5;
constexpr double CHIN = 177;
constexpr double HEAD = CHIN - HAIR_TOP;
constexpr double PI = 3.14159265358979323846;

struct Grey {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    float at(int x, int y) const { return values[static_cast<std::size_t>(y * width + x)]; }
};

Grey greyOf(const QImage& image, int shrink)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    Grey grey{rgb.width() / shrink, rgb.height() / shrink, {}};
    grey.values.assign(static_cast<std::size_t>(grey.width * grey.height), 0);
    for (int y = 0; y < grey.height * shrink; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < grey.width * shrink; ++x)
            grey.values[static_cast<std::size_t>((y / shrink) * grey.width + x / shrink)]
                += static_cast<float>(qGray(line[x])) / static_cast<float>(shrink * shrink);
    }
    return grey;
}

// Her head's pixels at `scale` (picture pixels per portrait pixel) and
// `tilt`: offsets from the head's centre, zero-mean values.
struct Template {
    std::vector<int> dx;
    std::vector<int> dy;
    std::vector<float> values;
    double norm = 0;
};

Template render(double scale, double tilt)
{
    // Drawn on black and on white: where the two agree, the pixel is hers.
    const int side = static_cast<int>(std::ceil(scale * HEAD * 1.6)) | 1;
    const double middle = side / 2.0;
    const test::Placement placement{middle, middle, scale * HEAD, tilt};
    test::Photo dark = test::plainPhoto(side, side, {0, 0, 0});
    test::Photo light = test::plainPhoto(side, side, {255, 255, 255});
    test::placeAstronaut(dark, placement);
    test::placeAstronaut(light, placement);
    const double angle = tilt * PI / 180;
    Template made;
    double sum = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const std::uint32_t a = dark.pixels[static_cast<std::size_t>(y * side + x)];
            const std::uint32_t b = light.pixels[static_cast<std::size_t>(y * side + x)];
            if (a != b)
                continue;
            // Only the head: from the hair to the chin, upright.
            const double ox = x - middle;
            const double oy = y - middle;
            const double up = (-std::sin(angle) * ox + std::cos(angle) * oy) / scale;
            if (std::abs(up) > HEAD / 2)
                continue;
            made.dx.push_back(static_cast<int>(std::lround(ox)));
            made.dy.push_back(static_cast<int>(std::lround(oy)));
            made.values.push_back(static_cast<float>(qGray(static_cast<QRgb>(a))));
            sum += made.values.back();
        }
    const double mean = made.values.empty() ? 0 : sum / made.values.size();
    for (float& value : made.values) {
        value = static_cast<float>(value - mean);
        made.norm += double(value) * value;
    }
    made.norm = std::sqrt(made.norm);
    return made;
}

// The correlation of the template with the picture, its head's centre at (x, y).
double correlation(const Grey& picture, const Template& head, int x, int y)
{
    double product = 0;
    double sum = 0;
    double squares = 0;
    std::size_t inside = 0;
    for (std::size_t i = 0; i < head.values.size(); ++i) {
        const int px = x + head.dx[i];
        const int py = y + head.dy[i];
        if (px < 0 || py < 0 || px >= picture.width || py >= picture.height)
            continue;
        const double value = picture.at(px, py);
        product += head.values[i] * value;
        sum += value;
        squares += value * value;
        ++inside;
    }
    if (inside < head.values.size() * 9 / 10 || inside == 0)
        return -1;
    const double spread = squares - sum * sum / inside;
    return spread > 0 && head.norm > 0 ? product / (head.norm * std::sqrt(spread)) : -1;
}

struct Best {
    double scale = 0;
    int x = 0;
    int y = 0;
    double match = -2;
};

void search(const Grey& picture, double scale, double tilt, int fromX, int toX, int fromY, int toY, Best& best)
{
    const Template head = render(scale, tilt);
    for (int y = fromY; y <= toY; ++y)
        for (int x = fromX; x <= toX; ++x) {
            const double match = correlation(picture, head, x, y);
            if (match > best.match)
                best = {scale, x, y, match};
        }
}

} // namespace

LocatedHead locateHead(const QImage& picture, double tilt)
{
    constexpr int SHRINK = 4;
    const Grey coarse = greyOf(picture, SHRINK);
    Best rough;
    for (double share = 0.4; share <= 0.95; share *= 1.03)
        search(coarse, share * picture.height() / HEAD / SHRINK, tilt, coarse.width / 3, coarse.width * 2 / 3,
               coarse.height / 10, coarse.height * 2 / 3, rough);
    const Grey fine = greyOf(picture, 1);
    Best best;
    for (double factor = 0.96; factor <= 1.04; factor += 0.005)
        search(fine, rough.scale * SHRINK * factor, tilt, rough.x * SHRINK - 5, rough.x * SHRINK + SHRINK + 4,
               rough.y * SHRINK - 5, rough.y * SHRINK + SHRINK + 4, best);
    const double head = best.scale * HEAD;
    return {best.y - head / 2, best.y + head / 2, double(best.x), best.match};
}

} // namespace velmora::bench
