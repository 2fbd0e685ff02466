"""The content of the two-sheet workbooks, in one place for every writer.

Imported by make_sources.py (the flat ODS that LibreOffice converts) and by
write_xlwt_two_sheets.py; `expected_json()` is what content_two_sheets.json holds.
"""
import json

MODEL_SHEET = '型号A'
# Texts only: the time and numbers are stored as text, as a station writes them.
MODEL_ROWS = [
    ['时间', 'SN', 'A', 'B'],
    ['2024-05-01 08:30:15', 'SN0001', '合格', '12.50'],
    ['2024-05-01 08:31:02', 'SN0002', '不合格', '007'],
    ['2024-05-01 08:32:47', 'SN-测试-0003', 'PASS', 'x,"y"'],
]

NUMBERS_SHEET = 'Numbers'
MERGED_TEXT = '合并单元格 merged A6:D6'
DATE_TEXT = '2024-05-01'
# Values as a reader shows them (formula results included); '' is an empty cell.
NUMBERS_VALUES = [
    ['Item', 'Qty', 'Price', 'Total'],
    ['Apple', 3, 1.5, 4.5],
    ['Pear', 4, 2.25, 9],
    ['Sum', 7, '', 13.5],
    ['', '', '', ''],
    [MERGED_TEXT, '', '', ''],
    ['Date', DATE_TEXT, 'PASS', '合格'],
]
FORMULAS = {'D2': 'B2*C2', 'D3': 'B3*C3', 'B4': 'SUM(B2:B3)', 'D4': 'SUM(D2:D3)'}
FORMATTING = {
    'A1:D1': 'bold, fill #FFFF00',
    'A4': 'bold',
    'D4': 'fill #C6EFCE',
    'C2:C3': 'number format 0.00',
    'A6:D6': 'merged',
    'B7': 'date 2024-05-01, number format YYYY-MM-DD',
    'column A': 'width ~20 characters',
}


def expected_json():
    doc = {'sheets': [
        {'name': MODEL_SHEET, 'rows': MODEL_ROWS},
        {'name': NUMBERS_SHEET, 'values': NUMBERS_VALUES, 'formulas': FORMULAS, 'formatting': FORMATTING},
    ]}
    return json.dumps(doc, ensure_ascii=False, indent=1) + '\n'
