// The phone simulator against the real main window: a hundred photos in
// class folders, with and without ID-card numbers, moved into the receive
// directory bit-exact, and the roster printed as the phone would receive it.

#include "app/MainWindow.h"
#include "widgets/CrlfTextEdit.h"
#include "link/PhoneLink.h"
#include "link/TcpServer.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestWindow.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace velmora;

namespace {

QByteArray hashOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing " + path.toUtf8() + '>';
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

bool writeJpeg(const QString& path, int seed)
{
    QImage image(80 + seed * 7 % 300, 60 + seed * 13 % 200, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * seed) & 0xFF, (y + seed) & 0xFF, (x ^ y) & 0xFF));
    }
    return QDir().mkpath(QFileInfo(path).path()) && image.save(path, "JPEG", 90);
}

} // namespace

class PhoneSimTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<app::MainWindow> m_window;
    QTemporaryDir m_dir;
    test::FakeDialogs m_dialogs;

    QString receiveDirectory() const { return m_dir.filePath(QStringLiteral("recv")) + QLatin1Char('/'); }
    QLabel* countLabel() const { return m_window->findChild<QLabel*>(QStringLiteral("标签4")); }
    QStringList portArguments() const
    {
        return {QStringLiteral("--command-port"), QString::number(m_window->commandServer()->serverPort()),
                QStringLiteral("--photo-port"), QString::number(m_window->photoServer()->serverPort())};
    }
    static QString simulator() { return QStringLiteral(VELMORA_BINARY_DIR "/velmora-phone-sim"); }

