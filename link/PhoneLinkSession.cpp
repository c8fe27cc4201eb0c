#include "link/PhoneLinkSession.h"

#include <utility>

namespace velmora::link {

PhoneLinkSession::PhoneLinkSession(Limits limits)
    : m_command(limits.commandBuffer), m_photo(limits.photoBuffer)
{
}

void PhoneLinkSession::rememberPhone(std::string client)
{
    m_phoneAddress = std::move(client);
    m_photoCount = 0;
}

PhoneLinkSession::CommandResult PhoneLinkSession::takeCommandPiece(
    std::string_view piece, const std::filesystem::path& receiveDirectory)
{
    CommandResult result;
    result.outcome = m_command.takePiece(piece);
    if (result.outcome != CommandChannel::Outcome::NameTaken)
        result.listEntry = workOffNameList(receiveDirectory);
    return result;
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
    std::string_view piece, const std::filesystem::path& receiveDirectory)
{
    PhotoChannel::Outcome taken = m_photo.takePiece(piece);
    PhotoResult result;
    result.transferDropped = taken.dropped;
    for (std::string& photo : taken.photos) {
        ReceivedPhoto received;
        received.count = ++m_photoCount;
        received.store = storePhoto(receiveDirectory, m_command.currentPhotoName(), photo);
        received.photo = std::move(photo);
        result.photos.push_back(std::move(received));
    }
    return result;
}

} // namespace velmora::link
