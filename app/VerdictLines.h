#pragma once

// What 标签12 says of the photo 图片框3 shows, as two lines: whose photo it
// is, then the registry's verdict on it. Staff read it while the student
// is still in front of the phone, so the first line names the student the
// photo will count for in 名单核对 (the same pairing), and the file name
// when it counts for nobody: a photo under a mistyped name is as good as
// none.
//
//   | the photo pairs with        | first line            |
//   |-----------------------------|-----------------------|
//   | a student with a class      | "<姓名>  <班级编号>班" |
//   | a student without a class   | "<姓名>"              |
//   | nobody (or several)         | "<file name>（名册中没有）" |
//
//   | the checks                  | second line                | colour | beep |
//   |-----------------------------|----------------------------|--------|------|
//   | still running               | "正在检查…"                | plain  | no   |
//   | passed                      | "可用于学籍上传"           | green  | no   |
//   | failed                      | "需重拍：" + the reason    | red    | once |

#include "registry/Student.h"
#include "registry/face/PhotoChecks.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora::app {

inline constexpr std::string_view CHECKING_TEXT = "正在检查…";
inline constexpr std::string_view NOT_IN_ROSTER = "（名册中没有）";

// The first line; `shownName` is the file name as 标签11 shows it.
std::string verdictWho(const std::optional<registry::Student>& student, std::string_view shownName);

struct VerdictLine {
    enum class Colour { Plain, Pass, Reshoot };
    std::string text;
    Colour colour = Colour::Plain;
    bool beep = false;
};

// The second line: nullopt while the checks still run.
VerdictLine verdictLine(std::optional<registry::PhotoCheck> check);

} // namespace velmora::app
