#pragma once

// What each platform's code-page side provides: single characters between
// Unicode and GBK. The loops around them, with the rules for bad input, are
// shared (CodepageCommon.cpp), so every platform files a photo name alike.

#include <string>
#include <string_view>

namespace velmora::platform {

// Appends the GBK bytes of `cp`; false when GBK has no such character.
bool appendGbkCharacter(char32_t cp, std::string& out);

// The character of a GBK byte pair, or U+FFFD when GBK defines none.
char32_t gbkPairCharacter(std::string_view pair);

// The character of a GB18030 two-byte pair or four-byte code of the basic
// plane, or U+FFFD when GB18030 assigns none (and, on a system without a
// GB18030 converter, for every four-byte code; a pair then reads as GBK).
char32_t gb18030Character(std::string_view code);

// Whether the system has a GB18030 converter.
bool gb18030Converter();

} // namespace velmora::platform
