"""Prints every sheet of a workbook as python3-xlrd reads it, as one JSON object.

Usage: /usr/bin/python3 xls_xlrd_dump.py FILE
Output: one JSON object {"sheets": [{"name": ..., "rows": [[cell, ...], ...]}]}
with each cell typed: T<text>, N<number>, B<0|1>, E<error code>, or empty.
A workbook xlrd refuses gives {"refusal": message}.
"""
import json
import sys

import xlrd


def cell(c):
    if c.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return ''
    if c.ctype == xlrd.XL_CELL_TEXT:
        return 'T' + c.value
    if c.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
        v = float(c.value)
        return 'N' + (str(int(v)) if v == int(v) and abs(v) < 1e15 else repr(v))
    if c.ctype == xlrd.XL_CELL_BOOLEAN:
        return 'B' + str(int(c.value))
    if c.ctype == xlrd.XL_CELL_ERROR:
        return 'E' + str(int(c.value))
    return '?'


def main():
    try:
        book = xlrd.open_workbook(sys.argv[1])
    except Exception as e:  # any refusal is reported, not raised
        json.dump({'refusal': str(e) or 'refused'}, sys.stdout)
        return
    sheets = [{'name': sheet.name, 'rows': [[cell(c) for c in sheet.row(r)] for r in range(sheet.nrows)]}
              for sheet in book.sheets()]
    json.dump({'sheets': sheets}, sys.stdout)


main()
