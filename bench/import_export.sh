#!/usr/bin/env bash
# Import and export of generated browser files of 10,000 and 100,000 links
# through the real procedures, against their floors. With SERVER=1 also
# the 10,000 on a PostgreSQL server the run starts itself.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
"$build/bench/import_export" "$here/gen_bookmarks.py" ${SERVER:+--server}
