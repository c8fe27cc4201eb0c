#pragma once

// The roster template: worksheet 1 with the four column headings of the
// roster in A1..D1, centred and framed by a thin black line.

#include "roster/ExcelComponent.h"

#include <array>
#include <string>
#include <string_view>

namespace velmora::roster {

struct Heading {
    std::string_view cell;
    std::string_view utf8;
};

// The roster's columns in field order, as the template's first row holds them.
inline constexpr std::array<Heading, 4> ROSTER_HEADER{{
    {"A1", "学校标识码"},
    {"B1", "姓名"},
    {"C1", "身份证号"},
    {"D1", "班级编号"},
}};

// Writes the roster template to `path` (UTF-8 file name) with a fresh
// application instance of `excel`, which it quits at the end. Returns
// whether the file was saved; a file that could not be saved is left as it
// was.
bool writeTemplate(ExcelComponent& excel, const std::string& path);

} // namespace velmora::roster
