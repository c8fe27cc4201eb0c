// Renders the program's icon from its SVG drawing (app/icon/velmora.svg)
// into the pictures the build uses: PNGs for the window icon and an .ico
// whose entries are PNGs, for the Windows executable, its shortcuts and its
// setup program. The drawing uses a small part of SVG only: rect (with rx),
// circle and path with absolute M, L, C and Z, each with a fill colour.
// Usage: velmora-icon-maker SVG OUTPUT-DIRECTORY

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <QtEndian>

#include <cstdio>

namespace {

struct Shape {
    QPainterPath path;
    QColor fill;
};

QString text(const QXmlStreamAttributes& attributes, const char* name)
{
    return attributes.value(QLatin1StringView(name)).toString();
}

double number(const QXmlStreamAttributes& attributes, const char* name)
{
    return text(attributes, name).toDouble();
}

// Absolute M, L, C and Z with numbers separated by blanks or commas.
QPainterPath pathFromData(const QString& data)
{
    const QStringList tokens =
        data.simplified().replace(QLatin1Char(','), QLatin1Char(' ')).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QPainterPath path;
    QChar command;
    for (qsizetype i = 0; i < tokens.size();) {
        if (tokens[i].size() == 1 && tokens[i][0].isLetter())
            command = tokens[i++][0];
        auto at = [&](qsizetype k) { return tokens.value(i + k).toDouble(); };
        if (command == QLatin1Char('M')) {
            path.moveTo(at(0), at(1));
            i += 2;
            command = QLatin1Char('L');
        } else if (command == QLatin1Char('L')) {
            path.lineTo(at(0), at(1));
            i += 2;
        } else if (command == QLatin1Char('C')) {
            path.cubicTo(at(0), at(1), at(2), at(3), at(4), at(5));
            i += 6;
        } else if (command == QLatin1Char('Z')) {
            path.closeSubpath();
        } else {
            std::fprintf(stderr, "unsupported path command in the icon\n");
            return path;
        }
    }
    return path;
}

bool readShapes(const QString& file, QList<Shape>& shapes, QSizeF& size)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&in);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QStringView name = xml.name();
        Shape shape;
        shape.fill = QColor(text(a, "fill"));
        if (name == u"svg") {
            size = QSizeF(number(a, "width"), number(a, "height"));
            continue;
        }
        if (name == u"rect") {
            const double rx = number(a, "rx");
            shape.path.addRoundedRect(number(a, "x"), number(a, "y"), number(a, "width"),
                                      number(a, "height"), rx, rx);
        } else if (name == u"circle") {
            const double r = number(a, "r");
            shape.path.addEllipse(QPointF(number(a, "cx"), number(a, "cy")), r, r);
        } else if (name == u"path") {
            shape.path = pathFromData(text(a, "d"));
        } else {
            continue;
        }
        shapes.append(shape);
    }
    return !xml.hasError() && !size.isEmpty();
}

QByteArray renderPng(const QList<Shape>& shapes, QSizeF size, int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(pixels / size.width(), pixels / size.height());
    painter.setPen(Qt::NoPen);
    for (const Shape& shape : shapes)
        painter.fillPath(shape.path, shape.fill);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// ICONDIR, one ICONDIRENTRY per picture, then the PNGs (Windows Vista on
// reads PNG entries of every size).
QByteArray icoFile(const QList<QPair<int, QByteArray>>& pictures)
{
    QByteArray out;
    auto u16 = [&](quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](quint32 v) { u16(quint16(v & 0xFFFF)); u16(quint16(v >> 16)); };
    u16(0);
    u16(1);
    u16(quint16(pictures.size()));
    quint32 offset = 6 + 16 * quint32(pictures.size());
    for (const auto& [pixels, png] : pictures) {
        out.append(char(pixels >= 256 ? 0 : pixels)).append(char(pixels >= 256 ? 0 : pixels));
        out.append(char(0)).append(char(0));
        u16(1);
        u16(32);
        u32(quint32(png.size()));
        u32(offset);
        offset += quint32(png.size());
    }
    for (const auto& picture : pictures)
        out.append(picture.second);
    return out;
}

bool writeFile(const QString& name, const QByteArray& bytes)
{
    QFile out(name);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora-icon-maker SVG OUTPUT-DIRECTORY\n");
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QString directory = QString::fromLocal8Bit(argv[2]);
    QList<Shape> shapes;
    QSizeF size;
    if (!readShapes(svg, shapes, size)) {
        std::fprintf(stderr, "cannot read the icon drawing %s\n", argv[1]);
        return 1;
    }
    QList<QPair<int, QByteArray>> pictures;
    for (int pixels : {16, 24, 32, 48, 64, 256})
        pictures.append({pixels, renderPng(shapes, size, pixels)});
    bool ok = writeFile(directory + QStringLiteral("/velmora.ico"), icoFile(pictures));
    for (const auto& [pixels, png] : pictures) {
        if (pixels == 16 || pixels == 32 || pixels == 48 || pixels == 256)
            ok = writeFile(directory + QStringLiteral("/velmora-%1.png").arg(pixels), png) && ok;
    }
    return ok ? 0 : 1;
}
