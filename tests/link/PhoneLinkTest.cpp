// The phone link in the real main window, offscreen, with real loopback
// sockets playing the phone: the roster's exact bytes, name messages in odd
// pieces, photos stored bit-exact with the count, preview and file name
// shown, reconnects, names that try to leave the receive directory, and real
// JPEG photos whose end marker follows the last byte with no pause.

#include "app/MainWindow.h"
#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"
#include "link/PhoneLink.h"
#include "link/TcpServer.h"
#include "tests/support/FakeDialogs.h"
#include "tests/portraits/PortraitJpeg.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TestWindow.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace velmora;

namespace {

const QByteArray& MARKER = test::END_MARKER;
const QByteArray& HEADER = test::TRANSFER_HEADER;
using test::makeJpeg;
using test::readFile;

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

class PhoneLinkTest : public QObject, protected test::WindowUnderTest {
    Q_OBJECT

private:
    // One phone: a command and a photo connection to the window's servers.
    struct Phone {
        std::unique_ptr<QTcpSocket> command;
        std::unique_ptr<QTcpSocket> photo;
        QString client; // the command connection's client address on the PC
    };

    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeDialogs m_dialogs;
    qint64 m_commandBytes = 0; // bytes the command server has delivered
    qint64 m_photoBytes = 0;

    QString receiveDirectory() const { return m_dir->filePath(QStringLiteral("recv")) + QLatin1Char('/'); }
    const link::PhoneLink* phoneLink() const { return m_window->findChild<link::PhoneLink*>(); }

    Phone connectPhone(bool withPhoto = true)
    {
        Phone phone;
        QSignalSpy connected(m_window->commandServer(), &link::TcpServer::clientConnected);
        phone.command = std::make_unique<QTcpSocket>();
        phone.command->connectToHost(QHostAddress::LocalHost, m_window->commandServer()->serverPort());
        if (!phone.command->waitForConnected(5000) || !connected.wait(5000))
            return phone;
        phone.client = connected.first().first().toString();
        if (withPhoto) {
            phone.photo = std::make_unique<QTcpSocket>();
            phone.photo->connectToHost(QHostAddress::LocalHost, m_window->photoServer()->serverPort());
            phone.photo->waitForConnected(5000);
        }
        return phone;
    }

    // Writes `bytes` and waits until the channels have taken them all, so
    // that the next write arrives as a piece of its own.
    bool sendAndWait(QTcpSocket& socket, const QByteArray& bytes, bool photo, qint64& delivered)
    {
        socket.write(bytes);
        socket.flush();
        delivered += bytes.size();
        return QTest::qWaitFor([&] {
            const auto figures = phoneLink()->figures();
            return qint64(photo ? figures.photoBytesTaken : figures.commandBytesTaken) >= delivered;
        }, 10000);
    }
    bool command(Phone& phone, const QByteArray& bytes)
    {
        return sendAndWait(*phone.command, bytes, false, m_commandBytes);
    }
    bool photoBytes(Phone& phone, const QByteArray& bytes)
    {
        return sendAndWait(*phone.photo, bytes, true, m_photoBytes);
    }
    // Sends a name message and a photo and waits until the photo is stored
    // and shown.
    bool sendPhoto(Phone& phone, const QByteArray& nameMessage, const QByteArray& photo)
    {
        const std::uint64_t shown = phoneLink()->photosShown();
        return command(phone, nameMessage) && photoBytes(phone, HEADER + photo) && photoBytes(phone, MARKER)
            && QTest::qWaitFor([&] { return phoneLink()->photosShown() > shown; }, 10000);
    }
    // Waits until 标签4 shows `expected` and that photo is stored and shown.
    bool waitForCount(int expected)
    {
        return QTest::qWaitFor([&] {
            return count() == QString::number(expected) && phoneLink()->lastShownCount() == std::uint64_t(expected);
        }, 10000);
    }
    QByteArray stored(const QString& relative) const { return readFile(receiveDirectory() + relative); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(receiveDirectory()));
        m_dialogs = test::FakeDialogs();
        app::MainWindowOptions options = test::testWindowOptions(m_dir->filePath(QStringLiteral("set.ini")), &m_dialogs);
        m_window = std::make_unique<app::MainWindow>(options);
        control<QLineEdit>(u"目录编辑框1")->setText(receiveDirectory());
        m_commandBytes = m_photoBytes = 0;
    }
    void cleanup() { m_window.reset(); }

