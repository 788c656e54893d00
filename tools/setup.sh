#!/usr/bin/env bash
# Shared set-up of ./run and ./test: install the Debian packages that are missing, then configure.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6test6 libgl-dev qt6-translations-l10n
  libturbojpeg0-dev libjpeg62-turbo-dev libjpeg-turbo-progs
  libgtest-dev googletest
  fonts-liberation2
  xvfb xauth xdotool imagemagick
  clang libclang-rt-14-dev
  dpkg-dev lintian desktop-file-utils appstream man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
