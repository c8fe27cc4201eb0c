#include "registry/export/ExportDialog.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/UserDialogs.h"
#include "registry/export/OutputFolder.h"
#include "registry/export/PhotoConverter.h"
#include "registry/face/AssessPhoto.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace velmora::registry {
namespace {

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString shown(const std::filesystem::path& path)
{
    return fromUtf8(platform::utf8FromPath(path));
}

QSpinBox* spinBox(const QString& name, int low, int high, int value, const QString& suffix)
{
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(low, high);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

} // namespace

ExportDialog::ExportDialog(const QString& receiveFolder, std::vector<ExportJob> jobs,
                           platform::UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_receiveFolder(receiveFolder)
    , m_jobs(std::move(jobs))
    , m_dialogs(dialogs)
    , m_converter(convertPhoto)
    , m_openFolder([](const QString& folder) { platform::openInFileManager(folder); })
{
    setWindowTitle(QStringLiteral("导出上传照片"));
    // On the window's thread, before the export's workers read photos.
    prepareImageReading();
    buildLayout();
    usePreset(0);
    m_folder->setText(shown(outputFolderBeside(platform::pathFromUtf8(m_receiveFolder.toStdString()))));
}

ExportDialog::~ExportDialog()
{
    if (m_runner)
        m_runner->cancel();
    if (m_worker.joinable())
        m_worker.join();
}

void ExportDialog::reject()
{
    if (!m_running) {
        QDialog::reject();
        return;
    }
    if (m_closeWhenDone)
        return; // stopping already; the window closes when the photos being written are done
    const bool stop = m_dialogs.askToProceed(
        this, QStringLiteral("停止导出？\n已经写好的照片留在输出文件夹里，其余的照片不再导出。"),
        QStringLiteral("停止导出"), QStringLiteral("继续导出"));
    if (!stop)
        return;
    m_closeWhenDone = true;
    if (m_running) {
        cancel();
        return;
    }
    // The export ended while the question was open.
    m_dialogs.showMessage(this, closingMessage());
    QDialog::reject();
}

void ExportDialog::setOutputFolder(const QString& folder)
{
    if (!folder.isEmpty())
        m_folder->setText(folder);
}

void ExportDialog::buildLayout()
{
    m_preset = new QComboBox;
    m_preset->setObjectName(QStringLiteral("规格"));
    m_preset->addItems({fromUtf8(registryPresetName()), QStringLiteral("自定义")});
    const ExportPreset registry = registryPreset();
    m_width = spinBox(QStringLiteral("宽度"), 16, 20000, registry.width, QStringLiteral(" 像素"));
    m_height = spinBox(QStringLiteral("高度"), 16, 20000, registry.height, QStringLiteral(" 像素"));
    m_minKb = spinBox(QStringLiteral("最小KB"), 0, 100000, 0, QStringLiteral(" KB"));
    m_maxKb = spinBox(QStringLiteral("最大KB"), 1, 100000, 60, QStringLiteral(" KB"));
    m_folder = new QLineEdit;
    m_folder->setObjectName(QStringLiteral("输出文件夹"));
    auto* browse = new QPushButton(QStringLiteral("浏览…"));
    browse->setObjectName(QStringLiteral("浏览"));
    m_keepFlagged = new QCheckBox(QStringLiteral("仍然导出需重拍的照片"));
    m_keepFlagged->setObjectName(QStringLiteral("仍然导出需重拍的照片"));
    m_start = new QPushButton(QStringLiteral("开始导出 %1 名学生的照片").arg(m_jobs.size()));
    m_start->setObjectName(QStringLiteral("开始导出"));
    m_cancel = new QPushButton(QStringLiteral("取消"));
    m_cancel->setObjectName(QStringLiteral("取消"));
    m_cancel->setEnabled(false);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("进度"));
    m_progress->setRange(0, static_cast<int>(m_jobs.size()));
    m_progress->setValue(0);
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("结果"));
    m_showFolder = new QPushButton(QStringLiteral("打开输出文件夹"));
    m_showFolder->setObjectName(QStringLiteral("打开输出文件夹"));
    m_showFolder->setVisible(false);
    m_list = new QPlainTextEdit;
    m_list->setObjectName(QStringLiteral("清单"));
    m_list->setReadOnly(true);
    connect(m_preset, &QComboBox::currentIndexChanged, this, &ExportDialog::usePreset);
    connect(browse, &QPushButton::clicked, this, &ExportDialog::chooseFolder);
    connect(m_start, &QPushButton::clicked, this, &ExportDialog::start);
    connect(m_cancel, &QPushButton::clicked, this, &ExportDialog::cancel);
    connect(m_showFolder, &QPushButton::clicked, this, [this] { m_openFolder(m_exportedTo); });
    arrange(browse);
}

