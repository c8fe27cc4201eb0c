#include "link/PhoneLinkWorker.h"

#include "platform/Files.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <exception>
#include <string_view>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcPhoneLink)

namespace velmora::link {
namespace {

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
// 12-megapixel photo at full size takes far longer and holds far more. It is
// turned upright by its orientation tag, as the export turns it (a portrait
// shown lying sideways looked as if the phone had sent it wrong). The
// scaled size is of the picture as stored, before the turn: for a quarter
// turn the box's sides are swapped to fit the upright picture in it.
QImage decodePreview(const std::string& photo)
{
    QByteArray bytes = QByteArray::fromRawData(photo.data(), static_cast<qsizetype>(photo.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    const bool quarterTurn = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const int boxWidth = quarterTurn ? PhoneLink::PREVIEW_HEIGHT : PhoneLink::PREVIEW_WIDTH;
    const int boxHeight = quarterTurn ? PhoneLink::PREVIEW_WIDTH : PhoneLink::PREVIEW_HEIGHT;
    if (full.isValid() && (full.width() > boxWidth || full.height() > boxHeight))
        reader.setScaledSize(full.scaled(boxWidth, boxHeight, Qt::KeepAspectRatio));
    return reader.read();
}

} // namespace

std::int64_t steadyNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

PhoneLink::Worker::Worker(PhoneLink* link, QThread* networkThread, std::shared_ptr<void> holdThread,
                          const Holding& holding)
    : m_link(link), m_holdThread(std::move(holdThread)), m_context(new QObject),
      m_holding(holding.folder), m_retryInterval(holding.retry),
      m_writer([this](StoreJob& job, const StoreResult& result) { return written(job, result); },
               [this] { return idle(); }, PhotoWriter::DEFAULT_WAITING_LIMIT,
               [this](StoreJob& job) { return keep(job); })
{
    m_outside = std::make_shared<PhotoMemory>(
        [this] { return PhotoMemory::Elsewhere{m_writer.bytesWaiting(), m_heldInMemory}; }, m_writer.limit());
    m_context->moveToThread(networkThread);
}

PhoneLink::Worker::~Worker()
{
    m_outside->detach();
    QObject* context = m_context;
    QMetaObject::invokeMethod(context, [context] { delete context; }, Qt::BlockingQueuedConnection);
}

void PhoneLink::Worker::setReceiveDirectory(const QString& text)
{
    {
        std::lock_guard lock(m_mutex);
        m_receiveDirectory = std::filesystem::path(text.toStdU16String());
    }
    // Until the box has a folder there is nowhere to write held photos to.
    if (!text.isEmpty())
        lookAgain();
}

void PhoneLink::Worker::lookAgain()
{
    m_lookNow = true;
    m_writer.nudge();
}

QString PhoneLink::Worker::phoneAddress() const
{
    std::lock_guard lock(m_mutex);
    return m_phoneAddress;
}

void PhoneLink::Worker::stopTaking()
{
    m_stopped = true;
    QMetaObject::invokeMethod(m_context, [this] { settle(true); }, Qt::BlockingQueuedConnection);
}

PhoneLink::Figures PhoneLink::Worker::figures() const
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

void PhoneLink::Worker::Side::clientConnected(const QString& client)
{
    if (!m_photos)
        m_worker->rememberPhone(client);
}

std::filesystem::path PhoneLink::Worker::receiveDirectory() const
{
    std::lock_guard lock(m_mutex);
    return m_receiveDirectory;
}

bool PhoneLink::Worker::canTake() const
{
    if (m_stopped)
        return false;
    if (m_writer.bytesWaiting() + m_heldInMemory + m_outside->counted() >= m_writer.limit()) {
        if (!m_heldSince)
            m_heldSince = steadyMillis();
        return false;
    }
    return true;
}

// The naming's clock: the steady clock less the time reading was held back.
PhoneLinkSession::Millis PhoneLink::Worker::readingMillis()
{
    const PhoneLinkSession::Millis now = steadyMillis();
    if (m_heldSince)
        m_heldFor += now - *std::exchange(m_heldSince, std::nullopt);
    return now - m_heldFor;
}

void PhoneLink::Worker::rememberPhone(const QString& client)
{
    m_session.rememberPhone(client.toStdString());
    std::lock_guard lock(m_mutex);
    m_phoneAddress = client;
}

void PhoneLink::Worker::take(bool photos, const QString& client, const QByteArray& piece)
{
    const PhoneLinkSession::Millis now = readingMillis();
    m_pieceTaken = steadyNanos();
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

void PhoneLink::Worker::takeCommandPiece(const QString& client, const QByteArray& piece,
                                         PhoneLinkSession::Millis now)
{
    const auto result = m_session.takeCommandPiece(client.toStdString(), bytesOf(piece), receiveDirectory(), now);
    if (result.outcome == CommandChannel::Outcome::NameTaken) {
        for (const PhotoName& name : m_session.commandChannel().takenNames())
            qCDebug(lcPhoneLink) << "name message from" << client << ":" << QString::fromStdString(name.shown());
    }
    for (const PhotoName& name : result.namesRefused)
        qCWarning(lcPhoneLink) << "name message" << QString::fromStdString(name.shown()) << "of the phone at"
                               << QString::fromStdString(PhotoNaming::phoneOf(client.toStdString()))
                               << "let go: its names waiting for their photos already hold"
                               << PhotoNaming::WAITING_BYTES_LIMIT << "bytes";
    if (result.outcome == CommandChannel::Outcome::BufferDropped)
        qCWarning(lcPhoneLink) << "command bytes from" << client << "dropped: no name message within"
                               << CommandChannel::DEFAULT_BUFFER_LIMIT << "bytes";
}

void PhoneLink::Worker::takePhotoPiece(const QString& client, const QByteArray& piece,
                                       PhoneLinkSession::Millis now)
{
    const auto result = m_session.takePhotoPiece(client.toStdString(), bytesOf(piece), receiveDirectory(), now);
    if (result.transferDropped)
        qCWarning(lcPhoneLink) << "photo from" << client << "dropped: larger than"
                               << PhotoChannel::DEFAULT_BUFFER_LIMIT << "bytes without an end marker";
    if (result.transfersLetGo)
        qCWarning(lcPhoneLink) << "unfinished photo of" << QString::fromStdString(PhotoNaming::phoneOf(client.toStdString()))
                               << "let go: the phone goes on on a new photo connection";
    if (!result.counted.empty()) {
        // The count changes as the photo completes, before it is written.
        const std::uint64_t count = result.counted.back();
        QMetaObject::invokeMethod(m_link, [link = m_link, count] { link->showCount(count); },
                                  Qt::QueuedConnection);
    }
}

void PhoneLink::Worker::forget(bool photos, const QString& client)
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

// Network thread. A photo waiting for a late name is looked at again once
// that name can no longer come.
void PhoneLink::Worker::settle(bool all)
{
    auto jobs = all ? m_session.settle() : m_session.settle(readingMillis());
    for (StoreJob& job : jobs) {
        if (job.kind == StoreJob::Kind::Photo) {
            std::lock_guard lock(m_mutex);
            m_pieceTimes[job.count] = m_pieceTaken;
        }
        m_writer.push(std::move(job));
    }
    if (m_session.jobsWaiting() && !m_settleScheduled) {
        m_settleScheduled = true;
        QTimer::singleShot(PhotoNaming::LATE_MS + 5, m_context, [this] {
            m_settleScheduled = false;
            settle();
        });
    }
}

// On the writer thread: the job goes to the receive folder, or waits in the
// holding folder while the receive folder cannot take it.
StoreResult PhoneLink::Worker::keep(StoreJob& job)
{
    StoreResult result = m_holding.keep(job, receiveDirectory());
    reportHolding();
    return result;
}

// On the writer thread, with nothing to write: the preview put off, and
// another look at the receive folder for the photos held.
std::optional<PhotoWriter::Clock::time_point> PhoneLink::Worker::idle()
{
    const auto now = PhotoWriter::Clock::now();
    if (m_previewDue && now >= *m_previewDue)
        decodeWaitingPreview();
    if (m_lookNow.exchange(false) || (m_retryDue && now >= *m_retryDue)) {
        m_retryDue.reset();
        m_holding.retry(receiveDirectory());
        reportHolding();
    }
    return nextDue();
}

// The earlier of the preview's and the next look's times.
std::optional<PhotoWriter::Clock::time_point> PhoneLink::Worker::nextDue() const
{
    if (m_previewDue && m_retryDue)
        return std::min(*m_previewDue, *m_retryDue);
    return m_previewDue ? m_previewDue : m_retryDue;
}

// On the writer thread: the log's lines, the next look while photos are
// held, and the window told of any change.
void PhoneLink::Worker::reportHolding()
{
    for (const std::string& line : m_holding.takeLog())
        qCWarning(lcPhoneLink).noquote() << QString::fromStdString(line);
    m_heldInMemory = m_holding.memoryBytes();
    if (m_holding.empty())
        m_retryDue.reset();
    else if (!m_retryDue)
        m_retryDue = PhotoWriter::Clock::now() + m_retryInterval;
    HoldingState state = m_holding.state();
    if (m_holdingShown == state)
        return;
    m_holdingShown = state;
    QMetaObject::invokeMethod(m_link, [link = m_link, state = std::move(state)] { link->showHolding(state); },
                              Qt::QueuedConnection);
}

// On the writer thread. Returns when the newest photo's preview, not
// decoded yet, is due, or the held photos are looked at again.
std::optional<PhotoWriter::Clock::time_point> PhoneLink::Worker::written(StoreJob& job, const StoreResult& result)
{
    if (job.kind == StoreJob::Kind::ListEntry) {
        if (!result.ok())
            qCWarning(lcPhoneLink) << "name-list entry not made:" << QString::fromStdString(result.detail);
        return nextDue();
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
    if (!result.ok() && !result.held())
        qCWarning(lcPhoneLink) << "photo not stored:" << QString::fromStdString(result.detail);
    // Decoding takes many times longer than storing, and a burst's decodes
    // took the cores the phone's bytes needed. A photo that comes sooner
    // than PREVIEW_INTERVAL after the last decode leaves the box's picture
    // as it is; it is decoded when that interval is over, unless a newer
    // photo has come by then.
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
    // Where it lies in the receive folder, for the pairing with the roster
    // that names its student under the preview: a photo not written there
    // (held) is taken by its name alone.
    QString stem = QFileInfo(name).completeBaseName();
    QString folder;
    if (!result.target.empty()) {
        const std::filesystem::path relative = result.target.lexically_relative(receiveDirectory());
        stem = QString::fromStdString(platform::utf8FromPath(result.target.stem()));
        if (!relative.empty() && !relative.parent_path().empty())
            folder = QString::fromStdString(platform::utf8FromPath(relative.parent_path().filename()));
    }
    QMetaObject::invokeMethod(m_link, [link = m_link, count = job.count, name, stem, folder, status = result.status,
                                       photo, preview, decoded, times] {
        link->showStored(count, name, {stem, folder}, status, photo,
                         decoded ? std::optional<QImage>(preview) : std::nullopt, times);
    }, Qt::QueuedConnection);
    return nextDue();
}

// On the writer thread, once the newest photo's preview is due and no newer
// photo has come.
void PhoneLink::Worker::decodeWaitingPreview()
{
    m_previewDue.reset();
    if (!m_undecoded)
        return;
    const Undecoded waiting = *std::exchange(m_undecoded, std::nullopt);
    m_lastDecode = PhotoWriter::Clock::now();
    const QImage preview = decodePreview(*waiting.photo);
    QMetaObject::invokeMethod(m_link, [link = m_link, count = waiting.count, preview] {
        link->showPreview(count, preview);
    }, Qt::QueuedConnection);
}

} // namespace velmora::link
