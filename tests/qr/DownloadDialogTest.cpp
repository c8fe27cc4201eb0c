// The download dialog: its controls, one lookup per opening against a local
// server, the body's QR code, and every failure ending in the empty text's
// code without a message or a hang.

#include "LookupServer.h"
#include "QrDecode.h"
#include "app/MainWindow.h"
#include "widgets/PictureBox.h"
#include "link/TcpServer.h"
#include "qr/DownloadDialog.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestWindow.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTextDocumentFragment>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace velmora;
using Answer = qr::test::LookupServer::Answer;

namespace {

const QByteArray LOOKUP_REQUEST_LINE = "GET /tessaro/huoquxzdz.asp?caozuo=xiazhai&rjming=Velmora HTTP/1.1";

QByteArray shownPicture(const QDialog& dialog)
{
    auto* box = dialog.findChild<widgets::PictureBox*>(QStringLiteral("图片框1"));
    return box ? box->picture() : QByteArray("<no 图片框1>");
}

// The text over the picture box, "" while it is hidden.
QString stateShown(const QDialog& dialog)
{
    auto* state = dialog.findChild<QLabel*>(QStringLiteral("标签2"));
    return !state ? QStringLiteral("<no 标签2>") : state->isHidden() ? QString() : state->text();
}

QByteArray decoded(const QByteArray& picture)
{
    const auto result = qr::test::decodeBmp(std::vector<std::uint8_t>(picture.begin(), picture.end()));
    return result.ok ? QByteArray::fromStdString(result.bytes) : QByteArray("<no code>");
}

// Opens the dialog as the main window does (exec) and closes it once the
// picture is in; returns false if it never came.
bool execUntilFetched(qr::DownloadDialog& dialog)
{
    bool fetched = false;
    QObject::connect(&dialog, &qr::DownloadDialog::fetched, &dialog, [&] {
        fetched = true;
        dialog.accept();
    });
    QTimer::singleShot(30000, &dialog, &QDialog::reject); // a hang fails the test, not the run
    dialog.exec();
    return fetched;
}

} // namespace

class DownloadDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Guards against controls misplaced, misnamed or drawn in the wrong
    // colour or font, and a dialog the user can resize.
    void layout()
    {
        qr::DownloadDialog dialog(QStringLiteral("http://127.0.0.1:1/"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("下载手机端"));
        QCOMPARE(dialog.size(), QSize(407, 441));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        auto* picture = dialog.findChild<widgets::PictureBox*>(QStringLiteral("图片框1"));
        auto* caption = dialog.findChild<QLabel*>(QStringLiteral("标签1"));
        QVERIFY(picture && caption);
        QCOMPARE(picture->geometry(), QRect(17, 53, 383, 383));
        QCOMPARE(caption->geometry(), QRect(16, 8, 384, 32));
        QCOMPARE(QTextDocumentFragment::fromHtml(caption->text()).toPlainText(),
                 QStringLiteral("请在手机端扫描下方的二维码下载《Velmora》手机端APP。"));
        QVERIFY(caption->wordWrap());
        QVERIFY(caption->heightForWidth(384) <= 32); // both lines fit, none cut off
        QCOMPARE(caption->font().pixelSize(), 16);
        QCOMPARE(caption->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(!caption->alignment().testFlag(Qt::AlignRight));
        QCOMPARE(picture->grab().toImage().pixelColor(5, 5), QColor(96, 96, 96));
        QVERIFY(dialog.children().indexOf(picture) > dialog.children().indexOf(caption)); // drawn on top
        // The lookup's state is written over the box, not beside it.
        auto* state = dialog.findChild<QLabel*>(QStringLiteral("标签2"));
        QVERIFY(state);
        QCOMPARE(state->geometry(), picture->geometry());
        QVERIFY(dialog.children().indexOf(state) > dialog.children().indexOf(picture));
    }

    void lookup_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("expectedPayload"); // "" = no code
        QTest::addColumn<QString>("failure");            // the reason shown instead, "" with a code
        QTest::newRow("ascii") << 200 << QByteArray("http://dl.example/velmora.apk") << int(Answer::Whole)
                               << QByteArray("http://dl.example/velmora.apk") << QString();
        QTest::newRow("crlf_kept") << 200 << QByteArray("http://dl.example/v.apk\r\n") << int(Answer::Whole)
                                   << QByteArray("http://dl.example/v.apk\r\n") << QString();
        QTest::newRow("error_status") << 404 << QByteArray("<html>Not Found</html>") << int(Answer::Whole)
                                      << QByteArray() << QStringLiteral("下载服务器回答：404 X");
        QTest::newRow("server_error") << 500 << QByteArray("oops") << int(Answer::Whole) << QByteArray()
                                      << QStringLiteral("下载服务器回答：500 X");
        QTest::newRow("empty_body") << 200 << QByteArray() << int(Answer::Whole) << QByteArray()
                                    << QStringLiteral("下载服务器的回答是空的，没有下载地址");
        QTest::newRow("silent_server") << 200 << QByteArray() << int(Answer::Silent) << QByteArray()
                                       << QStringLiteral("下载服务器 1 秒内没有回答");
        // Digits, so 2400 of them fit a level-H symbol; only those are used.
        const QByteArray digits = QByteArray("0123456789").repeated(300);
        QTest::newRow("endless_body") << 200 << digits << int(Answer::Endless) << digits.left(2400) << QString();
    }

    // Guards against a wrong path or query, more than one request per
    // opening, the body altered (trimmed line break), an error page or a
    // half-read body shown as the address, a silent server hanging the
    // dialog (limit shortened here), a failure shown as a code of nothing
    // or without its reason, and a message box on failure.
    void lookup()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, answer);
        QFETCH(QByteArray, expectedPayload);
        QFETCH(QString, failure);
        qr::test::LookupServer server;
        server.answerWith(status, body, static_cast<Answer>(answer));
        qr::DownloadDialog dialog(server.lookupUrl());
        dialog.setTimeLimit(answer == int(Answer::Silent) ? 500 : 20000);
        QString waiting;
        connect(&server, &qr::test::LookupServer::requested, this, [&] { waiting = stateShown(dialog); });
        QVERIFY(execUntilFetched(dialog));

        QCOMPARE(server.requestLines, QList<QByteArray>{LOOKUP_REQUEST_LINE});
        QCOMPARE(waiting, QStringLiteral("正在获取下载地址…"));
        if (expectedPayload.isEmpty()) {
            QCOMPARE(shownPicture(dialog), QByteArray());
            QCOMPARE(stateShown(dialog), QStringLiteral("未能取得下载地址\n\n") + failure);
        } else {
            QCOMPARE(decoded(shownPicture(dialog)), expectedPayload);
            QCOMPARE(stateShown(dialog), QString());
        }
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!qApp->findChild<QMessageBox*>());
    }

    // Guards against a dialog that needs the network to open, or that
    // shows a code of nothing for it: nothing listens on the port.
    void noServer()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        qr::DownloadDialog dialog(
            QStringLiteral("http://127.0.0.1:%1/tessaro/huoquxzdz.asp?caozuo=xiazhai&rjming=Velmora").arg(port));
        QVERIFY(execUntilFetched(dialog));
        QCOMPARE(shownPicture(dialog), QByteArray());
        QCOMPARE(stateShown(dialog), QStringLiteral("未能取得下载地址\n\n下载服务器 127.0.0.1 拒绝连接"));
    }

    // Guards against a program built without a download host asking the
    // network about the placeholder and then saying only that the host is
    // not found: no request, and the reason names what IT staff must do.
    void placeholderHost()
    {
        qr::DownloadDialog dialog(QStringLiteral(
            "http://download.velmora.example/tessaro/huoquxzdz.asp?caozuo=xiazhai&rjming=Velmora"));
        QVERIFY(execUntilFetched(dialog));
        QCOMPARE(shownPicture(dialog), QByteArray());
        QCOMPARE(stateShown(dialog), QStringLiteral("未能取得下载地址\n\n下载服务器还没有设置：download.velmora.example "
                                                    "只是占位的地址，请信息科老师设置学校的下载服务器"));
    }

    // Guards against a dialog that, once closed during a slow lookup, keeps
    // the program waiting out the whole time limit.
    void closedWhileWaiting()
    {
        qr::test::LookupServer server;
        server.answerWith(200, {}, Answer::Silent);
        qr::DownloadDialog dialog(server.lookupUrl());
        dialog.setTimeLimit(600000);
        QSignalSpy requested(&server, &qr::test::LookupServer::requested);
        QSignalSpy fetched(&dialog, &qr::DownloadDialog::fetched);
        connect(&server, &qr::test::LookupServer::requested, &dialog, &QDialog::reject);
        dialog.show();
        QVERIFY(fetched.wait(20000));
        QCOMPARE(requested.size(), 1);
        QVERIFY(!dialog.isVisible());
    }

    // Guards against the lookup being made once per program run instead of
    // once per opening, and against the main window's phone servers
    // stalling while the dialog waits: 按钮5 opens it twice, and a phone
    // connects to the command port during the first lookup.
    void twoOpeningsFromTheMainWindow()
    {
        qr::test::LookupServer server;
        server.answerWith(200, "http://dl.example/first.apk", Answer::Silent);
        QTemporaryDir dir;
        test::FakeDialogs dialogs;
        app::MainWindowOptions options = test::testWindowOptions(dir.filePath(QStringLiteral("set.ini")), &dialogs);
        options.downloadLookupUrl = server.lookupUrl();
        app::MainWindow window(options);
        auto* button = window.findChild<QPushButton*>(QStringLiteral("按钮5"));
        QVERIFY(button);

        QList<QByteArray> shown;
        bool connectedWhileOpen = false;
        QTcpSocket phone;
        connect(window.commandServer(), &link::TcpServer::clientConnected, this, [&] {
            connectedWhileOpen = QApplication::activeModalWidget() != nullptr;
        });
        connect(&server, &qr::test::LookupServer::requested, this, [&] {
            if (server.requestLines.size() == 1) {
                phone.connectToHost(QHostAddress::LocalHost, window.commandServer()->serverPort());
                server.answerWith(200, "http://dl.example/second.apk");
            }
        });
        auto closeWhenFetched = [&] {
            auto* dialog = qobject_cast<qr::DownloadDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setTimeLimit(3000); // the first, silent lookup ends at the limit
            connect(dialog, &qr::DownloadDialog::fetched, dialog, [&shown, dialog] {
                shown << shownPicture(*dialog);
                dialog->accept();
            });
        };
        for (int opening = 0; opening < 2; ++opening) {
            QTimer::singleShot(0, this, closeWhenFetched);
            button->click(); // returns when the dialog has closed
        }
        QCOMPARE(server.requestLines, (QList<QByteArray>{LOOKUP_REQUEST_LINE, LOOKUP_REQUEST_LINE}));
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0], QByteArray());
        QCOMPARE(decoded(shown[1]), QByteArray("http://dl.example/second.apk"));
        QVERIFY(connectedWhileOpen);
        QVERIFY(dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(DownloadDialogTest)
#include "DownloadDialogTest.moc"
