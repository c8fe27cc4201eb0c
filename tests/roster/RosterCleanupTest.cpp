// The clean-up of pasted spreadsheet quotes, with the caret it leaves.

#include "roster/RosterCleanup.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using velmora::roster::cleanUpRoster;

constexpr std::size_t AT_END = std::string::npos;

struct CleanupCase {
    const char* name;
    std::string text;
    std::size_t caret;                  // AT_END: behind the last byte
    std::optional<std::string> result;  // nullopt: the text stays as it is
    std::size_t resultCaret;            // AT_END: behind the last byte
};

const CleanupCase CASES[] = {
    // The worked example: a cell beginning with a TAB arrives as quote, TAB,
    // value, quote; it must become a plain field.
    {"quoted_field_mid_line", "code\tname\t\"\tid\"\tclass\r\n", AT_END,
     "code\tname\tid\tclass\r\n", AT_END},
    // A quoted first field is only cleaned because the text elsewhere holds a
    // TAB followed by a quote: at the start (step 3), after CR LF (step 2).
    {"quoted_first_fields", "\"\tA01\"\t张三\t\"\t110\"\t1班\r\n\"\tA02\"\t李四\t120\t2班\r\n", AT_END,
     "A01\t张三\t110\t1班\r\nA02\t李四\t120\t2班\r\n", AT_END},
    // Without a TAB directly followed by a quote nothing may change, even
    // quotes and quoted first fields.
    {"no_tab_quote_with_quotes", "\"A\"\t王\"小\"明\t1\r\n", 3, std::nullopt, 0},
    {"only_first_fields_quoted", "\"\tA01\"\t张三\r\n\"\tA02\"\t李四\r\n", AT_END, std::nullopt, 0},
    {"plain_roster", "A01\t张三\t110\t1班\r\n", AT_END, std::nullopt, 0},
    // Once the clean-up runs every quote goes, names included.
    {"quotes_in_names_removed", "A\t王\"小\"明\t\"\tid\"\t1\r\n", AT_END, "A\t王小明\tid\t1\r\n", AT_END},
    // Typing a quote after a TAB removes both; the caret stays where the TAB was.
    {"typed_quote_after_tab", "A\tB\t\"", AT_END, "A\tB", AT_END},
    {"typed_quote_mid_text", "A\t\"B\r\nC", 3, "AB\r\nC", 1},
    // A paste in the middle: the caret stays behind the cleaned paste, in
    // front of the text that followed it.
    {"paste_in_middle", "head\r\na\t\"\tb\"\tc\r\ntail", 16, "head\r\na\tb\tc\r\ntail", 13},
    // Replacements never re-scan what they produced: after CR LF quote TAB
    // became CR LF, the next quote TAB is not taken for another one.
    {"no_rescan_after_line_break", "x\t\"\r\n\"\t\"\ty", AT_END, "x\r\n\ty", AT_END},
    {"no_rescan_tab_tab_quote", "a\t\t\"b", AT_END, "a\tb", AT_END},
    // CR LF quote TAB without the closing quote: the line break keeps, the
    // quote and TAB after it go, and so does the TAB in front of a quote.
    {"line_start_quote_tab", "a\t\"b\r\n\"\tc", AT_END, "ab\r\nc", AT_END},
    // A caret beyond the text is clamped to its end.
    {"caret_beyond_end", "a\t\"b", 99, "ab", AT_END},
};

class CleanupTable : public testing::TestWithParam<CleanupCase> {};

TEST_P(CleanupTable, GivesTextAndCaret)
{
    const CleanupCase& c = GetParam();
    const std::size_t caret = c.caret == AT_END ? c.text.size() : c.caret;
    const auto cleaned = cleanUpRoster(c.text, caret);
    if (!c.result) {
        EXPECT_FALSE(cleaned.has_value());
        return;
    }
    ASSERT_TRUE(cleaned.has_value());
    EXPECT_EQ(cleaned->text, *c.result);
    EXPECT_EQ(cleaned->cursor, c.resultCaret == AT_END ? c.result->size() : c.resultCaret);
}

INSTANTIATE_TEST_SUITE_P(Roster, CleanupTable, testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// The clean-up's own result must be stable: running it again on its output
// (as a program write that slipped into the user's edit signal would) finds
// no TAB followed by a quote and changes nothing.
TEST(Cleanup, ResultIsStable)
{
    for (const CleanupCase& c : CASES) {
        if (!c.result)
            continue;
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(cleanUpRoster(*c.result, 0).has_value());
    }
}

} // namespace
