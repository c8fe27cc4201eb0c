// Cell addresses and numbers as cell texts.

#include "roster/XlsReader.h"
#include "roster/Worksheet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace velmora::roster;

struct AddressCase {
    const char* address;
    int row;      // -1: rejected
    int column;
};

// The import builds "B" + row for every row it reads; a wrong parse reads
// the wrong cell, a missing bound writes outside the sheet.
const AddressCase ADDRESSES[] = {
    {"D1", 0, 3}, {"B17", 16, 1}, {"Z9", 8, 25}, {"AA1", 0, 26}, {"iv65536", 65535, 255},
    {"IW1", -1, 0}, {"A65537", -1, 0}, {"A0", -1, 0}, {"A01", -1, 0}, {"1A", -1, 0},
    {"", -1, 0}, {"ABC1", -1, 0}, {"A1 ", -1, 0}, {"A-1", -1, 0}, {"A100000", -1, 0},
};

TEST(CellAddress, ParsesAndRejects)
{
    for (const AddressCase& c : ADDRESSES) {
        SCOPED_TRACE(c.address);
        const auto position = parseCellAddress(c.address);
        if (c.row < 0) {
            EXPECT_FALSE(position.has_value());
            continue;
        }
        ASSERT_TRUE(position.has_value());
        EXPECT_EQ(position->row, c.row);
        EXPECT_EQ(position->column, c.column);
        std::string upper = c.address;
        for (char& ch : upper)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(cellAddress(*position), upper);
    }
}

// What a spreadsheet's General format shows (checked in LibreOffice Calc):
// an ID-card number kept as a number must not gain ".0" or lose digits
// below 10^15.
TEST(GeneralNumber, ShowsLikeASpreadsheet)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"}, {-0.0, "0"}, {3.0, "3"}, {-42.0, "-42"}, {4111011001.0, "4111011001"},
        {110101900101123.0, "110101900101123"}, {999999999999999.0, "999999999999999"},
        {1e15, "1E+15"}, {110101200501011234.0, "1.10101200501011E+17"},
        {2.5, "2.5"}, {0.1, "0.1"}, {1.0 / 3.0, "0.333333333333333"}, {0.00001, "1E-05"},
        {std::numeric_limits<double>::quiet_NaN(), "#NUM!"},
        {std::numeric_limits<double>::infinity(), "#NUM!"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(generalNumberText(value), text) << value;
}

} // namespace
