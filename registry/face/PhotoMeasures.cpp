#include "registry/face/PhotoMeasures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::registry {
namespace {

// Whole pixels [left, right) × [top, bottom) of a picture.
struct Span {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
};

Span spanOf(const Area& area, int width, int height)
{
    return {std::clamp(static_cast<int>(std::lround(area.left)), 0, width),
            std::clamp(static_cast<int>(std::lround(area.top)), 0, height),
            std::clamp(static_cast<int>(std::lround(area.right())), 0, width),
            std::clamp(static_cast<int>(std::lround(area.bottom())), 0, height)};
}

struct Running {
    double count = 0;
    double sum = 0;
    double squares = 0;

    void add(double value)
    {
        ++count;
        sum += value;
        squares += value * value;
    }
    double mean() const { return count > 0 ? sum / count : 0; }
    double variance() const { return count > 0 ? std::max(0.0, squares / count - mean() * mean()) : 0; }
};

// The variance of the Laplacian over that of the luma, inside `picture`.
double sharpnessOf(const GreyPicture& picture)
{
    Running luma;
    Running laplacian;
    for (int y = 1; y + 1 < picture.height; ++y)
        for (int x = 1; x + 1 < picture.width; ++x) {
            const double value = picture.at(x, y);
            luma.add(value);
            laplacian.add(4 * value - picture.at(x - 1, y) - picture.at(x + 1, y) - picture.at(x, y - 1)
                          - picture.at(x, y + 1));
        }
    return luma.variance() > 0 ? laplacian.variance() / luma.variance() : 0;
}

void measureFace(const GreyPicture& view, const Span& middle, PhotoFigures& figures)
{
    Running luma;
    double clipped = 0;
    for (int y = middle.top; y < middle.bottom; ++y)
        for (int x = middle.left; x < middle.right; ++x) {
            const double value = view.at(x, y);
            luma.add(value);
            clipped += value >= 250 ? 1 : 0;
        }
    figures.faceLuma = luma.mean();
    figures.faceClipped = luma.count > 0 ? clipped / luma.count : 0;
    const Area area{double(middle.left), double(middle.top), double(middle.right - middle.left),
                    double(middle.bottom - middle.top)};
    // At half the registry's size sensor noise averages out, while a blur
    // of two of its pixels still shows.
    figures.sharpness = sharpnessOf(resampled(view, area, std::max(3, static_cast<int>(area.width / 2)),
                                              std::max(3, static_cast<int>(area.height / 2))));
}

// Hue in degrees and chroma of a mean colour.
void colourOf(double red, double green, double blue, PhotoFigures& figures)
{
    const double high = std::max({red, green, blue});
    const double low = std::min({red, green, blue});
    const double chroma = high - low;
    double hue = 0;
    if (chroma > 0) {
        if (high == red)
            hue = 60 * std::fmod((green - blue) / chroma + 6, 6.0);
        else if (high == green)
            hue = 60 * ((blue - red) / chroma + 2);
        else
            hue = 60 * ((red - green) / chroma + 4);
    }
    figures.backgroundChroma = chroma;
    figures.backgroundHue = hue;
    figures.backgroundValue = high;
}

void measureBackground(const PictureView& picture, const GreyPicture& view, const std::vector<Span>& inView,
                       const std::vector<Span>& inPicture, PhotoFigures& figures)
{
    Running luma;
    Running steps;
    for (const Span& span : inView)
        for (int y = span.top; y < span.bottom; ++y)
            for (int x = span.left; x < span.right; ++x) {
                luma.add(view.at(x, y));
                if (x + 1 < span.right)
                    steps.add(std::abs(int(view.at(x + 1, y)) - int(view.at(x, y))));
            }
    double colour[3] = {0, 0, 0};
    double pixels = 0;
    for (const Span& span : inPicture)
        for (int y = span.top; y < span.bottom; ++y)
            for (int x = span.left; x < span.right; ++x) {
                const std::uint32_t pixel = picture.at(x, y);
                colour[0] += (pixel >> 16) & 0xFF;
                colour[1] += (pixel >> 8) & 0xFF;
                colour[2] += pixel & 0xFF;
                ++pixels;
            }
    figures.backgroundSeen = luma.count > 0 && pixels > 0;
    if (!figures.backgroundSeen)
        return;
    figures.backgroundLuma = luma.mean();
    figures.backgroundSpread = std::sqrt(luma.variance());
    figures.backgroundDetail = steps.mean();
    colourOf(colour[0] / pixels, colour[1] / pixels, colour[2] / pixels, figures);
}

} // namespace

void measurePhoto(const PictureView& picture, const GreyPicture& grey, const Area& face, const HeadBox& head,
                  const Area& frame, const FrameShape& shape, PhotoFigures& figures)
{
    if (frame.width <= 0 || frame.height <= 0 || shape.height <= 0)
        return;
    // Never finer than the copy holds: growing it would only blur it.
    const double scale = std::min(1.0, shape.height / frame.height);
    const GreyPicture view = resampled(grey, frame, std::max(1, static_cast<int>(std::lround(frame.width * scale))),
                                       std::max(1, static_cast<int>(std::lround(frame.height * scale))));
    if (view.pixels.empty())
        return;
    const auto toView = [&](const Area& area) {
        return spanOf({(area.left - frame.left) * scale, (area.top - frame.top) * scale, area.width * scale,
                       area.height * scale}, view.width, view.height);
    };
    const double side = face.height;
    measureFace(view, toView({face.left + 0.2 * side, face.top + 0.15 * side, 0.6 * side, 0.75 * side}), figures);

    const double tall = head.height();
    const double crownLow = head.top + 0.25 * tall;
    const std::vector<Area> background = {
        {frame.left, frame.top, frame.width, head.top - 0.03 * tall - frame.top},
        {frame.left, head.top, head.centreX - 0.5 * tall - frame.left, crownLow - head.top},
        {head.centreX + 0.5 * tall, head.top, frame.right() - (head.centreX + 0.5 * tall), crownLow - head.top},
    };
    std::vector<Span> inView;
    std::vector<Span> inPicture;
    for (const Area& area : background) {
        if (area.width <= 0 || area.height <= 0)
            continue;
        inView.push_back(toView(area));
        inPicture.push_back(spanOf(area, picture.width, picture.height));
    }
    measureBackground(picture, view, inView, inPicture, figures);
}

} // namespace velmora::registry
