#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Velmora needs.
# Safe to run again: apt-get skips what is already there. Works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libopencv-dev libpng-dev libjpeg62-turbo-dev libgif-dev libwmf-dev libidn2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libzbar-dev zbar-tools libzxing-dev libqrencode-dev qrencode python3-segno
  qt6-base-dev qt6-svg-dev libgl-dev poppler-utils
  libqt6sql6-sqlite sqlite3
  xvfb xauth imagemagick libxtst-dev xdotool twm dbus fonts-wqy-microhei fonts-dejavu-core
  desktop-file-utils appstream groff-base dpkg-dev file
  crossbuild-essential-arm64 debootstrap qemu-user qemu-user-static
)

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
else
  as_root=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
