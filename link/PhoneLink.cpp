#include "link/PhoneLink.h"

#include "link/TcpServer.h"

namespace velmora::link {

PhoneLink::PhoneLink(QWidget* window, TcpServer* commandServer, TcpServer* photoServer,
                     platform::UserDialogs* dialogs, QObject* parent)
    : QObject(parent), m_window(window), m_commandServer(commandServer),
      m_photoServer(photoServer), m_dialogs(dialogs)
{
}

PhoneLink::~PhoneLink() = default;

void PhoneLink::sendRoster()
{
}

} // namespace velmora::link
