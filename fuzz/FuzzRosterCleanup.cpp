// The roster clean-up on any pasted text and caret: no crash, the caret stays
// inside the text, and a cleaned text holds no quote at all. The look over
// the roster before a send gets the same texts, before and after clean-up.

#include "roster/RosterCheck.h"
#include "roster/RosterCleanup.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t cursor = (std::size_t(data[0]) << 8 | data[1]);
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    (void)velmora::roster::checkRoster(text);
    const auto cleaned = velmora::roster::cleanUpRoster(text, cursor);
    if (!cleaned)
        return 0;
    (void)velmora::roster::checkRoster(cleaned->text);
    if (cleaned->cursor > cleaned->text.size() || cleaned->text.find('"') != std::string::npos
        || cleaned->text.size() > text.size())
        std::abort();
    return 0;
}
