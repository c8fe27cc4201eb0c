#pragma once

// Conversions between the program's own text, code page 936 (GBK), and the
// UTF-8 that the phone and the QR payload use, plus searching GBK text by
// character. GBK trail bytes run from 0x40 to 0xFE, so a trail byte can look
// like "\" (0x5C), "_" (0x5F), "|" (0x7C) or "]" (0x5D); every search in GBK
// text must step over double-byte characters instead of comparing bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::platform {

// UTF-8 to GBK. The input ends at its first zero byte. Each invalid UTF-8
// sequence (stray continuation byte, overlong form, surrogate, truncated
// sequence) becomes U+FFFD, and every character GBK cannot hold, U+FFFD
// included, becomes "?". Never fails; the empty text gives the empty text.
std::string utf8ToGbk(std::string_view utf8);

// utf8ToGbk, and what it had to give up on the way.
struct GbkConversion {
    std::string gbk;
    bool missingCharacters = false; // a valid character GBK lacks became "?"
    bool invalidUtf8 = false;       // an invalid UTF-8 sequence became "?"
};
GbkConversion convertUtf8ToGbk(std::string_view utf8);

// Whether GBK holds the character `cp`; utf8ToGbk() turns any other into
// "?". Every character below U+0080 is held.
bool gbkHolds(char32_t cp);

// GBK to UTF-8. The input ends at its first zero byte. A lead byte whose trail
// byte is missing at the end of the input is dropped (a character cut in half
// by a length limit); any other byte pair GBK does not define becomes U+FFFD.
std::string gbkToUtf8(std::string_view gbk);

// GB18030 to UTF-8, for files written by other programs (roster files):
// GB18030 holds every Unicode character, in one byte (ASCII), two (GBK's
// pairs and some more, such as FE 9F for 䶮) or four (81..FE, 30..39,
// 81..FE, 30..39), so a GBK text reads the same way. Every byte counts, a
// zero byte included. A sequence cut off at the end of the input is
// dropped; a lead byte that starts no sequence GB18030 defines becomes
// U+FFFD and the bytes after it are read on their own, and so does a
// sequence GB18030 does not assign. Four-byte codes of the planes above
// U+FFFF follow from the standard's formula and read the same everywhere;
// two-byte codes and the other four-byte ones are the system's (see
// hasGb18030).
std::string gb18030ToUtf8(std::string_view gb18030);

// Whether this system converts GB18030's two-byte and four-byte codes of
// U+0080..U+FFFF (glibc's iconv, Windows' code page 54936). Without, those
// two-byte codes read as GBK and those four-byte codes as U+FFFD. Wine 8
// lacks code page 54936.
bool hasGb18030();

// Byte length of the GBK character that starts at text[pos]: 2 for a lead
// byte (0x81..0xFE) followed by a trail byte (0x40..0xFE except 0x7F), else 1.
// pos must be below text.size().
std::size_t gbkCharLength(std::string_view text, std::size_t pos);

// First position at or after `from` where `needle` starts on a character
// boundary of `text`, or npos. An empty needle matches at `from`.
std::size_t gbkFind(std::string_view text, std::string_view needle, std::size_t from = 0);

// Last position where `needle` starts on a character boundary, or npos.
std::size_t gbkFindLast(std::string_view text, std::string_view needle);

// `text` with every character-aligned occurrence of `needle` replaced by
// `replacement`, scanning left to right without re-scanning replacements.
std::string gbkReplaceAll(std::string_view text, std::string_view needle,
                          std::string_view replacement);

} // namespace velmora::platform
