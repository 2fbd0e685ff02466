"""Prints every sheet of a workbook as LibreOffice Calc shows it.

Usage: /usr/bin/python3 xls_lo_dump.py FILE
Runs a headless soffice (private profile, time-out) converting each sheet to
CSV, then prints "S<TAB>name" per sheet and "R" plus one TAB-led text per cell
for each row, escaped as in xls_xlrd_dump.py. A failed conversion gives
"X<TAB>message".
"""
import csv
import os
import re
import subprocess
import sys
import tempfile

FILTER = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1'


def esc(s):
    return s.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')


def main():
    path = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix='xls-lo-') as tmp:
        out_dir = os.path.join(tmp, 'out')
        try:
            run = subprocess.run(
                ['soffice', '-env:UserInstallation=file://' + os.path.join(tmp, 'profile'),
                 '--headless', '--convert-to', FILTER, '--outdir', out_dir, path],
                capture_output=True, timeout=300)
        except (OSError, subprocess.TimeoutExpired) as e:
            sys.stdout.write('X\t' + esc(str(e)) + '\n')
            return
        lines = []
        for line in run.stdout.decode('utf-8', 'replace').splitlines():
            m = re.match(r'^Writing sheet (.*) -> (.*)$', line)
            if not m:
                continue
            lines.append('S\t' + esc(m.group(1)))
            with open(m.group(2), encoding='utf-8', newline='') as f:
                for row in csv.reader(f):
                    lines.append('R' + ''.join('\t' + esc(v) for v in row))
        if not lines:
            msg = (run.stdout + run.stderr).decode('utf-8', 'replace').strip()
            sys.stdout.write('X\t' + esc(msg or 'no sheet converted') + '\n')
            return
        sys.stdout.buffer.write(('\n'.join(lines) + '\n').encode('utf-8'))


main()
