#include "link/PhoneLink.h"

#include "link/HoldingNotice.h"
#include "link/PhoneLinkWorker.h"
#include "link/TcpServer.h"
#include "platform/Codepage.h"
#include "platform/UserDialogs.h"
#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"

#include <QFontMetrics>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPalette>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcPhoneLink, "velmora.link")

namespace velmora::link {
namespace {

template <typename T>
T* control(const QWidget* window, const char16_t* name)
{
    return window ? window->findChild<T*>(QString::fromUtf16(name)) : nullptr;
}

} // namespace

PhoneLink::PhoneLink(QWidget* window, TcpServer* commandServer, TcpServer* photoServer,
                     platform::UserDialogs* dialogs, Holding holding, QObject* parent)
    : QObject(parent), m_window(window), m_commandServer(commandServer),
      m_photoServer(photoServer), m_dialogs(dialogs),
      m_holdingNotice(std::make_unique<HoldingNotice>(window, dialogs, holding.folder))
{
    TcpServer* server = m_commandServer ? m_commandServer.data() : m_photoServer.data();
    m_worker = std::make_unique<Worker>(this, server ? server->networkThread() : thread(),
                                        server ? server->holdNetworkThread() : nullptr, holding);
    if (m_commandServer)
        m_commandServer->setReceiver(&m_worker->commandSide);
    if (m_photoServer)
        m_photoServer->setReceiver(&m_worker->photoSide);
    // The receive directory is the box's text when a photo completes: the
    // writer gets a copy kept in step with the box.
    if (auto* box = control<QLineEdit>(m_window, u"目录编辑框1")) {
        m_worker->setReceiveDirectory(box->text());
        connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { m_worker->setReceiveDirectory(text); });
    }
    if (auto* fileName = control<QLabel>(m_window, u"标签11"))
        m_fileNameColour = fileName->palette().color(QPalette::WindowText);
    // The image plugins are looked up once per process, by the first reader.
    // Done here, on the window thread, rather than by the writer thread's
    // first preview: on Windows the lookup leaves per-thread state behind
    // whose clean-up crashed the program at exit when the writer thread
    // ended (seen under Wine, with Qt's own PCRE2).
    QImageReader::supportedImageFormats();
}

PhoneLink::~PhoneLink()
{
    if (!finishWriting(CLOSING_BOUND)) {
        qCWarning(lcPhoneLink) << "photos still waiting for the disk after"
                               << CLOSING_BOUND.count() << "ms are not written";
        m_worker->abandon();
    }
    if (m_commandServer)
        m_commandServer->setReceiver(nullptr);
    if (m_photoServer)
        m_photoServer->setReceiver(nullptr);
}

bool PhoneLink::finishWriting(std::chrono::milliseconds bound)
{
    m_worker->stopTaking();
    return m_worker->finish(bound);
}

PhoneLink::Figures PhoneLink::figures() const
{
    return m_worker->figures();
}

std::shared_ptr<PhotoMemory> PhoneLink::photoMemory() const
{
    return m_worker->photoMemory();
}

void PhoneLink::sendRoster()
{
    auto* roster = control<widgets::CrlfTextEdit>(m_window, u"编辑框2");
    const QString text = roster ? roster->crlfText() : QString();
    if (text.isEmpty()) {
        m_dialogs->showMessage(m_window, QStringLiteral("请复制电子表格的学生名册到名册框里！"));
        return;
    }
    const QString phone = m_worker->phoneAddress();
    // A roster sent to a phone that has gone would be lost without a word.
    if (phone.isEmpty() || !m_commandServer || !m_commandServer->isConnected(phone)) {
        m_dialogs->showMessage(m_window, QStringLiteral("手机未连接！"));
        return;
    }
    if (m_recipientCheck && !m_recipientCheck(phone))
        return;
    if (m_rosterCheck && !m_rosterCheck(text))
        return;
    const QString message = QStringLiteral("STAT||") + text + QStringLiteral("||END");
    const std::string gbk = platform::utf8ToGbk(message.toStdString());
    // The phone may have gone while the user answered the questions.
    if (!m_commandServer || !m_commandServer->send(phone, QByteArray(gbk.data(), static_cast<qsizetype>(gbk.size())))) {
        qCWarning(lcPhoneLink) << "roster not sent: the phone at" << phone << "has gone";
        m_dialogs->showMessage(m_window, QStringLiteral("手机未连接！"));
        return;
    }
    Q_EMIT rosterSent(phone, text);
}

