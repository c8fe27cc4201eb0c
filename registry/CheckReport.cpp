#include "registry/CheckReport.h"

#include "platform/Files.h"

#include <unordered_map>

namespace velmora::registry {
namespace {

std::string studentFields(const Student& student)
{
    return student.classNumber + "\t" + student.name + "\t" + student.id;
}

std::string photoList(const PairingResult& pairing, const std::vector<std::size_t>& photos)
{
    std::string list;
    for (std::size_t photo : photos)
        list += (list.empty() ? "" : "，") + pairing.photos[photo].relative;
    return list;
}

std::string htmlEscaped(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// A cell a spreadsheet keeps as the text it is: Excel's text format "@" as
// its HTML export writes it, and LibreOffice's number-format attribute
// (language 2052, zh-CN) with the same format.
std::string textCell(std::string_view text)
{
    return "<td style=\"mso-number-format:'\\@'\" sdnum=\"2052;0;@\">" + htmlEscaped(text) + "</td>";
}

} // namespace

std::string countsLine(const PairingResult& pairing)
{
    return "名册 " + std::to_string(pairing.students.size()) + " 人，已有照片 "
        + std::to_string(pairing.withPhoto()) + " 人，缺 " + std::to_string(pairing.missing()) + " 人";
}

std::string countsLine(const PairingResult& pairing, const ReshootFindings& reshoot)
{
    if (!reshoot.complete())
        return countsLine(pairing) + "，需重拍人数待定（正在检查照片 " + std::to_string(reshoot.judged) + " / "
            + std::to_string(reshoot.toJudge) + "…）";
    return countsLine(pairing) + "，需重拍 " + std::to_string(reshoot.students.size()) + " 人";
}

std::vector<std::string> reshootLines(const PairingResult& pairing, const ReshootFindings& reshoot)
{
    std::vector<std::string> lines;
    for (const ReshootStudent& entry : reshoot.students) {
        const Student& student = pairing.students[entry.student];
        lines.push_back(student.name + " " + (student.hasIdNumber() ? student.idKey() : student.noIdName()) + "："
                        + entry.reason + "，需重拍");
    }
    return lines;
}

std::vector<std::size_t> missingByClass(const PairingResult& pairing)
{
    std::unordered_map<std::string, std::size_t> classOrder;
    std::vector<std::vector<std::size_t>> byClass;
    for (std::size_t i = 0; i < pairing.students.size(); ++i) {
        if (!pairing.photosOf[i].empty())
            continue;
        const auto [place, isNew] = classOrder.try_emplace(pairing.students[i].classNumber, byClass.size());
        if (isNew)
            byClass.emplace_back();
        byClass[place->second].push_back(i);
    }
    std::vector<std::size_t> missing;
    for (const auto& students : byClass)
        missing.insert(missing.end(), students.begin(), students.end());
    return missing;
}

namespace {

// The rows of the list staff take to the classes: the students without a
// photo, then those to reshoot with their reason.
struct ListedStudent {
    const Student* student;
    const std::string* reason; // nullptr for a student without a photo
};

std::vector<ListedStudent> listedStudents(const PairingResult& pairing, const ReshootFindings& reshoot)
{
    std::vector<ListedStudent> rows;
    for (std::size_t student : missingByClass(pairing))
        rows.push_back({&pairing.students[student], nullptr});
    for (const ReshootStudent& entry : reshoot.students)
        rows.push_back({&pairing.students[entry.student], &entry.reason});
    return rows;
}

} // namespace

std::string missingText(const PairingResult& pairing, std::string_view lineEnd, const ReshootFindings& reshoot)
{
    std::string text;
    for (const ListedStudent& row : listedStudents(pairing, reshoot))
        text += studentFields(*row.student) + (row.reason ? "\t需重拍：" + *row.reason : std::string())
            + std::string(lineEnd);
    return text;
}

std::string missingHtml(const PairingResult& pairing, const ReshootFindings& reshoot)
{
    std::string html = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                       "</head><body><table>\n<tr><th>班级编号</th><th>姓名</th><th>身份证号</th>";
    html += reshoot.students.empty() ? "</tr>\n" : "<th>需重拍原因</th></tr>\n";
    for (const ListedStudent& row : listedStudents(pairing, reshoot)) {
        html += "<tr>" + textCell(row.student->classNumber) + "<td>" + htmlEscaped(row.student->name) + "</td>"
            + textCell(row.student->id) + (row.reason ? "<td>" + htmlEscaped(*row.reason) + "</td>" : std::string())
            + "</tr>\n";
    }
    return html + "</table></body></html>\n";
}

std::vector<std::string> otherFindings(const PairingResult& pairing)
{
    std::vector<std::string> lines;
    if (pairing.repeatedRows > 0)
        lines.push_back("名册重复行\t名册中有 " + std::to_string(pairing.repeatedRows) + " 行重复（可能粘贴了两次），已按一行计");
    for (std::size_t student : pairing.withSeveral())
        lines.push_back("多张照片\t" + studentFields(pairing.students[student]) + "\t"
                        + photoList(pairing, pairing.photosOf[student]));
    for (const ContestedPhoto& contested : pairing.contested) {
        std::string students;
        for (std::size_t student : contested.students)
            students += (students.empty() ? "" : "，") + pairing.students[student].shown();
        lines.push_back("多人可认\t" + pairing.photos[contested.photo].relative + "\t" + students);
    }
    for (std::size_t photo : pairing.unmatched)
        lines.push_back("无人对应\t" + pairing.photos[photo].relative);
    for (const auto& temporary : pairing.staleTemporaries)
        lines.push_back("残留临时文件\t" + platform::utf8FromPath(temporary));
    return lines;
}

roster::Worksheet missingWorksheet(const PairingResult& pairing, const ReshootFindings& reshoot)
{
    roster::Worksheet sheet;
    const char* const HEADINGS[] = {"班级编号", "姓名", "身份证号", "需重拍原因"};
    const std::uint16_t headings = reshoot.students.empty() ? 3 : 4;
    for (std::uint16_t column = 0; column < headings; ++column)
        sheet[{0, column}] = {HEADINGS[column], true, true};
    std::uint32_t row = 1;
    for (const ListedStudent& listed : listedStudents(pairing, reshoot)) {
        if (row >= roster::MAX_ROWS)
            break;
        const std::string none;
        const std::string* const fields[] = {&listed.student->classNumber, &listed.student->name,
                                             &listed.student->id, listed.reason ? listed.reason : &none};
        for (std::uint16_t column = 0; column < 4; ++column)
            if (!fields[column]->empty())
                sheet[{static_cast<std::uint16_t>(row), column}] = {*fields[column]};
        ++row;
    }
    return sheet;
}

} // namespace velmora::registry
