#include "app/MainWindow.h"

#include "app/MainWindowLayout.h"
#include "app/PhoneStatus.h"
#include "app/PhotoVerdict.h"
#include "app/QrZoom.h"
#include "app/ReceiveDirectory.h"
#include "app/Settings.h"
#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"
#include "link/PhoneLink.h"
#include "link/TcpServer.h"
#include "platform/HoldingFolder.h"
#include "platform/PathSeparator.h"
#include "platform/Paths.h"
#include "platform/UserDialogs.h"
#include "qr/DownloadDialog.h"
#include "registry/CheckWindow.h"
#include "registry/export/ExportDialog.h"
#include "roster/RosterPanel.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace velmora::app {

using widgets::CrlfTextEdit;
using widgets::PictureBox;
namespace {

template <typename T = QWidget>
T* control(const QWidget* window, const char16_t* name)
{
    auto* found = window->findChild<T*>(QString::fromUtf16(name));
    Q_ASSERT(found);
    return found;
}

// The program's icon, drawn for each size the desktop asks for.
QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icon/velmora-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options))
{
    setWindowTitle(QStringLiteral("Velmora-PC端10.1"));
    setWindowIcon(programIcon());
    setFixedSize(CLIENT_WIDTH, CLIENT_HEIGHT);
    setMouseTracking(true);
    buildMainWindowControls(this);

    if (m_options.dialogs) {
        m_dialogs = m_options.dialogs;
    } else {
        m_ownDialogs = std::make_unique<platform::DesktopDialogs>();
        m_dialogs = m_ownDialogs.get();
    }
    const QString settingsFile = m_options.settingsFile.isEmpty()
        ? platform::programDirectory() + QLatin1Char(platform::PATH_SEPARATOR) + QStringLiteral("set.ini")
        : m_options.settingsFile;
    m_settings = std::make_unique<Settings>(settingsFile);

    // Both servers on one network thread, the photo connections read first
    // in each round: the first bytes of a photo that reached the PC before a
    // name message are taken before that name.
    m_photoServer = new link::TcpServer(this);
    m_photoServer->setObjectName(QStringLiteral("服务器2"));
    m_commandServer = new link::TcpServer(m_photoServer, this);
    m_commandServer->setObjectName(QStringLiteral("服务器1"));

    link::PhoneLink::Holding holding;
    holding.folder = m_options.holdingFolder.isEmpty() ? platform::holdingFolder()
                                                        : std::filesystem::path(m_options.holdingFolder.toStdU16String());
    holding.retry = std::chrono::milliseconds(m_options.holdingRetryMs);
    m_phoneLink = new link::PhoneLink(this, m_commandServer, m_photoServer, m_dialogs, holding, this);
    m_phoneStatus = new PhoneStatus(this, m_commandServer, m_phoneLink, m_dialogs, this);
    m_rosterPanel = new roster::RosterPanel(this, m_dialogs, this);
    m_phoneLink->setRosterCheck([panel = m_rosterPanel](const QString& roster) {
        return panel->confirmSend(roster);
    });
    m_connectionPanel = new qr::ConnectionPanel(
        this, m_options.addresses ? m_options.addresses : qr::AddressSource(qr::lanAddresses), this);
    m_zoom = new QrZoom(this, OUTER_WIDTH, OUTER_HEIGHT);

    bindEvents();
    startUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::bindEvents()
{
    connect(control<QPushButton>(this, u"按钮1"), &QPushButton::clicked,
            m_phoneLink, &link::PhoneLink::sendRoster);
    connect(control<QPushButton>(this, u"按钮2"), &QPushButton::clicked,
            this, &MainWindow::chooseReceiveDirectory);
    connect(control<QPushButton>(this, u"按钮3"), &QPushButton::clicked,
            m_rosterPanel, &roster::RosterPanel::exportTemplate);
    connect(control<QPushButton>(this, u"按钮4"), &QPushButton::clicked,
            m_rosterPanel, &roster::RosterPanel::importRoster);
    connect(control<QPushButton>(this, u"按钮5"), &QPushButton::clicked,
            this, &MainWindow::openDownloadDialog);
    connect(control<QPushButton>(this, u"按钮6"), &QPushButton::clicked,
            this, &MainWindow::openReceiveDirectory);
    connect(control<QPushButton>(this, u"按钮7"), &QPushButton::clicked,
            this, &MainWindow::openCheckWindow);
    // 标签12: whose photo the preview shows and whether the registry takes it.
    auto* roster = control<CrlfTextEdit>(this, u"编辑框2");
    m_verdict = new PhotoVerdict(control<QLabel>(this, u"标签12"), [roster] { return roster->crlfText(); },
                                 m_dialogs, m_phoneLink->photoMemory(), this);
    connect(m_phoneLink, &link::PhoneLink::photoArrived, m_verdict, &PhotoVerdict::judge);
    // Every photo shown may be one the check still lists as missing.
    connect(m_phoneLink, &link::PhoneLink::photoShown, this, [this] {
        if (m_checkWindow && m_checkWindow->isVisible())
            m_checkWindow->refresh();
    });
    // Held photos written into the receive folder change what it holds.
    connect(m_phoneLink, &link::PhoneLink::holdingChanged, this, [this] {
        if (m_checkWindow) {
            showHeldInCheckWindow();
            if (m_checkWindow->isVisible())
                m_checkWindow->refresh();
        }
    });
    connect(control<CrlfTextEdit>(this, u"编辑框2"), &CrlfTextEdit::userEdited,
            m_rosterPanel, &roster::RosterPanel::cleanUp);
    connect(control<QLineEdit>(this, u"目录编辑框1"), &QLineEdit::textChanged,
            this, &MainWindow::keepTrailingSeparator);
    connect(control<PictureBox>(this, u"图片框1"), &PictureBox::pointerMoved,
            m_zoom, &QrZoom::open);
}

void MainWindow::startUp()
{
    m_commandServer->setPort(m_options.commandPort);
    m_commandServer->listen(); // a port held by another program is not fatal
    m_photoServer->setPort(m_options.photoPort);
    m_photoServer->listen();

    setReceiveDirectoryText(m_settings->receiveDirectory(platform::defaultReceiveDirectory()));

    if (m_options.startPanel)
        m_connectionPanel->start();
}

// Setting the empty box to the empty text (an empty value in set.ini) fires
// no change, so the separator rule is run here as well.
void MainWindow::setReceiveDirectoryText(const QString& text)
{
    control<QLineEdit>(this, u"目录编辑框1")->setText(text);
    keepTrailingSeparator();
}

void MainWindow::keepTrailingSeparator()
{
    auto* box = control<QLineEdit>(this, u"目录编辑框1");
    const std::u16string text = box->text().toStdU16String();
    const std::u16string kept = withTrailingSeparator(text, platform::PATH_SEPARATOR);
    if (kept != text)
        box->setText(QString::fromStdU16String(kept));
}

void MainWindow::chooseReceiveDirectory()
{
    auto* box = control<QLineEdit>(this, u"目录编辑框1");
    const QString chosen = m_dialogs->askFolder(
        this, QStringLiteral("请选择照片要存放的文件夹"), box->text()).trimmed();
    if (chosen.isEmpty())
        return;
    setReceiveDirectoryText(chosen);
    m_settings->setReceiveDirectory(box->text());
    // The same folder chosen again changes no text: held photos are tried
    // there all the same.
    m_phoneLink->lookAgain();
}

void MainWindow::openReceiveDirectory()
{
    platform::openInFileManager(control<QLineEdit>(this, u"目录编辑框1")->text());
}

void MainWindow::openDownloadDialog()
{
    // Created anew for each opening, so the address is fetched each time.
    qr::DownloadDialog dialog(m_options.downloadLookupUrl.isEmpty()
                                  ? qr::downloadLookupUrl() : m_options.downloadLookupUrl);
    dialog.exec();
}

void MainWindow::openCheckWindow()
{
    auto* roster = control<CrlfTextEdit>(this, u"编辑框2");
    if (roster->toPlainText().trimmed().isEmpty()) {
        m_dialogs->showMessage(this, QStringLiteral(
            "名册框是空的，没有可核对的学生。\n请先把名册粘贴到“发送名册到手机端”下面的名册框里，再点“名单核对…”。"));
        return;
    }
    if (!m_checkWindow) {
        auto* directory = control<QLineEdit>(this, u"目录编辑框1");
        m_checkWindow = new registry::CheckWindow(
            [roster] { return roster->crlfText(); }, [directory] { return directory->text(); }, m_dialogs, this);
        m_checkWindow->setObjectName(QStringLiteral("名单核对"));
        m_checkWindow->setExportHook([this, directory](QWidget* parent, std::vector<registry::ExportJob> jobs) {
            registry::ExportDialog dialog(directory->text(), std::move(jobs), *m_dialogs, parent);
            dialog.setObjectName(QStringLiteral("导出上传照片"));
            // Each export of the run starts where the last one went.
            dialog.setOutputFolder(m_lastExportFolder);
            dialog.exec();
            if (!dialog.exportedTo().isEmpty())
                m_lastExportFolder = dialog.exportedTo();
        });
    }
    showHeldInCheckWindow();
    m_checkWindow->show();
    m_checkWindow->raise();
    m_checkWindow->activateWindow();
    m_checkWindow->refresh();
}

// Photos the holding folder did not take live in memory only: closing the
// window would lose them, so staff are asked first.
void MainWindow::closeEvent(QCloseEvent* event)
{
    const std::size_t inMemory = m_phoneLink->holding().inMemory;
    if (inMemory > 0 && !m_dialogs->askToProceed(this, QStringLiteral(
            "还有 %1 张照片没有保存到任何磁盘上，只在内存中：关闭程序会丢失它们。\n"
            "请先腾出磁盘空间，或用“选择目录...”另选接收目录，等照片写入后再关闭。").arg(inMemory),
            QStringLiteral("仍然关闭"), QStringLiteral("不关闭"))) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void MainWindow::showHeldInCheckWindow()
{
    const link::HoldingState& held = m_phoneLink->holding();
    QStringList names;
    for (const std::string& name : held.names)
        names << QString::fromStdString(name);
    m_checkWindow->setHeldPhotos(static_cast<int>(held.held), names);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    // Only the window's own background closes the zoom; a move over any
    // control reaches here too when the control ignores it.
    if (!childAt(event->position().toPoint()))
        m_zoom->close();
    event->accept();
}

} // namespace velmora::app
