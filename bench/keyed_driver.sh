#!/usr/bin/env bash
# Runs the keyed driver benchmark on realistic bookmarks made by the
# bookmark generator when it is there, else on made-up addresses. With
# SERVER=1 the file lives on a PostgreSQL server the run starts itself.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
records=${1:-100000}
generator=$here/gen_bookmarks.py
input=-
if [ -f "$generator" ]; then
  input=$(mktemp --suffix=.html)
  trap 'rm -f "$input"' EXIT
  python3 "$generator" $((records * 11 / 10)) -o "$input" 2>/dev/null
fi
"$build/bench/keyed_driver" ${SERVER:+--server} "$input" "$records"
