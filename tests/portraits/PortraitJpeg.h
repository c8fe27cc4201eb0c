#pragma once

// Portrait photos as a phone stores them, for the tests that go through
// Qt's image reader: JPEG bytes, the picture stored turned with the EXIF
// orientation tag that turns it back, as phones do.

#include "tests/portraits/Portraits.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QTransform>

namespace velmora::test {

inline QImage imageOf(const Photo& photo)
{
    return QImage(reinterpret_cast<const uchar*>(photo.pixels.data()), photo.width, photo.height,
                  photo.width * 4, QImage::Format_RGB32)
        .copy();
}

// An EXIF segment holding only the orientation tag (0x0112, one SHORT),
// big-endian.
inline QByteArray exifOrientation(int orientation)
{
    QByteArray exif("\xFF\xE1\x00\x22"
                    "Exif\x00\x00"
                    "MM\x00\x2A\x00\x00\x00\x08" // TIFF header, first IFD at 8
                    "\x00\x01"                   // one entry
                    "\x01\x12\x00\x03\x00\x00\x00\x01", 28);
    exif.append(char(0)).append(char(orientation)).append(QByteArray(2, '\0')); // value, padding
    exif.append(QByteArray(4, '\0'));                                           // no next IFD
    return exif;
}

// The upright `picture` stored as a camera would for `orientation` (1, 3,
// 6 or 8), with the tag behind the JFIF segment.
inline QByteArray jpegOf(const QImage& picture, int orientation = 1, int quality = 92)
{
    QImage stored = picture;
    if (orientation == 6)
        stored = picture.transformed(QTransform().rotate(-90));
    else if (orientation == 8)
        stored = picture.transformed(QTransform().rotate(90));
    else if (orientation == 3)
        stored = picture.transformed(QTransform().rotate(180));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    stored.save(&buffer, "JPEG", quality);
    if (orientation == 1)
        return bytes;
    const qsizetype app0End = 4 + ((uchar(bytes[4]) << 8) | uchar(bytes[5]));
    return bytes.left(app0End) + exifOrientation(orientation) + bytes.mid(app0End);
}

inline QByteArray jpegOf(const Photo& photo, int orientation = 1, int quality = 92)
{
    return jpegOf(imageOf(photo), orientation, quality);
}

} // namespace velmora::test
