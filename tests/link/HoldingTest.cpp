// A receive folder that goes away during a photo session, in the real main
// window over loopback sockets: the photos in between are held on the PC and
// written once the folder is back or staff choose another, the window says
// so at once, and a program killed meanwhile loses none of them. The last
// case runs this program a second time as the window's host (--host), so
// that it can be killed for real.

#include "app/MainWindow.h"
#include "link/PhoneLink.h"
#include "link/TcpServer.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TestWindow.h"
#include "widgets/CrlfTextEdit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cstdio>
#include <memory>

using namespace velmora;

namespace {

const QByteArray& MARKER = test::END_MARKER;
const QByteArray& HEADER = test::TRANSFER_HEADER;
using test::makeJpeg;
using test::readFile;
constexpr int WAIT_MS = 30000;
const QString AWAY_LINE = QStringLiteral("接收目录不可用，已暂存 %1 张照片");

// A phone's two connections to a window's ports.
struct Phone {
    std::unique_ptr<QTcpSocket> command = std::make_unique<QTcpSocket>();
    std::unique_ptr<QTcpSocket> photo = std::make_unique<QTcpSocket>();

    bool connect(quint16 commandPort, quint16 photoPort)
    {
        command->connectToHost(QHostAddress::LocalHost, commandPort);
        photo->connectToHost(QHostAddress::LocalHost, photoPort);
        return command->waitForConnected(5000) && photo->waitForConnected(5000);
    }
    // The name, then the photo with its marker in a write of its own.
    void send(const QByteArray& name, const QByteArray& bytes)
    {
        command->write("STAT||" + name);
        command->flush();
        photo->write(HEADER + bytes);
        photo->flush();
        photo->write(MARKER);
        photo->flush();
    }
};

QStringList recordsIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.held")}, QDir::Files, QDir::Name);
}

// The window's dialogs in the host: every message on the standard output,
// one line each, for the test that runs it.
class PrintingDialogs final : public platform::UserDialogs {
public:
    void showMessage(QWidget*, const QString& text) override
    {
        std::printf("message %s\n", qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        std::fflush(stdout);
    }
    bool askToProceed(QWidget*, const QString&, const QString&, const QString&) override { return true; }
    QString askChoice(QWidget*, const QString&, const QStringList& buttons) override { return buttons.value(0); }
    QString askSaveFile(QWidget*, const QString&) override { return {}; }
    QString askOpenFile(QWidget*, const QString&) override { return {}; }
    QString askFolder(QWidget*, const QString&, const QString&) override { return {}; }
};

// The host: the main window on free ports with the given set.ini and
// holding folder, its ports on the standard output, until it is killed.
int runHost(int argc, char* argv[])
{
    QApplication application(argc, argv);
    PrintingDialogs dialogs;
    app::MainWindowOptions options = test::testWindowOptions(QString::fromLocal8Bit(argv[2]), nullptr);
    options.dialogs = &dialogs;
    options.holdingFolder = QString::fromLocal8Bit(argv[3]);
    options.holdingRetryMs = 100;
    app::MainWindow window(options);
    std::printf("ports %u %u\n", unsigned(window.commandServer()->serverPort()),
                unsigned(window.photoServer()->serverPort()));
    std::fflush(stdout);
    return application.exec();
}

} // namespace

class HoldingTest : public QObject, protected test::WindowUnderTest {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeDialogs m_dialogs;

    QString receiveDirectory() const { return m_dir->filePath(QStringLiteral("recv")) + QLatin1Char('/'); }
    QString awayDirectory() const { return m_dir->filePath(QStringLiteral("recv-away")); }
    QString holdingFolder() const { return m_dir->filePath(QStringLiteral("held")); }
    link::PhoneLink* phoneLink() const { return m_window->findChild<link::PhoneLink*>(); }
    QLabel* line() const { return control<QLabel>(u"标签13"); }
    QString stored(const QString& name) const { return receiveDirectory() + name; }

