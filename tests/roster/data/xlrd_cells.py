"""Prints what xlrd, an independent .xls reader, finds in worksheet 1.

One line per non-empty cell: row, column, cell type, the value (text as is,
numbers with repr), then the cell's look: horizontal alignment, the four
border line styles and their colour indexes. TAB, CR and LF inside values
are written as \\t, \\r, \\n. Exit code 2 when xlrd rejects the file.
"""
import sys

import xlrd


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


def main(path, out_path):
    try:
        book = xlrd.open_workbook(path, formatting_info=True)
    except Exception as error:  # noqa: BLE001 - any rejection is the answer
        print("rejected:", error, file=sys.stderr)
        return 2
    sheet = book.sheet_by_index(0)
    with open(out_path, "w", encoding="utf-8", newline="\n") as out:
        out.write("sheets\t%d\t%s\n" % (book.nsheets, sheet.name))
        for row in range(sheet.nrows):
            for col in range(sheet.ncols):
                cell = sheet.cell(row, col)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                value = cell.value if isinstance(cell.value, str) else repr(cell.value)
                xf = book.xf_list[cell.xf_index]
                b = xf.border
                out.write("%d\t%d\t%d\t%s\t%d\t%d,%d,%d,%d\t%d,%d,%d,%d\n" % (
                    row, col, cell.ctype, escape(value), xf.alignment.hor_align,
                    b.left_line_style, b.right_line_style, b.top_line_style, b.bottom_line_style,
                    b.left_colour_index, b.right_colour_index, b.top_colour_index,
                    b.bottom_colour_index))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
