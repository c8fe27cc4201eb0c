#pragma once

// Everything of the phone link that runs off the window thread: the channels
// on the network thread, fed by both servers, and the photo writer with its
// thread. It hands the window finished results only (see
// docs/photo-path.md).

#include "link/PhoneLink.h"
#include "link/PhoneLinkSession.h"
#include "link/PhotoHolding.h"
#include "link/PhotoMemory.h"
#include "link/PhotoWriter.h"
#include "link/TcpServer.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class QObject;
class QThread;

namespace velmora::link {

// Nanoseconds of std::chrono::steady_clock, for the photo times.
std::int64_t steadyNanos();

class PhoneLink::Worker {
public:
    Worker(PhoneLink* link, QThread* networkThread, std::shared_ptr<void> holdThread, const Holding& holding);
    ~Worker();

    // Any thread. A new receive directory is looked at at once, for the
    // photos held while the last one could not take them.
    void setReceiveDirectory(const QString& text);
    QString phoneAddress() const;
    // Looks at the receive folder again for the photos held, soon.
    void lookAgain();
    // Stops the channels for good; returns once no round is under way any
    // more and the photos still waiting for a late name have gone to the
    // writer, so that nothing new reaches it.
    void stopTaking();
    bool finish(std::chrono::milliseconds bound) { return m_writer.finish(bound); }
    void abandon() { m_writer.abandon(); }
    Figures figures() const;
    const std::shared_ptr<PhotoMemory>& photoMemory() const { return m_outside; }

    // The servers' events, on the network thread.
    struct Side : PieceReceiver {
        Side(Worker* worker, bool photos) : m_worker(worker), m_photos(photos) {}
        bool canTake() const override { return m_worker->canTake(); }
        void clientConnected(const QString& client) override;
        void pieceArrived(const QString& client, const QByteArray& piece) override
        {
            m_worker->take(m_photos, client, piece);
        }
        void clientDisconnected(const QString& client) override { m_worker->forget(m_photos, client); }
        void roundEnded() override { m_worker->settle(); }

        Worker* m_worker;
        bool m_photos;
    };
    Side commandSide{this, false};
    Side photoSide{this, true};

private:
    std::filesystem::path receiveDirectory() const;
    bool canTake() const;
    PhoneLinkSession::Millis readingMillis();
    void rememberPhone(const QString& client);
    void take(bool photos, const QString& client, const QByteArray& piece);
    void takeCommandPiece(const QString& client, const QByteArray& piece, PhoneLinkSession::Millis now);
    void takePhotoPiece(const QString& client, const QByteArray& piece, PhoneLinkSession::Millis now);
    void forget(bool photos, const QString& client);
    void settle(bool all = false);
    StoreResult keep(StoreJob& job);
    std::optional<PhotoWriter::Clock::time_point> written(StoreJob& job, const StoreResult& result);
    std::optional<PhotoWriter::Clock::time_point> idle();
    std::optional<PhotoWriter::Clock::time_point> nextDue() const;
    void decodeWaitingPreview();
    void reportHolding();

    PhoneLink* m_link;
    // The servers may go before the phone link; their thread stays until
    // the link is done with it.
    std::shared_ptr<void> m_holdThread;
    QObject* m_context; // lives on the network thread
    PhoneLinkSession m_session; // network thread only
    std::int64_t m_pieceTaken = 0;
    std::uint64_t m_commandBytes = 0;
    std::uint64_t m_photoBytes = 0;
    // While reading is held back for the writer, the naming's clock stands
    // still: bytes waiting in the system were not late, the PC was.
    mutable std::optional<PhoneLinkSession::Millis> m_heldSince;
    PhoneLinkSession::Millis m_heldFor = 0;
    bool m_settleScheduled = false;
    std::atomic<bool> m_stopped{false};
    // Writer thread only: the last decode, and the newest photo when its
    // preview is still to be decoded.
    struct Undecoded {
        std::uint64_t count;
        std::shared_ptr<const std::string> photo;
    };
    PhotoWriter::Clock::time_point m_lastDecode;
    std::optional<Undecoded> m_undecoded;
    std::optional<PhotoWriter::Clock::time_point> m_previewDue;
    // Writer thread only: photos the receive folder could not take, when
    // the folder is looked at again, and what the window was last told.
    PhotoHolding m_holding;
    const std::chrono::milliseconds m_retryInterval;
    std::optional<PhotoWriter::Clock::time_point> m_retryDue;
    std::optional<HoldingState> m_holdingShown;
    // Set with a new receive directory: look again now.
    std::atomic<bool> m_lookNow{false};
    // The bytes of photos held in memory only, which count against the
    // writer's bound: reading waits while they fill it.
    std::atomic<std::size_t> m_heldInMemory{0};
    // What the window's verdict holds of photos, counted with them.
    std::shared_ptr<PhotoMemory> m_outside;
    mutable std::mutex m_mutex;
    std::filesystem::path m_receiveDirectory;
    QString m_phoneAddress;
    std::map<std::uint64_t, std::int64_t> m_pieceTimes;
    // Last, so that it is gone, its thread ended, before what it calls.
    PhotoWriter m_writer;
};

} // namespace velmora::link
