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
    // TAB followed by a quote: at the start of the text and after CR LF.
    {"quoted_first_fields", "\"\tA01\"\t张三\t\"\t110\"\t1班\r\n\"\tA02\"\t李四\t120\t2班\r\n", AT_END,
     "A01\t张三\t110\t1班\r\nA02\t李四\t120\t2班\r\n", AT_END},
    // Without a TAB directly followed by a quote nothing may change, even
    // quotes and quoted first fields.
    {"no_tab_quote_with_quotes", "\"A\"\t王\"小\"明\t1\r\n", 3, std::nullopt, 0},
    {"only_first_fields_quoted", "\"\tA01\"\t张三\r\n\"\tA02\"\t李四\r\n", AT_END, std::nullopt, 0},
    {"plain_roster", "A01\t张三\t110\t1班\r\n", AT_END, std::nullopt, 0},
    // Once the clean-up runs every quote goes, names included.
    {"quotes_in_names_removed", "A\t王\"小\"明\t\"\tid\"\t1\r\n", AT_END, "A\t王小明\tid\t1\r\n", AT_END},
    // A quote the user types after a TAB opens no field: it goes, and the
    // TAB stays, so the fields on either side are not glued together.
    {"typed_quote_after_tab", "A\tB\t\"", AT_END, "A\tB\t", AT_END},
    {"typed_quote_mid_text", "A\t\"B\r\nC", 3, "A\tB\r\nC", 2},
    // A paste in the middle: the caret stays behind the cleaned paste, in
    // front of the text that followed it.
    {"paste_in_middle", "head\r\na\t\"\tb\"\tc\r\ntail", 16, "head\r\na\tb\tc\r\ntail", 13},
    // Spreadsheet copies (Excel, WPS, LibreOffice alike) quote a cell that
    // holds a line break, doubling its own quotes. The box shows
    // the cell's line break as CR LF. Before, the TAB in front of every
    // quoted cell went: code and name glued, one student split in two rows.
    {"copy_cell_with_line_break", "3301010001\t\"学生0007\r\n(转)\"\t330101201001010007\t700\r\n", AT_END,
     "3301010001\t学生0007 (转)\t330101201001010007\t700\r\n", AT_END},
    {"copy_cell_with_lf_only", "A\t\"x\ny\"\tB\r\n", AT_END, "A\tx y\tB\r\n", AT_END},
    // A doubled quote does not close the cell: the line break after it is
    // still the cell's.
    {"copy_cell_with_quotes", "A\t\"说\"\"你好\"\"\r\n再见\"\tB\r\n", AT_END, "A\t说你好 再见\tB\r\n", AT_END},
    {"copy_quoted_first_field", "\"x\r\ny\"\tB\tC\tD\r\nE\t\"\tF\"\tG\tH\r\n", AT_END,
     "x y\tB\tC\tD\r\nE\tF\tG\tH\r\n", AT_END},
    {"copy_quoted_last_field", "A\tB\tC\t\"x\r\ny\"\r\nE\tF\tG\tH\r\n", AT_END,
     "A\tB\tC\tx y\r\nE\tF\tG\tH\r\n", AT_END},
    {"copy_last_row_without_break", "A\tB\tC\t\"x\r\ny\"", AT_END, "A\tB\tC\tx y", AT_END},
    {"copy_empty_quoted_cell", "A\t\"\"\tC\r\n", AT_END, "A\t\tC\r\n", AT_END},
    // A quote that no TAB, line end or text end follows closes no field: a
    // ditto mark in front of a text must not pull the next student's row in.
    {"ditto_mark_closes_no_field", "S\t张三\t\t\"\r\nS\t李四\t\t\"同上\r\n", AT_END,
     "S\t张三\t\t\r\nS\t李四\t\t同上\r\n", AT_END},
    // Ditto marks (a lone quote for "same as above") in one column of two
    // rows, or side by side in one row: a quoted cell never holds a TAB
    // behind its value, so they open no cell. Before, the quotes paired up
    // and folded the rows between them into one field (王五 vanished into
    // the row above, every field after it one column to the left).
    {"ditto_last_column_two_rows", "S\t张三\t110\t\"\r\nS\t王五\t120\t\"\r\nS\t李四\t130\t2\r\n", AT_END,
     "S\t张三\t110\t\r\nS\t王五\t120\t\r\nS\t李四\t130\t2\r\n", AT_END},
    {"ditto_name_column_two_rows", "S\t\"\t110\t1\r\nS\t\"\t120\t1\r\n", AT_END,
     "S\t\t110\t1\r\nS\t\t120\t1\r\n", AT_END},
    {"ditto_first_column_two_rows", "S\t\"\t张三\"\t\t1\r\n\"\t李四\t\t1\r\n\"\t王五\t\t1\r\n", AT_END,
     "S\t张三\t\t1\r\n\t李四\t\t1\r\n\t王五\t\t1\r\n", AT_END},
    {"ditto_marks_side_by_side", "S\t张三\t\"\t\"\r\nS\t王五\t\"\t\"\r\n", AT_END,
     "S\t张三\t\t\r\nS\t王五\t\t\r\n", AT_END},
    // A TAB behind a value's first character means the same: no cell is
    // quoted there, the quotes go and the TAB stays a field separator
    // (nobody types a TAB into a roster cell; staff do type ditto marks).
    {"tab_inside_value_is_no_cell", "A\t\"x\ty\"\tB\r\n", AT_END, "A\tx\ty\tB\r\n", AT_END},
    {"closing_quote_before_line_end", "A\t\"\tx\"y\"\r\nB\t\"\tz\"\tC", AT_END, "A\txy\r\nB\tz\tC", AT_END},
    // The caret inside a cell that lost its line break stays behind the
    // same character.
    {"caret_inside_quoted_cell", "A\t\"x\r\ny\"\tB", 7, "A\tx y\tB", 5},
    // A caret beyond the text is clamped to its end.
    {"caret_beyond_end", "a\t\"b", 99, "a\tb", AT_END},
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
