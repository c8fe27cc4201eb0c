#pragma once

// The highest JPEG quality whose file fits a size range, found by narrowing
// the range of qualities from the top and then halving it, rather than
// stepping through them.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace velmora::registry {

// Encodes the picture at a quality in [1, 100]; empty when encoding failed.
using JpegEncoder = std::function<std::string(int quality)>;

struct QualityResult {
    enum class Status {
        Fits,       // `bytes` holds the file at `quality`
        TooLarge,   // even quality 1 is above the maximum
        TooSmall,   // even quality 100 is below the minimum
        EncodeFailed,
    };
    Status status = Status::EncodeFailed;
    int quality = 0;
    std::string bytes;
    int encodes = 0; // how many times `encode` ran
};

// The highest quality in [1, 100] whose file has between `minBytes` and
// `maxBytes` bytes. A file grows with the quality almost everywhere but not
// strictly; whatever the search returns has been encoded and measured, so it
// always fits. Quality 100 is tried first, as a small picture often fits
// whole; then steps down from it that double (1, 2, 4, ...) until one fits,
// and halving between the last two: three or four encodes more for a
// quality in the nineties, where photos for the registry land, and at most
// twelve more anywhere.
QualityResult searchQuality(const JpegEncoder& encode, std::uint64_t minBytes, std::uint64_t maxBytes);

} // namespace velmora::registry
