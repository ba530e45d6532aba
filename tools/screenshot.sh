#!/usr/bin/env bash
# Takes a screenshot of a program's first window: starts Xvfb on a free
# display, runs the program there (default: the sample window with every
# control kind), waits until its window is mapped and drawn, saves it as a
# PNG (and the whole screen beside it as screen-OUTPUT.png) and stops
# everything. The screen is SCREEN (default 1024x768); a window manager runs
# when openbox is installed (WM=none for none).
#
# Usage: [SCREEN=WxH] [WM=none] tools/screenshot.sh OUTPUT.png [PROGRAM [ARGUMENTS...]]
# Needs: xvfb, x11-utils (xwininfo, xdpyinfo), x11-apps (xwd), netpbm; openbox.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ]; then
  echo "usage: $0 OUTPUT.png [PROGRAM [ARGUMENTS...]]" >&2
  exit 2
fi
output=$(realpath -m "$1")
shift
if [ $# -eq 0 ]; then
  set -- build/sample_window
fi

source tools/xvfb.sh
display=$(free_display)

xvfb_pid=""
wm_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

Xvfb "$display" -screen 0 "${SCREEN:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!

wait_for xdpyinfo -display "$display" >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }
if [ "${WM:-}" != none ] && command -v openbox >/dev/null; then
  DISPLAY="$display" openbox >/dev/null 2>&1 &
  wm_pid=$!
fi

DISPLAY="$display" QT_QPA_PLATFORM=xcb "$@" &
app_pid=$!

# The first viewable top-level window of the program.
find_window() {
  local id
  for id in $(xwininfo -display "$display" -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
    if xwininfo -display "$display" -id "$id" 2>/dev/null | grep -q "IsViewable" &&
      [ "$(xwininfo -display "$display" -id "$id" | awk '/Width:/ {print $2}')" -gt 10 ]; then
      window=$id
      return 0
    fi
  done
  return 1
}
window=""
wait_for find_window || { echo "the program's window never appeared" >&2; exit 1; }
sleep 0.5  # let it finish drawing

xwd -display "$display" -id "$window" -silent | xwdtopnm 2>/dev/null | pnmtopng > "$output"
xwd -display "$display" -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$(dirname "$output")/screen-$(basename "$output")"
echo "$output"
