#!/usr/bin/env bash
# Starts the real program on a virtual screen, waits for the main window and photographs it.
# Usage: smoke_xvfb.sh <executable> [screenshot.png]
# Under Xvfb there is no window manager, so the window has no frame: the photo is the client area.
set -euo pipefail
exe=$1
shot=${2:-$(mktemp --suffix=.png)}
if [ -z "${TORV_SMOKE_INNER:-}" ]; then
  export TORV_SMOKE_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

unset QT_QPA_PLATFORM
"$exe" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT

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