    void openWindow()
    {
        app::MainWindowOptions options =
            test::testWindowOptions(m_dir->filePath(QStringLiteral("set.ini")), &m_dialogs);
        options.holdingFolder = holdingFolder();
        options.holdingRetryMs = 100;
        m_window = std::make_unique<app::MainWindow>(options);
        control<QLineEdit>(u"目录编辑框1")->setText(receiveDirectory());
    }
    bool connectPhone(Phone& phone)
    {
        return phone.connect(m_window->commandServer()->serverPort(), m_window->photoServer()->serverPort());
    }
    // Sends one photo and waits until the window has shown it as photo
    // `count` (stored or held).
    bool sendPhoto(Phone& phone, const QByteArray& name, const QByteArray& bytes, int count)
    {
        phone.send(name, bytes);
        return QTest::qWaitFor([&] {
            return phoneLink()->lastShownCount() == std::uint64_t(count);
        }, WAIT_MS);
    }
    bool moveAway() { return QDir().rename(receiveDirectory(), awayDirectory()); }
    bool moveBack() { return QDir().rename(awayDirectory(), receiveDirectory()); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(receiveDirectory()));
        m_dialogs = test::FakeDialogs();
        openWindow();
    }
    void cleanup() { m_window.reset(); }

    // Guards against the photos sent while the receive folder was away being
    // lost (4 of 7 stored), against staff not being told (no message, no
    // line), against a held photo shown as stored, and against a second
    // message for the same outage.
    void folderAwayAndBack()
    {
        Phone phone;
        QVERIFY(connectPhone(phone));
        QList<QByteArray> photos;
        for (int i = 1; i <= 7; ++i)
            photos.append(makeJpeg(200 + 10 * i, 150, i));
        for (int i = 1; i <= 3; ++i)
            QVERIFY(sendPhoto(phone, "p" + QByteArray::number(i) + ".jpg", photos[i - 1], i));
        QVERIFY(line()->isHidden());
        QVERIFY(moveAway());
        for (int i = 4; i <= 6; ++i) {
            QVERIFY(sendPhoto(phone, "p" + QByteArray::number(i) + ".jpg", photos[i - 1], i));
            QCOMPARE(shownName(), QStringLiteral("已暂存：p%1.jpg").arg(i));
            QVERIFY(nameInRed());
            QCOMPARE(count(), QString::number(i));
            QTRY_COMPARE_WITH_TIMEOUT(line()->text(), AWAY_LINE.arg(i - 3), WAIT_MS);
            QVERIFY(!line()->isHidden());
        }
        QCOMPARE(recordsIn(holdingFolder()).size(), 3);
        QCOMPARE(m_dialogs.messages.size(), 1);
        QVERIFY2(m_dialogs.messages.first().contains(QDir::toNativeSeparators(receiveDirectory()))
                     && m_dialogs.messages.first().contains(holdingFolder()),
                 qPrintable(m_dialogs.messages.first()));

        QVERIFY(moveBack());
        QTRY_VERIFY_WITH_TIMEOUT(line()->isHidden(), WAIT_MS);
        QCOMPARE(shownName(), QStringLiteral("p6.jpg")); // written now
        QVERIFY(!nameInRed());
        QVERIFY(sendPhoto(phone, "p7.jpg", photos[6], 7));
        for (int i = 1; i <= 7; ++i)
            QCOMPARE(readFile(stored(QStringLiteral("p%1.jpg").arg(i))), photos[i - 1]);
        QCOMPARE(recordsIn(holdingFolder()), QStringList());
        QCOMPARE(m_dialogs.messages.size(), 1);
    }

    // Guards against held photos waiting for a folder that never comes
    // back: staff choose another one with 按钮2 and the photos go there, in
    // their order (the later photo of a name is the one kept); and against
    // 名单核对 passing held photos over while they wait.
    void anotherFolderChosen()
    {
        Phone phone;
        QVERIFY(connectPhone(phone));
        QVERIFY(moveAway());
        const QByteArray first = makeJpeg(120, 90, 1), second = makeJpeg(90, 120, 2), other = makeJpeg(60, 60, 3);
        QVERIFY(sendPhoto(phone, "a.jpg", first, 1));
        QVERIFY(sendPhoto(phone, "a.jpg", second, 2));
        QVERIFY(sendPhoto(phone, "c1\\b.jpg", other, 3));
        QTRY_COMPARE_WITH_TIMEOUT(line()->text(), AWAY_LINE.arg(3), WAIT_MS);

        control<widgets::CrlfTextEdit>(u"编辑框2")->setCrlfText(QStringLiteral("1234\t张三\t110101200001011232\t01"));
        control<QPushButton>(u"按钮7")->click();
        auto* check = m_window->findChild<QWidget*>(QStringLiteral("名单核对"));
        QVERIFY(check);
        auto* held = check->findChild<QLabel*>(QStringLiteral("heldPhotos"));
        QTRY_VERIFY_WITH_TIMEOUT(!held->isHidden() && held->text().contains(QStringLiteral("3 张照片")), WAIT_MS);
        auto* findings = check->findChild<QTreeWidget*>(QStringLiteral("findings"));
        QTRY_VERIFY_WITH_TIMEOUT(
            !findings->findItems(QStringLiteral("已暂存，未写入接收目录"), Qt::MatchExactly, 0).isEmpty(), WAIT_MS);
        QCOMPARE(findings->findItems(QStringLiteral("b.jpg"), Qt::MatchExactly, 1).size(), 1);

        const QString chosen = m_dir->filePath(QStringLiteral("another"));
        QVERIFY(QDir().mkpath(chosen));
        m_dialogs.answers.enqueue(chosen);
        control<QPushButton>(u"按钮2")->click();
        QTRY_VERIFY_WITH_TIMEOUT(line()->isHidden(), WAIT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(held->isHidden(), WAIT_MS);
        QCOMPARE(readFile(chosen + QStringLiteral("/a.jpg")), second);
        QCOMPARE(readFile(chosen + QStringLiteral("/c1/b.jpg")), other);
        QVERIFY(!QFileInfo::exists(awayDirectory() + QStringLiteral("/a.jpg")));
    }

    // Guards against a photo vanishing when the holding folder cannot be
    // written either (the profile's disk full): it is kept in memory, the
    // window says so, closing asks first, and it reaches the disk and then
    // the folder as soon as they take it.
    void holdingFolderFailsToo()
    {
        QVERIFY(QFile(holdingFolder()).open(QIODevice::WriteOnly)); // a file where the folder goes
        Phone phone;
        QVERIFY(connectPhone(phone));
        QVERIFY(moveAway());
        const QByteArray photo = makeJpeg(160, 120, 4);
        QVERIFY(sendPhoto(phone, "m.jpg", photo, 1));
        QCOMPARE(shownName(), QStringLiteral("仅在内存：m.jpg"));
        QTRY_COMPARE_WITH_TIMEOUT(line()->text(), QStringLiteral("暂存失败！1 张照片只在内存中"), WAIT_MS);
        QCOMPARE(m_dialogs.messages.size(), 1);
        QVERIFY(m_dialogs.messages.first().contains(QStringLiteral("只在内存中")));
        QVERIFY(!m_window->close()); // no answer queued: staff keep it open
        QCOMPARE(m_dialogs.questions.size(), 1);

        QVERIFY(QFile::remove(holdingFolder()));
        QTRY_COMPARE_WITH_TIMEOUT(line()->text(), AWAY_LINE.arg(1), WAIT_MS);
        QCOMPARE(recordsIn(holdingFolder()).size(), 1);
        QVERIFY(moveBack());
        QTRY_VERIFY_WITH_TIMEOUT(line()->isHidden(), WAIT_MS);
        QCOMPARE(readFile(stored(QStringLiteral("m.jpg"))), photo);
    }

    void namesFitTheLabel_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("away");
        QTest::addColumn<QString>("prefix");
        // A centred label cut this name at both ends: "存失败：330106201201039325.j".
        QTest::newRow("refused") << QByteArray("..\\330106201201039325.jpg") << false << QStringLiteral("保存失败：");
        QTest::newRow("held") << QByteArray("330106201201039325.jpg") << true << QStringLiteral("已暂存：");
        QTest::newRow("stored") << QByteArray("330106201201039325330106.jpg") << false << QString();
    }
    // Guards against 标签11 clipping its prefix or the name's end: the
    // prefix stays whole, the name is shortened in its middle, the text
    // fits, and the tooltip holds it whole.
    void namesFitTheLabel()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, away);
        QFETCH(QString, prefix);
        Phone phone;
        QVERIFY(connectPhone(phone));
        if (away)
            QVERIFY(moveAway());
        QVERIFY(sendPhoto(phone, name, makeJpeg(40, 40, 5), 1));
        const QString shown = shownName();
        auto* label = control<QLabel>(u"标签11");
        QVERIFY2(shown.startsWith(prefix) && shown.endsWith(QStringLiteral(".jpg"))
                     && shown.contains(QChar(0x2026)), qPrintable(shown));
        QVERIFY(QFontMetrics(label->font()).horizontalAdvance(shown) <= label->contentsRect().width());
        QVERIFY2(label->toolTip().endsWith(QString::fromLatin1(name.mid(name.lastIndexOf('\\') + 1))),
                 qPrintable(label->toolTip()));
    }

    // Guards against photos held by a program that was killed (a crash, a
    // power cut) being lost: started again once the folder is back, it
    // writes them, says so, and goes on with the next photo: 7 of 7.
    void killedWhileAway()
    {
        cleanup(); // this case runs its own window in another process
        QFile settings(m_dir->filePath(QStringLiteral("set.ini")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        // [保存目录] 最后目录=<the receive directory>, GBK; the path is ASCII.
        settings.write("[\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC]\r\n\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC="
                       + receiveDirectory().toLocal8Bit() + "\r\n");
        settings.close();
        QList<QByteArray> photos;
        for (int i = 1; i <= 7; ++i)
            photos.append(makeJpeg(180, 120 + 10 * i, 10 + i));
        const auto allThere = [&](int upTo) {
            for (int i = 1; i <= upTo; ++i) {
                if (readFile(stored(QStringLiteral("p%1.jpg").arg(i))) != photos[i - 1])
                    return false;
            }
            return true;
        };

        QProcess first;
        Phone phone;
        QVERIFY(startHost(first, phone));
        for (int i = 1; i <= 3; ++i) {
            phone.send("p" + QByteArray::number(i) + ".jpg", photos[i - 1]);
            QVERIFY(QTest::qWaitFor([&] { return allThere(i); }, WAIT_MS));
        }
        QVERIFY(moveAway());
        for (int i = 4; i <= 6; ++i) {
            phone.send("p" + QByteArray::number(i) + ".jpg", photos[i - 1]);
            QVERIFY(QTest::qWaitFor([&] { return recordsIn(holdingFolder()).size() == i - 3; }, WAIT_MS));
        }
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(moveBack());

        QProcess again;
        Phone next;
        QVERIFY(startHost(again, next));
        QVERIFY(QTest::qWaitFor([&] { return allThere(6) && recordsIn(holdingFolder()).isEmpty(); }, WAIT_MS));
        QByteArray told;
        QVERIFY(QTest::qWaitFor([&] {
            told += again.readAllStandardOutput();
            return told.contains(QStringLiteral("上次运行时有 3 张照片").toUtf8());
        }, WAIT_MS));
        next.send("p7.jpg", photos[6]);
        QVERIFY(QTest::qWaitFor([&] { return allThere(7); }, WAIT_MS));
        again.kill();
        again.waitForFinished(10000);
    }

private:
    // Starts this program as the window's host and connects `phone` to it.
    bool startHost(QProcess& host, Phone& phone)
    {
        host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        host.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--host"), m_dir->filePath(QStringLiteral("set.ini")), holdingFolder()});
        if (!host.waitForStarted(10000))
            return false;
        QByteArray out;
        while (!out.contains('\n') && host.waitForReadyRead(WAIT_MS))
            out += host.readLine();
        const QList<QByteArray> words = out.trimmed().split(' ');
        return words.size() == 3 && words[0] == "ports" && phone.connect(words[1].toUShort(), words[2].toUShort());
    }
};

int main(int argc, char* argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--host") == 0)
        return runHost(argc, argv);
    QApplication application(argc, argv);
    HoldingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HoldingTest.moc"
