#!/bin/bash
# Remakes the workbook fixtures in this folder from the sources beside this
# script, checks their traits, and refreshes the workbook reader's fuzz seeds.
#   bash tests/data/xls/make-fixtures.sh
# Needs LibreOffice Calc (soffice) and /usr/bin/python3 with python3-xlrd and
# python3-xlwt. LibreOffice runs with a private profile, so an open office
# session of the user is not disturbed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seeds="$here/../../../fuzz/corpus/xls_reader"
py=/usr/bin/python3
export PYTHONDONTWRITEBYTECODE=1
tmp=$(mktemp -d /tmp/monitor-fixtures-XXXXXX)
trap 'rm -rf "$tmp"' EXIT

cd "$here"
$py make_sources.py "$tmp"
timeout 600 soffice "-env:UserInstallation=file://$tmp/profile" --headless \
  --convert-to 'xls:MS Excel 97' --outdir "$tmp/out" \
  "$tmp"/lo_empty_1sheet.fods "$tmp"/lo_empty_3sheets.fods \
  "$tmp"/lo_two_sheets.fods "$tmp"/lo_sst_continue.fods >/dev/null
for name in lo_empty_1sheet lo_empty_3sheets lo_two_sheets lo_sst_continue; do
  cp "$tmp/out/$name.xls" "$here/$name.xls"
done
$py write_xlwt_two_sheets.py "$here/xlwt_two_sheets.xls"
$py -c 'import two_sheets_content as c, sys; sys.stdout.write(c.expected_json())' > "$here/content_two_sheets.json"
$py check_fixtures.py "$here"

# Reader seeds: each fixture whole, and its bare Workbook stream.
for name in lo_empty_1sheet lo_empty_3sheets lo_two_sheets xlwt_two_sheets; do
  cp "$here/$name.xls" "$seeds/$name.xls"
  $py check_fixtures.py --stream "$here/$name.xls" > "$seeds/${name}_stream.biff"
done
echo "fixtures written to $here"
