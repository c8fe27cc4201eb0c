#include "bench/ExportBenchPhotos.h"

#include "tests/portraits/PortraitJpeg.h"

#include <QBuffer>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace velmora::bench {
namespace {

constexpr int WIDTH = 3024;
constexpr int HEIGHT = 4032;

// A roll photo of the astronaut (tests/portraits): her head 25 % to 60 %
// of the height, a little off-centre and tilted, before light blue, white
// or light grey, with sensor noise whose strength varies by photo.
QImage portrait(int index)
{
    static const test::Rgb BACKGROUNDS[] = {{120, 180, 235}, {245, 245, 245}, {200, 200, 200}, {67, 142, 219}};
    test::Photo photo = test::plainPhoto(WIDTH, HEIGHT, BACKGROUNDS[index % 4]);
    const double share = 0.25 + 0.35 * ((index * 37) % 100) / 99.0;
    const double head = HEIGHT * share;
    // Room for the frame: 1.5 heads high, a tenth of it above the hair.
    const double top = 0.15 * head + (HEIGHT - 1.5 * head) * ((index * 53) % 100) / 99.0 * 0.5;
    const double x = WIDTH * (0.45 + 0.1 * ((index * 71) % 100) / 99.0);
    test::placeAstronaut(photo, {x, top + head / 2, head, -6 + 12 * ((index * 29) % 100) / 99.0});
    test::addNoise(photo, 6 + (index % 5) * 3, static_cast<unsigned>(index));
    return test::imageOf(photo);
}

QByteArray exifOrientation(int orientation)
{
    QByteArray exif("\xFF\xE1\x00\x22"
                    "Exif\x00\x00"
                    "MM\x00\x2A\x00\x00\x00\x08"
                    "\x00\x01"
                    "\x01\x12\x00\x03\x00\x00\x00\x01", 28);
    exif.append(char(0)).append(char(orientation)).append(QByteArray(6, '\0'));
    return exif;
}

} // namespace

int phoneOrientation(int index)
{
    if (index % 3 != 0)
        return 1;
    static const int TAGS[] = {6, 8, 3};
    return TAGS[(index / 3) % 3];
}

QByteArray phonePhoto(int index)
{
    QImage image = portrait(index);
    const int orientation = phoneOrientation(index);
    // Stored as the sensor saw it; the tag turns it back.
    if (orientation == 6)
        image = image.transformed(QTransform().rotate(-90));
    else if (orientation == 8)
        image = image.transformed(QTransform().rotate(90));
    else if (orientation == 3)
        image = image.transformed(QTransform().rotate(180));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 92);
    if (orientation == 1)
        return bytes;
    const qsizetype app0End = 4 + ((uchar(bytes[4]) << 8) | uchar(bytes[5]));
    return bytes.left(app0End) + exifOrientation(orientation) + bytes.mid(app0End);
}

namespace {

// For each target index along one axis, the source indices and the share
// of each.
struct Tap {
    int source;
    double weight;
};

std::vector<std::vector<Tap>> areaTaps(int sourceLength, int targetLength)
{
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(targetLength));
    const double scale = double(sourceLength) / targetLength;
    for (int t = 0; t < targetLength; ++t) {
        const double from = t * scale;
        const double to = (t + 1) * scale;
        for (int s = static_cast<int>(from); s < sourceLength && s < to; ++s) {
            const double share = std::min<double>(to, s + 1) - std::max<double>(from, s);
            if (share > 0)
                taps[static_cast<std::size_t>(t)].push_back({s, share / scale});
        }
    }
    return taps;
}

double lanczos3(double x)
{
    constexpr double PI = 3.14159265358979323846;
    if (x == 0)
        return 1;
    if (std::abs(x) >= 3)
        return 0;
    return 3 * std::sin(PI * x) * std::sin(PI * x / 3) / (PI * PI * x * x);
}

// The kernel stretched by the scale, as a shrinking filter must be, cut at
// the picture's edges and normalised there.
std::vector<std::vector<Tap>> lanczosTaps(int sourceLength, int targetLength)
{
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(targetLength));
    const double scale = double(sourceLength) / targetLength;
    for (int t = 0; t < targetLength; ++t) {
        const double centre = (t + 0.5) * scale - 0.5;
        const int from = std::max(0, static_cast<int>(std::floor(centre - 3 * scale)));
        const int to = std::min(sourceLength - 1, static_cast<int>(std::ceil(centre + 3 * scale)));
        double total = 0;
        auto& row = taps[static_cast<std::size_t>(t)];
        for (int s = from; s <= to; ++s) {
            const double weight = lanczos3((s - centre) / scale);
            if (weight != 0) {
                row.push_back({s, weight});
                total += weight;
            }
        }
        for (Tap& tap : row)
            tap.weight /= total;
    }
    return taps;
}

} // namespace

QImage referenceDownscale(const QImage& upright, const QRect& area, int width, int height, Yardstick filter)
{
    const QImage source = upright.copy(area).convertToFormat(QImage::Format_RGB32);
    const bool lanczos = filter == Yardstick::Lanczos3;
    const auto columns = lanczos ? lanczosTaps(source.width(), width) : areaTaps(source.width(), width);
    const auto rows = lanczos ? lanczosTaps(source.height(), height) : areaTaps(source.height(), height);
    // Across first: one line of `width` × 3 values per source line.
    std::vector<double> across(static_cast<std::size_t>(source.height()) * width * 3);
    for (int y = 0; y < source.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            for (const Tap& tap : columns[static_cast<std::size_t>(x)]) {
                sum[0] += qRed(line[tap.source]) * tap.weight;
                sum[1] += qGreen(line[tap.source]) * tap.weight;
                sum[2] += qBlue(line[tap.source]) * tap.weight;
            }
            std::copy(sum, sum + 3, across.begin() + (static_cast<std::ptrdiff_t>(y) * width + x) * 3);
        }
    }
    QImage result(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            for (const Tap& tap : rows[static_cast<std::size_t>(y)])
                for (int c = 0; c < 3; ++c)
                    sum[c] += across[(static_cast<std::size_t>(tap.source) * width + x) * 3 + c] * tap.weight;
            auto channel = [](double value) { return std::clamp(static_cast<int>(std::lround(value)), 0, 255); };
            line[x] = qRgb(channel(sum[0]), channel(sum[1]), channel(sum[2]));
        }
    }
    return result;
}

double psnr(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 0;
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    double squares = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x) {
            const int d[3] = {qRed(p[x]) - qRed(q[x]), qGreen(p[x]) - qGreen(q[x]), qBlue(p[x]) - qBlue(q[x])};
            squares += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    }
    const double mse = squares / (3.0 * left.width() * left.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace velmora::bench
