#pragma once

#include <string>

namespace velmora::app {

// The receive directory's text always ends with the separator, since every
// photo's path is the directory text with the name appended. Returns `text`
// with one separator appended when its last character is not one (the empty
// text included), else `text` unchanged.
std::u16string withTrailingSeparator(std::u16string text, char16_t separator);

} // namespace velmora::app
