"""Writes the two-sheet content with python3-xlwt, which stores formulas
without cached results.

Usage: /usr/bin/python3 write_xlwt_two_sheets.py OUT.xls
"""
import datetime
import sys

import xlwt

import two_sheets_content as content


def main():
    book = xlwt.Workbook(encoding='utf-8')
    model = book.add_sheet(content.MODEL_SHEET)
    for r, row in enumerate(content.MODEL_ROWS):
        for c, value in enumerate(row):
            model.write(r, c, value)

    xlwt.add_palette_colour('result_green', 0x21)
    book.set_colour_RGB(0x21, 0xC6, 0xEF, 0xCE)
    head = xlwt.easyxf('font: bold on; pattern: pattern solid, fore_colour yellow')
    bold = xlwt.easyxf('font: bold on')
    green = xlwt.easyxf('pattern: pattern solid, fore_colour result_green')
    price = xlwt.easyxf(num_format_str='0.00')
    date = xlwt.easyxf(num_format_str='YYYY-MM-DD')

    ws = book.add_sheet(content.NUMBERS_SHEET)
    v = content.NUMBERS_VALUES
    for c, value in enumerate(v[0]):
        ws.write(0, c, value, head)
    for r in (1, 2):
        ws.write(r, 0, v[r][0])
        ws.write(r, 1, v[r][1])
        ws.write(r, 2, v[r][2], price)
        ws.write(r, 3, xlwt.Formula(content.FORMULAS['D%d' % (r + 1)]))
    ws.write(3, 0, v[3][0], bold)
    ws.write(3, 1, xlwt.Formula(content.FORMULAS['B4']))
    ws.write(3, 3, xlwt.Formula(content.FORMULAS['D4']), green)
    ws.write_merge(5, 5, 0, 3, content.MERGED_TEXT)
    ws.write(6, 0, v[6][0])
    ws.write(6, 1, datetime.datetime.strptime(content.DATE_TEXT, '%Y-%m-%d'), date)
    ws.write(6, 2, v[6][2])
    ws.write(6, 3, v[6][3])
    ws.col(0).width = 256 * 20
    book.save(sys.argv[1])


if __name__ == '__main__':
    main()