void ExportDialog::arrange(QPushButton* browse)
{
    auto* size = new QHBoxLayout;
    size->addWidget(m_width);
    size->addWidget(new QLabel(QStringLiteral("×")));
    size->addWidget(m_height);
    size->addStretch();
    auto* range = new QHBoxLayout;
    range->addWidget(m_minKb);
    range->addWidget(new QLabel(QStringLiteral("至")));
    range->addWidget(m_maxKb);
    range->addStretch();
    auto* folder = new QHBoxLayout;
    folder->addWidget(m_folder);
    folder->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("规格"), m_preset);
    form->addRow(QStringLiteral("尺寸"), size);
    form->addRow(QStringLiteral("文件大小"), range);
    form->addRow(QStringLiteral("输出文件夹"), folder);
    form->addRow(QString(), m_keepFlagged);
    auto* run = new QHBoxLayout;
    run->addWidget(m_start);
    run->addWidget(m_progress, 1);
    run->addWidget(m_cancel);
    auto* result = new QHBoxLayout;
    result->addWidget(m_summary, 1);
    result->addWidget(m_showFolder);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(run);
    layout->addLayout(result);
    layout->addWidget(m_list, 1);
}

void ExportDialog::usePreset(int index)
{
    const bool own = index != 0;
    for (QSpinBox* box : {m_width, m_height, m_minKb, m_maxKb})
        box->setEnabled(own);
    if (!own) {
        m_width->setValue(registryPreset().width);
        m_height->setValue(registryPreset().height);
        m_minKb->setValue(0);
        m_maxKb->setValue(60);
    }
}

void ExportDialog::chooseFolder()
{
    const QString chosen = m_dialogs.askFolder(this, QStringLiteral("请选择导出照片的文件夹"), m_folder->text()).trimmed();
    if (!chosen.isEmpty())
        m_folder->setText(chosen);
}

std::optional<ExportPreset> ExportDialog::chosenPreset()
{
    if (m_preset->currentIndex() == 0)
        return registryPreset();
    if (m_minKb->value() >= m_maxKb->value()) {
        m_dialogs.showMessage(this, QStringLiteral("最小文件大小必须小于最大文件大小"));
        return std::nullopt;
    }
    return ExportPreset{m_width->value(), m_height->value(),
                        minBytesForKb(static_cast<std::uint64_t>(m_minKb->value())),
                        maxBytesForKb(static_cast<std::uint64_t>(m_maxKb->value())), registryPreset().dotsPerInch};
}

QString ExportDialog::usableOutputFolder()
{
    const QString folder = m_folder->text().trimmed();
    if (folder.isEmpty()) {
        m_dialogs.showMessage(this, QStringLiteral("请先选择输出文件夹"));
        return {};
    }
    const std::filesystem::path output = platform::pathFromUtf8(folder.toStdString());
    const OutputFolderCheck check = checkOutputFolder(platform::pathFromUtf8(m_receiveFolder.toStdString()), output);
    if (const std::string refused = outputFolderRefusal(check); !refused.empty()) {
        m_dialogs.showMessage(this, fromUtf8(refused));
        return {};
    }
    if (check == OutputFolderCheck::HoldsFiles
        && !m_dialogs.askToProceed(this, QStringLiteral("输出文件夹中已有文件，同名的照片将被替换。要继续导出吗？"),
                                   QStringLiteral("继续导出"), QStringLiteral("返回"))) {
        return {};
    }
    std::error_code error;
    std::filesystem::create_directories(output, error);
    if (error) {
        m_dialogs.showMessage(this, QStringLiteral("无法创建输出文件夹：") + folder);
        return {};
    }
    return folder;
}

