#pragma once

// The spreadsheet component behind the roster buttons, working on .xls files
// directly: FreeXL reads the texts of a workbook's first worksheet, our own
// writer saves worksheet 1 with the texts set through setCellText() and the
// roster header's look (border, centring). Cells read from a file are never
// written back: this component knows only their texts, and a copy with
// numbers turned into texts and the other sheets and formats dropped would
// be a damaged workbook. Saving over a file the user chose to replace thus
// gives a clean template.

#include "roster/ExcelComponent.h"
#include "roster/Worksheet.h"

#include <optional>

namespace velmora::roster {

class XlsWorkbook final : public ExcelComponent {
public:
    void startApplication() override { m_started = true; }
    void attach() override { m_attached = m_started; }
    void makeReady() override;
    void open(const std::string& path) override;
    void setWorksheet(int number) override { m_sheetSelected = number == 1; }
    void setRangeStart(std::string_view cell) override { m_start = parseCellAddress(cell); }
    void setRangeEnd(std::string_view cell) override { m_end = parseCellAddress(cell); }
    std::string rangeStart() const override;
    std::string cellText() const override;
    void setCellText(std::string_view gbk) override;
    void formatRange(int lineStyle, int weight, int colour) override;
    void setAlignment(int value) override;
    bool saveAs(const std::string& path) override;
    void endWork() override {}
    void close() override { m_sheet.reset(); }
    void quitApplication() override;

private:
    // The worksheet the range addresses, or null when no workbook is ready,
    // worksheet 1 is not selected or the range lacks a corner.
    Worksheet* rangeSheet() const;
    template <typename Change> void forEachCell(Change change);

    bool m_started = false;
    bool m_attached = false;
    bool m_sheetSelected = false;
    mutable std::optional<Worksheet> m_sheet;
    std::optional<CellPosition> m_start;
    std::optional<CellPosition> m_end;
};

} // namespace velmora::roster
