#pragma once

// The phone-link state shared by the command and photo channels: where the
// roster goes, the current photo name and its name list, the photo count and
// the two receive buffers. Bytes in, results out: the window adapter feeds it
// the pieces the servers deliver and shows what comes back.

#include "link/CommandChannel.h"
#include "link/PhotoChannel.h"
#include "link/PhotoStore.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::link {

class PhoneLinkSession {
public:
    struct Limits {
        std::size_t commandBuffer = CommandChannel::DEFAULT_BUFFER_LIMIT;
        std::size_t photoBuffer = PhotoChannel::DEFAULT_BUFFER_LIMIT;
    };

    struct CommandResult {
        CommandChannel::Outcome outcome = CommandChannel::Outcome::Waiting;
        // Set when the name-list step tried to write an entry.
        std::optional<StoreResult> listEntry;
    };

    struct ReceivedPhoto {
        std::uint64_t count = 0;  // the photo count after this photo
        std::string photo;        // the image file's bytes, possibly empty
        StoreResult store;        // where it went, or why it did not
    };

    struct PhotoResult {
        std::vector<ReceivedPhoto> photos; // completed by this piece, oldest first
        bool transferDropped = false;      // a transfer passed the size limit
    };

    PhoneLinkSession() : PhoneLinkSession(Limits{}) {}
    explicit PhoneLinkSession(Limits limits);

    // A phone connected to the command channel: the roster goes to `client`
    // from now on, and the photo count starts again at 0.
    void rememberPhone(std::string client);
    // The client address the roster goes to; empty until a phone connects.
    const std::string& phoneAddress() const { return m_phoneAddress; }

    // One piece from the command channel. Without a name message the name
    // list is worked off: while the photo count n is at most the number of
    // names, entry n (counting from 1) is made an empty file unless a file is
    // there already, and the list is emptied once n reaches or passes the
    // number of names. `receiveDirectory` is read only when a file is made.
    CommandResult takeCommandPiece(std::string_view piece, const std::filesystem::path& receiveDirectory);

    // One piece from the photo channel. Each completed photo is counted first
    // and then stored under the current photo name in `receiveDirectory`.
    PhotoResult takePhotoPiece(std::string_view piece, const std::filesystem::path& receiveDirectory);

    std::uint64_t photoCount() const { return m_photoCount; }
    const CommandChannel& commandChannel() const { return m_command; }
    const PhotoChannel& photoChannel() const { return m_photo; }

private:
    std::optional<StoreResult> workOffNameList(const std::filesystem::path& receiveDirectory);

    std::string m_phoneAddress;
    std::uint64_t m_photoCount = 0;
    CommandChannel m_command;
    PhotoChannel m_photo;
};

} // namespace velmora::link
