#include "app/PhoneStatus.h"

#include "link/PhoneLink.h"
#include "link/TcpServer.h"
#include "platform/UserDialogs.h"
#include "roster/RosterCheck.h"

#include <QLabel>
#include <QWidget>

namespace velmora::app {
namespace {

QString deviceOf(const QString& client)
{
    return QString::fromStdString(RosterRecipient::deviceOf(client.toStdString()));
}

} // namespace

PhoneStatus::PhoneStatus(QWidget* window, link::TcpServer* commandServer, link::PhoneLink* phoneLink,
                         platform::UserDialogs* dialogs, QObject* parent)
    : QObject(parent), m_window(window), m_dialogs(dialogs),
      m_label(window->findChild<QLabel*>(QStringLiteral("标签14")))
{
    connect(commandServer, &link::TcpServer::clientConnected, this, &PhoneStatus::phoneConnected);
    connect(commandServer, &link::TcpServer::clientDisconnected, this, &PhoneStatus::phoneLeft);
    connect(phoneLink, &link::PhoneLink::rosterSent, this, &PhoneStatus::rosterSent);
    phoneLink->setRecipientCheck([this](const QString& client) { return confirmRecipient(client); });
    show();
}

bool PhoneStatus::confirmRecipient(const QString& client)
{
    const QString other = QString::fromStdString(m_recipient.otherDevice(client.toStdString()));
    if (other.isEmpty())
        return true;
    const QString target = deviceOf(client);
    const QString before = m_recipient.lastSentTo().empty()
        ? QStringLiteral("有两台设备连接过本机：%1，以及最新连接的 %2。").arg(other, target)
        : QStringLiteral("上次名册发送到了 %1，之后 %2 连接了本机。").arg(other, target);
    const QString text = before
        + QStringLiteral("\n这次名册将发送到最新连接的 %1。\n\n"
                         "名册里有学生的身份证号，请确认 %1 是拍照用的手机再发送。").arg(target);
    return m_dialogs->askToProceed(m_window, text, QStringLiteral("发送到 %1").arg(target),
                                   QStringLiteral("不发送"));
}

void PhoneStatus::phoneConnected(const QString& client)
{
    m_recipient.connected(client.toStdString());
    m_phone = client;
    show();
}

// Only the latest connection counts: the roster goes nowhere else.
void PhoneStatus::phoneLeft(const QString& client)
{
    if (client != m_phone)
        return;
    m_phone.clear();
    show();
}

void PhoneStatus::rosterSent(const QString& client, const QString& roster)
{
    m_recipient.sent(client.toStdString());
    // Rows as the phone counts them, as 标签15 and the send check do.
    const auto rows = static_cast<qulonglong>(roster::rosterRowCount(roster.toStdString()));
    m_sentLine = QStringLiteral("名册已发送到 %1（%2 行）").arg(deviceOf(client)).arg(rows);
    show();
}

void PhoneStatus::show()
{
    if (!m_label)
        return;
    QString lines = (m_phone.isEmpty() ? QStringLiteral("手机未连接")
                                       : QStringLiteral("手机已连接：") + deviceOf(m_phone)).toHtmlEscaped();
    if (!m_sentLine.isEmpty())
        lines += QStringLiteral("<br>") + m_sentLine.toHtmlEscaped();
    // Two lines of the 11-pixel font in 28 pixels: the CJK faces space
    // their lines wider, which would cut the second line off.
    m_label->setText(QStringLiteral("<p style=\"margin:0; line-height:13px; -qt-line-height-type:fixed\">%1</p>")
                         .arg(lines));
}

} // namespace velmora::app
