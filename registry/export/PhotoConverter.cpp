#include "registry/export/PhotoConverter.h"

#include "registry/export/Downscale.h"
#include "registry/export/QualitySearch.h"
#include "registry/face/DecodedPhoto.h"
#include "registry/face/UprightImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace velmora::registry {
namespace {

// The decoded part keeps at least this many times the preset's pixels in
// each direction, so that the Lanczos filter, not the decoder's 8 × 8 block
// averages, makes the final pixels. With a margin of 1 (a 12-megapixel photo
// decoded at an eighth, then shrunk by only 1.06) the export benchmark's
// PSNR fell by 8 dB at the same file size.
constexpr int DECODE_MARGIN = 2;
// The frame is made from the photo's one decode (DecodedPhoto) when that
// holds the margin; otherwise (heads under about 30 % of a 12-megapixel
// photo's height) the frame is decoded again, finer.
constexpr double COPY_MARGIN = DECODE_MARGIN;

constexpr double METRES_PER_INCH = 0.0254;


// The largest power-of-two reduction JPEG decoding offers that keeps the
// margin above the preset.
int decodeReduction(const CropRect& crop, const ExportPreset& preset)
{
    for (int reduction = 8; reduction > 1; reduction /= 2) {
        if (crop.width / reduction >= DECODE_MARGIN * preset.width
            && crop.height / reduction >= DECODE_MARGIN * preset.height)
            return reduction;
    }
    return 1;
}

QImage shrink(const QImage& image, const ExportPreset& preset)
{
    if (image.size() == QSize(preset.width, preset.height))
        return image;
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    QImage target(preset.width, preset.height, QImage::Format_RGB32);
    // Read only: constBits, as bits() would copy the megabytes of a picture
    // shared with the decoded photo.
    resampleLanczos3({const_cast<std::uint32_t*>(reinterpret_cast<const std::uint32_t*>(source.constBits())),
                      source.width(), source.height(),
                      source.bytesPerLine() / 4},
                     {reinterpret_cast<std::uint32_t*>(target.bits()), target.width(), target.height(),
                      target.bytesPerLine() / 4});
    return target;
}

// Only pixels and the resolution: no text (which would become comments),
// no colour profile, no orientation.
QImage bareCopy(const QImage& image, const ExportPreset& preset)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QImage bare(rgb.size(), QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(bare.scanLine(y), rgb.constScanLine(y), static_cast<std::size_t>(rgb.bytesPerLine()));
    const int dotsPerMetre = static_cast<int>(std::lround(preset.dotsPerInch / METRES_PER_INCH));
    bare.setDotsPerMeterX(dotsPerMetre);
    bare.setDotsPerMeterY(dotsPerMetre);
    return bare;
}

std::string encodeJpeg(const QImage& image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setOptimizedWrite(true);      // smaller Huffman tables, still baseline
    writer.setProgressiveScanWrite(false);
    if (!writer.write(image))
        return {};
    return bytes.toStdString();
}

// The upright `image` (at least the margin above the preset) made into the
// file: in sRGB, shrunk, stripped, encoded at the highest quality that fits.
Conversion finish(QImage image, const ExportPreset& preset)
{
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    const QImage bare = bareCopy(shrink(image, preset), preset);
    const QualityResult found = searchQuality([&](int quality) { return encodeJpeg(bare, quality); },
                                              preset.minBytes, preset.maxBytes);
    if (found.status != QualityResult::Status::Fits)
        return {Conversion::Status::CannotFit, {}};
    return {Conversion::Status::Converted, found.bytes};
}

// `crop` of the upright photo decoded anew: at the smallest scale that
// keeps the margin, only that part.
Conversion decodePart(std::string_view photo, const ExportPreset& preset, const CropRect& crop)
{
    QByteArray bytes = QByteArray::fromRawData(photo.data(), static_cast<qsizetype>(photo.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    reader.setQuality(100); // accurate DCT and smooth chroma upsampling
    const QSize stored = reader.size();
    if (!stored.isValid())
        return {Conversion::Status::Unreadable, {}};
    const auto turn = reader.transformation();
    // The kept part in the stored picture's pixels, on the reduction's grid.
    const int reduction = decodeReduction(crop, preset);
    const QRect kept = uprightTransform(turn, stored)
                           .inverted()
                           .mapRect(QRectF(crop.x, crop.y, crop.width, crop.height))
                           .toAlignedRect()
                           .intersected(QRect(QPoint(0, 0), stored));
    const QRect clip((kept.x() / reduction) * reduction, (kept.y() / reduction) * reduction,
                     (kept.width() / reduction) * reduction, (kept.height() / reduction) * reduction);
    reader.setClipRect(clip);
    reader.setScaledSize(clip.size() / reduction);
    const QImage image = reader.read();
    if (image.isNull())
        return {Conversion::Status::Unreadable, {}};
    return finish(turnUpright(image, turn), preset);
}

// `crop` made from the decoded copy, or nothing when the copy holds fewer
// than the margin's pixels of it.
std::optional<Conversion> fromCopy(const DecodedPhoto& decoded, const ExportPreset& preset, const CropRect& crop)
{
    const int r = decoded.reduction;
    const double margin = std::min(double(crop.width) / r / preset.width, double(crop.height) / r / preset.height);
    if (margin < COPY_MARGIN)
        return std::nullopt;
    const QRect kept = uprightTransform(decoded.turn, decoded.storedSize)
                           .inverted()
                           .mapRect(QRectF(crop.x, crop.y, crop.width, crop.height))
                           .toAlignedRect();
    const QRect inCopy = QRect(kept.x() / r, kept.y() / r, kept.width() / r, kept.height() / r)
                             .intersected(decoded.stored.rect());
    // As decoding at a coarser scale would: blocks down to no less than the
    // margin (blocks to its nearest cost 1.4 dB).
    const int blocks = std::max(1, static_cast<int>(margin / DECODE_MARGIN));
    const QImage part = inBlocks(turnUpright(decoded.stored.copy(inCopy), decoded.turn), blocks);
    return finish(part, preset);
}

} // namespace

Conversion convertPhoto(std::string_view photo, const ExportPreset& preset, bool keepFlagged)
{
    const auto decoded = decodePhoto(photo);
    const PhotoAssessment judged =
        decoded ? assessDecoded(*decoded, FrameShape{preset.width, preset.height}) : unreadablePhoto();
    const PhotoCheck check = judged.verdict;
    if (check != PhotoCheck::Passed && !keepFlagged)
        return {Conversion::Status::Reshoot, {}, check};
    if (!decoded)
        return {Conversion::Status::Unreadable, {}, check};
    // Framed by the head where a face gave a frame; otherwise (a photo kept
    // although flagged) cut as without face finding.
    const CropRect crop = judged.frame
        ? CropRect{judged.frame->x, judged.frame->y, judged.frame->width, judged.frame->height}
        : cropForPreset(judged.uprightWidth, judged.uprightHeight, preset);
    if (crop.width < preset.width || crop.height < preset.height)
        return {Conversion::Status::SmallerThanPreset, {}, check};
    if (crop == CropRect{0, 0, judged.uprightWidth, judged.uprightHeight} && meetsPreset(photo, preset))
        return {Conversion::Status::Unchanged, {}, check};
    const auto fromDecoded = fromCopy(*decoded, preset, crop);
    Conversion made = fromDecoded ? *fromDecoded : decodePart(photo, preset, crop);
    made.check = check;
    return made;
}

} // namespace velmora::registry
