#include "registry/face/FaceSearch.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::registry {
namespace {

constexpr int COARSE_HEIGHT = 448;
// The detector's smallest box at a picture's own scale, and its step.
constexpr double SMALLEST_BOX = 73;
constexpr double STEP = 1.2;
// A head is at most this many box sides high (hair included), so the
// smallest head searched for has a box no smaller than its share over this.
constexpr double MOST_HEAD_PER_BOX = 1.9;
// The largest box searched, as a share of the photo's height.
constexpr double LARGEST_BOX = 0.7;
// The fine measurement: the face around the detector's smallest box at
// three scales a third of its step apart, in a crop this many sides wider
// than the box on each side; boxes whose centre moved by more than
// NEAR sides or whose side changed by more than that share are other faces.
constexpr double CROP_MARGIN = 0.7;
constexpr double NEAR = 0.3;
constexpr double LOWEST_WEIGHED = -0.5;

Area clipped(const Area& area, const GreyPicture& picture)
{
    const double left = std::max(0.0, area.left);
    const double top = std::max(0.0, area.top);
    return {left, top, std::min<double>(picture.width, area.right()) - left,
            std::min<double>(picture.height, area.bottom()) - top};
}

// Of two boxes that overlap by half the smaller, one face.
bool sameFace(const Area& a, const Area& b)
{
    const double across = std::min(a.right(), b.right()) - std::max(a.left, b.left);
    const double down = std::min(a.bottom(), b.bottom()) - std::max(a.top, b.top);
    if (across <= 0 || down <= 0)
        return false;
    const double smaller = std::min(a.width * a.height, b.width * b.height);
    return across * down >= 0.5 * smaller;
}

void addUnlessKnown(std::vector<FaceBox>& faces, const FaceBox& face)
{
    for (FaceBox& known : faces)
        if (sameFace(known.box, face.box)) {
            if (face.score > known.score)
                known = face;
            return;
        }
    faces.push_back(face);
}

// The face's box as the mean of the boxes found around it at scales between
// the detector's steps, each weighed by how sure the detector was.
FaceBox measureFinely(const GreyPicture& picture, const FaceBox& face, FaceDetector& detector)
{
    const double side = face.box.width;
    const Area around = clipped({face.box.left - CROP_MARGIN * side, face.box.top - CROP_MARGIN * side,
                                 (1 + 2 * CROP_MARGIN) * side, (1 + 2 * CROP_MARGIN) * side}, picture);
    const int width = static_cast<int>(std::lround(around.width));
    const int height = static_cast<int>(std::lround(around.height));
    const GreyPicture crop = resampled(picture, around, width, height);
    double total = std::max(0.0, face.score - LOWEST_WEIGHED);
    double left = total * face.box.left;
    double top = total * face.box.top;
    double size = total * side;
    for (const int third : {-1, 0, 1}) {
        const double smallest = side / std::pow(STEP, third / 3.0);
        for (const FaceBox& found : detector.find(crop, smallest, smallest, LOWEST_WEIGHED)) {
            const Area box{found.box.left + around.left, found.box.top + around.top, found.box.width, found.box.height};
            const double moved = std::hypot(box.left + box.width / 2 - (face.box.left + side / 2),
                                            box.top + box.height / 2 - (face.box.top + side / 2));
            if (moved > NEAR * side || std::abs(box.width - side) > NEAR * side)
                continue;
            const double weight = found.score - LOWEST_WEIGHED;
            total += weight;
            left += weight * box.left;
            top += weight * box.top;
            size += weight * box.width;
        }
    }
    if (total <= 0)
        return face;
    return {{left / total, top / total, size / total, size / total}, face.score};
}

} // namespace

FaceSearchResult searchFaces(const GreyPicture& picture)
{
    FaceSearchResult result;
    if (picture.width <= 0 || picture.height <= 0)
        return result;
    const FaceDetector::Lease lease;
    FaceDetector& detector = *lease;
    const double threshold = std::min(STUDENT_SCORE, SECOND_FACE_SCORE);
    const double smallestBox = SMALLEST_HEAD_SHARE * picture.height / MOST_HEAD_PER_BOX;
    const double largestBox = LARGEST_BOX * picture.height;

    const double coarse = std::min(1.0, double(COARSE_HEIGHT) / picture.height);
    const GreyPicture small = coarse < 1
        ? resampled(picture, {0, 0, double(picture.width), double(picture.height)},
                    std::max(1, static_cast<int>(std::lround(picture.width * coarse))), COARSE_HEIGHT)
        : picture;
    const double toPicture = double(picture.height) / small.height;
    std::vector<FaceBox> faces;
    for (const FaceBox& found : detector.find(small, SMALLEST_BOX, largestBox / toPicture, threshold))
        faces.push_back({{found.box.left * toPicture, found.box.top * toPicture, found.box.width * toPicture,
                          found.box.height * toPicture}, found.score});
    result.passes = 1;

    // What the coarse pass could not see: faces below its smallest box, down
    // to 60 % of the student's (or the smallest student's, if none was seen).
    const auto strongest = [&]() -> const FaceBox* {
        const FaceBox* best = nullptr;
        for (const FaceBox& face : faces)
            if (face.score >= STUDENT_SCORE && (!best || face.score > best->score))
                best = &face;
        return best;
    };
    const double coarseSmallest = SMALLEST_BOX * toPicture;
    const FaceBox* student = strongest();
    const double needed = std::max(smallestBox, student ? SECOND_FACE_SIZE * student->box.width : 0.0);
    if (needed < coarseSmallest / std::sqrt(STEP)) {
        for (const FaceBox& found : detector.find(picture, needed, coarseSmallest / std::sqrt(STEP), threshold))
            addUnlessKnown(faces, found);
        result.passes = 2;
        student = strongest();
    }
    if (!student)
        return result;
    result.student = measureFinely(picture, *student, detector);

    for (const FaceBox& face : faces) {
        if (&face == student || sameFace(face.box, student->box) || face.score < SECOND_FACE_SCORE
            || face.box.width < SECOND_FACE_SIZE * student->box.width)
            continue;
        if (!result.second || face.score > result.second->score)
            result.second = face;
    }
    return result;
}

} // namespace velmora::registry
