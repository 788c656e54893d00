#!/usr/bin/env bash
# Installs into a scratch prefix and checks that the program, its desktop entry and icons land in the
# places a desktop menu looks at. Usage: check_install.sh <build dir>
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for f in bin/torv-image-resize share/applications/torv-image-resize.desktop \
         share/icons/hicolor/16x16/apps/torv-image-resize.png share/icons/hicolor/128x128/apps/torv-image-resize.png; do
  [ -f "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
[ -x "$prefix/bin/torv-image-resize" ] || { echo "not executable"; exit 1; }
entry="$prefix/share/applications/torv-image-resize.desktop"
for line in 'Type=Application' 'Name=Torv Image Resize' 'Exec=torv-image-resize %F' 'Icon=torv-image-resize' \
            'MimeType=image/jpeg;image/png;image/bmp;image/gif;'; do
  grep -qx "$line" "$entry" || { echo "desktop entry lacks: $line"; exit 1; }
done
grep -q '^Name\[tr\]=' "$entry" && grep -q '^Comment\[tr\]=' "$entry" || { echo "no Turkish name"; exit 1; }
[ "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/16x16/apps/torv-image-resize.png")" = 16x16 ]
[ "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/128x128/apps/torv-image-resize.png")" = 128x128 ]
echo "install layout ok"
