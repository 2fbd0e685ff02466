"""Writes the flat ODS sources that LibreOffice Calc converts into the .xls fixtures.

Usage: /usr/bin/python3 make_sources.py OUT_DIR
Writes lo_empty_1sheet.fods, lo_empty_3sheets.fods, lo_two_sheets.fods and
lo_sst_continue.fods (each converts to the .xls of the same name).
"""
import os
import re
import sys
from xml.sax.saxutils import escape, quoteattr

import two_sheets_content as content

HEAD = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
'''

STYLES = '''<office:automatic-styles>
 <number:number-style style:name="N2"><number:number number:decimal-places="2" number:min-decimal-places="2" number:min-integer-digits="1"/></number:number-style>
 <number:date-style style:name="N37"><number:year number:style="long"/><number:text>-</number:text><number:month number:style="long"/><number:text>-</number:text><number:day number:style="long"/></number:date-style>
 <style:style style:name="wide" style:family="table-column"><style:table-column-properties style:column-width="1.55in"/></style:style>
 <style:style style:name="narrow" style:family="table-column"><style:table-column-properties style:column-width="0.889in"/></style:style>
 <style:style style:name="head" style:family="table-cell" style:parent-style-name="Default"><style:table-cell-properties fo:background-color="#ffff00"/><style:text-properties fo:font-weight="bold"/></style:style>
 <style:style style:name="bold" style:family="table-cell" style:parent-style-name="Default"><style:text-properties fo:font-weight="bold"/></style:style>
 <style:style style:name="green" style:family="table-cell" style:parent-style-name="Default"><style:table-cell-properties fo:background-color="#c6efce"/></style:style>
 <style:style style:name="price" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N2"/>
 <style:style style:name="date" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N37"/>
</office:automatic-styles>
'''


def text_cell(value, style=None, extra=''):
    s = ' table:style-name="%s"' % style if style else ''
    return '<table:table-cell%s%s office:value-type="string"><text:p>%s</text:p></table:table-cell>' % (
        s, extra, escape(value))


def number_cell(value, style=None, formula=None):
    s = ' table:style-name="%s"' % style if style else ''
    f = ' table:formula=%s' % quoteattr('of:=' + formula) if formula else ''
    return '<table:table-cell%s%s office:value-type="float" office:value="%r"><text:p>%r</text:p></table:table-cell>' % (
        s, f, value, value)


def table(name, rows, columns=''):
    body = ''.join('<table:table-row>%s</table:table-row>\n' % ''.join(r) for r in rows)
    return '<table:table table:name=%s>%s\n%s</table:table>\n' % (quoteattr(name), columns, body)


def empty_table(name):
    return table(name, [['<table:table-cell/>']], '<table:table-column/>')


def document(tables, styles=''):
    return HEAD + styles + '<office:body><office:spreadsheet>\n' + ''.join(tables) + \
        '</office:spreadsheet></office:body></office:document>\n'


def ods_formula(formula):
    """'SUM(B2:B3)' -> 'SUM([.B2:.B3])', 'B2*C2' -> '[.B2]*[.C2]'."""
    formula = re.sub(r'([A-Z]+[0-9]+):([A-Z]+[0-9]+)', r'[.\1:.\2]', formula)
    return re.sub(r'(?<![.A-Z])([A-Z][0-9]+)(?![0-9\]:])', r'[.\1]', formula)


def two_sheets():
    model = table(content.MODEL_SHEET, [[text_cell(v) for v in row] for row in content.MODEL_ROWS])
    v = content.NUMBERS_VALUES
    f = {k: ods_formula(x) for k, x in content.FORMULAS.items()}
    rows = [
        [text_cell(x, 'head') for x in v[0]],
        [text_cell(v[1][0]), number_cell(v[1][1]), number_cell(v[1][2], 'price'), number_cell(v[1][3], None, f['D2'])],
        [text_cell(v[2][0]), number_cell(v[2][1]), number_cell(v[2][2], 'price'), number_cell(v[2][3], None, f['D3'])],
        [text_cell(v[3][0], 'bold'), number_cell(v[3][1], None, f['B4']), '<table:table-cell/>',
         number_cell(v[3][3], 'green', f['D4'])],
        ['<table:table-cell table:number-columns-repeated="4"/>'],
        [text_cell(content.MERGED_TEXT, None, ' table:number-columns-spanned="4" table:number-rows-spanned="1"'),
         '<table:covered-table-cell table:number-columns-repeated="3"/>'],
        [text_cell(v[6][0]),
         '<table:table-cell table:style-name="date" office:value-type="date" office:date-value="%s"><text:p>%s</text:p></table:table-cell>'
         % (content.DATE_TEXT, content.DATE_TEXT),
         text_cell(v[6][2]), text_cell(v[6][3])],
    ]
    columns = '<table:table-column table:style-name="wide"/><table:table-column table:style-name="narrow" table:number-columns-repeated="3"/>'
    return document([model, table(content.NUMBERS_SHEET, rows, columns)], STYLES)


def sst_rows():
    """503 x 3 texts, 1,507 different ones: short and middling ASCII, Chinese and
    mixed texts of growing length (so that some Chinese texts straddle the
    CONTINUE boundaries of the shared-string table), then a 9,000-character
    ASCII text and a 6,000-character Chinese one."""
    rows = [['Code', '名称', 'Mixed 混合']]
    for i in range(500):
        rows.append([
            'code-%05d-' % i + 'klmnopqrst' * (i % 4),
            '测试字符串%05d' % i + '数据内容' * (i % 5),
            'mix-%05d-混合-' % i + 'ab汉' * (i % 13),
        ])
    rows.append(['long-ascii-9000', 'Q' * 9000, ''])
    rows.append(['long-cjk-6000', '长' * 6000, ''])
    return rows


def sst_continue():
    rows = [[text_cell(x) if x else '<table:table-cell/>' for x in row] for row in sst_rows()]
    return document([table('共享字符串', rows, '<table:table-column table:number-columns-repeated="3"/>')])


def main():
    out = sys.argv[1]
    files = {
        'lo_empty_1sheet.fods': document([empty_table('Sheet1')]),
        'lo_empty_3sheets.fods': document([empty_table('Sheet%d' % n) for n in (1, 2, 3)]),
        'lo_two_sheets.fods': two_sheets(),
        'lo_sst_continue.fods': sst_continue(),
    }
    for name, text in files.items():
        with open(os.path.join(out, name), 'w', encoding='utf-8') as f:
            f.write(text)


if __name__ == '__main__':
    main()
