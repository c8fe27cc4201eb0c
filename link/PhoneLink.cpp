#include "link/PhoneLink.h"

#include "link/PhotoWriter.h"
#include "link/TcpServer.h"
#include "platform/Codepage.h"
#include "platform/UserDialogs.h"
#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"

#include <QBuffer>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPalette>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <utility>
#include <string_view>

Q_LOGGING_CATEGORY(lcPhoneLink, "velmora.link")

namespace velmora::link {
namespace {

template <typename T>
T* control(const QWidget* window, const char16_t* name)
{
    return window ? window->findChild<T*>(QString::fromUtf16(name)) : nullptr;
}

std::int64_t steadyNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

PhoneLinkSession::Millis steadyMillis()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string_view bytesOf(const QByteArray& bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}


// The photo decoded no larger than the preview box, aspect kept: decoding a
// 12-megapixel photo at full size takes far longer and holds far more.
QImage decodePreview(const std::string& photo)
{
    QByteArray bytes = QByteArray::fromRawData(photo.data(), static_cast<qsizetype>(photo.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > PhoneLink::PREVIEW_WIDTH || full.height() > PhoneLink::PREVIEW_HEIGHT))
        reader.setScaledSize(full.scaled(PhoneLink::PREVIEW_WIDTH, PhoneLink::PREVIEW_HEIGHT, Qt::KeepAspectRatio));
    return reader.read();
}

} // namespace

// Everything of the phone link that runs off the window thread: the channels
// on the network thread, fed by both servers, and the photo writer with its
// thread. It hands the window finished results only.
class PhoneLink::Worker {
public:
    Worker(PhoneLink* link, QThread* networkThread, std::shared_ptr<void> holdThread)
        : m_link(link), m_holdThread(std::move(holdThread)), m_context(new QObject),
          m_writer([this](StoreJob& job, const StoreResult& result) { return written(job, result); },
                   [this] { decodeWaitingPreview(); })
    {
        m_context->moveToThread(networkThread);
    }

    ~Worker()
    {
        QObject* context = m_context;
        QMetaObject::invokeMethod(context, [context] { delete context; }, Qt::BlockingQueuedConnection);
    }

    // Any thread.
    void setReceiveDirectory(const QString& text)
    {
        std::lock_guard lock(m_mutex);
        m_receiveDirectory = std::filesystem::path(text.toStdU16String());
    }
    QString phoneAddress() const
    {
        std::lock_guard lock(m_mutex);
        return m_phoneAddress;
    }
    // Stops the channels for good; returns once no round is under way any
    // more and the photos still waiting for a late name have gone to the
    // writer, so that nothing new reaches it.
    void stopTaking()
    {
        m_stopped = true;
        QMetaObject::invokeMethod(m_context, [this] { settle(true); }, Qt::BlockingQueuedConnection);
    }
    bool finish(std::chrono::milliseconds bound) { return m_writer.finish(bound); }
    void abandon() { m_writer.abandon(); }

    Figures figures() const
    {
        Figures out;
        const PhoneLinkSession& session = m_session;
        QMetaObject::invokeMethod(m_context, [&] {
            out.photoCount = session.photoCount();
            out.currentPhotoName = session.commandChannel().currentPhotoName();
            out.commandBufferedBytes = session.commandChannel().bufferedBytes();
            out.namesWaiting = session.naming().namesWaiting();
            out.photos = session.photoStats();
            out.commandBytesTaken = m_commandBytes;
            out.photoBytesTaken = m_photoBytes;
        }, Qt::BlockingQueuedConnection);
        out.writerBytesWaiting = m_writer.bytesWaiting();
        return out;
    }

    // The servers' events, on the network thread.
    struct Side : PieceReceiver {
        Side(Worker* worker, bool photos) : m_worker(worker), m_photos(photos) {}
        bool canTake() const override { return m_worker->canTake(); }
        void clientConnected(const QString& client) override
        {
            if (!m_photos)
                m_worker->rememberPhone(client);
        }
        void pieceArrived(const QString& client, const QByteArray& piece) override
        {
            m_worker->take(m_photos, client, piece);
        }
        void clientDisconnected(const QString& client) override { m_worker->forget(m_photos, client); }
        void roundEnded() override { m_worker->settle(); }

        Worker* m_worker;
        bool m_photos;
    };
    Side commandSide{this, false};
    Side photoSide{this, true};

private:
    std::filesystem::path receiveDirectory() const
    {
        std::lock_guard lock(m_mutex);
        return m_receiveDirectory;
    }

    bool canTake() const
    {
        if (m_stopped)
            return false;
        if (m_writer.full()) {
            m_heldBack = true;
            return false;
        }
        return true;
    }

    void rememberPhone(const QString& client)
    {
        m_session.rememberPhone(client.toStdString());
        std::lock_guard lock(m_mutex);
        m_phoneAddress = client;
    }

