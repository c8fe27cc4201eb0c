#pragma once

// Test support: reads QR pictures back with ZXing-cpp, a decoder written
// independently of the encoder the program uses, so a wrong payload, a broken
// BMP layout or a cut through the symbol shows up as a failed decode.

#include "qr/Bitmap.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::qr::test {

// The pixels of a BMP file: uncompressed 24-bit, rows bottom-up or top-down.
// No value for anything else or for truncated bytes.
std::optional<Bitmap> readBmp(const std::vector<std::uint8_t>& file);

struct Decoded {
    bool ok = false;
    std::string bytes;    // the symbol's content bytes, as encoded
    std::string ecLevel;  // "L", "M", "Q" or "H"
};

// Decodes a square grey image of `side` × `side` pixels, one byte each, by
// ZXing-cpp: in the process on the host, or through the host's
// velmora-qr-decode in a Windows build run under Wine.
Decoded decodeLuminance(const std::vector<std::uint8_t>& luminance, int side);

// Decodes a margin-free symbol: the test adds the white quiet zone a phone
// gets from the window around the picture box.
Decoded decodeSymbol(const Bitmap& picture);
Decoded decodeBmp(const std::vector<std::uint8_t>& file);

// The symbol's width in modules, from the run of dark pixels along the top
// row of the top-left finder pattern (7 modules wide). 0 for no symbol.
int moduleCount(const Bitmap& picture);

} // namespace velmora::qr::test
