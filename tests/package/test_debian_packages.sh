#!/usr/bin/env bash
# Makes the Debian packages of the built tree (cpack -G DEB) into a temporary
# folder and checks their names, contents and Depends.
#   test_debian_packages.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
runtime=$(ls "$work"/libmonitor1_*.deb 2>/dev/null) || fail "no libmonitor1 package"
dev=$(ls "$work"/libmonitor-dev_*.deb 2>/dev/null) || fail "no libmonitor-dev package"

# The library package: the library only, depending on what it links.
depends=$(dpkg-deb -f "$runtime" Depends)
for package in libqt6widgets6 libqt6gui6 libqt6core6 libexpat1 libsqlite3-0 libstdc++6; do
  grep -q "\b$package\b" <<< "$depends" || fail "libmonitor1 Depends lacks $package: $depends"
done
contents=$(dpkg-deb -c "$runtime" | awk '{print $6}' | grep -v '/$' | tr '\n' ' ')
[ "$contents" = "./usr/lib/libMonitor.so.1 ./usr/lib/libMonitor.so.1.0.0 " ] || fail "libmonitor1 holds: $contents"

# The development package: headers and package files, on this very library.
version=$(dpkg-deb -f "$runtime" Version)
[ "$(dpkg-deb -f "$dev" Depends)" = "libmonitor1 (= $version)" ] || fail "libmonitor-dev Depends: $(dpkg-deb -f "$dev" Depends)"
devfiles=$(dpkg-deb -c "$dev" | awk '{print $6}')
for file in ./usr/lib/libMonitor.so ./usr/include/monitor/monitor/MonitorDialog.h \
            ./usr/lib/cmake/Monitor/MonitorConfig.cmake ./usr/lib/cmake/Monitor/MonitorConfigVersion.cmake \
            ./usr/lib/pkgconfig/monitor.pc; do
  grep -qxF "$file" <<< "$devfiles" || fail "libmonitor-dev lacks $file"
done
if grep -q 'libMonitor.so.1' <<< "$devfiles"; then fail "libmonitor-dev carries the library itself"; fi
echo "$(basename "$runtime") $(stat -c %s "$runtime") bytes, $(basename "$dev") $(stat -c %s "$dev") bytes"
