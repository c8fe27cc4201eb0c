#pragma once

// The command channel as the phone writes it: before each photo a name
// message, percent-encoded UTF-8 holding the marker "STAT||" and the photo's
// path relative to the receive directory. There is no length and no end
// mark: a message is complete as soon as the decoded bytes hold the marker.
// Names are kept as GBK text, the program's own, and searched by character.

#include "link/PhotoName.h"

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
    // case-sensitive), the buffer is emptied and its names are taken: with one
    // marker the name is the text without it; with several (name messages
    // that reached the PC in one piece, "STAT||aSTAT||b") each marker begins
    // a name of its own, text before the first belongs to the first, and an
    // empty text between two markers is no name. The current photo name
    // becomes the last of them and the name list that name split at "||". The message waits for more bytes instead while
    // the buffer ends inside a percent escape or inside a UTF-8 character,
    // which the next piece completes. Bytes up to a zero byte that precede no
    // marker can never become a message and are let go. Never throws except
    // std::bad_alloc.
    Outcome takePiece(std::string_view piece);

    // The names the last NameTaken piece brought, oldest first (at least one).
    const std::vector<PhotoName>& takenNames() const { return m_taken; }
    // The GBK photo name of the last name message; empty before the first.
    const std::string& currentPhotoName() const { return m_currentName.gbk; }
    const PhotoName& currentName() const { return m_currentName; }
    // The names of the last name message, split at "||"; empty parts are kept
    // in their places (the phone numbers its names by position), and the
    // empty name gives no names.
    const std::vector<std::string>& nameList() const { return m_nameList; }
    // Entry `index` of the name list, with its own characters when the name
    // held some that GBK lacks.
    PhotoName nameListEntry(std::size_t index) const;
    void clearNameList()
    {
        m_nameList.clear();
        m_unicodeList.clear();
    }
    // Lets go of the bytes waiting for a marker; returns how many there were.
    std::size_t dropBuffer();
    std::size_t bufferedBytes() const { return m_buffer.size(); }

    // `gbkName` split at every "||" found on a character boundary; the empty
    // name gives an empty list.
    static std::vector<std::string> splitNames(std::string_view gbkName);

private:
    void dropTextBeforeZero();
    void takeNames(const std::string& gbk, const std::string& utf8, bool keepUnicode);

    std::size_t m_limit;
    std::string m_buffer;
    PhotoName m_currentName;
    std::vector<PhotoName> m_taken;
    std::vector<std::string> m_nameList;
    std::vector<std::string> m_unicodeList; // empty unless the name has a Unicode form
};

} // namespace velmora::link
