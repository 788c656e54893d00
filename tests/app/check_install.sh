#!/usr/bin/env bash
# Installs into a scratch prefix and checks that the program, its desktop entry and icons land in the
# places a desktop menu looks at, and that the installed program finds its window program.
# Usage: check_install.sh <build dir> <application id>
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
id=$2
cmake --install "$1" --prefix "$prefix" >/dev/null
for f in bin/torv-image-resize libexec/torv-image-resize/torv-image-resize-window share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg; do
  [ -f "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
[ -x "$prefix/bin/torv-image-resize" ] || { echo "not executable"; exit 1; }
entry="$prefix/share/applications/$id.desktop"
for line in 'Type=Application' 'Name=Torv Image Resize' 'Exec=torv-image-resize %F' "Icon=$id" \
            'MimeType=image/jpeg;image/png;image/bmp;image/gif;image/heic;image/heif;image/avif;image/webp;image/tiff;'; do
  grep -qx "$line" "$entry" || { echo "desktop entry lacks: $line"; exit 1; }
done
grep -q '^Name\[tr\]=' "$entry" && grep -q '^Comment\[tr\]=' "$entry" || { echo "no Turkish name"; exit 1; }
for size in 16 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x$size/apps/$id.png"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x$size" ] || { echo "icon $icon is not ${size}x$size"; exit 1; }
done
# Without batch work the window program takes over; offscreen it runs until stopped, where a missing one
# would end at once.
status=0
HOME="$prefix" QT_QPA_PLATFORM=offscreen timeout 3 "$prefix/bin/torv-image-resize" 2>"$prefix/errors" || status=$?
[ "$status" = 124 ] || { echo "the installed program did not open the windows ($status):"; cat "$prefix/errors"; exit 1; }
echo "install layout ok"
