#include "registry/CheckWindow.h"

#include "platform/Files.h"
#include "platform/UserDialogs.h"
#include "registry/CheckReport.h"
#include "registry/PhotosCommand.h"
#include "registry/face/AssessPhoto.h"
#include "roster/XlsWriter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <chrono>

namespace velmora::registry {
namespace {

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QTreeWidget* tree(QWidget* parent, const char* name, const QStringList& headings)
{
    auto* view = new QTreeWidget(parent);
    view->setObjectName(QString::fromUtf8(name));
    view->setHeaderLabels(headings);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->header()->setStretchLastSection(true);
    return view;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QHBoxLayout* row)
{
    auto* control = new QPushButton(caption, parent);
    control->setObjectName(QString::fromUtf8(name));
    row->addWidget(control);
    return control;
}

} // namespace

CheckWindow::CheckWindow(std::function<QString()> rosterText, std::function<QString()> receiveFolder,
                         platform::UserDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_rosterText(std::move(rosterText)),
      m_receiveFolder(std::move(receiveFolder)), m_dialogs(dialogs)
{
    setWindowTitle(QStringLiteral("名单核对"));
    resize(560, 520);
    auto* layout = new QVBoxLayout(this);

    m_counts = new QLabel(QStringLiteral("正在核对…"), this);
    m_counts->setObjectName(QStringLiteral("counts"));
    QFont bigger = m_counts->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.2);
    bigger.setBold(true);
    m_counts->setFont(bigger);
    layout->addWidget(m_counts);

    m_held = new QLabel(this);
    m_held->setObjectName(QStringLiteral("heldPhotos"));
    m_held->setWordWrap(true);
    QPalette red = m_held->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_held->setPalette(red);
    m_held->hide();
    layout->addWidget(m_held);

    layout->addWidget(new QLabel(QStringLiteral("还没有照片的学生（按班级）："), this));
    m_missing = tree(this, "missing", {QStringLiteral("班级编号"), QStringLiteral("姓名"), QStringLiteral("身份证号")});
    m_missing->setRootIsDecorated(true);
    layout->addWidget(m_missing, 3);

    layout->addWidget(new QLabel(QStringLiteral("其他情况（一人多张照片、对不上名册的照片）："), this));
    m_findings = tree(this, "findings", {QStringLiteral("情况"), QStringLiteral("学生或照片")});
    layout->addWidget(m_findings, 2);

    auto* buttons = new QHBoxLayout;
    connect(button(this, "copyMissing", QStringLiteral("复制缺照片名单"), buttons), &QPushButton::clicked,
            this, &CheckWindow::copyMissing);
    connect(button(this, "saveMissing", QStringLiteral("保存为Excel…"), buttons), &QPushButton::clicked,
            this, &CheckWindow::saveMissing);
    connect(button(this, "refreshCheck", QStringLiteral("重新核对"), buttons), &QPushButton::clicked,
            this, &CheckWindow::refresh);
    m_export = button(this, "exportPhotos", QStringLiteral("导出上传照片…"), buttons);
    m_export->hide();
    connect(m_export, &QPushButton::clicked, this, &CheckWindow::exportPhotos);
    buttons->addStretch();
    layout->addLayout(buttons);

    // The read's end is looked for on the window thread, which never waits
    // for the folder itself.
    m_poll = new QTimer(this);
    m_poll->setInterval(50);
    connect(m_poll, &QTimer::timeout, this, &CheckWindow::takeResult);
    m_judgePoll = new QTimer(this);
    m_judgePoll->setInterval(200);
    connect(m_judgePoll, &QTimer::timeout, this, &CheckWindow::takeJudging);
    m_judge = [](const std::filesystem::path& photo) { return judgePhotoFile(photo); };
    // On the window thread, before the judging thread reads a photo.
    prepareImageReading();
}

CheckWindow::~CheckWindow()
{
    if (m_progress)
        m_progress->stop = true;
    if (m_judging.valid())
        m_judging.wait();
    if (m_scan.valid())
        m_scan.wait();
}

void CheckWindow::setExportHook(ExportHook hook)
{
    m_exportHook = std::move(hook);
    m_export->setVisible(static_cast<bool>(m_exportHook));
}

void CheckWindow::setHeldPhotos(int count, const QStringList& names)
{
    m_heldCount = count;
    m_heldNames = names;
    m_held->setText(count ? QStringLiteral("另有 %1 张照片因接收目录不可用暂存在本机，还没有写入接收目录"
                                           "（目录恢复后自动写入）：写入前，这些照片的学生仍列为缺照片。").arg(count)
                          : QString());
    m_held->setVisible(count > 0);
    showFindings();
}

void CheckWindow::refresh()
{
    if (m_scan.valid()) {
        m_again = true;
        return;
    }
    m_again = false;
    std::string roster = m_rosterText().toStdString();
    const auto folder = platform::pathFromUtf8(m_receiveFolder().toStdString());
    m_scan = std::async(std::launch::async, [roster = std::move(roster), folder] {
        ScanResult result;
        result.pairing = checkPhotos(roster, folder, result.reason);
        return result;
    });
    m_poll->start();
}

void CheckWindow::takeResult()
{
    if (!m_scan.valid() || m_scan.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    m_poll->stop();
    ScanResult result = m_scan.get();
    m_pairing = std::move(result.pairing);
    // The students to reshoot are of the last pairing: judged anew (most
    // photos known already) for this one.
    m_reshoot.reset();
    if (m_pairing) {
        showPairing();
    } else {
        // A receive folder that cannot be read is when photos are held.
        m_counts->setText(text(result.reason));
        showFindings();
    }
    if (m_again)
        refresh();
    else
        Q_EMIT refreshed();
    if (m_pairing)
        startJudging();
}

// Judges the photos that count of the pairing now shown. A judging still
// running is asked to stop after its current photo and started again once
// it has: the window thread never waits for a photo's checks.
void CheckWindow::startJudging()
{
    if (m_judging.valid()) {
        m_progress->stop = true;
        m_judgeAgain = true;
        return;
    }
    m_judgeAgain = false;
    m_progress = std::make_shared<JudgingProgress>();
    m_toJudge = m_pairing->withPhoto();
    auto pairing = std::make_shared<const PairingResult>(*m_pairing);
    m_judging = std::async(std::launch::async, [pairing, cache = m_cache, progress = m_progress, judge = m_judge] {
        return findReshoots(*pairing, [&](const PhotoFile& photo) -> std::optional<std::string> {
            if (progress->stop)
                return std::nullopt;
            const std::optional<PhotoStamp> stamp = stampOf(photo.path);
            std::optional<std::string> verdict = stamp ? cache->find(photo.path, *stamp) : std::nullopt;
            if (!verdict) {
                verdict = judge(photo.path);
                if (stamp)
                    cache->store(photo.path, *stamp, *verdict);
            }
            ++progress->judged;
            return verdict;
        });
    });
    m_judgePoll->start();
    takeJudging();
}

void CheckWindow::takeJudging()
{
    if (!m_judging.valid())
        return;
    if (m_judging.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        if (m_pairing && !m_judgeAgain) {
            ReshootFindings pending;
            pending.judged = m_progress->judged;
            pending.toJudge = m_toJudge;
            m_counts->setText(text(countsLine(*m_pairing, pending)));
        }
        return;
    }
    m_judgePoll->stop();
    ReshootFindings findings = m_judging.get();
    if (!m_pairing)
        return;
    if (m_judgeAgain || !findings.complete()) {
        startJudging();
        return;
    }
    m_reshoot = std::move(findings);
    m_counts->setText(text(countsLine(*m_pairing, *m_reshoot)));
    showFindings();
    Q_EMIT judged();
}

void CheckWindow::showPairing()
{
    m_counts->setText(text(countsLine(*m_pairing)));
    showMissing();
    showFindings();
    if (m_export)
        m_export->setEnabled(m_pairing->withPhoto() > 0);
}

void CheckWindow::showMissing()
{
    m_missing->clear();
    QTreeWidgetItem* classItem = nullptr;
    QString classNumber;
    int inClass = 0;
    const auto closeClass = [&] {
        if (classItem)
            classItem->setText(0, QStringLiteral("%1（缺 %2 人）")
                                      .arg(classNumber.isEmpty() ? QStringLiteral("未填班级") : classNumber)
                                      .arg(inClass));
    };
    for (std::size_t index : missingByClass(*m_pairing)) {
        const Student& student = m_pairing->students[index];
        if (!classItem || text(student.classNumber) != classNumber) {
            closeClass();
            classNumber = text(student.classNumber);
            classItem = new QTreeWidgetItem(m_missing);
            classItem->setFirstColumnSpanned(true);
            classItem->setExpanded(true);
            inClass = 0;
        }
        new QTreeWidgetItem(classItem, {text(student.classNumber), text(student.name), text(student.id)});
        ++inClass;
    }
    closeClass();
    m_missing->expandAll();
    m_missing->resizeColumnToContents(0);
}

void CheckWindow::showFindings()
{
    m_findings->clear();
    if (m_pairing && m_reshoot) {
        for (const std::string& line : reshootLines(*m_pairing, *m_reshoot)) {
            auto* item = new QTreeWidgetItem(m_findings, {QStringLiteral("需重拍"), text(line)});
            item->setToolTip(1, text(line));
            item->setForeground(0, QColor(Qt::red));
        }
    }
    const std::vector<std::string> lines = m_pairing ? otherFindings(*m_pairing) : std::vector<std::string>();
    for (const std::string& line : lines) {
        const std::size_t tab = line.find('\t');
        QString rest = text(line.substr(tab + 1));
        rest.replace(QLatin1Char('\t'), QStringLiteral("  "));
        auto* item = new QTreeWidgetItem(m_findings, {text(line.substr(0, tab)), rest});
        item->setToolTip(1, rest);
    }
    for (const QString& name : m_heldNames)
        new QTreeWidgetItem(m_findings, {QStringLiteral("已暂存，未写入接收目录"), name});
    m_findings->resizeColumnToContents(0);
}

// TAB text for editors and a table for spreadsheets, which take the
// table, so the ID-card numbers arrive as text with their headings.
void CheckWindow::copyMissing()
{
    if (!m_pairing)
        return;
    auto* data = new QMimeData;
    const ReshootFindings reshoot = m_reshoot.value_or(ReshootFindings{});
    data->setText(text(missingText(*m_pairing, "\r\n", reshoot)));
    data->setHtml(text(missingHtml(*m_pairing, reshoot)));
    QGuiApplication::clipboard()->setMimeData(data);
}

void CheckWindow::saveMissing()
{
    if (!m_pairing)
        return;
    const QString path = m_dialogs->askSaveFile(this, QStringLiteral("*.xls"));
    if (path.isEmpty())
        return;
    const auto file = roster::xlsFile(missingWorksheet(*m_pairing, m_reshoot.value_or(ReshootFindings{})));
    std::string reason;
    if (!file || !platform::replaceFile(platform::pathFromUtf8(path.toStdString()),
                                        std::string_view(reinterpret_cast<const char*>(file->data()), file->size()),
                                        &reason))
        m_dialogs->showMessage(this, QStringLiteral("保存失败：") + path);
}

void CheckWindow::exportPhotos()
{
    if (m_pairing && m_exportHook)
        m_exportHook(this, planExport(*m_pairing));
}

} // namespace velmora::registry
