#pragma once

// Plays the phone app against a PC: connects to its command and photo ports,
// prints each roster message the PC sends, and sends photos under given names
// the way the phone does (a name message, then the 4-byte header, the photo
// and, in a write of its own, the end marker 02 02 02 02).

#include <QByteArray>
#include <QString>
#include <QTcpSocket>
#include <QTextStream>

#include <string>

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
};

class PhoneSimulator {
public:
    PhoneSimulator(SimulatorOptions options, QTextStream& out, QTextStream& err);

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

    // The name message for `name`: "STAT||" and the name's UTF-8 bytes,
    // percent-encoded except for letters, digits and "-_.~".
    static QByteArray nameMessage(const QString& name);

private:
    bool write(QTcpSocket& socket, const QByteArray& bytes);
    void printRosters();
    static void pause(int ms);

    SimulatorOptions m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    QTcpSocket m_command;
    QTcpSocket m_photo;
    std::string m_received; // GBK bytes not yet printed
    int m_rosters = 0;
};

} // namespace velmora::tools
