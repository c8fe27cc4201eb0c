// Real photos through Qt's reader and writer: turned upright by each
// orientation tag, cut where the head stays, nothing but pixels and the
// resolution left in the file; and the export command on a folder.

#include "registry/export/ExportCommand.h"
#include "registry/export/JpegInfo.h"
#include "registry/export/PhotoConverter.h"

#include "tests/support/TempTree.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <sstream>

namespace velmora::registry {
namespace {

using test::TempTree;

// An upright roll photo: a gradient background and a dark "head" in the
// upper part, so that a wrong turn, mirror or cut moves large edges.
QImage uprightPhoto(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(255 * x / width, 255 * y / height, 160));
    QPainter painter(&image);
    painter.setBrush(QColor(30, 20, 10));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(width * 2 / 5, height * 3 / 10), width / 5, width / 4);
    painter.setBrush(QColor(240, 240, 40));
    painter.drawRect(width * 3 / 4, height / 10, width / 8, height / 3);
    return image;
}

QByteArray jpegOf(const QImage& image, int quality = 92)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

// An EXIF segment holding only the orientation tag (0x0112, one SHORT),
// big-endian, and a comment, put behind the JFIF segment as phones do.
QByteArray withOrientation(const QByteArray& jpeg, int orientation)
{
    QByteArray exif("\xFF\xE1\x00\x22"
                    "Exif\x00\x00"
                    "MM\x00\x2A\x00\x00\x00\x08" // TIFF header, first IFD at 8
                    "\x00\x01"                   // one entry
                    "\x01\x12\x00\x03\x00\x00\x00\x01", 28);
    exif.append(char(0)).append(char(orientation)).append(QByteArray(2, '\0')); // value, padding
    exif.append(QByteArray(4, '\0'));                                           // no next IFD
    const QByteArray comment("\xFF\xFE\x00\x0B" "iPhone 15", 13);
    const qsizetype app0End = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
    return jpeg.left(app0End) + exif + comment + jpeg.mid(app0End);
}

double psnr(const QImage& a, const QImage& b)
{
    double squares = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                squares += d * d;
        }
    const double mse = squares / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

class PhotoConverterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void uprightBareAndWithinPreset_data();
    void uprightBareAndWithinPreset();
    void leftOut_data();
    void leftOut();
    void command();
};

void PhotoConverterTest::uprightBareAndWithinPreset_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QImage>("stored"); // the picture as the camera stored it
    const QImage upright = uprightPhoto(1512, 2016);
    const QTransform clockwise = QTransform().rotate(90);
    QTest::newRow("1 upright") << 1 << upright;
    QTest::newRow("2 mirrored") << 2 << upright.mirrored(true, false);
    QTest::newRow("3 upside down") << 3 << upright.transformed(QTransform().rotate(180));
    QTest::newRow("6 turn clockwise") << 6 << upright.transformed(QTransform().rotate(-90));
    QTest::newRow("8 turn anticlockwise") << 8 << upright.transformed(clockwise);
    QTest::newRow("5 transposed") << 5 << upright.transformed(clockwise).mirrored(true, false);
    QTest::newRow("7 transversed") << 7 << upright.transformed(clockwise).mirrored(false, true);
    QTest::newRow("landscape") << 1 << uprightPhoto(2016, 1512);
}

