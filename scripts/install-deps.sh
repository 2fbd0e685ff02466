#!/usr/bin/env bash
# Installs the Debian packages of the named lists, only those still missing:
#   scripts/install-deps.sh build test      (lists in scripts/deps/<name>.txt)
# One package a line, # comments allowed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -eq 0 ]; then
  echo "usage: $0 LIST... (from: $(cd "$here/deps" && ls *.txt | sed 's/\.txt$//' | tr '\n' ' '))" >&2
  exit 2
fi
files=()
for list in "$@"; do
  [ -f "$here/deps/$list.txt" ] || { echo "$0: no list $here/deps/$list.txt" >&2; exit 2; }
  files+=("$here/deps/$list.txt")
done
wanted=$(cat "${files[@]}" | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
missing=()
for p in $wanted; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi
