#include "tools/PhoneSimulator.h"

#include "platform/Codepage.h"
#include "tools/RadioLink.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <string>

namespace velmora::tools {
namespace {

const QByteArray END_MARKER("\x02\x02\x02\x02", 4);
const QByteArray NAME_MARKER("STAT||");
// The roster is GBK text: its marks are searched by character, since a GBK
// trail byte can be "|".
const std::string ROSTER_START("STAT||");
const std::string ROSTER_END("||END");

} // namespace

PhoneSimulator::PhoneSimulator(SimulatorOptions options, QTextStream& out, QTextStream& err)
    : m_options(std::move(options)), m_out(out), m_err(err)
{
}

PhoneSimulator::~PhoneSimulator() = default;

bool PhoneSimulator::connectSocket(QTcpSocket& socket, quint16 port)
{
    if (!m_options.from.isEmpty() && !socket.bind(QHostAddress(m_options.from))) {
        m_err << "cannot send from " << m_options.from << ": " << socket.errorString() << Qt::endl;
        return false;
    }
    socket.connectToHost(m_options.host, port);
    if (socket.waitForConnected(m_options.timeoutMs)) {
        // Without this the end marker, a small write behind a larger one,
        // waits for the PC's delayed acknowledgement (some 40 ms), long
        // enough for the next photo's name message to overtake it on the
        // other connection: the photo would be stored under the next name.
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    m_err << "cannot connect to " << m_options.host << ':' << port << ": " << socket.errorString() << Qt::endl;
    return false;
}

bool PhoneSimulator::connectToPc()
{
    // The command channel first, as the phone does: connecting restarts the
    // PC's photo count.
    m_photo = std::make_unique<QTcpSocket>();
    if (!connectSocket(m_command, m_options.commandPort) || !connectSocket(*m_photo, m_options.photoPort))
        return false;
    if (m_options.linkRateMBps > 0) {
        m_radio = std::make_unique<RadioLink>(m_options.linkRateMBps * 1e6, m_options.sendBuffer);
        m_commandOnRadio = m_radio->add(m_command);
        m_photoOnRadio = m_radio->add(*m_photo);
    }
    return true;
}

bool PhoneSimulator::sendPhoto(const QString& name, const QByteArray& photo)
{
    const int number = ++m_photosSent;
    if (!writeName(number, name))
        return false;
    pause(m_options.gapMs);
    const QByteArray transfer = m_options.header + photo;
    if (m_options.cancelAt.contains(number)) {
        m_out << "cancelled " << name << Qt::endl;
        pause(CANCEL_QUIET_MS);
        startHeldName();
        return writeHeldName(true);
    }
    if (m_options.stallAt.contains(number)) {
        if (!breakOff(transfer, false) || !writeHeldName(true))
            return false;
        m_out << "lost " << name << " half-way, its connection silent" << Qt::endl;
        pause(m_options.gapMs);
        return true;
    }
    if (m_options.resendAt.contains(number)) {
        if (!breakOff(transfer, true))
            return false;
        m_out << "cut off " << name << " half-way, sending it again" << Qt::endl;
    }
    if (!sendTransfer(transfer) || !writeHeldName(true))
        return false;
    m_out << "sent " << name << " (" << photo.size() << " bytes)" << Qt::endl;
    printRosters();
    pause(m_options.gapMs);
    return true;
}

bool PhoneSimulator::writeName(int number, const QString& name)
{
    const auto late = m_options.lateNameMs.constFind(number);
    if (late == m_options.lateNameMs.constEnd())
        return write(m_command, nameMessage(name));
    if (!m_radio) {
        m_heldName = HeldName{nameMessage(name), late.value(), {}};
        return true;
    }
    m_radio->holdBack(m_commandOnRadio, m_photoOnRadio, late.value());
    return write(m_command, nameMessage(name));
}

bool PhoneSimulator::sendTransfer(const QByteArray& transfer)
{
    const qint64 piece = m_options.pieceSize > 0 ? m_options.pieceSize : transfer.size();
    for (qint64 at = 0; at < transfer.size(); at += piece) {
        QByteArray bytes = transfer.mid(at, piece);
        const bool last = at + piece >= transfer.size();
        if (last && m_options.mergeMarker)
            bytes += END_MARKER;
        if (!write(*m_photo, bytes))
            return false;
        startHeldName();
        if (!writeHeldName(false))
            return false;
        if (!last)
            pause(m_options.piecePauseMs);
    }
    return (m_options.mergeMarker || write(*m_photo, END_MARKER)) && writeHeldName(false);
}

void PhoneSimulator::startHeldName()
{
    if (m_heldName && !m_heldName->since.isValid())
        m_heldName->since.start();
}

bool PhoneSimulator::writeHeldName(bool wait)
{
    if (!m_heldName || !m_heldName->since.isValid())
        return true;
    const qint64 left = m_heldName->ms - m_heldName->since.elapsed();
    if (left > 0 && !wait)
        return true;
    pause(static_cast<int>(std::max<qint64>(0, left)));
    const QByteArray message = m_heldName->message;
    m_heldName.reset();
    return write(m_command, message);
}

bool PhoneSimulator::breakOff(const QByteArray& transfer, bool closeIt)
{
    if (!write(*m_photo, transfer.left(transfer.size() / 2)))
        return false;
    startHeldName();
    if (!finishSending())
        return false;
    if (m_radio)
        m_radio->forget(m_photoOnRadio);
    if (closeIt)
        m_photo->abort();
    else
        m_silent.push_back(std::move(m_photo));
    m_photo = std::make_unique<QTcpSocket>();
    if (!connectSocket(*m_photo, m_options.photoPort))
        return false;
    if (m_radio)
        m_photoOnRadio = m_radio->add(*m_photo);
    return true;
}

int PhoneSimulator::listenForRosters(int ms, int count)
{
    const QDeadlineTimer deadline = ms < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(ms);
    printRosters();
    while (!deadline.hasExpired() && (count <= 0 || m_rosters < count)) {
        if (m_command.state() != QAbstractSocket::ConnectedState && m_command.bytesAvailable() == 0)
            break;
        const qint64 left = deadline.remainingTime(); // -1: forever
        if (m_command.waitForReadyRead(static_cast<int>(left < 0 ? 1000 : std::min<qint64>(left, 1000))))
            printRosters();
    }
    return m_rosters;
}

bool PhoneSimulator::finishSending()
{
    if (m_radio && !m_radio->drain(m_options.timeoutMs)) {
        m_err << "send failed: " << m_radio->errorString() << Qt::endl;
        return false;
    }
    return true;
}

QByteArray PhoneSimulator::nameMessage(const QString& name)
{
    return NAME_MARKER + name.toUtf8().toPercentEncoding();
}

// Without a radio link, waits until the bytes have left, so that the next
// write is a write of its own on the wire, as the phone's are. On the radio
// link, returns once they fit into the send buffer, as a phone's write does.
bool PhoneSimulator::write(QTcpSocket& socket, const QByteArray& bytes)
{
    if (m_radio) {
        if (m_radio->write(&socket == &m_command ? m_commandOnRadio : m_photoOnRadio, bytes, m_options.timeoutMs))
            return true;
        m_err << "send failed: " << m_radio->errorString() << Qt::endl;
        return false;
    }
    if (socket.write(bytes) != bytes.size()) {
        m_err << "send failed: " << socket.errorString() << Qt::endl;
        return false;
    }
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(m_options.timeoutMs)) {
            m_err << "send failed: " << socket.errorString() << Qt::endl;
            return false;
        }
    }
    return true;
}

void PhoneSimulator::printRosters()
{
    const QByteArray arrived = m_command.readAll();
    m_received.append(arrived.constData(), static_cast<std::size_t>(arrived.size()));
    for (;;) {
        const std::size_t start = platform::gbkFind(m_received, ROSTER_START);
        const std::size_t end = start == std::string::npos
            ? std::string::npos : platform::gbkFind(m_received, ROSTER_END, start + ROSTER_START.size());
        if (end == std::string::npos)
            return;
        const std::string body = m_received.substr(start + ROSTER_START.size(), end - start - ROSTER_START.size());
        m_received.erase(0, end + ROSTER_END.size());
        ++m_rosters;
        const QStringList rows = QString::fromStdString(platform::gbkToUtf8(body)).split(QStringLiteral("\r\n"));
        m_out << "roster received (" << body.size() << " bytes, " << rows.size() << " rows):" << Qt::endl;
        for (const QString& row : rows)
            m_out << "  " << QString(row).replace(QLatin1Char('\t'), QStringLiteral(" | ")) << Qt::endl;
    }
}

void PhoneSimulator::pause(int ms)
{
    if (m_radio)
        m_radio->run(ms);
    else if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace velmora::tools
