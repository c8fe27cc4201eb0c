#pragma once

#include "link/PhoneLinkSession.h"

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QString>

#include <filesystem>

class QWidget;

namespace velmora::platform { class UserDialogs; }

namespace velmora::link {

class TcpServer;

// The phone link as the main window sees it: the command channel on the
// first server, the photo channel on the second, and the roster send. The
// decisions are PhoneLinkSession's; this class feeds it the servers' pieces,
// reads the receive directory and the roster from the window, and shows the
// count, the photo and its name.
class PhoneLink : public QObject {
    Q_OBJECT
public:
    // The preview box's size: photos are decoded at most this large.
    static constexpr int PREVIEW_WIDTH = 168;
    static constexpr int PREVIEW_HEIGHT = 224;

    // `window` is the main window; its controls are found by name.
    PhoneLink(QWidget* window, TcpServer* commandServer, TcpServer* photoServer,
              platform::UserDialogs* dialogs, QObject* parent = nullptr);
    ~PhoneLink() override;

    // The shared state, for the tests and benchmarks that count how often a
    // merged end marker was taken apart.
    const PhoneLinkSession& session() const { return m_session; }

public Q_SLOTS:
    // Click on 按钮1: send the roster to the phone.
    void sendRoster();

private Q_SLOTS:
    void rememberPhone(const QString& client);
    void takeCommandPiece(const QString& client, const QByteArray& piece);
    void takePhotoPiece(const QString& client, const QByteArray& piece);

private:
    std::filesystem::path receiveDirectory() const;
    void showPhoto(const PhoneLinkSession::ReceivedPhoto& received);

    QWidget* m_window;
    TcpServer* m_commandServer;
    TcpServer* m_photoServer;
    platform::UserDialogs* m_dialogs;
    PhoneLinkSession m_session;
    QColor m_fileNameColour;
};

} // namespace velmora::link