void ExportDialog::start()
{
    const auto preset = chosenPreset();
    if (!preset)
        return;
    const QString folder = usableOutputFolder();
    if (folder.isEmpty() || m_worker.joinable())
        return;
    m_runner = std::make_unique<ExportRunner>(*preset, m_converter,
                                              platform::pathFromUtf8(m_receiveFolder.toStdString()),
                                              platform::pathFromUtf8(folder.toStdString()));
    m_runner->setKeepFlagged(m_keepFlagged->isChecked());
    m_exportedTo = folder;
    m_showFolder->setVisible(false);
    m_runner->setProgress([this](std::size_t done, std::size_t) {
        QMetaObject::invokeMethod(this, [this, done] { m_progress->setValue(static_cast<int>(done)); },
                                  Qt::QueuedConnection);
    });
    m_start->setEnabled(false);
    m_cancel->setEnabled(true);
    m_running = true;
    m_closeWhenDone = false;
    m_summary->clear();
    m_list->clear();
    m_progress->setValue(0);
    m_worker = std::thread([this] {
        const ExportOutcome outcome = m_runner->run(m_jobs);
        QMetaObject::invokeMethod(this, [this, outcome] { showOutcome(outcome); }, Qt::QueuedConnection);
    });
}

void ExportDialog::cancel()
{
    if (m_runner)
        m_runner->cancel();
    m_cancel->setEnabled(false);
}

void ExportDialog::showOutcome(const ExportOutcome& outcome)
{
    if (m_worker.joinable())
        m_worker.join();
    m_running = false;
    m_outcome = outcome;
    m_start->setEnabled(true);
    m_cancel->setEnabled(false);
    m_summary->setText(fromUtf8(summaryLine(outcome)));
    m_list->setPlainText(outcomeLines(outcome).join(QLatin1Char('\n')));
    m_showFolder->setVisible(true);
    Q_EMIT exportFinished();
    if (m_closeWhenDone) {
        m_dialogs.showMessage(this, closingMessage());
        QDialog::reject();
    }
}

QStringList ExportDialog::outcomeLines(const ExportOutcome& outcome) const
{
    QStringList lines;
    if (!outcome.flagged.empty())
        lines << QStringLiteral("需重拍的照片：");
    for (const Flagged& flagged : outcome.flagged)
        lines << fromUtf8(reshootLine(m_jobs[flagged.job], flagged.check));
    QStringList left;
    for (const LeftOut& out : outcome.leftOut) {
        if (out.reason == LeftOutReason::NeedsReshoot)
            continue; // listed among the photos to reshoot
        const ExportJob& job = m_jobs[out.job];
        QString reason = fromUtf8(leftOutText(out.reason));
        if (!out.detail.empty())
            reason += QStringLiteral("：") + fromUtf8(out.detail);
        left << fromUtf8(job.student) + QLatin1Char('\t') + shown(job.source) + QLatin1Char('\t') + reason;
    }
    if (!left.isEmpty())
        lines << QStringLiteral("未导出的照片：") << left;
    QStringList passed;
    for (const ExportJob& job : m_jobs)
        for (const std::filesystem::path& other : job.passedOver)
            passed << fromUtf8(job.student) + QLatin1Char('\t') + shown(other);
    if (!passed.isEmpty())
        lines << QStringLiteral("未采用的照片（同一学生有更新的照片）：") << passed;
    return lines;
}

QString ExportDialog::closingMessage() const
{
    const std::size_t written = m_outcome.written + m_outcome.copied;
    const QString where = QStringLiteral("%1 张照片已写入 %2").arg(written).arg(m_exportedTo);
    if (!m_outcome.cancelled)
        return QStringLiteral("导出已经完成：") + where + QStringLiteral("。");
    return QStringLiteral("已停止导出：") + where
        + QStringLiteral("，其余 %1 张没有导出。").arg(m_jobs.size() - written);
}

} // namespace velmora::registry
