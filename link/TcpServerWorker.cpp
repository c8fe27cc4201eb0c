#include "link/TcpServerWorker.h"

#include "link/TcpServer.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace velmora::link {
namespace {

// Bytes Qt may hold per connection before it stops reading from the system;
// beyond it the phone is held back by TCP's own flow control.
constexpr qint64 SOCKET_BUFFER = 4 * 1024 * 1024;
// How soon reading resumes after the GUI thread fell behind.
constexpr int RESUME_INTERVAL_MS = 5;
// Reading for another server's piece may pass the limit by this much: the
// bytes are needed ahead of that piece, and memory stays bounded.
constexpr qint64 READ_FIRST_ALLOWANCE = TcpServer::IN_FLIGHT_LIMIT;

} // namespace

TcpServerWorker::TcpServerWorker(std::shared_ptr<std::atomic<qint64>> inFlight)
    : m_inFlight(std::move(inFlight))
{
}

TcpServerWorker::~TcpServerWorker() = default;

bool TcpServerWorker::listen(quint16 port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &TcpServerWorker::acceptConnections);
        m_resumeTimer = new QTimer(this);
        m_resumeTimer->setInterval(RESUME_INTERVAL_MS);
        connect(m_resumeTimer, &QTimer::timeout, this, &TcpServerWorker::readPausedSockets);
    }
    if (m_server->isListening())
        m_server->close();
    return m_server->listen(QHostAddress::AnyIPv4, port);
}

quint16 TcpServerWorker::serverPort() const
{
    return m_server && m_server->isListening() ? m_server->serverPort() : 0;
}

void TcpServerWorker::acceptConnections()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        socket->setReadBufferSize(SOCKET_BUFFER);
        const QString name = nameFor(socket);
        m_names.insert(socket, name);
        m_sockets.insert(name, socket);
        {
            QMutexLocker lock(&m_openMutex);
            m_open.insert(name);
        }
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { readSocket(socket, TcpServer::IN_FLIGHT_LIMIT); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
        Q_EMIT clientConnected(name);
        // Bytes that came with the connection are read now, after the
        // connected event, so the handlers see the connection first.
        if (socket->bytesAvailable() > 0)
            readSocket(socket, TcpServer::IN_FLIGHT_LIMIT);
    }
}

QString TcpServerWorker::nameFor(QTcpSocket* socket)
{
    const QString base = socket->peerAddress().toString() + QLatin1Char(':')
        + QString::number(socket->peerPort());
    QString name = base;
    // The same address and port may come back later in the run; a suffix
    // keeps the name of every connection unique.
    for (int n = 2; m_usedNames.contains(name); ++n)
        name = base + QLatin1Char('#') + QString::number(n);
    m_usedNames.insert(name);
    return name;
}

void TcpServerWorker::readSocket(QTcpSocket* socket, qint64 inFlightLimit)
{
    if (!m_names.contains(socket))
        return;
    if (m_inFlight->load() >= inFlightLimit) {
        m_paused.insert(socket);
        if (!m_resumeTimer->isActive())
            m_resumeTimer->start();
        return;
    }
    const QByteArray piece = socket->readAll();
    if (piece.isEmpty())
        return;
    readEarlierServer();
    m_inFlight->fetch_add(piece.size());
    Q_EMIT pieceArrived(m_names.value(socket), piece);
}

void TcpServerWorker::readPausedSockets()
{
    if (m_inFlight->load() >= TcpServer::IN_FLIGHT_LIMIT)
        return;
    const QSet<QTcpSocket*> paused = std::exchange(m_paused, {});
    m_resumeTimer->stop();
    for (QTcpSocket* socket : paused)
        readSocket(socket, TcpServer::IN_FLIGHT_LIMIT);
}

void TcpServerWorker::setReadFirst(TcpServerWorker* earlier)
{
    QMutexLocker lock(&m_firstMutex);
    m_first = earlier;
}

// Holds the mutex while the earlier server reads, so that it cannot be
// cleared (and its worker deleted) half-way; the earlier worker's thread
// never waits for this one, so the wait always ends.
void TcpServerWorker::readEarlierServer()
{
    QMutexLocker lock(&m_firstMutex);
    if (TcpServerWorker* earlier = m_first)
        QMetaObject::invokeMethod(earlier, [earlier] { earlier->readWaiting(); }, Qt::BlockingQueuedConnection);
}

void TcpServerWorker::readWaiting()
{
    const qint64 limit = TcpServer::IN_FLIGHT_LIMIT + READ_FIRST_ALLOWANCE;
    const QList<QTcpSocket*> sockets = m_names.keys();
    for (QTcpSocket* socket : sockets) {
        // What Qt holds, then one read of what the system holds: the bytes
        // sent before the other server's piece. No more: a phone already
        // sending its next photo must not have that photo's end marker
        // handed on ahead of the name message that names it.
        readSocket(socket, limit);
        if (m_names.contains(socket) && m_inFlight->load() < limit) {
            socket->waitForReadyRead(0);
            readSocket(socket, limit);
        }
    }
}

void TcpServerWorker::forget(QTcpSocket* socket)
{
    if (!m_names.contains(socket))
        return;
    // Whatever the phone sent before it closed is still delivered.
    if (socket->bytesAvailable() > 0 && m_inFlight->load() < TcpServer::IN_FLIGHT_LIMIT)
        readSocket(socket, TcpServer::IN_FLIGHT_LIMIT);
    if (socket->bytesAvailable() > 0) {
        // Still held back: try again once the GUI thread has caught up.
        QTimer::singleShot(RESUME_INTERVAL_MS, this, [this, socket] { forget(socket); });
        return;
    }
    const QString name = m_names.take(socket);
    m_sockets.remove(name);
    m_paused.remove(socket);
    {
        QMutexLocker lock(&m_openMutex);
        m_open.remove(name);
    }
    socket->deleteLater();
    Q_EMIT clientDisconnected(name);
}

void TcpServerWorker::send(const QString& client, const QByteArray& bytes)
{
    if (QTcpSocket* socket = m_sockets.value(client))
        socket->write(bytes);
}

bool TcpServerWorker::isConnected(const QString& client) const
{
    QMutexLocker lock(&m_openMutex);
    return m_open.contains(client);
}

} // namespace velmora::link
