#include "tools/RadioLink.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace velmora::tools {
namespace {

// A TCP segment's payload in a 1500-byte Wi-Fi frame (with timestamps).
constexpr qsizetype PACKET_BYTES = 1448;
// The interface queue in packets: small, as a driver's queue with airtime
// fairness keeps it, so a name message waits milliseconds behind photo bytes,
// not seconds.
constexpr std::size_t QUEUE_PACKETS = 32;
// What the kernel may hold of a connection's bytes beyond the emulated
// buffer (Linux doubles the figure): small beside the emulated buffer, yet
// enough that a PC reading a few milliseconds late does not idle the link.
constexpr int KERNEL_SEND_BUFFER = 64 * 1024;
// A radio that fell behind (the process was not scheduled) catches up at most
// this much air time at once, rather than sending a long burst.
constexpr qint64 MOST_CATCH_UP_NS = 20'000'000;
// How often the radio looks again when it has nothing to send.
constexpr unsigned long IDLE_WAIT_US = 200;

} // namespace

RadioLink::RadioLink(double bytesPerSecond, qint64 sendBuffer)
    : m_nsPerByte(1e9 / bytesPerSecond), m_sendBuffer(std::max<qint64>(1, sendBuffer))
{
    m_clock.start();
}

int RadioLink::add(QTcpSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, KERNEL_SEND_BUFFER);
    m_connections.push_back({&socket, {}, 0});
    return static_cast<int>(m_connections.size() - 1);
}

void RadioLink::forget(int connection)
{
    Connection& gone = m_connections[static_cast<std::size_t>(connection)];
    gone.socket = nullptr;
    gone.bytes.clear();
    gone.sent = 0;
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                 [&](const Packet& packet) { return packet.connection == connection; }),
                  m_queue.end());
    // Its holds go with it; holds waiting for its bytes wait no longer.
    m_holds.erase(std::remove_if(m_holds.begin(), m_holds.end(),
                                 [&](const Hold& hold) { return hold.connection == connection; }),
                  m_holds.end());
    for (Hold& hold : m_holds) {
        if (hold.after == connection && hold.releasedAt < 0)
            hold.releasedAt = m_clock.nsecsElapsed() + hold.delayNs;
    }
}

void RadioLink::holdBack(int connection, int after, int delayMs)
{
    const Connection& held = m_connections[static_cast<std::size_t>(connection)];
    const Connection& awaited = m_connections[static_cast<std::size_t>(after)];
    m_holds.push_back({connection, held.written(), after, awaited.written(), qint64{delayMs} * 1'000'000, -1});
}

void RadioLink::updateHolds(qint64 now)
{
    for (Hold& hold : m_holds) {
        if (hold.releasedAt < 0 && m_connections[static_cast<std::size_t>(hold.after)].aired > hold.afterByte)
            hold.releasedAt = now + hold.delayNs;
    }
    m_holds.erase(std::remove_if(m_holds.begin(), m_holds.end(),
                                 [&](const Hold& hold) { return hold.releasedAt >= 0 && hold.releasedAt <= now; }),
                  m_holds.end());
}

qint64 RadioLink::offerable(int connection) const
{
    const Connection& offering = m_connections[static_cast<std::size_t>(connection)];
    qint64 limit = offering.buffered();
    for (const Hold& hold : m_holds) {
        if (hold.connection == connection)
            limit = std::min(limit, hold.from - (offering.removed + offering.sent));
    }
    return std::max<qint64>(0, limit);
}

bool RadioLink::write(int connection, const QByteArray& bytes, int timeoutMs)
{
    Connection& target = m_connections[static_cast<std::size_t>(connection)];
    qsizetype at = 0;
    for (;;) {
        const qint64 room = m_sendBuffer - target.buffered();
        if (room > 0 && at < bytes.size()) {
            const qsizetype take = static_cast<qsizetype>(std::min<qint64>(room, bytes.size() - at));
            if (target.sent > 0 && target.sent >= target.bytes.size() / 2) {
                target.removed += target.sent;
                target.bytes.remove(0, target.sent);
                target.sent = 0;
            }
            target.bytes.append(bytes.constData() + at, take);
            at += take;
        }
        if (at == bytes.size())
            return !failed();
        if (!runUntil([&] { return target.buffered() < m_sendBuffer; }, timeoutMs, false))
            return timedOut(timeoutMs);
    }
}

