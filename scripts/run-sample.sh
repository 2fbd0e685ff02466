#!/usr/bin/env bash
# Builds and runs the sample station: the monitor with a 2 x 2 grid, fed and
# judged. With a display the window stays until it is closed; without one the
# window is saved as a PNG (build/monitor-sample.png) and the path is printed.
# Needs only the build packages: no tests, no benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" build
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMONITOR_BUILD_TESTS=OFF -DMONITOR_BUILD_BENCH=OFF
cmake --build "$build" --target monitor-sample -j"$(nproc)"
"$build/monitor-sample" "$build/monitor-sample.png"
