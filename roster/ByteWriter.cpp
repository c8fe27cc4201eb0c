#include "roster/ByteWriter.h"

#include <bit>
#include <cassert>
#include <cstring>
#include <string>

namespace velmora::roster {

void ByteWriter::u16(std::uint16_t value)
{
    u8(static_cast<std::uint8_t>(value));
    u8(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::u32(std::uint32_t value)
{
    u16(static_cast<std::uint16_t>(value));
    u16(static_cast<std::uint16_t>(value >> 16));
}

void ByteWriter::f64(double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    u32(static_cast<std::uint32_t>(bits));
    u32(static_cast<std::uint32_t>(bits >> 32));
}

void ByteWriter::utf16(const std::u16string& text)
{
    for (char16_t unit : text)
        u16(static_cast<std::uint16_t>(unit));
}

void ByteWriter::patchU32(std::size_t offset, std::uint32_t value)
{
    assert(offset + 4 <= m_bytes.size());
    for (int i = 0; i < 4; ++i)
        m_bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

namespace {

// Decodes one UTF-8 sequence at text[pos]; advances pos past it.
char32_t decodeOne(std::string_view text, std::size_t& pos)
{
    constexpr char32_t REPLACEMENT = 0xFFFD;
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) { extra = 1; code = lead & 0x1F; minimum = 0x80; }
    else if (lead >= 0xE0 && lead <= 0xEF) { extra = 2; code = lead & 0x0F; minimum = 0x800; }
    else if (lead >= 0xF0 && lead <= 0xF4) { extra = 3; code = lead & 0x07; minimum = 0x10000; }
    else return REPLACEMENT;
    for (int i = 0; i < extra; ++i) {
        if (pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80)
            return REPLACEMENT;
        code = (code << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return REPLACEMENT;
    return code;
}

} // namespace

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t code = decodeOne(utf8, pos);
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

} // namespace velmora::roster

namespace velmora::roster {

void appendRecord(ByteWriter& stream, std::uint16_t type, const ByteWriter& payload)
{
    assert(payload.size() <= MAX_RECORD_PAYLOAD);
    stream.u16(type);
    stream.u16(static_cast<std::uint16_t>(payload.size()));
    stream.bytes(payload.data());
}

} // namespace velmora::roster
