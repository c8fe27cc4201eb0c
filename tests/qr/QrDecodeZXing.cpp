#include "QrDecode.h"

#define ZX_USE_UTF8 1 // text() and ecLevel() as UTF-8 std::string
#include <ZXing/ReadBarcode.h>

namespace velmora::qr::test {

Decoded decodeLuminance(const std::vector<std::uint8_t>& luminance, int side)
{
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    const ZXing::Result result =
        ZXing::ReadBarcode({luminance.data(), side, side, ZXing::ImageFormat::Lum}, hints);
    if (!result.isValid())
        return {};
    const auto& bytes = result.bytes();
    return {true, std::string(bytes.begin(), bytes.end()), result.ecLevel()};
}

} // namespace velmora::qr::test
