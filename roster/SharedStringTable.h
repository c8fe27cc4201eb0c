#pragma once

// The workbook's table of unique cell texts (the BIFF8 SST record with its
// CONTINUE records, and the EXTSST index that readers use to find strings).

#include "roster/ByteWriter.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velmora::roster {

class SharedStringTable {
public:
    // The index of `utf8` in the table, adding it if it is new. Every call
    // counts as one cell referring to the table. Texts longer than a cell
    // can hold (32767 UTF-16 units) are cut there.
    std::uint32_t add(const std::string& utf8);

    // Appends SST, its CONTINUE records and EXTSST to the workbook stream;
    // EXTSST holds absolute stream positions, so it must be the stream the
    // file will hold, at its current end.
    void writeRecords(ByteWriter& stream) const;

private:
    std::vector<std::u16string> m_strings;
    std::map<std::string, std::uint32_t> m_indexes;
    std::uint32_t m_references = 0;
};

} // namespace velmora::roster
