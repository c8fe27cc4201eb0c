#pragma once

// Plays the phone app against a PC: connects to its command and photo ports,
// prints each roster message the PC sends, and sends photos under given names
// the way the phone does (a name message, then the 4-byte header, the photo
// and, in a write of its own, the end marker 02 02 02 02).

#include <QByteArray>
#include <QString>
#include <QTcpSocket>
#include <QTextStream>

#include <QElapsedTimer>
#include <QMap>
#include <QSet>

#include <optional>

#include <memory>
#include <string>
#include <vector>

namespace velmora::tools {

struct SimulatorOptions {
    QString host = QStringLiteral("127.0.0.1");
    quint16 commandPort = 3456;
    quint16 photoPort = 3455;
    qint64 pieceSize = 0;          // bytes per write of a photo; 0: one write
    int piecePauseMs = 0;          // pause between two writes of a photo
    int gapMs = 20;                // pause after each name message and each photo
    bool mergeMarker = false;      // end marker in the same write as the photo's end
    QByteArray header = QByteArray(4, '\0');
    int timeoutMs = 10000;         // for connecting and for each write
    // A phone on Wi-Fi: both connections share a radio link of this many
    // MB/s, each with a send buffer of `sendBuffer` bytes. 0: bytes go
    // straight to the sockets.
    double linkRateMBps = 0;
    qint64 sendBuffer = 2 * 1024 * 1024;
    // The phone's own address (a second phone on one PC: 127.0.0.2); empty:
    // whatever the system picks.
    QString from;
    // What a school day does to the photos of these numbers (from 1, in the
    // order sent): cut off half-way by a broken connection and sent again
    // whole on a new one with no new name; left half-way on a connection that
    // goes silent without closing (out of Wi-Fi reach), the phone going on
    // with the next photo on a new connection; named, then the shot cancelled
    // and nothing sent for CANCEL_QUIET_MS.
    QSet<int> resendAt;
    QSet<int> stallAt;
    QSet<int> cancelAt;
    // Photo number -> milliseconds: that photo's name message reaches the
    // PC this long after the photo's first bytes, as when a segment of the
    // small message was lost on Wi-Fi and sent again after a retransmission
    // timeout while the photo flowed on. On the radio link the name is held
    // on the air, and the names behind it wait with it; without one the
    // phone writes it that late.
    QMap<int, int> lateNameMs;
};

class RadioLink;

class PhoneSimulator {
public:
    PhoneSimulator(SimulatorOptions options, QTextStream& out, QTextStream& err);
    ~PhoneSimulator();

    static constexpr int CANCEL_QUIET_MS = 1500;

    // Connects to both ports; false (with a message on err) when either fails.
    bool connectToPc();
    // Sends one photo under `name` (levels separated by "\"); false when the
    // connection failed.
    bool sendPhoto(const QString& name, const QByteArray& photo);
    // Prints the roster messages that arrive within `ms` milliseconds (-1:
    // until the PC closes the connection), stopping early once `count`
    // rosters have been printed in all (0: no early stop). Returns the number
    // printed in all.
    int listenForRosters(int ms, int count);
    // Waits until every byte written has left the emulated send buffers (at
    // once without a radio link); false when a connection failed.
    bool finishSending();

    // The name message for `name`: "STAT||" and the name's UTF-8 bytes,
    // percent-encoded except for letters, digits and "-_.~".
    static QByteArray nameMessage(const QString& name);

private:
    bool connectSocket(QTcpSocket& socket, quint16 port);
    // Writes half of `transfer`, lets the photo connection go (closed, or
    // left open and silent) and opens a new one.
    bool breakOff(const QByteArray& transfer, bool closeIt);
    // Photo `number`'s name message, held back when it is to be late.
    bool writeName(int number, const QString& name);
    bool sendTransfer(const QByteArray& transfer);
    bool write(QTcpSocket& socket, const QByteArray& bytes);
    // Without a radio link: the name message held back for a late name.
    // Its clock starts with its photo's first bytes; it is written once it
    // is due (at once with `wait`, after waiting for it).
    void startHeldName();
    bool writeHeldName(bool wait);
    void printRosters();
    void pause(int ms);

    SimulatorOptions m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    QTcpSocket m_command;
    std::unique_ptr<QTcpSocket> m_photo;
    std::vector<std::unique_ptr<QTcpSocket>> m_silent; // connections left open, never written again
    std::unique_ptr<RadioLink> m_radio; // null: no Wi-Fi emulated
    int m_commandOnRadio = 0;
    int m_photoOnRadio = 0;
    std::string m_received; // GBK bytes not yet printed
    int m_rosters = 0;
    int m_photosSent = 0;
    struct HeldName {
        QByteArray message;
        int ms = 0;
        QElapsedTimer since; // started by the photo's first bytes
    };
    std::optional<HeldName> m_heldName;
};

} // namespace velmora::tools
