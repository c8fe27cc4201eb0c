#pragma once

#include "app/RosterRecipient.h"

#include <QObject>
#include <QString>

class QLabel;
class QWidget;

namespace velmora::platform { class UserDialogs; }
namespace velmora::link { class PhoneLink; class TcpServer; }

namespace velmora::app {

// 标签14 in 分组框2: whether a phone is connected to the command port and
// which ("手机已连接：192.168.1.23", "手机未连接"), and where the last roster
// went ("名册已发送到 192.168.1.23（40 行）"). It also asks before a roster
// goes to a device other than the one of last time (see RosterRecipient).
class PhoneStatus : public QObject {
    Q_OBJECT
public:
    // `window` is the main window with its 标签14; the phone link asks this
    // before every roster it sends.
    PhoneStatus(QWidget* window, link::TcpServer* commandServer, link::PhoneLink* phoneLink,
                platform::UserDialogs* dialogs, QObject* parent = nullptr);

    // Whether the roster may go to `client`: true at once when no other
    // device connected since the last roster was sent, else the user's
    // answer to a question naming both devices.
    bool confirmRecipient(const QString& client);

private:
    void phoneConnected(const QString& client);
    void phoneLeft(const QString& client);
    void rosterSent(const QString& client, const QString& roster);
    void show();

    QWidget* m_window;
    platform::UserDialogs* m_dialogs;
    QLabel* m_label = nullptr;
    RosterRecipient m_recipient;
    QString m_phone;     // the latest connection, "" once it has closed
    QString m_sentLine;  // "" before the first roster
};

} // namespace velmora::app