    void take(bool photos, const QString& client, const QByteArray& piece)
    {
        const PhoneLinkSession::Millis now = steadyMillis();
        m_pieceTaken = steadyNanos();
        // While reading was held back for the writer, photo bytes may well
        // have been waiting: the photo connections were not quiet.
        if (std::exchange(m_heldBack, false))
            m_session.photosHeldBack(now);
        (photos ? m_photoBytes : m_commandBytes) += static_cast<std::uint64_t>(piece.size());
        try {
            if (photos)
                takePhotoPiece(client, piece, now);
            else
                takeCommandPiece(client, piece, now);
        } catch (const std::exception& error) {
            qCWarning(lcPhoneLink) << (photos ? "photo" : "command") << "piece from" << client
                                   << "not taken:" << error.what();
        }
    }

    void takeCommandPiece(const QString& client, const QByteArray& piece, PhoneLinkSession::Millis now)
    {
        const auto result = m_session.takeCommandPiece(client.toStdString(), bytesOf(piece), receiveDirectory(), now);
        if (result.outcome == CommandChannel::Outcome::NameTaken) {
            for (const PhotoName& name : m_session.commandChannel().takenNames())
                qCDebug(lcPhoneLink) << "name message from" << client << ":" << QString::fromStdString(name.shown());
        }
        if (result.outcome == CommandChannel::Outcome::BufferDropped)
            qCWarning(lcPhoneLink) << "command bytes from" << client << "dropped: no name message within"
                                   << CommandChannel::DEFAULT_BUFFER_LIMIT << "bytes";
    }

    void takePhotoPiece(const QString& client, const QByteArray& piece, PhoneLinkSession::Millis now)
    {
        const auto result = m_session.takePhotoPiece(client.toStdString(), bytesOf(piece), receiveDirectory(), now);
        if (result.transferDropped)
            qCWarning(lcPhoneLink) << "photo from" << client << "dropped: larger than"
                                   << PhotoChannel::DEFAULT_BUFFER_LIMIT << "bytes without an end marker";
        if (!result.counted.empty()) {
            // The count changes as the photo completes, before it is written.
            const std::uint64_t count = result.counted.back();
            QMetaObject::invokeMethod(m_link, [link = m_link, count] { link->showCount(count); },
                                      Qt::QueuedConnection);
        }
    }

    void forget(bool photos, const QString& client)
    {
        const std::string connection = client.toStdString();
        if (photos) {
            // A photo cut off by a dropped connection is let go rather than
            // glued in front of the next photo the phone sends.
            if (const std::size_t dropped = m_session.forgetPhotoConnection(connection))
                qCWarning(lcPhoneLink) << "unfinished photo from" << client << "dropped:" << dropped
                                       << "bytes, the connection closed before its end marker";
        } else if (const std::size_t dropped = m_session.forgetCommandConnection(connection)) {
            qCWarning(lcPhoneLink) << "unfinished name message from" << client << "dropped:" << dropped
                                   << "bytes, the connection closed before its marker";
        }
    }

    // Network thread. A photo waiting for a late name is looked at again
    // once that name can no longer come.
    void settle(bool all = false)
    {
        auto jobs = all ? m_session.settle() : m_session.settle(steadyMillis());
        for (StoreJob& job : jobs) {
            if (job.kind == StoreJob::Kind::Photo) {
                std::lock_guard lock(m_mutex);
                m_pieceTimes[job.count] = m_pieceTaken;
            }
            m_writer.push(std::move(job));
        }
        if (m_session.jobsWaiting() && !m_settleScheduled) {
            m_settleScheduled = true;
            QTimer::singleShot(PhotoNaming::QUIET_MS + 5, m_context, [this] {
                m_settleScheduled = false;
                settle();
            });
        }
    }

    // On the writer thread. Returns when the newest photo's preview, not
    // decoded yet, is due.
    std::optional<PhotoWriter::Clock::time_point> written(StoreJob& job, const StoreResult& result)
    {
        if (job.kind == StoreJob::Kind::ListEntry) {
            if (!result.ok())
                qCWarning(lcPhoneLink) << "name-list entry not made:" << QString::fromStdString(result.detail);
            return m_previewDue;
        }
        PhotoTimes times;
        times.count = job.count;
        times.stored = steadyNanos();
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_pieceTimes.find(job.count);
            if (found != m_pieceTimes.end()) {
                times.pieceTaken = found->second;
                m_pieceTimes.erase(found);
            }
        }
        qCDebug(lcPhoneLink) << "photo" << job.count << ":" << job.photo.size() << "bytes,"
                             << QString::fromStdString(result.shownName);
        if (!result.ok())
            qCWarning(lcPhoneLink) << "photo not stored:" << QString::fromStdString(result.detail);
        // Decoding takes many times longer than storing, and a burst's
        // decodes took the cores the phone's bytes needed. A photo that
        // comes sooner than PREVIEW_INTERVAL after the last decode leaves
        // the box's picture as it is; it is decoded when that interval is
        // over, unless a newer photo has come by then.
        QImage preview;
        const auto now = PhotoWriter::Clock::now();
        const bool decoded = now - m_lastDecode >= PREVIEW_INTERVAL;
        if (decoded) {
            preview = decodePreview(job.photo);
            m_lastDecode = now;
        }
        times.decoded = steadyNanos();
        auto photo = std::make_shared<const std::string>(std::move(job.photo));
        if (decoded) {
            m_undecoded.reset();
            m_previewDue.reset();
        } else {
            m_undecoded = Undecoded{job.count, photo};
            m_previewDue = m_lastDecode + PREVIEW_INTERVAL;
        }
        const QString name = QString::fromStdString(result.shownName);
        QMetaObject::invokeMethod(m_link, [link = m_link, count = job.count, name, ok = result.ok(), photo,
                                           preview, decoded, times] {
            link->showStored(count, name, ok, photo, decoded ? std::optional<QImage>(preview) : std::nullopt, times);
        }, Qt::QueuedConnection);
        return m_previewDue;
    }

