#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace velmora::link {

// The network-thread half of TcpServer: owns the listening socket and the
// connections, reads each connection as soon as it is readable and hands the
// pieces on by signal. Lives on TcpServer's network thread; the client set is
// also read from the GUI thread, under its mutex.
class TcpServerWorker : public QObject {
    Q_OBJECT
public:
    explicit TcpServerWorker(std::shared_ptr<std::atomic<qint64>> inFlight);
    ~TcpServerWorker() override;

    // Network thread only.
    bool listen(quint16 port);
    quint16 serverPort() const;
    void send(const QString& client, const QByteArray& bytes);

    // Any thread.
    bool isConnected(const QString& client) const;
    // Before each piece it hands on, this worker has `earlier` read and hand
    // on what its connections have received (nullptr: none). Returns once no
    // read of `earlier` is under way any more. Never both ways between two
    // workers: each would wait for the other.
    void setReadFirst(TcpServerWorker* earlier);

    // Network thread only: reads every connection now, what the system holds
    // for it included, and hands the pieces on.
    void readWaiting();

Q_SIGNALS:
    void clientConnected(const QString& client);
    void pieceArrived(const QString& client, const QByteArray& piece);
    // After the connection's last piece.
    void clientDisconnected(const QString& client);

private:
    void acceptConnections();
    void readSocket(QTcpSocket* socket, qint64 inFlightLimit);
    void readEarlierServer();
    void readPausedSockets();
    void forget(QTcpSocket* socket);
    QString nameFor(QTcpSocket* socket);

    QTcpServer* m_server = nullptr;
    QTimer* m_resumeTimer = nullptr;
    QHash<QTcpSocket*, QString> m_names;
    QHash<QString, QTcpSocket*> m_sockets;
    QSet<QTcpSocket*> m_paused;
    QSet<QString> m_usedNames;
    mutable QMutex m_openMutex;
    QSet<QString> m_open;
    std::shared_ptr<std::atomic<qint64>> m_inFlight;
    QMutex m_firstMutex;
    TcpServerWorker* m_first = nullptr;
};

} // namespace velmora::link
