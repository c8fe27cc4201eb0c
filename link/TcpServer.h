#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace velmora::link {

class TcpServerWorker;

// A TCP server for one of the phone's channels. The sockets live on a network
// thread of their own that reads each socket as soon as data arrives, so that
// a piece is what one read returned even while the GUI thread is busy; the
// events reach the GUI thread one at a time, in arrival order.
//
// A client address names one connection for the whole run, e.g.
// "192.168.1.20:53122". A client that leaves produces clientDisconnected,
// after every piece it sent.
class TcpServer : public QObject {
    Q_OBJECT
public:
    explicit TcpServer(QObject* parent = nullptr);
    ~TcpServer() override;

    void setPort(quint16 port);
    // Starts listening on every IPv4 address of the PC. Returns false when
    // the port cannot be bound (for example, another program holds it).
    bool listen();
    // The port listened on (the one the system chose when the port was 0),
    // or 0 when not listening.
    quint16 serverPort() const;

    // Queues `bytes` for the connection `client`; returns false when that
    // connection is unknown or already closed.
    bool send(const QString& client, const QByteArray& bytes);
    // Whether `client` names a connection that is still open.
    bool isConnected(const QString& client) const;

    // Received bytes handed to the GUI thread but not yet handled there.
    // Reading stops while this passes the limit, so a phone that sends faster
    // than the program stores waits in TCP's own flow control instead of
    // filling memory.
    static constexpr qint64 IN_FLIGHT_LIMIT = 64 * 1024 * 1024;
    // Bytes read and not yet handled on the GUI thread; inside a dataArrived
    // handler the piece being handled is counted too.
    qint64 bytesWaiting() const;

    // From now on, whenever this server reads a piece, whatever `earlier`
    // has already received is read and handed on before that piece (nullptr:
    // no longer). The phone writes a photo's end marker and only then the
    // next photo's name on the other connection; this keeps the name from
    // overtaking the marker when the photo connection is read late (its
    // reading paused while the GUI thread catches up, or its thread not yet
    // run). Both servers must live on the same thread.
    void readFirst(TcpServer* earlier);

Q_SIGNALS:
    void clientConnected(const QString& client);
    void dataArrived(const QString& client, const QByteArray& piece);
    void clientDisconnected(const QString& client);

private:
    void deliverPiece(const QString& client, const QByteArray& piece);

    void forgetFirst();

    quint16 m_port = 0;
    QPointer<TcpServer> m_first;
    QList<QPointer<TcpServer>> m_readBefore; // servers that read this one first
    QThread* m_thread = nullptr;
    TcpServerWorker* m_worker = nullptr;
    std::shared_ptr<std::atomic<qint64>> m_inFlight;
};

} // namespace velmora::link
