"""Writes roster workbooks with xlwt, an independent .xls writer.

Usage: xlwt_roster.py <case> <path>. Each case is a list of rows of
worksheet 1; None leaves a cell empty, numbers are stored as numbers.
"""
import sys

import xlwt

HEADER = ["学校标识码", "姓名", "身份证号", "班级编号"]

CASES = {
    "three_students": [
        HEADER,
        ["4111011001", "张三", "110101200501011234", "1班"],
        ["4111011001", "李四", "11010120050202123X", "1班"],
        ["4111011001", "王五", "110101200503031235", "2班"],
    ],
    "empty_name_ends": [
        HEADER,
        ["A", "甲", "1", "一"],
        ["A", "乙", "2", "一"],
        ["A", "丙", "3", "一"],
        ["A", None, "4", "一"],
        ["A", "丁", "5", "一"],
    ],
    "empty_fields": [
        HEADER,
        [None, "赵六", None, None],
        ["S1", "钱七", None, "3班"],
    ],
    "blank_after_name": [
        ["学校标识码", "姓名 ", "身份证号", "班级编号"],
        ["A", "甲", "1", "一"],
    ],
    "header_only": [HEADER],
    "numbers": [
        HEADER,
        [4111011001, "孙八", 110101900101123, 3],
        [12, "周九", 110101200501011234, 2.5],
    ],
    "breaks_in_cells": [
        HEADER + ["备注"],
        ["A", "张\n三", "1\t2", "一\r\n二", "ignored"],
    ],
    # Too many rows for the mini stream in any writer's workbook.
    "sixty_students": [HEADER] + [
        ["3301010001", "学生%04d" % i, "11010519491231002X" if i % 2 else None, "70%d" % (i % 10)]
        for i in range(1, 61)
    ],
    # Empty texts rather than empty cells, as web systems write students
    # without an ID card.
    "empty_texts": [
        HEADER,
        ["3301010001", "学生0001", "", ""],
        ["3301010001", "学生0002", "11010519491231002X", "701"],
    ],
    "quoted_id": [
        HEADER,
        ["A", "甲", '"110"', "一"],
    ],
}


def main(case, path):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    for r, row in enumerate(CASES[case]):
        for c, value in enumerate(row):
            if value is not None:
                sheet.write(r, c, value)
    book.save(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
