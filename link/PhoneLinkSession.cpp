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
    const std::string& connection, std::string_view piece, const std::filesystem::path& receiveDirectory)
{
    if (!piece.empty())
        m_commandSource = connection;
    CommandResult result;
    result.outcome = m_command.takePiece(piece);
    if (result.outcome != CommandChannel::Outcome::NameTaken)
        result.listEntry = workOffNameList(receiveDirectory);
    return result;
}

std::size_t PhoneLinkSession::forgetCommandConnection(const std::string& connection)
{
    return connection == m_commandSource ? m_command.dropBuffer() : 0;
}

std::optional<StoreResult> PhoneLinkSession::workOffNameList(const std::filesystem::path& receiveDirectory)
{
    const std::vector<std::string>& names = m_command.nameList();
    if (m_photoCount > names.size()) {
        m_command.clearNameList();
        return std::nullopt;
    }
    std::optional<StoreResult> written;
    // With no photo counted there is no entry to make.
    if (m_photoCount >= 1)
        written = storeListEntry(receiveDirectory, m_command.currentPhotoName(), names[m_photoCount - 1]);
    if (m_photoCount == names.size())
        m_command.clearNameList();
    return written;
}

PhoneLinkSession::PhotoResult PhoneLinkSession::takePhotoPiece(
    const std::string& connection, std::string_view piece, const std::filesystem::path& receiveDirectory)
{
    PhotoChannel& channel = m_photos.try_emplace(connection, m_photoLimit).first->second;
    PhotoChannel::Outcome taken = channel.takePiece(piece);
    PhotoResult result;
    result.transferDropped = taken.dropped;
    // Each connection keeps below the limit on its own; many connections
    // together must not hold many times the limit.
    if (photoBytesHeld() > m_photoLimit && channel.dropTransfer())
        result.transferDropped = true;
    for (std::string& photo : taken.photos) {
        ReceivedPhoto received;
        received.count = ++m_photoCount;
        received.store = storePhoto(receiveDirectory, m_command.currentPhotoName(), photo);
        received.photo = std::move(photo);
        result.photos.push_back(std::move(received));
    }
    return result;
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
    channel.dropTransfer();
    retire(channel);
    m_photos.erase(found);
    return held;
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
