// The phone link in the real main window under faults and load, over real
// loopback sockets: many phones at once, connections dropped in the middle of
// a photo or a name, receive directories that cannot be written, and a flood
// of noise on both ports.

#include "app/MainWindow.h"
#include "link/PhoneLink.h"
#include "link/TcpServer.h"
#include "platform/Files.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TestWindow.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>
#include <vector>

using namespace velmora;

namespace {

const QByteArray& MARKER = test::END_MARKER;
const QByteArray& HEADER = test::TRANSFER_HEADER;
using test::makeJpeg;
using test::readFile;
constexpr int WAIT_MS = 30000;

// A figure of /proc/self/status in KiB (VmRSS, VmHWM), or -1.
qint64 statusKiB(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Starts the peak (VmHWM) again from the current resident size.
bool resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

// Files larger than `bytes` cannot be written by this process while it
// lives: the write fails with EFBIG instead of the process being killed, as
// on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isSet() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_set = false;
};

} // namespace

class FaultTest : public QObject, protected test::WindowUnderTest {
    Q_OBJECT

private:
    using Socket = std::unique_ptr<QTcpSocket>;

    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeDialogs m_dialogs;

    QString goodDirectory() const { return m_dir->filePath(QStringLiteral("recv")) + QLatin1Char('/'); }
    link::PhoneLink::Figures figures() const { return m_window->findChild<link::PhoneLink*>()->figures(); }
    void setReceiveDirectory(const QString& path) { control<QLineEdit>(u"目录编辑框1")->setText(path); }

    // A connection from `from` (a loopback address: each phone has its own).
    Socket open(link::TcpServer* server, const QHostAddress& from = QHostAddress::LocalHost)
    {
        auto socket = std::make_unique<QTcpSocket>();
        if (from != QHostAddress::LocalHost && !socket->bind(from))
            return nullptr;
        socket->connectToHost(QHostAddress::LocalHost, server->serverPort());
        return socket->waitForConnected(5000) ? std::move(socket) : nullptr;
    }

    // Sends a name message and waits until the program has taken it; names
    // here are ASCII, the same in GBK.
    bool sendName(QTcpSocket& command, const QByteArray& name)
    {
        command.write("STAT||" + name);
        command.flush();
        return QTest::qWaitFor([&] { return figures().currentPhotoName == name.toStdString(); },
                               WAIT_MS);
    }

    // One whole transfer on `photo`, the marker in a write of its own as the
    // phone sends it; waits until 标签4 shows `expectedCount`.
    bool sendPhoto(QTcpSocket& photo, const QByteArray& bytes, int expectedCount)
    {
        photo.write(HEADER + bytes);
        photo.flush();
        photo.write(MARKER);
        photo.flush();
        return QTest::qWaitFor([&] {
            return count() == QString::number(expectedCount)
                && m_window->findChild<link::PhoneLink*>()->lastShownCount() == std::uint64_t(expectedCount);
        }, WAIT_MS);
    }

    // After a fault: a phone that connects afresh from `from` still has its
    // photo stored whole under its name, shown in the window's usual colour.
    // `from` must not have just ended a photo: its name would be that
    // photo's late name.
    void checkStillServing(const QByteArray& photo, const QHostAddress& from = QHostAddress::LocalHost)
    {
        Socket command = open(m_window->commandServer(), from);
        QVERIFY(command);
        Socket channel = open(m_window->photoServer(), from);
        QVERIFY(channel);
        QVERIFY(sendName(*command, "after.jpg"));
        QVERIFY(sendPhoto(*channel, photo, 1));
        QCOMPARE(readFile(goodDirectory() + QStringLiteral("after.jpg")), photo);
        QCOMPARE(shownName(), QStringLiteral("after.jpg"));
        QVERIFY(!nameInRed());
    }

    // Writes `total` bytes of noise on `socket` in slices, letting the event
    // loop run so that the program reads as it comes. The noise holds no
    // 02 byte (so no end marker), no "%" and no "S" (so no name marker).
    bool sendNoise(QTcpSocket& socket, qint64 total)
    {
        QByteArray slice(1024 * 1024, Qt::Uninitialized);
        QRandomGenerator random(7);
        for (char& byte : slice) {
            byte = static_cast<char>(random.bounded(256));
            if (byte == '\x02' || byte == '%' || byte == 'S')
                byte = 'n';
        }
        for (qint64 sent = 0; sent < total; sent += slice.size()) {
            if (!QTest::qWaitFor([&] { return socket.bytesToWrite() < 4 * slice.size(); }, WAIT_MS))
                return false;
            socket.write(slice);
        }
        return QTest::qWaitFor([&] { return socket.bytesToWrite() == 0; }, WAIT_MS);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(goodDirectory()));
        m_dialogs = test::FakeDialogs();
        app::MainWindowOptions options = test::testWindowOptions(m_dir->filePath(QStringLiteral("set.ini")), &m_dialogs);
        m_window = std::make_unique<app::MainWindow>(options);
        setReceiveDirectory(goodDirectory());
    }
    void cleanup() { m_window.reset(); }

    // Guards against pieces of several phones being mixed into one photo,
    // and against the program ceasing to serve after a crowd: 20 phones send
    // at once on both ports, a slice each in turn; every stored file is one
    // of the photos, bit-exact, every photo is counted, and afterwards a new
    // phone is served.
    void twentyPhonesAtOnce()
    {
        constexpr int PHONES = 20;
        constexpr int SLICE = 1500;
        constexpr int NAME_SLICE = 5;
        std::vector<Socket> commands;
        std::vector<Socket> photos;
        QList<QByteArray> sent;
        QSet<QByteArray> known;
        // Every phone's connection is seen before any photo, so that none of
        // them starts the count again in the middle.
        QSignalSpy connected(m_window->commandServer(), &link::TcpServer::clientConnected);
        for (int i = 0; i < PHONES; ++i) {
            const QHostAddress phone(QStringLiteral("127.0.0.%1").arg(i + 1));
            commands.push_back(open(m_window->commandServer(), phone));
            photos.push_back(open(m_window->photoServer(), phone));
            QVERIFY(commands.back() && photos.back());
            sent.append(makeJpeg(120 + 7 * i, 160, i));
            known.insert(sent.back());
        }
        QVERIFY(QTest::qWaitFor([&] { return connected.size() == PHONES; }, WAIT_MS));
        bool more = true;
        for (int round = 0; more; ++round) {
            more = false;
            for (int i = 0; i < PHONES; ++i) {
                const QByteArray name = "p" + QByteArray::number(i) + ".jpgSTAT||";
                commands[i]->write(name.mid(round * NAME_SLICE, NAME_SLICE));
                const QByteArray transfer = HEADER + sent[i];
                const int offset = round * SLICE;
                photos[i]->write(transfer.mid(offset, SLICE));
                photos[i]->flush();
                more = more || offset + SLICE < transfer.size();
            }
            QTest::qWait(1);
        }
        for (auto& photo : photos)
            photo->write(MARKER);
        // Every photo counted and also shown: a photo is shown once its late
        // name can no longer come, and one shown after the next phone
        // connected would pass for that phone's photo.
        QVERIFY(QTest::qWaitFor([&] {
            return count() == QString::number(PHONES)
                && m_window->findChild<link::PhoneLink*>()->photosShown() == std::uint64_t(PHONES);
        }, WAIT_MS));
        for (QDirIterator it(goodDirectory(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QByteArray stored = readFile(it.next());
            QVERIFY2(stored.isEmpty() || known.contains(stored), qPrintable(it.filePath()));
        }
        commands.clear();
        photos.clear();
        QVERIFY(QTest::qWaitFor([&] { return figures().photos.bufferedBytes == 0; }, WAIT_MS));
        checkStillServing(sent.first(), QHostAddress(QStringLiteral("127.0.0.%1").arg(PHONES + 1)));
    }

    // Guards against two phones pointed at one PC taking each other's
    // names: each names its photo, the other phone's photo comes first, and
    // every photo must be filed under its own phone's name.
    void twoPhonesKeepTheirNames()
    {
        const QHostAddress addressX(QStringLiteral("127.0.0.1")), addressY(QStringLiteral("127.0.0.2"));
        Socket commandX = open(m_window->commandServer(), addressX), photoX = open(m_window->photoServer(), addressX);
        Socket commandY = open(m_window->commandServer(), addressY), photoY = open(m_window->photoServer(), addressY);
        QVERIFY(commandX && photoX && commandY && photoY);
        QList<QByteArray> photos;
        for (int i = 0; i < 8; ++i)
            photos.append(makeJpeg(100 + 9 * i, 80, i));
        int counted = 0;
        for (int i = 0; i < 4; ++i) {
            const QByteArray number = QByteArray::number(i);
            QVERIFY(sendName(*commandX, "x" + number + ".jpg"));
            QVERIFY(sendName(*commandY, "y" + number + ".jpg"));
            QVERIFY(sendPhoto(*photoY, photos[2 * i + 1], ++counted));
            QVERIFY(sendPhoto(*photoX, photos[2 * i], ++counted));
        }
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(readFile(goodDirectory() + QStringLiteral("x%1.jpg").arg(i)), photos[2 * i]);
            QCOMPARE(readFile(goodDirectory() + QStringLiteral("y%1.jpg").arg(i)), photos[2 * i + 1]);
        }
    }

    void droppedConnectionLeavesNextPhotoWhole_data()
    {
        QTest::addColumn<bool>("deliveredBeforeClose");
        QTest::newRow("half photo taken in, then the connection closes") << true;
        QTest::newRow("connection closes at once, next one opens") << false;
    }
    // Guards against the half photo of a dropped connection being glued in
    // front of the photo the phone sends after reconnecting: that photo must
    // be stored whole, under its name, and nothing of the half be left held.
    void droppedConnectionLeavesNextPhotoWhole()
    {
        QFETCH(bool, deliveredBeforeClose);
        const QByteArray half = makeJpeg(400, 300, 1).left(20000);
        const QByteArray good = makeJpeg(300, 400, 2);
        Socket command = open(m_window->commandServer());
        QVERIFY(command);
        QVERIFY(sendName(*command, "good.jpg"));
        Socket lost = open(m_window->photoServer());
        QVERIFY(lost);
        lost->write(HEADER + half);
        lost->flush();
        if (deliveredBeforeClose)
            QVERIFY(QTest::qWaitFor([&] { return figures().photos.bufferedBytes > 0; }, WAIT_MS));
        lost->abort();
        Socket again = open(m_window->photoServer());
        QVERIFY(again);
        QVERIFY(sendPhoto(*again, good, 1));
        QCOMPARE(readFile(goodDirectory() + QStringLiteral("good.jpg")), good);
        QVERIFY(QTest::qWaitFor([&] { return figures().photos.bufferedBytes == 0; }, WAIT_MS));
        QCOMPARE(count(), QStringLiteral("1"));
    }

    // Guards against a name cut off by a dropped command connection being
    // put in front of the name the phone sends after reconnecting, which
    // files the photo in a wrong folder.
    void droppedConnectionLeavesNextNameWhole()
    {
        Socket lost = open(m_window->commandServer());
        QVERIFY(lost);
        lost->write("class1\\half");
        lost->flush();
        QVERIFY(QTest::qWaitFor([&] { return figures().commandBufferedBytes > 0; }, WAIT_MS));
        lost->abort();
        QVERIFY(QTest::qWaitFor([&] { return figures().commandBufferedBytes == 0; }, WAIT_MS));
        Socket command = open(m_window->commandServer());
        QVERIFY(command);
        QVERIFY(sendName(*command, "whole.jpg"));
    }

    // Guards against a photo counted but never written: on a slow disk (a USB
    // stick) photos wait for the writer, and closing the window then must
    // write them all before the program ends.
    void closingWritesWhatWaits()
    {
        constexpr int PHOTOS = 4;
        Socket command = open(m_window->commandServer());
        Socket photo = open(m_window->photoServer());
        QVERIFY(command && photo);
        platform::setWriteRateLimit(100'000);
        QList<QByteArray> sent;
        for (int i = 0; i < PHOTOS; ++i) {
            sent.append(makeJpeg(800, 600, 20 + i));
            QVERIFY(sendName(*command, "slow" + QByteArray::number(i) + ".jpg"));
            photo->write(HEADER + sent.back());
            photo->write(MARKER);
            QVERIFY(QTest::qWaitFor([&] { return count() == QString::number(i + 1); }, WAIT_MS));
        }
        QVERIFY(m_window->findChild<link::PhoneLink*>()->lastShownCount() < PHOTOS);
        m_window.reset();
        platform::setWriteRateLimit(0);
        for (int i = 0; i < PHOTOS; ++i)
            QCOMPARE(readFile(goodDirectory() + QStringLiteral("slow%1.jpg").arg(i)), sent[i]);
    }

    void unwritableDirectoryShowsFailure_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        const QString held = QStringLiteral("已暂存：keep.jpg");
        QTest::newRow("receive directory missing") << QStringLiteral("missing") << QByteArray("keep.jpg") << held;
        QTest::newRow("a file where the directory should be") << QStringLiteral("file") << QByteArray("keep.jpg")
                                                            << held;
        QTest::newRow("a file where the class folder should be") << QStringLiteral("class")
                                                               << QByteArray("class1\\keep.jpg") << held;
        // The whole process is refused files that large, the holding
        // folder's too: the photo waits in memory.
        QTest::newRow("disk full") << QStringLiteral("full") << QByteArray("keep.jpg")
                                   << QStringLiteral("仅在内存：keep.jpg");
    }
    // Guards against a failed store passing as stored, against a failed
    // store damaging the photo already there, against the photo being lost,
    // and against one failure stopping the next photo: 标签11 shows the
    // photo as held, in red, the earlier photo is unchanged with no
    // temporary file beside it, the held photo replaces it once a good
    // directory takes it, and the next photo is stored and shown normally.
    void unwritableDirectoryShowsFailure()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        const QByteArray earlier = makeJpeg(200, 150, 3);
        const QByteArray failing = makeJpeg(640, 480, 4);
        const QByteArray next = makeJpeg(150, 200, 5);
        Socket command = open(m_window->commandServer());
        Socket photo = open(m_window->photoServer());
        QVERIFY(command && photo);
        QVERIFY(sendName(*command, name));
        QVERIFY(sendPhoto(*photo, earlier, 1));
        const QString earlierPath = goodDirectory() + QString::fromLatin1(name).replace(QLatin1Char('\\'), QLatin1Char('/'));
        QCOMPARE(readFile(earlierPath), earlier);

        const QString bad = m_dir->filePath(QStringLiteral("bad"));
        std::unique_ptr<FileSizeLimit> limit;
        if (fault == QStringLiteral("missing")) {
            setReceiveDirectory(bad + QLatin1Char('/'));
        } else if (fault == QStringLiteral("file")) {
            QVERIFY(QFile(bad).open(QIODevice::WriteOnly));
            setReceiveDirectory(bad + QLatin1Char('/'));
        } else if (fault == QStringLiteral("class")) {
            QVERIFY(QDir().mkpath(bad));
            QVERIFY(QFile(bad + QStringLiteral("/class1")).open(QIODevice::WriteOnly));
            setReceiveDirectory(bad + QLatin1Char('/'));
        } else {
            limit = std::make_unique<FileSizeLimit>(failing.size() / 2);
            QVERIFY(limit->isSet());
        }
        // A retake: the student's name again, so the held photo is to
        // replace the earlier one rather than go beside it.
        QVERIFY(sendName(*command, name));
        QVERIFY(sendPhoto(*photo, failing, 2));
        QCOMPARE(shownName(), shown);
        QVERIFY(nameInRed());
        QCOMPARE(readFile(earlierPath), earlier);
        QCOMPARE(QDir(QFileInfo(earlierPath).path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.jpg")});
        if (fault == QStringLiteral("missing"))
            QVERIFY(!QFileInfo::exists(bad));
        limit.reset();

        setReceiveDirectory(goodDirectory());
        QTRY_COMPARE_WITH_TIMEOUT(readFile(earlierPath), failing, WAIT_MS);
        QVERIFY(sendName(*command, "next.jpg"));
        QVERIFY(sendPhoto(*photo, next, 3));
        QCOMPARE(readFile(goodDirectory() + QStringLiteral("next.jpg")), next);
        QCOMPARE(shownName(), QStringLiteral("next.jpg"));
        QVERIFY(!nameInRed());
    }

    // Guards against noise filling memory or leaving the program deaf: 100 MiB
    // on each port keep the peak memory within the bytes a transfer may hold
    // plus what the servers may have in flight; what the noise left is let go
    // when its sender leaves, and the next phone is served.
    void noiseOnBothPorts()
    {
        constexpr qint64 NOISE = 100LL * 1024 * 1024;
        Socket noisyCommand = open(m_window->commandServer());
        Socket noisyPhoto = open(m_window->photoServer());
        QVERIFY(noisyCommand && noisyPhoto);
        const bool peakReset = resetPeakMemory();
        const qint64 before = statusKiB("VmRSS");
        QVERIFY(before > 0);
        QVERIFY(sendNoise(*noisyCommand, NOISE));
        QVERIFY(sendNoise(*noisyPhoto, NOISE));
        QVERIFY(QTest::qWaitFor([&] { return figures().photos.bufferedBytes >= NOISE - 8; }, WAIT_MS));
        QVERIFY(figures().commandBufferedBytes <= link::CommandChannel::DEFAULT_BUFFER_LIMIT);
        const qint64 peak = peakReset ? statusKiB("VmHWM") : statusKiB("VmRSS");
        // The noise on the photo port is one transfer held whole (below the
        // limit, it could be a photo); twice that covers the buffer's growth.
        qint64 allowed = (2 * NOISE + link::TcpServer::IN_FLIGHT_LIMIT + 64 * 1024 * 1024) / 1024;
#if defined(__SANITIZE_ADDRESS__)
        allowed += 512 * 1024; // freed blocks held back by the address sanitizer
#endif
        qInfo("resident memory %lld KiB before, peak %lld KiB", before, peak);
        QVERIFY2(peak - before < allowed, qPrintable(QString::number(peak - before)));

        noisyCommand->abort();
        noisyPhoto->abort();
        QVERIFY(QTest::qWaitFor([&] {
            return figures().photos.bufferedBytes == 0 && figures().commandBufferedBytes == 0;
        }, WAIT_MS));
        checkStillServing(makeJpeg(240, 320, 6));
    }
};

QTEST_MAIN(FaultTest)
#include "FaultTest.moc"
