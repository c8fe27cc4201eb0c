#include "roster/RosterCheck.h"

#include "platform/Codepage.h"
#include "platform/Utf8.h"
#include "roster/DuplicateRows.h"
#include "roster/RosterCleanup.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace velmora::roster {
namespace {

constexpr std::size_t ROSTER_FIELDS = 4;
constexpr std::size_t NAME_FIELD = 1;
constexpr std::size_t ID_FIELD = 2;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text)
{
    for (char c : text)
        if (!isDigit(c))
            return false;
    return true;
}

// What a spreadsheet shows for a long number in a General cell and copies
// as such: a digit, maybe a fraction, and a positive exponent
// ("3.30101E+17", "3.30101201001011E+17"). The digits past the fifteenth
// are gone for good.
bool isNumberForm(std::string_view text)
{
    const std::size_t e = text.find_first_of("Ee");
    if (e == std::string_view::npos || e == 0 || e + 2 >= text.size() || text[e + 1] != '+')
        return false;
    const std::string_view mantissa = text.substr(0, e);
    const std::size_t point = mantissa.find('.');
    const bool mantissaOk = point == std::string_view::npos
        ? allDigits(mantissa)
        : point > 0 && point + 1 < mantissa.size() && allDigits(mantissa.substr(0, point))
              && allDigits(mantissa.substr(point + 1));
    return mantissaOk && allDigits(text.substr(e + 2));
}

