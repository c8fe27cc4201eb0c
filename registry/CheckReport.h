#pragma once

// The photo check's findings as the staff read them: the counts line, the
// students still without a photo by class, and the other findings; the same
// in the window, on the command line, on the clipboard and in a workbook.

#include "registry/Pairing.h"
#include "registry/Reshoot.h"
#include "roster/Worksheet.h"

#include <string>
#include <vector>

namespace velmora::registry {

// "名册 N 人，已有照片 M 人，缺 K 人".
std::string countsLine(const PairingResult& pairing);

// "名册 N 人，已有照片 M 人，缺 K 人，需重拍 R 人": R of the M students
// with a photo have one that fails a check. While photos are still being
// checked R is not known yet, and the line says so instead of a number:
// "…，缺 K 人，需重拍人数待定（正在检查照片 n / N…）".
std::string countsLine(const PairingResult& pairing, const ReshootFindings& reshoot);

// One line per student to reshoot, class by class, the export's form:
// <姓名> <身份证号, or 学校标识码_班级编号_姓名>：<reason>，需重拍.
std::vector<std::string> reshootLines(const PairingResult& pairing, const ReshootFindings& reshoot);

// The students without a photo, class by class (classes in the order they
// first appear in the roster), in roster order within a class.
std::vector<std::size_t> missingByClass(const PairingResult& pairing);

// One line per student without a photo: 班级编号 TAB 姓名 TAB 身份证号, each
// line ended by `lineEnd`. Pasted into a spreadsheet it fills three columns.
// Then one line per student of `reshoot` (class by class) with a fourth
// field "需重拍：<reason>", so the list staff take to the classes holds both.
std::string missingText(const PairingResult& pairing, std::string_view lineEnd, const ReshootFindings& reshoot = {});

// The same students as an HTML document holding one table, for the
// clipboard beside the TAB text: a heading row 班级编号, 姓名, 身份证号, then
// one row per student. Pasted into a spreadsheet, a column of ID-card
// numbers in the default column type becomes numbers, and 18 digits lose
// their last three (330106201201039325 shows as 3.30106201201039E+17); so
// the class and ID cells are marked as text, the way Excel
// (mso-number-format:"\@") and LibreOffice (sdnum "@") read HTML. Text is
// HTML-escaped; UTF-8, and the document says so.
// The students of `reshoot` follow, with a fourth column 需重拍原因.
std::string missingHtml(const PairingResult& pairing, const ReshootFindings& reshoot = {});

// The other findings, one line each (UTF-8, fields TAB-separated): rows of
// the roster counted once because they repeat an earlier one, students
// with several photos, photos several students could claim, photos of
// nobody, and temporary files a cut-short write left behind.
std::vector<std::string> otherFindings(const PairingResult& pairing);

// A worksheet of the students without a photo: the headings 班级编号, 姓名,
// 身份证号 in row 1, one student per row below. Rows past the workbook's
// 65536 are left out.
// The students of `reshoot` follow, with a fourth column 需重拍原因.
roster::Worksheet missingWorksheet(const PairingResult& pairing, const ReshootFindings& reshoot = {});

} // namespace velmora::registry
