// 名单核对 as staff meet it: opened from the main window, the counts and the
// missing students by class, kept current as photos arrive, copied and
// saved; an empty roster box answered with a message.

#include "app/MainWindow.h"
#include "link/PhoneLink.h"
#include "link/TcpServer.h"
#include "platform/Files.h"
#include "registry/CheckWindow.h"
#include "registry/export/ExportDialog.h"
#include "roster/XlsReader.h"
#include "widgets/CrlfTextEdit.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TestWindow.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace velmora;

class CheckWindowTest : public QObject {
    Q_OBJECT

private:
    void addPhoto(const QString& relative)
    {
        const QString path = m_dir.filePath(QStringLiteral("photos/") + relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xFF\xD8photo\xFF\xD9");
    }
    std::unique_ptr<app::MainWindow> makeWindow(const QString& roster)
    {
        auto window = std::make_unique<app::MainWindow>(
            test::testWindowOptions(m_dir.filePath(QStringLiteral("set.ini")), &m_dialogs));
        window->findChild<widgets::CrlfTextEdit*>(QStringLiteral("编辑框2"))->setCrlfText(roster);
        window->findChild<QLineEdit*>(QStringLiteral("目录编辑框1"))
            ->setText(m_dir.filePath(QStringLiteral("photos")) + QLatin1Char('/'));
        return window;
    }
    // Clicks 名单核对… and waits for the window's first read.
    registry::CheckWindow* openCheck(app::MainWindow& window)
    {
        window.findChild<QPushButton*>(QStringLiteral("按钮7"))->click();
        auto* check = window.findChild<registry::CheckWindow*>(QStringLiteral("名单核对"));
        if (check && !check->pairing()) {
            QSignalSpy done(check, &registry::CheckWindow::refreshed);
            done.wait(10000);
        }
        // And for its photos to be judged, so the lists are whole.
        if (check) {
            QSignalSpy judged(check, &registry::CheckWindow::judged);
            if (!check->reshoot())
                judged.wait(20000);
        }
        return check;
    }
    // The counts line up to its reshoot part, which follows the checks.
    static QString counts(registry::CheckWindow* check)
    {
        return check->findChild<QLabel*>(QStringLiteral("counts"))->text().section(QStringLiteral("，需重拍"), 0, 0);
    }

    QTemporaryDir m_dir;
    test::FakeDialogs m_dialogs;

private Q_SLOTS:
    void init()
    {
        m_dialogs = test::FakeDialogs();
        QDir(m_dir.filePath(QStringLiteral("photos"))).removeRecursively();
        QDir().mkpath(m_dir.filePath(QStringLiteral("photos")));
    }

    void emptyRosterGetsAMessage()
    {
        auto window = makeWindow(QStringLiteral("  \r\n"));
        QVERIFY(!openCheck(*window));
        QCOMPARE(m_dialogs.messages.size(), 1);
        QVERIFY(m_dialogs.messages.first().contains(QStringLiteral("名册框是空的")));
    }

    // A half-photographed class: the missing by class, the photo of nobody;
    // a photo arriving and a refresh bring the counts along.
    void showsMissingByClassAndKeepsCurrent()
    {
        addPhoto(QStringLiteral("1/11010519491231002X.jpg"));
        addPhoto(QStringLiteral("2/陌生人.jpg"));
        auto window = makeWindow(QStringLiteral(
            "S\t张三\t11010519491231002X\t1\r\nS\t李四\t440524188001010014\t1\r\nS\t王五\t\t2\r\nS\t赵六\t\t2\r\n"));
        registry::CheckWindow* check = openCheck(*window);
        QVERIFY(check);
        QCOMPARE(counts(check), QStringLiteral("名册 4 人，已有照片 1 人，缺 3 人"));
        auto* missing = check->findChild<QTreeWidget*>(QStringLiteral("missing"));
        QCOMPARE(missing->topLevelItemCount(), 2);
        QCOMPARE(missing->topLevelItem(0)->text(0), QStringLiteral("1（缺 1 人）"));
        QCOMPARE(missing->topLevelItem(0)->child(0)->text(1), QStringLiteral("李四"));
        QCOMPARE(missing->topLevelItem(0)->child(0)->text(2), QStringLiteral("440524188001010014"));
        QCOMPARE(missing->topLevelItem(1)->text(0), QStringLiteral("2（缺 2 人）"));
        auto* findings = check->findChild<QTreeWidget*>(QStringLiteral("findings"));
        // The test photo is no real one: its student is to reshoot.
        QCOMPARE(findings->topLevelItemCount(), 2);
        QCOMPARE(findings->topLevelItem(0)->text(0), QStringLiteral("需重拍"));
        QCOMPARE(findings->topLevelItem(0)->text(1), QStringLiteral("张三 11010519491231002X：照片不完整，需重拍"));
        QCOMPARE(findings->topLevelItem(1)->text(1), QStringLiteral("2/陌生人.jpg"));
        // The main window hands the export its own window.
        QVERIFY(!check->findChild<QPushButton*>(QStringLiteral("exportPhotos"))->isHidden());

        addPhoto(QStringLiteral("无身份证照片/S_2_王五.jpg"));
        QSignalSpy done(check, &registry::CheckWindow::refreshed);
        check->refresh();
        check->refresh(); // asked again while reading: read once more
        QVERIFY(done.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(counts(check), QStringLiteral("名册 4 人，已有照片 2 人，缺 2 人"), 10000);
    }

    // A photo the phone sends while the window is open is counted in it
    // without anyone asking.
    void photoFromThePhoneUpdatesTheWindow()
    {
        auto window = makeWindow(QStringLiteral("S\t张三\t11010519491231002X\t1\r\nS\t李四\t\t1\r\n"));
        registry::CheckWindow* check = openCheck(*window);
        QVERIFY(check);
        QCOMPARE(counts(check), QStringLiteral("名册 2 人，已有照片 0 人，缺 2 人"));

        QTcpSocket command, photo;
        command.connectToHost(QHostAddress::LocalHost, window->commandServer()->serverPort());
        photo.connectToHost(QHostAddress::LocalHost, window->photoServer()->serverPort());
        QVERIFY(command.waitForConnected(5000) && photo.waitForConnected(5000));
        const QByteArray name("STAT||1%5C11010519491231002X.jpg");
        command.write(name);
        QVERIFY(command.waitForBytesWritten(5000));
        // The name first, then the photo, as a phone sends them.
        auto* link = window->findChild<link::PhoneLink*>();
        QTRY_VERIFY_WITH_TIMEOUT(link->figures().commandBytesTaken >= std::uint64_t(name.size()), 10000);
        photo.write(test::TRANSFER_HEADER + test::makeJpeg(40, 30, 1) + test::END_MARKER);
        QVERIFY(photo.waitForBytesWritten(5000));
        QTRY_COMPARE_WITH_TIMEOUT(counts(check), QStringLiteral("名册 2 人，已有照片 1 人，缺 1 人"), 10000);
    }

    // Copy gives TAB columns; save writes a workbook our reader reads back.
    void copiesAndSavesTheMissingList()
    {
        auto window = makeWindow(QStringLiteral("S\t李四\t440524188001010014\t1\r\nS\t王五\t\t2\r\n"));
        registry::CheckWindow* check = openCheck(*window);
        QVERIFY(check);
        check->findChild<QPushButton*>(QStringLiteral("copyMissing"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("1\t李四\t440524188001010014\r\n2\t王五\t\r\n"));
        // The spreadsheet's table beside it (its cells: registry_core_test).
        const QString html = QGuiApplication::clipboard()->mimeData()->html();
        QVERIFY2(html.contains(QStringLiteral("<th>班级编号</th><th>姓名</th><th>身份证号</th>"))
                     && html.contains(QStringLiteral("440524188001010014</td>")),
                 qPrintable(html));

        const QString path = m_dir.filePath(QStringLiteral("缺照片.xls"));
        m_dialogs.answers.enqueue(path);
        check->findChild<QPushButton*>(QStringLiteral("saveMissing"))->click();
        QCOMPARE(m_dialogs.questions, QStringList{QStringLiteral("save *.xls")});
        const auto sheet = roster::readFirstWorksheet(path.toStdString());
        QVERIFY(sheet);
        std::string cells;
        for (const auto& [position, cell] : *sheet)
            cells += roster::cellAddress(position) + "=" + cell.text + " ";
        QCOMPARE(QString::fromStdString(cells),
                 QStringLiteral("A1=班级编号 B1=姓名 C1=身份证号 A2=1 B2=李四 C2=440524188001010014 A3=2 B3=王五 "));
    }

    // Guards against an export window that forgets its output folder each
    // time it opens: the first starts beside the receive folder, the next
    // where the first one went.
    void exportStartsWhereTheLastOneWent()
    {
        addPhoto(QStringLiteral("1/11010519491231002X.jpg"));
        auto window = makeWindow(QStringLiteral("S\t张三\t11010519491231002X\t1\r\n"));
        registry::CheckWindow* check = openCheck(*window);
        QVERIFY(check);
        const QString chosen = m_dir.filePath(QStringLiteral("上传"));
        QStringList startedAt;
        const auto inTheDialog = [&](bool exportThere) {
            auto* dialog = qobject_cast<registry::ExportDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* folder = dialog->findChild<QLineEdit*>(QStringLiteral("输出文件夹"));
            startedAt << folder->text();
            if (exportThere) {
                folder->setText(chosen);
                QSignalSpy finished(dialog, &registry::ExportDialog::exportFinished);
                dialog->findChild<QPushButton*>(QStringLiteral("开始导出"))->click();
                QVERIFY(finished.wait(20000));
            }
            dialog->accept();
        };
        for (bool exportThere : {true, false}) {
            QTimer::singleShot(0, this, [&, exportThere] { inTheDialog(exportThere); });
            check->findChild<QPushButton*>(QStringLiteral("exportPhotos"))->click(); // returns when it closed
        }
        QCOMPARE(startedAt, (QStringList{m_dir.filePath(QStringLiteral("photos_上传")), chosen}));
    }

    // Guards against a student to reshoot missing from the window and the
    // copied list, and against an entry that stays after a retake passed.
    void reshootListedUntilALaterPhotoPasses()
    {
        addPhoto(QStringLiteral("1/张三.jpg"));
        addPhoto(QStringLiteral("1/李四.jpg"));
        const QString cat = m_dir.filePath(QStringLiteral("photos/1/李四.jpg"));
        {
            QFile file(cat);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("cat");
        }
        registry::CheckWindow check([] { return QStringLiteral("S\t张三\t\t1\r\nS\t李四\t440524188001010014\t1\r\n"); },
                                    [this] { return m_dir.filePath(QStringLiteral("photos")); }, &m_dialogs);
        check.setPhotoJudge([](const std::filesystem::path& photo) {
            QFile file(QString::fromStdU16String(photo.u16string()));
            return file.open(QIODevice::ReadOnly) && file.readAll() == "cat" ? std::string("未找到人脸") : std::string();
        });
        auto* countsLabel = check.findChild<QLabel*>(QStringLiteral("counts"));
        check.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(countsLabel->text(), QStringLiteral("名册 2 人，已有照片 2 人，缺 0 人，需重拍 1 人"),
                                  20000);
        auto* findings = check.findChild<QTreeWidget*>(QStringLiteral("findings"));
        QCOMPARE(findings->topLevelItem(0)->text(1), QStringLiteral("李四 440524188001010014：未找到人脸，需重拍"));
        check.findChild<QPushButton*>(QStringLiteral("copyMissing"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("1\t李四\t440524188001010014\t需重拍：未找到人脸\r\n"));
        QVERIFY(QGuiApplication::clipboard()->mimeData()->html().contains(QStringLiteral("<th>需重拍原因</th>")));

        // The retake over the same file, a sound photo this time.
        {
            QFile file(cat);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("a sound photo");
        }
        check.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(countsLabel->text(), QStringLiteral("名册 2 人，已有照片 2 人，缺 0 人，需重拍 0 人"),
                                  20000);
        QCOMPARE(findings->topLevelItemCount(), 0);
    }

    // With an export hooked in, its button hands over one job per student
    // with a photo.
    void exportButtonHandsOverTheJobs()
    {
        addPhoto(QStringLiteral("1/张三.jpg"));
        registry::CheckWindow check([] { return QStringLiteral("S\t张三\t\t1\r\nS\t李四\t\t1\r\n"); },
                                    [this] { return m_dir.filePath(QStringLiteral("photos")); }, &m_dialogs);
        std::vector<registry::ExportJob> handed;
        check.setExportHook([&handed](QWidget*, std::vector<registry::ExportJob> jobs) { handed = std::move(jobs); });
        QSignalSpy done(&check, &registry::CheckWindow::refreshed);
        check.refresh();
        QVERIFY(done.wait(10000));
        check.findChild<QPushButton*>(QStringLiteral("exportPhotos"))->click();
        QCOMPARE(handed.size(), std::size_t(1));
        QCOMPARE(QString::fromStdU16String(handed[0].target.generic_u16string()),
                 QStringLiteral("无身份证照片/S_1_张三.jpg"));
    }
};

QTEST_MAIN(CheckWindowTest)
#include "CheckWindowTest.moc"
