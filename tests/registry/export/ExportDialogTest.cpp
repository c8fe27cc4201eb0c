// The export window as staff use it: refusals before anything is written,
// an export with its closing line and lists, and 取消.

#include "registry/export/ExportDialog.h"
#include "registry/export/JpegInfo.h"
#include "registry/export/PhotoConverter.h"

#include "tests/portraits/PortraitJpeg.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TempTree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

namespace velmora::registry {
namespace {

using test::FakeDialogs;
using test::TempTree;
namespace fs = std::filesystem;

QString text(const fs::path& path)
{
    return QString::fromStdU16String(path.u16string());
}

template <typename T>
T* child(QWidget& parent, const char16_t* name)
{
    T* found = parent.findChild<T*>(QString::fromUtf16(name));
    Q_ASSERT(found);
    return found;
}

class ExportDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusesBeforeWriting_data();
    void refusesBeforeWriting();
    void exportsAndLists();
    void keepsFlaggedAndOpensTheFolder();
    void cancelLeavesWholeFiles();
    void closingDuringAnExport_data();
    void closingDuringAnExport();

private:
    // A receive folder with `count` photos and one broken file, and a job
    // for each of them.
    std::vector<ExportJob> makeJobs(const TempTree& tree, int count);
};

ExportJob jobFor(const fs::path& source, const std::string& name)
{
    ExportJob job;
    job.source = source;
    job.target = fs::path("20230101") / source.filename();
    job.student = name;
    job.name = name;
    job.identity = "S_20230101_" + name;
    return job;
}

// A photo of the astronaut, placed a little differently for each `seed`.
QByteArray portraitJpeg(int seed)
{
    test::Photo photo = test::plainPhoto(756, 1008, {120, 180, 235});
    test::placeAstronaut(photo, {756 * (0.45 + 0.02 * (seed % 5)), 1008 * 0.36, 1008 * (0.34 + 0.01 * (seed % 4)), 0});
    test::addNoise(photo, 3, static_cast<unsigned>(seed));
    return test::jpegOf(photo);
}

std::vector<ExportJob> ExportDialogTest::makeJobs(const TempTree& tree, int count)
{
    const fs::path receive = tree.root() / "recv";
    std::vector<ExportJob> jobs;
    for (int i = 0; i < count; ++i) {
        const std::string name = "photo" + std::to_string(i) + ".jpg";
        TempTree::write(receive / name, portraitJpeg(i).toStdString());
        jobs.push_back(jobFor(receive / name, "学生" + std::to_string(i)));
    }
    TempTree::write(receive / "broken.jpg", "not a photo");
    jobs.push_back(jobFor(receive / "broken.jpg", "李四"));
    return jobs;
}

void ExportDialogTest::refusesBeforeWriting_data()
{
    QTest::addColumn<QString>("output");   // below the temporary root; "" for none
    QTest::addColumn<QString>("answer");   // to the question about a folder holding files
    QTest::addColumn<int>("minKb");        // with an own size when > 0
    QTest::addColumn<QString>("message");  // "" when a question is expected instead
    QTest::newRow("no folder") << "" << "" << 0 << "请先选择输出文件夹";
    QTest::newRow("the receive folder") << "recv" << "" << 0 << "输出文件夹不能是接收照片的文件夹";
    QTest::newRow("inside it") << "recv/导出" << "" << 0 << "输出文件夹不能在接收照片的文件夹之内";
    QTest::newRow("holds files, go back") << "full" << "返回" << 0 << "";
    QTest::newRow("minimum not below maximum") << "new" << "" << 60 << "最小文件大小必须小于最大文件大小";
}

// Each refusal shows its reason (or asks) and writes nothing anywhere.
void ExportDialogTest::refusesBeforeWriting()
{
    QFETCH(QString, output);
    QFETCH(QString, answer);
    QFETCH(int, minKb);
    QFETCH(QString, message);
    TempTree tree;
    const auto jobs = makeJobs(tree, 1);
    TempTree::write(tree.root() / "full" / "old.txt", "old");
    const auto before = tree.snapshot();
    FakeDialogs dialogs;
    ExportDialog dialog(text(tree.root() / "recv"), jobs, dialogs);
    if (!output.isEmpty()) {
        dialogs.answers.enqueue(text(tree.root()) + QLatin1Char('/') + output);
        child<QPushButton>(dialog, u"浏览")->click();
    } else {
        child<QLineEdit>(dialog, u"输出文件夹")->clear();
    }
    if (minKb > 0) {
        child<QComboBox>(dialog, u"规格")->setCurrentIndex(1);
        child<QSpinBox>(dialog, u"最小KB")->setValue(minKb);
    }
    dialogs.answers.enqueue(answer);
    child<QPushButton>(dialog, u"开始导出")->click();

    if (message.isEmpty())
        QVERIFY(dialogs.questions.last().startsWith(QStringLiteral("proceed 输出文件夹中已有文件")));
    else
        QCOMPARE(dialogs.messages, QStringList{message});
    QVERIFY(child<QPushButton>(dialog, u"开始导出")->isEnabled());
    QVERIFY(child<QLabel>(dialog, u"结果")->text().isEmpty());
    QCOMPARE(tree.snapshot(), before);
}

// An own size and range into a folder that holds a file (the user goes on):
// the closing line, the photo to reshoot with its reason, the photo passed
// over, and files of the chosen size.
void ExportDialogTest::exportsAndLists()
{
    TempTree tree;
    auto jobs = makeJobs(tree, 2);
    jobs[0].passedOver = {tree.root() / "recv" / "older.jpg"};
    const fs::path out = tree.root() / "out";
    TempTree::write(out / "readme.txt", "kept");
    FakeDialogs dialogs;
    ExportDialog dialog(text(tree.root() / "recv"), jobs, dialogs);
    child<QComboBox>(dialog, u"规格")->setCurrentIndex(1);
    child<QSpinBox>(dialog, u"宽度")->setValue(200);
    child<QSpinBox>(dialog, u"高度")->setValue(300);
    child<QSpinBox>(dialog, u"最大KB")->setValue(20);
    child<QLineEdit>(dialog, u"输出文件夹")->setText(text(out));
    dialogs.answers.enqueue(QStringLiteral("继续导出"));
    QSignalSpy finished(&dialog, &ExportDialog::exportFinished);
    child<QPushButton>(dialog, u"开始导出")->click();
    QVERIFY(finished.wait(60000));

    QCOMPARE(child<QLabel>(dialog, u"结果")->text(),
             QStringLiteral("已写入 2 张，原样复制 0 张，未导出 1 张，需重拍 1 张"));
    const QString list = child<QPlainTextEdit>(dialog, u"清单")->toPlainText();
    QVERIFY2(list.startsWith(QStringLiteral("需重拍的照片：\n李四 S_20230101_李四：照片不完整，需重拍\n")),
             qPrintable(list));
    QVERIFY2(list.contains(QStringLiteral("学生0\t") + text(jobs[0].passedOver[0])), qPrintable(list));
    QCOMPARE(child<QProgressBar>(dialog, u"进度")->value(), 3);
    for (int i = 0; i < 2; ++i) {
        const std::string bytes = TempTree::read(out / jobs[static_cast<std::size_t>(i)].target);
        const auto info = readJpegInfo(bytes);
        QVERIFY(info);
        QCOMPARE(info->width, 200);
        QCOMPARE(info->height, 300);
        QVERIFY(bytes.size() <= 19'999);
    }
    QCOMPARE(TempTree::read(out / "readme.txt"), std::string("kept"));
}

// 仍然导出需重拍的照片: a photo without a face is written all the same (cut
// as without faces) and still listed; 打开输出文件夹 then opens the folder
// the photos went to.
void ExportDialogTest::keepsFlaggedAndOpensTheFolder()
{
    TempTree tree;
    auto jobs = makeJobs(tree, 1);
    TempTree::write(tree.root() / "recv" / "wall.jpg",
                    test::jpegOf(test::plainPhoto(756, 1008, {120, 180, 235})).toStdString());
    jobs.push_back(jobFor(tree.root() / "recv" / "wall.jpg", "王五"));
    const fs::path out = tree.root() / "out";
    FakeDialogs dialogs;
    ExportDialog dialog(text(tree.root() / "recv"), jobs, dialogs);
    QStringList opened;
    dialog.setFolderOpener([&](const QString& folder) { opened << folder; });
    QPushButton* show = child<QPushButton>(dialog, u"打开输出文件夹");
    QVERIFY(show->isHidden());
    child<QCheckBox>(dialog, u"仍然导出需重拍的照片")->setChecked(true);
    child<QLineEdit>(dialog, u"输出文件夹")->setText(text(out));
    QSignalSpy finished(&dialog, &ExportDialog::exportFinished);
    child<QPushButton>(dialog, u"开始导出")->click();
    QVERIFY(finished.wait(60000));

    QCOMPARE(child<QLabel>(dialog, u"结果")->text(),
             QStringLiteral("已写入 2 张，原样复制 0 张，未导出 1 张，需重拍 2 张"));
    const QString list = child<QPlainTextEdit>(dialog, u"清单")->toPlainText();
    QVERIFY2(list.contains(QStringLiteral("王五 S_20230101_王五：未找到人脸，需重拍")), qPrintable(list));
    QVERIFY(readJpegInfo(TempTree::read(out / jobs[2].target)));
    QVERIFY(!show->isHidden());
    show->click();
    QCOMPARE(opened, QStringList{text(out)});
}

// 取消 pressed while photos are being made: the line says so, and the
// output folder holds only whole photos, no temporary files.
void ExportDialogTest::cancelLeavesWholeFiles()
{
    TempTree tree;
    const auto jobs = makeJobs(tree, 8);
    const fs::path out = tree.root() / "out";
    FakeDialogs dialogs;
    ExportDialog dialog(text(tree.root() / "recv"), jobs, dialogs);
    QPushButton* cancel = child<QPushButton>(dialog, u"取消");
    std::atomic<bool> pressed{false};
    dialog.setConverter([&](std::string_view photo, const ExportPreset& preset, bool keep) {
        if (!pressed.exchange(true))
            QMetaObject::invokeMethod(cancel, "click", Qt::BlockingQueuedConnection);
        return convertPhoto(photo, preset, keep);
    });
    child<QLineEdit>(dialog, u"输出文件夹")->setText(text(out));
    QSignalSpy finished(&dialog, &ExportDialog::exportFinished);
    child<QPushButton>(dialog, u"开始导出")->click();
    QVERIFY(finished.wait(60000));

    QVERIFY(child<QLabel>(dialog, u"结果")->text().endsWith(QStringLiteral("（已取消）")));
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        QVERIFY2(entry.path().extension() == ".jpg", qPrintable(text(entry.path())));
        QVERIFY(readJpegInfo(TempTree::read(entry.path())));
    }
    QVERIFY(files < 8);
}

void ExportDialogTest::closingDuringAnExport_data()
{
    QTest::addColumn<QString>("answer"); // to "停止导出？"
    QTest::newRow("stop") << QStringLiteral("停止导出");
    QTest::newRow("go on") << QStringLiteral("继续导出");
}

// The window closed (Esc, the title bar) while photos are being made.
// Guards against an export stopped without a word, leaving some photos
// written and nobody told how many or where, and against one stopped
// although the user chose to go on.
void ExportDialogTest::closingDuringAnExport()
{
    QFETCH(QString, answer);
    TempTree tree;
    const auto jobs = makeJobs(tree, 8);
    const fs::path out = tree.root() / "out";
    FakeDialogs dialogs;
    ExportDialog dialog(text(tree.root() / "recv"), jobs, dialogs);
    std::atomic<bool> closed{false};
    dialog.setConverter([&](std::string_view photo, const ExportPreset& preset, bool keep) {
        if (!closed.exchange(true))
            QMetaObject::invokeMethod(&dialog, [&dialog] { dialog.reject(); }, Qt::BlockingQueuedConnection);
        return convertPhoto(photo, preset, keep);
    });
    child<QLineEdit>(dialog, u"输出文件夹")->setText(text(out));
    QSignalSpy finished(&dialog, &ExportDialog::exportFinished);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialogs.answers.enqueue(answer);
    child<QPushButton>(dialog, u"开始导出")->click();
    QVERIFY(finished.wait(60000));

    QCOMPARE(dialogs.questions.size(), 1);
    QVERIFY(dialogs.questions.first().startsWith(QStringLiteral("proceed 停止导出？")));
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out))
        files += entry.is_regular_file() ? 1 : 0;
    if (answer == QStringLiteral("停止导出")) {
        QCOMPARE(rejected.size(), 1);
        QCOMPARE(dialogs.messages, QStringList{QStringLiteral("已停止导出：%1 张照片已写入 %2，其余 %3 张没有导出。")
                                                   .arg(files).arg(text(out)).arg(9 - files)});
    } else {
        QCOMPARE(rejected.size(), 0);
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(files, 8);
        QCOMPARE(child<QLabel>(dialog, u"结果")->text(), QStringLiteral("已写入 8 张，原样复制 0 张，未导出 1 张，需重拍 1 张"));
    }
}

} // namespace
} // namespace velmora::registry

QTEST_MAIN(velmora::registry::ExportDialogTest)
#include "ExportDialogTest.moc"
