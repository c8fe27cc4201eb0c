#pragma once

#include <QObject>

class QWidget;

namespace velmora::platform { class UserDialogs; }

namespace velmora::link {

class TcpServer;

// The phone link as the main window sees it: the command channel on the
// first server, the photo channel on the second, and the roster send.
class PhoneLink : public QObject {
    Q_OBJECT
public:
    // `window` is the main window; its controls are found by name.
    PhoneLink(QWidget* window, TcpServer* commandServer, TcpServer* photoServer,
              platform::UserDialogs* dialogs, QObject* parent = nullptr);
    ~PhoneLink() override;

public Q_SLOTS:
    // Click on 按钮1: send the roster to the phone.
    void sendRoster();

private:
    QWidget* m_window;
    TcpServer* m_commandServer;
    TcpServer* m_photoServer;
    platform::UserDialogs* m_dialogs;
};

} // namespace velmora::link
