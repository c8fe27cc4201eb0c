#include "link/TcpServer.h"

#include "link/TcpServerWorker.h"

#include <QThread>

namespace velmora::link {

TcpServer::TcpServer(QObject* parent)
    : QObject(parent), m_inFlight(std::make_shared<std::atomic<qint64>>(0))
{
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("network"));
    m_worker = new TcpServerWorker(m_inFlight);
    m_worker->moveToThread(m_thread);
    // Queued: the worker's signals cross to the GUI thread, where Qt hands
    // them out one at a time in the order they were sent.
    connect(m_worker, &TcpServerWorker::clientConnected, this, &TcpServer::clientConnected,
            Qt::QueuedConnection);
    connect(m_worker, &TcpServerWorker::pieceArrived, this, &TcpServer::deliverPiece,
            Qt::QueuedConnection);
    connect(m_worker, &TcpServerWorker::clientDisconnected, this, &TcpServer::clientDisconnected,
            Qt::QueuedConnection);
    m_thread->start();
}

TcpServer::~TcpServer()
{
    // Servers that read this one first must stop before its worker goes.
    for (const QPointer<TcpServer>& later : std::as_const(m_readBefore)) {
        if (later)
            later->forgetFirst();
    }
    readFirst(nullptr);
    TcpServerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void TcpServer::readFirst(TcpServer* earlier)
{
    if (m_first)
        m_first->m_readBefore.removeAll(QPointer<TcpServer>(this));
    m_first = earlier;
    if (earlier)
        earlier->m_readBefore.append(QPointer<TcpServer>(this));
    m_worker->setReadFirst(earlier ? earlier->m_worker : nullptr);
}

void TcpServer::forgetFirst()
{
    m_first = nullptr;
    m_worker->setReadFirst(nullptr);
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
