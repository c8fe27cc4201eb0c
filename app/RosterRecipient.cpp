#include "app/RosterRecipient.h"

#include <algorithm>

namespace velmora::app {

std::string RosterRecipient::deviceOf(std::string_view client)
{
    if (const std::size_t suffix = client.find('#'); suffix != std::string_view::npos)
        client = client.substr(0, suffix);
    if (const std::size_t port = client.rfind(':'); port != std::string_view::npos)
        client = client.substr(0, port);
    constexpr std::string_view MAPPED = "::ffff:";
    if (client.substr(0, MAPPED.size()) == MAPPED && client.find('.') != std::string_view::npos)
        client.remove_prefix(MAPPED.size());
    return std::string(client);
}

void RosterRecipient::connected(std::string_view client)
{
    std::string device = deviceOf(client);
    // Kept once each, in the order of their latest connection.
    std::erase(m_connectedSince, device);
    m_connectedSince.push_back(std::move(device));
}

void RosterRecipient::sent(std::string_view client)
{
    m_lastSentTo = deviceOf(client);
    m_connectedSince.clear();
}

std::string RosterRecipient::otherDevice(std::string_view target) const
{
    const std::string device = deviceOf(target);
    if (device == m_lastSentTo)
        return {};
    if (!m_lastSentTo.empty())
        return m_lastSentTo;
    const auto other = std::find_if(m_connectedSince.rbegin(), m_connectedSince.rend(),
                                    [&](const std::string& seen) { return seen != device; });
    return other == m_connectedSince.rend() ? std::string() : *other;
}

} // namespace velmora::app
