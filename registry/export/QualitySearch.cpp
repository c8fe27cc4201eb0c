#include "registry/export/QualitySearch.h"

namespace velmora::registry {

QualityResult searchQuality(const JpegEncoder& encode, std::uint64_t minBytes, std::uint64_t maxBytes)
{
    QualityResult result;
    auto tryQuality = [&](int quality) -> std::optional<std::string> {
        ++result.encodes;
        std::string bytes = encode(quality);
        if (bytes.empty())
            return std::nullopt;
        return bytes;
    };
    const auto best = tryQuality(100);
    if (!best)
        return result;
    if (best->size() < minBytes) {
        result.status = QualityResult::Status::TooSmall;
        return result;
    }
    if (best->size() <= maxBytes) {
        result = {QualityResult::Status::Fits, 100, *best, result.encodes};
        return result;
    }
    // Invariant: `high` is too large; every quality below `low` was too large
    // or is the best fit so far.
    int low = 1;
    int high = 100;
    bool belowMaximum = false;
    while (low < high) {
        const int middle = (low + high) / 2;
        const auto bytes = tryQuality(middle);
        if (!bytes) {
            result.status = QualityResult::Status::EncodeFailed;
            return result;
        }
        if (bytes->size() > maxBytes) {
            high = middle;
        } else {
            belowMaximum = true;
            if (bytes->size() >= minBytes) {
                result.bytes = *bytes;
                result.quality = middle;
            }
            low = middle + 1;
        }
    }
    if (!result.bytes.empty())
        result.status = QualityResult::Status::Fits;
    else if (belowMaximum) // the range lies between two neighbouring qualities
        result.status = QualityResult::Status::TooSmall;
    else
        result.status = QualityResult::Status::TooLarge;
    return result;
}

} // namespace velmora::registry
