"""Prints every sheet of a workbook as LibreOffice Calc shows it.

Usage: /usr/bin/python3 xls_lo_dump.py FILE
Runs a headless soffice (private profile, time-out) converting each sheet to
CSV, then prints one JSON object as xls_xlrd_dump.py does, the cells as the
texts Calc shows. A failed conversion gives {"refusal": message}.
"""
import csv
import json
import os
import re
import subprocess
import sys
import tempfile

FILTER = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1'


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
            json.dump({'refusal': str(e)}, sys.stdout)
            return
        sheets = []
        for line in run.stdout.decode('utf-8', 'replace').splitlines():
            m = re.match(r'^Writing sheet (.*) -> (.*)$', line)
            if not m:
                continue
            with open(m.group(2), encoding='utf-8', newline='') as f:
                sheets.append({'name': m.group(1), 'rows': list(csv.reader(f))})
        if not sheets:
            msg = (run.stdout + run.stderr).decode('utf-8', 'replace').strip()
            json.dump({'refusal': msg or 'no sheet converted'}, sys.stdout)
            return
        json.dump({'sheets': sheets}, sys.stdout)


main()
