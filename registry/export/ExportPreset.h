#pragma once

// What an exported photo must be: its pixel size, its file-size range and the
// resolution its header states, and the part of a photo that is kept to reach
// the preset's proportions.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::registry {

struct ExportPreset {
    int width = 0;  // pixels, > 0
    int height = 0; // pixels, > 0
    std::uint64_t minBytes = 0; // the file holds at least this many bytes
    std::uint64_t maxBytes = 0; // and at most this many
    int dotsPerInch = 350;      // written into the JFIF header
};

// "全国中小学学籍 358×441，小于60KB": 358 × 441 pixels at 350 dpi, and fewer
// than 60,000 bytes. "60KB" is read in the stricter of its two senses (60,000
// rather than 61,440 bytes) so that a file passes whichever way the upload
// site counts; the cost is under 3 % of the bytes.
ExportPreset registryPreset();

// The preset's name as staff see it, UTF-8.
std::string registryPresetName();

// "smaller than N KB" as a byte limit, in the stricter sense: N × 1000 − 1;
// 0 for N = 0.
std::uint64_t maxBytesForKb(std::uint64_t kb);
// "at least N KB" as a byte count, in the stricter sense: N × 1024.
std::uint64_t minBytesForKb(std::uint64_t kb);

// A rectangle of the upright photo, in pixels.
struct CropRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const CropRect&) const = default;
};

// The largest part of an upright `width` × `height` photo with the preset's
// proportions; nothing is stretched. A photo too tall for them loses a
// quarter of the excess at the top and three quarters at the bottom: the
// head sits in the upper part of a roll photo, often close to the top edge,
// and what goes at the bottom is shoulders and chest. A photo too wide loses
// the same on either side, as the student stands in the middle. Empty (all
// zero) for a photo or preset without pixels.
CropRect cropForPreset(int width, int height, const ExportPreset& preset);

// The command line's options (--size WxH, --max-kb N, --min-kb N, each also
// as --name=value) applied to the registry preset. Empty, with `error` set
// to a UTF-8 message, for an unknown option, a missing or bad value, or a
// minimum not below the maximum.
std::optional<ExportPreset> presetFromOptions(const std::vector<std::string>& options, std::string& error);

} // namespace velmora::registry
