#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those still missing.
# The lists live in scripts/deps/*.txt (one package a line, # comments allowed);
# given list files as arguments, only those are installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -gt 0 ]; then lists=("$@"); else lists=("$here"/deps/*.txt); fi
wanted=$(cat "${lists[@]}" | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
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