    // The roster goes to the most recent phone as GBK bytes framed by
    // "STAT||" and "||END", rows separated by CR LF; the two messages come in
    // their order, and a phone that has gone gets a message, not a lost send.
    void rosterGoesToTheLatestPhoneAsGbk()
    {
        auto* send = control<QPushButton>(u"按钮1");
        send->click();
        QCOMPARE(m_dialogs.messages, QStringList{QStringLiteral("请复制电子表格的学生名册到名册框里！")});
        control<widgets::CrlfTextEdit>(u"编辑框2")->setCrlfText(QStringLiteral("x"));
        send->click();
        QCOMPARE(m_dialogs.messages.last(), QStringLiteral("手机未连接！"));

        Phone first = connectPhone(false);
        Phone second = connectPhone(false);
        QVERIFY(first.command && second.command);
        control<widgets::CrlfTextEdit>(u"编辑框2")->setCrlfText(
            QStringLiteral("1234\t张三\t110101200001011232\t01\r\n1234\t李四\t\t02"));
        m_dialogs.messages.clear();
        send->click();
        QVERIFY(m_dialogs.messages.isEmpty());
        QVERIFY(m_dialogs.questions.isEmpty()); // a clean roster goes without a question
        // GBK bytes from Python's codec: 张三 D5 C5 C8 FD, 李四 C0 EE CB C4.
        const QByteArray expected = QByteArray("STAT||1234\t") + "\xD5\xC5\xC8\xFD"
            + "\t110101200001011232\t01\r\n1234\t" + "\xC0\xEE\xCB\xC4" + "\t\t02||END";
        QByteArray received;
        while (received.size() < expected.size() && second.command->waitForReadyRead(5000))
            received += second.command->readAll();
        QCOMPARE(received, expected);
        QVERIFY(!first.command->waitForReadyRead(100));

        second.command->disconnectFromHost();
        QVERIFY(QTest::qWaitFor([&] { return !m_window->commandServer()->isConnected(second.client); }, 5000));
        send->click();
        QCOMPARE(m_dialogs.messages, QStringList{QStringLiteral("手机未连接！")});
    }

    // A roster with faulty rows is sent only when the user says so after
    // seeing them; going back to the box sends nothing and puts the caret on
    // the first faulty row.
    void faultyRosterAsksBeforeSending()
    {
        Phone phone = connectPhone(false);
        QVERIFY(phone.command);
        auto* box = control<widgets::CrlfTextEdit>(u"编辑框2");
        box->setCrlfText(QStringLiteral("1234\t李四\t\t01\r\n1234\t张三\t3.30101E+17\t01\r\n"));
        control<QPushButton>(u"按钮1")->click();
        QCOMPARE(m_dialogs.questions.size(), 1);
        QVERIFY(m_dialogs.questions.first().contains(QStringLiteral("\n第2行 张三：身份证号“3.30101E+17”")));
        QVERIFY(!phone.command->waitForReadyRead(100));
        QCOMPARE(box->textCursor().blockNumber(), 1);
        QCOMPARE(box->textCursor().positionInBlock(), 0);

        m_dialogs.answers.enqueue(QStringLiteral("仍然发送"));
        control<QPushButton>(u"按钮1")->click();
        const QByteArray expected = QByteArray("STAT||1234\t") + "\xC0\xEE\xCB\xC4" + "\t\t01\r\n1234\t"
            + "\xD5\xC5\xC8\xFD" + "\t3.30101E+17\t01\r\n||END";
        QByteArray received;
        while (received.size() < expected.size() && phone.command->waitForReadyRead(5000))
            received += phone.command->readAll();
        QCOMPARE(received, expected);
        QVERIFY(m_dialogs.messages.isEmpty());
    }

