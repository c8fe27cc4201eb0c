#pragma once

// UTF-8 decoding and encoding shared by the code-page converters of every
// platform, so that a bad byte from the phone is replaced the same way on
// each and a photo name maps to the same file name whichever PC stores it.

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::platform {

inline constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

// `text` up to its first zero byte.
std::string_view untilNul(std::string_view text);

// Decodes one UTF-8 sequence at text[pos] and advances pos past it. An
// invalid sequence gives U+FFFD and consumes its longest valid prefix, at
// least one byte (the Unicode "maximal subpart" rule). The second byte's
// allowed range excludes overlong forms, surrogates and values past U+10FFFF.
char32_t decodeUtf8(std::string_view text, std::size_t& pos);

void appendUtf8(std::string& out, char32_t cp);

} // namespace velmora::platform
