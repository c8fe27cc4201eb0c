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
        QVERIFY(QDir().mkpath(receiveDirectory()));
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

    // On the emulated Wi-Fi a write returns once the bytes fit into the send
    // buffer, so the next name message overtakes the tail of the photo before
    // it, as on a phone; and the simulator ends only once every buffered byte
    // has been sent.
    void wifiLinkLetsTheNextNameOvertakeThePhoto()
    {
        QTcpServer commandServer, photoServer;
        QVERIFY(commandServer.listen(QHostAddress::LocalHost) && photoServer.listen(QHostAddress::LocalHost));
        const qint64 photoBytes = 1'000'000; // half a second at 2 MB/s, all of it fits into the buffer
        const QString a = m_dir.filePath(QStringLiteral("a.bin"));
        const QString b = m_dir.filePath(QStringLiteral("b.bin"));
        for (const auto& [path, size] : {std::pair{a, photoBytes}, std::pair{b, qint64{1000}}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'p')) == size);
        }
        QProcess sim;
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer sending;
        sending.start();
        sim.start(simulator(), {QStringLiteral("--command-port"), QString::number(commandServer.serverPort()),
                                QStringLiteral("--photo-port"), QString::number(photoServer.serverPort()),
                                QStringLiteral("--link-rate"), QStringLiteral("2"), QStringLiteral("--send-buffer"),
                                QStringLiteral("1048576"), QStringLiteral("--gap"), QStringLiteral("0"),
                                QStringLiteral("x\\a.jpg=") + a, QStringLiteral("x\\b.jpg=") + b});
        QVERIFY(QTest::qWaitFor([&] { return commandServer.hasPendingConnections()
                                             && photoServer.hasPendingConnections(); }, 10000));
        QTcpSocket* command = commandServer.nextPendingConnection();
        QTcpSocket* photo = photoServer.nextPendingConnection();
        qint64 photoReceived = 0;
        qint64 photoReceivedAtSecondName = -1;
        QByteArray names;
        connect(photo, &QTcpSocket::readyRead, this, [&] { photoReceived += photo->readAll().size(); });
        connect(command, &QTcpSocket::readyRead, this, [&] {
            // Every photo byte that came in before the name counts, handled
            // yet or not.
            photo->waitForReadyRead(0);
            photoReceived += photo->readAll().size();
            names += command->readAll();
            if (photoReceivedAtSecondName < 0 && names.contains("b.jpg"))
                photoReceivedAtSecondName = photoReceived;
        });
        QVERIFY(QTest::qWaitFor([&] { return sim.state() == QProcess::NotRunning; }, 60000));
        const qint64 elapsedMs = sending.elapsed();
        QCOMPARE(sim.exitCode(), 0);
        const qint64 framed = 2 * 8 + photoBytes + 1000; // header and end marker around each photo
        QVERIFY(QTest::qWaitFor([&] { return photoReceived == framed; }, 10000));
        QVERIFY2(photoReceivedAtSecondName >= 0 && photoReceivedAtSecondName < photoBytes / 2,
                 qPrintable(QStringLiteral("second name after %1 photo bytes").arg(photoReceivedAtSecondName)));
        // A sanity bound only: 1 MB at 2 MB/s cannot be done in much less
        // than half a second.
        QVERIFY2(elapsedMs >= 300, qPrintable(QStringLiteral("sent in %1 ms").arg(elapsedMs)));
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
