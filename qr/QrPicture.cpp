#include "qr/QrPicture.h"

#include "platform/Codepage.h"

#include <qrcodegen.hpp>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <string>

namespace velmora::qr {
namespace {

constexpr std::int32_t MAX_CONFIGURE1 = 40;
constexpr std::int32_t MAX_CONFIGURE2 = 4;
constexpr double MIN_APPEARANCE = 0.02;
constexpr double MAX_APPEARANCE = 0.26;
constexpr double APPEARANCE_TOLERANCE = 1e-07;

qrcodegen::QrCode::Ecc correctionLevel(std::int32_t configure2)
{
    using Ecc = qrcodegen::QrCode::Ecc;
    switch (configure2) {
    case 1: return Ecc::LOW;
    case 3: return Ecc::QUARTILE;
    case 4: return Ecc::HIGH;
    default: return Ecc::MEDIUM; // 0 and 2
    }
}

// Paints `code` centred into a white 400 x 400 image, each module a square of
// `scale` pixels.
Bitmap paint(const qrcodegen::QrCode& code, int scale)
{
    Bitmap image = Bitmap::filled(RENDER_SIZE, RENDER_SIZE, WHITE);
    const int modules = code.getSize();
    const int offset = (RENDER_SIZE - modules * scale) / 2;
    assert(scale >= 1 && offset >= 0);
    for (int my = 0; my < modules; ++my) {
        for (int mx = 0; mx < modules; ++mx) {
            if (!code.getModule(mx, my))
                continue;
            for (int dy = 0; dy < scale; ++dy) {
                for (int dx = 0; dx < scale; ++dx)
                    image.set(offset + mx * scale + dx, offset + my * scale + dy, BLACK);
            }
        }
    }
    return image;
}

} // namespace

QrSettings boundSettings(std::int32_t configure1, std::int32_t configure2, double appearance)
{
    QrSettings settings;
    settings.minVersion = std::clamp(configure1, 0, MAX_CONFIGURE1);
    settings.correction = std::clamp(configure2, 0, MAX_CONFIGURE2);
    if (std::isnan(appearance) || appearance < MIN_APPEARANCE - APPEARANCE_TOLERANCE)
        settings.border = MIN_APPEARANCE;
    else if (appearance > MAX_APPEARANCE + APPEARANCE_TOLERANCE)
        settings.border = MAX_APPEARANCE;
    else
        settings.border = appearance;
    return settings;
}

std::optional<Bitmap> renderSymbol(std::string_view payload, const QrSettings& requested)
{
    // Bounded again: a border past 0.26 would leave a version-40 symbol
    // less than one pixel per module.
    const QrSettings settings = boundSettings(requested.minVersion, requested.correction, requested.border);
    // makeSegments picks the most compact mode (numeric, alphanumeric or
    // bytes) for the whole text; it reads a zero-terminated string.
    const std::string text(payload.substr(0, payload.find('\0')));
    const auto segments = qrcodegen::QrSegment::makeSegments(text.c_str());
    const int minVersion = std::max<int>(qrcodegen::QrCode::MIN_VERSION, settings.minVersion);
    try {
        // No boosting of the level: configure2 is the level the symbol gets.
        const auto code = qrcodegen::QrCode::encodeSegments(
            segments, correctionLevel(settings.correction), minVersion,
            qrcodegen::QrCode::MAX_VERSION, -1, false);
        const long border = std::lround(settings.border * RENDER_SIZE);
        const int room = RENDER_SIZE - 2 * static_cast<int>(border);
        return paint(code, std::max(1, room / code.getSize()));
    } catch (const qrcodegen::data_too_long&) {
        return std::nullopt;
    }
}

std::vector<std::uint8_t> MakeQrPicture(std::string_view text, std::int32_t configure1,
                                        std::int32_t configure2, double appearance)
{
    // One call at a time: the start-up panel's worker and the download
    // dialog both make pictures, and each call holds two full-size images;
    // serialising keeps the renderer free to use shared state.
    static std::mutex lock;
    const std::lock_guard guard(lock);
    try {
        text = text.substr(0, text.find('\0'));
        text = text.substr(0, MAX_TEXT_BYTES);
        const std::string payload = platform::gbkToUtf8(text);
        const QrSettings settings = boundSettings(configure1, configure2, appearance);
        const std::optional<Bitmap> rendered = renderSymbol(payload, settings);
        if (!rendered)
            return bmpFileBytes(Bitmap{});
        const Corner corner = findCorner(*rendered);
        const int size = measureSymbol(*rendered, corner);
        return bmpFileBytes(cutOut(*rendered, corner, size));
    } catch (const std::exception&) {
        // Out of memory or a conversion failure: the empty picture, as for a
        // payload too long to encode.
        return bmpFileBytes(Bitmap{});
    }
}

} // namespace velmora::qr
