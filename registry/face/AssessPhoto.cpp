#include "registry/face/AssessPhoto.h"

#include "registry/face/DecodedPhoto.h"

#include <QImageReader>

#include <fstream>
#include <iterator>

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

PhotoAssessment assessPhoto(std::shared_ptr<const std::string> bytes, const FrameShape& shape)
{
    const auto decoded = bytes ? decodePhoto(*bytes) : std::nullopt;
    bytes.reset();
    return decoded ? assessDecoded(*decoded, shape) : unreadablePhoto();
}

std::string judgePhotoFile(const std::filesystem::path& photo)
{
    std::ifstream file(photo, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const PhotoCheck verdict = !file.is_open() || file.bad() ? PhotoCheck::Incomplete : assessPhoto(bytes).verdict;
    return verdict == PhotoCheck::Passed ? std::string() : std::string(reasonText(verdict));
}

} // namespace velmora::registry
