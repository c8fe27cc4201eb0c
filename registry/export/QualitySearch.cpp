#include "registry/export/QualitySearch.h"

#include <algorithm>

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
    // or is the best fit so far. Photos for the registry fit a few steps
    // below 100, so the range is first narrowed from the top in doubling
    // steps (99, 97, 93, 85, ...) and only then halved.
    int low = 1;
    int high = 100;
    bool belowMaximum = false;
    // Encodes `quality` and narrows the range by its size; false when
    // encoding failed.
    auto measure = [&](int quality, bool& tooLarge) {
        const auto bytes = tryQuality(quality);
        if (!bytes)
            return false;
        tooLarge = bytes->size() > maxBytes;
        if (tooLarge) {
            high = quality;
        } else {
            belowMaximum = true;
            if (bytes->size() >= minBytes) {
                result.bytes = *bytes;
                result.quality = quality;
            }
            low = quality + 1;
        }
        return true;
    };
    for (int step = 1; low < high; step *= 2) {
        bool tooLarge = false;
        if (!measure(std::max(low, high - step), tooLarge)) {
            result.status = QualityResult::Status::EncodeFailed;
            return result;
        }
        if (!tooLarge)
            break;
    }
    while (low < high) {
        bool tooLarge = false;
        if (!measure((low + high) / 2, tooLarge)) {
            result.status = QualityResult::Status::EncodeFailed;
            return result;
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
