#!/usr/bin/env bash
# Saves a screenshot of the print preview (a Web Page List of sample
# addresses) under Xvfb, for a person to look at.
#
# Usage: tools/preview_screenshot.sh OUTPUT.png
# Needs: the sample_preview target built (cmake --build build --target
# sample_preview) and what tools/screenshot.sh needs.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 1 ] || { echo "usage: $0 OUTPUT.png" >&2; exit 2; }
exec tools/screenshot.sh "$1" build/sample_preview
