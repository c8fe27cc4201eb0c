#pragma once

// One student of the roster, as the photo check and the upload export see
// it: the four roster fields in UTF-8, blanks around them trimmed.

#include <cstddef>
#include <string>

namespace velmora::registry {

struct Student {
    std::size_t line = 0;       // the roster's line, from 1
    std::string school;         // 学校标识码
    std::string name;           // 姓名
    std::string id;             // 身份证号 as the roster has it
    std::string classNumber;    // 班级编号

    // Whether `id` is a resident ID number (18 characters with the right
    // check character, or 15 digits). A student whose field holds anything
    // else counts as one without an ID-card number: the phone cannot have
    // named a photo by a number it was never given whole.
    bool hasIdNumber() const;
    // The ID number as a file is named by it: a trailing "x" as "X".
    std::string idKey() const;
    // <学校标识码>_<班级编号>_<姓名>, the name of the photo of a student
    // without an ID-card number.
    std::string noIdName() const;
    // "班级编号 姓名" for lists.
    std::string shown() const;
};

} // namespace velmora::registry
