#include "registry/face/FramingRule.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::registry {
namespace {

// Face box to head, in box sides (see the header).
constexpr double HAIR_ABOVE_BOX = 0.67;
constexpr double CHIN_BELOW_BOX_TOP = 1.06;
constexpr double CENTRE_RIGHT_OF_BOX = 0.024;

// "头部占照片尺寸的2/3", and what the registry still accepts.
constexpr double HEAD_SHARE = 2.0 / 3.0;
constexpr double LOWEST_SHARE = 0.6;
constexpr double HIGHEST_SHARE = 0.75;
constexpr double SHARE_STEP = 0.001;
// How far off the frame's middle the head may be, in frame widths, where an
// edge leaves no room to centre it.
constexpr double OFF_CENTRE = 0.02;
// About a tenth of the frame above the head.
constexpr double TOP_MARGIN = 0.1;
constexpr double LEAST_MARGIN = 0.06;
constexpr double MOST_MARGIN = 0.14;
// Sizes computed in floating point that meet a limit exactly (a photo
// already framed to the preset) must not miss it by a rounding error.
constexpr double SLACK = 1e-6;

struct Candidate {
    double left = 0;
    double top = 0;
    double height = 0;
    double share = 0;
    double margin = 0;
};

// The frame of head share `share` if one fits: centred on the head, inside
// the photo, at least the preset's height.
std::optional<Candidate> fitting(const FramingInput& input, const HeadBox& head, double share)
{
    const double aspect = double(input.shape.width) / input.shape.height;
    const double height = head.height() / share;
    const double width = height * aspect;
    // Centred on the head, or moved in from an edge by a little: a photo
    // framed to the preset already has no room for a measurement's error.
    const double most = OFF_CENTRE * width + SLACK;
    const double centred = head.centreX - width / 2;
    const double left = std::clamp(centred, 0.0, std::max(0.0, input.photoWidth - width));
    if (height < input.shape.height - SLACK || height > input.photoHeight + SLACK || width > input.photoWidth + SLACK
        || std::abs(left - centred) > most)
        return std::nullopt;
    // The frame's top is head.top - margin × height; it must stay at or
    // below the photo's top and its bottom at or above the photo's bottom.
    const double highest = std::min(MOST_MARGIN, (head.top + SLACK) / height);
    const double lowest = std::max(LEAST_MARGIN, (head.top + height - input.photoHeight - SLACK) / height);
    if (lowest > highest)
        return std::nullopt;
    const double margin = std::clamp(TOP_MARGIN, lowest, highest);
    return Candidate{left, head.top - margin * height, height, share, margin};
}

// Shares from 2/3 outwards in steps of SHARE_STEP, the lower first of two
// equally near, and the shares that make the frame exactly as high as the
// preset or as high or wide as the photo (a photo already framed to the
// preset has room for nothing else).
std::optional<Candidate> nearestFitting(const FramingInput& input, const HeadBox& head)
{
    std::vector<double> shares;
    for (int step = 0; HEAD_SHARE - step * SHARE_STEP >= LOWEST_SHARE - SLACK; ++step)
        shares.push_back(HEAD_SHARE - step * SHARE_STEP);
    for (int step = 1; HEAD_SHARE + step * SHARE_STEP <= HIGHEST_SHARE + SLACK; ++step)
        shares.push_back(HEAD_SHARE + step * SHARE_STEP);
    const double aspect = double(input.shape.width) / input.shape.height;
    for (const double limit : {double(input.shape.height), double(input.photoHeight), input.photoWidth / aspect}) {
        const double share = head.height() / limit;
        if (share >= LOWEST_SHARE && share <= HIGHEST_SHARE)
            shares.push_back(share);
    }
    std::stable_sort(shares.begin(), shares.end(), [](double a, double b) {
        const double nearA = std::abs(a - HEAD_SHARE);
        const double nearB = std::abs(b - HEAD_SHARE);
        return std::abs(nearA - nearB) > SLACK ? nearA < nearB : a < b;
    });
    for (const double share : shares)
        if (auto found = fitting(input, head, share))
            return found;
    return std::nullopt;
}

PixelRect whole(const Candidate& frame, const FramingInput& input)
{
    const int height = std::min(input.photoHeight, static_cast<int>(std::lround(frame.height)));
    const int width = std::min(input.photoWidth,
                               static_cast<int>(std::lround(height * double(input.shape.width) / input.shape.height)));
    const int x = std::clamp(static_cast<int>(std::lround(frame.left)), 0, input.photoWidth - width);
    const int y = std::clamp(static_cast<int>(std::lround(frame.top)), 0, input.photoHeight - height);
    return {x, y, width, height};
}

// For a photo exported although its head is cut: the ideal frame, made no
// larger than the photo and moved inside it; none below the preset.
std::optional<PixelRect> movedInside(const FramingInput& input, const HeadBox& head)
{
    const double aspect = double(input.shape.width) / input.shape.height;
    const double height = std::min({head.height() / HEAD_SHARE, double(input.photoHeight), input.photoWidth / aspect});
    if (height < input.shape.height - SLACK)
        return std::nullopt;
    const double width = height * aspect;
    const double left = std::clamp(head.centreX - width / 2, 0.0, input.photoWidth - width);
    const double top = std::clamp(head.top - TOP_MARGIN * height, 0.0, input.photoHeight - height);
    return whole({left, top, height, 0, 0}, input);
}

} // namespace

HeadBox headOf(const Area& face, const HeadOutline& outline)
{
    const double side = face.height;
    HeadBox head;
    head.top = outline.hair == HairTop::Measured ? outline.top : face.top - HAIR_ABOVE_BOX * side;
    head.chin = face.top + CHIN_BELOW_BOX_TOP * side;
    head.centreX = outline.sidesFound ? outline.centreX : face.left + face.width / 2 + CENTRE_RIGHT_OF_BOX * face.width;
    return head;
}

Framing frameHead(const FramingInput& input)
{
    Framing framing;
    if (input.photoWidth <= 0 || input.photoHeight <= 0 || input.shape.width <= 0 || input.shape.height <= 0
        || input.face.width <= 0 || input.face.height <= 0)
        return framing;
    framing.head = headOf(input.face, input.outline);
    if (framing.head.height() <= 0)
        return framing;
    if (input.outline.hair == HairTop::AtTopEdge) {
        framing.frame = movedInside(input, framing.head);
        return framing;
    }
    if (framing.head.height() / LOWEST_SHARE < input.shape.height - SLACK) {
        framing.status = FramingStatus::TooSmall;
        return framing;
    }
    const auto found = nearestFitting(input, framing.head);
    if (!found) {
        framing.frame = movedInside(input, framing.head);
        if (framing.frame)
            framing.headShare = framing.head.height() / framing.frame->height;
        return framing;
    }
    framing.status = FramingStatus::Framed;
    framing.frame = whole(*found, input);
    framing.headShare = found->share;
    framing.topMargin = found->margin;
    return framing;
}

} // namespace velmora::registry
