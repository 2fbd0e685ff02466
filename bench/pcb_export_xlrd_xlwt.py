#!/usr/bin/python3
"""The reference for bench_pcb_export: append one row to a worksheet of an .xls
workbook with xlrd and xlwt, the usual python way (read the sheet, write a new
workbook with it and the added row). Only the named sheet survives: xlwt cannot
carry the other sheets over.

Usage: /usr/bin/python3 pcb_export_xlrd_xlwt.py WORKBOOK SHEET [APPENDS]
"""
import sys
import time

import xlrd
import xlwt


def append_row(path, sheet_name, values):
    book = xlrd.open_workbook(path)
    sheet = book.sheet_by_name(sheet_name)
    out = xlwt.Workbook(encoding="utf-8")
    target = out.add_sheet(sheet_name)
    for r in range(sheet.nrows):
        for c, value in enumerate(sheet.row_values(r)):
            target.write(r, c, value)
    for c, value in enumerate(values):
        target.write(sheet.nrows, c, value)
    out.save(path)


def main():
    path, sheet_name = sys.argv[1], sys.argv[2]
    appends = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    for unit in range(appends):
        values = [time.strftime("当前日期：%Y/%m/%d  %H:%M:%S"), "UNIT%d" % unit]
        values += ["PASS" if i % 3 == 0 else "%d.5" % (unit * 100 + i) for i in range(1, 19)]
        start = time.perf_counter()
        append_row(path, sheet_name, values)
        print("append %d: %.1f ms" % (unit + 1, (time.perf_counter() - start) * 1000.0), flush=True)


if __name__ == "__main__":
    main()
