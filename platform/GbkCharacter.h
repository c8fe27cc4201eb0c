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

} // namespace velmora::platform
