#include "link/TcpServer.h"

#include "link/TcpServerWorker.h"

namespace velmora::link {

TcpServer::TcpServer(QObject* parent) : TcpServer(nullptr, parent) {}

TcpServer::TcpServer(TcpServer* readBefore, QObject* parent)
    : QObject(parent),
      m_thread(readBefore ? readBefore->m_thread : std::make_shared<NetworkThread>()),
      m_inFlight(std::make_shared<std::atomic<qint64>>(0))
{
    ReadRounds* rounds = m_thread->rounds;
    m_worker = new TcpServerWorker(rounds, m_inFlight);
    m_worker->moveToThread(&m_thread->thread);
    TcpServerWorker* worker = m_worker;
    QMetaObject::invokeMethod(rounds, [rounds, worker] { rounds->add(worker); }, Qt::BlockingQueuedConnection);
    // Queued: the worker's signals cross to this thread, where Qt hands them
    // out one at a time in the order they were sent.
    connect(m_worker, &TcpServerWorker::clientConnected, this, &TcpServer::clientConnected,
            Qt::QueuedConnection);
    connect(m_worker, &TcpServerWorker::pieceArrived, this, &TcpServer::deliverPiece,
            Qt::QueuedConnection);
    connect(m_worker, &TcpServerWorker::clientDisconnected, this, &TcpServer::clientDisconnected,
            Qt::QueuedConnection);
}

TcpServer::~TcpServer()
{
    TcpServerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
}

void TcpServer::setPort(quint16 port)
{
    m_port = port;
}

bool TcpServer::listen()
{
    bool ok = false;
    const quint16 port = m_port;
    TcpServerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, port, &ok] { ok = worker->listen(port); },
                              Qt::BlockingQueuedConnection);
    return ok;
}

quint16 TcpServer::serverPort() const
{
    quint16 port = 0;
    TcpServerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, &port] { port = worker->serverPort(); },
                              Qt::BlockingQueuedConnection);
    return port;
}

void TcpServer::setReceiver(PieceReceiver* receiver)
{
    TcpServerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, receiver] { worker->setReceiver(receiver); },
                              Qt::BlockingQueuedConnection);
}

QThread* TcpServer::networkThread() const
{
    return &m_thread->thread;
}

bool TcpServer::send(const QString& client, const QByteArray& bytes)
{
    if (!m_worker->isConnected(client))
        return false;
    TcpServerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, client, bytes] { worker->send(client, bytes); },
                              Qt::QueuedConnection);
    return true;
}

bool TcpServer::isConnected(const QString& client) const
{
    return m_worker->isConnected(client);
}

qint64 TcpServer::bytesWaiting() const
{
    return m_inFlight->load();
}

void TcpServer::deliverPiece(const QString& client, const QByteArray& piece)
{
    Q_EMIT dataArrived(client, piece);
    m_inFlight->fetch_sub(piece.size());
}

} // namespace velmora::link
