#include "roster/XlsReader.h"

#include "roster/CompoundFileCheck.h"
#include "roster/WorkbookStreamCheck.h"
#include "platform/Files.h"

#include <freexl.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace velmora::roster {
namespace {

struct FreexlCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using FreexlHandle = std::unique_ptr<const void, FreexlCloser>;

std::string cellText(const FreeXL_CellValue& value)
{
    switch (value.type) {
    case FREEXL_CELL_INT:
        return std::to_string(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return generalNumberText(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return value.value.text_value ? std::string(value.value.text_value) : std::string();
    default:
        return {};
    }
}

// A roster workbook is a few hundred kilobytes; far larger files are not
// read into memory for the check.
constexpr std::streamsize MAX_CHECKED_SIZE = 256 * 1024 * 1024;

bool passesContainerCheck(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamsize size = in.tellg();
    if (size < 0 || size > MAX_CHECKED_SIZE)
        return false;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in.good())
        return false;
    // FreeXL trusts the container and the Workbook stream's records and reads
    // past its buffers when they are damaged: both are checked first.
    const auto stream = workbookStreamOf(bytes);
    return stream && isSoundWorkbookStream(*stream);
}

} // namespace

std::string generalNumberText(double value)
{
    if (!std::isfinite(value))
        return "#NUM!";
    if (value == 0)
        return "0";
    char buffer[64];
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
    else
        std::snprintf(buffer, sizeof buffer, "%.15G", value);
    return buffer;
}

std::optional<Worksheet> readFirstWorksheet(const std::string& path)
{
    const auto file = platform::pathFromUtf8(path);
    if (!passesContainerCheck(file))
        return std::nullopt;
    // FreeXL opens the file with fopen(), which on Windows takes the ANSI
    // code page: a roster in a folder named in Chinese needs that form.
    const std::string name = platform::nameForCLibrary(file);
    if (name.empty())
        return std::nullopt;
    const void* raw = nullptr;
    // FreeXL can report success without a handle, e.g. for a text spanning
    // more than two records; that file is as unreadable as any other.
    if (freexl_open(name.c_str(), &raw) != FREEXL_OK || !raw) {
        if (raw)
            freexl_close(raw);
        return std::nullopt;
    }
    FreexlHandle handle(raw);
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(raw, 0) != FREEXL_OK
        || freexl_worksheet_dimensions(raw, &rows, &columns) != FREEXL_OK)
        return std::nullopt;

    Worksheet sheet;
    for (unsigned int row = 0; row < rows && row < MAX_ROWS; ++row) {
        for (unsigned short column = 0; column < columns && column < MAX_COLUMNS; ++column) {
            FreeXL_CellValue value{};
            if (freexl_get_cell_value(raw, row, column, &value) != FREEXL_OK)
                continue;
            std::string text = cellText(value);
            if (!text.empty())
                sheet[{static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(column)}] = {std::move(text)};
        }
    }
    return sheet;
}

} // namespace velmora::roster
