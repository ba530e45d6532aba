#!/usr/bin/env bash
# Prints the Web Page List on a real CUPS queue and checks what came out.
#
# Starts the CUPS scheduler when it is not running (and stops it again at the
# end), defines a cups-pdf queue, imports a generated bookmark file into a
# fresh data folder, prints with `marlinden-cli print --printer QUEUE` once
# and with `--copies 2`, finds the PDF files cups-pdf wrote and compares them
# with the same report printed straight to a PDF file (`--pdf`): the number
# of pages, the copies, and every page's image. The text of a cups-pdf file
# cannot be read back (its fonts lose their character map on the way through
# CUPS' PostScript step), so its pages are compared as images against the
# direct PDF, whose text pdftotext reads.
#
# The queue's driver is the cups-pdf one with copies made by CUPS itself
# (cups-pdf writes one document whatever the copies asked): so two copies
# must give exactly twice the pages, which shows the copies were made once.
#
# Usage (as root): tools/try_cups_printer.sh [BUILD_DIR]   (default: build)
# Needs: the marlinden-cli target built; apt-get install cups
# printer-driver-cups-pdf (on purpose not in tools/deps.sh: CI has no
# printers). Environment: MARLINDEN_CUPS_QUEUE (default marlinden-try).
# Exits 0 when everything matched, 1 on a mismatch, 2 when it cannot run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli=$(realpath "$build/main/marlinden-cli" 2>/dev/null || true)
queue=${MARLINDEN_CUPS_QUEUE:-marlinden-try}
ppd_source=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

say() { printf '%s\n' "$*"; }
fail=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    say "ok: $1 = $3"
  else
    say "MISMATCH: $1: expected $2, found $3"
    fail=1
  fi
}

[ "$(id -u)" -eq 0 ] || { say "run as root (the scheduler and lpadmin need it)" >&2; exit 2; }
[ -x "$cli" ] || { say "no $build/main/marlinden-cli: build the marlinden-cli target first" >&2; exit 2; }
for tool in cupsd lpadmin lpstat pdftotext pdfinfo pdftoppm python3; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || { say "missing $tool" >&2; exit 2; }
done
[ -f "$ppd_source" ] || { say "no cups-pdf driver: apt-get install printer-driver-cups-pdf" >&2; exit 2; }

work=${TMPDIR:-/tmp}/marlinden-cups-try
rm -rf "$work"
mkdir -p "$work"

