#include "link/CommandChannel.h"

#include "link/PercentDecoding.h"
#include "platform/Codepage.h"

namespace velmora::link {
namespace {

// The decoded, converted text of `undecoded`, or nothing when that text is
// not final yet (a percent escape or a UTF-8 character cut at the end).
bool decodeText(std::string_view undecoded, bool final, std::string& gbk)
{
    const PercentDecoded decoded = percentDecode(undecoded);
    if (!final && (decoded.endsInsideEscape || endsInsideUtf8Character(decoded.bytes)))
        return false;
    gbk = platform::utf8ToGbk(decoded.bytes);
    return true;
}

} // namespace

CommandChannel::CommandChannel(std::size_t bufferLimit) : m_limit(bufferLimit) {}

CommandChannel::Outcome CommandChannel::takePiece(std::string_view piece)
{
    m_buffer.append(piece);
    dropTextBeforeZero();

    // The text ends at its first zero byte; what stands before one is final.
    const std::size_t zero = m_buffer.find('\0');
    const std::string_view text = std::string_view(m_buffer).substr(0, zero);
    std::string gbk;
    if (decodeText(text, zero != std::string::npos, gbk)
        && platform::gbkFind(gbk, MARKER) != std::string::npos) {
        m_currentName = platform::gbkReplaceAll(gbk, MARKER, "");
        m_nameList = splitNames(m_currentName);
        m_buffer.clear();
        return Outcome::NameTaken;
    }
    if (m_buffer.size() > m_limit) {
        m_buffer.clear();
        m_buffer.shrink_to_fit();
        return Outcome::BufferDropped;
    }
    return Outcome::Waiting;
}

// A stray zero byte would end the text for good: every name message behind
// it would be swallowed until the limit. Text before a zero byte that holds
// no marker can never become a message, so it goes, zero byte included.
void CommandChannel::dropTextBeforeZero()
{
    // The bytes go in one erase at the end: erasing at each zero byte moved
    // the whole buffer once per zero, which held the window up for about a
    // quarter of a second per 4 MiB read of binary noise.
    std::size_t start = 0;
    for (std::size_t zero = m_buffer.find('\0'); zero != std::string::npos; zero = m_buffer.find('\0', start)) {
        std::string gbk;
        decodeText(std::string_view(m_buffer).substr(start, zero - start), true, gbk);
        if (platform::gbkFind(gbk, MARKER) != std::string::npos)
            break;
        start = zero + 1;
    }
    m_buffer.erase(0, start);
}

std::size_t CommandChannel::dropBuffer()
{
    const std::size_t dropped = m_buffer.size();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return dropped;
}

std::vector<std::string> CommandChannel::splitNames(std::string_view gbkName)
{
    std::vector<std::string> names;
    if (gbkName.empty())
        return names;
    std::size_t start = 0;
    for (std::size_t found = platform::gbkFind(gbkName, NAME_SEPARATOR); found != std::string_view::npos;
         found = platform::gbkFind(gbkName, NAME_SEPARATOR, start)) {
        names.emplace_back(gbkName.substr(start, found - start));
        start = found + NAME_SEPARATOR.size();
    }
    names.emplace_back(gbkName.substr(start));
    return names;
}

} // namespace velmora::link
