#include "roster/RosterImport.h"

#include "platform/Codepage.h"
#include "roster/TemplateExport.h"

#include <cstdint>

namespace velmora::roster {
namespace {

std::string readCell(ExcelComponent& excel, const std::string& cell)
{
    excel.setRangeStart(cell);
    excel.setRangeEnd(cell);
    return excel.cellText();
}

// TAB, CR and LF are single bytes that never occur inside a GBK character.
std::string asField(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

bool headerMatches(ExcelComponent& excel)
{
    bool matches = true;
    for (const Heading& heading : ROSTER_HEADER) {
        if (readCell(excel, std::string(heading.cell)) != platform::utf8ToGbk(heading.utf8))
            matches = false;
    }
    return matches;
}

std::string studentRows(ExcelComponent& excel)
{
    std::string roster;
    // A worksheet has at most 65536 rows; past them every cell reads empty.
    for (std::int32_t row = 2; !readCell(excel, "B" + std::to_string(row)).empty(); ++row) {
        const std::string number = std::to_string(row);
        roster += asField(readCell(excel, "A" + number));
        roster += '\t' + asField(readCell(excel, "B" + number));
        roster += '\t' + asField(readCell(excel, "C" + number));
        roster += '\t' + asField(readCell(excel, "D" + number)) + "\r\n";
    }
    return roster;
}

} // namespace

ImportedRoster readRoster(ExcelComponent& excel, const std::string& path)
{
    excel.startApplication();
    excel.attach();
    excel.makeReady();
    excel.open(path);
    excel.setWorksheet(1);
    ImportedRoster imported;
    imported.headerMatches = headerMatches(excel);
    if (imported.headerMatches)
        imported.text = studentRows(excel);
    excel.close();
    excel.quitApplication();
    return imported;
}

} // namespace velmora::roster
