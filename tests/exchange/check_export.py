#!/usr/bin/python3
# Reads an exported workbook with openpyxl, a reader that shares no code with the program.
import sys
import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
assert sheet["A1"].value == "样本单位", sheet["A1"].value
titles = [c.value for c in sheet[2]]
assert len(titles) == 64 and titles[0] == "个人编号" and titles[-1] == "归侨", titles
assert "相片" not in titles
id_column = titles.index("身份证号码") + 1
rows = 0
for r in range(3, sheet.max_row + 1):
    cell = sheet.cell(row=r, column=id_column)
    if sheet.cell(row=r, column=1).value is None:
        continue
    rows += 1
    if cell.value is None:
        continue
    assert cell.data_type == "s", (cell.coordinate, cell.data_type)
    assert cell.number_format == "@", (cell.coordinate, cell.number_format)
    assert len(cell.value) == 18, (cell.coordinate, cell.value)
    number = sheet.cell(row=r, column=1)
    assert number.data_type == "s" and len(number.value) == 6, number.value
assert rows == 50, rows
print("ok: %d persons, every ID number a text cell of 18 characters" % rows)
