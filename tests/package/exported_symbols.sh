#!/usr/bin/env bash
# The dynamic symbols a shared library defines, demangled and sorted, one a line.
#   exported_symbols.sh --check LIBRARY LIST   differ from LIST: show the change, exit 1
#   exported_symbols.sh --write LIBRARY LIST   write them to LIST
set -euo pipefail
mode=$1 library=$2 list=$3
current=$(nm -D --defined-only -C "$library" | cut -d' ' -f3- | LC_ALL=C sort)
case "$mode" in
  --write)
    printf '%s\n' "$current" > "$list"
    echo "$(wc -l < "$list") symbols written to $list"
    ;;
  --check)
    if ! diff -u "$list" <(printf '%s\n' "$current"); then
      echo "The library's exported symbols differ from $list (lines - are gone, + are new)."
      echo "If the host interface changed on purpose: cmake --build <build> --target update_exported_symbols"
      exit 1
    fi
    echo "$(wc -l < "$list") exported symbols, as listed in $list"
    ;;
  *)
    echo "usage: $0 --check|--write LIBRARY LIST" >&2
    exit 2
    ;;
esac
