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

// The closing quote of the field whose opening quote is at `open`: the next
// quote that is not doubled and that a TAB, a line break or the text's end
// follows, as it does behind every field a spreadsheet quotes. Any other
// quote is part of the text (a ditto mark in front of "同上"); taking it as
// the end would pull the rows up to it into this one field. npos when there
// is none, in which case the opening quote is no quoted field's (a quote the
// user typed).
std::size_t closingQuote(std::string_view text, std::size_t open)
{
    for (std::size_t pos = open + 1; pos < text.size(); ++pos) {
        if (text[pos] != QUOTE)
            continue;
        if (pos + 1 == text.size())
            return pos;
        const char next = text[pos + 1];
        if (next == QUOTE)
            ++pos;
        else if (next == TAB || isLineBreak(next))
            return pos;
    }
    return std::string_view::npos;
}

// The value between a quoted field's quotes, [from, to): TABs in front of the
// value are dropped (the spreadsheet quoted the cell for them), other TABs
// and line breaks (CR LF counted once) become blanks, quotes go.
void keepQuotedValue(std::string_view text, std::size_t from, std::size_t to, CleanText& out)
{
    std::size_t pos = from;
    while (pos < to && text[pos] == TAB)
        ++pos;
    for (; pos < to; ++pos) {
        const char c = text[pos];
        if (c == QUOTE)
            continue;
        if (c == TAB || isLineBreak(c)) {
            out.keep(BLANK, pos);
            if (c == CR && pos + 1 < to && text[pos + 1] == LF)
                ++pos;
            continue;
        }
        out.keep(c, pos);
    }
}

} // namespace

std::optional<CleanedRoster> cleanUpRoster(std::string_view text, std::size_t cursor)
{
    if (text.find("\t\"") == std::string_view::npos)
        return std::nullopt;

    CleanText out(text.size(), std::min(cursor, text.size()));
    bool fieldStart = true;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (fieldStart && c == QUOTE) {
            const std::size_t close = closingQuote(text, pos);
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
