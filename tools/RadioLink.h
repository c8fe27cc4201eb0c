#pragma once

// A phone on Wi-Fi as the PC sees it. The phone's write() returns as soon as
// the bytes fit into the connection's send buffer (phones keep megabytes
// there), long before they have crossed the air; both connections then share
// one radio, their bytes leaving in packets, taken in turn into a small
// interface queue that empties at the link's rate. So a name message written
// after a photo can reach the PC while much of the photo is still on its way.
//
// Everything runs on the caller's thread: the radio sends while the caller
// waits in write(), run() or drain(), which is all a phone does between its
// writes anyway.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTcpSocket>

#include <deque>
#include <functional>
#include <vector>

namespace velmora::tools {

class RadioLink {
public:
    // `bytesPerSecond` is shared by all connections; each connection buffers
    // up to `sendBuffer` bytes not yet sent.
    RadioLink(double bytesPerSecond, qint64 sendBuffer);

    // Takes a connected socket onto the link and keeps its kernel send buffer
    // small, so that the emulated buffer is what holds the bytes. Returns the
    // connection's number for write().
    int add(QTcpSocket& socket);

    // A phone's blocking write: returns once all of `bytes` are in the
    // connection's send buffer. False when the connection failed or no room
    // came free for `timeoutMs`.
    bool write(int connection, const QByteArray& bytes, int timeoutMs);
    // Takes a connection off the link as if its phone had lost it: bytes
    // still in its send buffer or queued for the air are never sent, and a
    // connection that closed fails nothing any more.
    void forget(int connection);
    // Holds back the bytes written to `connection` from now on until
    // `delayMs` after the next byte written to `after` has gone on the air:
    // a lost segment sent again after a retransmission timeout. Bytes
    // written behind them on `connection` wait with them, as TCP delivers in
    // order; `after` goes on meanwhile.
    void holdBack(int connection, int after, int delayMs);
    // Keeps the radio sending for `ms` milliseconds.
    void run(int ms);
    // Sends everything buffered; false when the connection failed or nothing
    // could be sent for `timeoutMs`.
    bool drain(int timeoutMs);

    QString errorString() const { return m_error; }

private:
    struct Connection {
        QTcpSocket* socket = nullptr;
        QByteArray bytes; // the send buffer: bytes from `sent` on are still to go
        qsizetype sent = 0;
        qint64 removed = 0; // bytes of the connection's stream let go in front of `bytes`
        qint64 aired = 0;   // bytes of the stream handed to the socket
        qint64 buffered() const { return bytes.size() - sent; }
        qint64 written() const { return removed + bytes.size(); }
    };
    struct Hold {
        int connection = 0;
        qint64 from = 0;        // the first byte of its stream held back
        int after = 0;
        qint64 afterByte = 0;   // the byte of `after`'s stream it waits for
        qint64 delayNs = 0;
        qint64 releasedAt = -1; // once that byte has gone on the air
    };
    struct Packet {
        int connection = 0;
        QByteArray bytes;
    };

    // Runs the radio until `done` holds (true) or `timeoutMs` pass without
    // `done` (false); with `progressResets`, each packet sent restarts the
    // wait.
    bool runUntil(const std::function<bool()>& done, int timeoutMs, bool progressResets);
    // Takes packets from the send buffers in turn until the interface queue
    // is full. A connection whose socket still holds bytes (the PC is not
    // reading) offers none, as TCP would not send past the PC's window.
    void fillQueue();
    // Hands the packet at the head of the queue to its socket once its air
    // time is over; false when it is not yet due.
    bool sendDue(qint64 now);
    bool drained() const;
    // Lets go of the holds that are over at `now`, and starts the delay of
    // those whose byte has gone on the air.
    void updateHolds(qint64 now);
    // How many bytes `connection` may offer now: up to its first held byte.
    qint64 offerable(int connection) const;
    // Notes that nothing could be sent in time; returns false.
    bool timedOut(int timeoutMs);
    bool failed();

    double m_nsPerByte;
    qint64 m_sendBuffer;
    std::vector<Connection> m_connections;
    std::deque<Packet> m_queue;
    std::deque<Hold> m_holds;
    std::size_t m_nextTurn = 0;
    QElapsedTimer m_clock;
    qint64 m_airFreeAt = 0; // when the radio has sent the packet at the head
    QString m_error;
};

} // namespace velmora::tools
