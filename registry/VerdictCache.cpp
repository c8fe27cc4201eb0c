#include "registry/VerdictCache.h"

namespace velmora::registry {

std::optional<PhotoStamp> stampOf(const std::filesystem::path& photo)
{
    std::error_code error;
    PhotoStamp stamp;
    stamp.size = std::filesystem::file_size(photo, error);
    if (error)
        return std::nullopt;
    stamp.modified = std::filesystem::last_write_time(photo, error);
    if (error)
        return std::nullopt;
    return stamp;
}

std::optional<std::string> VerdictCache::find(const std::filesystem::path& photo, const PhotoStamp& stamp) const
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(photo.native());
    if (found == m_entries.end() || !(found->second.stamp == stamp))
        return std::nullopt;
    return found->second.verdict;
}

void VerdictCache::store(const std::filesystem::path& photo, const PhotoStamp& stamp, std::string verdict)
{
    const std::lock_guard lock(m_mutex);
    m_entries.insert_or_assign(photo.native(), Entry{stamp, std::move(verdict)});
}

std::size_t VerdictCache::size() const
{
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

} // namespace velmora::registry
