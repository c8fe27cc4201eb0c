#include "link/TcpServerWorker.h"

#include "link/TcpServer.h"
#include "platform/KeepAlive.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

Q_LOGGING_CATEGORY(lcTcpServer, "velmora.tcp")

namespace velmora::link {
namespace {

// Bytes Qt may hold per connection before it stops reading from the system;
// beyond it the phone is held back by TCP's own flow control.
constexpr qint64 SOCKET_BUFFER = 1024 * 1024;
// The most one round takes from one connection. Small enough that a name
// message that reached the PC beside a photo is taken before much more of
// the photo; large enough that rounds cost nothing next to the bytes.
constexpr qint64 PIECE_LIMIT = 256 * 1024;
// How soon reading resumes after a receiver could take no more.
constexpr int RESUME_INTERVAL_MS = 5;

} // namespace

NetworkThread::NetworkThread()
{
    thread.setObjectName(QStringLiteral("network"));
    rounds = new ReadRounds;
    rounds->moveToThread(&thread);
    thread.start();
}

NetworkThread::~NetworkThread()
{
    ReadRounds* doomed = rounds;
    QMetaObject::invokeMethod(doomed, [doomed] { delete doomed; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

ReadRounds::ReadRounds() = default;

void ReadRounds::add(TcpServerWorker* worker)
{
    m_workers.append(worker);
}

void ReadRounds::remove(TcpServerWorker* worker)
{
    m_workers.removeAll(worker);
}

void ReadRounds::wake()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    // Queued, so that the sockets' own notifications run before the round:
    // whatever reached the PC meanwhile on any connection is in it.
    QMetaObject::invokeMethod(this, &ReadRounds::round, Qt::QueuedConnection);
}

void ReadRounds::round()
{
    m_scheduled = false;
    for (TcpServerWorker* worker : std::as_const(m_workers)) {
        if (!worker->canTake()) {
            if (!m_resume) {
                m_resume = new QTimer(this);
                m_resume->setSingleShot(true);
                m_resume->setInterval(RESUME_INTERVAL_MS);
                connect(m_resume, &QTimer::timeout, this, &ReadRounds::wake);
            }
            if (!m_resume->isActive())
                m_resume->start();
            return;
        }
    }
    bool more = false;
    const QList<TcpServerWorker*> workers = m_workers;
    for (TcpServerWorker* worker : workers)
        more = worker->readRound() || more;
    for (TcpServerWorker* worker : workers)
        worker->endRound();
    if (more)
        wake();
}

TcpServerWorker::TcpServerWorker(ReadRounds* rounds, std::shared_ptr<std::atomic<qint64>> inFlight)
    : m_rounds(rounds), m_inFlight(std::move(inFlight))
{
}

TcpServerWorker::~TcpServerWorker()
{
    m_rounds->remove(this);
}

bool TcpServerWorker::listen(quint16 port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &TcpServerWorker::acceptConnections);
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
        if (m_order.size() >= TcpServer::CONNECTION_LIMIT) {
            qCWarning(lcTcpServer) << "connection from" << socket->peerAddress().toString() << "to port"
                                   << m_server->serverPort() << "refused:" << m_order.size() << "already open";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setParent(this);
        socket->setReadBufferSize(SOCKET_BUFFER);
        // A phone gone out of reach mid-photo closes nothing: the system's
        // probes end its connection, and the half photo with it.
        if (!platform::setKeepAlive(socket->socketDescriptor()))
            qCWarning(lcTcpServer) << "keep-alive not set for" << socket->peerAddress().toString();
        const QString name = nameFor(socket);
        m_names.insert(socket, name);
        m_sockets.insert(name, socket);
        m_order.append(socket);
        {
            QMutexLocker lock(&m_openMutex);
            m_open.insert(name);
        }
        connect(socket, &QTcpSocket::readyRead, m_rounds, &ReadRounds::wake);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_closing.insert(socket);
            m_rounds->wake();
        });
        // The connected event goes first; bytes that came with the connection
        // are read in the next round.
        if (m_receiver)
            m_receiver->clientConnected(name);
        Q_EMIT clientConnected(name);
        m_rounds->wake();
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

bool TcpServerWorker::canTake() const
{
    return m_receiver ? m_receiver->canTake() : m_inFlight->load() < TcpServer::IN_FLIGHT_LIMIT;
}

bool TcpServerWorker::readRound()
{
    // What has reached the PC by now counts, not only what the event loop
    // has seen: a connection still waiting to be accepted, or bytes the
    // system holds, are taken first, so that the servers read earlier in a
    // round really come first (a phone's first photo bytes before the names
    // it sent after them).
    if (m_server && m_server->isListening())
        m_server->waitForNewConnection(0);
    bool more = false;
    const QList<QTcpSocket*> sockets = m_order;
    for (QTcpSocket* socket : sockets) {
        if (socket->bytesAvailable() == 0 && !m_closing.contains(socket))
            socket->waitForReadyRead(0);
        if (!m_names.contains(socket))
            continue; // closed while being looked at
        if (socket->bytesAvailable() > 0) {
            const QByteArray piece = socket->read(PIECE_LIMIT);
            if (!piece.isEmpty()) {
                const QString& name = m_names[socket];
                if (m_receiver) {
                    m_receiver->pieceArrived(name, piece);
                } else {
                    m_inFlight->fetch_add(piece.size());
                    Q_EMIT pieceArrived(name, piece);
                }
            }
        }
        if (socket->bytesAvailable() > 0)
            more = true;
        else if (m_closing.contains(socket))
            forget(socket); // whatever the phone sent before it closed was handed on
    }
    return more;
}

void TcpServerWorker::endRound()
{
    if (m_receiver)
        m_receiver->roundEnded();
}

void TcpServerWorker::forget(QTcpSocket* socket)
{
    const QString name = m_names.take(socket);
    m_sockets.remove(name);
    m_closing.remove(socket);
    m_order.removeAll(socket);
    {
        QMutexLocker lock(&m_openMutex);
        m_open.remove(name);
    }
    socket->deleteLater();
    if (m_receiver)
        m_receiver->clientDisconnected(name);
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
