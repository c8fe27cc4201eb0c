#include "link/PhotoNaming.h"

#include <algorithm>
#include <utility>

namespace velmora::link {

namespace {

// Whether two transfers begin alike as far as both have come: a photo sent
// again begins with the bytes its cut-off transfer began with, another photo
// differs within its first few hundred bytes (its capture time, its size).
bool sameStart(std::string_view cutOff, std::string_view next)
{
    const std::size_t compared = std::min(cutOff.size(), next.size());
    return cutOff.substr(0, compared) == next.substr(0, compared);
}

} // namespace

std::string PhotoNaming::phoneOf(const std::string& connection)
{
    const std::size_t colon = connection.rfind(':');
    return colon == std::string::npos ? connection : connection.substr(0, colon);
}

PhotoNaming::Phone& PhotoNaming::phone(const std::string& address, Millis now)
{
    if (!m_phones.count(address) && m_phones.size() >= PHONE_LIMIT)
        forgetIdlePhone();
    Phone& found = m_phones[address];
    found.lastSeen = now;
    return found;
}

// A phone with no transfer open or waiting for its name is forgotten when a
// new phone needs its place: of those, the one seen longest ago.
void PhotoNaming::forgetIdlePhone()
{
    auto idle = m_phones.end();
    for (auto it = m_phones.begin(); it != m_phones.end(); ++it) {
        const bool holdsTransfer = std::any_of(m_transfers.begin(), m_transfers.end(),
                                               [&](const auto& t) { return t.second.phone == it->first; });
        if (!holdsTransfer && (idle == m_phones.end() || it->second.lastSeen < idle->second.lastSeen))
            idle = it;
    }
    if (idle != m_phones.end())
        m_phones.erase(idle);
}

bool PhotoNaming::busy(const std::string& address, const Phone& phone, Millis now) const
{
    if (phone.lastBytes && now - *phone.lastBytes < QUIET_MS)
        return true;
    return std::any_of(m_open.begin(), m_open.end(), [&](const auto& open) {
        return phoneOf(open.first) == address && now - open.second.lastBytes < STALL_MS;
    });
}

PhotoNaming::NameOutcome PhotoNaming::nameArrived(const std::string& connection, PhotoName name, Millis now)
{
    const std::string address = phoneOf(connection);
    Phone& sender = phone(address, now);
    if (!busy(address, sender, now)) {
        sender.clearWaiting();
        sender.quiet = std::move(name);
        return NameOutcome::Quiet;
    }
    forgetCutOffs(address, now);
    if (sender.waiting.empty() && !sender.quiet && takeLateName(address, sender, name, now))
        return NameOutcome::Late;
    const std::size_t quietBytes = sender.quiet ? waitingBytes(*sender.quiet) : 0;
    if (sender.waitingBytes + quietBytes + waitingBytes(name) > WAITING_BYTES_LIMIT)
        return NameOutcome::Refused;
    // A name that came while quiet is older than this one: it keeps its turn.
    if (sender.quiet) {
        sender.wait(std::move(*sender.quiet));
        sender.quiet.reset();
    }
    sender.wait(std::move(name));
    return NameOutcome::Waiting;
}

void PhotoNaming::Phone::wait(PhotoName name)
{
    waitingBytes += PhotoNaming::waitingBytes(name);
    waiting.push_back(std::move(name));
}

PhotoName PhotoNaming::Phone::takeOldest()
{
    PhotoName oldest = std::move(waiting.front());
    waiting.pop_front();
    waitingBytes -= PhotoNaming::waitingBytes(oldest);
    return oldest;
}

void PhotoNaming::Phone::clearWaiting()
{
    waiting.clear();
    waitingBytes = 0;
}

bool PhotoNaming::welcomesLateName(const Transfer& transfer, Millis now)
{
    return transfer.lateNameWelcome && ((transfer.lateUntilEnd && transfer.open) || now - transfer.began < LATE_MS);
}

// Rule 3: the phone's oldest transfer still open to a late name takes `name`.
bool PhotoNaming::takeLateName(const std::string& address, Phone& sender, PhotoName& name, Millis now)
{
    for (auto it = m_transfers.begin(); it != m_transfers.end(); ++it) {
        Transfer& transfer = it->second;
        if (transfer.phone != address || !welcomesLateName(transfer, now))
            continue;
        sender.current = name;
        if (transfer.cutOff) {
            // The photo it named was cut off: sent again, it is filed under it.
            if (sender.cutOff && sender.cutOff->waiting == it->first) {
                sender.cutOff->name = std::move(name);
                sender.cutOff->ownName = true;
                sender.cutOff->waiting.reset();
            }
            m_transfers.erase(it);
        } else {
            transfer.name = std::move(name);
            transfer.ownName = true;
            transfer.lateNameWelcome = false;
        }
        return true;
    }
    return false;
}

std::size_t PhotoNaming::waitingBytes(const PhotoName& name)
{
    return name.gbk.size() + name.unicode.size() + NAME_OVERHEAD;
}

void PhotoNaming::photoBytes(const std::string& connection, Millis now)
{
    phone(phoneOf(connection), now).lastBytes = now;
    if (const auto open = m_open.find(connection); open != m_open.end())
        open->second.lastBytes = now;
}

std::vector<std::string> PhotoNaming::otherOpenConnections(const std::string& connection) const
{
    const std::string address = phoneOf(connection);
    std::vector<std::string> others;
    for (const auto& [other, open] : m_open) {
        if (other != connection && phoneOf(other) == address)
            others.push_back(other);
    }
    return others;
}

PhotoNaming::TransferId PhotoNaming::transferBegan(const std::string& connection, Millis now,
                                                   std::string_view firstBytes)
{
    transferDropped(connection);
    const std::string address = phoneOf(connection);
    forgetCutOffs(address, now);
    Phone& sender = phone(address, now);
    const bool afterQuiet = !busy(address, sender, now);
    sender.lastBytes = now;
    Transfer transfer;
    transfer.phone = address;
    transfer.began = now;
    if (!sender.waiting.empty() && afterQuiet) {
        transfer.name = std::move(sender.waiting.back());
        sender.clearWaiting();
        transfer.lateNameWelcome = true;
    } else if (!sender.waiting.empty()) {
        transfer.name = sender.takeOldest();
    } else if (sender.quiet) {
        transfer.name = std::move(*sender.quiet);
        sender.quiet.reset();
    } else if (sender.cutOff && sameStart(sender.cutOff->firstBytes, firstBytes)) {
        transfer.name = std::move(sender.cutOff->name);
        transfer.ownName = sender.cutOff->ownName;
        if (const auto waiting = sender.cutOff->waiting ? m_transfers.find(*sender.cutOff->waiting) : m_transfers.end();
            waiting != m_transfers.end()) {
            // Its late name can still come: the photo sent again waits for
            // it in the cut-off photo's place.
            transfer.lateNameWelcome = true;
            transfer.began = waiting->second.began;
            m_transfers.erase(waiting);
        }
    } else {
        // Its own name may be held back on the air for as long as the photo
        // is (a lost segment of the name message sent again, twice): it takes
        // the first name that comes before its end.
        transfer.name = sender.current;
        transfer.ownName = false;
        transfer.lateNameWelcome = true;
        transfer.lateUntilEnd = true;
    }
    sender.cutOff.reset();
    sender.current = transfer.name;
    const TransferId id = m_nextId++;
    m_transfers.emplace(id, std::move(transfer));
    m_open[connection] = Open{id, now};
    return id;
}

std::optional<PhotoNaming::TransferId> PhotoNaming::close(const std::string& connection)
{
    const auto found = m_open.find(connection);
    if (found == m_open.end())
        return std::nullopt;
    const TransferId id = found->second.id;
    m_open.erase(found);
    if (const auto transfer = m_transfers.find(id); transfer != m_transfers.end())
        transfer->second.open = false;
    return id;
}

std::optional<PhotoNaming::TransferId> PhotoNaming::transferEnded(const std::string& connection)
{
    return close(connection);
}

bool PhotoNaming::awaitsLateName(TransferId id, Millis now) const
{
    const auto found = m_transfers.find(id);
    return found != m_transfers.end() && welcomesLateName(found->second, now);
}

void PhotoNaming::transferCutOff(const std::string& connection, std::string_view firstBytes)
{
    const std::optional<TransferId> id = close(connection);
    if (!id)
        return;
    const auto transfer = m_transfers.find(*id);
    const auto sender = m_phones.find(transfer->second.phone);
    if (sender == m_phones.end()) {
        m_transfers.erase(transfer);
        return;
    }
    Phone::CutOff cutOff{transfer->second.name, transfer->second.ownName,
                         std::string(firstBytes.substr(0, RESEND_COMPARED)), std::nullopt};
    if (transfer->second.lateNameWelcome) {
        // Its name message may still be on its way: the transfer stays, with
        // no photo, to take it.
        transfer->second.cutOff = true;
        cutOff.waiting = *id;
    } else {
        m_transfers.erase(transfer);
    }
    sender->second.cutOff = std::move(cutOff);
}

// Cut-off transfers whose late name can no longer come.
void PhotoNaming::forgetCutOffs(const std::string& address, Millis now)
{
    for (auto it = m_transfers.begin(); it != m_transfers.end();) {
        const Transfer& transfer = it->second;
        if (transfer.cutOff && transfer.phone == address && now - transfer.began >= LATE_MS)
            it = m_transfers.erase(it);
        else
            ++it;
    }
}

void PhotoNaming::transferDropped(const std::string& connection)
{
    if (const std::optional<TransferId> id = close(connection))
        m_transfers.erase(*id);
}

PhotoNaming::Released PhotoNaming::release(TransferId id)
{
    const auto found = m_transfers.find(id);
    if (found == m_transfers.end())
        return {};
    Released released{std::move(found->second.name), found->second.ownName};
    m_transfers.erase(found);
    return released;
}

PhotoName PhotoNaming::currentName(const std::string& connection) const
{
    const auto found = m_phones.find(phoneOf(connection));
    return found == m_phones.end() ? PhotoName{} : found->second.current;
}

std::size_t PhotoNaming::namesWaiting() const
{
    std::size_t waiting = 0;
    for (const auto& [address, phone] : m_phones)
        waiting += phone.waiting.size() + (phone.quiet ? 1 : 0);
    return waiting;
}

} // namespace velmora::link
