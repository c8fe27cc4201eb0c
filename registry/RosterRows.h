#pragma once

// The roster as a list of students, from the roster box's text or from a
// roster file (TAB-separated text in UTF-8 or GBK, or a filled-in template
// workbook).

#include "registry/Student.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::registry {

// The students of `utf8` (the roster text: one student per line, LF or
// CR LF, fields school, name, ID number, class separated by TAB). Empty
// lines, lines without a name and a pasted heading row ("学校标识码" TAB
// "姓名" ...) are no students; missing fields are empty, fields past the
// fourth are ignored. Blanks and full-width blanks around a field are
// dropped, since a spreadsheet cell's stray blank is no part of the name the
// phone shows.
std::vector<Student> rosterStudents(std::string_view utf8);

// The text of the roster file at `path` as UTF-8: a workbook (by its
// compound-file signature) is read like the roster import reads it; any
// other file is text: UTF-16 when it begins with a UTF-16 byte-order mark,
// UTF-8 (with or without a byte-order mark) when its bytes are valid UTF-8,
// else GB18030 (GBK being part of it). Returns nullopt with `reason` set when
// the file cannot be read, is larger than 64 MiB, or is a workbook without
// the roster header.
std::optional<std::string> readRosterFile(const std::filesystem::path& path, std::string& reason);

} // namespace velmora::registry
