#include "app/ReceiveDirectory.h"

namespace velmora::app {

std::u16string withTrailingSeparator(std::u16string text, char16_t separator)
{
    if (text.empty() || text.back() != separator)
        text.push_back(separator);
    return text;
}

} // namespace velmora::app
