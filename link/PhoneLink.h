#pragma once

#include "link/PhoneLinkSession.h"
#include "link/PhotoHolding.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace velmora::platform { class UserDialogs; }

namespace velmora::link {

class HoldingNotice;
class PhotoMemory;
class TcpServer;

// The phone link as the main window sees it. A photo's way runs in one
// direction: the network thread reads both servers and feeds the channels
// (PhoneLinkSession), the photo writer stores each photo on a thread of its
// own and decodes its preview, and the window only shows what comes back:
// the count when a photo completes, then its preview and file name once it
// is stored. The window thread never reads, stores or decodes a photo.
class PhoneLink : public QObject {
    Q_OBJECT
public:
    // The preview box's size: photos are decoded at most this large.
    static constexpr int PREVIEW_WIDTH = 168;
    static constexpr int PREVIEW_HEIGHT = 224;
    // Previews are decoded at most this often; the newest photo is always
    // decoded, at the latest this long after the one before.
    static constexpr std::chrono::milliseconds PREVIEW_INTERVAL{500};

    // Where photos wait that the receive folder cannot take, and how often
    // it is looked at again meanwhile (PhotoHolding.h).
    struct Holding {
        std::filesystem::path folder; // empty: none, photos wait in memory
        std::chrono::milliseconds retry{3000};
    };

    // `window` is the main window; its controls are found by name. The photo
    // server must read before the command server (made with it as
    // `readBefore`), so that the first bytes of a photo that reached the PC
    // before a name message are taken before that name.
    PhoneLink(QWidget* window, TcpServer* commandServer, TcpServer* photoServer,
              platform::UserDialogs* dialogs, Holding holding, QObject* parent = nullptr);
    // Stops reading and writes what is still waiting, for at most
    // CLOSING_BOUND: a photo counted is a photo on disk, unless the disk
    // has stopped answering.
    ~PhoneLink() override;
    static constexpr std::chrono::milliseconds CLOSING_BOUND{30000};

    // Stops taking bytes from the phone for good and waits until every photo
    // counted so far is on disk, at most `bound`; false when some were not
    // written yet.
    bool finishWriting(std::chrono::milliseconds bound);

    // What the channels hold now, read on the network thread; for the tests
    // and benchmarks.
    struct Figures {
        std::uint64_t photoCount = 0;
        std::string currentPhotoName; // GBK, of the last name message
        std::size_t commandBufferedBytes = 0;
        std::size_t namesWaiting = 0;
        std::size_t writerBytesWaiting = 0;
        std::uint64_t commandBytesTaken = 0; // by the channels, since the start
        std::uint64_t photoBytesTaken = 0;
        PhoneLinkSession::PhotoStats photos;
    };
    Figures figures() const;
    // The account of memory that work on the photos shown holds (the
    // window's verdict), counted in the bound on photos in memory.
    std::shared_ptr<PhotoMemory> photoMemory() const;
    // The photo count of the last photo stored and shown (0 before the first),
    // and how many photos were shown since the start.
    std::uint64_t lastShownCount() const { return m_lastShown; }
    std::uint64_t photosShown() const { return m_shownTotal; }
    // The photos held as the window last heard of them.
    const HoldingState& holding() const { return m_holding; }

    // When the handling of a photo reached each step, in nanoseconds of
    // std::chrono::steady_clock, for the benchmarks that time a photo from
    // its end marker to the preview.
    struct PhotoTimes {
        std::uint64_t count = 0;      // the photo count of the photo shown
        std::int64_t pieceTaken = 0;  // the piece that completed it was taken
        std::int64_t stored = 0;      // it was stored
        std::int64_t decoded = 0;     // its preview was decoded (or skipped)
        std::int64_t shown = 0;       // 图片框3 and 标签11 show it
        std::int64_t windowTime = 0;  // what showing it took the window thread
    };

    // Asked with the roster once the box is not empty and a phone is
    // connected, before anything is sent: false sends nothing. Without one
    // the roster is sent as it stands.
    void setRosterCheck(std::function<bool(const QString& roster)> check) { m_rosterCheck = std::move(check); }
    // Asked with the connection the roster would go to, before the roster
    // check: false sends nothing. Without one any connected phone gets it.
    void setRecipientCheck(std::function<bool(const QString& client)> check) { m_recipientCheck = std::move(check); }

    class Worker;

    // The photo 图片框3 and 标签11 show now, for whoever judges it.
    struct ShownPhoto {
        std::uint64_t count = 0;
        QString shownName;     // as 标签11 shows it
        QString stem;          // its file name without the extension
        QString folder;        // the folder it lies in under the receive folder, "" at the top
        StoreResult::Status status = StoreResult::Status::Stored;
        std::shared_ptr<const std::string> bytes;
    };

Q_SIGNALS:
    // A photo is shown, before photoShown.
    void photoArrived(const velmora::link::PhoneLink::ShownPhoto& photo);
    // After a stored photo is shown.
    void photoShown(const velmora::link::PhoneLink::PhotoTimes& times);
    // The roster `roster` (the box's CR LF text) was handed to the
    // connection `client`.
    void rosterSent(const QString& client, const QString& roster);
    // After the window has shown a change of the photos held.
    void holdingChanged(const velmora::link::HoldingState& state);

public Q_SLOTS:
    // Click on 按钮1: send the roster to the phone.
    void sendRoster();
    // Looks at the receive folder again at once for the photos held, off
    // the window thread.
    void lookAgain();

private:
    friend class Worker;
    void showCount(std::uint64_t count);
    // `preview` is empty when the photo's preview was not decoded.
    struct StoredWhere {
        QString stem;
        QString folder;
    };
    void showStored(std::uint64_t count, const QString& name, const StoredWhere& where, StoreResult::Status status,
                    std::shared_ptr<const std::string> photo, const std::optional<QImage>& preview,
                    PhotoTimes times);
    void showPreview(std::uint64_t count, const QImage& preview);
    void showFileName(const QString& prefix, const QString& name, bool failed);
    void showHolding(const HoldingState& state);

    QWidget* m_window;
    QPointer<TcpServer> m_commandServer;
    QPointer<TcpServer> m_photoServer;
    platform::UserDialogs* m_dialogs;
    QColor m_fileNameColour;
    // The bytes 图片框3 shows: the box holds them without a copy of its own.
    std::shared_ptr<const std::string> m_shownPhoto;
    std::uint64_t m_lastShown = 0;
    std::uint64_t m_shownTotal = 0;
    HoldingState m_holding;
    std::unique_ptr<HoldingNotice> m_holdingNotice;
    // 标签11's name while it shows a held photo, to show it stored once
    // the held photos are written.
    std::optional<QString> m_heldNameShown;
    std::function<bool(const QString& roster)> m_rosterCheck;
    std::function<bool(const QString& client)> m_recipientCheck;
    std::unique_ptr<Worker> m_worker;
};

} // namespace velmora::link
