#!/usr/bin/env bash
# Draws the pictures stored with the windows. The outputs are committed; run again only to change them.
# Mark: a large frame with a smaller filled frame in its lower-left corner and an arrow between them.
set -euo pipefail
cd "$(dirname "$0")"
FONT=/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
FONT_REGULAR=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf

mark() {  # mark <size> <stroke> <output>
  local s=$1 w=$2 out=$3
  local m=$((s / 10)) big=$((s - s / 10 - 1)) small=$((s / 2))
  convert -size "${s}x${s}" xc:'#1f5f8b' \
    -fill none -stroke white -strokewidth "$w" -draw "rectangle $m,$m $big,$big" \
    -fill '#f2a541' -stroke white -draw "rectangle $m,$small $((s - small)),$big" \
    -stroke white -strokewidth "$w" -draw "line $((big - m)),$((m * 2)) $((s / 2 + m / 2)),$((small - m / 2))" \
    -draw "line $((s / 2 + m / 2)),$((small - m / 2)) $((s / 2 + m / 2 + 2 * m)),$((small - m / 2))" \
    -draw "line $((s / 2 + m / 2)),$((small - m / 2)) $((s / 2 + m / 2)),$((small - m / 2 - 2 * m))" \
    -depth 8 "$out"
}

# Splash, also shown over the preview at start: 284 x 234, a baseline JPEG.
mark 96 5 /tmp/torv-mark96.png
convert -size 284x234 gradient:'#2b7bb9'-'#123a59' \
  /tmp/torv-mark96.png -geometry +94+22 -composite \
  -font "$FONT" -pointsize 26 -fill white -gravity north -annotate +0+134 'Torv Image Resize' \
  -font "$FONT_REGULAR" -pointsize 13 -fill '#d8e6f0' -gravity north -annotate +0+172 'Resim Küçültücü' \
  -fill '#f2a541' -draw 'rectangle 60,200 224,203' \
  -quality 92 -strip splash.jpg

# Decoration beside "1-Aç": 50 x 50 GIF.
mark 50 3 decoration.gif

# Window icon 16 x 16 and a larger icon for the desktop menu.
mark 16 1 icon16.png
mark 128 6 icon128.png
rm -f /tmp/torv-mark96.png
