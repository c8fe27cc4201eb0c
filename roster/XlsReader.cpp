#include "roster/XlsReader.h"

#include "roster/BiffRecordTypes.h"
#include "roster/CompoundFile.h"
#include "roster/CompoundFileCheck.h"
#include "roster/CompoundFileReader.h"
#include "roster/WorkbookStreamCheck.h"
#include "platform/Files.h"

#include <freexl.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string_view>
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

std::optional<std::vector<std::uint8_t>> fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamsize size = in.tellg();
    if (size < 0 || size > MAX_CHECKED_SIZE)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in.good())
        return std::nullopt;
    return bytes;
}

// Turns every LABEL cell without characters into a BLANK cell of the same
// length, so that no record moves (BOUNDSHEET records point at offsets).
// Some writers (SheetJS) store an empty text so; FreeXL refuses a workbook
// with one, while an empty cell is what the import makes of it anyway.
// Returns whether any record was changed.
bool blankEmptyLabels(std::vector<std::uint8_t>& stream)
{
    constexpr std::size_t HEADER = 4;
    constexpr std::size_t LABEL_COUNT_AT = 6;   // after row, column and XF index
    bool changed = false;
    for (std::size_t at = 0; at + HEADER <= stream.size();) {
        const std::uint16_t type = static_cast<std::uint16_t>(stream[at] | stream[at + 1] << 8);
        const std::size_t length = static_cast<std::size_t>(stream[at + 2] | stream[at + 3] << 8);
        const std::size_t body = at + HEADER;
        if (type == biff::LABEL && length >= LABEL_COUNT_AT + 2 && body + length <= stream.size()
            && stream[body + LABEL_COUNT_AT] == 0 && stream[body + LABEL_COUNT_AT + 1] == 0) {
            stream[at] = static_cast<std::uint8_t>(biff::BLANK & 0xFF);
            stream[at + 1] = static_cast<std::uint8_t>(biff::BLANK >> 8);
            changed = true;
        }
        at = body + length;
    }
    return changed;
}

// What FreeXL is given to read. FreeXL trusts the container and the Workbook
// stream's records and reads past its buffers when they are damaged, so it
// only ever reads a Workbook stream that passed our checks, in a container
// that passed them: the file itself where FreeXL's own reading of it gives
// the stream that our reader finds and FreeXL can take its records, else (a
// Workbook in the mini stream where FreeXL looks in the wrong place, a root
// of another name, empty text cells, as some writers make them) a fresh
// container of our writer around that stream.
struct FreexlInput {
    bool readable = false;
    std::optional<std::vector<std::uint8_t>> copy;   // nullopt: the file's own bytes
};

FreexlInput freexlInput(const std::vector<std::uint8_t>& file)
{
    const auto asFreexlReads = workbookStreamOf(file);
    auto stream = readWorkbookStream(file);
    const bool freexlFindsIt = asFreexlReads && (!stream || *stream == *asFreexlReads);
    if (freexlFindsIt)
        stream = asFreexlReads;
    if (!stream)
        return {};
    if (!blankEmptyLabels(*stream) && freexlFindsIt)
        return {isSoundWorkbookStream(*stream), std::nullopt};
    auto copy = compoundFile(u"Workbook", *stream);
    if (!copy)
        return {};
    const auto copied = workbookStreamOf(*copy);
    if (!copied || !isSoundWorkbookStream(*copied))
        return {};
    return {true, std::move(copy)};
}

// The checked bytes in a file of its own for FreeXL, which opens files only
// by name; removed again when done.
class TemporaryCopy {
public:
    explicit TemporaryCopy(const std::vector<std::uint8_t>& bytes)
    {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
        if (error)
            return;
        std::random_device random;
        for (int attempt = 0; attempt < 16 && m_path.empty(); ++attempt) {
            const auto candidate = folder / ("velmora-import-" + std::to_string(random()) + ".xls");
            if (platform::createEmptyFile(candidate) != platform::NewFile::Created)
                continue;
            m_path = candidate;
            if (!platform::replaceFile(m_path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
                remove();
        }
    }
    ~TemporaryCopy() { remove(); }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    void remove()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove(m_path, ignored);
        m_path.clear();
    }

    std::filesystem::path m_path;
};

std::optional<Worksheet> readWithFreexl(const std::filesystem::path& file)
{
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
    const auto bytes = fileBytes(file);
    if (!bytes)
        return std::nullopt;
    return readFirstWorksheet(*bytes);
}

std::optional<Worksheet> readFirstWorksheet(const std::vector<std::uint8_t>& bytes)
{
    const FreexlInput input = freexlInput(bytes);
    if (!input.readable)
        return std::nullopt;
    // FreeXL opens files only by name. It gets a private copy of exactly the
    // bytes that were checked, never the user's file again: a file saved or
    // synced meanwhile would be parsed unchecked.
    const TemporaryCopy copy(input.copy ? *input.copy : bytes);
    if (copy.path().empty())
        return std::nullopt;
    return readWithFreexl(copy.path());
}

} // namespace velmora::roster
