#!/usr/bin/env bash
# Builds the view scan benchmark (Release) and runs it; the data file is
# created on the first run and kept in the data directory for later runs.
# Usage: view_scan.sh [records] [data directory]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build-view-rel}
records=${1:-1000000}
data=${2:-$build/view_scan_data/$records}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target view_scan >/dev/null
mkdir -p "$data"
"$build/bench/view_scan" "$data" "$records"
