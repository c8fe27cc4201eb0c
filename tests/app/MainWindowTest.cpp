// The main window as the user meets it: every control in its place, the
// receive directory and set.ini, the CR LF edit boxes and the QR zoom.

#include "app/MainWindow.h"
#include "app/QtTranslations.h"
#include "link/TcpServer.h"
#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"
#include "platform/Paths.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestWindow.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

using namespace velmora;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<app::MainWindow> makeWindow(const QString& settingsFile)
    {
        app::MainWindowOptions options = test::testWindowOptions(settingsFile, &m_dialogs);
        return std::make_unique<app::MainWindow>(options);
    }
    QString settingsPath() const { return m_dir.filePath(QStringLiteral("set.ini")); }
    static QByteArray gbk(const char* latin1) { return QByteArray(latin1); }
    QByteArray readSettings() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeSettings(const QByteArray& bytes) const
    {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static void moveOver(QWidget* widget, QPoint at = {2, 2})
    {
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    QTemporaryDir m_dir;
    test::FakeDialogs m_dialogs;

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        m_dialogs = test::FakeDialogs();
    }

    void layout_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("text");
        const QString window;
        auto row = [](const char16_t* name, const char* cls, const char16_t* parent, QRect rect,
                      bool shown, const QString& text) {
            QTest::newRow(QString::fromUtf16(name).toUtf8().constData())
                << QString::fromLatin1(cls) << QString::fromUtf16(parent) << rect << shown << text;
        };
        row(u"按钮6", "QPushButton", u"", {476, 413, 168, 28}, true, QStringLiteral("打开照片所在目录"));
        row(u"图片框2", "velmora::widgets::PictureBox", u"", {328, 132, 16, 16}, false, {});
        row(u"标签8", "QLabel", u"", {296, 124, 24, 32}, false, {});
        row(u"标签11", "QLabel", u"", {476, 382, 168, 24}, true, {});
        row(u"标签12", "QLabel", u"", {476, 340, 168, 40}, false, {});
        row(u"标签10", "QLabel", u"", {498, 132, 120, 24}, true, QStringLiteral("收到的照片"));
        row(u"图片框3", "velmora::widgets::PictureBox", u"", {476, 156, 168, 224}, true, {});
        row(u"按钮5", "QPushButton", u"", {476, 97, 168, 28}, true, QStringLiteral("下载手机端..."));
        row(u"标签9", "QLabel", u"", {476, 10, 168, 85}, true, {});
        row(u"按钮4", "QPushButton", u"分组框2", {114, 166, 80, 28}, false, QStringLiteral("导入名册"));
        row(u"按钮3", "QPushButton", u"分组框2", {11, 166, 80, 28}, true, QStringLiteral("导出模板"));
        row(u"标签7", "QLabel", u"", {368, 5, 96, 24}, true, QStringLiteral("手机端扫码连接"));
        row(u"图片框1", "velmora::widgets::PictureBox", u"", {368, 28, 96, 96}, true, {});
        row(u"标签6", "QLabel", u"分组框2", {12, 43, 429, 16}, true,
            QStringLiteral("  学校标识码  ｜  姓名  ｜         身份证号        ｜  班级编号"));
        row(u"标签5", "QLabel", u"分组框2", {8, 19, 392, 24}, true,
            QStringLiteral("在Excel表格里按下面格式复制名册(不复制表头)到下表内(右键粘贴)"));
        row(u"编辑框2", "velmora::widgets::CrlfTextEdit", u"分组框2", {12, 59, 429, 104}, true, {});
        row(u"按钮1", "QPushButton", u"分组框2", {321, 166, 120, 28}, true, QStringLiteral("传名册到手机"));
        row(u"标签14", "QLabel", u"分组框2", {96, 166, 222, 28}, true, {});
        row(u"分组框2", "QGroupBox", u"", {15, 131, 449, 208}, true, QStringLiteral("发送名册到手机端"));
        row(u"按钮2", "QPushButton", u"分组框1", {321, 58, 119, 28}, true, QStringLiteral("选择目录..."));
        row(u"按钮7", "QPushButton", u"分组框1", {321, 19, 119, 28}, true, QStringLiteral("名单核对…"));
        row(u"目录编辑框1", "QLineEdit", u"分组框1", {78, 60, 243, 26}, true, {});
        row(u"标签4", "QLabel", u"分组框1", {128, 21, 96, 24}, true, QStringLiteral("0"));
        row(u"标签13", "QLabel", u"分组框1", {226, 19, 93, 30}, false, {});
        row(u"标签3", "QLabel", u"分组框1", {16, 21, 104, 24}, true, QStringLiteral("收到文件个数:"));
        row(u"标签2", "QLabel", u"分组框1", {16, 56, 64, 32}, true, QStringLiteral("接收目录"));
        row(u"分组框1", "QGroupBox", u"", {15, 347, 449, 96}, true, QStringLiteral("从手机端接收照片"));
        row(u"编辑框1", "velmora::widgets::CrlfTextEdit", u"", {15, 28, 345, 96}, true, {});
        row(u"标签1", "QLabel", u"", {16, 11, 80, 17}, true, QStringLiteral("操作提示："));
    }

    void layout()
    {
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(bool, shown);
        QFETCH(QString, text);
        auto window = makeWindow(settingsPath());
        const QString name = QString::fromUtf8(QTest::currentDataTag());
        QWidget* control = window->findChild<QWidget*>(name);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
        QWidget* parent = control->parentWidget();
        QCOMPARE(parent == window.get() ? QString() : parent->objectName(), parentName);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(!control->isHidden(), shown);
        QCOMPARE(control->isEnabled(), true);
        if (auto* button = qobject_cast<QPushButton*>(control))
            QCOMPARE(button->text(), text);
        if (auto* label = qobject_cast<QLabel*>(control); label && !text.isEmpty())
            QCOMPARE(label->text(), text);
        if (auto* group = qobject_cast<QGroupBox*>(control))
            QCOMPARE(group->title(), text);
    }

    void qtTextsInChinese_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("ok");
        QTest::newRow("zh_CN") << QLocale(QLocale::Chinese, QLocale::China) << QStringLiteral("确定");
        // The program asks in Chinese whatever the system's language.
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << QStringLiteral("确定");
        QTest::newRow("zh_TW") << QLocale(QLocale::Chinese, QLocale::Taiwan) << QStringLiteral("確定");
    }

    // Guards against Qt's own English ("OK") in the message boxes staff
    // read: the window's real message box for an empty roster, with the
    // translations loaded for the row's locale as the program loads them.
    void qtTextsInChinese()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, ok);
        std::unique_ptr<QTranslator> translator(app::installQtTranslations(*qApp, locale));
        QVERIFY2(translator, "qtbase's Chinese translation is not installed (qt6-translations-l10n)");
        app::MainWindowOptions options = test::testWindowOptions(settingsPath(), nullptr);
        app::MainWindow window(options);
        QStringList buttons;
        QString text;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            text = box->text();
            for (QAbstractButton* button : box->buttons())
                buttons << button->text();
            box->accept();
        });
        window.findChild<QPushButton*>(QStringLiteral("按钮1"))->click(); // returns when the box has closed
        QCOMPARE(text, QStringLiteral("请复制电子表格的学生名册到名册框里！"));
        QCOMPARE(buttons, QStringList{ok});
    }

    void windowFrameAndFonts()
    {
        auto window = makeWindow(settingsPath());
        QCOMPARE(window->windowTitle(), QStringLiteral("Velmora-PC端10.1"));
        // The icon the taskbar shows comes from the program's resources.
        QCOMPARE(window->windowIcon().pixmap(32).size(), QSize(32, 32));
        QCOMPARE(window->minimumSize(), QSize(653, 441));
        QCOMPARE(window->maximumSize(), QSize(653, 441));
        QCOMPARE(window->findChild<QPushButton*>(QStringLiteral("按钮5"))->font().pixelSize(), 14);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("标签9"))->font().pixelSize(), 14);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("标签1"))->font().pixelSize(), 12);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("标签14"))->font().pixelSize(), 11);
        // The help text is the whole sentence, not cut by the label's markup.
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("标签9"))->text().contains(
            QStringLiteral("如果您没有安装手机端，请下载手机端APP。")));
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("目录编辑框1"))->isReadOnly(), true);
    }

    void stackingOrder()
    {
        // Later children are drawn above earlier ones; the zoom must cover
        // everything but 按钮6, and its picture must lie above its frame.
        auto window = makeWindow(settingsPath());
        const QStringList topmostFirst = {
            QStringLiteral("按钮6"), QStringLiteral("图片框2"), QStringLiteral("标签8"),
            QStringLiteral("标签11"), QStringLiteral("标签10"), QStringLiteral("图片框3"),
            QStringLiteral("按钮5"), QStringLiteral("标签9"), QStringLiteral("标签7"),
            QStringLiteral("图片框1"), QStringLiteral("分组框2"), QStringLiteral("分组框1"),
            QStringLiteral("编辑框1"), QStringLiteral("标签1")};
        QStringList drawnOrder;
        for (QObject* child : window->children()) {
            if (child->isWidgetType() && topmostFirst.contains(child->objectName()))
                drawnOrder.prepend(child->objectName());
        }
        QCOMPARE(drawnOrder, topmostFirst);
    }

    void editBoxesSpeakCrLf()
    {
        auto window = makeWindow(settingsPath());
        auto* roster = window->findChild<widgets::CrlfTextEdit*>(QStringLiteral("编辑框2"));
        QSignalSpy edited(roster, &widgets::CrlfTextEdit::userEdited);
        roster->setCrlfText(QStringLiteral("a\tb\r\nc\r\n"));
        QCOMPARE(roster->toPlainText(), QStringLiteral("a\tb\nc\n"));
        QCOMPARE(roster->crlfText(), QStringLiteral("a\tb\r\nc\r\n"));
        roster->appendCrlfText(QStringLiteral("d\r\n"));
        QCOMPARE(roster->crlfText(), QStringLiteral("a\tb\r\nc\r\nd\r\n"));
        QCOMPARE(edited.count(), 0); // the program's own writes
        roster->setFocus();
        roster->moveCursor(QTextCursor::End);
        QTest::keyClicks(roster, QStringLiteral("x"));
        QTest::keyClick(roster, Qt::Key_Return);
        QCOMPARE(edited.count(), 2); // the user's typing
        QCOMPARE(roster->crlfText(), QStringLiteral("a\tb\r\nc\r\nd\r\nx\r\n"));
    }

    void receiveDirectoryAtStart_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        const QString fallback = platform::defaultReceiveDirectory();
        QTest::newRow("noFile") << QByteArray() << fallback;
        QTest::newRow("noKey") << gbk("[\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC]\r\nx=1\r\n") << fallback;
        QTest::newRow("withSeparator")
            << gbk("[\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC]\r\n\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC=/srv/photos/\r\n")
            << QStringLiteral("/srv/photos/");
        QTest::newRow("separatorAppended")
            << gbk("[\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC]\r\n\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC=/srv/photos\r\n")
            << QStringLiteral("/srv/photos/");
        // An empty value sets the empty box to the empty text, which fires
        // no change: the separator must be there all the same, or every
        // photo's path is its bare name.
        QTest::newRow("emptyValue")
            << gbk("[\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC]\r\n\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC=\r\n")
            << QStringLiteral("/");
        QTest::newRow("gbkPath")
            << gbk("[\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC]\r\n\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC=/srv/\xD5\xC5\r\n")
            << QStringLiteral("/srv/张/");
    }

    void receiveDirectoryAtStart()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        if (!file.isEmpty())
            writeSettings(file);
        {
            auto window = makeWindow(settingsPath());
            QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("目录编辑框1"))->text(), shown);
            window->close();
        }
        // Starting and closing write nothing.
        QCOMPARE(readSettings(), file);
        QCOMPARE(QFile::exists(settingsPath()), !file.isEmpty());
        QVERIFY(m_dialogs.messages.isEmpty());
    }

    void choosingADirectory_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("after");
        const QByteArray header = gbk("[\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC]\r\n");
        const QByteArray key = gbk("\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC=");
        QTest::newRow("newFile") << QByteArray() << QStringLiteral("/data/photos")
            << QStringLiteral("/data/photos/") << header + key + "/data/photos/\r\n";
        QTest::newRow("root") << QByteArray() << QStringLiteral("/")
            << QStringLiteral("/") << header + key + "/\r\n";
        QTest::newRow("chinese") << QByteArray() << QStringLiteral("/data/张")
            << QStringLiteral("/data/张/") << header + key + "/data/\xD5\xC5/\r\n";
        QTest::newRow("otherContentSurvives")
            << QByteArray("; kept\r\n[a]\r\nb=c\r\n") + header + key + "/old/\r\nz=9\r\n"
            << QStringLiteral("/new") << QStringLiteral("/new/")
            << QByteArray("; kept\r\n[a]\r\nb=c\r\n") + header + key + "/new/\r\nz=9\r\n";
        // GBK has no "😀": storing it as "?" would send the next run's photos
        // to a folder that does not exist, so the old value stays.
        QTest::newRow("notInGbk") << header + key + "/old/\r\n" << QStringLiteral("/data/😀")
            << QStringLiteral("/data/😀/") << header + key + "/old/\r\n";
        QTest::newRow("cancel") << header + key + "/old/\r\n" << QString()
            << QStringLiteral("/old/") << header + key + "/old/\r\n";
        QTest::newRow("cancelCreatesNothing") << QByteArray() << QString()
            << platform::defaultReceiveDirectory() << QByteArray();
    }

    void choosingADirectory()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, chosen);
        QFETCH(QString, shown);
        QFETCH(QByteArray, after);
        if (!before.isEmpty())
            writeSettings(before);
        auto window = makeWindow(settingsPath());
        auto* box = window->findChild<QLineEdit*>(QStringLiteral("目录编辑框1"));
        const QString start = box->text();
        m_dialogs.answers.enqueue(chosen);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮2")), Qt::LeftButton);
        QCOMPARE(m_dialogs.questions,
                 QStringList{QStringLiteral("folder 请选择照片要存放的文件夹 ") + start});
        QCOMPARE(box->text(), shown);
        QCOMPARE(readSettings(), after);
        QCOMPARE(QFile::exists(settingsPath()), !after.isEmpty());
    }

    void emptyDirectoryTextBecomesSeparator()
    {
        auto window = makeWindow(settingsPath());
        auto* box = window->findChild<QLineEdit*>(QStringLiteral("目录编辑框1"));
        box->setText(QString());
        QCOMPARE(box->text(), QStringLiteral("/"));
    }

    void takenPortIsNotFatal()
    {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::AnyIPv4, 0));
        app::MainWindowOptions options;
        options.commandPort = other.serverPort();
        options.photoPort = 0;
        options.settingsFile = settingsPath();
        options.dialogs = &m_dialogs;
        options.startPanel = false;
        app::MainWindow window(options);
        QCOMPARE(window.commandServer()->serverPort(), quint16(0));
        QVERIFY(window.photoServer()->serverPort() != 0);
        QVERIFY(m_dialogs.messages.isEmpty());
    }

    void qrZoom()
    {
        auto window = makeWindow(settingsPath());
        auto* small = window->findChild<widgets::PictureBox*>(QStringLiteral("图片框1"));
        auto* zoomed = window->findChild<widgets::PictureBox*>(QStringLiteral("图片框2"));
        auto* frame = window->findChild<QLabel*>(QStringLiteral("标签8"));
        const QByteArray picture = "BM-not-really-a-picture";
        small->setPicture(picture);

        moveOver(window.get(), {5, 460 - 30}); // background while closed: nothing
        QVERIFY(zoomed->isHidden());

        moveOver(small);
        QVERIFY(!zoomed->isHidden() && !frame->isHidden());
        QCOMPARE(frame->geometry(), QRect(159, 65, 350, 350));
        QCOMPARE(zoomed->geometry(), QRect(184, 90, 300, 300));
        QCOMPARE(zoomed->picture(), picture);

        // While open, a new small picture is not copied again on more moves.
        small->setPicture("changed");
        moveOver(small);
        moveOver(zoomed);
        moveOver(frame);
        moveOver(window->findChild<QLabel*>(QStringLiteral("标签7")));
        moveOver(window->findChild<QWidget*>(QStringLiteral("分组框1")));
        QVERIFY(!zoomed->isHidden());
        QCOMPARE(zoomed->picture(), picture);

        moveOver(window.get(), {5, 5}); // the window's bare background
        QVERIFY(zoomed->isHidden() && frame->isHidden());
        QCOMPARE(zoomed->geometry(), QRect(184, 0, 2, 2));
        QCOMPARE(frame->geometry(), QRect(159, 65, 350, 350));

        moveOver(small);
        QCOMPARE(zoomed->geometry(), QRect(184, 90, 300, 300));
        QCOMPARE(zoomed->picture(), QByteArray("changed"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
