#pragma once

#include "qr/ConnectionPanel.h"

#include <QString>
#include <QWidget>

#include <memory>

namespace velmora::platform { class UserDialogs; }
namespace velmora::link { class PhoneLink; class TcpServer; }
namespace velmora::roster { class RosterPanel; }
namespace velmora::registry { class CheckWindow; }

namespace velmora::app {

class PhoneStatus;
class PhotoVerdict;
class QrZoom;
class Settings;

struct MainWindowOptions {
    quint16 commandPort = 3456;   // 0: the system picks a free port (tests)
    quint16 photoPort = 3455;
    QString settingsFile;         // "": the program's directory + "/set.ini"
    platform::UserDialogs* dialogs = nullptr; // nullptr: the platform's own
    qr::AddressSource addresses;  // empty: the PC's LAN addresses
    QString downloadLookupUrl;    // "": the built-in download-lookup address
    bool startPanel = true;       // false: leave the connection panel empty
    // Where photos wait while the receive folder cannot take them; "": the
    // user's profile (platform/HoldingFolder.h). Tests point it elsewhere.
    QString holdingFolder;
    int holdingRetryMs = 3000;    // how often the receive folder is looked at again meanwhile
};

// The main window "Velmora-PC端10.1": a fixed layout of named controls, the
// two phone servers, and the bindings of every event to its panel.
// Constructing it runs the start-up: both servers listening, the receive
// directory restored from the settings, the connection panel being filled.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Client area; with the standard frame the window is 669 x 480.
    static constexpr int CLIENT_WIDTH = 653;
    static constexpr int CLIENT_HEIGHT = 441;
    static constexpr int OUTER_WIDTH = 669;
    static constexpr int OUTER_HEIGHT = 480;

    explicit MainWindow(MainWindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    link::TcpServer* commandServer() const { return m_commandServer; }
    link::TcpServer* photoServer() const { return m_photoServer; }
    qr::ConnectionPanel* connectionPanel() const { return m_connectionPanel; }

private Q_SLOTS:
    void chooseReceiveDirectory();          // 按钮2
    void keepTrailingSeparator();           // 目录编辑框1 changed
    void openReceiveDirectory();            // 按钮6
    void openDownloadDialog();              // 按钮5
    void openCheckWindow();                 // 按钮7

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void bindEvents();
    void startUp();
    void setReceiveDirectoryText(const QString& text);
    void showHeldInCheckWindow();

    MainWindowOptions m_options;
    std::unique_ptr<platform::UserDialogs> m_ownDialogs;
    platform::UserDialogs* m_dialogs = nullptr;
    std::unique_ptr<Settings> m_settings;
    link::TcpServer* m_commandServer = nullptr;
    link::TcpServer* m_photoServer = nullptr;
    link::PhoneLink* m_phoneLink = nullptr;
    roster::RosterPanel* m_rosterPanel = nullptr;
    qr::ConnectionPanel* m_connectionPanel = nullptr;
    QrZoom* m_zoom = nullptr;
    PhoneStatus* m_phoneStatus = nullptr;
    PhotoVerdict* m_verdict = nullptr;
    registry::CheckWindow* m_checkWindow = nullptr;
    QString m_lastExportFolder; // "" before the run's first export
};

} // namespace velmora::app
