#include "registry/face/AssessPhoto.h"

#include "registry/face/PhotoEnd.h"
#include "registry/face/UprightImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace velmora::registry {
namespace {

// The decoded copy keeps at least this many lines: enough for the coarse
// search (504) and for the face to keep the detail the registry's picture
// will have when the head is a third of the photo or more.
constexpr int COPY_LINES = 720;

int reductionFor(QSize upright)
{
    for (int reduction = 8; reduction > 1; reduction /= 2)
        if (upright.height() / reduction >= COPY_LINES)
            return reduction;
    return 1;
}

} // namespace

void prepareImageReading()
{
    QImageReader::supportedImageFormats();
}

PhotoAssessment assessPhoto(std::string_view bytes, const FrameShape& shape)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return unreadablePhoto();
    const auto turn = reader.transformation();
    const QSize upright = uprightTransform(turn, stored).mapRect(QRect(QPoint(0, 0), stored)).size();
    // The size JPEG's own scaling gives (rounded up), so the reader does not
    // scale a second time.
    const int reduction = reductionFor(upright);
    reader.setScaledSize(QSize((stored.width() + reduction - 1) / reduction,
                               (stored.height() + reduction - 1) / reduction));
    QImage image = reader.read();
    if (image.isNull())
        return unreadablePhoto();
    image = turnUpright(image.convertToFormat(QImage::Format_RGB32), turn);
    const PictureView view{reinterpret_cast<const std::uint32_t*>(image.constBits()), image.width(), image.height(),
                           image.bytesPerLine() / 4};
    return assessPicture(view, upright.width(), upright.height(), photoEnd(bytes) != PhotoEnd::CutShort, shape);
}

} // namespace velmora::registry
