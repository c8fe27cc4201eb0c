#include "roster/SharedStringCheck.h"

namespace velmora::roster {
namespace {

// FreeXL gives up on a larger SST count itself.
constexpr std::uint32_t MAX_SHARED_STRINGS = 1024 * 1024;

} // namespace

bool SharedStringCheck::record(const BiffRecord& r)
{
    std::uint64_t p = 0;
    if (!m_started) {
        if (r.size < 8 || r.u32(4) > MAX_SHARED_STRINGS)
            return false;
        m_count = r.u32(4);
        m_started = true;
        p = 8;
    } else if (m_pendingLength > 0 && !finishBrokenString(r, p)) {
        return false;
    }
    while (m_index < m_count) {
        if (p >= r.size)
            return true;
        p += m_nextSkip;
        if (p + 2 > r.size)
            return false;
        const std::uint32_t length = r.u16(static_cast<std::size_t>(p));
        const auto header = stringHeader(r, static_cast<std::size_t>(p + 2));
        if (!header)
            return false;
        p = header->start;
        m_pendingSkip = header->extra;
        m_nextSkip = 0;
        const std::uint64_t required = std::uint64_t(length) * (header->wide ? 2 : 1);
        const std::uint64_t available = r.size - p;
        if (required > available) {
            // A 16-bit character cut in half would shift the rest.
            if (header->wide && available % 2 != 0)
                return false;
            m_pendingLength = length;
            m_pendingDone = static_cast<std::uint32_t>(header->wide ? available / 2 : available);
            return true;
        }
        if (length == 0)
            return false;
        p += required + m_pendingSkip;
        m_nextSkip = p >= r.size ? p - r.size : 0;
        m_pendingSkip = 0;
        ++m_index;
    }
    return true;
}

bool SharedStringCheck::finishBrokenString(const BiffRecord& r, std::uint64_t& p)
{
    if (r.size < 1)
        return false;
    const bool wide = (r.data[0] & 0x01) != 0;
    const std::uint64_t rest = std::uint64_t(m_pendingLength - m_pendingDone) * (wide ? 2 : 1);
    // A string broken twice: FreeXL copies the rest from this record
    // whatever its length.
    if (1 + rest > r.size)
        return false;
    p = 1 + rest + m_pendingSkip;
    // FreeXL forgets run and extension bytes of a broken string that spill
    // into the following record and reads them as the next string.
    if (p > r.size)
        return false;
    m_pendingSkip = p >= r.size ? p - r.size : 0;
    m_nextSkip = 0;
    m_pendingLength = 0;
    m_pendingDone = 0;
    ++m_index;
    return true;
}

} // namespace velmora::roster
