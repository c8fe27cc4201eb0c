#pragma once

// The look over the roster before it goes to the phone: the rows that the
// phone would take apart wrongly, file under a wrong student, or show with
// "?" in place of a character. The phone is the only party that splits the
// roster into fields, so what is wrong must be caught here.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::roster {

enum class RowFault {
    FieldCount,      // not exactly four fields
    IdAsNumber,      // the ID-card field in a spreadsheet's number form, or
                     // shown in full with its last digits turned into "000"
    IdInvalid,       // neither an 18-character resident ID nor the 15-digit form
    IdRepeated,      // the same ID-card number as an earlier row (the
                     // 15- and 18-digit forms of one number alike)
    CharacterLost,   // characters code page 936 cannot carry
    Duplicate,       // identical to an earlier row (see rowIdentity): the
                     // roster pasted twice, the student listed twice
    LineBreakInCell, // a quoted cell that holds a line break: the phone
                     // would take the row for several
};

struct RowFinding {
    std::size_t line = 0;     // the row's line in the box, from 1
    std::string name;         // the row's second field (UTF-8), "" when none
    RowFault fault = RowFault::FieldCount;
    std::size_t fields = 0;   // FieldCount: how many fields the row has
    std::size_t firstLine = 0;// IdRepeated: the line that has the number first;
                              // Duplicate: the line of the first identical row
    std::string detail;       // IdAsNumber, IdInvalid: the field as it stands;
                              // CharacterLost: the characters (UTF-8), once each
    std::size_t lastLine = 0; // LineBreakInCell: the line the row ends on
};

// Looks over `roster` (the box's CR LF text as UTF-8). Lines are split at
// LF, a CR in front of it dropped; empty lines are no rows, but they count
// for the line numbers, so the numbers match the box's lines. A row that is
// identical to an earlier one is reported for that alone (its faults are the
// earlier row's). A quoted cell (see quotedFieldEnd) whose closing quote
// lies on a later line makes one row of the lines up to it, reported for
// that and for characters lost. A row whose field count is wrong is
// reported for that alone: its third field need not be the ID card's. An
// empty ID-card field is fine. Findings are in line order, several per row
// possible. Returns nothing for a clean roster.
std::vector<RowFinding> checkRoster(std::string_view roster);

// How many rows `roster` holds as the phone counts them: its lines, split
// at LF, that hold anything but a CR.
std::size_t rosterRowCount(std::string_view roster);

// Whether `id` is a resident ID number: 18 characters, 17 digits and the
// GB 11643 check character (ISO 7064 MOD 11-2; "x" taken as "X"), or the
// older form of 15 digits.
bool isResidentIdNumber(std::string_view id);

// The message about `findings` (UTF-8): how many rows repeat an earlier
// one, when any do, in one line; then the first `maxRows` other affected
// rows, one line each with its line number, name and reasons, and how many
// more rows are affected.
std::string rosterCheckMessage(const std::vector<RowFinding>& findings, std::size_t maxRows = 10);

} // namespace velmora::roster
