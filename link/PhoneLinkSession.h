#pragma once

// The phone-link state shared by the command and photo channels: where the
// roster goes, the names waiting for their photos, the current photo name and
// its name list, the photo count, the command buffer and one photo buffer per
// photo connection. Bytes in, results out: the network thread feeds it the
// pieces the servers deliver, with the time each arrived, and hands the
// store jobs it makes to the photo writer. It writes nothing itself.

#include "link/CommandChannel.h"
#include "link/PhotoChannel.h"
#include "link/PhotoNaming.h"
#include "link/PhotoStore.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::link {

class PhoneLinkSession {
public:
    struct Limits {
        std::size_t commandBuffer = CommandChannel::DEFAULT_BUFFER_LIMIT;
        // For each photo connection, and for all of them together.
        std::size_t photoBuffer = PhotoChannel::DEFAULT_BUFFER_LIMIT;
    };

    // Figures of the photo channel, over every photo connection so far.
    struct PhotoStats {
        std::uint64_t mergedAtFront = 0;     // see PhotoChannel::mergedAtFront
        std::uint64_t mergedAfterImage = 0;  // see PhotoChannel::mergedAfterImage
        std::uint64_t droppedTransfers = 0;  // over a limit, or their connection closed
        std::size_t bufferedBytes = 0;       // held now, all connections together
        std::size_t openTransfers = 0;       // connections holding a transfer's bytes
    };

    using Millis = PhotoNaming::Millis;

    struct CommandResult {
        CommandChannel::Outcome outcome = CommandChannel::Outcome::Waiting;
        // Set when the name-list step made a job for an entry.
        bool listEntry = false;
        // Names let go because the phone's names waiting held too much
        // (PhotoNaming::WAITING_BYTES_LIMIT), in the order they came.
        std::vector<PhotoName> namesRefused;
    };

    struct PhotoResult {
        // The photo count after each photo this piece completed, oldest first.
        std::vector<std::uint64_t> counted;
        bool transferDropped = false;      // a transfer passed the size limit
        // The phone's transfers on its other photo connections let go.
        std::size_t transfersLetGo = 0;
    };

    PhoneLinkSession() : PhoneLinkSession(Limits{}) {}
    explicit PhoneLinkSession(Limits limits);

    // A phone connected to the command channel: the roster goes to `client`
    // from now on, and the photo count starts again at 0.
    void rememberPhone(std::string client);
    // The client address the roster goes to; empty until a phone connects.
    const std::string& phoneAddress() const { return m_phoneAddress; }

    // One piece from the command channel, arrived at `now` (milliseconds of
    // a steady clock). Each name it completes goes to the photo naming.
    // Without a name message the name list is worked off: while the photo
    // count n is at most the number of names, a job makes entry n (counting
    // from 1) an empty file unless a file is there already, and the list is
    // emptied once n reaches or passes the number of names. `connection`
    // names the command connection the piece came from.
    CommandResult takeCommandPiece(const std::string& connection, std::string_view piece,
                                   const std::filesystem::path& receiveDirectory, Millis now = 0);
    CommandResult takeCommandPiece(std::string_view piece, const std::filesystem::path& receiveDirectory,
                                   Millis now = 0)
    {
        return takeCommandPiece(std::string(), piece, receiveDirectory, now);
    }
    // The command connection `connection` has closed. When the bytes waiting
    // for a marker came last from it, they are let go: a name cut off by a
    // dropped connection, or noise from something that was not the phone,
    // must not stand in front of the next name message. Returns the bytes
    // let go.
    std::size_t forgetCommandConnection(const std::string& connection);

    // One piece from the photo connection `connection` (any text naming it),
    // arrived at `now`. Each connection has a transfer of its own: several
    // phones, or a phone that reconnected, never mix their bytes. Each
    // completed photo is counted and waits, with `receiveDirectory`, for
    // settle(). When the connections together hold more than the photo
    // limit, this connection's transfer is dropped.
    PhotoResult takePhotoPiece(const std::string& connection, std::string_view piece,
                               const std::filesystem::path& receiveDirectory, Millis now = 0);
    // The same for a single, unnamed photo connection.
    PhotoResult takePhotoPiece(std::string_view piece, const std::filesystem::path& receiveDirectory,
                               Millis now = 0)
    {
        return takePhotoPiece(std::string(), piece, receiveDirectory, now);
    }

    // The jobs whose names are final at `now`, in order, each photo with its
    // name. A photo that began with no new name waits until its name message
    // came or LATE_MS passed after its first bytes (its name may be read after the
    // photo itself), and the jobs behind it wait with it. Without `now`,
    // everything made so far.
    std::vector<StoreJob> settle(Millis now = std::numeric_limits<Millis>::max());
    // Jobs waiting for a late name.
    bool jobsWaiting() const { return !m_jobs.empty(); }
    // The photo connection `connection` has closed: a transfer it left
    // unfinished can never end and is let go. Returns the bytes let go.
    std::size_t forgetPhotoConnection(const std::string& connection);

    std::uint64_t photoCount() const { return m_photoCount; }
    const CommandChannel& commandChannel() const { return m_command; }
    const PhotoNaming& naming() const { return m_naming; }
    PhotoStats photoStats() const;

private:
    bool workOffNameList(const std::filesystem::path& receiveDirectory);
    std::size_t photoBytesHeld() const;
    std::size_t letGoOtherTransfers(const std::string& connection);
    void retire(const PhotoChannel& channel);

    std::string m_phoneAddress;
    std::uint64_t m_photoCount = 0;
    std::size_t m_photoLimit;
    CommandChannel m_command;
    std::string m_commandSource; // the connection that last added to the command buffer
    std::map<std::string, PhotoChannel> m_photos;
    PhotoNaming m_naming;
    struct Pending {
        StoreJob job;
        std::optional<PhotoNaming::TransferId> transfer; // its name is final at settle()
    };
    std::vector<Pending> m_jobs;
    PhotoStats m_retired; // the figures of connections that have closed
};

} // namespace velmora::link
