#!/usr/bin/env bash
# Starts the real program on a virtual screen, waits for the main window and photographs it.
# With TORV_SMOKE_JOB=1 it then does the whole job as a user would: picks a 1024 x 768 picture in the
# file list, "2-Küçült" (400 x 400), "3-Kaydet", types a name in the save dialog, Enter, and checks that
# the JPEG appears with the fitted size, 400 x 300.
# Usage: smoke_xvfb.sh <executable> [screenshot.png]
# Under Xvfb there is no window manager, so the window has no frame: the photo is the client area.
set -euo pipefail
exe=$(readlink -f "$1")
shot=$(readlink -f "${2:-$(mktemp --suffix=.png)}")
if [ -z "${TORV_SMOKE_INNER:-}" ]; then
  export TORV_SMOKE_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

unset QT_QPA_PLATFORM
work=
if [ "${TORV_SMOKE_JOB:-}" = 1 ]; then
  # The program lists the folder it starts in and offers ulk.jpg in the home folder.
  work=$(mktemp -d)
  mkdir "$work/pictures" "$work/home"
  convert -size 1024x768 gradient:red-blue "$work/pictures/foto.jpg"
  cd "$work/pictures"
  export HOME="$work/home"
fi
"$exe" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; [ -z "$work" ] || rm -rf "$work"' EXIT

id=
for _ in $(seq 1 100); do
  id=$(xdotool search --onlyvisible --name '^Torv Image Resizer$' 2>/dev/null | head -n 1 || true)
  [ -n "$id" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "the program ended before its window came up"; exit 1; }
  sleep 0.1
done
[ -n "$id" ] || { echo "no window named 'Torv Image Resizer' within 10 s"; exit 1; }

# Wait for the start-up picture to leave the preview (third tick of the main window's timer).
sleep "${TORV_SMOKE_SETTLE:-3.5}"
import -window "$id" "$shot"
size=$(identify -format '%wx%h' "$shot")
echo "window $id, screenshot $shot: $size"
[ "$size" = "896x528" ] || { echo "expected 896x528"; exit 1; }

[ "${TORV_SMOKE_JOB:-}" = 1 ] || exit 0

# Points in the window's client area, in pixels: the first entry of the file list, "2-Küçült", "3-Kaydet".
click() { xdotool mousemove --sync --window "$id" "$1" "$2" click 1; sleep 0.5; }
click 640 249
click 232 88
click 332 88

# The save dialog: the program's first visible window other than the main one.
dialog=
for _ in $(seq 1 50); do
  dialog=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$id" | head -n 1 || true)
  [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || { echo "no save dialog within 5 s"; exit 1; }
sleep 0.5
xdotool windowfocus --sync "$dialog"
xdotool key ctrl+a
xdotool type --delay 20 kucuk
xdotool key Return

out="$HOME/kucuk.JPG"
for _ in $(seq 1 50); do
  [ -s "$out" ] && break
  sleep 0.1
done
if [ ! -s "$out" ]; then
  import -window root "${shot%.png}_job.png"
  echo "no $out within 5 s; screen in ${shot%.png}_job.png"
  exit 1
fi
sleep 0.2
saved=$(identify -format '%m %wx%h' "$out")
echo "saved $out: $saved"
[ "$saved" = "JPEG 400x300" ] || { echo "expected JPEG 400x300"; exit 1; }
