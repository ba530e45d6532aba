#!/usr/bin/env bash
# Builds and runs the find's benchmark on 10,000 and 1,000,000 generated
# bookmarks. The collections are imported on the first run (the 1,000,000
# take some minutes) and kept in the data directory for later runs.
# Usage: search.sh [data directory]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
data=${1:-$build/search_data}
cmake --build "$build" -j2 --target search >/dev/null
mkdir -p "$data"
"$build/bench/search" "$data" "$here/gen_bookmarks.py"
