#pragma once

#include "roster/BiffRecordCheck.h"

#include <cstdint>

namespace velmora::roster {

// The shared string table (SST) walked exactly as FreeXL walks it: strings may
// break into the next CONTINUE record once (with a new flags byte), and the
// run and extension bytes after a string are skipped into the next record.
// Every read FreeXL makes must lie inside the record it makes it in.
class SharedStringCheck {
public:
    // Walks the SST record or a CONTINUE record after it. Returns false as
    // soon as FreeXL would read outside `r`, meet a string count above its
    // own limit, an empty string, a string broken twice, or a 16-bit
    // character cut in half.
    bool record(const BiffRecord& r);

private:
    bool finishBrokenString(const BiffRecord& r, std::uint64_t& p);

    bool m_started = false;
    std::uint32_t m_count = 0;
    std::uint32_t m_index = 0;
    std::uint32_t m_pendingLength = 0; // characters of a string broken at a record end
    std::uint32_t m_pendingDone = 0;
    std::uint64_t m_pendingSkip = 0;
    std::uint64_t m_nextSkip = 0;
};

} // namespace velmora::roster
