#include "link/PhotoNaming.h"

#include <utility>

namespace velmora::link {

bool PhotoNaming::photosFlowing(Millis now) const
{
    return !m_open.empty() || (m_lastPhotoBytes && now - *m_lastPhotoBytes < QUIET_MS);
}

void PhotoNaming::nameArrived(PhotoName name, Millis now)
{
    if (!photosFlowing(now)) {
        m_waiting.clear();
        m_quiet = std::move(name);
        return;
    }
    if (m_waiting.empty() && !m_quiet) {
        // The oldest transfer still open to a late name takes it.
        for (auto& [id, transfer] : m_transfers) {
            if (transfer.lateNameWelcome) {
                transfer.name = std::move(name);
                transfer.lateNameWelcome = false;
                m_current = transfer.name;
                return;
            }
        }
    }
    // A name that came while quiet is older than this one: it keeps its turn.
    if (m_quiet) {
        m_waiting.push_back(std::move(*m_quiet));
        m_quiet.reset();
    }
    m_waiting.push_back(std::move(name));
}

void PhotoNaming::photoBytes(Millis now)
{
    m_lastPhotoBytes = now;
}

PhotoNaming::TransferId PhotoNaming::transferBegan(const std::string& connection, Millis now)
{
    photoBytes(now);
    transferDropped(connection);
    Transfer transfer;
    if (!m_waiting.empty()) {
        transfer.name = std::move(m_waiting.front());
        m_waiting.pop_front();
    } else if (m_quiet) {
        transfer.name = std::move(*m_quiet);
        m_quiet.reset();
    } else {
        transfer.name = m_current;
        transfer.lateNameWelcome = true;
    }
    m_current = transfer.name;
    const TransferId id = m_nextId++;
    m_transfers.emplace(id, std::move(transfer));
    m_open[connection] = id;
    return id;
}

std::optional<PhotoNaming::TransferId> PhotoNaming::transferEnded(const std::string& connection, Millis now)
{
    const auto found = m_open.find(connection);
    if (found == m_open.end())
        return std::nullopt;
    const TransferId id = found->second;
    m_open.erase(found);
    if (const auto transfer = m_transfers.find(id); transfer != m_transfers.end())
        transfer->second.endedAt = now;
    return id;
}

bool PhotoNaming::awaitsLateName(TransferId id, Millis now) const
{
    const auto found = m_transfers.find(id);
    return found != m_transfers.end() && found->second.lateNameWelcome && found->second.endedAt
        && now - *found->second.endedAt < QUIET_MS;
}

void PhotoNaming::transferDropped(const std::string& connection)
{
    if (const std::optional<TransferId> id = transferEnded(connection))
        m_transfers.erase(*id);
}

PhotoName PhotoNaming::release(TransferId id)
{
    const auto found = m_transfers.find(id);
    if (found == m_transfers.end())
        return m_current;
    PhotoName name = std::move(found->second.name);
    m_transfers.erase(found);
    return name;
}

} // namespace velmora::link
