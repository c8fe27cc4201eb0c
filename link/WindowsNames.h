#pragma once

// One level of a photo's path as it is written on every PC. Windows refuses
// some names that other systems take: the characters | ? * < > " and the
// control characters, a level that ends in a dot or a blank (it drops them
// without a word, so "吴十.jpg." would turn into another student's
// "吴十.jpg"), and the device names CON, PRN, AUX, NUL, COM0–COM9 and
// LPT0–LPT9 (also with ¹ ² ³ for the digit) with any extension. Such a level
// is given a form a person reads as the same name, and the same form on
// every system, so a receive folder copied from one PC to another matches:
//  - | ? * < > " become their full-width forms ｜ ？ ＊ ＜ ＞ ＂, the forms a
//    Chinese input method types for them;
//  - a control character becomes its visible picture (U+2401 ␁ … U+241F);
//  - a last dot becomes the full-width full stop "．", a last blank the
//    ideographic (full-width) blank U+3000, which Windows keeps;
//  - the device word of a device name is written in full-width letters and
//    digits: "CON.jpg" becomes "ＣＯＮ.jpg", "com1" "ｃｏｍ１".
// Any other level is written exactly as it is.

#include <string>
#include <string_view>

namespace velmora::link {

// The form under which the UTF-8 level `utf8Level` (no "\" or "/" in it) is
// written. Meant for the levels the storage rules let through: they refuse
// a level that is empty or only dots and blanks before anything is written.
std::string storableLevel(std::string_view utf8Level);

// Whether Windows takes `utf8Level` as it is, i.e. storableLevel leaves it
// unchanged.
bool isStorableLevel(std::string_view utf8Level);

} // namespace velmora::link
