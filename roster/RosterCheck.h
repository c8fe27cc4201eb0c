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
};

struct RowFinding {
    std::size_t line = 0;     // the row's line in the box, from 1
    std::string name;         // the row's second field (UTF-8), "" when none
    RowFault fault = RowFault::FieldCount;
    std::size_t fields = 0;   // FieldCount: how many fields the row has
    std::size_t firstLine = 0;// IdRepeated: the line that has the number first
    std::string detail;       // IdAsNumber, IdInvalid: the field as it stands;
                              // CharacterLost: the characters (UTF-8), once each
};

// Looks over `roster` (the box's CR LF text as UTF-8). Lines are split at
// LF, a CR in front of it dropped; empty lines are no rows, but they count
// for the line numbers, so the numbers match the box's lines. A row whose
// field count is wrong is reported for that alone: its third field need not
// be the ID card's. An empty ID-card field is fine. Findings are in line
// order, several per row possible. Returns nothing for a clean roster.
std::vector<RowFinding> checkRoster(std::string_view roster);

// Whether `id` is a resident ID number: 18 characters, 17 digits and the
// GB 11643 check character (ISO 7064 MOD 11-2; "x" taken as "X"), or the
// older form of 15 digits.
bool isResidentIdNumber(std::string_view id);

// The message that lists the first `maxRows` affected rows, one line each
// with its line number, name and reasons, and says how many more rows are
// affected. UTF-8.
std::string rosterCheckMessage(const std::vector<RowFinding>& findings, std::size_t maxRows = 10);

} // namespace velmora::roster
