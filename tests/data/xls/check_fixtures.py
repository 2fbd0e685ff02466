"""Checks that the workbook fixtures have the traits the tests rely on.

Usage: /usr/bin/python3 check_fixtures.py DIR      (exits 1 naming each failed trait)
       /usr/bin/python3 check_fixtures.py --stream FILE.xls   (prints its Workbook stream)
"""
import json
import os
import struct
import sys

import xlrd
from xlrd import compdoc

SST, CONTINUE, SHRFMLA, MERGECELLS, FORMULA, COLINFO = 0x00FC, 0x003C, 0x04BC, 0x00E5, 0x0006, 0x007D
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def workbook_stream(path):
    with open(path, 'rb') as f:
        return compdoc.CompDoc(f.read(), logfile=open(os.devnull, 'w')).get_named_stream('Workbook')


def records(stream):
    at = 0
    while at + 4 <= len(stream):
        kind, size = struct.unpack_from('<HH', stream, at)
        yield kind, stream[at + 4:at + 4 + size]
        at += 4 + size


def sst_layout(stream):
    """(bytes of SST and its CONTINUE records, CONTINUE count, UTF-16 strings cut by a record end)."""
    recs = list(records(stream))
    start = next((i for i, (k, _) in enumerate(recs) if k == SST), None)
    if start is None:
        return 0, 0, 0
    parts = [recs[start][1]]
    for kind, body in recs[start + 1:]:
        if kind != CONTINUE:
            break
        parts.append(body)
    count = struct.unpack_from('<I', parts[0], 4)[0]
    part, at, cut_wide = 0, 8, 0
    for _ in range(count):
        if at >= len(parts[part]):
            part, at = part + 1, 0
        chars, flags = struct.unpack_from('<HB', parts[part], at)
        at += 3
        runs = struct.unpack_from('<H', parts[part], at)[0] if flags & 8 else 0
        at += 2 if flags & 8 else 0
        ext = struct.unpack_from('<I', parts[part], at)[0] if flags & 4 else 0
        at += 4 if flags & 4 else 0
        wide = flags & 1
        while chars:
            room = (len(parts[part]) - at) // (2 if wide else 1)
            take = min(room, chars)
            chars -= take
            at += take * (2 if wide else 1)
            if chars:  # continues in the next record, which starts with a new flags byte
                cut_wide += 1 if wide else 0
                part, at = part + 1, 1
                wide = parts[part][0] & 1
        at += 4 * runs + ext
        while part < len(parts) - 1 and at >= len(parts[part]) and (runs or ext):
            at -= len(parts[part])
            part += 1
    return sum(len(p) for p in parts), len(parts) - 1, cut_wide


def kinds(path):
    return {k for k, _ in records(workbook_stream(path))}


def sheets(path, **kw):
    return xlrd.open_workbook(path, **kw)


def check_empty(path, names, mini):
    stream = workbook_stream(path)
    book = sheets(path)
    check(book.sheet_names() == names, path + ': sheets ' + str(names))
    check(all(s.nrows == 0 for s in book.sheets()), path + ': empty sheets')
    check(SST not in kinds(path), path + ': no shared-string table')
    if mini:
        check(len(stream) < 4096, path + ': workbook stream under 4,096 bytes (%d)' % len(stream))


