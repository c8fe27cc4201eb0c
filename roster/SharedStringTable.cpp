#include "roster/SharedStringTable.h"

#include "roster/BiffRecordTypes.h"

#include <algorithm>

namespace velmora::roster {
namespace {

using namespace biff;
constexpr std::size_t MAX_CELL_UNITS = 32767;
constexpr std::uint8_t UTF16_FLAG = 0x01;   // characters stored as UTF-16LE

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// Where an EXTSST bucket's first string starts: record number and offset
// into that record's payload.
struct BucketStart {
    std::size_t record;
    std::size_t offset;
};

struct SplitTable {
    std::vector<ByteWriter> records;   // SST payload, then CONTINUE payloads
    std::vector<BucketStart> buckets;
};

// Lays the strings out over records of at most MAX_RECORD_PAYLOAD bytes. A
// string's length and flags never split; when its characters do, the next
// CONTINUE record starts with the flags byte again. Surrogate pairs stay
// whole.
SplitTable splitStrings(const std::vector<std::u16string>& strings, std::uint32_t references,
                        std::size_t bucketSize)
{
    SplitTable table;
    table.records.emplace_back();
    table.records.back().u32(references);
    table.records.back().u32(static_cast<std::uint32_t>(strings.size()));
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const std::u16string& units = strings[i];
        if (table.records.back().size() + 3 + (units.empty() ? 0 : 2) > MAX_RECORD_PAYLOAD)
            table.records.emplace_back();
        if (i % bucketSize == 0)
            table.buckets.push_back({table.records.size() - 1, table.records.back().size()});
        table.records.back().u16(static_cast<std::uint16_t>(units.size()));
        table.records.back().u8(UTF16_FLAG);
        std::size_t pos = 0;
        while (pos < units.size()) {
            std::size_t room = (MAX_RECORD_PAYLOAD - table.records.back().size()) / 2;
            std::size_t count = std::min(room, units.size() - pos);
            if (count > 0 && count < units.size() - pos && isHighSurrogate(units[pos + count - 1]))
                --count;
            if (count == 0) {
                table.records.emplace_back();
                table.records.back().u8(UTF16_FLAG);
                continue;
            }
            table.records.back().utf16(units.substr(pos, count));
            pos += count;
        }
    }
    return table;
}

} // namespace

std::uint32_t SharedStringTable::add(const std::string& utf8)
{
    ++m_references;
    const auto found = m_indexes.find(utf8);
    if (found != m_indexes.end())
        return found->second;
    std::u16string units = utf8ToUtf16(utf8);
    if (units.size() > MAX_CELL_UNITS) {
        units.resize(MAX_CELL_UNITS);
        if (isHighSurrogate(units.back()))
            units.pop_back();
    }
    const auto index = static_cast<std::uint32_t>(m_strings.size());
    m_strings.push_back(std::move(units));
    m_indexes.emplace(utf8, index);
    return index;
}

void SharedStringTable::writeRecords(ByteWriter& stream) const
{
    // Readers expect at most 128 buckets, each of at least 8 strings.
    const std::size_t bucketSize = std::max<std::size_t>(8, m_strings.size() / 128 + 1);
    const SplitTable table = splitStrings(m_strings, m_references, bucketSize);

    std::vector<std::size_t> recordStarts;
    for (std::size_t i = 0; i < table.records.size(); ++i) {
        recordStarts.push_back(stream.size());
        appendRecord(stream, i == 0 ? SST : CONTINUE, table.records[i]);
    }

    ByteWriter index;
    index.u16(static_cast<std::uint16_t>(bucketSize));
    for (const BucketStart& bucket : table.buckets) {
        const std::size_t inRecord = 4 + bucket.offset;   // past the record header
        index.u32(static_cast<std::uint32_t>(recordStarts[bucket.record] + inRecord));
        index.u16(static_cast<std::uint16_t>(inRecord));
        index.u16(0);
    }
    appendRecord(stream, EXTSST, index);
}

} // namespace velmora::roster
