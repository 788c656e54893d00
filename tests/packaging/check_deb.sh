#!/usr/bin/env bash
# Builds the Debian package as a user would, unpacks it and checks it with Debian's own tools.
# Usage: check_deb.sh <build dir> <version> <application id>
set -euo pipefail
build=$1 version=$2 id=$3
fail() { echo "$*"; exit 1; }
cmake --build "$build" --target package >"$build/package.log" 2>&1 || { cat "$build/package.log"; fail "no package"; }
deb="$build/torv-image-resize_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "section is not graphics"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libjpeg62-turbo libheif1 libwebp7 libwebpmux3; do
  [[ $depends == *"$lib "* ]] || fail "the package does not depend on $lib: $depends"
done
# Qt's TIFF plugin is loaded at run time, where dpkg-shlibdeps cannot see it.
[[ $depends == *qt6-image-formats-plugins* ]] || fail "no dependency on Qt's image plugins: $depends"
for f in bin/torv-image-resize libexec/torv-image-resize/torv-image-resize-window share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/man/man1/torv-image-resize.1.gz share/doc/torv-image-resize/copyright; do
  [ -f "$root/usr/$f" ] || fail "missing /usr/$f"
done
# The icon the menu entry names, at every size a desktop asks for (no validator below looks for it).
icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/$id.desktop")
for dir in 16x16 32x32 48x48 64x64 128x128 256x256 scalable; do
  ls "$root/usr/share/icons/hicolor/$dir/apps/$icon".* >/dev/null || fail "no $dir icon named '$icon'"
done

desktop-file-validate "$root/usr/share/applications/$id.desktop"
# Dolphin's service menu is a KDE Type=Service file, whose MimeType and Actions the validator accepts for
# applications only: those two complaints are expected, any other fails.
menu="$root/usr/share/kio/servicemenus/torv-image-resize.desktop"
[ -f "$menu" ] || fail "no Dolphin service menu"
problems=$(desktop-file-validate "$menu" 2>&1 |
           grep -v 'key "\(MimeType\|Actions\)" is present in group "Desktop Entry", but the type is "Service"' || true)
[ -z "$problems" ] || fail "$problems"
grep -qx 'Exec=torv-image-resize --batch-window %F' "$menu" || fail "the service menu does not open the batch window"
# The whole tree: metainfo, the desktop entry it launches and the icon that entry names.
appstreamcli validate-tree --no-net "$root"
lintian --fail-on error,warning "$deb"

[ "$("$root/usr/bin/torv-image-resize" --version)" = "torv-image-resize $version" ] || fail "wrong --version"
# Every option the program knows is in the manual page.
manual=$(MANWIDTH=300 man -l "$root/usr/share/man/man1/torv-image-resize.1.gz" 2>&1)
for option in $("$root/usr/bin/torv-image-resize" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -q -- "$option" <<<"$manual" || fail "the manual page lacks $option"
done
echo "package ok: $(basename "$deb")"
