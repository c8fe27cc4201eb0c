// Portrait photos (the astronaut, tests/portraits) through Qt's reader and
// writer: framed by her head whatever orientation tag turns them, nothing
// but pixels and the resolution left in the file; what the converter says
// of photos it cannot or must not export; and the export command on the
// photos a photo day brings: seven it can frame, and eight the registry
// would turn away, each listed with its reason.

#include "registry/export/ExportCommand.h"
#include "registry/export/JpegInfo.h"
#include "registry/export/PhotoConverter.h"
#include "registry/face/AssessPhoto.h"

#include "tests/portraits/PortraitJpeg.h"
#include "tests/support/TempTree.h"

#include <QTest>

#include <cmath>
#include <sstream>

namespace velmora::registry {
namespace {

using test::Photo;
using test::Placement;
using test::TempTree;

constexpr int WIDTH = 1512; // a 3-megapixel phone photo, 3:4
constexpr int HEIGHT = 2016;
const test::Rgb LIGHT_BLUE{120, 180, 235};

Placement at(double share, double x, double y, double tilt = 0, int width = WIDTH, int height = HEIGHT)
{
    return {width * x, height * y, height * share, tilt};
}

Photo portrait(const Placement& placement, test::Rgb background = LIGHT_BLUE, int width = WIDTH,
               int height = HEIGHT)
{
    Photo photo = test::plainPhoto(width, height, background);
    test::placeAstronaut(photo, placement);
    test::addNoise(photo, 3, 1);
    return photo;
}

// A comment segment with a phone's name, put behind the JFIF segment.
QByteArray withComment(const QByteArray& jpeg)
{
    const QByteArray comment("\xFF\xFE\x00\x0B" "iPhone 15", 13);
    const qsizetype app0End = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
    return jpeg.left(app0End) + comment + jpeg.mid(app0End);
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

// Her true head (as placed) framed 0.6 to 0.75 of the frame's height, its
// centre within 3 % of the frame's width of the middle.
bool headFramed(const Placement& placement, const PixelRect& frame, QString& why)
{
    const HeadBox truth = test::headOf(placement);
    const double share = truth.height() / frame.height;
    const double offCentre = std::abs(truth.centreX - frame.x - frame.width / 2.0) / frame.width;
    why = QStringLiteral("head %1 of the height, %2 of the width off the middle").arg(share).arg(offCentre);
    return share >= 0.6 && share <= 0.75 && offCentre <= 0.03;
}

class PhotoConverterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void framedUprightAndBare_data();
    void framedUprightAndBare();
    void statuses_data();
    void statuses();
    void photoDay();
};

void PhotoConverterTest::framedUprightAndBare_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QImage>("stored"); // the picture as the camera stored it
    QTest::addColumn<QImage>("upright");
    QTest::addColumn<Placement>("head");
    const Placement placed = at(0.3, 0.4, 0.35, 4);
    const QImage upright = test::imageOf(portrait(placed));
    const QTransform clockwise = QTransform().rotate(90);
    QTest::newRow("1 upright") << 1 << upright << upright << placed;
    QTest::newRow("2 mirrored") << 2 << upright.mirrored(true, false) << upright << placed;
    QTest::newRow("3 upside down") << 3 << upright.transformed(QTransform().rotate(180)) << upright << placed;
    QTest::newRow("6 turn clockwise") << 6 << upright.transformed(QTransform().rotate(-90)) << upright << placed;
    QTest::newRow("8 turn anticlockwise") << 8 << upright.transformed(clockwise) << upright << placed;
    QTest::newRow("5 transposed") << 5 << upright.transformed(clockwise).mirrored(true, false) << upright << placed;
    QTest::newRow("7 transversed") << 7 << upright.transformed(clockwise).mirrored(false, true) << upright << placed;
    const Placement across = at(0.45, 0.55, 0.4, 0, HEIGHT, WIDTH);
    const QImage sideways = test::imageOf(portrait(across, LIGHT_BLUE, HEIGHT, WIDTH));
    QTest::newRow("landscape") << 1 << sideways << sideways << across;
}

// Every tag ends upright and framed by her head (compared with a plain
// scale of the frame of the upright photo), with no EXIF or comment left,
// 350 dpi stated in the JFIF header, baseline, 358 × 441 and under 60,000
// bytes.
void PhotoConverterTest::framedUprightAndBare()
{
    QFETCH(int, orientation);
    QFETCH(QImage, stored);
    QFETCH(QImage, upright);
    QFETCH(Placement, head);
    QByteArray source = withComment(test::jpegOf(stored));
    if (orientation != 1) {
        const qsizetype app0End = 4 + ((uchar(source[4]) << 8) | uchar(source[5]));
        source = source.left(app0End) + test::exifOrientation(orientation) + source.mid(app0End);
    }
    const Conversion made = convertPhoto(source.toStdString(), registryPreset());
    QCOMPARE(made.status, Conversion::Status::Converted);
    QCOMPARE(made.check, PhotoCheck::Passed);

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

    // The same frame whichever way the photo was stored, and her head in it.
    const auto frame = assessPhoto(test::jpegOf(upright).toStdString()).frame;
    QVERIFY(frame);
    QCOMPARE(assessPhoto(source.toStdString()).frame, frame);
    QString why;
    QVERIFY2(headFramed(head, *frame, why), qPrintable(why));
    const QImage reference = upright.copy(frame->x, frame->y, frame->width, frame->height)
                                 .scaled(358, 441, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage output = QImage::fromData(QByteArray::fromStdString(made.bytes), "JPEG");
    const double decibels = psnr(output.convertToFormat(QImage::Format_RGB32),
                                 reference.convertToFormat(QImage::Format_RGB32));
    QVERIFY2(decibels > 30, qPrintable(QString::number(decibels)));
}

void PhotoConverterTest::statuses_data()
{
    QTest::addColumn<QByteArray>("photo");
    QTest::addColumn<int>("maxKb");
    QTest::addColumn<int>("minKb");
    QTest::addColumn<bool>("keep"); // 仍然导出需重拍的照片
    QTest::addColumn<Conversion::Status>("status");
    QTest::addColumn<PhotoCheck>("check");
    const QByteArray good = test::jpegOf(portrait(at(0.35, 0.5, 0.35)));
    // Cut off after two thirds, as a broken-off transfer leaves it: it
    // decodes, its lower part grey, and went out as a good photo.
    const QByteArray cut = good.left(good.size() * 2 / 3);
    const QByteArray noFace = test::jpegOf(test::plainPhoto(1000, 1333, LIGHT_BLUE));
    const QByteArray narrow = test::jpegOf(test::plainPhoto(300, 1000, LIGHT_BLUE));
    const Conversion exported = convertPhoto(good.toStdString(), registryPreset());
    QTest::newRow("not a picture") << QByteArray("\xFF\xD8 not really") << 60 << 0 << false
                                   << Conversion::Status::Reshoot << PhotoCheck::Incomplete;
    QTest::newRow("not a picture, kept") << QByteArray("\xFF\xD8 not really") << 60 << 0 << true
                                         << Conversion::Status::Unreadable << PhotoCheck::Incomplete;
    QTest::newRow("cut short") << cut << 60 << 0 << false << Conversion::Status::Reshoot << PhotoCheck::Incomplete;
    QTest::newRow("cut short, kept") << cut << 60 << 0 << true << Conversion::Status::Converted
                                     << PhotoCheck::Incomplete;
    QTest::newRow("no face") << noFace << 60 << 0 << false << Conversion::Status::Reshoot << PhotoCheck::NoFace;
    QTest::newRow("no face, kept: cut as without faces") << noFace << 60 << 0 << true
                                                         << Conversion::Status::Converted << PhotoCheck::NoFace;
    QTest::newRow("no face, kept, smaller than the preset") << narrow << 60 << 0 << true
                                                            << Conversion::Status::SmallerThanPreset
                                                            << PhotoCheck::NoFace;
    QTest::newRow("even quality 1 too big") << good << 1 << 0 << false << Conversion::Status::CannotFit
                                            << PhotoCheck::Passed;
    QTest::newRow("even quality 100 too small") << good << 200 << 150 << false << Conversion::Status::CannotFit
                                                << PhotoCheck::Passed;
    QTest::newRow("already exported: as it is") << QByteArray::fromStdString(exported.bytes) << 60 << 0 << false
                                                << Conversion::Status::Unchanged << PhotoCheck::Passed;
}

void PhotoConverterTest::statuses()
{
    QFETCH(QByteArray, photo);
    QFETCH(int, maxKb);
    QFETCH(int, minKb);
    QFETCH(bool, keep);
    QFETCH(Conversion::Status, status);
    QFETCH(PhotoCheck, check);
    ExportPreset preset = registryPreset();
    preset.maxBytes = maxBytesForKb(static_cast<std::uint64_t>(maxKb));
    preset.minBytes = minBytesForKb(static_cast<std::uint64_t>(minKb));
    const Conversion made = convertPhoto(photo.toStdString(), preset, keep);
    QCOMPARE(made.status, status);
    QCOMPARE(made.check, check);
    QCOMPARE(made.bytes.empty(), status != Conversion::Status::Converted);
}

// Photos placed as a phone takes them, and the ones the registry turns
// away, through `velmora-photos export`: each framable one framed, each
// other left out and listed with its reason; with --keep-flagged written
// all the same and still listed.
void PhotoConverterTest::photoDay()
{
    TempTree tree;
    const std::filesystem::path receive = tree.root() / "recv";
    struct Photo {
        const char* name;
        QByteArray bytes;
        const char* reason; // "" for a photo that passes
        std::optional<Placement> head = std::nullopt;
    };
    const QByteArray whole = test::jpegOf(portrait(at(0.35, 0.5, 0.35)));
    const auto blurred = [] {
        test::Photo photo = portrait(at(0.35, 0.5, 0.35));
        test::blur(photo, 6); // two of the registry's pixels
        return photo;
    };
    const auto dark = [] {
        test::Photo photo = portrait(at(0.35, 0.5, 0.35));
        test::scaleBrightness(photo, 0.12);
        return photo;
    };
    const auto two = [] {
        test::Photo photo = portrait(at(0.25, 0.28, 0.35));
        test::placeAstronaut(photo, at(0.24, 0.72, 0.36, 3));
        return photo;
    };
    const auto cat = [] {
        test::Photo photo = test::plainPhoto(WIDTH, HEIGHT, LIGHT_BLUE);
        test::placeCat(photo, WIDTH / 2.0, HEIGHT * 0.45, HEIGHT * 0.5);
        return photo;
    };
    const Photo photos[] = {
        {"near", test::jpegOf(portrait(at(0.58, 0.5, 0.42))), "", at(0.58, 0.5, 0.42)},
        {"far", test::jpegOf(portrait(at(0.16, 0.5, 0.3))), "", at(0.16, 0.5, 0.3)},
        {"off-centre", test::jpegOf(portrait(at(0.3, 0.27, 0.32))), "", at(0.3, 0.27, 0.32)},
        {"low", test::jpegOf(portrait(at(0.3, 0.5, 0.62))), "", at(0.3, 0.5, 0.62)},
        {"sideways", test::jpegOf(portrait(at(0.4, 0.5, 0.4, 0, HEIGHT, WIDTH), LIGHT_BLUE, HEIGHT, WIDTH)), "",
         at(0.4, 0.5, 0.4, 0, HEIGHT, WIDTH)},
        {"turned by its tag", test::jpegOf(portrait(at(0.33, 0.5, 0.36)), 6), "", at(0.33, 0.5, 0.36)},
        {"tilted", test::jpegOf(portrait(at(0.38, 0.5, 0.38, -8))), "", at(0.38, 0.5, 0.38, -8)},
        {"cat", test::jpegOf(cat()), "未找到人脸"},
        {"two students", test::jpegOf(two()), "不止一张人脸"},
        {"head cut", test::jpegOf(portrait(at(0.4, 0.5, 0.12))), "头部不完整"},
        {"too small", test::jpegOf(portrait({300, 250, 230, 0}, LIGHT_BLUE, 600, 800)), "人像太小"},
        {"blurred", test::jpegOf(blurred()), "照片模糊"},
        {"dark", test::jpegOf(dark()), "照片过暗"},
        {"red wall", test::jpegOf(portrait(at(0.35, 0.5, 0.35), {170, 50, 45})), "背景不是浅色纯色"},
        {"cut short", whole.left(whole.size() * 2 / 3), "照片不完整"},
    };
    std::vector<ExportJob> jobs;
    std::string expected;
    std::size_t refused = 0;
    for (const Photo& photo : photos) {
        ExportJob job;
        job.source = receive / (std::string(photo.name) + ".jpg");
        job.target = std::filesystem::path("1") / (std::string(photo.name) + ".jpg");
        job.name = photo.name;
        job.identity = "S_1_" + std::string(photo.name);
        job.student = "1 " + std::string(photo.name);
        TempTree::write(job.source, photo.bytes.toStdString());
        if (*photo.reason) {
            expected += job.name + " " + job.identity + "：" + photo.reason + "，需重拍\n";
            ++refused;
        }
        jobs.push_back(job);
    }
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(runExport(jobs, {}, receive, tree.root() / "out", out, err), 1);
    QCOMPARE(out.str(), expected + "已写入 7 张，原样复制 0 张，未导出 8 张，需重拍 8 张\n");
    for (const Photo& photo : photos) {
        const auto file = tree.root() / "out" / "1" / (std::string(photo.name) + ".jpg");
        QCOMPARE(std::filesystem::exists(file), !*photo.reason);
        if (!photo.head)
            continue;
        const auto frame = assessPhoto(photo.bytes.toStdString()).frame;
        QVERIFY(frame);
        QString why;
        QVERIFY2(headFramed(*photo.head, *frame, why), qPrintable(QString::fromUtf8(photo.name) + QStringLiteral(": ") + why));
    }

    // Kept: every photo that decodes is written, and all eight still listed.
    std::ostringstream kept;
    QCOMPARE(runExport(jobs, {"--keep-flagged"}, receive, tree.root() / "kept", kept, err), 1);
    QCOMPARE(kept.str(), expected + "已写入 15 张，原样复制 0 张，未导出 0 张，需重拍 8 张\n");
    QCOMPARE(refused, std::size_t(8));

    // A bad option and the receive folder as output are refused before anything.
    std::ostringstream none;
    QCOMPARE(runExport(jobs, {"--size", "big"}, receive, tree.root() / "out3", none, err), 2);
    QCOMPARE(runExport(jobs, {}, receive, receive / "out", none, err), 2);
    QVERIFY(none.str().empty());
    QVERIFY(!std::filesystem::exists(receive / "out"));
}

} // namespace
} // namespace velmora::registry

QTEST_GUILESS_MAIN(velmora::registry::PhotoConverterTest)
#include "PhotoConverterTest.moc"
