#!/bin/sh
# Takes the README's screenshots of the label dialog and the error report window.
#
# Runs the built program on a private X display (Xvfb), with openbox around
# the windows when it is installed, and writes docs/images/label-dialog.png
# and docs/images/report-window.png. Needs Xvfb, xdotool, xwininfo, xprop
# and ImageMagick's import.
#
#   docs/screenshots.sh [path/to/quillfort]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/quillfort}
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
images=$root/docs/images
work=$(mktemp -d)
pids=""
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids="$pids $!"
while [ ! -s "$work/display" ]; do sleep 0.1; done
DISPLAY=:$(cat "$work/display")
export DISPLAY
export ALSA_CONFIG_PATH="$root/tests/e2e/no-sound.conf" GTK_THEME=Adwaita
if command -v openbox >/dev/null 2>&1; then
  openbox --sm-disable >/dev/null 2>&1 &
  pids="$pids $!"
  sleep 1
fi

# The window with this title, once it is shown.
find_window() {
  tries=0
  while [ $tries -lt 100 ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    tries=$((tries + 1))
    sleep 0.1
  done
  echo "no window titled $1" >&2
  return 1
}

# shoot FILE WINDOW: saves the window with its frame, if a window manager gave it one.
shoot() {
  sleep 0.7  # let the window draw, and the frame settle
  geometry=$(xwininfo -id "$2" | awk -F: '
    /Absolute upper-left X/ {x = $2} /Absolute upper-left Y/ {y = $2}
    /Width/ {w = $2} /Height/ {h = $2}
    END {print x + 0, y + 0, w + 0, h + 0}')
  extents=$(xprop -id "$2" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ,)
  set -- "$1" $geometry ${extents:-0 0 0 0}
  import -window root -crop "$(($4 + $6 + $7))x$(($5 + $8 + $9))+$(($2 - $6))+$(($3 - $8))" \
    +repage "$1"
}

mkdir -p "$images" "$work/Game"
echo 'OpenConsole()' >"$work/Game/main.pb"

"$program" /p "$work/Game" /w "beta 2" &
run=$!
shoot "$images/label-dialog.png" "$(find_window 'Backup caption')"
xdotool key Escape
wait $run

(cd "$work" && exec "$program" /p Missing </dev/null >/dev/null 2>&1) &
run=$!
window=$(find_window 'Quillfort by Tamsel Ardy')
xdotool type --delay 40 "ok"
shoot "$images/report-window.png" "$window"
xdotool key Return
wait $run

echo "wrote $images/label-dialog.png and $images/report-window.png"
