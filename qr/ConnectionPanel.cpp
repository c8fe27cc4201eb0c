#include "qr/ConnectionPanel.h"

#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"
#include "platform/Codepage.h"
#include "platform/DefaultRoute.h"
#include "qr/NetworkAdapter.h"
#include "qr/QrPicture.h"

#include <QByteArray>
#include <QHostAddress>
#include <QImage>
#include <QNetworkInterface>
#include <QThread>
#include <QWidget>

#include <optional>

namespace velmora::qr {
namespace {

// The small code in the main window is drawn at level H with the widest
// border the picture allows: a phone reads it off a screen at 96 x 96.
constexpr std::int32_t PANEL_CONFIGURE1 = 0;
constexpr std::int32_t PANEL_CONFIGURE2 = 9;
constexpr double PANEL_APPEARANCE = 0.3;

QString addressLine(const std::string& address)
{
    return QStringLiteral("本机IP：") + QString::fromStdString(platform::gbkToUtf8(address))
        + QStringLiteral("\r\n");
}

QString instructions()
{
    return QStringLiteral("\r\n操作方法:\r\n1.手机WIFI连接上与本电脑在同一局域网路由器\r\n"
                          "2.将本机IP填写到手机端软件的地址框,并点击'连接'按钮");
}

NetworkAdapter adapterOf(const QNetworkInterface& networkInterface, std::optional<int> defaultRoute)
{
    NetworkAdapter adapter;
    adapter.name = networkInterface.name().toStdString();
    adapter.description = networkInterface.humanReadableName().toStdString();
    const auto flags = networkInterface.flags();
    adapter.up = flags.testFlag(QNetworkInterface::IsUp);
    adapter.running = flags.testFlag(QNetworkInterface::IsRunning);
    adapter.loopback = flags.testFlag(QNetworkInterface::IsLoopBack)
        || networkInterface.type() == QNetworkInterface::Loopback;
    adapter.virtualKind = networkInterface.type() == QNetworkInterface::Virtual;
    adapter.defaultRoute = defaultRoute == networkInterface.index();
    for (const QNetworkAddressEntry& entry : networkInterface.addressEntries()) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            adapter.ipv4.push_back(entry.ip().toString().toStdString());
    }
    return adapter;
}

} // namespace

std::vector<std::string> lanAddresses()
{
    const std::optional<int> defaultRoute = platform::defaultRouteInterface();
    std::vector<NetworkAdapter> adapters;
    for (const QNetworkInterface& networkInterface : QNetworkInterface::allInterfaces())
        adapters.push_back(adapterOf(networkInterface, defaultRoute));
    return lanAddressesOf(adapters);
}

ConnectionPanel::ConnectionPanel(QWidget* window, AddressSource addresses, QObject* parent)
    : QObject(parent), m_window(window), m_addresses(std::move(addresses))
{
}

ConnectionPanel::~ConnectionPanel()
{
    // Updates still queued for the GUI thread die with this object.
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void ConnectionPanel::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] { fill(); });
    m_thread->setObjectName(QStringLiteral("ConnectionPanel"));
    m_thread->start();
}

void ConnectionPanel::fill()
{
    std::vector<std::string> addresses;
    try {
        if (m_addresses)
            addresses = m_addresses();
    } catch (const std::exception&) {
        // An address list that cannot be read lists no address; the
        // instructions still tell the user how to connect.
    }
    for (const std::string& address : addresses) {
        post([this, line = addressLine(address)] { appendText(line); });
        const std::vector<std::uint8_t> picture =
            MakeQrPicture(address, PANEL_CONFIGURE1, PANEL_CONFIGURE2, PANEL_APPEARANCE);
        const QByteArray bytes(reinterpret_cast<const char*>(picture.data()),
                               static_cast<qsizetype>(picture.size()));
        // Decoded here so the GUI thread only swaps the picture in.
        const QImage image = QImage::fromData(bytes, "BMP");
        post([this, bytes, image] { showPicture(bytes, image); });
    }
    post([this] {
        appendText(instructions());
        Q_EMIT filled();
    });
}

void ConnectionPanel::post(std::function<void()> update)
{
    // Queued calls to one receiver from one thread run in the order posted.
    QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

void ConnectionPanel::appendText(const QString& text)
{
    auto* box = m_window ? m_window->findChild<widgets::CrlfTextEdit*>(QStringLiteral("编辑框1")) : nullptr;
    if (box)
        box->appendCrlfText(text);
}

void ConnectionPanel::showPicture(const QByteArray& bytes, const QImage& image)
{
    auto* box = m_window ? m_window->findChild<widgets::PictureBox*>(QStringLiteral("图片框1")) : nullptr;
    if (box)
        box->setPicture(bytes, image);
}

} // namespace velmora::qr
