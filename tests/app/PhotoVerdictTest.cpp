// 标签12 as staff see it after each photo: whose photo, its verdict, its
// colour and the beep, and never another photo's verdict once a newer one
// is shown.

#include "app/PhotoVerdict.h"
#include "link/PhotoWriter.h"
#include "tests/portraits/PortraitJpeg.h"
#include "tests/support/FakeDialogs.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

using namespace velmora;

namespace {

constexpr auto ROSTER = "3301\t张三\t330106201201039325\t301\r\n3301\t李四\t330106201201031111\t302\r\n";

std::shared_ptr<const std::string> goodPortrait()
{
    test::Photo photo = test::plainPhoto(756, 1008, {120, 180, 235});
    test::placeAstronaut(photo, {756 * 0.5, 1008 * 0.36, 1008 * 0.36, 0});
    return std::make_shared<const std::string>(test::jpegOf(photo).toStdString());
}

std::shared_ptr<const std::string> catPhoto()
{
    test::Photo photo = test::plainPhoto(756, 1008, {120, 180, 235});
    test::placeCat(photo, 756 * 0.5, 1008 * 0.4, 1008 * 0.5);
    return std::make_shared<const std::string>(test::jpegOf(photo).toStdString());
}

// The photo with a larger size written in its frame header: judging it
// would hold more than the room kept for an ordinary phone photo.
std::shared_ptr<const std::string> statedSize(std::shared_ptr<const std::string> bytes, int width, int height)
{
    std::string patched = *bytes;
    const std::size_t frame = patched.find("\xFF\xC0");
    if (frame == std::string::npos)
        return bytes;
    patched[frame + 5] = char(height >> 8);
    patched[frame + 6] = char(height & 0xFF);
    patched[frame + 7] = char(width >> 8);
    patched[frame + 8] = char(width & 0xFF);
    return std::make_shared<const std::string>(std::move(patched));
}

link::PhoneLink::ShownPhoto shown(std::uint64_t count, const char* stem, std::shared_ptr<const std::string> bytes)
{
    link::PhoneLink::ShownPhoto photo;
    photo.count = count;
    photo.stem = QString::fromUtf8(stem);
    photo.shownName = photo.stem + QStringLiteral(".jpg");
    photo.bytes = std::move(bytes);
    return photo;
}

} // namespace

class PhotoVerdictTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void verdictOfEachPhoto_data()
    {
        QTest::addColumn<int>("kind"); // 0 good portrait, 1 cat, 2 cut short
        QTest::addColumn<QString>("stem");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("beeps");
        QTest::newRow("good portrait of a student") << 0 << QStringLiteral("330106201201039325")
            << QStringLiteral("张三  301班\n可用于学籍上传") << QColor(0, 128, 0) << 0;
        QTest::newRow("no face") << 1 << QStringLiteral("李四")
            << QStringLiteral("李四  302班\n需重拍：未找到人脸") << QColor(Qt::red) << 1;
        QTest::newRow("cut short, of nobody") << 2 << QStringLiteral("王五")
            << QStringLiteral("王五.jpg（名册中没有）\n需重拍：照片不完整") << QColor(Qt::red) << 1;
    }

    // Guards against a verdict shown green for a photo the registry turns
    // away, a reshoot without a beep, and the student named wrong.
    void verdictOfEachPhoto()
    {
        QFETCH(int, kind);
        QFETCH(QString, stem);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        QFETCH(int, beeps);
        std::shared_ptr<const std::string> bytes = kind == 1 ? catPhoto() : goodPortrait();
        if (kind == 2)
            bytes = std::make_shared<const std::string>(bytes->substr(0, bytes->size() / 2));
        QLabel label;
        label.resize(400, 40);
        test::FakeDialogs dialogs;
        app::PhotoVerdict verdict(&label, [] { return QString::fromUtf8(ROSTER); }, &dialogs);
        QSignalSpy spy(&verdict, &app::PhotoVerdict::shown);
        verdict.judge(shown(1, stem.toUtf8().constData(), bytes));
        QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last().at(1).toBool(), 20000);
        QCOMPARE(label.text(), text);
        QCOMPARE(label.palette().color(QPalette::WindowText), colour);
        QCOMPARE(dialogs.beeps, beeps);
    }

    void newerPhotoTakesTheLabel_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("the first still being checked") << false;
        // Judging the first would take more than the room kept for it, and
        // the disk never makes more: it must not keep the next one waiting.
        QTest::newRow("the first waiting for room the disk never makes") << true;
    }

    // Guards against 标签12 speaking of an earlier photo once a newer one is
    // shown (a cat's verdict arriving after the next student's photo came),
    // and against a verdict that waits for memory after its photo was
    // replaced.
    void newerPhotoTakesTheLabel()
    {
        QFETCH(bool, diskFull);
        QLabel label;
        label.resize(400, 40);
        test::FakeDialogs dialogs;
        auto memory = std::make_shared<link::PhotoMemory>(
            [] { return link::PhotoMemory::Elsewhere{link::PhotoWriter::DEFAULT_WAITING_LIMIT, 0}; },
            link::PhotoWriter::DEFAULT_WAITING_LIMIT);
        app::PhotoVerdict verdict(&label, [] { return QString::fromUtf8(ROSTER); }, &dialogs,
                                  diskFull ? memory : nullptr);
        QSignalSpy spy(&verdict, &app::PhotoVerdict::shown);
        verdict.judge(shown(1, "李四", diskFull ? statedSize(catPhoto(), 6000, 4500) : catPhoto()));
        verdict.judge(shown(2, "330106201201039325", goodPortrait()));
        QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last().at(0).toULongLong() == 2 && spy.last().at(1).toBool(),
                                 20000);
        for (const QList<QVariant>& said : spy)
            QVERIFY2(!(said.at(0).toULongLong() == 1 && said.at(1).toBool()), "the first photo's verdict was shown");
        QCOMPARE(label.text(), QStringLiteral("张三  301班\n可用于学籍上传"));
        QCOMPARE(dialogs.beeps, 0);
    }
};

QTEST_MAIN(PhotoVerdictTest)
#include "PhotoVerdictTest.moc"
