#include "roster/RosterCleanup.h"

#include <algorithm>
#include <vector>

namespace velmora::roster {
namespace {

constexpr char TAB = '\t';
constexpr char QUOTE = '"';

// Every step only removes characters, so the text is carried together with
// the original offset of each of its bytes; the caret is then mapped by
// counting the surviving bytes in front of it.
struct TrackedText {
    std::string bytes;
    std::vector<std::size_t> origin;

    void keepOnly(const std::vector<bool>& drop)
    {
        std::string keptBytes;
        std::vector<std::size_t> keptOrigin;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (!drop[i]) {
                keptBytes.push_back(bytes[i]);
                keptOrigin.push_back(origin[i]);
            }
        }
        bytes = std::move(keptBytes);
        origin = std::move(keptOrigin);
    }
};

// Removes the bytes at offsets [from, to) of every left-to-right,
// non-overlapping occurrence of `needle`.
void removeFromEach(TrackedText& text, std::string_view needle, std::size_t from, std::size_t to)
{
    std::vector<bool> drop(text.bytes.size(), false);
    std::size_t pos = text.bytes.find(needle);
    while (pos != std::string::npos) {
        std::fill(drop.begin() + static_cast<std::ptrdiff_t>(pos + from),
                  drop.begin() + static_cast<std::ptrdiff_t>(pos + to), true);
        pos = text.bytes.find(needle, pos + needle.size());
    }
    text.keepOnly(drop);
}

} // namespace

std::optional<CleanedRoster> cleanUpRoster(std::string_view text, std::size_t cursor)
{
    static constexpr std::string_view TAB_QUOTE = "\t\"";
    if (text.find(TAB_QUOTE) == std::string_view::npos)
        return std::nullopt;

    TrackedText tracked{std::string(text), {}};
    tracked.origin.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        tracked.origin[i] = i;

    removeFromEach(tracked, "\r\n\"\t", 2, 4);
    if (tracked.bytes.size() >= 2 && tracked.bytes[0] == QUOTE && tracked.bytes[1] == TAB) {
        std::vector<bool> drop(tracked.bytes.size(), false);
        drop[0] = drop[1] = true;
        tracked.keepOnly(drop);
    }
    removeFromEach(tracked, TAB_QUOTE, 0, 2);
    removeFromEach(tracked, "\"", 0, 1);

    const std::size_t caret = std::min(cursor, text.size());
    const auto kept = std::lower_bound(tracked.origin.begin(), tracked.origin.end(), caret);
    return CleanedRoster{std::move(tracked.bytes),
                         static_cast<std::size_t>(kept - tracked.origin.begin())};
}

} // namespace velmora::roster