    // On the writer thread, once the newest photo's preview is due and no
    // newer photo has come.
    void decodeWaitingPreview()
    {
        if (!m_undecoded)
            return;
        const Undecoded waiting = *std::exchange(m_undecoded, std::nullopt);
        m_previewDue.reset();
        m_lastDecode = PhotoWriter::Clock::now();
        const QImage preview = decodePreview(*waiting.photo);
        QMetaObject::invokeMethod(m_link, [link = m_link, count = waiting.count, preview] {
            link->showPreview(count, preview);
        }, Qt::QueuedConnection);
    }

    PhoneLink* m_link;
    // The servers may go before the phone link; their thread stays until
    // the link is done with it.
    std::shared_ptr<void> m_holdThread;
    QObject* m_context; // lives on the network thread
    PhoneLinkSession m_session; // network thread only
    std::int64_t m_pieceTaken = 0;
    std::uint64_t m_commandBytes = 0;
    std::uint64_t m_photoBytes = 0;
    mutable bool m_heldBack = false;
    bool m_settleScheduled = false;
    std::atomic<bool> m_stopped{false};
    // Writer thread only: the last decode, and the newest photo when its
    // preview is still to be decoded.
    struct Undecoded {
        std::uint64_t count;
        std::shared_ptr<const std::string> photo;
    };
    PhotoWriter::Clock::time_point m_lastDecode;
    std::optional<Undecoded> m_undecoded;
    std::optional<PhotoWriter::Clock::time_point> m_previewDue;
    mutable std::mutex m_mutex;
    std::filesystem::path m_receiveDirectory;
    QString m_phoneAddress;
    std::map<std::uint64_t, std::int64_t> m_pieceTimes;
    // Last, so that it is gone, its thread ended, before what it calls.
    PhotoWriter m_writer;
};

PhoneLink::PhoneLink(QWidget* window, TcpServer* commandServer, TcpServer* photoServer,
                     platform::UserDialogs* dialogs, QObject* parent)
    : QObject(parent), m_window(window), m_commandServer(commandServer),
      m_photoServer(photoServer), m_dialogs(dialogs)
{
    TcpServer* server = m_commandServer ? m_commandServer.data() : m_photoServer.data();
    m_worker = std::make_unique<Worker>(this, server ? server->networkThread() : thread(),
                                        server ? server->holdNetworkThread() : nullptr);
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
    if (m_rosterCheck && !m_rosterCheck(text))
        return;
    const QString message = QStringLiteral("STAT||") + text + QStringLiteral("||END");
    const std::string gbk = platform::utf8ToGbk(message.toStdString());
    if (!m_commandServer->send(phone, QByteArray(gbk.data(), static_cast<qsizetype>(gbk.size()))))
        qCWarning(lcPhoneLink) << "roster not sent: the phone at" << phone << "has gone";
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
void PhoneLink::showStored(std::uint64_t count, const QString& name, bool ok,
                           std::shared_ptr<const std::string> photo, const std::optional<QImage>& preview,
                           PhotoTimes times)
{
    const std::int64_t start = steadyNanos();
    if (auto* box = control<widgets::PictureBox>(m_window, u"图片框3")) {
        // The box keeps the photo's own bytes rather than a copy; they stay
        // in m_shownPhoto until the next photo has replaced them in the box.
        const QByteArray bytes = QByteArray::fromRawData(photo->data(), static_cast<qsizetype>(photo->size()));
        // A photo of a burst whose preview was not decoded leaves the
        // picture as it is until the next one is.
        box->setPicture(bytes, preview ? *preview : box->image());
        m_shownPhoto = std::move(photo);
    }
    if (auto* fileName = control<QLabel>(m_window, u"标签11")) {
        QPalette palette = fileName->palette();
        if (ok) {
            fileName->setText(name);
            palette.setColor(QPalette::WindowText, m_fileNameColour);
        } else {
            fileName->setText(QStringLiteral("保存失败：") + name);
            palette.setColor(QPalette::WindowText, Qt::red);
        }
        fileName->setPalette(palette);
    }
    times.count = count;
    times.shown = steadyNanos();
    times.windowTime = times.shown - start;
    m_lastShown = count;
    ++m_shownTotal;
    Q_EMIT photoShown(times);
}

} // namespace velmora::link
