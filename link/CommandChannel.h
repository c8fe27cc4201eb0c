#pragma once

// The command channel as the phone writes it: before each photo a name
// message, percent-encoded UTF-8 holding the marker "STAT||" and the photo's
// path relative to the receive directory. There is no length and no end
// mark: a message is complete as soon as the decoded bytes hold the marker.
// Names are kept as GBK text, the program's own, and searched by character.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::link {

class CommandChannel {
public:
    // Undecoded bytes kept without a name message. A name message is a path of
    // a few hundred bytes at most; a sender that never sends the marker must
    // not fill memory.
    static constexpr std::size_t DEFAULT_BUFFER_LIMIT = 64 * 1024;
    static constexpr std::string_view MARKER{"STAT||"};
    static constexpr std::string_view NAME_SEPARATOR{"||"};

    enum class Outcome {
        NameTaken,      // a name message was taken; the buffer is empty
        Waiting,        // no complete name message yet; the bytes are kept
        BufferDropped,  // no name message within the limit; the buffer was emptied
    };

    // `bufferLimit` in bytes (tests use small limits).
    explicit CommandChannel(std::size_t bufferLimit = DEFAULT_BUFFER_LIMIT);

    // Appends `piece` (any bytes) and decodes the whole buffer again: its text
    // up to the first zero byte is percent-decoded and converted from UTF-8
    // to GBK. When that text holds "STAT||" (found on a character boundary,
    // case-sensitive), the current photo name becomes the text with every
    // "STAT||" removed, the name list becomes that name split at "||", and
    // the buffer is emptied. The message waits for more bytes instead while
    // the buffer ends inside a percent escape or inside a UTF-8 character,
    // which the next piece completes. Bytes up to a zero byte that precede no
    // marker can never become a message and are let go. Never throws except
    // std::bad_alloc.
    Outcome takePiece(std::string_view piece);

    // The GBK photo name of the last name message; empty before the first.
    const std::string& currentPhotoName() const { return m_currentName; }
    // The names of the last name message, split at "||"; empty parts are kept
    // in their places (the phone numbers its names by position), and the
    // empty name gives no names.
    const std::vector<std::string>& nameList() const { return m_nameList; }
    void clearNameList() { m_nameList.clear(); }
    // Lets go of the bytes waiting for a marker; returns how many there were.
    std::size_t dropBuffer();
    std::size_t bufferedBytes() const { return m_buffer.size(); }

    // `gbkName` split at every "||" found on a character boundary; the empty
    // name gives an empty list.
    static std::vector<std::string> splitNames(std::string_view gbkName);

private:
    void dropTextBeforeZero();

    std::size_t m_limit;
    std::string m_buffer;
    std::string m_currentName;
    std::vector<std::string> m_nameList;
};

} // namespace velmora::link
