#include "roster/DuplicateRows.h"

#include <unordered_set>

namespace velmora::roster {
namespace {

constexpr std::string_view FULL_WIDTH_BLANK = "\xE3\x80\x80";

bool isBlank(char c) { return c == ' ' || c == '\r'; }

} // namespace

std::string_view trimmedField(std::string_view field)
{
    for (;;) {
        if (!field.empty() && isBlank(field.front()))
            field.remove_prefix(1);
        else if (field.starts_with(FULL_WIDTH_BLANK))
            field.remove_prefix(FULL_WIDTH_BLANK.size());
        else
            break;
    }
    for (;;) {
        if (!field.empty() && isBlank(field.back()))
            field.remove_suffix(1);
        else if (field.ends_with(FULL_WIDTH_BLANK))
            field.remove_suffix(FULL_WIDTH_BLANK.size());
        else
            return field;
    }
}

std::string rowIdentity(std::string_view row)
{
    std::string identity;
    identity.reserve(row.size());
    for (std::size_t from = 0;;) {
        const std::size_t tab = row.find('\t', from);
        identity += trimmedField(row.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
        if (tab == std::string_view::npos)
            return identity;
        identity += '\t';
        from = tab + 1;
    }
}

DuplicateFreeRoster withoutDuplicateRows(std::string_view roster)
{
    DuplicateFreeRoster result;
    result.text.reserve(roster.size());
    std::unordered_set<std::string> seen;
    for (std::size_t from = 0; from < roster.size();) {
        const std::size_t lf = roster.find('\n', from);
        const std::size_t end = lf == std::string_view::npos ? roster.size() : lf + 1;
        const std::string_view line = roster.substr(from, end - from);
        std::string_view row = line;
        if (row.ends_with('\n'))
            row.remove_suffix(1);
        if (row.ends_with('\r'))
            row.remove_suffix(1);
        if (row.empty() || seen.insert(rowIdentity(row)).second)
            result.text += line;
        else
            ++result.removed;
        from = end;
    }
    return result;
}

} // namespace velmora::roster
