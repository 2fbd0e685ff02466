"""Prints every sheet of a workbook as python3-xlrd reads it, one line per row.

Usage: /usr/bin/python3 xls_xlrd_dump.py FILE
Output (UTF-8): "S<TAB>name" per sheet, then "R" and one TAB-led typed cell per
column for each row: T<text>, N<number>, B<0|1>, E<error code>, or empty.
Backslash, TAB, CR and LF inside values are escaped as \\ \t \r \n.
A workbook xlrd refuses gives one line "X<TAB>message".
"""
import sys

import xlrd


def esc(s):
    return s.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')


def cell(c):
    if c.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return ''
    if c.ctype == xlrd.XL_CELL_TEXT:
        return 'T' + esc(c.value)
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
        sys.stdout.write('X\t' + esc(str(e)) + '\n')
        return
    out = []
    for sheet in book.sheets():
        out.append('S\t' + esc(sheet.name))
        for r in range(sheet.nrows):
            out.append('R' + ''.join('\t' + cell(c) for c in sheet.row(r)))
    sys.stdout.buffer.write(('\n'.join(out) + '\n').encode('utf-8'))


main()
