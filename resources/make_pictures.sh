#!/usr/bin/env bash
# Draws the pictures stored with the windows and the program's icons. The outputs are committed; run again
# only to change them (needs imagemagick, fonts-liberation2 and librsvg2-bin's rsvg-convert).
# Mark: a large frame with a smaller filled frame in its lower-left corner and an arrow between them.
set -euo pipefail
cd "$(dirname "$0")"
FONT=/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
FONT_REGULAR=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf

# The one drawing of the mark: an SVG laid on the pixel grid of <size>, so that every size has its own
# sharp lines (a single drawing scaled down to 16 pixels would blur them). Coordinates are pixel centres,
# and <stroke> is odd, so that lines cover whole pixels.
mark_svg() {  # mark_svg <size> <stroke>
  local s=$1 w=$2
  local m=$((s / 10)) big=$((s - s / 10 - 1)) small=$((s / 2))
  local ax=$((s / 2 + m / 2)) ay=$((small - m / 2))
  cat <<SVG
<svg xmlns="http://www.w3.org/2000/svg" width="$s" height="$s" viewBox="0 0 $s $s">
  <rect width="$s" height="$s" fill="#1f5f8b"/>
  <g transform="translate(0.5 0.5)" stroke="#ffffff" stroke-width="$w">
    <rect x="$m" y="$m" width="$((big - m))" height="$((big - m))" fill="none"/>
    <rect x="$m" y="$small" width="$((s - small - m))" height="$((big - small))" fill="#f2a541"/>
    <path d="M $((big - m)) $((m * 2)) L $ax $ay M $((ax + 2 * m)) $ay H $ax V $((ay - 2 * m))" fill="none"/>
  </g>
</svg>
SVG
}

mark() {  # mark <size> <stroke> <output.png>
  mark_svg "$1" "$2" | rsvg-convert --width "$1" --height "$1" --output "$3"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Splash, also shown over the preview at start: 284 x 234, a baseline JPEG.
mark 96 5 "$tmp/mark96.png"
convert -size 284x234 gradient:'#2b7bb9'-'#123a59' \
  "$tmp/mark96.png" -geometry +94+22 -composite \
  -font "$FONT" -pointsize 26 -fill white -gravity north -annotate +0+134 'Torv Image Resize' \
  -font "$FONT_REGULAR" -pointsize 13 -fill '#d8e6f0' -gravity north -annotate +0+172 'Resim Küçültücü' \
  -fill '#f2a541' -draw 'rectangle 60,200 224,203' \
  -quality 92 -strip splash.jpg

# Decoration beside "1-Aç": 50 x 50 GIF.
mark 50 3 "$tmp/mark50.png"
convert "$tmp/mark50.png" -depth 8 decoration.gif

# Icons: the window's (16, also compiled in) and the desktop's, each size drawn on its own grid, and the
# drawing itself for any other size.
for size_stroke in 16:1 32:3 48:3 64:5 128:7 256:13; do
  mark "${size_stroke%:*}" "${size_stroke#*:}" "icon${size_stroke%:*}.png"
done
mark_svg 128 7 >icon.svg
