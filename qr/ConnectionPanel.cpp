#include "qr/ConnectionPanel.h"

namespace velmora::qr {

std::vector<std::string> lanAddresses()
{
    return {};
}

ConnectionPanel::ConnectionPanel(QWidget* window, AddressSource addresses, QObject* parent)
    : QObject(parent), m_window(window), m_addresses(std::move(addresses))
{
}

ConnectionPanel::~ConnectionPanel() = default;

void ConnectionPanel::start() {}

} // namespace velmora::qr
