#!/usr/bin/env bash
# The Web Page List of 100,000 bookmarks printed to PDF through
# marlinden-cli print --pdf, against one QPainter writing the same lines to a
# PDF (goal: at most twice its time), and the companion's peak memory (goal:
# under 200 MiB; pages are kept as files, never all in memory). Then the
# preview of the same list built as the window program builds it (headless,
# its progress window's timer events on the real clock) against the
# companion's PDF (goal: at most twice its time), with its peak memory.
# Needs: cmake --build build --target marlinden-cli report; GNU time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
count=${REPORT_BOOKMARKS:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli="$build/main/marlinden-cli --data $work/data"

# The collection: exactly $count web addresses.
python3 - "$count" > "$work/in.htm" <<'PY'
import sys
for i in range(int(sys.argv[1])):
    print(f'<DT><A HREF="https://www.site{i:06d}.example/path/to/page-{i % 977}.html">Site {i}</A>')
PY
$cli import "$work/in.htm" --yes > /dev/null
$cli list | cut -f1 > "$work/addresses"

seconds() { /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null; cat "$work/time"; }
read -r cli_s cli_kb < <(seconds $cli print --pdf "$work/cli.pdf")
read -r floor_s floor_kb < <(seconds sh -c "'$build/bench/report' '$work/floor.pdf' < '$work/addresses'")
pages=$(pdfinfo "$work/cli.pdf" | awk '/^Pages:/ {print $2}')
/usr/bin/time -f "%M" -o "$work/time" "$build/bench/report" --preview "$work/data" > "$work/preview"
read -r preview_s preview_pages < "$work/preview"
preview_kb=$(cat "$work/time")

ratio() { python3 -c "print(f'{$1 / max($2, 0.01):.2f}')"; }
echo "report_print_pdf_${count} $cli_s s ratio $(ratio "$cli_s" "$floor_s")"
echo "report_qpainter_floor_${count} $floor_s s ratio 1.00"
echo "report_peak_memory_${count} $((cli_kb / 1024)) MiB ratio $(ratio "$cli_kb" $((200 * 1024)))"
echo "report_pages_${count} $pages pages ratio 1.00"
echo "report_preview_build_${count} $preview_s s ratio $(ratio "$preview_s" "$cli_s")"
echo "report_preview_pages_${count} $preview_pages pages ratio $(ratio "$preview_pages" "$pages")"
echo "report_preview_peak_memory_${count} $((preview_kb / 1024)) MiB ratio $(ratio "$preview_kb" $((200 * 1024)))"
