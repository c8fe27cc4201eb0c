#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace velmora::link {

class TcpServerWorker;
struct NetworkThread;

// Takes a server's events on its network thread instead of the thread that
// owns the server (see TcpServer::setReceiver).
class PieceReceiver {
public:
    virtual ~PieceReceiver() = default;
    // False holds back the reading of every server on the thread: the rest
    // waits in the system, and TCP's flow control holds the sender back.
    virtual bool canTake() const = 0;
    virtual void clientConnected(const QString& client) = 0;
    virtual void pieceArrived(const QString& client, const QByteArray& piece) = 0;
    // After the connection's last piece.
    virtual void clientDisconnected(const QString& client) = 0;
    // After every round of reads (one piece from each connection that had
    // bytes, in the servers' order).
    virtual void roundEnded() = 0;
};

// A TCP server for one of the phone's channels. The sockets live on a network
// thread that reads in rounds: each round takes at most one piece from every
// connection that has bytes, server by server in the order the servers were
// made on that thread, so that a large photo never hides the name message
// that came beside it. The events reach the owning thread one at a time, in
// the order they were read.
//
// A client address names one connection for the whole run, e.g.
// "192.168.1.20:53122". A client that leaves produces clientDisconnected,
// after every piece it sent.
class TcpServer : public QObject {
    Q_OBJECT
public:
    // A server with a network thread of its own.
    explicit TcpServer(QObject* parent = nullptr);
    // A server on `readBefore`'s network thread, whose connections are read
    // after `readBefore`'s in each round.
    explicit TcpServer(TcpServer* readBefore, QObject* parent = nullptr);
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

    // Hands this server's pieces to `receiver` on the network thread instead
    // of dataArrived; connections coming and going reach it there too, and
    // are still signalled. Set before listen(); the receiver must stay until
    // it is taken away again or the server is destroyed.
    void setReceiver(PieceReceiver* receiver);
    QThread* networkThread() const;
    // Keeps the network thread running while held, also once every server
    // on it is gone.
    std::shared_ptr<void> holdNetworkThread() const { return m_thread; }

    // Connections one server keeps open at once. A school points a few
    // phones at a PC; each connection holds a read buffer of up to 1 MiB,
    // so a device on the LAN that opens connections without end is refused
    // (closed at once, and logged) beyond this.
    static constexpr int CONNECTION_LIMIT = 32;

    // Received bytes handed to the owning thread but not yet handled there.
    // Reading stops while this passes the limit, so a phone that sends faster
    // than the program handles waits in TCP's own flow control instead of
    // filling memory.
    static constexpr qint64 IN_FLIGHT_LIMIT = 64 * 1024 * 1024;
    // Bytes read and not yet handled; inside a dataArrived handler the piece
    // being handled is counted too.
    qint64 bytesWaiting() const;

Q_SIGNALS:
    void clientConnected(const QString& client);
    void dataArrived(const QString& client, const QByteArray& piece);
    void clientDisconnected(const QString& client);

private:
    void deliverPiece(const QString& client, const QByteArray& piece);

    quint16 m_port = 0;
    std::shared_ptr<NetworkThread> m_thread;
    TcpServerWorker* m_worker = nullptr;
    std::shared_ptr<std::atomic<qint64>> m_inFlight;
};

} // namespace velmora::link
