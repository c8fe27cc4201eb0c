#include "link/PhoneLink.h"

#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"
#include "link/TcpServer.h"
#include "platform/Codepage.h"
#include "platform/UserDialogs.h"

#include <QBuffer>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPalette>
#include <QTimer>

#include <chrono>
#include <exception>
#include <memory>
#include <string_view>

Q_LOGGING_CATEGORY(lcPhoneLink, "velmora.link")

namespace velmora::link {
namespace {

// While more photos are waiting, previews are decoded at least this often.
constexpr qint64 PREVIEW_DEFER_LIMIT_MS = 500;

template <typename T>
T* control(const QWidget* window, const char16_t* name)
{
    return window ? window->findChild<T*>(QString::fromUtf16(name)) : nullptr;
}

std::int64_t steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string_view bytesOf(const QByteArray& bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString fromGbk(const std::string& gbk)
{
    return QString::fromStdString(platform::gbkToUtf8(gbk));
}

// The photo decoded no larger than the preview box, aspect kept: decoding a
// 12-megapixel photo at full size would stall the window for each photo.
QImage decodePreview(const QByteArray& photo)
{
    QBuffer buffer;
    buffer.setData(photo);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > PhoneLink::PREVIEW_WIDTH || full.height() > PhoneLink::PREVIEW_HEIGHT))
        reader.setScaledSize(full.scaled(PhoneLink::PREVIEW_WIDTH, PhoneLink::PREVIEW_HEIGHT, Qt::KeepAspectRatio));
    return reader.read();
}

} // namespace

PhoneLink::PhoneLink(QWidget* window, TcpServer* commandServer, TcpServer* photoServer,
                     platform::UserDialogs* dialogs, QObject* parent)
    : QObject(parent), m_window(window), m_commandServer(commandServer),
      m_photoServer(photoServer), m_dialogs(dialogs)
{
    if (m_commandServer) {
        connect(m_commandServer, &TcpServer::clientConnected, this, &PhoneLink::rememberPhone);
        connect(m_commandServer, &TcpServer::dataArrived, this, &PhoneLink::takeCommandPiece);
        connect(m_commandServer, &TcpServer::clientDisconnected, this, &PhoneLink::forgetCommandConnection);
    }
    if (m_photoServer) {
        connect(m_photoServer, &TcpServer::dataArrived, this, &PhoneLink::takePhotoPiece);
        connect(m_photoServer, &TcpServer::clientDisconnected, this, &PhoneLink::forgetPhotoConnection);
    }
    // The phone names the next photo only after the last one's end marker
    // has left: what the photo connection received before a name message is
    // handled before it, so that the photo keeps its own name.
    if (m_commandServer && m_photoServer)
        m_commandServer->readFirst(m_photoServer);
    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(0);
    connect(m_previewTimer, &QTimer::timeout, this, &PhoneLink::decodeDeferredPreview);
    if (auto* fileName = control<QLabel>(m_window, u"标签11"))
        m_fileNameColour = fileName->palette().color(QPalette::WindowText);
}

PhoneLink::~PhoneLink() = default;

void PhoneLink::sendRoster()
{
    auto* roster = control<widgets::CrlfTextEdit>(m_window, u"编辑框2");
    const QString text = roster ? roster->crlfText() : QString();
    if (text.isEmpty()) {
        m_dialogs->showMessage(m_window, QStringLiteral("请复制电子表格的学生名册到名册框里！"));
        return;
    }
    const QString phone = QString::fromStdString(m_session.phoneAddress());
    // A roster sent to a phone that has gone would be lost without a word.
    if (phone.isEmpty() || !m_commandServer || !m_commandServer->isConnected(phone)) {
        m_dialogs->showMessage(m_window, QStringLiteral("手机未连接！"));
        return;
    }
    if (m_rosterCheck && !m_rosterCheck(text))
        return;
    const QString message = QStringLiteral("STAT||") + text + QStringLiteral("||END");
    const std::string gbk = platform::utf8ToGbk(message.toStdString());
    if (!m_commandServer->send(phone, QByteArray(gbk.data(), static_cast<qsizetype>(gbk.size()))))
        qCWarning(lcPhoneLink) << "roster not sent: the phone at" << phone << "has gone";
}

void PhoneLink::rememberPhone(const QString& client)
{
    m_session.rememberPhone(client.toStdString());
}

void PhoneLink::takeCommandPiece(const QString& client, const QByteArray& piece)
{
    try {
        const auto result = m_session.takeCommandPiece(client.toStdString(), bytesOf(piece), receiveDirectory());
        if (result.outcome == CommandChannel::Outcome::NameTaken)
            qCDebug(lcPhoneLink) << "name message from" << client << ":"
                                 << fromGbk(m_session.commandChannel().currentPhotoName());
        if (result.outcome == CommandChannel::Outcome::BufferDropped)
            qCWarning(lcPhoneLink) << "command bytes from" << client << "dropped: no name message within"
                                   << CommandChannel::DEFAULT_BUFFER_LIMIT << "bytes";
        if (result.listEntry && !result.listEntry->ok())
            qCWarning(lcPhoneLink) << "name-list entry not made:" << QString::fromStdString(result.listEntry->detail);
    } catch (const std::exception& error) {
        qCWarning(lcPhoneLink) << "command piece from" << client << "not taken:" << error.what();
    }
}