def check_two_sheets(path, content, cached):
    book = sheets(path, formatting_info=True)
    model, numbers = book.sheet_by_index(0), book.sheet_by_index(1)
    expected = content['sheets']
    check(book.sheet_names() == [expected[0]['name'], 'Numbers'], path + ': sheet names')
    check([[c.value for c in model.row(r)] for r in range(model.nrows)] == expected[0]['rows'], path + ': model rows')
    check(all(c.ctype == xlrd.XL_CELL_TEXT for r in range(model.nrows) for c in model.row(r)), path + ': model texts only')
    formulas = {'D2', 'D3', 'B4', 'D4'}
    for r, row in enumerate(expected[1]['values']):
        for c, want in enumerate(row):
            where = 'ABCD'[c] + str(r + 1)
            if where in formulas and not cached:
                continue
            got = numbers.cell(r, c) if r < numbers.nrows and c < numbers.ncols else None
            value = '' if got is None else got.value
            if where == 'B7':
                check(got.ctype == xlrd.XL_CELL_DATE and xlrd.xldate_as_tuple(value, book.datemode)[:3] == (2024, 5, 1),
                      path + ': B7 is the date 2024-05-01')
            else:
                check(value == want, path + ': %s is %r, not %r' % (where, want, value))
    xf = lambda r, c: book.xf_list[numbers.cell_xf_index(r, c)]
    font = lambda r, c: book.font_list[xf(r, c).font_index]
    check(all(font(0, c).weight >= 700 for c in range(4)) and font(3, 0).weight >= 700, path + ': bold header and A4')
    check(font(1, 0).weight < 700, path + ': A2 not bold')
    check(book.colour_map.get(xf(0, 0).background.pattern_colour_index) == (255, 255, 0), path + ': yellow header')
    check(book.colour_map.get(xf(3, 3).background.pattern_colour_index) == (0xC6, 0xEF, 0xCE), path + ': green D4')
    check(book.format_map[xf(1, 2).format_key].format_str == '0.00', path + ': C2 number format 0.00')
    check((5, 6, 0, 4) in numbers.merged_cells, path + ': A6:D6 merged')
    width = numbers.colinfo_map[0].width if 0 in numbers.colinfo_map else 0
    check(18 * 256 <= width <= 24 * 256, path + ': column A about 20 characters wide (%d)' % width)
    check(MERGECELLS in kinds(path), path + ': a MERGECELLS record')
    if cached:
        check(SHRFMLA in kinds(path), path + ': D2:D3 stored as a shared formula')


def check_sst(path):
    book = sheets(path)
    ws = book.sheet_by_index(0)
    check(book.sheet_names() == ['共享字符串'], path + ': one sheet 共享字符串')
    check((ws.nrows, ws.ncols) == (503, 3), path + ': 503 x 3 (%d x %d)' % (ws.nrows, ws.ncols))
    texts = {ws.cell_value(r, c) for r in range(ws.nrows) for c in range(ws.ncols)} - {''}
    check(len(texts) == 1507, path + ': 1,507 different strings (%d)' % len(texts))
    check({9000, 6000} <= {len(t) for t in texts}, path + ': strings of 9,000 and 6,000 characters')
    size, continues, cut_wide = sst_layout(workbook_stream(path))
    check(115000 <= size <= 131000, path + ': about 123 KB of shared strings (%d)' % size)
    check(continues >= 10, path + ': CONTINUE records (%d)' % continues)
    check(cut_wide >= 3, path + ': Chinese strings cut by record ends (%d)' % cut_wide)
    print('%s: %d bytes of shared strings, %d CONTINUE records, %d wide strings cut' % (
        os.path.basename(path), size, continues, cut_wide))


def main():
    if sys.argv[1] == '--stream':
        sys.stdout.buffer.write(workbook_stream(sys.argv[2]))
        return
    d = sys.argv[1]
    with open(os.path.join(d, 'content_two_sheets.json'), encoding='utf-8') as f:
        content = json.load(f)
    check_empty(os.path.join(d, 'lo_empty_1sheet.xls'), ['Sheet1'], True)
    check_empty(os.path.join(d, 'lo_empty_3sheets.xls'), ['Sheet1', 'Sheet2', 'Sheet3'], False)
    check_two_sheets(os.path.join(d, 'lo_two_sheets.xls'), content, True)
    check_two_sheets(os.path.join(d, 'xlwt_two_sheets.xls'), content, False)
    check_sst(os.path.join(d, 'lo_sst_continue.xls'))
    for f in failures:
        print('FAILED: ' + f)
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
