#pragma once

// Phone photos for the export benchmark, and the yardstick its quality is
// measured with.

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

namespace velmora::bench {

// Photo `index` as a phone stores it: 3024 × 4032 pixels (12 MP) of the
// astronaut portrait placed as a roll photo (head 25–60 % of the height)
// with sensor-like noise whose strength varies by photo, so the files hold
// 2–5 MB. Every third is stored turned with an orientation tag (6, 8 or 3)
// in an EXIF segment.
QByteArray phonePhoto(int index);

// The orientation tag phonePhoto(index) carries, 1 for none.
int phoneOrientation(int index);

// The yardsticks' filters: exact area averaging (every source pixel counts
// with the share of it that falls into a target pixel), and Lanczos with
// three lobes, the sharper filter ImageMagick shrinks with.
enum class Yardstick { Area, Lanczos3 };

// `area` of `upright` scaled to `width` × `height` with `filter`, computed
// in floating point: no rounding before the end, no JPEG.
QImage referenceDownscale(const QImage& upright, const QRect& area, int width, int height, Yardstick filter);

// Peak signal-to-noise ratio over R, G and B in dB; 99 for equal pictures.
double psnr(const QImage& a, const QImage& b);

} // namespace velmora::bench