void PhoneLink::takePhotoPiece(const QString& client, const QByteArray& piece)
{
    PhotoTimes times;
    times.pieceTaken = steadyNow();
    try {
        auto result = m_session.takePhotoPiece(client.toStdString(), bytesOf(piece), receiveDirectory());
        if (result.transferDropped)
            qCWarning(lcPhoneLink) << "photo from" << client << "dropped: larger than"
                                   << PhotoChannel::DEFAULT_BUFFER_LIMIT << "bytes without an end marker";
        for (const auto& received : result.photos) {
            qCDebug(lcPhoneLink) << "photo" << received.count << "from" << client << ":"
                                 << received.photo.size() << "bytes," << fromGbk(received.store.fileName);
            if (!received.store.ok())
                qCWarning(lcPhoneLink) << "photo not stored:" << QString::fromStdString(received.store.detail);
        }
        if (!result.photos.empty()) {
            times.stored = steadyNow();
            const bool morePhotoBytes = m_photoServer && m_photoServer->bytesWaiting() > piece.size();
            showPhoto(result.photos.back(), times, morePhotoBytes);
            times.shown = steadyNow();
            Q_EMIT photoShown(times);
        }
    } catch (const std::exception& error) {
        qCWarning(lcPhoneLink) << "photo piece from" << client << "not taken:" << error.what();
    }
}

void PhoneLink::forgetCommandConnection(const QString& client)
{
    if (const std::size_t dropped = m_session.forgetCommandConnection(client.toStdString()))
        qCWarning(lcPhoneLink) << "unfinished name message from" << client << "dropped:" << dropped
                               << "bytes, the connection closed before its marker";
}

// A photo cut off by a dropped connection is let go rather than glued in
// front of the next photo the phone sends after reconnecting.
void PhoneLink::forgetPhotoConnection(const QString& client)
{
    const std::size_t dropped = m_session.forgetPhotoConnection(client.toStdString());
    if (dropped > 0)
        qCWarning(lcPhoneLink) << "unfinished photo from" << client << "dropped:" << dropped
                               << "bytes, the connection closed before its end marker";
}

void PhoneLink::decodeDeferredPreview()
{
    const bool morePhotoBytes = m_photoServer && m_photoServer->bytesWaiting() > 0;
    if (morePhotoBytes && m_previewDeferredFor.isValid()
        && m_previewDeferredFor.elapsed() < PREVIEW_DEFER_LIMIT_MS) {
        m_previewTimer->start();
        return;
    }
    m_previewDeferredFor.invalidate();
    auto* preview = control<widgets::PictureBox>(m_window, u"图片框3");
    if (preview && m_shownPhoto) {
        const QByteArray bytes = preview->picture();
        preview->setPicture(bytes, decodePreview(bytes));
    }
}

// Read at the moment of use: the user may choose another directory between
// two photos.
std::filesystem::path PhoneLink::receiveDirectory() const
{
    const auto* box = control<QLineEdit>(m_window, u"目录编辑框1");
    return std::filesystem::path(box ? box->text().toStdU16String() : std::u16string());
}

// When one piece completes several photos, the window shows the last; the
// count, the photo and the name change together, after the stores.
void PhoneLink::showPhoto(PhoneLinkSession::ReceivedPhoto& received, PhotoTimes& times, bool morePhotoBytes)
{
    times.count = received.count;
    if (auto* count = control<QLabel>(m_window, u"标签4"))
        count->setText(QString::number(received.count));
    if (auto* preview = control<widgets::PictureBox>(m_window, u"图片框3")) {
        // The preview keeps the photo's own bytes rather than a copy: a large
        // photo would otherwise be held three times over at this point (the
        // receive buffer, the photo and the copy). The bytes stay in
        // m_shownPhoto until the next photo has replaced them in the box.
        auto shown = std::make_unique<std::string>(std::move(received.photo));
        const QByteArray bytes = QByteArray::fromRawData(shown->data(), static_cast<qsizetype>(shown->size()));
        // Decoding a preview takes longer than storing the photo; while more
        // photos are already waiting, the box keeps the last picture and only
        // the newest photo is decoded once they are in.
        if (morePhotoBytes) {
            if (!m_previewTimer->isActive() && !m_previewDeferredFor.isValid())
                m_previewDeferredFor.start();
            preview->setPicture(bytes, preview->image());
            m_previewTimer->start();
        } else {
            preview->setPicture(bytes, decodePreview(bytes));
            m_previewTimer->stop();
            m_previewDeferredFor.invalidate();
        }
        times.decoded = steadyNow();
        m_shownPhoto = std::move(shown);
    }
    auto* fileName = control<QLabel>(m_window, u"标签11");
    if (!fileName)
        return;
    const QString name = fromGbk(received.store.fileName);
    QPalette palette = fileName->palette();
    if (received.store.ok()) {
        fileName->setText(name);
        palette.setColor(QPalette::WindowText, m_fileNameColour);
    } else {
        fileName->setText(QStringLiteral("保存失败：") + name);
        palette.setColor(QPalette::WindowText, Qt::red);
    }
    fileName->setPalette(palette);
}

} // namespace velmora::link
