#pragma once

// The clean-up of the roster box after the user's own edits. A spreadsheet's
// copy delivers a cell whose text begins with a TAB as quote, TAB, value,
// quote; the clean-up turns such fields back into plain ones.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::roster {

struct CleanedRoster {
    std::string text;     // the box's new text
    std::size_t cursor;   // the caret's new byte offset into `text`
};

// Runs the four clean-up steps over `text` (the box's CR LF text, GBK or
// UTF-8: TAB, quote, CR and LF never occur as a trail byte of either):
//  1. no TAB directly followed by a quote anywhere: nothing happens;
//  2. every CR LF quote TAB becomes CR LF;
//  3. a leading quote TAB is removed;
//  4. every TAB directly followed by a quote is removed with that quote, then
//     every remaining quote is removed.
// Each replacement scans left to right and never re-scans what it produced.
// `cursor` is the caret's byte offset into `text` (clamped to its size); the
// result keeps the caret behind the same character it followed, or where the
// removed characters stood, so that after a paste it stays at the end of what
// was pasted. Returns nullopt when step 1 leaves the text untouched.
std::optional<CleanedRoster> cleanUpRoster(std::string_view text, std::size_t cursor);

} // namespace velmora::roster
