#!/usr/bin/env bash
# Installs into a scratch prefix and checks that the program, its desktop entry and icons land in the
# places a desktop menu looks at, that every format list installed is the program's own format table's,
# and that the installed program finds its window program.
# Usage: check_install.sh <build dir> <application id> <format_lists program>
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
id=$2
lists=$3
cmake --install "$1" --prefix "$prefix" >/dev/null
for f in bin/torv-image-resize libexec/torv-image-resize/torv-image-resize-window share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg; do
  [ -f "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
[ -x "$prefix/bin/torv-image-resize" ] || { echo "not executable"; exit 1; }
entry="$prefix/share/applications/$id.desktop"
mime_types=$("$lists" --print mime-types)
for line in 'Type=Application' 'Name=Torv Image Resize' 'Exec=torv-image-resize %F' "Icon=$id" \
            "MimeType=$mime_types"; do
  grep -qx "$line" "$entry" || { echo "desktop entry lacks: $line"; exit 1; }
done
grep -q '^Name\[tr\]=' "$entry" && grep -q '^Comment\[tr\]=' "$entry" || { echo "no Turkish name"; exit 1; }
grep -qx "MimeType=${mime_types}inode/directory;" "$prefix/share/kio/servicemenus/torv-image-resize.desktop" ||
  { echo "the service menu's types are not the format table's"; exit 1; }
mediatypes=$(sed -n 's|^ *<mediatype>\(.*\)</mediatype>$|\1;|p' "$prefix/share/metainfo/$id.metainfo.xml" | tr -d '\n')
[ "$mediatypes" = "$mime_types" ] || { echo "the metainfo's media types are not the format table's: $mediatypes"; exit 1; }
manual=$(zcat "$prefix/share/man/man1/torv-image-resize.1.gz")
for list in man-picture-extensions man-result-extensions; do
  grep -qF -- "$("$lists" --print $list)" <<<"$manual" || { echo "the manual page lacks the table's $list"; exit 1; }
done
grep -q '{{' <<<"$manual" && { echo "the manual page has a list left unfilled"; exit 1; }
# The program's own help names the same pictures as the manual page.
pictures=$("$prefix/bin/torv-image-resize" --help | sed -n 's/^Pictures: \(.*\), in any letter case;$/\1/p')
[ "$(sed 's/, \| and /\n/g' <<<"$pictures")" = "$("$lists" --print man-picture-extensions | sed 's/ "[^"]*" /\n/g')" ] ||
  { echo "the help's pictures are not the manual page's: $pictures"; exit 1; }
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
