#pragma once

// What a JPEG file's segments say before the picture data: its size, how it
// is coded, its stated resolution and whether it carries anything besides
// the picture (EXIF with the orientation and the phone's details, XMP, ICC
// profiles, comments).

#include <optional>
#include <string_view>

namespace velmora::registry {

struct JpegInfo {
    int width = 0;
    int height = 0;
    bool baseline = false;    // SOF0: sequential, Huffman, 8-bit
    bool progressive = false; // SOF2
    bool hasJfif = false;     // an APP0 "JFIF" segment
    int densityUnit = 0;      // JFIF: 0 none, 1 dots per inch, 2 dots per cm
    int densityX = 0;
    int densityY = 0;
    bool hasMetadata = false; // any APP1..APP15 segment or a comment
};

// The segments of `bytes` up to the first start of scan; empty when the
// bytes do not begin like a JPEG file, a segment runs past the end, or no
// frame header comes before the scan.
std::optional<JpegInfo> readJpegInfo(std::string_view bytes);

} // namespace velmora::registry
