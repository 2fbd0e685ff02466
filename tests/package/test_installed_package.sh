#!/usr/bin/env bash
# Installs the built tree into a temporary prefix, checks what was installed,
# then builds the example host against it twice, with find_package(Monitor)
# and with pkg-config, and runs both offscreen.
#   test_installed_package.sh BUILD_DIR HOST_SOURCE_DIR
set -euo pipefail
build=$1 host=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
export QT_QPA_PLATFORM=offscreen

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"

# The library with its versioned name, and only the host's headers.
lib=$(find "$prefix" -name 'libMonitor.so.*.*.*' -type f)
[ -n "$lib" ] || fail "no libMonitor.so.X.Y.Z installed"
libdir=$(dirname "$lib")
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libMonitor.so.1" ] || fail "SONAME is '$soname'"
[ -L "$libdir/libMonitor.so" ] && [ -L "$libdir/$soname" ] || fail "library links missing in $libdir"
headers=$(cd "$prefix/include/monitor" && find . -type f | sed 's#^\./##' | LC_ALL=C sort | tr '\n' ' ')
expected="monitor/MonitorDialog.h monitor/TestJudgeFLAG.h platform/Application.h platform/Dialog.h platform/Export.h platform/Gdi.h platform/ModuleVersion.h platform/WinTypes.h platform/Wnd.h results/ResultStructrue.h "
[ "$headers" = "$expected" ] || fail "installed headers: $headers"
[ -f "$libdir/cmake/Monitor/MonitorConfig.cmake" ] || fail "no CMake package"
[ -f "$libdir/cmake/Monitor/MonitorConfigVersion.cmake" ] || fail "no CMake package version file"
[ -f "$libdir/pkgconfig/monitor.pc" ] || fail "no monitor.pc"

# The headers leave the host's own macros alone: none of TRUE/FALSE defined,
# and a host that defines them (as glib does) still compiles them.
cat > "$work/macros.cpp" <<'SRC'
#include "monitor/MonitorDialog.h"
#if defined(TRUE) || defined(FALSE)
#error the monitor headers define TRUE or FALSE
#endif
#define TRUE (!FALSE)
#define FALSE (0)
#include "platform/Application.h"
int main() { return FALSE; }
SRC
cat > "$work/macros-first.cpp" <<'SRC'
#define TRUE (!FALSE)
#define FALSE (0)
#include "monitor/MonitorDialog.h"
int main() { return FALSE; }
SRC
c++ -std=c++17 -fsyntax-only -I"$prefix/include/monitor" "$work/macros.cpp" || fail "headers and the host's TRUE/FALSE"
c++ -std=c++17 -fsyntax-only -I"$prefix/include/monitor" "$work/macros-first.cpp" || fail "headers after the host's TRUE/FALSE"

check_run() {
  local name=$1 program=$2
  "$program" > "$work/$name.out" 2> "$work/$name.err" || { cat "$work/$name.err" >&2; fail "$name exited $?"; }
  for line in "monitor 1.0.0" "position 1: PASS" "Video out = PASS" "position 2: FAIL" "Disk = FAIL: no disk"; do
    grep -qxF "$line" "$work/$name.out" || { cat "$work/$name.out" >&2; fail "$name printed no '$line'"; }
  done
  grep -qE '^window [0-9]+ x [0-9]+$' "$work/$name.out" || { cat "$work/$name.out" >&2; fail "$name printed no window size"; }
  echo "$name: ran"
}

# find_package(Monitor): the imported target brings include path and library.
cmake -S "$host" -B "$work/host-cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release > "$work/host-cmake.log" \
  || { cat "$work/host-cmake.log" >&2; fail "configuring the host with find_package"; }
cmake --build "$work/host-cmake" > "$work/host-cmake-build.log" 2>&1 \
  || { cat "$work/host-cmake-build.log" >&2; fail "building the host with find_package"; }
check_run find_package "$work/host-cmake/monitor-host"

# pkg-config: flags from monitor.pc, found through PKG_CONFIG_PATH.
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion monitor)" = "1.0.0" ] || fail "pkg-config --modversion monitor"
# shellcheck disable=SC2046
c++ -std=c++17 -O1 "$host/main.cpp" -o "$work/host-pc" $(pkg-config --cflags --libs monitor) -Wl,-rpath,"$libdir" \
  || fail "building the host with pkg-config"
check_run pkg-config "$work/host-pc"
