#include "platform/IniFile.h"

#include "platform/Codepage.h"

#include <vector>

namespace velmora::platform {
namespace {

struct Line {
    std::size_t begin; // first byte of the line
    std::size_t end;   // first byte of its line break, or the file's end
    std::size_t next;  // first byte of the next line
};

std::vector<Line> splitLines(std::string_view file)
{
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < file.size()) {
        const std::size_t lf = file.find('\n', begin);
        const std::size_t next = lf == std::string_view::npos ? file.size() : lf + 1;
        std::size_t end = lf == std::string_view::npos ? file.size() : lf;
        if (end > begin && file[end - 1] == '\r')
            --end;
        lines.push_back({begin, end, next});
        begin = next;
    }
    return lines;
}

std::string_view trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The section name of a "[name]" line, or nullopt for any other line. The
// closing bracket is searched by character: "]" can be a GBK trail byte.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const std::size_t close = platform::gbkFind(line, "]", 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct Item {
    std::string_view key;
    std::string_view value;
};

std::optional<Item> itemOf(std::string_view line)
{
    const std::size_t equals = line.find('='); // "=" is never a GBK trail byte
    if (equals == std::string_view::npos || trim(line).starts_with(';'))
        return std::nullopt;
    return Item{trim(line.substr(0, equals)), trim(line.substr(equals + 1))};
}

struct Location {
    bool sectionFound = false;
    std::optional<Line> keyLine;
    std::size_t insertAt = 0; // where a missing key or section goes
};

Location locate(std::string_view file, std::string_view section, std::string_view key)
{
    Location where;
    where.insertAt = file.size();
    bool inSection = false;
    for (const Line& line : splitLines(file)) {
        const std::string_view text = file.substr(line.begin, line.end - line.begin);
        if (const auto name = sectionName(text)) {
            if (inSection)
                return where; // the matching section ended without the key
            inSection = !where.sectionFound && sameName(*name, trim(section));
            if (inSection) {
                where.sectionFound = true;
                where.insertAt = line.next;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (const auto item = itemOf(text)) {
            if (sameName(item->key, trim(key))) {
                where.keyLine = line;
                return where;
            }
        }
        if (!trim(text).empty())
            where.insertAt = line.next;
    }
    return where;
}

} // namespace

std::optional<std::string> iniRead(std::string_view file, std::string_view section,
                                   std::string_view key)
{
    const Location where = locate(file, section, key);
    if (!where.keyLine)
        return std::nullopt;
    const Line& line = *where.keyLine;
    return std::string(itemOf(file.substr(line.begin, line.end - line.begin))->value);
}

std::string iniWrite(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value)
{
    const Location where = locate(file, section, key);
    const std::string item = std::string(key) + "=" + std::string(value);
    std::string out;
    if (where.keyLine) {
        out.append(file.substr(0, where.keyLine->begin));
        out.append(item);
        out.append(file.substr(where.keyLine->end));
        return out;
    }
    out.append(file.substr(0, where.insertAt));
    if (!out.empty() && out.back() != '\n')
        out.append("\r\n");
    if (!where.sectionFound)
        out.append("[" + std::string(section) + "]\r\n");
    out.append(item + "\r\n");
    out.append(file.substr(where.insertAt));
    return out;
}

} // namespace velmora::platform