// The GB 11643 check character (ISO 7064 MOD 11-2) of the first 17 digits
// of `id`.
char checkCharacter(std::string_view id)
{
    static constexpr std::array<int, 17> WEIGHTS{7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static constexpr std::string_view CHECK_CHARACTERS = "10X98765432";
    int sum = 0;
    for (std::size_t i = 0; i < WEIGHTS.size(); ++i)
        sum += (id[i] - '0') * WEIGHTS[i];
    return CHECK_CHARACTERS[static_cast<std::size_t>(sum % 11)];
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t at = text.find(separator); at != std::string_view::npos; at = text.find(separator, from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    parts.push_back(text.substr(from));
    return parts;
}

// Whether code page 936 holds `cp`, asked of the converter once per
// character of a roster: names repeat their characters many times over.
class GbkVerdicts {
public:
    bool holds(char32_t cp)
    {
        const auto [known, isNew] = m_verdicts.try_emplace(cp, false);
        if (isNew)
            known->second = platform::gbkHolds(cp);
        return known->second;
    }

private:
    std::unordered_map<char32_t, bool> m_verdicts;
};

// The characters of `row` that code page 936 lacks, once each, as UTF-8.
std::string lostCharacters(std::string_view row, GbkVerdicts& gbk)
{
    std::string lost;
    for (std::size_t pos = 0; pos < row.size();) {
        if (static_cast<unsigned char>(row[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        const char32_t cp = platform::decodeUtf8(row, pos);
        const std::string_view character = row.substr(start, pos - start);
        if (!gbk.holds(cp) && lost.find(character) == std::string::npos)
            lost += character;
    }
    return lost;
}

// The ID number as the repeated-ID check compares it: "x" as "X", and the
// old 15 digits in their 18-character form ("19" put in front of the
// two-digit year, the check character added), so that one person listed
// once in each form counts twice.
std::string idKey(std::string_view id)
{
    std::string key(id);
    if (key.size() == 15 && allDigits(key)) {
        key.insert(6, "19");
        key.push_back(checkCharacter(key));
    }
    if (!key.empty() && key.back() == 'x')
        key.back() = 'X';
    return key;
}

// A long number that a spreadsheet shows in full (a number format of "0"):
// it keeps 15 significant digits and pads the rest with zeros, so an ID
// number ends in "000". Only an invalid number is taken for one; a real ID
// may end so.
bool isPaddedNumber(std::string_view id)
{
    return id.size() == 18 && allDigits(id) && id.ends_with("000") && !isResidentIdNumber(id);
}

class RosterLook {
public:
    void row(std::size_t line, std::string_view text)
    {
        const std::vector<std::string_view> fields = split(text, '\t');
        const std::string name(fields.size() > NAME_FIELD ? fields[NAME_FIELD] : std::string_view());
        if (const auto [first, isNew] = m_firstLineOfRow.try_emplace(rowIdentity(text), line); !isNew) {
            add({line, name, RowFault::Duplicate, 0, first->second, {}});
            return;
        }
        if (fields.size() != ROSTER_FIELDS)
            add({line, name, RowFault::FieldCount, fields.size(), 0, {}});
        else
            idField(line, name, fields[ID_FIELD]);
        reportLostCharacters(line, name, text);
    }
    // A row whose quoted cell runs from `line` on to `lastLine`: the phone
    // splits it at each line break, so nothing else of it is what the phone
    // gets.
    void brokenRow(std::size_t line, std::size_t lastLine, std::string_view text)
    {
        const std::vector<std::string_view> fields = split(text, '\t');
        const std::string name(fields.size() > NAME_FIELD ? fields[NAME_FIELD] : std::string_view());
        add({line, name, RowFault::LineBreakInCell, 0, 0, {}, lastLine});
        reportLostCharacters(line, name, text);
    }
    std::vector<RowFinding> take() { return std::move(m_findings); }

private:
    void idField(std::size_t line, const std::string& name, std::string_view id)
    {
        if (id.empty())
            return;
        if (isNumberForm(id) || isPaddedNumber(id)) {
            add({line, name, RowFault::IdAsNumber, 0, 0, std::string(id)});
            return;
        }
        if (!isResidentIdNumber(id))
            add({line, name, RowFault::IdInvalid, 0, 0, std::string(id)});
        const auto [first, isNew] = m_firstLineOfId.try_emplace(idKey(id), line);
        if (!isNew)
            add({line, name, RowFault::IdRepeated, 0, first->second, {}});
    }
    void reportLostCharacters(std::size_t line, const std::string& name, std::string_view text)
    {
        if (std::string lost = lostCharacters(text, m_gbk); !lost.empty())
            add({line, name, RowFault::CharacterLost, 0, 0, std::move(lost)});
    }
    void add(RowFinding finding) { m_findings.push_back(std::move(finding)); }

    std::vector<RowFinding> m_findings;
    std::unordered_map<std::string, std::size_t> m_firstLineOfId;
    std::unordered_map<std::string, std::size_t> m_firstLineOfRow;
    GbkVerdicts m_gbk;
};

// The end of the row that begins at `from` and whose first line ends at
// `lineEnd`: the end of the line holding the closing quote of a quoted cell
// of the row that runs past `lineEnd`, else `lineEnd`.
std::size_t rowEnd(std::string_view roster, std::size_t from, std::size_t lineEnd)
{
    for (std::size_t field = from; field < lineEnd;) {
        std::size_t next = field;
        if (roster[field] == '"') {
            const std::size_t close = quotedFieldEnd(roster, field);
            if (close != std::string_view::npos && close > lineEnd) {
                const std::size_t lf = roster.find('\n', close);
                return lf == std::string_view::npos ? roster.size() : lf;
            }
            if (close != std::string_view::npos)
                next = close;
        }
        const std::size_t tab = roster.find('\t', next);
        if (tab == std::string_view::npos || tab >= lineEnd)
            break;
        field = tab + 1;
    }
    return lineEnd;
}

// At most MAX_SHOWN characters of a field, so that a row pasted whole into
// one field keeps the message readable.
std::string shortened(std::string_view utf8)
{
    constexpr std::size_t MAX_SHOWN = 24;
    std::size_t pos = 0;
    for (std::size_t shown = 0; pos < utf8.size() && shown < MAX_SHOWN; ++shown)
        platform::decodeUtf8(utf8, pos);
    return pos < utf8.size() ? std::string(utf8.substr(0, pos)) + "…" : std::string(utf8);
}

std::string reason(const RowFinding& finding)
{
    switch (finding.fault) {
    case RowFault::FieldCount:
        return "有" + std::to_string(finding.fields) + "列，每行应为4列（学校标识码、姓名、身份证号、班级编号）";
    case RowFault::IdAsNumber:
        if (finding.detail.ends_with("000") && allDigits(finding.detail))
            return "身份证号“" + shortened(finding.detail) + "”已被表格改成数字，末三位变成了000，原来的数字已丢失";
        return "身份证号“" + shortened(finding.detail) + "”已被表格改成数字，后几位已丢失";
    case RowFault::IdInvalid:
        return "身份证号“" + shortened(finding.detail) + "”不是有效的身份证号";
    case RowFault::IdRepeated:
        return "身份证号与第" + std::to_string(finding.firstLine) + "行相同";
    case RowFault::CharacterLost:
        return "“" + shortened(finding.detail) + "”传到手机会变成“?”";
    case RowFault::Duplicate:
        return {};   // counted in the message's first line, never listed
    case RowFault::LineBreakInCell:
        return "有一格里含换行（到第" + std::to_string(finding.lastLine) + "行才结束），手机会把它拆成"
            + std::to_string(finding.lastLine - finding.line + 1) + "行";
    }
    return {};
}

} // namespace

bool isResidentIdNumber(std::string_view id)
{
    if (id.size() == 15)
        return allDigits(id);
    if (id.size() != 18 || !allDigits(id.substr(0, 17)))
        return false;
    const char check = id[17] == 'x' ? 'X' : id[17];
    return check == checkCharacter(id);
}

std::vector<RowFinding> checkRoster(std::string_view roster)
{
    RosterLook look;
    std::size_t line = 0;
    for (std::size_t from = 0; from <= roster.size();) {
        const std::size_t lf = roster.find('\n', from);
        const std::size_t lineEnd = lf == std::string_view::npos ? roster.size() : lf;
        const std::size_t end = rowEnd(roster, from, lineEnd);
        std::string_view text = roster.substr(from, end - from);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        ++line;
        if (end > lineEnd) {
            const auto breaks = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
            look.brokenRow(line, line + breaks, text);
            line += breaks;
        } else if (!text.empty()) {
            look.row(line, text);
        }
        from = end + 1;
    }
    return look.take();
}

std::size_t rosterRowCount(std::string_view roster)
{
    std::size_t rows = 0;
    for (std::string_view text : split(roster, '\n'))
        if (!text.empty() && text != "\r")
            ++rows;
    return rows;
}

std::string rosterCheckMessage(const std::vector<RowFinding>& findings, std::size_t maxRows)
{
    const auto duplicates = static_cast<std::size_t>(std::count_if(
        findings.begin(), findings.end(), [](const RowFinding& f) { return f.fault == RowFault::Duplicate; }));
    std::string message;
    if (duplicates > 0)
        message = "名册中有 " + std::to_string(duplicates) + " 行重复（可能粘贴了两次），传到手机后这些学生会出现两次。"
                  "可点“删除重复行”，每个学生只留第一次出现的那一行，再点“传名册到手机”。\n";
    std::string rowLines;
    std::size_t rows = 0;
    for (std::size_t i = 0; i < findings.size();) {
        std::size_t end = i + 1;
        while (end < findings.size() && findings[end].line == findings[i].line)
            ++end;
        if (findings[i].fault != RowFault::Duplicate && ++rows <= maxRows) {
            rowLines += "\n第" + std::to_string(findings[i].line) + "行";
            if (!findings[i].name.empty())
                rowLines += " " + shortened(findings[i].name);
            for (std::size_t k = i; k < end; ++k)
                rowLines += (k == i ? "：" : "；") + reason(findings[k]);
        }
        i = end;
    }
    if (rows > maxRows)
        rowLines += "\n……另有" + std::to_string(rows - maxRows) + "行也有问题。";
    if (rows > 0)
        message += (message.empty() ? "" : "\n") + std::string("名册中下面这些行传到手机后会出错：\n") + rowLines;
    return message;
}

} // namespace velmora::roster
