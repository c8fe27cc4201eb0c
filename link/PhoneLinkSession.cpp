#include "link/PhoneLinkSession.h"

#include <utility>

namespace velmora::link {

PhoneLinkSession::PhoneLinkSession(Limits limits)
    : m_photoLimit(limits.photoBuffer), m_command(limits.commandBuffer)
{
}

void PhoneLinkSession::rememberPhone(std::string client)
{
    m_phoneAddress = std::move(client);
    m_photoCount = 0;
}

PhoneLinkSession::CommandResult PhoneLinkSession::takeCommandPiece(
    const std::string& connection, std::string_view piece, const std::filesystem::path& receiveDirectory,
    Millis now)
{
    if (!piece.empty())
        m_commandSource = connection;
    CommandResult result;
    result.outcome = m_command.takePiece(piece);
    if (result.outcome == CommandChannel::Outcome::NameTaken) {
        for (const PhotoName& name : m_command.takenNames()) {
            if (m_naming.nameArrived(connection, name, now) == PhotoNaming::NameOutcome::Refused)
                result.namesRefused.push_back(name);
        }
    } else {
        result.listEntry = workOffNameList(receiveDirectory);
    }
    return result;
}

std::size_t PhoneLinkSession::forgetCommandConnection(const std::string& connection)
{
    return connection == m_commandSource ? m_command.dropBuffer() : 0;
}

bool PhoneLinkSession::workOffNameList(const std::filesystem::path& receiveDirectory)
{
    const std::size_t names = m_command.nameList().size();
    if (m_photoCount > names) {
        m_command.clearNameList();
        return false;
    }
    // With no photo counted there is no entry to make.
    const bool made = m_photoCount >= 1;
    if (made) {
        StoreJob job;
        job.kind = StoreJob::Kind::ListEntry;
        job.count = m_photoCount;
        job.receiveDirectory = receiveDirectory;
        job.name = m_command.currentName();
        job.entry = m_command.nameListEntry(m_photoCount - 1);
        m_jobs.push_back({std::move(job), std::nullopt});
    }
    if (m_photoCount == names)
        m_command.clearNameList();
    return made;
}

PhoneLinkSession::PhotoResult PhoneLinkSession::takePhotoPiece(
    const std::string& connection, std::string_view piece, const std::filesystem::path& receiveDirectory,
    Millis now)
{
    PhotoChannel& channel = m_photos.try_emplace(connection, m_photoLimit).first->second;
    PhotoChannel::Outcome taken = channel.takePiece(piece);
    PhotoResult result;
    std::size_t next = 0;
    for (std::size_t i = 0; i < taken.steps.size(); ++i) {
        if (taken.steps[i] == PhotoChannel::Step::Began) {
            result.transfersLetGo += letGoOtherTransfers(connection);
            // Its first bytes: the whole photo when it also ended in this
            // piece, else what the channel holds of it.
            const bool endsHere = i + 1 < taken.steps.size();
            m_naming.transferBegan(connection, now, endsHere ? std::string_view(taken.photos[next])
                                                             : channel.transferBytes());
            continue;
        }
        StoreJob job;
        job.count = ++m_photoCount;
        job.receiveDirectory = receiveDirectory;
        job.photo = std::move(taken.photos[next++]);
        std::optional<PhotoNaming::TransferId> transfer = m_naming.transferEnded(connection);
        if (!transfer) {
            // An end marker with no transfer before it: whatever it holds has
            // no name of its own.
            job.name = m_naming.currentName(connection);
            job.besideStored = !job.name.empty();
        }
        result.counted.push_back(job.count);
        m_jobs.push_back({std::move(job), transfer});
    }
    // After the transfers it began: whether they ended a quiet spell is
    // judged by the bytes before them.
    if (!piece.empty())
        m_naming.photoBytes(connection, now);
    result.transferDropped = taken.dropped;
    // Each connection keeps below the limit on its own; many connections
    // together must not hold many times the limit.
    if (photoBytesHeld() > m_photoLimit && channel.dropTransfer())
        result.transferDropped = true;
    if (result.transferDropped)
        m_naming.transferDropped(connection);
    return result;
}

std::vector<StoreJob> PhoneLinkSession::settle(Millis now)
{
    std::vector<StoreJob> jobs;
    std::size_t done = 0;
    for (; done < m_jobs.size(); ++done) {
        Pending& pending = m_jobs[done];
        if (pending.transfer && now != std::numeric_limits<Millis>::max()
            && m_naming.awaitsLateName(*pending.transfer, now))
            break;
        if (pending.transfer) {
            PhotoNaming::Released released = m_naming.release(*pending.transfer);
            pending.job.name = std::move(released.name);
            pending.job.besideStored = !released.ownName && !pending.job.name.empty();
        }
        jobs.push_back(std::move(pending.job));
    }
    m_jobs.erase(m_jobs.begin(), m_jobs.begin() + static_cast<std::ptrdiff_t>(done));
    return jobs;
}

std::size_t PhoneLinkSession::forgetPhotoConnection(const std::string& connection)
{
    const auto found = m_photos.find(connection);
    if (found == m_photos.end())
        return 0;
    PhotoChannel& channel = found->second;
    const std::size_t held = channel.bufferedBytes();
    // A dropped transfer keeps a few bytes to find its marker; those were
    // counted when it was dropped.
    m_naming.transferCutOff(connection, channel.transferBytes());
    channel.dropTransfer();
    retire(channel);
    m_photos.erase(found);
    return held;
}

// The phone has begun a transfer on `connection`: its transfers still open
// on other photo connections were cut off by whatever broke those (a phone
// keeps one photo connection while it works), and are let go.
std::size_t PhoneLinkSession::letGoOtherTransfers(const std::string& connection)
{
    std::size_t letGo = 0;
    for (const std::string& other : m_naming.otherOpenConnections(connection)) {
        const auto found = m_photos.find(other);
        m_naming.transferCutOff(other, found != m_photos.end() ? found->second.transferBytes() : std::string_view());
        if (found != m_photos.end() && found->second.dropTransfer())
            ++letGo;
    }
    return letGo;
}

void PhoneLinkSession::retire(const PhotoChannel& channel)
{
    m_retired.mergedAtFront += channel.mergedAtFront();
    m_retired.mergedAfterImage += channel.mergedAfterImage();
    m_retired.droppedTransfers += channel.droppedTransfers();
}

std::size_t PhoneLinkSession::photoBytesHeld() const
{
    std::size_t held = 0;
    for (const auto& [connection, channel] : m_photos)
        held += channel.bufferedBytes();
    return held;
}

PhoneLinkSession::PhotoStats PhoneLinkSession::photoStats() const
{
    PhotoStats stats = m_retired;
    for (const auto& [connection, channel] : m_photos) {
        stats.mergedAtFront += channel.mergedAtFront();
        stats.mergedAfterImage += channel.mergedAfterImage();
        stats.droppedTransfers += channel.droppedTransfers();
        stats.bufferedBytes += channel.bufferedBytes();
        if (channel.bufferedBytes() > 0)
            ++stats.openTransfers;
    }
    return stats;
}

} // namespace velmora::link
