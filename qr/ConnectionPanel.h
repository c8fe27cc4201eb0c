#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QByteArray;
class QImage;
class QString;
class QThread;
class QWidget;

namespace velmora::qr {

// The PC's IPv4 addresses as texts, in the platform's order.
using AddressSource = std::function<std::vector<std::string>()>;

// The addresses a phone on the LAN can reach: interfaces up and running, not
// loopback, not link-local, not a container's or virtual machine's adapter.
std::vector<std::string> lanAddresses();

// Fills 编辑框1 and 图片框1 of the main window once, on a worker thread of its
// own, with the address lines, the address's QR code and the instructions.
// The worker makes the texts and pictures; the window's controls are changed
// only on the GUI thread, in the order the worker made the updates. A panel
// destroyed while the worker runs waits for it and drops what is left.
class ConnectionPanel : public QObject {
    Q_OBJECT
public:
    ConnectionPanel(QWidget* window, AddressSource addresses, QObject* parent = nullptr);
    ~ConnectionPanel() override;

    // Starts the worker thread; returns at once. Only the first call counts:
    // the panel is filled once per run.
    void start();

Q_SIGNALS:
    // The last update has reached the window.
    void filled();

private:
    void fill();                                          // on the worker
    void post(std::function<void()> update);              // worker -> GUI thread
    void appendText(const QString& text);                 // GUI thread
    void showPicture(const QByteArray& bytes, const QImage& image); // GUI thread

    QWidget* m_window;
    AddressSource m_addresses;
    QThread* m_thread = nullptr;
};

} // namespace velmora::qr
