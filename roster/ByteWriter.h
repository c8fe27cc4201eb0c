#pragma once

// Little-endian byte building for the .xls records and the compound file.

#include "roster/BiffRecordTypes.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velmora::roster {

class ByteWriter {
public:
    void u8(std::uint8_t value) { m_bytes.push_back(value); }
    void u16(std::uint16_t value);
    void u32(std::uint32_t value);
    void f64(double value);
    void zeros(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    void bytes(const std::vector<std::uint8_t>& more) { m_bytes.insert(m_bytes.end(), more.begin(), more.end()); }
    // UTF-16 code units, little-endian, no length and no terminator.
    void utf16(const std::u16string& text);
    // Overwrites 4 bytes at `offset` (which must lie inside the buffer).
    void patchU32(std::size_t offset, std::uint32_t value);

    std::size_t size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& data() const { return m_bytes; }
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

// UTF-8 to UTF-16. Invalid sequences become U+FFFD. Never fails.
std::u16string utf8ToUtf16(std::string_view utf8);

} // namespace velmora::roster

namespace velmora::roster {

// The largest payload of one BIFF8 record; longer data goes on in CONTINUE
// records.
using biff::MAX_RECORD_PAYLOAD;

// Appends one BIFF record: type, payload length, payload (at most
// MAX_RECORD_PAYLOAD bytes).
void appendRecord(ByteWriter& stream, std::uint16_t type, const ByteWriter& payload);

} // namespace velmora::roster