    // Name messages cut into odd pieces, each piece read on its own.
    void nameMessagesInOddPieces_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("storedAt");
        QTest::addColumn<QString>("shown");
        QTest::newRow("marker split") << QList<QByteArray>{"S", "TAT|", "|\xE7\x8F\xAD" "1\\\xE5\xBC\xA0.jpg"}
                                      << QStringLiteral("班1/张.jpg") << QStringLiteral("张.jpg");
        QTest::newRow("escapes split") << QList<QByteArray>{"STAT%7", "C%7C%E5%BC", "%A0%5Cx.jpg"}
                                       << QStringLiteral("张/x.jpg") << QStringLiteral("x.jpg");
        QTest::newRow("character split") << QList<QByteArray>{"STAT||a\xE5", "\xBC\xA0_1.jpg"}
                                         << QStringLiteral("无身份证照片/a张_1.jpg") << QStringLiteral("a张_1.jpg");
        // 乗 is GBK 81 5C: its trail byte is "\", yet it is no separator.
        QTest::newRow("backslash trail byte") << QList<QByteArray>{"STAT||%E4%B9%97%5C%E4%B9%97.jpg"}
                                              << QStringLiteral("乗/乗.jpg") << QStringLiteral("乗.jpg");
        // 俖 is GBK 82 5F: its trail byte is "_", yet the photo is no 无身份证照片 one.
        QTest::newRow("underscore trail byte") << QList<QByteArray>{"STAT||\xE4\xBF\x96.jpg"}
                                               << QStringLiteral("俖.jpg") << QStringLiteral("俖.jpg");
        QByteArray markerLast = "%E5%BC%A0_2.jpgSTAT%7C%7C";
        QList<QByteArray> bytes;
        for (char byte : markerLast)
            bytes.append(QByteArray(1, byte));
        QTest::newRow("marker last, byte by byte") << bytes << QStringLiteral("无身份证照片/张_2.jpg")
                                                   << QStringLiteral("张_2.jpg");
    }
    void nameMessagesInOddPieces()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, storedAt);
        QFETCH(QString, shown);
        Phone phone = connectPhone();
        for (const QByteArray& piece : pieces)
            QVERIFY(command(phone, piece));
        const QByteArray photo = makeJpeg(64, 48, 1);
        QVERIFY(photoBytes(phone, HEADER + photo) && photoBytes(phone, MARKER));
        QVERIFY(QTest::qWaitFor([&] { return phoneLink()->photosShown() == 1; }, 10000));
        QCOMPARE(sha256(stored(storedAt)), sha256(photo));
        QCOMPARE(shownName(), shown);
        QVERIFY(!nameInRed());
    }

    // Photos stored bit-exact under their names; the count, the preview and
    // the file name follow each photo; a second photo under one name
    // replaces the first; a reconnect restarts the count.
    void photosStoredCountedAndShown()
    {
        Phone phone = connectPhone();
        QByteArray last;
        for (int i = 1; i <= 3; ++i) {
            last = makeJpeg(300 + i, 200, i);
            QVERIFY(sendPhoto(phone, "STAT||a%5Cb%5Cp" + QByteArray::number(i) + ".jpg", last));
            QCOMPARE(count(), QString::number(i));
            QCOMPARE(shownName(), QStringLiteral("p%1.jpg").arg(i));
            QCOMPARE(sha256(stored(QStringLiteral("a/b/p%1.jpg").arg(i))), sha256(last));
        }
        auto* preview = control<widgets::PictureBox>(u"图片框3");
        QCOMPARE(preview->picture(), last);
        // The photos came closer together than previews are decoded; the
        // newest one's preview still follows.
        QBuffer buffer(&last);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setScaledSize(reader.size().scaled(link::PhoneLink::PREVIEW_WIDTH, link::PhoneLink::PREVIEW_HEIGHT,
                                                  Qt::KeepAspectRatio));
        const QImage expected = reader.read();
        QVERIFY(!expected.isNull());
        QTRY_VERIFY_WITH_TIMEOUT(preview->image() == expected, 3000);

        const QByteArray replacement = makeJpeg(20, 20, 9);
        QVERIFY(sendPhoto(phone, "STAT||a%5Cb%5Cp3.jpg", replacement));
        QCOMPARE(count(), QStringLiteral("4"));
        QCOMPARE(stored(QStringLiteral("a/b/p3.jpg")), replacement);
        QCOMPARE(QDir(receiveDirectory() + QStringLiteral("a/b")).entryList(QDir::Files).size(), 3);

        Phone again = connectPhone();
        QCOMPARE(count(), QStringLiteral("4")); // unchanged until the next photo
        QVERIFY(sendPhoto(again, "STAT||p5.jpg", makeJpeg(10, 10, 5)));
        QCOMPARE(count(), QStringLiteral("1"));
    }

    // A portrait stored lying with an orientation tag (as phones store
    // them) is shown upright in 图片框3, fitted to the box, as the export
    // turns it: red at the top, blue at the bottom.
    void orientationTaggedPortraitShownUpright_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::newRow("tag 6") << 6;
        QTest::newRow("tag 8") << 8;
        QTest::newRow("tag 3") << 3;
        QTest::newRow("no tag") << 1;
    }
    void orientationTaggedPortraitShownUpright()
    {
        QFETCH(int, orientation);
        QImage upright(600, 800, QImage::Format_RGB32);
        upright.fill(Qt::blue);
        QPainter(&upright).fillRect(0, 0, 600, 400, Qt::red);
        const QByteArray photo = test::jpegOf(upright, orientation);
        Phone phone = connectPhone();
        QVERIFY(sendPhoto(phone, "STAT||upright.jpg", photo));
        auto* box = control<widgets::PictureBox>(u"图片框3");
        QCOMPARE(box->picture(), photo);
        QTRY_VERIFY_WITH_TIMEOUT(!box->image().isNull(), 3000);
        const QImage shown = box->image();
        QVERIFY2(shown.height() > shown.width(), qPrintable(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height())));
        QVERIFY(shown.width() <= link::PhoneLink::PREVIEW_WIDTH && shown.height() <= link::PhoneLink::PREVIEW_HEIGHT);
        QCOMPARE(shown.height(), link::PhoneLink::PREVIEW_HEIGHT); // 3:4 fills the box's height
        const QColor top = shown.pixelColor(shown.width() / 2, shown.height() / 8);
        const QColor bottom = shown.pixelColor(shown.width() / 2, shown.height() * 7 / 8);
        QVERIFY(top.red() > 200 && top.blue() < 60);
        QVERIFY(bottom.blue() > 200 && bottom.red() < 60);
    }

    // Two photos in quick succession: the second one's preview is decoded
    // later (the burst throttle), and until it comes 图片框3 is empty beside
    // 标签11's new name, never the first photo's picture; then it is the
    // second photo's.
    void burstNeverShowsAnotherPhotosPicture()
    {
        Phone phone = connectPhone();
        const QByteArray first = makeJpeg(300, 200, 1);
        const QByteArray second = makeJpeg(200, 300, 2);
        QVERIFY(sendPhoto(phone, "STAT||first.jpg", first));
        auto* box = control<widgets::PictureBox>(u"图片框3");
        QTRY_VERIFY_WITH_TIMEOUT(!box->image().isNull(), 3000);
        const QImage firstPreview = box->image();
        QVERIFY(sendPhoto(phone, "STAT||second.jpg", second));
        QCOMPARE(shownName(), QStringLiteral("second.jpg"));
        QCOMPARE(box->picture(), second);
        QVERIFY(box->image() != firstPreview);
        QVERIFY(box->image().isNull() || box->image().height() > box->image().width());
        QTRY_VERIFY_WITH_TIMEOUT(!box->image().isNull(), 3000);
        QVERIFY(box->image().height() > box->image().width());
        QCOMPARE(shownName(), QStringLiteral("second.jpg"));
    }

    // A 12-megapixel photo is shown decoded at the preview's size, and
    // stored whole.
    void largePhotoPreviewIsScaled()
    {
        Phone phone = connectPhone();
        const QByteArray photo = makeJpeg(4000, 3000, 7);
        QVERIFY(sendPhoto(phone, "STAT||big.jpg", photo));
        const QImage shown = control<widgets::PictureBox>(u"图片框3")->image();
        QVERIFY(!shown.isNull());
        QVERIFY(shown.width() <= link::PhoneLink::PREVIEW_WIDTH);
        QVERIFY(shown.height() <= link::PhoneLink::PREVIEW_HEIGHT);
        QCOMPARE(shown.width(), link::PhoneLink::PREVIEW_WIDTH); // aspect 4:3 fills the width
        QCOMPARE(sha256(stored(QStringLiteral("big.jpg"))), sha256(photo));
    }

    // Names that leave the receive directory write nothing anywhere; the
    // photo is counted and its name shown as not saved, in red. So is a
    // photo that came before any name. A name from the root stays inside.
    void namesLeavingTheDirectoryStoreNothing()
    {
        QFile outside(m_dir->filePath(QStringLiteral("outside.jpg")));
        QVERIFY(outside.open(QIODevice::WriteOnly));
        outside.write("KEEP");
        outside.close();
        Phone phone = connectPhone();
        QVERIFY(sendPhoto(phone, "", makeJpeg(8, 8, 1))); // no name message yet
        QCOMPARE(shownName(), QStringLiteral("保存失败："));
        QVERIFY(nameInRed());
        const QList<QByteArray> names = {"STAT||..%5Coutside.jpg", "STAT||../outside.jpg", "STAT||sub/..%5C..%5Coutside.jpg",
                                         "STAT||C:%5Coutside.jpg", "STAT||...%5Coutside.jpg"};
        int sent = 1;
        for (const QByteArray& name : names) {
            QVERIFY(sendPhoto(phone, name, "EVIL"));
            ++sent;
            QCOMPARE(count(), QString::number(sent));
            QVERIFY2(shownName().startsWith(QStringLiteral("保存失败：")), qPrintable(shownName()));
            QVERIFY(nameInRed());
        }
        QCOMPARE(readFile(outside.fileName()), QByteArray("KEEP"));
        QDirIterator all(m_dir->path(), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        QStringList entries;
        while (all.hasNext())
            entries << QDir(m_dir->path()).relativeFilePath(all.next());
        entries.sort();
        QCOMPARE(entries, (QStringList{QStringLiteral("outside.jpg"), QStringLiteral("recv")}));

        // A path from the root is a name whose first level is empty: it
        // collapses, and the photo stays inside the receive directory.
        const QString absolute = outside.fileName();
        QVERIFY(sendPhoto(phone, "STAT||" + absolute.toUtf8(), "INSIDE"));
        const QString noId = absolute.contains(QLatin1Char('_')) ? QStringLiteral("无身份证照片/") : QString();
        QCOMPARE(readFile(receiveDirectory() + noId + absolute.mid(1)), QByteArray("INSIDE"));
        QCOMPARE(readFile(outside.fileName()), QByteArray("KEEP"));

        QVERIFY(sendPhoto(phone, "STAT||ok.jpg", "GOOD"));
        QCOMPARE(shownName(), QStringLiteral("ok.jpg"));
        QVERIFY(!nameInRed());
    }

    // Real JPEG photos with the end marker right behind the last byte, no
    // pause: however the reads fall, each photo is stored whole under its
    // own name. Then merges made on purpose: marker with the next transfer's
    // header, and photo end with marker and next header in one write.
    void realJpegsWithMarkerRightBehind()
    {
        Phone phone = connectPhone();
        QList<QByteArray> photos;
        for (int i = 0; i < 12; ++i)
            photos.append(makeJpeg(160 + 97 * i, 120 + 71 * i, i));
        for (int i = 0; i < 8; ++i) {
            QVERIFY(command(phone, "STAT||run" + QByteArray::number(i) + ".jpg"));
            phone.photo->write(HEADER + photos[i]);
            phone.photo->write(MARKER);
            phone.photo->flush();
            QVERIFY(waitForCount(i + 1));
        }
        // The marker begins a write that carries the next header and photo;
        // each name comes while the photo before it is on the air, as on
        // Wi-Fi.
        QVERIFY(command(phone, "STAT||run8.jpg"));
        QVERIFY(photoBytes(phone, HEADER + photos[8]));
        QVERIFY(command(phone, "STAT||run9.jpg"));
        QVERIFY(photoBytes(phone, MARKER + HEADER + photos[9].left(100)));
        QVERIFY(waitForCount(9));
        QVERIFY(command(phone, "STAT||run10.jpg"));
        // The photo's end, its marker and the next header in one write.
        QVERIFY(photoBytes(phone, photos[9].mid(100) + MARKER + HEADER + photos[10].left(50)));
        QVERIFY(waitForCount(10));
        QVERIFY(photoBytes(phone, photos[10].mid(50) + MARKER));
        QVERIFY(waitForCount(11));

        // Whether a marker was read at a piece's front or behind an image's
        // end depends on how the system split the reads: only the photos
        // themselves are asserted.
        for (int i = 0; i <= 10; ++i)
            QCOMPARE(sha256(stored(QStringLiteral("run%1.jpg").arg(i))), sha256(photos[i]));
        const auto channel = phoneLink()->figures().photos;
        qInfo("merged end markers taken apart: at the front of a piece %llu, behind an image end %llu",
              static_cast<unsigned long long>(channel.mergedAtFront),
              static_cast<unsigned long long>(channel.mergedAfterImage));
    }
};

QTEST_MAIN(PhoneLinkTest)
#include "PhoneLinkTest.moc"
