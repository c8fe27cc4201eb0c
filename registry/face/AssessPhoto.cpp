#include "registry/face/AssessPhoto.h"

#include "registry/face/DecodedPhoto.h"

#include <QImageReader>

namespace velmora::registry {

void prepareImageReading()
{
    QImageReader::supportedImageFormats();
}

PhotoAssessment assessPhoto(std::string_view bytes, const FrameShape& shape)
{
    const auto decoded = decodePhoto(bytes);
    return decoded ? assessDecoded(*decoded, shape) : unreadablePhoto();
}

} // namespace velmora::registry
