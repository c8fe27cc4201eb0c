#include "roster/TemplateExport.h"

#include "platform/Codepage.h"

namespace velmora::roster {

bool writeTemplate(ExcelComponent& excel, const std::string& path)
{
    excel.startApplication();
    excel.attach();
    excel.makeReady();
    excel.open(path);
    excel.setWorksheet(1);
    for (const Heading& heading : ROSTER_HEADER) {
        excel.setRangeStart(heading.cell);
        excel.setRangeEnd(heading.cell);
        excel.setCellText(platform::utf8ToGbk(heading.utf8));
    }
    excel.setRangeStart("A1");
    excel.setRangeEnd("D1");
    excel.formatRange(ExcelComponent::LINE_CONTINUOUS, ExcelComponent::WEIGHT_THIN,
                      ExcelComponent::COLOUR_BLACK);
    excel.setAlignment(ExcelComponent::ALIGN_CENTRE);
    const bool saved = excel.saveAs(path);
    excel.endWork();
    excel.close();
    excel.quitApplication();
    return saved;
}

} // namespace velmora::roster
