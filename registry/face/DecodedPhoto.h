#pragma once

// A stored photo decoded once, for the face checks and (in the export) for
// the registry's file: at the smallest scale JPEG offers that leaves at
// least 1440 lines (a half of a 12-megapixel phone photo), as stored; the
// checks see it brought down in blocks to at least 720 lines (a quarter),
// turned upright. The window's verdict and the export judge a photo from the
// same copy, so they never disagree about it.

#include "registry/face/PhotoAssessment.h"

#include <QImage>
#include <QImageIOHandler>
#include <QSize>

#include <cstddef>
#include <optional>
#include <string_view>

namespace velmora::registry {

struct DecodedPhoto {
    QImage stored;    // RGB32, at 1/reduction of the photo, as stored (not turned)
    QImageIOHandler::Transformations turn; // what the orientation tag asks
    QSize storedSize; // the whole photo, as stored
    QSize upright;    // the whole photo, turned upright
    int reduction = 1; // 1, 2 or 4
    bool wholeFile = true; // the bytes end as the format requires (PhotoEnd)
};

// Accurate DCT and smooth chroma upsampling, as the registry's file needs.
// Empty when Qt cannot decode the bytes.
std::optional<DecodedPhoto> decodePhoto(std::string_view bytes);

// What decoding and judging a photo of `stored` pixels holds at most besides
// its bytes: the decoded copy and the checks' smaller, upright ones. A
// 12-megapixel photo takes about 18 MB, a 40-megapixel one 50 MB.
std::size_t decodingMemory(QSize stored);

// The checks of PhotoChecks.h on `decoded`.
PhotoAssessment assessDecoded(const DecodedPhoto& decoded, const FrameShape& shape);

// `image` brought down to 1/factor in blocks (shrinkInBlocks); itself for a
// factor of 1. Keeps the colour space.
QImage inBlocks(const QImage& image, int factor);

} // namespace velmora::registry
