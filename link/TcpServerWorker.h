#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace velmora::link {

class PieceReceiver;
class ReadRounds;

// The network thread that one or more servers share, with the rounds that
// read their connections.
struct NetworkThread {
    NetworkThread();
    ~NetworkThread();
    QThread thread;
    ReadRounds* rounds = nullptr; // lives on `thread`
};

// The network-thread half of TcpServer: owns the listening socket and the
// connections and hands on what the rounds read from them, by signal or to
// a receiver. The client set is also read from other threads, under its
// mutex.
class TcpServerWorker : public QObject {
    Q_OBJECT
public:
    TcpServerWorker(ReadRounds* rounds, std::shared_ptr<std::atomic<qint64>> inFlight);
    ~TcpServerWorker() override;

    // Network thread only.
    bool listen(quint16 port);
    quint16 serverPort() const;
    void send(const QString& client, const QByteArray& bytes);
    void setReceiver(PieceReceiver* receiver) { m_receiver = receiver; }
    bool canTake() const;
    // Reads at most one piece from each connection that has bytes; true when
    // bytes are left for another round.
    bool readRound();
    void endRound();

    // Any thread.
    bool isConnected(const QString& client) const;

Q_SIGNALS:
    void clientConnected(const QString& client);
    void pieceArrived(const QString& client, const QByteArray& piece);
    // After the connection's last piece.
    void clientDisconnected(const QString& client);

private:
    void acceptConnections();
    void forget(QTcpSocket* socket);
    QString nameFor(QTcpSocket* socket);

    ReadRounds* m_rounds;
    PieceReceiver* m_receiver = nullptr;
    QTcpServer* m_server = nullptr;
    QList<QTcpSocket*> m_order; // in the order they connected
    QHash<QTcpSocket*, QString> m_names;
    QHash<QString, QTcpSocket*> m_sockets;
    QSet<QTcpSocket*> m_closing;
    QSet<QString> m_usedNames;
    mutable QMutex m_openMutex;
    QSet<QString> m_open;
    std::shared_ptr<std::atomic<qint64>> m_inFlight;
};

// Reads the connections of every server on one network thread in rounds.
class ReadRounds : public QObject {
    Q_OBJECT
public:
    ReadRounds();
    // Network thread only.
    void add(TcpServerWorker* worker);
    void remove(TcpServerWorker* worker);
    // Some connection has bytes or has closed: a round follows soon.
    void wake();

private:
    void round();

    QList<TcpServerWorker*> m_workers;
    QTimer* m_resume = nullptr;
    bool m_scheduled = false;
};

} // namespace velmora::link
