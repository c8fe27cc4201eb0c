#pragma once

// Photos as the phone sends them, for the tests that drive the window over
// real sockets: the transfer's framing and real JPEG bytes.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

namespace velmora::test {

inline const QByteArray END_MARKER("\x02\x02\x02\x02", 4);
inline const QByteArray TRANSFER_HEADER("\x00\x00\x00\x00", 4);

// A photo-like JPEG: a gradient with noise, so that sizes and bytes vary
// with `seed`.
inline QByteArray makeJpeg(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 200, 220));
    gradient.setColorAt(1, QColor::fromHsv((seed * 91) % 360, 120, 60));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QRandomGenerator random(static_cast<quint32>(seed));
    for (int i = 0; i < width * height / 20; ++i)
        image.setPixel(random.bounded(width), random.bounded(height), random.generate());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

// The file's bytes, or "<missing>" so a comparison names the fault.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace velmora::test
