#include "link/CommandChannel.h"

#include "link/PercentDecoding.h"
#include "platform/Codepage.h"

namespace velmora::link {
namespace {

struct DecodedText {
    std::string gbk;
    std::string utf8;         // the decoded bytes up to the first zero byte
    bool keepUnicode = false; // valid UTF-8 holding characters GBK lacks
};

// The decoded, converted text of `undecoded`, or nothing when that text is
// not final yet (a percent escape or a UTF-8 character cut at the end).
bool decodeText(std::string_view undecoded, bool final, DecodedText& text)
{
    PercentDecoded decoded = percentDecode(undecoded);
    if (!final && (decoded.endsInsideEscape || endsInsideUtf8Character(decoded.bytes)))
        return false;
    platform::GbkConversion converted = platform::convertUtf8ToGbk(decoded.bytes);
    text.gbk = std::move(converted.gbk);
    // Invalid UTF-8 carries no characters to keep; such a name is filed with
    // "?" as before.
    text.keepUnicode = converted.missingCharacters && !converted.invalidUtf8;
    if (text.keepUnicode)
        text.utf8 = std::string(decoded.bytes.substr(0, decoded.bytes.find('\0')));
    return true;
}

// `text` split at every `separator` found by `find`.
template <typename Find>
std::vector<std::string> splitAt(std::string_view text, std::string_view separator, Find find)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t found = find(text, separator, 0); found != std::string_view::npos;
         found = find(text, separator, start)) {
        parts.emplace_back(text.substr(start, found - start));
        start = found + separator.size();
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

std::size_t findGbk(std::string_view text, std::string_view needle, std::size_t from)
{
    return platform::gbkFind(text, needle, from);
}

// UTF-8 needs no character walk: no byte of a multi-byte sequence is ASCII.
std::size_t findUtf8(std::string_view text, std::string_view needle, std::size_t from)
{
    return text.find(needle, from);
}

// The names of a decoded text holding `parts.size() - 1` markers.
std::vector<std::string> namesOf(std::vector<std::string> parts)
{
    if (parts.size() <= 2)
        return {parts[0] + parts[1]};
    std::vector<std::string> names;
    parts[1] = parts[0] + parts[1];
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (!parts[i].empty())
            names.push_back(std::move(parts[i]));
    }
    if (names.empty())
        names.emplace_back();
    return names;
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
    DecodedText decoded;
    if (decodeText(text, zero != std::string::npos, decoded)
        && platform::gbkFind(decoded.gbk, MARKER) != std::string::npos) {
        takeNames(decoded.gbk, decoded.utf8, decoded.keepUnicode);
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
        DecodedText decoded;
        decodeText(std::string_view(m_buffer).substr(start, zero - start), true, decoded);
        if (platform::gbkFind(decoded.gbk, MARKER) != std::string::npos)
            break;
        start = zero + 1;
    }
    m_buffer.erase(0, start);
}

void CommandChannel::takeNames(const std::string& gbk, const std::string& utf8, bool keepUnicode)
{
    std::vector<std::string> gbkNames = namesOf(splitAt(gbk, MARKER, findGbk));
    std::vector<std::string> unicodeNames;
    if (keepUnicode)
        unicodeNames = namesOf(splitAt(utf8, MARKER, findUtf8));
    m_taken.clear();
    for (std::size_t i = 0; i < gbkNames.size(); ++i) {
        // Each character becomes one character, so both forms split alike;
        // a name whose own form holds only GBK characters needs none.
        std::string unicode;
        if (unicodeNames.size() == gbkNames.size() && platform::convertUtf8ToGbk(unicodeNames[i]).missingCharacters)
            unicode = std::move(unicodeNames[i]);
        m_taken.emplace_back(std::move(gbkNames[i]), std::move(unicode));
    }
    m_currentName = m_taken.back();
    m_nameList = splitNames(m_currentName.gbk);
    m_unicodeList.clear();
    if (!m_currentName.unicode.empty())
        m_unicodeList = splitAt(m_currentName.unicode, NAME_SEPARATOR, findUtf8);
    if (m_unicodeList.size() != m_nameList.size())
        m_unicodeList.clear();
}

PhotoName CommandChannel::nameListEntry(std::size_t index) const
{
    std::string unicode;
    if (index < m_unicodeList.size() && platform::convertUtf8ToGbk(m_unicodeList[index]).missingCharacters)
        unicode = m_unicodeList[index];
    return PhotoName(index < m_nameList.size() ? m_nameList[index] : std::string(), std::move(unicode));
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
    if (gbkName.empty())
        return {};
    return splitAt(gbkName, NAME_SEPARATOR, findGbk);
}

} // namespace velmora::link