# The scheduler.
started_pid=
stop_scheduler() {
  if [ -n "$started_pid" ]; then
    kill "$started_pid" 2>/dev/null || true
    wait "$started_pid" 2>/dev/null || true
  fi
}
trap stop_scheduler EXIT
wait_for() {  # wait_for SECONDS COMMAND...: polls COMMAND until it succeeds
  local tries=$(($1 * 10))
  shift
  while ! "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}
scheduler_running() { lpstat -r 2>/dev/null | grep -q "is running"; }
if scheduler_running; then
  say "scheduler: already running"
else
  /usr/sbin/cupsd -f >"$work/cupsd.log" 2>&1 &
  started_pid=$!
  wait_for 30 scheduler_running || { say "the scheduler did not start (see $work/cupsd.log)" >&2; exit 2; }
  say "scheduler: started (pid $started_pid; stopped again at the end)"
fi

# The queue: cups-pdf, with copies made by CUPS, and poppler turning the
# PDF into PostScript (its fonts stay outlines, so the pages can be compared
# with the direct PDF's pixel for pixel).
sed 's/^\*PCFileName:.*/&\n*cupsManualCopies: True/' "$ppd_source" >"$work/queue.ppd"
lpadmin -p "$queue" -E -v cups-pdf:/ -P "$work/queue.ppd" -o pdftops-renderer-default=pdftops 2>&1 |
  grep -v "deprecated" || true
say "queue: $(lpstat -p "$queue" | head -1)"

# The data folder.
python3 bench/gen_bookmarks.py 80 -o "$work/bookmarks.html" 2>/dev/null
"$cli" --data "$work/data" import "$work/bookmarks.html" --yes >"$work/import.txt"
count=$("$cli" --data "$work/data" count)
say "bookmarks stored: $count"

# The reference: the same report printed straight to a PDF file.
"$cli" --data "$work/data" print --pdf "$work/direct.pdf" >/dev/null 2>"$work/direct.err"
pdftotext -layout "$work/direct.pdf" "$work/direct.txt" 2>/dev/null
pages=$(tr -cd '\f' <"$work/direct.txt" | wc -c)
say "direct PDF: $pages pages"
for text in "Web Page List" "Run: " "Web Address"; do
  check "pages of the direct PDF with \"$text\"" "$pages" "$(grep -c "$text" "$work/direct.txt")"
done
check "direct PDF last page number" "Page: $pages" "$(grep -o "Page: [0-9]*" "$work/direct.txt" | tail -1)"
check "direct PDF total" "$count" "$(grep "Total Number Of Web Pages Listed" "$work/direct.txt" | awk '{print $NF}')"
# Every address in address order (compared on their first 50 characters:
# a long one is cut at the page's edge).
"$cli" --data "$work/data" list | cut -f1 | cut -c1-50 >"$work/urls.txt"
grep -E '^[a-zA-Z][a-zA-Z0-9+.-]*:[^ ]' "$work/direct.txt" | sed 's/ *$//' | cut -c1-50 >"$work/printed-urls.txt"
check "direct PDF addresses in order" "$(wc -l <"$work/urls.txt") $(md5sum <"$work/urls.txt")" \
  "$(wc -l <"$work/printed-urls.txt") $(md5sum <"$work/printed-urls.txt")"
pdftoppm -r 40 -gray "$work/direct.pdf" "$work/direct" 2>/dev/null

# Where cups-pdf writes: its Out setting, with the user's home and name.
out_dir=$(awk '$1 == "Out" {print $2}' /etc/cups/cups-pdf.conf)
out_dir=${out_dir:-/var/spool/cups-pdf/\$\{USER\}}
out_dir=${out_dir//\$\{HOME\}/$HOME}
out_dir=${out_dir//\$\{USER\}/$(id -un)}

job_done() { [ -z "$(lpstat -o "$queue" 2>/dev/null)" ]; }
for copies in 1 2; do
  marker="$work/marker$copies"
  touch "$marker"
  if ! "$cli" --data "$work/data" print --printer "$queue" --copies "$copies" 2>"$work/print$copies.err"; then
    say "MISMATCH: print --printer $queue --copies $copies failed: $(grep -v XDG_RUNTIME "$work/print$copies.err")"
    fail=1
    continue
  fi
  wait_for 120 job_done || { say "MISMATCH: the job on $queue did not finish"; fail=1; continue; }
  printed=$(find "$out_dir" /var/spool/cups-pdf -newer "$marker" -name '*.pdf' 2>/dev/null | head -1)
  if [ -z "$printed" ]; then
    say "MISMATCH: cups-pdf wrote no PDF for --copies $copies (looked in $out_dir)"
    fail=1
    continue
  fi
  say "copies $copies: cups-pdf wrote $printed"
  got=$(pdftotext "$printed" - 2>/dev/null | tr -cd '\f' | wc -c)
  check "pages for --copies $copies" $((pages * copies)) "$got"
  rm -f "$work"/cups-*.pgm
  pdftoppm -r 40 -gray "$printed" "$work/cups" 2>/dev/null
  # Page j of uncollated copies shows direct page j / copies + 1; a page
  # matches when under a tenth of its ink differs.
  python3 - "$work" "$copies" "$pages" <<'EOF' || fail=1
import glob, os, sys
work, copies, pages = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])

def load(path):
    data = open(path, 'rb').read()
    fields = data.split(maxsplit=4)
    width, height = int(fields[1]), int(fields[2])
    return width, height, fields[4][-width * height:]

def name(prefix, number, total):
    digits = max(len(str(total)), 1)
    for candidate in (f"{prefix}-{number:0{digits}d}.pgm", f"{prefix}-{number}.pgm"):
        if os.path.exists(candidate):
            return candidate
    return None

printed = len(glob.glob(os.path.join(work, "cups-*.pgm")))
bad = 0
for page in range(1, printed + 1):
    expected = (page - 1) // copies + 1
    mine = name(os.path.join(work, "cups"), page, printed)
    theirs = name(os.path.join(work, "direct"), expected, pages)
    if mine is None or theirs is None:
        print(f"MISMATCH: page {page} has no direct page {expected} to compare with")
        bad += 1
        continue
    wa, ha, a = load(mine)
    wb, hb, b = load(theirs)
    ink = sum(1 for x, y in zip(a, b) if x < 128 or y < 128)
    differ = sum(1 for x, y in zip(a, b) if (x < 128) != (y < 128))
    share = differ / max(ink, 1) if (wa, ha) == (wb, hb) else 1.0
    if share >= 0.1:
        print(f"MISMATCH: printed page {page} is not direct page {expected} ({share:.0%} of the ink differs)")
        bad += 1
print(f"{'ok' if bad == 0 else 'MISMATCH'}: {printed - bad} of {printed} printed pages show the right direct page")
sys.exit(1 if bad else 0)
EOF
done

if [ "$fail" -eq 0 ]; then say "all matched"; else say "there were mismatches"; fi
exit "$fail"