void RadioLink::run(int ms)
{
    runUntil([] { return false; }, ms, false);
}

bool RadioLink::drain(int timeoutMs)
{
    return runUntil([this] { return drained(); }, timeoutMs, true) || timedOut(timeoutMs);
}

bool RadioLink::timedOut(int timeoutMs)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("nothing could be sent for %1 ms").arg(timeoutMs);
    return false;
}

bool RadioLink::runUntil(const std::function<bool()>& done, int timeoutMs, bool progressResets)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (failed())
            return false;
        for (Connection& connection : m_connections) {
            if (connection.socket && connection.socket->bytesToWrite() > 0)
                connection.socket->flush();
        }
        updateHolds(m_clock.nsecsElapsed());
        fillQueue();
        if (done())
            return true;
        const qint64 now = m_clock.nsecsElapsed();
        if (sendDue(now)) {
            if (progressResets)
                deadline.setRemainingTime(timeoutMs);
            continue;
        }
        const qint64 left = deadline.remainingTimeNSecs();
        if (left <= 0)
            return false;
        qint64 waitNs = static_cast<qint64>(IDLE_WAIT_US) * 1000;
        if (!m_queue.empty())
            waitNs = m_airFreeAt + static_cast<qint64>(m_queue.front().bytes.size() * m_nsPerByte) - now;
        QThread::usleep(static_cast<unsigned long>(std::max<qint64>(1, std::min(waitNs, left)) / 1000 + 1));
    }
}

void RadioLink::fillQueue()
{
    const std::size_t count = m_connections.size();
    std::size_t idle = 0; // turns in a row that offered nothing
    while (m_queue.size() < QUEUE_PACKETS && count > 0 && idle < count) {
        Connection& connection = m_connections[m_nextTurn];
        const int number = static_cast<int>(m_nextTurn);
        m_nextTurn = (m_nextTurn + 1) % count;
        const qint64 offered = connection.socket ? offerable(number) : 0;
        if (offered == 0 || connection.socket->bytesToWrite() > 0) {
            ++idle;
            continue;
        }
        idle = 0;
        if (m_queue.empty())
            m_airFreeAt = std::max(m_airFreeAt, m_clock.nsecsElapsed());
        const qsizetype take = static_cast<qsizetype>(std::min<qint64>(PACKET_BYTES, offered));
        m_queue.push_back({number, connection.bytes.mid(connection.sent, take)});
        connection.sent += take;
    }
}

bool RadioLink::sendDue(qint64 now)
{
    if (m_queue.empty())
        return false;
    const Packet& head = m_queue.front();
    const qint64 due = m_airFreeAt + static_cast<qint64>(head.bytes.size() * m_nsPerByte);
    if (now < due)
        return false;
    Connection& connection = m_connections[static_cast<std::size_t>(head.connection)];
    QTcpSocket& socket = *connection.socket;
    socket.write(head.bytes);
    connection.aired += head.bytes.size();
    socket.flush();
    m_airFreeAt = std::max(due, now - MOST_CATCH_UP_NS);
    m_queue.pop_front();
    return true;
}

bool RadioLink::drained() const
{
    return m_queue.empty() && std::all_of(m_connections.begin(), m_connections.end(), [](const Connection& c) {
        return !c.socket || (c.buffered() == 0 && c.socket->bytesToWrite() == 0);
    });
}

bool RadioLink::failed()
{
    for (const Connection& connection : m_connections) {
        if (connection.socket && connection.socket->state() != QAbstractSocket::ConnectedState) {
            if (m_error.isEmpty())
                m_error = connection.socket->errorString();
            return true;
        }
    }
    return false;
}

} // namespace velmora::tools
