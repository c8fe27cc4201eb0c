#include "roster/XlsWorkbook.h"

#include "platform/Codepage.h"
#include "platform/Files.h"
#include "roster/XlsReader.h"
#include "roster/XlsWriter.h"

#include <algorithm>

namespace velmora::roster {

void XlsWorkbook::makeReady()
{
    if (m_attached)
        m_sheet.emplace();
}

void XlsWorkbook::open(const std::string& path)
{
    if (!m_sheet)
        return;
    if (std::optional<Worksheet> read = readFirstWorksheet(path)) {
        for (auto& [position, cell] : *read)
            cell.written = false;
        m_sheet = std::move(*read);
    }
}

std::string XlsWorkbook::rangeStart() const
{
    return m_start ? cellAddress(*m_start) : std::string();
}

Worksheet* XlsWorkbook::rangeSheet() const
{
    if (!m_sheet || !m_sheetSelected || !m_start || !m_end)
        return nullptr;
    return &*m_sheet;
}

std::string XlsWorkbook::cellText() const
{
    Worksheet* sheet = rangeSheet();
    if (!sheet)
        return {};
    const auto found = sheet->find(*m_start);
    return found == sheet->end() ? std::string() : platform::utf8ToGbk(found->second.text);
}

template <typename Change> void XlsWorkbook::forEachCell(Change change)
{
    Worksheet* sheet = rangeSheet();
    if (!sheet)
        return;
    const auto [top, bottom] = std::minmax(m_start->row, m_end->row);
    const auto [left, right] = std::minmax(m_start->column, m_end->column);
    for (std::uint32_t row = top; row <= bottom; ++row)
        for (std::uint32_t column = left; column <= right; ++column)
            change(*sheet, CellPosition{static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(column)});
}

void XlsWorkbook::setCellText(std::string_view gbk)
{
    const std::string text = platform::gbkToUtf8(gbk);
    forEachCell([&](Worksheet& sheet, CellPosition at) {
        if (text.empty())
            sheet.erase(at);
        else
            sheet[at] = {text, false, false, true};
    });
}

// Formats only stick to cells that hold a text: an empty cell is not stored,
// and the roster header is the only formatted range.
void XlsWorkbook::formatRange(int lineStyle, int, int)
{
    forEachCell([&](Worksheet& sheet, CellPosition at) {
        if (auto found = sheet.find(at); found != sheet.end())
            found->second.bordered = lineStyle == LINE_CONTINUOUS;
    });
}

void XlsWorkbook::setAlignment(int value)
{
    forEachCell([&](Worksheet& sheet, CellPosition at) {
        if (auto found = sheet.find(at); found != sheet.end())
            found->second.centred = value == ALIGN_CENTRE;
    });
}

bool XlsWorkbook::saveAs(const std::string& path)
{
    if (!m_sheet)
        return false;
    Worksheet written;
    for (const auto& [position, cell] : *m_sheet)
        if (cell.written)
            written.emplace(position, cell);
    const std::optional<std::vector<std::uint8_t>> file = xlsFile(written);
    // A template that cannot be written leaves no half-written file, and an
    // existing file survives a failed replacement.
    return file
        && platform::replaceFile(platform::pathFromUtf8(path),
                                 std::string_view(reinterpret_cast<const char*>(file->data()),
                                                  file->size()));
}

void XlsWorkbook::quitApplication()
{
    m_sheet.reset();
    m_started = m_attached = false;
}

} // namespace velmora::roster
