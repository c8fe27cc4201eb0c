#pragma once

#include "link/PhoneLinkSession.h"

#include <QByteArray>
#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QTimer;
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

    // When the handling of a photo piece reached each step, in nanoseconds of
    // std::chrono::steady_clock, for the benchmarks that time a photo from
    // its end marker to the preview.
    struct PhotoTimes {
        std::uint64_t count = 0;  // the photo count of the photo shown
        std::int64_t pieceTaken = 0;   // the piece's handling began
        std::int64_t stored = 0;       // the photos were cut out and stored
        std::int64_t decoded = 0;      // the preview was decoded
        std::int64_t shown = 0;        // 图片框3 and 标签11 show the photo
    };

    // Asked with the roster once the box is not empty and a phone is
    // connected, before anything is sent: false sends nothing. Without one
    // the roster is sent as it stands.
    void setRosterCheck(std::function<bool(const QString& roster)> check) { m_rosterCheck = std::move(check); }

Q_SIGNALS:
    // After a piece completed photos and the last of them is shown.
    void photoShown(const velmora::link::PhoneLink::PhotoTimes& times);

public Q_SLOTS:
    // Click on 按钮1: send the roster to the phone.
    void sendRoster();

private Q_SLOTS:
    void rememberPhone(const QString& client);
    void takeCommandPiece(const QString& client, const QByteArray& piece);
    void takePhotoPiece(const QString& client, const QByteArray& piece);
    void forgetCommandConnection(const QString& client);
    void forgetPhotoConnection(const QString& client);

private:
    std::filesystem::path receiveDirectory() const;
    void showPhoto(PhoneLinkSession::ReceivedPhoto& received, PhotoTimes& times, bool morePhotoBytes);
    void decodeDeferredPreview();

    QWidget* m_window;
    TcpServer* m_commandServer;
    TcpServer* m_photoServer;
    platform::UserDialogs* m_dialogs;
    PhoneLinkSession m_session;
    QColor m_fileNameColour;
    // The bytes 图片框3 shows: the box holds them without a copy of its own.
    std::unique_ptr<std::string> m_shownPhoto;
    // Set while 图片框3 holds a photo whose preview is not decoded yet.
    QTimer* m_previewTimer = nullptr;
    QElapsedTimer m_previewDeferredFor;
    std::function<bool(const QString& roster)> m_rosterCheck;
};

} // namespace velmora::link
