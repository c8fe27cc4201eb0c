#pragma once

// The clean-up of the roster box after the user's own edits. A spreadsheet's
// copy puts a cell in quotes when its text holds a line break or a TAB, or
// begins with one; the clean-up turns such fields back into plain ones, so
// that every student stays one line of four fields.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::roster {

struct CleanedRoster {
    std::string text;     // the box's new text
    std::size_t cursor;   // the caret's new byte offset into `text`
};

// Cleans `text` (the box's CR LF text, GBK or UTF-8: TAB, quote, CR and LF
// never occur as a trail byte of either) when it holds a TAB directly
// followed by a quote; any other text is left as it stands. The text is read
// as a spreadsheet writes its copies: a field (at the start of the text or
// of a line, or after a TAB) that begins with a quote runs to its closing
// quote (see quotedFieldEnd) and may hold line breaks. Inside it, TABs in
// front of the value are dropped and line breaks (CR LF, CR or LF) become
// one blank each. Then every quote in the text is removed. A quote without
// a closing one opens no field. TABs between fields and line breaks between
// rows are never removed, and the text never grows.
// `cursor` is the caret's byte offset into `text` (clamped to its size); the
// result keeps the caret behind the same character it followed, or where the
// removed characters stood, so that after a paste it stays at the end of what
// was pasted. Returns nullopt when the text is left untouched.
std::optional<CleanedRoster> cleanUpRoster(std::string_view text, std::size_t cursor);

// Where the quoted field whose opening quote is at text[open] ends: the
// offset of its closing quote, the next quote that is not doubled and is
// followed by a TAB, a line break or the text's end, as behind every cell a
// spreadsheet quotes. A quoted cell holds TABs only in front of its value
// (the form a spreadsheet copies a cell beginning with a TAB in), so a TAB
// met later, or nothing but TABs up to the closing quote, means the opening
// quote opens no field: it is a ditto mark ("same as above") or a quote the
// user typed, and pairing it with the next one would fold the rows between
// them into one field. Returns npos then, and when no closing quote follows.
// `open` must be below text.size().
std::size_t quotedFieldEnd(std::string_view text, std::size_t open);

} // namespace velmora::roster
