#pragma once

// Text to QR picture: the picture of the PC's address in the main window and
// of the phone app's download address in the download dialog.
//
// What the three settings select (the one place this is written down):
//
//   configure1  0..40  the smallest QR version (symbol size) the symbol may
//                      use; 0 means any, so the smallest version the payload
//                      fits is chosen. A payload that needs a larger version
//                      than configure1 gets the larger one.
//   configure2  0..4   the error-correction level of ISO/IEC 18004:
//                      0 = M (the usual default), 1 = L (7 % of the code
//                      words recoverable), 2 = M (15 %), 3 = Q (25 %),
//                      4 = H (30 %). Higher levels survive a smudged or
//                      reflecting screen better but hold less text.
//   appearance 0.02..0.26  the white border kept on each side of the symbol
//                      in the 400 x 400 rendering, as a fraction of the
//                      image width (0.25 = 100 pixels). The border is cut away
//                      afterwards; what it changes is the room left for the
//                      symbol, and so how many pixels one module gets: the
//                      symbol is drawn with the largest whole number of pixels
//                      per module that fits in 400 - 2 x border pixels
//                      (384 at 0.02, 192 at 0.26; even a version-40 symbol of
//                      177 modules gets at least one pixel per module).
//
// The connection panel asks for (0, 9, 0.3), bounded to (0, 4, 0.26); the
// download dialog for (0, 4, 0.25).

#include "qr/Bitmap.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::qr {

// Texts longer than this many GBK bytes are cut before encoding.
constexpr std::size_t MAX_TEXT_BYTES = 2400;
// The rendering's width and height in pixels.
constexpr int RENDER_SIZE = 400;

struct QrSettings {
    std::int32_t minVersion = 0;     // configure1
    std::int32_t correction = 0;     // configure2
    double border = 0.02;            // appearance
};

// The settings bounded: configure1 to [0, 40], configure2 to [0, 4],
// appearance to [0.02, 0.26] with a tolerance of 1e-07 (a value less than
// 1e-07 outside a bound is kept as it is). A NaN appearance becomes 0.02.
QrSettings boundSettings(std::int32_t configure1, std::int32_t configure2, double appearance);

// The 400 x 400 rendering of `payload` (the bytes the symbol holds) with
// `settings`, bounded as boundSettings says: black modules on white, a whole number of pixels per
// module, the symbol centred and nothing dark outside it. No value when the
// payload fits no QR version at the chosen error-correction level.
std::optional<Bitmap> renderSymbol(std::string_view payload, const QrSettings& settings);

// The QR picture of `text` as the bytes of a complete BMP file, cut down to
// the square of the symbol (no white margin), 24 bits per pixel.
// `text` is GBK and ends at its first zero byte; beyond MAX_TEXT_BYTES it is
// cut, a double-byte character cut in half by that is dropped, and the rest
// is converted to UTF-8, which the symbol holds (up to 3600 bytes).
// The settings are bounded as boundSettings says; see the top of this file
// for what they select. A payload too long for any QR version (over 2953
// UTF-8 bytes at level L, fewer at higher levels) gives the BMP file of a
// 0 x 0 image. Never throws; safe to call from several threads (one call
// runs at a time).
std::vector<std::uint8_t> MakeQrPicture(std::string_view text, std::int32_t configure1 = 0,
                                        std::int32_t configure2 = 0, double appearance = 0.02);

} // namespace velmora::qr
