#pragma once

// The verdicts of the photos already judged, so that a re-check judges only
// the photos that are new or changed. A photo is known by its path, size and
// modification time: a retake written over the old photo changes its size
// or time, and so is judged anew. One entry per path, so a folder's cache
// never holds more entries than it has photos. Safe to share between
// threads.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace velmora::registry {

struct PhotoStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified{};
    bool operator==(const PhotoStamp&) const = default;
};

// The size and time of `photo` as the disk has them now; nullopt when it
// cannot be read (gone, no access).
std::optional<PhotoStamp> stampOf(const std::filesystem::path& photo);

class VerdictCache {
public:
    // The verdict stored for `photo` as stamped ("" passes, else the
    // reason); nullopt when none is stored or the photo changed since.
    std::optional<std::string> find(const std::filesystem::path& photo, const PhotoStamp& stamp) const;
    void store(const std::filesystem::path& photo, const PhotoStamp& stamp, std::string verdict);
    std::size_t size() const;

private:
    struct Entry {
        PhotoStamp stamp;
        std::string verdict;
    };
    mutable std::mutex m_mutex;
    std::unordered_map<std::filesystem::path::string_type, Entry> m_entries;  // by the path's own text
};

} // namespace velmora::registry
