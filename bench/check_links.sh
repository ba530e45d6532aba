#!/usr/bin/env bash
# The link check of 1,000 links on a local HTTP server answering each after
# 100 ms, against 1,000 x 100 ms / 16 (goal: at most 1.5), and one link
# alone against the server's 100 ms.
# Usage: check_links.sh [LINKS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
cmake --build "$build" -j2 --target check_links >/dev/null
"$build/bench/check_links" "$@"
