#pragma once

// The spreadsheet component the template export and the roster import drive:
// an application object and a workbook object, addressed through a range of
// cells. Like a spreadsheet's automation objects, no operation reports a
// failure except saveAs(); an operation that cannot run leaves things as
// they are, and a cell that cannot be read reads as the empty text.

#include <string>
#include <string_view>

namespace velmora::roster {

class ExcelComponent {
public:
    // Spreadsheet constants the roster template uses.
    static constexpr int LINE_CONTINUOUS = 1;
    static constexpr int WEIGHT_THIN = 2;
    static constexpr int COLOUR_BLACK = 0;
    static constexpr int ALIGN_CENTRE = -4108;
    static constexpr int ALIGN_GENERAL = 1;

    virtual ~ExcelComponent() = default;

    // Starts the application object.
    virtual void startApplication() = 0;
    // Attaches the workbook object to the started application.
    virtual void attach() = 0;
    // Makes an empty workbook ready, so that there is one to write into when
    // the file opened next does not exist.
    virtual void makeReady() = 0;
    // Opens the workbook file at `path` (UTF-8 file name). A file that does
    // not exist or is no readable workbook leaves the ready, empty workbook.
    virtual void open(const std::string& path) = 0;
    // Selects the worksheet, counted from 1; only worksheet 1 exists.
    virtual void setWorksheet(int number) = 0;
    // Range corners as cell addresses "A1".."IV65536" (column letters in
    // either case, row without leading zeros). A bad address clears the
    // corner, and a range with a cleared corner addresses no cell.
    virtual void setRangeStart(std::string_view cell) = 0;
    virtual void setRangeEnd(std::string_view cell) = 0;
    // The range start as set ("" when cleared), in capital letters.
    virtual std::string rangeStart() const = 0;
    // The GBK text of the range's first cell; "" for an empty cell.
    virtual std::string cellText() const = 0;
    // Puts the GBK text into every cell of the range; "" empties them.
    virtual void setCellText(std::string_view gbk) = 0;
    // Borders around every cell of the range: LINE_CONTINUOUS draws a thin
    // black line whatever the weight and colour; any other style removes it.
    virtual void formatRange(int lineStyle, int weight, int colour) = 0;
    // Horizontal alignment of the range: ALIGN_CENTRE centres, any other
    // value gives the general alignment.
    virtual void setAlignment(int value) = 0;
    // Saves the workbook as an .xls file at `path` (UTF-8 file name). The
    // file is replaced whole or not at all. Returns false when it could not
    // be written; an existing file is then left as it was.
    virtual bool saveAs(const std::string& path) = 0;
    // Ends the work on the workbook: it is then saved, so closing it asks
    // nothing.
    virtual void endWork() = 0;
    // Closes the workbook without saving; its cells are gone.
    virtual void close() = 0;
    // Quits the application; the workbook is closed with it.
    virtual void quitApplication() = 0;
};

} // namespace velmora::roster