void PhoneLink::lookAgain()
{
    m_worker->lookAgain();
}

void PhoneLink::showCount(std::uint64_t count)
{
    if (auto* label = control<QLabel>(m_window, u"标签4"))
        label->setText(QString::number(count));
}

// A preview decoded after its photo was shown: it replaces the picture while
// that photo is still the newest.
void PhoneLink::showPreview(std::uint64_t count, const QImage& preview)
{
    if (count != m_lastShown)
        return;
    if (auto* box = control<widgets::PictureBox>(m_window, u"图片框3"))
        box->setPicture(box->picture(), preview);
}

// The preview and the file name change after the store, whether or not it
// succeeded.
void PhoneLink::showStored(std::uint64_t count, const QString& name, const StoredWhere& where,
                           StoreResult::Status status,
                           std::shared_ptr<const std::string> photo, const std::optional<QImage>& preview,
                           PhotoTimes times)
{
    const std::int64_t start = steadyNanos();
    const std::shared_ptr<const std::string> judged = photo;
    if (auto* box = control<widgets::PictureBox>(m_window, u"图片框3")) {
        // The box keeps the photo's own bytes rather than a copy; they stay
        // in m_shownPhoto until the next photo has replaced them in the box.
        const QByteArray bytes = QByteArray::fromRawData(photo->data(), static_cast<qsizetype>(photo->size()));
        // A photo of a burst whose preview was not decoded yet leaves the
        // box empty until its own preview comes (showPreview): the previous
        // photo's picture beside this photo's name in 标签11 spoke of
        // another student.
        box->setPicture(bytes, preview ? *preview : QImage());
        m_shownPhoto = std::move(photo);
    }
    m_heldNameShown.reset();
    if (status == StoreResult::Status::Stored || status == StoreResult::Status::AlreadyThere) {
        showFileName(QString(), name, false);
    } else if (status == StoreResult::Status::Held) {
        showFileName(QStringLiteral("已暂存："), name, true);
        m_heldNameShown = name;
    } else if (status == StoreResult::Status::HeldInMemory) {
        showFileName(QStringLiteral("仅在内存："), name, true);
        m_heldNameShown = name;
    } else {
        showFileName(QStringLiteral("保存失败："), name, true);
    }
    Q_EMIT photoArrived({count, name, where.stem, where.folder, status, judged});
    times.count = count;
    times.shown = steadyNanos();
    times.windowTime = times.shown - start;
    m_lastShown = count;
    ++m_shownTotal;
    Q_EMIT photoShown(times);
}

// 标签11: the prefix whole, the name shortened in its middle where the
// label is too narrow (a centred label cut at both ends showed neither the
// prefix nor the name's end), the whole text in its tooltip.
void PhoneLink::showFileName(const QString& prefix, const QString& name, bool failed)
{
    auto* label = control<QLabel>(m_window, u"标签11");
    if (!label)
        return;
    const QFontMetrics metrics(label->font());
    const int room = label->contentsRect().width() - label->margin() * 2 - metrics.horizontalAdvance(prefix);
    label->setText(prefix + metrics.elidedText(name, Qt::ElideMiddle, std::max(room, 0)));
    label->setToolTip(prefix + name);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, failed ? QColor(Qt::red) : m_fileNameColour);
    label->setPalette(palette);
}

void PhoneLink::showHolding(const HoldingState& state)
{
    m_holding = state;
    // Every photo held is written now, the one 标签11 shows among them.
    if (state.held == 0 && m_heldNameShown)
        showFileName(QString(), *std::exchange(m_heldNameShown, std::nullopt), false);
    Q_EMIT holdingChanged(state);
    // Last: its message boxes run the event loop.
    m_holdingNotice->show(state);
}

} // namespace velmora::link
