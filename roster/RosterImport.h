#pragma once

// Reading a filled-in roster template back into roster text.

#include "roster/ExcelComponent.h"

#include <string>

namespace velmora::roster {

struct ImportedRoster {
    // Row 1 holds exactly the four headings; when false, `text` is empty.
    bool headerMatches = false;
    // One line per student row: A TAB B TAB C TAB D CR LF, in GBK. Rows are
    // read from row 2 down to the first row whose name (column B) is empty.
    std::string text;
};

// Reads the workbook at `path` (UTF-8 file name) with a fresh application
// instance of `excel`, and closes the workbook and quits the instance once
// it has the texts. The headings are compared byte for byte over all four
// cells; a file that cannot be read has only empty cells, so it fails the
// check. A TAB, CR or LF inside a cell becomes a blank, since the roster
// cannot carry them and the phone would split the student there.
ImportedRoster readRoster(ExcelComponent& excel, const std::string& path);

} // namespace velmora::roster
