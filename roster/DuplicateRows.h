#pragma once

// Rows that say again what an earlier row of the roster says: what a roster
// pasted twice, or one class copied twice, leaves in the box. The phone
// would list each such student twice and the photo check would find two
// students for every photo, so the send check offers to take them out and
// the photo check counts them once.

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::roster {

// `field` without the blanks, full-width blanks and CRs around it (a CR at
// a row's last field is the CR of its CR LF). UTF-8.
std::string_view trimmedField(std::string_view field);

// The form in which rows are compared: the row's fields (split at TAB), each
// trimmed as trimmedField does, joined by TAB. Two rows are identical when these are equal: the same
// fields, in the same order and number. Blanks around a cell are a
// spreadsheet cell's stray typing, no part of the student; rows that differ
// in any field, even only in the ID number's "x" or in its 15- and 18-digit
// forms, are not identical (the send check reports those as repeated IDs).
// `row` is UTF-8, without its LF.
std::string rowIdentity(std::string_view row);

struct DuplicateFreeRoster {
    std::string text;          // the roster without the repeats
    std::size_t removed = 0;   // how many rows were taken out
};

// `roster` (UTF-8, CR LF or LF) without every row identical to an earlier
// one, each taken out with its line break. The first of identical rows stays
// where it was; every other row, empty line and line break stays byte for
// byte. Empty lines are no rows, so they are never taken out.
DuplicateFreeRoster withoutDuplicateRows(std::string_view roster);

} // namespace velmora::roster
