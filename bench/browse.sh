#!/usr/bin/env bash
# Builds the browse list benchmark (Release) and runs it on 1,000, 10,000
# and 1,000,000 realistic bookmarks from the bookmark generator (made
# up ones when it is not there). The data files are created on the first
# run and kept in the data directory for later runs.
# Usage: browse.sh [data directory]
# Over a PostgreSQL server the benchmark starts itself (loopback, made-up
# bookmarks): "$build/bench/browse" server </dev/null
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build-view-rel}
data=${1:-$build/browse_data}
generator=$here/gen_bookmarks.py
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target browse >/dev/null
mkdir -p "$data"
for records in 1000 10000 1000000; do
  if [ ! -f "$data/BROWSE$records.db" ]; then
    echo "browse: creating $records bookmarks" >&2
    if [ -f "$generator" ]; then
      # The benchmark stops reading once it has its records; the generator
      # then ends on a broken pipe, which is no failure.
      { python3 "$generator" $((records * 11 / 10)) 2>/dev/null || true; } |
        "$build/bench/browse" create "$data/BROWSE$records" $records
    else
      "$build/bench/browse" create "$data/BROWSE$records" $records </dev/null
    fi
  fi
done
"$build/bench/browse" report "$data/BROWSE1000" "$data/BROWSE10000" "$data/BROWSE1000000"
