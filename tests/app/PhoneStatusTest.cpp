// 标签14 and the question before a roster goes to another device, in the
// real main window with loopback sockets playing the phones: addresses of
// 127.0.0.0/8 other than 127.0.0.1 play other devices on the LAN.

#include "app/MainWindow.h"
#include "link/TcpServer.h"
#include "widgets/CrlfTextEdit.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QtTest>

#include <memory>

using namespace velmora;

class PhoneStatusTest : public QObject, protected test::WindowUnderTest {
    Q_OBJECT

private:
    struct Phone {
        std::unique_ptr<QTcpSocket> command;
        QString client; // the connection's client address on the PC
    };

    QTemporaryDir m_dir;
    test::FakeDialogs m_dialogs;

    // A command connection from the device at `from`.
    Phone connectPhone(const QString& from = QStringLiteral("127.0.0.1"))
    {
        Phone phone;
        QSignalSpy connected(m_window->commandServer(), &link::TcpServer::clientConnected);
        phone.command = std::make_unique<QTcpSocket>();
        if (!phone.command->bind(QHostAddress(from)))
            return {};
        phone.command->connectToHost(QHostAddress::LocalHost, m_window->commandServer()->serverPort());
        if (!phone.command->waitForConnected(5000) || !connected.wait(5000))
            return {};
        phone.client = connected.first().first().toString();
        return phone;
    }

private Q_SLOTS:
    void init()
    {
        m_dialogs = test::FakeDialogs();
        m_window = std::make_unique<app::MainWindow>(
            test::testWindowOptions(m_dir.filePath(QStringLiteral("set.ini")), &m_dialogs));
    }
    void cleanup() { m_window.reset(); }

    // 标签14 as staff read it, and the question before a roster goes to a
    // device other than last time's. Guards against a roster of ID-card
    // numbers sent to whatever device connected last without a word, a
    // status that stays "connected" after the phone left, and a roster lost
    // while a question was open shown as sent.
    void phoneStatusAndASecondDevice()
    {
        auto* send = control<QPushButton>(u"按钮1");
        const auto status = [this] {
            return QTextDocumentFragment::fromHtml(control<QLabel>(u"标签14")->text()).toPlainText();
        };
        const auto received = [](Phone& phone, const QByteArray& expected) {
            QByteArray bytes;
            while (bytes.size() < expected.size() && phone.command->waitForReadyRead(5000))
                bytes += phone.command->readAll();
            return bytes == expected;
        };
        QCOMPARE(status(), QStringLiteral("手机未连接"));
        Phone first = connectPhone();
        QVERIFY(first.command);
        QCOMPARE(status(), QStringLiteral("手机已连接：127.0.0.1"));
        control<widgets::CrlfTextEdit>(u"编辑框2")->setCrlfText(
            QStringLiteral("1234\t李四\t\t01\r\n\r\n1234\t王五\t\t02\r\n"));
        send->click();
        QVERIFY(received(first, "STAT||1234\t\xC0\xEE\xCB\xC4\t\t01\r\n\r\n1234\t\xCD\xF5\xCE\xE5\t\t02\r\n||END"));
        QCOMPARE(status(), QStringLiteral("手机已连接：127.0.0.1\n名册已发送到 127.0.0.1（2 行）"));

        Phone other = connectPhone(QStringLiteral("127.0.0.2"));
        QVERIFY2(other.command, "127.0.0.2 is not a loopback address here");
        QCOMPARE(status(), QStringLiteral("手机已连接：127.0.0.2\n名册已发送到 127.0.0.1（2 行）"));
        m_dialogs.answers.enqueue(QStringLiteral("不发送"));
        send->click();
        QCOMPARE(m_dialogs.questions.size(), 1);
        QVERIFY2(m_dialogs.questions.first().contains(QStringLiteral("上次名册发送到了 127.0.0.1，之后 127.0.0.2 连接了本机")),
                 qPrintable(m_dialogs.questions.first()));
        QVERIFY(!other.command->waitForReadyRead(200));

        // The device leaves while the question is open: the roster is lost,
        // and the user is told so.
        m_dialogs.answers.enqueue(QStringLiteral("发送到 127.0.0.2"));
        m_dialogs.whileAsking = [&] {
            other.command->disconnectFromHost();
            QVERIFY(QTest::qWaitFor([&] { return !m_window->commandServer()->isConnected(other.client); }, 5000));
        };
        send->click();
        m_dialogs.whileAsking = nullptr;
        QCOMPARE(m_dialogs.messages, QStringList{QStringLiteral("手机未连接！")});
        QTRY_COMPARE(status(), QStringLiteral("手机未连接\n名册已发送到 127.0.0.1（2 行）"));

        Phone third = connectPhone(QStringLiteral("127.0.0.2"));
        QVERIFY(third.command);
        m_dialogs.answers.enqueue(QStringLiteral("发送到 127.0.0.2"));
        send->click();
        QVERIFY(received(third, "STAT||1234\t\xC0\xEE\xCB\xC4\t\t01\r\n\r\n1234\t\xCD\xF5\xCE\xE5\t\t02\r\n||END"));
        QCOMPARE(status(), QStringLiteral("手机已连接：127.0.0.2\n名册已发送到 127.0.0.2（2 行）"));
        QCOMPARE(m_dialogs.questions.size(), 3);
        // Sent there once, it goes there again without a question.
        send->click();
        QCOMPARE(m_dialogs.questions.size(), 3);
        QVERIFY(received(third, "STAT||1234\t\xC0\xEE\xCB\xC4\t\t01\r\n\r\n1234\t\xCD\xF5\xCE\xE5\t\t02\r\n||END"));
        QVERIFY(!first.command->waitForReadyRead(100));
    }
};

QTEST_MAIN(PhoneStatusTest)
#include "PhoneStatusTest.moc"
