#include "registry/face/DecodedPhoto.h"

#include "registry/face/BlockPool.h"
#include "registry/face/PhotoEnd.h"
#include "registry/face/UprightImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QImageReader>

#include <algorithm>

namespace velmora::registry {
namespace {

// At least this many lines are decoded: enough for the registry's file of
// a head down to about 30 % of the height; the checks see half of it, no
// fewer than 720 lines (the coarse search needs 448).
constexpr int DECODED_LINES = 1440;

PictureView viewOf(const QImage& image)
{
    return {reinterpret_cast<const std::uint32_t*>(image.constBits()), image.width(), image.height(),
            image.bytesPerLine() / 4};
}

// The JPEG scale a photo of `upright` size is decoded at: the smallest
// that leaves DECODED_LINES.
int reductionFor(QSize upright)
{
    int reduction = 1;
    while (reduction < 4 && upright.height() / (2 * reduction) >= DECODED_LINES)
        reduction *= 2;
    return reduction;
}

// Idle decode blocks kept for the next photos: two 12-megapixel decodes,
// one for each of a two-core machine's export workers.
constexpr std::size_t KEPT_DECODE_BYTES = std::size_t{32} * 1024 * 1024;

// Never destroyed: a thread the program abandons at its end may still hold
// a decoded photo.
BlockPool& decodeBlocks()
{
    static BlockPool* const pool = new BlockPool(KEPT_DECODE_BYTES);
    return *pool;
}

// An RGB32 picture of `size` on a pooled block, which goes back to the pool
// when the last copy of the picture is gone. What the JPEG reader decodes
// into when the photo gives it that size and format (a colour photo); it
// makes a picture of its own otherwise.
QImage pooledPicture(QSize size)
{
    const auto bytesPerLine = static_cast<std::size_t>(size.width()) * 4;
    auto* block = new BlockPool::Block(decodeBlocks().take(bytesPerLine * static_cast<std::size_t>(size.height())));
    return QImage(
        block->data.get(), size.width(), size.height(), static_cast<qsizetype>(bytesPerLine), QImage::Format_RGB32,
        [](void* info) {
            auto* given = static_cast<BlockPool::Block*>(info);
            decodeBlocks().give(std::move(*given));
            delete given;
        },
        block);
}

// The checks see the decoded copy brought down by this much.
int blocksFor(int decodedLines)
{
    return decodedLines >= DECODED_LINES ? 2 : 1;
}

} // namespace

std::size_t decodingMemory(QSize stored)
{
    if (!stored.isValid() || stored.isEmpty())
        return 0;
    // Either orientation: the larger reduction is not assumed.
    const int r = std::min(reductionFor(stored), reductionFor(stored.transposed()));
    const std::size_t decoded = std::size_t((stored.width() + r - 1) / r) * std::size_t((stored.height() + r - 1) / r) * 4;
    const int blocks = blocksFor(std::min(stored.width(), stored.height()) / r);
    // The checks' copy, once shrunk and once turned, and their own planes.
    return decoded + 2 * decoded / std::size_t(blocks * blocks) + std::size_t{2} * 1024 * 1024;
}

std::optional<DecodedPhoto> decodePhoto(std::string_view bytes)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    reader.setQuality(100); // accurate DCT and smooth chroma upsampling
    DecodedPhoto decoded;
    decoded.storedSize = reader.size();
    if (!decoded.storedSize.isValid() || decoded.storedSize.isEmpty())
        return std::nullopt;
    decoded.turn = reader.transformation();
    decoded.upright = uprightTransform(decoded.turn, decoded.storedSize)
                          .mapRect(QRect(QPoint(0, 0), decoded.storedSize))
                          .size();
    decoded.reduction = reductionFor(decoded.upright);
    // The size JPEG's own scaling gives (rounded up), so the reader does not
    // scale a second time.
    const int r = decoded.reduction;
    const QSize scaled((decoded.storedSize.width() + r - 1) / r, (decoded.storedSize.height() + r - 1) / r);
    reader.setScaledSize(scaled);
    decoded.stored = pooledPicture(scaled);
    if (!reader.read(&decoded.stored) || decoded.stored.isNull())
        return std::nullopt;
    decoded.stored = decoded.stored.convertToFormat(QImage::Format_RGB32);
    decoded.wholeFile = photoEnd(bytes) != PhotoEnd::CutShort;
    return decoded;
}

PhotoAssessment assessDecoded(const DecodedPhoto& decoded, const FrameShape& shape)
{
    const int blocks = blocksFor(decoded.stored.height());
    const QImage copy = turnUpright(inBlocks(decoded.stored, blocks), decoded.turn);
    return assessPicture(viewOf(copy), decoded.upright.width(), decoded.upright.height(), decoded.wholeFile, shape);
}

QImage inBlocks(const QImage& image, int factor)
{
    if (factor <= 1)
        return image;
    QImage shrunk(image.width() / factor, image.height() / factor, QImage::Format_RGB32);
    shrinkInBlocks(viewOf(image), factor, reinterpret_cast<std::uint32_t*>(shrunk.bits()), shrunk.bytesPerLine() / 4);
    shrunk.setColorSpace(image.colorSpace());
    return shrunk;
}

} // namespace velmora::registry