private Q_SLOTS:
    void init()
    {
        // Each test and each row begins with an empty receive directory.
        QVERIFY(QDir(receiveDirectory()).removeRecursively() && QDir().mkpath(receiveDirectory()));
        app::MainWindowOptions options = test::testWindowOptions(m_dir.filePath(QStringLiteral("set.ini")), &m_dialogs);
        m_window = std::make_unique<app::MainWindow>(options);
        m_window->findChild<QLineEdit*>(QStringLiteral("目录编辑框1"))->setText(receiveDirectory());
    }
    void cleanup() { m_window.reset(); }

    // Guards against photos lost, mixed up or cut when many follow each other
    // in odd pieces: every file arrives under its own name with equal hashes.
    void hundredPhotosArriveBitExact()
    {
        const QString source = m_dir.filePath(QStringLiteral("phone"));
        QStringList names;
        for (int i = 0; i < 100; ++i) {
            // Every fourth student has no ID-card number: "_" in the name.
            const QString name = QStringLiteral("班%1/学生%2%3.jpg").arg(i % 3 + 1).arg(i)
                .arg(i % 4 == 0 ? QStringLiteral("_1") : QString());
            QVERIFY(writeJpeg(source + QLatin1Char('/') + name, i + 1));
            names << name;
        }
        QProcess sim;
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QSignalSpy finished(&sim, &QProcess::finished);
        sim.start(simulator(), portArguments() + QStringList{QStringLiteral("--dir"), source,
                                                             QStringLiteral("--piece"), QStringLiteral("3001")});
        QVERIFY(finished.wait(180000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&] { return countLabel()->text() == QStringLiteral("100"); }, 30000));
        for (const QString& name : names) {
            const QString stored = receiveDirectory()
                + (name.contains(QLatin1Char('_')) ? QStringLiteral("无身份证照片/") : QString()) + name;
            QCOMPARE(hashOf(stored), hashOf(source + QLatin1Char('/') + name));
        }
        const auto channel = m_window->findChild<link::PhoneLink*>()->figures().photos;
        qInfo("merged end markers taken apart: at the front of a piece %llu, behind an image end %llu",
              static_cast<unsigned long long>(channel.mergedAtFront),
              static_cast<unsigned long long>(channel.mergedAfterImage));
    }

    void schoolDayKeepsEveryPhotoUnderItsName_data()
    {
        QTest::addColumn<QStringList>("options");      // the simulator's, beyond the photos
        QTest::addColumn<bool>("twoPhones");           // a second simulator from 127.0.0.2 at once
        QTest::addColumn<QList<int>>("neverSentWhole"); // photos (from 1) that must leave no file
        // A short pause after each name and photo: these photos are a few
        // KiB, and with none the next names would leave before a photo's
        // bytes, as no phone's multi-megabyte photos let them.
        const QStringList wifi{QStringLiteral("--link-rate"), QStringLiteral("20"), QStringLiteral("--gap"),
                               QStringLiteral("20")};
        QTest::newRow("photo 2 cut off and sent again on a new connection")
            << wifi + QStringList{QStringLiteral("--resend"), QStringLiteral("2")} << false << QList<int>{};
        QTest::newRow("photo 2 left silent mid-photo, the phone going on on a new connection")
            << wifi + QStringList{QStringLiteral("--stall"), QStringLiteral("2")} << false << QList<int>{2};
        QTest::newRow("two phones at once") << wifi << true << QList<int>{};
        // A name held back on the air (a lost segment sent again) while its
        // photo still flows: written in pieces, each photo is on the air for
        // longer than its name is late.
        const QStringList slowPhotos{QStringLiteral("--piece"), QStringLiteral("1000"), QStringLiteral("--pause"),
                                     QStringLiteral("50")};
        QTest::newRow("the names of photos 2 and 5 held back 250 and 400 ms on Wi-Fi")
            << wifi + slowPhotos
                   + QStringList{QStringLiteral("--late-name"), QStringLiteral("2:250"), QStringLiteral("--late-name"),
                                 QStringLiteral("5:400")}
            << false << QList<int>{};
        QStringList everyNameLate{QStringLiteral("--gap"), QStringLiteral("20")};
        for (int photo = 1; photo <= 6; ++photo)
            everyNameLate << QStringLiteral("--late-name") << QStringLiteral("%1:300").arg(photo);
        QTest::newRow("every name 300 ms late over loopback") << everyNameLate + slowPhotos << false << QList<int>{};
    }
    // Guards against what a school day does to a phone's photos shifting
    // names: a photo sent again after its connection broke, a photo
    // connection that goes silent mid-photo, two phones on one PC, names
    // held back on the air while their photos flow. Every
    // photo sent whole is stored under its own name; no photo's bytes are
    // stored under the name of a photo never sent whole.
    void schoolDayKeepsEveryPhotoUnderItsName()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, twoPhones);
        QFETCH(QList<int>, neverSentWhole);
        const int phones = twoPhones ? 2 : 1;
        QStringList photos[2];
        QStringList names;
        for (int i = 1; i <= 6; ++i) {
            const QString name = QStringLiteral("班1/学生%1.jpg").arg(i);
            const QString file = m_dir.filePath(QStringLiteral("phone/") + name);
            QVERIFY(writeJpeg(file, 20 + i));
            names << name;
            photos[(i - 1) % phones] << QString(name).replace(QLatin1Char('/'), QLatin1Char('\\'))
                    + QLatin1Char('=') + file;
        }
        QProcess sims[2];
        for (int phone = 0; phone < phones; ++phone) {
            sims[phone].setProcessChannelMode(QProcess::ForwardedErrorChannel);
            sims[phone].start(simulator(), portArguments() + options
                                               + QStringList{QStringLiteral("--from"),
                                                             QStringLiteral("127.0.0.%1").arg(phone + 1)}
                                               + photos[phone]);
        }
        for (int phone = 0; phone < phones; ++phone) {
            QVERIFY(QTest::qWaitFor([&] { return sims[phone].state() == QProcess::NotRunning; }, 60000));
            QCOMPARE(sims[phone].exitCode(), 0);
        }
        const auto storedWhole = [&](int i) {
            return hashOf(receiveDirectory() + names[i - 1]) == hashOf(m_dir.filePath(QStringLiteral("phone/") + names[i - 1]));
        };
        for (int i = 1; i <= 6; ++i) {
            if (!neverSentWhole.contains(i))
                QVERIFY2(QTest::qWaitFor([&] { return storedWhole(i); }, 30000), qPrintable(names[i - 1]));
        }
        // The name-list step may leave an empty file under the name of the
        // photo that never came; never photo bytes.
        for (int i : neverSentWhole)
            QVERIFY2(QFileInfo(receiveDirectory() + names[i - 1]).size() == 0, qPrintable(names[i - 1]));
    }

    // The marker merged into the photo's last write by the simulator itself.
    void mergedMarkersStillStoreEachPhoto()
    {
        const QString a = m_dir.filePath(QStringLiteral("a.jpg"));
        const QString b = m_dir.filePath(QStringLiteral("b.jpg"));
        QVERIFY(writeJpeg(a, 3) && writeJpeg(b, 4));
        QProcess sim;
        QSignalSpy finished(&sim, &QProcess::finished);
        sim.start(simulator(), portArguments() + QStringList{QStringLiteral("--merge-marker"),
                                                             QStringLiteral("x\\a.jpg=") + a,
                                                             QStringLiteral("x\\b.jpg=") + b});
        QVERIFY(finished.wait(60000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&] { return countLabel()->text() == QStringLiteral("2"); }, 30000));
        QCOMPARE(hashOf(receiveDirectory() + QStringLiteral("x/a.jpg")), hashOf(a));
        QCOMPARE(hashOf(receiveDirectory() + QStringLiteral("x/b.jpg")), hashOf(b));
    }

    // Plays a bare PC on ports of its own for the simulator run with
    // `arguments`: `atName` gets the photo bytes that had come when the
    // first name message holding `name` came (-1: none came), once the
    // simulator has ended and `photoBytes` have come in all.
    void photoBytesBeforeName(const QStringList& arguments, const QByteArray& name, qint64 photoBytes,
                              qint64& atName)
    {
        atName = -1;
        QTcpServer commandServer, photoServer;
        QVERIFY(commandServer.listen(QHostAddress::LocalHost) && photoServer.listen(QHostAddress::LocalHost));
        QProcess sim;
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(simulator(), QStringList{QStringLiteral("--command-port"), QString::number(commandServer.serverPort()),
                                           QStringLiteral("--photo-port"), QString::number(photoServer.serverPort())}
                                   + arguments);
        QVERIFY(QTest::qWaitFor([&] { return commandServer.hasPendingConnections()
                                             && photoServer.hasPendingConnections(); }, 10000));
        QTcpSocket* command = commandServer.nextPendingConnection();
        QTcpSocket* photo = photoServer.nextPendingConnection();
        qint64 photoReceived = 0;
        QByteArray names;
        connect(photo, &QTcpSocket::readyRead, this, [&] { photoReceived += photo->readAll().size(); });
        connect(command, &QTcpSocket::readyRead, this, [&] {
            // Every photo byte that came in before the name counts, handled
            // yet or not.
            photo->waitForReadyRead(0);
            photoReceived += photo->readAll().size();
            names += command->readAll();
            if (atName < 0 && names.contains(name))
                atName = photoReceived;
        });
        QVERIFY(QTest::qWaitFor([&] { return sim.state() == QProcess::NotRunning; }, 60000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&] { return photoReceived == photoBytes; }, 10000));
    }

    // On the emulated Wi-Fi a write returns once the bytes fit into the send
    // buffer, so the next name message overtakes the tail of the photo before
    // it, as on a phone; and the simulator ends only once every buffered byte
    // has been sent.
    void wifiLinkLetsTheNextNameOvertakeThePhoto()
    {
        const qint64 photoBytes = 1'000'000; // half a second at 2 MB/s, all of it fits into the buffer
        const QString a = m_dir.filePath(QStringLiteral("a.bin"));
        const QString b = m_dir.filePath(QStringLiteral("b.bin"));
        for (const auto& [path, size] : {std::pair{a, photoBytes}, std::pair{b, qint64{1000}}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'p')) == size);
        }
        QElapsedTimer sending;
        sending.start();
        qint64 atSecondName = -1;
        photoBytesBeforeName({QStringLiteral("--link-rate"), QStringLiteral("2"), QStringLiteral("--send-buffer"),
                              QStringLiteral("1048576"), QStringLiteral("--gap"), QStringLiteral("0"),
                              QStringLiteral("x\\a.jpg=") + a, QStringLiteral("x\\b.jpg=") + b},
                             "b.jpg", 2 * 8 + photoBytes + 1000, atSecondName); // header and marker around each
        if (QTest::currentTestFailed())
            return;
        const qint64 elapsedMs = sending.elapsed();
        QVERIFY2(atSecondName >= 0 && atSecondName < photoBytes / 2,
                 qPrintable(QStringLiteral("second name after %1 photo bytes").arg(atSecondName)));
        // A sanity bound only: 1 MB at 2 MB/s cannot be done in much less
        // than half a second.
        QVERIFY2(elapsedMs >= 300, qPrintable(QStringLiteral("sent in %1 ms").arg(elapsedMs)));
    }

    void lateNameComesWhileItsPhotoFlows_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("on Wi-Fi, held on the air")
            << QStringList{QStringLiteral("--link-rate"), QStringLiteral("1"), QStringLiteral("--gap"),
                           QStringLiteral("0")};
        QTest::newRow("over loopback, written late")
            << QStringList{QStringLiteral("--piece"), QStringLiteral("20000"), QStringLiteral("--pause"),
                           QStringLiteral("40"), QStringLiteral("--gap"), QStringLiteral("0")};
    }
    // Guards against --late-name sending the name with its photo, or after
    // the photo's end: a 400 KB photo takes 400 ms on the air either way, and
    // its name, 150 ms late, reaches the PC after its first bytes and before
    // its last.
    void lateNameComesWhileItsPhotoFlows()
    {
        QFETCH(QStringList, options);
        const qint64 photoBytes = 400'000;
        const QString a = m_dir.filePath(QStringLiteral("late.bin"));
        QFile file(a);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(photoBytes, 'p')) == photoBytes);
        file.close();
        qint64 atName = -1;
        photoBytesBeforeName(options + QStringList{QStringLiteral("--late-name"), QStringLiteral("1:150"),
                                                   QStringLiteral("x\\a.jpg=") + a},
                             "a.jpg", photoBytes + 8, atName);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(atName > 0 && atName < photoBytes, qPrintable(QStringLiteral("name after %1 photo bytes").arg(atName)));
    }

    // What IT staff see: the roster the PC sends, printed row by row.
    void rosterIsPrinted()
    {
        QProcess sim;
        QSignalSpy finished(&sim, &QProcess::finished);
        QSignalSpy connected(m_window->commandServer(), &link::TcpServer::clientConnected);
        sim.start(simulator(), portArguments() + QStringList{QStringLiteral("--rosters"), QStringLiteral("1"),
                                                             QStringLiteral("--listen"), QStringLiteral("60")});
        QVERIFY(connected.wait(10000));
        m_window->findChild<widgets::CrlfTextEdit*>(QStringLiteral("编辑框2"))
            ->setCrlfText(QStringLiteral("1234\t张三\t\t01\r\n1234\t李四\t\t02"));
        m_window->findChild<QPushButton*>(QStringLiteral("按钮1"))->click();
        QVERIFY(finished.wait(60000));
        QCOMPARE(sim.exitCode(), 0);
        const QString printed = QString::fromUtf8(sim.readAllStandardOutput());
        QVERIFY2(printed.contains(QStringLiteral("roster received (")), qPrintable(printed));
        QVERIFY(printed.contains(QStringLiteral("  1234 | 张三 |  | 01\n")));
        QVERIFY(printed.contains(QStringLiteral("  1234 | 李四 |  | 02\n")));
    }
};

QTEST_MAIN(PhoneSimTest)
#include "PhoneSimTest.moc"
