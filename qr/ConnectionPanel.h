#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace velmora::qr {

// The PC's IPv4 addresses as texts, in the platform's order.
using AddressSource = std::function<std::vector<std::string>()>;

// The addresses a phone on the LAN can reach: interfaces up and running, not
// loopback, not link-local, not a container's or virtual machine's adapter.
std::vector<std::string> lanAddresses();

// Fills 编辑框1 and 图片框1 of the main window once, on a worker thread of its
// own, with the address lines, the address's QR code and the instructions.
class ConnectionPanel : public QObject {
    Q_OBJECT
public:
    ConnectionPanel(QWidget* window, AddressSource addresses, QObject* parent = nullptr);
    ~ConnectionPanel() override;

    // Starts the worker thread; returns at once.
    void start();

Q_SIGNALS:
    // The last update has reached the window.
    void filled();

private:
    QWidget* m_window;
    AddressSource m_addresses;
};

} // namespace velmora::qr
