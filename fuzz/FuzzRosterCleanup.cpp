// The roster clean-up on any pasted text and caret: no crash, the caret stays
// inside the text, and a cleaned text holds no quote at all. The look over
// the roster before a send gets the same texts, before and after clean-up.
// 删除重复行 takes out exactly the rows it counts, and leaves none to take
// out again; a roster file's bytes read as GB18030 give valid UTF-8.

#include "platform/Codepage.h"
#include "platform/Utf8.h"
#include "roster/DuplicateRows.h"
#include "roster/RosterCheck.h"
#include "roster/RosterCleanup.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool isValidUtf8(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        if (velmora::platform::decodeUtf8(text, pos) == velmora::platform::REPLACEMENT_CHARACTER
            && text.substr(start, pos - start) != "\xEF\xBF\xBD")
            return false;
    }
    return true;
}

void checkDuplicateRows(std::string_view text)
{
    using namespace velmora::roster;
    const DuplicateFreeRoster kept = withoutDuplicateRows(text);
    if (kept.text.size() > text.size() || rosterRowCount(kept.text) + kept.removed != rosterRowCount(text)
        || withoutDuplicateRows(kept.text).removed != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t cursor = (std::size_t(data[0]) << 8 | data[1]);
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    (void)velmora::roster::checkRoster(text);
    checkDuplicateRows(text);
    if (!isValidUtf8(velmora::platform::gb18030ToUtf8(text)))
        std::abort();
    const auto cleaned = velmora::roster::cleanUpRoster(text, cursor);
    if (!cleaned)
        return 0;
    (void)velmora::roster::checkRoster(cleaned->text);
    if (cleaned->cursor > cleaned->text.size() || cleaned->text.find('"') != std::string::npos
        || cleaned->text.size() > text.size())
        std::abort();
    return 0;
}
