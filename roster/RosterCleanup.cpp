#include "roster/RosterCleanup.h"

#include <algorithm>

namespace velmora::roster {
namespace {

constexpr char TAB = '\t';
constexpr char QUOTE = '"';
constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char BLANK = ' ';

bool isLineBreak(char c) { return c == CR || c == LF; }

// The cleaned text with the caret carried along: the caret's new offset is
// the number of kept bytes that stood in front of it.
class CleanText {
public:
    CleanText(std::size_t size, std::size_t caret) : m_caret(caret) { m_text.reserve(size); }

    // Keeps `c` for the input byte at `origin`.
    void keep(char c, std::size_t origin)
    {
        m_text.push_back(c);
        if (origin < m_caret)
            ++m_caretAfter;
    }
    CleanedRoster take() { return {std::move(m_text), m_caretAfter}; }

private:
    std::string m_text;
    std::size_t m_caret;
    std::size_t m_caretAfter = 0;
};

// The value between a quoted field's quotes, [from, to): TABs in front of the
// value are dropped (the spreadsheet quoted the cell for them), line breaks
// (CR LF counted once) become blanks, quotes go.
void keepQuotedValue(std::string_view text, std::size_t from, std::size_t to, CleanText& out)
{
    std::size_t pos = from;
    while (pos < to && text[pos] == TAB)
        ++pos;
    for (; pos < to; ++pos) {
        const char c = text[pos];
        if (c == QUOTE)
            continue;
        if (isLineBreak(c)) {
            out.keep(BLANK, pos);
            if (c == CR && pos + 1 < to && text[pos + 1] == LF)
                ++pos;
            continue;
        }
        out.keep(c, pos);
    }
}

} // namespace

std::size_t quotedFieldEnd(std::string_view text, std::size_t open)
{
    std::size_t pos = open + 1;
    while (pos < text.size() && text[pos] == TAB)
        ++pos;
    const std::size_t value = pos;
    for (; pos < text.size(); ++pos) {
        if (text[pos] == TAB)
            return std::string_view::npos;
        if (text[pos] != QUOTE)
            continue;
        const bool last = pos + 1 == text.size();
        if (!last && text[pos + 1] == QUOTE) {
            ++pos;
            continue;
        }
        if (last || text[pos + 1] == TAB || isLineBreak(text[pos + 1]))
            // Nothing but TABs between two quotes: two ditto marks side by side.
            return pos == value && value > open + 1 ? std::string_view::npos : pos;
    }
    return std::string_view::npos;
}

std::optional<CleanedRoster> cleanUpRoster(std::string_view text, std::size_t cursor)
{
    if (text.find("\t\"") == std::string_view::npos)
        return std::nullopt;

    CleanText out(text.size(), std::min(cursor, text.size()));
    bool fieldStart = true;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (fieldStart && c == QUOTE) {
            const std::size_t close = quotedFieldEnd(text, pos);
            if (close != std::string_view::npos) {
                keepQuotedValue(text, pos + 1, close, out);
                pos = close;
                fieldStart = false;
                continue;
            }
        }
        fieldStart = c == TAB || isLineBreak(c);
        if (c != QUOTE)
            out.keep(c, pos);
    }
    return out.take();
}

} // namespace velmora::roster
