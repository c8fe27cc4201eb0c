// The connection-information panel: the address lines, the instructions and
// the address's QR code, filled on the worker and landing in order.

#include "QrDecode.h"
#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"
#include "qr/ConnectionPanel.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace velmora;

namespace {

const QString INSTRUCTIONS = QStringLiteral(
    "\r\n操作方法:\r\n1.手机WIFI连接上与本电脑在同一局域网路由器\r\n"
    "2.将本机IP填写到手机端软件的地址框,并点击'连接'按钮");

std::string decoded(const QByteArray& picture)
{
    const auto result = qr::test::decodeBmp(std::vector<std::uint8_t>(picture.begin(), picture.end()));
    return result.ok ? result.bytes : std::string("<no code>");
}

// The two controls the panel writes, under the names the main window gives them.
struct PanelWindow {
    QWidget window;
    widgets::CrlfTextEdit* text = new widgets::CrlfTextEdit(&window);
    widgets::PictureBox* picture = new widgets::PictureBox(&window);
    PanelWindow()
    {
        text->setObjectName(QStringLiteral("编辑框1"));
        picture->setObjectName(QStringLiteral("图片框1"));
    }
};

} // namespace

class ConnectionPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fill_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("expectedText");
        QTest::newRow("none") << QStringList() << INSTRUCTIONS;
        QTest::newRow("one") << QStringList{QStringLiteral("192.168.1.5")}
                             << QStringLiteral("本机IP：192.168.1.5\r\n") + INSTRUCTIONS;
        QTest::newRow("two") << QStringList{QStringLiteral("192.168.1.5"), QStringLiteral("10.0.0.7")}
                             << QStringLiteral("本机IP：192.168.1.5\r\n本机IP：10.0.0.7\r\n") + INSTRUCTIONS;
    }

    // Guards against wrong or reordered lines, a missing empty line before the
    // instructions, the picture of the first address left showing, updates
    // landing out of order (the text and picture are snapshotted at each
    // text change), and a picture set when there is no address.
    void fill()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QString, expectedText);
        PanelWindow w;
        QStringList textSteps;
        QList<QByteArray> pictureAtStep;
        connect(w.text, &QPlainTextEdit::textChanged, this, [&] {
            textSteps << w.text->crlfText();
            pictureAtStep << w.picture->picture();
        });

        qr::ConnectionPanel panel(&w.window, [addresses] {
            std::vector<std::string> list;
            for (const QString& a : addresses)
                list.push_back(a.toStdString());
            return list;
        });
        QSignalSpy filled(&panel, &qr::ConnectionPanel::filled);
        panel.start();
        QVERIFY(filled.wait(10000));

        QCOMPARE(w.text->crlfText(), expectedText);
        QCOMPARE(textSteps.size(), addresses.size() + 1);
        if (addresses.isEmpty()) {
            QVERIFY(w.picture->picture().isEmpty());
            return;
        }
        // When address n's line lands, address n-1's picture is showing; when
        // the instructions land, the last address's picture is.
        QVERIFY(pictureAtStep.first().isEmpty());
        for (qsizetype i = 1; i < addresses.size(); ++i)
            QCOMPARE(decoded(pictureAtStep[i]), addresses[i - 1].toStdString());
        QCOMPARE(decoded(pictureAtStep.last()), addresses.last().toStdString());
        QCOMPARE(decoded(w.picture->picture()), addresses.last().toStdString());
        // The box could decode the bytes, so the window shows the code.
        QVERIFY(!w.picture->image().isNull());
        QCOMPARE(w.picture->image().width(), w.picture->image().height());
    }

    // Guards against use of a destroyed panel and against updates that
    // outlive it: the panel goes while its worker still makes pictures, and
    // nothing it queued may reach the window afterwards.
    void destroyedWhileFilling()
    {
        PanelWindow w;
        auto panel = std::make_unique<qr::ConnectionPanel>(&w.window, [] {
            return std::vector<std::string>(20, "192.168.1.5");
        });
        panel->start();
        panel->start(); // a second start is ignored, not a second worker
        panel.reset();
        QCoreApplication::processEvents();
        QCOMPARE(w.text->crlfText(), QString());
        QVERIFY(w.picture->picture().isEmpty());
    }
};

QTEST_MAIN(ConnectionPanelTest)
#include "ConnectionPanelTest.moc"
