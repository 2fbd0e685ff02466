#!/usr/bin/env bash
# One command from a fresh Debian machine to a working station: installs the
# packages the main job needs, builds the module, the station program and the
# MES receiver (no tests), and runs the station on the NVR line scenario
# against the embedded receiver, with a fresh PCB.xls made from the template.
# It ends with the summary and the paths of the window picture, the logs, the
# receiver's database and PCB.xls. Extra arguments go to the station
# (e.g. --speed 1 for real time, --mes URL for a real MES).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" build
build="${BUILD_DIR:-$root/build-station}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMONITOR_BUILD_TESTS=OFF -DMONITOR_BUILD_BENCH=OFF
cmake --build "$build" --target monitor-station mes-receiver mes-outbox -j"$(nproc)"
exec "$build/monitor-station" --out "${STATION_OUT:-$root/station-output}" --fresh-workbook --speed 4 \
  "$@" "$root/station/scenarios/nvr-line.json"
