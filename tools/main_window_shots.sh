#!/usr/bin/env bash
# Screenshots of the main bookmark window for a person to look at: starts the
# program under Xvfb in a fresh data folder and saves, in OUTPUT_DIR,
#   1-empty.png        the empty main window
#   2-bookmarks.png    three bookmarks, one of them the favourite (red, title)
#   3-description.png  4-http.png  5-ftp.png  5-folder.png   the other tabs
#   6-query.png        the query window
#   7-popup.png        the list's popup menu
#   8-about.png        the About window
#   9-email.png  10-import.png  11-export.png   the e-mail form, the import
#                      and the export windows
#   12-larger.png      the main window made larger by the user
# The bookmarks are stored with sqlite3 while the program is not running,
# two more with folders by marlinden-cli beside PROGRAM.
# The screen is SCREEN (default 1024x768); a window manager runs when
# openbox is installed (WM=none for none), as on a user's desktop.
#
# Usage: [SCREEN=WxH] [WM=none] tools/main_window_shots.sh OUTPUT_DIR [PROGRAM]
# Needs: xvfb, x11-utils, x11-apps, netpbm, xdotool, sqlite3; openbox.
set -euo pipefail
cd "$(dirname "$0")/.."

[ $# -ge 1 ] || { echo "usage: $0 OUTPUT_DIR [PROGRAM]" >&2; exit 2; }
out=$(realpath -m "$1")
program=$(realpath "${2:-build/main/marlinden}")
mkdir -p "$out"
data=$(mktemp -d)

source tools/xvfb.sh
display=$(free_display)

xvfb_pid=""
wm_pid=""
app_pid=""
stop_program() {
  if [ -n "$app_pid" ]; then
    kill -TERM "$app_pid" 2>/dev/null || true  # closes down the ordinary way
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
  fi
}
cleanup() {
  stop_program
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$data"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 "${SCREEN:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"

wait_for xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }
if [ "${WM:-}" != none ] && command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  wm_pid=$!
fi

# Starts the program and waits for its main window.
window=""
start_program() {
  MARLINDEN_DATA="$data" QT_QPA_PLATFORM=xcb "$program" 2>>"$out/program.log" &
  app_pid=$!
  wait_for find_main || wait_for find_main || { echo "the main window never appeared" >&2; exit 1; }
  sleep 0.5
}
find_main() {
  window=$(xdotool search --onlyvisible --name '^Marlinden' 2>/dev/null | head -1)
  [ -n "$window" ]
}
# The topmost viewable top-level window (a dialog or menu over the main one).
topmost() {
  local id
  # xwininfo lists the root's children top first.
  for id in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
    if xwininfo -id "$id" 2>/dev/null | grep -q "IsViewable" &&
      [ "$(xwininfo -id "$id" | awk '/Width:/ {print $2}')" -gt 10 ]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}
# Saves the topmost window. Each window is taken on its own: without a
# window manager the screen's copy of a newly mapped window stays black.
# With a title, the newest visible window of that title is taken instead;
# screen-NAME.png beside it shows the whole screen, where it lies.
shot() {
  sleep 1.5  # let it finish drawing
  local id
  if [ $# -ge 2 ]; then id=$(xdotool search --onlyvisible --name "$2" | tail -1); else id=$(topmost); fi
  xwd -id "$id" -silent | xwdtopnm 2>/dev/null | pnmtopng > "$out/$1"
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$out/screen-$1"
  echo "$out/$1"
}
click() {  # x y [button], in the main window's pixels
  xdotool mousemove --window "$window" "$1" "$2" click "${3:-1}"
}

start_program
shot 1-empty.png
stop_program

sqlite3 "$data/MARLINDEN.db" <<'SQL'
INSERT INTO records(version, f1, f2, f3, f4) VALUES
  (1, 1, 'https://www.debian.org/', 'Debian', 0),
  (1, 2, 'ftp://ftp.example.org/pub/', 'Example FTP archive', 0),
  (1, 3, 'https://en.wikipedia.org/', 'Wikipedia, the free encyclopedia', 0);
SQL
printf '[Favorite]\nMyFavorite=https://www.debian.org/\n' > "$data/Marlimden.ini"
for bookmark in "https://www.gnu.org/ GNU Software" "https://kernel.org/ Kernel Software Kernels"; do
  read -r url description folder sub <<<"$bookmark"
  MARLINDEN_DATA="$data" "$(dirname "$program")/marlinden-cli" add "$url" --description "$description" \
    --folder "$folder" ${sub:+--folder "$sub"} >/dev/null
done

start_program
shot 2-bookmarks.png
click 97 37
shot 3-description.png
click 164 37
shot 4-http.png
click 207 37
shot 5-ftp.png
click 244 37
shot 5-folder.png
click 30 37
click 45 390  # Query (clicks: without a window manager no window has the keyboard)
shot 6-query.png 'Example values'
query=$(xdotool search --onlyvisible --name 'Example' | head -1)
[ -n "$query" ] && xdotool mousemove --window "$query" 355 86 click 1  # Cancel
sleep 0.5
click 100 80 3
shot 7-popup.png
click 600 200  # away from the menu closes it
sleep 0.5
click 532 8  # About
shot 8-about.png 'About Marlinden'
stop_program
start_program
xdotool windowsize "$window" 1000 700  # the user makes the window larger
shot 12-larger.png
stop_program
# Each from a fresh start: a menu command's window stands over the main one.
for command in "465 9-email.png Send An Email" "240 10-import.png Import Bookmarks" "357 11-export.png Save As"; do
  read -r x file title <<<"$command"
  start_program
  click "$x" 8
  shot "$file" "$title"
  stop_program
done
