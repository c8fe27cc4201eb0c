#include "registry/face/AssessPhoto.h"

#include "registry/face/DecodedPhoto.h"

#include <QBuffer>
#include <QByteArray>
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

std::optional<PhotoAssessment> assessPhoto(std::shared_ptr<const std::string> bytes,
                                           const std::function<bool()>& givenUp, const FrameShape& shape)
{
    const auto decoded = bytes ? decodePhoto(*bytes) : std::nullopt;
    bytes.reset();
    if (givenUp && givenUp())
        return std::nullopt;
    return decoded ? assessDecoded(*decoded, shape) : unreadablePhoto();
}

std::size_t judgingMemory(std::string_view bytes)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return decodingMemory(QImageReader(&buffer).size());
}

std::size_t judgingMemory(int width, int height)
{
    return decodingMemory(QSize(width, height));
}

std::string judgePhotoFile(const std::filesystem::path& photo)
{
    std::ifstream file(photo, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const PhotoCheck verdict = !file.is_open() || file.bad() ? PhotoCheck::Incomplete : assessPhoto(bytes).verdict;
    return verdict == PhotoCheck::Passed ? std::string() : std::string(reasonText(verdict));
}

} // namespace velmora::registry
