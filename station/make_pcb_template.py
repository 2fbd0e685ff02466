#!/usr/bin/python3
"""Writes station/PCB-template.xls: the empty Excel 97-2003 workbook the
station copies to PCB.xls when its output folder has none. The export adds a
sheet per product model with its own header, so the template only needs one
worksheet. Run with /usr/bin/python3 (python3-xlwt)."""
import os
import sys

import xlwt

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "PCB-template.xls")
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("说明")
    sheet.write(0, 0, "PCB 测试记录：每个型号一张工作表，由测试工位追加")
    sheet.col(0).width = 256 * 50
    book.save(path)
    print(path)

if __name__ == "__main__":
    main()
