#!/usr/bin/env bash
# Import and export of generated browser files of 10,000 and 100,000 links
# through the real procedures, against their floors.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
"$build/bench/import_export" "$here/gen_bookmarks.py"
