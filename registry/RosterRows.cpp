#include "registry/RosterRows.h"

#include "platform/Codepage.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "roster/DuplicateRows.h"
#include "roster/RosterImport.h"
#include "roster/XlsWorkbook.h"

#include <array>
#include <fstream>
#include <iterator>

namespace velmora::registry {
namespace {

constexpr std::size_t MAX_ROSTER_FILE = 64 * 1024 * 1024;
constexpr std::string_view COMPOUND_FILE_SIGNATURE("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
constexpr std::string_view BYTE_ORDER_MARK("\xEF\xBB\xBF", 3);
constexpr std::string_view UTF16LE_MARK("\xFF\xFE", 2);
constexpr std::string_view UTF16BE_MARK("\xFE\xFF", 2);

std::array<std::string_view, 4> fieldsOf(std::string_view line)
{
    std::array<std::string_view, 4> fields;
    std::size_t from = 0;
    for (std::size_t i = 0; i < fields.size() && from <= line.size(); ++i) {
        const std::size_t tab = line.find('\t', from);
        const std::size_t end = tab == std::string_view::npos ? line.size() : tab;
        fields[i] = roster::trimmedField(line.substr(from, end - from));
        from = tab == std::string_view::npos ? line.size() + 1 : tab + 1;
    }
    return fields;
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        if (platform::decodeUtf8(text, pos) == platform::REPLACEMENT_CHARACTER
            && text.substr(start, pos - start) != "\xEF\xBF\xBD")
            return false;
    }
    return true;
}

// UTF-16 text after its byte-order mark: what a spreadsheet saves as
// "Unicode text". An unpaired surrogate becomes U+FFFD; an odd last byte is
// dropped.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    const auto unit = [bytes, bigEndian](std::size_t at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(bigEndian ? first << 8 | second : second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        char32_t cp = unit(at);
        if (cp >= 0xD800 && cp < 0xDC00 && at + 3 < bytes.size()) {
            const char32_t low = unit(at + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        platform::appendUtf8(out, cp >= 0xD800 && cp < 0xE000 ? platform::REPLACEMENT_CHARACTER : cp);
    }
    return out;
}

// The text of a roster file that is no workbook, as UTF-8: UTF-16 by its
// byte-order mark; UTF-8 (with or without its mark) when its bytes are
// valid UTF-8; else GB18030, which GBK is part of, so a rare character of
// a name (a four-byte code such as 𡒄, or 䶮) is kept and not turned into
// U+FFFD.
std::string rosterText(std::string_view bytes)
{
    if (bytes.starts_with(UTF16LE_MARK) || bytes.starts_with(UTF16BE_MARK))
        return utf16ToUtf8(bytes.substr(2), bytes.starts_with(UTF16BE_MARK));
    if (bytes.starts_with(BYTE_ORDER_MARK))
        bytes.remove_prefix(BYTE_ORDER_MARK.size());
    return isValidUtf8(bytes) ? std::string(bytes) : platform::gb18030ToUtf8(bytes);
}

} // namespace

std::vector<Student> rosterStudents(std::string_view utf8)
{
    std::vector<Student> students;
    std::size_t line = 0;
    for (std::size_t from = 0; from <= utf8.size();) {
        const std::size_t lf = utf8.find('\n', from);
        const std::size_t end = lf == std::string_view::npos ? utf8.size() : lf;
        const auto fields = fieldsOf(utf8.substr(from, end - from));
        ++line;
        from = end + 1;
        if (fields[1].empty() || (fields[0] == "学校标识码" && fields[1] == "姓名"))
            continue;
        students.push_back({line, std::string(fields[0]), std::string(fields[1]),
                            std::string(fields[2]), std::string(fields[3])});
    }
    return students;
}

std::optional<std::string> readRosterFile(const std::filesystem::path& path, std::string& reason)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        reason = "名册文件打不开";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = "名册文件打不开";
        return std::nullopt;
    }
    // Read in pieces up to the limit: the size the file reports may change
    // while it is read, and a limit-sized buffer up front costs more than
    // the whole check.
    std::string bytes;
    std::array<char, 64 * 1024> piece;
    while (in && bytes.size() <= MAX_ROSTER_FILE) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        bytes.append(piece.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad() || bytes.size() > MAX_ROSTER_FILE) {
        reason = in.bad() ? "名册文件读不出" : "名册文件太大";
        return std::nullopt;
    }
    if (bytes.starts_with(COMPOUND_FILE_SIGNATURE)) {
        roster::XlsWorkbook workbook;
        const roster::ImportedRoster imported = roster::readRoster(workbook, platform::utf8FromPath(path));
        if (!imported.headerMatches) {
            reason = "名册表格不是名册模板（第1行应为 学校标识码、姓名、身份证号、班级编号）";
            return std::nullopt;
        }
        return platform::gbkToUtf8(imported.text);
    }
    return rosterText(bytes);
}

} // namespace velmora::registry