// Every tag ends upright (compared with a plain scale of the upright
// photo's kept part), with no EXIF or comment left, 350 dpi stated in the
// JFIF header, baseline, 358 × 441 and under 60,000 bytes.
void PhotoConverterTest::uprightBareAndWithinPreset()
{
    QFETCH(int, orientation);
    QFETCH(QImage, stored);
    const QByteArray source = withOrientation(jpegOf(stored), orientation);
    const ExportPreset preset = registryPreset();
    const Conversion made = convertPhoto(source.toStdString(), preset);
    QCOMPARE(made.status, Conversion::Status::Converted);

    const auto info = readJpegInfo(made.bytes);
    QVERIFY(info);
    QCOMPARE(info->width, 358);
    QCOMPARE(info->height, 441);
    QVERIFY(info->baseline);
    QVERIFY(!info->hasMetadata);
    QVERIFY(info->hasJfif);
    QCOMPARE(info->densityUnit, 1);
    QCOMPARE(info->densityX, 350);
    QCOMPARE(info->densityY, 350);
    QVERIFY(made.bytes.size() <= 59'999);
    QVERIFY(!QByteArray::fromStdString(made.bytes).contains("iPhone"));

    const QImage reference = [&] {
        QImage turned = stored;
        if (orientation != 1)
            turned = uprightPhoto(1512, 2016);
        const CropRect crop = cropForPreset(turned.width(), turned.height(), preset);
        return turned.copy(crop.x, crop.y, crop.width, crop.height)
            .scaled(358, 441, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }();
    const QImage output = QImage::fromData(QByteArray::fromStdString(made.bytes), "JPEG");
    const double decibels = psnr(output.convertToFormat(QImage::Format_RGB32),
                                 reference.convertToFormat(QImage::Format_RGB32));
    QVERIFY2(decibels > 30, qPrintable(QString::number(decibels)));
}

void PhotoConverterTest::leftOut_data()
{
    QTest::addColumn<QByteArray>("photo");
    QTest::addColumn<int>("maxKb");
    QTest::addColumn<int>("minKb");
    QTest::addColumn<Conversion::Status>("status");
    QTest::newRow("not a picture") << QByteArray("\xFF\xD8 not really") << 60 << 0
                                   << Conversion::Status::Unreadable;
    QTest::newRow("smaller than the preset") << jpegOf(uprightPhoto(300, 1000)) << 60 << 0
                                             << Conversion::Status::SmallerThanPreset;
    QTest::newRow("exactly the preset's size") << withOrientation(jpegOf(uprightPhoto(358, 441)), 1) << 60 << 0
                                               << Conversion::Status::Converted;
    QTest::newRow("even quality 1 too big") << jpegOf(uprightPhoto(800, 1000)) << 1 << 0
                                            << Conversion::Status::CannotFit;
    QTest::newRow("even quality 100 too small") << jpegOf(QImage(800, 1000, QImage::Format_RGB32))
                                                << 200 << 150 << Conversion::Status::CannotFit;
}

void PhotoConverterTest::leftOut()
{
    QFETCH(QByteArray, photo);
    QFETCH(int, maxKb);
    QFETCH(int, minKb);
    QFETCH(Conversion::Status, status);
    ExportPreset preset = registryPreset();
    preset.maxBytes = maxBytesForKb(static_cast<std::uint64_t>(maxKb));
    preset.minBytes = minBytesForKb(static_cast<std::uint64_t>(minKb));
    const Conversion made = convertPhoto(photo.toStdString(), preset);
    QCOMPARE(made.status, status);
    QCOMPARE(made.bytes.empty(), status != Conversion::Status::Converted);
}

// The command's exit codes and lines: 0 all written, 1 one left out, 2 for
// a bad option or the receive folder as output.
void PhotoConverterTest::command()
{
    TempTree tree;
    const std::filesystem::path receive = tree.root() / "recv";
    TempTree::write(receive / "a.jpg", withOrientation(jpegOf(uprightPhoto(756, 1008)), 6).toStdString());
    TempTree::write(receive / "bad.jpg", "broken");
    const std::vector<ExportJob> good = {{receive / "a.jpg", "1班/a.jpg", {}, "张三"}};
    std::vector<ExportJob> mixed = good;
    mixed.push_back({receive / "bad.jpg", "1班/b.jpg", {}, "李四"});
    struct Row {
        const char* name;
        std::vector<ExportJob> jobs;
        std::vector<std::string> options;
        std::filesystem::path output;
        int exitCode;
        std::string out;
    };
    const Row rows[] = {
        {"all written", good, {}, tree.root() / "out1", 0, "已写入 1 张，原样复制 0 张，未导出 0 张\n"},
        {"one left out", mixed, {"--max-kb", "40"}, tree.root() / "out2", 1,
         "李四\t" + (receive / "bad.jpg").string() + "\t照片无法读取\n已写入 1 张，原样复制 0 张，未导出 1 张\n"},
        {"bad option", good, {"--size", "big"}, tree.root() / "out3", 2, ""},
        {"into the receive folder", good, {}, receive / "out", 2, ""},
    };
    for (const Row& row : rows) {
        std::ostringstream out;
        std::ostringstream err;
        QCOMPARE(runExport(row.jobs, row.options, receive, row.output, out, err), row.exitCode);
        QCOMPARE(out.str(), row.out);
        QCOMPARE(err.str().empty(), row.exitCode != 2);
    }
    QVERIFY(!std::filesystem::exists(receive / "out"));
    QCOMPARE(TempTree::read(receive / "bad.jpg"), std::string("broken"));
}

} // namespace
} // namespace velmora::registry

QTEST_GUILESS_MAIN(velmora::registry::PhotoConverterTest)
#include "PhotoConverterTest.moc"
