#!/usr/bin/env bash
# Shared set-up of ./run and ./test: install the Debian packages that are missing, then configure.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6test6 libgl-dev qt6-translations-l10n
  libturbojpeg0-dev libjpeg62-turbo-dev libjpeg-turbo-progs
  libheif-dev libwebp-dev qt6-image-formats-plugins libheif-examples webp libavif-bin zlib1g-dev
  libgtest-dev googletest python3-fuse fuse3
  fonts-liberation2
  xvfb xauth xdotool imagemagick
  clang libclang-rt-14-dev
  dpkg-dev lintian desktop-file-utils appstream man-db
)

"$(dirname "$0")/install_packages.sh" "${PACKAGES[@]}"
